#pragma once

// Page layout of a filled report. Every band has a fixed height, so where a
// row falls is arithmetic: the first page is known without laying out the
// rest, which keeps the first page of a 10,000-station line instant.

#include <QFont>
#include <QFontMetricsF>
#include <QRawFont>
#include <QSizeF>
#include <QStringList>

#include <array>
#include <memory>
#include <vector>

#include "report/report_template.h"

class QPainter;

namespace lorvex::report {

class DrawnCharacters;
class SumSeries;
struct TableData;

// Logical units a painter works in while painting a page: 1/100 mm.
inline constexpr double kUnitsPerMm = 100.0;

struct PagePlan {
    int firstRow = 0;
    int rowCount = 0;
    bool reportHeader = false;
    bool reportFooter = false;
};

// Which rows each page of one book holds. Pages fill up in turn; the report
// footer (the book's totals) follows the last row and never stands alone on
// a page: when it does not fit under the last row, the last row goes over to
// the next page with it.
class Pagination {
  public:
    Pagination() = default;
    Pagination(const ReportTemplate& t, int rowCount);

    int PageCount() const { return m_pages; }
    int RowCount() const { return m_rows; }
    PagePlan Page(int page) const;
    int RowsOnFirstPage() const { return m_firstCapacity; }
    int RowsPerPage() const { return m_capacity; }

  private:
    int m_rows = 0;
    int m_firstCapacity = 0;
    int m_capacity = 1;
    int m_pages = 1;
    int m_lastFirst = 0;  // the first row of the last page
    bool m_hasFooter = false;
};

// How a text is set in its box: on one line, shrunk down to 60 % if need
// be; else on two lines inside the box; else cut at the end with "…". A
// text is never cut without the ellipsis saying so.
struct FittedText {
    double scale = 1.0;   // of the font's size
    QStringList lines;    // one or two
    bool elided = false;  // the last line ends in "…" in place of the rest
};
FittedText FitText(const QFont& font, const QString& text, QSizeF box);

// The template's fonts, measured once for all pages. A record book is mostly
// digits, signs and point names: for the printable ASCII characters each
// font keeps its glyph and advance, so such a text is placed and drawn as a
// glyph run without the shaping and measuring a general text needs.
class PageFonts {
  public:
    explicit PageFonts(const ReportTemplate& t);

    struct Face {
        QFont font;
        QFontMetricsF metrics;
        double maxWidth = 0;  // no glyph of the face is wider
        QRawFont raw;
        std::array<quint32, 128> glyph{};  // 0 where the face has none
        std::array<double, 128> advance{};
    };
    std::size_t Count() const { return m_faces.size(); }
    const Face& operator[](std::size_t i) const { return *m_faces[i]; }

  private:
    std::vector<std::unique_ptr<Face>> m_faces;
};

// What a page paints: the template (with field columns resolved), the
// parameter texts, and the table.
struct PageContent {
    const ReportTemplate* tmpl = nullptr;
    const std::vector<QString>* parameterValues = nullptr;  // one per template parameter
    const TableData* table = nullptr;
    const Pagination* pagination = nullptr;
    DrawnCharacters* drawn = nullptr;              // when set, gathers every character drawn
    const PageFonts* fonts = nullptr;              // measured once; made for the page when not set
    const std::vector<SumSeries>* sums = nullptr;  // the sums the template prints
};

// The fonts a template's pages are painted with, in the order of its
// <fonts>: sizes in the painter's logical units (1/100 mm).
std::vector<QFont> TemplateFonts(const ReportTemplate& t);

// Paints one page; the painter maps kUnitsPerMm units to a millimetre with
// the page's top left corner at the origin.
void PaintPage(QPainter& painter, const PageContent& content, int page);

// Sets up the painter's transform so that the page (sizeMm) fills target, a
// rectangle in the painter's current device coordinates.
void MapPageToRect(QPainter& painter, QSizeF sizeMm, const QRectF& target);

}  // namespace lorvex::report
