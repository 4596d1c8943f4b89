#pragma once

// The archive of reports, newest first, with a filter by line name: the
// chosen report opens in the report window as it was written.

#include <functional>
#include <vector>

#include <QDialog>

#include "db/report_archive.h"
#include "window/ui_services.h"

class QLineEdit;
class QPushButton;
class QTableWidget;

namespace lorvex {

class CReportHistoryDlg final : public QDialog {
    Q_OBJECT

  public:
    // Opens a report read from the archive (the report window over owner).
    using OpenStep = std::function<void(const db::ArchivedRows& report)>;

    CReportHistoryDlg(UiServices& ui, OpenStep open, QWidget* parent = nullptr);

    // Reads the archive again, only the filter's line when it is not empty.
    void Reload();
    // Opens the selected report; nothing when no row is selected.
    void OnOpenReport();

    QTableWidget* Table() const { return m_table; }
    QLineEdit* Filter() const { return m_filter; }
    const std::vector<db::ArchivedReport>& Reports() const { return m_reports; }

  private:
    UiServices& m_ui;
    OpenStep m_open;
    QLineEdit* m_filter = nullptr;
    QTableWidget* m_table = nullptr;
    QPushButton* m_openButton = nullptr;
    std::vector<db::ArchivedReport> m_reports;
};

}  // namespace lorvex
