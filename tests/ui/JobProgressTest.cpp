// A long job beside the window: the window's timers go on while it runs,
// and the dialog's cancel button reaches the job.

#include <gtest/gtest.h>

#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <chrono>
#include <thread>

#include "session/Workbook.h"
#include "ui/JobProgress.h"

namespace vantrel {
namespace {

using namespace std::chrono_literals;

TEST(JobProgressTest, TheWindowGoesOnAndCancelReachesTheJob) {
    QWidget window;
    tJobProgress runner(window);
    int ticks = 0;
    QTimer clock;
    clock.setInterval(10);
    QObject::connect(&clock, &QTimer::timeout, [&] { ++ticks; });
    clock.start();
    QTimer::singleShot(300, &window, [&] {
        if (auto* dialog = window.findChild<QProgressDialog*>()) {
            dialog->findChild<QPushButton*>()->click();
        }
    });
    bool toldToStop = false;
    EXPECT_THROW(runner.Run("job",
                            [&](const tWorkbookProgress& progress) {
                                const auto deadline = std::chrono::steady_clock::now() + 10s;
                                while (std::chrono::steady_clock::now() < deadline) {
                                    if (!progress(0.5)) {
                                        toldToStop = true;
                                        throw tWorkbookCancelled();
                                    }
                                    std::this_thread::sleep_for(5ms);
                                }
                            }),
                 tWorkbookCancelled);
    EXPECT_TRUE(toldToStop);
    EXPECT_GE(ticks, 10) << "the window's timers stood still";
}

}  // namespace
}  // namespace vantrel
