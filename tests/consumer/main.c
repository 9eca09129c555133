#include <stdio.h>
#include <urisplit/urisplit.h>

int main(void) {
    char uri[] = "http://example.com:8080/index.html?q=1";
    char host[URISPLIT_FIELD_BUFFER_SIZE];
    char path[URISPLIT_FIELD_BUFFER_SIZE];
    char port[URISPLIT_FIELD_BUFFER_SIZE];
    if (urisplit_parse_uri(uri, host, path, port) != 1) return 1;
    printf("%s %s %s\n", host, path, port);
    return 0;
}
