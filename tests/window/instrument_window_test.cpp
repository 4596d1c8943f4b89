// The window over the other levels' files: the grade question after import,
// answered by the test's UI service, and the report command on a line of
// single readings.

#include <QFile>
#include <QTest>

#include "base/strings.h"
#include "window_test_support.h"

using namespace lorvex;
using namespace lorvex::test;

namespace {

// A BFFB line of one station with 0.01 mm readings, then a BF line.
const char kGsi[] =
    "*410001+0000000000000002 \n"
    "*110002+0000000000000A01 83...8+0000000010000000 \n"
    "*110003+0000000000000A01 32...8+0000000002531000 331..8+0000000000152341 \n"
    "*110004+00000000000000P1 32...8+0000000002487000 332..8+0000000000120112 \n"
    "*110005+00000000000000P1 32...8+0000000002488000 336..8+0000000000120108 \n"
    "*110006+0000000000000A01 32...8+0000000002532000 335..8+0000000000152349 \n"
    "*410007+0000000000000001 \n"
    "*110008+00000000000000P1 32...8+0000000002840000 331..8+0000000000148820 \n"
    "*110009+00000000000000P2 32...8+0000000002895000 332..8+0000000000161204 \n";

}  // namespace

class InstrumentWindowTest : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir dir_;
    RecordingUi ui_;
    std::unique_ptr<CTarvelFormatDlg> w_;

    void ImportGsi() {
        // A .txt: the format is told by content.
        const QString path = dir_.filePath(QStringLiteral("dna.txt"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(kGsi);
        file.close();
        ui_.Choose(path);
        w_->OnOpenData();
    }

  private Q_SLOTS:
    void init() {
        ui_ = RecordingUi();
        w_ = std::make_unique<CTarvelFormatDlg>(ui_);
        w_->show();
        QVERIFY(QTest::qWaitForWindowExposed(w_.get()));
    }
    void cleanup() { w_.reset(); }

    void gradeQuestion_data() {
        QTest::addColumn<int>("answer");  // -1: the user cancels
        QTest::addColumn<QString>("code");
        QTest::newRow("third") << int(GradeThird) << "105";
        QTest::newRow("second") << int(GradeSecond) << "107";
        QTest::newRow("cancel keeps the preselection") << -1 << "107";
    }
    void gradeQuestion() {
        QFETCH(int, answer);
        QFETCH(QString, code);
        if (answer >= 0) ui_.gradeAnswer = answer;
        ImportGsi();
        QCOMPARE(Rows(w_->LineList()), QStringList({"A01-P1", "P1-P2"}));
        QCOMPARE(ui_.gradeQuestions.size(), std::size_t{1});
        QCOMPARE(ui_.gradeQuestions[0].first,
                 (std::vector<LevellingGrade>{GradeSecond, GradeThird}));
        QCOMPARE(ui_.gradeQuestions[0].second, GradeSecond);
        for (const std::string& record : w_->Session().Records(0)) {
            QVERIFY2(QString::fromStdString(record).endsWith(QLatin1Char(' ') + code),
                     record.c_str());
        }
    }

    void singleReadingLineIsShownAndRefusedByTheReport() {
        ImportGsi();
        ClickRow(w_->LineList(), 1);
        QCOMPARE(w_->DataList()->TextRows()->RowCount(), 2);
        ui_.shown.clear();
        w_->OnGenerateReport();
        QCOMPARE(ui_.Texts(), std::vector<std::string>{LoadString(IDS_SINGLE_READING_STATIONS)});
    }
};

QTEST_MAIN(InstrumentWindowTest)
#include "instrument_window_test.moc"
