#include "report/report_layout.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>

#include "report/pdf_text_map.h"
#include "report/row_source.h"

namespace lorvex::report {
namespace {

// Band heights are decimals in millimetres; a band that fits to within a
// micrometre fits.
constexpr double kSlack = 1e-3;

int Fit(double room, double height) {
    if (height <= 0 || room < 0) return 0;
    return static_cast<int>(std::floor((room + kSlack) / height));
}

double BodyHeight(const ReportTemplate& t) {
    return t.PageSizeMm().height() - t.margins.top() - t.margins.bottom() - t.pageHeader.height -
           t.pageFooter.height;
}

}  // namespace

Pagination::Pagination(const ReportTemplate& t, int rowCount) {
    m_rows = t.detail.present ? std::max(rowCount, 0) : 0;
    m_hasFooter = t.reportFooter.present;
    const double body = BodyHeight(t);
    const double firstRoom = body - t.reportHeader.height;
    m_firstCapacity = t.detail.present ? Fit(firstRoom, t.detail.height) : 0;
    m_capacity = t.detail.present ? std::max(1, Fit(body, t.detail.height)) : 1;
    const double footer = t.reportFooter.height;

    if (m_rows <= m_firstCapacity) {
        const double left = firstRoom - m_rows * t.detail.height;
        m_pages = (footer <= left + kSlack) ? 1 : 2;
        return;
    }
    const int rest = m_rows - m_firstCapacity;
    const int more = (rest + m_capacity - 1) / m_capacity;
    const int onLast = rest - (more - 1) * m_capacity;
    const double left = body - onLast * t.detail.height;
    m_pages = 1 + more + ((footer <= left + kSlack) ? 0 : 1);
}

PagePlan Pagination::Page(int page) const {
    PagePlan plan;
    if (page < 0 || page >= m_pages) return plan;
    plan.reportHeader = page == 0;
    plan.reportFooter = m_hasFooter && page == m_pages - 1;
    if (page == 0) {
        plan.firstRow = 0;
        plan.rowCount = std::min(m_rows, m_firstCapacity);
    } else {
        const long long first = m_firstCapacity + static_cast<long long>(page - 1) * m_capacity;
        plan.firstRow = static_cast<int>(std::min<long long>(first, m_rows));
        plan.rowCount = std::clamp(m_rows - plan.firstRow, 0, m_capacity);
    }
    return plan;
}

void MapPageToRect(QPainter& painter, QSizeF sizeMm, const QRectF& target) {
    painter.translate(target.topLeft());
    painter.scale(target.width() / (sizeMm.width() * kUnitsPerMm),
                  target.height() / (sizeMm.height() * kUnitsPerMm));
}

std::vector<QFont> TemplateFonts(const ReportTemplate& t) {
    std::vector<QFont> out;
    out.reserve(t.fonts.size());
    for (const auto& f : t.fonts) {
        QFont font(f.family);
        // Pixel sizes are in the painter's logical units, so the text has
        // the same size on the screen, the printer and in the PDF.
        font.setPixelSize(
            std::max(1, static_cast<int>(std::lround(f.pointSize * 25.4 / 72.0 * kUnitsPerMm))));
        font.setBold(f.bold);
        font.setItalic(f.italic);
        font.setHintingPreference(QFont::PreferNoHinting);
        // Latin and Chinese need no shaping. Shaped text may use glyph
        // variants (a "1" after letters) that the PDF's text map cannot
        // name, and copying or searching the PDF would lose them.
        font.setStyleStrategy(QFont::PreferNoShaping);
        out.push_back(font);
    }
    return out;
}

namespace {

class PagePainter {
  public:
    PagePainter(QPainter& p, const PageContent& c, int page)
        : m_p(p), m_c(c), m_page(page), m_fonts(TemplateFonts(*c.tmpl)) {
        m_metrics.reserve(m_fonts.size());
        for (const auto& f : m_fonts) {
            m_metrics.emplace_back(f);
            // Full-width CJK glyphs are one em wide; nothing in these faces is wider.
            m_maxWidth.push_back(std::max(m_metrics.back().maxWidth(), double(f.pixelSize())));
        }
    }

    void Band(const lorvex::report::Band& band, double yMm, int row) {
        for (const auto& item : band.items) Item(item, yMm, row);
    }

  private:
    static double U(double mm) { return mm * kUnitsPerMm; }

    QString Text(const TemplateItem& item, int row) const {
        QString out;
        for (const auto& seg : item.text) {
            switch (seg.kind) {
                case TextSegment::Kind::Literal:
                    out += seg.text;
                    break;
                case TextSegment::Kind::Parameter:
                    if (seg.index >= 0 &&
                        seg.index < static_cast<int>(m_c.parameterValues->size())) {
                        out += (*m_c.parameterValues)[static_cast<std::size_t>(seg.index)];
                    }
                    break;
                case TextSegment::Kind::Field:
                    if (row >= 0 && seg.index >= 0 && m_c.table) {
                        const auto& r = m_c.table->rows[static_cast<std::size_t>(row)];
                        if (seg.index < static_cast<int>(r.size())) {
                            if (const auto& v = r[static_cast<std::size_t>(seg.index)]) {
                                out +=
                                    QString::fromUtf8(v->data(), static_cast<qsizetype>(v->size()));
                            }
                        }
                    }
                    break;
                case TextSegment::Kind::PageNumber:
                    out += QString::number(m_page + 1);
                    break;
                case TextSegment::Kind::PageCount:
                    out += QString::number(m_c.pagination->PageCount());
                    break;
                case TextSegment::Kind::RowNumber:
                    out += QString::number(row + 1);
                    break;
            }
        }
        return out;
    }

