#pragma once

// What the window tests share: a UI service that records the messages shown
// and answers from a script, measurement files written on the fly, and real
// mouse clicks on the list views.

#include <deque>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include <QTemporaryDir>
#include <QTest>

#include "db/install.h"
#include "window/list_view.h"
#include "window/tarvel_format_dlg.h"
#include "window/ui_services.h"

// Readable failure messages for the texts the window keeps as UTF-8.
namespace QTest {
template <>
inline char* toString(const std::string& text) {
    return QTest::toString(QString::fromStdString(text));
}
template <>
inline char* toString(const std::vector<std::string>& texts) {
    QStringList list;
    for (const std::string& t : texts) list << QString::fromStdString(t);
    return QTest::toString(QLatin1Char('[') + list.join(QStringLiteral(" | ")) + QLatin1Char(']'));
}
}  // namespace QTest

namespace lorvex::test {

class RecordingUi final : public UiServices {
  public:
    struct Shown {
        UserMessage message;
        MessageButtons buttons;
    };
    std::vector<Shown> shown;
    std::deque<MessageAnswer> answers;     // for Yes/No boxes; No when empty
    std::optional<OpenFileChoice> choice;  // what the file chooser returns
    int chooserCalls = 0;
    std::string lastFilter;
    // The grade questions asked (allowed, preselected) and the answer given.
    std::vector<std::pair<std::vector<LevellingGrade>, LevellingGrade>> gradeQuestions;
    std::optional<LevellingGrade> gradeAnswer;  // nullopt: the user cancels
    QString lastFolder;                         // where the chooser opened

    MessageAnswer ShowMessage(QWidget*, const UserMessage& message,
                              MessageButtons buttons) override {
        shown.push_back({message, buttons});
        if (buttons == MessageButtons::Ok) return MessageAnswer::Ok;
        if (answers.empty()) return MessageAnswer::No;
        const MessageAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }

    std::optional<OpenFileChoice> ChooseFileToOpen(QWidget*, std::string_view filter,
                                                   const QString& folder) override {
        ++chooserCalls;
        lastFilter = std::string(filter);
        lastFolder = folder;
        return choice;
    }

    std::optional<OpenFileChoice> saveChoice;  // what the save chooser returns
    int saveCalls = 0;
    std::optional<OpenFileChoice> ChooseFileToSave(QWidget*, std::string_view filter,
                                                   const QString& folder) override {
        ++saveCalls;
        lastFilter = std::string(filter);
        lastFolder = folder;
        return saveChoice;
    }

    std::optional<LevellingGrade> ChooseGrade(QWidget*, std::span<const LevellingGrade> allowed,
                                              LevellingGrade preselected) override {
        gradeQuestions.emplace_back(std::vector<LevellingGrade>(allowed.begin(), allowed.end()),
                                    preselected);
        return gradeAnswer;
    }

    void Choose(const QString& path) { choice = OpenFileChoice{path, 1}; }

    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const Shown& s : shown) texts.push_back(s.message.text);
        return texts;
    }
};

// One measurement record: point, sight code, reading and distance in metres,
// time and number (unused), method code.
inline std::string Rec(const std::string& point, const std::string& code = "B",
                       const std::string& reading = "1.23456",
                       const std::string& distance = "25.30", const std::string& method = "107") {
    return point + " " + code + " " + reading + " " + distance + " 08:00:00 1 " + method;
}

// A line-start record for a line named name.
inline std::string Start(const std::string& name, const std::string& method = "107") {
    return "@" + name + " Line 2026-03-07 08:00:00 0 0 " + method;
}

// Writes lines into a file of dir and returns its path.
inline QString WriteMdt(const QTemporaryDir& dir, const QString& name,
                        const std::vector<std::string>& lines) {
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) qFatal("cannot write %s", qPrintable(path));
    for (const std::string& line : lines) {
        file.write(line.c_str());
        file.write("\r\n");
    }
    return path;
}

// A left click on row of a list view, as the user makes it.
inline void ClickRow(ListViewControl* list, int row) {
    const QModelIndex index = list->model()->index(row, 0);
    list->scrollTo(index);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                      list->visualRect(index).center());
}

inline void CtrlClickRow(ListViewControl* list, int row) {
    const QModelIndex index = list->model()->index(row, 0);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      list->visualRect(index).center());
}

inline QStringList Rows(const ListViewControl* list) {
    QStringList rows;
    for (const std::string_view row : list->TextRows()->Rows())
        rows << QString::fromUtf8(row.data(), static_cast<qsizetype>(row.size()));
    return rows;
}

// Points the data folder into root and installs the shipped templates and
// limit table there, as the program's first start does.
inline void InstallDataUnder(const QTemporaryDir& root) {
    qputenv("XDG_DATA_HOME", root.filePath(QStringLiteral("data")).toLocal8Bit());
    db::InstallData(std::filesystem::path(LORVEX_SOURCE_DIR) / "resources", false);
}

}  // namespace lorvex::test
