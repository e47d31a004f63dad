// A small HTTP server on 127.0.0.1 inside the test process: it records every request as received and answers
// with what the test's handler returns (status, headers, body, delay, silence or a reset).
#pragma once

#include <winsock2.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testing_support {

struct ReceivedRequest {
    std::string requestLine;  // "GET /path HTTP/1.1"
    std::string headers;      // the header lines exactly as received, each ending in CR LF
    std::string body;
};

struct Reply {
    int status = 200;
    std::string extraHeaders;  // lines ending in CR LF, sent after the status line
    std::string body;
    int delayMs = 0;           // wait before answering
    bool neverAnswer = false;  // accept and read the request, then hold the connection open until stopped
    bool reset = false;        // close the connection at once without answering
    size_t cutShortBy = 0;     // announce the whole body but send this many bytes less, then close
    std::string raw;           // when set: sent exactly as it stands (status line, headers, body), then close
    size_t pieceBytes = 0;     // when set: the answer goes out in pieces of this size ...
    int pieceDelayMs = 0;      // ... with this pause before each piece after the first
};

class HttpTestServer {
public:
    using Handler = std::function<Reply(const ReceivedRequest&)>;
    explicit HttpTestServer(Handler handler);
    ~HttpTestServer();

    int port() const { return port_; }
    std::string Url(const std::string& path) const;  // "http://127.0.0.1:PORT" + path
    std::vector<ReceivedRequest> Requests();
    // Waits up to timeoutMs for at least n requests.
    bool WaitForRequests(size_t n, int timeoutMs);

private:
    void AcceptLoop();
    void Serve(SOCKET client);

    Handler handler_;
    SOCKET listener_ = INVALID_SOCKET;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread acceptor_;
    std::mutex lock_;
    std::vector<ReceivedRequest> requests_;
    std::vector<std::thread> connections_;
    std::vector<SOCKET> open_;
};

}  // namespace testing_support
