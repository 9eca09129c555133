#include "uri_parse.h"

#include <string.h>

namespace urisplit {
namespace {

constexpr char SCHEME_MARKER[] = "http://";
constexpr size_t SCHEME_MARKER_LENGTH = sizeof SCHEME_MARKER - 1;
constexpr char DEFAULT_PORT[] = "80";
constexpr size_t MAX_FIELD_LENGTH = FIELD_BUFFER_SIZE - 1;

// First occurrence of sub at or after text. Back-to-back occurrences are common (a marker at the
// very start, repeated markers), so a match right at text is tried before the general search.
template <typename Char>
Char *find(Char *text, const char *sub, size_t sub_length) {
    size_t matched = 0;
    while (matched < sub_length && text[matched] == sub[matched]) ++matched;
    return matched == sub_length ? text : strstr(text, sub);
}

// Calls keep(run, length) for each run that survives the deletion of sub, in order, from the
// text after first, an occurrence of sub, to end, the string's NUL. Each search resumes just
// past the last occurrence: the deleting scan never looks back before where an occurrence began,
// so it deletes exactly these occurrences.
template <typename KeepRun>
void for_each_kept_run(const char *first, const char *end, const char *sub, size_t sub_length,
                       KeepRun keep) {
    const char *read = first + sub_length;
    for (const char *found; (found = find(read, sub, sub_length)) != nullptr;
         read = found + sub_length)
        keep(read, static_cast<size_t>(found - read));
    keep(read, static_cast<size_t>(end - read));
}

// Deletes sub from first, its first occurrence in the string, to end, the string's NUL; returns
// the new end. Every byte moves at most once, so the work is linear in the length of the string.
// A kept run only ever moves left, onto bytes that the search has already passed.
char *remove_from(char *first, const char *end, const char *sub, size_t sub_length) {
    char *write = first;
    for_each_kept_run(first, end, sub, sub_length, [&write](const char *run, size_t run_length) {
        if (run_length != 0) memmove(write, run, run_length);
        write += run_length;
    });
    *write = '\0';
    return write;
}

// Length of the text from start to end once the scheme markers are deleted from it, found
// without editing it.
size_t length_without_markers(const char *start, const char *first_marker, const char *end) {
    size_t length = static_cast<size_t>(first_marker - start);
    for_each_kept_run(first_marker, end, SCHEME_MARKER, SCHEME_MARKER_LENGTH,
                      [&length](const char *, size_t run_length) { length += run_length; });
    return length;
}

void copy_field(char *field, const char *text, size_t length) {
    memcpy(field, text, length);
    field[length] = '\0';
}

// Cuts [text, end) at its first '/': appends what follows the slash to path, which holds "/",
// and returns where the text before the slash ends (end when there is no slash).
const char *cut_at_path(const char *text, const char *end, char *path) {
    const void *slash = memchr(text, '/', static_cast<size_t>(end - text));
    if (slash == nullptr) return end;
    const char *after_slash = static_cast<const char *>(slash) + 1;
    copy_field(path + 1, after_slash, static_cast<size_t>(end - after_slash));
    return after_slash - 1;
}

const char *find_colon(const char *from, const char *end) {
    return static_cast<const char *>(memchr(from, ':', static_cast<size_t>(end - from)));
}

// Whether a scheme marker begins at or after from and ends by end, given the first ':' at or
// after from (or null). A marker's ':' stands 4 bytes into it, and colons are rare in URLs (a
// port, a few in a path), so testing each one is cheaper than a general substring search.
bool holds_marker(const char *from, const char *colon, const char *end) {
    for (; colon != nullptr; colon = find_colon(colon + 1, end))
        if (colon - from >= 4 && end - colon >= 3 && memcmp(colon - 4, SCHEME_MARKER, 4) == 0 &&
            colon[1] == '/' && colon[2] == '/')
            return true;
    return false;
}

// Cuts the remainder [remainder, end), whose first ':' is colon (or null), into host, path
// (which holds "/") and port.
void split_remainder(const char *remainder, const char *colon, const char *end, char *host,
                     char *path, char *port) {
    const char *hostpart_end;
    if (colon != nullptr) {
        hostpart_end = colon;
        const char *rest = hostpart_end + 1;
        const char *port_end = cut_at_path(rest, end, path);
        copy_field(port, rest, static_cast<size_t>(port_end - rest));
    } else {
        copy_field(port, DEFAULT_PORT, sizeof DEFAULT_PORT - 1);
        hostpart_end = cut_at_path(remainder, end, path);
    }
    copy_field(host, remainder, static_cast<size_t>(hostpart_end - remainder));
}

}  // namespace

// C linkage makes these the functions that urisplit.h declares; the C++ names below share them.
extern "C" char *urisplit_strremove(char *str, const char *sub) {
    size_t sub_length = strlen(sub);
    if (sub_length == 0) return str;
    char *first = find(str, sub, sub_length);
    if (first != nullptr) remove_from(first, first + strlen(first), sub, sub_length);
    return str;
}

extern "C" int urisplit_parse_uri(char *uri, char *host, char *path, char *port) {
    copy_field(path, "/", 1);
    char *first_marker = find(uri, SCHEME_MARKER, SCHEME_MARKER_LENGTH);
    if (first_marker == nullptr) return -1;
    // Refuse before editing: the remainder must fit a field with its NUL. A raw text within the
    // limit needs no count, as deleting markers only shortens it.
    const char *text_end = first_marker + strlen(first_marker);
    if (static_cast<size_t>(text_end - uri) > MAX_FIELD_LENGTH &&
        length_without_markers(uri, first_marker, text_end) > MAX_FIELD_LENGTH)
        return -1;

    // The usual URL: one marker, at the start. The remainder is then the text behind it, so it is
    // split where it stands and moved afterwards; reading bytes just moved would stall the CPU.
    if (first_marker == uri) {
        const char *behind_marker = first_marker + SCHEME_MARKER_LENGTH;
        const char *colon = find_colon(behind_marker, text_end);
        if (!holds_marker(behind_marker, colon, text_end)) {
            split_remainder(behind_marker, colon, text_end, host, path, port);
            memmove(uri, behind_marker, static_cast<size_t>(text_end - behind_marker) + 1);
            return 1;
        }
    }
    // Otherwise exactly strremove(uri, "http://"), resumed at the marker already found.
    const char *end = remove_from(first_marker, text_end, SCHEME_MARKER, SCHEME_MARKER_LENGTH);
    split_remainder(uri, find_colon(uri, end), end, host, path, port);
    return 1;
}

char *strremove(char *str, const char *sub) {
    return urisplit_strremove(str, sub);
}

int parse_uri(char *uri, char *host, char *path, char *port) {
    return urisplit_parse_uri(uri, host, path, port);
}

}  // namespace urisplit
