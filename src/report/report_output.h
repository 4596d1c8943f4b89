#pragma once

// Printing and PDF writing: the same page painting as the screen, on a paged
// device (QPrinter, QPdfWriter).

#include <QString>

#include "report/ref_ptr.h"

class QPagedPaintDevice;
class QPrinter;

namespace lorvex::report {

class Report;

// Paints pages [fromPage, toPage] (0-based, inclusive) of a report onto the
// device, one page of the report per device page. The report is prepared
// first. Throws EngineError.
void PaintPages(Report& report, QPagedPaintDevice& device, int fromPage, int toPage);

// Writes the whole report as a PDF (fonts embedded). Throws EngineError with
// kErrorOutput when the file cannot be written.
void WritePdf(const RefPtr<Report>& report, const QString& path);

// Prints the pages the printer's range asks for (all when none).
void PrintReport(const RefPtr<Report>& report, QPrinter& printer);

}  // namespace lorvex::report
