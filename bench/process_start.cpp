// Starts a program K times with posix_spawn (argument 0 chosen, standard output to /dev/null)
// and prints microseconds per start, for urisplit and for an empty static C program, and their
// ratio. Rounds alternate between the two so that drift of the machine hits both alike.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

double microseconds_per_start(const char *program, const char *argv0, int starts) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    char *argv[] = {const_cast<char *>(argv0), nullptr};
    char *envp[] = {nullptr};
    auto begin = std::chrono::steady_clock::now();
    for (int i = 0; i < starts; ++i) {
        pid_t pid;
        int status;
        if (posix_spawn(&pid, program, &actions, nullptr, argv, envp) != 0 ||
            waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            std::fprintf(stderr, "cannot run %s\n", program);
            std::exit(1);
        }
    }
    std::chrono::duration<double, std::micro> elapsed = std::chrono::steady_clock::now() - begin;
    posix_spawn_file_actions_destroy(&actions);
    return elapsed.count() / starts;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s URISPLIT EMPTY [STARTS_PER_ROUND [ROUNDS]]\n", argv[0]);
        return 2;
    }
    int starts = argc > 3 ? std::atoi(argv[3]) : 1000;
    int rounds = argc > 4 ? std::atoi(argv[4]) : 11;
    if (starts < 1 || rounds < 1) return 2;
    const char *url = "http://www.example.org:8080/index.html?q=1";
    std::vector<double> tool, empty;
    for (int round = 0; round < rounds; ++round) {
        tool.push_back(microseconds_per_start(argv[1], url, starts));
        empty.push_back(microseconds_per_start(argv[2], url, starts));
    }
    double tool_us = median(tool), empty_us = median(empty);
    std::printf("process start, median of %d rounds of %d starts\n", rounds, starts);
    std::printf("  urisplit            %8.1f us\n", tool_us);
    std::printf("  empty static C      %8.1f us\n", empty_us);
    std::printf("  ratio               %8.3f\n", tool_us / empty_us);
    return 0;
}
