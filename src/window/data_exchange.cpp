#include "window/data_exchange.h"

#include <QLineEdit>
#include <QRadioButton>

namespace lorvex {

void DDX_Text(DataExchange& dx, int editId, std::string& value) {
    auto* edit = dx.Controls().Get<QLineEdit>(editId);
    Q_ASSERT(edit);
    if (!edit) return;
    if (dx.SaveAndValidate()) {
        value = edit->text().toStdString();
        return;
    }
    const QString text = QString::fromStdString(value);
    if (edit->text() != text) edit->setText(text);
}

void DDX_Radio(DataExchange& dx, int firstRadioId, LevellingGrade& value) {
    const std::vector<QRadioButton*> radios = dx.Controls().RadioGroup(firstRadioId);
    Q_ASSERT(!radios.empty());
    if (dx.SaveAndValidate()) {
        value = GradeNone;
        for (std::size_t i = 0; i < radios.size(); ++i) {
            if (radios[i]->isChecked()) {
                value = static_cast<LevellingGrade>(i);
                break;
            }
        }
        return;
    }
    // An exclusive group refuses to uncheck its checked radio; lift the rule
    // while the group is set, so that no grade can mean no radio checked.
    for (std::size_t i = 0; i < radios.size(); ++i) {
        radios[i]->setAutoExclusive(false);
        radios[i]->setChecked(static_cast<LevellingGrade>(i) == value);
    }
    for (QRadioButton* radio : radios) radio->setAutoExclusive(true);
}

}  // namespace lorvex
