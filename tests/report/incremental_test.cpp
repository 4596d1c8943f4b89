// A record book shown before its rows are all read: the first page comes
// from the first rows and the row count, the rest is read afterwards, and
// every page ends up as the book read whole paints it.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QImage>
#include <QPainter>

#include "levelling/totals.h"
#include "report/report_layout.h"
#include "report/report_page_view.h"
#include "report/report_viewer.h"
#include "report_test_support.h"

namespace lorvex::report {
namespace {

using test::App;

std::string Shipped(const char* name) {
    return std::string(LORVEX_SOURCE_DIR "/resources/templates/") + name;
}

// Stations with numbers where the book sums them; the distances of the last
// station carry a place more, as a sum's places are the finest of all rows.
TableData Stations(int count) {
    TableData t;
    t.columns.push_back("Record_ID");
    for (const auto& f : kObservationRowFields) t.columns.push_back(f.name);
    for (int s = 1; s <= count; ++s) {
        std::vector<std::optional<std::string>> row{std::to_string(s)};
        for (const auto& f : kObservationRowFields) {
            const std::string name = f.name;
            if (name == "sStation") {
                row.push_back(std::to_string(s));
            } else if (name == "sDis_Back" || name == "sDis_Fore") {
                row.push_back(std::to_string(300 + s % 97) + (s == count ? ".25" : ""));
            } else if (name == "sH") {
                row.push_back(std::to_string((s % 13) * 1000 - 6000));
            } else {
                row.push_back("S" + std::to_string(s) + ":" + name);
            }
        }
        t.rows.push_back(row);
    }
    return t;
}

// Hands the table out a few rows at a time, counting what was asked, and
// can claim another row count than it holds (a table changed under it).
class BatchRows final : public RowSource {
  public:
    TableData table;
    int countSkew = 0;
    int fetches = 0;

    TableData ReadTable(const TableLogon&, const std::string&) override { return table; }

    std::unique_ptr<RowCursor> OpenTable(const TableLogon&, const std::string&) override {
        class Cursor final : public RowCursor {
          public:
            explicit Cursor(BatchRows& owner) : m_owner(owner) {}
            std::vector<std::string> Columns() const override { return m_owner.table.columns; }
            std::size_t Count() const override {
                return static_cast<std::size_t>(static_cast<int>(m_owner.table.rows.size()) +
                                                m_owner.countSkew);
            }
            bool Fetch(std::vector<std::vector<std::optional<std::string>>>& rows,
                       std::size_t maxRows) override {
                ++m_owner.fetches;
                const auto& all = m_owner.table.rows;
                for (std::size_t i = 0; i < maxRows && m_next < all.size(); ++i)
                    rows.push_back(all[m_next++]);
                return m_next < all.size();
            }

          private:
            BatchRows& m_owner;
            std::size_t m_next = 0;
        };
        return std::make_unique<Cursor>(*this);
    }
};

RefPtr<Report> Open(const std::string& templ, std::shared_ptr<RowSource> rows) {
    auto app = ReportEngine::CreateEngine(std::move(rows));
    auto report = ReportEngine::OpenTemplate(app, templ);
    ReportEngine::SetTableLogon(report, 1, "Qel", "Qel", "", "");
    return report;
}

QImage Painted(Report& report, int page) {
    QImage image(420, 594, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    MapPageToRect(painter, report.PageSizeMm(), QRectF(image.rect()));
    report.PaintPage(painter, page);
    return image;
}

TEST(IncrementalReading, GivesThePagesOfTheWholeRead) {
    App();
    struct Case {
        const char* what;
        const char* templ;
        int stations;
        int countSkew;
    };
    const Case cases[] = {
        {"no station", "Second.rpt", 0, 0},
        {"one page", "Second.rpt", 3, 0},
        {"several pages", "Second.rpt", 130, 0},
        {"several pages, third/fourth order", "ThirdandFour.rpt", 130, 0},
        {"the count said fewer rows", "Second.rpt", 130, -40},
        {"the count said more rows", "Second.rpt", 90, 40},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto wholeRows = std::make_shared<BatchRows>();
        wholeRows->table = Stations(c.stations);
        auto whole = Open(Shipped(c.templ), wholeRows);
        whole->Prepare();

        auto partRows = std::make_shared<BatchRows>();
        partRows->table = Stations(c.stations);
        partRows->countSkew = c.countSkew;
        auto part = Open(Shipped(c.templ), partRows);
        part->PrepareFirstPage();
        ASSERT_TRUE(part->IsOpened());
        if (c.countSkew == 0) {
            // The page count is known, and the first page painted, before
            // the rows after it are read.
            EXPECT_EQ(part->PageCount(), whole->PageCount());
            if (whole->PageCount() > 2) {
                EXPECT_FALSE(part->IsPrepared());
                EXPECT_LT(part->Table().rows.size(), whole->Table().rows.size());
                EXPECT_TRUE(Painted(*part, 0) == Painted(*whole, 0));
                // A page further on reads only as far as it needs.
                part->ReadThrough(1);
                EXPECT_TRUE(Painted(*part, 1) == Painted(*whole, 1));
            }
        }
        while (!part->ReadMoreRows(7)) {
        }
        ASSERT_TRUE(part->IsPrepared());
        ASSERT_EQ(part->PageCount(), whole->PageCount());
        EXPECT_EQ(part->RowCount(), c.stations);
        for (int page = 0; page < whole->PageCount(); ++page)
            EXPECT_TRUE(Painted(*part, page) == Painted(*whole, page)) << "page " << page + 1;
    }
}

TEST(IncrementalReading, ViewerShowsTheFirstPageThenReadsTheRest) {
    App();
    auto rows = std::make_shared<BatchRows>();
    rows->table = Stations(400);
    auto report = Open(Shipped("Second.rpt"), rows);
    ReportViewer viewer;
    viewer.resize(900, 700);
    viewer.show();
    int read = 0;
    QObject::connect(&viewer, &ReportViewer::rowsRead, [&read] { ++read; });
    viewer.AttachReport(report);
    viewer.ShowReport();
    const int pages = report->PageCount();
    EXPECT_GT(pages, 3);
    EXPECT_EQ(viewer.PageView()->pageCount(), pages);
    EXPECT_FALSE(report->IsPrepared());
    EXPECT_EQ(read, 0);

    // The rest comes in on the event loop.
    QElapsedTimer waited;
    waited.start();
    while (read == 0 && waited.elapsed() < 20000) QCoreApplication::processEvents();
    EXPECT_EQ(read, 1);
    EXPECT_TRUE(report->IsPrepared());
    EXPECT_EQ(viewer.PageView()->pageCount(), pages);
    EXPECT_EQ(report->Table().rows.size(), 400u);
    viewer.AttachReport({});
}

TEST(IncrementalReading, GoingToALaterPageReadsThatFar) {
    App();
    auto rows = std::make_shared<BatchRows>();
    rows->table = Stations(400);
    auto report = Open(Shipped("Second.rpt"), rows);
    ReportViewer viewer;
    viewer.resize(900, 700);
    viewer.show();
    viewer.AttachReport(report);
    viewer.ShowReport();
    const int last = report->PageCount() - 1;
    viewer.PageView()->goToPage(last);
    viewer.PageView()->viewport()->grab();  // paints the page
    // The last page carries the book's totals: every row is in.
    EXPECT_TRUE(report->IsPrepared());
    viewer.AttachReport({});
}

}  // namespace
}  // namespace lorvex::report
