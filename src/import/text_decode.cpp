#include "import/text_decode.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "base/fresh_memory.h"
#include "import/gbk_converter.h"
#include "import/gbk_decoder.h"
#include "import/mapped_file.h"

namespace lorvex {
namespace {

constexpr std::string_view kReplacement = kUtf8Replacement;
constexpr std::string_view kBom = "\xEF\xBB\xBF";

constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

// How far a pass over a mapped file moves between giving back the pages it
// has read: few enough system calls, little of the file resident at once.
constexpr std::size_t kReleaseStep = std::size_t{1} << 20;

// Keeps a step of a mapped file mapped ahead of one front-to-back pass over
// it and gives back the pages behind; the pages the pass never reached stay
// until the mapping goes. Does nothing for bytes that are not a mapping.
class ReleaseBehind {
  public:
    explicit ReleaseBehind(MappedFile* file) : m_file(file) {
        if (m_file != nullptr) m_file->Prefetch(0, 2 * kReleaseStep);
    }
    ReleaseBehind(const ReleaseBehind&) = delete;
    ReleaseBehind& operator=(const ReleaseBehind&) = delete;
    // The pass will not come back before pos.
    void At(std::size_t pos) {
        if (m_file != nullptr && pos >= m_from + kReleaseStep) {
            m_file->Release(m_from, pos);
            m_file->Prefetch(std::max(m_ahead, pos), pos + 2 * kReleaseStep);
            m_ahead = pos + 2 * kReleaseStep;
            m_from = pos;
        }
    }

