// A large compressed stream is inflated ahead of the reader on a worker thread: what the reader sees must be
// what plain zlib gives, whether it reads to the end, stops early, seeks back or meets damaged data.
#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>

#include "core/ram_stream.h"
#include "core/zlib_stream.h"

namespace {

// About 3 MB of text-like bytes that compress well, so that the worker runs through several blocks.
std::string Body() {
    std::string s;
    std::mt19937 rng(7);
    while (s.size() < 3000000)
        s += "chord " + std::to_string(rng() % 500) + " rest ";
    return s;
}

std::string Pack(const std::string& body) {
    uLongf n = compressBound(static_cast<uLong>(body.size()));
    std::string z(n, 0);
    EXPECT_EQ(compress2(reinterpret_cast<Bytef*>(z.data()), &n, reinterpret_cast<const Bytef*>(body.data()),
                        static_cast<uLong>(body.size()), 9),
              Z_OK);
    z.resize(n);
    return std::string("[QSZ]", 6) + z;
}

struct TReader {
    explicit TReader(std::string& packed)
        : in(TQSRZLibInStream::kScoreEnvelope,
             new TQSRFlatRamStream(packed.data(), static_cast<DWORD>(packed.size()),
                                   static_cast<DWORD>(packed.size())),
             true) {}
    std::string Read(DWORD limit) {
        std::string out;
        char buf[3000];
        DWORD k;
        while (out.size() < limit && (k = in.ReadBlock(buf, sizeof buf)) > 0)
            out.append(buf, k);
        return out;
    }
    TQSRZLibInStream in;
};

class ZLibAhead : public ::testing::Test {
protected:
    std::string body = Body();
    std::string packed = Pack(body);
};

TEST_F(ZLibAhead, ReadsWholeStreamsAndSeeksBack) {
    TReader r(packed);
    EXPECT_TRUE(r.Read(0xFFFFFFFF) == body);
    EXPECT_EQ(r.in.GetError(), 0);
    EXPECT_EQ(r.in.Tell(), body.size());
    EXPECT_TRUE(r.in.EndsCleanly());

    // Back to a point inside the part the worker inflated, then word by word across a block's end.
    ASSERT_TRUE(r.in.Seek(1000000));
    for (DWORD at = 1000000; at < 1300000; at += 4) {
        DWORD expected = 0;
        for (int i = 3; i >= 0; --i)
            expected = (expected << 8) | static_cast<BYTE>(body[at + i]);
        ASSERT_EQ(r.in.ReadLong(), expected) << at;
    }
    r.in.Rewind();
    EXPECT_TRUE(r.Read(0xFFFFFFFF) == body);
}

TEST_F(ZLibAhead, StopsWhenClosedOrDestroyedEarly) {
    for (DWORD limit : {300000u, 600000u, 2000000u}) {
        TReader r(packed);
        const std::string got = r.Read(limit);
        EXPECT_EQ(got.size(), r.in.Tell());
        EXPECT_TRUE(got == body.substr(0, got.size()));
        if (limit == 600000u) r.in.Close();
    }
}

TEST_F(ZLibAhead, DamageIsSeenWhereThePlainPathSeesIt) {
    std::string cut = packed.substr(0, packed.size() - 20);
    TReader a(cut);
    std::string got = a.Read(0xFFFFFFFF);
    EXPECT_NE(a.in.GetError(), 0);
    EXPECT_LT(got.size(), body.size());
    EXPECT_TRUE(got == body.substr(0, got.size()));
    EXPECT_FALSE(a.in.EndsCleanly());

    std::string wrongCheck = packed;
    wrongCheck.back() ^= 1;
    TReader b(wrongCheck);
    EXPECT_TRUE(b.Read(0xFFFFFFFF) == body);
    EXPECT_FALSE(b.in.EndsCleanly());
    EXPECT_NE(b.in.GetError(), 0);
}

}  // namespace
