#include "window/dialog_template.h"

#include <QAbstractItemView>
#include <QFile>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "window/list_view.h"
#include "window/program_icon.h"

namespace lorvex {
namespace {

std::optional<ControlTemplate::Kind> KindFromName(const QString& name) {
    using Kind = ControlTemplate::Kind;
    static const std::map<QString, Kind> kinds{
        {"radio", Kind::Radio}, {"listview", Kind::ListView}, {"groupbox", Kind::GroupBox},
        {"edit", Kind::Edit},   {"button", Kind::Button},     {"label", Kind::Label},
        {"icon", Kind::Icon},
    };
    const auto it = kinds.find(name);
    if (it == kinds.end()) return std::nullopt;
    return it->second;
}

QString Dash(const QString& field) { return field == QLatin1String("-") ? QString() : field; }

bool ToInt(const QString& text, int* value) {
    bool ok = false;
    *value = text.toInt(&ok);
    return ok;
}

// Windows rounds dialog-unit conversions with MulDiv.
int MulDiv(int value, int numerator, int denominator) {
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator
                                         : -((-product + half) / denominator));
}

}  // namespace

QString TemplateError::Text() const {
    return QStringLiteral("%1:%2: %3").arg(source).arg(line).arg(message);
}

std::optional<DialogTemplate> ParseDialogTemplate(const QString& text, const QString& source,
                                                  TemplateError* error) {
    DialogTemplate result;
    bool haveDialog = false;
    const auto fail = [&](int line, const QString& message) -> std::optional<DialogTemplate> {
        if (error) *error = TemplateError{source, line, message};
        return std::nullopt;
    };

    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        const int lineNumber = i + 1;
        QString line = lines[i];
        if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
        if (line.trimmed().isEmpty() || line.startsWith(QLatin1Char('#'))) continue;
        const QStringList f = line.split(QLatin1Char('\t'));

        if (f[0] == QLatin1String("dialog")) {
            if (haveDialog) return fail(lineNumber, QStringLiteral("a second dialog row"));
            if (f.size() < 7)
                return fail(lineNumber, QStringLiteral("a dialog row needs 7 fields"));
            int w = 0;
            int h = 0;
            if (!ToInt(f[1], &result.id) || !ToInt(f[3], &w) || !ToInt(f[4], &h) ||
                !ToInt(f[6], &result.fontPoints)) {
                return fail(lineNumber, QStringLiteral("id, size and points must be numbers"));
            }
            result.title = Dash(f[2]);
            result.size = QSize(w, h);
            result.fontFace = f[5];
            if (f.size() > 7) result.styles = f[7].split(QLatin1Char(' '), Qt::SkipEmptyParts);
            haveDialog = true;
            continue;
        }

        if (!haveDialog) return fail(lineNumber, QStringLiteral("controls before the dialog row"));
        const auto kind = KindFromName(f[0]);
        if (!kind) return fail(lineNumber, QStringLiteral("unknown control kind \"%1\"").arg(f[0]));
        if (f.size() < 7) return fail(lineNumber, QStringLiteral("a control row needs 7 fields"));
        ControlTemplate control;
        control.kind = *kind;
        control.line = lineNumber;
        if (f[1] != QLatin1String("-") && !ToInt(f[1], &control.id)) {
            return fail(lineNumber, QStringLiteral("the id must be a number or -"));
        }
        control.caption = Dash(f[2]);
        int x = 0;
        int y = 0;
        int w = 0;
        int h = 0;
        if (!ToInt(f[3], &x) || !ToInt(f[4], &y) || !ToInt(f[5], &w) || !ToInt(f[6], &h)) {
            return fail(lineNumber, QStringLiteral("the position must be four numbers"));
        }
        if (w < 0 || h < 0) return fail(lineNumber, QStringLiteral("negative size"));
        control.rect = QRect(x, y, w, h);
        if (f.size() > 7) control.styles = f[7].split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (control.id != -1) {
            for (const ControlTemplate& other : result.controls) {
                if (other.id == control.id) {
                    return fail(lineNumber, QStringLiteral("id %1 already used on line %2")
                                                .arg(control.id)
                                                .arg(other.line));
                }
            }
        }
        result.controls.push_back(std::move(control));
    }
    if (!haveDialog) return fail(lines.size(), QStringLiteral("no dialog row"));
    return result;
}

DialogTemplate LoadBuiltInTemplate(const QString& name) {
    const QString path = QStringLiteral(":/dialogs/%1.tsv").arg(name);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) qFatal("dialog template %s is missing", qPrintable(path));
    TemplateError error;
    auto parsed = ParseDialogTemplate(QString::fromUtf8(file.readAll()), path, &error);
    if (!parsed) qFatal("%s", qPrintable(error.Text()));
    return *parsed;
}

