// The album service over real sockets: persistence, the request log, the fault rules, cookies, the long
// header, overrides and many connections at once.
#include <gtest/gtest.h>

#include <algorithm>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "tools/album-service/server.h"
#include "tools/album-service/site.h"

namespace album {
namespace {

long long NowMs() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1000LL + t.tv_nsec / 1000000;
}

struct Reply {
    int status = 0;
    std::string head;
    std::string body;
    size_t announced = 0;  // Content-Length
};

// A blocking test client on one connection.
class Client {
public:
    explicit Client(int port, int timeoutMs = 5000) {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(uint16_t(port));
        EXPECT_EQ(connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        timeval timeout = {timeoutMs / 1000, (timeoutMs % 1000) * 1000};
        setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    }
    ~Client() { close(fd_); }

    void Send(std::string_view bytes) {
        ASSERT_EQ(send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL), ssize_t(bytes.size()));
    }

    // Reads one response: its head, then as many body bytes as announced or until the connection ends.
    Reply Read(bool headOnly = false) {
        Reply reply;
        size_t end;
        while ((end = buffer_.find("\r\n\r\n")) == std::string::npos)
            if (!Fill()) return reply;
        reply.head = buffer_.substr(0, end + 4);
        buffer_.erase(0, end + 4);
        reply.status = std::stoi(reply.head.substr(9, 3));
        size_t length = reply.head.find("Content-Length: ");
        if (length != std::string::npos) reply.announced = std::stoul(reply.head.substr(length + 16));
        size_t wanted = headOnly ? 0 : reply.announced;
        while (buffer_.size() < wanted && Fill()) {
        }
        reply.body = buffer_.substr(0, std::min(wanted, buffer_.size()));
        buffer_.erase(0, reply.body.size());
        return reply;
    }

    Reply Get(const std::string& path, const std::string& extra = "Host: test\r\n") {
        Send("GET " + path + " HTTP/1.1\r\n" + extra + "\r\n");
        return Read();
    }

    // At least n bytes (all that has come when the connection ends first).
    std::string ReadAtLeast(size_t n) {
        while (buffer_.size() < n && Fill()) {
        }
        return std::exchange(buffer_, std::string());
    }

    // Everything the server sends until it closes the connection.
    std::string ReadToEnd() {
        while (Fill()) {
        }
        return std::exchange(buffer_, std::string());
    }

    // Waits for the server's end of the connection: 0 after an orderly close, else the errno of the failure
    // (ECONNRESET for a reset, EAGAIN when nothing happened within the time-out). Data counts as no end: -1.
    int WaitForEnd() {
        char byte;
        ssize_t n = recv(fd_, &byte, 1, 0);
        if (n == 0) return 0;
        if (n > 0) return -1;
        return errno;
    }

private:
    bool Fill() {
        char chunk[8192];
        ssize_t n = recv(fd_, chunk, sizeof chunk, 0);
        if (n <= 0) return false;
        buffer_.append(chunk, size_t(n));
        return true;
    }

    int fd_ = -1;
    std::string buffer_;
};

class AlbumServer : public ::testing::Test {
protected:
    static void SetUpTestSuite() { site_ = new Site(SiteOptions()); }
    static void TearDownTestSuite() {
        delete site_;
        site_ = nullptr;
    }

    Server& Start(ServerOptions options = {}) {
        server_ = std::make_unique<Server>(*site_, std::move(options));
        std::string error;
        EXPECT_TRUE(server_->Start(error)) << error;
        return *server_;
    }
    int port() const { return server_->port(); }

