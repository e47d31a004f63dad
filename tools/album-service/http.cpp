// Request-head parsing, target decoding, glob matching and response heads.
#include "tools/album-service/http.h"

#include <charconv>

namespace album {
namespace {

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    return true;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

// True when the comma-separated header value holds `token` (any letter case).
bool HasToken(std::string_view value, std::string_view token) {
    while (!value.empty()) {
        size_t comma = value.find(',');
        if (EqualsNoCase(Trim(value.substr(0, comma)), token)) return true;
        if (comma == std::string_view::npos) break;
        value.remove_prefix(comma + 1);
    }
    return false;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = AsciiLower(c);
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Splits a request line into its three space-separated words. Raw GBK bytes never include a space.
bool SplitRequestLine(std::string_view line, Request& request) {
    size_t first = line.find(' ');
    size_t last = line.rfind(' ');
    if (first == std::string_view::npos || first == last) return false;
    request.method = line.substr(0, first);
    request.target = Trim(line.substr(first + 1, last - first - 1));
    request.version = line.substr(last + 1);
    return !request.method.empty() && !request.target.empty() &&
           (request.version == "HTTP/1.1" || request.version == "HTTP/1.0");
}

}  // namespace

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

std::string_view Request::Header(std::string_view name) const {
    for (const auto& [key, value] : headers)
        if (EqualsNoCase(key, name)) return value;
    return {};
}

ParseStatus ParseRequestHead(std::string_view buffer, Request& request, size_t& consumed) {
    size_t start = 0;
    while (start < buffer.size() && (buffer[start] == '\r' || buffer[start] == '\n')) ++start;
    std::string_view rest = buffer.substr(start);

    // The head ends at the first line that is empty (CR LF or LF alone).
    size_t end = std::string_view::npos;
    for (size_t pos = rest.find('\n'); pos != std::string_view::npos; pos = rest.find('\n', pos + 1)) {
        size_t next = pos + 1;
        if (next < rest.size() && rest[next] == '\n') {
            end = next + 1;
            break;
        }
        if (next + 1 < rest.size() && rest[next] == '\r' && rest[next + 1] == '\n') {
            end = next + 2;
            break;
        }
    }
    if (end == std::string_view::npos)
        return rest.size() > kMaxHeadBytes ? ParseStatus::kInvalid : ParseStatus::kIncomplete;
    if (end > kMaxHeadBytes) return ParseStatus::kInvalid;

    request = Request();
    request.head = rest.substr(0, end);
    std::string_view lines = rest.substr(0, end);
    size_t lineEnd = lines.find('\n');
    if (!SplitRequestLine(Trim(lines.substr(0, lineEnd)), request)) return ParseStatus::kInvalid;
    lines.remove_prefix(lineEnd + 1);
    while (!lines.empty()) {
        lineEnd = lines.find('\n');
        std::string_view line = lines.substr(0, lineEnd);
        lines.remove_prefix(lineEnd == std::string_view::npos ? lines.size() : lineEnd + 1);
        size_t colon = line.find(':');
        if (colon == std::string_view::npos) continue;  // the empty line, or a line that is no header
        request.headers.emplace_back(Trim(line.substr(0, colon)), Trim(line.substr(colon + 1)));
    }

    std::string_view length = request.Header("Content-Length");
    if (!length.empty()) {
        auto [ptr, ec] = std::from_chars(length.data(), length.data() + length.size(), request.contentLength);
        if (ec != std::errc() || ptr != length.data() + length.size()) return ParseStatus::kInvalid;
    }
    // Request bodies are read by length only.
    if (!request.Header("Transfer-Encoding").empty()) return ParseStatus::kInvalid;

    std::string_view connection = request.Header("Connection");
    request.keepAlive =
        request.version == "HTTP/1.1" ? !HasToken(connection, "close") : HasToken(connection, "keep-alive");
    consumed = start + end;
    return ParseStatus::kComplete;
}

std::string PercentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 && HexDigit(text[i + 2]) >= 0) {
            out += char(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

Target SplitTarget(std::string_view target) {
    if (target.size() >= 7 && EqualsNoCase(target.substr(0, 7), "http://")) {
        size_t slash = target.find('/', 7);
        target = slash == std::string_view::npos ? std::string_view("/") : target.substr(slash);
    }
    size_t question = target.find('?');
    Target out;
    out.path = PercentDecode(target.substr(0, question));
    if (question != std::string_view::npos) out.query = PercentDecode(target.substr(question));
    return out;
}

bool GlobMatch(std::string_view pattern, std::string_view text) {
    // Iterative matching with one remembered star: linear in practice, no recursion.
    size_t p = 0, t = 0, starP = std::string_view::npos, starT = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starT = t;
        } else if (p < pattern.size() && (pattern[p] == '?' || AsciiLower(pattern[p]) == AsciiLower(text[t]))) {
            ++p, ++t;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            t = ++starT;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

const char* ReasonPhrase(int status) {
    switch (status) {
        case 200: return "OK";
        case 400: return "Bad Request";
        case 403: return "Forbidden";
        case 404: return "Not Found";
        case 405: return "Method Not Allowed";
        case 500: return "Internal Server Error";
        case 501: return "Not Implemented";
        case 502: return "Bad Gateway";
        case 503: return "Service Unavailable";
        default: return "Status";
    }
}

std::string StatusPage(int status) {
    const char* text = status == 404   ? "找不到页面"
                       : status == 400 ? "请求无效"
                       : status >= 500 ? "服务器内部错误"
                                       : "出错了";
    std::string title = std::to_string(status) + " " + ReasonPhrase(status);
    std::string heading = std::to_string(status) + " " + text;
    std::string page = "<!DOCTYPE html>\n<html>\n<head>\n";
    page += "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\">\n";
    page += "<title>" + title + "</title>\n</head>\n<body>\n<h1>" + heading + "</h1>\n</body>\n</html>\n";
    return page;
}

std::string BuildResponseHead(const ResponseHeadFields& fields) {
    std::string head = "HTTP/1.1 " + std::to_string(fields.status) + " " + ReasonPhrase(fields.status) + "\r\n";
    head += "Server: album-service\r\n";
    head += "Content-Type: " + std::string(fields.contentType) + "\r\n";
    if (fields.lengthSent) head += "Content-Length: " + std::to_string(fields.contentLength) + "\r\n";
    if (!fields.location.empty()) head += "Location: " + std::string(fields.location) + "\r\n";
    if (fields.paddingBytes > 0) head += "X-Padding: " + std::string(fields.paddingBytes, 'x') + "\r\n";
    if (fields.cookies)
        for (const std::string& cookie : *fields.cookies) head += "Set-Cookie: " + cookie + "\r\n";
    head += fields.keepAlive ? "Connection: keep-alive\r\n\r\n" : "Connection: close\r\n\r\n";
    return head;
}

}  // namespace album
