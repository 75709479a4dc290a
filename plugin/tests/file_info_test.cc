// The score-file information exports in-process: the information text and its bounds, and play times of
// files the loader has to mend or cannot read.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "plugin/file_info.h"
#include "plugin/tests/score_files.h"

namespace {

using qsm::plugin_test::MakeScoreFile;
using qsm::plugin_test::ScoreFileCases;

class FileInfoTest : public ::testing::Test {
protected:
    void SetUp() override {
        char folder[] = "/tmp/qsm-file-info-XXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        dir_ = folder;
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string Make(int index) {
        std::string path = MakeScoreFile(ScoreFileCases()[index], QSM_TESTDATA_DIR, dir_);
        EXPECT_FALSE(path.empty());
        return path;
    }
    std::string dir_;
};

TEST_F(FileInfoTest, TextIsCrLfLinesAlwaysTerminatedAndBounded) {
    const std::string plain = Make(0);
    char buf[600];
    std::memset(buf, 0x55, sizeof buf);
    EXPECT_EQ(GetQSMFileInfo(plain.c_str(), buf, 10), 0);
    EXPECT_EQ(buf[0], 0x55);
    EXPECT_EQ(GetQSMFileInfo(plain.c_str(), nullptr, 100), 0);

    EXPECT_EQ(GetQSMFileInfo(plain.c_str(), buf, sizeof buf), 0);
    EXPECT_STREQ(
        buf, "Title:\tLayout study\r\nAuthor:\tTest\r\nCopyright1:\t(c) 2026 plain.qsm\r\nCopyright2:\t\r\n");

    const std::string comments = Make(1);
    EXPECT_EQ(GetQSMFileInfo(comments.c_str(), buf, sizeof buf), 1);
    EXPECT_NE(std::strstr(buf, "\r\nComments:\r\nFirst line\r\nSecond line\n\xE9t\xE9\r\n\r\n"), nullptr)
        << buf;

    // A title longer than the buffer: cut, terminated in the last byte, nothing written beyond.
    const std::string longTitle = Make(3);
    std::memset(buf, 0x55, sizeof buf);
    EXPECT_EQ(GetQSMFileInfo(longTitle.c_str(), buf, 40), 0);
    EXPECT_EQ(std::string(buf), "Title:\t" + std::string(32, 'T'));
    for (size_t i = 40; i < sizeof buf; ++i)
        ASSERT_EQ(buf[i], 0x55) << i;
}

TEST_F(FileInfoTest, PlayTimesCountPausesOnlyForTheScore) {
    const std::string pauses = Make(2);
    const unsigned withPauses = GetQSMFilePlayTime(pauses.c_str());
    const unsigned smf = GetQSMFileSMFPlayTime(pauses.c_str());
    EXPECT_GT(smf, 0u);
    EXPECT_GT(withPauses, smf);
}

TEST_F(FileInfoTest, AFileWithCrLfLineEndsIsReadFromARepairedCopy) {
    const std::string plain = Make(0);
    std::ifstream in(plain, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_NE(bytes.find('\n'), std::string::npos);
    std::string crlf;
    for (char c : bytes) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    const std::string mangled = dir_ + "/mangled.qsm";
    std::ofstream(mangled, std::ios::binary) << crlf;
    EXPECT_GT(GetQSMFilePlayTime(plain.c_str()), 0u);
    EXPECT_EQ(GetQSMFilePlayTime(mangled.c_str()), GetQSMFilePlayTime(plain.c_str()));
}

TEST_F(FileInfoTest, UnreadableFilesAnswerZero) {
    char buf[64];
    std::memset(buf, 0x55, sizeof buf);
    const std::string text = QSM_TESTDATA_DIR "/textscore/sample.qsmtxt";
    EXPECT_EQ(GetQSMFileInfo(text.c_str(), buf, sizeof buf), 0);
    EXPECT_EQ(buf[0], 0x55);
    EXPECT_EQ(GetQSMFilePlayTime(text.c_str()), 0u);
    EXPECT_EQ(GetQSMFileInfo(dir_.c_str(), buf, sizeof buf), 0);
    EXPECT_EQ(GetQSMFilePlayTime("/nonexistent/file.qsm"), 0u);
    EXPECT_EQ(GetQSMFilePlayTime(nullptr), 0u);
    EXPECT_EQ(GetQSMFileInfo(nullptr, buf, sizeof buf), 0);
}

}  // namespace
