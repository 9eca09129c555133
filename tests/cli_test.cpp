// Starts the built tool with a chosen argument 0 on chosen outputs and checks what it writes and
// how it exits; and, beside one blocking write(2) of its record to a twin output in the same run,
// that it delivers and ends as that write does.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <link.h>
#include <linux/filter.h>
#include <linux/netlink.h>
#include <linux/seccomp.h>
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

long ms_since(Clock::time_point start) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

// Checks condition every 5 ms until it holds or limit_ms have passed; whether it held.
template <typename Condition>
bool wait_until(Condition condition, long limit_ms) {
    for (const Clock::time_point start = Clock::now(); !condition();
         std::this_thread::sleep_for(std::chrono::milliseconds(5)))
        if (ms_since(start) >= limit_ms) return false;
    return true;
}

std::string read_file(const std::string &name) {
    std::ifstream file(name, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

std::string read_proc(pid_t pid, const char *name) {
    return read_file("/proc/" + std::to_string(pid) + "/" + name);
}

// What a child is confined to, from just before it starts the program: a limit on its
// descriptors or on the size of its files, and system calls that a seccomp filter refuses.
struct Confinement {
    int resource = -1;  // RLIMIT_NOFILE or RLIMIT_FSIZE
    rlim_t limit = 0;
    const std::vector<long> *refused = nullptr;
    int error = EPERM;  // what the refused calls fail with
};

struct Child {
    pid_t pid = -1;
    int err = -1;  // the reading end of its standard error
};

struct Ended {
    std::string err;
    int status = -1;
    long cpu_us = 0;
};

// Starts program with the argument vector argv (which ends with nullptr), standard output on out
// (closed when -1), standard error into a pipe, the environment envp (none when nullptr),
// SIGPIPE and SIGXFSZ at their default, and confined as asked. The caller keeps out.
Child start(const char *program, const std::vector<const char *> &argv, int out,
            const Confinement &confinement = {}, char *const *envp = nullptr) {
    std::vector<sock_filter> filter = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(struct seccomp_data, nr))};
    for (long call : confinement.refused != nullptr ? *confinement.refused : std::vector<long>()) {
        filter.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<__u32>(call), 0, 1));
        filter.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | confinement.error));
    }
    filter.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
    struct sock_fprog filter_program = {static_cast<unsigned short>(filter.size()), filter.data()};
    char *no_environment[] = {nullptr};
    int err[2];
    if (pipe2(err, O_CLOEXEC) != 0) return {};
    pid_t pid = fork();
    if (pid == 0) {
        out >= 0 ? dup2(out, STDOUT_FILENO) : close(STDOUT_FILENO);
        dup2(err[1], STDERR_FILENO);
        signal(SIGPIPE, SIG_DFL);
        signal(SIGXFSZ, SIG_DFL);
        struct rlimit limit = {confinement.limit, confinement.limit};
        if (confinement.resource >= 0) setrlimit(confinement.resource, &limit);
        if (confinement.refused != nullptr &&
            (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
             prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &filter_program) != 0))
            _exit(126);
        execve(program, const_cast<char *const *>(argv.data()),
               envp != nullptr ? envp : no_environment);
        _exit(127);
    }
    close(err[1]);
    return {pid, err[0]};
}

// Reads the child's standard error to its end, then waits for it and reaps it.
Ended finish(const Child &child) {
    Ended ended;
    char chunk[4096];
    for (ssize_t n; (n = read(child.err, chunk, sizeof chunk)) > 0;)
        ended.err.append(chunk, static_cast<size_t>(n));
    close(child.err);
    struct rusage usage = {};
    wait4(child.pid, &ended.status, 0, &usage);
    ended.cpu_us = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000000L +
                   usage.ru_utime.tv_usec + usage.ru_stime.tv_usec;
    return ended;
}

// Whether the child has ended; it stays to be reaped.
bool has_ended(pid_t pid) {
    siginfo_t info = {};
    return waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == pid;
}

