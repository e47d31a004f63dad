// Accepts connections on 127.0.0.1, reads requests, applies fault rules and answers from the site.
#include "tools/album-service/server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstring>

namespace album {
namespace {

constexpr int kIdleSeconds = 120;  // a keep-alive connection with no request for this long is closed
constexpr int kDrainMs = 500;      // how long a closing connection waits for the client's own close
constexpr size_t kReadChunk = 16 * 1024;

bool ParseInt(std::string_view text, int& value) {
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && ptr == text.data() + text.size();
}

// A Host value that can go into the pages unescaped: host name or address and port.
bool PlainHost(std::string_view host) {
    if (host.empty() || host.size() > 255) return false;
    for (char c : host)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == ':' || c == '-' || c == '[' || c == ']'))
            return false;
    return true;
}

// Half-closes, then waits briefly for the client to close its side, so that unread input does not turn
// the close into a reset that could destroy the response's tail.
void CloseGracefully(int fd) {
    shutdown(fd, SHUT_WR);
    char sink[4096];
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kDrainMs);
    while (true) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd p = {fd, POLLIN, 0};
        if (left.count() <= 0 || poll(&p, 1, int(left.count())) <= 0) return;
        if (recv(fd, sink, sizeof sink, 0) <= 0) return;
    }
}

}  // namespace

std::optional<FaultRule> ParseFaultRule(std::string_view text) {
    size_t equals = text.find('=');
    if (equals == std::string_view::npos || equals + 1 == text.size()) return std::nullopt;
    std::string_view kind = text.substr(0, equals);
    FaultRule rule;
    if (kind.substr(0, 5) == "once+") {
        rule.once = true;
        kind.remove_prefix(5);
    }
    rule.pattern = text.substr(equals + 1);
    std::string_view argument;
    if (size_t colon = kind.find(':'); colon != std::string_view::npos) {
        argument = kind.substr(colon + 1);
        kind = kind.substr(0, colon);
    }
    if (kind == "reset" || kind == "hang" || kind == "cut" || kind == "cut-unsized" || kind == "endless" ||
        kind == "endless-sized") {
        if (!argument.empty()) return std::nullopt;
        rule.kind = kind == "reset"           ? FaultKind::kReset
                    : kind == "hang"          ? FaultKind::kHang
                    : kind == "cut-unsized"   ? FaultKind::kCutUnsized
                    : kind == "endless"       ? FaultKind::kEndless
                    : kind == "endless-sized" ? FaultKind::kEndlessSized
                                              : FaultKind::kCut;
    } else if (kind == "trickle" || kind == "trickle-sized" || kind == "endless-head") {
        rule.kind = kind == "trickle"         ? FaultKind::kTrickle
                    : kind == "trickle-sized" ? FaultKind::kTrickleSized
                                              : FaultKind::kEndlessHead;
        rule.value = kDefaultTrickleMs;
        if (!argument.empty() && (!ParseInt(argument, rule.value) || rule.value < 0)) return std::nullopt;
    } else if (kind == "redirect") {
        rule.kind = FaultKind::kRedirect;
        if (!ParseInt(argument, rule.value) ||
            (rule.value != 301 && rule.value != 302 && rule.value != 303 && rule.value != 307 && rule.value != 308))
            return std::nullopt;
    } else if (kind == "delay") {
        rule.kind = FaultKind::kDelay;
        if (!ParseInt(argument, rule.value) || rule.value < 0) return std::nullopt;
    } else {
        rule.kind = FaultKind::kStatus;
        if (!argument.empty() || !ParseInt(kind, rule.value) || rule.value < 100 || rule.value > 599)
            return std::nullopt;
    }
    return rule;
}

Server::Server(const Site& site, ServerOptions options) : site_(site), options_(std::move(options)) {
    for (const Override& o : options_.overrides) overrides_[o.path] = o;
}

Server::~Server() { Stop(); }

