#include "gozsupport/paths.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace fs = std::filesystem;
using goztest::WriteFile;

TEST(GoZPaths, ReadPathOfTheConfigsAndRefuseAnAppPathOver255Bytes) {
    // With the NUL, this app's config path fills the 256-byte buffer exactly.
    const std::string app(255 - std::string(GoZPublicRoot).size() - 3 - 7 - 14, 'a');
    const fs::path root(GoZPublicRoot), fits = root / "GoZApps" / app,
                                        over = root / "GoZApps" / (app + "a");
    const fs::path brush = root / "GoZBrush" / "GoZ_Config.txt";
    for (const fs::path& folder : {fits, over, brush.parent_path()}) {
        fs::remove_all(folder / "GoZ_Config.txt");
        fs::create_directories(folder);
    }
    char dest[64] = "untouched";
    EXPECT_FALSE(GetGoZAppPath(app.c_str(), dest, sizeof dest));
    WriteFile(fits / "GoZ_Config.txt", "NOTPATH = x\n");
    EXPECT_FALSE(GetGoZAppPath(app.c_str(), dest, sizeof dest));
    EXPECT_STREQ(dest, "untouched");
    WriteFile(over / "GoZ_Config.txt", "PATH = x\n");
    EXPECT_FALSE(GetGoZAppPath((app + "a").c_str(), dest, sizeof dest));
    WriteFile(fits / "GoZ_Config.txt", "X = 1\r\n  path = \"\"C:\\Quiltara\\q.exe\"\"\r\n");
    EXPECT_TRUE(GetGoZAppPath(app.c_str(), dest, sizeof dest));
    EXPECT_STREQ(dest, "C:\\Quiltara\\q.exe");

    EXPECT_FALSE(GetGoZBrushPath(dest, sizeof dest));
    WriteFile(brush, "PATH = \"\"C:\\ZBrush\\ZBrush.exe\"\"\n");
    EXPECT_TRUE(GetGoZBrushPath(dest, sizeof dest));
    EXPECT_STREQ(dest, "C:\\ZBrush\\ZBrush.exe");
    for (const fs::path& leftover : {fits, over, brush})
        fs::remove_all(leftover);
}
