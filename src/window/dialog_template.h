#pragma once

// Dialog templates: the controls of a dialog, with ids, captions, tab order
// and positions in dialog units, kept as tables under resources/dialogs and
// turned into widgets here. Dialog units follow the dialog font, so a window
// keeps its proportions whatever the screen or the font size.

#include <map>
#include <optional>
#include <vector>

#include <QFont>
#include <QRect>
#include <QString>
#include <QStringList>

class QRadioButton;
class QWidget;

namespace lorvex {

// One control of a template. id is -1 for labels and group boxes.
struct ControlTemplate {
    enum class Kind { Radio, ListView, GroupBox, Edit, Button, Label, Icon };
    Kind kind = Kind::Label;
    int id = -1;
    QString caption;
    QRect rect;          // dialog units
    QStringList styles;  // "group", "disabled", "readonly", "multiselect", ...
    int line = 0;        // line in the template table, for error messages

    bool HasStyle(const QString& style) const { return styles.contains(style); }
};

struct DialogTemplate {
    int id = 0;
    QString title;
    QSize size;  // dialog units
    QString fontFace;
    int fontPoints = 8;
    QStringList styles;  // "caption", "sysmenu", "minimizebox", "modalframe", "appwindow"
    std::vector<ControlTemplate> controls;  // template order = tab order
};

struct TemplateError {
    QString source;
    int line = 0;
    QString message;
    QString Text() const;  // "source:line: message"
};

// Parses a template table (see resources/dialogs/main_102.tsv for the format).
std::optional<DialogTemplate> ParseDialogTemplate(const QString& text, const QString& source,
                                                  TemplateError* error);

// Loads a template compiled into the program ("main_102", "about_100").
// A broken built-in template is a build fault: it aborts with the error.
DialogTemplate LoadBuiltInTemplate(const QString& name);

// The dialog font: the template's face where it exists, else a sans-serif
// face of similar proportions, with a CJK face for the Chinese captions.
QFont DialogFont(const QString& face, int points);

// Dialog base units of a font: the average width of the Latin letters and
// the character height, in pixels.
struct DialogBaseUnits {
    int cx = 0;
    int cy = 0;
    static DialogBaseUnits ForFont(const QFont& font);
    QRect ToPixels(const QRect& dialogUnits) const;
    QSize ToPixels(const QSize& dialogUnits) const;
};

// The widgets built from a template, by id and in template order.
class DialogControls {
  public:
    QWidget* Item(int id) const;  // GetDlgItem; nullptr for an unknown id
    template <typename T>
    T* Get(int id) const {
        return qobject_cast<T*>(Item(id));
    }
    // The radio buttons of the group that starts at firstId: the radios from
    // there up to the next control that starts a group, in template order.
    std::vector<QRadioButton*> RadioGroup(int firstId) const;
    const std::vector<std::pair<ControlTemplate, QWidget*>>& InOrder() const { return m_ordered; }

  private:
    friend DialogControls BuildDialog(const DialogTemplate&, QWidget*);
    std::map<int, QWidget*> m_byId;
    std::vector<std::pair<ControlTemplate, QWidget*>> m_ordered;
};

// Creates the template's controls as children of dialog, in template order
// (so the focus chain follows it), sets the dialog's font, fixed size, window
// flags and title. List views become ListViewControls in report view with
// their selection and editing styles; their columns are the owner's to add.
DialogControls BuildDialog(const DialogTemplate& dialogTemplate, QWidget* dialog);

}  // namespace lorvex
