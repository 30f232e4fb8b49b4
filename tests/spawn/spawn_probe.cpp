// Started by the tests through StartProgram. Writes how it was started to the
// file GOZ_PROBE_RECORD names, then waits until the file GOZ_PROBE_RELEASE
// exists, removes it and ends; after 30 s it ends anyway.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace {

bool Exists(const char* path) {
    std::FILE* file = std::fopen(path, "rb");
    if (!file)
        return false;
    std::fclose(file);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    const char* record = std::getenv("GOZ_PROBE_RECORD");
    const char* release = std::getenv("GOZ_PROBE_RELEASE");
    if (!record || !release)
        return 1;
#if defined(_WIN32)
    // The command line exactly as the starter passed it.
    std::string text = std::string("commandline: ") + GetCommandLineA() + "\n";
    (void)argc;
    (void)argv;
#else
    std::string text = "arguments: " + std::to_string(argc - 1) + "\n";
    for (int i = 1; i < argc; ++i)
        text += std::string("argument: ") + argv[i] + "\n";
#endif
    // Written aside and renamed, so the test never reads half a record.
    std::string part = std::string(record) + ".part";
    std::FILE* out = std::fopen(part.c_str(), "wb");
    if (!out)
        return 1;
    std::fwrite(text.data(), 1, text.size(), out);
    std::fclose(out);
    if (std::rename(part.c_str(), record) != 0)
        return 1;
    for (int waited = 0; waited < 3000; ++waited) {
        if (Exists(release)) {
            std::remove(release);
            return 0;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return 2;
}
