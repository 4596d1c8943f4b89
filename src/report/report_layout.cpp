#include "report/report_layout.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

#include "report/pdf_text_map.h"
#include "report/report_numbers.h"
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
    const double row = t.detail.height;
    m_firstCapacity = t.detail.present ? Fit(firstRoom, row) : 0;
    m_capacity = t.detail.present ? std::max(1, Fit(body, row)) : 1;

    // The page the last row falls on when pages simply fill up.
    int lastPage = 0;
    m_lastFirst = 0;
    if (m_rows > m_firstCapacity) {
        const int rest = m_rows - m_firstCapacity;
        lastPage = (rest + m_capacity - 1) / m_capacity;
        m_lastFirst = m_firstCapacity + (lastPage - 1) * m_capacity;
    }
    const int onLast = m_rows - m_lastFirst;
    const double left = (lastPage == 0 ? firstRoom : body) - onLast * row;
    m_pages = lastPage + 1;
    if (!m_hasFooter || t.reportFooter.height <= left + kSlack) return;
    // The footer needs a page of its own. The last row goes with it, so the
    // totals stand under a station; the page it leaves keeps at least one.
    m_pages = lastPage + 2;
    const bool carry = onLast >= 2 && t.reportFooter.height + row <= body + kSlack;
    m_lastFirst = carry ? m_rows - 1 : m_rows;
}

PagePlan Pagination::Page(int page) const {
    PagePlan plan;
    if (page < 0 || page >= m_pages) return plan;
    plan.reportHeader = page == 0;
    plan.reportFooter = m_hasFooter && page == m_pages - 1;
    if (page == m_pages - 1) {
        plan.firstRow = std::min(m_lastFirst, m_rows);
        plan.rowCount = m_rows - plan.firstRow;
    } else if (page == 0) {
        plan.firstRow = 0;
        plan.rowCount = std::min({m_rows, m_firstCapacity, m_lastFirst});
    } else {
        const long long first = m_firstCapacity + static_cast<long long>(page - 1) * m_capacity;
        plan.firstRow = static_cast<int>(std::min<long long>(first, m_lastFirst));
        plan.rowCount = std::clamp(m_lastFirst - plan.firstRow, 0, m_capacity);
    }
    return plan;
}

namespace {

constexpr double kSmallestScale = 0.6;

QFont Scaled(const QFont& font, double scale) {
    QFont f = font;
    f.setPixelSize(std::max(1, static_cast<int>(font.pixelSize() * scale)));
    return f;
}

}  // namespace

