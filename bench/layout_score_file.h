#pragma once
// Compact score files of the layout benchmarks' text score, written once per bar count into a folder, for
// the benchmarks that start the program on a file.

#include <map>
#include <memory>
#include <string>

#include "bench/layout_score_text.h"
#include "score/file/score_file.h"
#include "score/file/text_score_source.h"
#include "score/music_score.h"

namespace qsm::bench {

// The file of 32 staves and the given bars in dir, written on first use and remembered in made; empty when
// it could not be written.
inline const std::string& LayoutScoreFile(std::map<int, std::string>& made, const std::string& dir,
                                          int bars) {
    auto found = made.find(bars);
    if (found != made.end()) return found->second;
    std::string path = dir + "/score" + std::to_string(bars) + ".qsm";
    std::unique_ptr<TMusicScore> score = qsm::ImportTextScoreText(MakeLayoutScoreText(32, bars));
    if (!score || !SaveScoreFile(path.c_str(), true, *score)) path.clear();
    return made[bars] = path;
}

}  // namespace qsm::bench
