// Windows across processes: FindWindowA, WM_COPYDATA and the activation calls between this test and a peer
// process, the binding of a class by its first instance, stale sockets and hostile clients.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/wm/ipc.h"
#include "platform/wm/tests/wm_test_util.h"

extern char** environ;

namespace qsm::wm::testing {
namespace {

using Clock = std::chrono::steady_clock;

// A peer process with its standard output in a pipe. Everything that waits on it runs this process's
// message queue meanwhile, so that the peer's requests to our windows are answered.
class Peer {
public:
    explicit Peer(std::vector<std::string> args) {
        int fds[2];
        EXPECT_EQ(pipe2(fds, O_CLOEXEC), 0);
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_adddup2(&fa, fds[1], 1);
        std::vector<std::string> all{QSM_WM_IPC_PEER};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& a : all)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        EXPECT_EQ(posix_spawn(&pid_, QSM_WM_IPC_PEER, &fa, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&fa);
        close(fds[1]);
        out_ = fds[0];
    }
    ~Peer() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        close(out_);
    }
    // The next line the peer prints ("" when none comes in time). Without serve, this thread's windows
    // answer nothing meanwhile (as if its thread were stuck).
    std::string Line(int timeout_ms = 10000, bool serve = true) {
        auto end = Clock::now() + std::chrono::milliseconds(timeout_ms);
        for (;;) {
            size_t nl = buf_.find('\n');
            if (nl != std::string::npos) {
                std::string line = buf_.substr(0, nl);
                buf_.erase(0, nl + 1);
                return line;
            }
            if (Clock::now() > end) return "";
            if (serve) PumpMessages();
            pollfd p{out_, POLLIN, 0};
            if (poll(&p, 1, 5) > 0) {
                char b[256];
                ssize_t n = read(out_, b, sizeof b);
                if (n <= 0) {
                    if (buf_.empty()) return "";
                    buf_ += '\n';
                } else {
                    buf_.append(b, static_cast<size_t>(n));
                }
            }
        }
    }
    // The exit code (-1: it did not end in time, -2: it was killed).
    int Wait(int timeout_ms = 10000) {
        auto end = Clock::now() + std::chrono::milliseconds(timeout_ms);
        while (Clock::now() < end) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
            }
            PumpMessages();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return -1;
    }
    void Kill() {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    std::string buf_;
};

LRESULT SendText(HWND w, DWORD_PTR data, const std::string& text) {
    COPYDATASTRUCT cds{data, static_cast<DWORD>(text.size() + 1), const_cast<char*>(text.c_str())};
    return SendMessageA(w, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds));
}

// A window of our own whose class is `name`; WM_COPYDATA texts are kept in `received`.
std::vector<std::string> g_received;
LRESULT OwnProc(HWND h, UINT msg, WPARAM wparam, LPARAM lparam) {
    if (msg == WM_COPYDATA) {
        const auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lparam);
        g_received.emplace_back(static_cast<const char*>(cds->lpData), cds->cbData);
        return 99;
    }
    return DefWindowProcA(h, msg, wparam, lparam);
}
HWND OwnWindow(const char* cls) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = OwnProc;
    wc.lpszClassName = cls;
    RegisterClassA(&wc);
    return CreateWindowExA(0, cls, "Own", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100, nullptr, nullptr,
                           nullptr, nullptr);
}

class IpcTest : public WmTest {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/qsm-wm-test-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        setenv("QSM_WM_IPC_DIR", dir_.c_str(), 1);
        g_received.clear();
        WmTest::SetUp();
    }
    void TearDown() override {
        WmTest::TearDown();
        unsetenv("QSM_WM_IPC_DIR");
        ResetForTests();
        std::filesystem::remove_all(dir_);
    }
    bool SocketExists(const std::string& stem) const {
        struct stat st {};
        return stat((dir_ + "/" + stem + ".sock").c_str(), &st) == 0;
    }
    // Waits (running the queue) until FindWindowA finds a window of the class in another process.
    HWND FindRemote(const char* cls, int timeout_ms = 5000) {
        auto end = Clock::now() + std::chrono::milliseconds(timeout_ms);
        while (Clock::now() < end) {
            if (HWND h = FindWindowA(cls, nullptr)) return h;
            PumpMessages();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return nullptr;
    }
    std::string dir_;
};

