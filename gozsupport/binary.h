// GoZ binary files: a 32-byte "GoZb" header, then typed records. Every
// integer and the float are little-endian on disk, whatever the host.
#pragma once

#include <cstdint>
#include <cstdio>

struct GoZBinaryHeader {
    char magic[4];        // "GoZb", no terminator
    char description[28]; // at most 27 characters, zero-filled
};
static_assert(sizeof(GoZBinaryHeader) == 32, "the header is 32 bytes on disk");

struct GoZRecordHeader {
    int32_t type;
    int32_t size; // 16 + data + alignment; 0 for type 0
    int32_t count;
    float value; // carried, never interpreted
};
static_assert(sizeof(GoZRecordHeader) == 16, "a record header is 16 bytes on disk");

// Creates `path` and writes the header; null description gives 28 zero bytes.
// The stream is left after the header; null on failure.
std::FILE* OpenGoZBinaryForWrite(const char* path, const char* description);

// Opens `path` and checks its header; the stream is left after it.
std::FILE* OpenGoZBinaryForRead(const char* path);

// Writes one record: text types take a NUL-terminated text, counted types
// `count` elements. A negative count, or a record that would not fit in
// 31 bits, is refused before anything is written.
bool WriteRecord(std::FILE* stream, int32_t type, int32_t count, const void* data, float value);

bool ReadRecordHeader(std::FILE* stream, GoZRecordHeader* header);

// The number of bytes ReadRecordData puts into the buffer for this header,
// so that a caller can size it; -1 for a record it refuses.
int64_t RecordDataLength(const GoZRecordHeader* header);

// Reads the data of the record whose header was just read into `buffer`,
// which must hold what the header promises for the type. A record whose
// count is negative or overflows, or whose data would run past its own
// data area, is refused without reading.
bool ReadRecordData(std::FILE* stream, const GoZRecordHeader* header, void* buffer);

// Moves past the data of the record whose header was just read: size - 16
// bytes, for type 0 too. A size below 16 is refused, since moving back would
// make a reader meet the same header again; only type 0, written with size 0,
// then answers true without moving.
bool SkipRecordData(std::FILE* stream, const GoZRecordHeader* header);

// fclose's result; EOF for a null stream.
int CloseGoZBinary(std::FILE* stream);

// Like CompareNoCase, over at most `n` characters: -1, 0 or 1.
int CompareNoCaseN(const char* a, const char* b, int32_t n);
