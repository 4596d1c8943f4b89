#include "report/report_book_set.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>

#include "base/messages.h"
#include "base/strings.h"
#include "levelling/report_command.h"
#include "report/archived_report.h"
#include "report/engine_error.h"
#include "report/page_sequence.h"
#include "report/pdf_text_map.h"
#include "report/report_engine.h"
#include "report/report_fill.h"
#include "report/report_layout.h"

namespace lorvex::report {

namespace {

// Collects a failed fill's messages as the line's reason, and passes them on.
class ReasonSink final : public MessageSink {
  public:
    explicit ReasonSink(MessageSink& next) : m_next(next) {}
    void Show(const UserMessage& message) override {
        if (!m_text.empty()) m_text += ' ';
        m_text += message.text;
        m_next.Show(message);
    }
    const std::string& Text() const { return m_text; }

  private:
    MessageSink& m_next;
    std::string m_text;
};

// The contents page: A4 portrait, in the painter's 1/100 mm.
constexpr double kContentsWidthMm = 210.0;
constexpr double kContentsHeightMm = 297.0;
constexpr double kMarginMm = 20.0;
constexpr double kTitleMm = 16.0;
constexpr double kRowMm = 7.0;
constexpr int kRowsPerContentsPage =
    static_cast<int>((kContentsHeightMm - 2 * kMarginMm - kTitleMm) / kRowMm) - 1;

QString GradeCaption(LevellingGrade grade) {
    switch (grade) {
        case GradeSecond:
            return QString::fromStdString(LoadString(IDS_GRADE_NAME_SECOND));
        case GradeThird:
            return QString::fromStdString(LoadString(IDS_GRADE_NAME_THIRD));
        case GradeFourth:
            return QString::fromStdString(LoadString(IDS_GRADE_NAME_FOURTH));
        default:
            return {};
    }
}

struct ContentsColumn {
    const char* caption;
    double leftMm;
    double widthMm;
};
constexpr ContentsColumn kColumns[] = {{"序号", 0, 14},    {"线路名称", 14, 56}, {"等级", 70, 18},
                                       {"测站数", 88, 20}, {"起始页", 108, 20},  {"说明", 128, 42}};

// Numbers (序号, 测站数, 起始页) stand right-aligned under their captions.
Qt::Alignment ColumnAlignment(std::size_t column) {
    return column == 0 || column == 3 || column == 4 ? Qt::AlignRight : Qt::AlignLeft;
}

QFont ContentsFont(const std::vector<QFont>& templateFonts, double sizeMm, bool bold) {
    QFont font = templateFonts.empty() ? QFont() : templateFonts.front();
    font.setPixelSize(static_cast<int>(sizeMm * kUnitsPerMm));
    font.setBold(bold);
    font.setItalic(false);
    return font;
}

void DrawCell(QPainter& painter, DrawnCharacters& drawn, double leftMm, double topMm,
              double widthMm, const QString& text, Qt::Alignment align) {
    const QRectF cell(leftMm * kUnitsPerMm, topMm * kUnitsPerMm, widthMm * kUnitsPerMm,
                      kRowMm * kUnitsPerMm);
    const QString shown =
        QFontMetricsF(painter.font()).elidedText(text, Qt::ElideRight, cell.width() - 100);
    drawn.Add(shown);
    painter.drawText(cell.adjusted(50, 0, -50, 0), static_cast<int>(align | Qt::AlignVCenter),
                     shown);
}

void PaintContentsPage(QPainter& painter, DrawnCharacters& drawn,
                       const std::vector<QFont>& templateFonts,
                       const std::vector<BookSetLine>& lines, const BookSetOutcome& outcome,
                       int page) {
    painter.setFont(ContentsFont(templateFonts, 6.0, true));
    const QString title = QString::fromUtf8(kContentsTitle);
    drawn.Add(title);
    painter.drawText(
        QRectF(0, kMarginMm * kUnitsPerMm, kContentsWidthMm * kUnitsPerMm, kTitleMm * kUnitsPerMm),
        Qt::AlignHCenter | Qt::AlignTop, title);
    double top = kMarginMm + kTitleMm;
    painter.setFont(ContentsFont(templateFonts, 3.5, true));
    for (const ContentsColumn& c : kColumns) {
        DrawCell(painter, drawn, kMarginMm + c.leftMm, top, c.widthMm, QString::fromUtf8(c.caption),
                 Qt::AlignLeft);
    }
    painter.drawLine(
        QPointF(kMarginMm * kUnitsPerMm, (top + kRowMm) * kUnitsPerMm),
        QPointF((kContentsWidthMm - kMarginMm) * kUnitsPerMm, (top + kRowMm) * kUnitsPerMm));
    painter.setFont(ContentsFont(templateFonts, 3.5, false));
    const std::size_t first = static_cast<std::size_t>(page) * kRowsPerContentsPage;
    const std::size_t last = std::min(lines.size(), first + kRowsPerContentsPage);
    for (std::size_t i = first; i < last; ++i) {
        top += kRowMm;
        const BookSetLine& line = lines[i];
        const bool made = outcome.firstPages[i] > 0;
        const QString cells[] = {
            QString::number(i + 1),
            QString::fromStdString(line.name),
            made ? GradeCaption(line.grade) : QString(),
            made ? QString::number(line.stations) : QString(),
            made ? QString::number(outcome.firstPages[i]) : QString(),
            made ? QString() : QString::fromStdString(outcome.reasons[i]),
        };
        for (std::size_t c = 0; c < std::size(kColumns); ++c) {
            DrawCell(painter, drawn, kMarginMm + kColumns[c].leftMm, top, kColumns[c].widthMm,
                     cells[c], ColumnAlignment(c));
        }
    }
}

}  // namespace

BookSetLine BookLineFrom(std::string name, const PreparedReport& prepared) {
    BookSetLine line;
    line.name = std::move(name);
    if (prepared.stop) {
        line.reason = prepared.stop->text;
        return line;
    }
    line.grade = prepared.rows.grade;
    line.stations = prepared.rows.observations.size();
    line.rows = MakeMemoryReportRows(ReportRowsFrom(prepared.rows));
    if (prepared.check) {
        line.rows = WithRecordBookChecks(std::move(line.rows), RecordBookChecksOf(*prepared.check));
    }
    return line;
}

BookSetOutcome WriteBookSetPdf(const std::vector<BookSetLine>& lines,
                               const std::filesystem::path& dataFolder,
                               const std::filesystem::path& out, MessageSink& sink,
                               const BookSetProgress& progress) {
    BookSetOutcome outcome;
    const std::size_t steps = 2 * lines.size();
    std::size_t step = 0;
    auto advance = [&] { return !progress || progress(++step, steps); };
    outcome.firstPages.assign(lines.size(), 0);
    outcome.pageCounts.assign(lines.size(), 0);
    outcome.reasons.resize(lines.size());

    // Every book is filled and paginated first: the contents page, which
    // comes first, names the page each book starts on.
    std::vector<EngineReferences> books(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        outcome.reasons[i] = lines[i].reason;
        if (lines[i].rows) {
            const auto kind = TemplateKindForGrade(lines[i].grade);
            ReasonSink reasons(sink);
            if (!kind) reasons.Show(MessageFromId(IDS_NO_TEMPLATE));
            if (FillReportGuarded(books[i], TemplatePath(dataFolder, kind), kind, *lines[i].rows,
                                  reasons)) {
                try {
                    books[i].report->Prepare();
                    outcome.pageCounts[i] = books[i].report->PageCount();
                    ++outcome.books;
                } catch (const EngineError& e) {
                    reasons.Show(UserMessage{e.Describe(), MessageIcon::Stop});
                    books[i] = EngineReferences{};
                }
            }
            if (!books[i].report) outcome.reasons[i] = reasons.Text();
        }
        if (!advance()) {
            outcome.result = BookSetOutcome::Result::Cancelled;
            return outcome;
        }
    }
    if (outcome.books == 0) {
        outcome.result = BookSetOutcome::Result::NoBook;
        return outcome;
    }
    const int contentsPages = std::max<int>(
        1, static_cast<int>((lines.size() + kRowsPerContentsPage - 1) / kRowsPerContentsPage));
    int next = contentsPages + 1;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!books[i].report) continue;
        outcome.firstPages[i] = next;
        next += outcome.pageCounts[i];
    }

    auto failed = [&](const std::string& text) {
        sink.Show(UserMessage{text, MessageIcon::Stop});
        sink.Show(MessageFromId(IDS_NO_REPORT));
        outcome.result = BookSetOutcome::Result::OutputFailed;
        return outcome;
    };
    try {
        PdfPages pdf(QString::fromUtf8(kContentsTitle));
        // The contents page is set in the first template's typeface.
        for (const EngineReferences& book : books) {
            if (book.report) pdf.AddFonts(TemplateFonts(book.report->Template()));
        }
        const std::vector<QFont> fonts = pdf.Fonts();
        const QPageLayout contentsPaper(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                        QMarginsF(0, 0, 0, 0));
        for (int page = 0; page < contentsPages; ++page) {
            QPainter& painter =
                pdf.Pages().NextPage(QSizeF(kContentsWidthMm, kContentsHeightMm), &contentsPaper);
            PaintContentsPage(painter, pdf.Drawn(), fonts, lines, outcome, page);
            pdf.Pages().EndPage();
        }
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (books[i].report) pdf.AddReport(*books[i].report, 0, outcome.pageCounts[i] - 1);
            if (!advance()) {
                outcome.result = BookSetOutcome::Result::Cancelled;
                return outcome;
            }
        }
        pdf.AddFonts({ContentsFont(fonts, 6.0, true), ContentsFont(fonts, 3.5, false)});
        // Written beside the target and renamed over it at the end, so a
        // failure never leaves half a day's books under the name the user chose.
        pdf.Save(QString::fromStdString(out.string()));
    } catch (const EngineError& e) {
        // The output's own failures read as they are; an engine failure
        // while painting shows its code too.
        return failed(e.Code() == kErrorOutput ? std::string(e.what()) : e.Describe());
    }
    outcome.result = BookSetOutcome::Result::Written;
    return outcome;
}

}  // namespace lorvex::report
