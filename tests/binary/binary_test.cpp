// GoZ binary files, checked byte for byte and read back.
#include "gozsupport/binary.h"

#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace std::string_literals;

namespace {

// A record header as on disk: four little-endian 32-bit words.
std::string RecordHeader(int32_t type, int32_t size, int32_t count, uint32_t valueBits) {
    std::string bytes;
    for (uint32_t word : {uint32_t(type), uint32_t(size), uint32_t(count), valueBits}) {
        for (int i = 0; i < 4; ++i)
            bytes += static_cast<char>((word >> (8 * i)) & 0xFF);
    }
    return bytes;
}

std::string FileHeader(const std::string& description) {
    return ("GoZb" + description + std::string(32, '\0')).substr(0, 32);
}

TEST(GoZBinary, WritesLittleEndianRecordsAndReadsThemBack) {
    goztest::ScratchDir dir;
    std::string path = dir.file("mesh.GoZ");
    const char* vertices = "0123456789abcdefghijklmn";
    std::FILE* out = OpenGoZBinaryForWrite(path.c_str(), std::string(30, 'd').c_str());
    ASSERT_NE(out, nullptr);
    EXPECT_TRUE(WriteRecord(out, 1, 7, "abc", 1.5F));
    EXPECT_TRUE(WriteRecord(out, 45001, 0, "", 0.0F));
    EXPECT_TRUE(WriteRecord(out, 0xC351, -3, "abcd", -2.0F));
    EXPECT_TRUE(WriteRecord(out, 5001, 9, "wxyz", 0.0F));
    EXPECT_TRUE(WriteRecord(out, 10001, 2, vertices, 0.0F));
    EXPECT_TRUE(WriteRecord(out, 0, 5, nullptr, 0.0F));
    EXPECT_TRUE(WriteRecord(out, 777, 3, vertices, 0.0F));
    EXPECT_TRUE(WriteRecord(out, 30001, 0, nullptr, 0.0F));
    // Refused before anything is written.
    EXPECT_FALSE(WriteRecord(out, 35001, -1, vertices, 0.0F));
    EXPECT_FALSE(WriteRecord(out, 25001, 0x04000000, vertices, 0.0F)) << "32 × 2^26 is 2^31";
    EXPECT_FALSE(WriteRecord(out, 1, 0, nullptr, 0.0F));
    EXPECT_FALSE(WriteRecord(out, 30001, 1, nullptr, 0.0F));
    EXPECT_EQ(CloseGoZBinary(out), 0);

    std::string expected = FileHeader(std::string(27, 'd')) + RecordHeader(1, 20, 7, 0x3FC00000) +
                           "abc\0"s + RecordHeader(45001, 20, 0, 0) + "\0\0\0\0"s +
                           RecordHeader(50001, 24, -3, 0xC0000000) + "abcd\0\0\0\0"s +
                           RecordHeader(5001, 20, 9, 0) + "wxyz" + RecordHeader(10001, 40, 2, 0) +
                           vertices + RecordHeader(0, 0, 5, 0) + RecordHeader(777, 16, 3, 0) +
                           RecordHeader(30001, 16, 0, 0);
    EXPECT_EQ(goztest::ReadFile(path), expected);

    // Read back, each data area must be consumed exactly.
    std::FILE* in = OpenGoZBinaryForRead(path.c_str());
    ASSERT_NE(in, nullptr);
    GoZRecordHeader header{};
    std::vector<int64_t> typesAndLengths;
    std::vector<float> values;
    std::string data;
    while (ReadRecordHeader(in, &header)) {
        typesAndLengths.insert(typesAndLengths.end(), {header.type, RecordDataLength(&header)});
        values.push_back(header.value);
        char buffer[64] = {};
        long start = std::ftell(in);
        ASSERT_TRUE(ReadRecordData(in, &header, buffer)) << header.type;
        data.append(buffer, static_cast<size_t>(std::ftell(in) - start));
    }
    EXPECT_EQ(typesAndLengths, (std::vector<int64_t>{1, 4, 45001, 4, 50001, 8, 5001, 4, 10001, 24,
                                                     0, 0, 777, 0, 30001, 0}));
    EXPECT_EQ(values, (std::vector<float>{1.5F, 0, -2.0F, 0, 0, 0, 0, 0}));
    EXPECT_EQ(data, "abc\0\0\0\0\0abcd\0\0\0\0wxyz"s + vertices);
    EXPECT_EQ(std::ftell(in), static_cast<long>(expected.size()));
    EXPECT_EQ(CloseGoZBinary(in), 0);
}

TEST(GoZBinary, HeaderDescriptionAndMagic) {
    goztest::ScratchDir dir;
    std::string path = dir.file("a.GoZ");
    EXPECT_EQ(CloseGoZBinary(OpenGoZBinaryForWrite(path.c_str(), nullptr)), 0);
    EXPECT_EQ(goztest::ReadFile(path), FileHeader(""));
    // The magic's case is not compared; a header cut short is refused.
    const std::pair<std::string, bool> files[] = {{"gozb" + std::string(28, 'x'), true},
                                                  {"gOzB" + std::string(28, 'x'), true},
                                                  {"GoZc" + std::string(28, '\0'), false},
                                                  {"Go\0b"s + std::string(28, '\0'), false},
                                                  {FileHeader("").substr(0, 31), false}};
    for (const auto& [bytes, opens] : files) {
        goztest::WriteFile(path, bytes);
        std::FILE* in = OpenGoZBinaryForRead(path.c_str());
        EXPECT_EQ(in != nullptr, opens) << bytes.substr(0, 4) << " " << bytes.size();
        CloseGoZBinary(in);
    }
    EXPECT_EQ(OpenGoZBinaryForRead(dir.file("missing").c_str()), nullptr);
}

TEST(GoZBinary, ReadsAndSkipsARecordWithinItsDataAreaOnly) {
    struct Case {
        std::string record;
        bool skip, done;
        long position; // after the step
        int64_t length;
        std::string data;
    };
    const Case cases[] = {
        // 2 bytes defined in a data area of 8: the rest is passed over.
        {RecordHeader(30001, 24, 2, 0) + "ab012345", false, true, 56, 2, "ab"},
        {RecordHeader(35001, 16, -1, 0), false, false, 48, -1, ""},
        {RecordHeader(10001, 16 + 12, 0x0AAAAAAB, 0), false, false, 48, -1, ""},
        {RecordHeader(10001, 16 + 12, 2, 0) + std::string(40, 'v'), false, false, 48, -1, ""},
        {RecordHeader(5001, 19, 0, 0) + "wxyz", false, false, 48, -1, ""},
        // A text record cut short, as a last one is written.
        {RecordHeader(2, 24, 0, 0) + "abcd\0"s, false, false, 53, 8, "abcd"},
        // Type 0 below 16 has nothing to skip; any other size below 16 would move back.
        {RecordHeader(0, 0, 0, 0) + "xxxx", true, true, 48, 0, ""},
        // Type 0 with a data area moves past it like any record, skipped or read.
        {RecordHeader(0, 24, 0, 0) + "xxxxxxxx", true, true, 56, 0, ""},
        {RecordHeader(0, 24, 0, 0) + "xxxxxxxx", false, true, 56, 0, ""},
        {RecordHeader(1, 15, 0, 0) + "xxxx", true, false, 48, 0, ""},
        {RecordHeader(1, -16, 0, 0) + "xxxx", true, false, 48, 0, ""},
        {RecordHeader(20001, 16 + 32, 2, 0) + std::string(32, 'x'), true, true, 80, 32, ""}};
    goztest::ScratchDir dir;
    std::string path = dir.file("one.GoZ");
    for (const Case& c : cases) {
        goztest::WriteFile(path, FileHeader("") + c.record);
        std::FILE* in = OpenGoZBinaryForRead(path.c_str());
        GoZRecordHeader header{};
        ASSERT_TRUE(ReadRecordHeader(in, &header));
        SCOPED_TRACE(testing::Message() << header.type << " " << header.size);
        char buffer[64] = {};
        EXPECT_EQ(RecordDataLength(&header), c.length);
        EXPECT_EQ(c.skip ? SkipRecordData(in, &header) : ReadRecordData(in, &header, buffer),
                  c.done);
        EXPECT_EQ(std::ftell(in), c.position);
        EXPECT_EQ(std::string(buffer), c.data);
        CloseGoZBinary(in);
    }
}

} // namespace
