// The installer's per-run state and steps.
#pragma once

#include "installer/install_log_platform.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

class GoZInitUtil {
public:
    static constexpr size_t kPathSize = 512;

    GoZInitUtil() = default;

    // True when the program must stop now with exit code 0.
    static bool handleCommandLine(int argc, char** argv);

    // Checks that Quiltara's GoZ_Config.txt names its path.
    void readHostPath();
    // Replaces GoZ_InstallLog.txt with a fresh empty file.
    void prepareInstallLog();
    // Rewrites the log with the recorded failure, if there is one.
    void writeErrorReport();

    // Appends the GoZApps folder path, closing separator included. False, with
    // the buffer untouched, when it does not fit.
    static bool buildGoZAppsPath(char (&buffer)[kPathSize]);

    char gozAppsPath[kPathSize] = {};
    char hostPath[kPathSize] = {};
    std::string errorMessage;
    // -1 while no system error code has been recorded.
    int32_t errorCode = -1;

private:
    struct FileCloser {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };

    void recordSystemFailure();

    // Quiltara's folder, open from prepareInstallLog on unless it is missing or a link.
    goz::platform::InstallLogFolder logFolder;
    // The log as prepareInstallLog made it: the report goes through the same
    // file, since its name may lead elsewhere by then.
    std::unique_ptr<std::FILE, FileCloser> log;
};
