#include <iconv.h>

#include <cerrno>
#include <cstring>

#include "import/gbk_converter.h"

namespace lorvex {
namespace {

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

iconv_t Handle(void* handle) { return static_cast<iconv_t>(handle); }

}  // namespace

GbkConverter::GbkConverter() : m_handle(static_cast<void*>(iconv_open("UTF-8", "CP936"))) {}

GbkConverter::~GbkConverter() {
    if (Available()) iconv_close(Handle(m_handle));
}

bool GbkConverter::Available() const { return Handle(m_handle) != kNoConverter; }

bool GbkConverter::Append(std::string_view bytes, std::string& out) {
    const iconv_t cd = Handle(m_handle);
    bool clean = true;
    std::size_t used = out.size();
    // Two bytes become at most three, one byte (0x80, or a replaced byte)
    // at most three as well.
    out.resize(used + 3 * bytes.size() + 16);
    char* in = const_cast<char*>(bytes.data());  // iconv's prototype is not const-correct
    std::size_t inLeft = bytes.size();
    while (inLeft > 0) {
        char* outPtr = out.data() + used;
        std::size_t outLeft = out.size() - used;
        const std::size_t r = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        used = static_cast<std::size_t>(outPtr - out.data());
        if (r != static_cast<std::size_t>(-1)) break;
        if (errno == E2BIG) {  // cannot happen with the room above; grow anyway
            out.resize(out.size() + bytes.size() + 16);
            continue;
        }
        // EILSEQ (invalid byte) or EINVAL (a lead byte cut off by the end).
        if (out.size() - used < kUtf8Replacement.size()) out.resize(used + kUtf8Replacement.size());
        std::memcpy(out.data() + used, kUtf8Replacement.data(), kUtf8Replacement.size());
        used += kUtf8Replacement.size();
        clean = false;
        ++in;
        --inLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    out.resize(used);
    return clean;
}

}  // namespace lorvex
