#pragma once

// Page layout of a filled report. Every band has a fixed height, so where a
// row falls is arithmetic: the first page is known without laying out the
// rest, which keeps the first page of a 10,000-station line instant.

#include <QFont>
#include <QSizeF>

#include <vector>

#include "report/report_template.h"

class QPainter;

namespace lorvex::report {

class DrawnCharacters;
struct TableData;

// Logical units a painter works in while painting a page: 1/100 mm.
inline constexpr double kUnitsPerMm = 100.0;

struct PagePlan {
    int firstRow = 0;
    int rowCount = 0;
    bool reportHeader = false;
    bool reportFooter = false;
};

class Pagination {
  public:
    Pagination() = default;
    Pagination(const ReportTemplate& t, int rowCount);

    int PageCount() const { return m_pages; }
    PagePlan Page(int page) const;
    int RowsOnFirstPage() const { return m_firstCapacity; }
    int RowsPerPage() const { return m_capacity; }

  private:
    int m_rows = 0;
    int m_firstCapacity = 0;
    int m_capacity = 1;
    int m_pages = 1;
    bool m_hasFooter = false;
};

// What a page paints: the template (with field columns resolved), the
// parameter texts, and the table.
struct PageContent {
    const ReportTemplate* tmpl = nullptr;
    const std::vector<QString>* parameterValues = nullptr;  // one per template parameter
    const TableData* table = nullptr;
    const Pagination* pagination = nullptr;
    DrawnCharacters* drawn = nullptr;  // when set, gathers every character drawn
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
