#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "core/bool_array.h"
#include "core/font_record.h"
#include "core/memory_block.h"
#include "core/multi_field.h"
#include "core/ram_stream.h"
#include "platform/kernel/resources.h"

namespace {

std::string Fields(const TQSMultiField& m) {
    std::string out;
    for (int i = 0; i < m.GetFieldCount(); ++i)
        out += std::string(m.GetField(i)) + "|";
    return out;
}

TEST(MemoryBlock, ResizeDetachAndStrings) {
    TQSMemoryBlock b(4);
    EXPECT_EQ(b.GetData()[3], 0);
    b.SetString("hello world");
    EXPECT_EQ(b.GetSize(), 12);
    EXPECT_STREQ(reinterpret_cast<char*>(b.GetData()), "hello world");
    b.SetString("hi");
    EXPECT_EQ(b.GetSize(), 12);
    EXPECT_EQ(std::memcmp(b.GetData(), "hi\0\0\0", 5), 0);
    b.Resize(2);
    EXPECT_EQ(b.GetData()[1], 'i');
    b.Resize(0);
    EXPECT_EQ(b.GetData(), nullptr);
    EXPECT_EQ(b.Detach(), nullptr);
    TQSMemoryBlock c("abc");
    TQSMemoryBlock d(c);
    std::unique_ptr<BYTE[]> owned(c.Detach());
    EXPECT_EQ(c.GetSize(), 0);
    EXPECT_STREQ(reinterpret_cast<char*>(owned.get()), "abc");
    EXPECT_STREQ(reinterpret_cast<char*>(d.GetData()), "abc");

    static const char kText[] = {'r', 'e', 's'};
    qsm::RegisterResource(nullptr, "BLOCKTEST", "ONE", kText, 3);
    TQSMemoryBlock r(nullptr, "one", "BlockTest");
    ASSERT_EQ(r.GetSize(), 13);
    EXPECT_STREQ(reinterpret_cast<char*>(r.GetData()), "res");
    TQSMemoryBlock none(nullptr, "two", "BlockTest");
    EXPECT_EQ(none.GetSize(), 0);
}

TEST(MultiField, SplitSetAndInsertKeepOffsets) {
    TQSMultiField two(2, 0);
    two.Split("a,b,c", ',');
    EXPECT_EQ(Fields(two), "a|b|");
    TQSMultiField four(',', "a,b,c", 4);
    EXPECT_EQ(Fields(four), "a|b|c||");
    TQSMultiField pieces(';', "x;;yy", -1);
    EXPECT_EQ(Fields(pieces), "x||yy|");

    TQSMultiField m(3, "one", "two", "three");
    m.SetField(0, "a much longer first field");
    m.SetField(2, "");
    m.SetField(1, "2");
    EXPECT_EQ(Fields(m), "a much longer first field|2||");
    EXPECT_EQ(m.GetUsedSize(), 26 + 2 + 1);
    // The buffer is a list of strings ended by an empty one.
    const char* p = m.GetBuffer();
    EXPECT_STREQ(p + std::strlen(p) + 1, "2");
    m.Insert(1, "ins");
    m.Insert(-1, "end");
    EXPECT_EQ(Fields(m), "a much longer first field|ins|2||end|");
    m.SetField(0, m.GetField(4));  // a field copied from the same buffer
    EXPECT_EQ(Fields(m), "end|ins|2||end|");
    EXPECT_EQ(m.Find("INS", true, -1), 1);
    EXPECT_EQ(m.Find("INS", false, -1), -1);
    EXPECT_STREQ(m.GetField(99), "");
    m.SetField(99, "ignored");
    EXPECT_EQ(m.GetFieldCount(), 5);
}

TEST(MultiField, StreamFormRoundTripsAndDamageStaysInside) {
    TQSMultiField empty(3, 0);
    TQSRFlatRamStream s(0, 64);
    empty.Write(s);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(s.GetData()), s.GetSize()),
              std::string("\x03\x00\x05\x00\x01\x00\x00\x00\x00", 9));

    TQSMultiField m(3, "alpha", "", "gamma");
    m.SetGrowStep(16);
    s.Reset();
    m.Write(s);
    s.Rewind();
    TQSMultiField back(s);
    EXPECT_EQ(s.GetError(), 0);
    EXPECT_EQ(Fields(back), "alpha||gamma|");

    // A stream that states a tiny buffer but carries long fields: each field keeps to the stated room.
    TQSRFlatRamStream bad(0, 64);
    bad.WriteWord(2);
    bad.WriteWord(4);
    bad.WriteWord(1);
    bad.WriteString("0123456789");
    bad.WriteString("abcdefghij");
    bad.Rewind();
    TQSMultiField cut(bad);
    EXPECT_EQ(cut.GetFieldCount(), 2);
    EXPECT_LE(std::strlen(cut.GetField(0)) + std::strlen(cut.GetField(1)), 4u);
    // A truncated stream leaves the rest empty.
    TQSRFlatRamStream shortStream(0, 64);
    shortStream.WriteWord(3);
    shortStream.Rewind();
    TQSMultiField none(shortStream);
    EXPECT_NE(shortStream.GetError(), 0);
    EXPECT_EQ(none.GetFieldCount(), 0);
}

