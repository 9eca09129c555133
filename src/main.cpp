#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <string.h>
#include <unistd.h>

#include "uri_parse.h"

namespace {

// Waits until standard output can take bytes again; false if it cannot be waited on.
bool wait_until_writable() {
    struct pollfd output = {STDOUT_FILENO, POLLOUT, 0};
    int ready;
    do ready = poll(&output, 1, -1);
    while (ready < 0 && errno == EINTR);
    return ready > 0;
}

// Writes the bytes to standard output, going on after a signal, a short write, or a full output
// that another process made non-blocking (a blocking one would simply have waited). Gives up
// quietly on any other error, or on a write that moves nothing, which would otherwise repeat for
// ever: a closed, full or refusing output must not change the exit status.
void write_all(const char *bytes, size_t length) {
    while (length > 0) {
        ssize_t written = write(STDOUT_FILENO, bytes, length);
        if (written > 0) {
            bytes += written;
            length -= static_cast<size_t>(written);
        } else if (written == 0) {
            return;
        } else if (errno != EINTR && (errno != EAGAIN || !wait_until_writable())) {
            return;
        }
    }
}

char *append(char *record_end, const char *text) {
    size_t length = strlen(text);
    memcpy(record_end, text, length);
    return record_end + length;
}

}  // namespace

// Splits argument 0 and writes "host path port" with no line terminator; exits 0 in every case.
int main(int, char **argv) {
    using urisplit::FIELD_BUFFER_SIZE;
    // argv[argc] is always null, so this also covers an empty vector, which Linux passes as {""}
    // since 5.18 but older kernels pass as it is.
    if (argv[0] == nullptr) return 0;
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
    signal(SIGPIPE, SIG_IGN);
    signal(SIGXFSZ, SIG_IGN);
    write_all(record, static_cast<size_t>(record_end - record));
    return 0;
}
