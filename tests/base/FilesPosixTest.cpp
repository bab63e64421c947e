#include "base/Files.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "base/Error.h"
#include "support/TempDir.h"

namespace vantrel {
namespace {

using test::readBytes;
using test::tTempDir;
using test::writeBytes;
namespace fs = std::filesystem;

// What a write can meet besides a plain file, all made in a scratch folder:
// nothing may be replaced by an ordinary file, a link keeps pointing where
// it did, and what cannot be written is refused with a message.
TEST(WriteFile, LinksAreFollowedAndDevicesAndPipesWrittenInPlace) {
    tTempDir dir;

    // A link to a file, and a link to a file that does not exist yet.
    writeBytes(dir.file("real.csv"), "old");
    fs::create_symlink("real.csv", dir.file("link.csv"));
    fs::create_symlink(dir.file("later.csv"), dir.file("dangling.csv"));
    writeFileAtomically(dir.file("link.csv"), "new");
    writeFileAtomically(dir.file("dangling.csv"), "made");
    EXPECT_TRUE(fs::is_symlink(dir.file("link.csv")));
    EXPECT_EQ(readBytes(dir.file("real.csv")), "new");
    EXPECT_TRUE(fs::is_symlink(dir.file("dangling.csv")));
    EXPECT_EQ(readBytes(dir.file("later.csv")), "made");

    // A pipe with a reader gets the bytes; without one the write fails
    // instead of blocking. Either way it stays a pipe.
    const std::string fifo = dir.file("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_THROW(writeFileAtomically(fifo, "nobody"), tError);
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    writeFileAtomically(fifo, "through the pipe");
    char buffer[64] = {};
    EXPECT_EQ(::read(reader, buffer, sizeof buffer), 16);
    EXPECT_STREQ(buffer, "through the pipe");
    ::close(reader);
    EXPECT_TRUE(fs::is_fifo(fifo));

    // A character device (a pseudo-terminal of our own) is written directly.
    termios raw{};
    ::cfmakeraw(&raw);
    int master = -1;
    int slave = -1;
    char name[256] = {};
    ASSERT_EQ(::openpty(&master, &slave, name, &raw, nullptr), 0);
    writeFileAtomically(name, "to the device");
    pollfd pfd{master, POLLIN, 0};
    ASSERT_EQ(::poll(&pfd, 1, 1000), 1);
    std::fill(std::begin(buffer), std::end(buffer), 0);
    EXPECT_EQ(::read(master, buffer, sizeof buffer), 13);
    EXPECT_TRUE(fs::is_character_file(name));
    ::close(slave);
    ::close(master);

    // A folder is refused and stays a folder.
    fs::create_directory(dir.file("folder"));
    EXPECT_THROW(writeFileAtomically(dir.file("folder"), "x"), tError);
    EXPECT_TRUE(fs::is_directory(dir.file("folder")));
}

// Files copied from Windows keep the letter case they were given there, and
// a case-sensitive file system then tells "LESSON.TRA" from "LESSON.tra".
TEST(CompanionFile, ExtensionFoundInAnyLetterCaseWhenTheExactNameIsMissing) {
    const struct {
        std::vector<std::string> files;  // present beside "LESSON.EXP"
        std::string found;               // what the lookup of ".tra" gives
    } cases[] = {
        {{"LESSON.tra"}, "LESSON.tra"},
        {{"LESSON.TRA"}, "LESSON.TRA"},
        {{"LESSON.Tra"}, "LESSON.Tra"},
        {{"LESSON.Tra", "LESSON.TRA"}, "LESSON.TRA"},  // the same choice every time
        {{"LESSON.TRA", "LESSON.tra"}, "LESSON.tra"},  // the exact name comes first
        {{"lesson.tra", "Lesson.TRA"}, "LESSON.tra"},  // the name itself is not changed
        {{"LESSON.TRA/"}, "LESSON.tra"},               // a folder is no script
        {{}, "LESSON.tra"},
    };
    for (const auto& c : cases) {
        tTempDir dir;
        for (const std::string& name : c.files) {
            if (name.back() == '/') {
                fs::create_directory(dir.file(name.substr(0, name.size() - 1)));
            } else {
                writeBytes(dir.file(name), "unit X;");
            }
        }
        EXPECT_EQ(companionFile(dir.file("LESSON.EXP"), ".tra"), dir.file(c.found))
            << testing::PrintToString(c.files);
    }
    EXPECT_TRUE(hasExtension("/a.b/KK.Lng", ".lng"));
    EXPECT_FALSE(hasExtension("/a.lng/kk", ".lng"));
}

}  // namespace
}  // namespace vantrel