  private:
    MappedFile* m_file;
    std::size_t m_from = 0;
    std::size_t m_ahead = 2 * kReleaseStep;  // mapped in up to here
};

// Appends bytes to out, giving the mapped pages back behind the copy.
void AppendReleasing(std::string_view bytes, std::size_t offset, std::string& out,
                     MappedFile* mapped) {
    ReleaseBehind behind(mapped);
    for (std::size_t i = 0; i < bytes.size(); i += kReleaseStep) {
        out.append(bytes.substr(i, kReleaseStep));
        behind.At(offset + std::min(bytes.size(), i + kReleaseStep));
    }
}

bool IsAscii(std::string_view text) {
    const char* p = text.data();
    std::size_t n = text.size();
    std::uint64_t high = 0;
    // Four words a step: the loads do not wait on one another.
    for (; n >= 32; p += 32, n -= 32) {
        std::uint64_t w[4];
        std::memcpy(w, p, 32);
        high |= (w[0] | w[1]) | (w[2] | w[3]);
    }
    for (; n >= 8; p += 8, n -= 8) {
        std::uint64_t word;
        std::memcpy(&word, p, 8);
        high |= word;
    }
    for (; n > 0; ++p, --n) high |= static_cast<unsigned char>(*p);
    return (high & kHighBits) == 0;
}

// The position of the first byte at or after `from` that is not ASCII, or
// the size of the text; eight bytes at a time.
std::size_t SkipAscii(std::string_view text, std::size_t from) {
    std::size_t i = from;
    for (; i + 8 <= text.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + i, 8);
        if (word & kHighBits) break;
    }
    while (i < text.size() && static_cast<unsigned char>(text[i]) < 0x80) ++i;
    return i;
}

// Length of the well-formed UTF-8 sequence at text[i], or 0 when the bytes
// there are not one (overlong forms, surrogates and code points above
// U+10FFFF included).
std::size_t Utf8SequenceLength(std::string_view text, std::size_t i) {
    auto at = [&](std::size_t k) -> unsigned {
        return i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0x100u;
    };
    auto cont = [](unsigned b, unsigned lo = 0x80, unsigned hi = 0xBF) {
        return b >= lo && b <= hi;
    };
    const unsigned b0 = at(0);
    if (b0 < 0x80) return 1;
    if (b0 >= 0xC2 && b0 <= 0xDF) return cont(at(1)) ? 2 : 0;
    if (b0 == 0xE0) return cont(at(1), 0xA0, 0xBF) && cont(at(2)) ? 3 : 0;
    if ((b0 >= 0xE1 && b0 <= 0xEC) || b0 == 0xEE || b0 == 0xEF)
        return cont(at(1)) && cont(at(2)) ? 3 : 0;
    if (b0 == 0xED) return cont(at(1), 0x80, 0x9F) && cont(at(2)) ? 3 : 0;
    if (b0 == 0xF0) return cont(at(1), 0x90, 0xBF) && cont(at(2)) && cont(at(3)) ? 4 : 0;
    if (b0 >= 0xF1 && b0 <= 0xF3) return cont(at(1)) && cont(at(2)) && cont(at(3)) ? 4 : 0;
    if (b0 == 0xF4) return cont(at(1), 0x80, 0x8F) && cont(at(2)) && cont(at(3)) ? 4 : 0;
    return 0;
}

enum class Utf8Shape { Invalid, TwoByteOnly, Wide };

// Whether text is well-formed UTF-8, and whether it holds any character of
// three or four bytes (every CJK character is one).
Utf8Shape Utf8ShapeOf(std::string_view text) {
    bool wide = false;
    std::size_t i = 0;
    while ((i = SkipAscii(text, i)) < text.size()) {
        const std::size_t len = Utf8SequenceLength(text, i);
        if (len == 0) return Utf8Shape::Invalid;
        wide = wide || len > 2;
        i += len;
    }
    return wide ? Utf8Shape::Wide : Utf8Shape::TwoByteOnly;
}

bool IsValidUtf8(std::string_view text) { return Utf8ShapeOf(text) != Utf8Shape::Invalid; }

// UTF-8 with each byte that starts no well-formed sequence replaced.
// offset is where text starts in the mapped file, when it is one.
std::string RepairUtf8(std::string_view text, std::size_t offset, MappedFile* mapped) {
    ReleaseBehind behind(mapped);
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    std::size_t i = 0;
    while (i < text.size()) {
        behind.At(offset + i);
        const std::size_t len = Utf8SequenceLength(text, i);
        if (len == 0) {
            out.append(kReplacement);
            ++i;
        } else {
            out.append(text.substr(i, len));
            i += len;
        }
    }
    return out;
}

// An empty string with room for capacity bytes, the room prepared for being
// filled once from front to back.
std::string FreshText(std::size_t capacity) {
    std::string text;
    text.reserve(capacity);
    AdviseFreshMemory(text.data(), text.capacity());
    return text;
}

// GBK (code page 936) to UTF-8. Measurement files are mostly ASCII with the
// odd Chinese line name, so runs of ASCII are copied as they are and only
// the stretches of double-byte characters go through the converter. A
// stretch ends at the first ASCII byte that is not a trail byte (GBK trail
// bytes include 0x40-0x7E, "@" among them).
// clean, when given, tells whether every byte decoded.
std::string DecodeGbk(std::string_view bytes, MappedFile* mapped, bool* clean = nullptr) {
    ReleaseBehind behind(mapped);
    bool allDecoded = true;
    std::string out = FreshText(bytes.size() + bytes.size() / 8 + 16);
    GbkDecoder converter;
    std::size_t i = 0;
    while (i < bytes.size()) {
        // Runs of ASCII are copied a step at a time, so that the pages
        // behind a long one are given back before the rest is copied.
        const std::size_t stop = std::min(bytes.size(), i + kReleaseStep);
        std::size_t j = SkipAscii(bytes.substr(0, stop), i);
        out.append(bytes.substr(i, j - i));
        behind.At(j);
        if (j == bytes.size()) break;
        i = j;
        if (j == stop && static_cast<unsigned char>(bytes[j]) < 0x80) continue;
        while (j < bytes.size() && static_cast<unsigned char>(bytes[j]) >= 0x80) {
            const unsigned char lead = static_cast<unsigned char>(bytes[j]);
            // 0x80 (the euro sign) and 0xFF stand alone; any other lead byte
            // takes the next byte with it.
            j += (lead == 0x80 || lead == 0xFF) ? 1 : 2;
        }
        j = std::min(j, bytes.size());
        const std::string_view segment = bytes.substr(i, j - i);
        if (converter.Available()) {
            allDecoded = converter.Append(segment, out) && allDecoded;
        } else {
            // No converter installed: each character of the stretch, trail
            // byte included, is marked as unreadable.
            for (std::size_t k = 0; k < segment.size();) {
                const unsigned char lead = static_cast<unsigned char>(segment[k]);
                k += (lead == 0x80 || lead == 0xFF) ? 1 : 2;
                out.append(kReplacement);
            }
            allDecoded = false;
        }
        i = j;
    }
    if (clean != nullptr) *clean = allDecoded;
    return out;
}

constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
constexpr std::string_view kUtf16BeBom = "\xFE\xFF";

void AppendUtf8(char32_t c, std::string& out) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// UTF-16 (without its byte-order mark) to UTF-8.
// body starts at offset in the mapped file, when it is one.
std::string DecodeUtf16(std::string_view body, bool bigEndian, std::size_t offset,
                        MappedFile* mapped) {
    ReleaseBehind behind(mapped);
    auto unit = [&](std::size_t i) -> char32_t {
        const auto b0 = static_cast<unsigned char>(body[i]);
        const auto b1 = static_cast<unsigned char>(body[i + 1]);
        return bigEndian ? char32_t{b0} << 8 | b1 : char32_t{b1} << 8 | b0;
    };
    std::string out;
    out.reserve(body.size() / 2 + body.size() / 4);
    std::size_t i = 0;
    for (; i + 1 < body.size(); i += 2) {
        behind.At(offset + i);
        const char32_t u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 3 < body.size()) {
            const char32_t low = unit(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                AppendUtf8(0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00), out);
                i += 2;
                continue;
            }
        }
        if (u >= 0xD800 && u <= 0xDFFF)
            out.append(kReplacement);
        else
            AppendUtf8(u, out);
    }
    if (i < body.size()) out.append(kReplacement);
    return out;
}

}  // namespace

