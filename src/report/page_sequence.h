#pragma once

// Pages painted one after another onto one paged device (a printer, or a PDF
// held in memory until it is whole). Every record book, contents page and
// single page goes through here, so screen-equal output is painted one way.

#include <QBuffer>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QSizeF>

#include <memory>
#include <vector>

#include "report/pdf_text_map.h"

class QPagedPaintDevice;

namespace lorvex::report {

class Report;
struct ReportTemplate;

class PageSequence final {
  public:
    // The painter starts on the device's first page; later pages ask the
    // device for a new one.
    explicit PageSequence(QPagedPaintDevice& device);
    ~PageSequence();
    PageSequence(const PageSequence&) = delete;
    PageSequence& operator=(const PageSequence&) = delete;

    // Starts the next page and maps the painter onto a page of pageSizeMm
    // (the painter then works in 1/100 mm). With layout, the page takes that
    // paper (a PDF page per book); without, the device keeps the paper it was
    // set up with (a printer chosen in its dialog). Throws EngineError.
    QPainter& NextPage(QSizeF pageSizeMm, const QPageLayout* layout = nullptr);
    void EndPage();

    // Pages [fromPage, toPage] (0-based, inclusive, clamped) of a prepared
    // report, one device page each; with ownPaper, each on the report's own
    // paper. Every character painted is added to drawn when given.
    void PaintReport(Report& report, int fromPage, int toPage, bool ownPaper,
                     DrawnCharacters* drawn);

    // Ends painting. Throws EngineError when the device reports a failure.
    void Finish();

  private:
    QPagedPaintDevice& m_device;
    QPainter m_painter;
    bool m_begun = false;
};

// A PDF painted into memory and saved only once whole, with a text layer
// that reads back as the characters drawn. The finished document goes
// straight to the file: only the painted one is held.
class PdfPages final {
  public:
    explicit PdfPages(const QString& title);
    ~PdfPages();

    PageSequence& Pages() { return *m_pages; }
    DrawnCharacters& Drawn() { return m_drawn; }

    // Pages [fromPage, toPage] of a prepared report, each on its own paper,
    // with the report's fonts in the text layer.
    void AddReport(Report& report, int fromPage, int toPage);
    // Fonts the text layer must know beyond those of the reports added.
    void AddFonts(const std::vector<QFont>& fonts);
    const std::vector<QFont>& Fonts() const { return m_fonts; }

    // Ends painting, adds the text layer and writes the file beside path,
    // renamed over it at the end, so a failure never leaves a half-written
    // PDF under the chosen name. Throws EngineError (kErrorOutput).
    void Save(const QString& path);

  private:
    QBuffer m_painted;
    std::unique_ptr<QPdfWriter> m_writer;
    std::unique_ptr<PageSequence> m_pages;
    DrawnCharacters m_drawn;
    std::vector<QFont> m_fonts;
};

// The paper of a template: its size and orientation, no device margins (the
// template carries its own).
QPageLayout PaperOf(const ReportTemplate& t);

}  // namespace lorvex::report
