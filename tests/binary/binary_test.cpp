// GoZ binary files, checked byte for byte and read back.
#include "gozsupport/binary.h"

#include "tests/support/test_files.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::string Le32(uint32_t value) {
    std::string bytes;
    for (int i = 0; i < 4; ++i)
        bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
    return bytes;
}

std::string RecordHeader(int32_t type, int32_t size, int32_t count, uint32_t valueBits) {
    return Le32(static_cast<uint32_t>(type)) + Le32(static_cast<uint32_t>(size)) +
           Le32(static_cast<uint32_t>(count)) + Le32(valueBits);
}

std::string FileHeader(const std::string& description) {
    std::string header = "GoZb" + description;
    header.resize(32, '\0');
    return header;
}

std::string Bytes(const char* text, size_t length) {
    return std::string(text, length);
}

TEST(GoZBinary, WritesLittleEndianRecordsAndReadsThemBack) {
    goztest::ScratchDir dir;
    std::string path = dir.file("mesh.GoZ");
    const char* vertices = "0123456789abcdefghijklmn";
    std::FILE* out = OpenGoZBinaryForWrite(path.c_str(), "Quilt");
    ASSERT_NE(out, nullptr);
    EXPECT_TRUE(WriteRecord(out, 1, 7, "abc", 1.5F));
    EXPECT_TRUE(WriteRecord(out, 45001, 0, "", 0.0F));
    EXPECT_TRUE(WriteRecord(out, 0xC351, -3, "abcd", -2.0F));
    EXPECT_TRUE(WriteRecord(out, 5001, 9, "wxyz", 0.0F));
    EXPECT_TRUE(WriteRecord(out, 10001, 2, vertices, 0.0F));
    EXPECT_TRUE(WriteRecord(out, 0, 5, nullptr, 0.0F));
    EXPECT_TRUE(WriteRecord(out, 777, 3, vertices, 0.0F));
    EXPECT_EQ(CloseGoZBinary(out), 0);

    std::string expected = FileHeader("Quilt") + RecordHeader(1, 20, 7, 0x3FC00000) +
                           Bytes("abc", 4) + RecordHeader(45001, 20, 0, 0) + Bytes("\0\0\0", 4) +
                           RecordHeader(50001, 24, -3, 0xC0000000) + Bytes("abcd\0\0\0", 8) +
                           RecordHeader(5001, 20, 9, 0) + "wxyz" + RecordHeader(10001, 40, 2, 0) +
                           vertices + RecordHeader(0, 0, 5, 0) + RecordHeader(777, 16, 3, 0);
    EXPECT_EQ(goztest::ReadFile(path), expected);

    // Read back, each data area must be consumed exactly.
    std::FILE* in = OpenGoZBinaryForRead(path.c_str());
    ASSERT_NE(in, nullptr);
    GoZRecordHeader header{};
    std::vector<int32_t> types;
    std::vector<float> values;
    std::string data;
    while (ReadRecordHeader(in, &header)) {
        types.push_back(header.type);
        values.push_back(header.value);
        char buffer[64] = {};
        long start = std::ftell(in);
        ASSERT_TRUE(ReadRecordData(in, &header, buffer)) << header.type;
        data.append(buffer, static_cast<size_t>(std::ftell(in) - start));
    }
    EXPECT_EQ(types, (std::vector<int32_t>{1, 45001, 50001, 5001, 10001, 0, 777}));
    EXPECT_EQ(values, (std::vector<float>{1.5F, 0, -2.0F, 0, 0, 0, 0}));
    EXPECT_EQ(data, Bytes("abc\0\0\0\0\0abcd\0\0\0\0wxyz", 20) + vertices);
    EXPECT_EQ(std::ftell(in), static_cast<long>(expected.size()));
    EXPECT_EQ(CloseGoZBinary(in), 0);
}

TEST(GoZBinary, HeaderDescriptionAndMagic) {
    goztest::ScratchDir dir;
    std::string path = dir.file("a.GoZ");
    EXPECT_EQ(CloseGoZBinary(OpenGoZBinaryForWrite(path.c_str(), nullptr)), 0);
    EXPECT_EQ(goztest::ReadFile(path), FileHeader(""));
    std::string longText(30, 'd');
    EXPECT_EQ(CloseGoZBinary(OpenGoZBinaryForWrite(path.c_str(), longText.c_str())), 0);
    EXPECT_EQ(goztest::ReadFile(path), FileHeader(std::string(27, 'd')));

    for (const char* magic : {"gozb", "GOZB", "gOzB"}) {
        goztest::WriteFile(path, magic + std::string(28, 'x'));
        std::FILE* in = OpenGoZBinaryForRead(path.c_str());
        EXPECT_NE(in, nullptr) << magic;
        CloseGoZBinary(in);
    }
    for (const std::string& bad :
         {Bytes("GoZc", 4) + std::string(28, '\0'), Bytes("Go\0b", 4) + std::string(28, '\0'),
          FileHeader("").substr(0, 31)}) {
        goztest::WriteFile(path, bad);
        EXPECT_EQ(OpenGoZBinaryForRead(path.c_str()), nullptr);
    }
    EXPECT_EQ(OpenGoZBinaryForRead(dir.file("missing").c_str()), nullptr);
}

