#include "gozsupport/paths.h"
#include "tests/support/harness.h"

TEST(GoZPaths, ReadPathOfTheConfigsAndRefuseAnAppPathOver255Bytes) {
    // With the NUL, this app's config path fills the buffer exactly. Two pairs of quotes go.
    const std::string app(255 - std::string(GoZPublicRoot).size() - 3 - 7 - 14, 'a');
    const fs::path root = GoZPublicRoot, apps = root / "GoZApps";
    const fs::path folders[] = {apps / app, apps / (app + "a"), root / "GoZBrush"};
    for (const fs::path& f : folders) {
        fs::create_directories(f);
        goztest::WriteFile(f / "GoZ_Config.txt", "PATH = \"\"" + f.filename().string() + "\"\"");
    }
    char dest[512] = "", brush[16] = "";
    EXPECT_TRUE(GetGoZAppPath(app.c_str(), dest, sizeof dest) && GetGoZBrushPath(brush, 16) &&
                !GetGoZAppPath((app + "a").c_str(), dest, sizeof dest));
    EXPECT_EQ(dest + std::string(" ") + brush, app + " GoZBrush");
    for (const fs::path& f : folders)
        fs::remove_all(f);
}
