#include "installer/goz_init_util.h"

#include "gozsupport/commandline.h"
#include "gozsupport/paths.h"
#include "gozsupport/syserror.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <initializer_list>

namespace {

constexpr const char kAppName[] = "Quiltara";
constexpr const char kInstallLogName[] = "GoZ_InstallLog.txt";
constexpr const char kLibraryFailure[] =
    "[GoZ SDK Error (WIN)] Cannot read path of Quiltara app... ";
constexpr const char kSystemFailure[] =
    "[Non-GoZ SDK Error (WIN)] Cannot read path of Quiltara app... ";

} // namespace

bool GoZInitUtil::handleCommandLine(int argc, char** argv) {
    if (argc < 2)
        return false;
    // Two or more arguments: stop without a word, the installer was not meant.
    if (!ProgramInfo::hasSingleArgument(argc))
        return true;
    ProgramInfo("GoZInitQuiltara").runOption(argv[1]);
    return true;
}

void GoZInitUtil::readHostPath() {
    // Only whether the lookup succeeds matters; the path itself is not checked.
    if (!GetGoZAppPath(kAppName, hostPath, static_cast<int32_t>(sizeof hostPath)))
        errorMessage = kLibraryFailure;
}

void GoZInitUtil::prepareInstallLog() {
    // Nothing is ever written relative to the working folder, nor in a
    // redirected Quiltara folder: what is recorded then is never written.
    if (!buildGoZAppsPath(gozAppsPath) || !logFolder.open(std::string(gozAppsPath) + kAppName)) {
        recordSystemFailure();
        return;
    }
    if (!logFolder.removeIfPresent(kInstallLogName))
        recordSystemFailure();
    log.reset(logFolder.openText(kInstallLogName));
    if (!log)
        recordSystemFailure();
}

void GoZInitUtil::writeErrorReport() {
    if (errorCode == -1 && errorMessage.empty()) {
        log.reset();
        return;
    }
    if (!log && logFolder.isOpen())
        log.reset(logFolder.openText(kInstallLogName));
    // No other channel is left to tell of a lost report.
    if (!log)
        return;
    std::time_t now = std::time(nullptr);
    const std::tm* local = std::localtime(&now);
    std::tm unknown{};
    std::fputs(std::asctime(local ? local : &unknown), log.get());
    std::fprintf(log.get(), ">>%s[ErrorCode(%" PRId32 ")]\n", errorMessage.c_str(), errorCode);
    log.reset();
}

bool GoZInitUtil::buildGoZAppsPath(char (&buffer)[kPathSize]) {
    const auto* end = static_cast<const char*>(std::memchr(buffer, '\0', kPathSize));
    if (!end)
        return false;
    const std::initializer_list<const char*> parts = {GoZPublicRoot, GoZPathSeparator, "GoZApps",
                                                      GoZPathSeparator};
    size_t used = static_cast<size_t>(end - buffer);
    size_t needed = used;
    for (const char* part : parts)
        needed += std::strlen(part);
    if (needed >= kPathSize)
        return false;
    for (const char* part : parts) {
        size_t length = std::strlen(part);
        std::memcpy(buffer + used, part, length);
        used += length;
    }
    buffer[used] = '\0';
    return true;
}

void GoZInitUtil::recordSystemFailure() {
    // Read first: building the message may touch the error code.
    int32_t code = LastSystemErrorCode();
    errorMessage = kSystemFailure;
    errorCode = code;
}
