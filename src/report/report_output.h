#pragma once

// PDF writing: the same page painting as the screen and the printer, on a
// paged device.

#include <QString>

#include <vector>

#include "report/ref_ptr.h"

class QPagedPaintDevice;

namespace lorvex::report {

class DrawnCharacters;
class Report;

// Paints pages [fromPage, toPage] (0-based, inclusive) of a report onto the
// device, one page of the report per device page; with drawn, every
// character painted is added to it. The report is prepared first. Throws
// EngineError.
void PaintPages(Report& report, QPagedPaintDevice& device, int fromPage, int toPage,
                DrawnCharacters* drawn = nullptr);

// Writes the whole report as a PDF (fonts embedded) whose text reads back as
// the characters drawn. The file appears whole or not at all. Throws
// EngineError with kErrorOutput when it cannot be written.
void WritePdf(const RefPtr<Report>& report, const QString& path);

// Writes several record books one after another into one PDF. Each book
// keeps its own pages: numbered from 1 ("第 1 页 共 N 页" of that book), its
// page check blocks summing its own stations, its totals after its own last
// station. Throws EngineError as WritePdf does; the file appears whole or not
// at all.
void WritePdf(const std::vector<RefPtr<Report>>& books, const QString& path);

}  // namespace lorvex::report