FittedText FitText(const QFont& font, const QString& text, QSizeF box) {
    const QFontMetricsF metrics(font);
    const double advance = metrics.horizontalAdvance(text);
    if (advance <= box.width() || box.width() <= 0) return {1.0, {text}, false};
    // Shrunk on one line: a number keeps every digit in its column.
    const double shrink = box.width() / advance;
    if (shrink >= kSmallestScale) return {shrink, {text}, false};
    // Two lines, as large as the box's height lets them be.
    const double twoLines = std::min(1.0, box.height() / (2 * metrics.height()));
    if (twoLines >= kSmallestScale) {
        const QFont f = Scaled(font, twoLines);
        QTextLayout layout(text, f);
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        FittedText out{twoLines, {}, false};
        for (int n = 0; n < 2; ++n) {
            QTextLine line = layout.createLine();
            if (!line.isValid()) break;
            line.setLineWidth(box.width());
            out.lines.push_back(text.mid(line.textStart(), n == 0 ? line.textLength() : -1));
        }
        layout.endLayout();
        const QFontMetricsF m(f);
        if (out.lines.size() == 2 && m.horizontalAdvance(out.lines[1]) > box.width()) {
            out.lines[1] = m.elidedText(out.lines[1], Qt::ElideRight, box.width());
            out.elided = true;
        }
        for (QString& line : out.lines) {
            if (!out.elided || &line != &out.lines.back()) line = line.trimmed();
        }
        return out;
    }
    // Too low for two lines: one line at the smallest size, cut with "…".
    const QFontMetricsF m(Scaled(font, kSmallestScale));
    return {kSmallestScale, {m.elidedText(text, Qt::ElideRight, box.width())}, true};
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

PageFonts::PageFonts(const ReportTemplate& t) {
    for (const QFont& font : TemplateFonts(t)) {
        auto face = std::make_unique<Face>(Face{font, QFontMetricsF(font), 0, {}, {}, {}});
        // Full-width CJK glyphs are one em wide; nothing in these faces is wider.
        face->maxWidth = std::max(face->metrics.maxWidth(), double(font.pixelSize()));
        face->raw = QRawFont::fromFont(font);
        if (face->raw.isValid()) {
            for (char16_t c = 0x20; c < 0x7f; ++c) {
                const QList<quint32> glyphs = face->raw.glyphIndexesForString(QString(QChar(c)));
                if (glyphs.size() != 1 || glyphs[0] == 0) continue;
                face->glyph[c] = glyphs[0];
                // The run advances as the painter's own text would.
                face->advance[c] = face->metrics.horizontalAdvance(QChar(c));
            }
        }
        m_faces.push_back(std::move(face));
    }
}

namespace {

class PagePainter {
  public:
    PagePainter(QPainter& p, const PageContent& c, int page)
        : m_p(p), m_c(c), m_page(page), m_plan(c.pagination->Page(page)) {
        if (c.fonts == nullptr) m_ownFonts = std::make_unique<PageFonts>(*c.tmpl);
        m_fonts = c.fonts ? c.fonts : m_ownFonts.get();
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
                                out += QString::fromStdString(FormatStoredText(*v, seg.format));
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
                case TextSegment::Kind::PageSum:
                case TextSegment::Kind::RunningSum:
                case TextSegment::Kind::PageChange:
                case TextSegment::Kind::LastValue:
                    if (m_c.sums && seg.index >= 0 &&
                        seg.index < static_cast<int>(m_c.sums->size())) {
                        const SumSeries& series = (*m_c.sums)[static_cast<std::size_t>(seg.index)];
                        out += QString::fromStdString(FormatDecimal(
                            PageAggregate(seg, series, m_plan.firstRow, m_plan.rowCount),
                            seg.format));
                    }
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
        const QRectF inner = box.adjusted(U(item.padding), 0, -U(item.padding), 0);
        const auto fontIndex = static_cast<std::size_t>(
            std::clamp<int>(item.font, 0, static_cast<int>(m_fonts->Count()) - 1));
        const PageFonts::Face& face = (*m_fonts)[fontIndex];
        if (GlyphRun(face, item, inner, text)) {
            if (m_c.drawn) m_c.drawn->Add(text);
            return;
        }
        const QFont& font = face.font;
        // Measuring is the costly part of a short text; most cells are far
        // wider than their text could be, which the widest glyph tells.
        const QFontMetricsF& metrics = face.metrics;
        const bool surelyFits = text.size() * face.maxWidth <= inner.width();
        const double advance = surelyFits ? 0.0 : metrics.horizontalAdvance(text);
        if (!surelyFits && advance > inner.width() && inner.width() > 0) {
            Fitted(item, inner, font, FitText(font, text, inner.size()));
            return;
        }
        if (m_c.drawn) m_c.drawn->Add(text);
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
        m_p.drawText(QPointF(x, Baseline(item, inner, metrics)), text);
    }

    // A text wider than its box, set as FitText says: smaller, on two
    // lines, or cut with an ellipsis; never cut without one.
    void Fitted(const TemplateItem& item, const QRectF& inner, const QFont& font,
                const FittedText& fitted) {
        const QFont smaller = Scaled(font, fitted.scale);
        m_p.setFont(smaller);
        m_currentFont = -1;
        const QFontMetricsF metrics(smaller);
        const double lineHeight = metrics.height();
        const double height = lineHeight * static_cast<double>(fitted.lines.size());
        double top = inner.center().y() - height / 2;
        if (item.align & Qt::AlignTop) top = inner.top();
        if (item.align & Qt::AlignBottom) top = inner.bottom() - height;
        for (const QString& line : fitted.lines) {
            if (m_c.drawn) m_c.drawn->Add(line);
            const double w = metrics.horizontalAdvance(line);
            double x = inner.left();
            if (item.align & Qt::AlignRight) {
                x = inner.right() - w;
            } else if (item.align & Qt::AlignHCenter) {
                x = inner.left() + (inner.width() - w) / 2;
            }
            m_p.drawText(QPointF(x, top + metrics.ascent()), line);
            top += lineHeight;
        }
    }

    static double Baseline(const TemplateItem& item, const QRectF& inner,
                           const QFontMetricsF& metrics) {
        if (item.align & Qt::AlignTop) return inner.top() + metrics.ascent();
        if (item.align & Qt::AlignBottom) return inner.bottom() - metrics.descent();
        return inner.center().y() + (metrics.ascent() - metrics.descent()) / 2;
    }

    // Draws a text of the face's cached characters that fits its box as one
    // glyph run. Returns false for any other text, which the painter sets.
    bool GlyphRun(const PageFonts::Face& face, const TemplateItem& item, const QRectF& inner,
                  const QString& text) {
        if (!face.raw.isValid() || text.size() > 64) return false;
        quint32 glyphs[64];
        QPointF positions[64];
        double width = 0;
        for (qsizetype i = 0; i < text.size(); ++i) {
            const char16_t c = text[i].unicode();
            if (c >= 128 || face.glyph[c] == 0) return false;
            glyphs[i] = face.glyph[c];
            positions[i] = QPointF(width, 0);
            width += face.advance[c];
        }
        if (width > inner.width()) return false;
        double x = inner.left();
        if (item.align & Qt::AlignRight) {
            x = inner.right() - width;
        } else if (item.align & Qt::AlignHCenter) {
            x = inner.left() + (inner.width() - width) / 2;
        }
        QGlyphRun run;
        run.setRawFont(face.raw);
        run.setRawData(glyphs, positions, static_cast<int>(text.size()));
        m_p.drawGlyphRun(QPointF(x, Baseline(item, inner, face.metrics)), run);
        return true;
    }

    QPainter& m_p;
    const PageContent& m_c;
    int m_page;
    PagePlan m_plan;
    std::unique_ptr<PageFonts> m_ownFonts;
    const PageFonts* m_fonts = nullptr;
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
