#pragma once

// The window's modal conversations with the user, message boxes and the file
// chooser, behind one small interface, so that tests can read what was shown,
// answer questions and choose files.

#include <optional>
#include <span>
#include <string_view>

#include <QString>

#include "base/grade.h"
#include "base/messages.h"

class QWidget;

namespace lorvex {

enum class MessageButtons { Ok, YesNo };
enum class MessageAnswer { Ok, Yes, No };

struct OpenFileChoice {
    QString path;
    int filterIndex = 1;  // 1-based, as the file chooser reports it
};

class UiServices {
  public:
    virtual ~UiServices() = default;

    // A modal box captioned with the program's name, showing message.text
    // with message.icon; waits for the answer.
    virtual MessageAnswer ShowMessage(QWidget* owner, const UserMessage& message,
                                      MessageButtons buttons) = 0;

    // A file chooser in open mode, Qt's own (its texts translated) on every
    // platform, showing folder first; nullopt when the user cancels. filter
    // is in the string-table form "label|pattern|label|pattern||".
    virtual std::optional<OpenFileChoice> ChooseFileToOpen(QWidget* owner, std::string_view filter,
                                                           const QString& folder) = 0;

    // A file chooser in save mode (Qt's own, asking before it overwrites),
    // filter as above; nullopt when the user cancels. Services that cannot
    // ask choose nothing.
    virtual std::optional<OpenFileChoice> ChooseFileToSave(QWidget* owner, std::string_view filter,
                                                           const QString& folder) {
        (void)owner;
        (void)filter;
        (void)folder;
        return std::nullopt;
    }

    // Asks which grade a file that names none was observed to, offering
    // only the allowed grades with one preselected; nullopt when the user
    // cancels. Services that cannot ask take the preselection.
    virtual std::optional<LevellingGrade> ChooseGrade(QWidget* owner,
                                                      std::span<const LevellingGrade> allowed,
                                                      LevellingGrade preselected) {
        (void)owner;
        (void)allowed;
        return preselected;
    }
};

// The real dialogs: QMessageBox and QFileDialog.
UiServices& StandardUiServices();

// "label|pattern|...||" as Qt name filters: one entry per pair, "label
// (pattern)" unless the label already ends with its pattern in brackets.
QStringList FileFilterToQt(std::string_view filter);

// The caption of every message box.
inline constexpr const char* kMessageCaption = "Lorvex";

// Messages one command hands back, as OK boxes over owner: each run of
// identical consecutive messages is one box with the count on a second line.
void ShowMessages(UiServices& ui, QWidget* owner, std::span<const UserMessage> messages);

// The database layer's and the report's messages, shown as OK boxes over
// owner through the window's message service. Wrap it in a
// RepeatCollapsingSink for a command that may fail once per station.
class UiMessageSink final : public MessageSink {
  public:
    UiMessageSink(UiServices& ui, QWidget* owner) : m_ui(ui), m_owner(owner) {}
    void Show(const UserMessage& message) override {
        m_ui.ShowMessage(m_owner, message, MessageButtons::Ok);
    }

  private:
    UiServices& m_ui;
    QWidget* m_owner;
};

}  // namespace lorvex
