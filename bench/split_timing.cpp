// ns per URL of the copy floor, parse_uri and the reference over the realistic URLs, in
// alternating rounds, with the medians and the split's ratios to the other two. Built without
// Google Benchmark and linked as the tool is, so that it measures the string routines of the
// tool's C library (musl's, where the tool is on musl).
// Usage: split_timing [ROUNDS [PASSES]], by default 9 rounds of 20000 passes over the URLs.
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#include "realistic_urls.h"
#include "reference.h"
#include "uri_parse.h"

namespace {

using urisplit::FIELD_BUFFER_SIZE;
using Split = int (*)(char *, char *, char *, char *);

double now_ns() {
    struct timespec now = {0, 0};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) * 1e9 + static_cast<double>(now.tv_nsec);
}

// ns per URL of one round: each call gets a fresh copy of its text, as the routines edit it.
double time_round(Split split, long passes, size_t *lengths) {
    char scratch[FIELD_BUFFER_SIZE], host[FIELD_BUFFER_SIZE], path[FIELD_BUFFER_SIZE],
        port[FIELD_BUFFER_SIZE];
    volatile int sink = 0;
    double start = now_ns();
    for (long pass = 0; pass < passes; ++pass)
        for (size_t i = 0; i < URL_COUNT; ++i) {
            memcpy(scratch, REALISTIC_URLS[i], lengths[i]);
            sink = sink + split(scratch, host, path, port) + port[0];
        }
    return (now_ns() - start) / static_cast<double>(passes * static_cast<long>(URL_COUNT));
}

int by_value(const void *a, const void *b) {
    double x = *static_cast<const double *>(a), y = *static_cast<const double *>(b);
    return (x > y) - (x < y);
}

}  // namespace

int main(int argc, char **argv) {
    enum { ROWS = 3, MAX_ROUNDS = 99 };
    const char *names[ROWS] = {"copy floor", "parse_uri", "reference"};
    const Split splits[ROWS] = {copy_floor, urisplit::parse_uri, reference::parse_uri};
    long rounds = argc > 1 ? strtol(argv[1], nullptr, 10) : 9;
    long passes = argc > 2 ? strtol(argv[2], nullptr, 10) : 20000;
    if (rounds < 1 || rounds > MAX_ROUNDS || passes < 1) {
        fprintf(stderr, "usage: split_timing [ROUNDS (1 to %d) [PASSES]]\n", MAX_ROUNDS);
        return 2;
    }
    size_t lengths[URL_COUNT];
    for (size_t i = 0; i < URL_COUNT; ++i) lengths[i] = strlen(REALISTIC_URLS[i]) + 1;
    double ns[ROWS][MAX_ROUNDS];
    for (long round = 0; round < rounds; ++round)
        for (int row = 0; row < ROWS; ++row)
            ns[row][round] = time_round(splits[row], passes, lengths);
    double median[ROWS];
    for (int row = 0; row < ROWS; ++row) {
        qsort(ns[row], static_cast<size_t>(rounds), sizeof ns[row][0], by_value);
        median[row] = ns[row][rounds / 2];
        printf("%-16s %7.1f ns per URL (median of %ld rounds; %.1f to %.1f)\n", names[row],
               median[row], rounds, ns[row][0], ns[row][rounds - 1]);
    }
    printf("parse_uri: %.2f times the copy floor, %.2f of the reference\n", median[1] / median[0],
           median[1] / median[2]);
    return 0;
}
