#include "net/WebAccess.h"

#include <algorithm>
#include <windows.h>
#include <wininet.h>

#include "net/Url.h"
#include "ui/Runtime.h"
#include "ui/win32/InetHandle.h"
#include "ui/Text.h"

namespace net {
namespace {

constexpr DWORD TimeoutMs = 18000;
constexpr DWORD ReadBlock = 512;
constexpr DWORD RawHeaderBuffer = 1024;

constexpr char AcceptLine[] =
    "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, application/x-shockwave-flash, "
    "application/vnd.ms-excel, application/vnd.ms-powerpoint, application/msword, */*\r\n";

using ui::win32::InetHandle;
using ui::win32::UserAgent;

void CompleteHeaders(ui::Text& headers, const ui::Text& url) {
    if (ui::FindText(headers, "Accept: ", 1, true) < 0) headers += AcceptLine;
    if (ui::FindText(headers, "Referer: ", 1, true) < 0) headers += "Referer: " + url + "\r\n";
    if (ui::FindText(headers, "Accept-Language: ", 1, true) < 0)
        headers += "Accept-Language: zh-cn\r\n";
}

// Events are processed before every read, so handlers (a second lookup, a close) run meanwhile.
// A read asks for no more than has arrived: a whole block of a reply that trickles in would hold
// the events back for as long as the block takes to fill.
std::string ReadReply(HINTERNET request) {
    std::string reply;
    DWORD count = 1;
    while (count > 0 && reply.size() < MaxReplyBytes) {
        char block[ReadBlock] = {};
        ui::ProcessEvents();
        DWORD available = ReadBlock;
        if (!InternetQueryDataAvailable(request, &available, 0, 0)) available = ReadBlock;
        count = 0;
        InternetReadFile(request, block, std::clamp<DWORD>(available, 1, ReadBlock), &count);
        reply.append(block, std::min<size_t>(count, MaxReplyBytes - reply.size()));
    }
    return reply;
}

ui::Text RawResponseHeaders(HINTERNET request) {
    char buffer[RawHeaderBuffer + 1];
    std::fill(buffer, buffer + RawHeaderBuffer, ' ');
    buffer[RawHeaderBuffer] = '\0';
    DWORD length = RawHeaderBuffer;
    HttpQueryInfoA(request, HTTP_QUERY_RAW_HEADERS_CRLF, buffer, &length, nullptr);
    buffer[RawHeaderBuffer] = '\0';
    return buffer;
}

} // namespace

ui::Text WebAccess(const ui::Text& url, ui::Text* method, const std::optional<ui::Text>& proxy,
                   ui::Text* headers, const ui::Text& body, ui::Text* responseHeaders) {
    ui::Text localMethod, localHeaders;
    ui::Text& verb = method ? *method : localMethod;
    ui::Text& lines = headers ? *headers : localHeaders;

    ui::Text proxyList = proxy ? "http=" + *proxy : ui::Text();
    InetHandle root(
        proxy ? InternetOpenA(UserAgent, INTERNET_OPEN_TYPE_PROXY, proxyList.c_str(), "", 0)
              : InternetOpenA(UserAgent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    if (!root) return {};
    InetHandle connection(InternetConnectA(root.get(), UrlHost(url).c_str(),
                                           INTERNET_PORT(UrlPort(url)), nullptr, nullptr,
                                           INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection) return {};

    if (ui::UpperAscii(verb) != "POST") verb = "GET";
    InetHandle request(HttpOpenRequestA(connection.get(), verb.c_str(), UrlPath(url).c_str(),
                                        "HTTP/1.1", nullptr, nullptr, INTERNET_FLAG_RELOAD, 0));
    if (!request) return {};

    DWORD timeout = TimeoutMs;
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT,
                         INTERNET_OPTION_SEND_TIMEOUT})
        InternetSetOptionA(request.get(), option, &timeout, sizeof timeout);

    CompleteHeaders(lines, url);
    if (verb == "GET") {
        HttpSendRequestA(request.get(), lines.c_str(), DWORD(lines.size()), nullptr, 0);
    } else {
        if (!body.empty())
            lines += "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
                     std::to_string(body.size()) + "\r\n";
        HttpSendRequestA(request.get(), lines.c_str(), DWORD(lines.size()),
                         body.empty() ? nullptr : const_cast<char*>(body.data()),
                         DWORD(body.size()));
    }

    std::string reply = ReadReply(request.get());
    if (responseHeaders) *responseHeaders = RawResponseHeaders(request.get());
    return reply.substr(0, reply.find('\0'));
}

} // namespace net
