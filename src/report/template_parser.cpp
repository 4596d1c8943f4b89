#include "report/template_parser.h"

#include <QIODevice>
#include <QXmlStreamReader>

#include <cmath>
#include <map>
#include <optional>

#include "report/report_numbers.h"

namespace lorvex::report {

TemplateError::TemplateError(const QString& fileName, qint64 line, qint64 column,
                             const QString& message)
    : std::runtime_error(QStringLiteral("%1:%2:%3: %4")
                             .arg(fileName)
                             .arg(line)
                             .arg(column)
                             .arg(message)
                             .toStdString()),
      m_fileName(fileName),
      m_line(line),
      m_column(column),
      m_message(message) {}

QSizeF ReportTemplate::PageSizeMm() const {
    const QSizeF s = pageSize.size(QPageSize::Millimeter);
    return orientation == QPageLayout::Landscape ? s.transposed() : s;
}

int ReportTemplate::FindParameter(const QString& name) const {
    for (std::size_t i = 0; i < parameters.size(); ++i) {
        if (parameters[i].name == name) return static_cast<int>(i);
    }
    return -1;
}

namespace {

// "sDis_Back-sDis_Fore": column names joined by + and -.
std::vector<SumTerm> ParseSumTerms(const QString& expr) {
    std::vector<SumTerm> terms;
    int sign = 1;
    QString name;
    auto flush = [&] {
        if (name.isEmpty())
            throw std::invalid_argument(
                ("a column name is missing in \"" + expr + "\"").toStdString());
        terms.push_back({name, sign, -1});
        name.clear();
    };
    for (qsizetype i = 0; i < expr.size(); ++i) {
        const QChar c = expr[i];
        if (c.isSpace()) continue;
        if (c == u'+' || c == u'-') {
            if (i == 0 || (name.isEmpty() && terms.empty())) {
                sign = c == u'-' ? -1 : 1;
                continue;
            }
            flush();
            sign = c == u'-' ? -1 : 1;
        } else if (c.isLetterOrNumber() || c == u'_') {
            name += c;
        } else {
            throw std::invalid_argument(
                ("\"" + QString(c) + "\" in \"" + expr + "\": a sum adds and subtracts columns")
                    .toStdString());
        }
    }
    flush();
    return terms;
}

}  // namespace

std::vector<TextSegment> ParseItemText(const QString& text) {
    std::vector<TextSegment> out;
    QString literal;
    auto flush = [&] {
        if (!literal.isEmpty()) {
            TextSegment seg;
            seg.text = literal;
            out.push_back(std::move(seg));
            literal.clear();
        }
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'}') {
            if (i + 1 < text.size() && text[i + 1] == u'}') {
                literal += u'}';
                ++i;
                continue;
            }
            throw std::invalid_argument("a single '}' in text; write '}}' for a brace");
        }
        if (c != u'{') {
            literal += c;
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == u'{') {
            literal += u'{';
            ++i;
            continue;
        }
        const qsizetype close = text.indexOf(u'}', i + 1);
        if (close < 0) throw std::invalid_argument("'{' without a closing '}'");
        QString inner = text.mid(i + 1, close - i - 1).trimmed();
        // A number format follows the name after '|': {field:sDis_Back|/10 %.1f}.
        std::optional<NumberFormat> format;
        if (const qsizetype bar = inner.indexOf(u'|'); bar >= 0) {
            format = ParseNumberFormat(QStringView(inner).mid(bar + 1));
            inner = inner.left(bar).trimmed();
        }
        auto after = [&](const char* prefix) -> std::optional<QString> {
            const QString p = QString::fromLatin1(prefix);
            if (inner.startsWith(p) && inner.size() > p.size())
                return inner.mid(p.size()).trimmed();
            return std::nullopt;
        };
        flush();
        TextSegment seg;
        if (inner == QStringLiteral("page")) {
            seg.kind = TextSegment::Kind::PageNumber;
        } else if (inner == QStringLiteral("pages")) {
            seg.kind = TextSegment::Kind::PageCount;
        } else if (inner == QStringLiteral("row")) {
            seg.kind = TextSegment::Kind::RowNumber;
        } else if (const auto name = after("param:")) {
            seg.kind = TextSegment::Kind::Parameter;
            seg.text = *name;
        } else if (const auto field = after("field:")) {
            seg.kind = TextSegment::Kind::Field;
            seg.text = *field;
        } else if (const auto optionalField = after("field?:")) {
            seg.kind = TextSegment::Kind::Field;
            seg.text = *optionalField;
            seg.optional = true;
        } else if (const auto pageSum = after("pagesum:")) {
            seg.kind = TextSegment::Kind::PageSum;
            seg.text = *pageSum;
        } else if (const auto sum = after("sum:")) {
            seg.kind = TextSegment::Kind::RunningSum;
            seg.text = *sum;
        } else if (const auto last = after("last:")) {
            seg.kind = TextSegment::Kind::LastValue;
            seg.text = *last;
        } else if (const auto change = after("pagechange:")) {
            seg.kind = TextSegment::Kind::PageChange;
            seg.text = *change;
        } else {
            throw std::invalid_argument(
                ("unknown placeholder {" + inner +
                 "}; use {param:NAME}, {field:NAME}, {page}, {pages}, "
                 "{row}, {pagesum:...}, {sum:...}, {pagechange:...} or {last:...}")
                    .toStdString());
        }
        if (seg.IsSum()) {
            seg.terms = ParseSumTerms(seg.text);
            if (format) seg.format = *format;
        } else if (format) {
            if (seg.kind != TextSegment::Kind::Field) {
                throw std::invalid_argument(
                    ("a number format belongs to a field or a sum, not to {" + inner + "}")
                        .toStdString());
            }
            seg.format = *format;
        }
        out.push_back(std::move(seg));
        i = close;
    }
    flush();
    return out;
}

