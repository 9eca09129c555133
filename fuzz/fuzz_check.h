#ifndef URISPLIT_FUZZ_CHECK_H
#define URISPLIT_FUZZ_CHECK_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

// The bytes up to the first NUL (at most size of them) as a string in a heap buffer of exactly
// its length plus one, so that ASan reports any access past its end.
inline std::unique_ptr<char[]> exact_copy(const std::uint8_t *bytes, std::size_t size) {
    std::size_t length = strnlen(reinterpret_cast<const char *>(bytes), size);
    std::unique_ptr<char[]> copy(new char[length + 1]);
    std::memcpy(copy.get(), bytes, length);
    copy[length] = '\0';
    return copy;
}

// Reports a broken invariant with the input in C escape form, then aborts so the fuzzer keeps it.
[[noreturn]] inline void fail(const char *what, const std::uint8_t *data, std::size_t size) {
    std::fprintf(stderr, "invariant broken: %s\ninput (%zu bytes): \"", what, size);
    for (std::size_t i = 0; i < size; ++i) {
        unsigned char c = data[i];
        if (c == '"' || c == '\\')
            std::fprintf(stderr, "\\%c", c);
        else if (c >= 0x20 && c < 0x7f)
            std::fputc(c, stderr);
        else
            std::fprintf(stderr, "\\x%02x", c);
    }
    std::fputs("\"\n", stderr);
    std::abort();
}

#endif
