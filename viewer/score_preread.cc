#include "viewer/score_preread.h"

#include <strings.h>
#include <sys/stat.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

#include "core/file_stream.h"
#include "core/file_utils.h"
#include "core/zlib_stream.h"
#include "platform/kernel/files.h"
#include "render/hooks.h"
#include "score/file/score_file.h"
#include "score/file/text_import.h"
#include "score/music_score.h"
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

// The read and its result. The read's thread writes the result; the main thread looks at it only after it
// has joined that thread.
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
    // Settled for this path: the file is still the one read.
    bool Kept = false;
    // The path the read resolved and the one the open asks for, each set once the other side may look.
    std::mutex Naming;
    std::string Reading, Wanted;

    void Join() {
        if (Thread.joinable()) Thread.join();
    }
    void Clear() {
        delete Score;
        Score = nullptr;
        Read = Kept = false;
        Path.clear();
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

// The open's own steps up to its reader: the true name of the file, the kind of its name, a plain file
// there; then the reader, as LoadScoreFile runs it (without the busy cursor, which belongs to the open), or
// the text import as the open runs it on a file that opens.
void ReadFile(TPreread& p, const std::string& file) {
    char truePath[MAX_PATH] = "";
    GetTrueFileName(file.c_str(), truePath);
    const TOpenKind kind = GetOpenKind(truePath);
    if (kind == TOpenKind::Midi) return;
    {
        // An open of another file that came first has no use for this read.
        std::lock_guard lock(p.Naming);
        if (!p.Wanted.empty() && p.Wanted != truePath) return;
        p.Reading = truePath;
    }
    TFileIdentity identity;
    if (!IdentifyFile(truePath, identity)) return;
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
    if (p.Thread.joinable() || p.Read) return;
    TViewerCmdLine tokens(commandLine ? commandLine : "");
    const char* file = tokens.GetFile();
    if (file == nullptr || *file == '\0') return;
    // A MIDI file is the open's alone, and nothing starts for it: its true name differs from this one only in
    // case, which the kind does not depend on, unless this one holds wildcards.
    if (GetOpenKind(file) == TOpenKind::Midi && std::strpbrk(file, "*?") == nullptr) return;
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
        p.Thread = std::thread(ReadFile, std::ref(p), std::string(file));
    } catch (const std::system_error&) {
        // No thread: the open reads the file.
    }
}

void SettleScorePreread(const char* path) {
    TPreread& p = State();
    if (p.Thread.joinable()) {
        // The read of another file than this open's stops at its next piece of the file.
        std::lock_guard lock(p.Naming);
        p.Wanted = path != nullptr && *path != '\0' ? path : "?";
        if (!p.Reading.empty() && p.Reading != p.Wanted) p.Stop = true;
    }
    p.Join();
    TFileIdentity now;
    p.Kept = p.Read && path != nullptr && p.Path == path && IdentifyFile(path, now) && now == p.Identity;
    if (!p.Kept) p.Clear();
}

bool HasScorePreread(const char* path) {
    const TPreread& p = State();
    return p.Kept && path != nullptr && p.Path == path;
}

bool TakeScorePreread(const char* path, TOpenKind kind, TMusicScore*& score, TScoreFileHeader& hdr) {
    TPreread& p = State();
    if (!p.Kept || path == nullptr || p.Path != path || p.Kind != kind) return false;
    score = p.Score;
    hdr = p.Header;
    p.Score = nullptr;
    p.Clear();
    return true;
}

void DropScorePreread() {
    TPreread& p = State();
    p.Stop = true;
    p.Join();
    p.Clear();
}

}  // namespace qsm
