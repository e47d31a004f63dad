// HttpReadFile under Wine's WinINet against a small HTTP server that this test runs on 127.0.0.1.
#include <winsock2.h>
#include <windows.h>
#include <wininet.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "runtime/call.h"
#include "runtime/library_commands.h"
#include "runtime/library_rules.h"
#include "runtime/transfer.h"
#include "tests/win/support/http_test_server.h"

namespace rt {
namespace {

// A TCP socket bound to 127.0.0.1 on a port the system picks; the port is stored. Winsock must be started.
SOCKET BoundLoopbackSocket(uint16_t* port) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    int size = sizeof address;
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &size);
    *port = ntohs(address.sin_port);
    return s;
}

// The test server answering with the raw responses below; a request's head is kept as one text.
class LocalHttpServer {
public:
    explicit LocalHttpServer(std::string (*respond)(const std::string& path))
        : server_([respond](const testing_support::ReceivedRequest& r) {
              size_t start = r.requestLine.find(' ') + 1;
              testing_support::Reply reply;
              reply.raw = respond(r.requestLine.substr(start, r.requestLine.rfind(' ') - start));
              return reply;
          }) {}
    std::string Url(const std::string& rest) const { return server_.Url(rest); }
    std::vector<std::string> Requests() {
        std::vector<std::string> heads;
        for (const auto& r : server_.Requests()) heads.push_back(r.requestLine + "\r\n" + r.headers + "\r\n");
        return heads;
    }

private:
    testing_support::HttpTestServer server_;
};

// A body whose every byte depends on its position, so that a lost or repeated piece shows.
std::string PatternBody(size_t n) {
    std::string body(n, '\0');
    for (size_t i = 0; i < n; ++i) body[i] = char('a' + (i * 7 + i / 251) % 26);
    return body;
}

const std::string kUnsizedBody = PatternBody(300000);
const std::string kSizedBody = PatternBody(250001);

std::string Respond(const std::string& path) {
    if (path == "/missing") return "HTTP/1.0 404 Not Found\r\nContent-Length: 14\r\n\r\nno such page!\n";
    if (path == "/big-unsized") return "HTTP/1.0 200 OK\r\n\r\n" + kUnsizedBody;
    if (path == "/big-sized")
        return "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(kSizedBody.size()) + "\r\n\r\n" + kSizedBody;
    return "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\npath=" + path;
}

std::string Fetch(const std::string& url) {
    Value r = CallLibrary(kInternetCommands[kHttpReadFile].fn, url.c_str());
    EXPECT_TRUE(r.tag == kTagBytes) << url;
    Bytes body = BytesResult(r);
    return std::string(reinterpret_cast<const char*>(body.data()), body.size());
}

// A thumbnail's fetch: HttpReadFile's request with the cookies of the stage's snapshot.
bool FetchWithCookieSnapshot(const std::string& url, uint64_t maxBytes, uint32_t deadlineMs, std::string* body) {
    TransferLimits limits;
    limits.maxBytes = maxBytes;
    limits.baseMs = deadlineMs;
    return TransferToMemory(url, WireProfile::kPage, CookieSource::kSnapshot, limits, body);
}

class HttpReadFileTest : public ::testing::Test {
protected:
    LocalHttpServer server{&Respond};
};

TEST_F(HttpReadFileTest, RequestIsHttp10WithTheFixedAgentAndAccept) {
    EXPECT_EQ(Fetch(server.Url("/a/b.txt?x=1#part")), "path=/a/b.txt?x=1");
    ASSERT_EQ(server.Requests().size(), 1u);
    // The fragment is not sent, and the accept type and the added header give one Accept line.
    std::string host = server.Url("").substr(7);
    EXPECT_EQ(server.Requests()[0],
              "GET /a/b.txt?x=1 HTTP/1.0\r\n"
              "Host: " +
                  host +
                  "\r\n"
                  "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)\r\n"
                  "Accept: */*\r\n"
                  "\r\n");
}

TEST_F(HttpReadFileTest, ErrorPageBodyComesBack) { EXPECT_EQ(Fetch(server.Url("/missing")), "no such page!\n"); }

TEST_F(HttpReadFileTest, BodiesLargerThanTheReadBufferArriveWhole) {
    EXPECT_EQ(Fetch(server.Url("/big-unsized")), kUnsizedBody);
    EXPECT_EQ(Fetch(server.Url("/big-sized")), kSizedBody);
}

TEST_F(HttpReadFileTest, PathBytesAreSentAsGiven) {
    EXPECT_EQ(Fetch(server.Url("/用户/%41?q=相册")), "path=/用户/%41?q=相册");
}

