#include "core/zlib_stream.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/file_stream.h"
#include "core/ram_stream.h"
#include "core/tests/test_files.h"

namespace {

std::string Payload(size_t n, bool random) {
    std::string s(n, 0);
    std::mt19937 rng(42);
    for (size_t i = 0; i < n; ++i)
        s[i] = random ? static_cast<char>(rng()) : "note rest chord "[i % 16];
    return s;
}

std::string Compress(const std::string& data, int mode) {
    auto* sink = new TQSRFlatRamStream(0, 65536);
    TQSRZLibOutStream out(mode, sink, true);
    out.WriteBlock(data.data(), static_cast<DWORD>(data.size()));
    out.Finish();
    EXPECT_EQ(out.GetError(), 0);
    return std::string(reinterpret_cast<const char*>(sink->GetData()), sink->GetSize());
}

// Reads everything through the decompressing stream: by blocks or byte by byte.
std::string Decompress(const std::string& bytes, int mode, bool byBlocks, int* error = nullptr,
                       bool* compressed = nullptr) {
    auto* source = new TQSRFlatRamStream(const_cast<char*>(bytes.data()), static_cast<DWORD>(bytes.size()),
                                         static_cast<DWORD>(bytes.size()));
    TQSRZLibInStream in(mode, source, true);
    std::string out;
    if (byBlocks) {
        char buf[5000];
        DWORD k;
        while ((k = in.ReadBlock(buf, sizeof(buf))) > 0)
            out.append(buf, k);
    } else {
        for (;;) {
            BYTE b = in.Get();
            if (in.GetError()) break;
            out.push_back(static_cast<char>(b));
        }
    }
    if (error) *error = in.GetError();
    if (compressed) *compressed = in.IsCompressed();
    return out;
}

std::string InflateWithZlib(const std::string& bytes, int windowBits) {
    z_stream zs{};
    EXPECT_EQ(inflateInit2(&zs, windowBits), Z_OK);
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    zs.avail_in = static_cast<uInt>(bytes.size());
    std::string out;
    std::vector<char> buf(65536);
    int r;
    do {
        zs.next_out = reinterpret_cast<Bytef*>(buf.data());
        zs.avail_out = static_cast<uInt>(buf.size());
        r = inflate(&zs, Z_NO_FLUSH);
        out.append(buf.data(), buf.size() - zs.avail_out);
    } while (r == Z_OK);
    EXPECT_EQ(r, Z_STREAM_END);
    EXPECT_EQ(zs.avail_in, 0u);
    inflateEnd(&zs);
    return out;
}

TEST(ZLibStreams, EnvelopeBytesAreWhatZlibReads) {
    std::string data = Payload(40000, false);
    std::string qsz = Compress(data, TQSRZLibInStream::kScoreEnvelope);
    ASSERT_GT(qsz.size(), 8u);
    EXPECT_EQ(qsz.substr(0, 6), std::string("[QSZ]\0", 6));
    // A zlib header at level 9: CMF 0x78, FLG with the top bits 11 (maximum compression).
    EXPECT_EQ(static_cast<BYTE>(qsz[6]), 0x78);
    EXPECT_EQ(static_cast<BYTE>(qsz[7]) >> 6, 3);
    EXPECT_EQ(InflateWithZlib(qsz.substr(6), 15), data);

    std::string gz = Compress(data, TQSRZLibInStream::kGzip);
    EXPECT_EQ(static_cast<BYTE>(gz[0]), 0x1F);
    EXPECT_EQ(static_cast<BYTE>(gz[1]), 0x8B);
    EXPECT_EQ(static_cast<BYTE>(gz[8]), 2);  // gzip's "maximum compression" flag
    EXPECT_EQ(InflateWithZlib(gz, 31), data);

    EXPECT_EQ(Compress(data, TQSRZLibInStream::kPlain), data);
    // Nothing written gives nothing, not even the header.
    EXPECT_EQ(Compress(std::string(), TQSRZLibInStream::kScoreEnvelope), "");
}

TEST(ZLibStreams, RoundTripsInEveryEnvelopeAndReadMode) {
    for (bool random : {false, true}) {
        std::string data = Payload(random ? 300000 : 2000000, random);
        for (int mode : {0, 1, 2}) {
            std::string packed = Compress(data, mode);
            for (bool blocks : {true, false}) {
                int error = -1;
                bool compressed = false;
                EXPECT_EQ(Decompress(packed, mode, blocks, &error, &compressed), data) << mode << blocks;
                EXPECT_EQ(compressed, mode != 0);
                EXPECT_EQ(error, blocks ? 0 : 1);  // the byte reader stops at the failing Get
            }
        }
    }
    // A gzip file asked for as the score envelope is still recognised; a plain text asked for as gzip too.
    std::string data = Payload(5000, false);
    bool compressed = false;
    EXPECT_EQ(Decompress(Compress(data, 2), 1, true, nullptr, &compressed), data);
    EXPECT_TRUE(compressed);
    EXPECT_EQ(Decompress(data, 2, true, nullptr, &compressed), data);
    EXPECT_FALSE(compressed);
    // Reading plain never decompresses.
    std::string packed = Compress(data, 1);
    EXPECT_EQ(Decompress(packed, 0, true), packed);
}

TEST(ZLibStreams, DetectionThresholds) {
    bool compressed = true;
    std::string ten("[QSZ]\0\x78\xDA\x03\x00", 10);
    EXPECT_EQ(Decompress(ten, 1, true, nullptr, &compressed), ten);
    EXPECT_FALSE(compressed);
    std::string five("\x1F\x8B\x08\x00\x00", 5);
    EXPECT_EQ(Decompress(five, 2, true, nullptr, &compressed), five);
    EXPECT_FALSE(compressed);
    // A bare zlib stream without the envelope is taken as plain data.
    std::string data = Payload(1000, false);
    std::string bare = Compress(data, 1).substr(6);
    EXPECT_EQ(Decompress(bare, 1, true), bare);
}

TEST(ZLibStreams, DamagedTruncatedAndEmptyInputFail) {
    std::string data = Payload(100000, true);
    for (int mode : {1, 2}) {
        std::string packed = Compress(data, mode);
        for (size_t cut : {packed.size() - 1, packed.size() - 4, packed.size() / 2, size_t{40}, size_t{12}}) {
            int error = 0;
            std::string got = Decompress(packed.substr(0, cut), mode, true, &error);
            EXPECT_NE(error, 0) << "mode " << mode << " cut " << cut;
            EXPECT_LT(got.size(), data.size() + 1);
        }
        std::string damaged = packed;
        for (size_t i = 20; i < damaged.size(); i += 97)
            damaged[i] = static_cast<char>(damaged[i] ^ 0x5A);
        int error = 0;
        Decompress(damaged, mode, true, &error);
        EXPECT_NE(error, 0);
        Decompress(damaged, mode, false, &error);
        EXPECT_NE(error, 0);
    }
    int error = 0;
    bool compressed = true;
    EXPECT_EQ(Decompress(std::string(), 1, true, &error, &compressed), "");
    EXPECT_EQ(error, 0);
    EXPECT_FALSE(compressed);
    EXPECT_EQ(Decompress(std::string(), 1, false, &error), "");
    EXPECT_NE(error, 0);

    // A value cut at the clean end of the data is an error, not a value made of nothing.
    std::string three = Compress("abc", 1);
    auto* source = new TQSRFlatRamStream(three.data(), static_cast<DWORD>(three.size()),
                                         static_cast<DWORD>(three.size()));
    TQSRZLibInStream in(1, source, true);
    EXPECT_EQ(in.ReadWord(), 0x6261);
    EXPECT_EQ(in.GetError(), 0);
    EXPECT_EQ(in.ReadWord(), 0x63);
    EXPECT_NE(in.GetError(), 0);
}

TEST(ZLibStreams, SeekTellAndRewind) {
    std::string data = Payload(70000, false);
    std::string packed = Compress(data, 1);
    auto* source = new TQSRFlatRamStream(packed.data(), static_cast<DWORD>(packed.size()),
                                         static_cast<DWORD>(packed.size()));
    TQSRZLibInStream in(1, source, true);
    EXPECT_EQ(in.GetSize(), 0x7FFFFFF0u);
    ASSERT_TRUE(in.Seek(50000));
    EXPECT_EQ(in.Tell(), 50000u);
    EXPECT_EQ(in.Get(), static_cast<BYTE>(data[50000]));
    ASSERT_TRUE(in.Seek(3));  // backward: starts again and detects the envelope again
    EXPECT_EQ(in.Get(), static_cast<BYTE>(data[3]));
    EXPECT_TRUE(in.IsCompressed());
    EXPECT_FALSE(in.Seek(70001));
    EXPECT_NE(in.GetError(), 0);
    in.Rewind();
    EXPECT_EQ(in.GetError(), 0);
    EXPECT_EQ(in.Tell(), 0u);
    EXPECT_EQ(in.Get(), static_cast<BYTE>(data[0]));
}

TEST(ZLibStreams, WriterStatesAndFileRoundTrip) {
    qsm_test::TempDir dir;
    std::string path = dir.File("song.qsm");
    std::string data = Payload(40000, false);
    {
        TQSRZLibOutStream out(1, new TQSRFStream(TQSRFStream::kWrite, path.c_str()), true);
        for (char c : data)
            out.Put(c);
        EXPECT_EQ(out.Tell(), 40000u);
        EXPECT_EQ(out.GetSize(), 0x7FFFFFF0u);
        out.Finish();
        EXPECT_EQ(out.GetError(), 0);
        out.Put('x');
        EXPECT_NE(out.GetError(), 0);
    }
    TQSRZLibInStream in(1, new TQSRFStream(TQSRFStream::kRead | TQSRFStream::kShareRead, path.c_str()), true);
    std::string back(40000, 0);
    EXPECT_EQ(in.ReadBlock(back.data(), 40000), 40000u);
    EXPECT_EQ(back, data);
    char extra;
    EXPECT_EQ(in.ReadBlock(&extra, 1), 0u);
    EXPECT_EQ(in.GetError(), 0);

    // A writer reset drops what was written and starts a fresh stream.
    auto* sink = new TQSRFlatRamStream(0, 4096);
    TQSRZLibOutStream out(1, sink, true);
    out.WriteBlock("discarded", 9);
    out.Reset();
    out.WriteBlock("kept", 4);
    out.Finish();
    std::string bytes(reinterpret_cast<const char*>(sink->GetData()), sink->GetSize());
    EXPECT_EQ(InflateWithZlib(bytes.substr(6), 15), "kept");

    // A write failure of the file reaches the writer's status.
    TQSRZLibOutStream full(2, new TQSRBFStream(TQSRFStream::kWrite, "/dev/full", 1024), true);
    full.WriteBlock(data.data(), 1000);
    full.Finish();
    EXPECT_NE(full.GetError(), 0);
}

// A reader that stops once it has its bytes learns whether the data around them was whole.
TEST(ZLibStreams, EndsCleanlyChecksTheEndAndTheCheckValues) {
    const std::string data = Payload(40000, true);
    auto ends = [&](const std::string& bytes, int mode, DWORD want, bool* complete = nullptr) {
        auto* source =
            new TQSRFlatRamStream(const_cast<char*>(bytes.data()), static_cast<DWORD>(bytes.size()),
                                  static_cast<DWORD>(bytes.size()));
        TQSRZLibInStream in(mode, source, true);
        std::string got(want, 0);
        DWORD n = in.ReadBlock(got.data(), want);
        if (complete) *complete = n == want && got == data.substr(0, want);
        return in.EndsCleanly();
    };
    for (int mode : {1, 2}) {
        const std::string packed = Compress(data, mode);
        bool complete = false;
        EXPECT_TRUE(ends(packed, mode, 40000));
        EXPECT_TRUE(ends(packed, mode, 100));  // the rest is read and dropped
        // Last bytes damaged (zlib: Adler-32; gzip: length and CRC-32): every byte was delivered, yet the
        // end is not clean.
        for (size_t back : {1u, 4u, 6u}) {
            std::string damaged = packed;
            damaged[damaged.size() - back] ^= 0x20;
            EXPECT_FALSE(ends(damaged, mode, 40000, &complete)) << mode << " " << back;
            if (back <= (mode == 1 ? 4u : 8u)) {
                EXPECT_TRUE(complete) << mode << " " << back;
            }
        }
        EXPECT_FALSE(ends(packed.substr(0, packed.size() - 3), mode, 100)) << mode;
    }
    EXPECT_TRUE(ends(data, 1, 100));  // plain data
    EXPECT_TRUE(ends(data, 0, 40000));
}

}  // namespace

