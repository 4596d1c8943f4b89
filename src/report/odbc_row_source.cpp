#include "db/table_reader.h"
#include "report/row_source.h"

namespace lorvex::report {
namespace {

// The template's table read through the data source of its log-on. The
// SQLite data source needs no user or password; a data source that does
// takes them from its own registration.
class OdbcRowSource final : public RowSource {
  public:
    TableData ReadTable(const TableLogon& logon, const std::string& table) override {
        db::TableRows rows = db::ReadTable(logon.server, table);
        return TableData{std::move(rows.columns), std::move(rows.rows)};
    }
};

}  // namespace

std::shared_ptr<RowSource> MakeOdbcRowSource() { return std::make_shared<OdbcRowSource>(); }

}  // namespace lorvex::report