void expect_clean_exit(const Ended &ended, const std::string &what) {
    EXPECT_TRUE(WIFEXITED(ended.status) && WEXITSTATUS(ended.status) == 0)
        << what << ": wait status " << ended.status;
    EXPECT_EQ(ended.err, "") << what;
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

enum class Kind { Pipe, Stream, Datagram, EventFd, Netlink, File, DevFull, BrokenPipe, Closed };

constexpr eventfd_t FILLER_COUNT = UINT64_MAX - 15;  // an eventfd takes no 8-byte record on top
constexpr size_t DATAGRAM_SIZE = 10240;

// The tool's end of an output and the end the test reads, non-blocking.
struct Output {
    Kind kind;
    int tool = -1, peer = -1;
    size_t filler = 0;  // bytes or datagrams of filler written
};

// An output of the kind: full of filler ('f' bytes or datagrams, or a count near an eventfd's
// maximum) or empty, the tool's end blocking or not, with a socket's send timeout (none if 0).
Output open_output(Kind kind, bool full = false, bool blocking = true, double timeout_s = 0) {
    Output output{kind};
    int ends[2] = {-1, -1};
    if ((kind == Kind::Pipe || kind == Kind::BrokenPipe) && pipe2(ends, O_CLOEXEC) == 0) {
        fcntl(ends[1], F_SETPIPE_SZ, 4096);
        output = {kind, ends[1], ends[0]};
    } else if (kind == Kind::Stream) {
        socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends);
        output = {kind, ends[0], ends[1]};
    } else if (kind == Kind::Datagram || kind == Kind::Netlink) {
        // The tool's socket is connected to the peer, but not the peer to it: then the peer's
        // queue limits what the tool can send. The kernel chooses the peer's address.
        const bool netlink = kind == Kind::Netlink;
        const int family = netlink ? AF_NETLINK : AF_UNIX,
                  protocol = netlink ? NETLINK_USERSOCK : 0;
        const int type = (netlink ? SOCK_RAW : SOCK_DGRAM) | SOCK_CLOEXEC;
        output = {kind, socket(family, type, protocol), socket(family, type, protocol)};
        struct sockaddr_storage address = {};
        address.ss_family = static_cast<sa_family_t>(family);
        auto *name = reinterpret_cast<sockaddr *>(&address);
        socklen_t length = netlink ? sizeof(sockaddr_nl) : sizeof(sa_family_t);
        if (bind(output.peer, name, length) != 0 ||
            getsockname(output.peer, name, &(length = sizeof address)) != 0 ||
            connect(output.tool, name, length) != 0)
            return {kind};
    } else if (kind == Kind::EventFd) {
        const int fd = eventfd(0, EFD_CLOEXEC);
        output = {kind, fd, dup(fd)};  // the peer shares its flags: it reads once poll() says so
        if (full) eventfd_write(fd, FILLER_COUNT);
    } else if (kind == Kind::File || kind == Kind::DevFull) {
        const int fd = kind == Kind::DevFull ? open("/dev/full", O_WRONLY | O_CLOEXEC)
                                             : open("/tmp", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        output = {kind, fd, kind == Kind::File ? dup(fd) : -1};
    }
    if (kind == Kind::BrokenPipe) close(output.peer), output.peer = -1;
    // In 64-bit seconds, which an emulator may refuse; then as this C library's time_t holds them.
    const long long timeout[2] = {static_cast<long long>(timeout_s),
                                  std::llround(std::fmod(timeout_s, 1) * 1e6)};
    const struct timeval as_timeval = {static_cast<time_t>(timeout[0]),
                                       static_cast<suseconds_t>(timeout[1])};
    if (timeout_s > 0 && setsockopt(output.tool, SOL_SOCKET, 67, timeout, sizeof timeout) != 0 &&
        (as_timeval.tv_sec != timeout[0] ||
         setsockopt(output.tool, SOL_SOCKET, SO_SNDTIMEO, &as_timeval, sizeof as_timeval) != 0))
        return {kind};
    if (kind != Kind::File && kind != Kind::EventFd) fcntl(output.peer, F_SETFL, O_NONBLOCK);
    fcntl(output.tool, F_SETFL, O_NONBLOCK);
    const std::string unit(kind == Kind::Datagram ? DATAGRAM_SIZE : 1, 'f');
    while (full && kind != Kind::EventFd && write(output.tool, unit.data(), unit.size()) > 0)
        ++output.filler;
    if (blocking) fcntl(output.tool, F_SETFL, 0);
    return output;
}

// What the peer holds now, filler left out, each datagram in brackets; at most one read's worth
// (of a stream, one byte) when just_one.
std::string take(const Output &output, bool just_one = false) {
    struct pollfd readable = {output.peer, POLLIN, 0};
    std::string taken;
    if (output.kind == Kind::EventFd) {
        eventfd_t count = 0;
        if (poll(&readable, 1, 0) == 1 && eventfd_read(output.peer, &count) == 0 &&
            count != FILLER_COUNT)
            taken.assign(reinterpret_cast<const char *>(&count), sizeof count);
        return taken;
    }
    char chunk[DATAGRAM_SIZE + 1];
    const size_t size = just_one && output.kind == Kind::Stream ? 1 : sizeof chunk;
    for (ssize_t n; (n = output.kind == Kind::File ? pread(output.peer, chunk, size, 0)
                                                   : read(output.peer, chunk, size)) > 0;) {
        std::string part(chunk, static_cast<size_t>(n));
        part.erase(std::remove(part.begin(), part.end(), 'f'), part.end());
        taken += output.kind == Kind::Datagram && !part.empty() ? "[" + part + "]" : part;
        if (just_one || output.kind == Kind::File) break;
    }
    return taken;
}

void close_output(const Output &output) {
    for (int fd : {output.tool, output.peer}) close(fd);  // -1 is no descriptor
}

struct ToolRun {
    std::string out;
    Ended ended;
};

// Runs the tool with the argument vector, confined as asked, on an output of the kind that takes
// the whole record at once, to its end; and takes what the output got.
ToolRun run_tool(const std::vector<const char *> &argv, Kind kind = Kind::Pipe,
                 const Confinement &confinement = {}, char *const *envp = nullptr) {
    Output output = open_output(kind);
    ToolRun run;
    run.ended = finish(start(tool_program(), argv, output.tool, confinement, envp));
    run.out = take(output);
    close_output(output);
    return run;
}

// One record, on every output: the one that takes it, closed, full, broken and, in one write(2),
// a datagram socket, which thus gets one datagram; the exit status is 0 and nothing is said.
TEST(Cli, WritesOneRecordWithoutNewline) {
    std::string markers;
    while (markers.size() < 131000) markers += "http://";
    const struct {
        std::string argv0;
        const char *out;
        Kind kind = Kind::Pipe;
        const char *argv1 = nullptr;
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
        {"http://alpha/x", "alpha /x 80", Kind::Pipe, "http://beta:1/y"},  // argument 1 is ignored
        // As long as Linux allows, before and after the markers are deleted.
        {markers + "alpha:8/x", "alpha /x 8"},
        {"http://alpha/" + std::string(131000, 'x'), ""},
        {std::string(131071, 'h'), ""},
        {"http://alpha:123/index.html", "", Kind::Closed},
        {"http://alpha:123/index.html", "", Kind::DevFull},
        {"http://alpha:123/index.html", "", Kind::BrokenPipe},
        {"http://alpha:123/index.html", "[alpha /index.html 123]", Kind::Datagram},
    };
    for (const auto &row : rows) {
        ToolRun run = run_tool(tool_argv(row.argv0.c_str(), row.argv1), row.kind);
        const std::string what = row.argv0.substr(0, 30) + " (" + std::to_string(row.argv0.size()) +
                                 " bytes), output " + std::to_string(static_cast<int>(row.kind));
        EXPECT_EQ(run.out, row.out) << what;
        expect_clean_exit(run.ended, what);
    }
}

// Under a file-size limit the output takes what the limit allows; the write past it fails with
// EFBIG and raises SIGXFSZ, which must not kill the tool.
TEST(Cli, FileSizeLimit) {
    for (rlim_t limit : {0, 10}) {
        ToolRun run = run_tool(tool_argv("http://alpha:123/index.html"), Kind::File,
                               {.resource = RLIMIT_FSIZE, .limit = limit});
        EXPECT_EQ(run.out, std::string("alpha /index.html 123").substr(0, limit));
        expect_clean_exit(run.ended, "file-size limit " + std::to_string(limit));
    }
}

// A static tool has no dynamic loader, so the loader's variables can neither change what it
// prints nor add to it. An emulator takes the guest's environment from its -E options, as its
// own is read by its own loader.
TEST(Cli, IgnoresTheLoadersEnvironment) {
#ifndef URISPLIT_TOOL_STATIC
    GTEST_SKIP() << "the tool is linked dynamically in this build";
#endif
    std::vector<const char *> argv = tool_argv("http://alpha:123/index.html");
    std::vector<char *> envp;
    for (const char *variable :
         {"LD_TRACE_LOADED_OBJECTS=1", "LD_SHOW_AUXV=1", "LD_DEBUG=all",
          "LD_PRELOAD=/nonexistent/preload.so", "LD_AUDIT=/nonexistent/audit.so",
          "LD_LIBRARY_PATH=/nonexistent"}) {
#ifdef URISPLIT_EMULATOR
        argv.insert(argv.begin() + 1, {"-E", variable});
#else
        envp.push_back(const_cast<char *>(variable));
#endif
    }
    envp.push_back(nullptr);
    ToolRun run = run_tool(argv, Kind::Pipe, {}, envp.data());
    EXPECT_EQ(run.out, "alpha /index.html 123");
    expect_clean_exit(run.ended, "the loader's variables set");
}

// On Linux 5.18 and later the kernel passes an empty argument vector as {""}, so this reaches the
// empty text, not the tool's guard against a null argument 0, which no test here can reach.
TEST(Cli, EmptyArgumentVector) {
#ifdef URISPLIT_EMULATOR
    GTEST_SKIP() << "the emulator cannot start a program without argument 0";
#endif
    ToolRun run = run_tool(tool_argv(nullptr));
    EXPECT_EQ(run.out, "");
    expect_clean_exit(run.ended, "no argument 0");
}

// Runs the tool on argv0 with its standard output a full blocking pipe, calls look(pid) once the
// tool sleeps in write(2), then lets it end.
template <typename Look>
void look_while_stalled(const char *argv0, Look look) {
    Output output = open_output(Kind::Pipe, true);
    Child child = start(tool_program(), tool_argv(argv0), output.tool);
    const std::string in_write = std::to_string(SYS_write) + " ";
    EXPECT_TRUE(
        wait_until([&] { return read_proc(child.pid, "syscall").rfind(in_write, 0) == 0; }, 5000))
        << "the tool never waited in write()";
    look(child.pid);
    take(output);  // makes room for the record
    expect_clean_exit(finish(child), argv0);
    close_output(output);
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
        look_while_stalled(row.argv0, [&](pid_t pid) { cmdline = read_proc(pid, "cmdline"); });
        EXPECT_EQ(cmdline, row.cmdline) << row.argv0;
    }
}

