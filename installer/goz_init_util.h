// The installer's per-run state and steps.
#pragma once

class GoZInitUtil {
public:
    // True when the program must stop now with exit code 0.
    static bool handleCommandLine(int argc, char** argv);
};
