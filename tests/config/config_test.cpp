#include "gozsupport/binary.h"
#include "gozsupport/config.h"
#include "tests/support/subprocess.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

using goztest::ReadFile;
using goztest::ScratchDir;
using goztest::WriteFile;

TEST(ReadConfigVariable, LinesNamesBlanksQuotesAndCuts) {
    ScratchDir dir;
    const std::string path = dir.file("c.txt"), v300(300, 'v');
    const struct {
        std::string content, name, expected; // "<false>" when the reader fails
        bool string = false;                 // ReadConfigString strips one more pair of quotes
        int32_t destSize = 1024;
    } cases[] = {
        {"A = 1\r\nPATH = x\r\nB = 2", "B", "2"},
        {"A = 1\rPATH = x\rB = 2", "PATH", "x"},
        {"\r\n\r\nA = 1\n\n\r\nPATH=x", "PATH", "x"},
        {" \t PATH \t=\t  C:\\Q uilt\\q.exe \t \n", "PATH", "C:\\Q uilt\\q.exe"},
        {"PATH = a=b=c", "PATH", "a=b=c"},
        {"PATH = \t ", "PATH", ""},
        {"path = low", "PATH", "low"},
        {"PAT = a\nPATHS = b", "PATH", "<false>"},
        {"= v\n  \nPATH\nPATH = later", "PATH", "later"},
        {"PATH = first\npath = second", "PATH", "first"},
        {"= v", "", "<false>"},
        {"P = \"\"a\"\"", "P", "\"a\""},
        {"P = \"\"a\"\"", "P", "a", true},
        {"P = \"", "P", "\"", true},
        {"P = a\"b\"", "P", "a\"b\""},
        {"P = abcdef", "P", "abc", false, 4},
        {"P = abc", "P", "<false>", false, 0},
        {"P = " + v300, "P", v300.substr(0, 255), true},
        // Names in the file compare on their first 511 bytes; a NUL does not end the scan.
        {std::string(600, 'N') + " = v", std::string(511, 'N'), "v"},
        {std::string("P = a\0b\nQ = 2", 13), "Q", "2"},
    };
    for (const auto& c : cases) {
        WriteFile(path, c.content);
        std::string dest(1024, '#');
        bool found =
            c.string ? ReadConfigString(path.c_str(), c.name.c_str(), dest.data(), c.destSize)
                     : ReadConfigVariable(path.c_str(), c.name.c_str(), dest.data(), c.destSize);
        EXPECT_EQ(found ? dest.c_str() : "<false>", c.expected)
            << testing::PrintToString(c.content) << " name " << c.name;
    }
}

TEST(TypedReaders, BooleanSpellingsAndNumbers) {
    ScratchDir dir;
    std::string path = dir.file("c.txt");
    // 1 reads as true, 0 as false, -1 is refused with the output kept.
    const std::pair<const char*, int> spellings[] = {
        {"True", 1}, {"YES", 1}, {"1", 1},  {"#T", 1}, {"\"true\"", 1}, {"False", 0},
        {"no", 0},   {"0", 0},   {"#F", 0}, {"", -1},  {"t", -1},       {"yes please", -1}};
    for (const auto& [text, expected] : spellings) {
        WriteFile(path, std::string("B = ") + text);
        bool value = expected != 1;
        EXPECT_EQ(ReadConfigBool(path.c_str(), "B", &value), expected >= 0) << text;
        EXPECT_EQ(value, expected == 1 || expected < 0) << text;
    }
    WriteFile(path, "I = -42xyz\nF = -2.5e1x\nJ = abc\n");
    int32_t i = 7;
    float f = 1.0f;
    EXPECT_TRUE(ReadConfigInt(path.c_str(), "I", &i));
    EXPECT_EQ(i, -42);
    EXPECT_TRUE(ReadConfigInt(path.c_str(), "J", &i)); // no number: true, output kept
    EXPECT_EQ(i, -42);
    EXPECT_FALSE(ReadConfigInt(path.c_str(), "K", &i));
    EXPECT_TRUE(ReadConfigFloat(path.c_str(), "F", &f));
    EXPECT_FLOAT_EQ(f, -25.0f);
    EXPECT_TRUE(ReadConfigFloat(path.c_str(), "J", &f)); // no number: true, output kept
    EXPECT_FLOAT_EQ(f, -25.0f);
}

// tolower follows the process locale, which the bridge's Qt takes from the
// user: Turkish leaves I alone or folds 0xDD to i, Latin-1 folds 0xC4 to 0xE4,
// and both write and read numbers with a decimal comma.
TEST(CompareNoCase, FoldsOnlyAToZAndNumbersKeepTheirPointInAnyLocale) {
    ScratchDir dir;
    const std::string path = dir.file("c.txt");
    // The last row: A to Z fold down, not up.
    const std::tuple<const char*, const char*, int> rows[] = {
        {"I", "i", 0},    {"/OPT/QUILTARA", "/opt/quiltara", 0},
        {"\xDD", "i", 1}, {"\xC4", "\xE4", -1},
        {"@", "`", -1},   {"[", "{", -1},
        {"Z", "_", 1}};
    std::vector<const char*> locales{"C"};
#if !defined(_WIN32)
    goztest::ScopedEnvironment where("LOCPATH", GOZ_TEST_LOCALES);
    locales.insert(locales.end(), {"tr_TR.UTF-8", "tr_TR.ISO-8859-9", "de_DE.ISO-8859-1"});
#else
    locales.push_back("German_Germany.1252");
#endif
    for (const char* locale : locales) {
        EXPECT_NE(std::setlocale(LC_ALL, locale), nullptr) << locale << " is missing";
        for (const auto& [a, b, expected] : rows)
            EXPECT_EQ(std::make_pair(CompareNoCase(a, b), CompareNoCaseN(a, b, 9)),
                      std::make_pair(expected, expected))
                << locale << " " << testing::PrintToString(a);
        WriteFile(path, "K\xC4SE = 1\nFILE = 2\nG = 1.5\n");
        char value[8] = "";
        float f = 0;
        EXPECT_FALSE(ReadConfigVariable(path.c_str(), "K\xE4SE", value, sizeof value)) << locale;
        EXPECT_TRUE(ReadConfigVariable(path.c_str(), "file", value, sizeof value)) << locale;
        EXPECT_TRUE(ReadConfigFloat(path.c_str(), "G", &f) && f == 1.5f) << locale << " " << f;
        EXPECT_TRUE(WriteConfigFloat(path.c_str(), "F", 0.1f));
        EXPECT_EQ(ReadFile(path), "K\xC4SE = 1\nFILE = 2\nG = 1.5\nF = 0.100000\n") << locale;
    }
    std::setlocale(LC_ALL, "C");
}
