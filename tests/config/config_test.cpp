#include "gozsupport/config.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <string>

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

using goztest::ScratchDir;
using goztest::WriteFile;

namespace {

// Reads `name` from a file holding `content`; "<false>" when the reader fails.
std::string Read(const std::string& content, const char* name, int32_t destSize = 256) {
    ScratchDir dir;
    std::string path = dir.file("GoZ_Config.txt");
    WriteFile(path, content);
    std::string dest(1024, '#');
    if (!ReadConfigVariable(path.c_str(), name, dest.data(), destSize))
        return "<false>";
    return dest.c_str();
}

std::string ReadString(const std::string& content, const char* name, int32_t destSize = 1024) {
    ScratchDir dir;
    std::string path = dir.file("GoZ_Config.txt");
    WriteFile(path, content);
    std::string dest(1024, '#');
    if (!ReadConfigString(path.c_str(), name, dest.data(), destSize))
        return "<false>";
    return dest.c_str();
}

} // namespace

TEST(CompareNoCase, FoldsAsciiOnlyAndOrdersPrefixFirst) {
    EXPECT_EQ(CompareNoCase("PATH", "path"), 0);
    EXPECT_EQ(CompareNoCase("PAT", "PATH"), -1);
    EXPECT_EQ(CompareNoCase("PATHS", "path"), 1);
    EXPECT_EQ(CompareNoCase("a", "B"), -1);
    EXPECT_EQ(CompareNoCase("\xC4", "\xE4"), -1); // bytes above ASCII keep their case
    EXPECT_EQ(CompareNoCase("\xE4", "a"), 1);     // and compare as unsigned
    EXPECT_EQ(CompareNoCase(nullptr, nullptr), 0);
    EXPECT_EQ(CompareNoCase(nullptr, ""), -1);
    EXPECT_EQ(CompareNoCase("", nullptr), 1);
}

TEST(ReadConfigVariable, LineBreaksOfEveryKindSplitLines) {
    for (const char* br : {"\n", "\r\n", "\r", "\n\n\r\n"}) {
        std::string content = std::string("A = 1") + br + "PATH = x" + br + "B = 2";
        EXPECT_EQ(Read(content, "PATH"), "x") << "break " << testing::PrintToString(br);
        EXPECT_EQ(Read(content, "B"), "2");
    }
    EXPECT_EQ(Read("\r\n\r\nPATH=first", "PATH"), "first");
}

TEST(ReadConfigVariable, BlanksAroundNameAndValueAreIgnored) {
    EXPECT_EQ(Read(" \t PATH \t=\t  C:\\Q uilt\\q.exe \t \n", "PATH"), "C:\\Q uilt\\q.exe");
    EXPECT_EQ(Read("MY NAME = v", "MY NAME"), "v"); // inner blanks belong to the name
    EXPECT_EQ(Read("PATH = a=b=c", "PATH"), "a=b=c");
    EXPECT_EQ(Read("PATH =", "PATH"), "");
    EXPECT_EQ(Read("PATH = \t ", "PATH"), "");
}

TEST(ReadConfigVariable, NameMatchIsWholeAndCaseBlind) {
    EXPECT_EQ(Read("path = low", "PATH"), "low");
    EXPECT_EQ(Read("PAT = a\nPATHS = b", "PATH"), "<false>");
    EXPECT_EQ(Read("= v\n  \nPATH", "PATH"), "<false>"); // bare name, no value: passed over
    EXPECT_EQ(Read("PATH\nPATH = later", "PATH"), "later");
    EXPECT_EQ(Read("A = 1", ""), "<false>");
    EXPECT_EQ(Read("PATH = first\npath = second", "PATH"), "first");
}

TEST(ReadConfigVariable, NamesAreCutTo511Bytes) {
    std::string longName(600, 'n');
    std::string content = longName + " = v";
    EXPECT_EQ(Read(content, std::string(511, 'N').c_str()), "v");
    EXPECT_EQ(Read(content, longName.c_str()), "<false>");
}

TEST(ReadConfigVariable, OnePairOfQuotesPerLayer) {
    EXPECT_EQ(Read("P = \"a b\"", "P"), "a b");
    EXPECT_EQ(Read("P = \"\"a\"\"", "P"), "\"a\"");
    EXPECT_EQ(ReadString("P = \"\"a\"\"", "P"), "a");
    EXPECT_EQ(ReadString("P = \"\"\"a\"\"\"", "P"), "\"a\"");
    EXPECT_EQ(Read("P = \"", "P"), "\"");
    EXPECT_EQ(ReadString("P = \"", "P"), "\"");
    EXPECT_EQ(Read("P = \"\"", "P"), "");
    EXPECT_EQ(Read("P = a\"b\"", "P"), "a\"b\"");
}