TEST(StringQueue, InsertRemoveAndJoin) {
    TQSStringQueue q(3, false, 8);
    EXPECT_TRUE(q.AddUnique("a"));
    EXPECT_TRUE(q.AddUnique("b"));
    EXPECT_FALSE(q.AddUnique("a"));
    EXPECT_TRUE(q.AddUnique("c"));
    EXPECT_FALSE(q.AddUnique("d"));  // full: nothing written past the last field
    EXPECT_EQ(q.GetCount(), 3);
    EXPECT_TRUE(q.InsertAt(0, "x"));
    EXPECT_EQ(q.GetCount(), 3);
    EXPECT_STREQ(q.GetEntry(0), "x");
    EXPECT_STREQ(q.GetEntry(1), "a");
    EXPECT_STREQ(q.GetEntry(2), "b");
    EXPECT_FALSE(q.InsertAt(5, "y"));
    std::unique_ptr<char[]> joined(q.Join(';'));
    EXPECT_STREQ(joined.get(), "x;a;b");
    EXPECT_TRUE(q.Remove("a"));
    EXPECT_FALSE(q.Remove("a"));
    EXPECT_EQ(q.GetCount(), 2);
    EXPECT_STREQ(q.GetEntry(1), "b");
    EXPECT_STREQ(q.GetEntry(2), "");
    q.Clear();
    EXPECT_EQ(q.GetCount(), 0);

    TQSStringQueue ci(4, true, 4);
    ci.AddUnique("file");
    EXPECT_FALSE(ci.AddUnique("File"));
    EXPECT_TRUE(ci.Contains("FILE"));

    TQSStringQueue split("p|q|r", '|', 2);
    EXPECT_EQ(split.GetCount(), 2);
    EXPECT_EQ(split.Find("q"), 1);
    EXPECT_EQ(split.Find("r"), -1);
}

TEST(CmdLineOptions, QuotesSwitchesAndOverflow) {
    TQSCmdLineOptions o("  \"C:\\My Songs\\a b.qsm\" /play \"\" x\"y\"", '/');
    ASSERT_EQ(o.GetCount(), 4);
    EXPECT_STREQ(o.GetEntry(0), "C:\\My Songs\\a b.qsm");
    EXPECT_STREQ(o.GetEntry(1), "/play");
    EXPECT_STREQ(o.GetEntry(2), "x");
    EXPECT_STREQ(o.GetEntry(3), "y");
    EXPECT_TRUE(o.Contains("/PLAY"));
    TQSCmdLineOptions sw("/play /close", '/');
    EXPECT_EQ(sw.FirstNonSwitch(), nullptr);

    // With the known switch words, a path starting with the switch character is an argument.
    TQSCmdLineOptions known("/play /home/me/song.qsm", '/', "/play\0/close\0");
    EXPECT_STREQ(known.FirstNonSwitch(), "/home/me/song.qsm");
    // An unknown switch is no file; a one-part path is one when it names something that exists.
    TQSCmdLineOptions unknown("/xprintx /XQ song.qsm", '/', "/play\0/close\0");
    EXPECT_TRUE(unknown.IsSwitch("/xprintx"));
    EXPECT_STREQ(unknown.FirstNonSwitch(), "song.qsm");
    EXPECT_EQ(TQSCmdLineOptions("/xfoo", '/', "/play\0").FirstNonSwitch(), nullptr);
    EXPECT_STREQ(TQSCmdLineOptions("/xfoo /tmp", '/', "/play\0").FirstNonSwitch(), "/tmp");

    std::string many;
    for (int i = 0; i < 200; ++i)
        many += "arg" + std::to_string(i) + " ";
    TQSCmdLineOptions lots(many.c_str(), '/');
    EXPECT_EQ(lots.GetCount(), 128);
    EXPECT_STREQ(lots.GetEntry(127), "arg127");
}