    static Site* site_;
    std::unique_ptr<Server> server_;
};
Site* AlbumServer::site_ = nullptr;

TEST_F(AlbumServer, KeepAliveForHttp11AndCloseForHttp10) {
    Start();
    Client client(port());
    for (int i = 0; i < 3; ++i) {
        Reply reply = client.Get("/pexo.txt");
        EXPECT_EQ(reply.status, 200);
        EXPECT_EQ(reply.body, "V1.0");
        EXPECT_NE(reply.head.find("Connection: keep-alive\r\n"), std::string::npos);
    }
    // Two requests in one write are answered in order.
    client.Send("GET /pexo.txt HTTP/1.1\r\nHost: t\r\n\r\nGET /pexoxiazai.txt HTTP/1.1\r\nHost: t\r\n\r\n");
    EXPECT_EQ(client.Read().body, "V1.0");
    EXPECT_EQ(client.Read().body, "http://t/download.html");

    Client old(port());
    old.Send("GET /pexo.txt HTTP/1.0\r\nAccept: */*\r\n\r\n");
    Reply reply = old.Read();
    EXPECT_EQ(reply.body, "V1.0");
    EXPECT_NE(reply.head.find("Connection: close\r\n"), std::string::npos);
    EXPECT_EQ(old.WaitForEnd(), 0);

    Client oldKeepAlive(port());
    oldKeepAlive.Send("GET /pexo.txt HTTP/1.0\r\nConnection: Keep-Alive\r\n\r\n");
    EXPECT_EQ(oldKeepAlive.Read().status, 200);
    EXPECT_EQ(oldKeepAlive.Get("/pexo.txt").status, 200);
}

TEST_F(AlbumServer, PicturePagesCarryTheRequestsHostAsOrigin) {
    Start();
    Client client(port());
    Reply page = client.Get("/demo/album/1002", "Host: example.test:81\r\n");
    EXPECT_NE(page.body.find("psrc:\"http://example.test:81/abpic/1002/IMG_0001.jpg\""), std::string::npos);
    EXPECT_NE(page.head.find("Content-Type: text/html; charset=gbk\r\n"), std::string::npos);

    Client noHost(port());
    noHost.Send("GET /demo/album/1002 HTTP/1.0\r\n\r\n");
    std::string origin = "http://127.0.0.1:" + std::to_string(port());
    EXPECT_NE(noHost.Read().body.find("psrc:\"" + origin + "/abpic/1002/IMG_0001.jpg\""), std::string::npos);

    // The Chinese user's address arrives as raw GBK bytes; the picture comes back as its JPEG.
    EXPECT_EQ(client.Get("/\xD0\xA1\xC3\xF7/album").status, 200);
    Reply picture = client.Get("/pic/1002/IMG_0001.jpg");
    EXPECT_NE(picture.head.find("Content-Type: image/jpeg\r\n"), std::string::npos);
    EXPECT_EQ(picture.body, *site_->Images(site_->albums()[1].firstPicture).full);
}

TEST_F(AlbumServer, LogHoldsEachRequestHeadAsReceived) {
    std::FILE* log = std::tmpfile();
    ServerOptions options;
    options.log = log;
    Start(options);
    const std::string first =
        "GET /demo/album HTTP/1.1\r\nAccept: */*\r\nReferer: http://x/demo/album\r\n"
        "Accept-Language: zh-cn\r\nHost: x\r\n\r\n";
    const std::string second = "GET /\xD0\xA1\xC3\xF7/album HTTP/1.0\nUser-Agent: Mozilla/4.0\n\n";
    Client client(port());
    client.Send(first);
    client.Read();
    Client other(port());
    other.Send(second);
    other.Read();
    server_->Stop();

    std::string logged;
    std::rewind(log);
    for (int c; (c = std::fgetc(log)) != EOF;) logged += char(c);
    std::fclose(log);
    EXPECT_EQ(logged, "=== request 1 connection 1\n" + first + "=== request 2 connection 2\n" + second);
}

TEST_F(AlbumServer, StatusFaultsMatchPathsAndTheFirstRuleWins) {
    ServerOptions options;
    options.faults = {*ParseFaultRule("404=/demo/*"), *ParseFaultRule("500=/demo/album"), *ParseFaultRule("503=*?v=2")};
    Start(options);
    Client client(port());
    EXPECT_EQ(client.Get("/demo/album").status, 404);
    EXPECT_EQ(client.Get("/pic/1008/photo.jpg?v=2").status, 503);
    EXPECT_EQ(client.Get("/pic/1008/a/photo.jpg").status, 200);
    Reply error = client.Get("/demo/album/1005");
    EXPECT_EQ(error.status, 404);
    EXPECT_NE(error.body.find("404"), std::string::npos);
    EXPECT_EQ(client.Get("/pexo.txt").status, 200);  // the connection outlives the errors
}

TEST_F(AlbumServer, OnceFaultsMisbehaveOnTheFirstRequestForEachPathOnly) {
    ServerOptions options;
    options.faults = {*ParseFaultRule("once+500=/pic/1005/*"), *ParseFaultRule("404=/pic/1005/IMG_0002.jpg")};
    Start(options);
    Client client(port());
    EXPECT_EQ(client.Get("/pic/1005/IMG_0001.jpg").status, 500);
    EXPECT_EQ(client.Get("/pic/1005/IMG_0003.jpg").status, 500);
    EXPECT_EQ(client.Get("/pic/1005/IMG_0001.jpg").status, 200);
    EXPECT_EQ(client.Get("/pic/1005/IMG_0001.jpg").status, 200);
    // Once spent, the path falls through to the next rule.
    EXPECT_EQ(client.Get("/pic/1005/IMG_0002.jpg").status, 500);
    EXPECT_EQ(client.Get("/pic/1005/IMG_0002.jpg").status, 404);
}

TEST_F(AlbumServer, ResetCutAndHangFaults) {
    ServerOptions options;
    options.faults = {*ParseFaultRule("reset=/pexo.txt"), *ParseFaultRule("cut=/demo/album"),
                      *ParseFaultRule("hang=/pexoxiazai.txt")};
    Start(options);

    Client reset(port());
    reset.Send("GET /pexo.txt HTTP/1.1\r\nHost: t\r\n\r\n");
    EXPECT_EQ(reset.WaitForEnd(), ECONNRESET);

    Client cut(port());
    Reply partial = cut.Get("/demo/album");
    EXPECT_EQ(partial.status, 200);
    EXPECT_GT(partial.announced, 1000u);
    EXPECT_EQ(partial.body.size(), partial.announced / 2);
    EXPECT_EQ(cut.WaitForEnd(), 0);

    Client held(port(), 300);
    held.Send("GET /pexoxiazai.txt HTTP/1.1\r\nHost: t\r\n\r\n");
    EXPECT_EQ(held.WaitForEnd(), EAGAIN);
    EXPECT_EQ(Client(port()).Get("/newbie/album").status, 200);  // others are still served meanwhile
    server_->Stop();                                             // ends the held connection
    EXPECT_EQ(held.WaitForEnd(), 0);
}

TEST_F(AlbumServer, CutUnsizedSendsHalfTheBodyWithoutALengthAndCloses) {
    ServerOptions options;
    options.faults = {*ParseFaultRule("cut-unsized=*?cut")};
    Start(options);
    std::string whole = Client(port()).Get("/abpic/1005/IMG_0001.jpg").body;
    ASSERT_GT(whole.size(), 1000u);
    Client cut(port());
    cut.Send("GET /abpic/1005/IMG_0001.jpg?cut HTTP/1.1\r\nHost: t\r\n\r\n");
    std::string answer = cut.ReadToEnd();
    size_t end = answer.find("\r\n\r\n");
    ASSERT_NE(end, std::string::npos);
    EXPECT_EQ(answer.substr(0, end).find("Content-Length"), std::string::npos) << answer.substr(0, end);
    EXPECT_EQ(answer.substr(end + 4), whole.substr(0, whole.size() / 2));
}

// A redirect fault sends the client one folder down, where the same resource is served; a pattern that also
// matches the moved path redirects again and again.
TEST_F(AlbumServer, RedirectFaultsLeadToTheMovedResource) {
    ServerOptions options;
    options.faults = {*ParseFaultRule("redirect:307=/pexo.txt"), *ParseFaultRule("redirect:301=*xiazai.txt?x=A")};
    Start(options);
    Client client(port());
    Reply moved = client.Get("/pexo.txt");
    EXPECT_EQ(moved.status, 307);
    EXPECT_NE(moved.head.find("\r\nLocation: /moved/pexo.txt\r\n"), std::string::npos) << moved.head;
    Reply there = client.Get("/moved/pexo.txt");
    EXPECT_EQ(there.status, 200);
    EXPECT_EQ(there.body, "V1.0");
    Reply again = client.Get("/moved/pexoxiazai.txt?x=%41");
    EXPECT_EQ(again.status, 301);
    EXPECT_NE(again.head.find("\r\nLocation: /moved/moved/pexoxiazai.txt?x=%41\r\n"), std::string::npos);
    for (const char* wrong : {"redirect=/x", "redirect:200=/x", "redirect:30x=/x"})
        EXPECT_FALSE(ParseFaultRule(wrong)) << wrong;
}

// A head without end and a body trickling under a huge announced length: what a hostile server does to hold a
// client for good. Both go on until the client closes, never ending on their own.
TEST_F(AlbumServer, EndlessHeadAndTrickleUnderAHugeLength) {
    ServerOptions options;
    options.faults = {*ParseFaultRule("endless-head:5=/demo/album"), *ParseFaultRule("trickle-sized:5=/pexo.txt")};
    Start(options);

    Client head(port(), 2000);
    head.Send("GET /demo/album HTTP/1.1\r\nHost: t\r\n\r\n");
    long long start = NowMs();
    std::string received = head.ReadAtLeast(600);
    EXPECT_GE(received.size(), 600u);
    EXPECT_GE(NowMs() - start, 5 * 20);  // a line every 5 ms, some 20 bytes each
    EXPECT_EQ(received.rfind("HTTP/1.1 200 OK\r\nX-Filler-0: more\r\n", 0), 0u) << received.substr(0, 80);
    EXPECT_EQ(received.find("\r\n\r\n"), std::string::npos);

    Client trickle(port(), 2000);
    trickle.Send("GET /pexo.txt HTTP/1.1\r\nHost: t\r\n\r\n");
    Reply reply = trickle.Read(true);
    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(reply.announced, size_t(256) << 20);
    start = NowMs();
    std::string body = trickle.ReadAtLeast(20);
    EXPECT_EQ(body.rfind("V1.0", 0), 0u) << body;
    EXPECT_GE(NowMs() - start, 5 * 15);  // a byte every 5 ms after the head
    for (const char* wrong : {"endless-head:x=/a", "trickle-sized:-1=/a"}) EXPECT_FALSE(ParseFaultRule(wrong)) << wrong;
}

TEST_F(AlbumServer, TrickleDelayAndLatencySlowTheAnswer) {
    ServerOptions options;
    options.latencyMs = 30;
    options.faults = {*ParseFaultRule("trickle:2=/pexo.txt"), *ParseFaultRule("delay:150=/demo/album")};
    Start(options);
    Client client(port());

    long long start = NowMs();
    Reply trickled = client.Get("/pexo.txt");
    long long took = NowMs() - start;
    EXPECT_EQ(trickled.body, "V1.0");
    EXPECT_GE(took, 30 + 2 * (long long)(trickled.head.size() + 3));

    start = NowMs();
    EXPECT_EQ(client.Get("/demo/album").status, 200);
    EXPECT_GE(NowMs() - start, 180);

    start = NowMs();
    EXPECT_EQ(client.Get("/newbie/album").status, 200);
    took = NowMs() - start;
    EXPECT_GE(took, 30);
    EXPECT_LT(took, 150);
}

TEST_F(AlbumServer, CookiesLongHeaderOverrideAndHead) {
    ServerOptions options;
    options.cookies = {"sid=abc; path=/", "n=2"};
    options.longHeaderBytes = 1500;
    options.overrides = {{"/demo/album", std::string(kHtmlType),
                          std::make_shared<const std::string>("<div id=\"forimgs\">{purl:\"/demo/album/1\"}</div>")}};
    Start(options);
    Client client(port());

    Reply lie = client.Get("/demo/album?x=1");
    EXPECT_EQ(lie.body, "<div id=\"forimgs\">{purl:\"/demo/album/1\"}</div>");
    size_t padding = lie.head.find("X-Padding: " + std::string(1500, 'x') + "\r\n");
    size_t cookie = lie.head.find("Set-Cookie: sid=abc; path=/\r\nSet-Cookie: n=2\r\n");
    ASSERT_NE(padding, std::string::npos);
    ASSERT_NE(cookie, std::string::npos);
    EXPECT_LT(padding, cookie);  // the cookies come after the long header
    EXPECT_GT(lie.head.size(), 1500u);

    Reply real = client.Get("/demo/album/index/0");
    EXPECT_NE(real.body.find("pname:\"旅行\""), std::string::npos);

    client.Send("HEAD /demo/album/index/0 HTTP/1.1\r\nHost: t\r\n\r\n");
    Reply head = client.Read(true);
    EXPECT_EQ(head.status, 200);
    EXPECT_EQ(head.announced, real.body.size());
    EXPECT_EQ(client.Get("/pexo.txt").body, "V1.0");  // no stray body between the two
}

TEST_F(AlbumServer, PageCookiesGoWithHtmlAnswersOnly) {
    ServerOptions options;
    options.cookies = {"all=1"};
    options.pageCookies = {"page=1; path=/"};
    Start(options);
    Client client(port());
    Reply page = client.Get("/demo/album/index/0");
    EXPECT_NE(page.head.find("Set-Cookie: all=1\r\nSet-Cookie: page=1; path=/\r\n"), std::string::npos) << page.head;
    Reply text = client.Get("/pexo.txt");
    EXPECT_NE(text.head.find("Set-Cookie: all=1\r\n"), std::string::npos) << text.head;
    EXPECT_EQ(text.head.find("page=1"), std::string::npos) << text.head;
}

TEST_F(AlbumServer, MalformedRequestsAndOtherMethods) {
    Start();
    Client garbage(port());
    garbage.Send("NONSENSE\r\n\r\n");
    Reply reply = garbage.Read();
    EXPECT_EQ(reply.status, 400);
    EXPECT_EQ(garbage.WaitForEnd(), 0);

    Client client(port());
    client.Send("PUT /pexo.txt HTTP/1.1\r\nHost: t\r\nContent-Length: 5\r\n\r\nhello");
    EXPECT_EQ(client.Read().status, 405);
    client.Send("POST /pexo.txt HTTP/1.1\r\nHost: t\r\nContent-Length: 3\r\n\r\nabc");
    EXPECT_EQ(client.Read().body, "V1.0");  // the body was consumed, not taken for a request
    EXPECT_EQ(client.Get("/pexo.txt").status, 200);
}

TEST_F(AlbumServer, ManyConnectionsAtOnceGetTheirOwnPictures) {
    Start();
    const Album& album = site_->albums()[4];  // 50 pictures, none made yet by this suite's other tests
    std::vector<std::thread> workers;
    std::vector<int> mismatches(10, 0);
    for (int w = 0; w < 10; ++w)
        workers.emplace_back([&, w] {
            Client client(port());
            for (size_t i = 0; i < album.pictureCount; ++i) {
                const Picture& p = site_->pictures()[album.firstPicture + i];
                if (client.Get(p.fullPath).body != *site_->Images(album.firstPicture + i).full) ++mismatches[w];
            }
            // And a fresh connection per request, as a reader without keep-alive makes them.
            for (int i = 0; i < 20; ++i) {
                Client once(port());
                once.Send("GET /pexo.txt HTTP/1.0\r\n\r\n");
                if (once.Read().body != "V1.0") ++mismatches[w];
            }
        });
    for (std::thread& t : workers) t.join();
    EXPECT_EQ(mismatches, std::vector<int>(10, 0));
}

}  // namespace
}  // namespace album
