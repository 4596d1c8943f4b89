#pragma once

// The text layer of a written PDF: which character each glyph stands for.
//
// Qt builds a font's text map (its ToUnicode CMap) by looking each glyph up
// backwards in the font's character map and taking the lowest code point that
// maps to it. The CJK faces give one glyph to several code points: 二 U+4E8C
// and the Kangxi radical ⼆ U+2F06, 风 and ⻛ U+2EDB, the space and the tab.
// Text copied or searched in such a PDF then holds the look-alike, not the
// ideograph the record book shows. The painter therefore records every
// character it draws, and the text maps are written again from that record:
// each glyph names the drawn character that the font draws with it.

#include <QByteArray>
#include <QFont>
#include <QString>

class QIODevice;

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace lorvex::report {

// The set of code points drawn into one document.
class DrawnCharacters {
  public:
    DrawnCharacters();
    void Add(const QString& text);
    void Add(char32_t u);
    bool Contains(char32_t u) const;
    // In code point order.
    std::vector<char32_t> All() const;

  private:
    std::vector<std::uint64_t> m_bits;
};

// A font's text map: character code (glyph of the embedded subset) to the
// characters it stands for.
using TextMap = std::map<unsigned, std::u32string>;

// Reads the bfchar and bfrange sections of a ToUnicode CMap. Throws
// std::runtime_error on a section it cannot read.
TextMap ParseToUnicode(std::string_view cmap);
// Writes a ToUnicode CMap for two-byte codes.
std::string WriteToUnicode(const TextMap& map);

// Of the drawn characters one glyph serves (sameGlyph, in code point order,
// not empty), the one a glyph the text map names as mapped should name: the
// only one, or else the mapped character itself when it was drawn and is its
// own normal form, or else the first that is its own normal form (an
// ideograph rather than its radical). One glyph can name one character, so a
// page that draws both 二 and ⼆ reads back 二 for both.
char32_t ChooseDrawn(char32_t mapped, const std::vector<char32_t>& sameGlyph);

// Rewrites the text maps of the Type 0 fonts of pdf (as Qt writes it) so
// that every glyph names the character drawn with it. fonts are the fonts the
// pages were painted with; the faces Qt fell back on for characters they lack
// are found from them. Content streams are copied unchanged. The result is
// written to out as it is made. Throws std::exception when the PDF cannot be
// read or written.
void WriteDrawnTextMaps(const QByteArray& pdf, QIODevice& out, const DrawnCharacters& drawn,
                        const std::vector<QFont>& fonts);

}  // namespace lorvex::report
