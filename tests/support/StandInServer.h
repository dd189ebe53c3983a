// A stand-in HTTP server on 127.0.0.1, running on threads inside the test process. It records the
// raw bytes of every request and answers each with a Reply chosen by the test: canned, slow,
// silent, cut short, carrying zero bytes, many megabytes, endless; or as an HTTP proxy would.
// Every wait is bounded, and destruction stops it.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

struct Reply {
    std::string bytes;           // status line, headers and body, written as given
    size_t fillerBytes = 0;      // then this many bytes of 'x'
    bool endless = false;        // then 'x' until the client goes away (or the server stops)
    unsigned delayBeforeMs = 0;  // before the first byte
    size_t chunkBytes = 0;       // write `bytes` in pieces of this size (0: at once)
    unsigned delayBetweenMs = 0; // between those pieces
    bool silent = false;         // accept and read the request, never answer
};

// "HTTP/1.1 200 OK" with Content-Length and "Connection: close", extra header lines (each ending
// in CR LF) before the blank line.
Reply Ok(const std::string& body, const std::string& extraHeaders = "");
// A head announcing `declaredLength` bytes, then only `body`, then the connection closes.
Reply Truncated(const std::string& body, size_t declaredLength);

class StandInServer {
  public:
    using Responder = std::function<Reply(const std::string& request)>;

    explicit StandInServer(Responder responder, uint16_t port = 0);
    explicit StandInServer(Reply reply, uint16_t port = 0); // the same reply every time
    ~StandInServer();
    StandInServer(const StandInServer&) = delete;
    StandInServer& operator=(const StandInServer&) = delete;

    // Answers as an HTTP proxy: the body is the absolute URI it was asked for.
    static StandInServer Proxy();

    bool Listening() const { return listener_ != ~uintptr_t(0); }
    uint16_t Port() const { return port_; }
    std::string Address() const; // "127.0.0.1:port"
    std::string Url(const std::string& path = "/") const;

    std::vector<std::string> Requests() const;
    bool WaitForRequests(size_t count, unsigned timeoutMs) const;

  private:
    void AcceptLoop();
    void Serve(uintptr_t client);

    Responder responder_;
    uintptr_t listener_ = ~uintptr_t(0);
    uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;
    std::vector<std::string> requests_;
    std::vector<uintptr_t> clients_;
    std::vector<std::thread> workers_;
    std::thread acceptor_;
};

// A loopback port on which nothing listens: a connection there is refused at once.
uint16_t UnusedPort();

// The first line of a request, without its CR LF.
std::string RequestLine(const std::string& request);
// The header lines of a request (each with its CR LF), between the request line and the blank line.
std::string HeaderBlock(const std::string& request);
// What follows the blank line.
std::string RequestBody(const std::string& request);

} // namespace testsupport