namespace {

struct Column {
    double x = 0.0;
    double width = 0.0;
};

class Parser {
  public:
    Parser(QIODevice& in, const QString& fileName) : m_xml(&in), m_fileName(fileName) {
        m_t.fileName = fileName;
    }

    ReportTemplate Run() {
        if (!NextStart()) Fail(QStringLiteral("the file holds no <report> element"));
        if (m_xml.name() != QStringLiteral("report"))
            Fail(QStringLiteral("the root element must be <report>"));
        m_t.title = m_xml.attributes().value(QStringLiteral("title")).toString();
        m_t.reportLine = static_cast<int>(m_xml.lineNumber());
        while (NextChildStart()) {
            const auto name = m_xml.name();
            if (name == QStringLiteral("page")) {
                ReadPage();
            } else if (name == QStringLiteral("fonts")) {
                ReadFonts();
            } else if (name == QStringLiteral("parameters")) {
                ReadParameters();
            } else if (name == QStringLiteral("table")) {
                m_t.tableName = Required(QStringLiteral("name"));
                SkipRest();
            } else if (name == QStringLiteral("columns")) {
                ReadColumns();
            } else if (name == QStringLiteral("report-header")) {
                ReadBand(m_t.reportHeader, false);
            } else if (name == QStringLiteral("page-header")) {
                ReadBand(m_t.pageHeader, false);
            } else if (name == QStringLiteral("detail")) {
                ReadBand(m_t.detail, true);
            } else if (name == QStringLiteral("report-footer")) {
                ReadBand(m_t.reportFooter, false);
            } else if (name == QStringLiteral("page-footer")) {
                ReadBand(m_t.pageFooter, false);
            } else {
                Fail(QStringLiteral("unknown element <%1> in <report>").arg(name));
            }
        }
        // Anything after the root element is still checked for well-formedness.
        while (!m_xml.atEnd()) m_xml.readNext();
        if (m_xml.hasError()) FailXml();
        Validate();
        return std::move(m_t);
    }

