#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <time.h>
#include <unistd.h>

#include "uri_parse.h"

namespace {

// How long one wait for the output lasts at most, and the longest pause between writes.
constexpr int WAIT_MS = 500;
static_assert(WAIT_MS < 1000, "a pause is a number of nanoseconds under one second");
constexpr long long NO_DEADLINE = -1;

// Whether the whole pause passed; a pause that fails ends the output, as retrying at once
// could spin.
bool pause_for(int milliseconds) {
    struct timespec pause = {0, milliseconds * 1000000L};
    return nanosleep(&pause, nullptr) == 0;
}

long long now_ms() {
    struct timespec now = {0, 0};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000LL + now.tv_nsec / 1000000;
}

// The output's send timeout (SO_SNDTIMEO) in milliseconds, rounded up, or NO_DEADLINE when it is
// no socket or has none.
long long send_timeout_ms() {
    struct timeval timeout = {0, 0};
    socklen_t size = sizeof timeout;
    if (getsockopt(STDOUT_FILENO, SOL_SOCKET, SO_SNDTIMEO, &timeout, &size) != 0 ||
        (timeout.tv_sec == 0 && timeout.tv_usec == 0))
        return NO_DEADLINE;
    // Under a million, so a long divides it: 32-bit targets have no 64-bit division in musl.
    return timeout.tv_sec * 1000LL + (static_cast<long>(timeout.tv_usec) + 999) / 1000;
}

// After a write that said EAGAIN, how long the next wait may last, or -1 to give up. A blocking
// output says EAGAIN only once its send timeout has passed, where a blocking write fails; a
// non-blocking one is waited on for no longer than its send timeout, counted from the first
// refusal since the last progress. deadline_ms (NO_DEADLINE: none) is set at that first refusal,
// which stalled records.
int wait_limit_ms(bool &stalled, long long &deadline_ms) {
    if (!stalled) {
        stalled = true;
        int flags = fcntl(STDOUT_FILENO, F_GETFL);
        if (flags < 0 || (flags & O_NONBLOCK) == 0) return -1;
        long long timeout_ms = send_timeout_ms();
        deadline_ms = timeout_ms == NO_DEADLINE ? NO_DEADLINE : now_ms() + timeout_ms;
    }
    if (deadline_ms == NO_DEADLINE) return WAIT_MS;
    long long left_ms = deadline_ms - now_ms();
    if (left_ms <= 0) return -1;
    return left_ms < WAIT_MS ? static_cast<int>(left_ms) : WAIT_MS;
}

// Writes the bytes to standard output, going on after a signal or a short write. Gives up
// quietly on any other error, or on a write that moves nothing, which would otherwise repeat for
// ever: a closed, full or refusing output must not change the exit status.
//
// An output that another process made non-blocking says EAGAIN where a blocking write would
// sleep, so the tool sleeps in poll() instead. poll() alone would not do: a full eventfd, or a
// netlink socket whose peer is full, reports ready while the write still says EAGAIN, which
// would spin; and a stream socket whose peer has shut down reading reports nothing, while a
// write would fail at once, which would wait for ever. So each wait ends after WAIT_MS (or
// sooner, at the send timeout) and the write is tried again, and while poll() says ready but
// the write refuses, a pause that doubles up to WAIT_MS goes before each wait. Progress ends
// the pauses and restarts the send timeout, as it does for a blocking write.
void write_all(const char *bytes, size_t length) {
    int pause_ms = 0;
    bool stalled = false;
    long long deadline_ms = NO_DEADLINE;
    while (length > 0) {
        ssize_t written = write(STDOUT_FILENO, bytes, length);
        if (written > 0) {
            bytes += written;
            length -= static_cast<size_t>(written);
            pause_ms = 0;
            stalled = false;
            continue;
        }
        if (written == 0) return;
        if (errno == EINTR) continue;
        if (errno != EAGAIN) return;
        int limit_ms = wait_limit_ms(stalled, deadline_ms);
        if (limit_ms < 0) return;
        int paused_ms = pause_ms < limit_ms ? pause_ms : limit_ms;
        if (paused_ms > 0 && !pause_for(paused_ms)) return;
        struct pollfd output = {STDOUT_FILENO, POLLOUT, 0};
        int ready = poll(&output, 1, limit_ms - paused_ms);
        if (ready < 0 && errno != EINTR) return;
        int doubled = 2 * pause_ms + 1;
        pause_ms = ready > 0 ? (doubled < WAIT_MS ? doubled : WAIT_MS) : 0;
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

    // A reader that has gone gives EPIPE, and a file at its size limit EFBIG, instead of a signal
    // that would kill the process.
    (void)signal(SIGPIPE, SIG_IGN);
    (void)signal(SIGXFSZ, SIG_IGN);
    write_all(record, static_cast<size_t>(record_end - record));
    return 0;
}
