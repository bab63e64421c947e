#include "ui/ChartControls.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QListWidget>
#include <QMenu>
#include <QRadioButton>
#include <QResizeEvent>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

#include "base/Texts.h"
#include "charts/ChartModel.h"
#include "ui/QtText.h"

namespace vantrel {

namespace {

constexpr int kRightPanelWidth = 200;
constexpr int kValueListHeight = 260;
constexpr int kKeyColumnWidth = 112;
constexpr int kValueColumnWidth = 80;
constexpr int kAbscissaColumns = 4;
constexpr int kCellPadding = 12;  // a cell's text from its edges, both sides

// The abscissa's choices in four columns, or in as few fewer as the box's
// width asks for: the dependence page must not hold the window wider than
// a 1024-pixel screen, whatever the language's words.
class tAbscissaBox : public QGroupBox {
public:
    using QGroupBox::QGroupBox;

    void AddChoice(QRadioButton* choice) {
        choices_.push_back(choice);
        Arrange(kAbscissaColumns);
    }
    QSize minimumSizeHint() const override {
        QSize least = QGroupBox::minimumSizeHint();
        least.setWidth(Needed(1));
        return least;
    }

protected:
    void resizeEvent(QResizeEvent* event) override {
        int columns = kAbscissaColumns;
        while (columns > 1 && Needed(columns) > event->size().width()) {
            --columns;
        }
        Arrange(columns);
        QGroupBox::resizeEvent(event);
    }

private:
    static int Rows(int columns) { return (kQuantityCount + columns - 1) / columns; }
    // The width the choices take in `columns` columns, filled column by
    // column like the group's original layout.
    int Needed(int columns) const {
        const auto* grid = static_cast<const QGridLayout*>(layout());
        const QMargins margins = grid->contentsMargins();
        int width = margins.left() + margins.right() + 2 * 4 +
                    (columns - 1) * std::max(0, grid->horizontalSpacing());
        const int rows = Rows(columns);
        for (int c = 0; c < columns; ++c) {
            int widest = 0;
            for (int i = c * rows; i < std::min(int(choices_.size()), (c + 1) * rows); ++i) {
                widest = std::max(widest, choices_[std::size_t(i)]->sizeHint().width());
            }
            width += widest;
        }
        return width;
    }
    void Arrange(int columns) {
        if (columns == columns_ && placed_ == choices_.size()) {
            return;
        }
        auto* grid = static_cast<QGridLayout*>(layout());
        const int rows = Rows(columns);
        for (std::size_t i = 0; i < choices_.size(); ++i) {
            grid->removeWidget(choices_[i]);
            grid->addWidget(choices_[i], int(i) % rows, int(i) / rows);
        }
        columns_ = columns;
        placed_ = choices_.size();
        updateGeometry();
    }

