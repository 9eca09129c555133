// Starts the built tool with a chosen argument 0 and checks what it writes and how it exits.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

enum class Output { Pipe, Closed, Full, BrokenPipe };

struct ToolRun {
    std::string out, err;
    int wait_status = -1;
};

std::string read_all(int fd) {
    std::string text;
    char chunk[4096];
    ssize_t n;
    while ((n = read(fd, chunk, sizeof chunk)) > 0) text.append(chunk, static_cast<size_t>(n));
    close(fd);
    return text;
}

// Starts program with the given argument vector (argv ends with nullptr) and no environment.
ToolRun spawn(const char *program, char *const argv[], Output output = Output::Pipe) {
    int out_pipe[2], err_pipe[2];
    if (pipe(out_pipe) != 0 || pipe(err_pipe) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, err_pipe[1], STDERR_FILENO);
    switch (output) {
        case Output::Pipe:
        case Output::BrokenPipe:
            posix_spawn_file_actions_adddup2(&actions, out_pipe[1], STDOUT_FILENO);
            break;
        case Output::Closed:
            posix_spawn_file_actions_addclose(&actions, STDOUT_FILENO);
            break;
        case Output::Full:
            posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/full", O_WRONLY, 0);
            break;
    }
    if (output == Output::BrokenPipe) close(out_pipe[0]);
    // The child starts with SIGPIPE at its default action, whatever this process does with it.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t default_signals;
    sigemptyset(&default_signals);
    sigaddset(&default_signals, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &default_signals);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);

    char *envp[] = {nullptr};
    pid_t pid = -1;
    ToolRun run;
    int spawn_error = posix_spawn(&pid, program, &actions, &attributes, argv, envp);
    close(out_pipe[1]);
    close(err_pipe[1]);
    if (output != Output::BrokenPipe) run.out = read_all(out_pipe[0]);
    run.err = read_all(err_pipe[0]);
    if (spawn_error == 0) waitpid(pid, &run.wait_status, 0);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    return run;
}

// argv0 == nullptr starts the tool with an empty argument vector. A cross build's tool is started
// through its emulator, whose option -0 sets argument 0.
ToolRun run_tool(const char *argv0, Output output = Output::Pipe, const char *argv1 = nullptr) {
#ifdef URISPLIT_EMULATOR
    const char *argv[] = {URISPLIT_EMULATOR, "-0", argv0, URISPLIT_BINARY, argv1, nullptr};
    return spawn(argv[0], const_cast<char *const *>(argv), output);
#else
    char *argv[] = {const_cast<char *>(argv0), const_cast<char *>(argv1), nullptr};
    return spawn(URISPLIT_BINARY, argv, output);
#endif
}

void expect_clean_exit(const ToolRun &run, const std::string &what) {
    EXPECT_TRUE(WIFEXITED(run.wait_status) && WEXITSTATUS(run.wait_status) == 0)
        << what << ": wait status " << run.wait_status;
    EXPECT_EQ(run.err, "") << what;
}

TEST(Cli, WritesOneRecordWithoutNewline) {
    const struct {
        const char *argv0, *out;
    } rows[] = {
        {"http://alpha:123/index.html", "alpha /index.html 123"},
        {"http://alpha/index.html", "alpha /index.html 80"},
        {"http://alpha", "alpha / 80"},
        {"http://alpha:123", "alpha / 123"},
        {"http://alpha/a:b/c", "alpha/a /c b"},
        {"http://", " / 80"},
        {"http://alpha:/x", "alpha /x "},
        {"build/urisplit", ""},
        {"https://alpha/x", ""},
        {"", ""},
    };
    for (const auto &row : rows) {
        ToolRun run = run_tool(row.argv0);
        EXPECT_EQ(run.out, row.out) << row.argv0;
        expect_clean_exit(run, row.argv0);
    }
}

TEST(Cli, IgnoresLaterArguments) {
    ToolRun run = run_tool("http://alpha/x", Output::Pipe, "http://beta:1/y");
    EXPECT_EQ(run.out, "alpha /x 80");
    expect_clean_exit(run, "second argument");
}

