#include "score/score_file_header.h"

#include <cstring>

#include "platform/kernel/text.h"
#include "score/music_score.h"

void TScoreFileHeader::Init(int status) {
    std::memset(Product, 0, sizeof Product);
    std::strcpy(Product, "QuillStave Composer");
    FormatVersion = kScoreFormatVersion;
    ProductMajor = 2;
    ProductMinor = 5;
    ReservedWord = 0;
    SavedDate = qsm::TodayDosDate();
    CodePage = GetACP();
    std::memset(ReservedText, 0, sizeof ReservedText);
    Status = status;
}
