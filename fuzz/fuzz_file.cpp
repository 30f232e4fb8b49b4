#include "fuzz/fuzz_file.h"
#include "devsupport/process_scratch.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace gozfuzz {

const std::string& ScratchFile() {
    static const std::string path =
        (goztest::ProcessScratchFolder("gozfuzz-") / "GoZ_Config.txt").string();
    return path;
}

void WriteScratch(const uint8_t* data, size_t size) {
    std::FILE* file = std::fopen(ScratchFile().c_str(), "wb");
    if (!file || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0)
        std::abort();
}

std::string ReadScratch() {
    std::string bytes;
    std::FILE* file = std::fopen(ScratchFile().c_str(), "rb");
    if (!file)
        std::abort();
    char chunk[4096];
    size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        bytes.append(chunk, got);
    std::fclose(file);
    return bytes;
}

std::string TakeText(const uint8_t*& data, size_t& size, size_t limit) {
    std::string text;
    while (size > 0 && text.size() < limit) {
        uint8_t byte = *data++;
        --size;
        if (byte == 0)
            break;
        text += static_cast<char>(byte);
    }
    return text;
}

} // namespace gozfuzz
