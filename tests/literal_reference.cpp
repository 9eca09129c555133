#include "literal_reference.h"

#include <cstring>
#include <string>

#include "uri_parse.h"

namespace literal {

using urisplit::FIELD_BUFFER_SIZE;

char *strremove(char *str, const char *sub) {
    std::size_t len = std::strlen(sub);
    if (len == 0) return str;
    char *p = str;
    while ((p = std::strstr(p, sub)) != nullptr) std::memmove(p, p + len, std::strlen(p + len) + 1);
    return str;
}

int parse_uri(char *uri, char *host, char *path, char *port) {
    char rest[FIELD_BUFFER_SIZE];
    char hostpart[FIELD_BUFFER_SIZE];
    std::strcpy(path, "/");
    if (std::strstr(uri, "http://") == nullptr) return -1;
    std::strcpy(rest, strremove(uri, "http://"));
    std::strcpy(hostpart, rest);
    char *colon = std::strchr(hostpart, ':');
    if (colon != nullptr) {
        std::strcpy(rest, colon + 1);
        *colon = '\0';
        char *slash = std::strchr(rest, '/');
        if (slash != nullptr) {
            std::strcat(path, slash + 1);
            *slash = '\0';
        }
        std::strcpy(port, rest);
    } else {
        std::strcpy(port, "80");
        char *slash = std::strchr(hostpart, '/');
        if (slash != nullptr) {
            std::strcat(path, slash + 1);
            *slash = '\0';
        }
    }
    std::strcpy(host, hostpart);
    return 1;
}

int parse_uri_refusing_long(char *uri, char *host, char *path, char *port) {
    std::string remainder = uri;
    if (std::strlen(strremove(remainder.data(), "http://")) >= FIELD_BUFFER_SIZE) {
        std::strcpy(path, "/");
        return -1;
    }
    return parse_uri(uri, host, path, port);
}

}  // namespace literal
