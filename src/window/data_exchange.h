#pragma once

// The exchange between a dialog's members and its controls. A pull copies
// what the controls show into the members; a push shows the members in the
// controls, touching an edit only where its text differs, so that an edit's
// change handler runs only for edits that really change.

#include <string>

#include "base/grade.h"
#include "window/dialog_template.h"

namespace lorvex {

class DataExchange {
  public:
    DataExchange(const DialogControls& controls, bool saveAndValidate)
        : m_controls(controls), m_save(saveAndValidate) {}

    // True for a pull (controls to members), false for a push.
    bool SaveAndValidate() const { return m_save; }
    const DialogControls& Controls() const { return m_controls; }

  private:
    const DialogControls& m_controls;
    bool m_save;
};

// An edit's whole text, enabled or not, with a text member (UTF-8).
void DDX_Text(DataExchange& dx, int editId, std::string& value);

// A radio group with the index of its checked radio: -1 when none is checked
// on a pull; on a push each radio is checked exactly when its index equals
// value, so -1 unchecks them all.
void DDX_Radio(DataExchange& dx, int firstRadioId, LevellingGrade& value);

}  // namespace lorvex
