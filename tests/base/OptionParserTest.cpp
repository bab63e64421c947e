#include "base/OptionParser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vantrel {
namespace {

// What the cli options' table does not reach: an optional value, options
// passed over, and the log switches left to the log.
TEST(OptionParser, OptionalValuesSkippedOptionsAndLogSwitches) {
    struct tCase {
        std::vector<std::string> args;
        bool skipUnknown;
        std::string seen;  // "error" when parsing fails
    };
    const tCase cases[] = {
        {{"--count", "3", "--flag"}, false, "count=3 flag"},
        {{"--count", "--flag"}, false, "count=1 flag"},  // the next option is no value
        {{"--count", "x"}, false, "error"},              // not accepted, then unknown "x"
        {{"--count=7"}, false, "count=7"},
        {{"-LOG", "/log_measure", "--flag"}, false, "flag"},
        {{"--other", "--flag"}, true, "flag"},
        {{"--other"}, false, "error"},
    };
    for (const tCase& c : cases) {
        std::string seen;
        tOptionParser parser;
        if (c.skipUnknown) {
            parser.SkipUnknown();
        }
        parser.Flag({"--flag"}, [&] { seen += seen.empty() ? "flag" : " flag"; });
        parser.OptionalValue(
            {"--count"},
            [](std::string_view next) {
                int n = 0;
                return tOptionParser::Number(next, n);
            },
            "1",
            [&](const std::string& value, std::string&) {
                seen += "count=" + value;
                return true;
            });
        std::string error;
        if (!parser.Parse(c.args, error)) {
            seen = "error";
        }
        EXPECT_EQ(seen, c.seen) << c.args.front();
    }
}

}  // namespace
}  // namespace vantrel
