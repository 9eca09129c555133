#include "uri_parse.h"

#include <cstring>

namespace urisplit {
namespace {

constexpr char SCHEME_MARKER[] = "http://";
constexpr std::size_t SCHEME_MARKER_LENGTH = sizeof SCHEME_MARKER - 1;
constexpr char DEFAULT_PORT[] = "80";
constexpr std::size_t MAX_FIELD_LENGTH = FIELD_BUFFER_SIZE - 1;

// Calls keep(run, length) for each run of str that survives the deletion of sub, in order, the
// tail included. Each search resumes just past the last occurrence: the deleting scan never
// looks back before where an occurrence began, so it deletes exactly these occurrences.
template <typename KeepRun>
void for_each_kept_run(const char *str, const char *sub, std::size_t sub_length, KeepRun keep) {
    const char *read = str;
    for (const char *found; (found = std::strstr(read, sub)) != nullptr; read = found + sub_length)
        keep(read, static_cast<std::size_t>(found - read));
    keep(read, std::strlen(read));
}

// Length of text once the scheme markers are deleted from it, found without editing it.
std::size_t length_without_markers(const char *text) {
    std::size_t length = 0;
    for_each_kept_run(text, SCHEME_MARKER, SCHEME_MARKER_LENGTH,
                      [&length](const char *, std::size_t run_length) { length += run_length; });
    return length;
}

void copy_field(char *field, const char *text, std::size_t length) {
    std::memcpy(field, text, length);
    field[length] = '\0';
}

// Cuts [text, end) at its first '/': appends what follows the slash to path, which holds "/",
// and returns where the text before the slash ends (end when there is no slash).
const char *cut_at_path(const char *text, const char *end, char *path) {
    const void *slash = std::memchr(text, '/', static_cast<std::size_t>(end - text));
    if (slash == nullptr) return end;
    const char *after_slash = static_cast<const char *>(slash) + 1;
    copy_field(path + 1, after_slash, static_cast<std::size_t>(end - after_slash));
    return after_slash - 1;
}

}  // namespace

char *strremove(char *str, const char *sub) {
    std::size_t sub_length = std::strlen(sub);
    if (sub_length == 0) return str;
    // Every byte moves at most once, so the work is linear in the length of str. A kept run
    // only ever moves left, onto bytes that the search has already passed.
    char *write = str;
    for_each_kept_run(str, sub, sub_length, [&write](const char *run, std::size_t run_length) {
        if (write != run) std::memmove(write, run, run_length);
        write += run_length;
    });
    *write = '\0';
    return str;
}

int parse_uri(char *uri, char *host, char *path, char *port) {
    copy_field(path, "/", 1);
    if (std::strstr(uri, SCHEME_MARKER) == nullptr) return -1;
    // Refuse before editing: the remainder must fit a field with its NUL. A raw text within the
    // limit needs no count, as deleting markers only shortens it.
    if (strnlen(uri, MAX_FIELD_LENGTH + 1) > MAX_FIELD_LENGTH &&
        length_without_markers(uri) > MAX_FIELD_LENGTH)
        return -1;

    const char *remainder = strremove(uri, SCHEME_MARKER);
    const char *end = remainder + std::strlen(remainder);
    const void *colon = std::memchr(remainder, ':', static_cast<std::size_t>(end - remainder));
    const char *hostpart_end;
    if (colon != nullptr) {
        hostpart_end = static_cast<const char *>(colon);
        const char *rest = hostpart_end + 1;
        const char *port_end = cut_at_path(rest, end, path);
        copy_field(port, rest, static_cast<std::size_t>(port_end - rest));
    } else {
        copy_field(port, DEFAULT_PORT, sizeof DEFAULT_PORT - 1);
        hostpart_end = cut_at_path(remainder, end, path);
    }
    copy_field(host, remainder, static_cast<std::size_t>(hostpart_end - remainder));
    return 1;
}

}  // namespace urisplit
