#include "gozsupport/config.h"
#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#if !defined(_WIN32)
#include <csignal>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;
using goztest::ReadFile;
using goztest::ScratchDir;
using goztest::WriteFile;

#if !defined(_WIN32)
// A child's WriteConfigVariable of B: 0 written, 1 refused, 2 not set up.
// Files may not grow past `limit`; root, who may write any file, drops to
// nobody when `nobody`, who must still read this one.
static int WriteInChild(const std::string& path, bool nobody, rlim_t limit = RLIM_INFINITY) {
    pid_t child = fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit size{limit, limit};
        bool drop = nobody && getuid() == 0;
        if (setrlimit(RLIMIT_FSIZE, &size) != 0 ||
            (drop && (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)) ||
            access(path.c_str(), R_OK) != 0)
            _exit(2);
        _exit(WriteConfigVariable(path.c_str(), "B", std::string(99, 'b').c_str()) ? 0 : 1);
    }
    int status = -1;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
#endif

TEST(WriteConfigVariable, RewritesKeepingOtherLinesByteForByte) {
    const struct {
        const char *before, *name, *value;
        const char* after; // "<false>:" and the untouched file when refused
    } cases[] = {
        // Both old lines go, whatever their case; the new one stands last.
        {"PATH = a\r\nX=1\n\npath = b\nY = 2\n", "PATH", "c", "X=1\n\nY = 2\nPATH = c\n"},
        {"\r\n\nA = 1\r\n\r\nB=2\r", "C", "3", "\r\n\nA = 1\r\n\r\nB=2\rC = 3\n"},
        // Empty lines after a removed line go with it.
        {"  c = old  \n\n\nA\n\n", "C", "new", "A\n\nC = new\n"},
        {"A = 1", "B", "2", "A = 1\nB = 2\n"},
        {"", "N", nullptr, "N = \n"},
        // What would break the file is refused.
        {"A = 1\n", "", "v", "<false>:A = 1\n"},
        {"A = 1\n", "B", "two\nlines", "<false>:A = 1\n"},
        {"A = 1\n", "B\r", "v", "<false>:A = 1\n"},
    };
    for (const auto& c : cases) {
        ScratchDir dir;
        std::string path = dir.file("c.txt");
        WriteFile(path, c.before);
        bool written = WriteConfigVariable(path.c_str(), c.name, c.value);
        EXPECT_EQ((written ? "" : "<false>:") + ReadFile(path), c.after)
            << testing::PrintToString(c.before);
    }
}

TEST(WriteConfigVariable, NeverCreatesOrReplacesAFileAndAFailedWriteKeepsTheOldOne) {
    ScratchDir dir;
    std::string path = dir.file("c.txt");
    char dest[] = "untouched";
    for (const std::string& none : {path, dir.path().string()}) { // missing, then a folder
        EXPECT_FALSE(ReadConfigVariable(none.c_str(), "A", dest, sizeof dest)) << none;
        EXPECT_FALSE(WriteConfigVariable(none.c_str(), "A", "1")) << none;
    }
    EXPECT_STREQ(dest, "untouched");
    EXPECT_FALSE(goztest::Exists(path));
    WriteFile(path, "A = 1\n");
    // A read-only file is refused and kept, though its folder would let it be replaced.
    fs::permissions(dir.path(), fs::perms::all);
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
#if defined(_WIN32)
    EXPECT_FALSE(WriteConfigVariable(path.c_str(), "B", "2"));
#else
    EXPECT_EQ(WriteInChild(path, true), 1);
#endif
    EXPECT_EQ(ReadFile(path), "A = 1\n");
    fs::permissions(path, fs::perms::owner_write, fs::perm_options::add);
#if !defined(_WIN32)
    // Rewritten in place: the file behind a hard link, whose name leaves no
    // room for a longer one beside it, keeps its owner.
    const std::string link = dir.file(std::string(255, 'L'));
    fs::create_hard_link(path, link);
    bool root = getuid() == 0; // only root can give the file away
    ASSERT_TRUE(!root || chown(path.c_str(), 65534, 65534) == 0);
    ASSERT_TRUE(WriteConfigVariable(link.c_str(), "A", "2"));
    EXPECT_EQ(ReadFile(path), "A = 2\n");
    struct stat info {};
    EXPECT_TRUE(stat(link.c_str(), &info) == 0 && (!root || info.st_uid == 65534)) << info.st_uid;
    // A write cut short by the size limit puts the old content back.
    EXPECT_EQ(WriteInChild(path, false, 8), 1);
    EXPECT_EQ(ReadFile(path), "A = 2\n");
    WriteFile(dir.file("real.txt"), "A = 1\n");
    fs::create_symlink("real.txt", dir.file("link.txt"));
    ASSERT_TRUE(WriteConfigVariable(dir.file("link.txt").c_str(), "A", "2"));
    EXPECT_TRUE(fs::is_symlink(dir.file("link.txt")));
    EXPECT_EQ(ReadFile(dir.file("real.txt")), "A = 2\n");
#endif
}

TEST(TypedWriters, QuoteAndFormatTheirValues) {
    ScratchDir dir;
    std::string path = dir.file("c.txt");
    WriteFile(path, "");
    ASSERT_TRUE(WriteConfigBool(path.c_str(), "B", true));
    ASSERT_TRUE(WriteConfigBool(path.c_str(), "C", false));
    ASSERT_TRUE(WriteConfigInt(path.c_str(), "I", -2147483647 - 1));
    ASSERT_TRUE(WriteConfigString(path.c_str(), "S", "\"C:\\Program Files\\Q.exe\""));
    ASSERT_TRUE(WriteConfigFloat(path.c_str(), "F", 0.1f));
    ASSERT_TRUE(WriteConfigFloat(path.c_str(), "G", 0.0000001f));
    ASSERT_TRUE(WriteConfigString(path.c_str(), "T", std::string(253, 'x').c_str()));
    // Cutting would drop the closing quote: refused whole.
    EXPECT_FALSE(WriteConfigString(path.c_str(), "U", std::string(254, 'x').c_str()));
    EXPECT_EQ(ReadFile(path), "B = TRUE\nC = FALSE\nI = -2147483648\n"
                              "S = \"\"C:\\Program Files\\Q.exe\"\"\n"
                              "F = 0.100000\nG = 0.000000\nT = \"" +
                                  std::string(253, 'x') + "\"\n");
}
