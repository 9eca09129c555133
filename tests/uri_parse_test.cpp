#include "uri_parse.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "reference.h"

namespace {

using urisplit::FIELD_BUFFER_SIZE;

struct StrremoveRow {
    const char *before;
    const char *sub;
    const char *after;
};

TEST(Strremove, Table) {
    const StrremoveRow rows[] = {
        {"aXbXc", "X", "abc"},
        {"aaaa", "aa", ""},
        {"aaa", "aa", "a"},
        {"http://http://h", "http://", "h"},
        {"hthttp://tp://", "http://", "http://"},
        {"abc", "", "abc"},
        {"", "x", ""},
        {"abc", "abcd", "abc"},
        {"xhttp://alpha/http://", "http://", "xalpha/"},
        {"HTTP://a", "http://", "HTTP://a"},
    };
    for (const StrremoveRow &row : rows) {
        std::string str = row.before;
        EXPECT_EQ(urisplit::strremove(str.data(), row.sub), str.data()) << row.before;
        EXPECT_STREQ(str.c_str(), row.after) << row.before << " minus " << row.sub;
    }
}

// Texts over a small alphabet make overlaps and joined occurrences common.
TEST(Strremove, MatchesLiteralScan) {
    std::mt19937 random(20261208);
    const char alphabet[] = "ahtp:/";
    const char *subs[] = {"http://", "aa", "aba", "t", "htt", "p:/", "tp://"};
    for (int round = 0; round < 200000; ++round) {
        std::string text(random() % 24, ' ');
        for (char &c : text) c = alphabet[random() % (sizeof alphabet - 1)];
        std::string sub = subs[random() % (sizeof subs / sizeof *subs)];
        std::string ours = text, theirs = text;
        urisplit::strremove(ours.data(), sub.c_str());
        reference::strremove(theirs.data(), sub.c_str());
        ASSERT_STREQ(ours.c_str(), theirs.c_str()) << text << " minus " << sub;
    }
}

struct Fields {
    char host[FIELD_BUFFER_SIZE];
    char path[FIELD_BUFFER_SIZE];
    char port[FIELD_BUFFER_SIZE];
    Fields() {
        std::strcpy(host, "untouched");
        std::strcpy(path, "untouched");
        std::strcpy(port, "untouched");
    }
};

struct ParseRow {
    const char *uri;
    int result;
    const char *host, *path, *port, *uri_after;
};

const char *const UNTOUCHED = "untouched";

TEST(ParseUri, Table) {
    const ParseRow rows[] = {
        {"http://alpha:123/index.html", 1, "alpha", "/index.html", "123", "alpha:123/index.html"},
        {"http://alpha/index.html", 1, "alpha", "/index.html", "80", "alpha/index.html"},
        {"http://alpha", 1, "alpha", "/", "80", "alpha"},
        {"http://alpha/", 1, "alpha", "/", "80", "alpha/"},
        {"http://alpha:123", 1, "alpha", "/", "123", "alpha:123"},
        {"http://alpha:123/", 1, "alpha", "/", "123", "alpha:123/"},
        {"http://alpha/a/b?c=d", 1, "alpha", "/a/b?c=d", "80", "alpha/a/b?c=d"},
        {"http://alpha:123/a/b:c", 1, "alpha", "/a/b:c", "123", "alpha:123/a/b:c"},
        {"http://alpha/a:b/c", 1, "alpha/a", "/c", "b", "alpha/a:b/c"},
        {"http://:123/x", 1, "", "/x", "123", ":123/x"},
        {"http://alpha:/x", 1, "alpha", "/x", "", "alpha:/x"},
        {"http://alpha:abc/x", 1, "alpha", "/x", "abc", "alpha:abc/x"},
        {"http://a:b:c/d", 1, "a", "/d", "b:c", "a:b:c/d"},
        {"http://alpha//x", 1, "alpha", "//x", "80", "alpha//x"},
        {"http://alpha:123//x", 1, "alpha", "//x", "123", "alpha:123//x"},
        {"http://", 1, "", "/", "80", ""},
        {"xhttp://alpha/p", 1, "xalpha", "/p", "80", "xalpha/p"},
        {"http://alpha/http://beta", 1, "alpha", "/beta", "80", "alpha/beta"},
        {"http://alpha:123/a/http://b", 1, "alpha", "/a/b", "123", "alpha:123/a/b"},
        {"http://hthttp://tp://x/y", 1, "http", "//x/y", "", "http://x/y"},
        {"HTTP://alpha/p", -1, UNTOUCHED, "/", UNTOUCHED, "HTTP://alpha/p"},
        {"https://alpha/p", -1, UNTOUCHED, "/", UNTOUCHED, "https://alpha/p"},
        {"alpha", -1, UNTOUCHED, "/", UNTOUCHED, "alpha"},
        {"", -1, UNTOUCHED, "/", UNTOUCHED, ""},
    };
    for (const ParseRow &row : rows) {
        std::string uri = row.uri;
        Fields fields;
        EXPECT_EQ(urisplit::parse_uri(uri.data(), fields.host, fields.path, fields.port),
                  row.result)
            << row.uri;
        EXPECT_STREQ(fields.host, row.host) << row.uri;
        EXPECT_STREQ(fields.path, row.path) << row.uri;
        EXPECT_STREQ(fields.port, row.port) << row.uri;
        EXPECT_STREQ(uri.c_str(), row.uri_after) << row.uri;
    }
}

std::string repeat(const std::string &piece, std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) text += piece;
    return text;
}

// The limit is on the text left once the markers are gone: 1023 bytes split, 1024 are refused.
TEST(ParseUri, RemainderLimit) {
    struct LimitRow {
        std::string uri;
        int result;
    } rows[] = {
        {"http://" + std::string(1023, 'a'), 1},
        {"http://" + std::string(1024, 'a'), -1},
        {repeat("http://", 100) + std::string(1000, 'a'), 1},
        {repeat("http://", 100) + std::string(1023, 'a'), 1},
        {repeat("http://", 100) + std::string(1024, 'a'), -1},
        {std::string(511, 'a') + repeat("http://", 50) + std::string(512, 'b'), 1},
        {std::string(512, 'a') + repeat("http://", 50) + std::string(512, 'b'), -1},
        {"hthttp://tp://" + std::string(1016, 'a'), 1},
        {"hthttp://tp://" + std::string(1017, 'a'), -1},
        {repeat("http://", 18724) + "a:1/x", 1},
        {std::string(131071, 'a'), -1},
        {"http://a:1/" + std::string(131060, 'a'), -1},
    };
    for (const LimitRow &row : rows) {
        std::string uri = row.uri;
        Fields fields;
        EXPECT_EQ(urisplit::parse_uri(uri.data(), fields.host, fields.path, fields.port),
                  row.result)
            << row.uri.size() << " bytes";
        if (row.result == -1) {
            EXPECT_EQ(uri, row.uri);
            EXPECT_STREQ(fields.path, "/");
            EXPECT_STREQ(fields.host, UNTOUCHED);
            EXPECT_STREQ(fields.port, UNTOUCHED);
            continue;
        }
        std::string expected_uri = row.uri;
        Fields expected;
        reference::parse_uri(expected_uri.data(), expected.host, expected.path, expected.port);
        EXPECT_STREQ(uri.c_str(), expected_uri.c_str());
        EXPECT_STREQ(fields.host, expected.host);
        EXPECT_STREQ(fields.path, expected.path);
        EXPECT_STREQ(fields.port, expected.port);
    }
}

}  // namespace
