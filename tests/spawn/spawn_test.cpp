#include "gozsupport/spawn.h"
#include "gozsupport/syserror.h"
#include "tests/support/subprocess.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <utility>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace {

constexpr char kMarker[] = "----------<::>-GoZ";

int32_t FailedStartCode(const char* path) {
    std::string line = kMarker;
    int32_t code = 0;
    EXPECT_FALSE(StartProgram(path, line.data(), code)) << (path ? path : "null");
    return code;
}

TEST(StartProgram, HandsOverTheMarkerAloneAndDoesNotWait) {
    goztest::ScratchDir scratch;
    std::string record = scratch.file("record"), release = scratch.file("release");
    goztest::ScopedEnvironment recordVariable("GOZ_PROBE_RECORD", record);
    goztest::ScopedEnvironment releaseVariable("GOZ_PROBE_RELEASE", release);
    // Slashes throughout, as the bridge passes the path after its search.
    std::string probe = goztest::SystemPath(SPAWN_PROBE);
    std::replace(probe.begin(), probe.end(), '\\', '/');
#if defined(_WIN32)
    std::string expected = std::string("commandline: ") + kMarker + "\n";
#else
    std::string expected = std::string("arguments: 1\nargument: ") + kMarker + "\n";
#endif

    std::string line = kMarker;
    int32_t code = 12345;
    ASSERT_TRUE(StartProgram(probe.c_str(), line.data(), code));
    EXPECT_EQ(code, 0);
    // The probe stays until released: StartProgram came back while it runs.
    EXPECT_TRUE(goztest::WaitFor([&] { return goztest::ReadFile(record) == expected; }))
        << goztest::ReadFile(record);
    goztest::WriteFile(release, "");
    EXPECT_TRUE(goztest::WaitFor([&] { return !goztest::Exists(release); })) << "it did not end";
}

TEST(StartProgram, FailsInTheCallerWithTheSystemErrorCode) {
    goztest::ScratchDir scratch;
    std::string text = scratch.file("notes.exe");
    goztest::WriteFile(text, "no program here\n");
#if defined(_WIN32)
    const std::pair<std::string, int32_t> cases[] = {
        {scratch.file("missing.exe"), ERROR_FILE_NOT_FOUND},
        {scratch.file("no-folder/missing.exe"), ERROR_PATH_NOT_FOUND},
        {text, ERROR_BAD_EXE_FORMAT}};
#else
    chmod(text.c_str(), 0755); // even marked executable, a text file is no program
    const std::pair<std::string, int32_t> cases[] = {{scratch.file("missing.exe"), ENOENT},
                                                     {text, ENOEXEC}};
#endif
    for (const auto& [path, expected] : cases)
        EXPECT_EQ(FailedStartCode(path.c_str()), expected) << path;

    int32_t empty = FailedStartCode("");
    EXPECT_NE(empty, 0);
    EXPECT_NE(empty, -1);
    EXPECT_EQ(FailedStartCode(nullptr), GenericSystemErrorCode());
}

TEST(FailureCode, NeverReadsAsNoFailure) {
    EXPECT_EQ(FailureCode(0), GenericSystemErrorCode());
    EXPECT_EQ(FailureCode(-1), GenericSystemErrorCode());
    EXPECT_EQ(FailureCode(2), 2);
    EXPECT_NE(GenericSystemErrorCode(), 0);
}

} // namespace
