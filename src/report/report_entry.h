#pragma once

// The two ways a report leaves the program after the report command has
// written the tables: the report window, and a PDF written without one.

#include <filesystem>

#include "base/grade.h"

class QWidget;

namespace lorvex {
class MessageSink;
}

namespace lorvex::report {

// The last step of the report command: the report window for the grade,
// run modally over owner. A grade outside second to fourth order shows
// "模板不存在！" and the window opens without a template.
void RunReportDialog(LevellingGrade grade, MessageSink& sink, QWidget* owner = nullptr);

// Fills the grade's template from the tables through the same path as the
// window and writes it as a PDF. Needs a QGuiApplication (the offscreen
// platform will do). False after the messages when no report was made.
bool WriteReportPdf(LevellingGrade grade, const std::filesystem::path& out, MessageSink& sink);

// The same with the template folder given (tests, benchmarks).
bool WriteReportPdf(LevellingGrade grade, const std::filesystem::path& dataFolder,
                    const std::filesystem::path& out, MessageSink& sink);

}  // namespace lorvex::report
