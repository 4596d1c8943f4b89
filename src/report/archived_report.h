#pragma once

// The record book of an archived report: the rows read back from the
// archive go through the same fill as a report just written, without
// touching the last-report tables.

#include <filesystem>
#include <memory>
#include <optional>

#include "levelling/quality_check.h"
#include "levelling/report_command.h"
#include "report/report_fill.h"

namespace lorvex {
class MessageSink;
}

namespace lorvex::report {

// The rows as the fill reads them from the three tables: the station rows
// with the Observation_tbl columns, Record_ID numbering them from 1.
ReportRowsInMemory ReportRowsFrom(const ReportRows& rows);

// What the fill reads for an archived report: its rows, and the 备注 and
// footer of the checks it was written with, when it was checked.
std::shared_ptr<ReportRowSource> ArchivedReportRows(const ReportRows& rows,
                                                    const std::optional<LineCheck>& check);

// Fills the template of the report's grade from the data folder with rows
// and the checks they were written with, and writes the record book as a
// PDF. False after the messages when no record book was made.
bool WriteReportPdfFrom(const ReportRows& rows, const std::optional<LineCheck>& check,
                        const std::filesystem::path& out, MessageSink& sink);

}  // namespace lorvex::report
