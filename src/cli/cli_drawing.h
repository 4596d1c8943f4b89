#pragma once

// What lorvex-cli draws (record books as PDF) and the workbooks it writes,
// behind an interface of our own implemented in a module loaded on first
// use: the commands that only compute or read the database start without
// loading Qt Gui, qpdf or libxlsxwriter.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/grade.h"
#include "levelling/quality_check.h"
#include "levelling/report_command.h"
#include "sections/section_table.h"

namespace lorvex {
class MessageSink;
}

namespace lorvex::cli {

// The book set's outcome per line, as the contents page has it.
struct BookSetResult {
    enum class Result { Written, NoBook, Cancelled, OutputFailed };
    Result result = Result::NoBook;
    std::vector<int> firstPages;  // 1-based; 0 for a line without a book
    std::vector<int> pageCounts;
    std::vector<std::string> reasons;
};

// Every line's record book in one PDF, collected line by line so that only
// the book's own copy of each line's rows is held.
class BookSet {
  public:
    virtual ~BookSet() = default;
    virtual void Add(std::string name, const PreparedReport& prepared) = 0;
    // Fills the books from the grade's templates in dataFolder and writes
    // them after a contents page; the file appears whole or not at all.
    virtual BookSetResult Write(const std::filesystem::path& dataFolder,
                                const std::filesystem::path& out, MessageSink& sink) = 0;
};

// Every method catches what it throws: a failure reaches the caller as a
// message or an error text, never as an exception across the module's edge.
class Drawing {
  public:
    virtual ~Drawing() = default;

    // False in a build without the report engine: no record book is drawn.
    virtual bool DrawsRecordBooks() const = 0;

    // The record book of the report just written to the last-report tables,
    // with the 备注 and footer of check and the line's name on every page
    // when given. False after the messages when no record book was made.
    virtual bool WriteRecordBook(LevellingGrade grade, const LineCheck* check,
                                 const std::string* lineName,
                                 const std::filesystem::path& dataFolder,
                                 const std::filesystem::path& out, MessageSink& sink) = 0;

    // The same from rows already read (an archived report) with the checks
    // they were written with.
    virtual bool WriteRecordBookFrom(const ReportRows& rows, const std::optional<LineCheck>& check,
                                     const std::filesystem::path& out, MessageSink& sink) = 0;

    virtual std::unique_ptr<BookSet> StartBookSet() = 0;

    // The section table as a workbook; false with the reason in error.
    virtual bool WriteSectionXlsx(const std::vector<SectionRow>& rows,
                                  const std::filesystem::path& out, std::string& error) = 0;
};

// The function the module exports, by this name. The interface's version is
// part of the name, so that a module of another version is refused rather
// than called with another layout.
using DrawingEntry = Drawing* (*)();
inline constexpr char kDrawingEntry[] = "lorvex_cli_drawing_v1";

// The module from $LORVEX_CLI_DRAWING when that is set (and only from there),
// else beside the program, else in the installed library folder. Loaded once
// per file and kept until the process ends. Null, with why in error, when it
// cannot be loaded.
Drawing* LoadDrawing(std::string& error);

// The files LoadDrawing tries, in order.
std::vector<std::filesystem::path> DrawingCandidates();

// The platform's loader: opens file and finds the function name in it, or
// gives the system's reason in error. The module is never unloaded.
void* OpenModuleFunction(const std::filesystem::path& file, const char* name, std::string& error);

}  // namespace lorvex::cli
