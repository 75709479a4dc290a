// The fixed name lists through which enumerated values are named. A value is stored as the position of its
// name in its list, so the order of every list is part of the stored data. Each list is a run of names,
// each ended by a NUL, closed by an empty name. Texts are code page 1252 bytes.
#pragma once

// Number of lists.
constexpr int VOCABULARY_LIST_COUNT = 46;

// List i itself: its first name, with the others following it in memory.
const char* GetNameList(int list);
// The n-th name of list i; the first when n is 0 or less, "***" when the list ends before n.
const char* GetListName(int list, int n);

// Song information that a new or reset score starts from: Title 64 bytes, Author 48, Lyricist 48,
// Copyright1 92, Copyright2 92, Comments 1024, each NUL-terminated.
constexpr int SCORE_INFO_SIZE = 1368;
extern char DefaultScoreInfo[SCORE_INFO_SIZE];
// Fills the default song information; done once at start-up.
void InitDefaultScoreInfo();

namespace qsm {
// Byte offsets of the fields of a song information block.
constexpr int SCORE_INFO_TITLE = 0;
constexpr int SCORE_INFO_AUTHOR = 64;
constexpr int SCORE_INFO_LYRICIST = 112;
constexpr int SCORE_INFO_COPYRIGHT1 = 160;
constexpr int SCORE_INFO_COPYRIGHT2 = 252;
constexpr int SCORE_INFO_COMMENTS = 344;
// The default song information with the copyright notice dated in the given year.
void FillDefaultScoreInfo(char* block, int year);
}  // namespace qsm
