// The HTTP request routine against stand-in servers on loopback: the bytes it sends, the method
// and header rules, the proxy, the reply bodies it returns and the event processing of its reads.
#include <gtest/gtest.h>
#include <windows.h>

#include "net/WebAccess.h"
#include "support/StandInServer.h"

using namespace testsupport;

namespace {

const std::string UserAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";
const std::string AcceptLine =
    "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, application/x-shockwave-flash, "
    "application/vnd.ms-excel, application/vnd.ms-powerpoint, application/msword, */*\r\n";

Reply Raw(const std::string& bytes) {
    Reply reply;
    reply.bytes = bytes;
    return reply;
}

// The lines WinINet itself puts before the caller's.
std::string OwnLines(const StandInServer& server) {
    return "Host: " + server.Address() + "\r\nUser-Agent: " + UserAgent + "\r\n";
}

} // namespace

TEST(WebAccess, PlainGetSendsTheThreeDefaultLinesInOrder) {
    StandInServer server(Ok("hello"));
    const std::string url = server.Url("/a/b?x=1");
    ui::Text method, headers, response = "previous value";
    EXPECT_EQ(net::WebAccess(url, &method, std::nullopt, &headers, {}, &response), "hello");

    const std::string defaults = AcceptLine + "Referer: " + url + "\r\nAccept-Language: zh-cn\r\n";
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(server.Requests()[0],
              "GET /a/b?x=1 HTTP/1.1\r\n" + OwnLines(server) + defaults + "\r\n");
    EXPECT_EQ(method, "GET");
    EXPECT_EQ(headers, defaults) << "the caller's variable holds the header text that was sent";
    EXPECT_EQ(response, "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nConnection: close\r\n\r\n");
}

TEST(WebAccess, CallersLowerCaseAcceptSuppressesOnlyTheAcceptLine) {
    StandInServer server(Ok("ok"));
    const std::string url = server.Url("/h");
    ui::Text headers = "accept: text/plain\r\n";
    EXPECT_EQ(net::WebAccess(url, nullptr, std::nullopt, &headers), "ok");

    const std::string sent =
        "accept: text/plain\r\nReferer: " + url + "\r\nAccept-Language: zh-cn\r\n";
    EXPECT_EQ(headers, sent);
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(HeaderBlock(server.Requests()[0]), OwnLines(server) + sent);
}

TEST(WebAccess, MethodRules) {
    StandInServer server(Ok("ok"));
    const std::string body = "a=1&b=2";
    struct Case {
        const char* method;
        const char* sent; // request line verb, also the caller's variable afterwards
        bool post;        // Content-Type, Content-Length and the body go out
    } cases[] = {
        {"PUT", "GET", false},  {"", "GET", false},     {"get", "GET", false},
        {"Post", "Post", true}, {"POST", "POST", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.method);
        ui::Text method = c.method, headers;
        size_t before = server.Requests().size();
        EXPECT_EQ(net::WebAccess(server.Url("/m"), &method, std::nullopt, &headers, body), "ok");
        EXPECT_EQ(method, c.sent);
        ASSERT_EQ(server.Requests().size(), before + 1);
        const std::string request = server.Requests().back();
        EXPECT_EQ(RequestLine(request), std::string(c.sent) + " /m HTTP/1.1");
        const std::string postLines =
            "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: 7\r\n";
        if (c.post) {
            EXPECT_TRUE(headers.ends_with("Accept-Language: zh-cn\r\n" + postLines)) << headers;
            EXPECT_TRUE(HeaderBlock(request).ends_with(postLines)) << request;
            EXPECT_EQ(RequestBody(request), body);
        } else {
            EXPECT_EQ(headers.find("Content-"), std::string::npos) << headers;
            EXPECT_EQ(HeaderBlock(request).find("Content-"), std::string::npos) << request;
            EXPECT_EQ(RequestBody(request), "");
        }
    }
}

TEST(WebAccess, PostWithoutBodySendsNeitherContentLine) {
    StandInServer server(Ok("ok"));
    ui::Text method = "post", headers;
    EXPECT_EQ(net::WebAccess(server.Url("/e"), &method, std::nullopt, &headers), "ok");
    EXPECT_EQ(method, "post");
    EXPECT_EQ(headers.find("Content-Type"), std::string::npos);
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(RequestLine(server.Requests()[0]), "post /e HTTP/1.1");
    EXPECT_EQ(server.Requests()[0].find("Content-Type"), std::string::npos);
}

