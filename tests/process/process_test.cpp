// The lookup against a running copy of the stand-in, found by the path of its
// executable alone.
#include "gozsupport/process.h"
#include "tests/support/harness.h"

#include <QProcess>

#include <algorithm>
#include <cctype>

namespace {

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
    QTemporaryDir dir; // on drive C: under Wine, where the build tree is on Z:
    const std::string path =
        (fs::path(dir.path().toStdString()) / "Waiting Helper.exe").make_preferred().string();
    fs::copy_file(QUILTARA_STANDIN, path);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QUILTARA_STANDIN_MODE", "nolock");
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(QString::fromStdString(path), QStringList());
    ASSERT_TRUE(program.waitForStarted());
    std::string upper = path;
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    std::vector<std::string> matching = {path, upper, Replaced(path, '/', '\\')};
#if defined(_WIN32)
    // Wine names the image \Device\HarddiskVolumeN\...: the drive is never compared.
    matching.insert(matching.end(), {"D" + path.substr(1), Replaced(path, '\\', '/')});
#endif
    for (const std::string& variant : matching)
        EXPECT_EQ(Lookup(variant), static_cast<uint32_t>(program.processId())) << variant;
    std::string configured = Replaced(path, '/', '\\');
    uint32_t id = 0;
    ASSERT_TRUE(FindProcessByImagePath(configured.data(), id));
    EXPECT_EQ(configured, Replaced(path, '\\', '/')) << "slashes unified in place";
    for (const char* other : {"Waiting Helper2.exe", "deeper/Waiting Helper.exe"})
        EXPECT_EQ(Lookup((fs::path(dir.path().toStdString()) / other).string()), 0U) << other;
    program.kill();
    program.waitForFinished();
    EXPECT_EQ(Lookup(path), 0U);
}

} // namespace
