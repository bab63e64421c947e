#include <gtest/gtest.h>

#include "base/CommandLine.h"
#include "base/Locale.h"

// Every test starts from the same ground: no command-line switches and a
// "." decimal separator, whatever the machine's locale says.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    vantrel::setCommandLine(std::vector<std::string>{});
    vantrel::setLocaleFacts(vantrel::tLocaleFacts{});
    return RUN_ALL_TESTS();
}
