#pragma once

// One levelling session: what a main window holds between the user's
// commands (the imported lines, the line shown and its data-list rows as the
// user edited them, the grade, the report header, the file path) and the
// commands themselves. The window binds its widgets to it and lorvex-cli
// prints it as JSON; neither holds any logic of its own.
//
// Every operation hands back the messages the user must see, in order, as
// values; the front end shows them (boxes, or JSON and stderr).

#include <cstddef>
#include <deque>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/byte_source.h"
#include "base/grade.h"
#include "base/messages.h"
#include "levelling/limits.h"
#include "levelling/quality_check.h"
#include "levelling/report_command.h"
#include "levelling/report_header.h"
#include "levelling/row_marks.h"

namespace lorvex {

class LineStore;
struct AnyFileImport;
struct ImportResult;
struct InstrumentFile;

using Messages = std::vector<UserMessage>;

// The grade a file leaves to the user: a GSI or M5 file names none, and its
// station pattern may fit more than one (back-fore-fore-back fits second and
// third order). Asked once per file, before a line is shown.
struct GradeQuestion {
    std::vector<LevellingGrade> allowed;  // two or more, ascending
    LevellingGrade preselected = GradeNone;

    friend bool operator==(const GradeQuestion&, const GradeQuestion&) = default;
};

struct ImportOutcome {
    // false: the file could not be opened, or was refused (not a regular
    // file, too large, UTF-16 without a byte-order mark: messages says why);
    // nothing changed.
    bool opened = true;
    // A read error (stop icon), the 100-line limit, a file without data, or
    // why the file was refused.
    Messages messages;
    // Set when the file leaves the grade open; answer with SetFileGrade.
    std::optional<GradeQuestion> gradeQuestion;
};

// The report command's checks and computation over what a window shows:
// lineCount rows in the line list, the data-list rows, the grade and header
// as pulled from the controls. Stops with "没有线路数据，请导入！" when nothing
// was imported, "没有测量数据，请选择线路名称！" when no line is shown, the
// invalid-argument error (stop icon) for a row without the fields of a
// record, and the station checks of ComputeReport.
PreparedReport PrepareReport(std::size_t lineCount, std::span<const std::string_view> dataRows,
                             LevellingGrade grade, const ReportHeader& header);

// The same, with the stations checked against limits as they are computed
// (PreparedReport::check); the rows do not change.
PreparedReport PrepareReport(std::size_t lineCount, std::span<const std::string_view> dataRows,
                             LevellingGrade grade, const ReportHeader& header,
                             const LimitTable& limits);

// Two runs of a section side by side, or why they could not be compared.
struct LineComparison {
    std::optional<UserMessage> stop;  // a line that does not compute
    RunComparison comparison;
};

class LevellingSession {
  public:
    LevellingSession();
    ~LevellingSession();
    LevellingSession(const LevellingSession&) = delete;
    LevellingSession& operator=(const LevellingSession&) = delete;

    // ---- State: the front end shows it, and exchanges the file path, the
    // grade and the header with its controls. ----

    std::size_t LineCount() const;
    const std::string& LineName(std::size_t line) const;
    std::vector<std::string> LineNames() const;
    std::size_t RecordCount(std::size_t line) const;
    // The stored record texts of a line (seven fields each).
    std::vector<std::string> Records(std::size_t line) const;
    // The same without copying; valid until the lines next change.
    std::vector<std::string_view> RecordViews(std::size_t line) const;

    // Non-empty text lines of the last imported file that were neither a
    // record nor a line start: a script tells a clean file from a noisy one.
    std::size_t IgnoredLineCount() const { return m_ignoredLines; }

    // The line the data list was last filled from; -1 for none.
    int ShownLine() const { return m_shownLine; }
    // The data-list rows: the shown line's records cut at their last space,
    // as the user has edited and thinned them since. Views into the stored
    // records (or into the session's copy of a row as typed), valid until
    // the rows next change; the vector itself stays in place, so a list
    // view may keep showing it.
    const std::vector<std::string_view>& DataRows() const { return m_dataRows; }

    std::string& FilePath() { return m_filePath; }
    const std::string& FilePath() const { return m_filePath; }
    // Any value: a front end's exchange may set GradeNone (no radio checked).
    LevellingGrade& Grade() { return m_grade; }
    LevellingGrade Grade() const { return m_grade; }
    ReportHeader& Header() { return m_header; }
    const ReportHeader& Header() const { return m_header; }

    // Whether the user may pick a grade (its radio button is enabled), and
    // whether the header fields recorded for second order only are open.
    // Before any line is shown no grade can be picked and the fields are open.
    bool GradeSelectable(LevellingGrade grade) const;
    bool SecondOrderFieldsEnabled() const { return m_secondOrderFields; }

    // ---- Operations ----

    // Reads a measurement file into the lines: every earlier line, record
    // and edit is replaced, and no line is shown. The path is kept as the
    // session's file path whether or not the file opens.
    ImportOutcome ImportFile(const std::filesystem::path& path);
    // The same from a byte source; displayPath names it in messages.
    ImportOutcome ImportBytes(ByteSource& source, std::string_view displayPath);

    // Shows line `row` (-1 for none): fills the data rows from its records,
    // and, for a line with records, detects the grade and end points (into
    // sStationStGo and sStationEnGo) and applies the grade. A pattern that
    // fits no grade gives "数据格式不支持！" and leaves no grade selectable.
    Messages ClickLine(int row);

