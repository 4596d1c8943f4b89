#include "import/text_decode.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "import/gbk_converter.h"
#include "import/gbk_decoder.h"
#include "import/mapped_file.h"

namespace lorvex {
namespace {

struct DecodeCase {
    const char* name;
    std::string bytes;
    std::string utf8;
};

void PrintTo(const DecodeCase& c, std::ostream* os) { *os << c.name; }

class DecodeTest : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeTest, DecodesToUtf8) {
    EXPECT_EQ(DecodeMeasurementText(GetParam().bytes), GetParam().utf8);
    // From bytes the caller keeps (a mapped file): the same text.
    EXPECT_EQ(DecodeMeasurementText(std::string_view(GetParam().bytes)), GetParam().utf8);
}

// GBK 0xD6D0 0xCEC4 is "中文"; 0x8140 is "丂", whose trail byte is '@'.
INSTANTIATE_TEST_SUITE_P(
    Cases, DecodeTest,
    ::testing::Values(
        DecodeCase{"Ascii", "A1 B 1.2 3 0 0 105\r\n", "A1 B 1.2 3 0 0 105\r\n"},
        DecodeCase{"AsciiWithNul", std::string("a\0b", 3), std::string("a\0b", 3)},
        DecodeCase{"Gbk", "\xD6\xD0\xCE\xC4 x", "中文 x"},
        DecodeCase{"GbkTrailByteIsAt", "\x81\x40@L", "丂@L"},
        DecodeCase{"EuroAt0x80", "\x80 5", "€ 5"}, DecodeCase{"Utf8", "中文 x", "中文 x"},
        // GBK 水准 (CB AE D7 BC) is also well-formed two-byte UTF-8.
        DecodeCase{"GbkThatLooksLikeUtf8",
                   "@\xCB\xAE\xD7\xBC"
                   "3",
                   "@水准3"},
        DecodeCase{"Utf8WithGbkLookalikeAndCjk", "\xCB\xAE 水", "\xCB\xAE 水"},
        DecodeCase{"Utf8BomDropped",
                   "\xEF\xBB\xBF"
                   "中 x",
                   "中 x"},
        DecodeCase{"Utf8BomOnAscii",
                   "\xEF\xBB\xBF"
                   "a b",
                   "a b"},
        DecodeCase{"Utf8BomWithDamage",
                   "\xEF\xBB\xBF"
                   "中\xFF x",
                   "中\xEF\xBF\xBD x"},
        // 0xFF is no GBK byte: replaced, and the bytes after it survive.
        DecodeCase{"InvalidByteReplaced", "\xD6\xD0\xFF@a", "中\xEF\xBF\xBD@a"},
        // A lead byte followed by a line break must not swallow the break.
        DecodeCase{"LeadByteBeforeNewline", "\xD6\xD0\x81\n@b", "中\xEF\xBF\xBD\n@b"},
        DecodeCase{"LeadByteCutOffAtEnd", "\xD6\xD0\x81", "中\xEF\xBF\xBD"},
        // Not UTF-8 (an overlong form), so read as GBK: 0xC0 0x80 is "纮".
        DecodeCase{"OverlongIsNotUtf8", "\xC0\x80", "\xE7\xBA\xAE"}, DecodeCase{"Empty", "", ""},
        // UTF-16 as Windows Notepad saves "Unicode": 水 is U+6C34.
        DecodeCase{"Utf16LeBom", std::string("\xFF\xFE@\0\x34\x6C\x31\0\r\0\n\0", 12), "@水1\r\n"},
        DecodeCase{"Utf16BeBom", std::string("\xFE\xFF\0@\x6C\x34\0\x31", 8), "@水1"},
        // U+1D11E as the pair D834 DD1E.
        DecodeCase{"Utf16SurrogatePair", "\xFF\xFE\x34\xD8\x1E\xDD", "\xF0\x9D\x84\x9E"},
        DecodeCase{"Utf16LoneSurrogateAndOddByte", std::string("\xFF\xFE\x34\xD8\x41\0\x42", 7),
                   "\xEF\xBF\xBD"
                   "A\xEF\xBF\xBD"}),
    [](const auto& info) { return info.param.name; });

TEST(Decode, LargeGbkTextKeepsEveryCharacter) {
    std::string bytes;
    std::string expected;
    for (int i = 0; i < 100000; ++i) {
        bytes += "\xD6\xD0@";
        expected += "中@";
    }
    EXPECT_EQ(DecodeMeasurementText(bytes), expected);
}

TEST(Decode, Utf16WithoutBomIsToldFromText) {
    const struct {
        const char* name;
        std::string bytes;
        bool utf16;
    } cases[] = {
        {"AsciiAsUtf16Le",
         std::string("@\0L\0 \0"
                     "1\0",
                     8),
         true},
        {"AsciiAsUtf16Be",
         std::string("\0@\0L\0 \0"
                     "1",
                     8),
         true},
        {"AllZero", std::string(64, '\0'), true},
        {"WithBomIsNotRefused", std::string("\xFF\xFE@\0L\0", 6), false},
        {"TextWithAFewZeros", std::string("A1 B 1.2 3 0 0 105\0\n\0", 22), false},
        {"OneByte", std::string(1, '\0'), false},
        {"Empty", "", false},
        {"Gbk", "\xD6\xD0\xCE\xC4 x", false},
    };
    for (const auto& c : cases) EXPECT_EQ(LooksLikeUtf16WithoutBom(c.bytes), c.utf16) << c.name;
}

// A large file decoded from its mapping, whose pages are given back every
// MiB behind each pass, gives the text its bytes give from memory: repeated
// lines of odd length put characters of every width across those steps.
TEST(Decode, MappedFileAcrossReleaseStepsGivesWhatItsBytesGive) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("lorvex_decode_" + std::to_string(std::random_device{}()) + ".mdt");
    auto repeated = [](const std::string& line) {
        std::string text;
        while (text.size() < (std::size_t{5} << 19)) text += line;
        return text;
    };
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"Ascii", repeated("A1 B 1.2 3 0 0 105\r\n")},
        {"Gbk", repeated("\xD6\xD0 B 1.2 3 0 0 105\r\n")},
        {"GbkAfterLongAscii", repeated("A1 B 1.2 3 0 0 105\r\n") + "\xD6\xD0\xCE\xC4\r\n"},
        // Also well-formed two-byte UTF-8: decided by whether GBK reads it cleanly.
        {"GbkTwoByteLike", repeated("\xCB\xAE\xD7\xBC 1.2 105\r\n")},
        {"Utf8Wide", repeated("水准 B 1.2 3 0 0 105\r\n")},
        {"Utf8BomRepaired", "\xEF\xBB\xBF" + repeated("水准\xFF 1.2\r\n")},
        {"Utf16Le", "\xFF\xFE" + repeated(std::string("\x34\x6C\x06\x51\r\0\n\0", 8))},
        {"Utf16BeOddEnd", "\xFE\xFF" + repeated(std::string("\x6C\x34\x51\x06\0\r\0\n\0", 9))},
        {"OneByte", "@"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::ofstream(path, std::ios::binary | std::ios::trunc) << c.bytes;
        const std::unique_ptr<MappedFile> mapped = MappedFile::Map(path);
        if (mapped == nullptr) GTEST_SKIP() << "files are read here, not mapped";
        const std::optional<std::string> text = DecodeMeasurementText(*mapped);
        ASSERT_TRUE(text);
        EXPECT_TRUE(*text == DecodeMeasurementText(c.bytes));
        // A second pass over the same mapping reads the released pages back.
        EXPECT_EQ(mapped->Bytes(), c.bytes);
    }
    // Zero bytes are looked for in every step, not only the first: UTF-16
    // without its byte-order mark gives nothing, ASCII with a few zero
    // bytes is copied as it is.
    const std::string ascii((std::size_t{1} << 20) + 3, 'A');
    const struct {
        const char* name;
        std::string bytes;
        bool utf16;
    } zeros[] = {
        {"Utf16AfterAStep", ascii + repeated(std::string("A\0", 2)), true},
        {"FewZerosAfterAStep", ascii + std::string("\0\n", 2) + ascii, false},
    };
    for (const auto& c : zeros) {
        SCOPED_TRACE(c.name);
        std::ofstream(path, std::ios::binary | std::ios::trunc) << c.bytes;
        const std::unique_ptr<MappedFile> mapped = MappedFile::Map(path);
        ASSERT_TRUE(mapped);
        const std::optional<std::string> text = DecodeMeasurementText(*mapped);
        EXPECT_EQ(!text, c.utf16);
        if (text) {
            EXPECT_TRUE(*text == c.bytes);
        }
    }
    std::filesystem::remove(path);
}