bool Server::Start(std::string& error) {
    listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0) {
        error = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    int one = 1;
    setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(uint16_t(options_.port));
    if (bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) < 0 || listen(listenFd_, 256) < 0) {
        error = "127.0.0.1:" + std::to_string(options_.port) + ": " + std::strerror(errno);
        close(listenFd_);
        listenFd_ = -1;
        return false;
    }
    socklen_t length = sizeof address;
    getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    acceptThread_ = std::thread([this] { AcceptLoop(); });
    return true;
}

void Server::Stop() {
    if (listenFd_ < 0 || stopping_.exchange(true)) return;
    // Taking each lock once after setting the flag means no waiter can miss it between its check and its wait.
    { std::lock_guard<std::mutex> lock(stopMutex_); }
    stopSignal_.notify_all();
    shutdown(listenFd_, SHUT_RDWR);  // wakes the blocked accept
    acceptThread_.join();
    close(listenFd_);

    std::vector<std::thread> workers;
    {
        std::lock_guard<std::mutex> lock(poolMutex_);
        for (const auto& [id, fd] : open_) shutdown(fd, SHUT_RDWR);  // wakes reads and writes in progress
        workers.swap(workers_);
    }
    poolSignal_.notify_all();
    for (std::thread& worker : workers) worker.join();
    for (const auto& [fd, id] : pending_) close(fd);
    pending_.clear();
    open_.clear();
}

void Server::AcceptLoop() {
    while (!stopping_) {
        int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EMFILE || errno == ENFILE) Sleep(10);
            continue;
        }
        int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        timeval idle = {kIdleSeconds, 0};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &idle, sizeof idle);
        Dispatch(fd);
    }
}

void Server::Dispatch(int fd) {
    std::lock_guard<std::mutex> lock(poolMutex_);
    unsigned long id = ++nextConnectionId_;
    open_[id] = fd;
    pending_.emplace_back(fd, id);
    if (idleWorkers_ > 0) {
        --idleWorkers_;
        poolSignal_.notify_one();
    } else {
        workers_.emplace_back([this] { WorkerLoop(); });
    }
}

void Server::WorkerLoop() {
    std::unique_lock<std::mutex> lock(poolMutex_);
    while (true) {
        poolSignal_.wait(lock, [this] { return stopping_ || !pending_.empty(); });
        if (stopping_) return;
        auto [fd, id] = pending_.front();
        pending_.pop_front();
        lock.unlock();

        if (Serve(fd, id)) CloseGracefully(fd);

        lock.lock();
        // Closed under the lock so that Stop never shuts down a descriptor number that is already reused.
        close(fd);
        open_.erase(id);
        ++idleWorkers_;
    }
}

// Serves requests until the connection ends. Returns true when the connection should be closed gracefully,
// false when it is already dead or was reset on purpose.
bool Server::Serve(int fd, unsigned long id) {
    std::string buffer;
    char chunk[kReadChunk];
    while (!stopping_) {
        Request request;
        size_t consumed = 0;
        ParseStatus status = ParseRequestHead(buffer, request, consumed);
        if (status == ParseStatus::kIncomplete) {
            ssize_t n = recv(fd, chunk, sizeof chunk, 0);
            if (n <= 0) return false;  // closed by the client, idle time-out, or stopped
            buffer.append(chunk, size_t(n));
            continue;
        }
        if (status == ParseStatus::kInvalid) {
            std::string page = StatusPage(400);
            SendAll(fd, BuildResponseHead({400, kHtmlType, page.size(), false, 0, nullptr}), page);
            return true;
        }
        buffer.erase(0, consumed);
        // The request body is read and dropped.
        size_t body = request.contentLength;
        while (body > 0) {
            if (buffer.empty()) {
                ssize_t n = recv(fd, chunk, sizeof chunk, 0);
                if (n <= 0) return false;
                buffer.append(chunk, size_t(n));
            }
            size_t take = std::min(body, buffer.size());
            buffer.erase(0, take);
            body -= take;
        }
        LogRequest(id, request);
        bool reset = false;
        bool keepGoing = Answer(fd, request, reset);
        if (reset) {
            linger abort = {1, 0};
            setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
            return false;
        }
        if (!keepGoing) return true;
    }
    return false;
}

