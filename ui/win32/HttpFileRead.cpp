// The HTTP file reader: one GET that always reaches the server and is never kept in the cache.
#include <algorithm>
#include <windows.h>
#include <wininet.h>

#include "ui/Runtime.h"
#include "ui/win32/InetHandle.h"

namespace ui {
namespace {

constexpr size_t MaxBytes = size_t(64) << 20; // an endless reply stops here

using ui::win32::InetHandle;

} // namespace

std::string HttpFileRead(const Text& url) {
    char host[INTERNET_MAX_HOST_NAME_LENGTH + 1] = {};
    char path[INTERNET_MAX_PATH_LENGTH + 1] = {};
    char extra[INTERNET_MAX_PATH_LENGTH + 1] = {};
    URL_COMPONENTSA parts{sizeof parts};
    parts.lpszHostName = host;
    parts.dwHostNameLength = sizeof host;
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = sizeof path;
    parts.lpszExtraInfo = extra;
    parts.dwExtraInfoLength = sizeof extra;
    if (!InternetCrackUrlA(url.c_str(), DWORD(url.size()), 0, &parts)) return {};
    std::string object = std::string(path) + extra;
    if (object.empty()) object = "/";

    // Direct, as the program's other requests: a configured proxy (Wine also takes one from the
    // environment) must not stand between the program and the site it was built for.
    InetHandle root(InternetOpenA(win32::UserAgent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0));
    if (!root) return {};
    InetHandle connection(InternetConnectA(root.get(), host, parts.nPort, nullptr, nullptr,
                                           INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection) return {};
    const char* acceptTypes[] = {"*/*", nullptr};
    InetHandle request(HttpOpenRequestA(
        connection.get(), "GET", object.c_str(), "HTTP/1.0", nullptr, acceptTypes,
        INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE, 0));
    if (!request) return {};
    const char header[] = "Accept: */*\r\n";
    if (!HttpSendRequestA(request.get(), header, DWORD(sizeof header - 1), nullptr, 0)) return {};

    std::string body;
    char block[16384];
    for (;;) {
        DWORD count = 0;
        if (!InternetReadFile(request.get(), block, sizeof block, &count)) return {};
        if (count == 0) break;
        body.append(block, std::min<size_t>(count, MaxBytes - body.size()));
        if (body.size() >= MaxBytes) break;
    }
    return body;
}

} // namespace ui
