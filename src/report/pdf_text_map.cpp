#include "report/pdf_text_map.h"

#include <qpdf/Buffer.hh>
#include <qpdf/Pipeline.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <QIODevice>
#include <QRawFont>
#include <QTextLayout>

#include <algorithm>
#include <bit>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <set>
#include <stdexcept>
#include <unordered_map>

namespace lorvex::report {

namespace {

constexpr char32_t kCodePoints = 0x110000;

}  // namespace

DrawnCharacters::DrawnCharacters() : m_bits(kCodePoints / 64, 0) {}

void DrawnCharacters::Add(char32_t u) {
    if (u < kCodePoints) m_bits[u / 64] |= std::uint64_t{1} << (u % 64);
}

void DrawnCharacters::Add(const QString& text) {
    const QChar* p = text.constData();
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = p[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < n && p[i + 1].isLowSurrogate()) {
            Add(QChar::surrogateToUcs4(c, p[i + 1].unicode()));
            ++i;
        } else {
            Add(char32_t{c});
        }
    }
}

bool DrawnCharacters::Contains(char32_t u) const {
    return u < kCodePoints && (m_bits[u / 64] >> (u % 64) & 1) != 0;
}

std::vector<char32_t> DrawnCharacters::All() const {
    std::vector<char32_t> out;
    for (std::size_t w = 0; w < m_bits.size(); ++w) {
        for (std::uint64_t bits = m_bits[w]; bits != 0; bits &= bits - 1) {
            out.push_back(
                static_cast<char32_t>(w * 64 + static_cast<unsigned>(std::countr_zero(bits))));
        }
    }
    return out;
}

namespace {

// The tokens of a CMap that matter here: hex strings, brackets, words.
class CMapTokens {
  public:
    explicit CMapTokens(std::string_view text) : m_text(text) {}

    // Empty at the end.
    std::string_view Next() {
        while (m_at < m_text.size()) {
            const char c = m_text[m_at];
            if (c == '%') {
                while (m_at < m_text.size() && m_text[m_at] != '\n' && m_text[m_at] != '\r') ++m_at;
            } else if (c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f' || c == '\0') {
                ++m_at;
            } else {
                break;
            }
        }
        if (m_at >= m_text.size()) return {};
        const std::size_t start = m_at;
        const char c = m_text[m_at];
        if (c == '<' && m_at + 1 < m_text.size() && m_text[m_at + 1] != '<') {
            const std::size_t end = m_text.find('>', m_at);
            if (end == std::string_view::npos) throw std::runtime_error("unterminated hex string");
            m_at = end + 1;
        } else if (c == '[' || c == ']') {
            ++m_at;
        } else {
            while (m_at < m_text.size() && !std::strchr(" \n\r\t\f<>[]/()%", m_text[m_at])) ++m_at;
            if (m_at == start) ++m_at;  // a delimiter on its own
        }
        return m_text.substr(start, m_at - start);
    }

  private:
    std::string_view m_text;
    std::size_t m_at = 0;
};

bool IsHex(std::string_view token) { return token.size() >= 2 && token.front() == '<'; }

std::vector<unsigned> HexUnits(std::string_view token, unsigned bytesPerUnit) {
    std::string digits;
    for (const char c : token.substr(1, token.size() - 2)) {
        if (std::isxdigit(static_cast<unsigned char>(c))) digits += c;
    }
    if (digits.size() % 2) digits += '0';
    const std::size_t unitDigits = 2 * bytesPerUnit;
    if (digits.empty() || digits.size() % unitDigits) throw std::runtime_error("odd hex string");
    std::vector<unsigned> units;
    for (std::size_t i = 0; i < digits.size(); i += unitDigits)
        units.push_back(
            static_cast<unsigned>(std::stoul(digits.substr(i, unitDigits), nullptr, 16)));
    return units;
}

unsigned HexCode(std::string_view token) {
    std::string digits;
    for (const char c : token.substr(1, token.size() - 2)) {
        if (std::isxdigit(static_cast<unsigned char>(c))) digits += c;
    }
    if (digits.empty() || digits.size() > 8) throw std::runtime_error("bad character code");
    return static_cast<unsigned>(std::stoul(digits, nullptr, 16));
}

// A destination string: UTF-16BE, surrogate pairs joined.
std::u32string Utf16Text(std::string_view token) {
    const std::vector<unsigned> units = HexUnits(token, 2);
    std::u32string out;
    for (std::size_t i = 0; i < units.size(); ++i) {
        const auto u = static_cast<char16_t>(units[i]);
        if (QChar::isHighSurrogate(u) && i + 1 < units.size() &&
            QChar::isLowSurrogate(static_cast<char16_t>(units[i + 1]))) {
            out += static_cast<char32_t>(
                QChar::surrogateToUcs4(u, static_cast<char16_t>(units[i + 1])));
            ++i;
        } else {
            out += static_cast<char32_t>(u);
        }
    }
    return out;
}

void AppendUtf16Hex(std::string& out, char32_t u) {
    char buffer[16];
    if (u >= 0x10000) {
        std::snprintf(buffer, sizeof buffer, "%04X%04X", QChar::highSurrogate(u),
                      QChar::lowSurrogate(u));
    } else {
        std::snprintf(buffer, sizeof buffer, "%04X", static_cast<unsigned>(u));
    }
    out += buffer;
}

}  // namespace

