#include "gozsupport/config.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#if defined(_WIN32)
#include <process.h>
#else
#include <unistd.h>
#endif

using goztest::Exists;
using goztest::ReadFile;
using goztest::ScratchDir;
using goztest::WriteFile;

namespace {

// Writes `name` = `value` into a file holding `content`; the new content, or "<false>".
std::string Write(const std::string& content, const char* name, const char* value) {
    ScratchDir dir;
    std::string path = dir.file("c.txt");
    WriteFile(path, content);
    if (!WriteConfigVariable(path.c_str(), name, value))
        return "<false>:" + ReadFile(path);
    return ReadFile(path);
}

long CurrentProcessId() {
#if defined(_WIN32)
    return _getpid();
#else
    return getpid();
#endif
}

} // namespace

TEST(WriteConfigVariable, WorkedExample) {
    EXPECT_EQ(Write("PATH = a\r\nX=1\n\npath = b\nY = 2\n", "PATH", "c"),
              "X=1\n\nY = 2\nPATH = c\n");
}

TEST(WriteConfigVariable, KeepsOtherLinesAndTheirBreaksByteForByte) {
    EXPECT_EQ(Write("\r\n\nA = 1\r\n\r\nB=2\r", "C", "3"), "\r\n\nA = 1\r\n\r\nB=2\rC = 3\n");
    // Empty lines after a removed line go with it; after a kept line they stay.
    EXPECT_EQ(Write("  c = old  \n\n\nA\n\n", "C", "new"), "A\n\nC = new\n");
    EXPECT_EQ(Write("C = only", "C", "x"), "C = x\n");
}

TEST(WriteConfigVariable, NewLineStartsItsOwnLineAfterAnUnendedLastLine) {
    EXPECT_EQ(Write("A = 1", "B", "2"), "A = 1\nB = 2\n");
}

TEST(WriteConfigVariable, EmptyOrNullValueWritesTheBareAssignment) {
    EXPECT_EQ(Write("", "N", nullptr), "N = \n");
    EXPECT_EQ(Write("", "N", ""), "N = \n");
}

TEST(WriteConfigVariable, RefusesWhatWouldBreakTheFile) {
    EXPECT_EQ(Write("A = 1\n", "", "v"), "<false>:A = 1\n");
    EXPECT_EQ(Write("A = 1\n", nullptr, "v"), "<false>:A = 1\n");
    EXPECT_EQ(Write("A = 1\n", "B", "two\nlines"), "<false>:A = 1\n");
    EXPECT_EQ(Write("A = 1\n", "B\r", "v"), "<false>:A = 1\n");
}

TEST(WriteConfigVariable, NeverCreatesAFile) {
    ScratchDir dir;
    EXPECT_FALSE(WriteConfigVariable(dir.file("missing.txt").c_str(), "A", "1"));
    EXPECT_FALSE(Exists(dir.file("missing.txt")));
    EXPECT_FALSE(WriteConfigVariable(dir.path().string().c_str(), "A", "1"));
}

TEST(WriteConfigVariable, LeavesNoTemporaryFileBehind) {
    ScratchDir dir;
    WriteFile(dir.file("c.txt"), "A = 1\n");
    ASSERT_TRUE(WriteConfigInt(dir.file("c.txt").c_str(), "B", 2));
    size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path()))
        ++entries;
    EXPECT_EQ(entries, 1u);
}

TEST(WriteConfigVariable, FailedWriteKeepsTheOldFileWhole) {
    ScratchDir dir;
    std::string path = dir.file("c.txt");
    WriteFile(path, "A = 1\n");
    // A folder where the new content would go: the write cannot even start.
    std::filesystem::create_directory(path + ".tmp" + std::to_string(CurrentProcessId()));
    EXPECT_FALSE(WriteConfigVariable(path.c_str(), "B", "2"));
    EXPECT_EQ(ReadFile(path), "A = 1\n");
}

#if !defined(_WIN32)
TEST(WriteConfigVariable, RewritesTheTargetOfALink) {
    ScratchDir dir;
    WriteFile(dir.file("real.txt"), "A = 1\n");
    std::filesystem::create_symlink("real.txt", dir.file("link.txt"));
    ASSERT_TRUE(WriteConfigVariable(dir.file("link.txt").c_str(), "A", "2"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link.txt")));
    EXPECT_EQ(ReadFile(dir.file("real.txt")), "A = 2\n");
}
#endif

TEST(TypedWriters, RoundTripThroughTheReaders) {
    ScratchDir dir;
    std::string path = dir.file("c.txt");
    WriteFile(path, "");
    for (bool value : {true, false}) {
        ASSERT_TRUE(WriteConfigBool(path.c_str(), "B", value));
        bool back = !value;
        ASSERT_TRUE(ReadConfigBool(path.c_str(), "B", &back));
        EXPECT_EQ(back, value);
    }
    ASSERT_TRUE(WriteConfigInt(path.c_str(), "I", -2147483647 - 1));
    ASSERT_TRUE(WriteConfigString(path.c_str(), "S", "\"C:\\Program Files\\Q.exe\""));
    ASSERT_TRUE(WriteConfigFloat(path.c_str(), "F", 0.1f));
    ASSERT_TRUE(WriteConfigFloat(path.c_str(), "G", 0.0000001f));
    EXPECT_EQ(ReadFile(path), "B = FALSE\nI = -2147483648\nS = \"\"C:\\Program Files\\Q.exe\"\"\n"
                              "F = 0.100000\nG = 0.000000\n");
    char text[64];
    ASSERT_TRUE(ReadConfigString(path.c_str(), "S", text, sizeof text));
    EXPECT_STREQ(text, "C:\\Program Files\\Q.exe");
    float g = 5.0f;
    ASSERT_TRUE(ReadConfigFloat(path.c_str(), "G", &g));
    EXPECT_EQ(g, 0.0f);
}

TEST(TypedWriters, StringWriterRefusesWhatItCannotQuoteWhole) {
    ScratchDir dir;
    std::string path = dir.file("c.txt");
    WriteFile(path, "");
    EXPECT_TRUE(WriteConfigString(path.c_str(), "S", std::string(253, 'x').c_str()));
    EXPECT_FALSE(WriteConfigString(path.c_str(), "T", std::string(254, 'x').c_str()));
    EXPECT_EQ(ReadFile(path), "S = \"" + std::string(253, 'x') + "\"\n");
}
