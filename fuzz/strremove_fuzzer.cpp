// Input: byte 0 picks the length of sub (0 to 31), the next bytes are sub, the rest is str; each
// ends early at a NUL. Both live in exactly sized heap buffers, so ASan sees any stray access.
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "fuzz_check.h"
#include "reference.h"
#include "uri_parse.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size == 0) return 0;
    std::size_t sub_size = std::min<std::size_t>(data[0] % 32, size - 1);
    std::unique_ptr<char[]> sub = exact_copy(data + 1, sub_size);
    std::unique_ptr<char[]> str = exact_copy(data + 1 + sub_size, size - 1 - sub_size);

    std::string expected = str.get();
    reference::strremove(expected.data(), sub.get());
    if (urisplit::strremove(str.get(), sub.get()) != str.get())
        fail("strremove returned another pointer", data, size);
    if (std::strcmp(expected.c_str(), str.get()) != 0)
        fail("strremove differs from the reference", data, size);
    return 0;
}
