// Platform-free rules of the internet and shell libraries: splitting a URL, the read-buffer size, link names.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace rt {

// The parts of an http:// or https:// address, taken apart without decoding or re-encoding anything.
struct UrlParts {
    std::string scheme;  // lower case: "http" or "https"
    std::string host;
    uint16_t port = 0;  // 80 or 443 when the address names none
    std::string user;
    std::string password;
    std::string path;  // from the first "/" (or "?") on, query included; "/" when the address has none
    bool secure = false;
    bool hasUserInfo = false;  // the authority holds an "@", even with an empty user
};

// An address may be requested only when it holds no byte below 0x21 (control bytes and the space) and no 0x7F:
// a CR or LF from a page would otherwise end the request line and start headers of the page's choosing.
bool IsRequestableAddress(const std::string& address);

// Splits the address after cutting it at its first "#". False for an address without "scheme://", a scheme
// other than http and https, an empty host, a port that is not a number from 1 to 65535, or an address that is
// not requestable.
bool SplitUrl(const std::string& url, UrlParts* parts);

// The address with every space written as %20, as a browser sends it; other bytes stay as they are, so control
// bytes and DEL still make it unrequestable.
std::string EncodeSpaces(const std::string& address);

// The address the program's own transfers may request: requestable once its spaces are encoded, split, and
// without user info. An address with an "@" in its authority is refused: the platform's parsers do not agree
// where its host begins (the cookie store takes the first "@", the split the last), so the cookies of one host
// could go to another.
bool SplitTransferAddress(const std::string& address, UrlParts* parts);

// The address that names parts to the platform's cookie store: scheme, lower-case host (IPv6 in brackets), the
// port when it is not the scheme's own, and the path with its query. Built from the parts, so the store and
// the request agree on the host.
std::string CookieAddress(const UrlParts& parts);

// The key of a cookie snapshot: scheme, lower-case host, port and the path's folder (up to its last "/", query
// cut), the smallest unit whose cookies are the same for every address in it.
std::string CookieFolderKey(const UrlParts& parts);

// How a header query answered: the value fit, the buffer was too small (the size needed was stored), or the
// query failed (no such header).
enum class HeaderQuery { kOk, kTooSmall, kFailed };

// Reads one header value through query(buffer, &size), which behaves as HttpQueryInfoA: asked with a null buffer
// it stores the size it needs. The value is read into a buffer of twice that size plus 2, and a length the
// query reports beyond the buffer (Wine's WinINet reports 0xFFFFFFFF when a double-byte text does not fit)
// fails the read instead of being trusted. False when the header is missing or cannot be read whole.
bool ReadBoundedHeader(const std::function<HeaderQuery(char* buffer, uint32_t* size)>& query, std::string* value);

// Redirects a fetch follows before it fails: servers chain two or three at most, and a loop must end.
constexpr int kMaxRedirects = 5;

// The address a redirect's Location leads to from the address `from`: an http:// or https:// address as it
// stands (a scheme in any letter case), "//host/..." on from's scheme, "/..." on from's scheme and host, and
// any other reference beside from's last "/" (a query alone, "?..." on from's path). Empty when from does not
// split, the Location is empty, or the result would not split (another scheme, control bytes, no host).
std::string RedirectTarget(const std::string& from, const std::string& location);

// Size of each read of a response body: the Content-Length plus 1, at most 102400; 10240 when the header is
// missing or not positive.
int32_t ReadBufferSize(bool lengthKnown, int64_t contentLength);

// Addresses the program hands to the shell must be web pages: the shell runs whatever it is given, so a
// file:, UNC or protocol-handler address from a server (or whoever sits between) would run a program. Only
// http:// and https:// addresses (any letter case) of the characters RFC 3986 allows in an address (letters,
// digits, "-._~:/?#[]@!$&'()*+,;=" and "%") and at most kMaxShellAddressBytes bytes, with something after the
// "//", pass.
constexpr size_t kMaxShellAddressBytes = 2048;
bool IsWebPageAddress(const char* address);

// The file a shortcut is saved under: the name as given when its file part has an extension (a "."),
// otherwise the name followed by ".lnk". The file part follows the last "\" or "/" that is not a GBK trail byte.
std::string ShortcutFileName(const std::string& name);

}  // namespace rt
