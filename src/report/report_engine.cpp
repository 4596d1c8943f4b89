#include "report/report_engine.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <limits>

#include "report/template_parser.h"

namespace lorvex::report {

std::string EngineError::Describe() const {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(m_code));
    return std::string(what()) + " (" + code + ")";
}

Report::Report(ReportTemplate t, std::shared_ptr<RowSource> rows)
    : m_template(std::move(t)), m_rows(std::move(rows)) {
    m_values.resize(m_template.parameters.size());
    for (const auto& p : m_template.parameters) m_printed.push_back(p.defaultValue);
    m_pagination = Pagination(m_template, 0);
}

void Report::SetTableLogon(int tableIndex, TableLogon logon) {
    if (m_template.tableName.isEmpty() || tableIndex != 1) {
        throw EngineError(kErrorBadIndex,
                          "报表模板中没有第 " + std::to_string(tableIndex) + " 个数据表。");
    }
    m_logon = std::move(logon);
    // The rows come from the new source.
    m_prepared = false;
    m_opened = false;
    m_cursor.reset();
}

void Report::SetParameterValue(int index, const QString& value) {
    if (index < 0 || index >= static_cast<int>(m_values.size())) {
        throw EngineError(kErrorInvalidArgument, "参数字段序号无效。");
    }
    m_values[static_cast<std::size_t>(index)] = value;
    m_printed[static_cast<std::size_t>(index)] = value;
}

std::optional<QString> Report::ParameterValue(int index) const {
    if (index < 0 || index >= static_cast<int>(m_values.size())) return std::nullopt;
    return m_values[static_cast<std::size_t>(index)];
}

void Report::Prepare() {
    PrepareFirstPage();
    while (!ReadMoreRows(std::numeric_limits<std::size_t>::max())) {
    }
}

namespace {

// A failure of the data source, in the engine's terms.
template <typename F>
auto ReadingTable(const std::string& table, F&& read) {
    try {
        return read();
    } catch (const EngineError&) {
        throw;
    } catch (const std::exception& e) {
        throw EngineError(kErrorDataSource,
                          "无法读取数据表 " + table + "：" + std::string(e.what()));
    }
}

}  // namespace

void Report::PrepareFirstPage() {
    if (m_opened) return;
    const std::string table = m_template.tableName.toStdString();
    m_table = TableData{};
    m_sums.clear();
    m_summedRows = 0;
    std::size_t expected = 0;
    if (m_template.detail.present) {
        if (!m_logon) {
            throw EngineError(kErrorDataSource, "报表数据表 " + table + " 没有登录信息。");
        }
        if (!m_rows) throw EngineError(kErrorDataSource, "报表引擎没有数据来源。");
        std::unique_ptr<RowCursor> cursor =
            ReadingTable(table, [&] { return m_rows->OpenTable(*m_logon, table); });
        m_table.columns = cursor->Columns();
        expected = cursor->Count();
        // Resolve the column names once, not per row: the detail band's
        // fields, and the columns the sums of any band add up.
        auto column = [&](const QString& name) {
            for (std::size_t c = 0; c < m_table.columns.size(); ++c) {
                if (QString::fromStdString(m_table.columns[c]).compare(name, Qt::CaseInsensitive) ==
                    0) {
                    return static_cast<int>(c);
                }
            }
            return -1;
        };
        auto unknown = [&](const TemplateItem& item, const QString& name) {
            return EngineError(kErrorUnknownField,
                               QStringLiteral("%1 第 %2 行：数据表 %3 中没有字段 %4。")
                                   .arg(m_template.fileName)
                                   .arg(item.sourceLine)
                                   .arg(m_template.tableName, name)
                                   .toStdString());
        };
        for (auto& item : m_template.detail.items) {
            for (auto& seg : item.text) {
                if (seg.kind != TextSegment::Kind::Field) continue;
                seg.index = column(seg.text);
                if (seg.index < 0 && !seg.optional) throw unknown(item, seg.text);
            }
        }
        m_sumTerms.clear();
        std::vector<QString> sumKeys;
        for (Band* band : {&m_template.reportHeader, &m_template.pageHeader,
                           &m_template.reportFooter, &m_template.pageFooter}) {
            for (auto& item : band->items) {
                for (auto& seg : item.text) {
                    if (!seg.IsSum()) continue;
                    QString key;
                    for (auto& term : seg.terms) {
                        term.index = column(term.column);
                        if (term.index < 0) throw unknown(item, term.column);
                        key += (term.sign < 0 ? u'-' : u'+') + QString::number(term.index);
                    }
                    // Two sums of the same columns share their series.
                    const auto found = std::find(sumKeys.begin(), sumKeys.end(), key);
                    seg.index = static_cast<int>(found - sumKeys.begin());
                    if (found == sumKeys.end()) {
                        sumKeys.push_back(key);
                        m_sums.emplace_back();
                        m_sumTerms.push_back(seg.terms);
                    }
                }
            }
        }
        m_cursor = std::move(cursor);
    }
    m_pagination = Pagination(m_template, static_cast<int>(expected));
    m_fonts = std::make_unique<PageFonts>(m_template);
    m_opened = true;
    if (!m_cursor) {
        FinishReading();
        return;
    }
    // One row more than the first page holds: whether the book's totals
    // follow on it is then known too.
    m_table.rows.reserve(expected);
    ReadMoreRows(static_cast<std::size_t>(m_pagination.RowsOnFirstPage()) + 1);
    ReadThrough(0);
}

