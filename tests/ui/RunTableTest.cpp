// The table of the run: its rows follow the records, it and the charts
// inspect the same record, and it copies what a spreadsheet takes.

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QTabWidget>
#include <memory>
#include <string>

#include "ChartClick.h"
#include "ShownWindow.h"
#include "base/Locale.h"
#include "charts/ChartModel.h"
#include "run/RunTable.h"
#include "session/MainFM.h"
#include "support/TempDir.h"
#include "ui/ChartPlot.h"
#include "ui/MainWindow.h"
#include "ui/RunTableModel.h"
#include "ui/RunTableView.h"

namespace vantrel {
namespace {

class RunTableTest : public ::testing::Test {
protected:
    void SetUp() override {
        window = test::showWindow(dir);
        pages = window->findChild<QTabWidget*>("pcChart");
        chart = window->findChild<TChartPlot*>("chAll");
        table = window->findChild<TRunTableView*>("tvRun");
        ASSERT_TRUE(pages != nullptr && chart != nullptr && table != nullptr);
        ShowPage(2);
    }
    void TearDown() override { setLocaleFacts(tLocaleFacts{}); }

    tChartModel& Model() { return window->Controller().Charts(); }
    void ShowPage(int index) {
        pages->setCurrentIndex(index);
        QApplication::processEvents();
    }
    void Add(float t, float temperature) {
        Model().AddReadingSet(t, {temperature, 7.25f, 100.5f, -0.125f, 1.5f, 0.0f, 0.0f});
    }
    QString Cell(int row, int column) const {
        return table->model()->index(row, column).data().toString();
    }
    // Five records 1 s apart, the run over: points can be inspected.
    void RecordFinishedRun() {
        Model().EnterLiveMode();
        for (int k = 0; k < 5; ++k) {
            Add(float(k + 1), 20.0f + float(k));
        }
        Model().EndBatch(5.0f);
        Model().EnterAnalysisMode();
        chart->xAxis->setRange(0.0, 6.0);
        QApplication::processEvents();
    }

    test::tTempDir dir;
    std::unique_ptr<TfmMainWindow> window;
    QTabWidget* pages = nullptr;
    TChartPlot* chart = nullptr;
    TRunTableView* table = nullptr;
};

TEST_F(RunTableTest, RowsFollowTheRecordsAsShown) {
    const int temperature = tRunTable::QuantityColumn(qLT);
    Model().SetRelative(qLT, true);  // shown as the change since the first reading
    Model().EnterLiveMode();
    Add(1.0f, 20.0f);
    Add(2.0f, 21.5f);
    QApplication::processEvents();
    ASSERT_EQ(table->model()->rowCount(), 2);
    EXPECT_EQ(Cell(1, tRunTable::kTimeColumn), "2.000");
    EXPECT_EQ(Cell(1, temperature), "1.50");
    EXPECT_EQ(Cell(1, tRunTable::QuantityColumn(qV1)), "1.5000");

    // A late record goes in its place: the rows after it move down.
    Add(1.5f, 23.0f);
    QApplication::processEvents();
    ASSERT_EQ(table->model()->rowCount(), 3);
    EXPECT_EQ(Cell(1, tRunTable::kTimeColumn), "1.500");
    EXPECT_EQ(Cell(1, temperature), "3.00");
    EXPECT_EQ(Cell(2, temperature), "1.50");

    Model().EnterLiveMode();
    QApplication::processEvents();
    EXPECT_EQ(table->model()->rowCount(), 0) << "a new run starts an empty table";
}

TEST_F(RunTableTest, TableAndChartsInspectTheSameRecord) {
    RecordFinishedRun();
    const tRunData& run = Model().Data();

    const QModelIndex row3 = table->model()->index(3, tRunTable::kTimeColumn);
    test::clickAt(*table->viewport(), QPointF(table->visualRect(row3).center()));
    EXPECT_EQ(Model().CursorIndex(), 3);
    EXPECT_EQ(Model().ValueRows()[qLT].value, "23.00");
    chart->replot();
    auto* cursorLine = chart->findChild<QCPItemStraightLine*>("lnCursor");
    ASSERT_NE(cursorLine, nullptr);
    EXPECT_TRUE(cursorLine->visible());
    EXPECT_DOUBLE_EQ(cursorLine->point1->coords().x(), run.Time(3));

    ShowPage(0);
    test::clickAt(*chart, QPointF(chart->xAxis->coordToPixel(run.Time(1)),
                                  chart->axisRect()->rect().center().y()));
    ASSERT_EQ(Model().CursorIndex(), 1);
    EXPECT_EQ(table->currentIndex().row(), 1);
    const QModelIndexList selected = table->selectionModel()->selectedRows();
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(selected.front().row(), 1);
}

TEST_F(RunTableTest, CopiesTheSelectedRowsForASpreadsheet) {
    setLocaleFacts(tLocaleFacts{','});
    RecordFinishedRun();
    Model().ToggleMark(3);
    QItemSelectionModel& selection = *table->selectionModel();
    for (int row : {3, 1}) {
        selection.select(table->model()->index(row, 0),
                         QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    QApplication::clipboard()->clear();
    QKeyEvent copy(QEvent::KeyPress, Qt::Key_C, Qt::ControlModifier);
    QApplication::sendEvent(table, &copy);

    EXPECT_EQ(QApplication::clipboard()->text().toStdString(),
              "t, с\tМетка\tТемпература, °C\tpH\tЭлектропроводность, мСм/см\t"
              "Редокс-потенциал, В\tРеагент 1, мл\tРеагент 2, мл\tРеагент 3, мл\r\n"
              "2,000\t\t21,00\t7,25\t100,50\t-0,13\t1,5000\t0,0000\t0,0000\r\n"
              "4,000\t\u2713\t23,00\t7,25\t100,50\t-0,13\t1,5000\t0,0000\t0,0000\r\n");
}

}  // namespace
}  // namespace vantrel
