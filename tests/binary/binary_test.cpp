#include "gozsupport/binary.h"
#include "tests/support/harness.h"

// A record header as on disk: four little-endian 32-bit words; the value 1.5 unless given.
static std::string RecordHeader(int32_t type, int32_t size, int32_t count,
                                uint32_t value = 0x3FC00000) {
    std::string bytes;
    for (uint32_t word : {uint32_t(type), uint32_t(size), uint32_t(count), value})
        bytes += {char(word), char(word >> 8), char(word >> 16), char(word >> 24)};
    return bytes;
}

// Bad counts are refused before anything is written or read; records are read or skipped in
// their own data area, type 0 like any other; only type 0 answers a size below 16.
TEST(GoZBinary, LittleEndianOnDiskAndEachRecordReadWithinItsOwnArea) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("a.GoZ").toStdString();
    const char* vertices = "0123456789abcdefghijklmn";
    std::FILE* out = OpenGoZBinaryForWrite(path.c_str(), std::string(30, 'd').c_str());
    const float v = 1.5F;
    EXPECT_TRUE(WriteRecord(out, 1, 7, "abc", v) && WriteRecord(out, 0xC351, -3, "abcd", -2.0F) &&
                WriteRecord(out, 5001, 9, "wxyz", v) && WriteRecord(out, 10001, 2, vertices, v) &&
                WriteRecord(out, 0, 5, nullptr, v) && WriteRecord(out, 777, 3, vertices, v));
    EXPECT_FALSE(WriteRecord(out, 35001, -1, vertices, v) || WriteRecord(out, 1, 0, nullptr, v) ||
                 WriteRecord(out, 25001, 0x04000000, vertices, v)); // 32 × 2^26 is 2^31
    EXPECT_EQ(CloseGoZBinary(out), 0);
    EXPECT_EQ(goztest::ReadFile(path),
              "GoZb" + std::string(27, 'd') + '\0' + RecordHeader(1, 20, 7) + "abc" + '\0' +
                  RecordHeader(50001, 24, -3, 0xC0000000) + "abcd" + std::string(4, '\0') +
                  RecordHeader(5001, 20, 9) + "wxyz" + RecordHeader(10001, 40, 2) + vertices +
                  RecordHeader(0, 0, 5) + RecordHeader(777, 16, 3));
    // Each type's data length, for a count of 1 in a data area of 32 bytes.
    const std::pair<int32_t, int64_t> types[] = {
        {1, 32},     {2, 32},     {45001, 32}, {50001, 32}, {55001, 32}, {5001, 4},   {10001, 12},
        {20003, 12}, {10002, 24}, {25002, 24}, {20001, 16}, {20002, 16}, {25001, 32}, {30001, 1},
        {40002, 1},  {30002, 2},  {40001, 2},  {35001, 4},  {0, 0},      {777, 0}};
    for (const auto& [type, length] : types) {
        const GoZRecordHeader header{type, 48, 1, 0};
        EXPECT_EQ(RecordDataLength(&header), length) << type;
    }
    const std::string header = "gOzB" + std::string(28, '\0'); // the magic's case is not compared
    // {record, skipped rather than read, result, position after, RecordDataLength}
    const std::tuple<std::string, bool, bool, long, int64_t> cases[] = {
        {RecordHeader(30001, 24, 2) + "ab012345", false, true, 56, 2},
        {RecordHeader(35001, 16, -1), false, false, 48, -1},
        {RecordHeader(10001, 16 + 12, 0x0AAAAAAB), false, false, 48, -1},
        {RecordHeader(10001, 16 + 12, 2) + std::string(40, 'v'), false, false, 48, -1},
        {RecordHeader(0, 24, 0) + "xxxxxxxx", true, true, 56, 0},
        {RecordHeader(0, 24, 0) + "xxxxxxxx", false, true, 56, 0},
        {RecordHeader(777, 16, 0), true, true, 48, 0},
        {RecordHeader(0, 0, 0) + "xxxx", true, true, 48, 0},
        {RecordHeader(1, 15, 0) + "xxxx", true, false, 48, 0},
        {RecordHeader(2, 24, 0) + "abcd", false, false, 52, 8}}; // cut short
    for (const auto& [record, skip, done, position, length] : cases) {
        goztest::WriteFile(path, header + record);
        std::FILE* in = OpenGoZBinaryForRead(path.c_str());
        GoZRecordHeader read{};
        ASSERT_TRUE(ReadRecordHeader(in, &read));
        SCOPED_TRACE(testing::Message() << read.type << " " << read.size);
        char buffer[64] = {};
        EXPECT_EQ(std::make_pair(RecordDataLength(&read), read.value), std::make_pair(length, v));
        EXPECT_EQ(skip ? SkipRecordData(in, &read) : ReadRecordData(in, &read, buffer), done);
        EXPECT_EQ(std::ftell(in), position);
        CloseGoZBinary(in);
    }
    // No GoZ file: another magic, a header cut short; and no record after a bare header.
    for (const std::string& bad : {"GoZc" + header.substr(4), header.substr(0, 31)}) {
        goztest::WriteFile(path, bad);
        EXPECT_EQ(OpenGoZBinaryForRead(path.c_str()), nullptr);
    }
    goztest::WriteFile(path, header);
    std::FILE* in = OpenGoZBinaryForRead(path.c_str());
    GoZRecordHeader read{};
    EXPECT_FALSE(ReadRecordHeader(in, &read));
    CloseGoZBinary(in);
}
