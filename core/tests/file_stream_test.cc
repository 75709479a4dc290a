#include "core/file_stream.h"

#include <gtest/gtest.h>

#include <string>

#include "core/tests/test_files.h"

namespace {

using qsm_test::ReadFile;
using qsm_test::TempDir;
using qsm_test::WriteFile;

TEST(FileStream, ModesCreateEmptyAndRefuse) {
    TempDir dir;
    std::string path = dir.File("a.bin");
    TQSRFStream missing(TQSRFStream::kRead, path.c_str());
    EXPECT_NE(missing.GetError(), 0);
    EXPECT_FALSE(missing.IsOpen());
    missing.Get();
    missing.Put(1);  // every later operation fails too

    WriteFile(path, "0123456789");
    {
        TQSRFStream w(TQSRFStream::kWrite, path.c_str());
        ASSERT_EQ(w.GetError(), 0);
        w.WriteBlock("ab", 2);
    }
    EXPECT_EQ(ReadFile(path), "ab");

    TQSRFStream rw(TQSRFStream::kRead | TQSRFStream::kWrite, path.c_str());
    ASSERT_EQ(rw.GetError(), 0);
    EXPECT_EQ(rw.GetSize(), 2u);
    EXPECT_TRUE(rw.Seek(1));
    rw.Put('Z');
    EXPECT_EQ(rw.Tell(), 2u);
    rw.Rewind();
    EXPECT_EQ(rw.Get(), 'a');
    EXPECT_EQ(rw.Get(), 'Z');
    EXPECT_EQ(rw.GetError(), 0);
    // The raw block read reports a short count at the end without an error; a single read fails.
    char buf[8];
    rw.Rewind();
    EXPECT_EQ(rw.ReadBlock(buf, 8), 2u);
    EXPECT_EQ(rw.GetError(), 0);
    EXPECT_EQ(rw.ReadWord(), 0);
    EXPECT_NE(rw.GetError(), 0);
    rw.Rewind();
    EXPECT_TRUE(rw.SeekRelative(1));
    EXPECT_EQ(rw.Tell(), 1u);
}

TEST(FileStream, DosTimeRoundTrips) {
    TempDir dir;
    std::string path = dir.File("t.bin");
    WriteFile(path, "x");
    TQSRFStream f(TQSRFStream::kRead | TQSRFStream::kWrite, path.c_str());
    // 2021-06-15 10:20:30 local time.
    DWORD packed =
        (static_cast<DWORD>(((2021 - 1980) << 9) | (6 << 5) | 15) << 16) | ((10 << 11) | (20 << 5) | 15);
    ASSERT_TRUE(f.SetDosDateTime(packed));
    DWORD back = 0;
    ASSERT_TRUE(f.GetDosDateTime(&back));
    EXPECT_EQ(back, packed);
}

TEST(BufferedFileStream, BuffersAtMost1024Bytes) {
    TempDir dir;
    std::string path = dir.File("b.bin");
    TQSRBFStream s(TQSRFStream::kWrite, path.c_str(), 30000);
    ASSERT_EQ(s.GetError(), 0);
    EXPECT_EQ(s.GetBufferSize(), 1024u);
    for (int i = 0; i < 1023; ++i)
        s.Put('a');
    EXPECT_EQ(ReadFile(path).size(), 0u);
    s.Put('b');
    EXPECT_EQ(ReadFile(path).size(), 1024u);
    for (int i = 0; i < 5; ++i)
        s.Put('c');
    EXPECT_EQ(s.GetSize(), 1024u);  // pending bytes are not counted
    EXPECT_EQ(s.Tell(), 1029u);
    s.Close();
    EXPECT_EQ(ReadFile(path).size(), 1029u);
}

TEST(BufferedFileStream, SwitchesBetweenReadingAndWriting) {
    TempDir dir;
    std::string path = dir.File("c.bin");
    WriteFile(path, "0123456789");
    TQSRBFStream s(TQSRFStream::kRead | TQSRFStream::kWrite, path.c_str(), 30000);
    ASSERT_EQ(s.GetError(), 0);
    EXPECT_EQ(s.Get(), '0');
    EXPECT_EQ(s.Get(), '1');
    s.Put('X');
    EXPECT_EQ(s.Get(), '3');
    EXPECT_EQ(s.Tell(), 4u);
    s.Close();
    EXPECT_EQ(ReadFile(path), "01X3456789");

    TQSRBFStream r(TQSRFStream::kRead, path.c_str(), 30000);
    for (int i = 0; i < 3; ++i)
        r.Get();
    EXPECT_EQ(r.Tell(), 3u);
    for (int i = 0; i < 7; ++i)
        r.Get();
    EXPECT_EQ(r.Tell(), 10u);  // the drained buffer holds no read-ahead
    EXPECT_EQ(r.GetError(), 0);
    r.Get();
    EXPECT_NE(r.GetError(), 0);
    r.Rewind();
    EXPECT_EQ(r.GetError(), 0);
    EXPECT_EQ(r.Get(), '0');

    // Pending bytes are written at their own place when the stream is rewound.
    TQSRBFStream w(TQSRFStream::kRead | TQSRFStream::kWrite, path.c_str(), 16);
    w.Seek(8);
    w.Put('Y');
    w.Rewind();
    EXPECT_EQ(w.Get(), '0');
    w.Close();
    EXPECT_EQ(ReadFile(path), "01X34567Y9");

    TQSRBFStream missing(TQSRFStream::kRead, dir.File("none").c_str(), 100);
    EXPECT_NE(missing.GetError(), 0);
}

TEST(BufferedFileStream, WriteFailureIsReported) {
    // /dev/full accepts the open and refuses every write.
    TQSRBFStream s(TQSRFStream::kWrite, "/dev/full", 16);
    ASSERT_EQ(s.GetError(), 0);
    s.Put('a');
    s.Flush();
    EXPECT_NE(s.GetError(), 0);
}

}  // namespace
