#pragma once

#include <QDialog>

namespace lorvex {

// The about box: program icon, version line and the OK button.
class CAboutDlg final : public QDialog {
    Q_OBJECT

  public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace lorvex
