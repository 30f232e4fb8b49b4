#include "gozsupport/commandline.h"

#include <cstdio>
#include <cstring>

// The project version, handed in by the build so that it is written only there.
#define GOZ_TEXT_OF(value) #value
#define GOZ_TEXT(value) GOZ_TEXT_OF(value)

const char* ProgramInfo::version() {
    return GOZ_TEXT(GOZ_VERSION_MAJOR) "." GOZ_TEXT(GOZ_VERSION_MINOR) "." GOZ_TEXT(
        GOZ_VERSION_PATCH);
}

void ProgramInfo::printUsage() const {
    std::printf("USAGE:\n");
    std::printf("%10s.%s [OPTION]\n", name, extension);
    std::printf("OPTION:\n");
    std::printf("%10s, %5s\n", "-h", "--help");
    std::printf("%12s\n", "Displays usage information and exits.");
    std::printf("%10s, %5s\n", "-v", "--version");
    std::printf("%12s\n", "Displays version information and exits.");
}

void ProgramInfo::printVersion() const {
    std::printf("%s Version : %s\n", name, version());
}

void ProgramInfo::runOption(const char* argument) const {
    if (std::strcmp(argument, "-h") == 0 || std::strcmp(argument, "--help") == 0)
        printUsage();
    else if (std::strcmp(argument, "-v") == 0 || std::strcmp(argument, "--version") == 0)
        printVersion();
    else
        std::printf("%s is Invalid Command. Please Try Again.\n", argument);
}
