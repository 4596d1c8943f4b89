// The limit checks in the main window, offscreen: the red marks and tooltips
// of flagged stations, the summary under the data list, the limit file's
// message shown once, and comparing two runs from the line list.

#include <cstdint>
#include <cstdio>
#include <functional>

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QTest>
#include <QTimer>

#include "window/run_comparison_dlg.h"
#include "window_test_support.h"

using namespace lorvex;
using namespace lorvex::test;

namespace {

// Second order, BM1 -> T -> BM2. With flagged, station 1 has 52 m back
// sights (sight_max 50) and d = 2.0 m (distance_diff 1.5).
std::vector<std::string> SecondOrderLine(const std::string& name, bool flagged) {
    const std::string back = flagged ? "52.00" : "25.00";
    const std::string fore = flagged ? "50.00" : "25.00";
    return {Start(name),
            Rec("BM1", "B", "1.52341", back),
            Rec("T", "F", "1.20112", fore),
            Rec("T", "F", "1.20108", fore),
            Rec("BM1", "B", "1.52349", back),
            Rec("BM2", "F", "1.61204", "28.95"),
            Rec("T", "B", "1.48820", "28.40"),
            Rec("T", "B", "1.48826", "28.42"),
            Rec("BM2", "F", "1.61199", "28.93")};
}

// The back run BM2 -> T -> BM1 of the line above: station 1 falls 0.35445 m,
// station 2 rises 1.0 m minus foreReading.
std::vector<std::string> BackRun(const std::string& foreReading) {
    return {Start("BACK"),
            Rec("BM2", "B", "1.00000", "25.00"),
            Rec("T", "F", "1.35445", "25.00"),
            Rec("T", "F", "1.35445", "25.00"),
            Rec("BM2", "B", "1.00000", "25.00"),
            Rec("BM1", "F", foreReading, "25.00"),
            Rec("T", "B", "1.00000", "25.00"),
            Rec("T", "B", "1.00000", "25.00"),
            Rec("BM1", "F", foreReading, "25.00")};
}

QString Tooltip(const ListViewControl* list, int row) {
    return list->model()->index(row, 0).data(Qt::ToolTipRole).toString();
}

bool Marked(const ListViewControl* list, int row) {
    return list->model()->index(row, 0).data(Qt::DecorationRole).isValid();
}

// Runs answer on the dialog of type Dialog once it is the modal one, from
// inside its exec(); gives up after a few seconds.
template <typename Dialog>
void WhenModal(std::function<void(Dialog*)> answer, int tries = 300) {
    QTimer::singleShot(10, [answer = std::move(answer), tries] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr) {
            if (tries > 0) WhenModal<Dialog>(answer, tries - 1);
            return;
        }
        answer(dialog);
    });
}

}  // namespace

class QualityMarksTest final : public QObject {
    Q_OBJECT

  private slots:
    void init() { m_dir = std::make_unique<QTemporaryDir>(); }

    void flaggedStationRowsAreMarkedWithTheirRules() {
        RecordingUi ui;
        CTarvelFormatDlg dlg(ui);
        std::vector<std::string> lines = SecondOrderLine("FLAG", true);
        for (const std::string& l : SecondOrderLine("OK", false)) lines.push_back(l);
        dlg.ImportMeasurementFile(WriteMdt(*m_dir, "q.mdt", lines));
        ClickRow(dlg.LineList(), 0);
        ListViewControl* data = dlg.DataList();
        QCOMPARE(data->TextRows()->RowCount(), 8);
        // The rows are shown first; the checks follow.
        QVERIFY(dlg.ChecksPending());
        QTRY_VERIFY(!dlg.ChecksPending());
        for (int row = 0; row < 8; ++row) QCOMPARE(Marked(data, row), row < 4);
        const QString tip = Tooltip(data, 0);
        QVERIFY2(tip.contains(QStringLiteral("视距差 2.0 m 超限（限差 1.5 m）")), qPrintable(tip));
        QCOMPARE(tip.split(QLatin1Char('\n')).size(), 2);  // one line per broken rule
        QVERIFY(Tooltip(data, 4).isEmpty());
        const QString summary = dlg.CheckSummary()->text();
        QVERIFY2(summary.startsWith(QStringLiteral("超限测站 1 个：")), qPrintable(summary));
        QVERIFY(summary.contains(QStringLiteral("视距差超限 1 站")));
        QVERIFY(ui.shown.empty());  // no message box for a flag

        // Another line: its own checks, no marks left from the first, not
        // even while its checks are still to run.
        ClickRow(dlg.LineList(), 1);
        QVERIFY(dlg.ChecksPending());
        for (int row = 0; row < 8; ++row) QVERIFY(!Marked(data, row));
        QVERIFY(dlg.CheckSummary()->text().isEmpty());
        QTRY_VERIFY(!dlg.ChecksPending());
        for (int row = 0; row < 8; ++row) QVERIFY(!Marked(data, row));
        QCOMPARE(dlg.CheckSummary()->text(), QStringLiteral("全部测站符合限差要求"));
        QVERIFY(ui.shown.empty());
    }