// The relocated data (GOT, init and fini arrays) is read-only by the time main runs, whoever makes
// it so (the loader, glibc's static start-up, or the tool on musl): each page of the file's
// GNU_RELRO segment, placed at the load base, is mapped read-only, and the page after writable.
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
    const std::string program_path = std::filesystem::canonical(URISPLIT_BINARY);
    const uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
    // The load address changes from run to run, and a fault in the page arithmetic may show at
    // only some of them: 16 runs miss one that shows at half of them once in 65,536.
    for (int run = 0; run < 16; ++run) {
        std::string maps;
        look_while_stalled("http://alpha/x", [&](pid_t pid) { maps = read_proc(pid, "maps"); });
        uintptr_t base = 0;
        auto permissions_at = [&](uintptr_t address) {
            std::istringstream lines(maps);
            for (std::string line; std::getline(lines, line);) {
                unsigned long long start = 0, end = 0, offset = 0;
                char permissions[5] = "";
                int path_at = 0;
                if (std::sscanf(line.c_str(), "%llx-%llx %4s %llx %*s %*s %n", &start, &end,
                                permissions, &offset, &path_at) < 4)
                    continue;
                if (base == 0 && offset == 0 && path_at > 0 && line.substr(path_at) == program_path)
                    base = static_cast<uintptr_t>(start);
                if (address >= start && address < end) return std::string(permissions);
            }
            return std::string("unmapped");
        };
        permissions_at(0);  // finds the base
        ASSERT_NE(base, 0u) << maps;
        const uintptr_t first = (base + relro->p_vaddr) & ~(page - 1);
        const uintptr_t end = (base + relro->p_vaddr + relro->p_memsz) & ~(page - 1);
        ASSERT_LT(first, end) << "the segment fills no whole page";
        for (uintptr_t address = first; address < end; address += page)
            ASSERT_EQ(permissions_at(address), "r--p") << std::hex << address << "\n" << maps;
        const std::string after = permissions_at(end);
        ASSERT_TRUE(after == "rw-p" || after == "unmapped") << std::hex << end << "\n" << maps;
    }
