#pragma once

// The two list views of the main window: one text column in report view.
// Rows are UTF-8 texts, the model's own or views owned elsewhere (the
// session's data rows, views into the imported records), and are turned into
// QStrings only when a row is painted, so a line of a hundred thousand
// records shows at once.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <QAbstractListModel>
#include <QTreeView>

#include "levelling/row_marks.h"

namespace lorvex {

class TextRowsModel final : public QAbstractListModel {
    Q_OBJECT

  public:
    explicit TextRowsModel(QObject* parent = nullptr);

    // Called when an in-place edit ends with the row and the typed text; the
    // handler decides whether the row changes (through SetRowText).
    using EditEndHandler = std::function<void(int row, const std::optional<std::string>& text)>;
    void SetEditEndHandler(EditEndHandler handler) { m_onEditEnd = std::move(handler); }

    void SetHeaderTitle(const QString& title);

    int RowCount() const { return static_cast<int>(m_rows->size()); }
    const std::vector<std::string_view>& Rows() const { return *m_rows; }
    std::string_view RowText(int row) const { return m_rows->at(static_cast<std::size_t>(row)); }

    // Shows rows of the model's own.
    void ReplaceRows(std::vector<std::string> rows);
    // Shows rows owned elsewhere: the vector must outlive the model (or be
    // replaced before it goes), and whoever changes the rows or the texts
    // they view tells the model with RowsReset or RowChanged.
    void ShowRows(const std::vector<std::string_view>& rows);
    void RowsReset();
    void RowChanged(int row);

    // Marks the rows of stations that break a limit red, with the broken
    // rules as their tooltip, built when the view asks for it; the marks
    // replace any earlier ones. Rows are kept by index.
    void SetRowMarks(RowMarks marks);

  Q_SIGNALS:
    // The marks changed, of any rows: a view repaints the rows it shows. One
    // signal rather than a dataChanged over every row, which a tree view
    // walks row by row (tens of milliseconds on a hundred thousand rows).
    void rowMarksChanged();

  public:
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    std::vector<std::string> m_ownRows;
    std::vector<std::string_view> m_ownViews;  // of m_ownRows
    const std::vector<std::string_view>* m_rows = &m_ownViews;
    QString m_title;
    EditEndHandler m_onEditEnd;
    RowMarks m_marks;
};

// A list view in report view: full-row selection, one left-aligned column of
// a fixed initial width. Emits mouseClicked after a left click anywhere in
// the list has been handled, so the current row is already the clicked one.
class ListViewControl final : public QTreeView {
    Q_OBJECT

  public:
    explicit ListViewControl(QWidget* parent = nullptr);

    TextRowsModel* TextRows() const { return m_model; }
    void InsertColumn(const QString& title, int widthPixels);

    // The row the user last selected, or -1 when none has been selected since
    // the list was last filled.
    int CurrentRow() const;
    // Selected rows, ascending.
    std::vector<int> SelectedRows() const;

  Q_SIGNALS:
    void mouseClicked();
    // A key (an arrow, Page Up, Home, a typed letter) made another row the
    // current one; emitted after the view has moved.
    void keyboardMoved();
    // The Delete key, pressed on the list itself (not in a row being edited).
    void deletePressed();

  protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void OnRowMarksChanged();

    TextRowsModel* m_model;
};

}  // namespace lorvex