// Answers one request. Returns whether the connection stays open for another request; sets `reset` when
// the connection must be reset instead of closed.
bool Server::Answer(int fd, const Request& request, bool& reset) {
    Target target = SplitTarget(request.target);
    const FaultRule* fault = FindFault(target.path + target.query);
    int wait = options_.latencyMs + (fault && fault->kind == FaultKind::kDelay ? fault->value : 0);
    if (wait > 0 && !Sleep(wait)) return false;

    if (fault && fault->kind == FaultKind::kReset) {
        reset = true;
        return false;
    }
    if (fault && fault->kind == FaultKind::kHang) {
        Hold(fd);
        return false;
    }

    if (fault && fault->kind == FaultKind::kEndlessHead) {
        SendEndlessHead(fd, fault->value);
        return false;
    }

    std::string location;
    Resource resource;
    if (fault && fault->kind == FaultKind::kRedirect) {
        // The same resource one folder down: "/moved" + the target exactly as it came (its bytes, its query).
        std::string_view raw = request.target;
        if (size_t scheme = raw.find("://"); scheme != std::string_view::npos && raw[0] != '/')
            raw = raw.substr(std::min(raw.find('/', scheme + 3), raw.size()));
        location = "/moved" + std::string(raw.empty() ? "/" : raw);
        resource = {fault->value, std::string(kHtmlType),
                    std::make_shared<const std::string>(StatusPage(fault->value))};
    } else if (fault && fault->kind == FaultKind::kStatus) {
        resource = {fault->value, std::string(kHtmlType),
                    std::make_shared<const std::string>(StatusPage(fault->value))};
    } else if (request.method != "GET" && request.method != "HEAD" && request.method != "POST") {
        resource = {405, std::string(kHtmlType), std::make_shared<const std::string>(StatusPage(405))};
    } else {
        resource = Lookup(target, request);
    }
    const std::string& body = *resource.body;
    std::vector<std::string> cookies = options_.cookies;
    if (resource.contentType == kHtmlType)
        cookies.insert(cookies.end(), options_.pageCookies.begin(), options_.pageCookies.end());
    if (fault && (fault->kind == FaultKind::kEndless || fault->kind == FaultKind::kEndlessSized)) {
        bool sized = fault->kind == FaultKind::kEndlessSized;
        std::string head = BuildResponseHead({resource.status, resource.contentType, size_t(1) << 30, false,
                                              options_.longHeaderBytes, &cookies, sized});
        SendWithoutEnd(fd, head, body);
        return false;
    }
    if (fault && fault->kind == FaultKind::kTrickleSized) {
        std::string head = BuildResponseHead({resource.status, resource.contentType, size_t(256) << 20, false,
                                              options_.longHeaderBytes, &cookies, true});
        if (!SendAll(fd, head, {}) || !Trickle(fd, body, fault->value)) return false;
        while (Sleep(fault->value) && SendAll(fd, " ", {})) {
        }
        return false;
    }
    bool cut = fault && (fault->kind == FaultKind::kCut || fault->kind == FaultKind::kCutUnsized);
    bool keepAlive = request.keepAlive && !cut;
    std::string head =
        BuildResponseHead({resource.status, resource.contentType, body.size(), keepAlive, options_.longHeaderBytes,
                           &cookies, !(fault && fault->kind == FaultKind::kCutUnsized), location});
    std::string_view sent = request.method == "HEAD" ? std::string_view() : std::string_view(body);

    if (cut) {
        SendAll(fd, head, sent.substr(0, sent.size() / 2));
        return false;
    }
    if (fault && fault->kind == FaultKind::kTrickle) {
        if (!Trickle(fd, head + std::string(sent), fault->value)) return false;
        return keepAlive;
    }
    if (!SendAll(fd, head, sent)) return false;
    return keepAlive;
}

