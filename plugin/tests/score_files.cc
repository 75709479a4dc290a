#include "plugin/tests/score_files.h"

#include <cstdio>
#include <memory>

#include "core/file_stream.h"
#include "score/file/score_file.h"
#include "score/file/text_import.h"
#include "score/music_score.h"

namespace qsm::plugin_test {

const std::vector<TScoreFileCase>& ScoreFileCases() {
    static const std::vector<TScoreFileCase> cases = {
        {"plain.qsm", "layout/piano.qsmtxt", "", ""},
        {"comments.qsm", "textscore/sample.qsmtxt", "With comments", "First line\r\nSecond line\n\xE9t\xE9"},
        {"pauses.qsm", "textscore/expressions.qsmtxt", "", ""},
        {"long_title.qsm", "layout/quartet.qsmtxt", std::string(63, 'T'), ""},
    };
    return cases;
}

std::string MakeScoreFile(const TScoreFileCase& c, const std::string& testdata, const std::string& folder) {
    TQSRBFStream in(TQSRFStream::kRead, (testdata + "/" + c.source).c_str(), 1024);
    if (!in.IsOpen()) return "";
    std::unique_ptr<TMusicScore> score(ImportTextScore(in, nullptr, 0));
    if (!score) return "";
    TSongInfo& info = score->SongInfo;
    if (!c.title.empty()) std::snprintf(info.Title, sizeof info.Title, "%s", c.title.c_str());
    std::snprintf(info.Comments, sizeof info.Comments, "%s", c.comments.c_str());
    std::snprintf(info.Copyright1, sizeof info.Copyright1, "(c) 2026 %s", c.name.c_str());
    const std::string path = folder + "/" + c.name;
    return SaveScoreFile(path.c_str(), true, *score) ? path : "";
}

}  // namespace qsm::plugin_test
