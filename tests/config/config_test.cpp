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

enum Reader { Raw, String };

// Reads `name` from a file holding `content`; "<false>" when the reader fails.
std::string Read(const std::string& content, const char* name, Reader reader = Raw,
                 int32_t destSize = 1024) {
    ScratchDir dir;
    std::string path = dir.file("GoZ_Config.txt");
    WriteFile(path, content);
    std::string dest(1024, '#');
    bool found = reader == Raw ? ReadConfigVariable(path.c_str(), name, dest.data(), destSize)
                               : ReadConfigString(path.c_str(), name, dest.data(), destSize);
    return found ? dest.c_str() : "<false>";
}

} // namespace

TEST(CompareNoCase, FoldsAsciiOnlyAndOrdersPrefixFirst) {
    EXPECT_EQ(CompareNoCase("PATH", "path"), 0);
    EXPECT_EQ(CompareNoCase("PAT", "PATH"), -1);
    EXPECT_EQ(CompareNoCase("PATHS", "path"), 1);
    EXPECT_EQ(CompareNoCase("\xC4", "\xE4"), -1); // bytes above ASCII keep their case
    EXPECT_EQ(CompareNoCase("\xE4", "a"), 1);     // and compare as unsigned
    EXPECT_EQ(CompareNoCase(nullptr, nullptr), 0);
    EXPECT_EQ(CompareNoCase(nullptr, ""), -1);
    EXPECT_EQ(CompareNoCase("", nullptr), 1);
}

TEST(ReadConfigVariable, LinesNamesBlanksAndQuotes) {
    struct Case {
        std::string content;
        std::string name;
        Reader reader;
        int32_t destSize;
        std::string expected;
    };
    const std::string longName(600, 'n');
    const std::string value300(300, 'v');
    const Case cases[] = {
        // Every kind of line break, runs of them included.
        {"A = 1\nPATH = x\nB = 2", "PATH", Raw, 1024, "x"},
        {"A = 1\r\nPATH = x\r\nB = 2", "B", Raw, 1024, "2"},
        {"A = 1\rPATH = x\rB = 2", "PATH", Raw, 1024, "x"},
        {"\r\n\r\nA = 1\n\n\r\nPATH=x", "PATH", Raw, 1024, "x"},
        // Blanks and tabs around name and value; inner blanks and "=" belong.
        {" \t PATH \t=\t  C:\\Q uilt\\q.exe \t \n", "PATH", Raw, 1024, "C:\\Q uilt\\q.exe"},
        {"MY NAME = v", "MY NAME", Raw, 1024, "v"},
        {"PATH = a=b=c", "PATH", Raw, 1024, "a=b=c"},
        {"PATH = \t ", "PATH", Raw, 1024, ""},
        // Whole-name, case-blind matching; the first line wins.
        {"path = low", "PATH", Raw, 1024, "low"},
        {"PAT = a\nPATHS = b", "PATH", Raw, 1024, "<false>"},
        {"= v\n  \nPATH\nPATH = later", "PATH", Raw, 1024, "later"},
        {"PATH = first\npath = second", "PATH", Raw, 1024, "first"},
        {"A = 1", "", Raw, 1024, "<false>"},
        {longName + " = v", std::string(511, 'N'), Raw, 1024, "v"},
        {std::string("P = a\0b\nQ = 2", 13), "Q", Raw, 1024, "2"},
        // One pair of quotes per reader layer.
        {"P = \"a b\"", "P", Raw, 1024, "a b"},
        {"P = \"\"a\"\"", "P", Raw, 1024, "\"a\""},
        {"P = \"\"a\"\"", "P", String, 1024, "a"},
        {"P = \"\"\"a\"\"\"", "P", String, 1024, "\"a\""},
        {"P = \"", "P", String, 1024, "\""},
        {"P = \"\"", "P", Raw, 1024, ""},
        {"P = a\"b\"", "P", Raw, 1024, "a\"b\""},
        // Cut to the destination, and to 255 bytes by the string reader.
        {"P = abcdef", "P", Raw, 4, "abc"},
        {"P = abcdef", "P", String, 1, ""},
        {"P = abc", "P", Raw, 0, "<false>"},
        {"P = " + value300, "P", String, 1024, value300.substr(0, 255)},
        {"P = " + value300, "P", String, 100, value300.substr(0, 99)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Read(c.content, c.name.c_str(), c.reader, c.destSize), c.expected)
            << testing::PrintToString(c.content) << " name " << c.name;
    EXPECT_EQ(Read(longName + " = v", longName.c_str()), "<false>");
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
    EXPECT_EQ(dest, "untouched");
}

TEST(TypedReaders, BooleanSpellingsAndNumbers) {
    ScratchDir dir;
    std::string path = dir.file("c.txt");
    const std::pair<const char*, int> spellings[] = {
        {"True", 1}, {"YES", 1}, {"1", 1},  {"#T", 1}, {"\"true\"", 1}, {"False", 0},
        {"no", 0},   {"0", 0},   {"#F", 0}, {"", -1},  {"t", -1},       {"yes please", -1}};
    for (const auto& [text, expected] : spellings) {
        WriteFile(path, std::string("B = ") + text);
        bool value = expected != 1;
        EXPECT_EQ(ReadConfigBool(path.c_str(), "B", &value), expected >= 0) << text;
        EXPECT_EQ(value, expected == 1 || expected < 0) << text;
    }
    WriteFile(path, "I = -42xyz\nF = 2.5e1\nJ = abc\n");
    int32_t i = 7;
    EXPECT_TRUE(ReadConfigInt(path.c_str(), "I", &i));
    EXPECT_EQ(i, -42);
    EXPECT_TRUE(ReadConfigInt(path.c_str(), "J", &i)); // no number: true, output kept
    EXPECT_EQ(i, -42);
    EXPECT_FALSE(ReadConfigInt(path.c_str(), "K", &i));
    float f = 1.0f;
    EXPECT_TRUE(ReadConfigFloat(path.c_str(), "F", &f));
    EXPECT_FLOAT_EQ(f, 25.0f);
}