TextMap ParseToUnicode(std::string_view cmap) {
    TextMap map;
    CMapTokens tokens(cmap);
    auto expectHex = [&tokens] {
        const std::string_view t = tokens.Next();
        if (!IsHex(t)) throw std::runtime_error("hex string expected in the text map");
        return t;
    };
    for (std::string_view t = tokens.Next(); !t.empty(); t = tokens.Next()) {
        if (t == "beginbfchar") {
            for (t = tokens.Next(); t != "endbfchar"; t = tokens.Next()) {
                if (!IsHex(t)) throw std::runtime_error("unterminated bfchar section");
                map[HexCode(t)] = Utf16Text(expectHex());
            }
        } else if (t == "beginbfrange") {
            for (t = tokens.Next(); t != "endbfrange"; t = tokens.Next()) {
                if (!IsHex(t)) throw std::runtime_error("unterminated bfrange section");
                const unsigned lo = HexCode(t);
                const unsigned hi = HexCode(expectHex());
                if (hi < lo || hi - lo > 0xFFFF) throw std::runtime_error("bad bfrange");
                const std::string_view dst = tokens.Next();
                if (dst == "[") {
                    unsigned code = lo;
                    for (t = tokens.Next(); t != "]"; t = tokens.Next()) {
                        if (!IsHex(t) || code > hi) throw std::runtime_error("bad bfrange array");
                        map[code++] = Utf16Text(t);
                    }
                } else if (IsHex(dst)) {
                    // The last character counts up along the range.
                    const std::u32string first = Utf16Text(dst);
                    for (unsigned code = lo; code <= hi; ++code) {
                        std::u32string text = first;
                        text.back() += code - lo;
                        map[code] = text;
                    }
                } else {
                    throw std::runtime_error("bad bfrange destination");
                }
            }
        }
    }
    return map;
}

std::string WriteToUnicode(const TextMap& map) {
    std::string out =
        "/CIDInit /ProcSet findresource begin\n"
        "12 dict begin\n"
        "begincmap\n"
        "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
        "/CMapName /Adobe-Identity-UCS def\n"
        "/CMapType 2 def\n"
        "1 begincodespacerange\n"
        "<0000> <FFFF>\n"
        "endcodespacerange\n";
    // A section holds at most 100 entries.
    auto it = map.begin();
    while (it != map.end()) {
        const auto count = std::min<std::size_t>(100, std::distance(it, map.end()));
        out += std::to_string(count) + " beginbfchar\n";
        for (std::size_t i = 0; i < count; ++i, ++it) {
            char code[16];
            std::snprintf(code, sizeof code, "<%04X> <", it->first & 0xFFFF);
            out += code;
            for (const char32_t u : it->second) AppendUtf16Hex(out, u);
            out += ">\n";
        }
        out += "endbfchar\n";
    }
    out +=
        "endcmap\n"
        "CMapName currentdict /CMap defineresource pop\n"
        "end\n"
        "end\n";
    return out;
}

namespace {

bool OwnNormalForm(char32_t u) {
    const QString s = QString::fromUcs4(&u, 1);
    return s.normalized(QString::NormalizationForm_KC) == s;
}

}  // namespace