TEST(BoolArray, SizesBitsAndSpareBits) {
    EXPECT_EQ(TQSBoolArray(255).GetByteSize(), 32);
    EXPECT_EQ(TQSBoolArray(9).GetByteSize(), 4);
    EXPECT_EQ(TQSBoolArray(8).GetByteSize(), 4);
    EXPECT_EQ(TQSBoolArray(16).GetByteSize(), 6);
    EXPECT_EQ(TQSBoolArray(0).GetByteSize(), 2);

    TQSBoolArray a(3);
    a.Set(0, 1);
    a.Set(2, 1);
    a.InsertBit(0, 1);
    EXPECT_EQ(a.Get(0), 1);
    EXPECT_EQ(a.Get(1), 1);
    EXPECT_EQ(a.Get(2), 0);
    a.DeleteBit(0);
    EXPECT_EQ(a.Get(0), 1);
    EXPECT_EQ(a.Get(1), 0);
    EXPECT_EQ(a.Get(2), 0);
    a.Set(-1, 1);
    a.Set(3, 1);  // outside: nothing changes
    EXPECT_EQ(a.Count(true), 1);

    TQSBoolArray b(10);
    b.Fill(true);
    EXPECT_EQ(b.Count(true), 10);
    for (int i = 0; i < 10; ++i)
        b.Set(i, 0);
    EXPECT_TRUE(b.AnySet());  // the spare bits of the store are still set
    EXPECT_EQ(b.FirstSet(), -1);
    b.Set(0, 1);
    EXPECT_EQ(b.LastSet(), 0);
    b.Set(9, 1);
    EXPECT_EQ(b.LastSet(), 9);

    TQSBoolArray c(10);
    c.Assign(b);
    EXPECT_TRUE(c.IsEqual(b));
    EXPECT_FALSE(c.IsEqual(TQSBoolArray(11)));
    TQSBoolArray big(100);
    big.Assign(b);
    EXPECT_EQ(big.Get(9), 1);
    EXPECT_EQ(big.GetStore()[5], 0);

    EXPECT_EQ(PopCount(0xFFFFFFFFu), 32);
    EXPECT_EQ(PopCount(0x80000001u), 2);
    EXPECT_EQ(PopCount(0), 0);
    EXPECT_EQ(PopCount(0x7F), 7);
}

TEST(FontSpec, DefaultsAndBounds) {
    TQSFontSpec f;
    EXPECT_STREQ(f.FaceName, "Times New Roman");
    EXPECT_EQ(f.PointSize, 12);
    EXPECT_EQ(f.Style, 0);
    std::string longFace(40, 'F');
    f.Set(longFace.c_str(), 0xFF, 1, 2);
    EXPECT_EQ(std::strlen(f.FaceName), 31u);
    EXPECT_EQ(f.Style, 3);
    EXPECT_EQ(f.PointSize, 1);  // Set keeps the size; only SetPointSize raises it
    EXPECT_EQ(f.CharSet, 2);
    f.SetBold(false);
    EXPECT_FALSE(f.IsBold());
    EXPECT_TRUE(f.IsItalic());
    f.SetPointSize(-4);
    EXPECT_EQ(f.GetPointSize(), 2);
    TQSFontSpec g = f;
    EXPECT_TRUE(g == f);
    g.SetItalic(false);
    EXPECT_TRUE(g != f);
}

}  // namespace