    std::vector<QRadioButton*> choices_;
    int columns_ = 0;
    std::size_t placed_ = 0;
};

}  // namespace

tChartControls::tChartControls(const tChartModel& model, QWidget& window)
    : QObject(&window), model_(model) {
    BuildRightPanel(window);
    BuildAbscissa(window);
    BuildRelativeMenu(window);
}

void tChartControls::BuildRightPanel(QWidget& window) {
    rightPanel_ = new QWidget(&window);
    rightPanel_->setObjectName("pnRight");
    rightPanel_->setFixedWidth(kRightPanelWidth);
    auto* column = new QVBoxLayout(rightPanel_);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(2);

    vleData_ = new QTableWidget(0, 2, rightPanel_);
    vleData_->setObjectName("vleData");
    vleData_->setHorizontalHeaderLabels({QStringLiteral("Параметр"), QStringLiteral("Значение")});
    vleData_->setColumnWidth(0, kKeyColumnWidth);
    vleData_->setColumnWidth(1, kValueColumnWidth);
    vleData_->verticalHeader()->setVisible(false);
    vleData_->verticalHeader()->setDefaultSectionSize(18);
    vleData_->setSelectionBehavior(QAbstractItemView::SelectRows);
    vleData_->setSelectionMode(QAbstractItemView::SingleSelection);
    vleData_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    vleData_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    vleData_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Long keys ("Электропроводность, мСм/см") wrap onto a second line
    // rather than being cut off in the narrow key column.
    vleData_->setWordWrap(true);
    QFont valueFont = pixelFont(11, false);
    valueFont.setStretch(QFont::SemiCondensed);
    vleData_->setFont(valueFont);
    vleData_->horizontalHeader()->setFont(pixelFont(11, false));
    vleData_->setFixedHeight(kValueListHeight);
    column->addWidget(vleData_);

    chSeries_ = new QListWidget(rightPanel_);
    chSeries_->setObjectName("chSeries");
    QFont listFont(QStringLiteral("Tahoma"));
    listFont.setPixelSize(11);
    listFont.setBold(true);
    chSeries_->setFont(listFont);
    for (int i = 0; i < kQuantityCount; ++i) {
        auto* item = new QListWidgetItem(qs(quantityNames[i]), chSeries_);
        item->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsSelectable | Qt::ItemIsEnabled);
        item->setCheckState(Qt::Checked);
    }
    chSeries_->setSelectionMode(QAbstractItemView::SingleSelection);
    connect(chSeries_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0 && row < kQuantityCount) {
            emit curveChosen(row);
        }
    });
    connect(chSeries_, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        if (!syncing_) {
            emit curveToggled(chSeries_->row(item), item->checkState() == Qt::Checked);
            SyncCheckList();
        }
    });
    column->addWidget(chSeries_, 1);

    // A right click on a quantity's row asks for its real-unit scale.
    const auto offerRightAxis = [this](QAbstractItemView* view) {
        view->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(view, &QWidget::customContextMenuRequested, this, [this, view](const QPoint& at) {
            const int row = view->indexAt(at).row();
            if (row < 0 || row >= kQuantityCount) {
                return;
            }
            QMenu menu(view);
            QAction* scale = menu.addAction(qs(constantText("DK_RIGHT_AXIS")) +
                                            QStringLiteral(": ") + qs(quantityNames[row]));
            scale->setObjectName("miRightAxisHere");
            if (menu.exec(view->viewport()->mapToGlobal(at)) == scale) {
                emit rightAxisRequested(row);
            }
        });
    };
    offerRightAxis(vleData_);
    offerRightAxis(chSeries_);
}

void tChartControls::BuildAbscissa(QWidget& window) {
    auto* box = new tAbscissaBox(QStringLiteral("Абсцисса"), &window);
    abscissaBox_ = box;
    abscissaBox_->setObjectName("rbAbsciss");
    auto* grid = new QGridLayout(abscissaBox_);
    grid->setContentsMargins(6, 2, 6, 2);
    grid->setVerticalSpacing(0);
    rbAbsciss_ = new QButtonGroup(abscissaBox_);
    rbAbsciss_->setObjectName("rbAbscissGroup");
    rbAbsciss_->setExclusive(true);
    for (int i = 0; i < kQuantityCount; ++i) {
        auto* choice = new QRadioButton(qs(quantityNames[i]), abscissaBox_);
        choice->setObjectName(QString("rbAbsciss%1").arg(i));
        rbAbsciss_->addButton(choice, i);
        box->AddChoice(choice);
    }
    connect(rbAbsciss_, &QButtonGroup::idClicked, this, [this](int i) {
        emit abscissaChosen(i);
        SyncAbscissa();
    });
}

void tChartControls::BuildRelativeMenu(QWidget& window) {
    pmZero_ = new QMenu(&window);
    pmZero_->setObjectName("pmZero");
    auto* title = pmZero_->addAction(QStringLiteral("Относительные показания по:"));
    title->setObjectName("miRelativeTitle");
    title->setEnabled(false);
    pmZero_->addSeparator();
    for (int i = 0; i < kQuantityCount; ++i) {
        auto* item = pmZero_->addAction(qs(quantityNames[i]));
        item->setObjectName(qs(quantityInfo[i].relativeItem));
        item->setCheckable(true);
        connect(item, &QAction::triggered, this, [this, i](bool checked) {
            emit relativeToggled(i, checked);
            SyncRelativeMenu();
        });
        relativeItems_[i] = item;
    }
    connect(pmZero_, &QMenu::aboutToShow, this, &tChartControls::SyncRelativeMenu);
}

