// The album service's HTTP/1.1 server: a thread per open connection (threads are reused), keep-alive,
// faults chosen by path.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "tools/album-service/http.h"
#include "tools/album-service/site.h"

namespace album {

enum class FaultKind {
    kStatus,      // answer with the status `value` and a short error page
    kReset,       // read the request, then reset the connection without an answer
    kHang,        // read the request and never answer; hold the connection until the client closes it
    kCut,         // announce the whole body's length, send half of it, close
    kCutUnsized,  // announce no length, send half of the body, close (the close is all that ends it)
    kTrickle,     // send the whole response one byte every `value` milliseconds
    kDelay,       // wait `value` milliseconds, then answer normally
    kEndless,     // announce no length, send the body and then filler bytes without end
    kEndlessSized,  // announce a length of 1 GiB, send the body and then filler bytes without end
    kRedirect,      // answer with the redirect status `value` and a Location of "/moved" + the request's target
    kEndlessHead,   // send a status line, then a header line every `value` milliseconds without end
    kTrickleSized,  // announce a length of 256 MiB, then send the body one byte every `value` milliseconds
};

struct FaultRule {
    FaultKind kind = FaultKind::kStatus;
    int value = 0;
    std::string pattern;  // glob over the decoded path and query
    bool once = false;    // only the first request for each matching path and query misbehaves
};

// "KIND=GLOB" with KIND one of: a status code 100..599, reset, hang, cut, cut-unsized, trickle, trickle:MS,
// delay:MS, endless, endless-sized, redirect:CODE (301, 302, 303, 307 or 308), endless-head, endless-head:MS,
// trickle-sized, trickle-sized:MS;
// "once+KIND=GLOB" misbehaves on the first request for each matching path and query only.
std::optional<FaultRule> ParseFaultRule(std::string_view text);

// A file served at a path in place of the generated content.
struct Override {
    std::string path;  // decoded path, without query
    std::string contentType;
    std::shared_ptr<const std::string> body;
};

struct ServerOptions {
    int port = 0;  // 0: the system picks a free port
    int latencyMs = 0;
    std::vector<FaultRule> faults;  // the first rule whose pattern matches applies
    std::vector<std::string> cookies;
    std::vector<std::string> pageCookies;  // Set-Cookie lines of HTML answers only, after those of cookies
    size_t longHeaderBytes = 0;
    std::vector<Override> overrides;
    std::FILE* log = nullptr;  // receives every request head as received; not owned
};

inline constexpr int kDefaultTrickleMs = 20;

class Server {
public:
    Server(const Site& site, ServerOptions options);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Binds 127.0.0.1 and starts accepting; false with a message when the port cannot be had.
    bool Start(std::string& error);
    int port() const { return port_; }
    // Stops accepting, ends every connection (held and trickling ones too) and joins all threads.
    void Stop();

private:
    void AcceptLoop();
    void Dispatch(int fd);
    void WorkerLoop();
    bool Serve(int fd, unsigned long id);
    bool Answer(int fd, const Request& request, bool& reset);
    Resource Lookup(const Target& target, const Request& request) const;
    const FaultRule* FindFault(std::string_view text) const;
    void LogRequest(unsigned long id, const Request& request);
    bool Sleep(int ms);
    bool SendAll(int fd, std::string_view head, std::string_view body);
    bool Trickle(int fd, std::string_view bytes, int intervalMs);
    bool SendWithoutEnd(int fd, std::string_view head, std::string_view body);
    void SendEndlessHead(int fd, int intervalMs);
    void Hold(int fd);

    const Site& site_;
    ServerOptions options_;
    std::map<std::string, Override, std::less<>> overrides_;
    int listenFd_ = -1;
    int port_ = 0;
    std::thread acceptThread_;
    std::atomic<bool> stopping_{false};
    std::mutex stopMutex_;
    std::condition_variable stopSignal_;

    // Connection threads are kept and reused: a new thread starts only when no idle one is waiting.
    std::mutex poolMutex_;
    std::condition_variable poolSignal_;
    std::vector<std::thread> workers_;
    std::deque<std::pair<int, unsigned long>> pending_;  // accepted connections not yet taken: fd, id
    std::map<unsigned long, int> open_;                  // every connection not yet closed: id -> fd
    int idleWorkers_ = 0;                                // waiting workers not yet promised a connection
    unsigned long nextConnectionId_ = 0;
    std::mutex logMutex_;
    mutable std::mutex onceMutex_;
    mutable std::set<std::pair<const FaultRule*, std::string>> onceDone_;  // (once rule, path) already failed
    unsigned long requestCount_ = 0;
};

}  // namespace album