  private:
    [[noreturn]] void Fail(const QString& message) {
        throw TemplateError(m_fileName, m_xml.lineNumber(), m_xml.columnNumber(), message);
    }
    [[noreturn]] void FailAt(int line, const QString& message) {
        throw TemplateError(m_fileName, line, 1, message);
    }
    [[noreturn]] void FailXml() {
        throw TemplateError(m_fileName, m_xml.lineNumber(), m_xml.columnNumber(),
                            m_xml.errorString());
    }

    // Moves to the next start element anywhere; false at the end.
    bool NextStart() {
        while (!m_xml.atEnd()) {
            m_xml.readNext();
            if (m_xml.isStartElement()) return true;
        }
        if (m_xml.hasError()) FailXml();
        return false;
    }

    // Moves to the next child start element of the current element; false
    // once the current element ends. Text between children must be blank.
    bool NextChildStart() {
        while (true) {
            m_xml.readNext();
            if (m_xml.hasError()) FailXml();
            if (m_xml.isStartElement()) return true;
            if (m_xml.isEndElement() || m_xml.atEnd()) return false;
            if (m_xml.isCharacters() && !m_xml.isWhitespace()) {
                Fail(QStringLiteral("unexpected text \"%1\"").arg(m_xml.text().trimmed()));
            }
        }
    }

    // An element that takes no children (<table/>, <font/>...).
    void SkipRest() {
        if (NextChildStart())
            Fail(QStringLiteral("<%1> takes no child elements").arg(m_xml.name()));
    }

    QString Required(const QString& attr) {
        const auto a = m_xml.attributes();
        if (!a.hasAttribute(attr)) {
            Fail(QStringLiteral("<%1> needs the attribute %2").arg(m_xml.name(), attr));
        }
        return a.value(attr).toString();
    }

    std::optional<double> Number(const QString& attr) {
        const auto a = m_xml.attributes();
        if (!a.hasAttribute(attr)) return std::nullopt;
        bool ok = false;
        const double v = a.value(attr).toString().trimmed().toDouble(&ok);
        if (!ok || !std::isfinite(v)) {
            Fail(QStringLiteral("attribute %1=\"%2\" is not a number").arg(attr, a.value(attr)));
        }
        return v;
    }

    double RequiredNumber(const QString& attr) {
        Required(attr);
        return *Number(attr);
    }

    bool Flag(const QString& attr, bool fallback) {
        const auto a = m_xml.attributes();
        if (!a.hasAttribute(attr)) return fallback;
        const auto v = a.value(attr);
        if (v == QStringLiteral("true") || v == QStringLiteral("1") || v == QStringLiteral("yes"))
            return true;
        if (v == QStringLiteral("false") || v == QStringLiteral("0") || v == QStringLiteral("no"))
            return false;
        Fail(QStringLiteral("attribute %1=\"%2\" must be true or false").arg(attr, v.toString()));
    }

    void ReadPage() {
        static const std::map<QString, QPageSize::PageSizeId> kSizes{
            {"A3", QPageSize::A3}, {"A4", QPageSize::A4},         {"A5", QPageSize::A5},
            {"B5", QPageSize::B5}, {"Letter", QPageSize::Letter}, {"Legal", QPageSize::Legal},
        };
        const auto a = m_xml.attributes();
        if (a.hasAttribute(QStringLiteral("width")) || a.hasAttribute(QStringLiteral("height"))) {
            const double w = RequiredNumber(QStringLiteral("width"));
            const double h = RequiredNumber(QStringLiteral("height"));
            if (w < 20 || h < 20)
                Fail(QStringLiteral("the page must be at least 20 mm wide and high"));
            m_t.pageSize = QPageSize(QSizeF(w, h), QPageSize::Millimeter);
        } else if (a.hasAttribute(QStringLiteral("size"))) {
            const auto it = kSizes.find(a.value(QStringLiteral("size")).toString());
            if (it == kSizes.end()) {
                Fail(QStringLiteral("unknown page size \"%1\" (A3, A4, A5, B5, Letter, Legal)")
                         .arg(a.value(QStringLiteral("size"))));
            }
            m_t.pageSize = QPageSize(it->second);
        }
        if (a.hasAttribute(QStringLiteral("orientation"))) {
            const auto o = a.value(QStringLiteral("orientation"));
            if (o == QStringLiteral("portrait")) {
                m_t.orientation = QPageLayout::Portrait;
            } else if (o == QStringLiteral("landscape")) {
                m_t.orientation = QPageLayout::Landscape;
            } else {
                Fail(QStringLiteral("orientation must be portrait or landscape"));
            }
        }
        auto margin = [&](const QString& attr, double fallback) {
            const double v = Number(attr).value_or(fallback);
            if (v < 0) Fail(QStringLiteral("a margin cannot be negative"));
            return v;
        };
        m_t.margins =
            QMarginsF(margin(QStringLiteral("left"), 10), margin(QStringLiteral("top"), 10),
                      margin(QStringLiteral("right"), 10), margin(QStringLiteral("bottom"), 10));
        SkipRest();
    }

