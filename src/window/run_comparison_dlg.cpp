#include "window/run_comparison_dlg.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

#include "levelling/limits.h"

namespace lorvex {
namespace {

QString U(const std::string& text) { return QString::fromStdString(text); }
QString U(const char* text) { return QString::fromUtf8(text); }

// A go and a back run, or the two halves of a dual-run line.
const char* Caption(Rule rule) {
    return rule == Rule::LeftRightDiff ? "左右路线比较" : "往返测比较";
}

}  // namespace

LineChooserDlg::LineChooserDlg(const std::vector<std::string>& names, int exclude, QWidget* parent)
    : QDialog(parent), m_lines(new QListWidget(this)) {
    setWindowTitle(U("选择比较的线路"));
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (static_cast<int>(i) == exclude) continue;
        auto* item = new QListWidgetItem(U(names[i]), m_lines);
        item->setData(Qt::UserRole, static_cast<int>(i));
    }
    if (m_lines->count() > 0) m_lines->setCurrentRow(0);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_lines, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_lines);
    layout->addWidget(buttons);
}

std::optional<int> LineChooserDlg::Chosen() const {
    const QListWidgetItem* item = m_lines->currentItem();
    if (item == nullptr) return std::nullopt;
    return item->data(Qt::UserRole).toInt();
}

RunComparisonDlg::RunComparisonDlg(const RunComparison& c, const std::string& nameA,
                                   const std::string& nameB, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(U(Caption(c.rule)));
    auto* grid = new QGridLayout;
    const char* heads[] = {"线路", "起点", "终点", "测站数", "距离 (km)", "高差 (m)"};
    for (int col = 0; col < 6; ++col) grid->addWidget(new QLabel(U(heads[col]), this), 0, col);
    const RunSummary* runs[] = {&c.a, &c.b};
    const std::string* names[] = {&nameA, &nameB};
    for (int r = 0; r < 2; ++r) {
        const RunSummary& run = *runs[r];
        const QString cells[] = {U(*names[r]),
                                 U(run.from),
                                 U(run.to),
                                 QString::number(run.stations),
                                 U(DecimalText(run.lengthDm, 4, 4)),
                                 U(run.HeightMetres())};
        QStringList texts;
        for (int col = 0; col < 6; ++col) {
            grid->addWidget(new QLabel(cells[col], this), r + 1, col);
            texts << cells[col];
        }
        auto* row = new QLabel(texts.join(QLatin1Char('\t')), this);
        row->hide();  // the row's text as one, for reading back
        m_runs.push_back(row);
    }
    QString verdict = U("高差不符值 W = ") + U(c.w) + U(" mm");
    if (c.checked) {
        verdict += U("，限差 ") + U(c.limit) + U(" mm  ") + (c.holds ? U("✓") : U("✗ 超限"));
    } else {
        verdict += U("，本等级不检查");
    }
    m_verdict = new QLabel(verdict, this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(m_verdict);
    layout->addWidget(buttons);
}

QString RunComparisonDlg::Verdict() const { return m_verdict->text(); }

QStringList RunComparisonDlg::RunTexts() const {
    QStringList texts;
    for (const QLabel* row : m_runs) texts << row->text();
    return texts;
}

}  // namespace lorvex
