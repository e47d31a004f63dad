// URL rules, request-header completion and Set-Cookie parsing of the HTTP request worker.
#include <gtest/gtest.h>

#include "app/web/http_rules.h"

namespace app {
namespace {

Text T(const char* s) { return Text::Copy(s); }

TEST(UrlRules, HostPortAndPath) {
    Text url = T("http://Host:8080/a/b?x=1");
    EXPECT_EQ(UrlHost(url, false).str(), "host");
    EXPECT_EQ(UrlHost(url, true).str(), "host:8080");
    EXPECT_EQ(UrlPort(url), 8080);
    EXPECT_EQ(UrlPath(url).str(), "/a/b?x=1");
}

TEST(UrlRules, NoPathGivesSlashAndDefaultPort) {
    Text url = T("http://Host");
    EXPECT_EQ(UrlHost(url, false).str(), "host");
    EXPECT_EQ(UrlPort(url), 80);
    EXPECT_EQ(UrlPath(url).str(), "/");
}

TEST(UrlRules, SecureSchemeIsNotRecognised) {
    // "http://" does not occur, so the host runs from the first character and is cut at its colon.
    Text url = T("https://example.com/x");
    EXPECT_EQ(UrlHost(url, false).str(), "https");
    EXPECT_EQ(UrlPath(url).str(), "//example.com/x");
}

TEST(UrlRules, GbkUserNameInPathStaysRawBytes) {
    Text url = T("http://127.0.0.1:81/小明/album/index/3");
    EXPECT_EQ(UrlPath(url).str(), "/小明/album/index/3");
    EXPECT_EQ(UrlPort(url), 81);
    EXPECT_EQ(UrlPort(T("http://h:8x1/")), 8);
}

TEST(UrlRules, PortPastTheIntegerRangeHoldsAtItsBound) {
    // The number was converted to an integer without a range check, which is undefined past the range.
    EXPECT_EQ(UrlPort(T("http://h:99999999999/")), 2147483647);
    EXPECT_EQ(UrlPort(T("http://h:1e999/")), 2147483647);
    EXPECT_EQ(UrlPort(T("http://h:-5e20")), -2147483647 - 1);
    EXPECT_EQ(UrlPort(T("http://h:65535.9/")), 65535);
}

TEST(HeaderCompletion, DefaultsInOrderForAPlainGet) {
    Text h = CompleteRequestHeaders(Text(), T("http://h/p"), false, Text());
    EXPECT_EQ(h.str(),
              "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, application/x-shockwave-flash, "
              "application/vnd.ms-excel, application/vnd.ms-powerpoint, application/msword, */*\r\n"
              "Referer: http://h/p\r\nAccept-Language: zh-cn\r\n");
}

TEST(HeaderCompletion, LowerCaseAcceptSuppressesOnlyTheAcceptLine) {
    Text h = CompleteRequestHeaders(T("accept: */*\r\n"), T("http://h/"), false, Text());
    EXPECT_EQ(h.str(), "accept: */*\r\nReferer: http://h/\r\nAccept-Language: zh-cn\r\n");
}

TEST(HeaderCompletion, AddressInTheRefererLineStaysOneLineAndHidesNoDefault) {
    // An address taken from a page used to go into the Referer line as it was: its CR LF started a header line of
    // its own, and a default name in it suppressed that default line.
    Text h = CompleteRequestHeaders(T("Accept: */*\r\n"), T("http://h/a\r\nAccept-Language: en\nX: 1"), false, Text());
    EXPECT_EQ(h.str(), "Accept: */*\r\nReferer: http://h/aAccept-Language: enX: 1\r\nAccept-Language: zh-cn\r\n");
}

TEST(HeaderCompletion, PostBodyAddsTypeAndLengthEmptyBodyNeither) {
    Text h =
        CompleteRequestHeaders(T("Referer: x\r\nAccept: a\r\nAccept-Language: en\r\n"), T("http://h/"), true, T("a=b"));
    EXPECT_EQ(h.str(),
              "Referer: x\r\nAccept: a\r\nAccept-Language: en\r\n"
              "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: 3\r\n");
    Text empty =
        CompleteRequestHeaders(T("Referer: x\r\nAccept: a\r\nAccept-Language: en\r\n"), T("http://h/"), true, Text());
    EXPECT_EQ(empty.str(), "Referer: x\r\nAccept: a\r\nAccept-Language: en\r\n");
    // A length the caller already gave is still followed by ours; a caller's type is kept.
    Text typed = CompleteRequestHeaders(T("Content-Type: text/plain\r\n"), T("u"), true, T("xy"));
    EXPECT_NE(typed.str().find("Content-Type: text/plain\r\nAccept: "), std::string::npos);
    EXPECT_EQ(typed.str().find("x-www-form-urlencoded"), std::string::npos);
    EXPECT_NE(typed.str().find("Content-Length: 2\r\n"), std::string::npos);
}

TEST(SetCookieLines, NameAndDataSplitAtTheFirstEquals) {
    Text name, data;
    ASSERT_TRUE(ParseSetCookieLine(T("Set-Cookie: sid=a=b; path=/"), &name, &data));
    EXPECT_EQ(name.str(), "sid");
    EXPECT_EQ(data.str(), "a=b; path=/");
    ASSERT_TRUE(ParseSetCookieLine(T("set-cookie: novalue"), &name, &data));
    EXPECT_EQ(name.str(), "");
    EXPECT_EQ(data.str(), "novalue");
    EXPECT_FALSE(ParseSetCookieLine(T("Content-Type: text/html"), &name, &data));
    EXPECT_TRUE(HasSetCookie(T("HTTP/1.1 200 OK\r\nSET-COOKIE: a=1\r\n")));
    EXPECT_FALSE(HasSetCookie(T("HTTP/1.1 200 OK\r\n")));
}

}  // namespace
}  // namespace app
