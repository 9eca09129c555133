// Starts the built tool with a chosen argument 0 and checks what it writes and how it exits.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <link.h>
#include <linux/netlink.h>
#include <signal.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

enum class Output { Pipe, Closed, Full, BrokenPipe, Datagram };

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

// Each datagram waiting on the socket, in order and in brackets, and closes it.
std::string read_datagrams(int fd) {
    std::string datagrams;
    char datagram[4096];
    ssize_t n;
    while ((n = recv(fd, datagram, sizeof datagram, MSG_DONTWAIT)) >= 0)
        datagrams += "[" + std::string(datagram, static_cast<size_t>(n)) + "]";
    close(fd);
    return datagrams;
}

// The tool's standard output (-1: closed) and the end the test reads (-1: none).
struct OutputEnds {
    int tool = -1, reader = -1;
};

OutputEnds open_output(Output output) {
    int ends[2] = {-1, -1};
    switch (output) {
        case Output::Pipe:
        case Output::BrokenPipe:
            if (pipe(ends) != 0) return {};
            if (output == Output::BrokenPipe) close(ends[0]);
            return {ends[1], output == Output::Pipe ? ends[0] : -1};
        case Output::Closed:
            return {};
        case Output::Full:
            return {open("/dev/full", O_WRONLY | O_CLOEXEC), -1};
        case Output::Datagram:
            if (socketpair(AF_UNIX, SOCK_DGRAM, 0, ends) != 0) return {};
            return {ends[1], ends[0]};
    }
    return {};
}

// Starts program with the given argument vector (argv ends with nullptr), the environment envp
// (none when nullptr),
// standard output on output_fd (closed when -1), standard error into a pipe read into run.err,
// and SIGPIPE and SIGXFSZ at their default actions. Closes output_fd here. While the program
// runs, while_running(pid) may look at it.
template <typename WhileRunning>
ToolRun spawn(const char *program, char *const argv[], int output_fd, WhileRunning while_running,
              char *const envp[] = nullptr) {
    int err_pipe[2];
    if (pipe(err_pipe) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, err_pipe[1], STDERR_FILENO);
    if (output_fd < 0)
        posix_spawn_file_actions_addclose(&actions, STDOUT_FILENO);
    else
        posix_spawn_file_actions_adddup2(&actions, output_fd, STDOUT_FILENO);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t default_signals;
    sigemptyset(&default_signals);
    sigaddset(&default_signals, SIGPIPE);
    sigaddset(&default_signals, SIGXFSZ);
    posix_spawnattr_setsigdefault(&attributes, &default_signals);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);

    char *no_environment[] = {nullptr};
    pid_t pid = -1;
    ToolRun run;
    int spawn_error = posix_spawn(&pid, program, &actions, &attributes, argv,
                                  envp != nullptr ? envp : no_environment);
    if (output_fd >= 0) close(output_fd);
    close(err_pipe[1]);
    if (spawn_error == 0) while_running(pid);
    run.err = read_all(err_pipe[0]);
    if (spawn_error == 0) waitpid(pid, &run.wait_status, 0);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    return run;
}

ToolRun spawn(const char *program, char *const argv[], Output output = Output::Pipe) {
    OutputEnds ends = open_output(output);
    std::string out;
    ToolRun run = spawn(program, argv, ends.tool, [&](pid_t) {
        if (output == Output::Pipe) out = read_all(ends.reader);
    });
    run.out = output == Output::Datagram ? read_datagrams(ends.reader) : out;
    return run;
}

// The argument vector that starts the tool with argv0 (nullptr: an empty vector) and argv1. A
// cross build's tool is started through its emulator, whose option -0 sets argument 0.
std::vector<const char *> tool_argv(const char *argv0, const char *argv1 = nullptr) {
#ifdef URISPLIT_EMULATOR
    return {URISPLIT_EMULATOR, "-0", argv0, URISPLIT_BINARY, argv1, nullptr};
#else
    return {argv0, argv1, nullptr};
#endif
}

const char *tool_program() {
#ifdef URISPLIT_EMULATOR
    return tool_argv(nullptr)[0];
#else
    return URISPLIT_BINARY;
#endif
}

ToolRun run_tool(const char *argv0, Output output = Output::Pipe, const char *argv1 = nullptr) {
    std::vector<const char *> argv = tool_argv(argv0, argv1);
    return spawn(tool_program(), const_cast<char *const *>(argv.data()), output);
}

