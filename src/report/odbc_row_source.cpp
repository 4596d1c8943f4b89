#include "db/table_reader.h"
#include "report/row_source.h"

#include <algorithm>

namespace lorvex::report {
namespace {

// A table read whole, handed out a batch at a time.
class WholeTableCursor final : public RowCursor {
  public:
    explicit WholeTableCursor(TableData table) : m_table(std::move(table)) {}
    std::vector<std::string> Columns() const override { return m_table.columns; }
    std::size_t Count() const override { return m_table.rows.size(); }
    bool Fetch(std::vector<std::vector<std::optional<std::string>>>& rows,
               std::size_t maxRows) override {
        const std::size_t n = std::min(maxRows, m_table.rows.size() - m_next);
        for (std::size_t i = 0; i < n; ++i) rows.push_back(std::move(m_table.rows[m_next++]));
        return m_next < m_table.rows.size();
    }

  private:
    TableData m_table;
    std::size_t m_next = 0;
};

class OdbcRowCursor final : public RowCursor {
  public:
    OdbcRowCursor(const std::string& server, const std::string& table) : m_cursor(server, table) {}
    std::vector<std::string> Columns() const override { return m_cursor.Columns(); }
    std::size_t Count() const override { return m_cursor.Count(); }
    bool Fetch(std::vector<std::vector<std::optional<std::string>>>& rows,
               std::size_t maxRows) override {
        return m_cursor.Fetch(rows, maxRows);
    }

  private:
    db::TableCursor m_cursor;
};

// The template's table read through the data source of its log-on. The
// SQLite data source needs no user or password; a data source that does
// takes them from its own registration.
class OdbcRowSource final : public RowSource {
  public:
    TableData ReadTable(const TableLogon& logon, const std::string& table) override {
        db::TableRows rows = db::ReadTable(logon.server, table);
        return TableData{std::move(rows.columns), std::move(rows.rows)};
    }
    std::unique_ptr<RowCursor> OpenTable(const TableLogon& logon,
                                         const std::string& table) override {
        return std::make_unique<OdbcRowCursor>(logon.server, table);
    }
};

}  // namespace

std::unique_ptr<RowCursor> RowSource::OpenTable(const TableLogon& logon, const std::string& table) {
    return std::make_unique<WholeTableCursor>(ReadTable(logon, table));
}

std::shared_ptr<RowSource> MakeOdbcRowSource() { return std::make_shared<OdbcRowSource>(); }

}  // namespace lorvex::report
