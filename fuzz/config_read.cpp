// A random config file read with a random name into a destination of random size.
#include "fuzz/fuzz_file.h"
#include "gozsupport/config.h"

#include <cstdlib>
#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    // Sizes 0 to 300, so that cutting, size 1 and refused sizes all occur.
    int32_t destSize =
        static_cast<int32_t>(data[0] % 40 == 0 ? data[0] % 3 : data[0] + data[1] % 45);
    data += 2;
    size -= 2;
    std::string name = gozfuzz::TakeText(data, size, 600);
    gozfuzz::WriteScratch(data, size);
    const char* path = gozfuzz::ScratchFile().c_str();

    // Exactly destSize bytes on the heap: any write past them is caught.
    auto dest = std::make_unique<char[]>(static_cast<size_t>(destSize > 0 ? destSize : 1));
    if (ReadConfigVariable(path, name.c_str(), dest.get(), destSize) &&
        std::strlen(dest.get()) >= static_cast<size_t>(destSize))
        std::abort();
    if (ReadConfigString(path, name.c_str(), dest.get(), destSize) &&
        std::strlen(dest.get()) >= static_cast<size_t>(destSize))
        std::abort();

    bool flag = false;
    float number = 0;
    int32_t integer = 0;
    ReadConfigBool(path, name.c_str(), &flag);
    ReadConfigFloat(path, name.c_str(), &number);
    ReadConfigInt(path, name.c_str(), &integer);
    return 0;
}
