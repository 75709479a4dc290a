#pragma once
// Starting the viewer as a whole process in a benchmark: a settings store of its own on the headless
// backend, and the pipe through which it reports its first idle queue after the first paint (QSM_IDLE_LOG).

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace qsm::bench {

// Points the programs started from now on at the settings store in the folder and at the headless backend.
inline void UsePrivateViewerSettings(const std::string& store) {
    std::filesystem::create_directories(store);
    chmod(store.c_str(), 0700);
    setenv("XDG_CONFIG_HOME", store.c_str(), 1);
    setenv("QSM_SYSTEM_REGISTRY", (store + "/system.reg").c_str(), 1);
    setenv("QSM_WM_IPC_DIR", store.c_str(), 1);
    setenv("QSM_BACKEND", "headless", 1);
}

// Ends a process that is still running and returns the processor time it used, every thread of it (those
// that have ended too), in milliseconds: on a loaded machine the wall time of a start says more about the
// other processes than about this one.
inline double KillAndReapCpuMs(pid_t pid) {
    kill(pid, SIGKILL);
    int status = 0;
    struct rusage usage {};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    auto ms = [](const timeval& t) { return static_cast<double>(t.tv_sec) * 1e3 + t.tv_usec / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// The idle pipe at the path, handed to the programs started while it lives.
class IdlePipe {
public:
    explicit IdlePipe(const std::string& path) {
        unlink(path.c_str());
        if (mkfifo(path.c_str(), 0600) != 0) return;
        // Held open for writing here too, so that the pipe never reads as ended between starts.
        readFd_ = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        keepFd_ = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        setenv("QSM_IDLE_LOG", path.c_str(), 1);
    }
    ~IdlePipe() {
        unsetenv("QSM_IDLE_LOG");
        if (keepFd_ >= 0) close(keepFd_);
        if (readFd_ >= 0) close(readFd_);
    }
    IdlePipe(const IdlePipe&) = delete;
    IdlePipe& operator=(const IdlePipe&) = delete;

    bool Ok() const { return readFd_ >= 0 && keepFd_ >= 0; }

    // Waits for the line the process writes at its first idle queue (its caption); false when the process
    // ended first.
    bool WaitForLine(pid_t pid, std::string* line) {
        line->clear();
        while (line->find('\n') == std::string::npos) {
            pollfd p{readFd_, POLLIN, 0};
            if (poll(&p, 1, 1000) <= 0) {
                int status = 0;
                if (waitpid(pid, &status, WNOHANG) == pid) return false;
                continue;
            }
            char buf[512];
            ssize_t n = read(readFd_, buf, sizeof buf);
            if (n > 0) line->append(buf, static_cast<size_t>(n));
        }
        return true;
    }

    // Reads and drops what the pipe holds now.
    void Drain() {
        char buf[512];
        while (read(readFd_, buf, sizeof buf) > 0) {
        }
    }

private:
    int readFd_ = -1;
    int keepFd_ = -1;
};

}  // namespace qsm::bench
