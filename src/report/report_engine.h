#pragma once

// Lorvex's report engine, in-process. The adapter ReportEngine offers exactly
// the calls the report filling makes: create the engine, open a template,
// set the log-on of the template's table, find a parameter field and set its
// value. The objects it hands out are reference counted (RefPtr); every
// failure throws EngineError.

#include <QSizeF>
#include <QString>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "report/ref_ptr.h"
#include "report/report_layout.h"
#include "report/report_numbers.h"
#include "report/report_template.h"
#include "report/row_source.h"

class QPainter;

namespace lorvex::report {

class DrawnCharacters;

// The engine's application object: opens templates.
class EngineApplication final : public RefCounted {
  public:
    explicit EngineApplication(std::shared_ptr<RowSource> rows) : m_rows(std::move(rows)) {}
    const std::shared_ptr<RowSource>& Rows() const { return m_rows; }

  private:
    std::shared_ptr<RowSource> m_rows;
};

// An opened template with its parameter values; once prepared, a report
// that can paint its pages.
class Report final : public RefCounted {
  public:
    Report(ReportTemplate t, std::shared_ptr<RowSource> rows);

    const ReportTemplate& Template() const { return m_template; }

    // Table indexes count from 1, as the log-on call passes them.
    void SetTableLogon(int tableIndex, TableLogon logon);
    const std::optional<TableLogon>& Logon() const { return m_logon; }

    // -1 when the template declares no such parameter.
    int ParameterIndex(const QString& name) const { return m_template.FindParameter(name); }
    void SetParameterValue(int index, const QString& value);
    // The value set, or nullopt while none has been set.
    std::optional<QString> ParameterValue(int index) const;

    // Reads the table rows through the log-on's data source (first call
    // only) and paginates. Throws EngineError (data source, unknown column).
    void Prepare();
    bool IsPrepared() const { return m_prepared; }
    const TableData& Table() const { return m_table; }

    // The start of Prepare, for a report shown at once: opens the table,
    // counts its rows (the page count is known from then on) and reads the
    // rows of the first page. Throws as Prepare does.
    void PrepareFirstPage();
    bool IsOpened() const { return m_opened; }
    // Reads up to rows more rows of an opened report; true once all are read
    // (the report is then prepared). Throws as Prepare does.
    bool ReadMoreRows(std::size_t rows);
    // Reads on until page can be painted as the prepared report paints it.
    void ReadThrough(int page);

    int PageCount() const { return m_pagination.PageCount(); }
    // The rows of the table, known once the report is opened.
    int RowCount() const { return m_pagination.RowCount(); }
    QSizeF PageSizeMm() const { return m_template.PageSizeMm(); }
    // Paints a page of a prepared report, or of an opened one that has read
    // through it (ReadThrough); the painter is in 1/100 mm with the
    // page's corner at the origin (see MapPageToRect).
    // With drawn, every character painted is added to it.
    void PaintPage(QPainter& painter, int page, DrawnCharacters* drawn = nullptr) const;

  private:
    bool PageReady(int page) const;
    void FinishReading();
    // Makes the sums again over the rows read, unless they cover them already.
    void SumRowsRead();

    ReportTemplate m_template;
    std::shared_ptr<RowSource> m_rows;
    std::optional<TableLogon> m_logon;
    std::vector<std::optional<QString>> m_values;
    std::vector<QString> m_printed;  // value or default, what the page shows
    TableData m_table;
    std::vector<SumSeries> m_sums;                 // one per distinct sum the template prints
    std::vector<std::vector<SumTerm>> m_sumTerms;  // what each of them adds up
    Pagination m_pagination;
    std::unique_ptr<PageFonts> m_fonts;   // measured once a report is opened
    std::unique_ptr<RowCursor> m_cursor;  // while rows are still to be read
    std::size_t m_summedRows = 0;         // the rows m_sums cover
    bool m_opened = false;
    bool m_prepared = false;
};

// A parameter field of a report, as found by name.
class ParameterField final : public RefCounted {
  public:
    ParameterField(RefPtr<Report> report, int index)
        : m_report(std::move(report)), m_index(index) {}
    const RefPtr<Report>& Owner() const { return m_report; }
    int Index() const { return m_index; }
    QString Name() const;

  private:
    RefPtr<Report> m_report;
    int m_index;
};

class ReportEngine {
  public:
    // The application object, reading its tables through rows.
    static RefPtr<EngineApplication> CreateEngine(std::shared_ptr<RowSource> rows);

    // Opens and parses a template file. Missing file, unreadable file and a
    // malformed template (file, line and column in the text) are failures.
    static RefPtr<Report> OpenTemplate(const RefPtr<EngineApplication>& app,
                                       const std::string& path);

    static void SetTableLogon(const RefPtr<Report>& report, int tableIndex,
                              const std::string& server, const std::string& database,
                              const std::string& user, const std::string& password);

    static RefPtr<ParameterField> FindParameter(const RefPtr<Report>& report,
                                                const std::string& name);

    static void SetParameterValue(const RefPtr<ParameterField>& field, const std::string& value);
};

}  // namespace lorvex::report
