// Runs the collision check of ink_check.h over whole scores: lays each out on pages of a given width with
// the program's own fonts, as printing does, draws every system into a recording DC and collects each
// overlap and each mark past the printable width, with the file, page, position and the two items.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "render/layout/tests/ink_check.h"

class TMusicScore;

namespace qsm::ink {

struct Finding {
    std::string file;
    int page = 0, system = 0;
    int x = 0, y = 0;     // on the page, in pixels
    std::string kind;     // "note/text: head + lyric", "past the printable width: slur" ...
    std::string allowed;  // the entry of the list of placements the layout makes on purpose, or empty
    std::string text;     // the whole report line
};

// Pages `width` pixels wide at the staff space (in pixels); the printable width is the width less the
// margins and the label column. Checks the first maxSystems systems.
std::vector<Finding> CheckScore(TMusicScore& score, const std::string& file, int width, int staffSpace,
                                InkReader& reader, int maxSystems = 400);

// The scores the check runs over: every text score of testdata, the built-in samples, the MIDI files of
// testdata, the MIDI files the importer's fuzzing starts from, and those of the corpus folder (when given and
// present).
std::vector<std::string> CheckedFiles(const std::string& corpus);
std::unique_ptr<TMusicScore> LoadScore(const std::string& path);

// Counts of findings by kind, allowed ones apart.
std::map<std::string, int> CountByKind(const std::vector<Finding>& findings, bool allowed);

}  // namespace qsm::ink
