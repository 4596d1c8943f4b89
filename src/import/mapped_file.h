#pragma once

// A regular file's bytes seen in place: mapped read-only, so the reader
// decodes straight from the page cache instead of first copying the file
// into a buffer of its own. One file per platform; where a file cannot be
// mapped the reader falls back to reading it.

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string_view>

namespace lorvex {

class MappedFile {
  public:
    // The mapping of path's current contents, or null when the file cannot
    // be opened or mapped, is empty or says so (/proc files), or the
    // platform maps no files: the caller then reads it.
    static std::unique_ptr<MappedFile> Map(const std::filesystem::path& path);

    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    std::string_view Bytes() const { return {static_cast<const char*>(m_data), m_size}; }

    // Drops the whole pages among bytes [from, to) from the process's
    // resident memory once they have been read: they stay in the page cache
    // and are read back from the file should they be touched again. Lets a
    // front-to-back pass over a large file hold only a little of it at once.
    void Release(std::size_t from, std::size_t to);
    // Maps the pages among bytes [from, to) in one go, ahead of a pass that
    // reads them, instead of a page fault for every few pages. Only a hint.
    void Prefetch(std::size_t from, std::size_t to);

  private:
    MappedFile(const void* data, std::size_t size) : m_data(data), m_size(size) {}

    const void* m_data;
    std::size_t m_size;
};

}  // namespace lorvex
