// HttpRequest under Wine against a server in the test process: what is sent, what comes back, cookies,
// long headers, time-outs and a window thread that keeps answering while it waits.
#include <windows.h>
#include <wininet.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "app/web/fetch_limits.h"
#include "app/web/http_request.h"
#include "runtime/transfer.h"
#include "tests/win/support/abandoned_transfers.h"
#include "tests/win/support/http_test_server.h"

namespace app {
namespace {

using testing_support::HttpTestServer;
using testing_support::ReceivedRequest;
using testing_support::Reply;

std::string Str(const Bytes& b) { return std::string(reinterpret_cast<const char*>(b.data()), b.size()); }
Text T(const std::string& s) { return Text::Copy(s); }

constexpr char kDefaultAccept[] =
    "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, application/x-shockwave-flash, "
    "application/vnd.ms-excel, application/vnd.ms-powerpoint, application/msword, */*\r\n";

Reply Echo(const ReceivedRequest& r) {
    Reply reply;
    reply.body = r.requestLine;
    return reply;
}

TEST(HttpRequestSending, UrlOnlyIsAGetWithTheThreeDefaultLinesInOrder) {
    HttpTestServer server(&Echo);
    std::string url = server.Url("/a/b?x=1");
    EXPECT_EQ(Str(HttpRequest(T(url))), "GET /a/b?x=1 HTTP/1.1");
    ASSERT_EQ(server.Requests().size(), 1u);
    const std::string h = server.Requests()[0].headers;  // Requests() returns a copy
    size_t accept = h.find(kDefaultAccept), referer = h.find("Referer: " + url + "\r\n"),
           language = h.find("Accept-Language: zh-cn\r\n");
    ASSERT_NE(accept, std::string::npos) << h;
    ASSERT_NE(referer, std::string::npos) << h;
    ASSERT_NE(language, std::string::npos) << h;
    EXPECT_LT(accept, referer);
    EXPECT_LT(referer, language);
    EXPECT_NE(h.find("User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)"), std::string::npos) << h;
}

TEST(HttpRequestSending, LowerCaseAcceptSuppressesOnlyTheDefaultAccept) {
    HttpTestServer server(&Echo);
    HttpRequestOptions o;
    o.headers = T("accept: text/plain\r\n");
    HttpRequest(T(server.Url("/")), o);
    const std::string h = server.Requests().at(0).headers;
    EXPECT_EQ(h.find("image/gif"), std::string::npos) << h;
    EXPECT_NE(h.find("Referer: "), std::string::npos);
    EXPECT_NE(h.find("Accept-Language: zh-cn"), std::string::npos) << h;
}

TEST(HttpRequestSending, MethodsGetInLowerCasePostAndOthers) {
    HttpTestServer server(&Echo);
    HttpRequestOptions get;
    get.method = T("get");
    EXPECT_EQ(Str(HttpRequest(T(server.Url("/g")), get)), "get /g HTTP/1.1");

    HttpRequestOptions put;
    put.method = T("PUT");
    EXPECT_TRUE(HttpRequest(T(server.Url("/p")), put).empty());

    HttpRequestOptions post;
    post.method = T("POST");
    post.postData = T("a=b");
    EXPECT_EQ(Str(HttpRequest(T(server.Url("/post")), post)), "POST /post HTTP/1.1");
    HttpRequestOptions emptyPost;
    emptyPost.method = T("post");
    HttpRequest(T(server.Url("/empty")), emptyPost);

    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 3u);  // PUT sent nothing
    EXPECT_EQ(requests[1].body, "a=b");
    EXPECT_NE(requests[1].headers.find("Content-Type: application/x-www-form-urlencoded\r\n"), std::string::npos);
    EXPECT_NE(requests[1].headers.find("Content-Length: 3\r\n"), std::string::npos);
    EXPECT_EQ(requests[2].headers.find("x-www-form-urlencoded"), std::string::npos);
}

TEST(HttpRequestSending, BlankProxyIsADirectConnectionAndNoPathRequestsSlash) {
    HttpTestServer server(&Echo);
    HttpRequestOptions o;
    o.proxy = T("   ");
    o.userName = T(" ");
    EXPECT_EQ(Str(HttpRequest(T(server.Url("")), o)), "GET / HTTP/1.1");
}

TEST(HttpRequestSending, SecureSchemeIsNotRecognisedAndGivesEmpty) {
    // The host part of "https://..." is "https": nothing answers there.
    EXPECT_TRUE(HttpRequest(T("https://127.0.0.1:1/x"), HttpRequestOptions{{}, {}, {}, {}, {}, {}, 5}).empty());
}

TEST(HttpRequestBodies, ManyPiecesNulBytesAndEmpty) {
    std::string big;
    for (int i = 0; i < 5000; ++i) big += char('a' + i % 26);
    big[700] = '\0';
    HttpTestServer server([&](const ReceivedRequest& r) {
        Reply reply;
        if (r.requestLine.find("/big") != std::string::npos) reply.body = big;
        if (r.requestLine.find("/404") != std::string::npos) {
            reply.status = 404;
            reply.body = "not here";
        }
        return reply;
    });
    EXPECT_EQ(Str(HttpRequest(T(server.Url("/big")))), big);
    EXPECT_TRUE(HttpRequest(T(server.Url("/empty"))).empty());
    EXPECT_EQ(Str(HttpRequest(T(server.Url("/404")))), "not here");
}

// A page of up to 16 MiB comes back whole; one byte more is a failed request, as a broken page is.
TEST(HttpRequestBodies, PagesOverTheCapFail) {
    std::string page(size_t(kPageMaxBytes), 'p');
    HttpTestServer server([&](const ReceivedRequest& r) {
        Reply reply;
        reply.body = page;
        if (r.requestLine.find("/over") != std::string::npos) reply.body += 'q';
        return reply;
    });
    EXPECT_EQ(HttpRequest(T(server.Url("/cap"))).size(), page.size());
    EXPECT_TRUE(HttpRequest(T(server.Url("/over"))).empty());
}

TEST(HttpRequestResponse, HeadersAreReadWholeAndCookiesReachTheStore) {
    std::string longValue(3000, 'x');
    HttpTestServer server([&](const ReceivedRequest&) {
        Reply reply;
        reply.extraHeaders = "X-Long: " + longValue + "\r\nSet-Cookie: first=1; path=/\r\nSet-Cookie: second=two\r\n";
        reply.body = "ok";
        return reply;
    });
    Text headers;
    HttpRequestOptions o;
    o.responseHeaders = &headers;
    EXPECT_EQ(Str(HttpRequest(T(server.Url("/c")), o)), "ok");
    EXPECT_NE(headers.str().find("X-Long: " + longValue), std::string::npos);
    EXPECT_GT(headers.size(), 3000u);
    char cookies[1024] = {};
    DWORD size = sizeof cookies;
    ASSERT_TRUE(InternetGetCookieA("http://127.0.0.1", nullptr, cookies, &size));
    EXPECT_NE(std::string(cookies).find("first=1"), std::string::npos) << cookies;
    EXPECT_NE(std::string(cookies).find("second=two"), std::string::npos) << cookies;
    // The cookie store outlives the test (it is kept in the Wine prefix): expire both again.
    for (const char* name : {"first", "second"})
        InternetSetCookieA("http://127.0.0.1", name, "gone; expires=Thu, 01-Jan-1970 00:00:00 GMT");
    size = sizeof cookies;
    cookies[0] = 0;
    InternetGetCookieA("http://127.0.0.1", nullptr, cookies, &size);
    EXPECT_EQ(std::string(cookies).find("first="), std::string::npos) << cookies;
}

TEST(HttpRequestTimeOut, SilentServerGivesEmptyWithinTheTimeOutAndTheAbandonedWorkerDoesNoHarm) {
    HttpTestServer server([](const ReceivedRequest& r) {
        Reply reply;
        reply.neverAnswer = r.requestLine.find("/silent") != std::string::npos;
        reply.body = "fine";
        return reply;
    });
    HttpRequestOptions o;
    o.timeoutSeconds = 2;
    ULONGLONG start = GetTickCount64();
    EXPECT_TRUE(HttpRequest(T(server.Url("/silent")), o).empty());
    double seconds = double(GetTickCount64() - start) / 1000;
    EXPECT_GE(seconds, 1.9);
    EXPECT_LT(seconds, 6.0);
    // Later requests work normally while the abandoned one still waits.
    EXPECT_EQ(Str(HttpRequest(T(server.Url("/after")))), "fine");
}

// A worker given up counts among the abandoned transfers while its server holds it, and no longer once the
// connection is gone; while too many are abandoned, a request fails at once without reaching the server.
TEST(HttpRequestTimeOut, AbandonedWorkersAreCountedAndCapped) {
    ASSERT_EQ(testing_support::WaitForNoAbandonedTransfers(), 0);  // earlier tests' servers are gone
    auto server = std::make_unique<HttpTestServer>([](const ReceivedRequest& r) {
        Reply reply;
        reply.neverAnswer = r.requestLine.find("/silent") != std::string::npos;
        reply.body = "fine";
        return reply;
    });
    HttpRequestOptions o;
    o.timeoutSeconds = 1;
    EXPECT_TRUE(HttpRequest(T(server->Url("/silent")), o).empty());
    EXPECT_EQ(rt::AbandonedTransfers(), 1);
    rt::CountAbandonedTransfer(rt::kMaxAbandonedTransfers - 1);  // as if fifteen more were held
    EXPECT_TRUE(HttpRequest(T(server->Url("/refused"))).empty());
    EXPECT_EQ(server->Requests().size(), 1u);
    rt::CountAbandonedTransfer(-(rt::kMaxAbandonedTransfers - 1));
    server.reset();
    EXPECT_EQ(testing_support::WaitForNoAbandonedTransfers(), 0);
}

TEST(HttpRequestTimeOut, MessagesDuringTheWaitDoNotExtendIt) {
    HttpTestServer server([](const ReceivedRequest&) {
        Reply reply;
        reply.neverAnswer = true;
        return reply;
    });
    // A message every 100 ms, as a pointer moving over the window sends them, for longer than the time-out.
    DWORD caller = GetCurrentThreadId();
    std::atomic<bool> stop{false};
    std::thread poster([&] {
        for (int i = 0; i < 80 && !stop; ++i) {
            Sleep(100);
            PostThreadMessageA(caller, WM_NULL, 0, 0);
        }
    });
    HttpRequestOptions o;
    o.timeoutSeconds = 2;
    ULONGLONG start = GetTickCount64();
    EXPECT_TRUE(HttpRequest(T(server.Url("/silent")), o).empty());
    double seconds = double(GetTickCount64() - start) / 1000;
    stop = true;
    poster.join();
    EXPECT_GE(seconds, 1.9);
    EXPECT_LT(seconds, 4.0) << "the messages kept the wait going";
}

// Redirects are followed by the request itself: to another host, each answer's cookies filed under the host
// that sent it (a third-party target sets none for the album host), and a loop given up after five hops
// instead of followed for ever. A Location with GBK bytes (Wine reports a length of 0xFFFFFFFF for such
// header text in a buffer that just fits) is read whole and followed, and the headers with it come back.
TEST(HttpRequestRedirects, FollowedWithinFiveHopsAndCookiesStayWithTheirHost) {
    std::atomic<int> loops{0};
    HttpTestServer other([](const ReceivedRequest& r) {
        Reply reply;
        reply.extraHeaders = "Set-Cookie: third=1; path=/\r\n";
        reply.body = "other: " + r.requestLine;
        return reply;
    });
    HttpTestServer album([&](const ReceivedRequest& r) {
        Reply reply;
        if (r.requestLine.find("/away") != std::string::npos) {
            reply.status = 302;
            reply.extraHeaders = "Location: http://localhost:" + std::to_string(other.port()) + "/landed\r\n";
        } else if (r.requestLine.find("/loop") != std::string::npos) {
            ++loops;
            reply.status = 301;
            reply.extraHeaders = "Location: /loop\r\n";
        } else if (r.requestLine.find("/chinese") != std::string::npos) {
            reply.status = 307;
            reply.extraHeaders = "Location: /相册/小明.html\r\nX-Name: 小明的相册\r\n";
        } else {
            reply.extraHeaders = "X-Title: 旅行\r\n";
            reply.body = "album: " + r.requestLine;
        }
        return reply;
    });
    EXPECT_EQ(Str(HttpRequest(T(album.Url("/away")))), "other: GET /landed HTTP/1.1");
    char cookies[512] = "";
    DWORD size = sizeof cookies;
    InternetGetCookieA("http://127.0.0.1/", nullptr, cookies, &size);
    EXPECT_EQ(std::string(cookies).find("third"), std::string::npos) << cookies;
    size = sizeof cookies;
    cookies[0] = 0;
    ASSERT_TRUE(InternetGetCookieA("http://localhost/", nullptr, cookies, &size));
    EXPECT_NE(std::string(cookies).find("third=1"), std::string::npos) << cookies;
    InternetSetCookieA("http://localhost/", "third", "gone; expires=Thu, 01-Jan-1970 00:00:00 GMT");

    EXPECT_TRUE(HttpRequest(T(album.Url("/loop"))).empty());
    EXPECT_EQ(loops.load(), 6);  // the first request and five redirects

    Text headers;
    HttpRequestOptions o;
    o.responseHeaders = &headers;
    EXPECT_EQ(Str(HttpRequest(T(album.Url("/chinese")), o)), "album: GET /相册/小明.html HTTP/1.1");
    EXPECT_NE(headers.str().find("X-Title: 旅行\r\n"), std::string::npos) << headers.str();
}

LRESULT CALLBACK CountingProc(HWND hwnd, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_APP) ++*reinterpret_cast<int*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    return DefWindowProcA(hwnd, message, w, l);
}

TEST(HttpRequestWaiting, WindowThreadKeepsProcessingMessages) {
    HttpTestServer server([](const ReceivedRequest&) {
        Reply reply;
        reply.delayMs = 1500;
        reply.body = "slow";
        return reply;
    });
    WNDCLASSA wc{};
    wc.lpfnWndProc = CountingProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "HttpRequestWaitingTest";
    RegisterClassA(&wc);
    HWND window = CreateWindowA(wc.lpszClassName, "", 0, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance, nullptr);
    int handled = 0;
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&handled));
    std::thread poster([window] {
        for (int i = 0; i < 5; ++i) {
            Sleep(150);
            PostMessageA(window, WM_APP, 0, 0);
        }
    });
    EXPECT_EQ(Str(HttpRequest(T(server.Url("/slow")))), "slow");
    poster.join();
    EXPECT_EQ(handled, 5);  // every message was dispatched during the fetch, not after it
    DestroyWindow(window);
}

}  // namespace
}  // namespace app