namespace {

// The reference for the mixed reads below: little-endian values straight from the plain data.
DWORD Little(const std::string& data, size_t at, int n) {
    DWORD v = 0;
    for (int i = n - 1; i >= 0; --i)
        v = (v << 8) | static_cast<BYTE>(data[at + i]);
    return v;
}

}  // namespace

// Words, longs and bytes taken straight from the decompressed bytes mix with the stream's own reads, its
// position, seeks and errors, across the decompressor's 16 KiB steps, in every envelope.
TEST(ZLibStreams, PrimitivesAndStreamOperationsMixAcrossBufferSteps) {
    const std::string data = Payload(40000, true);
    for (int mode : {0, 1, 2}) {
        SCOPED_TRACE(mode);
        std::string packed = mode == 0 ? data : Compress(data, mode);
        auto* source = new TQSRFlatRamStream(packed.data(), static_cast<DWORD>(packed.size()),
                                             static_cast<DWORD>(packed.size()));
        TQSRZLibInStream in(mode, source, true);
        size_t at = 0;
        std::mt19937 rng(7);
        while (at + 16 < data.size()) {
            switch (rng() % 6) {
                case 0:
                    ASSERT_EQ(in.ReadWord(), Little(data, at, 2));
                    at += 2;
                    break;
                case 1:
                    ASSERT_EQ(in.ReadLong(), Little(data, at, 4));
                    at += 4;
                    break;
                case 2:
                    ASSERT_EQ(in.GetByte(), static_cast<BYTE>(data[at]));
                    at += 1;
                    break;
                case 3:
                    ASSERT_EQ(in.Get(), static_cast<BYTE>(data[at]));
                    at += 1;
                    break;
                case 4: {
                    char buf[7];
                    ASSERT_EQ(in.ReadBlock(buf, 7), 7u);
                    ASSERT_EQ(std::string(buf, 7), data.substr(at, 7));
                    at += 7;
                    break;
                }
                default:
                    ASSERT_EQ(in.Tell(), at);
                    break;
            }
        }
        // A backward seek starts again; the words after it are those at the new place.
        ASSERT_TRUE(in.Seek(16383));
        EXPECT_EQ(in.ReadLong(), Little(data, 16383, 4));
        EXPECT_EQ(in.Tell(), 16387u);
        // After an error nothing more is read from the window, and the position stays where it was.
        in.SetError();
        EXPECT_EQ(in.ReadWord(), 0);
        EXPECT_EQ(in.GetByte(), 0);
        in.Rewind();
        EXPECT_EQ(in.GetError(), 0);
        EXPECT_EQ(in.ReadWord(), Little(data, 0, 2));
        // A word cut by the end of the data is an error and reads as its bytes that were there.
        ASSERT_TRUE(in.Seek(static_cast<DWORD>(data.size() - 1)));
        EXPECT_EQ(in.ReadWord(), Little(data, data.size() - 1, 1));
        EXPECT_NE(in.GetError(), 0);
    }
}
