#include <errno.h>
#include <signal.h>
#include <string.h>
#include <unistd.h>

#include "uri_parse.h"

namespace {

// Writes the bytes to standard output, going on after a signal or a short write. Gives up quietly
// on an error, or on a write that moves nothing, which would otherwise repeat for ever: a closed,
// full or abandoned output must not change the exit status.
void write_all(const char *bytes, size_t length) {
    while (length > 0) {
        ssize_t written = write(STDOUT_FILENO, bytes, length);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return;
        bytes += written;
        length -= static_cast<size_t>(written);
    }
}

char *append(char *record_end, const char *text) {
    size_t length = strlen(text);
    memcpy(record_end, text, length);
    return record_end + length;
}

}  // namespace

// Splits argument 0 and writes "host path port" with no line terminator; exits 0 in every case.
int main(int argc, char **argv) {
    using urisplit::FIELD_BUFFER_SIZE;
    if (argc < 1 || argv[0] == nullptr) return 0;
    char host[FIELD_BUFFER_SIZE];
    char path[FIELD_BUFFER_SIZE];
    char port[FIELD_BUFFER_SIZE];
    if (urisplit::parse_uri(argv[0], host, path, port) != 1) return 0;

    // The record is built by hand and sent with one write(2): no stdio buffer, no allocation,
    // and a start-up as short as a static C program's.
    char record[3 * FIELD_BUFFER_SIZE];
    char *record_end = append(record, host);
    *record_end++ = ' ';
    record_end = append(record_end, path);
    *record_end++ = ' ';
    record_end = append(record_end, port);

    signal(SIGPIPE, SIG_IGN);  // a reader that has gone gives EPIPE instead of killing us
    write_all(record, static_cast<size_t>(record_end - record));
    return 0;
}