    void marksFollowDeletionsAndVanishWhenTheLineStopsComputing() {
        RecordingUi ui;
        CTarvelFormatDlg dlg(ui);
        dlg.ImportMeasurementFile(WriteMdt(*m_dir, "q.mdt", SecondOrderLine("FLAG", true)));
        ClickRow(dlg.LineList(), 0);
        ListViewControl* data = dlg.DataList();
        QTRY_VERIFY(!dlg.ChecksPending());
        QVERIFY(Marked(data, 0));
        // One record less: no whole stations, nothing computes, nothing marked.
        ClickRow(data, 7);
        ui.answers.push_back(MessageAnswer::Yes);
        dlg.OnDeleteRecords();
        QTRY_VERIFY(!dlg.ChecksPending());
        QCOMPARE(data->TextRows()->RowCount(), 7);
        for (int row = 0; row < 7; ++row) QVERIFY(!Marked(data, row));
        QVERIFY(dlg.CheckSummary()->text().isEmpty());
        QCOMPARE(ui.shown.size(), std::size_t{1});  // the question only
    }

    void marksFollowEditsDeletionsAndAReClick() {
        RecordingUi ui;
        CTarvelFormatDlg dlg(ui);
        dlg.ImportMeasurementFile(WriteMdt(*m_dir, "q.mdt", SecondOrderLine("FLAG", true)));
        ClickRow(dlg.LineList(), 0);
        ListViewControl* data = dlg.DataList();
        QTRY_VERIFY(!dlg.ChecksPending());
        // Every row of the station carries the whole tooltip, rule by rule.
        const QString first =
            QStringLiteral("视距 52 m 超限（限差 50 m）\n视距差 2.0 m 超限（限差 1.5 m）");
        for (int row = 0; row < 4; ++row) QCOMPARE(Tooltip(data, row), first);

        // An edit gives the second station an 80 m fore sight: once the
        // checks have run its four rows are marked too, the first ones stay.
        dlg.OnRecordEditEnd(4, std::string("BM2 F 1.61204 80.00 08:00:00 1"));
        QVERIFY(dlg.ChecksPending());
        QVERIFY(Marked(data, 0));  // the marks stay until the checks have run
        QTRY_VERIFY(!dlg.ChecksPending());
        for (int row = 0; row < 8; ++row) QVERIFY(Marked(data, row));
        QVERIFY2(Tooltip(data, 7).startsWith(QStringLiteral("视距 80 m 超限（限差 50 m）")),
                 qPrintable(Tooltip(data, 7)));
        QVERIFY2(dlg.CheckSummary()->text().startsWith(QStringLiteral("超限测站 2 个：")),
                 qPrintable(dlg.CheckSummary()->text()));

        // Clicked again, the line shows its records as stored: the edit and
        // its marks are gone.
        ClickRow(dlg.LineList(), 0);
        QTRY_VERIFY(!dlg.ChecksPending());
        for (int row = 0; row < 8; ++row) QCOMPARE(Marked(data, row), row < 4);

        // The first station deleted: the second moves up into rows 0-3 and
        // passes, and no mark is left on the rows the first one held.
        for (int row = 0; row < 4; ++row) CtrlClickRow(data, row);
        ui.answers.push_back(MessageAnswer::Yes);
        dlg.OnDeleteRecords();
        QTRY_VERIFY(!dlg.ChecksPending());
        QCOMPARE(data->TextRows()->RowCount(), 4);
        for (int row = 0; row < 4; ++row) {
            QVERIFY(!Marked(data, row));
            QVERIFY(Tooltip(data, row).isEmpty());
        }
        QVERIFY2(!dlg.CheckSummary()->text().startsWith(QStringLiteral("超限测站")),
                 qPrintable(dlg.CheckSummary()->text()));
    }

