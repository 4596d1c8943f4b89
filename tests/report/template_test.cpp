// The template format: what the parser accepts, where it says a template is
// broken, and how the bands fall onto pages.

#include <gtest/gtest.h>

#include <QFile>

#include <set>

#include "report/report_fill.h"
#include "report/report_layout.h"
#include "report_test_support.h"

namespace lorvex::report {
namespace {

using test::TemplateFrom;

TEST(ItemText, SplitsPlaceholdersAndLiterals) {
    struct Case {
        QString text;
        std::vector<TextSegment::Kind> kinds;
        QStringList texts;
    };
    using K = TextSegment::Kind;
    const Case cases[] = {
        {"往测自", {K::Literal}, {"往测自"}},
        {"后 {field:sTarget_Back}", {K::Literal, K::Field}, {"后 ", "sTarget_Back"}},
        {"第 {page} 页 共 {pages} 页",
         {K::Literal, K::PageNumber, K::Literal, K::PageCount, K::Literal},
         {"第 ", "", " 页 共 ", "", " 页"}},
        {"{param:sSun}{row}", {K::Parameter, K::RowNumber}, {"sSun", ""}},
        {"{{x}} {{", {K::Literal}, {"{x} {"}},
        {"", {}, {}},
    };
    for (const auto& c : cases) {
        const auto segs = ParseItemText(c.text);
        ASSERT_EQ(segs.size(), c.kinds.size()) << c.text.toStdString();
        for (std::size_t i = 0; i < segs.size(); ++i) {
            EXPECT_EQ(segs[i].kind, c.kinds[i]) << c.text.toStdString();
            EXPECT_EQ(segs[i].text, c.texts[static_cast<int>(i)]) << c.text.toStdString();
        }
    }
    for (const QString bad : {"{param:}", "{unknown}", "{page", "a } b"}) {
        EXPECT_THROW(ParseItemText(bad), std::invalid_argument) << bad.toStdString();
    }
}

// A template whose body is given; the wrapper adds nothing but the root.
QString Wrap(const QString& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<report>\n" + body + "</report>\n";
}

TEST(TemplateParser, BrokenTemplatesNameTheLine) {
    struct Case {
        const char* what;
        QString xml;
        int line;
        const char* message;  // part of the message
    };
    const Case cases[] = {
        {"not well formed", Wrap("<fonts>\n<font id=\"a\" family=\"x\">\n</fonts>\n"), 5, ""},
        {"unknown element", Wrap("<page size=\"A4\"/>\n<pictures/>\n"), 4, "pictures"},
        {"bad number", Wrap("<detail height=\"2O\">\n</detail>\n"), 3, "not a number"},
        {"missing attribute", Wrap("<table/>\n"), 3, "name"},
        {"unknown page size", Wrap("<page size=\"A9\"/>\n"), 3, "A9"},
        {"undeclared parameter",
         Wrap("<page-header height=\"10\">\n\n<text x=\"0\" y=\"0\" width=\"9\" "
              "height=\"5\">{param:sCompany}</text>\n"
              "</page-header>\n"),
         5, "sCompany"},
        {"field outside detail",
         Wrap("<report-header height=\"10\">\n<text x=\"0\" y=\"0\" width=\"9\" "
              "height=\"5\">{field:sH}</text>\n"
              "</report-header>\n"),
         4, "detail"},
        {"unknown column",
         Wrap("<columns><column id=\"a\" width=\"10\"/></columns>\n<page-header height=\"5\">\n"
              "<cell col=\"b\" y=\"0\" height=\"5\">x</cell>\n</page-header>\n"),
         5, "column \"b\""},
        {"span past the last column",
         Wrap("<columns><column id=\"a\" width=\"10\"/></columns>\n<page-header height=\"5\">\n"
              "<cell col=\"a\" span=\"2\" y=\"0\" height=\"5\">x</cell>\n</page-header>\n"),
         5, "span"},
        {"unknown font",
         Wrap("<page-header height=\"5\">\n<text x=\"0\" y=\"0\" width=\"9\" height=\"5\" "
              "font=\"big\">x</text>\n"
              "</page-header>\n"),
         4, "big"},
        {"detail without table", Wrap("<detail height=\"20\">\n</detail>\n"), 3, "table"},
        {"detail higher than a page",
         Wrap("<table name=\"t\"/>\n<detail height=\"300\">\n</detail>\n"), 4, "higher"},
        {"band twice", Wrap("<page-footer height=\"5\"/>\n<page-footer height=\"5\"/>\n"), 4,
         "twice"},
        {"bad placeholder",
         Wrap("<page-footer height=\"5\">\n<text x=\"0\" y=\"0\" width=\"9\" "
              "height=\"5\">{pagez}</text>\n"
              "</page-footer>\n"),
         4, "pagez"},
        {"empty file", "", 1, ""},
        {"wrong root", "<rapport/>", 1, "<report>"},
    };
    for (const auto& c : cases) {
        try {
            TemplateFrom(c.xml, "broken.rpt");
            ADD_FAILURE() << c.what << ": parsed";
        } catch (const TemplateError& e) {
            EXPECT_EQ(e.FileName(), "broken.rpt") << c.what;
            EXPECT_EQ(e.Line(), c.line) << c.what << ": " << e.what();
            EXPECT_TRUE(e.Message().contains(QString::fromUtf8(c.message)))
                << c.what << ": " << e.what();
            EXPECT_TRUE(
                std::string(e.what()).starts_with("broken.rpt:" + std::to_string(c.line) + ":"))
                << e.what();
        }
    }
}

TEST(TemplateParser, ReadsGeometryFontsAndCells) {
    const auto t = TemplateFrom(
        Wrap("<page size=\"A4\" orientation=\"landscape\" left=\"5\" top=\"6\" right=\"7\" "
             "bottom=\"8\"/>\n"
             "<fonts><font id=\"a\" family=\"Noto Sans CJK SC\" size=\"8\"/>"
             "<font id=\"b\" family=\"Noto Serif CJK SC\" size=\"12\" bold=\"true\"/></fonts>\n"
             "<parameters><parameter name=\"p\" default=\"无\"/></parameters>\n"
             "<table name=\"Observation_tbl\"/>\n"
             "<columns x=\"2\"><column id=\"c1\" width=\"10\"/><column id=\"c2\" width=\"20\"/>"
             "<column id=\"c3\" width=\"30\"/></columns>\n"
             "<detail height=\"20\"><cell col=\"c2\" span=\"2\" y=\"5\" height=\"5\" font=\"b\" "
             "align=\"right\">"
             "{field:sH}</cell><line x1=\"0\" y1=\"20\" x2=\"60\" y2=\"20\" "
             "width=\"0.3\"/></detail>\n"));
    EXPECT_EQ(t.PageSizeMm().toSize(), QSize(297, 210));
    EXPECT_EQ(t.margins, QMarginsF(5, 6, 7, 8));
    ASSERT_EQ(t.fonts.size(), 2u);
    EXPECT_TRUE(t.fonts[1].bold);
    EXPECT_EQ(t.parameters[0].defaultValue, "无");
    EXPECT_EQ(t.tableName, "Observation_tbl");
    ASSERT_EQ(t.detail.items.size(), 2u);
    const auto& cell = t.detail.items[0];
    EXPECT_EQ(cell.rect, QRectF(12, 5, 50, 5));  // c2 starts at 2 + 10; spans c2 and c3
    EXPECT_EQ(cell.font, 1);
    EXPECT_EQ(cell.borders, unsigned(BorderAll));  // cells are ruled unless told otherwise
    EXPECT_EQ(cell.align, Qt::AlignRight | Qt::AlignVCenter);
    EXPECT_EQ(t.detail.items[1].kind, TemplateItem::Kind::Line);
}

// The shipped templates declare exactly the parameters the filling sets for
// their kind, the checks' footer, line name and grade among them, and read
// the station table.
TEST(ShippedTemplates, DeclareTheParametersTheFillSets) {
    for (const auto kind : {TemplateSecondOrder, TemplateThirdFourthOrder}) {
        const QString path =
            QString(LORVEX_SOURCE_DIR "/resources/templates/") + TemplateFileName(kind);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        const auto t = ParseTemplate(file, path);
        std::set<std::string> declared;
        for (const auto& p : t.parameters) declared.insert(p.name.toStdString());
        std::set<std::string> set;
        for (const auto& p : HeaderParameters(kind, {})) set.insert(p.name);
        for (const auto& p : ResultParameters(kind, ReportTotals{})) set.insert(p.name);
        // The header and totals parameters, unchanged in number...
        EXPECT_EQ(set.size(), kind == TemplateSecondOrder ? 21u : 15u);
        // ...and the checks' footer, the line's name and its grade, which the
        // fill sets where they are declared.
        set.insert(kCheckFooterParameter);
        set.insert(kLineNameParameter);
        set.insert(kGradeParameter);
        EXPECT_EQ(declared, set) << path.toStdString();
        EXPECT_EQ(t.tableName, "Observation_tbl");
        EXPECT_EQ(t.PageSizeMm().toSize(), QSize(210, 297));
    }
}

// A page of body 100 mm: 10 mm margins each side on a 120 mm page, a 20 mm
// report header, 10 mm detail rows, a 25 mm report footer.
ReportTemplate PagingTemplate(bool footer = true) {
    return TemplateFrom(
        Wrap(QString("<page width=\"100\" height=\"120\" left=\"10\" top=\"10\" right=\"10\" "
                     "bottom=\"10\"/>\n<table name=\"t\"/>\n"
                     "<report-header height=\"20\"/>\n<detail height=\"10\"/>\n") +
             (footer ? "<report-footer height=\"25\"/>\n" : "")));
}

TEST(Pagination, RowsNeverSplitAndTheFooterFollowsTheLastRow) {
    struct Case {
        int rows;
        bool footer;
        int pages;
        int lastFirstRow;
        int lastRowCount;
    };
    // First page: 80 mm after the header = 8 rows; further pages 10 rows.
    const Case cases[] = {
        {0, true, 1, 0, 0},  // header and footer only
        {5, true, 1, 0, 5},  // 30 mm left, the 25 mm footer fits
        {6, true, 2, 5, 1},  // 20 mm left: the last row goes over with the footer
        {8, false, 1, 0, 8},
        {9, false, 2, 8, 1},
        {18, false, 2, 8, 10},
        {18, true, 3, 17, 1},  // a full last page: its last row goes over with the footer
        {15, true, 2, 8, 7},   // 30 mm left on page 2
        {10000, false, 1001, 9998, 2},
    };
    for (const auto& c : cases) {
        const Pagination p(PagingTemplate(c.footer), c.rows);
        EXPECT_EQ(p.PageCount(), c.pages) << c.rows;
        const auto last = p.Page(p.PageCount() - 1);
        EXPECT_EQ(last.firstRow, c.lastFirstRow) << c.rows;
        EXPECT_EQ(last.rowCount, c.lastRowCount) << c.rows;
        EXPECT_EQ(last.reportFooter, c.footer) << c.rows;
        // Every row is on exactly one page, in order.
        int next = 0;
        for (int i = 0; i < p.PageCount(); ++i) {
            const auto page = p.Page(i);
            EXPECT_EQ(page.firstRow, next) << c.rows << " page " << i;
            EXPECT_EQ(page.reportHeader, i == 0);
            EXPECT_LE(page.rowCount, i == 0 ? 8 : 10);
            next += page.rowCount;
        }
        EXPECT_EQ(next, c.rows);
    }
}

}  // namespace
}  // namespace lorvex::report
