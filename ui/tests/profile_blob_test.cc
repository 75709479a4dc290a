// Byte blocks as hexadecimal text in an initialisation file: the stored form, the default text "00", values
// of the wrong length or with a bad pair, and blocks longer than 63 bytes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/kernel/profile.h"
#include "platform/kernel/profile_write.h"
#include "ui/profile_blob.h"

namespace {

class ProfileBlobTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string tmpl = (std::filesystem::temp_directory_path() / "qsm-blob-XXXXXX").string();
        dir = mkdtemp(tmpl.data());
        ini = dir + "/store.ini";
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    void Store(const char* text) { WritePrivateProfileStringA("Options", "v", text, ini.c_str()); }
    std::string dir, ini;
};

TEST_F(ProfileBlobTest, BytesRoundTripAsLowercasePairs) {
    const uint8_t bytes[] = {0x0A, 0xFF};
    EXPECT_TRUE(WriteProfileBlob("Options", "v", bytes, 2, ini.c_str()));
    char text[16];
    GetPrivateProfileStringA("Options", "v", "", text, sizeof text, ini.c_str());
    EXPECT_STREQ(text, "0aff");
    uint8_t out[2] = {};
    EXPECT_EQ(ReadProfileBlob("Options", "v", nullptr, out, 2, ini.c_str()), 2);
    EXPECT_EQ(out[0], 0x0A);
    EXPECT_EQ(out[1], 0xFF);
    // A count of 0 writes an empty text.
    EXPECT_TRUE(WriteProfileBlob("Options", "e", bytes, 0, ini.c_str()));
    GetPrivateProfileStringA("Options", "e", "x", text, sizeof text, ini.c_str());
    EXPECT_STREQ(text, "");
}

TEST_F(ProfileBlobTest, MissingShortLongAndBadValuesFallBack) {
    const uint8_t def[2] = {7, 8};
    uint8_t out[2] = {9, 9};
    // No value: "00" is itself one valid byte, so a count of 1 reads 0 and ignores the default.
    EXPECT_EQ(ReadProfileBlob("Options", "none", def, out, 1, ini.c_str()), 1);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(ReadProfileBlob("Options", "none", def, out, 2, ini.c_str()), 2);
    EXPECT_EQ(out[0], 7);
    EXPECT_EQ(out[1], 8);

    Store("0a0b0c");  // 6 characters for a count of 2
    out[0] = out[1] = 0;
    EXPECT_EQ(ReadProfileBlob("Options", "v", def, out, 2, ini.c_str()), 2);
    EXPECT_EQ(out[0], 7);

    // A pair is read on its own: leading blanks and a trailing non-digit are accepted, a leading one is not.
    Store("\" a1z\"");  // quoted, so that the blank is kept
    EXPECT_EQ(ReadProfileBlob("Options", "v", nullptr, out, 2, ini.c_str()), 2);
    EXPECT_EQ(out[0], 0x0A);
    EXPECT_EQ(out[1], 0x01);
    Store("0bz1");
    out[0] = out[1] = 0;
    EXPECT_EQ(ReadProfileBlob("Options", "v", nullptr, out, 2, ini.c_str()), 0);
    EXPECT_EQ(out[0], 0x0B);  // read before the bad pair
    EXPECT_EQ(ReadProfileBlob("Options", "v", def, out, 2, ini.c_str()), 2);
    EXPECT_EQ(out[1], 8);
}

TEST_F(ProfileBlobTest, LongBlocksAreKeptWhole) {
    std::vector<uint8_t> mru(2500);
    for (size_t i = 0; i < mru.size(); ++i)
        mru[i] = static_cast<uint8_t>(i * 7);
    EXPECT_TRUE(WriteProfileBlob("Options", "z-mru", mru.data(), 2500, ini.c_str()));
    std::vector<uint8_t> back(2500);
    EXPECT_EQ(ReadProfileBlob("Options", "z-mru", nullptr, back.data(), 2500, ini.c_str()), 2500);
    EXPECT_EQ(back, mru);
}

}  // namespace
