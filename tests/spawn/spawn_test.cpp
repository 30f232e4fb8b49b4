#include "gozsupport/spawn.h"
#include "gozsupport/syserror.h"
#include "tests/support/subprocess.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace fs = std::filesystem;
using goztest::Exists;
using goztest::ReadFile;
using goztest::ScopedEnvironment;
using goztest::ScratchDir;
using goztest::WaitFor;
using goztest::WriteFile;

namespace {

constexpr const char* kMarker = "----------<::>-GoZ";

#if defined(_WIN32)
constexpr int32_t kMissingFileCode = ERROR_FILE_NOT_FOUND;
constexpr int32_t kMissingFolderCode = ERROR_PATH_NOT_FOUND;
#else
constexpr int32_t kMissingFileCode = ENOENT;
constexpr int32_t kMissingFolderCode = ENOENT;
#endif

// The path as the bridge passes it after its search: forward slashes throughout.
std::string WithSlashes(std::string path) {
    for (char& c : path) {
        if (c == '\\')
            c = '/';
    }
    return path;
}

struct CommandLineBuffer {
    CommandLineBuffer() { std::strcpy(text, kMarker); }
    char text[1024] = {};
};

int32_t FailedStartCode(const std::string& path) {
    CommandLineBuffer line;
    int32_t code = 0;
    EXPECT_FALSE(StartProgram(path.c_str(), line.text, code)) << path;
    return code;
}

} // namespace

TEST(StartProgram, HandsOverTheMarkerAloneAndDoesNotWait) {
    ScratchDir scratch;
    std::string record = scratch.file("record");
    std::string release = scratch.file("release");
    ScopedEnvironment recordVariable("GOZ_PROBE_RECORD", record);
    ScopedEnvironment releaseVariable("GOZ_PROBE_RELEASE", release);

    CommandLineBuffer line;
    int32_t code = 12345;
    ASSERT_TRUE(
        StartProgram(WithSlashes(goztest::SystemPath(SPAWN_PROBE)).c_str(), line.text, code));
    EXPECT_EQ(code, 0);
    // The probe stays until released: StartProgram came back while it runs.
    ASSERT_TRUE(WaitFor([&] { return Exists(record); }));
#if defined(_WIN32)
    EXPECT_EQ(ReadFile(record), std::string("commandline: ") + kMarker + "\n");
#else
    EXPECT_EQ(ReadFile(record), std::string("arguments: 1\nargument: ") + kMarker + "\n");
#endif
    WriteFile(release, "");
    EXPECT_TRUE(WaitFor([&] { return !Exists(release); })) << "the probe did not end";
}

TEST(StartProgram, FailsInTheCallerWithTheSystemErrorCode) {
    ScratchDir scratch;
    EXPECT_EQ(FailedStartCode(scratch.file("missing.exe")), kMissingFileCode);
    EXPECT_EQ(FailedStartCode(scratch.file("no-folder/missing.exe")), kMissingFolderCode);

    int32_t empty = FailedStartCode("");
    EXPECT_NE(empty, 0);
    EXPECT_NE(empty, -1);

    // Not a program: a text file, even one marked executable, and a folder.
    std::string text = scratch.file("notes.exe");
    WriteFile(text, "no program here\n");
#if defined(_WIN32)
    EXPECT_EQ(FailedStartCode(text), ERROR_BAD_EXE_FORMAT);
#else
    EXPECT_EQ(FailedStartCode(text), EACCES);
    chmod(text.c_str(), 0755);
    EXPECT_EQ(FailedStartCode(text), ENOEXEC);
    EXPECT_EQ(FailedStartCode(scratch.path().string()), EACCES);
#endif

    CommandLineBuffer line;
    int32_t code = 0;
    EXPECT_FALSE(StartProgram(nullptr, line.text, code));
    EXPECT_EQ(code, GenericSystemErrorCode());
}

TEST(FailureCode, NeverReadsAsNoFailure) {
    EXPECT_EQ(FailureCode(0), GenericSystemErrorCode());
    EXPECT_EQ(FailureCode(-1), GenericSystemErrorCode());
    EXPECT_EQ(FailureCode(2), 2);
    EXPECT_NE(GenericSystemErrorCode(), 0);
}
