#include "gozsupport/config.h"
#include "tests/support/harness.h"

#include <QFileInfo>
#if !defined(_WIN32)
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>
#endif

// Old lines go whatever their case, with the empty lines after them; the new one
// starts its own. A line break, or a quoted text cut to fit, would break the file.
TEST(WriteConfig, KeepsOtherLinesRefusesWhatWouldBreakTheFileAndRewritesItInPlace) {
    const std::string x253(253, 'x');
    const struct {
        std::string before, name, value, after; // "<false>:" and the untouched file when refused
        bool string = false;                    // through WriteConfigString, which quotes
    } cases[] = {{"\r\n  PATH = a\r\n\r\nX=1\n\npath = b\nY = 2", "PATH", "c",
                  "\r\nX=1\n\nY = 2\nPATH = c\n"},
                 {"x", "B", "2", "x\nB = 2\n"}, // one byte is no empty file
                 {"A = 1\n", "B", "two\nlines", "<false>:A = 1\n"},
                 {"A = 1\n", "B\r", "v", "<false>:A = 1\n"},
                 {"", "S", x253, "S = \"" + x253 + "\"\n", true},
                 {"", "S", x253 + "x", "<false>:", true}};
    QTemporaryDir dir;
    const std::string path = dir.filePath("c.txt").toStdString();
    EXPECT_FALSE(WriteConfigVariable(path.c_str(), "A", "1") || fs::exists(path)); // never creates
    for (const auto& c : cases) {
        goztest::WriteFile(path, c.before);
        bool written = (c.string ? WriteConfigString : WriteConfigVariable)(
            path.c_str(), c.name.c_str(), c.value.c_str());
        EXPECT_EQ((written ? "" : "<false>:") + goztest::ReadFile(path), c.after) << c.name;
    }
    // A read-only file is refused, though its folder would let it be replaced.
    goztest::WriteFile(path, "A = 1\n");
    fs::permissions(dir.path().toStdString(), fs::perms::all);
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
#if defined(_WIN32)
    EXPECT_FALSE(WriteConfigVariable(path.c_str(), "B", "2"));
    EXPECT_EQ(goztest::ReadFile(path), "A = 1\n");
#else
    bool root = geteuid() == 0; // who may write any file: as nobody, then
    ASSERT_TRUE(!root || seteuid(65534) == 0);
    EXPECT_FALSE(WriteConfigVariable(path.c_str(), "B", "2"));
    ASSERT_TRUE(!root || seteuid(0) == 0);
    EXPECT_EQ(goztest::ReadFile(path), "A = 1\n");
    // In place: a hard link, too long a name for a temporary beside it, sees it; the owner stays.
    fs::permissions(path, fs::perms::owner_write, fs::perm_options::add);
    const std::string link = dir.filePath(QString(255, 'L')).toStdString();
    fs::create_hard_link(path, link);
    ASSERT_TRUE(!root || chown(path.c_str(), 65534, 65534) == 0);
    ASSERT_TRUE(WriteConfigVariable(link.c_str(), "A", "2"));
    EXPECT_EQ(goztest::ReadFile(path), "A = 2\n");
    EXPECT_TRUE(!root || QFileInfo(dir.filePath("c.txt")).ownerId() == 65534);
    // A symbolic link is not: the file it names may be anyone's.
    const std::string symlink = dir.filePath("s.txt").toStdString();
    fs::create_symlink(path, symlink);
    EXPECT_FALSE(WriteConfigVariable(symlink.c_str(), "A", "3"));
    EXPECT_EQ(goztest::ReadFile(path), "A = 2\n");
    // A write cut short by the size limit puts the old content back.
    rlimit old{}, small{8, RLIM_INFINITY};
    std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_TRUE(getrlimit(RLIMIT_FSIZE, &old) == 0 && setrlimit(RLIMIT_FSIZE, &small) == 0);
    bool written = WriteConfigVariable(path.c_str(), "B", std::string(99, 'b').c_str());
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &old), 0);
    EXPECT_EQ((written ? "<written>" : "") + goztest::ReadFile(path), "A = 2\n");
#endif
}
