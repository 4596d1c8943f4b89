// Qt's own dialogs and menus read in Chinese once the catalogue is installed,
// whatever the process locale (ctest runs this under an English one), and the
// locale that writes numbers stays as it was.

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QTreeView>

#include <memory>

#include "app/qt_translations.h"

using namespace lorvex;

namespace {

// A menu or button text without its shortcut column ("撤销(&U)\tCtrl+Z").
QString WithoutShortcut(const QString& text) { return text.section(QLatin1Char('\t'), 0, 0); }

}  // namespace

class QtTranslationsTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void initTestCase() {
        QVERIFY2(QLocale::system().language() != QLocale::Chinese,
                 "the process locale must not be Chinese, or this proves nothing");
        QVERIFY2(InstallQtChineseTranslations(*QCoreApplication::instance()),
                 "qtbase_zh_CN.qm not found (package qt6-translations-l10n)");
    }

    // The chooser as the program opens it: Qt's own widgets, not a native one.
    void fileChooserReadsInChinese_data() {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("expected");
        QTest::newRow("open button") << "open"
                                     << "打开(&O)";
        QTest::newRow("cancel button") << "cancel"
                                       << "取消";
        QTest::newRow("look in") << "lookInLabel"
                                 << "查找范围：";
        QTest::newRow("file name") << "fileNameLabel"
                                   << "文件名称(&N)：";
        QTest::newRow("file type") << "fileTypeLabel"
                                   << "文件类型：";
        QTest::newRow("back tooltip") << "backButton"
                                      << "后退";
        QTest::newRow("new folder tooltip") << "newFolderButton"
                                            << "新建文件夹";
        QTest::newRow("name column") << "column 0"
                                     << "名称";
        QTest::newRow("size column") << "column 1"
                                     << "体积";
    }
    void fileChooserReadsInChinese() {
        QFETCH(QString, what);
        QFETCH(QString, expected);
        QFileDialog dialog(nullptr, QString(), QDir::tempPath(),
                           QStringLiteral("测量数据 (*.mdt);;所有文件 (*)"));
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);

        QString actual;
        if (what == "open" || what == "cancel") {
            auto* box = dialog.findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
            QVERIFY(box != nullptr);
            QPushButton* button =
                box->button(what == "open" ? QDialogButtonBox::Open : QDialogButtonBox::Cancel);
            QVERIFY(button != nullptr);
            actual = button->text();
        } else if (what.startsWith("column ")) {
            auto* tree = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
            QVERIFY(tree != nullptr);
            actual =
                tree->model()->headerData(what.section(' ', 1).toInt(), Qt::Horizontal).toString();
        } else if (auto* label = dialog.findChild<QLabel*>(what)) {
            actual = label->text();
        } else if (auto* tool = dialog.findChild<QToolButton*>(what)) {
            actual = tool->toolTip();
        } else {
            QFAIL(qPrintable("no widget " + what));
        }
        QCOMPARE(actual, expected);
    }

    void editContextMenuReadsInChinese() {
        QLineEdit edit;
        edit.setText(QStringLiteral("1.234"));
        edit.selectAll();
        const std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
        QStringList texts;
        for (const QAction* action : menu->actions()) {
            if (!action->isSeparator()) texts << WithoutShortcut(action->text());
        }
        const QStringList expected{"撤消(&U)", "重做(&R)", "剪切(&T)", "复制(&C)",
                                   "粘贴(&P)", "删除",     "全选"};
        QCOMPARE(texts, expected);
    }

    // Texts only: a Chinese default locale would be a quiet change of how Qt
    // writes numbers everywhere it is asked to.
    void numberLocaleIsUntouched() { QCOMPARE(QLocale(), QLocale::system()); }
};

QTEST_MAIN(QtTranslationsTest)
#include "qt_translations_test.moc"
