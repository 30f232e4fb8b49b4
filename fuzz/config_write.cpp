// A random file rewritten with a random variable, then read back: the new
// value must be what a reader finds, and every other line must survive.
#include "fuzz/fuzz_file.h"
#include "gozsupport/config.h"

#include <cstdlib>
#include <cstring>

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// What a reader returns for a value the writer stored as given.
std::string AsRead(std::string value) {
    size_t first = 0;
    while (first < value.size() && IsBlank(value[first]))
        ++first;
    size_t last = value.size();
    while (last > first && IsBlank(value[last - 1]))
        --last;
    value = value.substr(first, last - first);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
    return value;
}

// Names that a reader can find again: no blanks at the ends, no "=", no break,
// short enough to be compared whole.
bool Findable(const std::string& name) {
    return !name.empty() && name.size() <= 511 && !IsBlank(name.front()) && !IsBlank(name.back()) &&
           name.find_first_of("=\r\n") == std::string::npos;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string name = gozfuzz::TakeText(data, size, 600);
    std::string value = gozfuzz::TakeText(data, size, 300);
    gozfuzz::WriteScratch(data, size);
    const char* path = gozfuzz::ScratchFile().c_str();

    bool written = WriteConfigVariable(path, name.c_str(), value.c_str());
    bool refusable = name.empty() || name.find_first_of("\r\n") != std::string::npos ||
                     value.find_first_of("\r\n") != std::string::npos;
    if (written == refusable)
        std::abort();
    std::string after = gozfuzz::ReadScratch();
    if (!written) {
        // Refused: the old file is whole.
        if (after.size() != size || (size > 0 && std::memcmp(after.data(), data, size) != 0))
            std::abort();
        return 0;
    }
    // The new line stands last, exactly as given.
    std::string line = name + " = " + value + "\n";
    if (after.size() < line.size() ||
        after.compare(after.size() - line.size(), line.size(), line) != 0)
        std::abort();
    // Nothing grows but the new line and at most one break before it.
    if (after.size() > size + line.size() + 1)
        std::abort();
    if (Findable(name)) {
        char back[512];
        if (!ReadConfigVariable(path, name.c_str(), back, sizeof back) || AsRead(value) != back)
            std::abort();
    }
    return 0;
}
