#pragma once

#include <QMainWindow>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QComboBox;
class QCustomPlot;
class QGridLayout;
class QLabel;
class QListWidget;
class QPushButton;
class QTableWidget;
class QTabWidget;
class QTimer;
class QVBoxLayout;

namespace vantrel {

class tClassLesson;
class tLanguageFile;
class TfrClassCard;

// The teacher's view of a class: a card per station, the groups' curves of
// one quantity on one chart, the class's results table with its workbook,
// the stop for every station with their answers, and the lesson's end. It
// reads the class and sends only the stop.
class TfmClassWindow : public QMainWindow {
    Q_OBJECT

public:
    TfmClassWindow(std::unique_ptr<tClassLesson> lesson, const tLanguageFile* language,
                   QWidget* parent = nullptr);
    ~TfmClassWindow() override;

    tClassLesson& Lesson() { return *lesson_; }
    // Reads what arrived and redraws (the timer calls it; tests too).
    void Refresh();
    // The stop without the confirmation (the button asks first).
    void StopAll();
    // Ends the lesson without asking and closes the window.
    void EndLesson();
    // The results as the Copy button copies them.
    QString ResultsText() const;
    void ExportWorkbook(const QString& fileName);
    // For tests: the overlay's curves, and the cards' texts.
    QCustomPlot* Overlay() const { return overlay_; }
    QTableWidget* ResultsTable() const { return results_; }
    QListWidget* Answers() const { return answers_; }
    std::vector<TfrClassCard*> Cards() const;
    void ShowTab(int index);
    // Opens a station's run in the charts, read-only (a click on its card).
    void OpenStation(const std::string& name);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildHeader(QWidget* parent, QVBoxLayout* layout);
    void RefreshCards();
    void RefreshOverlay();
    void RefreshResults();
    void ApplyLanguage(const tLanguageFile* language);

    std::unique_ptr<tClassLesson> lesson_;
    QTimer* timer_ = nullptr;
    QLabel* address_ = nullptr;
    QLabel* qr_ = nullptr;
    QLabel* diagnosis_ = nullptr;
    QLabel* link_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    QWidget* cardsHost_ = nullptr;
    QGridLayout* cardsGrid_ = nullptr;
    std::map<std::string, TfrClassCard*> cards_;
    QListWidget* answers_ = nullptr;
    QPushButton* stopAll_ = nullptr;
    QComboBox* quantity_ = nullptr;
    QComboBox* abscissa_ = nullptr;
    QCustomPlot* overlay_ = nullptr;
    std::map<std::string, std::size_t> drawn_;  // records of each station on the overlay
    std::string overlayKey_;                    // quantity and abscissa drawn
    // Each station keeps its colour for the lesson, in the order they came.
    std::map<std::string, std::size_t> colours_;
    QTableWidget* results_ = nullptr;
    std::string resultsShown_;
    bool ended_ = false;
    std::unique_ptr<tLanguageFile> language_;  // as the view opened; none: the built-in
};

}  // namespace vantrel
