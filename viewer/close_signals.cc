#include "viewer/close_signals.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>

namespace qsm {
namespace {

constexpr int kCloseSignals[] = {SIGTERM, SIGINT, SIGHUP};
// How long a program asked to close may take before it ends all the same.
constexpr int kGraceMs = 2000;

int g_pipe[2] = {-1, -1};
std::atomic<HWND> g_window{nullptr};
std::atomic<int> g_signal{0};
UINT g_message = 0;

void OnSignal(int sig) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(sig);
    // A full pipe already holds a request to close.
    [[maybe_unused]] ssize_t n = write(g_pipe[1], &byte, 1);
    errno = saved;
}

// The next signal's number from the pipe, waiting at most timeoutMs (-1: for ever); 0 on timeout.
int NextSignal(int timeoutMs) {
    for (;;) {
        pollfd p{g_pipe[0], POLLIN, 0};
        int r = poll(&p, 1, timeoutMs);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return 0;
        unsigned char byte = 0;
        ssize_t n = read(g_pipe[0], &byte, 1);
        if (n < 0 && errno == EINTR) continue;
        return n == 1 ? byte : 0;
    }
}

// The signal's own action: the program ends as if it had no handler.
[[noreturn]] void EndBySignal(int sig) {
    signal(sig, SIG_DFL);
    kill(getpid(), sig);
    _exit(128 + sig);
}

void Watch() {
    int sig = NextSignal(-1);
    if (sig == 0) return;
    g_signal = sig;
    HWND window = g_window.load();
    if (window == nullptr || !PostMessageA(window, g_message, static_cast<WPARAM>(sig), 0)) EndBySignal(sig);
    // Further signals are passed on as they come, until the time is up.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kGraceMs);
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                          std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        int again = NextSignal(static_cast<int>(left.count()));
        if (again == 0) continue;
        window = g_window.load();
        if (window != nullptr) PostMessageA(window, g_message, static_cast<WPARAM>(again), 0);
    }
    _exit(128 + sig);
}

}  // namespace

void InstallCloseSignals() {
    if (g_pipe[0] >= 0) return;
    if (pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    // The reading end blocks in poll, not in read.
    g_message = RegisterWindowMessageA("QSMCloseSignal");
    std::thread(Watch).detach();
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : kCloseSignals)
        sigaction(sig, &sa, nullptr);
}

void SetCloseSignalWindow(HWND window) {
    g_window = window;
}

int GetCloseSignal() {
    return g_signal.load();
}

UINT CloseSignalMessage() {
    if (g_message == 0) g_message = RegisterWindowMessageA("QSMCloseSignal");
    return g_message;
}

}  // namespace qsm
