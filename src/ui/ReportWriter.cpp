#include "ui/ReportWriter.h"

#include <QApplication>
#include <QBuffer>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include <qcustomplot.h>

#include "base/Error.h"
#include "base/Files.h"
#include "base/Paths.h"
#include "base/Texts.h"
#include "session/ReportContent.h"
#include "session/RunSummary.h"
#include "ui/ChartPlot.h"
#include "ui/QtText.h"

namespace vantrel {

namespace {

// The pages are laid out in the window's pixels at 100 %, 96 to the inch,
// whatever the printer's resolution: the charts then keep the proportions
// of their lines and lettering as the window shows them.
constexpr double kUnitsPerInch = 96.0;
constexpr double kFooterHeight = 24;
constexpr double kSectionGap = 16;
constexpr double kCellPadding = 3;
// The charts as a window of this size shows them, made to fit the page:
// large enough for fits' captions not to run into each other, small enough
// for the lettering to stay readable on paper.
constexpr double kChartWidth = 800;
constexpr double kChartHeight = 480;
constexpr double kLeastChartScale = 0.8;
constexpr double kWriteOnHeight = 30;
constexpr int kWrap = Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop;
const QColor kInk(0, 0, 0);
const QColor kQuiet(90, 90, 90);
const QColor kRule(160, 160, 160);
const QColor kHeaderFill(236, 236, 236);

QPageLayout a4Layout() {
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(20, 15, 15, 12),
                       QPageLayout::Millimeter);
}

QFont reportFont(int pixels, bool bold) {
    QFont font = pixelFont(pixels, bold);
    // Text is measured at one size and printed at another: the metrics must
    // scale exactly.
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

struct tFonts {
    QFont title = reportFont(22, true);
    QFont heading = reportFont(16, true);
    QFont subheading = reportFont(13, true);
    QFont text = reportFont(13, false);
    QFont label = reportFont(13, true);
    QFont cell = reportFont(12, false);
    QFont cellTitle = reportFont(12, true);
    QFont footer = reportFont(11, false);
};

struct tColumn {
    double width;
    Qt::Alignment align;
};

// Thrown between blocks when the user cancelled the report.
struct tCancelled {};

// A chart counts as this many pages towards the progress: drawing one
// thousands of points long is the report's slowest step.
constexpr int kChartUnits = 2;

// Lays the report out from the top of a page down and begins a new page
// where the next block does not fit. Run once without a painter to count
// the pages, then again with one to draw them, numbered.
class tPageFlow {
public:
    tPageFlow(QPagedPaintDevice& device, QCPPainter* painter, int pages, const tFonts& fonts,
              const tReportWriter::tProgress& progress = {}, int units = 1)
        : device_(device),
          painter_(painter),
          pages_(pages),
          fonts_(fonts),
          progress_(progress),
          units_(std::max(1, units)) {
        scale_ = device.logicalDpiY() / kUnitsPerInch;
        width_ = device.width() / scale_;
        bottom_ = device.height() / scale_ - kFooterHeight;
        StartPage();
    }

    double Width() const { return width_; }
    double Y() const { return y_; }
    double Room() const { return bottom_ - y_; }
    QCPPainter* Painter() const { return painter_; }

    // A new page unless `height` fits below what is there; a block higher
    // than a page begins one and runs over its end.
    void Need(double height) {
        if (y_ > 0 && y_ + height > bottom_) {
            NewPage();
        }
    }
    void Advance(double height) { y_ += height; }
    // Room between sections, not at the top of a page.
    void Gap(double height) {
        if (y_ > 0) {
            y_ = std::min(y_ + height, bottom_);
        }
    }
    // The last page's footer; the number of pages.
    int Finish() {
        Footer();
        Done(1);
        return page_;
    }
    // Charts drawn so far (and, when measuring, to be drawn).
    int Charts() const { return charts_; }
    // `units` more of the report are done: tell it, and stop here when the
    // user cancelled.
    void Done(int units) {
        done_ += units;
        if (progress_ && !progress_(std::min(1.0, double(done_) / units_))) {
            throw tCancelled{};
        }
    }
    void ChartDone() {
        ++charts_;
        if (painter_ != nullptr) {
            Done(kChartUnits);
        }
    }

    double TextHeight(const QFont& font, const QString& text, double width) const {
        if (text.isEmpty()) {
            return QFontMetricsF(font, &device_).height();
        }
        return QFontMetricsF(font, &device_)
            .boundingRect(QRectF(0, 0, std::max(1.0, width), 1e6), kWrap, text)
            .height();
    }
    double TextWidth(const QFont& font, const QString& text) const {
        return QFontMetricsF(font, &device_).horizontalAdvance(text);
    }
    void Text(const QFont& font, const QRectF& box, const QString& text, int flags = kWrap,
              const QColor& ink = kInk) {
        if (painter_ != nullptr && !text.isEmpty()) {
            painter_->setFont(font);
            painter_->setPen(ink);
            painter_->drawText(box, flags, text);
        }
    }
    void Fill(const QRectF& box, const QColor& colour) {
        if (painter_ != nullptr) {
            painter_->fillRect(box, colour);
        }
    }
    void Rule(double x1, double x2, double y, const QColor& colour, double width = 0.7) {
        if (painter_ != nullptr) {
            painter_->setPen(QPen(colour, width));
            painter_->drawLine(QPointF(x1, y), QPointF(x2, y));
        }
    }
    // Text over the width (from `indent`), on the next page when it does
    // not fit on this one.
    void Paragraph(const QFont& font, const QString& text, double indent = 0, double after = 0) {
        const double height = TextHeight(font, text, width_ - indent);
        Need(height);
        Text(font, QRectF(indent, y_, width_ - indent, height), text);
        y_ += height + after;
    }

    // Each column as wide as its widest cell and the longest word of its
    // title (titles wrap between words), the rest of the width shared out.
    std::vector<tColumn> Columns(const tReportTable& table, Qt::Alignment first) const {
        std::vector<double> widths(table.titles.size(), 0.0);
        for (std::size_t i = 0; i < widths.size(); ++i) {
            const QStringList words = qs(table.titles[i])
                                          .replace(QLatin1Char('-'), QStringLiteral("- "))
                                          .split(QLatin1Char(' '), Qt::SkipEmptyParts);
            for (const QString& word : words) {
                widths[i] = std::max(widths[i], TextWidth(fonts_.cellTitle, word));
            }
            for (const std::vector<std::string>& row : table.rows) {
                if (i < row.size()) {
                    widths[i] = std::max(widths[i], TextWidth(fonts_.cell, qs(row[i])));
                }
            }
            widths[i] += 2 * kCellPadding + 8;
        }
        double total = 0;
        for (double w : widths) {
            total += w;
        }
        std::vector<tColumn> columns;
        for (std::size_t i = 0; i < widths.size(); ++i) {
            // Too wide for the page (a very long name): every column narrower.
            const double w = total > width_ ? widths[i] * width_ / total
                                            : widths[i] + (width_ - total) / double(widths.size());
            columns.push_back({w, i == 0 ? first : Qt::AlignRight});
        }
        return columns;
    }

    // What must fit on a page for a table to begin there: its titles and
    // its first row.
    double TableLead(const tReportTable& table, const std::vector<tColumn>& columns) const {
        return RowHeight(table.titles, columns, fonts_.cellTitle) +
               (table.rows.empty() ? 0 : RowHeight(table.rows.front(), columns, fonts_.cell));
    }
    // Rows of cells under a row of titles, repeated on every page the rows
    // run onto.
    void Table(const tReportTable& table, const std::vector<tColumn>& columns) {
        const double header = RowHeight(table.titles, columns, fonts_.cellTitle);
        Need(TableLead(table, columns));
        Row(table.titles, columns, fonts_.cellTitle, header, true);
        for (const std::vector<std::string>& row : table.rows) {
            const double height = RowHeight(row, columns, fonts_.cell);
            if (y_ + height > bottom_) {
                NewPage();
                Row(table.titles, columns, fonts_.cellTitle, header, true);
            }
            Row(row, columns, fonts_.cell, height, false);
        }
    }

private:
    void StartPage() {
        y_ = 0;
        if (painter_ != nullptr) {
            painter_->resetTransform();
            painter_->scale(scale_, scale_);
        }
    }
    void NewPage() {
        Footer();
        if (painter_ != nullptr && !device_.newPage()) {
            throw tError("a new page could not be begun");
        }
        if (painter_ != nullptr) {
            Done(1);
        }
        ++page_;
        StartPage();
    }
    void Footer() {
        Text(fonts_.footer, QRectF(0, bottom_, width_, kFooterHeight),
             qs(reportPageText(page_, pages_)), Qt::AlignHCenter | Qt::AlignBottom, kQuiet);
    }

    double RowHeight(const std::vector<std::string>& cells, const std::vector<tColumn>& columns,
                     const QFont& font) const {
        double height = 0;
        for (std::size_t i = 0; i < cells.size() && i < columns.size(); ++i) {
            height = std::max(height,
                              TextHeight(font, qs(cells[i]), columns[i].width - 2 * kCellPadding));
        }
        return height + 2 * kCellPadding;
    }
    void Row(const std::vector<std::string>& cells, const std::vector<tColumn>& columns,
             const QFont& font, double height, bool titles) {
        double x = 0;
        double right = 0;
        for (const tColumn& column : columns) {
            right += column.width;
        }
        if (titles) {
            Fill(QRectF(0, y_, right, height), kHeaderFill);
        }
        for (std::size_t i = 0; i < cells.size() && i < columns.size(); ++i) {
            const QRectF box(x + kCellPadding, y_ + kCellPadding,
                             columns[i].width - 2 * kCellPadding, height - 2 * kCellPadding);
            const Qt::Alignment vertical = titles ? Qt::AlignBottom : Qt::AlignVCenter;
            Text(font, box, qs(cells[i]), int(columns[i].align | vertical) | Qt::TextWordWrap);
            x += columns[i].width;
        }
        y_ += height;
        Rule(0, right, y_, kRule);
    }

    QPagedPaintDevice& device_;
    QCPPainter* painter_;
    int pages_;
    const tFonts& fonts_;
    tReportWriter::tProgress progress_;
    int units_ = 1;
    int done_ = 0;
    int charts_ = 0;
    double scale_ = 1;
    double width_ = 0;
    double bottom_ = 0;
    double y_ = 0;
    int page_ = 1;
};

// Label and text side by side, the texts in one column.
void labelled(tPageFlow& flow, const tFonts& fonts,
              const std::vector<std::pair<std::string, std::string>>& lines, double labelWidth) {
    const double textWidth = flow.Width() - labelWidth;
    for (const auto& [label, text] : lines) {
        const QString l = qs(label) + QStringLiteral(":");
        const double height = std::max(flow.TextHeight(fonts.label, l, labelWidth - 8),
                                       flow.TextHeight(fonts.text, qs(text), textWidth)) +
                              3;
        flow.Need(height);
        flow.Text(fonts.label, QRectF(0, flow.Y(), labelWidth - 8, height), l);
        flow.Text(fonts.text, QRectF(labelWidth, flow.Y(), textWidth, height), qs(text));
        flow.Advance(height);
    }
}

double chartHeading(const tPageFlow& flow, const tFonts& fonts, const std::string& heading) {
    return flow.TextHeight(fonts.heading, qs(heading), flow.Width()) + 4;
}

void chart(tPageFlow& flow, const tFonts& fonts, const std::string& heading, TChartPlot& plot,
           double scale) {
    const double headingHeight = chartHeading(flow, fonts, heading);
    const double width = std::round(flow.Width() * scale);
    const double height = std::round(width * kChartHeight / kChartWidth);
    flow.Gap(kSectionGap);
    flow.Need(headingHeight + height);
    flow.Text(fonts.heading, QRectF(0, flow.Y(), flow.Width(), headingHeight), qs(heading));
    flow.Advance(headingHeight);
    if (flow.Painter() != nullptr) {
        plot.PaintOn(*flow.Painter(), QRectF(0, flow.Y(), width, height), kChartWidth,
                     [&flow] { flow.Done(0); });
    }
    flow.Advance(height);
    flow.ChartDone();
}

// A heading kept on the page of what follows it (`next` high).
void heading(tPageFlow& flow, const QFont& font, const std::string& text, double next,
             double after = 4) {
    const double height = flow.TextHeight(font, qs(text), flow.Width());
    flow.Need(height + next);
    flow.Text(font, QRectF(0, flow.Y(), flow.Width(), height), qs(text));
    flow.Advance(height + after);
}

void layOut(tPageFlow& flow, const tFonts& fonts, const tReportContent& c, TChartPlot& time,
            TChartPlot& depend) {
    const double width = flow.Width();
    flow.Paragraph(fonts.title, qs(c.title), 0, 10);

    // The labels' column as wide as the widest of them, within reason.
    std::vector<std::pair<std::string, std::string>> facts = c.facts;
    facts.emplace_back(c.studentLabel, c.student);
    double labelWidth = 0;
    for (const auto& line : facts) {
        labelWidth = std::max(labelWidth, flow.TextWidth(fonts.label, qs(line.first + ":")));
    }
    labelWidth = std::min(labelWidth + 16, width * 0.45);
    facts.pop_back();
    labelled(flow, fonts, facts, labelWidth);
    if (c.student.empty()) {
        // Room to write the name and class by hand, on a line.
        flow.Need(kWriteOnHeight);
        flow.Text(fonts.label, QRectF(0, flow.Y(), labelWidth - 8, kWriteOnHeight),
                  qs(c.studentLabel + ":"), Qt::AlignLeft | Qt::AlignBottom);
        flow.Rule(labelWidth, width, flow.Y() + kWriteOnHeight - 2, kInk);
        flow.Advance(kWriteOnHeight);
    } else {
        labelled(flow, fonts, {{c.studentLabel, c.student}}, labelWidth);
    }

    if (c.dependChart.empty()) {
        chart(flow, fonts, c.timeChart, time, 1.0);
    } else {
        // Both charts on the first page when they need to be made only a
        // little smaller for it.
        const double headings = 2 * kSectionGap + chartHeading(flow, fonts, c.timeChart) +
                                chartHeading(flow, fonts, c.dependChart);
        const double full = 2 * std::round(width * kChartHeight / kChartWidth);
        const double fit = (flow.Room() - headings) / full;
        const double scale = fit < 1 && fit >= kLeastChartScale ? fit : 1.0;
        chart(flow, fonts, c.timeChart, time, scale);
        chart(flow, fonts, c.dependChart, depend, scale);
    }

    const double line = flow.TextHeight(fonts.text, QStringLiteral("0"), width);
    flow.Gap(kSectionGap);
    heading(flow, fonts.heading, c.results, 2 * line);
    labelled(flow, fonts, c.equivalence, labelWidth);

    flow.Gap(6);
    heading(flow, fonts.subheading, c.fitsTitle,
            c.fits.empty() ? line : flow.TextHeight(fonts.text, qs(c.fits.front()), width));
    if (c.fits.empty()) {
        flow.Paragraph(fonts.text, qs(c.none), 0, 4);
    }
    for (const std::string& fit : c.fits) {
        flow.Paragraph(fonts.text, qs(fit), 0, 6);
    }

    flow.Gap(6);
    if (c.statistics.rows.empty()) {
        heading(flow, fonts.subheading, c.statisticsTitle, line);
        flow.Paragraph(fonts.text, qs(c.none), 0, 4);
    } else {
        const std::vector<tColumn> columns = flow.Columns(c.statistics, Qt::AlignLeft);
        heading(flow, fonts.subheading, c.statisticsTitle,
                line + 4 + flow.TableLead(c.statistics, columns));
        flow.Paragraph(fonts.text, qs(c.statisticsRange), 0, 4);
        flow.Table(c.statistics, columns);
    }

    flow.Gap(kSectionGap);
    if (c.marks.rows.empty()) {
        heading(flow, fonts.heading, c.marksTitle, line);
        flow.Paragraph(fonts.text, qs(c.none));
        return;
    }
    const std::vector<tColumn> columns = flow.Columns(c.marks, Qt::AlignRight);
    heading(flow, fonts.heading, c.marksTitle, flow.TableLead(c.marks, columns));
    flow.Table(c.marks, columns);
}

}  // namespace

tReportWriter::tReportWriter(const tChartModel& model, TChartPlot& time, TChartPlot& depend,
                             QWidget& window)
    : model_(model), time_(time), depend_(depend), window_(window) {}

bool tReportWriter::Paint(QPagedPaintDevice& device, const tReportContent& content,
                          const tProgress& progress) {
    const tFonts fonts;
    int pages = 0;
    int charts = 0;
    {
        tPageFlow measure(device, nullptr, 0, fonts);
        layOut(measure, fonts, content, time_, depend_);
        pages = measure.Finish();
        charts = measure.Charts();
    }
    QCPPainter painter;
    if (!painter.begin(&device)) {
        throw tError("the pages could not be painted");
    }
    // Lines and text as lines and text (no cached pictures); hairlines a
    // pixel wide, not a printer's dot.
    painter.setMode(QCPPainter::pmVectorized);
    painter.setMode(QCPPainter::pmNoCaching);
    painter.setMode(QCPPainter::pmNonCosmetic);
    tPageFlow flow(device, &painter, pages, fonts, progress, pages + kChartUnits * charts);
    try {
        flow.Done(0);
        layOut(flow, fonts, content, time_, depend_);
        flow.Finish();
    } catch (const tCancelled&) {
        // Pages already sent to a printer are taken back where it can.
        if (auto* printer = dynamic_cast<QPrinter*>(&device)) {
            printer->abort();
        }
        painter.end();
        return false;
    }
    if (!painter.end()) {
        throw tError("the pages could not be finished");
    }
    return true;
}

namespace {

// Shown while a long report is painted; a short one is done before it
// would appear.
class tReportProgress {
public:
    tReportProgress(QWidget& window, const std::string& fileName) {
        if (!window.isVisible()) {
            return;  // the report of the command line: nobody to show it to
        }
        dialog_ = std::make_unique<QProgressDialog>(&window);
        dialog_->setObjectName("fmReportProgress");
        dialog_->setWindowModality(Qt::WindowModal);
        dialog_->setWindowTitle(qs(constantText("DK_REPORT_TITLE")));
        dialog_->setLabelText(
            fileName.empty() ? qs(constantText("DK_REPORT_TITLE"))
                             : qs(formatText(constantText("DK_REPORT_WRITING"),
                                             {utf8FromPath(pathFromUtf8(fileName).filename())})));
        // The toolkit's own word, which every shipped language translates.
        dialog_->setCancelButtonText(QCoreApplication::translate("QPlatformTheme", "Cancel"));
        dialog_->setRange(0, kSteps);
        dialog_->setMinimumDuration(kShowAfterMs);
        dialog_->setAutoClose(false);
        dialog_->setAutoReset(false);
        dialog_->setValue(0);
    }
    ~tReportProgress() {
        if (dialog_ != nullptr) {
            dialog_->close();
        }
    }
    tReportWriter::tProgress Step() {
        if (dialog_ == nullptr) {
            return {};
        }
        return [this](double done) {
            // A window-modal dialog lets the events through here: the window
            // repaints, the clock ticks, Cancel can be pressed.
            dialog_->setValue(int(std::lround(done * kSteps)));
            QApplication::processEvents();
            return !dialog_->wasCanceled();
        };
    }

private:
    static constexpr int kSteps = 1000;
    static constexpr int kShowAfterMs = 300;
    std::unique_ptr<QProgressDialog> dialog_;
};

}  // namespace

bool tReportWriter::WriteReport(const std::string& fileName, const tRunSummary& summary,
                                const std::string& student) {
    tReportProgress progress(window_, fileName);
    const tReportContent content =
        reportContent(summary, model_.Data(), model_.Abscissa(), student);
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setPageLayout(a4Layout());
        writer.setTitle(qs(content.title));
        writer.setCreator(QStringLiteral("Vantrel"));
        if (!Paint(writer, content, progress.Step())) {
            return false;
        }
    }
    // Whole or not at all: a failure leaves no half a file behind.
    writeFileAtomically(fileName, std::string_view(bytes.constData(), std::size_t(bytes.size())));
    return true;
}

bool tReportWriter::PrintReport(const tRunSummary& summary, const std::string& student) {
    const tReportContent content =
        reportContent(summary, model_.Data(), model_.Abscissa(), student);
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(a4Layout());
    printer.setDocName(qs(content.title));
    QPrintDialog dialog(&printer, &window_);
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    tReportProgress progress(window_, {});
    if (!Paint(printer, content, progress.Step())) {
        return false;
    }
    if (printer.printerState() == QPrinter::Error) {
        throw tError("the printer reported an error");
    }
    return true;
}

}  // namespace vantrel
