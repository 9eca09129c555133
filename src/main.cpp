#include <errno.h>
#include <limits.h>
#include <poll.h>
#include <signal.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <time.h>
#include <unistd.h>

#include "uri_parse.h"

namespace {

// How long one wait for the output lasts at most, and the longest pause between writes (under a
// second, as a pause is a number of nanoseconds).
constexpr int WAIT_MS = 500;
constexpr long long NO_TIMEOUT_MS = LLONG_MAX;  // none, or too long to count (290 million years)

long long now_ms() {
    struct timespec now = {0, 0};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000LL + now.tv_nsec / 1000000;
}

// A send timeout in milliseconds, rounded up; none when zero, negative or too long to count.
// The microseconds, under a million, are divided as a long: musl has no 64-bit division.
long long timeout_ms(long long seconds, long microseconds) {
    if (seconds < 0 || seconds >= NO_TIMEOUT_MS / 1000 || (seconds == 0 && microseconds == 0))
        return NO_TIMEOUT_MS;
    return seconds * 1000 + (microseconds + 999) / 1000;
}

// The output's send timeout, or NO_TIMEOUT_MS for none or no socket. qemu-user answers 32-bit x86
// and Arm's 64-bit SO_SNDTIMEO with 4 bytes, their 32-bit option 21 in full; other sizes: none.
long long send_timeout_ms() {
    struct timeval timeout = {0, 0};
    socklen_t size = sizeof timeout;
    if (getsockopt(STDOUT_FILENO, SOL_SOCKET, SO_SNDTIMEO, &timeout, &size) == 0 &&
        size == sizeof timeout)
        return timeout_ms(timeout.tv_sec, static_cast<long>(timeout.tv_usec));
#if defined(__i386__) || defined(__arm__)
    long timeout_32[2] = {0, 0};
    size = sizeof timeout_32;
    if (sizeof timeout.tv_sec > sizeof(long) &&
        getsockopt(STDOUT_FILENO, SOL_SOCKET, 21, timeout_32, &size) == 0 &&
        size == sizeof timeout_32)
        return timeout_ms(timeout_32[0], timeout_32[1]);
#endif
    return NO_TIMEOUT_MS;
}

struct Stall {
    long long began_ms = -1;         // -1: the output is not stalled
    long long send_timeout_ms = -1;  // -1: not read yet
    int pause_ms = 0;                // before the next wait
};

// After a write that began at before_ms said EAGAIN: false once the send timeout has passed since
// the stall began; otherwise waits in poll() for at most WAIT_MS (a full eventfd or netlink socket
// reports ready while refusing writes, a stream socket whose peer stopped reading reports nothing
// while writes fail), after a pause doubling up to WAIT_MS while poll() and write() disagree.
bool wait_after_refusal(Stall &stall, long long before_ms) {
    if (stall.began_ms < 0) stall.began_ms = before_ms;
    if (stall.send_timeout_ms < 0) stall.send_timeout_ms = send_timeout_ms();
    long long left_ms = stall.send_timeout_ms - (now_ms() - stall.began_ms);
    if (left_ms <= 0) return false;
    int limit_ms = left_ms < WAIT_MS ? static_cast<int>(left_ms) : WAIT_MS;
    int paused_ms = stall.pause_ms < limit_ms ? stall.pause_ms : limit_ms;
    struct timespec pause = {0, paused_ms * 1000000L};
    // With no signal handler, only a seccomp filter can fail the pause; going on would spin.
    if (paused_ms > 0 && nanosleep(&pause, nullptr) != 0) return false;
    struct pollfd output = {STDOUT_FILENO, POLLOUT, 0};
    int ready = poll(&output, 1, limit_ms - paused_ms);
    if (ready < 0 && errno != EINTR) return false;
    int doubled = 2 * stall.pause_ms + 1;
    stall.pause_ms = ready > 0 ? (doubled < WAIT_MS ? doubled : WAIT_MS) : 0;
    return true;
}

// Writes the bytes to standard output as one blocking write would: the record is delivered
// whenever that write would deliver it, and the output ends no later, quietly and without
// spinning. A signal or short write goes on; any other error, or no progress, ends it. EAGAIN
// means a blocking socket's send timeout passed, or a full non-blocking output, where a blocking
// write would sleep: one case, whatever O_NONBLOCK says. A stall begins at the clock reading
// before the first refused write since progress; no write starts once the timeout has passed.
void write_all(const char *bytes, size_t length) {
    Stall stall;
    while (length > 0) {
        long long before_ms = now_ms();
        if (stall.began_ms >= 0 && before_ms - stall.began_ms >= stall.send_timeout_ms) return;
        ssize_t written = write(STDOUT_FILENO, bytes, length);
        if (written > 0) {
            bytes += written;
            length -= static_cast<size_t>(written);
            stall = {-1, stall.send_timeout_ms, 0};  // progress ends the stall
        } else if (written == 0 || (errno != EINTR && errno != EAGAIN) ||
                   (errno == EAGAIN && !wait_after_refusal(stall, before_ms))) {
            return;
        }
    }
}

char *append(char *record_end, const char *text) {
    size_t length = strlen(text);
    // NOLINTNEXTLINE(bugprone-not-null-terminated-result): the record is counted, not terminated
    memcpy(record_end, text, length);
    return record_end + length;
}

}  // namespace

// Splits argument 0 and writes "host path port" with no line terminator; exits 0 in every case.
int main(int /*argc*/, char **argv) {
    using urisplit::FIELD_BUFFER_SIZE;
    // argv[argc] is always null, so this also covers an empty vector, which Linux passes as {""}
    // since 5.18 but older kernels pass as it is.
    if (argv[0] == nullptr) return 0;  // GCOVR_EXCL_BR_LINE: no test can run an older kernel
    size_t original_length = strlen(argv[0]);
    char host[FIELD_BUFFER_SIZE];
    char path[FIELD_BUFFER_SIZE];
    char port[FIELD_BUFFER_SIZE];
    if (urisplit::parse_uri(argv[0], host, path, port) != 1) return 0;
    // Deleting the markers shortened argument 0 in place; clear the bytes it left behind, so that
    // ps and /proc/PID/cmdline show the edited text and nothing of the old one.
    size_t edited_length = strlen(argv[0]);
    memset(argv[0] + edited_length, 0, original_length - edited_length);

    // The record is built by hand and sent with one write(2): no stdio buffer, no allocation,
    // and a start-up as short as a static C program's.
    char record[3 * FIELD_BUFFER_SIZE];
    char *record_end = append(record, host);
    *record_end++ = ' ';
    record_end = append(record_end, path);
    *record_end++ = ' ';
    record_end = append(record_end, port);

    // A reader that has gone gives EPIPE, and a file at its size limit EFBIG, not a deadly signal.
    (void)signal(SIGPIPE, SIG_IGN);
    (void)signal(SIGXFSZ, SIG_IGN);
    write_all(record, static_cast<size_t>(record_end - record));
    return 0;
}
