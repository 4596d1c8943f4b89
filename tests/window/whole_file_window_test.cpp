// The line list's whole-file items: "全部线路生成报表(PDF)..." with its
// progress dialog, and "导出测段高差表..." by the chosen filter.

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProgressDialog>
#include <QTest>
#include <QTimer>

#include "db/data_source.h"
#include "db/install.h"
#include "report/report_book_set.h"
#include "window_test_support.h"

using namespace lorvex;
using namespace lorvex::test;

namespace {

struct IgnoringSink final : MessageSink {
    void Show(const UserMessage&) override {}
};

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

}  // namespace

class WholeFileWindowTest : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir root_;
    QTemporaryDir files_;
    RecordingUi ui_;
    std::unique_ptr<CTarvelFormatDlg> w_;
    std::size_t stepsSeen_ = 0;

    QAction* Item(const char* name) {
        return w_->LineList()->findChild<QAction*>(QString::fromLatin1(name));
    }

  private Q_SLOTS:
    void initTestCase() {
        QVERIFY(root_.isValid());
        InstallDataUnder(root_);
    }

    void init() {
        ui_ = RecordingUi();
        stepsSeen_ = 0;
        w_ = std::make_unique<CTarvelFormatDlg>(ui_);
        // As the program wires it: the prepared lines into the book set.
        w_->SetBookSetStep([this](const auto& lines, const std::filesystem::path& path,
                                  const CTarvelFormatDlg::BookSetProgress& progress) {
            IgnoringSink sink;
            std::vector<report::BookSetLine> books;
            for (const auto& [name, prepared] : lines)
                books.push_back(report::BookLineFrom(name, prepared));
            auto counting = [&](std::size_t done, std::size_t steps) {
                stepsSeen_ = done;
                return progress(done, steps);
            };
            return report::WriteBookSetPdf(books, db::GetDataFolder(), path, sink, counting)
                       .result == report::BookSetOutcome::Result::Written;
        });
        w_->show();
        QVERIFY(QTest::qWaitForWindowExposed(w_.get()));
        ui_.choice = OpenFileChoice{QStringLiteral(LORVEX_SOURCE_DIR "/samples/sample.mdt"), 1};
        w_->OnOpenData();
    }
    void cleanup() { w_.reset(); }

    void itemsSitOnTheLineListWithTheirCaptions() {
        QVERIFY(Item("allBooks"));
        QCOMPARE(Item("allBooks")->text(), QStringLiteral("全部线路生成报表(PDF)..."));
        QVERIFY(Item("exportSections"));
        QCOMPARE(Item("exportSections")->text(), QStringLiteral("导出测段高差表..."));
    }

    void allBooksWritesOnePdfAndLeavesTheShownLine() {
        ClickRow(w_->LineList(), 1);
        const std::vector<std::string> rows(w_->Session().DataRows().begin(),
                                            w_->Session().DataRows().end());
        const QString pdf = files_.filePath(QStringLiteral("all.pdf"));
        ui_.saveChoice = OpenFileChoice{pdf, 1};
        Item("allBooks")->trigger();
        QCOMPARE(ui_.saveCalls, 1);
        QVERIFY(ReadAll(pdf).startsWith("%PDF"));
        QCOMPARE(stepsSeen_, std::size_t{8});  // four lines, filled then painted
        // The window still shows the line it showed, as it was.
        QCOMPARE(w_->ShownLine(), 1);
        QCOMPARE(std::vector<std::string>(w_->Session().DataRows().begin(),
                                          w_->Session().DataRows().end()),
                 rows);
    }

    void cancellingLeavesNoFile() {
        const QString pdf = files_.filePath(QStringLiteral("cancelled.pdf"));
        ui_.saveChoice = OpenFileChoice{pdf, 1};
        // The progress dialog processes events as it counts: the user's
        // cancel arrives while the books are being made.
        QTimer::singleShot(0, this, [this] {
            if (auto* progress = w_->findChild<QProgressDialog*>()) progress->cancel();
        });
        Item("allBooks")->trigger();
        QVERIFY(stepsSeen_ < 8);
        QVERIFY(!QFile::exists(pdf));
        QVERIFY(QDir(files_.path()).entryList({QStringLiteral("cancelled*")}).isEmpty());
    }

    void sectionsGoToTheChosenKindOfFile() {
        const QString csv = files_.filePath(QStringLiteral("sections.csv"));
        ui_.saveChoice = OpenFileChoice{csv, 1};
        Item("exportSections")->trigger();
        const QByteArray text = ReadAll(csv);
        QVERIFY(text.startsWith("\xEF\xBB\xBF序号,线路名称"));
        QCOMPARE(text.count("\r\n"), 5);  // headings and the four lines
        QVERIFY(text.contains("水准3,BM2,BM3,四等,3,0.330,0.00770"));
        // The second filter writes a workbook (a zip), whatever the name says
        // unless it says .csv.
        const QString book = files_.filePath(QStringLiteral("sections"));
        ui_.saveChoice = OpenFileChoice{book, 2};
        Item("exportSections")->trigger();
        QVERIFY(ReadAll(book).startsWith("PK"));
        QCOMPARE(ui_.Texts(), std::vector<std::string>{});
    }

    void linesThatAllFailAreNamedAndNoFileIsAskedFor() {
        ui_.choice = OpenFileChoice{
            WriteMdt(files_, QStringLiteral("bad.mdt"),
                     {Start("甲"), Rec("A"), Rec("B", "F"), Rec("C", "F"), Rec("D"), Start("乙")}),
            1};
        w_->OnOpenData();
        ui_.shown.clear();
        ui_.saveCalls = 0;
        Item("allBooks")->trigger();
        Item("exportSections")->trigger();
        QCOMPARE(ui_.saveCalls, 0);
        const std::vector<std::string> each = {"甲：数据格式不支持！",
                                               "乙：没有测量数据，请选择线路名称！"};
        std::vector<std::string> expected = each;
        expected.insert(expected.end(), each.begin(), each.end());
        QCOMPARE(ui_.Texts(), expected);
    }

    void withoutLinesTheItemsSaySoAndAskNothing() {
        w_ = std::make_unique<CTarvelFormatDlg>(ui_);
        ui_.saveCalls = 0;
        Item("exportSections")->trigger();
        Item("allBooks")->trigger();
        QCOMPARE(ui_.saveCalls, 0);
        QCOMPARE(ui_.Texts(),
                 (std::vector<std::string>{"没有线路数据，请导入！", "没有线路数据，请导入！"}));
    }
};

QTEST_MAIN(WholeFileWindowTest)
#include "whole_file_window_test.moc"
