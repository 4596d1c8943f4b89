#include "window/list_view.h"

#include <algorithm>

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMouseEvent>

namespace lorvex {

TextRowsModel::TextRowsModel(QObject* parent) : QAbstractListModel(parent) {}

void TextRowsModel::SetHeaderTitle(const QString& title) {
    title_ = title;
    Q_EMIT headerDataChanged(Qt::Horizontal, 0, 0);
}

void TextRowsModel::SetRowText(int row, std::string text) {
    if (row < 0 || row >= RowCount()) return;
    rows_[static_cast<std::size_t>(row)] = std::move(text);
    const QModelIndex changed = index(row);
    Q_EMIT dataChanged(changed, changed);
}

void TextRowsModel::AppendRow(std::string text) {
    beginInsertRows(QModelIndex(), RowCount(), RowCount());
    rows_.push_back(std::move(text));
    endInsertRows();
}

void TextRowsModel::DeleteAllRows() { ReplaceRows({}); }

void TextRowsModel::ReplaceRows(std::vector<std::string> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

void TextRowsModel::DeleteRows(const std::vector<int>& ascendingRows) {
    if (ascendingRows.empty()) return;
    // One reset instead of a removal per row: deleting most of a long line
    // row by row would move the tail of the vector once per row.
    std::vector<std::string> kept;
    kept.reserve(rows_.size() - std::min(rows_.size(), ascendingRows.size()));
    auto next = ascendingRows.begin();
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (next != ascendingRows.end() && static_cast<std::size_t>(*next) == i) {
            ++next;
            continue;
        }
        kept.push_back(std::move(rows_[i]));
    }
    ReplaceRows(std::move(kept));
}

int TextRowsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : RowCount();
}

QVariant TextRowsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= RowCount() || index.column() != 0) return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        return QString::fromStdString(rows_[static_cast<std::size_t>(index.row())]);
    }
    return {};
}

bool TextRowsModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !index.isValid() || !onEditEnd_) return false;
    const std::string before = RowText(index.row());
    onEditEnd_(index.row(), value.isNull()
                                ? std::nullopt
                                : std::optional<std::string>(value.toString().toStdString()));
    return RowText(index.row()) != before;
}

Qt::ItemFlags TextRowsModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractListModel::flags(index);
    if (index.isValid() && onEditEnd_) f |= Qt::ItemIsEditable;
    return f;
}

QVariant TextRowsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section != 0) return {};
    if (role == Qt::DisplayRole) return title_;
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    return {};
}

ListViewControl::ListViewControl(QWidget* parent)
    : QTreeView(parent), model_(new TextRowsModel(this)) {
    setModel(model_);
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
}

void ListViewControl::InsertColumn(const QString& title, int widthPixels) {
    model_->SetHeaderTitle(title);
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

int ListViewControl::SelectedCount() const { return static_cast<int>(SelectedRows().size()); }

void ListViewControl::mouseReleaseEvent(QMouseEvent* event) {
    QTreeView::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton) Q_EMIT mouseClicked();
}

}  // namespace lorvex
