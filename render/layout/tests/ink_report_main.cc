// Prints the findings of the collision check over the checked scores: ink_report [corpus folder]
// [width...]; with QSM_INK_LIST set, every finding, else the counts by kind; QSM_INK_ONLY=text checks the
// files whose path holds the text, and QSM_INK_DUMP=1 prints every mark, QSM_INK_SPACE sets the
// staff space (12 pixels).
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "render/hooks.h"
#include "render/layout/tests/ink_run.h"
#include "score/music_score.h"

int main(int argc, char** argv) {
    qsm::InstallScoreHooks();
    const std::string corpus = argc > 1 ? argv[1] : "";
    std::vector<int> widths;
    for (int i = 2; i < argc; ++i)
        widths.push_back(std::atoi(argv[i]));
    if (widths.empty()) widths = {1200, 640};
    const bool list = std::getenv("QSM_INK_LIST") != nullptr;
    const int space = std::getenv("QSM_INK_SPACE") ? std::atoi(std::getenv("QSM_INK_SPACE")) : 12;
    qsm::ink::InkReader reader;
    std::vector<qsm::ink::Finding> all;
    const char* only = std::getenv("QSM_INK_ONLY");  // checks only the files whose path holds this text
    for (const std::string& file : qsm::ink::CheckedFiles(corpus)) {
        if (only && file.find(only) == std::string::npos) continue;
        auto score = qsm::ink::LoadScore(file);
        if (!score) continue;
        for (int width : widths) {
            auto found = qsm::ink::CheckScore(*score, file, width, space, reader);
            for (const auto& f : found)
                if (list) std::printf("%s\n", f.text.c_str());
            all.insert(all.end(), found.begin(), found.end());
        }
    }
    for (bool allowed : {false, true}) {
        std::printf("%s\n", allowed ? "== on the list" : "== not on the list");
        for (const auto& [kind, n] : qsm::ink::CountByKind(all, allowed))
            std::printf("%6d  %s\n", n, kind.c_str());
    }
    return 0;
}
