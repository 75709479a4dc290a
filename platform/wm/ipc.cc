// Windows of other processes: FindWindowA, and WM_COPYDATA and the activation calls on the handle it gives,
// over a per-user Unix socket named after the window class (see ipc.h for the protocol).
//
// Server side: the first top-level window of a class in this process takes the class's lock file (flock,
// held while the process has windows of that class) and binds the socket next to it; a second process
// finds the lock taken and does not bind. One thread accepts connections and reads from all of them at
// once, each with a short deadline, so that a client that connects and says nothing holds up no other.
// A complete request is handed to the thread of the window concerned, as a message sent from another
// thread, and answered once that thread has run it; meanwhile the server goes on serving, so that a window
// thread that is busy or stuck holds up nobody but the clients waiting on it. A FindWindowA by class alone
// is answered by the server itself.
//
// Client side: a remote window is a handle from a range of its own that names the socket and the window's
// handle in the server process; W() never finds it, so every other call treats it as no window. Every wait
// on another process is bounded (see RemoteCallLimit); one that gives up sets ERROR_TIMEOUT.
#include "platform/wm/ipc.h"

#include <fcntl.h>
#include <poll.h>
#include <strings.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <system_error>
#include <thread>

#include "platform/base/winerror.h"
#include "platform/kernel/system.h"
#include "platform/wm/backend.h"
#include "platform/wm/internal.h"

