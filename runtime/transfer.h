// The program's one transfer engine over WinINet: pages, thumbnails and pictures are requested, redirected (at
// most kMaxRedirects hops, followed here), given their cookies, capped in size and held to their deadlines by the
// same code. What goes on the wire is a profile. This is the runtime's public interface to the network for the
// application; nothing above it calls WinINet for these transfers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace rt {

// The agent of HttpReadFile and HttpRequest.
inline constexpr char kPageAgent[] = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";

// What a transfer puts on the wire.
enum class WireProfile {
    kPage,     // HTTP/1.0 with HttpReadFile's agent and Accept lines: pages, version files and thumbnails
    kPicture,  // HTTP/1.1 kept alive, with the platform's own agent: picture downloads
};

// Where a transfer's cookies come from: the platform's store, which the platform consults per request, or the
// stage's snapshot (see StartCookieSnapshot), sent as the Cookie line the store would have added.
enum class CookieSource { kStore, kSnapshot };

struct TransferLimits {
    uint64_t maxBytes = 0;            // a body (announced or received) larger than this fails
    uint32_t silenceMs = 30000;       // the longest wait for any byte, the answer's head included
    uint32_t baseMs = 0;              // the whole transfer may take this long (0: no whole-transfer deadline) ...
    uint32_t floorBytesPerSecond = 0;  // ... plus what has arrived at this rate (0: baseMs is a fixed deadline)
};

// Receives a transfer's body. Take runs on the transfer's thread; the other two settle a transfer given up.
class TransferSink {
public:
    virtual ~TransferSink() = default;
    // The next bytes of the body; false fails the transfer.
    virtual bool Take(const char* data, size_t size) = 0;
    // On the caller's thread, the moment it gives the transfer up (the transfer may still be running).
    virtual void GivenUp() {}
    // On the transfer's thread once it has ended, when it had been given up.
    virtual void EndedAfterGivingUp() {}
};

// How a body ended.
enum class BodyEnd {
    kFailed,            // a read failed, a limit was crossed, or nothing was requested
    kAnnouncedLength,   // exactly the announced length arrived
    kChunkedEnd,        // a chunked body reached its last chunk
    kConnectionClosed,  // neither length nor chunks: the body ended with its connection, which a cut one does too
};

struct TransferOutcome {
    bool ended = false;  // false: given up (or refused at once); the sink is the transfer's until it ends
    BodyEnd body = BodyEnd::kFailed;
    uint32_t status = 0;
    int64_t contentLength = -1;  // the announced length; -1 when none was announced
    uint64_t received = 0;
};

// Transfers address into sink with the profile, cookies and limits. Spaces in the address go out as %20; an
// address with control bytes, user info or a scheme other than http and https is not requested. A body with a
// Content-Encoding other than identity fails, since nothing asked for one. Giving up (silence, a deadline, the
// size) closes the request from the caller's side; when the platform still cannot stop the thread, the transfer
// counts as abandoned until it ends, and while kMaxAbandonedTransfers are, new transfers fail at once.
TransferOutcome Transfer(const std::string& address, WireProfile profile, CookieSource cookies,
                         const TransferLimits& limits, const std::shared_ptr<TransferSink>& sink);

// A transfer's body in memory: true when the body ended by its length, its last chunk or its connection's close.
bool TransferToMemory(const std::string& address, WireProfile profile, CookieSource cookies,
                      const TransferLimits& limits, std::string* body);

// Transfers given up whose threads still run, and the most the program lets run before it refuses new ones.
constexpr int kMaxAbandonedTransfers = 16;
int AbandonedTransfers();
// For a client of its own (HttpRequest's worker) to count a request it gave up (+1) and its thread's end (-1).
void CountAbandonedTransfer(int change);

// Starts a stage: from now on the snapshot's cookies are looked up afresh, once per scheme, host, port and folder.
void StartCookieSnapshot();

// Lifts the platform's connections per server to the ten transfers that run at once (Windows would otherwise let
// two to six of them transfer). Called once at start-up, before the first request.
void PrepareTransfers();

// Sets a request's send and receive time-outs: the longest silence any wait of it may take.
void LimitRequestWaits(void* request, uint32_t ms);

}  // namespace rt
