#include "gozsupport/paths.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace fs = std::filesystem;
using goztest::WriteFile;

namespace {

// An application folder of its own for each case, so cases never share files.
class AppFolder {
public:
    explicit AppFolder(const std::string& appName) : name(appName) {
        folder = fs::path(GoZPublicRoot) / "GoZApps" / name;
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    ~AppFolder() {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
    void config(const std::string& content) const { WriteFile(folder / "GoZ_Config.txt", content); }
    std::string name;
    fs::path folder;
};

} // namespace

TEST(GoZFolder, ConstantsDescribeThePlatformTree) {
#if defined(_WIN32)
    EXPECT_STREQ(GoZPublicRoot, "C:\\Users\\Public\\Pixologic");
    EXPECT_STREQ(GoZPathSeparator, "\\");
    EXPECT_STREQ(GoZDefaultProjectFolder, "GoZProjects\\Default");
#else
    EXPECT_EQ(GoZPublicRoot[0], '/');
    EXPECT_STREQ(GoZPathSeparator, "/");
    EXPECT_STREQ(GoZDefaultProjectFolder, "GoZProjects/Default");
#endif
    std::string root = GoZPublicRoot;
    EXPECT_NE(root.back(), GoZPathSeparator[0]);
}

TEST(GetGoZAppPath, ReadsQuotedPathWithBlanksInAnyCase) {
    AppFolder app("PathsTestQuoted");
    char dest[1024] = "untouched";
    for (const char* name : {"PATH", "path", "Path"}) {
        app.config(std::string("X = 1\r\n  ") + name +
                   " = \"C:\\Program Files\\Quiltara\\q.exe\"\r\n");
        ASSERT_TRUE(GetGoZAppPath(app.name.c_str(), dest, sizeof dest)) << name;
        EXPECT_STREQ(dest, "C:\\Program Files\\Quiltara\\q.exe");
    }
    app.config("PATH =\n");
    ASSERT_TRUE(GetGoZAppPath(app.name.c_str(), dest, sizeof dest));
    EXPECT_STREQ(dest, "");
}

TEST(GetGoZAppPath, LongPathsAreCutTo255BytesAndThenToTheDestination) {
    AppFolder app("PathsTestLong");
    std::string value(300, 'p');
    app.config("PATH = " + value + "\n");
    char large[1024];
    char medium[512];
    ASSERT_TRUE(GetGoZAppPath(app.name.c_str(), large, sizeof large));
    ASSERT_TRUE(GetGoZAppPath(app.name.c_str(), medium, sizeof medium));
    EXPECT_EQ(std::string(large), value.substr(0, 255));
    EXPECT_EQ(std::string(medium), value.substr(0, 255));
    app.config("PATH = " + value.substr(0, 150) + "\n");
    char small[100];
    ASSERT_TRUE(GetGoZAppPath(app.name.c_str(), small, sizeof small));
    EXPECT_EQ(std::string(small), value.substr(0, 99));
}

TEST(GetGoZAppPath, MissingPiecesGiveFalseAndLeaveTheDestination) {
    char dest[64] = "untouched";
    EXPECT_FALSE(GetGoZAppPath("PathsTestNoSuchApp", dest, sizeof dest));
    AppFolder app("PathsTestNoConfig");
    EXPECT_FALSE(GetGoZAppPath(app.name.c_str(), dest, sizeof dest));
    app.config("NOTPATH = x\n");
    EXPECT_FALSE(GetGoZAppPath(app.name.c_str(), dest, sizeof dest));
    EXPECT_STREQ(dest, "untouched");
}

TEST(GetGoZAppPath, RefusesNamesThatDoNotFitThePathBuffer) {
    // 255 bytes of path and the NUL fill the buffer exactly.
    size_t fixed = std::string(GoZPublicRoot).size() + 3 * 1 + std::string("GoZApps").size() +
                   std::string("GoZ_Config.txt").size();
    std::string fits(255 - fixed, 'a');
    AppFolder app(fits);
    app.config("PATH = ok\n");
    char dest[64] = "untouched";
    EXPECT_TRUE(GetGoZAppPath(fits.c_str(), dest, sizeof dest));
    EXPECT_STREQ(dest, "ok");
    std::string tooLong(fits.size() + 1, 'a');
    EXPECT_FALSE(GetGoZAppPath(tooLong.c_str(), dest, sizeof dest));
    EXPECT_FALSE(GetGoZAppPath(std::string(5000, 'a').c_str(), dest, sizeof dest));
}

TEST(GetGoZBrushPath, ReadsTheGoZBrushConfig) {
    fs::path folder = fs::path(GoZPublicRoot) / "GoZBrush";
    fs::create_directories(folder);
    WriteFile(folder / "GoZ_Config.txt", "PATH = \"\"C:\\ZBrush\\ZBrush.exe\"\"\n");
    char dest[256];
    ASSERT_TRUE(GetGoZBrushPath(dest, sizeof dest));
    EXPECT_STREQ(dest, "C:\\ZBrush\\ZBrush.exe");
    fs::remove(folder / "GoZ_Config.txt");
    EXPECT_FALSE(GetGoZBrushPath(dest, sizeof dest));
}