TEST(Cli, LongestArgumentZero) {
    std::string markers_then_url;
    while (markers_then_url.size() < 131000) markers_then_url += "http://";
    markers_then_url += "alpha:8/x";
    const struct {
        std::string argv0, out;
    } rows[] = {
        {markers_then_url, "alpha /x 8"},
        {"http://alpha/" + std::string(131000, 'x'), ""},
        {std::string(131071, 'h'), ""},
    };
    for (const auto &row : rows) {
        ToolRun run = run_tool(row.argv0.c_str());
        EXPECT_EQ(run.out, row.out) << row.argv0.size() << " bytes";
        expect_clean_exit(run, std::to_string(row.argv0.size()) + " bytes");
    }
}

TEST(Cli, ExitsZeroWhateverHappensToOutput) {
    const struct {
        Output output;
        const char *what;
    } rows[] = {
        {Output::Closed, "closed"},
        {Output::Full, "/dev/full"},
        {Output::BrokenPipe, "broken pipe"},
    };
    for (const auto &row : rows)
        expect_clean_exit(run_tool("http://alpha/x", row.output), row.what);
}

TEST(Cli, EmptyArgumentVector) {
#ifdef URISPLIT_EMULATOR
    GTEST_SKIP() << "the emulator cannot start a program without argument 0";
#endif
    ToolRun run = run_tool(nullptr);
    EXPECT_EQ(run.out, "");
    expect_clean_exit(run, "no argument 0");
}

#ifdef URISPLIT_STRACE
// Runs the tool on argv0 under strace with the given -e expressions (trace=..., inject=...),
// tracing to trace_file. Perl sets argument 0, as strace cannot.
ToolRun run_traced(const char *argv0, std::vector<std::string> expressions,
                   const char *trace_file = "/dev/null") {
    std::vector<const char *> argv = {URISPLIT_STRACE, "-qq", "-o", trace_file};
    for (const std::string &expression : expressions) {
        argv.push_back("-e");
        argv.push_back(expression.c_str());
    }
    for (const char *word : {URISPLIT_PERL, "-e", "exec {$ARGV[0]} @ARGV[1..$#ARGV]",
                             URISPLIT_BINARY, argv0, static_cast<const char *>(nullptr)})
        argv.push_back(word);
    return spawn(URISPLIT_STRACE, const_cast<char *const *>(argv.data()));
}
#endif

// The rare paths of the output loop, reached by making write(2) fail or come up short: strace
// skips the real call and returns what it is told.
TEST(Cli, OutputSurvivesWhatWriteReturns) {
#ifndef URISPLIT_STRACE
    GTEST_SKIP() << "needs strace and perl, and a build without sanitizers";
#else
    const std::string record = "alpha /index.html 123";
    const struct {
        const char *injected, *what;
        std::string out;
    } rows[] = {
        {"error=EINTR:when=1", "interrupted once", record},
        {"error=EINTR:when=1..3", "interrupted three times", record},
        {"retval=5:when=1", "5 bytes taken, the rest sent next", record.substr(5)},
        {"retval=20:when=1", "all but the last byte taken", record.substr(20)},
        {"retval=0:when=1", "no progress: give up", ""},
        {"retval=0", "no progress ever: give up, not loop", ""},
        {"error=EIO:when=1", "an error: give up", ""},
        {"error=EAGAIN", "would block: give up", ""},
    };
    for (const auto &row : rows) {
        ToolRun run = run_traced("http://alpha:123/index.html",
                                 {"trace=write", std::string("inject=write:") + row.injected});
        EXPECT_EQ(run.out, row.out) << row.what;
        expect_clean_exit(run, row.what);
    }
#endif
}

// Whatever the C library, the relocated data (GOT, init and fini arrays) turns read-only at
// start: after the tool's own execve, some region is made PROT_READ.
TEST(Cli, RelroIsAppliedAtStart) {
#ifndef URISPLIT_STRACE
    GTEST_SKIP() << "needs strace and perl, and a build without sanitizers";
#else
    char trace_file[] = "/tmp/urisplit-trace-XXXXXX";
    int fd = mkstemp(trace_file);
    ASSERT_GE(fd, 0);
    run_traced("http://alpha/x", {"trace=execve,mprotect"}, trace_file);
    std::string trace = read_all(fd);
    unlink(trace_file);
    std::size_t tool_start = trace.rfind("execve(");
    ASSERT_NE(tool_start, std::string::npos) << trace;
    EXPECT_NE(trace.find("PROT_READ) = 0", tool_start), std::string::npos) << trace;
#endif
}

}  // namespace