TEST(WebAccess, ReplyBodies) {
    const size_t large = size_t(5) << 20;
    Reply largeReply = Raw("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(large) +
                           "\r\nConnection: close\r\n\r\n");
    largeReply.fillerBytes = large;
    Reply slow = Ok("slowly, in pieces");
    slow.chunkBytes = 7;
    slow.delayBetweenMs = 20;
    struct Case {
        const char* name;
        Reply reply;
        std::string expected;
    } cases[] = {
        {"canned", Ok("plain body"), "plain body"},
        {"error page",
         Raw("HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\nConnection: close\r\n\r\nnot found"),
         "not found"},
        {"zero byte", Ok(std::string("before\0after", 12)), "before"},
        {"cut short", Truncated("partial", 100), "partial"},
        {"slow pieces", slow, "slowly, in pieces"},
        {"five megabytes", largeReply, std::string(large, 'x')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StandInServer server(c.reply);
        ui::Text body = net::WebAccess(server.Url("/r"));
        EXPECT_EQ(body.size(), c.expected.size());
        EXPECT_TRUE(body == c.expected);
    }
}

TEST(WebAccess, EndlessReplyStopsAt64MiB) {
    Reply endless = Raw("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n");
    endless.endless = true;
    StandInServer server(endless);
    ui::Text body = net::WebAccess(server.Url("/endless"));
    EXPECT_EQ(body.size(), net::MaxReplyBytes);
    EXPECT_EQ(body.find_first_not_of('x'), std::string::npos);
}

TEST(WebAccess, ResponseHeadersBeyondTheBufferLeaveBlanks) {
    StandInServer server(Ok("body", "X-Long: " + std::string(1500, 'h') + "\r\n"));
    ui::Text response;
    EXPECT_EQ(net::WebAccess(server.Url("/"), nullptr, std::nullopt, nullptr, {}, &response),
              "body");
    EXPECT_EQ(response, std::string(1024, ' '));
}

TEST(WebAccess, ProxyReceivesTheAbsoluteUri) {
    StandInServer proxy = StandInServer::Proxy();
    // A name that is not loopback, as requests for loopback may bypass a proxy; the port written
    // out, as WinINet writes it into the absolute URI.
    const std::string url = "http://www.lumeno.example:8080/p?q=1";
    EXPECT_EQ(net::WebAccess(url, nullptr, proxy.Address()), url);
    ASSERT_EQ(proxy.Requests().size(), 1u);
    EXPECT_EQ(RequestLine(proxy.Requests()[0]), "GET " + url + " HTTP/1.1");
    EXPECT_NE(proxy.Requests()[0].find("Referer: " + url + "\r\n"), std::string::npos);
}

TEST(WebAccess, RefusedConnectionGivesEmptyText) {
    EXPECT_EQ(net::WebAccess("http://127.0.0.1:" + std::to_string(UnusedPort()) + "/x"), "");
}

// The one test that waits for the full 18 s time-out.
TEST(WebAccess, SilentServerGivesEmptyTextAfterTheTimeOut) {
    Reply silent;
    silent.silent = true;
    StandInServer server(silent);
    ULONGLONG start = GetTickCount64();
    EXPECT_EQ(net::WebAccess(server.Url("/silent")), "");
    ULONGLONG elapsed = GetTickCount64() - start;
    EXPECT_GE(elapsed, 17000u);
    EXPECT_LT(elapsed, 40000u);
    EXPECT_EQ(server.Requests().size(), 1u);
}

namespace {
struct Nested {
    std::string url;
    bool outerRunning = false;
    bool ranInsideOuter = false;
    ui::Text reply;
} nested;

void CALLBACK RunNestedRequest(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    nested.ranInsideOuter = nested.outerRunning;
    nested.reply = net::WebAccess(nested.url);
}
} // namespace

TEST(WebAccess, HandlerDuringTheReadLoopGetsItsOwnReply) {
    Reply slow = Ok("the outer reply, sent slowly");
    slow.chunkBytes = 16;
    slow.delayBetweenMs = 150;
    StandInServer outer(slow);
    StandInServer inner(Ok("the inner reply"));
    nested = {inner.Url("/inner")};
    SetTimer(nullptr, 0, 50, RunNestedRequest);
    nested.outerRunning = true;
    ui::Text reply = net::WebAccess(outer.Url("/outer"));
    nested.outerRunning = false;
    EXPECT_TRUE(nested.ranInsideOuter);
    EXPECT_EQ(nested.reply, "the inner reply");
    EXPECT_EQ(reply, "the outer reply, sent slowly");
}
