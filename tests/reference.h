#ifndef URISPLIT_REFERENCE_H
#define URISPLIT_REFERENCE_H

// A word-for-word reading of the splitting algorithm with the standard string routines: slow,
// but plainly right. The tests, fuzzers and benchmarks hold the library up against it.
namespace reference {

// Deletes each occurrence of sub, moving the whole tail once per deletion and resuming the
// search where the deleted occurrence began.
char *strremove(char *str, const char *sub);

// Splits uri through two 1024-byte work buffers. Checks no length: the text left after
// deleting the markers must be at most 1023 bytes.
int parse_uri(char *uri, char *host, char *path, char *port);

// parse_uri as above, but first refuses (-1, uri untouched, path "/") a text whose remainder
// would exceed 1023 bytes; it measures that remainder on a copy.
int parse_uri_refusing_long(char *uri, char *host, char *path, char *port);

}  // namespace reference

#endif
