// ns per URL for parse_uri (under its C++ and its C name) over realistic URLs, against the copy
// floor and the word-for-word reading of the algorithm; and strremove on back-to-back markers,
// against the word-for-word reading. split_timing prints the split's ratios to the other two.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "realistic_urls.h"
#include "reference.h"
#include "uri_parse.h"

namespace {

using urisplit::FIELD_BUFFER_SIZE;

struct Fields {
    char host[FIELD_BUFFER_SIZE], path[FIELD_BUFFER_SIZE], port[FIELD_BUFFER_SIZE];
};

void report_ns_per_url(benchmark::State &state) {
    state.counters["ns_per_url"] =
        benchmark::Counter(static_cast<double>(state.iterations() * URL_COUNT),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// Each call gets a fresh copy of the text, as the routine edits it; the copy is timed too.
template <int (*parse)(char *, char *, char *, char *)>
void BM_parse_realistic(benchmark::State &state) {
    std::size_t lengths[URL_COUNT];
    for (std::size_t i = 0; i < URL_COUNT; ++i) lengths[i] = std::strlen(REALISTIC_URLS[i]) + 1;
    char scratch[FIELD_BUFFER_SIZE];
    Fields fields;
    for (auto _ : state) {
        for (std::size_t i = 0; i < URL_COUNT; ++i) {
            std::memcpy(scratch, REALISTIC_URLS[i], lengths[i]);
            benchmark::DoNotOptimize(parse(scratch, fields.host, fields.path, fields.port));
            benchmark::ClobberMemory();
        }
    }
    report_ns_per_url(state);
}

// Only the copy of each text into the scratch buffer, which every row pays.
int copy_only(char *, char *, char *, char *) {
    return 0;
}

template <char *(*remove)(char *, const char *)>
void BM_strremove_markers(benchmark::State &state) {
    std::string original;
    for (std::int64_t i = 0; i < state.range(0); ++i) original += "http://";
    original += "h/x";
    std::string text = original;
    for (auto _ : state) {
        state.PauseTiming();
        text = original;
        state.ResumeTiming();
        benchmark::DoNotOptimize(remove(text.data(), "http://"));
    }
    state.SetComplexityN(state.range(0));
}

void marker_counts(benchmark::internal::Benchmark *benchmark) {
    for (int markers : {1000, 2000, 4000, 8000, 16000}) benchmark->Arg(markers);
    benchmark->Complexity();
}

}  // namespace

BENCHMARK_TEMPLATE(BM_parse_realistic, copy_only)->Name("BM_copy_only");
BENCHMARK_TEMPLATE(BM_parse_realistic, copy_floor)->Name("BM_copy_floor");
BENCHMARK_TEMPLATE(BM_parse_realistic, urisplit::parse_uri)->Name("BM_parse_uri");
BENCHMARK_TEMPLATE(BM_parse_realistic, urisplit_parse_uri)->Name("BM_parse_uri_c_name");
BENCHMARK_TEMPLATE(BM_parse_realistic, reference::parse_uri)->Name("BM_parse_uri_reference");
BENCHMARK_TEMPLATE(BM_strremove_markers, urisplit::strremove)
    ->Name("BM_strremove")
    ->Apply(marker_counts);
BENCHMARK_TEMPLATE(BM_strremove_markers, reference::strremove)
    ->Name("BM_strremove_reference")
    ->Apply(marker_counts);

BENCHMARK_MAIN();
