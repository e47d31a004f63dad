// URL rules, header completion and Set-Cookie parsing, built from the kernel's text commands.
#include "app/web/http_rules.h"

#include <string>

namespace app {

namespace {
constexpr const char kSetCookie[] = "Set-Cookie: ";
constexpr int32_t kSetCookieLength = 12;
}  // namespace

Text UrlHost(const Text& url, bool keepPort) {
    int32_t scheme = FindText(url, "http://");
    int32_t start = scheme == -1 ? 1 : scheme + 7;
    int32_t slash = FindText(url, "/", start);
    Text host = slash == -1 ? MidText(url, start, TextLength(url) - start + 1) : MidText(url, start, slash - start);
    if (!keepPort) {
        int32_t colon = FindText(host, ":");
        if (colon != -1) host = LeftText(host, colon - 1);
    }
    return ToLower(host);
}

Text UrlPath(const Text& url) {
    int32_t scheme = FindText(url, "http://");
    int32_t start = scheme == -1 ? 1 : scheme + 7;
    int32_t slash = FindText(url, "/", start);
    if (slash == -1) return Text::Copy("/");
    return MidText(url, slash, TextLength(url) - slash + 1);
}

int32_t UrlPort(const Text& url) {
    Text host = UrlHost(url, true);
    int32_t colon = FindText(host, ":");
    if (colon == -1) return 80;
    // ToInteger truncates toward zero and holds a number past the integer range at its bound.
    double port = ToNumber(MidText(host, colon + 1, TextLength(host) - colon));
    return rt::CallKernel(rt::kToInteger, port).AsInt();
}

Text CompleteRequestHeaders(const Text& headers, const Text& url, bool isPost, const Text& postData) {
    // The names are looked for in the caller's text only, and the Referer value is kept to one line: an address
    // taken from a page must neither suppress a default line nor smuggle in a header line of its own.
    auto lacks = [&](const char* name) { return FindText(headers, name, 1, true) == -1; };
    std::string referer = url.c_str();
    std::erase_if(referer, [](char c) { return c == '\r' || c == '\n'; });
    std::string text = headers.c_str();
    if (lacks("Accept: "))
        text +=
            "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, application/x-shockwave-flash, "
            "application/vnd.ms-excel, application/vnd.ms-powerpoint, application/msword, */*\r\n";
    if (lacks("Referer: ")) text += "Referer: " + referer + "\r\n";
    if (lacks("Accept-Language: ")) text += "Accept-Language: zh-cn\r\n";
    if (isPost && !postData.empty()) {
        if (lacks("Content-Type: ")) text += "Content-Type: application/x-www-form-urlencoded\r\n";
        text += "Content-Length: " + std::string(ToText(TextLength(postData)).c_str()) + "\r\n";
    }
    return Text::Copy(text);
}

bool HasSetCookie(const Text& headers) { return FindText(headers, kSetCookie, 1, true) != -1; }

bool ParseSetCookieLine(const Text& line, Text* name, Text* data) {
    if (FindText(line, kSetCookie, 1, true) == -1) return false;
    Text rest = RightText(line, TextLength(line) - kSetCookieLength);
    int32_t eq = FindText(rest, "=");
    *name = eq == -1 ? Text() : LeftText(rest, eq - 1);
    *data = eq == -1 ? rest : RightText(rest, TextLength(rest) - eq);
    return true;
}

}  // namespace app
