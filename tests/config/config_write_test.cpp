#include "gozsupport/config.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;
using goztest::ReadFile;
using goztest::ScratchDir;
using goztest::WriteFile;

TEST(WriteConfigVariable, RewritesKeepingOtherLinesByteForByte) {
    const struct {
        const char *before, *name, *value;
        const char* after; // "<false>:" and the untouched file when refused
    } cases[] = {
        // Both old lines go, whatever their case; the new one stands last.
        {"PATH = a\r\nX=1\n\npath = b\nY = 2\n", "PATH", "c", "X=1\n\nY = 2\nPATH = c\n"},
        {"\r\n\nA = 1\r\n\r\nB=2\r", "C", "3", "\r\n\nA = 1\r\n\r\nB=2\rC = 3\n"},
        // Empty lines after a removed line go with it.
        {"  c = old  \n\n\nA\n\n", "C", "new", "A\n\nC = new\n"},
        {"A = 1", "B", "2", "A = 1\nB = 2\n"},
        {"", "N", nullptr, "N = \n"},
        // What would break the file is refused.
        {"A = 1\n", "", "v", "<false>:A = 1\n"},
        {"A = 1\n", "B", "two\nlines", "<false>:A = 1\n"},
        {"A = 1\n", "B\r", "v", "<false>:A = 1\n"},
    };
    for (const auto& c : cases) {
        ScratchDir dir;
        std::string path = dir.file("c.txt");
        WriteFile(path, c.before);
        bool written = WriteConfigVariable(path.c_str(), c.name, c.value);
        EXPECT_EQ((written ? "" : "<false>:") + ReadFile(path), c.after)
            << testing::PrintToString(c.before);
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1)
            << "a temporary file was left behind";
    }
}

TEST(WriteConfigVariable, NeverCreatesAFileAndAFailedWriteKeepsTheOldOne) {
    ScratchDir dir;
    std::string path = dir.file("c.txt");
    char dest[] = "untouched";
    for (const std::string& none : {path, dir.path().string()}) { // missing, then a folder
        EXPECT_FALSE(ReadConfigVariable(none.c_str(), "A", dest, sizeof dest)) << none;
        EXPECT_FALSE(WriteConfigVariable(none.c_str(), "A", "1")) << none;
    }
    EXPECT_STREQ(dest, "untouched");
    EXPECT_FALSE(goztest::Exists(path));
    WriteFile(path, "A = 1\n");
    // A folder where the new content would go: the write cannot even start.
    fs::create_directory(path + ".tmp" + std::to_string(getpid()));
    EXPECT_FALSE(WriteConfigVariable(path.c_str(), "B", "2"));
    EXPECT_EQ(ReadFile(path), "A = 1\n");
#if !defined(_WIN32)
    WriteFile(dir.file("real.txt"), "A = 1\n");
    fs::create_symlink("real.txt", dir.file("link.txt"));
    ASSERT_TRUE(WriteConfigVariable(dir.file("link.txt").c_str(), "A", "2"));
    EXPECT_TRUE(fs::is_symlink(dir.file("link.txt")));
    EXPECT_EQ(ReadFile(dir.file("real.txt")), "A = 2\n");
#endif
}

TEST(TypedWriters, QuoteAndFormatTheirValues) {
    ScratchDir dir;
    std::string path = dir.file("c.txt");
    WriteFile(path, "");
    ASSERT_TRUE(WriteConfigBool(path.c_str(), "B", true));
    ASSERT_TRUE(WriteConfigBool(path.c_str(), "C", false));
    ASSERT_TRUE(WriteConfigInt(path.c_str(), "I", -2147483647 - 1));
    ASSERT_TRUE(WriteConfigString(path.c_str(), "S", "\"C:\\Program Files\\Q.exe\""));
    ASSERT_TRUE(WriteConfigFloat(path.c_str(), "F", 0.1f));
    ASSERT_TRUE(WriteConfigFloat(path.c_str(), "G", 0.0000001f));
    ASSERT_TRUE(WriteConfigString(path.c_str(), "T", std::string(253, 'x').c_str()));
    // Cutting would drop the closing quote: refused whole.
    EXPECT_FALSE(WriteConfigString(path.c_str(), "U", std::string(254, 'x').c_str()));
    EXPECT_EQ(ReadFile(path), "B = TRUE\nC = FALSE\nI = -2147483648\n"
                              "S = \"\"C:\\Program Files\\Q.exe\"\"\n"
                              "F = 0.100000\nG = 0.000000\nT = \"" +
                                  std::string(253, 'x') + "\"\n");
}
