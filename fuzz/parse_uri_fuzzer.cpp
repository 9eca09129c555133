// Input: the text to split, up to its first NUL, in an exactly sized heap buffer; each field is
// an exactly FIELD_BUFFER_SIZE-byte heap buffer. The text afterwards, and the whole of every field
// buffer, must equal what the reference leaves, so a stray write in a field is caught too.
#include <cstring>
#include <initializer_list>
#include <memory>

#include "fuzz_check.h"
#include "reference.h"
#include "uri_parse.h"

namespace {

using urisplit::FIELD_BUFFER_SIZE;
constexpr std::size_t MAX_TEXT_LENGTH = 131071;  // the longest argument Linux passes

struct Buffers {
    std::unique_ptr<char[]> uri, host, path, port;

    Buffers(const std::uint8_t *data, std::size_t length)
        : uri(exact_copy(data, length)),
          host(new char[FIELD_BUFFER_SIZE]),
          path(new char[FIELD_BUFFER_SIZE]),
          port(new char[FIELD_BUFFER_SIZE]) {
        for (char *field : {host.get(), path.get(), port.get()}) {
            std::memset(field, 0xa5, FIELD_BUFFER_SIZE);
            field[FIELD_BUFFER_SIZE - 1] = '\0';
        }
    }

    bool operator==(const Buffers &other) const {
        return std::strcmp(uri.get(), other.uri.get()) == 0 &&
               std::memcmp(host.get(), other.host.get(), FIELD_BUFFER_SIZE) == 0 &&
               std::memcmp(path.get(), other.path.get(), FIELD_BUFFER_SIZE) == 0 &&
               std::memcmp(port.get(), other.port.get(), FIELD_BUFFER_SIZE) == 0;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size == 0) data = reinterpret_cast<const std::uint8_t *>("");  // libFuzzer may pass null
    std::size_t length = strnlen(reinterpret_cast<const char *>(data), size);
    if (length > MAX_TEXT_LENGTH) return 0;
    Buffers ours(data, length), expected(data, length);

    int result =
        urisplit::parse_uri(ours.uri.get(), ours.host.get(), ours.path.get(), ours.port.get());
    int expected_result = reference::parse_uri_refusing_long(
        expected.uri.get(), expected.host.get(), expected.path.get(), expected.port.get());
    if (result != expected_result) fail("parse_uri result differs", data, size);
    if (!(ours == expected)) fail("parse_uri buffers differ from the reference", data, size);
    return 0;
}
