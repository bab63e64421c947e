#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/CliOptions.h"
#include "run/Quantities.h"

namespace vantrel {
namespace {

using tArgs = std::vector<std::string>;

TEST(CliOptions, EveryOptionReachesItsField) {
    tCliOptions options;
    std::string error;
    const tArgs args = {"--config",   "a.cfg",       "--port",       "/dev/ttyUSB1",
                        "-LOG",       "--port=COM7", "/log_measure", "--period",
                        "60000",      "--duration",  "1.5",          "--records=50",
                        "--relative", "lp,V3,LE",    "--export",     "run.csv"};
    ASSERT_TRUE(parseCliOptions(args, options, error)) << error;
    EXPECT_EQ(options.configFile, "a.cfg");
    EXPECT_EQ(options.ports, (std::vector<std::string>{"/dev/ttyUSB1", "COM7"}));
    EXPECT_EQ(options.periodMs, 60000);
    ASSERT_TRUE(options.durationSeconds.has_value());
    EXPECT_DOUBLE_EQ(*options.durationSeconds, 1.5);
    ASSERT_TRUE(options.records.has_value());
    EXPECT_EQ(*options.records, 50);
    // LT LP LC LE V1 V2 V3
    EXPECT_EQ(options.relative,
              (std::array<bool, kQuantityCount>{false, true, false, true, false, false, true}));
    EXPECT_EQ(options.exportFile, "run.csv");

    ASSERT_TRUE(parseCliOptions({"--simulate", "--period", "200"}, options, error)) << error;
    EXPECT_TRUE(options.simulate);
    EXPECT_EQ(options.periodMs, 200);
    EXPECT_TRUE(options.ports.empty()) << "a second parse starts from the defaults";

    // A recorded titration evaluated later needs no scenario.
    ASSERT_TRUE(parseCliOptions({"--replay", "run.csv", "--equivalence", "v3"}, options, error))
        << error;
    EXPECT_EQ(options.replayFile, "run.csv");
    EXPECT_EQ(options.equivalence, qV3);
}

TEST(CliOptions, RefusesWhatItCannotUse) {
    struct tCase {
        tArgs args;
        std::string mentions;  // the error names what is wrong
    };
    const std::vector<tCase> cases = {
        {{"--port"}, "--port needs a value"},
        {{"--export"}, "--export needs a value"},
        {{"--export="}, "--export"},
        // The next option is not a file name; --export=--odd-name still is.
        {{"--export", "--simulate"}, "--export needs a value"},
        {{"--config", "--port", "/dev/x"}, "--config needs a value"},
        {{"--period", "199"}, "--period"},
        {{"--period", "60001"}, "--period"},
        {{"--period", "2e3"}, "--period"},
        {{"--period", ""}, "--period"},
        {{"--duration", "0"}, "--duration"},
        {{"--duration", "-5"}, "--duration"},
        {{"--duration", "nan"}, "--duration"},
        {{"--duration", "inf"}, "--duration"},
        {{"--duration", "10s"}, "--duration"},
        {{"--records", "0"}, "--records"},
        {{"--records", "-1"}, "--records"},
        {{"--records", "2.5"}, "--records"},
        {{"--relative", "LT,pH"}, "pH"},
        {{"--relative", "LT,"}, "--relative"},
        {{"--relative", ""}, "--relative"},
        {{"--port", "/dev/a;/dev/b"}, "--port"},
        {{"--simulate", "--port", "/dev/ttyS0"}, "--simulate"},
        {{"--simulate=yes"}, "--simulate takes no value"},
        {{"--equivalence", "LP"}, "'LP' is not a dosed volume"},
        {{"--equivalence", "V4"}, "V1, V2 or V3"},
        {{"--equivalence", "V1", "--runs"}, "not with --check, --runs"},
        {{"--replay", "run.csv"}, "--replay needs --scenario"},
        {{"--fit", "LT"}, "--fit: expected Q,MODEL[,X]"},
        {{"--fit", "LT,cubic"}, "'cubic' is no model"},
        {{"--area", "LX"}, "'LX' is no quantity"},
        {{"--area", "V1,V1"}, "no other quantity"},
        {{"--fit", "LT,linear", "--from", "9", "--to", "1"}, "--from is after --to"},
        {{"--frobnicate"}, "--frobnicate"},
        {{"-LOGS"}, "-LOGS"},
        {{"out.csv"}, "out.csv"},
    };
    for (const tCase& c : cases) {
        tCliOptions options;
        std::string error;
        std::string shown;
        for (const std::string& a : c.args) {
            shown += "[" + a + "]";
        }
        EXPECT_FALSE(parseCliOptions(c.args, options, error)) << shown;
        EXPECT_NE(error.find(c.mentions), std::string::npos) << shown << " gave: " << error;
    }
}

}  // namespace
}  // namespace vantrel