TEST_F(IpcTest, ASecondInstanceRaisesTheFirstAndHandsItsCommandLineOver) {
    Peer peer({"serve", "TQSMViewerFrame"});
    ASSERT_EQ(peer.Line(), "ready");
    ASSERT_TRUE(SocketExists("tqsmviewerframe"));

    // Found by its class in any case, not by a title it does not have.
    HWND w = FindWindowA("tqsmviewerFRAME", nullptr);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(FindWindowA("TQSMViewerFrame", "No such title"), nullptr);
    EXPECT_EQ(FindWindowA("TQSMViewerFrame", "Peer frame"), w);
    EXPECT_TRUE(IsWindow(w));
    EXPECT_EQ(GetWindowLongA(w, GWL_STYLE), 0);  // no window of this process
    EXPECT_EQ(SendText(w, 1, ""), 1);            // iconic, something else active

    // What the second instance does: the popup, restore, foreground, the command line with its zero.
    HWND popup = GetLastActivePopup(w);
    ASSERT_NE(popup, nullptr);
    EXPECT_NE(popup, w);
    EXPECT_TRUE(IsIconic(w));
    EXPECT_TRUE(ShowWindow(w, SW_RESTORE));
    EXPECT_FALSE(IsIconic(w));
    EXPECT_TRUE(SetForegroundWindow(popup));
    EXPECT_EQ(SendText(w, 1, ""), 4);  // restored, its popup active
    const std::string line = "/play \"/home/u/a b.qsm\"";
    EXPECT_EQ(SendText(w, 0, line), 0x5150 + static_cast<LRESULT>(line.size() + 1));
    EXPECT_EQ(peer.Line(), "copydata " + std::to_string(line.size() + 1) + " " + line + " term");
    // A block without a terminator arrives with one after it; an empty block as no data.
    COPYDATASTRUCT raw{0, 3, const_cast<char*>("abcdef")};
    EXPECT_EQ(SendMessageA(w, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&raw)), 0x5150 + 3);
    EXPECT_EQ(peer.Line(), "copydata 3 abc term");
    COPYDATASTRUCT none{0, 0, nullptr};
    EXPECT_EQ(SendMessageA(w, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&none)), 0x5150);
    EXPECT_EQ(peer.Line(), "copydata 0 ");
    // Nothing but WM_COPYDATA goes across; posting does not either.
    EXPECT_EQ(SendMessageA(w, WM_CLOSE, 0, 0), 0);
    EXPECT_FALSE(PostMessageA(w, WM_COPYDATA, 0, 0));

    // The peer ends its loop and lets the class go.
    EXPECT_EQ(SendText(w, 2, ""), 7);
    EXPECT_EQ(peer.Wait(), 0);
    EXPECT_FALSE(IsWindow(w));
    EXPECT_FALSE(IsIconic(w));
    EXPECT_EQ(SendText(w, 0, "late"), 0);
    EXPECT_EQ(GetLastActivePopup(w), nullptr);
    EXPECT_EQ(FindWindowA("TQSMViewerFrame", nullptr), nullptr);
    EXPECT_FALSE(SocketExists("tqsmviewerframe"));
}

TEST_F(IpcTest, TheRunningInstanceGetsWhatAnotherProcessSends) {
    HWND own = OwnWindow("QuillStaveComposer2");
    ASSERT_NE(own, nullptr);
    ASSERT_TRUE(SocketExists("quillstavecomposer2"));
    Peer peer({"find", "QuillStaveComposer2", "/home/u/song.qsm"});
    EXPECT_EQ(peer.Line(), "reply 99");
    EXPECT_EQ(peer.Line(), "popup same");
    EXPECT_EQ(peer.Wait(), 1);
    ASSERT_EQ(g_received.size(), 1u);
    EXPECT_EQ(g_received[0], std::string("/home/u/song.qsm") + '\0');
    EXPECT_EQ(GetActiveWindow(), own);

    // With nothing to send only the activation goes across; with no window there is nothing to find.
    Peer quiet({"find", "QuillStaveComposer2", "-"});
    EXPECT_EQ(quiet.Wait(), 1);
    EXPECT_EQ(g_received.size(), 1u);
    DestroyWindow(own);
    Peer nobody({"find", "QuillStaveComposer2", "x"});
    EXPECT_EQ(nobody.Wait(), 0);
}

