#include "ui/ClassWindow.h"

#include <qcustomplot.h>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "base/Locale.h"
#include "base/LogFile.h"
#include "base/Texts.h"
#include "class/ClassResults.h"
#include "lang/LanguageFile.h"
#include "run/Quantities.h"
#include "session/ClassCards.h"
#include "session/ClassLesson.h"
#include "session/RunSummary.h"
#include "session/Workbook.h"
#include "ui/ClassCard.h"
#include "ui/ClassRunWindow.h"
#include "ui/Localiser.h"
#include "ui/QrCode.h"
#include "ui/QtText.h"

namespace vantrel {

namespace {

constexpr int kTickMs = 250;
constexpr int kCardColumns = 3;
constexpr int kQrScale = 3;
// One colour per station, told apart on a projector.
constexpr QRgb kColours[] = {0x1f77b4, 0xd62728, 0x2ca02c, 0xff7f0e, 0x9467bd, 0x8c564b,
                             0xe377c2, 0x17becf, 0xbcbd22, 0x7f7f7f, 0x000080, 0x800000,
                             0x008080, 0x808000, 0xff00ff, 0x00a0ff};

}  // namespace

TfmClassWindow::TfmClassWindow(std::unique_ptr<tClassLesson> lesson, const tLanguageFile* language,
                               QWidget* parent)
    : QMainWindow(parent),
      lesson_(std::move(lesson)),
      language_(language != nullptr ? std::make_unique<tLanguageFile>(*language) : nullptr) {
    setObjectName("fmClass");
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Класс %1").arg(qs(lesson_->Address().className)));
    resize(1000, 700);
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    BuildHeader(central, layout);

    tabs_ = new QTabWidget(central);
    tabs_->setObjectName("pcClass");
    layout->addWidget(tabs_, 1);

    // The stations: the cards, and beside them the stop and its answers.
    auto* cardsPage = new QWidget(tabs_);
    cardsPage->setObjectName("tsClassCards");
    auto* cardsRow = new QHBoxLayout(cardsPage);
    auto* scroll = new QScrollArea(cardsPage);
    scroll->setWidgetResizable(true);
    cardsHost_ = new QWidget(scroll);
    cardsGrid_ = new QGridLayout(cardsHost_);
    cardsGrid_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    scroll->setWidget(cardsHost_);
    cardsRow->addWidget(scroll, 1);
    auto* side = new QVBoxLayout();
    stopAll_ = new QPushButton(QStringLiteral("Остановить всё"), cardsPage);
    stopAll_->setObjectName("btClassStopAll");
    stopAll_->setStyleSheet(
        QStringLiteral("QPushButton { color: white; background: #c00000; "
                       "font-weight: bold; padding: 8px; }"));
    connect(stopAll_, &QPushButton::clicked, this, [this] {
        if (QMessageBox::question(this, windowTitle(), qs(constantText("DK_CLASS_STOP_CONFIRM"))) ==
            QMessageBox::Yes) {
            StopAll();
        }
    });
    side->addWidget(stopAll_);
    answers_ = new QListWidget(cardsPage);
    answers_->setObjectName("lvClassAnswers");
    answers_->setFixedWidth(210);
    side->addWidget(answers_, 1);
    cardsRow->addLayout(side);
    tabs_->addTab(cardsPage, QStringLiteral("Станции"));

    // The groups' curves of one quantity on one chart.
    auto* overlayPage = new QWidget(tabs_);
    overlayPage->setObjectName("tsClassOverlay");
    auto* overlayLayout = new QVBoxLayout(overlayPage);
    auto* choice = new QHBoxLayout();
    quantity_ = new QComboBox(overlayPage);
    quantity_->setObjectName("cbClassQuantity");
    abscissa_ = new QComboBox(overlayPage);
    abscissa_->setObjectName("cbClassAbscissa");
    abscissa_->addItem(qs(constantText("DK_CLASS_TIME")));
    for (std::size_t q = 0; q < kQuantityCount; ++q) {
        if (q < 4) {
            quantity_->addItem(qs(quantityNames[q]));
        } else {
            abscissa_->addItem(qs(quantityNames[q]));
        }
    }
    quantity_->setCurrentIndex(1);  // pH: the class's titrations
    abscissa_->setCurrentIndex(1);  // against V1
    choice->addWidget(quantity_);
    choice->addWidget(abscissa_);
    choice->addStretch(1);
    overlayLayout->addLayout(choice);
    overlay_ = new QCustomPlot(overlayPage);
    overlay_->setObjectName("chClassOverlay");
    overlay_->legend->setVisible(true);
    overlay_->legend->setFont(pixelFont(12, false));
    overlayLayout->addWidget(overlay_, 1);
    tabs_->addTab(overlayPage, QStringLiteral("Наложение"));
    connect(quantity_, &QComboBox::currentIndexChanged, this, [this] { RefreshOverlay(); });
    connect(abscissa_, &QComboBox::currentIndexChanged, this, [this] { RefreshOverlay(); });

    // The class's results.
    auto* resultsPage = new QWidget(tabs_);
    resultsPage->setObjectName("tsClassResults");
    auto* resultsLayout = new QVBoxLayout(resultsPage);
    results_ = new QTableWidget(resultsPage);
    results_->setObjectName("tbClassResults");
    results_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    results_->verticalHeader()->setVisible(false);
    resultsLayout->addWidget(results_, 1);
    auto* buttons = new QHBoxLayout();
    auto* copy = new QPushButton(QStringLiteral("Копировать"), resultsPage);
    copy->setObjectName("btClassCopy");
    connect(copy, &QPushButton::clicked, this,
            [this] { QApplication::clipboard()->setText(ResultsText()); });
    auto* book = new QPushButton(QStringLiteral("Экспорт класса в Excel..."), resultsPage);
    book->setObjectName("btClassExport");
    connect(book, &QPushButton::clicked, this, [this] {
        const QString name = QFileDialog::getSaveFileName(
            this, windowTitle(), qs(lesson_->Address().className) + QStringLiteral(".xlsx"),
            QStringLiteral("Excel (*.xlsx)"));
        if (!name.isEmpty()) {
            ExportWorkbook(name);
        }
    });
    buttons->addWidget(copy);
    buttons->addWidget(book);
    buttons->addStretch(1);
    resultsLayout->addLayout(buttons);
    tabs_->addTab(resultsPage, QStringLiteral("Результаты"));
    setCentralWidget(central);

    auto* menu = menuBar()->addMenu(QStringLiteral("&Класс"));
    menu->setObjectName("miClass");
    auto* end = menu->addAction(QStringLiteral("Завершить урок"));
    end->setObjectName("acClassEnd");
    connect(end, &QAction::triggered, this, [this] {
        close();  // asks first
    });
    ApplyLanguage(language);

    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, &TfmClassWindow::Refresh);
    timer_->start(kTickMs);
    Refresh();
}