    void limitFileMessageIsShownOnce() {
        RecordingUi ui;
        CTarvelFormatDlg dlg(ui);
        dlg.SetLimitFile(
            std::filesystem::path(m_dir->filePath(QStringLiteral("none.tsv")).toStdString()));
        dlg.ImportMeasurementFile(WriteMdt(*m_dir, "q.mdt", SecondOrderLine("FLAG", true)));
        ClickRow(dlg.LineList(), 0);
        QTRY_VERIFY(!dlg.ChecksPending());
        QCOMPARE(ui.shown.size(), std::size_t{1});
        QVERIFY(ui.Texts()[0].find("none.tsv") != std::string::npos);
        ClickRow(dlg.LineList(), 0);
        QTRY_VERIFY(!dlg.ChecksPending());
        QCOMPARE(ui.shown.size(), std::size_t{1});
        // The built-in limits are in force.
        QVERIFY(Marked(dlg.DataList(), 0));
    }

    void compareAsksForTheSecondLineAndShowsTheRuns_data() {
        QTest::addColumn<bool>("holds");
        // K = 0.10365 km: 4·√K = 1.28 mm in second order.
        QTest::newRow("W 1.00 mm holds") << true;
        QTest::newRow("W 3.00 mm breaks the limit") << false;
    }
    void compareAsksForTheSecondLineAndShowsTheRuns() {
        QFETCH(bool, holds);
        RecordingUi ui;
        CTarvelFormatDlg dlg(ui);
        std::vector<std::string> lines = SecondOrderLine("GO", false);
        // The go run's height as the session computes it; the back run's
        // last fore reading is chosen against it.
        const PreparedReport go = [&] {
            dlg.ImportMeasurementFile(WriteMdt(*m_dir, "go.mdt", lines));
            ClickRow(dlg.LineList(), 0);
            return dlg.Session().PrepareReport();
        }();
        QVERIFY(go.check);
        const std::int64_t goHeight = go.check->run.height;  // 10^-5 m
        // Back: station 1 -0.35445, station 2 1.0 - fore; W = go + back.
        const std::int64_t wanted = holds ? 100 : 300;  // 1.00 mm or 3.00 mm
        const std::int64_t fore = 100000 - (wanted - goHeight - (-35445));
        char reading[32];
        std::snprintf(reading, sizeof reading, "%lld.%05lld", static_cast<long long>(fore / 100000),
                      static_cast<long long>(fore % 100000));
        for (const std::string& l : BackRun(reading)) lines.push_back(l);
        dlg.ImportMeasurementFile(WriteMdt(*m_dir, "q.mdt", lines));

        QString verdict;
        QStringList runs;
        QStringList offered;
        WhenModal<LineChooserDlg>([&](LineChooserDlg* chooser) {
            for (int i = 0; i < chooser->Lines()->count(); ++i)
                offered << chooser->Lines()->item(i)->text();
            chooser->Lines()->setCurrentRow(0);
            chooser->accept();
        });
        WhenModal<RunComparisonDlg>([&](RunComparisonDlg* comparison) {
            verdict = comparison->Verdict();
            runs = comparison->RunTexts();
            comparison->accept();
        });
        dlg.OnCompareLines(0);
        QCOMPARE(offered, QStringList{QStringLiteral("BACK")});  // every line but the one clicked
        QVERIFY2(
            verdict.contains(holds ? QStringLiteral("W = 1.0 mm") : QStringLiteral("W = 3.0 mm")),
            qPrintable(verdict));
        QCOMPARE(verdict.contains(QStringLiteral("✓")), holds);
        QCOMPARE(verdict.contains(QStringLiteral("✗")), !holds);
        QCOMPARE(runs.size(), 2);
        QVERIFY2(runs[0].startsWith(QStringLiteral("GO\tBM1\tBM2\t2")), qPrintable(runs[0]));
        QVERIFY2(runs[1].startsWith(QStringLiteral("BACK\tBM2\tBM1\t2")), qPrintable(runs[1]));
        QVERIFY(ui.shown.empty());
    }

  private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

QTEST_MAIN(QualityMarksTest)
#include "quality_marks_test.moc"
