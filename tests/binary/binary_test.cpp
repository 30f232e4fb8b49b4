#include "gozsupport/binary.h"
#include "tests/support/harness.h"

using namespace std::string_literals;

// A record header as on disk: four little-endian 32-bit words; the value 1.5 unless given.
static std::string RecordHeader(int32_t type, int32_t size, int32_t count,
                                uint32_t value = 0x3FC00000) {
    std::string bytes;
    for (uint32_t word : {uint32_t(type), uint32_t(size), uint32_t(count), value})
        bytes += {char(word), char(word >> 8), char(word >> 16), char(word >> 24)};
    return bytes;
}

// Records are read or skipped within their own data area: a bad count or data past it is
// refused; type 0 moves past an area like any record, and alone answers a size below 16.
TEST(GoZBinary, LittleEndianOnDiskAndEachRecordReadWithinItsOwnArea) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("a.GoZ").toStdString();
    const char* vertices = "0123456789abcdefghijklmn";
    std::FILE* out = OpenGoZBinaryForWrite(path.c_str(), std::string(30, 'd').c_str());
    const float v = 1.5F;
    EXPECT_TRUE(WriteRecord(out, 1, 7, "abc", v) && WriteRecord(out, 0xC351, -3, "abcd", -2.0F) &&
                WriteRecord(out, 5001, 9, "wxyz", v) && WriteRecord(out, 10001, 2, vertices, v) &&
                WriteRecord(out, 0, 5, nullptr, v) && WriteRecord(out, 777, 3, vertices, v));
    // Refused before anything is written: 32 × 2^26 is 2^31.
    EXPECT_FALSE(WriteRecord(out, 35001, -1, vertices, v) ||
                 WriteRecord(out, 25001, 0x04000000, vertices, v));
    EXPECT_EQ(CloseGoZBinary(out), 0);
    EXPECT_EQ(goztest::ReadFile(path),
              "GoZb" + std::string(27, 'd') + '\0' + RecordHeader(1, 20, 7) + "abc\0"s +
                  RecordHeader(50001, 24, -3, 0xC0000000) + "abcd\0\0\0\0"s +
                  RecordHeader(5001, 20, 9) + "wxyz" + RecordHeader(10001, 40, 2) + vertices +
                  RecordHeader(0, 0, 5) + RecordHeader(777, 16, 3));
    const std::string header = "gOzB" + std::string(28, '\0'); // the magic's case is not compared
    // {record, skipped rather than read, result, position after, RecordDataLength}
    const std::tuple<std::string, bool, bool, long, int64_t> cases[] = {
        {RecordHeader(1, 20, 7) + "abc\0"s, false, true, 52, 4},
        {RecordHeader(30001, 24, 2) + "ab012345", false, true, 56, 2},
        {RecordHeader(35001, 16, -1), false, false, 48, -1},
        {RecordHeader(10001, 16 + 12, 0x0AAAAAAB), false, false, 48, -1},
        {RecordHeader(10001, 16 + 12, 2) + std::string(40, 'v'), false, false, 48, -1},
        {RecordHeader(0, 24, 0) + "xxxxxxxx", true, true, 56, 0},
        {RecordHeader(0, 24, 0) + "xxxxxxxx", false, true, 56, 0},
        {RecordHeader(777, 16, 0), true, true, 48, 0},
        {RecordHeader(0, 0, 0) + "xxxx", true, true, 48, 0},
        {RecordHeader(1, 15, 0) + "xxxx", true, false, 48, 0}};
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
}