    // The end of an in-place edit of a data row: the typed text replaces the
    // row as typed; an absent or empty text leaves it. The stored record
    // never changes. Returns whether the row changed.
    bool EditRow(int row, const std::optional<std::string>& text);

    // The question to ask before deleting data rows; nullopt when none is
    // given, in which case nothing is asked and nothing deleted.
    std::optional<UserMessage> DeleteQuestion(std::span<const int> rows) const;
    // Deletes data rows and the same records of the shown line (row r stands
    // for record r). Rows in any order; rows that do not exist are passed over.
    void DeleteRows(std::span<const int> rows);

    // The grade for every line of a GSI or M5 file: its records are written
    // again with that grade's method code and order of sights, and no line
    // is shown. Until it is called the records carry the preselected grade.
    // False (nothing changes) for an .mdt, or a grade the pattern does not
    // allow.
    bool SetFileGrade(LevellingGrade grade);

    // Sets a grade of 0-2 (other values do nothing; returns false), makes it
    // selectable and opens or closes the second-order fields.
    bool ApplyGrade(LevellingGrade grade);

    // The range rule of a time field (hours 0-23, minutes 0-59, read like
    // atoi): an out-of-range text becomes "0". Returns whether it changed.
    bool CheckTimeField(TimeField field);

    // The report command's checks and computation over the session, with
    // the limit checks of its stations beside the rows. A dual-run half
    // ("N(R)", "N(L)") is also compared with its other half, as stored; a
    // broken left_right_diff joins the line's flags.
    PreparedReport PrepareReport() const;

    // Where a file chooser opens: the folder of the session's file path
    // (typed or imported) when that folder exists, else lastUsed when it is
    // an existing folder, else home.
    std::filesystem::path ChooserFolder(const std::filesystem::path& lastUsed,
                                        const std::filesystem::path& home) const;

    // The limit checks of PrepareReport placed on the data rows as they are
    // (what a window marks, with the line's flags for its summary); nullopt
    // when the report command stops. The rows are read once, by the
    // computation.
    std::optional<RowMarks> CheckRows() const;

    // ---- Limits of the levelling standards ----

    // Reads the limit table (the data folder's limits.tsv); a missing or
    // faulty file leaves the built-in limits in force. Returns the file's
    // messages, for the front end to show once.
    Messages LoadLimits(const std::filesystem::path& file);
    void SetLimits(const LimitTable& limits) { m_limits = limits; }
    const LimitTable& Limits() const { return m_limits; }

    // Compares the stored records of lines a and b as two runs of one
    // section, both computed with the grade detected for a. The stop is the
    // message of a line that is missing, does not fit a grade or does not
    // compute; the two halves of a dual-run line are compared for
    // left_right_diff, any other pair for runs_diff.
    LineComparison CompareLines(std::size_t a, std::size_t b) const;

    // The other half of a dual-run line among the lines, if there is one.
    std::optional<std::size_t> DualRunPartnerOf(std::size_t line) const;

    // Line `line` as a click on it in a new window and then the report
    // command would prepare it, with header (its end points replaced by the
    // ones the click finds). A line whose pattern fits no grade stops with
    // the click's "数据格式不支持！" rather than computing without a grade. The
    // session's shown line, data rows and grade do not change, so a whole
    // file can be run through line by line beside what the window shows.
    struct LineReport {
        Messages messages;  // what the click said, before any stop
        PreparedReport prepared;
    };
    LineReport PrepareLineReport(std::size_t line, const ReportHeader& header) const;

  private:
    // Runs a reader over the store; rows it may have left dangling go.
    template <typename Read>
    AnyFileImport ReadGuarded(Read read);
    void ClearRows();
    ImportOutcome Imported(const ImportResult& result, std::unique_ptr<InstrumentFile> instrument);
    bool ShownLineHasSingleReadings() const;
    // PrepareReport, giving the data row of each record computed when
    // rowOfRecord is set.
    PreparedReport PrepareShown(std::vector<std::size_t>* rowOfRecord) const;
    // Computes a stored line as it would be shown, with grade (GradeNone:
    // the detected one); the check's run, or the message that stopped it.
    struct StoredRun {
        std::optional<UserMessage> stop;
        LevellingGrade grade = GradeNone;
        RunSummary run;
    };
    StoredRun ComputeStoredLine(std::size_t line, LevellingGrade grade) const;
    bool HasSingleReadings(std::size_t line) const;
    // Adds the left_right_diff flag against the other half of a dual-run
    // line to a computed report of `line`.
    void AddDualRunCheck(PreparedReport& prepared, std::size_t line) const;

    std::unique_ptr<LineStore> m_store;
    // The lines of a GSI or M5 file as read; null after an .mdt.
    std::unique_ptr<InstrumentFile> m_instrument;
    std::vector<LevellingGrade> m_fileGrades;  // the grades its pattern allows
    std::size_t m_ignoredLines = 0;
    int m_shownLine = -1;
    // A row is the stored record's text until the user edits it: a hundred
    // thousand rows shown cost no hundred thousand copies. Every change of
    // the store's texts (an import, a grade for an instrument's file) clears
    // the rows first.
    std::vector<std::string_view> m_dataRows;
    // The texts typed into rows, which their rows view; a deque, so that a
    // text stays in place while more are added. Emptied with the rows.
    std::deque<std::string> m_typedRows;
    std::string m_filePath;
    LevellingGrade m_grade = GradeNone;
    ReportHeader m_header;
    bool m_gradeSelectable[3] = {false, false, false};
    bool m_secondOrderFields = true;
    LimitTable m_limits = BuiltInLimits();
};

}  // namespace lorvex
