#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "base/CommandLine.h"
#include "base/Locale.h"

// The window tests need a QApplication, and test discovery runs this binary
// at build time without the test environment: without a display the
// offscreen platform must be chosen here, before Qt looks for one.
int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    // Whatever the window keeps of its runs stays out of the user's folders.
    char data[] = "/tmp/vantrel-ui-data-XXXXXX";
    if (mkdtemp(data) != nullptr) {
        setenv("XDG_DATA_HOME", data, 1);
        setenv("XDG_STATE_HOME", data, 1);
    }
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    vantrel::setCommandLine(std::vector<std::string>{});
    vantrel::setLocaleFacts(vantrel::tLocaleFacts{});
    return RUN_ALL_TESTS();
}
