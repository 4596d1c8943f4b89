#pragma once

// The record book as a PDF, without a window: the same fill as the report
// window, written to a file.

#include <filesystem>

#include "base/grade.h"

namespace lorvex {
class MessageSink;
}

namespace lorvex::report {

class ReportRowSource;

// Fills the grade's template from the data source "Qel" and writes it as a
// PDF. Needs a QGuiApplication (the offscreen platform will do). False after
// the messages when no report was made.
bool WriteReportPdf(LevellingGrade grade, const std::filesystem::path& out, MessageSink& sink);

// The same with the template folder given (tests, benchmarks).
bool WriteReportPdf(LevellingGrade grade, const std::filesystem::path& dataFolder,
                    const std::filesystem::path& out, MessageSink& sink);

// The same with the rows given.
bool WriteReportPdf(LevellingGrade grade, const std::filesystem::path& dataFolder,
                    ReportRowSource& rows, const std::filesystem::path& out, MessageSink& sink);

}  // namespace lorvex::report