#endif
}

#ifdef URISPLIT_STRACE
// The argument vector that runs the tool on argv0 under strace, which makes its system calls fail
// or come up short as each injection says (-e inject=write:error=EINTR). Perl sets argument 0, as
// strace cannot.
template <size_t N>
std::vector<const char *> traced_argv(const char *argv0, const char *const (&injected)[N]) {
    static std::deque<std::string> expressions;  // the vector's words, which must outlive it
    std::vector<const char *> argv = {URISPLIT_STRACE, "-qq", "-o", "/dev/null"};
    for (const char *injection : injected) {
        if (injection == nullptr) break;
        expressions.push_back(std::string("inject=") + injection);
        argv.insert(argv.end(), {"-e", expressions.back().c_str()});
    }
    argv.insert(argv.end(), {URISPLIT_PERL, "-e", "exec {$ARGV[0]} @ARGV[1..$#ARGV]",
                             URISPLIT_BINARY, argv0, nullptr});
    return argv;
}
#endif

// The rare paths of the output loop, reached by making write(2), poll(2) or the pause fail or
// come up short: strace skips the real call and returns what it is told. Errors on both sides of
// EINTR and EAGAIN in number end the output; a zero-byte write ends it even with a stale EINTR in
// errno; a wait that cannot be made in poll() is made in a pause, and the other way round.
TEST(Cli, OutputSurvivesWhatWriteReturns) {
#ifndef URISPLIT_STRACE
    GTEST_SKIP() << "needs strace and perl, and a native build without sanitizers";
#else
    const std::string record = "alpha /index.html 123";
    const struct {
        const char *what, *injected[3];
        std::string out;
    } rows[] = {
        // clang-format off
        {"interrupted once", {"write:error=EINTR:when=1"}, record},
        {"interrupted three times", {"write:error=EINTR:when=1..3"}, record},
        {"1 byte taken, the rest sent next", {"write:retval=1:when=1"}, record.substr(1)},
        {"5 bytes taken, the rest sent next", {"write:retval=5:when=1"}, record.substr(5)},
        {"all but the last byte taken", {"write:retval=20:when=1"}, record.substr(20)},
        {"no progress: give up", {"write:retval=0:when=1"}, ""},
        {"no progress, nor on retries: give up at once", {"write:retval=0:when=1..3"}, ""},
        {"no progress, stale EINTR", {"rt_sigaction:error=EINTR", "write:retval=0:when=1"}, ""},
        {"EPERM: give up", {"write:error=EPERM:when=1"}, ""},
        {"ENOENT: give up", {"write:error=ENOENT:when=1"}, ""},
        {"EIO: give up", {"write:error=EIO:when=1"}, ""},
        {"EFBIG: give up", {"write:error=EFBIG:when=1"}, ""},
        {"EPIPE: give up", {"write:error=EPIPE:when=1"}, ""},
        {"would block: wait, then write", {"write:error=EAGAIN:when=1"}, record},
        {"would block three times", {"write:error=EAGAIN:when=1..3"}, record},
        {"would block eleven times", {"write:error=EAGAIN:when=1..11"}, record},
        {"waits time out", {"write:error=EAGAIN:when=1..3", "poll,ppoll:retval=0"}, record},
        {"one wait times out", {"write:error=EAGAIN:when=1..4", "poll,ppoll:retval=0:when=2"}, record},
        {"wait interrupted", {"write:error=EAGAIN:when=1..2", "poll,ppoll:error=EINTR:when=1"}, record},
        {"no poll(): a pause", {"write:error=EAGAIN:when=1", "poll,ppoll:error=ENOMEM"}, record},
        {"poll() refused: a pause", {"write:error=EAGAIN:when=1", "poll,ppoll:error=EPERM"}, record},
        {"the pause fails: poll() on nothing", {"write:error=EAGAIN:when=1..2", "nanosleep,clock_nanosleep:error=EINVAL"}, record},
        {"no way to wait: give up", {"write:error=EAGAIN:when=1", "nanosleep,clock_nanosleep:error=EINVAL", "poll,ppoll:error=EPERM"}, ""},
        // clang-format on
    };
    for (const auto &row : rows) {
        Output output = open_output(Kind::Pipe, false, false);
        Ended ended =
            finish(start(URISPLIT_STRACE, traced_argv("http://alpha:123/index.html", row.injected),
                         output.tool));
        EXPECT_EQ(take(output), row.out) << row.what;
        expect_clean_exit(ended, row.what);
        close_output(output);
    }
#endif
}

