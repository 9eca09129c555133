#include <errno.h>
#include <limits.h>
#include <poll.h>
#include <signal.h>
#include <string.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include "uri_parse.h"

namespace {

// The send timeout with 64-bit seconds (Linux 5.1), and with a long's; musl names neither. On i386
// and arm, where its SO_SNDTIMEO is the 64-bit one, the other is 21; elsewhere the two agree.
constexpr int SNDTIMEO_NEW = 67;
constexpr int SNDTIMEO_OLD = sizeof(long) == 4 ? 21 : SO_SNDTIMEO;  // NOLINT(bugprone-branch-clone)
// How often a stalled output is tried at least: poll() and write() disagree on some, both ways
// (a full eventfd or netlink peer is ready but refuses; a half-read socket takes but is not ready).
constexpr int RETRY_MS = 50;
constexpr long long FOREVER_MS = LLONG_MAX / 2;  // no timeout; a clock reading plus it fits

long long now_ms() {
    struct timespec now = {0, 0};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000LL + now.tv_nsec / 1000000;
}

// The output's send timeout in ms, rounded up, or FOREVER_MS. 64-bit seconds are asked for first,
// as a 32-bit time_t cuts them; an answer of another size (qemu-user's 4 bytes) asks with a long's.
long long send_timeout_ms() {
    long long timeout[2] = {0, 0};  // seconds, microseconds
    long long_timeout[2] = {0, 0};
    socklen_t size = sizeof timeout;
    if (getsockopt(STDOUT_FILENO, SOL_SOCKET, SNDTIMEO_NEW, timeout, &size) != 0 ||
        size != sizeof timeout) {
        size = sizeof long_timeout;
        if (getsockopt(STDOUT_FILENO, SOL_SOCKET, SNDTIMEO_OLD, long_timeout, &size) != 0 ||
            size != sizeof long_timeout)
            return FOREVER_MS;
        timeout[0] = long_timeout[0];
        timeout[1] = long_timeout[1];
    }
    if (timeout[0] < 0 || timeout[0] >= FOREVER_MS / 1000 || (timeout[0] == 0 && timeout[1] == 0))
        return FOREVER_MS;
    return timeout[0] * 1000 + (static_cast<long>(timeout[1]) + 999) / 1000;
}

// Sockets are tried again with MSG_DONTWAIT: then whatever O_NONBLOCK says, and however the tool
// is stopped or traced, the kernel never sleeps in a write past the tool's own deadline.
ssize_t write_again(const char *bytes, size_t length) {
    ssize_t written = send(STDOUT_FILENO, bytes, length, MSG_DONTWAIT);
    return written >= 0 || errno != ENOTSOCK ? written : write(STDOUT_FILENO, bytes, length);
}

// Writes the bytes as one blocking write(2) would: delivered whenever it would deliver them, and
// ending no later than it would, quietly and without spinning. That write fails at an error, or
// once a socket's send timeout has passed since it began; so a signal or a full output is waited
// out, up to that timeout counted from the first write, and anything else ends the output.
void write_all(const char *bytes, size_t length) {
    const long long began_ms = now_ms();
    long long deadline_ms = -1;    // known once the output first refuses
    long long poll_until_ms = -1;  // when the last wait in poll() was to end
    for (ssize_t written = write(STDOUT_FILENO, bytes, length);
         written != static_cast<ssize_t>(length); written = write_again(bytes, length)) {
        if (written > 0) {
            bytes += written;
            length -= static_cast<size_t>(written);
            continue;
        }
        if (written == 0 || (errno != EAGAIN && errno != EINTR)) return;
        if (deadline_ms < 0) deadline_ms = began_ms + send_timeout_ms();
        const long long now = now_ms();
        if (now >= deadline_ms) return;
        const int wait_ms = deadline_ms - now < RETRY_MS ? int(deadline_ms - now) : RETRY_MS;
        const bool poll_believed = now >= poll_until_ms;  // not if it ended early, to a refusal
        if (poll_believed) poll_until_ms = now + wait_ms;
        struct pollfd output = {STDOUT_FILENO, POLLOUT, 0};
        struct timespec pause = {0, wait_ms * 1000000L};  // or poll() on nothing, if refused
        if (!(poll_believed && poll(&output, 1, wait_ms) >= 0) && nanosleep(&pause, nullptr) != 0 &&
            poll(nullptr, 0, wait_ms) != 0)
            return;
    }
}

}  // namespace

// Splits argument 0 and writes "host path port" with no line terminator; exits 0 in every case.
int main(int /*argc*/, char **argv) {
    using urisplit::FIELD_BUFFER_SIZE;
    if (argv[0] == nullptr) return 0;  // GCOVR_EXCL_BR_LINE: only Linux < 5.18 passes no argv[0]
    const size_t original_length = strlen(argv[0]);
    char host[FIELD_BUFFER_SIZE];
    char path[FIELD_BUFFER_SIZE];
    char port[FIELD_BUFFER_SIZE];
    if (urisplit::parse_uri(argv[0], host, path, port) != 1) return 0;
    // The bytes the deletion left behind are cleared: ps shows the edited text and nothing else.
    memset(argv[0] + strlen(argv[0]), 0, original_length - strlen(argv[0]));
    // Built by hand and sent with one write(2): no stdio, no allocation, the shortest start-up.
    char record[3 * FIELD_BUFFER_SIZE];
    char *record_end = record;
    const char *parts[] = {host, " ", path, " ", port};
    for (const char *part : parts) record_end = stpcpy(record_end, part);
    // A reader that has gone gives EPIPE, and a file at its size limit EFBIG, not a deadly signal.
    (void)signal(SIGPIPE, SIG_IGN);
    (void)signal(SIGXFSZ, SIG_IGN);
    write_all(record, static_cast<size_t>(record_end - record));
    return 0;
}
