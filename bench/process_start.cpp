// Starts each program many times with posix_spawn (argument 0 a URL, standard output to
// /dev/null) and prints microseconds per start against the first program, the floor, with each
// program's peak resident memory and its file size. Rounds interleave the programs, and each
// ratio is the median of the ratios within a round, so that drift of the machine cancels out.
// With no programs named, it runs the ones built beside it. With --emulator, each program is
// started through that qemu-user binary instead, which sets argument 0 with its option -0.
#include <fcntl.h>
#include <spawn.h>
#include <sys/ptrace.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <vector>

namespace {

[[noreturn]] void cannot_run(const char *program) {
    std::fprintf(stderr, "cannot run %s\n", program);
    std::exit(1);
}

// How to start a program with a chosen argument 0: directly, or through an emulator.
struct Start {
    const char *program, *path;  // path: the program, or the emulator that runs it
    std::vector<char *> argv;
};

Start start_of(const char *emulator, const char *program, const char *argv0) {
    char *arg0 = const_cast<char *>(argv0);
    if (emulator == nullptr) return {program, program, {arg0, nullptr}};
    return {program,
            emulator,
            {const_cast<char *>(emulator), const_cast<char *>("-0"), arg0,
             const_cast<char *>(program), nullptr}};
}

double microseconds_per_start(const Start &start, int starts) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    char *envp[] = {nullptr};
    auto begin = std::chrono::steady_clock::now();
    for (int i = 0; i < starts; ++i) {
        pid_t pid;
        int status;
        if (posix_spawn(&pid, start.path, &actions, nullptr, start.argv.data(), envp) != 0 ||
            waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
            cannot_run(start.program);
    }
    std::chrono::duration<double, std::micro> elapsed = std::chrono::steady_clock::now() - begin;
    posix_spawn_file_actions_destroy(&actions);
    return elapsed.count() / starts;
}

// Peak resident memory of one run, read from /proc when the program is about to exit (a ptrace
// exit stop). wait4's figure would not do: a spawned child starts in this process's memory.
long peak_resident_kib(const Start &start) {
    pid_t pid = fork();
    if (pid == 0) {
        int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        ptrace(PTRACE_TRACEME, 0, nullptr, nullptr);
        char *envp[] = {nullptr};
        execve(start.path, start.argv.data(), envp);
        _exit(127);
    }
    int status;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFSTOPPED(status))
        cannot_run(start.program);
    ptrace(PTRACE_SETOPTIONS, pid, nullptr, PTRACE_O_TRACEEXIT);
    ptrace(PTRACE_CONT, pid, nullptr, nullptr);
    waitpid(pid, &status, 0);
    long kib = -1;
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/status", static_cast<int>(pid));
    if (std::FILE *file = std::fopen(path, "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, file))
            if (std::sscanf(line, "VmHWM: %ld kB", &kib) == 1) break;
        std::fclose(file);
    }
    ptrace(PTRACE_CONT, pid, nullptr, nullptr);
    waitpid(pid, &status, 0);
    return kib;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: %s STARTS_PER_ROUND ROUNDS [--emulator QEMU] [FLOOR PROGRAM...]\n",
                     argv[0]);
        return 2;
    }
    int starts = std::atoi(argv[1]);
    int rounds = std::atoi(argv[2]);
    if (starts < 1 || rounds < 1) return 2;
    int first_program = 3;
    const char *emulator = nullptr;
    if (argc > 4 && std::strcmp(argv[3], "--emulator") == 0) {
        emulator = argv[4];
        first_program = 5;
    }
    static const char *const built[] = {URISPLIT_START_PROGRAMS};
    const char *const *programs = argv + first_program;
    std::size_t count = static_cast<std::size_t>(argc - first_program);
    if (count == 0) {
        programs = built;
        count = std::size(built);
    }

    const char *url = "http://www.example.org:8080/index.html?q=1";
    std::vector<Start> launches;
    for (std::size_t i = 0; i < count; ++i)
        launches.push_back(start_of(emulator, programs[i], url));
    std::vector<std::vector<double>> times(count);
    for (int round = 0; round < rounds; ++round)
        for (std::size_t i = 0; i < count; ++i)
            times[i].push_back(microseconds_per_start(launches[i], starts));
    std::printf("process start, median of %d rounds of %d starts\n", rounds, starts);
    std::printf("%-48s %10s %10s %12s %10s\n", "program", "us/start", "vs floor", "peak RSS KiB",
                "size KiB");
    for (std::size_t i = 0; i < count; ++i) {
        // The ratio is taken within each round, so that slow drift of the machine cancels out.
        std::vector<double> ratios;
        for (int round = 0; round < rounds; ++round)
            ratios.push_back(times[i][round] / times[0][round]);
        struct stat file;
        double size_kib = stat(programs[i], &file) == 0 ? file.st_size / 1024.0 : 0;
        std::printf("%-48s %10.1f %10.3f %12ld %10.1f\n", programs[i], median(times[i]),
                    median(ratios), peak_resident_kib(launches[i]), size_kib);
    }
    return 0;
}
