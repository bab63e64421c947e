#include "base/OptionParser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vantrel {
namespace {

// What the cli options' table does not reach: an optional value, options
// passed over, the log switches left to the log, and arguments that are no
// option.
TEST(OptionParser, OptionalValuesSkippedOptionsLogSwitchesAndPositionals) {
    struct tCase {
        std::vector<std::string> args;
        bool skipUnknown;
        bool positional;   // takes one argument that is no option
        std::string seen;  // "error" when parsing fails
    };
    const tCase cases[] = {
        {{"--count", "3", "--flag"}, false, false, "count=3 flag"},
        {{"--count", "--flag"}, false, false, "count=1 flag"},  // the next option is no value
        {{"--count", "x"}, false, false, "error"},              // not accepted, then unknown "x"
        {{"--count=7"}, false, false, "count=7"},
        {{"-LOG", "/log_measure", "--flag"}, false, false, "flag"},
        {{"--other", "--flag"}, true, false, "flag"},
        {{"--other"}, false, false, "error"},
        {{"--count", "x", "--flag"}, false, true, "count=1 run=x flag"},
        {{"x", "-LOG", "--count", "2"}, false, true, "run=x count=2"},
        {{"x", "y"}, false, true, "error"},   // the handler takes one only
        {{"x", "-q"}, false, true, "error"},  // a dash starts an option
        {{"--other", "x"}, true, true, "run=x"},
    };
    for (const tCase& c : cases) {
        std::string seen;
        tOptionParser parser;
        if (c.skipUnknown) {
            parser.SkipUnknown();
        }
        if (c.positional) {
            parser.Positional([&](const std::string& value, std::string& why) {
                if (seen.find("run=") != std::string::npos) {
                    why = "one run only";
                    return false;
                }
                seen += (seen.empty() ? "run=" : " run=") + value;
                return true;
            });
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
                seen += (seen.empty() ? "count=" : " count=") + value;
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
