#pragma once

// The in-memory form of a report template (*.rpt, our XML format; see
// docs/templates.md). Geometry is in millimetres, relative to the band an
// item belongs to; fonts are in points.

#include <QLineF>
#include <QList>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QRectF>
#include <QString>

#include <vector>

namespace lorvex::report {

struct FontSpec {
    QString id;
    QString family;
    double pointSize = 9.0;
    bool bold = false;
    bool italic = false;
};

struct ParameterSpec {
    QString name;
    QString defaultValue;  // printed while no value has been set
};

// How a number is printed: "|/10 %.1f" prints the text "253" as 25.3. The
// stored text stays as it is; the format applies when the page is painted.
struct NumberFormat {
    bool present = false;
    int shift = 0;      // decimal places the point moves left: /10 is 1, *1000 is -3
    int decimals = -1;  // %.Nf; -1 prints every decimal the value has
    bool plus = false;  // %+.Nf: a sign before positive values too
};

// One column of a sum: {pagesum:sDis_Back-sDis_Fore} has two terms.
struct SumTerm {
    QString column;
    int sign = 1;    // +1 or -1
    int index = -1;  // column index once the rows are read
};

// One piece of an item's text.
struct TextSegment {
    enum class Kind {
        Literal,
        Parameter,
        Field,
        PageNumber,
        PageCount,
        RowNumber,
        PageSum,     // {pagesum:EXPR}: the rows on this page
        RunningSum,  // {sum:EXPR}: the rows from the first up to this page's last
        PageChange,  // {pagechange:EXPR}: this page's last row less the previous page's last
        LastValue,   // {last:EXPR}: the last row up to this page (the book's last in its footer)
    };
    Kind kind = Kind::Literal;
    QString text;                // the literal, the parameter / field name, or the sum as written
    int index = -1;              // parameter index; field column index once the rows are read;
                                 // the sum's series once the rows are read
    bool optional = false;       // {field?:NAME}: prints nothing when the table lacks the column
    NumberFormat format;         // fields and sums: how the number is printed
    std::vector<SumTerm> terms;  // sums: the columns added or subtracted

    bool IsSum() const {
        return kind == Kind::PageSum || kind == Kind::RunningSum || kind == Kind::PageChange ||
               kind == Kind::LastValue;
    }
};

enum BorderSide : unsigned {
    BorderNone = 0,
    BorderLeft = 1,
    BorderTop = 2,
    BorderRight = 4,
    BorderBottom = 8,
    BorderAll = 15
};

// A text box (free <text> or a table <cell>) or a ruled line.
struct TemplateItem {
    enum class Kind { Text, Line };
    Kind kind = Kind::Text;
    QRectF rect;             // text box, mm
    QLineF line;             // line, mm
    double lineWidth = 0.2;  // mm, for the line or the box's border
    unsigned borders = BorderNone;
    int font = 0;  // index into ReportTemplate::fonts
    Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter;
    double padding = 0.8;  // mm between border and text
    std::vector<TextSegment> text;
    int sourceLine = 0;  // where the item stands in the template, for errors
};

struct Band {
    bool present = false;
    double height = 0.0;  // mm
    std::vector<TemplateItem> items;
    int sourceLine = 0;
};

struct ReportTemplate {
    QString fileName;
    QString title;
    QPageSize pageSize{QPageSize::A4};
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    QMarginsF margins{10, 10, 10, 10};  // mm
    std::vector<FontSpec> fonts;        // at least one; the first is the default
    std::vector<ParameterSpec> parameters;
    QString tableName;   // the first (and only) table the detail band reads
    int reportLine = 1;  // where <report> starts, for errors about the whole

    Band reportHeader;  // top of the first page
    Band pageHeader;    // top of every page (below the report header on page 1)
    Band detail;        // once per row of the table, never split across pages
    Band reportFooter;  // after the last row
    Band pageFooter;    // bottom of every page

    // The page in millimetres, with orientation applied.
    QSizeF PageSizeMm() const;
    // Index of a parameter, or -1.
    int FindParameter(const QString& name) const;
};

}  // namespace lorvex::report