    void ReadFonts() {
        while (NextChildStart()) {
            if (m_xml.name() != QStringLiteral("font"))
                Fail(QStringLiteral("<fonts> holds only <font> elements"));
            FontSpec f;
            f.id = Required(QStringLiteral("id"));
            f.family = Required(QStringLiteral("family"));
            f.pointSize = Number(QStringLiteral("size")).value_or(9.0);
            if (f.pointSize < 2 || f.pointSize > 200)
                Fail(QStringLiteral("font size out of range"));
            f.bold = Flag(QStringLiteral("bold"), false);
            f.italic = Flag(QStringLiteral("italic"), false);
            for (const auto& other : m_t.fonts) {
                if (other.id == f.id)
                    Fail(QStringLiteral("font \"%1\" is declared twice").arg(f.id));
            }
            m_t.fonts.push_back(f);
            SkipRest();
        }
    }

    void ReadParameters() {
        while (NextChildStart()) {
            if (m_xml.name() != QStringLiteral("parameter")) {
                Fail(QStringLiteral("<parameters> holds only <parameter> elements"));
            }
            ParameterSpec p;
            p.name = Required(QStringLiteral("name"));
            p.defaultValue = m_xml.attributes().value(QStringLiteral("default")).toString();
            if (p.name.isEmpty()) Fail(QStringLiteral("a parameter needs a name"));
            if (m_t.FindParameter(p.name) >= 0) {
                Fail(QStringLiteral("parameter \"%1\" is declared twice").arg(p.name));
            }
            const auto type = m_xml.attributes().value(QStringLiteral("type"));
            if (!type.isEmpty() && type != QStringLiteral("string")) {
                Fail(QStringLiteral("parameter \"%1\": only type=\"string\" is supported")
                         .arg(p.name));
            }
            m_t.parameters.push_back(p);
            SkipRest();
        }
    }

    void ReadColumns() {
        double x = Number(QStringLiteral("x")).value_or(0.0);
        while (NextChildStart()) {
            if (m_xml.name() != QStringLiteral("column"))
                Fail(QStringLiteral("<columns> holds only <column> elements"));
            const QString id = Required(QStringLiteral("id"));
            const double w = RequiredNumber(QStringLiteral("width"));
            if (w <= 0) Fail(QStringLiteral("column \"%1\" needs a positive width").arg(id));
            if (m_columns.count(id))
                Fail(QStringLiteral("column \"%1\" is declared twice").arg(id));
            m_columns[id] = {x, w};
            m_columnOrder.push_back(id);
            x += w;
            SkipRest();
        }
    }

    int FontIndex(const QString& id) {
        if (id.isEmpty()) return 0;
        for (std::size_t i = 0; i < m_t.fonts.size(); ++i) {
            if (m_t.fonts[i].id == id) return static_cast<int>(i);
        }
        Fail(QStringLiteral("unknown font \"%1\" (declare it in <fonts> first)").arg(id));
    }