TEST_F(HttpReadFileTest, SeveralThreadsAtOnce) {
    std::vector<std::thread> threads;
    std::vector<std::string> bodies(6);
    for (size_t i = 0; i < bodies.size(); ++i)
        threads.emplace_back([&, i] { bodies[i] = Fetch(server.Url("/t" + std::to_string(i))); });
    for (auto& t : threads) t.join();
    for (size_t i = 0; i < bodies.size(); ++i) EXPECT_EQ(bodies[i], "path=/t" + std::to_string(i));
}

// The caller's limits: a body over the largest size it takes, announced or not, and a fetch past its deadline
// are failed fetches (the empty byte set), not truncated bodies.
TEST_F(HttpReadFileTest, BodiesOverTheSizeLimitAndFetchesPastTheDeadlineFail) {
    auto fetch = [](const std::string& url, int32_t maxBytes, int32_t deadlineMs) {
        Bytes body = BytesResult(CallLibrary(kInternetCommands[kHttpReadFile].fn, url.c_str(), maxBytes, deadlineMs));
        return std::string(reinterpret_cast<const char*>(body.data()), body.size());
    };
    int32_t sized = int32_t(kSizedBody.size());
    EXPECT_EQ(fetch(server.Url("/big-sized"), sized, 0), kSizedBody);
    EXPECT_EQ(fetch(server.Url("/big-sized"), sized - 1, 0), "");
    EXPECT_EQ(fetch(server.Url("/big-unsized"), int32_t(kUnsizedBody.size()) - 1, 0), "");
    EXPECT_EQ(fetch(server.Url("/big-unsized"), int32_t(kUnsizedBody.size()), 0), kUnsizedBody);

    testing_support::HttpTestServer slow([](const testing_support::ReceivedRequest&) {
        testing_support::Reply reply;
        reply.delayMs = 4000;
        reply.body = "late";
        return reply;
    });
    EXPECT_EQ(fetch(slow.Url("/slow"), 4096, 1000), "");  // without the deadline: "late"
    EXPECT_EQ(fetch(slow.Url("/slow"), 4096, 10000), "late");

    // An answer trickling in a byte every 200 ms (its head alone takes some 12 s, the whole 30 s) ends at the
    // deadline, not when the answer does: both while the head comes in and while the body does.
    testing_support::HttpTestServer trickle([](const testing_support::ReceivedRequest&) {
        testing_support::Reply reply;
        reply.body = std::string(90, 't');
        reply.pieceBytes = 1;
        reply.pieceDelayMs = 200;
        return reply;
    });
    for (int32_t deadlineMs : {1000, 16000}) {
        ULONGLONG start = GetTickCount64();
        EXPECT_EQ(fetch(trickle.Url("/trickle"), 4096, deadlineMs), "");
        EXPECT_LT(GetTickCount64() - start, ULONGLONG(deadlineMs) + 4000) << deadlineMs;
    }
}

TEST(HttpReadFile, NothingToFetchGivesTheEmptyByteSet) {
    // A port nobody listens on: take a free one and release it.
    WSADATA wsa;
    ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &wsa), 0);
    uint16_t port = 0;
    closesocket(BoundLoopbackSocket(&port));
    WSACleanup();
    std::string closed = "http://127.0.0.1:" + std::to_string(port) + "/x";

    for (const std::string& url : {closed, std::string(), std::string("no address"), std::string("ftp://h/")}) {
        Value r = CallLibrary(kInternetCommands[kHttpReadFile].fn, url.c_str());
        EXPECT_EQ(r.tag, kTagBytes) << url;
        EXPECT_EQ(r.AsPointer(), nullptr) << url;
    }
}

