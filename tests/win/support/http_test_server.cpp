// In-process HTTP test server over Winsock.
#include "tests/win/support/http_test_server.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <cstdlib>

namespace testing_support {

namespace {
const char* ReasonOf(int status) {
    switch (status) {
        case 200: return "OK";
        case 404: return "Not Found";
        case 500: return "Internal Server Error";
        default: return "Status";
    }
}
}  // namespace

HttpTestServer::HttpTestServer(Handler handler) : handler_(std::move(handler)) {
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    listen(listener_, 64);
    int len = sizeof addr;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    acceptor_ = std::thread([this] { AcceptLoop(); });
}

HttpTestServer::~HttpTestServer() {
    stopping_ = true;
    closesocket(listener_);
    acceptor_.join();
    {
        std::lock_guard<std::mutex> guard(lock_);
        for (SOCKET s : open_) shutdown(s, SD_BOTH);
    }
    for (std::thread& t : connections_) t.join();
}

std::string HttpTestServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<ReceivedRequest> HttpTestServer::Requests() {
    std::lock_guard<std::mutex> guard(lock_);
    return requests_;
}

bool HttpTestServer::WaitForRequests(size_t n, int timeoutMs) {
    ULONGLONG end = GetTickCount64() + ULONGLONG(timeoutMs);
    while (GetTickCount64() < end) {
        if (Requests().size() >= n) return true;
        Sleep(10);
    }
    return Requests().size() >= n;
}

void HttpTestServer::AcceptLoop() {
    while (!stopping_) {
        SOCKET client = accept(listener_, nullptr, nullptr);
        if (client == INVALID_SOCKET) break;
        std::lock_guard<std::mutex> guard(lock_);
        open_.push_back(client);
        connections_.emplace_back([this, client] { Serve(client); });
    }
}

void HttpTestServer::Serve(SOCKET client) {
    std::string data;
    char buf[4096];
    size_t headerEnd;
    for (;;) {
        while ((headerEnd = data.find("\r\n\r\n")) == std::string::npos) {
            int n = recv(client, buf, sizeof buf, 0);
            if (n <= 0) goto done;
            data.append(buf, size_t(n));
        }
        {
            ReceivedRequest r;
            size_t lineEnd = data.find("\r\n");
            r.requestLine = data.substr(0, lineEnd);
            r.headers = data.substr(lineEnd + 2, headerEnd + 2 - (lineEnd + 2));
            size_t length = 0;
            for (size_t p = 0; p < r.headers.size();) {
                size_t e = r.headers.find("\r\n", p);
                std::string line = r.headers.substr(p, e - p);
                if (_strnicmp(line.c_str(), "Content-Length:", 15) == 0) length = size_t(std::atoll(line.c_str() + 15));
                p = e + 2;
            }
            data.erase(0, headerEnd + 4);
            while (data.size() < length) {
                int n = recv(client, buf, sizeof buf, 0);
                if (n <= 0) break;
                data.append(buf, size_t(n));
            }
            r.body = data.substr(0, length);
            data.erase(0, std::min(length, data.size()));
            {
                std::lock_guard<std::mutex> guard(lock_);
                requests_.push_back(r);
            }
            Reply reply = handler_(r);
            if (reply.delayMs) Sleep(DWORD(reply.delayMs));
            if (reply.reset) {
                linger l{1, 0};
                setsockopt(client, SOL_SOCKET, SO_LINGER, reinterpret_cast<char*>(&l), sizeof l);
                goto done;
            }
            if (reply.neverAnswer) {
                // Hold the connection, checking now and then whether the server is stopping.
                while (!stopping_) {
                    fd_set readable;
                    FD_ZERO(&readable);
                    FD_SET(client, &readable);
                    timeval wait{0, 100000};
                    if (select(0, &readable, nullptr, nullptr, &wait) > 0 && recv(client, buf, sizeof buf, 0) <= 0)
                        break;
                }
                goto done;
            }
            std::string out =
                !reply.raw.empty()
                    ? reply.raw
                    : "HTTP/1.1 " + std::to_string(reply.status) + " " + ReasonOf(reply.status) + "\r\n" +
                          reply.extraHeaders + "Content-Length: " + std::to_string(reply.body.size()) +
                          "\r\nConnection: close\r\n\r\n" +
                          reply.body.substr(0, reply.body.size() - std::min(reply.cutShortBy, reply.body.size()));
            for (size_t sent = 0; sent < out.size() && !stopping_;) {
                if (sent > 0 && reply.pieceDelayMs) Sleep(DWORD(reply.pieceDelayMs));
                size_t piece = reply.pieceBytes ? std::min(reply.pieceBytes, out.size() - sent) : out.size() - sent;
                int n = send(client, out.data() + sent, int(piece), 0);
                if (n <= 0) break;
                sent += size_t(n);
            }
            // A graceful close: unread request bytes must not turn the close into a reset that loses the answer.
            shutdown(client, SD_SEND);
            fd_set readable;
            FD_ZERO(&readable);
            FD_SET(client, &readable);
            timeval wait{1, 0};
            while (select(0, &readable, nullptr, nullptr, &wait) > 0 && recv(client, buf, sizeof buf, 0) > 0) {
            }
            goto done;
        }
    }
done : {
    std::lock_guard<std::mutex> guard(lock_);
    std::erase(open_, client);
}
    closesocket(client);
}

}  // namespace testing_support
