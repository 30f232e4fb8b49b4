#include "gozsupport/binary.h"

#include "gozsupport/nocase.h"

#include <cstring>

namespace {

constexpr char kMagic[] = "GoZb";
constexpr int32_t kRecordHeaderSize = 16;
constexpr int64_t kMaxLength = INT32_MAX;

enum class DataKind { None, Text, Fixed, Counted };

struct DataLayout {
    DataKind kind;
    int32_t elementSize; // bytes per element; the whole length for Fixed
};

DataLayout LayoutOf(int32_t type) {
    switch (type) {
    case 1:
    case 2:
    case 45001:
    case 50001:
    case 55001:
        return {DataKind::Text, 1};
    case 5001:
        return {DataKind::Fixed, 4};
    case 10001:
    case 20003:
        return {DataKind::Counted, 12};
    case 10002:
    case 25002:
        return {DataKind::Counted, 24};
    case 20001:
    case 20002:
        return {DataKind::Counted, 16};
    case 25001:
        return {DataKind::Counted, 32};
    case 30001:
    case 40002:
        return {DataKind::Counted, 1};
    case 30002:
    case 40001:
        return {DataKind::Counted, 2};
    case 35001:
        return {DataKind::Counted, 4};
    default:
        return {DataKind::None, 0};
    }
}

// count × element size, or -1 when the count is negative or the record
// holding that much would not fit in 31 bits.
int64_t CountedLength(int32_t count, int32_t elementSize) {
    if (count < 0)
        return -1;
    int64_t length = int64_t{count} * elementSize;
    return length + kRecordHeaderSize > kMaxLength ? -1 : length;
}

void PutUint32(unsigned char* at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<unsigned char>(value >> (8 * i));
}

uint32_t GetUint32(const unsigned char* at) {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
        value |= uint32_t{at[i]} << (8 * i);
    return value;
}

bool WriteBytes(std::FILE* stream, const void* bytes, size_t length) {
    return std::fwrite(bytes, 1, length, stream) == length;
}

bool ReadBytes(std::FILE* stream, void* bytes, size_t length) {
    return std::fread(bytes, 1, length, stream) == length;
}

// Seeks `distance` bytes forward, keeping every position below 2 GiB.
bool MoveForward(std::FILE* stream, int64_t distance) {
    long position = std::ftell(stream);
    if (position < 0 || position + distance > kMaxLength)
        return false;
    return std::fseek(stream, static_cast<long>(position + distance), SEEK_SET) == 0;
}

} // namespace

int CompareNoCaseN(const char* a, const char* b, int32_t n) {
    return goz::CompareFolded(a, b, n < 0 ? 0 : static_cast<size_t>(n));
}

std::FILE* OpenGoZBinaryForWrite(const char* path, const char* description) {
    if (!path)
        return nullptr;
    std::FILE* stream = std::fopen(path, "wb");
    if (!stream)
        return nullptr;
    GoZBinaryHeader header{};
    std::memcpy(header.magic, kMagic, sizeof header.magic);
    if (description) {
        size_t length = strnlen(description, sizeof header.description - 1);
        std::memcpy(header.description, description, length);
    }
    if (!WriteBytes(stream, &header, sizeof header)) {
        std::fclose(stream);
        return nullptr;
    }
    return stream;
}

std::FILE* OpenGoZBinaryForRead(const char* path) {
    if (!path)
        return nullptr;
    std::FILE* stream = std::fopen(path, "rb");
    if (!stream)
        return nullptr;
    GoZBinaryHeader header{};
    if (!ReadBytes(stream, &header, sizeof header) ||
        CompareNoCaseN(header.magic, kMagic, 4) != 0) {
        std::fclose(stream);
        return nullptr;
    }
    return stream;
}

bool WriteRecord(std::FILE* stream, int32_t type, int32_t count, const void* data, float value) {
    if (!stream)
        return false;
    DataLayout layout = LayoutOf(type);
    int64_t length = 0;
    int64_t alignment = 0;
    switch (layout.kind) {
    case DataKind::Text:
        if (!data)
            return false;
        length = static_cast<int64_t>(std::strlen(static_cast<const char*>(data))) + 1;
        alignment = (4 - length % 4) % 4;
        break;
    case DataKind::Fixed:
        length = layout.elementSize;
        break;
    case DataKind::Counted:
        length = CountedLength(count, layout.elementSize);
        break;
    case DataKind::None:
        break;
    }
    int64_t size = kRecordHeaderSize + length + alignment;
    if (length < 0 || size > kMaxLength || (length > 0 && !data))
        return false;

    unsigned char bytes[kRecordHeaderSize];
    uint32_t valueBits = 0;
    std::memcpy(&valueBits, &value, sizeof valueBits);
    PutUint32(bytes, static_cast<uint32_t>(type));
    PutUint32(bytes + 4, type == 0 ? 0 : static_cast<uint32_t>(size));
    PutUint32(bytes + 8, static_cast<uint32_t>(count));
    PutUint32(bytes + 12, valueBits);
    if (!WriteBytes(stream, bytes, sizeof bytes))
        return false;
    if (length > 0 && !WriteBytes(stream, data, static_cast<size_t>(length)))
        return false;
    // Alignment bytes are skipped, not written: they read as zero once
    // anything follows them.
    return alignment == 0 || MoveForward(stream, alignment);
}

bool ReadRecordHeader(std::FILE* stream, GoZRecordHeader* header) {
    unsigned char bytes[kRecordHeaderSize];
    if (!stream || !header || !ReadBytes(stream, bytes, sizeof bytes))
        return false;
    uint32_t valueBits = GetUint32(bytes + 12);
    header->type = static_cast<int32_t>(GetUint32(bytes));
    header->size = static_cast<int32_t>(GetUint32(bytes + 4));
    header->count = static_cast<int32_t>(GetUint32(bytes + 8));
    std::memcpy(&header->value, &valueBits, sizeof valueBits);
    return true;
}

int64_t RecordDataLength(const GoZRecordHeader* header) {
    if (!header)
        return -1;
    DataLayout layout = LayoutOf(header->type);
    int64_t area = int64_t{header->size} - kRecordHeaderSize;
    int64_t length = 0;
    switch (layout.kind) {
    case DataKind::Text:
        length = area < 0 ? 0 : area;
        break;
    case DataKind::Fixed:
        length = layout.elementSize;
        break;
    case DataKind::Counted:
        length = CountedLength(header->count, layout.elementSize);
        break;
    case DataKind::None:
        break;
    }
    // Reading more than the record holds would run into the next record
    // and past what the caller sized its buffer for.
    return length > 0 && length > area ? -1 : length;
}

bool ReadRecordData(std::FILE* stream, const GoZRecordHeader* header, void* buffer) {
    int64_t length = RecordDataLength(header);
    if (!stream || length < 0)
        return false;
    if (length > 0 && (!buffer || !ReadBytes(stream, buffer, static_cast<size_t>(length))))
        return false;
    int64_t area = int64_t{header->size} - kRecordHeaderSize;
    return area <= length || MoveForward(stream, area - length);
}

bool SkipRecordData(std::FILE* stream, const GoZRecordHeader* header) {
    if (!stream || !header)
        return false;
    // Type 0 is written with size 0: nothing to skip. Any other size below 16
    // would move back and make a reader meet the same header again.
    if (header->size < kRecordHeaderSize)
        return header->type == 0;
    return MoveForward(stream, header->size - kRecordHeaderSize);
}

int CloseGoZBinary(std::FILE* stream) {
    return stream ? std::fclose(stream) : EOF;
}