QFont DialogFont(const QString& face, int points) {
    // "MS Shell Dlg" is a Windows alias; elsewhere a sans-serif face of similar
    // width takes its place, and the CJK face draws the Chinese captions.
    QFont font;
    font.setFamilies({face, QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans"),
                      QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Microsoft YaHei"),
                      QStringLiteral("SimSun")});
    font.setPointSize(points);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

DialogBaseUnits DialogBaseUnits::ForFont(const QFont& font) {
    // The Windows dialog manager's rule: the average width of the 52 Latin
    // letters, rounded, and the full character height.
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    DialogBaseUnits units;
    units.cx = (letters / 26 + 1) / 2;
    units.cy = metrics.height();
    return units;
}

QRect DialogBaseUnits::ToPixels(const QRect& du) const {
    return QRect(MulDiv(du.x(), cx, 4), MulDiv(du.y(), cy, 8), MulDiv(du.width(), cx, 4),
                 MulDiv(du.height(), cy, 8));
}

QSize DialogBaseUnits::ToPixels(const QSize& du) const {
    return QSize(MulDiv(du.width(), cx, 4), MulDiv(du.height(), cy, 8));
}

QWidget* DialogControls::Item(int id) const {
    const auto it = m_byId.find(id);
    return it == m_byId.end() ? nullptr : it->second;
}

std::vector<QRadioButton*> DialogControls::RadioGroup(int firstId) const {
    std::vector<QRadioButton*> group;
    bool inGroup = false;
    for (const auto& [control, widget] : m_ordered) {
        if (!inGroup) {
            inGroup = control.id == firstId;
        } else if (control.HasStyle(QStringLiteral("group"))) {
            break;
        }
        if (inGroup && control.kind == ControlTemplate::Kind::Radio) {
            group.push_back(static_cast<QRadioButton*>(widget));
        }
    }
    return group;
}

DialogControls BuildDialog(const DialogTemplate& t, QWidget* dialog) {
    const QFont font = DialogFont(t.fontFace, t.fontPoints);
    dialog->setFont(font);
    const DialogBaseUnits units = DialogBaseUnits::ForFont(font);

    Qt::WindowFlags flags =
        t.styles.contains(QStringLiteral("appwindow")) ? Qt::Window : Qt::Dialog;
    flags |= Qt::CustomizeWindowHint;
    if (t.styles.contains(QStringLiteral("caption"))) flags |= Qt::WindowTitleHint;
    if (t.styles.contains(QStringLiteral("sysmenu"))) {
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    }
    if (t.styles.contains(QStringLiteral("minimizebox"))) flags |= Qt::WindowMinimizeButtonHint;
    dialog->setWindowFlags(flags);
    dialog->setWindowTitle(t.title);
    if (t.styles.contains(QStringLiteral("modalframe"))) {
        dialog->setFixedSize(units.ToPixels(t.size));
    } else {
        dialog->resize(units.ToPixels(t.size));
    }

    DialogControls controls;
    std::vector<QWidget*> groupBoxes;
    for (const ControlTemplate& c : t.controls) {
        QWidget* widget = nullptr;
        switch (c.kind) {
            case ControlTemplate::Kind::Radio: {
                auto* radio = new QRadioButton(c.caption, dialog);
                radio->setAutoExclusive(true);
                widget = radio;
                break;
            }
            case ControlTemplate::Kind::ListView: {
                auto* list = new ListViewControl(dialog);
                list->setSelectionMode(c.HasStyle(QStringLiteral("multiselect"))
                                           ? QAbstractItemView::ExtendedSelection
                                           : QAbstractItemView::SingleSelection);
                if (c.HasStyle(QStringLiteral("editlabels"))) {
                    list->setEditTriggers(QAbstractItemView::SelectedClicked |
                                          QAbstractItemView::EditKeyPressed);
                }
                widget = list;
                break;
            }
            case ControlTemplate::Kind::GroupBox: {
                auto* box = new QGroupBox(c.caption, dialog);
                box->setFocusPolicy(Qt::NoFocus);
                groupBoxes.push_back(box);
                widget = box;
                break;
            }
            case ControlTemplate::Kind::Edit: {
                auto* edit = new QLineEdit(dialog);
                edit->setReadOnly(c.HasStyle(QStringLiteral("readonly")));
                edit->setFrame(c.HasStyle(QStringLiteral("border")));
                widget = edit;
                break;
            }
            case ControlTemplate::Kind::Button: {
                auto* button = new QPushButton(c.caption, dialog);
                const bool isDefault = c.HasStyle(QStringLiteral("default"));
                button->setDefault(isDefault);
                button->setAutoDefault(isDefault);
                widget = button;
                break;
            }
            case ControlTemplate::Kind::Label: {
                auto* label = new QLabel(c.caption, dialog);
                label->setTextFormat(Qt::PlainText);
                label->setAlignment(
                    (c.HasStyle(QStringLiteral("right")) ? Qt::AlignRight : Qt::AlignLeft) |
                    (c.rect.height() > 10 ? Qt::AlignVCenter : Qt::AlignTop));
                widget = label;
                break;
            }
            case ControlTemplate::Kind::Icon: {
                // An icon control takes the size of the icon, not of its rectangle.
                auto* label = new QLabel(dialog);
                const QPixmap pixmap = ProgramIcon().pixmap(32, 32);
                label->setPixmap(pixmap);
                label->setFixedSize(32, 32);
                widget = label;
                break;
            }
        }
        const QRect pixels = units.ToPixels(c.rect);
        if (c.kind == ControlTemplate::Kind::Icon) {
            widget->move(pixels.topLeft());
        } else {
            widget->setGeometry(pixels);
        }
        widget->setEnabled(!c.HasStyle(QStringLiteral("disabled")));
        if (c.id != -1) {
            widget->setObjectName(QStringLiteral("control%1").arg(c.id));
            controls.m_byId[c.id] = widget;
        }
        controls.m_ordered.emplace_back(c, widget);
    }
    // Group boxes only frame their neighbours: keep them beneath, so that
    // clicks reach the radios and edits drawn inside them.
    for (QWidget* box : groupBoxes) box->lower();
    return controls;
}

}  // namespace lorvex
