#include "viewer/score_preread.h"

#include <strings.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

#include "core/file_stream.h"
#include "core/file_utils.h"
#include "core/hooks.h"
#include "core/zlib_stream.h"
#include "midi/smf_file.h"
#include "platform/kernel/files.h"
#include "render/hooks.h"
#include "score/file/score_file.h"
#include "score/file/text_import.h"
#include "score/music_score.h"
#include "ui/long_task.h"
#include "viewer/startup.h"

namespace qsm {

namespace {

// The file the read took, as the system saw it when the read began.
struct TFileIdentity {
    dev_t Device = 0;
    ino_t Number = 0;
    off_t Size = 0;
    timespec Modified{};
    timespec Changed{};

    bool operator==(const TFileIdentity& o) const {
        return Device == o.Device && Number == o.Number && Size == o.Size &&
               Modified.tv_sec == o.Modified.tv_sec && Modified.tv_nsec == o.Modified.tv_nsec &&
               Changed.tv_sec == o.Changed.tv_sec && Changed.tv_nsec == o.Changed.tv_nsec;
    }
};

// The identity of a plain file; false for anything else (a folder, a pipe, nothing).
bool IdentifyFile(const char* path, TFileIdentity& id) {
    struct stat st {};
    if (::stat(NativePath(path).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    id = {st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
    return true;
}

// The file under the reader, which stops delivering bytes once the read is to stop. Packed data comes in
// small pieces, so that the reader (a hundred bytes of score per packed byte) reaches the next piece, and
// sees the stop, soon; plain data in the reader's own blocks.
class TStoppableFile final : public TQSRFStream {
public:
    TStoppableFile(int mode, const char* path, const std::atomic<bool>& stop)
        : TQSRFStream(mode, path), stop_(stop) {}

    DWORD ReadBlock(void* dst, DWORD n) override {
        if (stop_.load(std::memory_order_relaxed)) {
            SetError();
            return 0;
        }
        DWORD got = TQSRFStream::ReadBlock(dst, n < piece_ ? n : piece_);
        if (first_) {
            first_ = false;
            const auto* bytes = static_cast<const unsigned char*>(dst);
            bool packed = (got >= 6 && std::memcmp(bytes, "[QSZ]", 6) == 0) ||
                          (got >= 2 && bytes[0] == 0x1F && bytes[1] == 0x8B);
            if (!packed) piece_ = ~DWORD{0};
        }
        return got;
    }

private:
    static constexpr DWORD kPackedPiece = 1024;
    const std::atomic<bool>& stop_;
    DWORD piece_ = kPackedPiece;
    bool first_ = true;
};

// What a MIDI file's conversion told of its progress, for the dialog of the open.
struct TProgressShown {
    unsigned Changes = 0;
    int Range = -1;  // -1: the gauge was not reset
    int Value = 0;
    std::string Text;
    bool HasText = false;
};

// The read and its result. The read's thread writes the result; the main thread looks at it only after it
// has joined that thread, but for a MIDI file's import, which it may look at once Imported is set.
struct TPreread {
    std::thread Thread;
    std::atomic<bool> Stop{false};
    // Set by the read: the path as the open resolves it, the file's identity and what the reader gave.
    bool Read = false;
    TOpenKind Kind = TOpenKind::CompactScore;
    std::string Path;
    TFileIdentity Identity;
    TMusicScore* Score = nullptr;
    TScoreFileHeader Header;
    // A MIDI file's data and instructions (with Path, Identity and Kind: set before Imported).
    std::unique_ptr<TSMFData> Midi;
    TSMFImportList Instructions;
    // Settled for this path: the file is still the one read.
    bool Kept = false;
    // The open waits for a MIDI file's conversion, handling window messages: an open that comes meanwhile
    // reads its file itself and leaves this read alone.
    bool Taking = false;
    // The path the read resolved and the one the open asks for, each set once the other side may look.
    std::mutex Naming;
    std::string Reading, Wanted;
    // The stages of the read the main thread waits for: a MIDI file imported (the file read and closed), and
    // the read's end.
    std::mutex Stages;
    std::condition_variable StageReached;
    bool Imported = false;
    bool Ended = false;
    std::mutex ProgressLock;
    TProgressShown Progress;

    void Join() {
        if (Thread.joinable()) Thread.join();
    }
    // Only once joined.
    void Clear() {
        delete Score;
        Score = nullptr;
        Read = Kept = Imported = Ended = false;
        Path.clear();
        Midi.reset();
        Instructions.clear();
        Progress = {};
    }
    ~TPreread() {
        Stop = true;
        Join();
        Clear();
    }
};

TPreread& State() {
    static TPreread preread;
    return preread;
}

std::atomic<TMidiConversion> gConversion{nullptr};

// The conversion on the read's thread: it stops when the read is to stop, and its progress is kept for the
// open's dialog.
bool ReadStopped() {
    return State().Stop.load(std::memory_order_relaxed);
}

template <class Change>
void ChangeProgress(Change change) {
    TPreread& p = State();
    std::lock_guard lock(p.ProgressLock);
    change(p.Progress);
    ++p.Progress.Changes;
}

void KeepGaugeRange(int range) {
    ChangeProgress([range](TProgressShown& shown) {
        shown.Range = range;
        shown.Value = 0;
    });
}

void KeepGaugeValue(int value) {
    ChangeProgress([value](TProgressShown& shown) { shown.Value = value; });
}

void KeepText(const char* text) {
    ChangeProgress([text](TProgressShown& shown) {
        shown.Text = text;
        shown.HasText = true;
    });
}

// The open's steps from its open of the MIDI file to its conversion, without the busy cursor and the dialog,
// which belong to the open: the file read and imported, the instructions built, then the score converted.
void ReadMidiFile(TPreread& p, const char* truePath, const TFileIdentity& identity) {
    auto data = std::make_unique<TSMFData>();
    TSMFImportList instructions;
    {
        TQSRBFStream file(TQSRFStream::kRead, truePath, 30000);
        // A file that does not open is the open's to tell of.
        if (file.GetError()) return;
        TSMFImport import(data.get(), &file, nullptr);
        import.ReadFile();
        // Nor is a file that the reader cannot read.
        if (import.HasError()) return;
    }
    if (p.Stop) return;
    BuildImportInstructions(data.get(), instructions, true, 16);
    TSMFData* midi = data.get();
    {
        std::lock_guard lock(p.Stages);
        p.Path = truePath;
        p.Identity = identity;
        p.Kind = TOpenKind::Midi;
        p.Midi = std::move(data);
        p.Instructions = std::move(instructions);
        p.Imported = true;
    }
    p.StageReached.notify_all();
    const int lyricKind = strcasecmp(ExtensionOf(truePath), ".kar") == 0 ? 2 : 1;
    const TMidiConversion convert = gConversion.load(std::memory_order_relaxed);
    p.Score = (convert != nullptr ? convert : ConvertMidiToScore)(midi, p.Instructions, lyricKind);
}

// The open's own steps up to its reader: the true name of the file, the kind of its name, a plain file
// there; then the reader, as LoadScoreFile runs it (without the busy cursor, which belongs to the open), or
// the text import as the open runs it on a file that opens.
void ReadFile(TPreread& p, const std::string& file) {
    // The main thread waits for the end, whichever way the read ends.
    struct TEnd {
        TPreread& P;
        ~TEnd() {
            {
                std::lock_guard lock(P.Stages);
                P.Ended = true;
            }
            P.StageReached.notify_all();
        }
    } end{p};
    char truePath[MAX_PATH] = "";
    GetTrueFileName(file.c_str(), truePath);
    const TOpenKind kind = GetOpenKind(truePath);
    {
        // An open of another file that came first has no use for this read.
        std::lock_guard lock(p.Naming);
        if (!p.Wanted.empty() && p.Wanted != truePath) return;
        p.Reading = truePath;
    }
    TFileIdentity identity;
    if (!IdentifyFile(truePath, identity)) return;
    if (kind == TOpenKind::Midi) {
        SetThreadLongTaskHooks(ReadStopped, {KeepGaugeRange, KeepGaugeValue, KeepText});
        try {
            ReadMidiFile(p, truePath, identity);
        } catch (...) {
            // Out of memory: the read leaves no score, and the open reads the file itself and meets it there.
        }
        ClearThreadLongTaskHooks();
        return;
    }
    p.Path = truePath;
    p.Identity = identity;
    p.Kind = kind;
    try {
        if (kind == TOpenKind::TextScore) {
            TStoppableFile stream(TQSRFStream::kRead, truePath, p.Stop);
            // A file that does not open is the open's to tell of.
            if (stream.GetError()) return;
            TQSRZLibInStream text(TQSRZLibInStream::kPlain, &stream, false);
            p.Score = ImportTextScore(text, nullptr, -1);
        } else {
            TStoppableFile stream(TQSRFStream::kRead | TQSRFStream::kShareRead, truePath, p.Stop);
            p.Header.Init(StatusNotScoreFile);
            p.Score = stream.GetError() ? nullptr : LoadScoreFromStream(stream, p.Header, nullptr);
        }
        p.Read = true;
    } catch (...) {
        // Out of memory, or no thread for the reader's helpers: the open reads the file and meets it there.
    }
}

}  // namespace

const char* ExtensionOf(const char* path) {
    const char* slash = std::strrchr(path, '/');
    const char* dot = std::strrchr(path, '.');
    return dot != nullptr && (slash == nullptr || dot > slash) ? dot : "";
}

TOpenKind GetOpenKind(const char* path) {
    const char* extension = ExtensionOf(path);
    if (strcasecmp(extension, ".rmi") == 0 || strcasecmp(extension, ".kar") == 0 ||
        strcasecmp(extension, ".mid") == 0)
        return TOpenKind::Midi;
    if (strcasecmp(extension, ".qsmtxt") == 0) return TOpenKind::TextScore;
    return TOpenKind::CompactScore;
}

void StartScorePreread(const char* commandLine) {
    TPreread& p = State();
    if (p.Thread.joinable() || p.Read || p.Imported) return;
    TViewerCmdLine tokens(commandLine ? commandLine : "");
    const char* file = tokens.GetFile();
    if (file == nullptr || *file == '\0') return;
    // The reader formats the staves it reads through the hooks; the start installs them again later, which
    // then changes nothing the read could see.
    InstallScoreHooks();
    {
        std::lock_guard lock(p.Naming);
        p.Reading.clear();
        p.Wanted.clear();
    }
    try {
        p.Stop = false;
        p.Ended = false;
        p.Thread = std::thread(ReadFile, std::ref(p), std::string(file));
    } catch (const std::system_error&) {
        // No thread: the open reads the file.
    }
}

void SettleScorePreread(const char* path) {
    TPreread& p = State();
    if (p.Taking) return;
    if (p.Thread.joinable()) {
        // The read of another file than this open's stops at its next piece of the file.
        std::lock_guard lock(p.Naming);
        p.Wanted = path != nullptr && *path != '\0' ? path : "?";
        if (!p.Reading.empty() && p.Reading != p.Wanted) p.Stop = true;
    }
    bool imported = false;
    if (p.Thread.joinable()) {
        std::unique_lock lock(p.Stages);
        p.StageReached.wait(lock, [&p] { return p.Imported || p.Ended; });
        imported = p.Imported;
    } else {
        imported = p.Imported;
    }
    // A MIDI file's conversion goes on, unless the read is dropped.
    if (!imported) p.Join();
    TFileIdentity now;
    p.Kept = (imported || p.Read) && path != nullptr && p.Path == path && IdentifyFile(path, now) &&
             now == p.Identity;
    if (!p.Kept) {
        p.Stop = true;
        p.Join();
        p.Clear();
    }
}

bool HasScorePreread(const char* path) {
    const TPreread& p = State();
    return p.Kept && !p.Taking && path != nullptr && p.Path == path;
}

bool TakeScorePreread(const char* path, TOpenKind kind, TMusicScore*& score, TScoreFileHeader& hdr) {
    TPreread& p = State();
    if (!p.Kept || p.Taking || path == nullptr || p.Path != path || p.Kind != kind || kind == TOpenKind::Midi)
        return false;
    score = p.Score;
    hdr = p.Header;
    p.Score = nullptr;
    p.Clear();
    return true;
}

bool TakeMidiPreread(const char* path, TLongTaskDlg& dialog, TMidiPreread& made) {
    TPreread& p = State();
    if (!p.Kept || p.Taking || path == nullptr || p.Path != path || p.Kind != TOpenKind::Midi) return false;
    p.Taking = true;
    struct TTaken {
        TPreread& P;
        ~TTaken() { P.Taking = false; }
    } taken{p};
    // The dialog shows what the conversion told last, and handles its messages about as often as the
    // conversion would let it, until the conversion has ended.
    constexpr auto kShowEvery = std::chrono::milliseconds(15);
    unsigned shown = 0;
    auto show = [&] {
        TProgressShown now;
        {
            std::lock_guard lock(p.ProgressLock);
            if (p.Progress.Changes == shown) return;
            now = p.Progress;
        }
        shown = now.Changes;
        if (now.Range >= 0) {
            dialog.ResetGauge(now.Range);
            dialog.SetGaugeValue(now.Value);
        }
        if (now.HasText) dialog.SetText(now.Text.c_str());
    };
    for (;;) {
        bool ended = false;
        {
            std::lock_guard lock(p.Stages);
            ended = p.Ended;
        }
        show();
        if (ended) break;
        if (dialog.PollCancel() != 0) {
            p.Stop = true;
            p.Join();
            p.Clear();
            return false;
        }
        std::unique_lock lock(p.Stages);
        p.StageReached.wait_for(lock, kShowEvery, [&p] { return p.Ended; });
    }
    p.Join();
    // A conversion that ended without a score may have left the data half walked (a track's text read to
    // its middle, say): none of it is kept.
    const bool converted = p.Score != nullptr && p.Midi != nullptr;
    if (converted) {
        made.Data = std::move(p.Midi);
        made.Score = p.Score;
        p.Score = nullptr;
    }
    p.Clear();
    return converted;
}

void SetPrereadMidiConversion(TMidiConversion convert) {
    gConversion.store(convert, std::memory_order_relaxed);
}

void DropScorePreread() {
    TPreread& p = State();
    p.Stop = true;
    p.Join();
    p.Clear();
}

}  // namespace qsm