// How the peer frees the output at the row's moment: it reads all (and goes on), one read's worth
// (a datagram, a stream's byte), or half the filler and writes a byte back, or it stops reading.
enum class Release { All, One, HalfWriteBack, StopReading };
// The system calls that poll() and a pause are made with, where this architecture has them.
#ifndef SYS_poll
#define SYS_poll SYS_ppoll
#endif
#ifndef SYS_ppoll_time64
#define SYS_ppoll_time64 SYS_ppoll
#endif
#ifndef SYS_nanosleep
#define SYS_nanosleep SYS_clock_nanosleep
#endif
#ifndef SYS_clock_nanosleep_time64
#define SYS_clock_nanosleep_time64 SYS_clock_nanosleep
#endif
const std::vector<long> POLL_CALLS = {SYS_poll, SYS_ppoll, SYS_ppoll_time64};
const std::vector<long> PAUSE_CALLS = {SYS_nanosleep, SYS_clock_nanosleep,
                                       SYS_clock_nanosleep_time64};
const std::vector<long> WRITE_CALL = {SYS_write};
constexpr long FLIP_ALWAYS = -2;  // a process flips it without end, as fast as it can
constexpr const char *FLIPPER =
    "$f = fcntl(STDOUT, F_GETFL, 0); fcntl(STDOUT, F_SETFL, $f ^ "
    "O_NONBLOCK), fcntl(STDOUT, F_SETFL, $f) while 1";

// One output, and what happens to it while the tool and one blocking write(2) of its record,
// each on a twin of it, wait for it to take the record.
struct Comparison {
    const char *what;
    Kind kind = Kind::Stream;
    double timeout_s = 0;  // the send timeout; none when 0
    bool tool_blocking = false;
    long release_at_ms = -1;  // never when -1
    Release release = Release::All;
    bool full = true;
    long flip_at_ms = -1;     // when this test flips the tool's O_NONBLOCK
    long stop_at_ms = -1;     // when both writers are stopped, for 100 ms
    long stop_every_ms = 0;   // and again so often, until 4 s
    long trace_from_ms = -1;  // when strace -p attaches to both writers, for 400 ms
    bool cut_short = false;   // a stop or trace cuts the blocking write short: the tool may go on
    Confinement confinement = {};  // the tool's alone
    bool only_cpu = false;         // it waits for ever, unlike the blocking write
    const char *injected[2] = {};  // into the tool's system calls, by strace
    long held_ms = 0;              // how long that holds the tool's first write
    bool prompt = false;           // poll() tells when it is ready: the tool ends within PROMPT_MS
};

// What a writer did with the record: the bytes its peer received, filler left out, and when it
// ended, in ms after the row began, or -1 if it still waited at the row's deadline.
struct Outcome {
    std::string received;
    long ended_ms = -1;
};

std::ostream &operator<<(std::ostream &stream, const Outcome &outcome) {
    return stream << (outcome.ended_ms < 0 ? "still waited at the deadline"
                                           : "ended at " + std::to_string(outcome.ended_ms) + " ms")
                  << ", delivering \"" << outcome.received << "\"";
}

// How much later than the blocking write the tool may end, besides its own start and end (longer
// under an emulator or the sanitizers) and strace's; PROMPT_MS where poll() tells when it's ready.
constexpr long MARGIN_MS = 80;
constexpr long PROMPT_MS = 20;
constexpr long TRACED_MS = 250;
constexpr long DEADLINE_MS = 2500;
// The CPU it may use per second of waiting, besides its own start and end twice over (their noise):
// four times its aim of 5 ms, which bench/stalled_output.py measures, and far below a spin's.
constexpr long CPU_US_PER_S_WAITED = 20000;