bool Report::ReadMoreRows(std::size_t rows) {
    if (!m_opened) PrepareFirstPage();
    if (m_prepared) return true;
    const std::string table = m_template.tableName.toStdString();
    const bool more = ReadingTable(table, [&] { return m_cursor->Fetch(m_table.rows, rows); });
    if (!more) FinishReading();
    return m_prepared;
}

void Report::FinishReading() {
    m_cursor.reset();
    // The count and the rows agree under the report lock; should they not,
    // the rows read decide.
    if (static_cast<int>(m_table.rows.size()) != m_pagination.RowCount())
        m_pagination = Pagination(m_template, static_cast<int>(m_table.rows.size()));
    SumRowsRead();
    m_prepared = true;
}

bool Report::PageReady(int page) const {
    if (m_prepared) return true;
    const PagePlan plan = m_pagination.Page(page);
    // The book's totals need every row; a page of rows needs its own and
    // those before. A sum prints at the finest places of all rows, so the
    // sums are made again once the last row is in (the viewer repaints).
    return !plan.reportFooter &&
           static_cast<std::size_t>(plan.firstRow + plan.rowCount) <= m_table.rows.size();
}

void Report::ReadThrough(int page) {
    if (!m_opened) PrepareFirstPage();
    while (!PageReady(page)) {
        // The page's own rows and one more (whether the totals follow them);
        // all that are left for the last page.
        const PagePlan plan = m_pagination.Page(page);
        const auto needed = static_cast<std::size_t>(plan.firstRow + plan.rowCount) + 1;
        const std::size_t have = m_table.rows.size();
        ReadMoreRows(plan.reportFooter || needed <= have ? std::numeric_limits<std::size_t>::max()
                                                         : needed - have);
    }
    SumRowsRead();
}

void Report::SumRowsRead() {
    if (m_summedRows == m_table.rows.size() && m_summedRows != 0) return;
    for (std::size_t i = 0; i < m_sums.size(); ++i) m_sums[i] = SumSeries(m_table, m_sumTerms[i]);
    m_summedRows = m_table.rows.size();
}

void Report::PaintPage(QPainter& painter, int page, DrawnCharacters* drawn) const {
    if (!m_opened || page < 0 || page >= PageCount() || !PageReady(page)) return;
    PageContent content{&m_template, &m_printed,    &m_table, &m_pagination,
                        drawn,       m_fonts.get(), &m_sums};
    report::PaintPage(painter, content, page);
}

QString ParameterField::Name() const {
    return m_report->Template().parameters[static_cast<std::size_t>(m_index)].name;
}

RefPtr<EngineApplication> ReportEngine::CreateEngine(std::shared_ptr<RowSource> rows) {
    return RefPtr<EngineApplication>::Make(std::move(rows));
}

RefPtr<Report> ReportEngine::OpenTemplate(const RefPtr<EngineApplication>& app,
                                          const std::string& path) {
    EngineApplication& engine = app.Checked();
    const QString file = QString::fromStdString(path);
    if (file.isEmpty() || !QFileInfo(file).isFile()) {
        throw EngineError(kErrorTemplateNotFound, "报表模板文件不存在：" + path);
    }
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) {
        throw EngineError(kErrorTemplateUnreadable,
                          "无法读取报表模板文件 " + path + "：" + in.errorString().toStdString());
    }
    try {
        return RefPtr<Report>::Make(ParseTemplate(in, file), engine.Rows());
    } catch (const TemplateError& e) {
        throw EngineError(kErrorTemplateInvalid,
                          QStringLiteral("报表模板格式错误：%1 第 %2 行第 %3 列：%4")
                              .arg(e.FileName())
                              .arg(e.Line())
                              .arg(e.Column())
                              .arg(e.Message())
                              .toStdString());
    }
}

void ReportEngine::SetTableLogon(const RefPtr<Report>& report, int tableIndex,
                                 const std::string& server, const std::string& database,
                                 const std::string& user, const std::string& password) {
    report->SetTableLogon(tableIndex, TableLogon{server, database, user, password});
}

RefPtr<ParameterField> ReportEngine::FindParameter(const RefPtr<Report>& report,
                                                   const std::string& name) {
    const int index = report->ParameterIndex(QString::fromStdString(name));
    if (index < 0) {
        throw EngineError(kErrorUnknownParameter, "报表模板 " +
                                                      report->Template().fileName.toStdString() +
                                                      " 中没有参数字段 " + name + "。");
    }
    return RefPtr<ParameterField>::Make(report, index);
}

void ReportEngine::SetParameterValue(const RefPtr<ParameterField>& field,
                                     const std::string& value) {
    ParameterField& f = field.Checked();
    f.Owner()->SetParameterValue(f.Index(), QString::fromStdString(value));
}

}  // namespace lorvex::report
