// File names in Cyrillic, as teachers name their folders: every file
// function takes them as UTF-8, on Windows as well as on Linux.

#include "base/Paths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "base/Files.h"
#include "base/ProgramFiles.h"
#include "support/TempDir.h"

namespace vantrel {
namespace {

namespace fs = std::filesystem;

TEST(Paths, FilesInACyrillicFolder) {
    test::tTempDir dir;
    const std::string folder = dir.file("Опыты 9 «Б»");
    ASSERT_TRUE(fs::create_directory(pathFromUtf8(folder)));
    EXPECT_EQ(utf8FromPath(pathFromUtf8(folder)), folder);

    const std::string file = folder + "/титрование.csv";
    writeFileAtomically(file, "pH\t7.00\r\n");
    EXPECT_TRUE(fileExists(file));
    std::string bytes;
    ASSERT_TRUE(readFileIfExists(file, bytes));
    EXPECT_EQ(bytes, "pH\t7.00\r\n");
    writeFileAtomically(file, "replaced");  // the rename over an existing file
    ASSERT_TRUE(readFileIfExists(file, bytes));
    EXPECT_EQ(bytes, "replaced");

    const int fd = openDescriptor(file, tOpenMode::Append);
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(writeAllBytes(fd, "+"));
    EXPECT_EQ(syncDescriptor(fd), 0);
    EXPECT_EQ(closeDescriptor(fd), 0);
    EXPECT_LT(openDescriptor(file, tOpenMode::CreateNew), 0) << "it exists";
    ASSERT_TRUE(readFileIfExists(file, bytes));
    EXPECT_EQ(bytes, "replaced+");

    std::string reason;
    EXPECT_TRUE(canWriteFile(folder + "/отчёт.csv", reason)) << reason;
    std::size_t entries = 0;
    for (const auto& entry : fs::directory_iterator(pathFromUtf8(folder))) {
        EXPECT_EQ(utf8FromPath(entry.path().filename()), "титрование.csv");
        ++entries;
    }
    EXPECT_EQ(entries, 1u) << "no temporary file left";

    // A program copied into that folder finds its configuration beside it.
    writeFileAtomically(folder + "/vantrel-cli.cfg", "Timeout=10\n");
    const tProgramFiles files = locateProgramFiles(folder + "/vantrel-cli");
    EXPECT_EQ(utf8FromPath(pathFromUtf8(files.config)),
              utf8FromPath(pathFromUtf8(folder) / "vantrel-cli.cfg"));
    EXPECT_TRUE(fileExists(files.config));
}

}  // namespace
}  // namespace vantrel