Resource Server::Lookup(const Target& requested, const Request& request) const {
    // What a redirect fault moved to "/moved/..." is served there as at its own place.
    Target target = requested;
    if (target.path.rfind("/moved/", 0) == 0) target.path.erase(0, 6);
    if (auto it = overrides_.find(target.path); it != overrides_.end())
        return {200, it->second.contentType, it->second.body};
    std::string_view host = request.Header("Host");
    std::string origin = "http://" + (PlainHost(host) ? std::string(host) : "127.0.0.1:" + std::to_string(port_));
    return site_.Resolve(target.path, origin);
}

const FaultRule* Server::FindFault(std::string_view text) const {
    for (const FaultRule& rule : options_.faults) {
        if (!GlobMatch(rule.pattern, text)) continue;
        if (!rule.once) return &rule;
        std::lock_guard<std::mutex> lock(onceMutex_);
        if (onceDone_.insert({&rule, std::string(text)}).second) return &rule;
    }
    return nullptr;
}

void Server::LogRequest(unsigned long id, const Request& request) {
    if (!options_.log) return;
    std::lock_guard<std::mutex> lock(logMutex_);
    std::fprintf(options_.log, "=== request %lu connection %lu\n", ++requestCount_, id);
    std::fwrite(request.head.data(), 1, request.head.size(), options_.log);
    std::fflush(options_.log);
}

// Waits `ms` milliseconds; false when the server is stopping.
bool Server::Sleep(int ms) {
    std::unique_lock<std::mutex> lock(stopMutex_);
    return !stopSignal_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopping_.load(); });
}

bool Server::SendAll(int fd, std::string_view head, std::string_view body) {
    iovec parts[2] = {{const_cast<char*>(head.data()), head.size()}, {const_cast<char*>(body.data()), body.size()}};
    iovec* next = parts;
    int count = body.empty() ? 1 : 2;
    while (count > 0) {
        msghdr message = {};
        message.msg_iov = next;
        message.msg_iovlen = size_t(count);
        ssize_t n = sendmsg(fd, &message, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        size_t written = size_t(n);
        while (count > 0 && written >= next->iov_len) {
            written -= next->iov_len;
            ++next, --count;
        }
        if (count > 0) {
            next->iov_base = static_cast<char*>(next->iov_base) + written;
            next->iov_len -= written;
        }
    }
    return true;
}

bool Server::Trickle(int fd, std::string_view bytes, int intervalMs) {
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0 && !Sleep(intervalMs)) return false;
        if (!SendAll(fd, bytes.substr(i, 1), {})) return false;
    }
    return true;
}

// Sends the head and the body, then filler bytes until the client closes the connection or the server stops.
bool Server::SendWithoutEnd(int fd, std::string_view head, std::string_view body) {
    if (!SendAll(fd, head, body)) return false;
    const std::string filler(64 * 1024, ' ');
    while (!stopping_)
        if (!SendAll(fd, filler, {})) return false;
    return false;
}

// An answer whose head never ends: the status line, then one more header line every intervalMs milliseconds
// until the client closes the connection or the server stops.
void Server::SendEndlessHead(int fd, int intervalMs) {
    if (!SendAll(fd, "HTTP/1.1 200 OK\r\n", {})) return;
    for (uint64_t n = 0; !stopping_; ++n) {
        if (!SendAll(fd, "X-Filler-" + std::to_string(n) + ": more\r\n", {}) || !Sleep(intervalMs)) return;
    }
}

// Keeps the connection open without answering until the client closes it or the server stops.
void Server::Hold(int fd) {
    char sink[4096];
    while (!stopping_) {
        ssize_t n = recv(fd, sink, sizeof sink, 0);
        if (n == 0) return;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return;
    }
}

}  // namespace album
