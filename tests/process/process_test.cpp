// The lookup against real processes: copies of a helper program that the
// tests start and that wait until their input ends.
#include "gozsupport/process.h"

#include "tests/support/subprocess.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <optional>

namespace fs = std::filesystem;

namespace {

// What the lookup reports for `path`: the identifier, 0 when it finds none.
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

std::string Upper(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// A copy of the helper, running from a scratch folder of its own: on drive
// C: under Wine, where the build tree is on Z:.
class RunningCopy {
public:
    RunningCopy()
#if defined(_WIN32)
        : folder(fs::temp_directory_path())
#endif
    {
        fs::copy_file(goztest::SystemPath(WAITING_HELPER), path);
        program.emplace(path.string(), std::vector<std::string>{});
        EXPECT_TRUE(program->started());
    }

    goztest::ScratchDir folder; // outlives the program, which is stopped first
    fs::path path = folder.path() / "Waiting Helper.exe";
    std::optional<goztest::RunningProgram> program;
};

TEST(ProcessLookup, FindsARunningProgramByItsConfiguredPath) {
    RunningCopy copy;
    std::string path = copy.path.string();
    uint32_t id = copy.program->processId();

    EXPECT_EQ(Lookup(path), id);
    EXPECT_EQ(Lookup(Upper(path)), id);
#if defined(_WIN32)
    ASSERT_EQ(path.substr(0, 3), "C:\\");
    // Wine names the image \Device\HarddiskVolumeN\...: only the tail after
    // the drive designator is compared, so any drive letter matches.
    EXPECT_EQ(Lookup("D" + path.substr(1)), id);
    EXPECT_EQ(Lookup(Replaced(path, '\\', '/')), id);
    std::string mixed = path;
    mixed[2] = '/';
    EXPECT_EQ(Lookup(mixed), id);
#else
    EXPECT_EQ(Lookup(Replaced(path, '/', '\\')), id);
#endif

    std::string configured = Replaced(path, '/', '\\');
    uint32_t found = 0;
    ASSERT_TRUE(FindProcessByImagePath(configured.data(), found));
    EXPECT_EQ(configured, Replaced(path, '\\', '/'));
}

TEST(ProcessLookup, FindsNothingForAnyOtherPath) {
    RunningCopy copy;
    std::string path = copy.path.string();
    std::string folder = copy.folder.path().string();
    char separator = static_cast<char>(fs::path::preferred_separator);

    EXPECT_EQ(Lookup(folder + separator + "Waiting Helper2.exe"), 0U);
    EXPECT_EQ(Lookup(folder + separator + "deeper" + separator + "Waiting Helper.exe"), 0U);
    // A tail longer than every image name.
    EXPECT_EQ(Lookup(path.substr(0, 2) + std::string(300, 'x') + path.substr(2)), 0U);
    EXPECT_EQ(Lookup(""), 0U);
#if defined(_WIN32)
    // Nothing left to compare: every image would end with it.
    EXPECT_EQ(Lookup("C:"), 0U);
    EXPECT_EQ(Lookup("C"), 0U);
#endif
    uint32_t id = 1;
    EXPECT_FALSE(FindProcessByImagePath(nullptr, id));
    EXPECT_EQ(id, 0U);

    EXPECT_EQ(copy.program->stop(), 0);
    EXPECT_EQ(Lookup(path), 0U);
}

#if defined(_WIN32)
TEST(ProcessLookup, MatchesAProgramOfTheBuildTreeOnDriveZ) {
    goztest::RunningProgram program(WAITING_HELPER, {});
    ASSERT_TRUE(program.started());
    std::string path = goztest::SystemPath(WAITING_HELPER);
    ASSERT_EQ(path.substr(0, 3), "Z:\\");

    EXPECT_EQ(Lookup(path), program.processId());
    EXPECT_EQ(Lookup("C" + path.substr(1)), program.processId());
}
#endif

} // namespace
