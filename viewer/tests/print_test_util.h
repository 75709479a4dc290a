// Scores for the printing tests and benchmark: generated text scores of any size.
#pragma once

#include <memory>
#include <string>

#include "score/file/text_score_source.h"
#include "score/music_score.h"

namespace qsm::printtest {

// A score of `staves` staves of `bars` bars of four quarter notes, titled, with a footer line.
inline std::string LongScoreText(int staves, int bars) {
    std::string t =
        "!QuillStaveComposer(2.51)\n|SongInfo|Title:\"Long Study\"|Author:\"A. Writer\"|"
        "Copyright1:\"Footer line one\"\n";
    for (int s = 0; s < staves; ++s) {
        t += "|AddStaff|Name:S" + std::to_string(s + 1) + "\n|Clef|Type:" + (s % 2 ? "Bass" : "Treble") +
             "\n|TimeSig|Signature:4/4\n";
        for (int b = 0; b < bars; ++b) {
            for (int n = 0; n < 4; ++n)
                t += "|Note|Dur:4th|Pos:" + std::to_string((b + n + s) % 7 - 3) + "\n";
            t += "|Bar\n";
        }
    }
    return t;
}

inline std::unique_ptr<TMusicScore> LongScore(int staves, int bars) {
    return ImportTextScoreText(LongScoreText(staves, bars));
}

}  // namespace qsm::printtest
