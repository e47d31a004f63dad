// Platform-free rules of the internet and shell libraries (URL parts, read-buffer size, shortcut file names) and
// the order of the library tables.
#include <gtest/gtest.h>

#include <cstring>

#include "runtime/library_commands.h"
#include "runtime/library_rules.h"

namespace rt {
namespace {

TEST(SplitUrl, PartsOfAPlainAddress) {
    UrlParts u;
    ASSERT_TRUE(SplitUrl("http://www.example.com/photo/a.jpg?x=1&y=2#top", &u));
    EXPECT_EQ(u.scheme, "http");
    EXPECT_EQ(u.host, "www.example.com");
    EXPECT_EQ(u.port, 80);
    EXPECT_EQ(u.path, "/photo/a.jpg?x=1&y=2");
    EXPECT_FALSE(u.secure);
    EXPECT_EQ(u.user, "");
}

TEST(SplitUrl, PortUserPasswordAndSecureScheme) {
    UrlParts u;
    ASSERT_TRUE(SplitUrl("HTTPS://me:p@ss@127.0.0.1:8443", &u));
    EXPECT_EQ(u.scheme, "https");
    EXPECT_TRUE(u.secure);
    EXPECT_EQ(u.user, "me");
    EXPECT_EQ(u.password, "p@ss");
    EXPECT_EQ(u.host, "127.0.0.1");
    EXPECT_EQ(u.port, 8443);
    EXPECT_EQ(u.path, "/");
    ASSERT_TRUE(SplitUrl("https://[::1]/a", &u));
    EXPECT_EQ(u.host, "::1");
    EXPECT_EQ(u.port, 443);
    ASSERT_TRUE(SplitUrl("http://h?q=1", &u));
    EXPECT_EQ(u.path, "/?q=1");
}

// The snapshot key and the address handed to the cookie store come from the parsed parts: every address
// without a path used to share the key "http://", whatever its host.
TEST(CookieKeys, BuiltFromTheParsedHostPortAndFolder) {
    UrlParts a, b;
    ASSERT_TRUE(SplitTransferAddress("http://victim.example", &a));
    ASSERT_TRUE(SplitTransferAddress("http://attacker.example", &b));
    EXPECT_EQ(CookieFolderKey(a), "http://victim.example:80/");
    EXPECT_NE(CookieFolderKey(a), CookieFolderKey(b));
    ASSERT_TRUE(SplitTransferAddress("HTTP://Pexo.Example:8080/abpic/1/a.jpg?v=2", &a));
    EXPECT_EQ(CookieFolderKey(a), "http://pexo.example:8080/abpic/1/");
    EXPECT_EQ(CookieAddress(a), "http://pexo.example:8080/abpic/1/a.jpg?v=2");
    ASSERT_TRUE(SplitTransferAddress("https://[::1]/x/y.jpg", &a));
    EXPECT_EQ(CookieFolderKey(a), "https://[::1]:443/x/");
    EXPECT_EQ(CookieAddress(a), "https://[::1]/x/y.jpg");
    ASSERT_TRUE(SplitTransferAddress("http://h/a/b?c/d", &a));
    EXPECT_EQ(CookieFolderKey(a), "http://h:80/a/");
}

TEST(SplitTransferAddress, RefusesUserInfoAndEncodesSpaces) {
    UrlParts u;
    for (const char* refused : {"http://a@victim.example:80@attacker.example/abpic/x.jpg", "http://u:p@h/x",
                                "http://@h/x", "http://h/a\tb", "http://h/a\x7F", "http://h/a\r\nX: 1"})
        EXPECT_FALSE(SplitTransferAddress(refused, &u)) << refused;
    ASSERT_TRUE(SplitTransferAddress("http://h/my photo 1.jpg", &u));
    EXPECT_EQ(u.path, "/my%20photo%201.jpg");
    EXPECT_EQ(EncodeSpaces(" a  b "), "%20a%20%20b%20");
}

// A header query that behaves as Wine's HttpQueryInfoA does with a double-byte text: asked for its size it
// says 8, and given a buffer of just that size plus one it answers TRUE with the length 0xFFFFFFFF.
TEST(ReadBoundedHeader, NeverTrustsALengthBeyondItsBuffer) {
    const std::string value = "/\xD6\xD0\xCE\xC4.jpg";  // 9 bytes
    auto wine = [&](char* buffer, uint32_t* size) {
        if (!buffer) {
            *size = 8;
            return HeaderQuery::kTooSmall;
        }
        if (*size <= value.size()) {
            *size = 0xFFFFFFFFu;
            return HeaderQuery::kOk;
        }
        std::memcpy(buffer, value.c_str(), value.size() + 1);
        *size = uint32_t(value.size());
        return HeaderQuery::kOk;
    };
    std::string read;
    ASSERT_TRUE(ReadBoundedHeader(wine, &read));
    EXPECT_EQ(read, value);
    // A query that reports the wild length whatever the buffer fails the read instead of being believed.
    auto liar = [](char* buffer, uint32_t* size) {
        *size = buffer ? 0xFFFFFFFFu : 10;
        return buffer ? HeaderQuery::kOk : HeaderQuery::kTooSmall;
    };
    EXPECT_FALSE(ReadBoundedHeader(liar, &read));
    EXPECT_EQ(read, "");
    auto huge = [](char*, uint32_t* size) {
        *size = 0xFFFFFFF0u;
        return HeaderQuery::kTooSmall;
    };
    EXPECT_FALSE(ReadBoundedHeader(huge, &read));
    auto missing = [](char*, uint32_t*) { return HeaderQuery::kFailed; };
    EXPECT_FALSE(ReadBoundedHeader(missing, &read));
}

TEST(RedirectTarget, EveryFormOfLocationLeadsToAnAddress) {
    const std::string from = "http://u:p@127.0.0.1:8080/pic/1005/a.jpg?v=2#top";
    EXPECT_EQ(RedirectTarget(from, "HTTP://other:81/x.jpg#f"), "HTTP://other:81/x.jpg");
    EXPECT_EQ(RedirectTarget(from, "https://h/x"), "https://h/x");
    EXPECT_EQ(RedirectTarget(from, "//cdn:9/x.jpg"), "http://cdn:9/x.jpg");
    EXPECT_EQ(RedirectTarget(from, "/moved/a.jpg?q=1"), "http://u:p@127.0.0.1:8080/moved/a.jpg?q=1");
    EXPECT_EQ(RedirectTarget(from, "b.jpg"), "http://u:p@127.0.0.1:8080/pic/1005/b.jpg");
    EXPECT_EQ(RedirectTarget(from, "../b.jpg"), "http://u:p@127.0.0.1:8080/pic/1005/../b.jpg");
    EXPECT_EQ(RedirectTarget(from, "?v=3"), "http://u:p@127.0.0.1:8080/pic/1005/a.jpg?v=3");
    EXPECT_EQ(RedirectTarget("http://h", "x.jpg"), "http://h/x.jpg");
    EXPECT_EQ(RedirectTarget("http://h?q", "/y"), "http://h/y");
    // Nothing that the fetch could not request: other schemes, control bytes, no host, no Location.
    for (const char* refused : {"", "ftp://h/x", "file:///C:/x", "http:///x", "/a\r\nSet-Cookie: x=1", "//"})
        EXPECT_EQ(RedirectTarget(from, refused), "") << refused;
    EXPECT_EQ(RedirectTarget("no address", "/x"), "");
}

TEST(SplitUrl, PathKeepsItsBytesAndEndsAtTheFirstHash) {
    UrlParts u;
    ASSERT_TRUE(SplitUrl("http://h/用户/%E4+a/#x#y", &u));
    EXPECT_EQ(u.path, "/用户/%E4+a/");
    ASSERT_TRUE(SplitUrl("http://h:81#/not/path", &u));
    EXPECT_EQ(u.port, 81);
    EXPECT_EQ(u.path, "/");
}

TEST(SplitUrl, RefusesWhatCannotBeFetched) {
    UrlParts u;
    EXPECT_FALSE(SplitUrl("", &u));
    EXPECT_FALSE(SplitUrl("www.example.com/a", &u));
    EXPECT_FALSE(SplitUrl("ftp://example.com/a", &u));
    EXPECT_FALSE(SplitUrl("http:///a", &u));
    EXPECT_FALSE(SplitUrl("http://h:0/", &u));
    EXPECT_FALSE(SplitUrl("http://h:65536/", &u));
    EXPECT_FALSE(SplitUrl("http://h:8x/", &u));
    EXPECT_FALSE(SplitUrl("#http://h/", &u));
}

// A page's address may carry any byte its pattern matched: control bytes and spaces would reach the request
// line, where CR LF starts a header of the page's choosing.
TEST(SplitUrl, RefusesControlBytesSpacesAndDelete) {
    UrlParts u;
    for (const char* address :
         std::initializer_list<const char*>{"http://h/a\r\nX-Evil: 1", "http://h/a b", "http://h/\ta", "http://h/a\x7F",
                                            "http://h/a\x01", "http://h/a#\r\n"})
        EXPECT_FALSE(SplitUrl(address, &u)) << address;
    EXPECT_TRUE(IsRequestableAddress("http://h/\xB0\xA1.jpg?v=2"));
    EXPECT_FALSE(IsRequestableAddress("http://h/a\n"));
}

TEST(ReadBufferSize, LengthPlusOneCappedOrTheDefault) {
    EXPECT_EQ(ReadBufferSize(true, 1), 2);
    EXPECT_EQ(ReadBufferSize(true, 102399), 102400);
    EXPECT_EQ(ReadBufferSize(true, 5000000), 102400);
    EXPECT_EQ(ReadBufferSize(true, 0), 10240);
    EXPECT_EQ(ReadBufferSize(true, -4), 10240);
    EXPECT_EQ(ReadBufferSize(false, 500), 10240);
}

TEST(WebPageAddresses, OnlyHttpAndHttpsOfPrintableAsciiReachTheShell) {
    EXPECT_TRUE(IsWebPageAddress("http://127.0.0.1:9/new-version"));
    EXPECT_TRUE(IsWebPageAddress("HTTPS://example.com/a?b=c#d"));
    for (const char* refused : std::initializer_list<const char*>{
             "file:///C:/Windows/notepad.exe", "\\\\server\\share\\setup.exe", "C:\\x.exe",
             "search-ms:query=x&crumb=location:\\\\evil\\s", "ftp://host/x", "mailto:a@b", "javascript:alert(1)",
             "http://", "https:", " http://a/", "http://a/b c", "http://a/\r\nX", "http://a/\x7F", "http://a/\xB0\xA1",
             "", nullptr})
        EXPECT_FALSE(IsWebPageAddress(refused)) << (refused ? refused : "null");
    std::string longest = "http://a/" + std::string(kMaxShellAddressBytes - 9, 'x');
    EXPECT_TRUE(IsWebPageAddress(longest.c_str()));
    EXPECT_FALSE(IsWebPageAddress((longest + "x").c_str()));
}

// A browser's command line holds the address as "%1": a quote in it would end the argument and pass the rest as
// switches of the browser's own, so only the characters an address may hold as it stands reach the shell.
TEST(WebPageAddresses, OnlyCharactersAnAddressMayHoldReachTheShell) {
    EXPECT_TRUE(IsWebPageAddress("http://user:pw@[::1]:8080/a-b._~/c;p=1,2?q=a+b&r=$x*(y)'!#frag"));
    EXPECT_TRUE(IsWebPageAddress("https://h/%E4%BD%A0%22%5C"));
    for (const char* refused : std::initializer_list<const char*>{
             "http://h/a\" --url-quote",
             "http://h/\" --renderer-cmd-prefix=calc \"",
             "http://h\\share\\x",
             "http://h/<script>",
             "http://h/a>b",
             "http://h/a^b",
             "http://h/a|calc",
             "http://h/a`b",
             "http://h/{a}",
         })
        EXPECT_FALSE(IsWebPageAddress(refused)) << refused;
}

TEST(ShortcutFileName, AddsLnkOnlyWhenTheFileHasNoExtension) {
    EXPECT_EQ(ShortcutFileName("C:\\Desk\\Pexo"), "C:\\Desk\\Pexo.lnk");
    EXPECT_EQ(ShortcutFileName("C:\\Desk\\Pexo.lnk"), "C:\\Desk\\Pexo.lnk");
    EXPECT_EQ(ShortcutFileName("C:\\Desk\\a.url"), "C:\\Desk\\a.url");
    // A dot in a folder name is not the file's extension.
    EXPECT_EQ(ShortcutFileName("C:\\my.files\\Pexo"), "C:\\my.files\\Pexo.lnk");
    EXPECT_EQ(ShortcutFileName("C:/my.files/Pexo"), "C:/my.files/Pexo.lnk");
    // 僜 ends in the byte 0x5C: it is a character of the name, not a separator.
    EXPECT_EQ(ShortcutFileName("C:\\d.x\\僜.y"), "C:\\d.x\\僜.y");
    EXPECT_EQ(ShortcutFileName("C:\\d.x\\僜"), "C:\\d.x\\僜.lnk");
}

TEST(LibraryTables, CommandsInTableOrder) {
    EXPECT_STREQ(kThreadCommands[kStartThread].name, "StartThread");
    EXPECT_STREQ(kThreadCommands[kEnterSection].name, "EnterSection");
    EXPECT_STREQ(kThreadCommands[kDeleteSection].name, "DeleteSection");
    EXPECT_STREQ(kRegexCommands[kRegexSearchAll].name, "RegexSearchAll");
    EXPECT_STREQ(kRegexCommands[kRegexMatchText].name, "RegexMatchText");
    EXPECT_STREQ(kRegexCommands[kRegexFree].name, "RegexFree");
    EXPECT_STREQ(kInternetCommands[kHttpReadFile].name, "HttpReadFile");
    EXPECT_STREQ(kShellCommands[kBrowseForFolder].name, "BrowseForFolder");
    EXPECT_STREQ(kShellCommands[kCreateShortcut].name, "CreateShortcut");
    EXPECT_STREQ(kAppInterfaceCommands[kOpenWebPage].name, "OpenWebPage");
}

}  // namespace
}  // namespace rt
