#include "import/mapped_file.h"

namespace lorvex {

// Windows reads the file instead: measurement files there are small, and a
// mapped view would need the file's sharing rules worked out first.
std::unique_ptr<MappedFile> MappedFile::Map(const std::filesystem::path&) { return nullptr; }

MappedFile::~MappedFile() = default;

void MappedFile::Release(std::size_t, std::size_t) {}

void MappedFile::Prefetch(std::size_t, std::size_t) {}

}  // namespace lorvex