TfmClassWindow::~TfmClassWindow() = default;

void TfmClassWindow::BuildHeader(QWidget* parent, QVBoxLayout* layout) {
    const tLessonAddress& address = lesson_->Address();
    auto* row = new QHBoxLayout();
    auto* text = new QVBoxLayout();
    address_ = new QLabel(parent);
    address_->setObjectName("lbClassAddress");
    address_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    address_->setWordWrap(true);
    QString lines =
        qs(formatText(constantText("DK_CLASS_ADDRESS"), {address.broker, address.className}));
    if (!address.stationAccount.empty()) {
        lines += QLatin1Char('\n') +
                 qs(formatText(constantText("DK_CLASS_ACCOUNT"),
                               {address.broker, address.className, address.stationAccount}));
    }
    if (!address.pageUrl.empty()) {
        lines +=
            QLatin1Char('\n') + qs(formatText(constantText("DK_CLASS_PAGE"), {address.pageUrl}));
    }
    address_->setText(lines);
    address_->setFont(pixelFont(13, false));
    text->addWidget(address_);
    link_ = new QLabel(parent);
    link_->setObjectName("lbClassLink");
    text->addWidget(link_);
    diagnosis_ = new QLabel(parent);
    diagnosis_->setObjectName("lbClassDiagnosis");
    diagnosis_->setWordWrap(true);
    diagnosis_->setStyleSheet(QStringLiteral("color: #a04000; font-weight: bold;"));
    text->addWidget(diagnosis_);
    row->addLayout(text, 1);
    qr_ = new QLabel(parent);
    qr_->setObjectName("imClassQr");
    const QString target = qs(address.pageUrl.empty() ? address.broker : address.pageUrl);
    const QImage code = qrImage(target, kQrScale);
    if (!code.isNull()) {
        qr_->setPixmap(QPixmap::fromImage(code));
        qr_->setToolTip(target);
    }
    row->addWidget(qr_);
    layout->addLayout(row);
}

