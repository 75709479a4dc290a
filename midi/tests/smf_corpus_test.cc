// Real MIDI files that no one on the project wrote (fetched from Debian packages by
// tools/fetch_midi_corpus.sh into the build folder): each is read, converted into a score with the viewer's
// instructions and played back; the notes must come back as the conversion's grid and rules make them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/file_stream.h"
#include "midi/smf_convert.h"
#include "midi/smf_file.h"
#include "midi/tests/smf_roundtrip.h"
#include "score/music_score.h"
#include "score/music_staff.h"
#include "score/notated_item.h"

namespace {

std::vector<std::string> CorpusFiles() {
    const char* env = std::getenv("QSM_MIDI_CORPUS");
    const std::filesystem::path root = env != nullptr ? env : QSM_BINARY_DIR "/midi-corpus";
    std::vector<std::string> files;
    std::error_code ec;
    if (!std::filesystem::is_directory(root, ec)) return files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root, ec)) {
        std::string ext = entry.path().extension().string();
        std::transform(ext.begin(), ext.end(), ext.begin(),
                       [](unsigned char ch) { return std::tolower(ch); });
        if (entry.is_regular_file() && ext == ".mid") files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

bool ReadFile(const std::string& path, TSMFData& data) {
    TQSRBFStream in(5, path.c_str(), 30000);
    if (in.GetError() != 0) return false;
    TSMFImport::Run(&data, &in, nullptr);
    return true;
}

// Whether the staff opens with a clef, a key and a time signature before its first note or rest.
bool OpensWithSignatures(const TMusicStaff& staff) {
    bool clef = false, key = false, time = false;
    for (int i = 1; i < staff.GetLastIndex(); ++i) {
        const int type = staff.GetItem(i)->GetType();
        if (type == ntNote || type == ntRest || type == ntChord) break;
        clef = clef || type == ntClef;
        key = key || type == ntKey;
        time = time || type == ntTimeSignature;
    }
    return clef && key && time;
}

}  // namespace

TEST(MidiCorpus, EveryFileConvertsAndPlaysItsNotesBack) {
    const std::vector<std::string> files = CorpusFiles();
    // A folder named by QSM_MIDI_CORPUS may hold any number of files; the fetched corpus has at least 30.
    const size_t least = std::getenv("QSM_MIDI_CORPUS") != nullptr ? 1 : 30;
    if (files.size() < least) GTEST_SKIP() << "the MIDI corpus is not there (tools/fetch_midi_corpus.sh)";
    qsm::test::RoundTrip total;
    for (const std::string& path : files) {
        SCOPED_TRACE(path);
        TSMFData data;
        ASSERT_TRUE(ReadFile(path, data));
        qsm::test::RoundTrip rt = qsm::test::RunRoundTrip(data);
        std::printf(
            "%-28s notes %6d  grid-same %6.2f%%  rule-same %6.2f%%  cut %5d  grown %5d  missing %4d  "
            "unexplained %d+%d  staves %d\n",
            std::filesystem::path(path).filename().c_str(), rt.gridNotes,
            rt.gridNotes ? 100.0 * rt.gridSame / rt.gridNotes : 100.0,
            rt.expectedNotes ? 100.0 * rt.expectedSame / rt.expectedNotes : 100.0,
            rt.cutAtOnset + rt.cutByChord, rt.grown, rt.missing, rt.expectedNotes - rt.expectedSame, rt.extra,
            rt.staves);
        std::fflush(stdout);
        total.Add(rt);

        // Invariants of the converted score.
        TSMFImportList list;
        BuildImportInstructions(&data, list, true, 16);
        std::unique_ptr<TMusicScore> score(ConvertMidiToScore(&data, list, 1));
        int longest = -1;
        for (int s = 0; s < score->GetStaffCount(); ++s) {
            const TMusicStaff& staff = *score->GetStaff(s);
            EXPECT_GE(staff.GetFreeItemSlots(), 0);
            if (staff.GetLineCount() == 0) continue;  // lyric staves and the conductor
            EXPECT_TRUE(OpensWithSignatures(staff)) << staff.GetName();
            int d = 0;
            for (int i = 0; i < staff.GetItemCount(); ++i)
                d += staff.GetItem(i)->GetDuration();
            if (longest < 0) longest = d;
            EXPECT_NEAR(d, longest, 1152) << staff.GetName();
        }
    }
    const double gridShare = total.gridNotes ? 100.0 * total.gridSame / total.gridNotes : 100.0;
    const double ruleShare = total.expectedNotes ? 100.0 * total.expectedSame / total.expectedNotes : 100.0;
    using namespace qsm::test;
    std::printf("corpus: %zu files, %d source notes, %d staves\n", files.size(), total.sourceNotes,
                total.staves);
    std::printf(
        "  against the notes on the grid alone: %d of %d (%.2f%%) come back with the same pitch, start "
        "and length\n",
        total.gridSame, total.gridNotes, gridShare);
    std::printf(
        "  against the notes the conversion's rules give: %d of %d (%.2f%%); %d not played back, %d "
        "played notes unexplained\n",
        total.expectedSame, total.expectedNotes, ruleShare, total.expectedNotes - total.expectedSame,
        total.extra);
    std::printf("  the rest of the grid notes, by cause:\n");
    std::printf("    %6d same pitch and start, another length:\n", total.lengthOnly);
    std::printf("      %6d cut at the next onset\n", total.cutAtOnset);
    std::printf("      %6d ended with the first note-off of the notes that began with it\n",
                total.cutByChord);
    std::printf("      %6d grown into the rest after it up to the beat (rest regrouping)\n", total.grown);
    std::printf("      %6d longer by the 12-tick minimum\n", total.lengthened);
    std::printf("      %6d moved later by an earlier note's 12-tick minimum onto another onset of its key\n",
                total.lengthMoved);
    std::printf("      %6d other\n", total.lengthOther);
    std::printf("    %6d not back at their onset:\n", total.missing);
    std::printf("      %6d moved later by an earlier note's 12-tick minimum\n", total.lost[rtMoved]);
    std::printf("      %6d a second note-on of a sounding key on the same grid tick\n", total.lost[rtTwice]);
    std::printf("      %6d a 31st note sounding at once\n", total.lost[rtCrowded]);
    std::printf("      %6d left out of a chord: staff position taken in both spellings\n",
                total.lost[rtSpelling]);
    std::printf("      %6d other\n", total.lost[rtWritten]);
    std::fflush(stdout);
    EXPECT_GE(ruleShare, 98.0);
}
