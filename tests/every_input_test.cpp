// Checks strremove and parse_uri against the reference on every text up to a length,
// not on a sample, and on every short tail behind a filler that brings the text to the limit.
//
// What this proves, and what it assumes: the library reads a byte only to compare it for
// equality with a byte of "http://", with ':', with '/' or with NUL. Every other byte value
// therefore takes the same path, and a text over the alphabet h t p : / and one other byte stands
// for every text with the same pattern of those five. Two others are used, 'a' and 0xE9, one on
// each side of 0x80, so that a fault that treats a byte as signed shows. For every text of length
// 0 to MAX_LENGTH over these seven bytes, the result, the three fields (or that host and port
// were not written) and the edited text equal the reference's, and nothing past the edited text's
// terminating NUL was written. The second part does the same behind "http://", a filler of 1010
// to 1026 'a's and any leading part of a marker, for every tail of up to MAX_TAIL bytes: every
// remainder of 1021 to 1026 bytes is met, split or refused, also where a deletion completes a
// marker across the 1023-byte limit.
// Usage: every_input_test MAX_LENGTH MAX_TAIL [THREADS], THREADS by default one per core.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "reference.h"
#include "uri_parse.h"

namespace {

using urisplit::FIELD_BUFFER_SIZE;

constexpr char ALPHABET[] = {'h', 't', 'p', ':', '/', 'a', '\xe9'};
constexpr int LETTERS = sizeof ALPHABET;
constexpr size_t MAX_TEXT = 2048;
constexpr char SCHEME_MARKER[] = "http://";

std::atomic<long> mismatches{0};

struct Fields {
    char host[FIELD_BUFFER_SIZE], path[FIELD_BUFFER_SIZE], port[FIELD_BUFFER_SIZE];
    Fields() {
        strcpy(host, "untouched");
        strcpy(path, "untouched");
        strcpy(port, "untouched");
    }
};

void report(const char *what, const char *text, size_t length) {
    if (mismatches++ >= 10) return;
    std::string escaped;
    char hex[5];
    for (size_t i = 0; i < length; ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c < 0x7f) {
            escaped += static_cast<char>(c);
        } else {
            snprintf(hex, sizeof hex, "\\x%02x", c);
            escaped += hex;
        }
    }
    fprintf(stderr, "%s differs on \"%s\" (%zu bytes)\n", what, escaped.c_str(), length);
}

// Whether the edited text equals the reference's, and every byte after its NUL, up to and one
// past the original NUL, is still the original's.
bool same_edit(const char *edited, const char *expected, const char *original, size_t length) {
    if (strcmp(edited, expected) != 0) return false;
    for (size_t i = strlen(edited) + 1; i <= length + 1; ++i)
        if (edited[i] != original[i]) return false;
    return true;
}

// text[length] is NUL and text[length + 1] a guard byte.
void check(const char *text, size_t length) {
    char ours[MAX_TEXT], theirs[MAX_TEXT];
    memcpy(ours, text, length + 2);
    memcpy(theirs, text, length + 2);
    if (urisplit::strremove(ours, SCHEME_MARKER) != ours ||
        !same_edit(ours, reference::strremove(theirs, SCHEME_MARKER), text, length))
        report("strremove", text, length);

    memcpy(ours, text, length + 2);
    memcpy(theirs, text, length + 2);
    Fields our_fields, their_fields;
    int our_result = urisplit::parse_uri(ours, our_fields.host, our_fields.path, our_fields.port);
    int their_result = reference::parse_uri_refusing_long(theirs, their_fields.host,
                                                          their_fields.path, their_fields.port);
    if (our_result != their_result || strcmp(our_fields.host, their_fields.host) != 0 ||
        strcmp(our_fields.path, their_fields.path) != 0 ||
        strcmp(our_fields.port, their_fields.port) != 0 || !same_edit(ours, theirs, text, length))
        report("parse_uri", text, length);
}

// Checks prefix followed by every tail of 0 to max_tail letters whose first letter's index,
// taken modulo workers, is worker; the empty tail goes to worker 0. Returns the texts checked.
long check_tails(const std::string &prefix, int max_tail, int worker, int workers) {
    char text[MAX_TEXT];
    size_t start = prefix.size();
    memcpy(text, prefix.data(), start);
    long checked = 0;
    if (worker == 0) {
        text[start] = '\0';
        text[start + 1] = 'G';
        check(text, start);
        ++checked;
    }
    for (int tail = 1; tail <= max_tail; ++tail) {
        size_t length = start + static_cast<size_t>(tail);
        int digits[64] = {};
        text[length] = '\0';
        text[length + 1] = 'G';
        for (int first = worker; first < LETTERS; first += workers) {
            digits[0] = first;
            for (int i = 1; i < tail; ++i) digits[i] = 0;
            for (;;) {
                for (int i = 0; i < tail; ++i)
                    text[start + static_cast<size_t>(i)] = ALPHABET[digits[i]];
                check(text, length);
                ++checked;
                int i = tail - 1;
                while (i > 0 && ++digits[i] == LETTERS) digits[i--] = 0;
                if (i == 0) break;
            }
        }
    }
    return checked;
}

// Runs check_tails on every prefix, split over that many threads (1: this one alone).
long check_all(const std::vector<std::string> &prefixes, int max_tail, int workers) {
    if (workers == 1) {
        long total = 0;
        for (const std::string &prefix : prefixes) total += check_tails(prefix, max_tail, 0, 1);
        return total;
    }
    std::vector<long> counts(static_cast<size_t>(workers), 0);
    std::vector<std::thread> threads;
    for (int worker = 0; worker < workers; ++worker)
        threads.emplace_back([&, worker] {
            for (const std::string &prefix : prefixes)
                counts[static_cast<size_t>(worker)] +=
                    check_tails(prefix, max_tail, worker, workers);
        });
    long total = 0;
    for (int worker = 0; worker < workers; ++worker) {
        threads[static_cast<size_t>(worker)].join();
        total += counts[static_cast<size_t>(worker)];
    }
    return total;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 3 && argc != 4) {
        fprintf(stderr, "usage: %s MAX_LENGTH MAX_TAIL [THREADS]\n", argv[0]);
        return 2;
    }
    int max_length = atoi(argv[1]), max_tail = atoi(argv[2]);
    int workers = argc == 4 ? atoi(argv[3]) : static_cast<int>(std::thread::hardware_concurrency());
    if (max_length < 0 || max_length > 32 || max_tail < 0 || max_tail > 32) return 2;
    if (workers < 1) workers = 1;
    if (workers > LETTERS) workers = LETTERS;

    long short_texts = check_all({""}, max_length, workers);
    printf("%ld texts of 0 to %d bytes over %d letters checked\n", short_texts, max_length,
           LETTERS);

    std::vector<std::string> prefixes;
    for (size_t filler = 1010; filler <= 1026; ++filler)
        for (size_t part = 0; part < sizeof SCHEME_MARKER - 1; ++part)
            prefixes.push_back(SCHEME_MARKER + std::string(filler, 'a') +
                               std::string(SCHEME_MARKER, part));
    long limit_texts = check_all(prefixes, max_tail, workers);
    printf("%ld texts at the limit checked (%zu prefixes, tails of 0 to %d bytes)\n", limit_texts,
           prefixes.size(), max_tail);
    if (mismatches > 0) {
        fprintf(stderr, "%ld mismatches\n", mismatches.load());
        return 1;
    }
    return 0;
}
