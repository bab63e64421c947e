#include "ui/JobProgress.h"

#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <exception>
#include <thread>

#include "base/Texts.h"
#include "ui/QtText.h"

namespace vantrel {

namespace {

constexpr int kSteps = 1000;
constexpr int kPollMs = 25;
// A short job ends before anything flashes up.
constexpr int kShowAfterMs = 300;

}  // namespace

tJobProgress::tJobProgress(QWidget& window) : QObject(&window), window_(window) {}

void tJobProgress::Run(const std::string& title, const tJob& job) {
    std::atomic<int> steps{0};
    std::atomic<bool> cancelled{false};
    std::atomic<bool> finished{false};
    std::exception_ptr error;

    QProgressDialog dialog(qs(title), qs(constantText("DK_CANCEL")), 0, kSteps, &window_);
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setMinimumDuration(kShowAfterMs);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    dialog.setValue(0);
    QObject::connect(&dialog, &QProgressDialog::canceled, &dialog, [&] {
        cancelled = true;
        dialog.setLabelText(qs(constantText("DK_CANCEL")) + QStringLiteral("..."));
    });

    std::thread worker([&] {
        try {
            job([&](double done) {
                steps = static_cast<int>(done * kSteps);
                return !cancelled.load();
            });
        } catch (...) {
            error = std::current_exception();
        }
        finished = true;
    });

    QEventLoop loop;
    QTimer poll;
    poll.setInterval(kPollMs);
    bool polling = false;  // a modal dialog's setValue runs the events itself
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (polling) {
            return;
        }
        polling = true;
        if (finished) {
            loop.quit();
        } else if (!cancelled) {
            dialog.setValue(steps.load());
        }
        polling = false;
    });
    poll.start();
    if (!finished) {
        loop.exec();
    }
    // The loop also ends when the program quits: the job is then told to stop.
    if (!finished) {
        cancelled = true;
    }
    worker.join();
    poll.stop();
    dialog.reset();
    if (error) {
        std::rethrow_exception(error);
    }
}

}  // namespace vantrel
