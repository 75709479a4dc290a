#include "score/base/vocabulary.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

int CountNames(int list) {
    int n = 0;
    for (const char* p = GetNameList(list); *p; p += std::strlen(p) + 1)
        ++n;
    return n;
}

int Find(int list, const char* name) {
    int i = 0;
    for (const char* p = GetNameList(list); *p; p += std::strlen(p) + 1, ++i)
        if (std::strcmp(p, name) == 0) return i;
    return -1;
}

TEST(VocabularyTest, EveryListHasItsLength) {
    // Stored values index these lists: a list that grows or shrinks changes what files mean.
    const int expected[VOCABULARY_LIST_COUNT] = {23, 16, 4, 8, 6,  6,  5,  11, 11, 5, 10, 10, 7,  7,  7,  3,
                                                 4,  8,  8, 5, 5,  18, 18, 2,  3,  3, 6,  10, 10, 23, 23, 3,
                                                 3,  4,  4, 4, 14, 14, 2,  3,  2,  2, 4,  1,  1,  6};
    for (int i = 0; i < VOCABULARY_LIST_COUNT; ++i)
        EXPECT_EQ(CountNames(i), expected[i]) << "list " << i;
}

TEST(VocabularyTest, PositionsThatFilesRelyOn) {
    EXPECT_EQ(Find(0, "Clef"), 0);
    EXPECT_EQ(Find(0, "Note"), 8);
    EXPECT_EQ(Find(0, "Boundary"), 22);
    EXPECT_EQ(Find(8, "SectionOpen"), 4);
    EXPECT_STREQ(GetListName(7, 4), "Section Open");
    EXPECT_EQ(Find(1, "Play Highlight"), 8);
    EXPECT_EQ(Find(1, "Highlight 7"), 15);
    EXPECT_EQ(Find(14, "16th"), 4);
    EXPECT_EQ(Find(18, "fff"), 7);
    EXPECT_EQ(Find(22, "phaser"), 17);
    EXPECT_EQ(Find(37, "StaffLyric"), 4);
    EXPECT_EQ(Find(45, "NewSystem"), 5);
    EXPECT_STREQ(GetListName(29, 12), "Pi\xF9 mosso");
    EXPECT_STREQ(GetListName(30, 12), "pi\xF9 mosso");
    EXPECT_STREQ(GetListName(28, 0), ",");
    // Display and keyword forms keep the same order.
    for (auto [display, keyword] :
         {std::pair{4, 5}, {7, 8}, {10, 11}, {17, 18}, {21, 22}, {24, 25}, {33, 34}, {36, 37}})
        EXPECT_EQ(CountNames(display), CountNames(keyword)) << display;
}

TEST(VocabularyTest, NameLookupEdges) {
    EXPECT_STREQ(GetListName(6, 5), "***");
    EXPECT_STREQ(GetListName(6, 4), "Percussion");
    EXPECT_STREQ(GetListName(6, -1), "Treble");
    EXPECT_STREQ(GetListName(6, 1000), "***");
    EXPECT_STREQ(GetListName(43, 0), "#bnxv");
    EXPECT_STREQ(GetListName(43, 1), "***");
    EXPECT_EQ(std::strchr(GetListName(44, 0), 'W') - GetListName(44, 0), 50);
    EXPECT_STREQ(GetNameList(12), "A");
    EXPECT_STREQ(GetListName(46, 0), "***");
    EXPECT_STREQ(GetListName(-1, 0), "***");
}

TEST(VocabularyTest, DefaultSongInformation) {
    char block[SCORE_INFO_SIZE];
    qsm::FillDefaultScoreInfo(block, 2031);
    EXPECT_STREQ(block + qsm::SCORE_INFO_TITLE, "");
    EXPECT_STREQ(block + qsm::SCORE_INFO_AUTHOR, "QuillStave Composer");
    EXPECT_STREQ(block + qsm::SCORE_INFO_LYRICIST, "");
    std::string notice = block + qsm::SCORE_INFO_COPYRIGHT1;
    EXPECT_NE(notice.find("2031"), std::string::npos);
    EXPECT_NE(notice.find('\xA9'), std::string::npos);
    EXPECT_LT(notice.size(), 92u);
    EXPECT_STREQ(block + qsm::SCORE_INFO_COPYRIGHT2, "");
    EXPECT_STREQ(block + qsm::SCORE_INFO_COMMENTS, "");
    EXPECT_EQ(block[SCORE_INFO_SIZE - 1], 0);

    // The global block was filled at start-up.
    EXPECT_STREQ(DefaultScoreInfo + qsm::SCORE_INFO_AUTHOR, "QuillStave Composer");
    EXPECT_NE(DefaultScoreInfo[qsm::SCORE_INFO_COPYRIGHT1], 0);
}

}  // namespace