// Runs the tool on argv0 with standard output on output_fd, as spawn does.
template <typename WhileRunning>
ToolRun run_tool(const char *argv0, int output_fd, WhileRunning while_running) {
    std::vector<const char *> argv = tool_argv(argv0);
    return spawn(tool_program(), const_cast<char *const *>(argv.data()), output_fd, while_running);
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

// A static tool has no dynamic loader, so the loader's variables can neither change what it
// prints nor add to it. An emulator takes the guest's environment from its -E options, as its
// own is read by its own loader.
TEST(Cli, IgnoresTheLoadersEnvironment) {
#ifndef URISPLIT_TOOL_STATIC
    GTEST_SKIP() << "the tool is linked dynamically in this build";
#else
    const char *loader_variables[] = {"LD_TRACE_LOADED_OBJECTS=1",
                                      "LD_SHOW_AUXV=1",
                                      "LD_DEBUG=all",
                                      "LD_PRELOAD=/nonexistent/preload.so",
                                      "LD_AUDIT=/nonexistent/audit.so",
                                      "LD_LIBRARY_PATH=/nonexistent"};
    std::vector<const char *> argv = tool_argv("http://alpha:123/index.html");
    std::vector<char *> envp;
    for (const char *variable : loader_variables) {
#ifdef URISPLIT_EMULATOR
        argv.insert(argv.begin() + 1, {"-E", variable});
#else
        envp.push_back(const_cast<char *>(variable));
#endif
    }
    envp.push_back(nullptr);
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    std::string out;
    ToolRun run = spawn(
        tool_program(), const_cast<char *const *>(argv.data()), ends[1],
        [&](pid_t) { out = read_all(ends[0]); }, envp.data());
    EXPECT_EQ(out, "alpha /index.html 123");
    expect_clean_exit(run, "the loader's variables set");
#endif
}

// One write(2) per record: a reader of a datagram socket gets exactly one datagram.
TEST(Cli, OneWritePerRecord) {
    ToolRun run = run_tool("http://alpha:123/index.html", Output::Datagram);
    EXPECT_EQ(run.out, "[alpha /index.html 123]");
    expect_clean_exit(run, "datagram socket");
}

// Under a file-size limit the output takes what the limit allows; the write past it fails with
// EFBIG and raises SIGXFSZ, which must not kill the tool.
TEST(Cli, FileSizeLimit) {
    const struct {
        rlim_t limit;
        const char *out;
    } rows[] = {{0, ""}, {10, "alpha /ind"}};
    for (const auto &row : rows) {
        char file_name[] = "/tmp/urisplit-out-XXXXXX";
        int fd = mkstemp(file_name);
        ASSERT_GE(fd, 0);
        unlink(file_name);
        struct rlimit saved, limited;
        getrlimit(RLIMIT_FSIZE, &saved);
        limited = {row.limit, saved.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limited);  // inherited by the tool; this process writes no file
        ToolRun run = run_tool("http://alpha:123/index.html", dup(fd), [](pid_t) {});
        setrlimit(RLIMIT_FSIZE, &saved);
        lseek(fd, 0, SEEK_SET);
        EXPECT_EQ(read_all(fd), row.out) << "limit " << row.limit;
        expect_clean_exit(run, "file-size limit " + std::to_string(row.limit));
    }
}

std::string read_file(const std::string &name) {
    std::ifstream file(name, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// The file /proc/PID/name of a running process.
std::string read_proc(pid_t pid, const char *name) {
    return read_file("/proc/" + std::to_string(pid) + "/" + name);
}

// Waits up to five seconds for pid to sleep in one of the system calls; false if it never does.
// An emulator's own system calls are the host's, which this test cannot name: it is given a
// moment instead.
bool wait_in_syscall(pid_t pid, std::initializer_list<long> numbers) {
#ifdef URISPLIT_EMULATOR
    (void)pid, (void)numbers;
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    return true;
#endif
    for (int tries = 0; tries < 500; ++tries) {
        long number = -1;
        std::istringstream(read_proc(pid, "syscall")) >> number;
        for (long wanted : numbers)
            if (number == wanted) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// A pipe of one page, filled to the brim, that stays non-blocking or not as asked; returns the
// filler. The tool writing to it must wait until the reader drains it.
std::string fill_small_pipe(int ends[2], bool non_blocking) {
    if (pipe(ends) != 0) return "";
    fcntl(ends[1], F_SETPIPE_SZ, 4096);
    fcntl(ends[1], F_SETFL, O_NONBLOCK);
    std::string filler;
    while (write(ends[1], "f", 1) == 1) filler += 'f';
    if (!non_blocking) fcntl(ends[1], F_SETFL, 0);
    return filler;
}

// Runs the tool on argv0 with its standard output a full pipe, calls stalled(pid) once the tool
// sleeps in one of the system calls, then drains the pipe; returns the run, with the filler
// taken off what the tool wrote.
template <typename Stalled>
ToolRun run_stalled(const char *argv0, bool non_blocking, std::initializer_list<long> syscalls,
                    Stalled stalled) {
    int ends[2];
    std::string filler = fill_small_pipe(ends, non_blocking);
    std::string out;
    ToolRun run = run_tool(argv0, ends[1], [&](pid_t pid) {
        EXPECT_TRUE(wait_in_syscall(pid, syscalls)) << "the tool never waited on its output";
        stalled(pid);
        out = read_all(ends[0]);
    });
    EXPECT_EQ(out.compare(0, filler.size(), filler), 0);
    run.out = out.substr(std::min(filler.size(), out.size()));
    return run;
}

// CPU time that pid has used so far, in clock ticks.
long cpu_ticks(pid_t pid) {
    std::string stat = read_proc(pid, "stat");
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string skipped;
    for (int field = 3; field < 14; ++field) fields >> skipped;
    long user = 0, system = 0;
    fields >> user >> system;
    return user + system;
}

// Whether pid has ended; it stays to be waited for.
bool has_ended(pid_t pid) {
    siginfo_t info = {};
    return waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == pid;
}

// Whether pid ends within the limit; kills it if not. It stays to be waited for.
bool ends_within(pid_t pid, std::chrono::milliseconds limit) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    do {
        if (has_ended(pid)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    } while (std::chrono::steady_clock::now() < deadline);
    kill(pid, SIGKILL);
    return false;
}

// An output that cannot take the record yet: the tool's non-blocking end, and the test's end.
struct StalledOutput {
    int tool = -1, peer = -1;
};

// Reads what the non-blocking peer holds, leaving out the filler ("f" bytes or datagrams).
std::string drain(int peer) {
    std::string received;
    char chunk[4096];
    ssize_t n;
    while ((n = read(peer, chunk, sizeof chunk)) > 0)
        for (ssize_t i = 0; i < n; ++i)
            if (chunk[i] != 'f') received += chunk[i];
    return received;
}

// A pipe of one page or a Unix stream socket, with the send timeout given (sockets only), full
// of filler or empty, its writing end non-blocking or not, and its reading end non-blocking.
StalledOutput make_output(bool socket, struct timeval send_timeout, bool full, bool non_blocking) {
    int ends[2] = {-1, -1};
    if (socket ? socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0
               : pipe2(ends, O_CLOEXEC) != 0)
        return {};
    StalledOutput output =
        socket ? StalledOutput{ends[0], ends[1]} : StalledOutput{ends[1], ends[0]};
    if (socket)
        setsockopt(output.tool, SOL_SOCKET, SO_SNDTIMEO, &send_timeout, sizeof send_timeout);
    else
        fcntl(output.tool, F_SETPIPE_SZ, 4096);
    fcntl(output.tool, F_SETFL, O_NONBLOCK);
    while (full && write(output.tool, "f", 1) == 1) {
    }
    if (!non_blocking) fcntl(output.tool, F_SETFL, 0);
    fcntl(output.peer, F_SETFL, O_NONBLOCK);
    return output;
}

StalledOutput full_pipe() {
    return make_output(false, {0, 0}, true, true);
}

// An eventfd takes an 8-byte number and adds it to its counter, unless the sum would pass
// 2^64 - 2. Close to that, poll() reports it writable while the write says EAGAIN.
StalledOutput eventfd_near_its_maximum() {
    int fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    eventfd_write(fd, UINT64_MAX - 15);
    return {fd, dup(fd)};
}

// Reads and resets the counter: once the tool has written, the number it added, as bytes.
std::string read_counter(int fd) {
    eventfd_t value = 0;
    eventfd_read(fd, &value);
#if defined(URISPLIT_EMULATOR) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    // The emulator swaps the counter into this big-endian guest's order, but the tool, in an
    // emulator of its own that does not know the descriptor for an eventfd, wrote raw bytes.
    value = __builtin_bswap64(value);
#endif
    return std::string(reinterpret_cast<const char *>(&value), sizeof value);
}

// A netlink socket connected to a peer whose receive queue is full: poll() reports it writable
// while the write says EAGAIN.
StalledOutput netlink_to_a_full_peer() {
    int peer = socket(AF_NETLINK, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, NETLINK_USERSOCK);
    int tool = socket(AF_NETLINK, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, NETLINK_USERSOCK);
    struct sockaddr_nl address = {};
    address.nl_family = AF_NETLINK;
    socklen_t length = sizeof address;
    if (peer < 0 || tool < 0 || bind(peer, reinterpret_cast<sockaddr *>(&address), length) != 0 ||
        getsockname(peer, reinterpret_cast<sockaddr *>(&address), &length) != 0 ||
        connect(tool, reinterpret_cast<sockaddr *>(&address), length) != 0) {
        close(peer), close(tool);
        return {};
    }
    while (send(tool, "f", 1, 0) == 1) {
    }
    return {tool, peer};
}

// A stream socket whose buffers are full: once its peer shuts down reading, poll() reports
// nothing, but a write fails at once with EPIPE.
StalledOutput full_stream_socket() {
    return make_output(true, {0, 0}, true, true);
}

std::string stop_reading(int peer) {
    shutdown(peer, SHUT_RD);
    return "";
}

std::string nothing(int) {
    return "";
}

// Another process may have made the shared output non-blocking. The tool waits on a full one
// as a blocking write would: without using CPU, delivering the record once the output takes
// it, and ending soon after the moment a blocking write would have failed.
TEST(Cli, WaitsOnAStalledNonBlockingOutput) {
    const struct {
        const char *what;
        StalledOutput (*open)();
        std::string (*release)(int peer);  // what the peer received so far
        std::string (*collect)(int peer);  // what the peer received once the tool ended
        std::string out;
    } rows[] = {
        {"full pipe, then drained", full_pipe, drain, drain, "abc / 80"},
        {"eventfd near its maximum, then read", eventfd_near_its_maximum,
         [](int fd) { return read_counter(fd), std::string(); }, read_counter, "abc / 80"},
        {"netlink socket to a full peer, then drained", netlink_to_a_full_peer, drain, drain,
         "abc / 80"},
        {"full stream socket whose peer stops reading", full_stream_socket, stop_reading, nothing,
         ""},
    };
#ifdef SYS_poll
    const std::initializer_list<long> waits = {SYS_poll, SYS_ppoll, SYS_nanosleep,
                                               SYS_clock_nanosleep};
#else
    const std::initializer_list<long> waits = {SYS_ppoll, SYS_nanosleep, SYS_clock_nanosleep};
#endif
    const long ticks_per_second = sysconf(_SC_CLK_TCK);
    for (const auto &row : rows) {
        StalledOutput output = row.open();
        if (output.tool < 0) {
            std::cout << "skipped: " << row.what
                      << ": the sockets cannot be made here (an emulator may refuse them)\n";
            continue;
        }
        std::string received;
        ToolRun run = run_tool("http://abc", output.tool, [&](pid_t pid) {
            EXPECT_TRUE(wait_in_syscall(pid, waits)) << row.what << ": the tool never waited";
            long ticks_before = cpu_ticks(pid);
            std::this_thread::sleep_for(std::chrono::seconds(1));
            EXPECT_LE(cpu_ticks(pid) - ticks_before, ticks_per_second / 10)
                << row.what << ": CPU used in a second of waiting, in ticks";
            received = row.release(output.peer);
            EXPECT_TRUE(ends_within(pid, std::chrono::seconds(2)))
                << row.what << ": still running 2 s after the output was released";
        });
        received += row.collect(output.peer);
        close(output.peer);
        EXPECT_EQ(received, row.out) << row.what;
        expect_clean_exit(run, row.what);
    }
}

// While the tool runs, its argument area holds the edited text, then only NULs up to where the
// original text ended: nothing of the deleted markers' tail shows in ps.
TEST(Cli, PsShowsTheEditedText) {
#ifdef URISPLIT_EMULATOR
    GTEST_SKIP() << "/proc/PID/cmdline shows the emulator's arguments";
#endif
    const struct {
        const char *argv0;
        std::string cmdline;
    } rows[] = {
        {"http://alpha:123/index.html", "alpha:123/index.html" + std::string(8, '\0')},
        {"http://a/http://b/secret-token", "a/b/secret-token" + std::string(15, '\0')},
        {"see http://x", "see x" + std::string(8, '\0')},
    };
    for (const auto &row : rows) {
        std::string cmdline;
        run_stalled(row.argv0, false, {SYS_write},
                    [&](pid_t pid) { cmdline = read_proc(pid, "cmdline"); });
        EXPECT_EQ(cmdline, row.cmdline) << row.argv0;
    }
}

#ifndef URISPLIT_EMULATOR
struct Mapping {
    uintptr_t start, end, offset;
    std::string permissions, path;
};

// The lines of /proc/PID/maps.
std::vector<Mapping> parse_maps(const std::string &maps) {
    std::vector<Mapping> mappings;
    std::istringstream lines(maps);
    for (std::string line; std::getline(lines, line);) {
        unsigned long long start, end, offset;
        char permissions[5] = "";
        int path_at = 0;
        if (std::sscanf(line.c_str(), "%llx-%llx %4s %llx %*s %*s %n", &start, &end, permissions,
                        &offset, &path_at) < 4 ||
            path_at == 0)
            continue;
        mappings.push_back({static_cast<uintptr_t>(start), static_cast<uintptr_t>(end),
                            static_cast<uintptr_t>(offset), permissions, line.substr(path_at)});
    }
    return mappings;
}
#endif

// The relocated data (GOT, init and fini arrays) is read-only by the time main runs, whatever
// makes it so (the dynamic loader, glibc's static start-up, or the tool itself on musl): each
// page of the file's GNU_RELRO segment, placed at the load base, is mapped read-only, and the
// page after it still writable.
TEST(Cli, RelroIsReadOnlyAtStart) {
#ifdef URISPLIT_EMULATOR
    GTEST_SKIP() << "/proc/PID/maps shows the emulator's mappings";
#else
    std::string program = read_file(URISPLIT_BINARY);
    ASSERT_GE(program.size(), sizeof(ElfW(Ehdr)));
    const auto *header = reinterpret_cast<const ElfW(Ehdr) *>(program.data());
    const auto *segments = reinterpret_cast<const ElfW(Phdr) *>(program.data() + header->e_phoff);
    const ElfW(Phdr) *relro = nullptr;
    for (int i = 0; i < header->e_phnum; ++i)
        if (segments[i].p_type == PT_GNU_RELRO) relro = &segments[i];
    ASSERT_NE(relro, nullptr) << "no GNU_RELRO segment";

    char *real_path = realpath(URISPLIT_BINARY, nullptr);
    ASSERT_NE(real_path, nullptr);
    std::string program_path = real_path;
    std::free(real_path);
    const uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
    // The load address changes from run to run, and a fault in the page arithmetic may show at
    // only some of them: 16 runs miss one that shows at half of them once in 65,536.
    for (int run = 0; run < 16; ++run) {
        std::string maps;
        run_stalled("http://alpha/x", false, {SYS_write},
                    [&](pid_t pid) { maps = read_proc(pid, "maps"); });
        std::vector<Mapping> mappings = parse_maps(maps);
        uintptr_t base = 0;
        for (const Mapping &mapping : mappings)
            if (base == 0 && mapping.offset == 0 && mapping.path == program_path)
                base = mapping.start;
        ASSERT_NE(base, 0u) << maps;
        auto permissions_at = [&](uintptr_t address) -> std::string {
            for (const Mapping &mapping : mappings)
                if (address >= mapping.start && address < mapping.end) return mapping.permissions;
            return "unmapped";
        };
        uintptr_t first = (base + relro->p_vaddr) & ~(page - 1);
        uintptr_t end = (base + relro->p_vaddr + relro->p_memsz) & ~(page - 1);
        ASSERT_LT(first, end) << "the segment fills no whole page";
        for (uintptr_t address = first; address < end; address += page)
            ASSERT_EQ(permissions_at(address), "r--p") << std::hex << address << "\n" << maps;
        std::string after = permissions_at(end);
        ASSERT_TRUE(after == "rw-p" || after == "unmapped") << std::hex << end << "\n" << maps;
    }
#endif
}

// On Linux 5.18 and later the kernel passes an empty argument vector as {""}, so this reaches the
// empty text, not the tool's guard against a null argument 0: that guard can only be reached on
// older kernels, and no test here can reach it.
TEST(Cli, EmptyArgumentVector) {
#ifdef URISPLIT_EMULATOR
    GTEST_SKIP() << "the emulator cannot start a program without argument 0";
#endif
    ToolRun run = run_tool(nullptr);
    EXPECT_EQ(run.out, "");
    expect_clean_exit(run, "no argument 0");
}

#ifdef URISPLIT_STRACE
// The argument vector that runs the tool on argv0 under strace, with the given -e expressions
// (strace takes the last for a call), and the trace written to trace_name. Perl sets argument
// 0, as strace cannot.
std::vector<const char *> traced_argv(const char *argv0,
                                      const std::vector<std::string> &expressions,
                                      const char *trace_name) {
    std::vector<const char *> argv = {URISPLIT_STRACE, "-qq", "-o", trace_name};
    for (const std::string &expression : expressions) {
        argv.push_back("-e");
        argv.push_back(expression.c_str());
    }
    for (const char *word : {URISPLIT_PERL, "-e", "exec {$ARGV[0]} @ARGV[1..$#ARGV]",
                             URISPLIT_BINARY, argv0, static_cast<const char *>(nullptr)})
        argv.push_back(word);
    return argv;
}

// What the traced tool writes to: a non-blocking pipe; a netlink socket to a full peer, which
// poll() calls ready while every write says EAGAIN; or a full non-blocking stream socket with a
// send timeout of 400 ms, which its peer drains 550 ms after the start.
enum class TracedOutput { NonBlockingPipe, FullNetlink, FullSocketDrainedLate };

// Runs the tool on argv0 under strace with the given -e expressions (inject=...). Its pauses
// return at once, unless an expression says otherwise, and their lengths in milliseconds, each
// followed by a space, go to pauses; so do the longest its waits in poll() may last to waits.
ToolRun run_traced(const char *argv0, const std::vector<std::string> &expressions,
                   TracedOutput output, std::string &pauses, std::string &waits) {
    char trace_name[] = "/tmp/urisplit-trace-XXXXXX";
    close(mkstemp(trace_name));
    std::vector<std::string> all_expressions = {"inject=nanosleep,clock_nanosleep:retval=0"};
    all_expressions.insert(all_expressions.end(), expressions.begin(), expressions.end());
    std::vector<const char *> argv = traced_argv(argv0, all_expressions, trace_name);
    StalledOutput ends = output == TracedOutput::FullNetlink ? netlink_to_a_full_peer()
                         : output == TracedOutput::NonBlockingPipe
                             ? make_output(false, {0, 0}, false, true)
                             : make_output(true, {0, 400000}, true, true);
    std::string out;
    ToolRun run =
        spawn(URISPLIT_STRACE, const_cast<char *const *>(argv.data()), ends.tool, [&](pid_t pid) {
            if (output == TracedOutput::FullNetlink) return;
            if (output == TracedOutput::FullSocketDrainedLate)
                std::this_thread::sleep_for(std::chrono::milliseconds(550));
            while (!has_ended(pid)) {
                out += drain(ends.peer);
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        });
    if (output != TracedOutput::FullNetlink) out += drain(ends.peer);
    close(ends.peer);
    run.out = out;
    std::istringstream trace(read_file(trace_name));
    unlink(trace_name);
    pauses.clear();
    waits.clear();
    for (std::string line; std::getline(trace, line);) {
        size_t timeout_at = line.find("], 1, ");
        if (line.compare(0, 5, "poll(") == 0 && timeout_at != std::string::npos)
            waits += std::to_string(std::stol(line.substr(timeout_at + 6))) + " ";
        size_t seconds_at = line.find("tv_sec="), nanoseconds_at = line.find("tv_nsec=");
        if (line.find("nanosleep(") == std::string::npos || seconds_at == std::string::npos ||
            nanoseconds_at == std::string::npos)
            continue;
        long milliseconds = std::stol(line.substr(seconds_at + 7)) * 1000 +
                            std::stol(line.substr(nanoseconds_at + 8)) / 1000000;
        pauses += std::to_string(milliseconds) + " ";
    }
    return run;
}
#endif

// The rare paths of the output loop, reached by making write(2), poll(2) or the pause fail or
// come up short: strace skips the real call and returns what it is told. Errors on both sides of
// EINTR and EAGAIN in number end the output; a zero-byte write ends it even with a stale EINTR
// in errno. A wait that poll() ends as ready, only for the write to refuse again, is followed by
// a pause (in ms) that doubles up to half a second; one that times out is not, and progress
// starts the pauses and the send timeout over. A pause that fails ends the output.
TEST(Cli, OutputSurvivesWhatWriteReturns) {
#ifndef URISPLIT_STRACE
    GTEST_SKIP() << "needs strace and perl, and a build without sanitizers";
#else
    const std::string record = "alpha /index.html 123";
    const struct {
        std::vector<std::string> injected;
        const char *what;
        std::string out;
        std::string pauses = "";  // none, unless a row names them
        TracedOutput output = TracedOutput::NonBlockingPipe;
        const char *waits = nullptr;  // in poll(), where a row names them
    } rows[] = {
        {{"write:error=EINTR:when=1"}, "interrupted once", record},
        {{"write:error=EINTR:when=1..3"}, "interrupted three times", record},
        {{"write:retval=1:when=1"}, "1 byte taken, the rest sent next", record.substr(1)},
        {{"write:retval=5:when=1"}, "5 bytes taken, the rest sent next", record.substr(5)},
        {{"write:retval=20:when=1"}, "all but the last byte taken", record.substr(20)},
        {{"write:retval=0:when=1"}, "no progress: give up", ""},
        {{"write:retval=0:when=1..3"}, "no progress, nor on retries: give up at once", ""},
        {{"rt_sigaction:error=EINTR", "write:retval=0:when=1"}, "no progress, stale EINTR", ""},
        {{"write:error=EPERM:when=1"}, "EPERM: give up", ""},
        {{"write:error=ENOENT:when=1"}, "ENOENT: give up", ""},
        {{"write:error=EIO:when=1"}, "EIO: give up", ""},
        {{"write:error=EFBIG:when=1"}, "EFBIG: give up", ""},
        {{"write:error=EPIPE:when=1"}, "EPIPE: give up", ""},
        {{"write:error=EAGAIN:when=1"}, "would block: wait, then write", record},
        {{"write:error=EAGAIN:when=1..3"},
         "would block three times: each wait shorter by the pause before it",
         record,
         "1 3 ",
         TracedOutput::NonBlockingPipe,
         "500 499 497 "},
        {{"write:error=EAGAIN:when=1..11"},
         "would block eleven times",
         record,
         "1 3 7 15 31 63 127 255 500 500 "},
        {{"write:error=EAGAIN:when=1..3", "poll,ppoll:retval=0"},
         "would block, waits time out: no pause",
         record},
        {{"write:error=EAGAIN:when=1..4", "poll,ppoll:retval=0:when=2"},
         "a wait that times out starts the pauses over",
         record,
         "1 1 "},
        {{"write:error=EAGAIN:when=1..2", "poll,ppoll:error=EINTR:when=1"},
         "wait interrupted, then a wait ended as ready: no pause yet",
         record},
        {{"write:error=EAGAIN:when=1", "poll,ppoll:error=ENOMEM"}, "cannot wait: give up", ""},
        {{"write:error=EAGAIN:when=1", "poll,ppoll:error=EPERM"}, "wait refused: give up", ""},
        // Only the tool's two writes: a coverage build writes its counts after them.
        {{"write:error=EAGAIN:when=1..2", "nanosleep,clock_nanosleep:error=EINVAL"},
         "a pause that fails: give up",
         "",
         "1 "},
        // The netlink socket refuses every write but the third, which "takes" 5 bytes; the
        // third pause fails.
        {{"write:retval=5:when=3", "nanosleep,clock_nanosleep:error=EINVAL:when=3"},
         "progress starts the pauses over",
         "",
         "1 1 3 ",
         TracedOutput::FullNetlink},
        // The full socket refuses the first write; the wait then "ends" 300 ms later, the second
        // write "takes" 5 bytes, and the third is refused until the peer drains the socket, 550
        // ms after the start: two stalls, each shorter than the 400 ms send timeout.
        {{"write:retval=5:when=2", "poll,ppoll:retval=1:delay_exit=300000:when=1"},
         "progress starts the send timeout over",
         record.substr(5),
         "",
         TracedOutput::FullSocketDrainedLate},
    };
    for (const auto &row : rows) {
        std::vector<std::string> expressions;
        for (const std::string &injected : row.injected)
            expressions.push_back("inject=" + injected);
        std::string pauses, waits;
        ToolRun run =
            run_traced("http://alpha:123/index.html", expressions, row.output, pauses, waits);
        EXPECT_EQ(run.out, row.out) << row.what;
        EXPECT_EQ(pauses, row.pauses) << row.what;
        if (row.waits != nullptr) {
            EXPECT_EQ(waits, row.waits) << row.what;
        }
        expect_clean_exit(run, row.what);
    }
#endif
}

// What a writer did with the record: the bytes its peer received, filler left out, and when it
// ended, in ms after the row began, or -1 if it still waited at the row's deadline.
struct Outcome {
    std::string received;
    long ended_ms = -1;
};

std::ostream &operator<<(std::ostream &stream, const Outcome &outcome) {
    if (outcome.ended_ms < 0)
        stream << "still waited at the deadline";
    else
        stream << "ended at " << outcome.ended_ms << " ms";
    return stream << ", delivering \"" << outcome.received << "\"";
}

// How much later or sooner than one blocking write the tool may end, besides its own start and
// end: the 5 ms steps at which this test looks, and the machine's load. strace slows the start
// further, and holds a write as told.
constexpr long MARGIN_MS = 100;
constexpr long TRACED_START_MS = 250;
constexpr long DEADLINE_MS = 2500;

#ifdef URISPLIT_PERL
// Starts a process that makes one blocking write(2) of bytes to fd, as its standard output:
// perl's syswrite, a program of its own as the tool is. (A thread or fork of this test would do,
// but hangs under qemu-user's 32-bit x86.) Returns its pid, or -1.
pid_t start_blocking_write(int fd, const std::string &bytes) {
    const char *argv[] = {URISPLIT_PERL, "-e", "syswrite STDOUT, $ARGV[0]", bytes.c_str(), nullptr};
    char *no_environment[] = {nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fd, STDOUT_FILENO);
    pid_t pid = -1;
    int spawn_error = posix_spawn(&pid, URISPLIT_PERL, &actions, nullptr,
                                  const_cast<char *const *>(argv), no_environment);
    posix_spawn_file_actions_destroy(&actions);
    return spawn_error == 0 ? pid : -1;
}
#endif

// How long the tool takes from its start to its end on an output that takes the record at once,
// the most of three runs: the start-up and exit that an emulator or the sanitizers lengthen.
long own_run_ms() {
    long most = 0;
    for (int run = 0; run < 3; ++run) {
        const auto start = std::chrono::steady_clock::now();
        run_tool("http://abc");
        most =
            std::max(most, static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                 std::chrono::steady_clock::now() - start)
                                                 .count()));
    }
    return most;
}

// The tool's output does what one blocking write(2) of the record does on the same output: it is
// delivered or not, and ends at the same moment, give or take the tool's own start and end and
// the margin, or still waits at the deadline. In the same run, a child of this test makes that
// blocking write on a twin of the output: of the same kind and send timeout, as full, blocking, and
// read at the same moment. Where the tool's output is non-blocking, or another process (this test)
// flips its O_NONBLOCK while strace holds a write the kernel has answered, only the tool's output
// differs.
TEST(Cli, EndsAsOneBlockingWriteWould) {
#ifndef URISPLIT_PERL
    GTEST_SKIP() << "needs perl, which makes the blocking write";
#else
    const std::string record = "abc / 80";
    const struct {
        const char *what;
        bool socket;  // a Unix stream socket, or a pipe
        long long timeout_s;
        long timeout_us;  // no send timeout when both are 0
        bool tool_non_blocking;
        long peer_reads_at_ms;  // -1: never
        bool full = true;
        const char *injected = nullptr;  // into the tool's writes, by strace
        long held_ms = 0;                // how long that holds the tool's first write
        long flip_at_ms = -1;            // when this test flips the tool's O_NONBLOCK
    } rows[] = {
        {"non-blocking socket, send timeout 200 ms, read at 100 ms", true, 0, 200000, true, 100},
        {"non-blocking socket, send timeout 200 ms, read at 600 ms", true, 0, 200000, true, 600},
        {"non-blocking socket, send timeout 1 s, read at 500 ms", true, 1, 0, true, 500},
        {"non-blocking socket, send timeout 1 s, read at 2 s", true, 1, 0, true, 2000},
        {"blocking socket, send timeout 200 ms, read at 100 ms", true, 0, 200000, false, 100},
        {"blocking socket, send timeout 200 ms, never read", true, 0, 200000, false, -1},
        {"non-blocking socket, send timeout 10^16 s, read at 500 ms", true, 10000000000000000LL, 0,
         true, 500},
        {"non-blocking socket, send timeout 9223372036854776 s (the first whose ms overflow), read "
         "at 500 ms",
         true, 9223372036854776LL, 0, true, 500},
        {"non-blocking pipe, never read", false, 0, 0, true, -1},
        {"non-blocking pipe made blocking by another process in the stall, read at 800 ms", false,
         0, 0, true, 800, true, "write:delay_exit=400000:when=1", 400, 250},
        {"blocking socket, send timeout 1 s, made non-blocking after its refused write", true, 1, 0,
         false, -1, true, "write:delay_exit=500000:when=1", 500, 1250},
        {"blocking pipe that once says EAGAIN, as between two flips", false, 0, 0, false, 0, false,
         "write:error=EAGAIN:when=1"},
    };
    const long own_ms = own_run_ms();
    std::cout << "the tool alone, from its start to its end: " << own_ms << " ms\n";
    for (const auto &row : rows) {
        struct timeval timeout = {static_cast<time_t>(row.timeout_s),
                                  static_cast<suseconds_t>(row.timeout_us)};
        if (timeout.tv_sec != row.timeout_s) {
            std::cout << "skipped: " << row.what << ": this time_t cannot hold the timeout\n";
            continue;
        }
        const char *program = tool_program();
        std::vector<const char *> argv = tool_argv("http://abc");
        std::vector<std::string> expressions;
        if (row.injected != nullptr) {
#ifdef URISPLIT_STRACE
            expressions.push_back(std::string("inject=") + row.injected);
            program = URISPLIT_STRACE;
            argv = traced_argv("http://abc", expressions, "/dev/null");
#else
            std::cout << "skipped: " << row.what << ": needs strace, and a native build\n";
            continue;
#endif
        }
        StalledOutput reference = make_output(row.socket, timeout, row.full, false);
        StalledOutput output = make_output(row.socket, timeout, row.full, row.tool_non_blocking);
        ASSERT_TRUE(reference.tool >= 0 && output.tool >= 0) << row.what;
        int flipped_output = dup(output.tool);  // shares its flags with the tool's
        Outcome by_reference, by_tool;
        const auto start = std::chrono::steady_clock::now();
        auto since_start = [&] {
            return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                         std::chrono::steady_clock::now() - start)
                                         .count());
        };
        pid_t writer = start_blocking_write(reference.tool, record);
        ASSERT_GT(writer, 0) << row.what;
        long flip_at_ms = row.flip_at_ms;
        auto watch = [&](pid_t pid) {
            bool released = false;
            for (long now = 0;; now = since_start()) {
                if (flip_at_ms >= 0 && now >= flip_at_ms) {
                    fcntl(flipped_output, F_SETFL, fcntl(flipped_output, F_GETFL) ^ O_NONBLOCK);
                    flip_at_ms = -1;
                }
                released = released || (row.peer_reads_at_ms >= 0 && now >= row.peer_reads_at_ms);
                if (released) {
                    by_tool.received += drain(output.peer);
                    by_reference.received += drain(reference.peer);
                }
                if (by_tool.ended_ms < 0 && has_ended(pid)) by_tool.ended_ms = now;
                if (by_reference.ended_ms < 0 && has_ended(writer)) by_reference.ended_ms = now;
                if ((by_tool.ended_ms >= 0 && by_reference.ended_ms >= 0) || now >= DEADLINE_MS)
                    break;
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            // Whichever still waits is released, and must then end.
            for (int step = 0; step < 400 && !(has_ended(pid) && has_ended(writer)); ++step) {
                by_tool.received += drain(output.peer);
                by_reference.received += drain(reference.peer);
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            for (pid_t process : {pid, writer})
                if (!has_ended(process)) kill(process, SIGKILL);
        };
        ToolRun run = spawn(program, const_cast<char *const *>(argv.data()), output.tool, watch);
        waitpid(writer, nullptr, 0);
        by_tool.received += drain(output.peer);
        by_reference.received += drain(reference.peer);
        for (int fd : {reference.tool, reference.peer, output.peer, flipped_output}) close(fd);

        std::cout << row.what << ": one blocking write " << by_reference << "; the tool " << by_tool
                  << "\n";
        EXPECT_EQ(by_tool.received, by_reference.received) << row.what;
        EXPECT_EQ(by_tool.ended_ms < 0, by_reference.ended_ms < 0) << row.what;
        if (by_tool.ended_ms >= 0 && by_reference.ended_ms >= 0) {
            long later_ms = own_ms + (row.injected != nullptr ? TRACED_START_MS + row.held_ms : 0);
            EXPECT_LE(by_tool.ended_ms, by_reference.ended_ms + MARGIN_MS + later_ms) << row.what;
            EXPECT_GE(by_tool.ended_ms, by_reference.ended_ms - MARGIN_MS) << row.what;
        }
        expect_clean_exit(run, row.what);
    }
#endif
}

}  // namespace
