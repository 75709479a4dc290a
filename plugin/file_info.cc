#include "plugin/file_info.h"

#include <memory>

#include "core/file_utils.h"
#include "core/ram_stream.h"
#include "midi/score_player.h"
#include "plugin/plugin.h"
#include "score/base/midi_file_buf.h"
#include "score/file/score_file.h"
#include "score/music_score.h"

namespace {

// Event kinds left out of the timing (bit k: kind k): time and key signatures, and pauses.
constexpr WORD kIgnoreSignatures = 0x04 | 0x08;
constexpr WORD kIgnorePauses = 0x10;

unsigned int PlayTimeOf(const char* path, WORD kindMask) {
    if (path == nullptr) return 0;
    std::unique_ptr<TMusicScore> score(qsm::LoadPluginScoreFile(path, false));
    if (!score) return 0;
    TMidiFileBuf song(16);
    song.SetBlockCount(16);
    song.Clear();
    song.SetKindMask(kindMask);
    TScoreMidiPlayer player;
    player.SetScore(score.get());
    player.RenderWithoutClear(song);
    const DWORD ms = player.GetPlayLengthMs();
    player.SetScore(nullptr);
    return (ms + 50) / 100;
}

}  // namespace

int GetQSMFileInfo(const char* path, char* buffer, int length) {
    if (path == nullptr || !IsPlainFile(path) || buffer == nullptr || length <= 10) return 0;
    TScoreFileHeader hdr;
    TSongInfo info{};
    if (!ReadScoreFileInfo(path, hdr, info)) return 0;
    // The last byte is kept for the terminator: the text is always a C string.
    TQSRFlatRamStream out(buffer, static_cast<DWORD>(length - 1), 0);
    out.Printf("Title:\t%s\n", info.Title);
    out.Printf("Author:\t%s\n", info.Author);
    out.Printf("Copyright1:\t%s\n", info.Copyright1);
    out.Printf("Copyright2:\t%s\n", info.Copyright2);
    int result = 0;
    if (info.Comments[0] != '\0') {
        out.Printf("Comments:\n");
        out.WriteText(info.Comments, false);
        out.Printf("\n\n");
        result = 1;
    }
    buffer[out.Tell()] = '\0';
    return result;
}

unsigned int GetQSMFilePlayTime(const char* path) {
    return PlayTimeOf(path, kIgnoreSignatures);
}

unsigned int GetQSMFileSMFPlayTime(const char* path) {
    return PlayTimeOf(path, kIgnoreSignatures | kIgnorePauses);
}