void tChartControls::SyncAll() {
    SyncValueList();
    SyncCheckList();
    SyncAbscissa();
    SyncRelativeMenu();
}

void tChartControls::SyncValueList() {
    const auto& rows = model_.ValueRows();
    bool keysChanged = false;
    if (vleData_->rowCount() != int(rows.size())) {
        vleData_->setRowCount(int(rows.size()));
        keysChanged = true;
    }
    for (int r = 0; r < int(rows.size()); ++r) {
        for (int c = 0; c < 2; ++c) {
            const QString text = qs(c == 0 ? rows[r].key : rows[r].value);
            QTableWidgetItem* cell = vleData_->item(r, c);
            if (cell == nullptr) {
                cell = new QTableWidgetItem(text);
                cell->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
                if (c == 1) {
                    cell->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
                }
                vleData_->setItem(r, c, cell);
                keysChanged = keysChanged || c == 0;
            } else if (cell->text() != text) {
                cell->setText(text);
                keysChanged = keysChanged || c == 0;
            }
            if (c == 0) {
                cell->setToolTip(text);
            }
        }
    }
    // The values keep room for their widest text, whatever the font (a
    // system's fallback font may be much wider than the one the sizes were
    // chosen for); the keys take the rest and wrap between words.
    const QFontMetrics metrics(vleData_->font());
    int valueWidth = metrics.horizontalAdvance(QStringLiteral("-200.0000"));
    for (const auto& row : rows) {
        valueWidth = std::max(valueWidth, metrics.horizontalAdvance(qs(row.value)));
    }
    valueWidth += kCellPadding;
    if (keysChanged || valueWidth > vleData_->columnWidth(1)) {
        FitValueList(valueWidth);
    }
}

void tChartControls::FitValueList(int valueWidth) {
    const QFontMetrics metrics(vleData_->font());
    int widest = 0;
    for (const auto& row : model_.ValueRows()) {
        for (const QString& word : qs(row.key).split(QLatin1Char(' '))) {
            widest = std::max(widest, metrics.horizontalAdvance(word));
        }
    }
    const int room = kRightPanelWidth - 2 * vleData_->frameWidth();
    const int keyWidth =
        std::max(0, std::min(std::max(kKeyColumnWidth, widest + kCellPadding), room - valueWidth));
    vleData_->setColumnWidth(0, keyWidth);
    vleData_->setColumnWidth(1, room - keyWidth);
    vleData_->resizeRowsToContents();
    // Every row in sight: a scroll bar would take its width from the values.
    int height = vleData_->horizontalHeader()->sizeHint().height() + 2 * vleData_->frameWidth();
    for (int r = 0; r < vleData_->rowCount(); ++r) {
        height += vleData_->rowHeight(r);
    }
    vleData_->setFixedHeight(std::max(kValueListHeight, height));
}

void tChartControls::SyncCheckList() {
    syncing_ = true;
    for (int i = 0; i < kQuantityCount && i < chSeries_->count(); ++i) {
        QListWidgetItem* item = chSeries_->item(i);
        const Qt::CheckState state = model_.CurveChecked(i) ? Qt::Checked : Qt::Unchecked;
        if (item->checkState() != state) {
            item->setCheckState(state);
        }
        const Qt::ItemFlags flags = Qt::ItemIsUserCheckable | Qt::ItemIsSelectable |
                                    (model_.CurveEnabled(i) ? Qt::ItemIsEnabled : Qt::NoItemFlags);
        if (item->flags() != flags) {
            item->setFlags(flags);
        }
    }
    syncing_ = false;
}

void tChartControls::SyncAbscissa() {
    if (QAbstractButton* button = rbAbsciss_->button(model_.Abscissa());
        button != nullptr && !button->isChecked()) {
        button->setChecked(true);
    }
}

void tChartControls::SyncRelativeMenu() {
    for (int i = 0; i < kQuantityCount; ++i) {
        if (relativeItems_[i]->isChecked() != model_.Relative(i)) {
            relativeItems_[i]->setChecked(model_.Relative(i));
        }
    }
}

}  // namespace vantrel