TEST_F(IpcTest, OnlyTheFirstInstanceBindsAndTheNextTakesOverWhenItGoes) {
    HWND own = OwnWindow("Solo");
    ASSERT_NE(own, nullptr);
    Peer second({"serve", "Solo"});
    ASSERT_EQ(second.Line(), "ready");
    // Another process reaches the first instance, not the second.
    {
        Peer finder({"find", "Solo", "to the first"});
        EXPECT_EQ(finder.Line(), "reply 99");
        EXPECT_EQ(finder.Wait(), 1);
        EXPECT_EQ(g_received.size(), 1u);
    }
    // Once the first instance's window is gone, the second instance binds the class.
    DestroyWindow(own);
    HWND w = FindRemote("Solo");
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(SendText(w, 0, "to the second"), 0x5150 + 14);
    EXPECT_EQ(second.Line(), "copydata 14 to the second term");
    SendText(w, 2, "");
    EXPECT_EQ(second.Wait(), 0);
}

TEST_F(IpcTest, ConnectionsThatSayNothingHoldUpNoOtherClient) {
    Peer peer({"serve", "Busy"});
    ASSERT_EQ(peer.Line(), "ready");
    // Idle connections of the same user, one of them having sent half a request.
    std::vector<int> idle;
    for (int i = 0; i < 12; ++i) {
        int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un a{};
        a.sun_family = AF_UNIX;
        strncpy(a.sun_path, (dir_ + "/busy.sock").c_str(), sizeof a.sun_path - 1);
        ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
        idle.push_back(fd);
    }
    ASSERT_EQ(send(idle[3], "QSWM", 4, MSG_NOSIGNAL), 4);
    // The next client is answered while they are still open.
    HWND w = FindWindowA("Busy", nullptr);
    ASSERT_NE(w, nullptr);
    // The server closes each of them once it has waited long enough for a request.
    for (int fd : idle) {
        pollfd p{fd, POLLIN, 0};
        EXPECT_EQ(poll(&p, 1, 30000), 1);
        char b;
        EXPECT_EQ(recv(fd, &b, 1, MSG_DONTWAIT), 0);
        close(fd);
    }
    SendText(w, 2, "");
    EXPECT_EQ(peer.Wait(), 0);
}

