// HTTP/1.x message handling for the album service: request heads, targets, path patterns, response heads.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace album {

struct Request {
    std::string head;  // request line and header lines exactly as received, up to and with the empty line
    std::string method;
    std::string target;                                        // as sent: raw bytes, percent escapes not yet decoded
    std::string version;                                       // "HTTP/1.0" or "HTTP/1.1"
    std::vector<std::pair<std::string, std::string>> headers;  // in the order received
    size_t contentLength = 0;
    bool keepAlive = false;  // HTTP/1.1 unless "Connection: close"; HTTP/1.0 only with "Connection: keep-alive"

    // Value of the first header of that name (any letter case), or empty.
    std::string_view Header(std::string_view name) const;
};

enum class ParseStatus { kIncomplete, kComplete, kInvalid };

inline constexpr size_t kMaxHeadBytes = 64 * 1024;

// Reads one request head from the start of `buffer`. Blank lines before the request line are skipped. The
// head ends at the first empty line, written CR LF or LF alone. On kComplete `consumed` is the number of
// bytes used, the skipped blank lines included. A head over kMaxHeadBytes, a malformed request line, an
// unknown version or an unreadable Content-Length is kInvalid.
ParseStatus ParseRequestHead(std::string_view buffer, Request& request, size_t& consumed);

// "%XX" sequences become their byte; everything else, raw GBK bytes included, is kept as it is.
std::string PercentDecode(std::string_view text);

struct Target {
    std::string path;   // percent-decoded, without the query
    std::string query;  // from "?" on, percent-decoded; empty when there is none
};
// Splits a request target. An absolute target ("http://host/path") loses its scheme and host.
Target SplitTarget(std::string_view target);

char AsciiLower(char c);

// '*' matches any run of bytes (slashes included), '?' one byte; ASCII letters match in any case.
bool GlobMatch(std::string_view pattern, std::string_view text);

const char* ReasonPhrase(int status);

// A short GBK HTML page for an error status.
std::string StatusPage(int status);

struct ResponseHeadFields {
    int status = 200;
    std::string_view contentType;
    size_t contentLength = 0;
    bool keepAlive = true;
    size_t paddingBytes = 0;                            // > 0: an "X-Padding" header with that many bytes of value
    const std::vector<std::string>* cookies = nullptr;  // each becomes a "Set-Cookie" line, in order
    bool lengthSent = true;  // false: no Content-Length line; the body ends when the connection closes
    std::string_view location;  // not empty: a "Location" header with this value
};

// Status line, Server, Content-Type, Content-Length, Location, X-Padding, Set-Cookie lines, Connection, empty
// line.
std::string BuildResponseHead(const ResponseHeadFields& fields);

}  // namespace album
