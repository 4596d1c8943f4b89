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
        for (const char32_t u : QStringLiteral("0123456789.-km ").toUcs4()) allowed.insert(u);
        // Nothing reads back that was not drawn: no radical, no compatibility form.
        for (const char32_t u : test::Squeeze(text).toUcs4()) {
            EXPECT_TRUE(allowed.count(u))
                << "U+" << std::hex << static_cast<unsigned>(u) << " "
                << QString::fromUcs4(&u, 1).toStdString() << " was never drawn";
        }
    }
}

}  // namespace
}  // namespace lorvex::report