    unsigned Borders(unsigned fallback) {
        const auto a = m_xml.attributes();
        if (!a.hasAttribute(QStringLiteral("border"))) return fallback;
        unsigned b = BorderNone;
        for (const auto& part :
             a.value(QStringLiteral("border")).toString().split(u' ', Qt::SkipEmptyParts)) {
            if (part == QStringLiteral("all"))
                b |= BorderAll;
            else if (part == QStringLiteral("none"))
                b |= BorderNone;
            else if (part == QStringLiteral("left"))
                b |= BorderLeft;
            else if (part == QStringLiteral("top"))
                b |= BorderTop;
            else if (part == QStringLiteral("right"))
                b |= BorderRight;
            else if (part == QStringLiteral("bottom"))
                b |= BorderBottom;
            else
                Fail(QStringLiteral("unknown border \"%1\" (all, none, left, top, right, bottom)")
                         .arg(part));
        }
        return b;
    }

    Qt::Alignment Alignment(Qt::Alignment fallbackH) {
        const auto a = m_xml.attributes();
        Qt::Alignment h = fallbackH;
        Qt::Alignment v = Qt::AlignVCenter;
        if (a.hasAttribute(QStringLiteral("align"))) {
            const auto s = a.value(QStringLiteral("align"));
            if (s == QStringLiteral("left"))
                h = Qt::AlignLeft;
            else if (s == QStringLiteral("center"))
                h = Qt::AlignHCenter;
            else if (s == QStringLiteral("right"))
                h = Qt::AlignRight;
            else
                Fail(QStringLiteral("align must be left, center or right"));
        }
        if (a.hasAttribute(QStringLiteral("valign"))) {
            const auto s = a.value(QStringLiteral("valign"));
            if (s == QStringLiteral("top"))
                v = Qt::AlignTop;
            else if (s == QStringLiteral("middle"))
                v = Qt::AlignVCenter;
            else if (s == QStringLiteral("bottom"))
                v = Qt::AlignBottom;
            else
                Fail(QStringLiteral("valign must be top, middle or bottom"));
        }
        return h | v;
    }

    void ReadBand(Band& band, bool isDetail) {
        if (band.present) Fail(QStringLiteral("<%1> appears twice").arg(m_xml.name()));
        band.present = true;
        band.sourceLine = static_cast<int>(m_xml.lineNumber());
        band.height = RequiredNumber(QStringLiteral("height"));
        if (band.height <= 0) Fail(QStringLiteral("a band needs a positive height"));
        while (NextChildStart()) {
            TemplateItem item;
            item.sourceLine = static_cast<int>(m_xml.lineNumber());
            const auto name = m_xml.name();
            if (name == QStringLiteral("line")) {
                item.kind = TemplateItem::Kind::Line;
                item.line = QLineF(
                    RequiredNumber(QStringLiteral("x1")), RequiredNumber(QStringLiteral("y1")),
                    RequiredNumber(QStringLiteral("x2")), RequiredNumber(QStringLiteral("y2")));
                item.lineWidth = Number(QStringLiteral("width")).value_or(0.2);
                SkipRest();
            } else if (name == QStringLiteral("text") || name == QStringLiteral("cell")) {
                ReadTextItem(item, name == QStringLiteral("cell"), isDetail);
            } else {
                Fail(QStringLiteral("unknown element <%1> in a band (text, cell, line)").arg(name));
            }
            band.items.push_back(std::move(item));
        }
    }

