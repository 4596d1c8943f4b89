// The text of a written record book reads back as the characters that were
// drawn. CJK fonts give one glyph to several code points (二 U+4E8C and the
// Kangxi radical ⼆ U+2F06, 风 and ⻛, 页 and ⻚); a surveyor who searches an
// archive of record books for "水准" or copies a point name out of one must
// get the ideograph that was printed, never its look-alike.

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <set>

#include "levelling/totals.h"
#include "report/pdf_text_map.h"
#include "report/report_fill.h"
#include "report/report_output.h"
#include "report_test_support.h"

namespace lorvex::report {
namespace {

using test::App;
using test::MemoryRows;

QString Shipped(const char* name) {
    return QStringLiteral(LORVEX_SOURCE_DIR "/resources/templates/") + name;
}

// Header texts that read back wrong through a reverse lookup in the font's
// character map: each holds an ideograph that shares its glyph with a radical
// or a compatibility form of lower code point.
const char* const kHeaderTexts[] = {"东南风二级", "沥青路面", "左前方", "水准3", "返终点乙",
                                    "日",         "月",       "页",     "面",    "青",
                                    "风",         "方",       "乙",     "二"};

// Every literal a template prints, as written in the template.
std::vector<QString> Literals(const ReportTemplate& t) {
    std::vector<QString> out;
    for (const Band* band :
         {&t.reportHeader, &t.pageHeader, &t.detail, &t.reportFooter, &t.pageFooter}) {
        for (const auto& item : band->items) {
            for (const auto& seg : item.text) {
                if (seg.kind == TextSegment::Kind::Literal && !seg.text.trimmed().isEmpty())
                    out.push_back(seg.text);
            }
        }
    }
    return out;
}

ReportTemplate Load(const QString& path) {
    QFile in(path);
    EXPECT_TRUE(in.open(QIODevice::ReadOnly)) << path.toStdString();
    return ParseTemplate(in, path);
}

// Stations whose point names are the header texts in turn.
TableData Stations(int count) {
    TableData t;
    t.columns.push_back("Record_ID");
    for (const auto& f : kObservationRowFields) t.columns.push_back(f.name);
    const int texts = static_cast<int>(std::size(kHeaderTexts));
    for (int s = 1; s <= count; ++s) {
        std::vector<std::optional<std::string>> row{std::to_string(s)};
        for (const auto& f : kObservationRowFields) {
            const std::string name = f.name;
            if (name == "sTarget_Back")
                row.push_back(kHeaderTexts[(s - 1) % texts]);
            else if (name == "sTarget_Fore")
                row.push_back(kHeaderTexts[s % texts]);
            else
                row.push_back(std::to_string(s * 7 % 1000));
        }
        t.rows.push_back(row);
    }
    return t;
}

TEST(PdfText, EveryDrawnCharacterReadsBackAsItself) {
    App();
    QTemporaryDir dir;
    auto rows = std::make_shared<MemoryRows>();
    const int texts = static_cast<int>(std::size(kHeaderTexts));
    rows->tables["Observation_tbl"] = Stations(texts);

    struct Case {
        const char* file;
        ReportTemplateKind kind;
    };
    for (const Case c : {Case{"Second.rpt", TemplateSecondOrder},
                         Case{"ThirdandFour.rpt", TemplateThirdFourthOrder}}) {
        SCOPED_TRACE(c.file);
        const ReportTemplate t = Load(Shipped(c.file));
        auto app = ReportEngine::CreateEngine(rows);
        auto report = ReportEngine::OpenTemplate(app, Shipped(c.file).toStdString());
        ReportEngine::SetTableLogon(report, 1, "Qel", "Qel", "", "");

        // The header fields take the texts in turn; the point names hold
        // them all again, so the third/fourth-order book, which has fewer
        // fields, prints every one as well.
        ReportHeader h;
        int next = 0;
        for (const auto& f : kReportHeaderFields) h.*f.member = kHeaderTexts[next++ % texts];
        std::vector<QString> drawn;
        for (const auto& p : HeaderParameters(c.kind, h)) {
            ReportEngine::SetParameterValue(ReportEngine::FindParameter(report, p.name), p.text);
            drawn.push_back(QString::fromStdString(p.text));
        }
        for (const auto& p : ResultParameters(c.kind, ReportTotals{1.5, 1.5, 0.001})) {
            ReportEngine::SetParameterValue(ReportEngine::FindParameter(report, p.name), p.text);
            drawn.push_back(QString::fromStdString(p.text));
        }
        for (const char* text : kHeaderTexts) drawn.push_back(QString::fromUtf8(text));
        // Parameters nobody sets print their default (the grade of the book).
        for (const auto& p : t.parameters) {
            if (!p.defaultValue.isEmpty()) drawn.push_back(p.defaultValue);
        }
        for (const QString& literal : Literals(t)) drawn.push_back(literal);

        const QString pdf = dir.filePath(c.file) + ".pdf";
        WritePdf(report, pdf);
        const QString text = test::PdfText(pdf);

        std::set<char32_t> allowed;
        for (const QString& s : drawn) {
            EXPECT_TRUE(test::HasText(text, s)) << s.toStdString();
            for (const char32_t u : s.toUcs4()) allowed.insert(u);
        }
        // Page numbers and the station values are digits and punctuation.
        // The check block's differences carry their sign.
        for (const char32_t u : QStringLiteral("0123456789.-+km ").toUcs4()) allowed.insert(u);
        // Nothing reads back that was not drawn: no radical, no compatibility form.
        for (const char32_t u : test::Squeeze(text).toUcs4()) {
            EXPECT_TRUE(allowed.count(u))
                << "U+" << std::hex << static_cast<unsigned>(u) << " "
                << QString::fromUcs4(&u, 1).toStdString() << " was never drawn";
        }
    }
}

// The text maps Qt writes use both forms of bfrange and may use bfchar;
// destinations are UTF-16 and may hold surrogate pairs.
TEST(PdfTextMap, ReadsEveryFormOfEntry) {
    struct Case {
        const char* what;
        const char* cmap;
        TextMap expected;
    };
    const Case cases[] = {
        {"range with an array (as Qt writes it)",
         "2 beginbfrange\n<0000> <0000> <0000>\n<0001> <0003> [<2F06> <7B49> <0009>]\nendbfrange",
         {{0, std::u32string(1, U'\0')}, {1, U"\u2F06"}, {2, U"\u7B49"}, {3, U"\t"}}},
        {"range counting up",
         "1 beginbfrange <0010> <0012> <0041> endbfrange",
         {{0x10, U"A"}, {0x11, U"B"}, {0x12, U"C"}}},
        {"single codes, a surrogate pair and two characters",
         "3 beginbfchar\n<0005> <4E8C>\n<0006> <D840DC00>\n<0007> <00660069>\nendbfchar",
         {{5, U"\u4E8C"}, {6, U"\U00020000"}, {7, U"fi"}}},
        {"comments and no entries", "% nothing here\n0 beginbfchar endbfchar", {}},
    };
    for (const auto& c : cases) {
        const TextMap map = ParseToUnicode(c.cmap);
        EXPECT_EQ(map, c.expected) << c.what;
        // What is written reads back the same.
        EXPECT_EQ(ParseToUnicode(WriteToUnicode(map)), c.expected) << c.what;
    }
    for (const char* broken :
         {"1 beginbfchar <0001> endbfchar", "1 beginbfrange <0002> <0001> <41> endbfrange",
          "1 beginbfchar <0001> <00"}) {
        EXPECT_THROW(ParseToUnicode(broken), std::runtime_error) << broken;
    }
}

TEST(PdfTextMap, WritesAtMostOneHundredEntriesASection) {
    TextMap map;
    for (unsigned code = 1; code <= 250; ++code) map[code] = std::u32string(1, U'\u4E00' + code);
    const std::string cmap = WriteToUnicode(map);
    EXPECT_NE(cmap.find("100 beginbfchar"), std::string::npos);
    EXPECT_NE(cmap.find("50 beginbfchar"), std::string::npos);
    EXPECT_EQ(ParseToUnicode(cmap), map);
}

TEST(PdfTextMap, ChoosesTheDrawnCharacterOfAGlyph) {
    struct Case {
        const char* what;
        char32_t mapped;
        std::vector<char32_t> sameGlyph;
        char32_t expected;
    };
    const Case cases[] = {
        {"the radical named, the ideograph drawn", U'\u2F06', {U'\u4E8C'}, U'\u4E8C'},
        {"the tab named, the space drawn", U'\t', {U' '}, U' '},
        {"named as drawn", U'\u4E8C', {U'\u4E8C'}, U'\u4E8C'},
        {"both drawn: the ideograph", U'\u2F06', {U'\u2F06', U'\u4E8C'}, U'\u4E8C'},
        {"both drawn, the ideograph named", U'\u4E8C', {U'\u2F06', U'\u4E8C'}, U'\u4E8C'},
        {"space and no-break space drawn", U'\t', {U' ', U'\u00A0'}, U' '},
        {"only the radical drawn", U'\u2F06', {U'\u2F06'}, U'\u2F06'},
    };
    for (const auto& c : cases) EXPECT_EQ(ChooseDrawn(c.mapped, c.sameGlyph), c.expected) << c.what;
}

TEST(PdfTextMap, GathersCodePointsBeyondTheBasicPlane) {
    DrawnCharacters drawn;
    drawn.Add(
        QString::fromUtf8("水准\xF0\xA0\x80\x80"
                          "a"));
    drawn.Add(QString(QChar(0xD800)));  // a lone surrogate stays what it is
    EXPECT_EQ(drawn.All(), (std::vector<char32_t>{U'a', U'\u51C6', U'\u6C34', 0xD800, 0x20000}));
    EXPECT_TRUE(drawn.Contains(0x20000));
    EXPECT_FALSE(drawn.Contains(0x2F54));
}

}  // namespace
}  // namespace lorvex::report
