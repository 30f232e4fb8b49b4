#include "gozsupport/binary.h"
#include "gozsupport/config.h"
#include "tests/support/harness.h"

#include <clocale>
#include <tuple>

// tolower and "%f" follow the process locale, which the bridge's Qt takes from the user:
// Turkish leaves I alone or folds 0xDD to i, Latin-1 folds 0xC4; both write 1,5.
TEST(ReadConfig, LinesNamesQuotesLimitsAndNumbersInAnyLocale) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("c.txt").toStdString();
    const char* file = path.c_str();
    // Runs of CR and LF end lines; blanks around name and value go; lines without a name or
    // "=" are skipped; the first match wins; one pair of quotes goes; names compare on 511
    // bytes; a NUL does not end the scan; the value is cut. {content, name, value or "<false>"}
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"\r\n\r\nA = 1\r \t PATH \t=\t  q q \t \n\n\r\nB = 2", "PATH", "q q"},
        {"PAT = a\nPATHS = b", "PATH", "<false>"},
        {"= v\n  \nFILE\nFILE = 1\nfile = 2", "file", "1"},
        {"P = \"\"a\"\"", "P", "\"a\""},
        {"P = \"", "P", "\""},
        {"P = abcd", "P", "abc"},
        {std::string(600, 'N') + " = v", std::string(511, 'N'), "v"},
        {std::string("P = a\0b\nQ = 2", 13), "Q", "2"}};
    // Nothing just outside A to Z folds, and A to Z fold down, not up.
    const std::tuple<const char*, const char*, int> folds[] = {
        {"AIZ", "aiz", 0}, {"\xDD", "i", 1}, {"\xC4", "\xE4", -1},
        {"@", "`", -1},    {"[", "{", -1},   {"Z", "_", 1}};
#if defined(_WIN32)
    const char* locales[] = {"C", "German_Germany.1252"};
#else
    qputenv("LOCPATH", GOZ_TEST_LOCALES);
    const char* locales[] = {"C", "tr_TR.UTF-8", "tr_TR.ISO-8859-9", "de_DE.ISO-8859-1"};
#endif
    for (const char* locale : locales) {
        EXPECT_NE(std::setlocale(LC_ALL, locale), nullptr) << locale << " is missing";
        for (const auto& [a, b, expected] : folds)
            EXPECT_EQ(std::make_pair(CompareNoCase(a, b), CompareNoCaseN(a, b, 9)),
                      std::make_pair(expected, expected))
                << locale << " " << testing::PrintToString(a);
        // In code page 932 second bytes do not fold: ア is 83 41, チ 83 61; ャA is 83 83 41.
        EXPECT_EQ(std::make_pair(CompareNoCase("\x83\x41", "\x83\x61"),
                                 CompareNoCaseN("\x83\x83\x41", "\x83\x83\x61", 9)),
                  std::make_pair(goztest::DoubleByteCodePage() ? -1 : 0, 0))
            << locale;
        for (const auto& [content, name, expected] : cases) {
            goztest::WriteFile(path, content);
            char dest[4] = "##";
            bool found = ReadConfigVariable(file, name.c_str(), dest, sizeof dest);
            EXPECT_EQ(found ? dest : "<false>", expected) << locale << " " << name;
        }
        const std::string typed = "B = True\nC = no\nI = -42x\nF = 1.5\n";
        goztest::WriteFile(path, typed);
        auto [b, c, i, f] = std::tuple<bool, bool, int32_t, float>(false, true, 0, 0);
        EXPECT_TRUE(ReadConfigBool(file, "B", &b) && ReadConfigBool(file, "C", &c) &&
                    ReadConfigInt(file, "I", &i) && ReadConfigFloat(file, "F", &f) &&
                    WriteConfigFloat(file, "G", 0.1f) && WriteConfigBool(file, "T", false) &&
                    WriteConfigInt(file, "J", -7));
        EXPECT_EQ(std::make_tuple(b, c, i, f), std::make_tuple(true, false, -42, 1.5f)) << locale;
        EXPECT_EQ(goztest::ReadFile(path), typed + "G = 0.100000\nT = FALSE\nJ = -7\n") << locale;
    }
    std::setlocale(LC_ALL, "C");
}