char32_t ChooseDrawn(char32_t mapped, const std::vector<char32_t>& sameGlyph) {
    if (sameGlyph.size() == 1) return sameGlyph.front();
    const bool mappedDrawn =
        std::find(sameGlyph.begin(), sameGlyph.end(), mapped) != sameGlyph.end();
    if (mappedDrawn && OwnNormalForm(mapped)) return mapped;
    for (const char32_t u : sameGlyph) {
        if (OwnNormalForm(u)) return u;
    }
    return sameGlyph.empty() ? mapped : sameGlyph.front();
}

namespace {

// Where qpdf writes the finished document: a device, in blocks (qpdf hands
// over a token at a time), failing loudly.
class DevicePipeline final : public Pipeline {
  public:
    explicit DevicePipeline(QIODevice& out) : Pipeline("device", nullptr), m_out(out) {
        m_block.reserve(kBlock);
    }
    void write(unsigned char const* data, size_t len) override {
        m_block.append(reinterpret_cast<const char*>(data), len);
        if (m_block.size() >= kBlock) Flush();
    }
    void finish() override { Flush(); }

  private:
    static constexpr std::size_t kBlock = 1 << 16;
    void Flush() {
        const auto n = static_cast<qint64>(m_block.size());
        if (n > 0 && m_out.write(m_block.data(), n) != n)
            throw std::runtime_error(m_out.errorString().toStdString());
        m_block.clear();
    }
    QIODevice& m_out;
    std::string m_block;
};

// The PostScript name of a face (name table, name 6): what Qt writes as the
// font's BaseFont.
std::string PostScriptName(const QRawFont& face) {
    const QByteArray table = face.fontTable("name");
    auto u16 = [&table](qsizetype at) -> unsigned {
        if (at < 0 || at + 2 > table.size()) return 0;
        return static_cast<unsigned>(static_cast<unsigned char>(table[at])) << 8 |
               static_cast<unsigned char>(table[at + 1]);
    };
    const unsigned count = u16(2);
    const unsigned strings = u16(4);
    std::string mac;
    for (unsigned i = 0; i < count; ++i) {
        const qsizetype record = 6 + 12 * static_cast<qsizetype>(i);
        const unsigned platform = u16(record), nameId = u16(record + 6);
        const unsigned length = u16(record + 8), offset = u16(record + 10);
        const qsizetype at = static_cast<qsizetype>(strings) + offset;
        if (nameId != 6 || at + length > table.size()) continue;
        if (platform == 3 || platform == 0) {
            std::string name;
            for (unsigned k = 0; k + 1 < length; k += 2) {
                const unsigned c = u16(at + k);
                if (c < 0x80) name += static_cast<char>(c);
            }
            return name;
        }
        if (platform == 1 && mac.empty()) mac.assign(table.constData() + at, length);
    }
    return mac;
}

// "/ABCDEF+Name" or "/Name" as Qt writes it, without the slash and the tag of
// a subset.
std::string BaseName(std::string name) {
    if (!name.empty() && name.front() == '/') name.erase(0, 1);
    if (name.size() > 7 && name[6] == '+') name.erase(0, 7);
    std::replace(name.begin(), name.end(), ' ', '_');
    return name;
}

// The faces the pages were painted with, and for each the drawn characters
// by the glyph it draws them with.
class Faces {
  public:
    Faces(const std::vector<QFont>& fonts, const std::vector<char32_t>& drawn) : m_drawn(drawn) {
        const QString sample =
            QString::fromUcs4(drawn.data(), static_cast<qsizetype>(drawn.size()));
        for (const QFont& font : fonts) {
            // Qt's fallback picks a face per character; laying the drawn
            // characters out with each font finds the faces it picked.
            QTextLayout layout(sample, font);
            layout.beginLayout();
            while (true) {
                QTextLine line = layout.createLine();
                if (!line.isValid()) break;
                line.setLineWidth(1e9);
            }
            layout.endLayout();
            for (const QGlyphRun& run : layout.glyphRuns()) Remember(run.rawFont());
            Remember(QRawFont::fromFont(font));
        }
    }

    struct Face {
        QRawFont raw;
        std::string name;
        std::unordered_map<quint32, std::vector<char32_t>> byGlyph;
    };

    // The face of a PDF font, by its BaseFont. When no face has that name
    // (a renamed face, a name Qt wrote otherwise), all of them: the faces
    // share their aliases (二 and ⼆ are one glyph in every CJK face).
    std::vector<const Face*> Find(const std::string& baseFont) const {
        const std::string name = BaseName(baseFont);
        std::vector<const Face*> found;
        for (const Face& f : m_faces) {
            if (f.name == name) return {&f};
            found.push_back(&f);
        }
        return found;
    }

