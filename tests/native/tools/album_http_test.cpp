// The album service's message handling and command line: request heads, targets, path patterns, response
// heads, fault rules, options, and the SHA-256 used by its manifest.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "tools/album-service/http.h"
#include "tools/album-service/options.h"
#include "tools/album-service/sha256.h"

namespace album {
namespace {

Request Parse(std::string_view text, ParseStatus expected = ParseStatus::kComplete, size_t* consumed = nullptr) {
    Request request;
    size_t used = 0;
    EXPECT_EQ(ParseRequestHead(text, request, used), expected) << text;
    if (consumed) *consumed = used;
    return request;
}

TEST(RequestHead, KeepsTheHeadVerbatimAndTheHeaderOrder) {
    const std::string head =
        "GET /demo/album HTTP/1.1\r\nAccept: image/gif, */*\r\nReferer: http://h/demo/album\r\n"
        "Accept-Language: zh-cn\r\nUser-Agent: Mozilla/4.0\r\nHost: h\r\n\r\n";
    size_t consumed = 0;
    Request r = Parse(head + "GET /next HTTP/1.1\r\n", ParseStatus::kComplete, &consumed);
    EXPECT_EQ(consumed, head.size());  // a pipelined second request is left for later
    EXPECT_EQ(r.head, head);
    EXPECT_EQ(r.method, "GET");
    EXPECT_EQ(r.target, "/demo/album");
    ASSERT_EQ(r.headers.size(), 5u);
    EXPECT_EQ(r.headers[0].first, "Accept");
    EXPECT_EQ(r.headers[0].second, "image/gif, */*");
    EXPECT_EQ(r.headers[2].first, "Accept-Language");
    EXPECT_EQ(r.Header("referer"), "http://h/demo/album");
    EXPECT_EQ(r.Header("Cookie"), "");
}

TEST(RequestHead, ConnectionPersistenceByVersion) {
    EXPECT_TRUE(Parse("GET / HTTP/1.1\r\n\r\n").keepAlive);
    EXPECT_FALSE(Parse("GET / HTTP/1.1\r\nConnection: close\r\n\r\n").keepAlive);
    EXPECT_FALSE(Parse("GET / HTTP/1.0\r\n\r\n").keepAlive);
    EXPECT_TRUE(Parse("GET / HTTP/1.0\r\nConnection: Keep-Alive\r\n\r\n").keepAlive);
    EXPECT_FALSE(Parse("GET / HTTP/1.1\r\nConnection: TE, close\r\n\r\n").keepAlive);
}

TEST(RequestHead, RawGbkTargetBareLineFeedsAndLeadingBlankLines) {
    Request r = Parse("GET /\xD0\xA1\xC3\xF7/album HTTP/1.0\nHost: h\n\n");
    EXPECT_EQ(r.target, "/\xD0\xA1\xC3\xF7/album");
    EXPECT_EQ(r.Header("Host"), "h");
    size_t consumed = 0;
    Parse("\r\nGET / HTTP/1.1\r\n\r\n", ParseStatus::kComplete, &consumed);
    EXPECT_EQ(consumed, 20u);
    // A trail byte 0x5C or 0x7C is just a byte of the target.
    EXPECT_EQ(Parse("GET /abpic/\x96\x7C\xD5\x5C.jpg HTTP/1.1\r\n\r\n").target, "/abpic/\x96\x7C\xD5\x5C.jpg");
}

TEST(RequestHead, IncompleteAndInvalidHeads) {
    Parse("GET / HTTP/1.1\r\nHost: h\r\n", ParseStatus::kIncomplete);
    Parse("", ParseStatus::kIncomplete);
    Parse("GET / HTTP/2.0\r\n\r\n", ParseStatus::kInvalid);
    Parse("GET /\r\n\r\n", ParseStatus::kInvalid);
    Parse("GET / HTTP/1.1\r\nContent-Length: 12x\r\n\r\n", ParseStatus::kInvalid);
    Parse("POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n", ParseStatus::kInvalid);
    Parse("GET /" + std::string(kMaxHeadBytes, 'a'), ParseStatus::kInvalid);
    EXPECT_EQ(Parse("POST /x HTTP/1.1\r\nContent-Length: 3\r\n\r\nabc").contentLength, 3u);
}

TEST(RequestTarget, DecodesEscapesAndSplitsTheQuery) {
    EXPECT_EQ(PercentDecode("/%D0%a1%C3%F7/album"), "/\xD0\xA1\xC3\xF7/album");
    EXPECT_EQ(PercentDecode("100%zz%4"), "100%zz%4");  // broken escapes stay as they are
    Target t = SplitTarget("/abpic/1008/photo.jpg?v=%32");
    EXPECT_EQ(t.path, "/abpic/1008/photo.jpg");
    EXPECT_EQ(t.query, "?v=2");
    EXPECT_EQ(SplitTarget("http://127.0.0.1:8080/pexo.txt").path, "/pexo.txt");
    EXPECT_EQ(SplitTarget("HTTP://host").path, "/");
    EXPECT_EQ(SplitTarget("/a%3Fb").path, "/a?b");  // an escaped "?" belongs to the path
}

TEST(PathPattern, GlobMatching) {
    EXPECT_TRUE(GlobMatch("*", ""));
    EXPECT_TRUE(GlobMatch("/pic/*", "/pic/1005/IMG_0001.jpg"));
    EXPECT_FALSE(GlobMatch("/pic/*", "/abpic/1005/IMG_0001.jpg"));
    EXPECT_TRUE(GlobMatch("*/abpic/*", "/ABPIC/1008/IMG_0004.JPG"));
    EXPECT_TRUE(GlobMatch("/demo/album/1005/index/?", "/demo/album/1005/index/2"));
    EXPECT_FALSE(GlobMatch("/demo/album/1005/index/?", "/demo/album/1005/index/12"));
    EXPECT_TRUE(GlobMatch("*.jpg", "/pic/a.b.jpg"));
    EXPECT_FALSE(GlobMatch("*.jpg", "/pic/a.jpgx"));
    EXPECT_TRUE(GlobMatch("/pexo.txt", "/pexo.txt"));
    EXPECT_FALSE(GlobMatch("/pexo.txt", "/pexo.txt?x"));
    EXPECT_TRUE(GlobMatch("*a*b*c", "xxaxxbxxbxxc"));
    EXPECT_FALSE(GlobMatch("*a*b*c", "xxaxxcxxb"));
}

TEST(ResponseHead, LineOrderPaddingAndCookies) {
    std::vector<std::string> cookies = {"sid=1; path=/", "theme=blue"};
    std::string head = BuildResponseHead({200, "text/html; charset=gbk", 42, true, 5, &cookies});
    EXPECT_EQ(head,
              "HTTP/1.1 200 OK\r\nServer: album-service\r\nContent-Type: text/html; charset=gbk\r\n"
              "Content-Length: 42\r\nX-Padding: xxxxx\r\nSet-Cookie: sid=1; path=/\r\nSet-Cookie: theme=blue\r\n"
              "Connection: keep-alive\r\n\r\n");
    EXPECT_EQ(BuildResponseHead({404, "text/plain", 0, false, 0, nullptr}),
              "HTTP/1.1 404 Not Found\r\nServer: album-service\r\nContent-Type: text/plain\r\nContent-Length: 0\r\n"
              "Connection: close\r\n\r\n");
    EXPECT_NE(StatusPage(404).find("找不到页面"), std::string::npos);
}

TEST(FaultRules, KindsArgumentsAndRejects) {
    auto rule = ParseFaultRule("500=/pic/*");
    ASSERT_TRUE(rule);
    EXPECT_EQ(rule->kind, FaultKind::kStatus);
    EXPECT_EQ(rule->value, 500);
    EXPECT_EQ(rule->pattern, "/pic/*");
    EXPECT_EQ(ParseFaultRule("trickle=/x")->value, kDefaultTrickleMs);
    EXPECT_EQ(ParseFaultRule("trickle:5=/x")->value, 5);
    EXPECT_EQ(ParseFaultRule("delay:3000=/demo/album")->kind, FaultKind::kDelay);
    EXPECT_EQ(ParseFaultRule("reset=/a=b")->pattern, "/a=b");  // split at the first "="
    EXPECT_EQ(ParseFaultRule("hang=*")->kind, FaultKind::kHang);
    EXPECT_EQ(ParseFaultRule("cut=*")->kind, FaultKind::kCut);
    for (const char* bad : {"500", "500=", "99=/x", "600=/x", "delay=/x", "delay:x=/x", "reset:1=/x", "slow=/x",
                            "trickle:-1=/x", "404:1=/x"})
        EXPECT_FALSE(ParseFaultRule(bad)) << bad;
}

TEST(CommandLine, OptionsFillTheConfiguration) {
    std::string file = ::testing::TempDir() + "album_override.html";
    std::ofstream(file, std::ios::binary) << "<div id=\"forimgs\">{purl:\"/x\"}</div>";
    Config config;
    std::string error;
    ASSERT_TRUE(ParseCommandLine({"--port",         "8080",
                                  "--big",          "500",
                                  "--latency",      "20",
                                  "--version-text", "V1.0\\r\\n",
                                  "--download-url", "http://a/b",
                                  "--fault",        "hang=/pic/*",
                                  "--fault",        "404=/x",
                                  "--set-cookie",   "a=1",
                                  "--set-cookie",   "b=2",
                                  "--page-cookie",  "p=3",
                                  "--long-header",  "2000",
                                  "--override",     "/\xE5\xB0\x8F\xE6\x98\x8E/album=" + file,
                                  "--log",          "-",
                                  "--grow",         "1005:30:3",
                                  "--grown",        "--dump-manifest"},
                                 config, error))
        << error;
    EXPECT_EQ(config.server.port, 8080);
    EXPECT_EQ(config.site.bigAlbumPictures, 500);
    EXPECT_EQ(config.server.latencyMs, 20);
    EXPECT_EQ(config.site.versionText, "V1.0\r\n");
    EXPECT_EQ(config.site.downloadAddress, "http://a/b");
    ASSERT_EQ(config.server.faults.size(), 2u);
    EXPECT_EQ(config.server.faults[0].kind, FaultKind::kHang);
    EXPECT_EQ(config.server.cookies, (std::vector<std::string>{"a=1", "b=2"}));
    EXPECT_EQ(config.server.pageCookies, (std::vector<std::string>{"p=3"}));
    EXPECT_EQ(config.server.longHeaderBytes, 2000u);
    ASSERT_EQ(config.server.overrides.size(), 1u);
    EXPECT_EQ(config.server.overrides[0].path, "/小明/album");  // typed in UTF-8, matched as GBK
    EXPECT_EQ(config.server.overrides[0].contentType, kHtmlType);
    EXPECT_EQ(*config.server.overrides[0].body, "<div id=\"forimgs\">{purl:\"/x\"}</div>");
    EXPECT_EQ(config.logPath, "-");
    EXPECT_TRUE(config.dumpManifest);
    EXPECT_EQ(config.site.growAlbum, 1005);
    EXPECT_EQ(config.site.growAdd, 30);
    EXPECT_EQ(config.site.growChange, 3);
    EXPECT_TRUE(config.site.grown);
    std::remove(file.c_str());
}

TEST(CommandLine, BadOptionsAreReported) {
    const std::vector<std::vector<std::string>> bad = {{"--port", "70000"},
                                                       {"--port", "x"},
                                                       {"--port"},
                                                       {"--bogus"},
                                                       {"--fault", "slow=/x"},
                                                       {"--override", "/x"},
                                                       {"--override", "/x=/no/such/file"},
                                                       {"--latency", "-1"},
                                                       {"--grow", "1005:30"},
                                                       {"--grow", "x:1:2"}};
    for (const auto& args : bad) {
        Config config;
        std::string error;
        EXPECT_FALSE(ParseCommandLine(args, config, error)) << args[0];
        EXPECT_FALSE(error.empty());
    }
}

TEST(CommandLine, TextEscapes) {
    EXPECT_EQ(UnescapeText("V1.0\\r\\n"), "V1.0\r\n");
    EXPECT_EQ(UnescapeText("a\\x00b\\\\c\\q\\"), std::string("a\0b\\c\\q\\", 8));
    EXPECT_EQ(UnescapeText("\\x4"), "\\x4");
    EXPECT_EQ(UnescapeText(""), "");
}

TEST(ManifestFingerprint, Sha256KnownAnswers) {
    EXPECT_EQ(Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    // 56 bytes: the length no longer fits the first final block.
    EXPECT_EQ(Sha256Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(Sha256Hex(std::string(1000000, 'a')), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

}  // namespace
}  // namespace album
