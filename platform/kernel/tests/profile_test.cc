#include "platform/kernel/profile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace {

class ProfileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/qsm-profile-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        path_ = dir_ + "/fonts.ini";
    }
    void TearDown() override {
        std::remove(path_.c_str());
        rmdir(dir_.c_str());
    }
    void Write(const std::string& text) {
        FILE* f = std::fopen(path_.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }
    std::string Get(const char* section, const char* key, const char* def = "", DWORD size = 64) {
        char buf[64];
        DWORD n = GetPrivateProfileStringA(section, key, def, buf, size, path_.c_str());
        EXPECT_EQ(n, std::string(buf).size());
        return buf;
    }
    std::string dir_, path_;
};

TEST_F(ProfileTest, FindsValuesBySectionAndKeyWithoutRegardToCase) {
    Write(
        "\xEF\xBB\xBF; the font list\r\n"
        "[Fonts]\r\n"
        "QSM2STDA = qsm2stda.ttf \r\n"
        "  qsswCmdButtons=\"cmd buttons.ttf\"\r\n"
        "[FontAlternates]\n"
        "Times New Roman=Liberation Serif\n"
        "Empty=\n"
        "[Config]\n"
        "FileMRU=list.dat\n"
        "Count=-12x\n"
        "[fonts]\n"
        "Late=not read\n");
    EXPECT_EQ(Get("Fonts", "QSM2STDA"), "qsm2stda.ttf");
    EXPECT_EQ(Get("FONTS", "qsm2stda"), "qsm2stda.ttf");
    EXPECT_EQ(Get("Fonts", "qsswCmdButtons"), "cmd buttons.ttf");
    EXPECT_EQ(Get("FontAlternates", "times new roman"), "Liberation Serif");
    EXPECT_EQ(Get("FontAlternates", "Empty", "x"), "");
    // A key of another section, a later section of the same name, a missing file: the default.
    EXPECT_EQ(Get("Fonts", "Times New Roman", "none  "), "none");
    EXPECT_EQ(Get("Fonts", "Late"), "");
    EXPECT_EQ(Get(nullptr, "FileMRU", "d"), "d");
    EXPECT_EQ(Get("Config", nullptr, "d"), "d");
    char buf[8];
    EXPECT_EQ(GetPrivateProfileStringA("Config", "FileMRU", "FileMRU.dat", buf, 8, "/nonexistent/x.ini"), 7u);
    EXPECT_STREQ(buf, "FileMRU");
    // Cut to the buffer, always terminated.
    EXPECT_EQ(Get("Config", "FileMRU", "", 5), "list");
    EXPECT_EQ(GetPrivateProfileIntA("Config", "Count", 7, path_.c_str()), static_cast<UINT>(-12));
    EXPECT_EQ(GetPrivateProfileIntA("Config", "FileMRU", 7, path_.c_str()), 0u);
    EXPECT_EQ(GetPrivateProfileIntA("Config", "Missing", 7, path_.c_str()), 7u);
}

TEST_F(ProfileTest, OddLinesAreSkipped) {
    Write("key=before any section\n[Broken\nno equals sign\n[Config]\n=nameless\nFileMRU = a=b\n");
    EXPECT_EQ(Get("Config", "FileMRU"), "a=b");
    EXPECT_EQ(Get("Config", ""), "nameless");
    EXPECT_EQ(Get("Broken", "key", "d"), "d");
}

}  // namespace
