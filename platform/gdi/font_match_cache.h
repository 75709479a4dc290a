// A file in the user's cache folder that keeps the faces fontconfig matched in one run for later runs, with
// what those matches depend on: facts compared as they are (versions, environment, program) and the files and
// folders fontconfig read, compared with what stat says of them now.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace qsm::gdi {

// A face as fontconfig matched it.
struct FontMatch {
    std::string file;
    int index = 0;
    std::string family;
    int weight = 0;
    int slant = 0;
    bool operator==(const FontMatch&) const = default;
};

// What stat said of a path, following links; a path that is not there is only that.
struct PathState {
    std::string path;
    bool exists = false;
    uint64_t dev = 0;
    uint64_t ino = 0;
    uint64_t size = 0;
    int64_t mtimeNs = 0;
    int64_t ctimeNs = 0;
    bool operator==(const PathState&) const = default;
};

PathState StatPath(const std::string& path);

// True when stat says of every path what it said before.
bool PathsUnchanged(const std::vector<PathState>& paths);

// True when a path was changed at `sinceNs` (CLOCK_REALTIME_COARSE) or later, as far as its times tell (a
// time in whole seconds counts as up to two seconds later): what was read before that change may not be what
// stat says now.
bool ChangedSince(const std::vector<PathState>& paths, int64_t sinceNs);

// The file's contents. The key is everything but the matches.
struct FontMatchRecord {
    std::vector<std::string> facts;
    std::vector<PathState> paths;
    // The font files the program gives fontconfig at its set-up, in that order, and whether fontconfig took
    // each.
    std::vector<PathState> files;
    std::vector<bool> taken;
    std::map<std::string, FontMatch> matches;

    bool SameKey(const FontMatchRecord& o) const {
        return facts == o.facts && paths == o.paths && files == o.files && taken == o.taken;
    }
};

std::string EncodeFontMatches(const FontMatchRecord& record);
// False for anything but a whole, well-formed file of this kind.
bool DecodeFontMatches(std::string_view data, FontMatchRecord* record);

// The file for this program in the user's cache folder, one for each `install` (what tells copies of the
// program apart); empty when the user has no home to keep it in.
std::string FontMatchFile(const std::string& program, std::string_view install);

// False when the file is missing, is not a whole file of this kind, or others than the user may write it.
bool ReadFontMatches(const std::string& file, FontMatchRecord* record);
// Replaces the file at once (a temporary file renamed over it), making its folder if need be.
bool WriteFontMatches(const std::string& file, const FontMatchRecord& record);

// Whether this process has set up fontconfig: false as long as kept matches stand in for it. Asked once fonts
// were used (the set-up may still be going on before).
bool FontconfigSetUp();

}  // namespace qsm::gdi
