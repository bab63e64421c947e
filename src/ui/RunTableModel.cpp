#include "ui/RunTableModel.h"

#include "base/Texts.h"
#include "lang/LanguageFile.h"
#include "run/Quantities.h"
#include "ui/QtText.h"

namespace vantrel {

tRunTableModel::tRunTableModel(const tRunData& run, const tSelection& selection, QObject* parent)
    : QAbstractTableModel(parent), run_(run), table_(run, selection), rows_(run.Count()) {}

int tRunTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(rows_);
}

int tRunTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : tRunTable::kColumnCount;
}

QVariant tRunTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        return qs(table_.Cell(std::size_t(index.row()), index.column()));
    }
    if (role == Qt::TextAlignmentRole) {
        return index.column() == tRunTable::kMarkColumn ? int(Qt::AlignCenter)
                                                        : int(Qt::AlignRight | Qt::AlignVCenter);
    }
    return {};
}

QVariant tRunTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= tRunTable::kColumnCount) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    // The unit under the name keeps the columns narrow enough for all nine
    // to fit beside the value list.
    return qs(Title(section, "\n"));
}

std::string tRunTableModel::Title(int column, std::string_view unitSeparator) {
    if (column == tRunTable::kTimeColumn) {
        return constantText("DK_TABLE_TIME");
    }
    if (column == tRunTable::kMarkColumn) {
        return constantText("DK_TABLE_MARK");
    }
    const int i = column - tRunTable::QuantityColumn(0);
    const std::vector<std::string> units = splitItems(constantText("DK_TABLE_UNITS"));
    std::string title = quantityNames[std::size_t(i)];
    if (std::size_t(i) < units.size() && !units[std::size_t(i)].empty()) {
        title += unitSeparator;
        title += units[std::size_t(i)];
    }
    return title;
}

std::vector<std::string> tRunTableModel::Titles() {
    std::vector<std::string> titles;
    for (int column = 0; column < tRunTable::kColumnCount; ++column) {
        titles.push_back(Title(column));
    }
    return titles;
}

void tRunTableModel::Follow() {
    const std::size_t count = run_.Count();
    if (count < rows_) {
        Reset();
    } else if (count > rows_) {
        beginInsertRows(QModelIndex(), int(rows_), int(count - 1));
        rows_ = count;
        endInsertRows();
    }
}

void tRunTableModel::Reset() {
    beginResetModel();
    rows_ = run_.Count();
    endResetModel();
}

void tRunTableModel::Refresh() {
    if (rows_ > 0) {
        emit dataChanged(index(0, 0), index(int(rows_) - 1, tRunTable::kColumnCount - 1));
    }
    emit headerDataChanged(Qt::Horizontal, 0, tRunTable::kColumnCount - 1);
}

void tRunTableModel::RefreshMarks() {
    if (rows_ > 0) {
        emit dataChanged(index(0, tRunTable::kMarkColumn),
                         index(int(rows_) - 1, tRunTable::kMarkColumn));
    }
}

std::string tRunTableModel::Text(const std::vector<std::size_t>& rows) const {
    return table_.Text(Titles(), rows);
}

}  // namespace vantrel
