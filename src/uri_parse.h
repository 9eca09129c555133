#ifndef URISPLIT_URI_PARSE_H
#define URISPLIT_URI_PARSE_H

#include <stddef.h>

#include "urisplit.h"

// The C++ interface: the same routines as urisplit_strremove and urisplit_parse_uri.
namespace urisplit {

// Size in bytes of each field buffer handed to parse_uri: a field holds at most 1023 bytes.
constexpr size_t FIELD_BUFFER_SIZE = URISPLIT_FIELD_BUFFER_SIZE;

// Deletes from str, in place and left to right, each occurrence of sub found by a search that
// resumes where the last deleted occurrence began; returns str. An empty sub changes nothing;
// sub must not lie inside str.
char *strremove(char *str, const char *sub);

// Splits the HTTP URL text uri into host, path and port (each a caller buffer of
// FIELD_BUFFER_SIZE bytes) and returns 1; returns -1, leaving uri, host and port untouched,
// when uri holds no "http://" or the text left after deleting the markers exceeds 1023 bytes.
// On success the markers are deleted from uri in place. path is set to "/" in every case.
// uri, host, path and port must be four buffers that do not overlap.
int parse_uri(char *uri, char *host, char *path, char *port);

}  // namespace urisplit

#endif
