#include "ui/RunTableView.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>
#include <vector>

#include "base/Texts.h"
#include "run/Quantities.h"
#include "run/RunTable.h"
#include "ui/QtText.h"
#include "ui/RunTableModel.h"

namespace vantrel {

namespace {

// The widest a cell gets: a day's run in seconds; a reading as far below
// zero as a relative one can go.
constexpr const char* kTimeSample = "000000.000";

}  // namespace

TRunTableView::TRunTableView(const tRunData& run, const tSelection& selection, QWidget* parent)
    : QTableView(parent) {
    setObjectName("tvRun");
    model_ = new tRunTableModel(run, selection, this);
    setModel(model_);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // A day's run has 432,000 rows: rows of one height and no wrapping keep
    // scrolling independent of the length of the run.
    setWordWrap(false);
    setCornerButtonEnabled(false);
    verticalHeader()->setVisible(false);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setStretchLastSection(true);

    acCopy_ = new QAction(this);
    acCopy_->setObjectName("acTableCopy");
    acCopy_->setShortcut(QKeySequence::Copy);
    acCopy_->setShortcutContext(Qt::WidgetShortcut);
    acCopy_->setShortcutVisibleInContextMenu(true);
    connect(acCopy_, &QAction::triggered, this, &TRunTableView::CopySelection);
    pmTable_ = new QMenu(this);
    pmTable_->setObjectName("pmTable");
    pmTable_->addAction(acCopy_);
    connect(pmTable_, &QMenu::aboutToShow, this, [this] {
        acCopy_->setText(qs(constantText("DK_TABLE_COPY")));
        acCopy_->setEnabled(selectionModel()->hasSelection());
    });
    setContextMenuPolicy(Qt::CustomContextMenu);
    // Non-blocking, as the window's other menus: acquisition goes on.
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& where) { pmTable_->popup(viewport()->mapToGlobal(where)); });

    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (!showingRecord_ && current.isValid()) {
                    chosen_ = true;
                    emit recordChosen(std::size_t(current.row()));
                }
            });
}

void TRunTableView::RecordsAppended() {
    if (!followPending_) {
        followPending_ = true;
        QTimer::singleShot(0, this, &TRunTableView::FollowNow);
    }
}

void TRunTableView::FollowNow() {
    followPending_ = false;
    // A table scrolled to its end keeps showing the newest records.
    const QScrollBar* bar = verticalScrollBar();
    const bool atEnd = bar->value() >= bar->maximum();
    const int before = model_->rowCount();
    model_->Follow();
    if (atEnd && model_->rowCount() > before && isVisible()) {
        scrollToBottom();
    }
}

void TRunTableView::ShowRecord(std::int32_t index) {
    if (index < 0) {
        return;
    }
    // A record the view does not know yet is a row of the pending batch.
    if (index >= model_->rowCount()) {
        FollowNow();
    }
    if (index >= model_->rowCount() || currentIndex().row() == index) {
        return;
    }
    const QModelIndex cell = model_->index(index, tRunTable::kTimeColumn);
    showingRecord_ = true;
    selectionModel()->setCurrentIndex(
        cell, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    showingRecord_ = false;
    scrollTo(cell, QAbstractItemView::EnsureVisible);
}

std::string TRunTableView::SelectionText() const {
    std::vector<std::size_t> rows;
    for (const QModelIndex& index : selectionModel()->selectedRows()) {
        rows.push_back(std::size_t(index.row()));
    }
    std::sort(rows.begin(), rows.end());
    return model_->Text(rows);
}

void TRunTableView::CopySelection() {
    if (selectionModel()->hasSelection()) {
        QGuiApplication::clipboard()->setText(qs(SelectionText()));
    }
}

void TRunTableView::keyPressEvent(QKeyEvent* event) {
    // The item view's own copy takes the current cell only.
    if (event->matches(QKeySequence::Copy)) {
        CopySelection();
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void TRunTableView::mousePressEvent(QMouseEvent* event) {
    chosen_ = false;
    QTableView::mousePressEvent(event);
    // A click on the current row moves nothing, yet the charts may have
    // moved on since (or the time origin was set with it).
    if (!chosen_ && event->button() == Qt::LeftButton) {
        const QModelIndex index = indexAt(event->position().toPoint());
        if (index.isValid()) {
            emit recordChosen(std::size_t(index.row()));
        }
    }
}

void TRunTableView::showEvent(QShowEvent* event) {
    QTableView::showEvent(event);
    FitColumns();
}

void TRunTableView::FitColumns() {
    // As wide as the title and the widest value a column can hold, so that
    // scrolling never cuts values short; measuring rows would cost time.
    const QFontMetrics cells = fontMetrics();
    constexpr int kPadding = 12;
    for (int column = 0; column < tRunTable::kColumnCount; ++column) {
        QString sample =
            column == tRunTable::kTimeColumn ? QString(kTimeSample) : qs(tRunTable::kMarkText);
        if (column >= tRunTable::QuantityColumn(0)) {
            const int i = column - tRunTable::QuantityColumn(0);
            sample = QStringLiteral("-000.") + QString(quantityInfo[i].decimals, QLatin1Char('0'));
        }
        setColumnWidth(column, std::max(horizontalHeader()->sectionSizeHint(column),
                                        cells.horizontalAdvance(sample) + kPadding));
    }
}

}  // namespace vantrel
