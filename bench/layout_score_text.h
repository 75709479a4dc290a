#pragma once
// Text score of many staves for the layout and view benchmarks: bars of half notes with a slur and a tie,
// beamed eighths with a chord, and whole notes, about four items a bar, so that 8,000 bars stay inside a
// staff's item limit.

#include <string>

namespace qsm::bench {

inline std::string MakeLayoutScoreText(int staves, int bars) {
    std::string t = "!QuillStaveComposer(2.51)\n";
    for (int s = 0; s < staves; ++s) {
        t += "|AddStaff|Name:S" + std::to_string(s) + "\n|Clef|Type:" + (s % 2 ? "Bass" : "Treble") +
             "\n|TimeSig|Signature:4/4\n";
        for (int b = 0; b < bars; ++b) {
            switch ((b + s) % 3) {
                case 0:
                    t += "|Note|Dur:Half,Slur|Pos:0\n|Note|Dur:Half|Pos:-1^\n";
                    break;
                case 1:
                    for (int i = 0; i < 4; ++i)
                        t += "|Note|Dur:8th|Pos:" + std::to_string(i - 2) + "|Opts:Beam" +
                             (i == 0 ? "=First" : (i == 3 ? "=End" : "")) + "\n";
                    t += "|Chord|Dur:Half|Pos:-2,0,2\n";
                    break;
                default:
                    t += "|Note|Dur:Whole|Pos:-1\n";
                    break;
            }
            t += "|Bar\n";
        }
    }
    return t;
}

}  // namespace qsm::bench
