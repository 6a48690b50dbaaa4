// tarquel-bench-run LIMIT OUT ERR PROGRAM [ARGUMENTS...]: runs the program
// once, standard output to OUT, standard error to ERR, standard input from
// /dev/null, and prints "SECONDS PEAK-KB STATUS": its wall time from the
// spawn to the end of the wait, its peak resident set (wait4's ru_maxrss)
// and its exit status (124 when it ran past LIMIT seconds and was killed).
//
// The benchmark times whole processes. Timing them through /usr/bin/time
// and timeout would add two more programs to every run, each an exec (about
// 4 ms apiece on the 2-core test machine): a third of a run at 10^5 values.
// This spawns the one program and measures both figures from one run.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

extern char** environ;

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: tarquel-bench-run LIMIT OUT ERR PROGRAM [ARGUMENTS...]\n");
        return 2;
    }
    const double limit = std::atof(argv[1]);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&files, 1, argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&files, 2, argv[3], O_WRONLY | O_CREAT | O_TRUNC, 0644);

    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    pid_t child = 0;
    if (posix_spawn(&child, argv[4], &files, nullptr, argv + 4, environ) != 0) {
        std::perror("tarquel-bench-run: cannot start the program");
        return 2;
    }
    // The limit: a thread that kills the child when it has run too long.
    std::thread([child, limit] {
        std::this_thread::sleep_for(std::chrono::duration<double>(limit));
        kill(child, SIGKILL);
    }).detach();
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child) {
        std::perror("tarquel-bench-run: wait4");
        return 2;
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const int code = WIFEXITED(status)             ? WEXITSTATUS(status)
                     : WTERMSIG(status) == SIGKILL ? 124
                                                   : 128 + WTERMSIG(status);
    std::printf("%.6f %ld %d\n", seconds, usage.ru_maxrss, code);
    return 0;
}
