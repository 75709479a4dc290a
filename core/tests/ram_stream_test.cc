#include "core/ram_stream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/kernel/clipboard.h"
#include "platform/kernel/memory.h"
#include "platform/kernel/resources.h"

namespace {

TEST(SizerStream, CountsWithoutStoring) {
    TQSRSizerStream s;
    for (int i = 0; i < 10; ++i)
        s.Put(i);
    EXPECT_TRUE(s.Seek(4));
    s.Put(1);
    s.Put(2);
    EXPECT_EQ(s.GetSize(), 10u);
    EXPECT_EQ(s.Tell(), 6u);
    EXPECT_TRUE(s.Seek(10));
    EXPECT_FALSE(s.Seek(11));
    EXPECT_EQ(s.Tell(), 10u);
    s.Get();
    EXPECT_NE(s.GetError(), 0);
    s.Reset();
    EXPECT_EQ(s.GetSize(), 0u);
    EXPECT_EQ(s.GetError(), 0);
}

TEST(SegRamStream, SpansSegmentsAndSeeks) {
    TQSRSegRamStream s(1024);
    for (int i = 0; i < 3000; ++i)
        s.Put(i % 251);
    EXPECT_EQ(s.CountSegments(), 3);
    EXPECT_EQ(s.GetSize(), 3000u);
    ASSERT_TRUE(s.Seek(2500));
    EXPECT_EQ(s.Get(), 2500 % 251);
    // Exactly at a segment boundary, reading and writing go on in the next segment.
    ASSERT_TRUE(s.Seek(1024));
    EXPECT_EQ(s.Get(), 1024 % 251);
    ASSERT_TRUE(s.Seek(2048));
    s.Put(0xEE);
    ASSERT_TRUE(s.Seek(2047));
    EXPECT_EQ(s.Get(), 2047 % 251);
    EXPECT_EQ(s.Get(), 0xEE);
    EXPECT_FALSE(s.Seek(3001));
    ASSERT_TRUE(s.Seek(3000));
    s.Get();
    EXPECT_NE(s.GetError(), 0);

    s.Reset();
    EXPECT_EQ(s.CountSegments(), 1);
    EXPECT_EQ(s.GetSize(), 0u);
    // Writing exactly one segment and reading it back does not need a second one.
    for (int i = 0; i < 1024; ++i)
        s.Put(i & 0xFF);
    EXPECT_EQ(s.CountSegments(), 1);
    s.Rewind();
    std::vector<BYTE> back(1024);
    EXPECT_EQ(s.ReadBlock(back.data(), 1024), 1024u);
    EXPECT_EQ(back[1023], 1023 & 0xFF);
}

TEST(FlatRamStream, GrowsByStepAndFixedViewsRefuse) {
    TQSRFlatRamStream grow(100, 1000);
    for (int i = 0; i < 100; ++i)
        grow.Put(i);
    EXPECT_EQ(grow.GetCapacity(), 100u);
    grow.Put(1);
    EXPECT_EQ(grow.GetCapacity(), 1000u);
    std::vector<BYTE> block(950, 7);
    grow.WriteBlock(block.data(), 950);
    EXPECT_EQ(grow.GetCapacity(), 2000u);
    EXPECT_EQ(grow.GetSize(), 1051u);
    EXPECT_EQ(grow.GetError(), 0);
    EXPECT_EQ(grow.GetData()[99], 99);
    EXPECT_EQ(grow.GetData()[1050], 7);

    std::vector<BYTE> buffer(2048);
    TQSRFlatRamStream view(buffer.data(), 2048, 0);
    std::vector<BYTE> fill(2048, 3);
    view.WriteBlock(fill.data(), 2048);
    EXPECT_EQ(view.GetError(), 0);
    view.Put(9);
    EXPECT_NE(view.GetError(), 0);
    EXPECT_EQ(view.GetSize(), 2048u);

    // Reading the text held in a caller's buffer.
    char text[] = "line one\nline two";
    TQSRFlatRamStream reader(text, sizeof(text), static_cast<DWORD>(std::strlen(text)));
    char line[32];
    reader.ReadLine(line, 32);
    EXPECT_STREQ(line, "line one");
    EXPECT_TRUE(reader.Seek(reader.GetSize()));
    EXPECT_FALSE(reader.Seek(reader.GetSize() + 1));
}

const char kResourceBytes[] = "resource bytes";

TEST(ResourceStream, ReadsInPlaceAndRefusesWrites) {
    qsm::RegisterResource(nullptr, "TESTDATA", MAKEINTRESOURCEA(7), kResourceBytes,
                          sizeof(kResourceBytes) - 1);
    TQSRResourceStream s(nullptr, MAKEINTRESOURCEA(7), "testdata");
    ASSERT_EQ(s.GetError(), 0);
    EXPECT_EQ(s.GetSize(), sizeof(kResourceBytes) - 1);
    char buf[32];
    s.ReadString(buf, sizeof(buf));
    EXPECT_STREQ(buf, "resource bytes");
    s.Rewind();
    s.Put('x');
    EXPECT_NE(s.GetError(), 0);
    EXPECT_EQ(s.GetData()[0], 'r');

    TQSRResourceStream missing(nullptr, MAKEINTRESOURCEA(8), "TESTDATA");
    EXPECT_NE(missing.GetError(), 0);
    EXPECT_EQ(missing.GetSize(), 0u);
}

TEST(ClipboardStream, ReadsTextWithinTheBlock) {
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    // Text without a terminator: the length stops at the block's end.
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 5);
    std::memcpy(GlobalLock(h), "hello", 5);
    GlobalUnlock(h);
    SetClipboardData(CF_TEXT, h);
    CloseClipboard();
    {
        TQSRClipbrdStream s(CF_TEXT, nullptr);
        ASSERT_EQ(s.GetError(), 0);
        EXPECT_EQ(s.GetSize(), 5u);
        s.Put('x');
        EXPECT_NE(s.GetError(), 0);
        // The stream keeps the clipboard open while it lives.
        EXPECT_FALSE(OpenClipboard(nullptr));
    }
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    CloseClipboard();
    TQSRClipbrdStream none(CF_TEXT, nullptr);
    EXPECT_NE(none.GetError(), 0);
}

}  // namespace
