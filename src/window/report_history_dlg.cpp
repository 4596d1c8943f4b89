#include "window/report_history_dlg.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "base/grade.h"
#include "db/odbc.h"
#include "levelling/number_text.h"

namespace lorvex {

namespace {

QString GradeText(LevellingGrade grade) {
    switch (grade) {
        case GradeSecond:
            return QStringLiteral("二等");
        case GradeThird:
            return QStringLiteral("三等");
        case GradeFourth:
            return QStringLiteral("四等");
        default:
            return QString::number(grade);
    }
}

QString Utf8(const std::string& text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

}  // namespace

CReportHistoryDlg::CReportHistoryDlg(UiServices& ui, OpenStep open, QWidget* parent)
    : QDialog(parent), m_ui(ui), m_open(std::move(open)) {
    setWindowTitle(QStringLiteral("历史报表"));
    resize(760, 420);
    auto* layout = new QVBoxLayout(this);
    auto* filterRow = new QHBoxLayout;
    filterRow->addWidget(new QLabel(QStringLiteral("线路名称"), this));
    m_filter = new QLineEdit(this);
    filterRow->addWidget(m_filter);
    layout->addLayout(filterRow);

    m_table = new QTableWidget(0, 7, this);
    m_table->setHorizontalHeaderLabels({QStringLiteral("日期"), QStringLiteral("用户"),
                                        QStringLiteral("线路"), QStringLiteral("等级"),
                                        QStringLiteral("测站数"), QStringLiteral("长度(km)"),
                                        QStringLiteral("高差(m)")});
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(m_table);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    m_openButton = new QPushButton(QStringLiteral("打开报表"), this);
    auto* close = new QPushButton(QStringLiteral("关闭"), this);
    buttons->addWidget(m_openButton);
    buttons->addWidget(close);
    layout->addLayout(buttons);

    connect(m_filter, &QLineEdit::textChanged, this, &CReportHistoryDlg::Reload);
    connect(m_openButton, &QPushButton::clicked, this, &CReportHistoryDlg::OnOpenReport);
    connect(m_table, &QTableWidget::cellDoubleClicked, this, &CReportHistoryDlg::OnOpenReport);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    Reload();
}

void CReportHistoryDlg::Reload() {
    const std::string line = m_filter->text().toStdString();
    try {
        m_reports = db::ListArchivedReports(
            std::nullopt, line.empty() ? std::nullopt : std::optional<std::string>(line));
    } catch (const db::DbError& e) {
        m_reports.clear();
        m_ui.ShowMessage(this, UserMessage{e.what(), MessageIcon::Warning}, MessageButtons::Ok);
    }
    m_table->setRowCount(int(m_reports.size()));
    for (int row = 0; row < int(m_reports.size()); ++row) {
        const db::ArchivedReport& r = m_reports[std::size_t(row)];
        // The totals as the record book prints them.
        const QString cells[] = {Utf8(r.written),
                                 Utf8(r.user),
                                 Utf8(r.line),
                                 GradeText(r.grade),
                                 QString::number(r.stations),
                                 Utf8(FormatFixed(r.lengthKm, 2)),
                                 Utf8(FormatFixed(r.heightM, 5))};
        for (int column = 0; column < 7; ++column) {
            m_table->setItem(row, column, new QTableWidgetItem(cells[column]));
        }
    }
    if (!m_reports.empty()) m_table->selectRow(0);
}

void CReportHistoryDlg::OnOpenReport() {
    const int row = m_table->currentRow();
    if (row < 0 || row >= int(m_reports.size())) return;
    std::optional<db::ArchivedRows> rows;
    try {
        rows = db::ReadArchivedReport(m_reports[std::size_t(row)].id);
    } catch (const db::DbError& e) {
        m_ui.ShowMessage(this, UserMessage{e.what(), MessageIcon::Warning}, MessageButtons::Ok);
        return;
    }
    if (rows && m_open) m_open(*rows);
}

}  // namespace lorvex
