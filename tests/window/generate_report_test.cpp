// "生成报表(&R)..." past its checks: the window writes the same rows as the
// core computes for lorvex-cli, into a real database through the SQLite ODBC
// driver, registered in a private ODBC configuration.

#include <cstdlib>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include "app/tarvel_format_app.h"
#include "db/data_source.h"
#include "db/install.h"
#include "db/odbc.h"
#include "db/report_lock.h"
#include "db/report_store.h"
#include "db/table_reader.h"
#include "levelling/report_command.h"
#include "report/report_export_dlg.h"
#include "report/report_page_view.h"
#include "report/report_viewer.h"
#include "window/report_history_dlg.h"
#include "window_test_support.h"

using namespace lorvex;
using namespace lorvex::test;

namespace {

// The value of column name in row of a table read back.
std::string Cell(const db::TableRows& table, std::size_t row, const std::string& name) {
    for (std::size_t c = 0; c < table.columns.size(); ++c) {
        if (table.columns[c] == name) return table.rows.at(row).at(c).value_or("<NULL>");
    }
    return "<no column " + name + ">";
}

struct IgnoringSink final : MessageSink {
    void Show(const UserMessage&) override {}
};

}  // namespace

class GenerateReportTest : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir root_;
    QTemporaryDir files_;
    RecordingUi ui_;
    std::unique_ptr<CTarvelFormatDlg> w_;
    std::vector<LevellingGrade> reported_;

    void ShowLine(const QString& path, int line) {
        ui_.Choose(path);
        w_->OnOpenData();
        ClickRow(w_->LineList(), line);
    }

  private Q_SLOTS:
    void initTestCase() {
        QVERIFY(root_.isValid());
        qputenv("ODBCINI", root_.filePath(QStringLiteral("odbc.ini")).toLocal8Bit());
        InstallDataUnder(root_);
        std::string error;
        QVERIFY2(db::RegisterDataSource(&error), error.c_str());
    }

    void init() {
        ui_ = RecordingUi();
        reported_.clear();
        w_ = std::make_unique<CTarvelFormatDlg>(ui_);
        w_->SetReportStep(
            [this](LevellingGrade grade, db::ReportLock&) { reported_.push_back(grade); });
        w_->show();
        QVERIFY(QTest::qWaitForWindowExposed(w_.get()));
    }
    void cleanup() { w_.reset(); }

    void writesTheCoreRowsThenReachesTheReportStep() {
        ShowLine(QStringLiteral(LORVEX_SOURCE_DIR "/samples/sample.mdt"), 0);
        QCOMPARE(w_->Grade(), GradeSecond);
        auto* weather = qobject_cast<QLineEdit*>(w_->GetDlgItem(IDC_WEATHER));
        weather->setText(QStringLiteral("晴"));

        for (int run = 0; run < 2; ++run) {  // a second run replaces the first
            w_->OnGenerateReport();
            QCOMPARE(ui_.Texts(), std::vector<std::string>{});
            QCOMPARE(reported_.size(), std::size_t(run + 1));
            QCOMPARE(reported_.back(), GradeSecond);
        }

        const PreparedReport expected =
            PrepareReport(w_->LineList()->TextRows()->RowCount(),
                          w_->DataList()->TextRows()->Rows(), GradeSecond, w_->Header());
        QVERIFY(!expected.stop);
        QVERIFY(!expected.rows.observations.empty());

        const db::TableRows info = db::ReadTable("Qel", "Info_tbl");
        QCOMPARE(info.rows.size(), std::size_t{1});
        QCOMPARE(Cell(info, 0, "sWeather"), std::string("晴"));
        QCOMPARE(Cell(info, 0, "sStationStGo"), std::string("BM1"));
        QCOMPARE(Cell(info, 0, "sStationEnGo"), std::string("BM2"));

        const db::TableRows stations = db::ReadTable("Qel", "Observation_tbl");
        QCOMPARE(stations.rows.size(), expected.rows.observations.size());
        for (std::size_t r = 0; r < stations.rows.size(); ++r) {
            for (const auto& field : kObservationRowFields) {
                QCOMPARE(Cell(stations, r, field.name),
                         expected.rows.observations[r].*field.member);
            }
        }
        QCOMPARE(db::ReadTable("Qel", "Result_tbl").rows.size(), std::size_t{1});
    }

    // The archive's list (the line list's context menu) names the reports
    // written, newest first, filters by line name, and opens the chosen one
    // with the rows it was written with.
    void historyListsTheReportsAndOpensTheChosenOne() {
        const auto before = db::ListArchivedReports(std::nullopt, std::nullopt).size();
        std::vector<PreparedReport> written;
        for (const int line : {0, 0, 1}) {
            ShowLine(QStringLiteral(LORVEX_SOURCE_DIR "/samples/sample.mdt"), line);
            w_->OnGenerateReport();
            written.push_back(w_->Session().PrepareReport());
        }
        const std::string first = written[0].rows.lineName;
        QVERIFY(first != written[2].rows.lineName);

        std::vector<db::ArchivedRows> opened;
        CReportHistoryDlg dialog(ui_,
                                 [&](const db::ArchivedRows& report) { opened.push_back(report); });
        QCOMPARE(dialog.Reports().size(), before + 3);
        QCOMPARE(dialog.Table()->rowCount(), int(before + 3));
        QCOMPARE(dialog.Table()->item(0, 2)->text().toStdString(), written[2].rows.lineName);

        dialog.Filter()->setText(QString::fromStdString(first));
        QVERIFY(dialog.Reports().size() >= 2);
        for (const auto& r : dialog.Reports()) QCOMPARE(r.line, first);
        dialog.Table()->selectRow(0);
        dialog.OnOpenReport();
        QCOMPARE(opened.size(), std::size_t{1});
        QCOMPARE(opened[0].rows.observations, written[1].rows.observations);
        QCOMPARE(opened[0].rows.result, written[1].rows.result);
        QCOMPARE(opened[0].rows.grade, written[1].rows.grade);
        // With the checks it was written with: the record book's 备注 and footer.
        QCOMPARE(opened[0].check.has_value(), written[1].check.has_value());
        if (written[1].check) {
            QCOMPARE(opened[0].check->stations.size(), written[1].check->stations.size());
            QCOMPARE(CheckFooter(*opened[0].check), CheckFooter(*written[1].check));
        }
        QCOMPARE(ui_.Texts(), std::vector<std::string>{});
    }

    void editedRowsAreComputedAsEdited() {
        ShowLine(QStringLiteral(LORVEX_SOURCE_DIR "/samples/sample.mdt"), 0);
        const std::string before(w_->DataList()->TextRows()->RowText(0));
        w_->OnRecordEditEnd(0, std::string("BM1 B 1.62341 25.31 08:11:00 1"));
        w_->OnGenerateReport();
        QVERIFY(ui_.shown.empty());
        const db::TableRows stations = db::ReadTable("Qel", "Observation_tbl");
        const std::string edited = Cell(stations, 0, "sBack_I");
        w_->OnRecordEditEnd(0, before);
        w_->OnGenerateReport();
        QVERIFY(Cell(db::ReadTable("Qel", "Observation_tbl"), 0, "sBack_I") != edited);
    }

    void noGradeComputesAndStillReachesTheReportStep() {
        // Four records in no recognised pattern: the click leaves no grade.
        const QString path = WriteMdt(files_, QStringLiteral("none.mdt"),
                                      {Start("N"), Rec("A"), Rec("B"), Rec("C"), Rec("D")});
        ShowLine(path, 0);
        QCOMPARE(ui_.Texts(), std::vector<std::string>{"数据格式不支持！"});
        QCOMPARE(w_->Grade(), GradeNone);
        ui_.shown.clear();
        w_->OnGenerateReport();
        QVERIFY(ui_.shown.empty());
        QCOMPARE(reported_, std::vector<LevellingGrade>{GradeNone});
        QCOMPARE(db::ReadTable("Qel", "Observation_tbl").rows.size(), std::size_t{1});
    }

    // A table that cannot be written: the driver's words as always, nothing
    // committed, and no report window for a report that was not written.
    void aReportNotWrittenOpensNoReportWindow() {
        ShowLine(QStringLiteral(LORVEX_SOURCE_DIR "/samples/sample.mdt"), 0);
        const db::TableRows before = db::ReadTable("Qel", "Info_tbl");
        {
            db::CDatabase db;
            db.Open("ODBC;DSN=Qel");
            db.ExecuteSQL("ALTER TABLE Observation_tbl RENAME COLUMN sH TO sHeight");
        }
        w_->OnGenerateReport();
        QVERIFY(!ui_.shown.empty());
        for (const std::string& text : ui_.Texts()) {
            QVERIFY2(text.find("no such column: sH") != std::string::npos, text.c_str());
        }
        QVERIFY(reported_.empty());
        QCOMPARE(db::ReadTable("Qel", "Info_tbl").rows, before.rows);
        // Mend the database for the tests that follow.
        db::InstallData(std::filesystem::path(LORVEX_SOURCE_DIR) / "resources", true);
    }

    // Without a database every station fails alike; the user sees one box
    // with the count instead of one per station.
    void aFloodOfIdenticalMessagesIsOneBox() {
        QString text = QStringLiteral("@Long Line 0 0 0 0 107\n");
        for (int i = 0; i < 300; ++i) {
            const QString back = QStringLiteral("P%1").arg(i);
            const QString fore = QStringLiteral("P%1").arg(i + 1);
            for (const QString& point : {back, fore, fore, back}) {
                text += point + (point == back ? QStringLiteral(" B") : QStringLiteral(" F")) +
                        QStringLiteral(" 1.50000 20.00 0 0 107\n");
            }
        }
        QFile file(files_.filePath(QStringLiteral("long.mdt")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text.toUtf8());
        file.close();
        ShowLine(file.fileName(), 0);

        const QString data = root_.filePath(QStringLiteral("data"));
        const QString away = root_.filePath(QStringLiteral("data-away"));
        QVERIFY(QDir().rename(data, away));
        w_->OnGenerateReport();
        QVERIFY(QDir().rename(away, data));

        QCOMPARE(ui_.shown.size(), std::size_t{1});
        const std::string& shown = ui_.shown[0].message.text;
        const std::string count = "\n（此消息共出现 303 次）";
        QVERIFY2(shown.size() > count.size() && shown.ends_with(count), shown.c_str());
        QVERIFY(reported_.empty());
    }

    // The whole road as start-up wires it: import, click, one press of
    // "生成报表(&R)..." and the report window shows the record book.
    void onePressShowsTheRecordBookInTheReportWindow_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("line");
        QTest::addColumn<int>("pages");
        QTest::addColumn<QStringList>("messages");
        const QString sample = QStringLiteral(LORVEX_SOURCE_DIR "/samples/sample.mdt");
        QTest::newRow("second order") << sample << 0 << 1 << QStringList();
        QTest::newRow("fourth order") << sample << 3 << 1 << QStringList();
        // No grade: the tables are written, then the template is missing.
        const QString none = WriteMdt(files_, QStringLiteral("none2.mdt"),
                                      {Start("N"), Rec("A"), Rec("B"), Rec("C"), Rec("D")});
        QTest::newRow("no grade") << none << 0 << 0
                                  << QStringList{QStringLiteral("数据格式不支持！"),
                                                 QStringLiteral("模板不存在！"),
                                                 QStringLiteral("报表未生成！")};
    }
    void onePressShowsTheRecordBookInTheReportWindow() {
        QFETCH(QString, file);
        QFETCH(int, line);
        QFETCH(int, pages);
        QFETCH(QStringList, messages);
        RecordingUi ui;
        ui.Choose(file);
        CTarvelFormatApp app;
        app.ui = &ui;
        app.instanceName =
            QStringLiteral("lorvex-road-test-%1").arg(QCoreApplication::applicationPid());
        int shownPages = -1;
        QString title;
        bool lockFree = false;
        app.runWindow = [&](CTarvelFormatDlg& window) {
            window.show();
            window.OnOpenData();
            ClickRow(window.LineList(), line);
            // The report window is modal: look at it once its own loop
            // runs, then close it.
            QTimer poll;
            poll.setInterval(10);
            QObject::connect(&poll, &QTimer::timeout, &window, [&] {
                report::CReportExportDlg* dialog = nullptr;
                for (QWidget* w : QApplication::topLevelWidgets()) {
                    if (auto* d = qobject_cast<report::CReportExportDlg*>(w); d && d->isVisible()) {
                        dialog = d;
                    }
                }
                if (dialog == nullptr) return;
                poll.stop();
                title = dialog->windowTitle();
                // The record book is filled: another program may write now.
                IgnoringSink sink;
                lockFree = db::ReportLock::Acquire(sink, std::chrono::milliseconds(0)).has_value();
                shownPages =
                    dialog->Viewer()->ShownReport() ? dialog->Viewer()->PageView()->pageCount() : 0;
                dialog->close();
            });
            poll.start();
            window.OnGenerateReport();
        };
        QVERIFY(!app.InitInstance());
        QCOMPARE(title, QStringLiteral("生成报表"));
        QCOMPARE(shownPages, pages);
        QVERIFY(lockFree);
        QStringList shown;
        for (const std::string& text : ui.Texts()) shown << QString::fromStdString(text);
        QCOMPARE(shown.join(QLatin1Char('|')), messages.join(QLatin1Char('|')));
    }
};

QTEST_MAIN(GenerateReportTest)
#include "generate_report_test.moc"
