#include "reference.h"

#include <stdlib.h>
#include <string.h>

#include "uri_parse.h"

namespace reference {

using urisplit::FIELD_BUFFER_SIZE;

char *strremove(char *str, const char *sub) {
    size_t len = strlen(sub);
    if (len == 0) return str;
    char *p = str;
    while ((p = strstr(p, sub)) != nullptr) memmove(p, p + len, strlen(p + len) + 1);
    return str;
}

int parse_uri(char *uri, char *host, char *path, char *port) {
    char rest[FIELD_BUFFER_SIZE];
    char hostpart[FIELD_BUFFER_SIZE];
    strcpy(path, "/");
    if (strstr(uri, "http://") == nullptr) return -1;
    strcpy(rest, strremove(uri, "http://"));
    strcpy(hostpart, rest);
    char *colon = strchr(hostpart, ':');
    if (colon != nullptr) {
        strcpy(rest, colon + 1);
        *colon = '\0';
        char *slash = strchr(rest, '/');
        if (slash != nullptr) {
            strcat(path, slash + 1);
            *slash = '\0';
        }
        strcpy(port, rest);
    } else {
        strcpy(port, "80");
        char *slash = strchr(hostpart, '/');
        if (slash != nullptr) {
            strcat(path, slash + 1);
            *slash = '\0';
        }
    }
    strcpy(host, hostpart);
    return 1;
}

int parse_uri_refusing_long(char *uri, char *host, char *path, char *port) {
    char *remainder = strdup(uri);
    size_t remainder_length = strlen(strremove(remainder, "http://"));
    free(remainder);
    if (remainder_length >= FIELD_BUFFER_SIZE) {
        strcpy(path, "/");
        return -1;
    }
    return parse_uri(uri, host, path, port);
}

}  // namespace reference
