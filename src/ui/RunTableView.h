#pragma once

#include <QTableView>
#include <cstddef>
#include <cstdint>
#include <string>

class QAction;
class QMenu;

namespace vantrel {

class tRunData;
class tRunTableModel;
class tSelection;

// The run as a table beside the charts. It shows the run's records as they
// arrive, selects the record the charts inspect and reports the record the
// user picks; copying puts the selected rows on the clipboard for a
// spreadsheet.
class TRunTableView : public QTableView {
    Q_OBJECT

public:
    // The records of `run`, the marks of `selection`.
    TRunTableView(const tRunData& run, const tSelection& selection, QWidget* parent = nullptr);

    tRunTableModel& Model() const { return *model_; }

    // New records at the run's end: rows follow once the event loop comes
    // round, so a batch of records costs one update.
    void RecordsAppended();
    // The charts' inspected record (none below 0): selected and scrolled to.
    void ShowRecord(std::int32_t index);

    // The selected rows' text, also what Ctrl+C puts on the clipboard.
    std::string SelectionText() const;
    void CopySelection();

signals:
    // The user moved to this record (a click or the keys).
    void recordChosen(std::size_t index);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void FollowNow();
    void FitColumns();

    tRunTableModel* model_ = nullptr;
    QAction* acCopy_ = nullptr;
    QMenu* pmTable_ = nullptr;
    bool followPending_ = false;
    bool showingRecord_ = false;
    bool chosen_ = false;  // during a press: the current row moved
};

}  // namespace vantrel
