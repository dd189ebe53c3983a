#include <gtest/gtest.h>

#include "net/Url.h"

TEST(Url, SplitTable) {
    struct Case {
        const char* url;
        const char* host;
        int port;
        const char* path;
    } cases[] = {
        {"http://Www.Example.COM:8080/a/b?x=1", "www.example.com", 8080, "/a/b?x=1"},
        {"HTTP://Host.Example/Index.html", "host.example", 80, "/Index.html"},
        {"host.example/x", "host.example", 80, "/x"},
        {"http://host.example", "host.example", 80, "/"},
        {"http://host.example:81", "host.example", 81, "/"},
        {"http://host.example?q=1", "host.example?q=1", 80, "/"},
        {"http://host.example:/x", "host.example", 0, "/x"},
        {"http://host.example:abc/x", "host.example", 0, "/x"},
        {"http://host.example:81abc/x", "host.example", 81, "/x"},
        {"ftp://host.example/x", "ftp", 0, "//host.example/x"},
        // The path search starts at the first occurrence of the host, here inside "http://".
        {"http://h/x", "h", 80, "//h/x"},
        {"http:/", "http", 0, "/"},
        {"", "", 80, "/"},
        // A double-byte host is kept as it is; only ASCII letters fold.
        {"http://你Ab.cn/p", "你ab.cn", 80, "/p"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        EXPECT_EQ(net::UrlHost(c.url), c.host);
        EXPECT_EQ(net::UrlPort(c.url), c.port);
        EXPECT_EQ(net::UrlPath(c.url), c.path);
    }
}
