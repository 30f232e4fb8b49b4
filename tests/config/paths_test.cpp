#include "gozsupport/paths.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace fs = std::filesystem;
using goztest::WriteFile;

namespace {

// An application folder of its own for each case, so cases never share files.
struct AppFolder {
    explicit AppFolder(const std::string& appName)
        : name(appName), folder(fs::path(GoZPublicRoot) / "GoZApps" / name) {
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

TEST(GetGoZAppPath, ReadsPathUnquotedInAnyCaseCutTo255AndToTheDestination) {
#if defined(_WIN32)
    EXPECT_STREQ(GoZPublicRoot, "C:\\Users\\Public\\Pixologic");
    EXPECT_STREQ(GoZPathSeparator, "\\");
#endif
    AppFolder app("PathsTestRead");
    char dest[1024];
    for (const char* name : {"PATH", "path", "Path"}) {
        app.config(std::string("X = 1\r\n  ") + name +
                   " = \"C:\\Program Files\\Quiltara\\q.exe\"\r\n");
        ASSERT_TRUE(GetGoZAppPath(app.name.c_str(), dest, sizeof dest)) << name;
        EXPECT_STREQ(dest, "C:\\Program Files\\Quiltara\\q.exe");
    }
    std::string value(300, 'p');
    app.config("PATH = " + value + "\n");
    char medium[512];
    ASSERT_TRUE(GetGoZAppPath(app.name.c_str(), dest, sizeof dest));
    ASSERT_TRUE(GetGoZAppPath(app.name.c_str(), medium, sizeof medium));
    EXPECT_EQ(std::string(dest), value.substr(0, 255));
    EXPECT_EQ(std::string(medium), value.substr(0, 255));
    ASSERT_TRUE(GetGoZAppPath(app.name.c_str(), dest, 100));
    EXPECT_EQ(std::string(dest), value.substr(0, 99));
}

TEST(GetGoZAppPath, MissingPiecesAndOverlongNamesGiveFalse) {
    char dest[64] = "untouched";
    EXPECT_FALSE(GetGoZAppPath("PathsTestNoSuchApp", dest, sizeof dest));
    AppFolder app("PathsTestNoConfig");
    EXPECT_FALSE(GetGoZAppPath(app.name.c_str(), dest, sizeof dest));
    app.config("NOTPATH = x\n");
    EXPECT_FALSE(GetGoZAppPath(app.name.c_str(), dest, sizeof dest));
    EXPECT_STREQ(dest, "untouched");

    // 255 bytes of path and the NUL fill the 256-byte buffer exactly.
    size_t fixed = std::string(GoZPublicRoot).size() + 3 + 7 + 14;
    AppFolder fits(std::string(255 - fixed, 'a'));
    fits.config("PATH = ok\n");
    EXPECT_TRUE(GetGoZAppPath(fits.name.c_str(), dest, sizeof dest));
    EXPECT_STREQ(dest, "ok");
    EXPECT_FALSE(GetGoZAppPath((fits.name + "a").c_str(), dest, sizeof dest));
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
