#include "support/StandInServer.h"

#include <algorithm>
#include <winsock2.h>
#include <ws2tcpip.h>

namespace testsupport {
namespace {

// Milliseconds; <chrono> cannot be used here, its literals do not convert to GBK.
uint64_t Now() {
    return GetTickCount64();
}

constexpr unsigned PollMs = 50;
constexpr uint64_t RequestDeadlineMs = 10000;
constexpr uint64_t SilentDeadlineMs = 60000;

struct WinsockUser {
    WinsockUser() {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    }
    ~WinsockUser() { WSACleanup(); }
};

// Waits at most PollMs for the socket to become readable (or writable).
bool Ready(SOCKET s, bool write) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval wait{0, long(PollMs) * 1000};
    return select(0, write ? nullptr : &set, write ? &set : nullptr, nullptr, &wait) > 0;
}

std::string Lower(std::string s) {
    for (char& c : s)
        c = char(tolower((unsigned char)c));
    return s;
}

size_t ContentLength(const std::string& head) {
    std::string lower = Lower(head);
    size_t at = lower.find("\r\ncontent-length:");
    if (at == std::string::npos) return 0;
    return size_t(strtoull(head.c_str() + at + 17, nullptr, 10));
}

} // namespace

Reply Ok(const std::string& body, const std::string& extraHeaders) {
    return {"HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) +
            "\r\nConnection: close\r\n" + extraHeaders + "\r\n" + body};
}

Reply Truncated(const std::string& body, size_t declaredLength) {
    return {"HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(declaredLength) +
            "\r\nConnection: close\r\n\r\n" + body};
}

StandInServer::StandInServer(Reply reply, uint16_t port)
    : StandInServer([reply](const std::string&) { return reply; }, port) {}

StandInServer::StandInServer(Responder responder, uint16_t port)
    : responder_(std::move(responder)) {
    static WinsockUser winsock;
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) return;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    int size = sizeof address;
    if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(s, 16) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        closesocket(s);
        return;
    }
    port_ = ntohs(address.sin_port);
    listener_ = uintptr_t(s);
    acceptor_ = std::thread([this] { AcceptLoop(); });
}

StandInServer::~StandInServer() {
    stopping_ = true;
    if (acceptor_.joinable()) acceptor_.join();
    if (Listening()) closesocket(SOCKET(listener_));
    for (std::thread& worker : workers_)
        worker.join();
}

StandInServer StandInServer::Proxy() {
    return StandInServer([](const std::string& request) {
        std::string line = RequestLine(request);
        size_t a = line.find(' '), b = line.rfind(' ');
        std::string uri = a != std::string::npos && b > a ? line.substr(a + 1, b - a - 1) : "";
        if (uri.rfind("http://", 0) != 0)
            return Reply{
                "HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\nConnection: close\r\n\r\n"};
        return Ok(uri);
    });
}

std::string StandInServer::Address() const {
    return "127.0.0.1:" + std::to_string(port_);
}
std::string StandInServer::Url(const std::string& path) const {
    return "http://" + Address() + path;
}

std::vector<std::string> StandInServer::Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

bool StandInServer::WaitForRequests(size_t count, unsigned timeoutMs) const {
    uint64_t deadline = Now() + timeoutMs;
    while (Now() < deadline) {
        {
            std::lock_guard lock(mutex_);
            if (requests_.size() >= count) return true;
        }
        Sleep(10);
    }
    return false;
}

void StandInServer::AcceptLoop() {
    SOCKET listener = SOCKET(listener_);
    while (!stopping_) {
        if (!Ready(listener, false)) continue;
        SOCKET client = accept(listener, nullptr, nullptr);
        if (client == INVALID_SOCKET) continue;
        workers_.emplace_back([this, client] { Serve(uintptr_t(client)); });
    }
}

void StandInServer::Serve(uintptr_t handle) {
    SOCKET client = SOCKET(handle);
    auto pause = [this](unsigned ms) {
        uint64_t until = Now() + ms;
        while (!stopping_ && Now() < until)
            Sleep(std::min<unsigned>(PollMs, ms));
    };
    auto sendAll = [this, client](const char* data, size_t size) {
        while (size > 0 && !stopping_) {
            if (!Ready(client, true)) continue;
            int sent = send(client, data, int(std::min<size_t>(size, 1 << 16)), 0);
            if (sent <= 0) return false;
            data += sent;
            size -= size_t(sent);
        }
        return size == 0;
    };

    // The request: the head up to the blank line, then as many bytes as it announces.
    std::string request;
    uint64_t deadline = Now() + RequestDeadlineMs;
    size_t headEnd = std::string::npos;
    while (!stopping_ && Now() < deadline) {
        if (headEnd != std::string::npos &&
            request.size() >= headEnd + ContentLength(request.substr(0, headEnd)))
            break;
        if (!Ready(client, false)) continue;
        char block[4096];
        int got = recv(client, block, sizeof block, 0);
        if (got <= 0) break;
        request.append(block, size_t(got));
        if (headEnd == std::string::npos)
            if (size_t at = request.find("\r\n\r\n"); at != std::string::npos) headEnd = at + 4;
    }
    {
        std::lock_guard lock(mutex_);
        requests_.push_back(request);
    }

    Reply reply = responder_(request);
    if (reply.silent) {
        uint64_t until = Now() + SilentDeadlineMs;
        while (!stopping_ && Now() < until)
            Sleep(PollMs);
    } else {
        pause(reply.delayBeforeMs);
        size_t chunk =
            reply.chunkBytes ? reply.chunkBytes : std::max<size_t>(reply.bytes.size(), 1);
        bool ok = true;
        for (size_t at = 0; ok && at < reply.bytes.size(); at += chunk) {
            if (at > 0) pause(reply.delayBetweenMs);
            ok = sendAll(reply.bytes.data() + at, std::min(chunk, reply.bytes.size() - at));
        }
        std::string filler(1 << 16, 'x');
        for (size_t left = reply.fillerBytes; ok && left > 0;) {
            size_t n = std::min(left, filler.size());
            ok = sendAll(filler.data(), n);
            left -= n;
        }
        while (ok && reply.endless && !stopping_)
            ok = sendAll(filler.data(), filler.size());
    }
    // A gentle close, so the client reads an end and not a reset.
    shutdown(client, SD_SEND);
    for (uint64_t until = Now() + 2000; !stopping_ && Now() < until;) {
        if (!Ready(client, false)) continue;
        char block[4096];
        if (recv(client, block, sizeof block, 0) <= 0) break;
    }
    closesocket(client);
}

uint16_t UnusedPort() {
    static struct Winsock {
        Winsock() {
            WSADATA data;
            WSAStartup(MAKEWORD(2, 2), &data);
        }
    } winsock;
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof address;
    bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &size);
    closesocket(s);
    return ntohs(address.sin_port);
}

std::string RequestLine(const std::string& request) {
    return request.substr(0, request.find("\r\n"));
}

std::string HeaderBlock(const std::string& request) {
    size_t begin = request.find("\r\n");
    size_t end = request.find("\r\n\r\n");
    if (begin == std::string::npos || end == std::string::npos) return {};
    return request.substr(begin + 2, end + 2 - (begin + 2));
}

std::string RequestBody(const std::string& request) {
    size_t end = request.find("\r\n\r\n");
    return end == std::string::npos ? std::string() : request.substr(end + 4);
}

} // namespace testsupport