TEST_F(IpcTest, AHandOverToAProcessThatNeverAnswersGivesUpAtItsLimitAndIsDropped) {
    // A listener on the socket that never takes a connection.
    int silent = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    strncpy(a.sun_path, (dir_ + "/silent.sock").c_str(), sizeof a.sun_path - 1);
    ASSERT_EQ(bind(silent, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(listen(silent, 4), 0);
    Peer toSilent({"handover", "Silent", "1000", "x"});
    EXPECT_EQ(toSilent.Line(60000), "none unsent gave-up");
    EXPECT_EQ(toSilent.Wait(60000), 0);
    close(silent);

    // A window of this process whose thread answers nothing while the peer hands over: the class is still
    // found, the rest gives up, and what the peer withdrew is never carried out.
    HWND own = OwnWindow("Stuck");
    ASSERT_NE(own, nullptr);
    Peer toStuck({"handover", "Stuck", "1000", "late"});
    EXPECT_EQ(toStuck.Line(60000, false), "found unsent gave-up");
    EXPECT_EQ(toStuck.Wait(60000), 0);
    PumpMessages();
    EXPECT_TRUE(g_received.empty());
    // Once the thread answers again, so does the window.
    Peer again({"handover", "Stuck", "30000", "now"});
    EXPECT_EQ(again.Line(60000), "found sent in-time");
    ASSERT_EQ(g_received.size(), 1u);
    EXPECT_EQ(g_received[0], std::string("now") + '\0');
    DestroyWindow(own);
}

TEST_F(IpcTest, AFolderNotPrivateToTheUserTurnsHandOverOffAndTheUserIsToldOnce) {
    // The folder belongs to another user (or, without the right to give it away, is open to all).
    bool given = geteuid() == 0 && chown(dir_.c_str(), 65534, 65534) == 0;
    if (!given) chmod(dir_.c_str(), 0777);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(FindWindowA("Elsewhere", nullptr), nullptr);
    OwnWindow("Mine");
    EXPECT_EQ(FindWindowA("Elsewhere", nullptr), nullptr);
    std::string told = ::testing::internal::GetCapturedStderr();
    EXPECT_FALSE(SocketExists("mine"));
    EXPECT_NE(told.find(dir_), std::string::npos) << told;
    EXPECT_EQ(told.find(dir_), told.rfind(dir_)) << told;
    if (given) {
        EXPECT_EQ(chown(dir_.c_str(), 0, 0), 0);
    }
    chmod(dir_.c_str(), 0700);
}

TEST_F(IpcTest, TheSocketOfAProcessThatDiedIsCleanedUp) {
    {
        Peer ghost({"serve", "Ghost"});
        ASSERT_EQ(ghost.Line(), "ready");
        ghost.Kill();
    }
    EXPECT_TRUE(SocketExists("ghost"));
    EXPECT_EQ(FindWindowA("Ghost", nullptr), nullptr);
    EXPECT_FALSE(SocketExists("ghost"));
    // A new instance binds the class again, and another process finds it.
    HWND own = OwnWindow("Ghost");
    ASSERT_NE(own, nullptr);
    EXPECT_TRUE(SocketExists("ghost"));
    Peer finder({"find", "Ghost", "back"});
    EXPECT_EQ(finder.Wait(), 1);
    EXPECT_EQ(g_received.size(), 1u);
}

TEST_F(IpcTest, AFolderThatOthersCanWriteToIsNotUsed) {
    Peer peer({"serve", "Shared"});
    ASSERT_EQ(peer.Line(), "ready");
    chmod(dir_.c_str(), 0777);
    // Its sockets could be anybody's: nothing is looked up there, and nothing is bound.
    EXPECT_EQ(FindWindowA("Shared", nullptr), nullptr);
    OwnWindow("Open");
    EXPECT_FALSE(SocketExists("open"));
    chmod(dir_.c_str(), 0700);
    HWND w = FindWindowA("Shared", nullptr);
    ASSERT_NE(w, nullptr);
    SendText(w, 2, "");
    EXPECT_EQ(peer.Wait(), 0);
}

// Raw connections to our own class's socket from another thread; the test thread runs the queue.
struct RawResult {
    bool replied = false;
    ipc::Reply reply;
};
RawResult RawRequest(const std::string& path, const std::string& bytes, bool half_close = true) {
    RawResult out;
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    strncpy(a.sun_path, path.c_str(), sizeof a.sun_path - 1);
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        close(fd);
        return out;
    }
    if (!bytes.empty()) (void)!send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (half_close) shutdown(fd, SHUT_WR);
    uint8_t buf[64];
    size_t have = 0;
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 5000) <= 0) break;
        ssize_t n = recv(fd, buf + have, sizeof buf - have, 0);
        if (n <= 0) break;
        have += static_cast<size_t>(n);
    }
    close(fd);
    out.replied = ipc::DecodeReply(buf, have, &out.reply);
    return out;
}