bool LooksLikeUtf16WithoutBom(std::string_view bytes) {
    if (bytes.size() < 2 || bytes.starts_with(kUtf16LeBom) || bytes.starts_with(kUtf16BeBom))
        return false;
    // Text holds no zero byte at all: one fast scan settles almost every file.
    if (std::memchr(bytes.data(), '\0', bytes.size()) == nullptr) return false;
    std::size_t units = 0;
    std::size_t withZero = 0;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        ++units;
        if (bytes[i] == '\0' || bytes[i + 1] == '\0') ++withZero;
    }
    return withZero * 2 > units;
}

namespace {

// Copies bytes to out while they are ASCII (and hold no zero byte, when
// stopAtZero), a step at a time, giving the mapped pages back behind the
// copy: the common file takes one pass. False, with out holding part of
// the text, at the first step that is not so.
bool CopyWhileAscii(std::string_view bytes, std::string& out, MappedFile* mapped, bool stopAtZero) {
    // Checked and copied in pieces that stay in the cache between the
    // check and the copy, instead of reading each step from memory twice.
    constexpr std::size_t kPiece = std::size_t{64} << 10;
    ReleaseBehind behind(mapped);
    for (std::size_t i = 0; i < bytes.size(); i += kReleaseStep) {
        const std::string_view step = bytes.substr(i, kReleaseStep);
        for (std::size_t k = 0; k < step.size(); k += kPiece) {
            const std::string_view piece = step.substr(k, kPiece);
            if (!IsAscii(piece)) return false;
            if (stopAtZero && std::memchr(piece.data(), '\0', piece.size()) != nullptr)
                return false;
            out.append(piece);
        }
        behind.At(i + step.size());
    }
    return true;
}

// The decoding of both overloads. owned, when given, holds the same bytes
// as view and may be given up: text that stays as it is is moved out of it
// instead of copied.
// mapped, when given, is the file view maps; its pages are given back
// behind each pass.
std::string Decode(std::string_view view, std::string* owned, MappedFile* mapped) {
    auto asIs = [&](std::size_t dropFront) {
        if (owned == nullptr) {
            std::string text = FreshText(view.size() - dropFront);
            AppendReleasing(view.substr(dropFront), dropFront, text, mapped);
            return text;
        }
        owned->erase(0, dropFront);
        return std::move(*owned);
    };
    if (mapped != nullptr) {
        std::string text = FreshText(view.size());
        if (CopyWhileAscii(view, text, mapped, false)) return text;
    } else if (IsAscii(view)) {
        return asIs(0);
    }
    if (view.starts_with(kUtf16LeBom)) return DecodeUtf16(view.substr(2), false, 2, mapped);
    if (view.starts_with(kUtf16BeBom)) return DecodeUtf16(view.substr(2), true, 2, mapped);
    if (view.starts_with(kBom)) {
        // A byte-order mark says UTF-8 outright; damaged sequences after it
        // are replaced rather than the whole file being read as GBK.
        const std::string_view body = view.substr(kBom.size());
        if (IsValidUtf8(body)) return asIs(kBom.size());
        return RepairUtf8(body, kBom.size(), mapped);
    }
    switch (Utf8ShapeOf(view)) {
        case Utf8Shape::Wide:
            return asIs(0);
        case Utf8Shape::TwoByteOnly: {
            // Many GBK pairs are also well-formed two-byte UTF-8 (水准 is
            // CB AE D7 BC), so a short Chinese name alone proves nothing.
            // Chinese typed on Linux takes three bytes a character in UTF-8;
            // a file with only two-byte sequences is GBK when it decodes
            // cleanly as GBK.
            bool clean = false;
            std::string gbk = DecodeGbk(view, mapped, &clean);
            if (clean) return gbk;
            return asIs(0);
        }
        case Utf8Shape::Invalid:
            break;
    }
    return DecodeGbk(view, mapped);
}

}  // namespace

std::string DecodeMeasurementText(std::string bytes) {
    const std::string_view view(bytes);
    return Decode(view, &bytes, nullptr);
}

std::string DecodeMeasurementText(std::string_view bytes) {
    return Decode(bytes, nullptr, nullptr);
}

std::optional<std::string> DecodeMeasurementText(MappedFile& file) {
    const std::string_view bytes = file.Bytes();
    {
        // ASCII without a zero byte is neither UTF-16 nor in need of
        // decoding: the common file is settled and copied in one pass.
        std::string text = FreshText(bytes.size());
        if (CopyWhileAscii(bytes, text, &file, true)) return text;
    }
    // Any other file is read more than once: whole, to tell its encoding,
    // and then decoded front to back. The pages stay mapped until the decode
    // passes them, so the file and its text still never add up whole.
    file.Prefetch(0, bytes.size());
    if (LooksLikeUtf16WithoutBom(bytes)) return std::nullopt;
    return Decode(bytes, nullptr, &file);
}

}  // namespace lorvex