// The decoder's tables must give what the platform's converter gives, for
// valid and invalid bytes alike: every byte and byte pair alone, then many
// generated stretches mixing lead bytes, trail bytes, ASCII (the trail range
// 0x40-0x7E among it) and cut-off characters.
TEST(GbkDecoder, GivesWhatThePlatformConverterGives) {
    GbkConverter converter;
    GbkDecoder decoder;
    ASSERT_EQ(decoder.Available(), converter.Available());
    if (!converter.Available()) GTEST_SKIP() << "no converter for code page 936";
    auto check = [&](const std::string& bytes) {
        std::string expected = "prefix";
        std::string actual = "prefix";
        const bool expectedClean = converter.Append(bytes, expected);
        const bool actualClean = decoder.Append(bytes, actual);
        return expected == actual && expectedClean == actualClean;
    };
    for (int lead = 0; lead < 256; ++lead) {
        ASSERT_TRUE(check(std::string(1, static_cast<char>(lead)))) << lead;
        for (int trail = 0; trail < 256; ++trail) {
            const std::string pair{static_cast<char>(lead), static_cast<char>(trail)};
            ASSERT_TRUE(check(pair)) << lead << " " << trail;
        }
    }
    std::mt19937 random(936);
    const std::string ascii = "@ PtID09\r\n\x7F";
    for (int i = 0; i < 50000; ++i) {
        std::string bytes(1 + random() % 12, '\0');
        for (char& b : bytes) {
            const unsigned pick = random() % 8;
            if (pick < 5)
                b = static_cast<char>(0x80 + random() % 128);
            else if (pick < 7)
                b = ascii[random() % ascii.size()];
            else
                b = static_cast<char>(0x40 + random() % 64);
        }
        ASSERT_TRUE(check(bytes)) << i;
    }
}

}  // namespace
}  // namespace lorvex
