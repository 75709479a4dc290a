// Compact score files for the plug-in's tests, made from the text scores of the test data.
#pragma once

#include <string>
#include <vector>

namespace qsm::plugin_test {

struct TScoreFileCase {
    std::string name;      // file name
    std::string source;    // text score below the test data folder
    std::string title;     // empty: the text score's own
    std::string comments;  // the comments block
};

// The files the tests use: a score without comments, one with comments, one with pauses and one with the
// longest title.
const std::vector<TScoreFileCase>& ScoreFileCases();

// Writes the case's file into the folder ("[QSZ]" envelope); its path, empty when it could not be made.
std::string MakeScoreFile(const TScoreFileCase& c, const std::string& testdata, const std::string& folder);

}  // namespace qsm::plugin_test
