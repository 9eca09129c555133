/* The C interface of the urisplit library: the routines of <urisplit/uri_parse.h>, under names
 * that C and any language's foreign-function interface can call. Compiles as C89 or later and
 * as C++98 or later. */
#ifndef URISPLIT_URISPLIT_H
#define URISPLIT_URISPLIT_H

#ifdef __cplusplus
extern "C" {
#endif

/* Size in bytes of each field buffer handed to urisplit_parse_uri: a field holds at most 1023
 * bytes. */
#define URISPLIT_FIELD_BUFFER_SIZE 1024

/* Deletes from str, in place and left to right, each occurrence of sub found by a search that
 * resumes where the last deleted occurrence began; returns str. An empty sub changes nothing;
 * sub must not lie inside str. */
char *urisplit_strremove(char *str, const char *sub);

/* Splits the HTTP URL text uri into host, path and port (each a caller buffer of
 * URISPLIT_FIELD_BUFFER_SIZE bytes) and returns 1; returns -1, leaving uri, host and port
 * untouched, when uri holds no "http://" or the text left after deleting the markers exceeds
 * 1023 bytes. On success the markers are deleted from uri in place. path is set to "/" in every
 * case. uri, host, path and port must be four buffers that do not overlap. */
int urisplit_parse_uri(char *uri, char *host, char *path, char *port);

#ifdef __cplusplus
}
#endif

#endif
