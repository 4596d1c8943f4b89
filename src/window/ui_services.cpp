#include "window/ui_services.h"

#include "base/strings.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace lorvex {
namespace {

QMessageBox::Icon IconFor(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Warning:
            return QMessageBox::Warning;
        case MessageIcon::Question:
            return QMessageBox::Question;
        case MessageIcon::Stop:
        case MessageIcon::Error:
            return QMessageBox::Critical;
    }
    return QMessageBox::Warning;
}

class StandardServices final : public UiServices {
  public:
    MessageAnswer ShowMessage(QWidget* owner, const UserMessage& message,
                              MessageButtons buttons) override {
        const bool yesNo = buttons == MessageButtons::YesNo;
        QMessageBox box(IconFor(message.icon), QString::fromUtf8(kMessageCaption),
                        QString::fromStdString(message.text),
                        yesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, owner);
        box.setTextFormat(Qt::PlainText);
        box.setWindowModality(Qt::ApplicationModal);
        const std::pair<QMessageBox::StandardButton, const char*> captions[] = {
            {QMessageBox::Ok, "确定"}, {QMessageBox::Yes, "是(&Y)"}, {QMessageBox::No, "否(&N)"}};
        for (const auto& [which, caption] : captions) {
            if (QAbstractButton* button = box.button(which))
                button->setText(QString::fromUtf8(caption));
        }
        const int answer = box.exec();
        if (!yesNo) return MessageAnswer::Ok;
        return answer == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
    }

    std::optional<LevellingGrade> ChooseGrade(QWidget* owner,
                                              std::span<const LevellingGrade> allowed,
                                              LevellingGrade preselected) override {
        QStringList items;
        int current = 0;
        for (const LevellingGrade grade : allowed) {
            if (grade == preselected) current = static_cast<int>(items.size());
            items << QString::fromStdString(LoadString(IDS_GRADE_NAME_SECOND + grade));
        }
        bool ok = false;
        const QString picked = QInputDialog::getItem(
            owner, QString::fromUtf8(kMessageCaption),
            QString::fromStdString(LoadString(IDS_GRADE_QUESTION)), items, current, false, &ok);
        if (!ok) return std::nullopt;
        const qsizetype index = items.indexOf(picked);
        if (index < 0) return std::nullopt;
        return allowed[static_cast<std::size_t>(index)];
    }

    std::optional<OpenFileChoice> ChooseFileToOpen(QWidget* owner, std::string_view filter,
                                                   const QString& folder) override {
        const QStringList filters = FileFilterToQt(filter);
        QString selectedFilter;
        const QString path = QFileDialog::getOpenFileName(
            owner, QString(), folder, filters.join(QStringLiteral(";;")), &selectedFilter,
            QFileDialog::DontUseNativeDialog);
        if (path.isEmpty()) return std::nullopt;
        const qsizetype index = filters.indexOf(selectedFilter);
        return OpenFileChoice{path, index < 0 ? 1 : static_cast<int>(index) + 1};
    }

    std::optional<OpenFileChoice> ChooseFileToSave(QWidget* owner, std::string_view filter,
                                                   const QString& folder) override {
        const QStringList filters = FileFilterToQt(filter);
        QString selectedFilter;
        const QString path = QFileDialog::getSaveFileName(
            owner, QString(), folder, filters.join(QStringLiteral(";;")), &selectedFilter,
            QFileDialog::DontUseNativeDialog);
        if (path.isEmpty()) return std::nullopt;
        const qsizetype index = filters.indexOf(selectedFilter);
        return OpenFileChoice{path, index < 0 ? 1 : static_cast<int>(index) + 1};
    }
};

}  // namespace

void ShowMessages(UiServices& ui, QWidget* owner, std::span<const UserMessage> messages) {
    UiMessageSink boxes(ui, owner);
    RepeatCollapsingSink runs(boxes);
    for (const UserMessage& message : messages) runs.Show(message);
    runs.Flush();
}

UiServices& StandardUiServices() {
    static StandardServices services;
    return services;
}

QStringList FileFilterToQt(std::string_view filter) {
    const QStringList parts =
        QString::fromUtf8(filter.data(), static_cast<qsizetype>(filter.size()))
            .split(QLatin1Char('|'));
    QStringList result;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& label = parts[i];
        QString pattern = parts[i + 1];
        pattern.replace(QLatin1Char(';'), QLatin1Char(' '));  // Qt separates patterns by spaces
        if (label.isEmpty()) break;                           // "||" ends the list
        const QString bracketed = QLatin1Char('(') + pattern + QLatin1Char(')');
        result << (label.endsWith(bracketed) ? label : label + QLatin1Char(' ') + bracketed);
    }
    return result;
}

}  // namespace lorvex