TEST(ReadConfigVariable, ValueIsCutToTheDestination) {
    EXPECT_EQ(Read("P = abcdef", "P", 4), "abc");
    EXPECT_EQ(Read("P = abcdef", "P", 1), "");
    EXPECT_EQ(Read("P = abc", "P", 0), "<false>");
    std::string value(300, 'v');
    EXPECT_EQ(ReadString("P = " + value, "P"), value.substr(0, 255));
    EXPECT_EQ(ReadString("P = " + value, "P", 100), value.substr(0, 99));
    EXPECT_EQ(ReadString("P = x", "P", 1), "");
}

TEST(ReadConfigVariable, FailureLeavesTheDestinationAlone) {
    ScratchDir dir;
    std::string dest = "untouched";
    EXPECT_FALSE(ReadConfigVariable(dir.file("missing").c_str(), "P", dest.data(), 10));
    WriteFile(dir.file("empty"), "");
    EXPECT_FALSE(ReadConfigString(dir.file("empty").c_str(), "P", dest.data(), 10));
    EXPECT_FALSE(ReadConfigString(dir.path().string().c_str(), "P", dest.data(), 10)); // a folder
#if !defined(_WIN32)
    // A pipe with no writer must be refused, not waited on.
    ASSERT_EQ(mkfifo(dir.file("pipe").c_str(), 0600), 0);
    EXPECT_FALSE(ReadConfigString(dir.file("pipe").c_str(), "P", dest.data(), 10));
    EXPECT_FALSE(WriteConfigVariable(dir.file("pipe").c_str(), "P", "x"));
#endif
    WriteFile(dir.file("other"), "Q = 1\n");
    EXPECT_FALSE(ReadConfigString(dir.file("other").c_str(), "P", dest.data(), 10));
    EXPECT_EQ(dest, "untouched");
}

TEST(ReadConfigVariable, BytesAfterANulInTheFileDoNotLeak) {
    EXPECT_EQ(Read(std::string("P = a\0b\nQ = 2", 13), "Q"), "2");
}

TEST(TypedReaders, BooleanSpellings) {
    ScratchDir dir;
    std::string path = dir.file("c.txt");
    for (const char* yes : {"True", "YES", "1", "#T", "\"true\""}) {
        WriteFile(path, std::string("B = ") + yes);
        bool value = false;
        EXPECT_TRUE(ReadConfigBool(path.c_str(), "B", &value)) << yes;
        EXPECT_TRUE(value) << yes;
    }
    for (const char* no : {"False", "no", "0", "#F"}) {
        WriteFile(path, std::string("B = ") + no);
        bool value = true;
        EXPECT_TRUE(ReadConfigBool(path.c_str(), "B", &value)) << no;
        EXPECT_FALSE(value) << no;
    }
    for (const char* neither : {"", "t", "on", "yes please"}) {
        WriteFile(path, std::string("B = ") + neither);
        bool value = true;
        EXPECT_FALSE(ReadConfigBool(path.c_str(), "B", &value)) << neither;
        EXPECT_TRUE(value);
    }
}

TEST(TypedReaders, NumbersFollowScanfAndKeepOutputOnGarbage) {
    ScratchDir dir;
    std::string path = dir.file("c.txt");
    WriteFile(path, "I = -42xyz\nF = 2.5e1\nJ = abc\nG = \n");
    int32_t i = 7;
    EXPECT_TRUE(ReadConfigInt(path.c_str(), "I", &i));
    EXPECT_EQ(i, -42);
    i = 7;
    EXPECT_TRUE(ReadConfigInt(path.c_str(), "J", &i));
    EXPECT_EQ(i, 7);
    EXPECT_FALSE(ReadConfigInt(path.c_str(), "K", &i));
    float f = 1.0f;
    EXPECT_TRUE(ReadConfigFloat(path.c_str(), "F", &f));
    EXPECT_FLOAT_EQ(f, 25.0f);
    f = 1.0f;
    EXPECT_TRUE(ReadConfigFloat(path.c_str(), "G", &f));
    EXPECT_FLOAT_EQ(f, 1.0f);
}
