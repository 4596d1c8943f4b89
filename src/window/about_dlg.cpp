#include "window/about_dlg.h"

#include <QPushButton>

#include "window/dialog_template.h"
#include "window/program_icon.h"

namespace lorvex {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    const DialogControls controls =
        BuildDialog(LoadBuiltInTemplate(QStringLiteral("about_100")), this);
    setWindowIcon(ProgramIcon());
    if (auto* ok = controls.Get<QPushButton>(1)) {
        connect(ok, &QPushButton::clicked, this, &QDialog::accept);
        ok->setFocus();
    }
}

}  // namespace lorvex