// The tool's start and end on an output that takes the record at once, the most of three runs.
struct OwnRun {
    long ms = 0, cpu_us = 0;
    std::string record;
};

OwnRun own_run() {
    OwnRun own;
    for (int run = 0; run < 3; ++run) {
        const Clock::time_point start_time = Clock::now();
        ToolRun tool = run_tool(tool_argv("http://abc"));
        own.ms = std::max(own.ms, ms_since(start_time));
        own.cpu_us = std::max(own.cpu_us, tool.ended.cpu_us);
        own.record = tool.out;
    }
    return own;
}

// Frees the output as asked; returns what the peer received.
std::string release(const Output &output, Release how) {
    std::string taken;
    if (how == Release::StopReading) shutdown(output.peer, SHUT_RD);
    if (how == Release::All || how == Release::One) taken = take(output, how == Release::One);
    for (size_t i = 0; how == Release::HalfWriteBack && i < output.filler / 2; ++i)
        taken += take(output, true);
    if (how == Release::HalfWriteBack && write(output.peer, "w", 1) != 1)
        taken += "(no write back)";
    return taken;
}

// Runs the row: the tool, and one blocking write of its record by a process of its own (perl's
// syswrite, never confined), each on a twin output; compares deliveries, ends and the tool's CPU.
void compare_with_blocking_write(const Comparison &row, const OwnRun &own) {
    bool emulated = false, traced = row.injected[0] != nullptr || row.trace_from_ms >= 0;
#ifdef URISPLIT_EMULATOR
    emulated = true;
#endif
    const char *needs = nullptr;
#ifndef URISPLIT_TOOL_STATIC
    if (row.confinement.resource >= 0) needs = "a static tool, which opens no library";
#endif
#ifndef URISPLIT_STRACE
    if (traced) needs = "strace, and a native build without sanitizers";
#endif
    if (emulated && (row.confinement.resource >= 0 || row.confinement.refused != nullptr))
        needs = "a native build";
    Output ours = open_output(row.kind, row.full, row.tool_blocking, row.timeout_s);
    Output theirs = open_output(row.kind, row.full, true, row.timeout_s);
    if (ours.tool < 0 || theirs.tool < 0) needs = "an output this system (or emulator) can make";
    if (needs != nullptr) {
        std::cout << "skipped: " << row.what << ": needs " << needs << "\n";
        close_output(ours), close_output(theirs);
        return;
    }
    const char *program = tool_program();
    std::vector<const char *> argv = tool_argv("http://abc");
#ifdef URISPLIT_STRACE
    if (row.injected[0] != nullptr)
        program = URISPLIT_STRACE, argv = traced_argv("http://abc", row.injected);
#endif
    const Clock::time_point start_time = Clock::now();
    Child writer =
        start(URISPLIT_PERL,
              {URISPLIT_PERL, "-e", "syswrite STDOUT, $ARGV[0]", own.record.c_str(), nullptr},
              theirs.tool);
    Child tool = start(program, argv, ours.tool, row.confinement);
    Child tracer;  // pid -1 until it is started, 0 once it is done
    const Child flipper =
        row.flip_at_ms == FLIP_ALWAYS
            ? start(URISPLIT_PERL, {URISPLIT_PERL, "-MFcntl", "-e", FLIPPER, nullptr}, ours.tool)
            : Child();
    const std::string pids[] = {std::to_string(tool.pid), std::to_string(writer.pid)};
    Outcome by_tool, by_writer;
    bool released = false, flipped = false, stopped = false;
    auto signal_both = [&](int number) { kill(tool.pid, number), kill(writer.pid, number); };
    auto step = [&] {
        const long now = ms_since(start_time);
        if (!flipped && row.flip_at_ms >= 0 && now >= row.flip_at_ms)
            flipped = fcntl(ours.tool, F_SETFL, fcntl(ours.tool, F_GETFL) ^ O_NONBLOCK) == 0;
        const long stopped_for_ms =
            (now - row.stop_at_ms) % (row.stop_every_ms > 0 ? row.stop_every_ms : LONG_MAX);
        const bool stop =
            row.stop_at_ms >= 0 && now >= row.stop_at_ms && now < 4000 && stopped_for_ms < 100;
        if (stop != stopped) signal_both(stop ? SIGSTOP : SIGCONT), stopped = stop;
#ifdef URISPLIT_STRACE
        if (tracer.pid < 0 && row.trace_from_ms >= 0 && now >= row.trace_from_ms)
            tracer = start(URISPLIT_STRACE,
                           {URISPLIT_STRACE, "-qq", "-o", "/dev/null", "-p", pids[0].c_str(), "-p",
                            pids[1].c_str(), nullptr},
                           -1);
#endif
        if (tracer.pid > 0 && now >= row.trace_from_ms + 400)
            kill(tracer.pid, SIGTERM), finish(tracer), tracer.pid = 0;
        if (!released && row.release_at_ms >= 0 && now >= row.release_at_ms) {
            by_tool.received += release(ours, row.release);
            by_writer.received += release(theirs, row.release);
            released = true;
        } else if (released && row.release == Release::All) {
            by_tool.received += take(ours);
            by_writer.received += take(theirs);
        }
        if (by_tool.ended_ms < 0 && has_ended(tool.pid)) by_tool.ended_ms = now;
        if (by_writer.ended_ms < 0 && has_ended(writer.pid)) by_writer.ended_ms = now;
        return by_tool.ended_ms >= 0 && by_writer.ended_ms >= 0;
    };
    wait_until(step, row.only_cpu ? 1000 : DEADLINE_MS);
    // Whichever still waits is released, and must then end.
    if (stopped) signal_both(SIGCONT);
    if (tracer.pid > 0) kill(tracer.pid, SIGTERM), finish(tracer);
    wait_until(
        [&] {
            by_tool.received += take(ours);
            by_writer.received += take(theirs);
            return has_ended(tool.pid) && has_ended(writer.pid);
        },
        row.only_cpu ? 0 : 2000);
    for (const Child &child : {tool, writer, flipper})
        if (child.pid > 0 && !has_ended(child.pid)) kill(child.pid, SIGKILL);
    if (flipper.pid > 0) finish(flipper);
    const Ended tool_ended = finish(tool);
    finish(writer);
    by_tool.received += take(ours);
    by_writer.received += take(theirs);
    close_output(ours), close_output(theirs);

    std::cout << row.what << ": one blocking write " << by_writer << "; the tool " << by_tool
              << ", using " << tool_ended.cpu_us << " us of CPU\n";
    const long waited_ms = by_tool.ended_ms >= 0 ? by_tool.ended_ms : ms_since(start_time);
    if (!emulated && !traced && waited_ms >= 1000) {  // shorter, the start's noise would prevail
        EXPECT_LE(tool_ended.cpu_us, 2 * own.cpu_us + CPU_US_PER_S_WAITED * waited_ms / 1000)
            << row.what << ": CPU used, in us, over " << waited_ms << " ms";
    }
    if (row.only_cpu) return;
    EXPECT_EQ(by_tool.received, by_writer.received) << row.what;
    EXPECT_EQ(by_tool.ended_ms < 0, by_writer.ended_ms < 0) << row.what;
    if (by_tool.ended_ms >= 0 && by_writer.ended_ms >= 0) {
        const long may_wait_ms = row.cut_short ? static_cast<long>(row.timeout_s * 1000) : 0;
        const long later_ms = own.ms + (traced ? TRACED_MS + row.held_ms : 0);
        EXPECT_LE(by_tool.ended_ms, std::max(by_writer.ended_ms, may_wait_ms) +
                                        (row.prompt ? PROMPT_MS : MARGIN_MS) + later_ms)
            << row.what;
        EXPECT_GE(by_tool.ended_ms, by_writer.ended_ms - MARGIN_MS) << row.what;
    }
    expect_clean_exit(tool_ended, row.what);
}