    static quint32 Glyph(const QRawFont& face, char32_t u) {
        QChar chars[2];
        int n = 1;
        if (u >= 0x10000) {
            chars[0] = QChar(QChar::highSurrogate(u));
            chars[1] = QChar(QChar::lowSurrogate(u));
            n = 2;
        } else {
            chars[0] = QChar(static_cast<char16_t>(u));
        }
        quint32 glyphs[2] = {0, 0};
        int count = 2;
        if (!face.glyphIndexesForChars(chars, n, glyphs, &count) || count < 1) return 0;
        return glyphs[0];
    }

  private:
    void Remember(const QRawFont& raw) {
        if (!raw.isValid()) return;
        for (const Face& f : m_faces) {
            if (f.raw == raw) return;
        }
        Face face{raw, BaseName(PostScriptName(raw)), {}};
        for (const char32_t u : m_drawn) {
            if (const quint32 g = Glyph(raw, u)) face.byGlyph[g].push_back(u);
        }
        m_faces.push_back(std::move(face));
    }

    const std::vector<char32_t>& m_drawn;
    std::vector<Face> m_faces;
};

// Points each code of the map at the drawn character its face draws with
// the glyph the code stands for; the first face that knows the glyph
// decides. True when anything changed.
bool RemapToDrawn(TextMap& map, const std::vector<const Faces::Face*>& faces) {
    bool changed = false;
    for (auto& [code, text] : map) {
        if (text.size() != 1) continue;
        for (const Faces::Face* face : faces) {
            const quint32 glyph = Faces::Glyph(face->raw, text[0]);
            const auto it = glyph == 0 ? face->byGlyph.end() : face->byGlyph.find(glyph);
            if (it == face->byGlyph.end()) continue;
            const char32_t chosen = ChooseDrawn(text[0], it->second);
            if (chosen != text[0]) {
                text[0] = chosen;
                changed = true;
            }
            break;
        }
    }
    return changed;
}

}  // namespace

void WriteDrawnTextMaps(const QByteArray& pdf, QIODevice& out, const DrawnCharacters& drawn,
                        const std::vector<QFont>& fonts) {
    QPDF doc;
    doc.setSuppressWarnings(true);
    // Read in place, and written to out as it goes: the document is held
    // once, as painted, not a second time rewritten.
    doc.processMemoryFile("report.pdf", pdf.constData(), static_cast<std::size_t>(pdf.size()));
    const std::vector<char32_t> characters = drawn.All();
    const Faces faces(fonts, characters);

    std::set<QPDFObjGen> done;
    for (QPDFObjectHandle page : doc.getAllPages()) {
        QPDFObjectHandle resources = QPDFPageObjectHelper(page).getAttribute("/Resources", false);
        if (!resources.isDictionary()) continue;
        QPDFObjectHandle fontDict = resources.getKey("/Font");
        if (!fontDict.isDictionary()) continue;
        for (auto item : fontDict.ditems()) {
            QPDFObjectHandle font = item.second;
            if (!font.isDictionary()) continue;
            QPDFObjectHandle toUnicode = font.getKey("/ToUnicode");
            if (!toUnicode.isStream() || !done.insert(toUnicode.getObjGen()).second) continue;
            QPDFObjectHandle baseFont = font.getKey("/BaseFont");
            const auto candidates = faces.Find(baseFont.isName() ? baseFont.getName() : "");
            const std::shared_ptr<Buffer> data = toUnicode.getStreamData(qpdf_dl_generalized);
            TextMap map = ParseToUnicode(std::string_view(
                reinterpret_cast<const char*>(data->getBuffer()), data->getSize()));
            if (RemapToDrawn(map, candidates)) {
                toUnicode.replaceStreamData(WriteToUnicode(map), QPDFObjectHandle::newNull(),
                                            QPDFObjectHandle::newNull());
            }
        }
    }

    DevicePipeline sink(out);
    QPDFWriter writer(doc);
    writer.setOutputPipeline(&sink);
    // The page contents are copied as they are; only the new maps are compressed.
    writer.setDecodeLevel(qpdf_dl_none);
    writer.setCompressStreams(true);
    writer.write();
    sink.finish();
}

}  // namespace lorvex::report