template <typename F>
auto OffThread(F f) {
    decltype(f()) result{};
    std::atomic<bool> done{false};
    std::thread t([&] {
        result = f();
        done = true;
    });
    auto end = Clock::now() + std::chrono::seconds(20);
    while (!done && Clock::now() < end) {
        PumpMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    t.join();
    return result;
}

TEST_F(IpcTest, HostileOrShortInputOnTheSocketIsRefused) {
    HWND own = OwnWindow("Target");
    ASSERT_NE(own, nullptr);
    const std::string path = dir_ + "/target.sock";
    ipc::Request find;
    find.kind = ipc::Kind::kFind;
    std::string good = ipc::EncodeRequest(find);

    // Not our magic, or a header cut short: no answer, or a refusal; the server goes on.
    RawResult garbage = OffThread([&] { return RawRequest(path, std::string(40, 'x')); });
    EXPECT_TRUE(garbage.replied);
    EXPECT_EQ(garbage.reply.status, ipc::Status::kRefused);
    EXPECT_FALSE(OffThread([&] { return RawRequest(path, good.substr(0, 10)); }).replied);
    EXPECT_FALSE(OffThread([&] { return RawRequest(path, ""); }).replied);
    // A block longer than allowed is refused from its header, before any byte of it is read.
    ipc::Request big;
    big.kind = ipc::Kind::kCopyData;
    big.target = reinterpret_cast<uintptr_t>(own);
    std::string header = ipc::EncodeRequest(big);
    uint32_t huge = ipc::kMaxData + 1;
    memcpy(&header[24], &huge, 4);
    RawResult too_big = OffThread([&] { return RawRequest(path, header); });
    EXPECT_EQ(too_big.reply.status, ipc::Status::kRefused);
    // A block announced longer than what comes: the client ends first, nothing is delivered.
    big.data = "abc";
    std::string cut = ipc::EncodeRequest(big);
    cut.resize(cut.size() - 1);
    EXPECT_FALSE(OffThread([&] { return RawRequest(path, cut); }).replied);
    EXPECT_TRUE(g_received.empty());
    // A window that is not one of ours, a child window, and unknown kinds and show commands.
    ipc::Request bad = big;
    bad.target = 0x12345678;
    EXPECT_EQ(OffThread([&] { return RawRequest(path, ipc::EncodeRequest(bad)); }).reply.status,
              ipc::Status::kNoWindow);
    HWND child = CreateWindowExA(0, "Target", "", WS_CHILD, 0, 0, 5, 5, own, nullptr, nullptr, nullptr);
    bad.target = reinterpret_cast<uintptr_t>(child);
    EXPECT_EQ(OffThread([&] { return RawRequest(path, ipc::EncodeRequest(bad)); }).reply.status,
              ipc::Status::kNoWindow);
    std::string kind = good;
    kind[6] = 9;
    EXPECT_EQ(OffThread([&] { return RawRequest(path, kind); }).reply.status, ipc::Status::kRefused);
    ipc::Request show;
    show.kind = ipc::Kind::kShowWindow;
    show.target = reinterpret_cast<uintptr_t>(own);
    show.arg = 77;
    EXPECT_EQ(OffThread([&] { return RawRequest(path, ipc::EncodeRequest(show)); }).reply.status,
              ipc::Status::kRefused);
    EXPECT_TRUE(g_received.empty());
    EXPECT_TRUE(IsWindowVisible(own));

    // A client that connects and says nothing is dropped after its time; the next one is answered.
    auto start = Clock::now();
    EXPECT_FALSE(OffThread([&] { return RawRequest(path, "", false); }).replied);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(4));
    RawResult found = OffThread([&] { return RawRequest(path, good); });
    ASSERT_TRUE(found.replied);
    EXPECT_EQ(found.reply.status, ipc::Status::kOk);
    EXPECT_EQ(found.reply.value, static_cast<int64_t>(reinterpret_cast<uintptr_t>(own)));
    big.data = "abc";
    RawResult sent = OffThread([&] { return RawRequest(path, ipc::EncodeRequest(big)); });
    EXPECT_EQ(sent.reply.value, 99);
    ASSERT_EQ(g_received.size(), 1u);
    EXPECT_EQ(g_received[0], "abc");
}

