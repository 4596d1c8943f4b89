#include "import/gbk_decoder.h"

#include <cstring>

namespace lorvex {

GbkDecoder::GbkDecoder() {
    if (!Available()) return;
    for (unsigned b = 0x80; b <= 0xFF; ++b) {
        const char byte = static_cast<char>(b);
        m_single[b - 0x80] = Entry(std::string_view(&byte, 1));
    }
}

GbkDecoder::Char GbkDecoder::Entry(std::string_view bytes) {
    m_scratch.clear();
    if (!m_converter.Append(bytes, m_scratch)) return Char{0, {}};
    Char c{kConverter, {}};
    if (m_scratch.size() <= sizeof c.utf8) {
        c.size = static_cast<unsigned char>(m_scratch.size());
        std::memcpy(c.utf8, m_scratch.data(), m_scratch.size());
    }
    return c;
}

const GbkDecoder::Row& GbkDecoder::PairsOf(unsigned char lead) {
    std::unique_ptr<Row>& row = m_pairs[lead - 0x80];
    if (!row) {
        row = std::make_unique<Row>();
        char pair[2] = {static_cast<char>(lead), 0};
        for (unsigned trail = 0; trail <= 0xFF; ++trail) {
            pair[1] = static_cast<char>(trail);
            (*row)[trail] = Entry(std::string_view(pair, 2));
        }
    }
    return *row;
}

bool GbkDecoder::Append(std::string_view bytes, std::string& out) {
    bool clean = true;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    std::size_t k = 0;
    while (k < n) {
        const unsigned char b = p[k];
        if (b < 0x80) {
            out.push_back(static_cast<char>(b));
            ++k;
            continue;
        }
        // A byte that is a character alone (0x80, the euro sign) is taken
        // alone; any other takes the next byte with it if the pair is one.
        std::size_t used = 1;
        Char c = m_single[b - 0x80];
        if (c.size == 0 && k + 1 < n) {
            c = PairsOf(b)[p[k + 1]];
            used = 2;
        }
        if (c.size == 0) {
            out.append(kUtf8Replacement);
            clean = false;
            ++k;
        } else if (c.size == kConverter) {
            m_converter.Append(bytes.substr(k, used), out);
            k += used;
        } else {
            out.append(c.utf8, c.size);
            k += used;
        }
    }
    return clean;
}

}  // namespace lorvex