void TfmClassWindow::ApplyLanguage(const tLanguageFile* language) {
    if (language == nullptr) {
        return;
    }
    for (const std::string& key : localise(*this, language->Translations("TfmClass"))) {
        logFile->WriteLine("LANGUAGE: nothing to translate for " + key);
    }
}

void TfmClassWindow::Refresh() {
    if (ended_) {
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    lesson_->Tick(now);
    const tClassTeacher& teacher = lesson_->Teacher();
    link_->setText(teacher.Connected()
                       ? QString()
                       : qs(formatText(constantText("DK_CLASS_NO_LINK"), {teacher.StatusText()})));
    link_->setVisible(!teacher.Connected());
    std::string diagnosis =
        classDiagnosis(lesson_->Teacher().Roster(), lesson_->Address().broker, now);
    if (!lesson_->BrokerEnded().empty()) {
        diagnosis = formatText(constantText("DK_CLASS_BROKER_ENDED"), {lesson_->BrokerEnded()});
    }
    diagnosis_->setText(qs(diagnosis));
    diagnosis_->setVisible(!diagnosis.empty());
    RefreshCards();
    RefreshOverlay();
    RefreshResults();
}

void TfmClassWindow::RefreshCards() {
    const auto now = std::chrono::steady_clock::now();
    const std::vector<tStationCard>& cards = lesson_->Teacher().Roster().Cards();
    bool order = cards.size() != cards_.size();
    for (const tStationCard& card : cards) {
        if (cards_.count(card.name) == 0) {
            auto* frame = new TfrClassCard(cardsHost_);
            connect(frame, &TfrClassCard::clicked, this,
                    [this, name = card.name] { OpenStation(name); });
            cards_[card.name] = frame;
            order = true;
        }
    }
    if (order) {
        // Gone stations (a cleared status) go; the rest in the roster's order.
        for (auto it = cards_.begin(); it != cards_.end();) {
            if (lesson_->Teacher().Roster().Find(it->first) == nullptr) {
                delete it->second;
                it = cards_.erase(it);
            } else {
                ++it;
            }
        }
        int index = 0;
        for (const tStationCard& card : cards) {
            cardsGrid_->addWidget(cards_[card.name], index / kCardColumns, index % kCardColumns,
                                  Qt::AlignTop);
            ++index;
        }
    }
    answers_->clear();
    for (const tStationCard& card : cards) {
        const tCardText text = cardText(card, now);
        cards_[card.name]->Show(text);
        if (!text.stop.empty()) {
            auto* item = new QListWidgetItem(qs(card.name + ": " + text.stop), answers_);
            if (card.stop != tStationCard::tStop::Done) {
                item->setForeground(QColor(0xc0, 0, 0));
            }
        }
    }
    if (answers_->count() == 0) {
        answers_->addItem(qs(constantText("DK_CLASS_ACKS_NONE")));
    }
}

void TfmClassWindow::RefreshOverlay() {
    const int quantity = quantity_->currentIndex();
    const int abscissa = abscissa_->currentIndex() == 0 ? -1 : abscissa_->currentIndex() + 3;
    const std::string key = std::to_string(quantity) + "/" + std::to_string(abscissa);
    const std::vector<tStationCard>& cards = lesson_->Teacher().Roster().Cards();
    if (key != overlayKey_) {
        overlayKey_ = key;
        overlay_->clearPlottables();
        drawn_.clear();
        overlay_->xAxis->setLabel(abscissa < 0 ? qs(constantText("DK_CLASS_TIME"))
                                               : qs(quantityTitleWithUnit(abscissa)));
        overlay_->yAxis->setLabel(qs(quantityTitleWithUnit(quantity)));
    }
    bool added = false;
    bool newCurve = false;
    for (const tStationCard& card : cards) {
        QCPCurve* curve = nullptr;
        const std::string id = card.name + "\n" + card.run;
        for (int p = 0; p < overlay_->plottableCount(); ++p) {
            if (overlay_->plottable(p)->property("station").toString() == qs(id)) {
                curve = qobject_cast<QCPCurve*>(overlay_->plottable(p));
            }
        }
        if (curve == nullptr) {
            // A station's new run replaces its old curve.
            for (int p = overlay_->plottableCount() - 1; p >= 0; --p) {
                if (overlay_->plottable(p)->property("station").toString().startsWith(
                        qs(card.name + "\n"))) {
                    overlay_->removePlottable(p);
                }
            }
            curve = new QCPCurve(overlay_->xAxis, overlay_->yAxis);
            curve->setProperty("station", qs(id));
            curve->setName(qs(card.name));
            const std::size_t colour = colours_.emplace(card.name, colours_.size()).first->second;
            curve->setPen(QPen(QColor(kColours[colour % std::size(kColours)]), 2));
            drawn_[card.name] = 0;
            added = true;
            newCurve = true;
        }
        std::size_t& from = drawn_[card.name];
        for (; from < card.records.size(); ++from) {
            const tReadingSet& record = card.records[from];
            const double x =
                abscissa < 0 ? record.time : record.readings[static_cast<std::size_t>(abscissa)];
            curve->addData(static_cast<double>(from), x,
                           record.readings[static_cast<std::size_t>(quantity)]);
            added = true;
        }
    }
    if (newCurve) {
        // The legend lists the stations as the cards do, whoever came first.
        overlay_->legend->clearItems();
        for (const tStationCard& card : cards) {
            for (int p = 0; p < overlay_->plottableCount(); ++p) {
                if (overlay_->plottable(p)->name() == qs(card.name)) {
                    overlay_->plottable(p)->addToLegend();
                }
            }
        }
    }
    if (added) {
        overlay_->rescaleAxes();
        overlay_->replot(QCustomPlot::rpQueuedReplot);
    }
}

void TfmClassWindow::RefreshResults() {
    const tClassResults table = tClassResults::From(lesson_->Teacher().Roster());
    const QString text = ResultsText();
    if (text.toStdString() == resultsShown_) {
        return;
    }
    resultsShown_ = text.toStdString();
    const std::vector<std::string> titles = classResultTitles();
    results_->clear();
    results_->setColumnCount(static_cast<int>(titles.size()));
    results_->setRowCount(static_cast<int>(table.rows.size()) + 2);
    for (std::size_t c = 0; c < titles.size(); ++c) {
        results_->setHorizontalHeaderItem(static_cast<int>(c), new QTableWidgetItem(qs(titles[c])));
    }
    // Each column to the digits its numbers carry; deviations alike.
    static constexpr int kDecimals[tClassResults::kColumns] = {1, 0, 3, 3, -1, -1, -1, 4};
    const auto number = [](double value, int decimals) {
        return decimals < 0 ? QString::number(value, 'g', 5)
                            : QString::number(value, 'f', decimals);
    };
    int row = 0;
    for (const tClassResults::tRow& r : table.rows) {
        results_->setItem(row, 0, new QTableWidgetItem(qs(r.station)));
        results_->setItem(row, 1, new QTableWidgetItem(qs(r.experiment)));
        results_->setItem(row, 2, new QTableWidgetItem(qs(r.fit)));
        for (int c = 0; c < tClassResults::kColumns; ++c) {
            if (!r.values[c]) {
                continue;
            }
            QString cell = number(*r.values[c], kDecimals[c]);
            if (r.deviations[c] && table.summary[c].count > 1) {
                // A deviation that rounds to nothing reads "+0.000", not "-0.000".
                QString deviation = number(*r.deviations[c], kDecimals[c]);
                if (deviation.startsWith('-') && deviation.toDouble() == 0) {
                    deviation.remove(0, 1);
                }
                cell += QStringLiteral(" (%1%2)")
                            .arg(deviation.startsWith('-') ? QString() : QStringLiteral("+"))
                            .arg(deviation);
            }
            auto* item = new QTableWidgetItem(cell);
            if (r.outlier[c]) {
                item->setBackground(QColor(0xff, 0xc8, 0xc8));
                item->setForeground(QColor(0xa0, 0, 0));
            }
            results_->setItem(row, 3 + c, item);
        }
        ++row;
    }
    for (const bool mean : {true, false}) {
        auto* title =
            new QTableWidgetItem(qs(constantText(mean ? "DK_CLASS_MEAN" : "DK_CLASS_SD")));
        title->setFont(pixelFont(12, true));
        results_->setItem(row, 0, title);
        for (int c = 0; c < tClassResults::kColumns; ++c) {
            if (table.summary[c].count > 0) {
                results_->setItem(
                    row, 3 + c,
                    new QTableWidgetItem(number(mean ? table.summary[c].mean : table.summary[c].sd,
                                                kDecimals[c] < 0 ? -1 : kDecimals[c] + 1)));
            }
        }
        ++row;
    }
    results_->resizeColumnsToContents();
}

QString TfmClassWindow::ResultsText() const {
    const tClassResults table = tClassResults::From(lesson_->Teacher().Roster());
    return qs(table.Text(classResultTitles(), constantText("DK_CLASS_MEAN"),
                         constantText("DK_CLASS_SD"), localeFacts().decimalSeparator));
}

void TfmClassWindow::ExportWorkbook(const QString& fileName) {
    const tClassResults table = tClassResults::From(lesson_->Teacher().Roster());
    std::vector<tClassSheet> sheets;
    for (const tStationCard& card : lesson_->Teacher().Roster().Cards()) {
        if (!card.records.empty()) {
            sheets.push_back({card.name, &card.records});
        }
    }
    try {
        writeClassWorkbook(fileName.toStdString(), constantText("DK_SHEET_SUMMARY"),
                           table.Text(classResultTitles(), constantText("DK_CLASS_MEAN"),
                                      constantText("DK_CLASS_SD"), '.'),
                           sheets);
        logFile->WriteLine("CLASS: workbook written: " + fileName.toStdString());
    } catch (const std::exception& e) {
        logFile->WriteLine(std::string("CLASS: workbook not written: ") + e.what());
        QMessageBox::warning(this, windowTitle(), qs(std::string(e.what())));
    }
}

std::vector<TfrClassCard*> TfmClassWindow::Cards() const {
    std::vector<TfrClassCard*> cards;
    for (const tStationCard& card : lesson_->Teacher().Roster().Cards()) {
        if (const auto it = cards_.find(card.name); it != cards_.end()) {
            cards.push_back(it->second);
        }
    }
    return cards;
}

void TfmClassWindow::ShowTab(int index) {
    tabs_->setCurrentIndex(index);
}

void TfmClassWindow::OpenStation(const std::string& name) {
    auto* window = new TfmClassRunWindow(*lesson_, name, this);
    if (language_) {
        localise(*window, language_->Translations("TfmClass"));
    }
    window->show();
}

void TfmClassWindow::StopAll() {
    lesson_->Teacher().StopAll(std::chrono::steady_clock::now());
    RefreshCards();
}

void TfmClassWindow::EndLesson() {
    if (ended_) {
        return;
    }
    ended_ = true;
    timer_->stop();
    if (!lesson_->End()) {
        QMessageBox::warning(this, windowTitle(), qs(constantText("DK_CLASS_END_UNREACHED")));
    }
    close();
}

// Closing the view ends the lesson: the broker this program started would
// end with it anyway, and the next lesson must not see this one's stations.
void TfmClassWindow::closeEvent(QCloseEvent* event) {
    if (!ended_) {
        if (QMessageBox::question(this, windowTitle(), qs(constantText("DK_CLASS_END_CONFIRM"))) !=
            QMessageBox::Yes) {
            event->ignore();
            return;
        }
        EndLesson();
    }
    QMainWindow::closeEvent(event);
}

}  // namespace vantrel
