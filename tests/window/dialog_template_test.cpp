// Dialog templates, dialog units, the member/control exchange and the file
// chooser's filter: the pieces the main window is built from.

#include <QDialog>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

#include "window/data_exchange.h"
#include "window/dialog_template.h"
#include "window/ui_services.h"

using namespace lorvex;

class DialogTemplateTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void brokenTemplatesNameTheLine_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("message");
        const QString dialog = QStringLiteral("dialog\t7\t-\t10\t10\tMS Shell Dlg\t8\n");
        QTest::newRow("no dialog row") << "# nothing\n" << 2 << "no dialog row";
        QTest::newRow("control first")
            << "edit\t1\t-\t0\t0\t1\t1\n" + dialog << 1 << "controls before the dialog row";
        QTest::newRow("unknown kind") << dialog + "\n# c\nslider\t1\t-\t0\t0\t1\t1\n"
                                      << 4 << "unknown control kind \"slider\"";
        QTest::newRow("short row") << dialog + "edit\t1\t-\t0\t0\n"
                                   << 2 << "a control row needs 7 fields";
        QTest::newRow("bad number") << dialog + "edit\t1\t-\t0\tx\t1\t1\n"
                                    << 2 << "the position must be four numbers";
        QTest::newRow("negative size") << dialog + "edit\t1\t-\t0\t0\t-1\t1\n"
                                       << 2 << "negative size";
        QTest::newRow("duplicate id") << dialog + "edit\t5\t-\t0\t0\t1\t1\nedit\t5\t-\t0\t0\t1\t1\n"
                                      << 3 << "id 5 already used on line 2";
        QTest::newRow("second dialog") << dialog + dialog << 2 << "a second dialog row";
    }
    void brokenTemplatesNameTheLine() {
        QFETCH(QString, text);
        QFETCH(int, line);
        QFETCH(QString, message);
        TemplateError error;
        QVERIFY(!ParseDialogTemplate(text, QStringLiteral("t.tsv"), &error));
        QCOMPARE(error.line, line);
        QCOMPARE(error.message, message);
        QCOMPARE(error.Text(), QStringLiteral("t.tsv:%1: %2").arg(line).arg(message));
    }

    void builtInTemplates() {
        const DialogTemplate main = LoadBuiltInTemplate(QStringLiteral("main_102"));
        QCOMPARE(main.id, 102);
        QCOMPARE(main.size, QSize(510, 357));
        QCOMPARE(main.fontFace, QStringLiteral("MS Shell Dlg"));
        QCOMPARE(main.fontPoints, 8);
        QVERIFY(main.title.isEmpty());  // set when the window initialises
        int ids = 0;
        for (const ControlTemplate& c : main.controls) ids += c.id != -1;
        QCOMPARE(ids, 27);
        const DialogTemplate about = LoadBuiltInTemplate(QStringLiteral("about_100"));
        QCOMPARE(about.title, QStringLiteral("关于 Lorvex"));
        QCOMPARE(about.size, QSize(235, 55));
    }

    void dialogUnitsToPixels_data() {
        QTest::addColumn<int>("cx");
        QTest::addColumn<int>("cy");
        QTest::addColumn<QRect>("units");
        QTest::addColumn<QRect>("pixels");
        // Tahoma 8 at 96 dpi has base units 6 x 13.
        QTest::newRow("6x13") << 6 << 13 << QRect(429, 322, 75, 28) << QRect(644, 523, 113, 46);
        QTest::newRow("halves round up") << 6 << 13 << QRect(1, 4, 2, 12) << QRect(2, 7, 3, 20);
        QTest::newRow("7x15") << 7 << 15 << QRect(6, 48, 418, 175) << QRect(11, 90, 732, 328);
        QTest::newRow("zero") << 7 << 15 << QRect(0, 0, 0, 0) << QRect(0, 0, 0, 0);
    }
    void dialogUnitsToPixels() {
        QFETCH(int, cx);
        QFETCH(int, cy);
        QFETCH(QRect, units);
        QFETCH(QRect, pixels);
        QCOMPARE((DialogBaseUnits{cx, cy}.ToPixels(units)), pixels);
    }

    void baseUnitsFollowTheFont() {
        const DialogBaseUnits small =
            DialogBaseUnits::ForFont(DialogFont(QStringLiteral("MS Shell Dlg"), 8));
        const DialogBaseUnits large =
            DialogBaseUnits::ForFont(DialogFont(QStringLiteral("MS Shell Dlg"), 16));
        QVERIFY(small.cx > 0 && small.cy > small.cx);
        QVERIFY(large.cx > small.cx && large.cy > small.cy);
    }

    void exchange() {
        QDialog dialog;
        const DialogControls controls =
            BuildDialog(LoadBuiltInTemplate(QStringLiteral("main_102")), &dialog);
        const std::vector<QRadioButton*> radios = controls.RadioGroup(1005);
        QCOMPARE(radios.size(), std::size_t{3});
        QCOMPARE(radios[0]->text(), QStringLiteral("二等"));
        QCOMPARE(radios[1]->text(), QStringLiteral("三等"));
        QCOMPARE(radios[2]->text(), QStringLiteral("四等"));
        for (QRadioButton* r : radios) QVERIFY(!r->isEnabled());  // created disabled

        LevellingGrade grade = GradeFourth;
        DataExchange push(controls, false);
        DDX_Radio(push, 1005, grade);
        QVERIFY(radios[2]->isChecked());
        grade = GradeNone;  // unchecks even the checked radio of an exclusive group
        DDX_Radio(push, 1005, grade);
        for (QRadioButton* r : radios) QVERIFY(!r->isChecked());
        radios[1]->setChecked(true);
        DataExchange pull(controls, true);
        DDX_Radio(pull, 1005, grade);
        QCOMPARE(grade, GradeThird);

        // A push sets an edit only where its text differs.
        auto* edit = controls.Get<QLineEdit>(1017);
        edit->setEnabled(false);
        int changes = 0;
        connect(edit, &QLineEdit::textChanged, this, [&changes] { ++changes; });
        std::string text = "时";
        DDX_Text(push, 1017, text);
        DDX_Text(push, 1017, text);
        QCOMPARE(changes, 1);
        edit->setText(QStringLiteral("12"));
        DDX_Text(pull, 1017, text);  // disabled edits are read too
        QCOMPARE(text, std::string("12"));
    }

    void fileFilters_data() {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QStringList>("qt");
        QTest::newRow("measurement files")
            << "ASCII格式数据文件(*.mdt)|*.mdt||" << QStringList{"ASCII格式数据文件(*.mdt)"};
        QTest::newRow("two entries, several patterns")
            << "Text|*.txt;*.log|All|*.*||" << QStringList{"Text (*.txt *.log)", "All (*.*)"};
        QTest::newRow("empty") << "" << QStringList{};
    }
    void fileFilters() {
        QFETCH(QString, filter);
        QFETCH(QStringList, qt);
        QCOMPARE(FileFilterToQt(filter.toStdString()), qt);
    }
};

QTEST_MAIN(DialogTemplateTest)
#include "dialog_template_test.moc"
