// plugin_expect TESTDATA FOLDER: writes the plug-in tests' score files into the folder and prints, as JSON,
// what loading each of them in this process gives: its song texts and its play lengths in milliseconds
// with pauses and without.
#include <cstdio>
#include <memory>
#include <string>

#include "midi/score_player.h"
#include "plugin/tests/score_files.h"
#include "score/base/midi_file_buf.h"
#include "score/file/score_file.h"
#include "score/music_score.h"

namespace {

// Code page 1252 bytes as JSON (bytes above 127 as the Latin-1 code points Python decodes them back to).
std::string Json(const char* s) {
    std::string out = "\"";
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(s); *p; ++p) {
        if (*p == '"' || *p == '\\') {
            out += '\\';
            out += static_cast<char>(*p);
        } else if (*p < 0x20 || *p > 0x7E) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", *p);
            out += esc;
        } else {
            out += static_cast<char>(*p);
        }
    }
    return out + "\"";
}

unsigned PlayLengthMs(TMusicScore& score, WORD kindMask) {
    TMidiFileBuf song;
    song.SetKindMask(kindMask);
    TScoreMidiPlayer player;
    player.SetScore(&score);
    player.RenderWithoutClear(song);
    return player.GetPlayLengthMs();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    std::printf("[\n");
    bool first = true;
    for (const auto& c : qsm::plugin_test::ScoreFileCases()) {
        const std::string path = qsm::plugin_test::MakeScoreFile(c, argv[1], argv[2]);
        TScoreFileHeader hdr;
        std::unique_ptr<TMusicScore> score(path.empty() ? nullptr
                                                        : LoadScoreFile(path.c_str(), hdr, nullptr));
        if (!score) {
            std::fprintf(stderr, "cannot make or load %s\n", c.name.c_str());
            return 1;
        }
        const TSongInfo& i = score->SongInfo;
        std::printf(
            "%s{\"path\": %s, \"title\": %s, \"author\": %s, \"copyright1\": %s, \"copyright2\": %s,\n"
            " \"comments\": %s, \"ms\": %u, \"smf_ms\": %u}",
            first ? "" : ",\n", Json(path.c_str()).c_str(), Json(i.Title).c_str(), Json(i.Author).c_str(),
            Json(i.Copyright1).c_str(), Json(i.Copyright2).c_str(), Json(i.Comments).c_str(),
            PlayLengthMs(*score, 0x0C), PlayLengthMs(*score, 0x1C));
        first = false;
    }
    std::printf("\n]\n");
    return 0;
}