    void SetPen(double widthMm) {
        if (widthMm != m_penWidth) {
            QPen pen(Qt::black, U(widthMm));
            pen.setCapStyle(Qt::SquareCap);
            m_p.setPen(pen);
            m_penWidth = widthMm;
        }
    }

    void Item(const TemplateItem& item, double yMm, int row) {
        const double x0 = m_c.tmpl->margins.left();
        if (item.kind == TemplateItem::Kind::Line) {
            if (item.lineWidth <= 0) return;
            SetPen(item.lineWidth);
            m_p.drawLine(QPointF(U(x0 + item.line.x1()), U(yMm + item.line.y1())),
                         QPointF(U(x0 + item.line.x2()), U(yMm + item.line.y2())));
            return;
        }
        const QRectF box(U(x0 + item.rect.x()), U(yMm + item.rect.y()), U(item.rect.width()),
                         U(item.rect.height()));
        if (item.borders != BorderNone && item.lineWidth > 0) {
            SetPen(item.lineWidth);
            if (item.borders == BorderAll) {
                m_p.setBrush(Qt::NoBrush);
                m_p.drawRect(box);
            } else {
                if (item.borders & BorderLeft) m_p.drawLine(box.topLeft(), box.bottomLeft());
                if (item.borders & BorderTop) m_p.drawLine(box.topLeft(), box.topRight());
                if (item.borders & BorderRight) m_p.drawLine(box.topRight(), box.bottomRight());
                if (item.borders & BorderBottom) m_p.drawLine(box.bottomLeft(), box.bottomRight());
            }
        }
        const QString text = Text(item, row);
        if (text.isEmpty()) return;
        if (m_c.drawn) m_c.drawn->Add(text);
        const QRectF inner = box.adjusted(U(item.padding), 0, -U(item.padding), 0);
        const auto fontIndex = static_cast<std::size_t>(
            std::clamp<int>(item.font, 0, static_cast<int>(m_fonts.size()) - 1));
        const QFont& font = m_fonts[fontIndex];
        // A text wider than its box is set smaller rather than cut: a record
        // book must not lose a digit. Below 60 % it is clipped instead.
        // Measuring is the costly part of a short text; most cells are far
        // wider than their text could be, which the widest glyph tells.
        const QFontMetricsF& metrics = m_metrics[fontIndex];
        const bool surelyFits = text.size() * m_maxWidth[fontIndex] <= inner.width();
        const double advance = surelyFits ? 0.0 : metrics.horizontalAdvance(text);
        if (!surelyFits && advance > inner.width() && inner.width() > 0) {
            QFont smaller = font;
            const double factor = std::max(0.6, inner.width() / advance);
            smaller.setPixelSize(std::max(1, static_cast<int>(font.pixelSize() * factor)));
            m_p.setFont(smaller);
            m_currentFont = -1;
            m_p.save();
            m_p.setClipRect(box, Qt::IntersectClip);
            m_p.drawText(inner, static_cast<int>(item.align) | Qt::TextSingleLine, text);
            m_p.restore();
            return;
        }
        if (m_currentFont != static_cast<int>(fontIndex)) {
            m_p.setFont(font);
            m_currentFont = static_cast<int>(fontIndex);
        }
        // Placing the baseline ourselves skips the painter's general text
        // formatting, which dominates the time of a thousand-page PDF.
        double x = inner.left();
        if (item.align & (Qt::AlignRight | Qt::AlignHCenter)) {
            const double w = surelyFits ? metrics.horizontalAdvance(text) : advance;
            x = (item.align & Qt::AlignRight) ? inner.right() - w
                                              : inner.left() + (inner.width() - w) / 2;
        }
        double y;
        if (item.align & Qt::AlignTop) {
            y = inner.top() + metrics.ascent();
        } else if (item.align & Qt::AlignBottom) {
            y = inner.bottom() - metrics.descent();
        } else {
            y = inner.center().y() + (metrics.ascent() - metrics.descent()) / 2;
        }
        m_p.drawText(QPointF(x, y), text);
    }

    QPainter& m_p;
    const PageContent& m_c;
    int m_page;
    std::vector<QFont> m_fonts;
    std::vector<QFontMetricsF> m_metrics;
    std::vector<double> m_maxWidth;
    int m_currentFont = -1;
    double m_penWidth = -1;
};

}  // namespace

void PaintPage(QPainter& painter, const PageContent& content, int page) {
    const ReportTemplate& t = *content.tmpl;
    const PagePlan plan = content.pagination->Page(page);
    painter.save();
    painter.setPen(Qt::black);
    painter.setBrush(Qt::NoBrush);
    PagePainter pp(painter, content, page);
    double y = t.margins.top();
    if (plan.reportHeader && t.reportHeader.present) {
        pp.Band(t.reportHeader, y, -1);
        y += t.reportHeader.height;
    }
    if (t.pageHeader.present) {
        pp.Band(t.pageHeader, y, -1);
        y += t.pageHeader.height;
    }
    for (int r = 0; r < plan.rowCount; ++r) {
        pp.Band(t.detail, y, plan.firstRow + r);
        y += t.detail.height;
    }
    if (plan.reportFooter) pp.Band(t.reportFooter, y, -1);
    if (t.pageFooter.present) {
        pp.Band(t.pageFooter, t.PageSizeMm().height() - t.margins.bottom() - t.pageFooter.height,
                -1);
    }
    painter.restore();
}

}  // namespace lorvex::report
