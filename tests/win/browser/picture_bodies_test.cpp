// What counts as a whole picture when it arrives: its announced length, its chunked end, or for a body that ends
// with its connection its format's structure; an empty or encoded body never does. A picture's time follows
// what has arrived, not what its server announces.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>

#include "app/browser/picture_saver.h"
#include "app/browser/url_download.h"
#include "tests/win/support/files.h"
#include "tests/win/support/http_test_server.h"

namespace app {
namespace {

using testing_support::HttpTestServer;
using testing_support::ReceivedRequest;
using testing_support::Reply;

class PictureBodies : public ::testing::Test {
protected:
    void SetUp() override { folder_ = testing_support::NewTestFolder("pexo-bodies"); }
    void TearDown() override {
        for (int i = 0; i < 100 && !Files().empty(); ++i) {
            for (const std::string& name : Files()) DeleteFileA((folder_ + name).c_str());
            if (!Files().empty()) Sleep(100);  // a download given up lets its file go when its thread ends
        }
        RemoveDirectoryA(folder_.c_str());
    }
    std::set<std::string> Files() { return testing_support::FilesIn(folder_); }
    bool Save(const std::string& url, const PictureLimits& limits = PictureLimits()) {
        return SavePicture(Text::Copy(url), Text::Copy(folder_), limits).saved;
    }

    std::string folder_;
};

// A WebP (no end marker to look for) served in chunks is whole once its last chunk came; cut before it, it is
// not. An empty 200 and a gzip-encoded body (nothing asked for one) are failures, and leave no file.
TEST_F(PictureBodies, ChunkedEmptyAndEncodedBodies) {
    std::string webp = "RIFF" + std::string(4, '\0') + "WEBPVP8 " + std::string(3000, 'w');
    uint32_t riffSize = uint32_t(webp.size() - 8);  // what follows the size field, little-endian
    for (int i = 0; i < 4; ++i) webp[4 + i] = char(riffSize >> (8 * i));
    auto chunked = [&](bool whole) {
        std::string answer = "HTTP/1.1 200 OK\r\nContent-Type: image/webp\r\nTransfer-Encoding: chunked\r\n\r\n";
        for (size_t at = 0; at < webp.size(); at += 1000) {
            char size[16];
            std::snprintf(size, sizeof size, "%zx\r\n", std::min<size_t>(1000, webp.size() - at));
            answer += size + webp.substr(at, 1000) + "\r\n";
        }
        return whole ? answer + "0\r\n\r\n" : answer.substr(0, answer.size() - 500);  // cut inside a chunk
    };
    HttpTestServer server([&](const ReceivedRequest& r) {
        Reply reply;
        const std::string& line = r.requestLine;
        reply.raw = line.find("chunked.webp") != std::string::npos ? chunked(true)
                    : line.find("cut.webp") != std::string::npos   ? chunked(false)
                    : line.find("empty-unsized") != std::string::npos ? "HTTP/1.0 200 OK\r\n\r\n"
                    : line.find("empty") != std::string::npos
                        ? "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"
                        : "HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: 20\r\n\r\n" +
                              std::string("\x1F\x8B\x08\x00", 4) + std::string(16, 'z');
        return reply;
    });
    EXPECT_TRUE(Save(server.Url("/pic/chunked.webp")));
    EXPECT_EQ(testing_support::ReadWhole(folder_ + "chunked.webp"), webp);
    EXPECT_FALSE(Save(server.Url("/pic/cut.webp")));
    EXPECT_FALSE(Save(server.Url("/pic/empty.jpg")));
    EXPECT_FALSE(Save(server.Url("/pic/empty-unsized.jpg")));
    EXPECT_FALSE(Save(server.Url("/pic/packed.jpg")));
    EXPECT_EQ(Files(), std::set<std::string>{"chunked.webp"});
}

// A picture announcing 256 MiB and then trickling a byte every 300 ms is given up once its base time is over:
// the announced length no longer buys it hours. A slow honest line, whose bytes keep coming at more than the
// floor rate, keeps earning time and finishes.
TEST_F(PictureBodies, TimeFollowsWhatArrived) {
    HttpTestServer server([](const ReceivedRequest& r) {
        Reply reply;
        if (r.requestLine.find("trickle") != std::string::npos) {
            reply.raw = "HTTP/1.1 200 OK\r\nContent-Length: 268435456\r\n\r\n" + std::string(100, 't');
            reply.pieceBytes = 1;
            reply.pieceDelayMs = 300;
        } else {
            reply.body = std::string(150000, 'h');  // 5 KB every 100 ms: 3 s
            reply.pieceBytes = 5000;
            reply.pieceDelayMs = 100;
        }
        return reply;
    });
    PictureLimits limits;
    limits.silenceMs = 5000;
    limits.baseMs = 1000;
    limits.bytesPerSecond = 20000;  // the honest line brings 50 KB a second
    ULONGLONG start = GetTickCount64();
    EXPECT_FALSE(Save(server.Url("/pic/trickle.jpg"), limits));
    EXPECT_LT(GetTickCount64() - start, 4000u);
    EXPECT_TRUE(Save(server.Url("/pic/honest.jpg"), limits));
    EXPECT_EQ(testing_support::ReadWhole(folder_ + "honest.jpg"), std::string(150000, 'h'));
}

// Spaces in a picture's address go out as %20, as a browser sends them, and the picture keeps its name.
TEST_F(PictureBodies, SpacesInAddressesAreEncoded) {
    HttpTestServer server([](const ReceivedRequest& r) {
        Reply reply;
        reply.body = r.requestLine;
        return reply;
    });
    EXPECT_TRUE(Save(server.Url("/pic/my photo.jpg")));
    EXPECT_EQ(testing_support::ReadWhole(folder_ + "my photo.jpg"), "GET /pic/my%20photo.jpg HTTP/1.1");
}

}  // namespace
}  // namespace app
