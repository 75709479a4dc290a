#include "core/stream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/ram_stream.h"

namespace {

std::string Bytes(TQSRFlatRamStream& s) {
    return std::string(reinterpret_cast<const char*>(s.GetData()), s.GetSize());
}

// A stream over given bytes whose block reads come short without an error, as a raw file stream's do.
class QuietShortStream : public TQSRFlatRamStream {
public:
    explicit QuietShortStream(const std::string& bytes)
        : TQSRFlatRamStream(bytes.size() + 1, 0), bytes_(bytes) {
        WriteBlock(bytes.data(), static_cast<DWORD>(bytes.size()));
        Rewind();
    }
    DWORD ReadBlock(void* dst, DWORD n) override {
        DWORD k = 0;
        while (k < n && Tell() < GetSize())
            static_cast<BYTE*>(dst)[k++] = Get();
        return k;
    }

private:
    std::string bytes_;
};

TEST(StreamPrimitives, IntegersAreLittleEndianAndShortReadsFail) {
    TQSRFlatRamStream s(16, 16);
    s.WriteWord(0x1234);
    s.WriteLong(0x12345678);
    EXPECT_EQ(Bytes(s), std::string("\x34\x12\x78\x56\x34\x12", 6));
    s.Rewind();
    EXPECT_EQ(s.ReadWord(), 0x1234);
    EXPECT_EQ(s.ReadLong(), 0x12345678u);
    EXPECT_EQ(s.GetError(), 0);
    EXPECT_EQ(s.ReadWord(), 0);
    EXPECT_NE(s.GetError(), 0);

    // A stream whose short block read sets no error still fails a cut value, and the missing bytes are 0.
    QuietShortStream q(std::string("\x01\x02\x03", 3));
    EXPECT_EQ(q.ReadWord(), 0x0201);
    EXPECT_EQ(q.GetError(), 0);
    EXPECT_EQ(q.ReadLong(), 0x03u);
    EXPECT_NE(q.GetError(), 0);
    q.Rewind();
    EXPECT_EQ(q.GetError(), 0);
}

TEST(StreamPrimitives, ReadStringKeepsLimitAndConsumesWholeString) {
    const char data[] = "abcdefg\0x";
    TQSRFlatRamStream s(const_cast<char*>(data), sizeof(data), sizeof(data) - 1);
    char buf[5];
    std::memset(buf, 'Z', sizeof(buf));
    s.ReadString(buf, 5);
    EXPECT_STREQ(buf, "abcd");
    EXPECT_EQ(s.Get(), 'x');
    EXPECT_EQ(s.GetError(), 0);

    // At the end: empty and failed.
    s.ReadString(buf, 5);
    EXPECT_STREQ(buf, "");
    EXPECT_NE(s.GetError(), 0);

    // A string that runs to the end of the data without terminator ends there.
    const char cut[] = "abc";
    TQSRFlatRamStream t(const_cast<char*>(cut), 3, 3);
    char one[1];
    t.ReadString(one, 1);
    EXPECT_STREQ(one, "");
    EXPECT_NE(t.GetError(), 0);
    t.Rewind();
    t.ReadString(nullptr, 0);  // consumed and dropped
    EXPECT_NE(t.GetError(), 0);
}

TEST(StreamPrimitives, ReadLineCountsFullLengthAndStoresLimit) {
    const char data[] = "abcdef\r\nxy\n\nlast";
    TQSRFlatRamStream s(const_cast<char*>(data), sizeof(data) - 1, sizeof(data) - 1);
    char buf[4];
    EXPECT_EQ(s.ReadLine(buf, 4), 6);
    EXPECT_STREQ(buf, "abc");
    EXPECT_EQ(s.ReadLine(buf, 4), 2);
    EXPECT_STREQ(buf, "xy");
    EXPECT_EQ(s.ReadLine(buf, 4), 0);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(s.GetError(), 0);
    char big[16];
    EXPECT_EQ(s.ReadLine(big, 16), 4);
    EXPECT_STREQ(big, "last");
    EXPECT_NE(s.GetError(), 0);  // the line ended at the end of the data
}

TEST(StreamPrimitives, TextWritersAndUrlEncoding) {
    TQSRFlatRamStream s(4, 64);
    s.WriteText("a\nb", true);
    EXPECT_EQ(Bytes(s), "a\r\nb");
    s.Reset();
    s.WriteText("a\nb", false);
    EXPECT_EQ(Bytes(s), "a\nb");
    s.Reset();
    s.WriteTexts("ab", "", "c", nullptr);
    EXPECT_EQ(Bytes(s), "abc");
    s.Reset();
    s.Printf("%d\n%.2f", 7, 1.5);
    EXPECT_EQ(Bytes(s), "7\r\n1.50");
    s.Reset();
    s.WriteUrlEncoded("a b/c\x07\xE9\t");
    EXPECT_EQ(Bytes(s), "a+b%2fc%07%e9+");
    s.Reset();
    s.WriteString(nullptr);
    s.WriteString("hi");
    EXPECT_EQ(Bytes(s), std::string("\0hi\0", 4));
}

TEST(StreamPrimitives, PrintfIsBoundedTo255Characters) {
    TQSRFlatRamStream s(16, 1024);
    std::string longText(400, 'q');
    s.Printf("%s", longText.c_str());
    EXPECT_EQ(s.GetSize(), 255u);
}

TEST(StreamPrimitives, BlockReadsCountAndFail) {
    const char data[] = "wxyz";
    TQSRFlatRamStream s(const_cast<char*>(data), 4, 4);
    char buf[10];
    EXPECT_EQ(s.ReadBlock(buf, 10), 4u);
    EXPECT_NE(s.GetError(), 0);
    s.Rewind();
    EXPECT_EQ(s.GetError(), 0);
    EXPECT_EQ(s.Get(), 'w');

    // The base class's block read through Get: the failing byte is not counted.
    TQSRSegRamStream seg(8);
    seg.WriteBlock("abc", 3);
    seg.Rewind();
    EXPECT_EQ(seg.ReadBlock(buf, 5), 3u);
    EXPECT_NE(seg.GetError(), 0);
}

TEST(StreamPrimitives, CopiesMoveWholeChunks) {
    std::vector<BYTE> src(64000);
    for (size_t i = 0; i < src.size(); ++i)
        src[i] = static_cast<BYTE>(i * 7);
    TQSRFlatRamStream in(src.data(), 64000, 64000);
    in.Get();  // CopyAll starts from the beginning whatever the position
    TQSRFlatRamStream out(0, 4096);
    out.CopyAll(in);
    ASSERT_EQ(out.GetSize(), 64000u);
    EXPECT_EQ(std::memcmp(out.GetData(), src.data(), 64000), 0);

    in.Rewind();
    in.Seek(100);
    TQSRFlatRamStream part(0, 4096);
    EXPECT_EQ(part.CopyFrom(in, 50000), 50000u);
    EXPECT_EQ(std::memcmp(part.GetData(), src.data() + 100, 50000), 0);
    EXPECT_EQ(part.CopyFrom(in, 50000), 13900u);  // what is left
}

TEST(StreamPrimitives, BoolsRealsAndOperators) {
    TQSRFlatRamStream s(4, 64);
    s.WriteBool(true);
    s.WriteBool(false);
    s.WriteReal(3.14159f, 2);
    s << static_cast<int16_t>(-2) << static_cast<uint32_t>(0xA1B2C3D4u) << 'z' << "str";
    s.Rewind();
    EXPECT_TRUE(s.ReadBool());
    EXPECT_FALSE(s.ReadBool());
    EXPECT_FLOAT_EQ(s.ReadReal(), 3.14f);
    int16_t a;
    uint32_t b;
    char c;
    s >> a >> b >> c;
    EXPECT_EQ(a, -2);
    EXPECT_EQ(b, 0xA1B2C3D4u);
    EXPECT_EQ(c, 'z');
    char str[8];
    s.ReadString(str, 8);
    EXPECT_STREQ(str, "str");
    EXPECT_EQ(s.GetError(), 0);
}

TEST(StreamHelpers, CodePageConversionIsBoundedAndTerminated) {
    // "é" in UTF-8 becomes one 1252 byte.
    char text[16] = "caf\xC3\xA9";
    ConvertFromCodePage(65001, text, sizeof(text));
    EXPECT_STREQ(text, "caf\xE9");
    // Cyrillic code page 1251: letters the ANSI page lacks become "?".
    char cyr[16] = "\xC0\xE1x";
    ConvertFromCodePage(1251, cyr, sizeof(cyr));
    EXPECT_STREQ(cyr, "??x");
    // A double-byte page: one character of two bytes becomes one byte, and the result fits the capacity.
    char sjis[8] =
        "\x82\xA0"
        "abcd";
    ConvertFromCodePage(932, sjis, 4);
    EXPECT_STREQ(sjis, "?ab");
    // Code page 0 and the ANSI page leave the text alone.
    char same[8] = "\xE9t\xE9";
    ConvertFromCodePage(0, same, 8);
    ConvertFromCodePage(1252, same, 8);
    EXPECT_STREQ(same, "\xE9t\xE9");
}

TEST(StreamHelpers, SmallFunctions) {
    EXPECT_FLOAT_EQ(RoundToDecimals(2.346f, 2), 2.35f);
    WORD seed = 1;
    EXPECT_EQ(NextRandom16(&seed, 0), static_cast<WORD>(25173 + 13849));
    WORD seed2 = 1;
    NextRandom16(&seed2, 1);
    WORD expect = static_cast<WORD>(static_cast<WORD>(25173 + 13849) * 25173u + 13849u);
    EXPECT_EQ(seed2, expect);
    EXPECT_EQ(Sign(-5), -1);
    EXPECT_EQ(Sign(0), 0);
    EXPECT_EQ(Sign(9), 1);
}

}  // namespace
