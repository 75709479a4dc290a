// Starting and ending helper programs in benchmarks: their environment, their search on the path, and
// process groups of their own that are ended whole.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace qsm::bench {

inline std::string FindOnPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path != nullptr ? path : "/usr/bin:/bin");
    for (std::string dir; std::getline(dirs, dir, ':');)
        if (!dir.empty() && access((std::filesystem::path(dir) / name).c_str(), X_OK) == 0)
            return (std::filesystem::path(dir) / name).string();
    return {};
}

// The environment of this process with `set` (NAME=value) put in and the names in `unset` taken out.
inline std::vector<std::string> Environment(const std::vector<std::string>& set,
                                            const std::vector<std::string>& unset) {
    std::vector<std::string> out;
    for (char** e = environ; *e != nullptr; ++e) {
        std::string kv = *e;
        std::string name = kv.substr(0, kv.find('='));
        bool drop = std::find(unset.begin(), unset.end(), name) != unset.end() ||
                    std::any_of(set.begin(), set.end(), [&](const std::string& s) {
                        return s.compare(0, name.size() + 1, name + "=") == 0;
                    });
        if (!drop) out.push_back(kv);
    }
    out.insert(out.end(), set.begin(), set.end());
    return out;
}

// Starts a program with the environment, its output thrown away; -1 when it could not start.
inline pid_t Spawn(const std::vector<std::string>& args, const std::vector<std::string>& env,
                   int keepFd = -1) {
    std::vector<std::string> a = args, e = env;
    std::vector<char*> argv, envp;
    for (std::string& s : a)
        argv.push_back(s.data());
    argv.push_back(nullptr);
    for (std::string& s : e)
        envp.push_back(s.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    if (keepFd >= 0) posix_spawn_file_actions_adddup2(&actions, keepFd, keepFd);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attr, 0);
    pid_t pid = -1;
    int rc = posix_spawn(&pid, argv[0], &actions, &attr, argv.data(), envp.data());
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

inline void EndProcess(pid_t pid) {
    if (pid <= 0) return;
    kill(-pid, SIGKILL);
    while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
}

}  // namespace qsm::bench