// Opens a file of one record and reads its header.
class OneRecord {
public:
    OneRecord(const goztest::ScratchDir& dir, const std::string& record) {
        std::string path = dir.file("record.GoZ");
        goztest::WriteFile(path, FileHeader("") + record);
        in = OpenGoZBinaryForRead(path.c_str());
        EXPECT_NE(in, nullptr);
        EXPECT_TRUE(ReadRecordHeader(in, &header));
    }
    ~OneRecord() { CloseGoZBinary(in); }
    long position() const { return std::ftell(in); }

    std::FILE* in = nullptr;
    GoZRecordHeader header{};
};

TEST(GoZBinary, ReadingRefusesRecordsThatOverrunTheirData) {
    goztest::ScratchDir dir;
    {
        // 2 bytes defined in a data area of 8: the rest is passed over.
        OneRecord file(dir, RecordHeader(30001, 24, 2, 0) + "ab012345" + RecordHeader(0, 0, 0, 0));
        char data[2] = {};
        ASSERT_TRUE(ReadRecordData(file.in, &file.header, data));
        EXPECT_EQ(Bytes(data, 2), "ab");
        EXPECT_EQ(file.position(), 32 + 24);
    }
    for (const std::string& record :
         {RecordHeader(35001, 16, -1, 0), RecordHeader(10001, 16 + 12, 0x0AAAAAAB, 0),
          RecordHeader(10001, 16 + 12, 2, 0) + std::string(40, 'v'),
          RecordHeader(5001, 16, 0, 0) + "wxyz", RecordHeader(5001, 19, 0, 0) + "wxyz"}) {
        OneRecord file(dir, record);
        char data[64] = {};
        EXPECT_FALSE(ReadRecordData(file.in, &file.header, data)) << file.header.type;
        EXPECT_EQ(file.position(), 48) << "nothing read";
        EXPECT_EQ(data[0], '\0');
    }
    // A text record cut short, as a last one is written.
    OneRecord file(dir, RecordHeader(2, 24, 0, 0) + Bytes("abcd", 5));
    char text[8] = {};
    EXPECT_FALSE(ReadRecordData(file.in, &file.header, text));
}

TEST(GoZBinary, SkippingNeverMovesBackwards) {
    goztest::ScratchDir dir;
    {
        OneRecord file(dir, RecordHeader(0, 0, 0, 0) + std::string(16, 'x'));
        EXPECT_TRUE(SkipRecordData(file.in, &file.header)) << "type 0 has nothing to skip";
        EXPECT_EQ(file.position(), 48);
    }
    for (int32_t size : {15, 0, -16}) {
        OneRecord file(dir, RecordHeader(1, size, 0, 0) + std::string(16, 'x'));
        EXPECT_FALSE(SkipRecordData(file.in, &file.header)) << size;
        EXPECT_EQ(file.position(), 48);
    }
    OneRecord file(dir, RecordHeader(20001, 16 + 32, 2, 0) + std::string(32, 'x'));
    EXPECT_TRUE(SkipRecordData(file.in, &file.header));
    EXPECT_EQ(file.position(), 48 + 32);
}

TEST(GoZBinary, WritingRefusesCountsThatDoNotFit) {
    goztest::ScratchDir dir;
    std::string path = dir.file("refused.GoZ");
    std::FILE* out = OpenGoZBinaryForWrite(path.c_str(), nullptr);
    ASSERT_NE(out, nullptr);
    const char data[4] = {};
    EXPECT_FALSE(WriteRecord(out, 35001, -1, data, 0.0F));
    EXPECT_FALSE(WriteRecord(out, 25001, 0x04000000, data, 0.0F)) << "32 × 2^26 is 2^31";
    EXPECT_FALSE(WriteRecord(out, 1, 0, nullptr, 0.0F));
    EXPECT_FALSE(WriteRecord(out, 30001, 1, nullptr, 0.0F));
    EXPECT_TRUE(WriteRecord(out, 30001, 0, nullptr, 0.0F));
    // Written last, a text's alignment bytes never reach the file.
    EXPECT_TRUE(WriteRecord(out, 2, 0, "abcd", 0.0F));
    CloseGoZBinary(out);
    EXPECT_EQ(goztest::ReadFile(path), FileHeader("") + RecordHeader(30001, 16, 0, 0) +
                                           RecordHeader(2, 24, 0, 0) + Bytes("abcd", 5));
}

TEST(GoZBinary, CompareNoCaseNStopsAfterN) {
    EXPECT_EQ(CompareNoCaseN("abc", "ABD", 2), 0);
    EXPECT_EQ(CompareNoCaseN("abc", "ABD", 3), -1);
    EXPECT_EQ(CompareNoCaseN("ab", "abc", 5), -1);
    EXPECT_EQ(CompareNoCaseN("\xE9", "z", 1), 1) << "bytes compare unsigned";
    EXPECT_EQ(CompareNoCaseN("a", "b", 0), 0);
    EXPECT_EQ(CompareNoCaseN(nullptr, "a", 4), -1);
    EXPECT_EQ(CompareNoCaseN("a", nullptr, 4), 1);
}

} // namespace
