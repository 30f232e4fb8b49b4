// Started by spawn_test: writes how it was started to GOZ_PROBE_RECORD, then
// runs until it can remove GOZ_PROBE_RELEASE, at most 30 s.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#if defined(_WIN32)
#include <windows.h>
#endif

int main(int argc, char** argv) {
    const char* record = std::getenv("GOZ_PROBE_RECORD");
    const char* release = std::getenv("GOZ_PROBE_RELEASE");
    std::FILE* out = record && release ? std::fopen(record, "wb") : nullptr;
    if (!out)
        return 1;
#if defined(_WIN32)
    std::fprintf(out, "commandline: %s\n", GetCommandLineA());
    (void)argc;
    (void)argv;
#else
    std::fprintf(out, "arguments: %d\n", argc - 1);
    for (int i = 1; i < argc; ++i)
        std::fprintf(out, "argument: %s\n", argv[i]);
#endif
    std::fclose(out);
    for (int waited = 0; waited < 3000; ++waited) {
        if (std::remove(release) == 0)
            return 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return 2;
}
