// Runs a program to its end and tells its peak resident memory and its wall time, as one line
// "<peak KB> <nanoseconds>" written to the descriptor named first:
//     peak_memory_run FD PROGRAM [ARGUMENT...]
// A process started straight from a large one (a benchmark) by posix_spawn or vfork reports the peak of its
// parent as its own through wait4, since it ran in the parent's memory until its exec. Started from this
// small program instead, the program's figure is its own (and this program's few hundred KB at most).
// Ends with the program's exit status, or 128 plus the signal that ended it.
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fputs("usage: peak_memory_run FD PROGRAM [ARGUMENT...]\n", stderr);
        return 2;
    }
    const int fd = std::atoi(argv[1]);
    timespec start{}, end{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    const pid_t pid = fork();
    if (pid < 0) return 127;
    if (pid == 0) {
        close(fd);
        execv(argv[2], argv + 2);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    clock_gettime(CLOCK_MONOTONIC, &end);
    const long long ns = (end.tv_sec - start.tv_sec) * 1000000000LL + (end.tv_nsec - start.tv_nsec);
    char line[64];
    const int n = std::snprintf(line, sizeof line, "%ld %lld\n", usage.ru_maxrss, ns);
    if (n > 0 && write(fd, line, static_cast<size_t>(n)) != n) return 126;
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