// A socket's send timeout, whether the output is blocking or not, ends the tool's output when it
// ends one blocking write's, however long it is and however the kernel gives it.
TEST(Cli, EndsAsOneBlockingWriteWould) {
    // clang-format off
    static const Comparison rows[] = {
        {.what = "non-blocking socket, send timeout 200 ms, read at 120 ms", .timeout_s = 0.2, .release_at_ms = 120, .prompt = true},
        {.what = "non-blocking socket, send timeout 220 ms, read at 600 ms", .timeout_s = 0.22, .release_at_ms = 600, .prompt = true},
        {.what = "non-blocking socket, send timeout 1 s, read at 520 ms", .timeout_s = 1, .release_at_ms = 520, .prompt = true},
        {.what = "non-blocking socket, send timeout 1 s, read at 2 s", .timeout_s = 1, .release_at_ms = 2000},
        {.what = "blocking socket, send timeout 200 ms, read at 100 ms", .timeout_s = 0.2, .tool_blocking = true, .release_at_ms = 100},
        {.what = "blocking socket, send timeout 200 ms, never read", .timeout_s = 0.2, .tool_blocking = true},
        {.what = "non-blocking socket, send timeout 10^16 s, read at 500 ms", .timeout_s = 1e16, .release_at_ms = 500},
        {.what = "non-blocking socket, send timeout 9223372036854776 s, read at 500 ms", .timeout_s = 9223372036854776.0, .release_at_ms = 500},
        {.what = "non-blocking socket, send timeout 2^32 + 1 s, read at 1.5 s", .timeout_s = 4294967297.0, .release_at_ms = 1500},
        {.what = "non-blocking socket, send timeout 1.2 s read as a kernel before 5.1 gives it, never read", .timeout_s = 1.2, .injected = {"getsockopt:error=ENOPROTOOPT:when=1"}},
        {.what = "non-blocking pipe, never read", .kind = Kind::Pipe},
    };
    for (const auto own = own_run(); const auto &row : rows) compare_with_blocking_write(row, own);
}

