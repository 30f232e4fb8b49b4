// The options both programs share: usage text, version line, argument count.
#pragma once

struct ProgramInfo {
    explicit ProgramInfo(const char* programName) : name(programName) {}

    const char* name;
    const char* extension = "exe";

    // True exactly when argc, program name included, is 2.
    static bool hasSingleArgument(int argc) { return argc == 2; }
    // The project version, "1.0.0".
    static const char* version();
    void printUsage() const;
    void printVersion() const;
    // Answers the one argument: usage, version or the invalid-command line.
    void runOption(const char* argument) const;
};