// A fetch with the stage's cookie snapshot puts on the wire exactly what HttpReadFile with the platform's store
// does: the cookies of the address's path and no other, in the same place. A cookie an answer sets reaches the
// store, and the next request into that folder in the stage carries it.
TEST(FetchWithCookieSnapshot, SendsWhatTheStoreWouldAndHandsSetCookiesBack) {
    testing_support::HttpTestServer server([](const testing_support::ReceivedRequest& r) {
        testing_support::Reply reply;
        reply.body = "thumb of " + r.requestLine;
        if (r.requestLine.find("/sets.jpg") != std::string::npos)
            reply.extraHeaders = "Set-Cookie: given=1; path=/abpic/\r\n";
        return reply;
    });
    std::string base = server.Url("/");
    const char* stored[] = {"site=1; path=/", "album=7; path=/abpic/", "elsewhere=1; path=/other/"};
    for (const char* cookie : stored) ASSERT_TRUE(InternetSetCookieA(base.c_str(), nullptr, cookie));
    auto head = [&](size_t i) {
        auto requests = server.Requests();
        return i < requests.size() ? requests[i].requestLine + "\r\n" + requests[i].headers : std::string("none");
    };

    auto forget = [&](const char* cookie) {
        InternetSetCookieA(base.c_str(), nullptr, (cookie + std::string("; expires=Thu, 01-Jan-1970 00:00:00 GMT")).c_str());
    };
    // The same requests twice: first each with the store, then each with a snapshot taken for the stage.
    const std::vector<std::string> paths = {"/abpic/1/a.jpg", "/abpic/1/b.jpg?v=2", "/other/c.jpg", "/d.jpg",
                                            "/abpic/1/sets.jpg", "/abpic/1/e.jpg", "/abpic/2/f.jpg"};
    for (const std::string& path : paths) EXPECT_EQ(Fetch(server.Url(path)), "thumb of GET " + path + " HTTP/1.0");
    forget("given=; path=/abpic/");
    StartCookieSnapshot();
    for (const std::string& path : paths) {
        std::string body;
        ASSERT_TRUE(FetchWithCookieSnapshot(server.Url(path), 4096, 10000, &body)) << path;
        EXPECT_EQ(body, "thumb of GET " + path + " HTTP/1.0");
    }
    for (size_t i = 0; i < paths.size(); ++i) EXPECT_EQ(head(i), head(paths.size() + i)) << paths[i];
    EXPECT_NE(head(0).find("Cookie: album=7; site=1\r\n"), std::string::npos) << head(0);
    EXPECT_EQ(head(2).find("album"), std::string::npos) << head(2);
    EXPECT_NE(head(2).find("elsewhere=1"), std::string::npos) << head(2);
    EXPECT_EQ(head(4).find("given"), std::string::npos) << head(4);
    EXPECT_NE(head(5).find("given=1"), std::string::npos) << head(5);
    EXPECT_NE(head(6).find("given=1"), std::string::npos) << head(6);
    char cookies[512] = "";
    DWORD size = sizeof cookies;
    ASSERT_TRUE(InternetGetCookieA(server.Url("/abpic/9/").c_str(), nullptr, cookies, &size));
    EXPECT_NE(std::string(cookies).find("given=1"), std::string::npos) << cookies;

    for (const char* gone : {"site=; path=/", "album=; path=/abpic/", "elsewhere=; path=/other/", "given=; path=/abpic/"})
        forget(gone);
}

// Thumbnails and HttpReadFile's pages follow redirects to another path and another port, each hop with the
// cookies of its own address; a redirect loop fails after a few hops instead of going round for ever.
TEST(FetchWithCookieSnapshot, FollowsRedirectsAndGivesUpOnALoop) {
    testing_support::HttpTestServer other([](const testing_support::ReceivedRequest& r) {
        testing_support::Reply reply;
        reply.body = "other port: " + r.requestLine + (r.headers.find("Cookie:") == std::string::npos ? "" : " cookie");
        return reply;
    });
    std::atomic<int> hops{0};
    testing_support::HttpTestServer server([&](const testing_support::ReceivedRequest& r) {
        testing_support::Reply reply;
        if (r.requestLine.find("/loop") != std::string::npos) {
            ++hops;
            reply.status = 302;
            reply.extraHeaders = "Location: /loop\r\n";
        } else if (r.requestLine.find("/307") != std::string::npos) {
            reply.status = 307;
            reply.extraHeaders = "Location: " + other.Url("/abpic/x.jpg") + "\r\n";
        } else if (r.requestLine.find("/301") != std::string::npos) {
            reply.status = 301;
            reply.extraHeaders = "Location: moved/x.jpg\r\n";
        } else {
            reply.body = "moved: " + r.requestLine;
        }
        return reply;
    });
    ASSERT_TRUE(InternetSetCookieA(other.Url("/abpic/").c_str(), nullptr, "there=1; path=/abpic/"));
    StartCookieSnapshot();
    std::string body;
    ASSERT_TRUE(FetchWithCookieSnapshot(server.Url("/abpic/301"), 4096, 10000, &body));
    EXPECT_EQ(body, "moved: GET /abpic/moved/x.jpg HTTP/1.0");
    ASSERT_TRUE(FetchWithCookieSnapshot(server.Url("/abpic/307"), 4096, 10000, &body));
    EXPECT_EQ(body, "other port: GET /abpic/x.jpg HTTP/1.0 cookie");
    EXPECT_EQ(Fetch(server.Url("/abpic/307")), "other port: GET /abpic/x.jpg HTTP/1.0 cookie");
    EXPECT_FALSE(FetchWithCookieSnapshot(server.Url("/loop"), 4096, 10000, &body));
    EXPECT_EQ(Fetch(server.Url("/loop")), "");
    EXPECT_EQ(hops.load(), 2 * (kMaxRedirects + 1));
    InternetSetCookieA(other.Url("/abpic/").c_str(), nullptr, "there=; path=/abpic/; expires=Thu, 01-Jan-1970 00:00:00 GMT");
}

}  // namespace
}  // namespace rt
