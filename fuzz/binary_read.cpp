// A random GoZ binary file read record by record, each buffer sized from its
// header exactly as a caller would, so that any read past it is caught.
#include "fuzz/fuzz_file.h"
#include "gozsupport/binary.h"

#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    // The first byte picks read or skip for each record.
    uint8_t choices = data[0];
    gozfuzz::WriteScratch(data + 1, size - 1);
    std::FILE* file = OpenGoZBinaryForRead(gozfuzz::ScratchFile().c_str());
    if (!file)
        return 0;
    GoZRecordHeader header{};
    // Every step moves forward by at least a header, so the file bounds the loop.
    for (size_t record = 0; record <= size / 16 + 1; ++record) {
        long before = std::ftell(file);
        if (!ReadRecordHeader(file, &header))
            break;
        bool read = (choices >> (record % 8)) & 1;
        int64_t length = RecordDataLength(&header);
        // A caller would not allocate more than the file can hold.
        if (read && length >= 0 && length <= static_cast<int64_t>(size)) {
            std::vector<unsigned char> buffer(static_cast<size_t>(length));
            if (!ReadRecordData(file, &header, buffer.empty() ? nullptr : buffer.data()))
                break;
        } else if (!SkipRecordData(file, &header)) {
            break;
        }
        if (std::ftell(file) < before + 16)
            std::abort();
    }
    CloseGoZBinary(file);
    return 0;
}