namespace qsm::wm::ipc {
namespace {

void Put16(std::string& s, uint16_t v) {
    for (int i = 0; i < 2; ++i)
        s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
void Put32(std::string& s, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
void Put64(std::string& s, uint64_t v) {
    for (int i = 0; i < 8; ++i)
        s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
uint64_t Get(const uint8_t* p, int bytes) {
    uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | p[i];
    return v;
}

}  // namespace

std::string EncodeRequest(const Request& r) {
    std::string s;
    s.reserve(kRequestHeaderSize + r.data.size());
    Put32(s, kMagic);
    Put16(s, kVersion);
    Put16(s, static_cast<uint16_t>(r.kind));
    Put64(s, r.target);
    Put64(s, r.arg);
    Put32(s, static_cast<uint32_t>(r.data.size()));
    s += r.data;
    return s;
}

std::string EncodeReply(const Reply& r) {
    std::string s;
    Put32(s, kMagic);
    Put16(s, kVersion);
    Put16(s, static_cast<uint16_t>(r.status));
    Put64(s, static_cast<uint64_t>(r.value));
    return s;
}

bool DecodeReply(const uint8_t* data, size_t size, Reply* out) {
    if (data == nullptr || size != kReplySize) return false;
    if (Get(data, 4) != kMagic || Get(data + 4, 2) != kVersion) return false;
    uint64_t status = Get(data + 6, 2);
    if (status > static_cast<uint64_t>(Status::kLate)) return false;
    out->status = static_cast<Status>(status);
    out->value = static_cast<int64_t>(Get(data + 8, 8));
    return true;
}

size_t RequestReader::Wanted() const {
    if (state_ != kNeedMore) return 0;
    if (have_ < kRequestHeaderSize) return kRequestHeaderSize - have_;
    return size_ - request_.data.size();
}

RequestReader::State RequestReader::CheckHeader() {
    if (Get(header_, 4) != kMagic || Get(header_ + 4, 2) != kVersion) return kBad;
    uint64_t kind = Get(header_ + 6, 2);
    if (kind < static_cast<uint64_t>(Kind::kFind) || kind > static_cast<uint64_t>(Kind::kCopyData))
        return kBad;
    request_.kind = static_cast<Kind>(kind);
    request_.target = Get(header_ + 8, 8);
    request_.arg = Get(header_ + 16, 8);
    size_ = static_cast<uint32_t>(Get(header_ + 24, 4));
    if (size_ > kMaxData) return kBad;
    switch (request_.kind) {
        case Kind::kFind:
            if (request_.target != 0 || request_.arg > 1) return kBad;
            if (request_.arg == 0 && size_ != 0) return kBad;
            break;
        case Kind::kCopyData:
            break;
        case Kind::kShowWindow:
            if (request_.arg > SW_SHOWDEFAULT || size_ != 0) return kBad;
            break;
        default:
            if (request_.arg != 0 || size_ != 0) return kBad;
            break;
    }
    if (request_.kind != Kind::kFind && request_.target == 0) return kBad;
    request_.data.reserve(size_);
    return size_ == 0 ? kDone : kNeedMore;
}

RequestReader::State RequestReader::Feed(const uint8_t* data, size_t size, size_t* used) {
    size_t n = 0;
    while (state_ == kNeedMore && n < size) {
        if (have_ < kRequestHeaderSize) {
            size_t take = std::min(size - n, kRequestHeaderSize - have_);
            memcpy(header_ + have_, data + n, take);
            have_ += take;
            n += take;
            if (have_ == kRequestHeaderSize) state_ = CheckHeader();
            continue;
        }
        size_t take = std::min(size - n, static_cast<size_t>(size_) - request_.data.size());
        request_.data.append(reinterpret_cast<const char*>(data + n), take);
        n += take;
        if (request_.data.size() == size_) state_ = kDone;
    }
    // A title is compared as text: one with a zero byte in it names no window.
    if (state_ == kDone && request_.kind == Kind::kFind && request_.data.find('\0') != std::string::npos)
        state_ = kBad;
    if (used != nullptr) *used = n;
    return state_;
}

}  // namespace qsm::wm::ipc

namespace qsm::wm {
namespace {

using namespace ipc;
using Clock = std::chrono::steady_clock;

constexpr int kServerReadMs = 500;  // a client has this long to send its request
constexpr size_t kMaxPending = 64;  // connections read at once; the oldest goes when more come
constexpr int kClientWriteMs = 5000;
constexpr int kQueryMs = 5000;  // FindWindowA and the activation calls wait this long for an answer
constexpr uintptr_t kRemoteBase = 0x40000002u;

struct Binding {
    std::string path, lock_path;
    int listen_fd = -1;
    int lock_fd = -1;
    std::vector<HWND> windows;  // this process's top-level windows of the class, oldest first
};

struct Remote {
    std::string key;  // the class name in lower case
    std::string path;
    uint64_t value = 0;  // the window's handle in the server process
};

struct Ipc {
    std::mutex m;
    bool configured = false;
    std::string dir;  // empty: no windows across processes
    std::map<std::string, Binding> bindings;
    std::vector<int> retired;  // listening sockets the server thread closes
    int wake_fd = -1;
    bool thread_started = false;
    pid_t binder = 0;
    std::vector<Remote> remotes;
    std::set<std::string> refused_dirs;  // folders the user has been told of
    // Requests a window of this process has handled whose reply is still to be written: a process that
    // ends because of one (a request that ends its loop) waits for the reply to go out first.
    int replies_owed = 0;
    std::condition_variable reply_written;
    bool hidden = false;  // see HideWindowsFromOtherProcesses
};

Ipc& I() {
    static Ipc* ipc = new Ipc();  // the server thread may outlive static destruction
    return *ipc;
}

std::string Lower(const char* s) {
    std::string out = s != nullptr ? s : "";
    for (char& c : out)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return out;
}

// A directory of this user only (made when missing and asked for), refused when it is anything else: a
// socket in a folder that others can write to could be theirs.
// A folder that is there but refused turns windows across processes off; the user is told once per folder
// (on standard error), since a program started a second time then opens beside the first instead of
// handing its work over. Called with the lock held.
bool UsableDir(const std::string& dir, bool create = true) {
    if (dir.empty() || dir[0] != '/') return false;
    if (create && mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return false;
    struct stat st {};
    if (lstat(dir.c_str(), &st) != 0) return false;
    if (S_ISDIR(st.st_mode) && st.st_uid == geteuid() && (st.st_mode & 077) == 0) return true;
    if (I().refused_dirs.insert(dir).second)
        fprintf(stderr,
                "Windows of other processes are not reached: the folder %s is not private to user %u "
                "(it must be a folder of that user that nobody else can open), so a second start of a "
                "program cannot hand over to the one running.\n",
                dir.c_str(), static_cast<unsigned>(geteuid()));
    return false;
}

std::string DefaultDir() {
    if (const char* d = getenv("QSM_WM_IPC_DIR"); d != nullptr && *d != '\0') return d;
    if (const char* r = getenv("XDG_RUNTIME_DIR"); r != nullptr && r[0] == '/')
        return std::string(r) + "/qsm-wm";
    return "/tmp/qsm-wm-" + std::to_string(geteuid());
}

// The directory in use; called with the lock held.
const std::string& DirLocked() {
    Ipc& ipc = I();
    if (!ipc.configured) {
        ipc.configured = true;
        ipc.dir = DefaultDir();
    }
    return ipc.dir;
}

// The file name of a class: lower case, bytes other than letters, digits, '_', '-' and '.' as %XX, and a
// hash in place of the tail of a long name so that the path fits a socket address.
std::string FileStem(const std::string& key) {
    std::string out;
    static const char hex[] = "0123456789abcdef";
    for (unsigned char c : key) {
        if (isalnum(c) || c == '_' || c == '-' || (c == '.' && !out.empty())) {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back('%');
            out.push_back(hex[c >> 4]);
            out.push_back(hex[c & 15]);
        }
    }
    if (out.size() > 48) {
        uint64_t h = 1469598103934665603ull;
        for (unsigned char c : key)
            h = (h ^ c) * 1099511628211ull;
        char tail[20];
        snprintf(tail, sizeof tail, "-%016llx", static_cast<unsigned long long>(h));
        out = out.substr(0, 24) + tail;
    }
    return out;
}

bool Paths(const std::string& dir, const std::string& key, std::string* sock, std::string* lock) {
    if (dir.empty() || key.empty()) return false;
    std::string stem = dir + "/" + FileStem(key);
    *sock = stem + ".sock";
    *lock = stem + ".lock";
    return sock->size() < sizeof(sockaddr_un{}.sun_path);
}

sockaddr_un Address(const std::string& path) {
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    memcpy(a.sun_path, path.c_str(), path.size() + 1);
    return a;
}

int RemainingMs(Clock::time_point deadline) {
    if (deadline == Clock::time_point::max()) return INT_MAX;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(std::min<int64_t>(left, INT_MAX));
}

// Writes everything before the deadline; false when the peer went away or was too slow.
bool WriteAll(int fd, const std::string& bytes, Clock::time_point deadline) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd p{fd, POLLOUT, 0};
            int left = RemainingMs(deadline);
            if (left == 0 || poll(&p, 1, left) <= 0) return false;
            continue;
        }
        return false;
    }
    return true;
}

// ---- server ----

void Unlink(Binding& b) {
    unlink(b.path.c_str());
    I().retired.push_back(b.listen_fd);
    close(b.lock_fd);  // releases the class for the next process
    b.listen_fd = b.lock_fd = -1;
}

void UnlinkAtExit() {
    Ipc& ipc = I();
    std::unique_lock<std::mutex> lock(ipc.m);
    if (ipc.binder != getpid()) return;
    ipc.reply_written.wait_for(lock, std::chrono::milliseconds(kServerReadMs),
                               [&] { return ipc.replies_owed == 0; });
    for (auto& [key, b] : ipc.bindings)
        unlink(b.path.c_str());
}

void Wake() {
    uint64_t one = 1;
    if (I().wake_fd >= 0) (void)!write(I().wake_fd, &one, sizeof one);
}

// The windows of this process a client may name: live top-level windows.
Window* Target(uint64_t value) {
    Window* w = W(reinterpret_cast<HWND>(static_cast<uintptr_t>(value)));
    if (w == nullptr || w->IsChild() || (w->style & WS_CHILD) || w->destroying) return nullptr;
    return w;
}

bool ClassMatches(const Window* w, LPCSTR class_name) {
    if (class_name == nullptr) return true;
    if (IS_INTRESOURCE(class_name))
        return w->cls->atom == static_cast<ATOM>(reinterpret_cast<uintptr_t>(class_name));
    return strcasecmp(w->cls->name.c_str(), class_name) == 0;
}

// This process's top-level windows, in Z-order, hidden ones included.
HWND FindLocal(LPCSTR class_name, LPCSTR title) {
    std::vector<Window*> tops = S().toplevels;
    for (Window* w : tops) {
        if (W(w->handle) != w || w->destroying || !ClassMatches(w, class_name)) continue;
        if (title != nullptr && w->text != title) continue;
        return w->handle;
    }
    return nullptr;
}

// A request handed to the thread of its window. That thread takes it (kWaiting -> kRunning) unless the
// client gave up first (kWaiting -> kLate); what it found is read once the sent call is done.
struct Job {
    enum : int { kWaiting, kRunning, kLate };
    std::atomic<int> state{kWaiting};
    bool ran = false;  // the target was a window the server answers for
    int64_t value = 0;
    bool counted = false;  // a reply is owed (see Ipc::replies_owed)
    std::shared_ptr<SentMessage> sent;

    bool Done() {
        std::lock_guard<std::mutex> lock(sent->m);
        return sent->done;
    }
};

// Runs a request on its window's thread (see Job).
void RunJob(Job& job, const std::string& key, const Request& req) {
    int expected = Job::kWaiting;
    if (!job.state.compare_exchange_strong(expected, Job::kRunning)) return;
    {
        // Counted on the window's thread, before it goes on to whatever the request leads it to.
        std::lock_guard<std::mutex> lock(I().m);
        ++I().replies_owed;
        job.counted = true;
    }
    if (req.kind == Kind::kFind) {
        job.ran = true;
        HWND h = FindLocal(key.c_str(), req.arg != 0 ? req.data.c_str() : nullptr);
        Window* w = W(h);
        job.value = w != nullptr && Lower(w->cls->name.c_str()) == key
                        ? static_cast<int64_t>(reinterpret_cast<uintptr_t>(h))
                        : 0;
        return;
    }
    Window* w = Target(req.target);
    if (w == nullptr) return;
    job.ran = true;
    HWND h = w->handle;
    switch (req.kind) {
        case Kind::kIsWindow:
            job.value = 1;
            break;
        case Kind::kLastActivePopup:
            job.value = static_cast<int64_t>(reinterpret_cast<uintptr_t>(GetLastActivePopup(h)));
            break;
        case Kind::kIsIconic:
            job.value = IsIconic(h);
            break;
        case Kind::kShowWindow:
            job.value = ShowWindow(h, static_cast<int>(req.arg));
            break;
        case Kind::kSetForeground:
            job.value = SetForegroundWindow(h);
            break;
        case Kind::kCopyData: {
            // The block ends in a zero byte past cbData, so that text sent without its terminator cannot
            // make the receiver read beyond it.
            std::vector<char> block(req.data.begin(), req.data.end());
            block.push_back('\0');
            COPYDATASTRUCT cds{static_cast<DWORD_PTR>(req.arg), static_cast<DWORD>(req.data.size()),
                               req.data.empty() ? nullptr : block.data()};
            job.value = SendMessageA(h, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds));
            break;
        }
        case Kind::kFind:
            break;
    }
}

// A connection: its request arriving, then (once handed to a window's thread) its answer.
struct Pending {
    int fd = -1;
    std::string key;
    RequestReader reader;
    Clock::time_point deadline;  // for the request to arrive
    std::shared_ptr<Job> job;
    bool unwatched = false;  // nothing more is read from the client: only the answer is waited for
};

void SendReply(Pending& c, const Reply& reply) {
    WriteAll(c.fd, EncodeReply(reply), Clock::now() + std::chrono::milliseconds(kServerReadMs));
}

// Answers a request, or hands it to its window's thread; true once the connection is done with.
bool Dispatch(Pending& c) {
    Reply reply;
    const Request& req = c.reader.request();
    if (c.reader.state() == RequestReader::kBad) {
        reply.status = Status::kRefused;
        SendReply(c, reply);
        return true;
    }
    HWND on = nullptr;
    if (req.kind == Kind::kFind) {
        std::lock_guard<std::mutex> lock(I().m);
        auto it = I().bindings.find(c.key);
        if (it != I().bindings.end() && !it->second.windows.empty()) on = it->second.windows.front();
        // By class alone: the oldest window of the class, whatever its thread is doing.
        if (on != nullptr && req.arg == 0)
            reply.value = static_cast<int64_t>(reinterpret_cast<uintptr_t>(on));
    } else {
        on = reinterpret_cast<HWND>(static_cast<uintptr_t>(req.target));
    }
    if (on != nullptr && (req.kind != Kind::kFind || req.arg != 0)) {
        auto job = std::make_shared<Job>();
        std::string key = c.key;
        Request copy = req;
        // The call does not keep the job: a request dropped as late leaves nothing behind.
        job->sent = QueueOnWindowThread(
            on,
            [weak = std::weak_ptr<Job>(job), key, copy]() -> LRESULT {
                if (std::shared_ptr<Job> j = weak.lock()) RunJob(*j, key, copy);
                return 0;
            },
            Wake);
        if (job->sent != nullptr) {
            c.job = std::move(job);
            return false;
        }
        on = nullptr;
    }
    if (on == nullptr) reply.status = Status::kNoWindow;
    SendReply(c, reply);
    return true;
}

// Writes the answer of a request its window's thread has run.
void Finish(Pending& c) {
    Reply reply;
    if (!c.job->ran) {
        reply.status = Status::kNoWindow;
    } else {
        reply.value = c.job->value;
    }
    SendReply(c, reply);
    if (c.job->counted) {
        std::lock_guard<std::mutex> lock(I().m);
        --I().replies_owed;
        I().reply_written.notify_all();
    }
}

// Reads what has arrived; true once the connection is done with (answered, refused or gone).
bool ReadPending(Pending& c) {
    uint8_t buf[65536];
    while (c.reader.state() == RequestReader::kNeedMore) {
        size_t want = std::min(sizeof buf, c.reader.Wanted());
        ssize_t n = recv(c.fd, buf, want, MSG_DONTWAIT);
        if (n > 0) {
            c.reader.Feed(buf, static_cast<size_t>(n), nullptr);
            continue;
        }
        if (n == 0) return true;  // the client gave up
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) return true;
        return false;
    }
    return Dispatch(c);
}

// A connection whose request waits on its window's thread has something to read. Any byte past the request
// withdraws it, and so does a client that closed the connection; a client that only shut its side for
// writing still waits. True once the connection is done with.
bool ReadWhileAnswering(Pending& c, short revents) {
    char buf[256];
    bool withdrawn = false, ended = false;
    for (;;) {
        ssize_t n = recv(c.fd, buf, sizeof buf, MSG_DONTWAIT);
        if (n > 0) {
            withdrawn = true;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        ended = true;
        break;
    }
    if (ended && !(revents & (POLLHUP | POLLERR))) {
        c.unwatched = true;  // nothing more can come: the answer goes out when it is there
        if (!withdrawn) return false;
    }
    if (!withdrawn && !ended) return false;
    int expected = Job::kWaiting;
    if (c.job->state.compare_exchange_strong(expected, Job::kLate)) {
        Reply reply;
        reply.status = Status::kLate;
        SendReply(c, reply);
        return true;
    }
    // The window's thread has it: the answer goes out when it is done.
    c.unwatched = true;
    return false;
}

void BindLocked(const std::string& key, Binding& b);

void ServerThread() {
    Ipc& ipc = I();
    std::vector<Pending> pending;  // oldest first
    for (;;) {
        std::vector<pollfd> fds;
        std::vector<std::string> keys;
        bool waiting = false;  // for a class another process holds: it is taken over once that one lets go
        {
            std::lock_guard<std::mutex> lock(ipc.m);
            for (int fd : ipc.retired)
                close(fd);
            ipc.retired.clear();
            fds.push_back(pollfd{ipc.wake_fd, POLLIN, 0});
            keys.emplace_back();
            for (auto& [key, b] : ipc.bindings) {
                if (b.listen_fd < 0 && !b.windows.empty()) BindLocked(key, b);
                if (b.listen_fd < 0) {
                    waiting |= !b.windows.empty();
                    continue;
                }
                fds.push_back(pollfd{b.listen_fd, POLLIN, 0});
                keys.push_back(key);
            }
        }
        size_t listening = fds.size();
        int timeout = waiting ? 200 : -1;
        for (const Pending& c : pending) {
            // A client that is not watched: its request's end wakes this thread.
            fds.push_back(pollfd{c.unwatched ? -1 : c.fd, POLLIN, 0});
            if (c.job != nullptr) continue;  // its client decides how long it waits
            int left = RemainingMs(c.deadline);
            timeout = timeout < 0 ? left : std::min(timeout, left);
        }
        if (poll(fds.data(), fds.size(), timeout) < 0) {
            if (errno == EINTR) continue;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        if (fds[0].revents & POLLIN) {
            uint64_t n;
            (void)!read(ipc.wake_fd, &n, sizeof n);
        }
        // The connections first: each one that has something is read, each one past its deadline closed
        // without a word, each one whose request its window's thread has run answered.
        std::vector<Pending> still;
        auto now = Clock::now();
        for (size_t i = 0; i < pending.size(); ++i) {
            Pending& c = pending[i];
            const short revents = fds[listening + i].revents;
            const bool readable = (revents & (POLLIN | POLLHUP | POLLERR)) != 0;
            bool done = false;
            if (c.job == nullptr) {
                done = readable ? ReadPending(c) : now >= c.deadline;
                if (!done && c.job == nullptr && now >= c.deadline) done = true;
            } else if (readable) {
                done = ReadWhileAnswering(c, revents);
            }
            if (!done && c.job != nullptr && c.job->Done()) {
                Finish(c);
                done = true;
            }
            if (done) {
                close(c.fd);
            } else {
                still.push_back(std::move(c));
            }
        }
        pending = std::move(still);
        for (size_t i = 1; i < listening; ++i) {
            if (!(fds[i].revents & POLLIN)) continue;
            for (;;) {
                int c = accept4(fds[i].fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
                if (c < 0) break;
                ucred cred{};
                socklen_t len = sizeof cred;
                if (getsockopt(c, SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0 || cred.uid != geteuid()) {
                    close(c);
                    continue;
                }
                if (pending.size() >= kMaxPending) {
                    // The oldest connection still sending its request goes; one whose request is with a
                    // window stays until it is answered.
                    auto oldest = std::find_if(pending.begin(), pending.end(),
                                               [](const Pending& p) { return p.job == nullptr; });
                    if (oldest == pending.end()) {
                        close(c);
                        continue;
                    }
                    close(oldest->fd);
                    pending.erase(oldest);
                }
                Pending p;
                p.fd = c;
                p.key = keys[i];
                p.deadline = Clock::now() + std::chrono::milliseconds(kServerReadMs);
                // A client usually sends its request with the connection: it is answered at once.
                if (ReadPending(p)) {
                    close(c);
                } else {
                    pending.push_back(std::move(p));
                }
            }
        }
    }
}

// Takes the class for this process when no other process holds it. Called with the lock held.
void BindLocked(const std::string& key, Binding& b) {
    const std::string& dir = DirLocked();
    if (!Paths(dir, key, &b.path, &b.lock_path) || !UsableDir(dir)) return;
    int lock_fd = open(b.lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (lock_fd < 0) return;
    if (flock(lock_fd, LOCK_EX | LOCK_NB) != 0) {
        close(lock_fd);  // another process has windows of this class
        return;
    }
    // Holding the lock, whatever socket is there belongs to a process that is gone.
    unlink(b.path.c_str());
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_un a = Address(b.path);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(fd, 16) != 0) {
        if (fd >= 0) close(fd);
        close(lock_fd);
        return;
    }
    b.listen_fd = fd;
    b.lock_fd = lock_fd;
    Ipc& ipc = I();
    if (ipc.binder != getpid()) {
        ipc.binder = getpid();
        atexit(UnlinkAtExit);
    }
}

// The server thread runs once a class is bound or waits for another process to let it go.
void StartServerLocked() {
    Ipc& ipc = I();
    if (ipc.wake_fd < 0) ipc.wake_fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (!ipc.thread_started && ipc.wake_fd >= 0) {
        ipc.thread_started = true;
        // Without a thread to be had the program runs on unseen by others; a later window tries again.
        try {
            std::thread(ServerThread).detach();
        } catch (const std::system_error&) {
            ipc.thread_started = false;
        }
    }
}

// ---- client ----

void CleanStale(const std::string& path, const std::string& lock_path) {
    int lock_fd = open(lock_path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (lock_fd < 0) {
        unlink(path.c_str());  // no lock file: nobody can be serving it
        return;
    }
    if (flock(lock_fd, LOCK_EX | LOCK_NB) == 0) unlink(path.c_str());
    close(lock_fd);
}

// The moment by which the calls of this thread that wait on another process end (see RemoteCallLimit), and
// how many of them gave up.
thread_local Clock::time_point t_limit = Clock::time_point::max();
thread_local unsigned t_gave_up = 0;

constexpr int kVerdictMs = 500;  // a client that stops waiting waits this long to learn what became of it

// One request and its reply, waited for timeout_ms at most (< 0: as long as the server lives) and never
// past this thread's limit. While it waits, messages other threads send to this thread's windows are
// answered. A request that got no answer in time is withdrawn, and the server drops it unless its window
// has taken it already, in which case the answer is waited for a little longer; giving up sets
// ERROR_TIMEOUT.
bool Transact(const std::string& path, const std::string& lock_path, const Request& req, int timeout_ms,
              Reply* out) {
    Clock::time_point deadline =
        timeout_ms < 0 ? Clock::time_point::max() : Clock::now() + std::chrono::milliseconds(timeout_ms);
    deadline = std::min(deadline, t_limit);
    auto give_up = [&] {
        ++t_gave_up;
        SetLastError(ERROR_TIMEOUT);
        return false;
    };
    if (deadline != Clock::time_point::max() && Clock::now() >= deadline) return give_up();
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    // A server whose queue of connections is full keeps a connect waiting: only until the deadline.
    if (deadline != Clock::time_point::max()) {
        int ms = std::max(1, RemainingMs(deadline));
        timeval tv{ms / 1000, (ms % 1000) * 1000};
        setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    }
    sockaddr_un a = Address(path);
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        int e = errno;
        close(fd);
        if (e == ECONNREFUSED) CleanStale(path, lock_path);
        if (e == EAGAIN || e == EINPROGRESS || e == EINTR) return give_up();
        return false;
    }
    bool ok = WriteAll(fd, EncodeRequest(req),
                       std::min(deadline, Clock::now() + std::chrono::milliseconds(kClientWriteMs)));
    uint8_t buf[kReplySize];
    size_t have = 0;
    bool withdrawn = false;
    while (ok && have < kReplySize) {
        if (!withdrawn && deadline != Clock::time_point::max() && Clock::now() >= deadline) {
            // No answer in time: a byte more withdraws the request, which the server drops unless its window
            // has taken it already.
            (void)!send(fd, "", 1, MSG_NOSIGNAL | MSG_DONTWAIT);
            withdrawn = true;
            deadline = Clock::now() + std::chrono::milliseconds(kVerdictMs);
        } else if (withdrawn && Clock::now() >= deadline) {
            break;
        }
        pollfd p{fd, POLLIN, 0};
        int r = poll(&p, 1, std::min(10, RemainingMs(deadline)));
        if (r > 0) {
            ssize_t n = recv(fd, buf + have, kReplySize - have, MSG_DONTWAIT);
            if (n > 0) {
                have += static_cast<size_t>(n);
            } else if (n == 0 || (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)) {
                ok = false;
            }
            continue;
        }
        if (r < 0 && errno != EINTR) ok = false;
        AnswerIncomingSends();
    }
    close(fd);
    if (ok && DecodeReply(buf, have, out) && out->status != Status::kLate) return true;
    if (!ok && !withdrawn) return false;
    return give_up();
}

bool RemoteOf(HWND hwnd, Remote* out) {
    auto v = reinterpret_cast<uintptr_t>(hwnd);
    if ((v & 3) != 2 || v < kRemoteBase) return false;
    Ipc& ipc = I();
    std::lock_guard<std::mutex> lock(ipc.m);
    size_t i = (v - kRemoteBase) / 4;
    if (i >= ipc.remotes.size()) return false;
    *out = ipc.remotes[i];
    return true;
}

HWND MakeRemote(const Remote& r) {
    if (r.value == 0) return nullptr;
    Ipc& ipc = I();
    std::lock_guard<std::mutex> lock(ipc.m);
    size_t i = 0;
    while (i < ipc.remotes.size() && !(ipc.remotes[i].path == r.path && ipc.remotes[i].value == r.value))
        ++i;
    if (i == ipc.remotes.size()) {
        if (i >= 0x1000000) return nullptr;
        ipc.remotes.push_back(r);
    }
    return reinterpret_cast<HWND>(kRemoteBase + 4 * i);
}

bool Ask(HWND hwnd, Kind kind, uint64_t arg, int timeout_ms, Reply* reply, Remote* remote) {
    Remote r;
    if (!RemoteOf(hwnd, &r)) return false;
    std::string sock, lock_path;
    {
        std::lock_guard<std::mutex> lock(I().m);
        if (!Paths(DirLocked(), r.key, &sock, &lock_path)) return false;
    }
    Request req;
    req.kind = kind;
    req.target = r.value;
    req.arg = arg;
    if (remote != nullptr) *remote = r;
    return Transact(r.path, lock_path, req, timeout_ms, reply) && reply->status == Status::kOk;
}

}  // namespace

bool IsRemoteWindow(HWND hwnd) {
    Remote r;
    return RemoteOf(hwnd, &r);
}

BOOL RemoteIsWindow(HWND hwnd) {
    Reply reply;
    return Ask(hwnd, Kind::kIsWindow, 0, kQueryMs, &reply, nullptr) && reply.value != 0 ? TRUE : FALSE;
}

HWND RemoteLastActivePopup(HWND hwnd) {
    Reply reply;
    Remote r;
    if (!Ask(hwnd, Kind::kLastActivePopup, 0, kQueryMs, &reply, &r)) return nullptr;
    r.value = static_cast<uint64_t>(reply.value);
    return MakeRemote(r);
}

BOOL RemoteIsIconic(HWND hwnd) {
    Reply reply;
    return Ask(hwnd, Kind::kIsIconic, 0, kQueryMs, &reply, nullptr) && reply.value != 0 ? TRUE : FALSE;
}

BOOL RemoteShowWindow(HWND hwnd, int cmd) {
    Reply reply;
    if (cmd < 0 || cmd > SW_SHOWDEFAULT) return FALSE;
    return Ask(hwnd, Kind::kShowWindow, static_cast<uint64_t>(cmd), kQueryMs, &reply, nullptr) &&
                   reply.value != 0
               ? TRUE
               : FALSE;
}

BOOL RemoteSetForeground(HWND hwnd) {
    Reply reply;
    return Ask(hwnd, Kind::kSetForeground, 0, kQueryMs, &reply, nullptr) && reply.value != 0 ? TRUE : FALSE;
}

bool RemoteSend(HWND hwnd, UINT msg, WPARAM, LPARAM lparam, UINT timeout_ms, LRESULT* result) {
    *result = 0;
    Remote r;
    if (msg != WM_COPYDATA || !RemoteOf(hwnd, &r)) return false;
    const auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lparam);
    if (cds == nullptr || cds->cbData > kMaxData || (cds->cbData != 0 && cds->lpData == nullptr))
        return false;
    std::string sock, lock_path;
    {
        std::lock_guard<std::mutex> lock(I().m);
        if (!Paths(DirLocked(), r.key, &sock, &lock_path)) return false;
    }
    Request req;
    req.kind = Kind::kCopyData;
    req.target = r.value;
    req.arg = cds->dwData;
    req.data.assign(static_cast<const char*>(cds->lpData), cds->cbData);
    Reply reply;
    if (!Transact(r.path, lock_path, req, timeout_ms != 0 ? static_cast<int>(timeout_ms) : -1, &reply) ||
        reply.status != Status::kOk)
        return false;
    *result = static_cast<LRESULT>(reply.value);
    return true;
}

void IpcTopLevelCreated(Window* w) {
    if (w->cls->system) return;
    Ipc& ipc = I();
    std::lock_guard<std::mutex> lock(ipc.m);
    if (ipc.hidden || DirLocked().empty()) return;
    std::string key = Lower(w->cls->name.c_str());
    Binding& b = ipc.bindings[key];
    b.windows.push_back(w->handle);
    if (b.listen_fd < 0) BindLocked(key, b);
    StartServerLocked();
    Wake();
}

void IpcTopLevelDestroyed(Window* w) {
    Ipc& ipc = I();
    std::lock_guard<std::mutex> lock(ipc.m);
    auto it = ipc.bindings.find(Lower(w->cls->name.c_str()));
    if (it == ipc.bindings.end()) return;
    Binding& b = it->second;
    auto pos = std::find(b.windows.begin(), b.windows.end(), w->handle);
    if (pos == b.windows.end()) return;
    b.windows.erase(pos);
    if (!b.windows.empty()) return;
    if (b.listen_fd >= 0) Unlink(b);
    ipc.bindings.erase(it);
    Wake();
}

RemoteCallLimit::RemoteCallLimit(unsigned ms)
    : previous_(t_limit.time_since_epoch().count()), gave_up_(t_gave_up) {
    t_limit = std::min(t_limit, Clock::now() + std::chrono::milliseconds(ms));
}

RemoteCallLimit::~RemoteCallLimit() {
    t_limit = Clock::time_point(Clock::duration(previous_));
}

bool RemoteCallLimit::GaveUp() const {
    return t_gave_up != gave_up_;
}

void HideWindowsFromOtherProcesses() {
    std::lock_guard<std::mutex> lock(I().m);
    I().hidden = true;
}

void ResetIpcForTests() {
    Ipc& ipc = I();
    std::lock_guard<std::mutex> lock(ipc.m);
    ipc.hidden = false;
    for (auto& [key, b] : ipc.bindings)
        if (b.listen_fd >= 0) Unlink(b);
    ipc.bindings.clear();
    ipc.remotes.clear();
    ipc.configured = true;
    const char* d = getenv("QSM_WM_IPC_DIR");
    ipc.dir = d != nullptr && d[0] == '/' ? d : "";
    Wake();
}

}  // namespace qsm::wm

using namespace qsm::wm;

HWND FindWindowA(LPCSTR class_name, LPCSTR title) {
    if (HWND local = FindLocal(class_name, title)) return local;
    if (class_name == nullptr || IS_INTRESOURCE(class_name) || *class_name == '\0') return nullptr;
    Remote r;
    r.key = Lower(class_name);
    std::string lock_path;
    {
        std::lock_guard<std::mutex> lock(I().m);
        const std::string& dir = DirLocked();
        if (!Paths(dir, r.key, &r.path, &lock_path) || !UsableDir(dir, false)) return nullptr;
    }
    Request req;
    req.kind = ipc::Kind::kFind;
    if (title != nullptr) {
        req.arg = 1;
        req.data = title;
    }
    ipc::Reply reply;
    SetLastError(ERROR_SUCCESS);
    if (!Transact(r.path, lock_path, req, kQueryMs, &reply) || reply.status != ipc::Status::kOk)
        return nullptr;
    r.value = static_cast<uint64_t>(reply.value);
    return MakeRemote(r);
}
