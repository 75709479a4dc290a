// The generator must write the bytes that the format description gives; this file is the minimal
// version 32 file of the format reference, transcribed byte by byte.
#include <gtest/gtest.h>

#include "score/file/tests/file_gen.h"

namespace qsm::gen {
namespace {

std::vector<uint8_t> Hex(const char* text) {
    std::vector<uint8_t> out;
    unsigned v = 0;
    int digits = 0;
    for (const char* p = text; *p; ++p) {
        int d = (*p >= '0' && *p <= '9') ? *p - '0' : (*p >= 'a' && *p <= 'f') ? *p - 'a' + 10 : -1;
        if (d < 0) continue;
        v = v * 16 + static_cast<unsigned>(d);
        if (++digits == 2) {
            out.push_back(static_cast<uint8_t>(v));
            v = 0;
            digits = 0;
        }
    }
    return out;
}

std::vector<uint8_t> Str(const char* s) {
    std::vector<uint8_t> out(s, s + std::char_traits<char>::length(s));
    out.push_back(0);
    return out;
}

TEST(FileGenerator, WritesTheMinimalFileOfTheFormatReference) {
    std::vector<uint8_t> expect;
    auto add = [&](const std::vector<uint8_t>& v) { expect.insert(expect.end(), v.begin(), v.end()); };
    add(Str("[QuillStave InkWork]"));
    add(Hex("00 00"));
    add(Str("[QuillStave Composer]"));
    add(Hex("05 02 02 00 00 00"));
    add(Str("N/A"));
    add(Hex("00 b1 58 e4 04 00 00 00 00 20 00"));
    add(Hex("54 00 41 00 00 00 00 00"));
    add(Hex("59 59 5f 00 46 32 00 00 00 01 00"));
    add(Str("0.50000000 0.50000000 0.50000000 0.50000000"));
    add(Hex("00 08 00 01"));
    add(std::vector<uint8_t>(31, 0));
    add(Hex("ff 00 10 00"));
    const char* recs[12] = {"03 0a 00 00", "01 08 00 00", "00 07 00 00", "01 18 00 00",
                            "00 0c 00 00", "00 08 00 00", "00 08 00 00", "00 08 00 00",
                            "00 08 00 00", "00 08 00 00", "00 08 00 00", "00 08 00 00"};
    for (const char* r : recs) {
        add(Str("Times New Roman"));
        add(Hex(r));
    }
    add(Hex("ff 00 00 00 ff 00"));
    add(Hex("ff ff ff ff ff ff ff ff ff ff 00 00 01 00"));
    add(Str("Staff"));
    add(Hex("00 00 00"));
    add(Str("Standard"));
    add(
        Hex("00 00 00 00 00 00 00 00 00 00 00 00 00 0a 1e 2d 3c 4b 5c 6c 7f 00 00 f4 ff 0c 00 05 00 00"
            "00 00 7f 00 40 00 00 00 00 00 00 00 00 03 00"));
    add(Hex("08 00 00 02 00 00 00 00 00 00 05"));
    ASSERT_EQ(expect.size(), 502u);

    File f;
    f.staves[0].items = {Note{.pos = 0, .acc = 5}.Encode(32)};
    EXPECT_EQ(f.Encode().data, expect);
}

TEST(FileGenerator, PutsVersionGatedFieldsOnlyWhereTheyExist) {
    // Version 8 staves carry their two boundary bar lines; version 9 ones do not.
    Staff s;
    EXPECT_EQ(s.Encode(8).size(), s.Encode(9).size() - 1 + 8);
    // The mark number sits in the prefix for versions 24-28 and in its own byte from 29 on.
    Note n{.song = {.mark = 3}};
    EXPECT_EQ(n.Encode(28).data[2], (1 << 2) | (1 << 6));
    EXPECT_EQ(n.Encode(29).data[9], 3);  // after the code, the prefix and three words
    EXPECT_EQ(n.Encode(29).size(), n.Encode(28).size() + 1);
}

}  // namespace
}  // namespace qsm::gen
