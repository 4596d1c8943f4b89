// The record book as a surveyor hands it in: numbers through the template's
// formats, the check block of every page summed from the stations printed
// on it, the totals kept with the last station, the line's name and grade,
// and header texts that never lose a character without saying so.

#include <gtest/gtest.h>

#include <QFontMetricsF>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cstdlib>
#include <set>
#include <string>

#include "base/messages.h"
#include "levelling/totals.h"
#include "report/report_fill.h"
#include "report/report_layout.h"
#include "report/report_numbers.h"
#include "report/report_output.h"
#include "report_test_support.h"

namespace lorvex::report {
namespace {

using test::App;
using test::TemplateFrom;

std::string Shipped(const char* name) {
    return std::string(LORVEX_SOURCE_DIR "/resources/templates/") + name;
}

TEST(NumberFormat, PrintsStoredTextsThroughTheFormat) {
    struct Case {
        const char* text;
        const char* format;
        const char* printed;
    };
    const Case cases[] = {
        {"253", "/10 %.1f", "25.3"},  // decimetres as metres
        {"2", "/10 %.1f", "0.2"},
        {"253", "/10", "25.3"},                  // without %: exactly the decimals the shift gives
        {"0580 28", "/100000 %.5f", "0.58028"},  // the grouped digits of a height difference
        {"-0123 79", "/100000 %+.5f", "-0.12379"},
        {"0 5803", "/10000 %.4f", "0.5803"},
        {"0.4", "%+.1f", "+0.4"},
        {"-1.8", "%+.1f", "-1.8"},
        {"0", "%+.1f", "+0.0"},
        {"245", "/10 %.0f", "25"},  // halves away from zero
        {"-245", "/10 %.0f", "-25"},
        {"-4", "/100 %.1f", "-0.0"},  // a negative value keeps its sign
        {"5", "*1000", "5000"},
        {"1.5", "*10 %.2f", "15.00"},
        {"12", "/1000", "0.012"},
        // Not numbers: printed as stored, never as a made-up zero.
        {"S1:sDis_Back", "/10 %.1f", "S1:sDis_Back"},
        {"", "/10 %.1f", ""},
        {"1e3", "/10", "1e3"},
        {"12 .5", "%.1f", "12 .5"},
    };
    for (const auto& c : cases) {
        const NumberFormat f = ParseNumberFormat(QString::fromUtf8(c.format));
        EXPECT_EQ(FormatStoredText(c.text, f), c.printed) << c.text << " | " << c.format;
    }
    for (const char* bad : {"/3", "/1", "*20", "%d", "%.1e", "%.f", "%.10f", "tenths", "/10x"}) {
        EXPECT_THROW(ParseNumberFormat(QString::fromUtf8(bad)), std::invalid_argument) << bad;
    }
}

TEST(ItemText, ReadsNumberFormatsAndSums) {
    using K = TextSegment::Kind;
    const auto segs = ParseItemText(
        "{field:sDis_Back|/10 %.1f}{pagesum: sDis_Back - sDis_Fore |/10 %+.1f}"
        "{sum:sH}{pagechange:sSigma_d|%.1f}{last:-sSigma_d}");
    ASSERT_EQ(segs.size(), 5u);
    EXPECT_EQ(segs[0].kind, K::Field);
    EXPECT_EQ(segs[0].format.shift, 1);
    EXPECT_EQ(segs[0].format.decimals, 1);
    EXPECT_EQ(segs[1].kind, K::PageSum);
    ASSERT_EQ(segs[1].terms.size(), 2u);
    EXPECT_EQ(segs[1].terms[0].column, "sDis_Back");
    EXPECT_EQ(segs[1].terms[0].sign, 1);
    EXPECT_EQ(segs[1].terms[1].column, "sDis_Fore");
    EXPECT_EQ(segs[1].terms[1].sign, -1);
    EXPECT_TRUE(segs[1].format.plus);
    EXPECT_EQ(segs[2].kind, K::RunningSum);
    EXPECT_FALSE(segs[2].format.present);
    EXPECT_EQ(segs[3].kind, K::PageChange);
    EXPECT_EQ(segs[4].kind, K::LastValue);
    EXPECT_EQ(segs[4].terms[0].sign, -1);
    for (const QString bad : {"{pagesum:a*b}", "{pagesum:a--b}", "{sum:}", "{pagesum:a+}",
                              "{page|%.1f}", "{param:sSun|/10}", "{field:x|%d}"}) {
        EXPECT_THROW(ParseItemText(bad), std::invalid_argument) << bad.toStdString();
    }
    // A page's sums belong to the bands around the stations, not to a station.
    EXPECT_THROW(TemplateFrom(R"(<report><table name="T"/><detail height="5">
<text x="0" y="0" width="10" height="5">{pagesum:a}</text></detail></report>)"),
                 TemplateError);
}

// Page 100 mm high, no margins; page header and footer 10: 80 mm for the
// body. Stations 20 mm: 4 a page, 3 under the 20 mm report header.
QString PagedTemplate(double footer) {
    return QString(R"(<report><page width="100" height="100" left="0" top="0" right="0" bottom="0"/>
<table name="T"/><report-header height="20"/><page-header height="10"/>
<detail height="20"/><report-footer height="%1"/><page-footer height="10"/></report>)")
        .arg(footer);
}

TEST(Pagination, TheTotalsNeverStandAloneOnAPage) {
    struct Case {
        int rows;
        double footer;
        std::vector<int> perPage;
    };
    const Case cases[] = {
        {0, 30, {0}},
        {1, 30, {1}},
        {2, 30, {1, 1}},  // no room for the totals under
                          // station 2: it goes over with them
        {3, 30, {2, 1}},
        {4, 30, {3, 1}},
        {7, 30, {3, 3, 1}},
        {8, 30, {3, 4, 1}},
        {4, 70, {3, 1, 0}},  // totals and a station never fit one page: the totals alone
        {1, 40, {1}},        // the totals fit to the millimetre
    };
    for (const auto& c : cases) {
        const Pagination p(TemplateFrom(PagedTemplate(c.footer)), c.rows);
        std::vector<int> perPage;
        int next = 0;
        for (int page = 0; page < p.PageCount(); ++page) {
            const PagePlan plan = p.Page(page);
            EXPECT_EQ(plan.firstRow, next) << c.rows << " rows, page " << page;
            EXPECT_EQ(plan.reportFooter, page == p.PageCount() - 1);
            next = plan.firstRow + plan.rowCount;
            perPage.push_back(plan.rowCount);
        }
        EXPECT_EQ(perPage, c.perPage) << c.rows << " rows, footer " << c.footer;
    }
}

TEST(Pagination, ShippedBooksKeepTheTotalsWithTheLastStation) {
    App();
    for (const char* file : {"Second.rpt", "ThirdandFour.rpt"}) {
        QFile in(QString::fromStdString(Shipped(file)));
        ASSERT_TRUE(in.open(QIODevice::ReadOnly));
        const ReportTemplate t = ParseTemplate(in, file);
        for (int rows = 1; rows <= 60; ++rows) {
            const Pagination p(t, rows);
            const PagePlan last = p.Page(p.PageCount() - 1);
            EXPECT_TRUE(last.reportFooter);
            EXPECT_GE(last.rowCount, 1) << file << ", " << rows << " stations";
            int shown = 0;
            for (int page = 0; page < p.PageCount(); ++page) shown += p.Page(page).rowCount;
            EXPECT_EQ(shown, rows) << file;
        }
    }
}

// Tenths (or other units) as "%.Nf" prints them, for the expected texts:
// worked out here with integers, apart from the code under test.
std::string Units(long long v, int decimals, bool plus) {
    const long long scale = decimals == 1 ? 10 : decimals == 4 ? 10000 : 100000;
    std::string frac = std::to_string(std::llabs(v) % scale);
    frac.insert(0, static_cast<std::size_t>(decimals) - frac.size(), '0');
    const std::string sign = v < 0 ? "-" : plus ? "+" : "";
    return sign + std::to_string(std::llabs(v) / scale) + "." + frac;
}

struct Station {
    int back, fore;  // dm
    int d, sigma;    // 0.1 m
    int h;           // the grade's reading unit
};

// Stations that look like a real line, each named by its back point "P<n>".
std::vector<Station> MakeStations(int count) {
    std::vector<Station> out;
    unsigned seed = 12345;
    auto next = [&](int lo, int hi) {
        seed = seed * 1103515245u + 12345u;
        return lo + static_cast<int>((seed >> 8) % static_cast<unsigned>(hi - lo + 1));
    };
    int sigma = 0;
    for (int s = 0; s < count; ++s) {
        Station st;
        st.back = next(150, 480);
        st.fore = st.back + next(-12, 12);
        st.d = st.back - st.fore + next(-1, 1);  // rounded apart, as the computation does
        sigma += st.d;
        st.sigma = sigma;
        st.h = next(-150000, 150000);
        out.push_back(st);
    }
    return out;
}

// The grouped text the book stores a height difference as: "0580 28".
std::string GroupedHeight(int h, int group) {
    std::string digits = std::to_string(std::abs(h));
    digits.insert(0, digits.size() < 6 ? 6 - digits.size() : 0, '0');
    digits.insert(digits.size() - static_cast<std::size_t>(group), 1, ' ');
    return (h < 0 ? "-" : "") + digits;
}

TEST(RecordBook, EveryPageChecksTheStationsPrintedOnIt) {
    App();
    struct Case {
        const char* file;
        int hGroup;     // digits after the space in sH
        int hDecimals;  // Σh printed in metres
    };
    for (const Case c : {Case{"Second.rpt", 2, 5}, Case{"ThirdandFour.rpt", 4, 4}}) {
        SCOPED_TRACE(c.file);
        const std::vector<Station> stations = MakeStations(40);
        auto rows = std::make_shared<test::MemoryRows>();
        TableData& table = rows->tables["Observation_tbl"];
        table.columns.push_back("Record_ID");
        for (const auto& f : kObservationRowFields) table.columns.push_back(f.name);
        for (std::size_t s = 0; s < stations.size(); ++s) {
            const Station& st = stations[s];
            std::vector<std::optional<std::string>> row{std::to_string(s + 1)};
            for (const auto& f : kObservationRowFields) {
                const std::string name = f.name;
                std::string v = "0";
                if (name == "sStation") v = std::to_string(s + 1);
                if (name == "sDis_Back") v = std::to_string(st.back);
                if (name == "sDis_Fore") v = std::to_string(st.fore);
                if (name == "sDistance_Error") v = Units(st.d, 1, false);
                if (name == "sSigma_d") v = Units(st.sigma, 1, false);
                if (name == "sH") v = GroupedHeight(st.h, c.hGroup);
                if (name == "sTarget_Back") v = "P" + std::to_string(s + 1);
                if (name == "sTarget_Fore") v = "P" + std::to_string(s + 2);
                row.push_back(v);
            }
            table.rows.push_back(row);
        }
        auto app = ReportEngine::CreateEngine(rows);
        auto report = ReportEngine::OpenTemplate(app, Shipped(c.file));
        ReportEngine::SetTableLogon(report, 1, "Qel", "Qel", "", "");
        QTemporaryDir dir;
        const QString pdf = dir.filePath("book.pdf");
        WritePdf(report, pdf);
        ASSERT_GE(report->PageCount(), 4);

        // Which stations a page holds, read off the page itself: "后 P7".
        std::size_t seen = 0;
        for (int page = 1; page <= report->PageCount(); ++page) {
            const QString raw = test::PdfText(pdf, page, page);
            const QString text = test::Squeeze(raw);
            long long back = 0, fore = 0, h = 0;
            int first = -1, last = -1;
            std::set<std::size_t> onPage;
            for (const auto& m : QRegularExpression("后 *P(\\d+)").globalMatch(raw))
                onPage.insert(m.captured(1).toULongLong() - 1);
            for (std::size_t s = 0; s < stations.size(); ++s) {
                if (!onPage.count(s)) continue;
                if (first < 0) first = static_cast<int>(s);
                last = static_cast<int>(s);
                back += stations[s].back;
                fore += stations[s].fore;
                h += stations[s].h;
            }
            ASSERT_GE(first, 0) << "page " << page << " holds no station";
            EXPECT_EQ(static_cast<std::size_t>(first), seen) << "page " << page;
            seen = static_cast<std::size_t>(last) + 1;
            const long long change =
                stations[static_cast<std::size_t>(last)].sigma -
                (first > 0 ? stations[static_cast<std::size_t>(first) - 1].sigma : 0);
            for (const std::string& expected :
                 {"Σ后距" + Units(back, 1, false) + "m", "Σ前距" + Units(fore, 1, false) + "m",
                  "Σ后距−Σ前距" + Units(back - fore, 1, true) + "m",
                  "末站Σd−上页末站Σd" + Units(change, 1, true) + "m",
                  "Σh" + Units(h, c.hDecimals, true) + "m"}) {
                EXPECT_TRUE(text.contains(QString::fromStdString(expected)))
                    << "page " << page << ": " << expected << "\n"
                    << text.toStdString();
            }
        }
        EXPECT_EQ(seen, stations.size());

        // The book's totals under the last station.
        long long back = 0, fore = 0, h = 0;
        for (const Station& st : stations) back += st.back, fore += st.fore, h += st.h;
        const QString lastPage =
            test::Squeeze(test::PdfText(pdf, report->PageCount(), report->PageCount()));
        for (const std::string& expected :
             {"总视距" + Units(back + fore, 1, false) + "m", "Σ后距" + Units(back, 1, false) + "m",
              "Σ前距" + Units(fore, 1, false) + "m",
              "末站Σd" + Units(stations.back().sigma, 1, true) + "m",
              "Σh" + Units(h, c.hDecimals, true) + "m", std::string("观测者"),
              std::string("记录者"), std::string("检查者")}) {
            EXPECT_TRUE(lastPage.contains(QString::fromStdString(expected))) << expected;
        }
    }
}

TEST(RecordBook, PagesNameTheLineAndItsGrade) {
    App();
    struct Case {
        const char* what;
        const char* file;
        ReportTemplateKind kind;
        std::optional<RecordBookLine> line;
        LevellingGrade known;  // what the caller that chose the template knows
        const char* title;
        const char* name;
    };
    const Case cases[] = {
        {"fourth order, named", "ThirdandFour.rpt", TemplateThirdFourthOrder,
         RecordBookLine{"SD7-SD8", GradeFourth}, GradeNone, "四等水准测量记录手簿", "SD7-SD8"},
        {"third order from the caller", "ThirdandFour.rpt", TemplateThirdFourthOrder, std::nullopt,
         GradeThird, "三等水准测量记录手簿", ""},
        {"grade unknown: both", "ThirdandFour.rpt", TemplateThirdFourthOrder, std::nullopt,
         GradeNone, "三、四等水准测量记录手簿", ""},
        {"second order", "Second.rpt", TemplateSecondOrder, RecordBookLine{"BM1-BM2(R)", GradeNone},
         GradeNone, "二等水准测量记录手簿", "BM1-BM2(R)"},
    };
    for (const auto& c : cases) {
        ReportRowsInMemory given;
        given.header = ReportHeader{};
        given.stations.columns.push_back("Record_ID");
        for (const auto& f : kObservationRowFields) given.stations.columns.push_back(f.name);
        given.stations.rows.assign(30, std::vector<std::optional<std::string>>(18, "1"));
        given.line = c.line;
        std::shared_ptr<ReportRowSource> rows = MakeMemoryReportRows(std::move(given));
        if (c.known != GradeNone) rows = WithGradeKnown(rows, c.known);
        struct : MessageSink {
            void Show(const UserMessage& m) override { ADD_FAILURE() << m.text; }
        } sink;
        EngineReferences held;
        ASSERT_TRUE(FillReportGuarded(held, Shipped(c.file), c.kind, *rows, sink)) << c.what;
        QTemporaryDir dir;
        const QString pdf = dir.filePath("book.pdf");
        WritePdf(held.report, pdf);
        const int pages = held.report->PageCount();
        ASSERT_GE(pages, 3);
        EXPECT_TRUE(test::HasText(test::PdfText(pdf, 1, 1), c.title)) << c.what;
        const QString grade = QString(c.title).section("水准", 0, 0);
        for (int page = 1; page <= pages; ++page) {
            const QString text = test::Squeeze(test::PdfText(pdf, page, page));
            EXPECT_TRUE(text.contains("线路" + QString(c.name) + "等级" + grade))
                << c.what << ", page " << page << "\n"
                << text.toStdString();
            EXPECT_TRUE(text.contains(QString("第%1页共%2页").arg(page).arg(pages))) << c.what;
        }
    }
}

// Several books in one PDF: each numbers and checks its own pages.
TEST(RecordBook, BooksInOnePdfKeepTheirOwnPages) {
    App();
    std::vector<RefPtr<Report>> books;
    std::vector<int> pages;
    for (const auto& [file, count, name] :
         {std::tuple{"Second.rpt", 25, "BM1-BM2"}, std::tuple{"ThirdandFour.rpt", 12, "QX3-QX4"}}) {
        ReportRowsInMemory given;
        given.header = ReportHeader{};
        given.stations.columns.push_back("Record_ID");
        for (const auto& f : kObservationRowFields) given.stations.columns.push_back(f.name);
        given.stations.rows.assign(static_cast<std::size_t>(count),
                                   std::vector<std::optional<std::string>>(18, "10"));
        given.line = RecordBookLine{name, GradeThird};
        const auto rows = MakeMemoryReportRows(std::move(given));
        struct : MessageSink {
            void Show(const UserMessage& m) override { ADD_FAILURE() << m.text; }
        } sink;
        EngineReferences held;
        const ReportTemplateKind kind =
            std::string(file) == "Second.rpt" ? TemplateSecondOrder : TemplateThirdFourthOrder;
        ASSERT_TRUE(FillReportGuarded(held, Shipped(file), kind, *rows, sink));
        books.push_back(held.report);
        pages.push_back(held.report->PageCount());
    }
    QTemporaryDir dir;
    const QString pdf = dir.filePath("all.pdf");
    WritePdf(books, pdf);
    int at = 1;
    for (std::size_t b = 0; b < books.size(); ++b) {
        for (int page = 1; page <= pages[b]; ++page, ++at) {
            const QString text = test::Squeeze(test::PdfText(pdf, at, at));
            EXPECT_TRUE(text.contains(QString("第%1页共%2页").arg(page).arg(pages[b])))
                << "book " << b << " page " << page;
            EXPECT_TRUE(text.contains(b == 0 ? "BM1-BM2" : "QX3-QX4")) << "page " << at;
        }
    }
    EXPECT_TRUE(test::PdfText(pdf, at, at).isEmpty()) << "pages beyond the books";
    // The totals of each book after its own stations: 25 and 12 of 1.0 m each way.
    EXPECT_TRUE(test::HasText(test::PdfText(pdf, pages[0], pages[0]), "总视距 50.0 m"));
    EXPECT_TRUE(test::HasText(test::PdfText(pdf, at - 1, at - 1), "总视距 24.0 m"));
}

TEST(FitText, WrapsOrEndsInAnEllipsisButNeverCutsSilently) {
    App();
    QFont font("Noto Sans CJK SC");
    font.setPixelSize(318);  // 9 pt in 1/100 mm
    const QFontMetricsF m(font);
    const QString name = "京哈高速公路北侧水准点BM1";
    const double width = 3840;  // a 40 mm box less its padding
    struct Case {
        const char* what;
        QString text;
        double height;
        int lines;
        bool elided;
    };
    const Case cases[] = {
        {"fits", "BM2", 600, 1, false},
        {"a little too wide: smaller", name, 600, 1, false},
        {"much too wide: two lines", name + "旁边的第二个水泥桩顶部中心标志", 600, 2, false},
        {"too long for two lines", name.repeated(4), 600, 2, true},
        {"too low for two lines", name.repeated(2), 300, 1, true},
    };
    for (const auto& c : cases) {
        const FittedText fitted = FitText(font, c.text, QSizeF(width, c.height));
        ASSERT_EQ(fitted.lines.size(), c.lines) << c.what;
        EXPECT_EQ(fitted.elided, c.elided) << c.what;
        EXPECT_GE(fitted.scale, 0.6) << c.what;
        QFont scaled = font;
        scaled.setPixelSize(static_cast<int>(font.pixelSize() * fitted.scale));
        const QFontMetricsF sm(scaled);
        for (const QString& line : fitted.lines)
            EXPECT_LE(sm.horizontalAdvance(line), width + 1) << c.what;
        EXPECT_LE(sm.height() * fitted.lines.size(), std::max(c.height, sm.height()) + 1) << c.what;
        const QString joined = fitted.lines.join("");
        if (c.elided) {
            EXPECT_TRUE(joined.endsWith(u'…')) << c.what;
            EXPECT_TRUE(c.text.startsWith(joined.chopped(1))) << c.what;
        } else {
            EXPECT_EQ(joined, c.text) << c.what;  // every character printed
        }
    }
}

}  // namespace
}  // namespace lorvex::report