TEST(IpcProtocol, RequestsArriveInAnyPiecesAndMalformedOnesAreRefused) {
    ipc::Request r;
    r.kind = ipc::Kind::kCopyData;
    r.target = 0x1234;
    r.arg = 0xFEDCBA9876543210ull;
    r.data = std::string("x\0y", 3);
    std::string bytes = ipc::EncodeRequest(r) + "trailing";
    ipc::RequestReader reader;
    size_t used_total = 0;
    for (size_t i = 0; i < bytes.size() && reader.state() == ipc::RequestReader::kNeedMore; ++i) {
        size_t used = 0;
        reader.Feed(reinterpret_cast<const uint8_t*>(&bytes[i]), 1, &used);
        used_total += used;
    }
    ASSERT_EQ(reader.state(), ipc::RequestReader::kDone);
    EXPECT_EQ(used_total, ipc::kRequestHeaderSize + 3);  // the bytes after the request are left alone
    EXPECT_EQ(reader.request().target, r.target);
    EXPECT_EQ(reader.request().arg, r.arg);
    EXPECT_EQ(reader.request().data, r.data);

    auto state_of = [](const std::string& b) {
        ipc::RequestReader rd;
        rd.Feed(reinterpret_cast<const uint8_t*>(b.data()), b.size(), nullptr);
        return rd.state();
    };
    ipc::Request find;
    find.kind = ipc::Kind::kFind;
    find.arg = 1;
    find.data = "Title";
    EXPECT_EQ(state_of(ipc::EncodeRequest(find)), ipc::RequestReader::kDone);
    find.data = std::string("Ti\0tle", 6);  // a title with a zero byte names nothing
    EXPECT_EQ(state_of(ipc::EncodeRequest(find)), ipc::RequestReader::kBad);
    find.arg = 0;  // bytes without the title flag
    find.data = "x";
    EXPECT_EQ(state_of(ipc::EncodeRequest(find)), ipc::RequestReader::kBad);
    ipc::Request popup;
    popup.kind = ipc::Kind::kLastActivePopup;
    EXPECT_EQ(state_of(ipc::EncodeRequest(popup)), ipc::RequestReader::kBad);  // no target
    popup.target = 8;
    EXPECT_EQ(state_of(ipc::EncodeRequest(popup)), ipc::RequestReader::kDone);
    popup.data = "x";  // bytes where none belong
    EXPECT_EQ(state_of(ipc::EncodeRequest(popup)), ipc::RequestReader::kBad);
    std::string version = ipc::EncodeRequest(find);
    version[4] = 2;
    EXPECT_EQ(state_of(version), ipc::RequestReader::kBad);
    EXPECT_EQ(state_of(ipc::EncodeRequest(r).substr(0, 27)), ipc::RequestReader::kNeedMore);

    // Replies: exactly their size, our magic and a known status.
    ipc::Reply rep{ipc::Status::kNoWindow, -5};
    std::string rb = ipc::EncodeReply(rep);
    ipc::Reply back;
    ASSERT_TRUE(ipc::DecodeReply(reinterpret_cast<const uint8_t*>(rb.data()), rb.size(), &back));
    EXPECT_EQ(back.status, ipc::Status::kNoWindow);
    EXPECT_EQ(back.value, -5);
    EXPECT_FALSE(ipc::DecodeReply(reinterpret_cast<const uint8_t*>(rb.data()), rb.size() - 1, &back));
    rb[6] = 4;
    EXPECT_FALSE(ipc::DecodeReply(reinterpret_cast<const uint8_t*>(rb.data()), rb.size(), &back));
}

TEST_F(IpcTest, WindowsOfThisProcessAreFoundFirstAndTestsStayApartWithoutTheDirectory) {
    HWND own = OwnWindow("Local");
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(FindWindowA("LOCAL", nullptr), own);
    EXPECT_EQ(FindWindowA("Local", "Own"), own);
    EXPECT_EQ(FindWindowA("Local", "own"), nullptr);
    EXPECT_EQ(FindWindowA(nullptr, "Own"), own);
    // The dialog class and other built-in ones bind nothing.
    CreateWindowExA(0, WC_DIALOG, "", WS_POPUP, 0, 0, 5, 5, nullptr, nullptr, nullptr, nullptr);
    EXPECT_FALSE(SocketExists("%2332770"));
    EXPECT_TRUE(SocketExists("local"));
    // Without the directory variable a test process has no windows across processes at all.
    unsetenv("QSM_WM_IPC_DIR");
    ResetForTests();
    OwnWindow("Local");
    EXPECT_FALSE(SocketExists("local"));
    EXPECT_EQ(FindWindowA("Elsewhere", nullptr), nullptr);
}

}  // namespace
}  // namespace qsm::wm::testing