    void ReadTextItem(TemplateItem& item, bool cell, bool isDetail) {
        if (cell) {
            const QString col = Required(QStringLiteral("col"));
            const auto it = m_columns.find(col);
            if (it == m_columns.end()) {
                Fail(QStringLiteral("unknown column \"%1\" (declare it in <columns> first)")
                         .arg(col));
            }
            const double span = Number(QStringLiteral("span")).value_or(1.0);
            const auto first = std::find(m_columnOrder.begin(), m_columnOrder.end(), col);
            const auto spanCount = static_cast<std::ptrdiff_t>(span);
            if (span < 1 || span != std::floor(span) || m_columnOrder.end() - first < spanCount) {
                Fail(QStringLiteral("span=\"%1\" runs past the last column").arg(span));
            }
            double width = 0;
            for (auto c = first; c != first + spanCount; ++c) width += m_columns[*c].width;
            item.rect = QRectF(it->second.x, RequiredNumber(QStringLiteral("y")), width,
                               RequiredNumber(QStringLiteral("height")));
        } else {
            item.rect = QRectF(
                RequiredNumber(QStringLiteral("x")), RequiredNumber(QStringLiteral("y")),
                RequiredNumber(QStringLiteral("width")), RequiredNumber(QStringLiteral("height")));
        }
        if (item.rect.width() <= 0 || item.rect.height() <= 0) {
            Fail(QStringLiteral("a text box needs a positive width and height"));
        }
        item.borders = Borders(cell ? BorderAll : BorderNone);
        item.lineWidth = Number(QStringLiteral("border-width")).value_or(0.2);
        item.font = FontIndex(m_xml.attributes().value(QStringLiteral("font")).toString());
        item.align = Alignment(cell ? Qt::AlignHCenter : Qt::AlignLeft);
        item.padding = Number(QStringLiteral("padding")).value_or(0.8);
        const QString text = m_xml.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement);
        if (m_xml.hasError()) FailXml();
        try {
            item.text = ParseItemText(text);
        } catch (const std::invalid_argument& e) {
            FailAt(item.sourceLine, QString::fromStdString(e.what()));
        }
        for (auto& seg : item.text) {
            if (seg.kind == TextSegment::Kind::Parameter) {
                seg.index = m_t.FindParameter(seg.text);
                if (seg.index < 0) {
                    FailAt(item.sourceLine,
                           QStringLiteral("parameter \"%1\" is not declared in <parameters>")
                               .arg(seg.text));
                }
            } else if ((seg.kind == TextSegment::Kind::Field ||
                        seg.kind == TextSegment::Kind::RowNumber) &&
                       !isDetail) {
                FailAt(item.sourceLine,
                       QStringLiteral("{field:...} and {row} belong in the <detail> band"));
            } else if (seg.IsSum() && isDetail) {
                FailAt(item.sourceLine,
                       QStringLiteral("{pagesum:...}, {sum:...}, {pagechange:...} and {last:...} "
                                      "read the rows of a page: they belong outside the "
                                      "<detail> band"));
            }
        }
    }

    void Validate() {
        if (m_t.fonts.empty()) m_t.fonts.push_back({"body", "Noto Sans CJK SC", 9.0, false, false});
        const QSizeF page = m_t.PageSizeMm();
        const double body = page.height() - m_t.margins.top() - m_t.margins.bottom() -
                            m_t.pageHeader.height - m_t.pageFooter.height;
        auto fail = [&](const QString& m, int line) {
            throw TemplateError(m_fileName, line, 1, m);
        };
        if (page.width() - m_t.margins.left() - m_t.margins.right() <= 0 || body <= 0) {
            fail(QStringLiteral(
                     "the margins, page header and page footer leave no room on the page"),
                 m_t.reportLine);
        }
        if (m_t.detail.present) {
            if (m_t.tableName.isEmpty()) {
                fail(QStringLiteral("a <detail> band needs a <table name=...>"),
                     m_t.detail.sourceLine);
            }
            if (m_t.detail.height > body + 1e-9) {
                fail(QStringLiteral("the <detail> band (%1 mm) is higher than a page holds (%2 mm)")
                         .arg(m_t.detail.height)
                         .arg(body),
                     m_t.detail.sourceLine);
            }
        }
        if (m_t.reportHeader.height > body + 1e-9) {
            fail(QStringLiteral("the <report-header> band is higher than a page holds"),
                 m_t.reportHeader.sourceLine);
        }
        if (m_t.reportFooter.height > body + 1e-9) {
            fail(QStringLiteral("the <report-footer> band is higher than a page holds"),
                 m_t.reportFooter.sourceLine);
        }
    }

    QXmlStreamReader m_xml;
    QString m_fileName;
    ReportTemplate m_t;
    std::map<QString, Column> m_columns;
    std::vector<QString> m_columnOrder;
};

}  // namespace

ReportTemplate ParseTemplate(QIODevice& in, const QString& fileName) {
    return Parser(in, fileName).Run();
}

}  // namespace lorvex::report