// So it does whatever another process does to the output's O_NONBLOCK; a stop or a tracer cuts
// that write short, but never makes the tool wait past the timeout.
TEST(Cli, EndsAsOneBlockingWriteWouldHoweverFlippedStoppedOrTraced) {
    static const Comparison rows[] = {
        {.what = "non-blocking pipe made blocking by another process in the stall, read at 800 ms", .kind = Kind::Pipe, .release_at_ms = 800, .flip_at_ms = 250, .injected = {"write:delay_exit=400000:when=1"}, .held_ms = 400},
        {.what = "blocking socket, send timeout 1 s, made non-blocking after its refused write", .timeout_s = 1, .tool_blocking = true, .flip_at_ms = 1250, .injected = {"write:delay_exit=500000:when=1"}, .held_ms = 500},
        {.what = "blocking pipe that once says EAGAIN, as between two flips", .kind = Kind::Pipe, .tool_blocking = true, .release_at_ms = 0, .full = false, .injected = {"write:error=EAGAIN:when=1"}},
        {.what = "non-blocking socket, send timeout 1 s, O_NONBLOCK flipped without end", .timeout_s = 1, .flip_at_ms = FLIP_ALWAYS},
        {.what = "the same again, as a fault may show in half of the runs", .timeout_s = 1, .flip_at_ms = FLIP_ALWAYS},
        {.what = "the same a third time", .timeout_s = 1, .flip_at_ms = FLIP_ALWAYS},
        {.what = "blocking socket, send timeout 1 s, stopped at 500 ms for 100 ms", .timeout_s = 1, .tool_blocking = true, .stop_at_ms = 500, .cut_short = true},
        {.what = "blocking socket, send timeout 1 s, stopped every 300 ms for 100 ms", .timeout_s = 1, .tool_blocking = true, .stop_at_ms = 300, .stop_every_ms = 300, .cut_short = true},
        {.what = "blocking socket, send timeout 1 s, traced from 300 to 700 ms", .timeout_s = 1, .tool_blocking = true, .trace_from_ms = 300, .cut_short = true},
        {.what = "non-blocking socket, send timeout 400 ms, ready at 300 ms taking 5 bytes, then drained at 550 ms", .timeout_s = 0.4, .release_at_ms = 550, .injected = {"poll,ppoll:retval=1:delay_exit=300000:when=1", "sendto:retval=5:when=1"}, .held_ms = 300},
    };
    // clang-format on
    for (const auto own = own_run(); const auto &row : rows) compare_with_blocking_write(row, own);
}

// A stalled output that poll() and write() disagree on, both ways, or that the tool must wait on
// without descriptors to spare or with poll() or its pause refused, is waited on as a blocking
// write sleeps: delivering when it would, ending when it would, using next to no CPU.
TEST(Cli, WaitsAsOneBlockingWriteWould) {
    // clang-format off
    static const Comparison rows[] = {
        {.what = "full pipe, drained at 1 s", .kind = Kind::Pipe, .release_at_ms = 1000},
        {.what = "eventfd near its maximum, read at 1.2 s", .kind = Kind::EventFd, .release_at_ms = 1200},
        {.what = "netlink socket to a full peer, drained at 1.2 s", .kind = Kind::Netlink, .release_at_ms = 1200},
        {.what = "full stream socket whose reader takes half and writes back at 1.2 s", .release_at_ms = 1200, .release = Release::HalfWriteBack},
        {.what = "full stream socket whose peer stops reading at 1 s", .release_at_ms = 1000, .release = Release::StopReading},
        {.what = "datagram socket to a full peer, one datagram read at 1.2 s", .kind = Kind::Datagram, .release_at_ms = 1200, .release = Release::One},
        {.what = "datagram socket to a full peer, send timeout 500 ms, one datagram read at 300 ms", .kind = Kind::Datagram, .timeout_s = 0.5, .release_at_ms = 300, .release = Release::One},
        {.what = "full pipe, no descriptor to spare (RLIMIT_NOFILE 0), drained at 300 ms", .kind = Kind::Pipe, .release_at_ms = 300, .confinement = {.resource = RLIMIT_NOFILE}},
        {.what = "full socket, no descriptor to spare, drained at 300 ms", .release_at_ms = 300, .confinement = {.resource = RLIMIT_NOFILE}},
        {.what = "full pipe, poll() refused, drained at 300 ms", .kind = Kind::Pipe, .release_at_ms = 300, .confinement = {.refused = &POLL_CALLS}},
        {.what = "eventfd near its maximum, the pause refused, read at 300 ms", .kind = Kind::EventFd, .release_at_ms = 300, .confinement = {.refused = &PAUSE_CALLS}},
        {.what = "pipe whose every write is interrupted: only the CPU used is asked", .kind = Kind::Pipe, .release_at_ms = 0, .full = false, .confinement = {.refused = &WRITE_CALL, .error = EINTR}, .only_cpu = true},
    };
    // clang-format on
    for (const auto own = own_run(); const auto &row : rows) compare_with_blocking_write(row, own);
}

}  // namespace
