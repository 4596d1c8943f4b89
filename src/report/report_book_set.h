#pragma once

// Every line of a file as one PDF: a contents page, then each line's record
// book from a new page, numbered within its book, as a surveyor hands in a
// day's work.

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/grade.h"

namespace lorvex {
class MessageSink;
struct PreparedReport;
}  // namespace lorvex

namespace lorvex::report {

class ReportRowSource;

// One line of the line list: the rows of its record book, or why it has
// none (the book is then listed on the contents page with the reason).
struct BookSetLine {
    std::string name;
    LevellingGrade grade = GradeNone;
    std::size_t stations = 0;
    std::shared_ptr<ReportRowSource> rows;  // null: no book
    std::string reason;
};

// A line's book from its prepared report: the computed rows with the 备注
// and footer of its checks, as the one-line record book has them; or, when
// the report stopped, the stop's text as the reason.
BookSetLine BookLineFrom(std::string name, const PreparedReport& prepared);

// Called after each step (a book filled, a book painted) with the steps
// done and the steps in all (two per line); false cancels the run.
using BookSetProgress = std::function<bool(std::size_t done, std::size_t steps)>;

struct BookSetOutcome {
    enum class Result { Written, NoBook, Cancelled, OutputFailed };
    Result result = Result::NoBook;
    std::size_t books = 0;
    // Per line: the PDF page (1-based) its book starts on; 0 for none.
    std::vector<int> firstPages;
    // Per line: the number of pages of its book; 0 for none.
    std::vector<int> pageCounts;
    // A line whose book could not be filled gets its fill's messages as
    // reason; a line's reason is what the contents page shows.
    std::vector<std::string> reasons;
};

// Fills the book of every line with rows from the grade's template in
// dataFolder and writes them after a contents page (line, grade, stations,
// first page, or the reason a line has no book) as one PDF. The file
// appears whole or not at all: nothing is written when no book was made,
// when progress cancels, or when writing fails (the sink says why). Needs a
// QGuiApplication.
BookSetOutcome WriteBookSetPdf(const std::vector<BookSetLine>& lines,
                               const std::filesystem::path& dataFolder,
                               const std::filesystem::path& out, MessageSink& sink,
                               const BookSetProgress& progress = {});

// The contents page's heading, and the PDF's title.
inline constexpr const char* kContentsTitle = "目录";

}  // namespace lorvex::report
