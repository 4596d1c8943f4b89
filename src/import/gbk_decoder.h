#pragma once

// GBK (code page 936) to UTF-8 through tables of our own. A measurement file
// with Chinese point names has a stretch of Chinese characters in every
// record; handing each to the platform's converter costs more than the rest
// of the import. The tables are filled from that converter, a lead byte at a
// time when a file first uses it, so the text comes out the same, byte for
// byte, invalid bytes included.

#include <array>
#include <memory>
#include <string>
#include <string_view>

#include "import/gbk_converter.h"

namespace lorvex {

class GbkDecoder {
  public:
    GbkDecoder();

    // False when the system has no converter for code page 936.
    bool Available() const { return m_converter.Available(); }

    // GbkConverter::Append's contract and result: a byte that starts no
    // valid character becomes U+FFFD and decoding goes on with the next one;
    // false when a byte was replaced. Needs Available().
    bool Append(std::string_view bytes, std::string& out);

  private:
    // A byte or a byte pair as UTF-8. size 0: no character; kConverter: the
    // platform gives something longer, and is asked each time.
    struct Char {
        unsigned char size;
        char utf8[3];
    };
    static constexpr unsigned char kConverter = 0xFF;
    using Row = std::array<Char, 256>;

    Char Entry(std::string_view bytes);
    const Row& PairsOf(unsigned char lead);

    GbkConverter m_converter;
    std::array<Char, 128> m_single{};  // the bytes 0x80-0xFF alone
    std::array<std::unique_ptr<Row>, 128> m_pairs;
    std::string m_scratch;
};

}  // namespace lorvex
