#include <urisplit/uri_parse.h>

#include <cstdio>

int main() {
    char uri[] = "http://example.com:8080/index.html?q=1";
    char host[urisplit::FIELD_BUFFER_SIZE];
    char path[urisplit::FIELD_BUFFER_SIZE];
    char port[urisplit::FIELD_BUFFER_SIZE];
    if (urisplit::parse_uri(uri, host, path, port) != 1) return 1;
    std::printf("%s %s %s\n", host, path, port);
    return 0;
}
