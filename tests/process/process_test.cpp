// The lookup against a running copy of a helper that waits until its input ends.
#include "gozsupport/process.h"

#include "tests/support/subprocess.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The identifier the lookup reports for `path`, 0 when it finds none.
uint32_t Lookup(std::string path) {
    uint32_t id = 12345;
    bool found = FindProcessByImagePath(path.data(), id);
    EXPECT_EQ(found, id != 0) << path;
    return id;
}

std::string Replaced(std::string text, char from, char to) {
    std::replace(text.begin(), text.end(), from, to);
    return text;
}

TEST(ProcessLookup, FindsARunningProgramByItsImagePathAlone) {
#if defined(_WIN32)
    // On drive C: under Wine, where the build tree is on Z:.
    goztest::ScratchDir folder(fs::temp_directory_path());
#else
    goztest::ScratchDir folder;
#endif
    std::string path = (folder.path() / "Waiting Helper.exe").string();
    fs::copy_file(goztest::SystemPath(WAITING_HELPER), path);
    goztest::RunningProgram program(path, {});
    ASSERT_TRUE(program.started());
    std::string upper = path;
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));

    std::vector<std::string> matching = {path, upper, Replaced(path, '/', '\\')};
#if defined(_WIN32)
    ASSERT_EQ(path.substr(0, 3), "C:\\");
    // Wine names the image \Device\HarddiskVolumeN\...: the drive is never compared.
    matching.insert(matching.end(), {"D" + path.substr(1), Replaced(path, '\\', '/'),
                                     path.substr(0, 2) + "/" + path.substr(3)});
#endif
    for (const std::string& variant : matching)
        EXPECT_EQ(Lookup(variant), program.processId()) << variant;
    std::string configured = Replaced(path, '/', '\\');
    uint32_t id = 0;
    ASSERT_TRUE(FindProcessByImagePath(configured.data(), id));
    EXPECT_EQ(configured, Replaced(path, '\\', '/')) << "slashes unified in place";

    for (const std::string& other : {(folder.path() / "Waiting Helper2.exe").string(),
                                     (folder.path() / "deeper" / "Waiting Helper.exe").string()})
        EXPECT_EQ(Lookup(other), 0U) << other;
    EXPECT_EQ(program.stop(), 0);
    EXPECT_EQ(Lookup(path), 0U);
}

} // namespace
