#include "window/list_view.h"

#include <algorithm>
#include <utility>

#include <QColor>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMouseEvent>

namespace lorvex {

TextRowsModel::TextRowsModel(QObject* parent) : QAbstractListModel(parent) {}

void TextRowsModel::SetHeaderTitle(const QString& title) {
    m_title = title;
    Q_EMIT headerDataChanged(Qt::Horizontal, 0, 0);
}

void TextRowsModel::ReplaceRows(std::vector<std::string> rows) {
    beginResetModel();
    m_ownRows = std::move(rows);
    m_ownViews.assign(m_ownRows.begin(), m_ownRows.end());
    m_rows = &m_ownViews;
    endResetModel();
}

void TextRowsModel::ShowRows(const std::vector<std::string_view>& rows) {
    beginResetModel();
    m_ownViews.clear();
    m_ownRows.clear();
    m_rows = &rows;
    endResetModel();
}

void TextRowsModel::RowsReset() {
    beginResetModel();
    endResetModel();
}

void TextRowsModel::SetRowMarks(RowMarks marks) {
    if (marks.Empty() && m_marks.Empty()) return;
    m_marks = std::move(marks);
    Q_EMIT rowMarksChanged();
}

void TextRowsModel::RowChanged(int row) {
    if (row < 0 || row >= RowCount()) return;
    const QModelIndex changed = index(row);
    Q_EMIT dataChanged(changed, changed);
}

int TextRowsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : RowCount();
}

QVariant TextRowsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= RowCount() || index.column() != 0) return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        const std::string_view text = (*m_rows)[static_cast<std::size_t>(index.row())];
        return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    }
    if (role == Qt::DecorationRole || role == Qt::ForegroundRole || role == Qt::ToolTipRole) {
        const StationFlags* flags = m_marks.FlagsOfRow(static_cast<std::size_t>(index.row()));
        if (flags == nullptr) return {};
        if (role == Qt::ToolTipRole) return QString::fromStdString(StationTooltip(*flags));
        return QColor(Qt::red);
    }
    return {};
}

bool TextRowsModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !index.isValid() || !m_onEditEnd) return false;
    // A copy: an edit points the row at other text.
    const std::string before(RowText(index.row()));
    m_onEditEnd(index.row(), value.isNull()
                                 ? std::nullopt
                                 : std::optional<std::string>(value.toString().toStdString()));
    return RowText(index.row()) != before;
}

Qt::ItemFlags TextRowsModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractListModel::flags(index);
    if (index.isValid() && m_onEditEnd) f |= Qt::ItemIsEditable;
    return f;
}

QVariant TextRowsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section != 0) return {};
    if (role == Qt::DisplayRole) return m_title;
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    return {};
}

ListViewControl::ListViewControl(QWidget* parent)
    : QTreeView(parent), m_model(new TextRowsModel(this)) {
    setModel(m_model);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);  // row geometry without asking every row
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setAllColumnsShowFocus(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
    header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header()->setHidden(true);  // until a column is inserted
    connect(m_model, &TextRowsModel::rowMarksChanged, this, &ListViewControl::OnRowMarksChanged);
}

void ListViewControl::OnRowMarksChanged() {
    // With uniform row heights the first row gives every row its height, and
    // a mark's decoration may change it: that row is measured again.
    if (m_model->RowCount() > 0) {
        const QModelIndex first = m_model->index(0);
        dataChanged(first, first);
    }
    viewport()->update();
}

void ListViewControl::InsertColumn(const QString& title, int widthPixels) {
    m_model->SetHeaderTitle(title);
    header()->setHidden(false);
    header()->setSectionResizeMode(0, QHeaderView::Interactive);
    header()->resizeSection(0, widthPixels);
}

int ListViewControl::CurrentRow() const {
    const QModelIndex current = selectionModel()->currentIndex();
    return current.isValid() ? current.row() : -1;
}

std::vector<int> ListViewControl::SelectedRows() const {
    std::vector<int> rows;
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        for (int r = range.top(); r <= range.bottom(); ++r) rows.push_back(r);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void ListViewControl::mouseReleaseEvent(QMouseEvent* event) {
    QTreeView::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton) Q_EMIT mouseClicked();
}

void ListViewControl::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::NoModifier) {
        event->accept();
        Q_EMIT deletePressed();
        return;
    }
    const QModelIndex before = selectionModel()->currentIndex();
    QTreeView::keyPressEvent(event);
    if (selectionModel()->currentIndex() != before) Q_EMIT keyboardMoved();
}

}  // namespace lorvex
