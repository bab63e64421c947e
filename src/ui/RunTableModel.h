#pragma once

#include <QAbstractTableModel>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "run/RunTable.h"

namespace vantrel {

class tRunData;
class tSelection;

// The run's records for a QTableView, read from the run and its selection
// (the marks) on demand (no item per cell). The rows the view knows lag
// behind the run until Follow(): the run grows record by record, the view
// learns of a whole batch at once.
class tRunTableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    tRunTableModel(const tRunData& run, const tSelection& selection, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // Column titles in the current language: the quantity names with units.
    static std::string Title(int column, std::string_view unitSeparator = ", ");
    static std::vector<std::string> Titles();

    // Records added at the end since the last call become rows.
    void Follow();
    // The run was emptied or put in at once.
    void Reset();
    // Values of known rows changed (a record put in place, marks, titles).
    void Refresh();
    void RefreshMarks();

    // The copied text of these rows, the titles first.
    std::string Text(const std::vector<std::size_t>& rows) const;

private:
    const tRunData& run_;
    tRunTable table_;
    std::size_t rows_ = 0;
};

}  // namespace vantrel
