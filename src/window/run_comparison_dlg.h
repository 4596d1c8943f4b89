#pragma once

// The two small dialogs of comparing two runs of a section: choosing the
// second line, and the comparison itself (both runs, W, the limit, ✓ or ✗).

#include <optional>
#include <string>
#include <vector>

#include <QDialog>

#include "levelling/quality_check.h"

class QLabel;
class QListWidget;

namespace lorvex {

// Lists the lines but one; the user picks the run to compare with.
class LineChooserDlg final : public QDialog {
    Q_OBJECT

  public:
    LineChooserDlg(const std::vector<std::string>& names, int exclude, QWidget* parent = nullptr);

    QListWidget* Lines() const { return m_lines; }
    // The chosen line's index among all lines, or nullopt.
    std::optional<int> Chosen() const;

  private:
    QListWidget* m_lines = nullptr;
};

// Shows a comparison: a row per run, then W, the limit and whether it holds.
class RunComparisonDlg final : public QDialog {
    Q_OBJECT

  public:
    RunComparisonDlg(const RunComparison& comparison, const std::string& nameA,
                     const std::string& nameB, QWidget* parent = nullptr);

    // The verdict line: "W = -0.03 mm，限差 5.65 mm ✓".
    QString Verdict() const;
    // The texts of the runs' rows, for reading back.
    QStringList RunTexts() const;

  private:
    QLabel* m_verdict = nullptr;
    std::vector<QLabel*> m_runs;
};

}  // namespace lorvex
