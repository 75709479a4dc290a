// Turns a text score into the compressed compact score file that the program carries as a built-in sample:
//   make_sample <in.qsmtxt> <out.qsm>
// A line the importer does not understand becomes a text item that starts with the line's "|"; such a line
// in a sample is a mistake, so it fails the build instead of showing up in the score.
#include <cstdio>
#include <cstring>
#include <memory>

#include "score/expression_items.h"
#include "score/file/score_file.h"
#include "score/file/text_score_source.h"
#include "score/music_score.h"
#include "score/music_staff.h"

namespace {

int CountUnrecognisedLines(TMusicScore& score) {
    int count = 0;
    for (int s = 0; s < score.GetStaffCount(); ++s) {
        TMusicStaff* staff = score.GetStaff(s);
        for (int i = 0; i < staff->GetItemCount(); ++i) {
            const TNotatedItem* item = staff->GetItem(i);
            if (item->GetType() != ntTextExpression) continue;
            const char* text = static_cast<const TTextExpression*>(item)->GetText();
            if (text != nullptr && text[0] == '|') {
                std::fprintf(stderr, "staff %d item %d: line not understood: %s\n", s + 1, i, text);
                ++count;
            }
        }
    }
    return count;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s in.qsmtxt out.qsm\n", argv[0]);
        return 2;
    }
    std::unique_ptr<TMusicScore> score = qsm::ImportTextScoreFile(argv[1]);
    if (!score) {
        std::fprintf(stderr, "%s: not a text score\n", argv[1]);
        return 1;
    }
    if (CountUnrecognisedLines(*score) != 0) {
        std::fprintf(stderr, "%s: lines not understood\n", argv[1]);
        return 1;
    }
    if (score->SongInfo.Title[0] == '\0') {
        std::fprintf(stderr, "%s: the sample has no title\n", argv[1]);
        return 1;
    }
    if (!SaveScoreFile(argv[2], true, *score)) {
        std::fprintf(stderr, "%s: cannot write\n", argv[2]);
        std::remove(argv[2]);
        return 1;
    }
    return 0;
}
