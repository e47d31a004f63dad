// The internet library's platform-free rules: URL splitting, redirect targets and the read-buffer size.
#include <algorithm>
#include <cctype>

#include "runtime/library_rules.h"

namespace rt {

namespace {

bool ParsePort(const std::string& digits, uint16_t* port) {
    if (digits.empty() || digits.size() > 5) return false;
    int32_t value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    if (value < 1 || value > 65535) return false;
    *port = static_cast<uint16_t>(value);
    return true;
}

// Splits "host", "host:port", "[v6]" or "[v6]:port" into the parts.
bool SplitHostPort(const std::string& hostPort, UrlParts* parts) {
    std::string portText;
    if (!hostPort.empty() && hostPort[0] == '[') {
        size_t close = hostPort.find(']');
        if (close == std::string::npos) return false;
        parts->host = hostPort.substr(1, close - 1);
        if (close + 1 < hostPort.size()) {
            if (hostPort[close + 1] != ':') return false;
            portText = hostPort.substr(close + 2);
        }
    } else {
        size_t colon = hostPort.rfind(':');
        parts->host = hostPort.substr(0, colon);
        if (colon != std::string::npos) portText = hostPort.substr(colon + 1);
    }
    if (parts->host.empty()) return false;
    return portText.empty() || ParsePort(portText, &parts->port);
}

}  // namespace

bool IsRequestableAddress(const std::string& address) {
    for (char c : address)
        if (static_cast<unsigned char>(c) < 0x21 || c == 0x7F) return false;
    return true;
}

bool SplitUrl(const std::string& address, UrlParts* parts) {
    *parts = UrlParts{};
    if (!IsRequestableAddress(address)) return false;
    std::string url = address.substr(0, address.find('#'));
    size_t schemeEnd = url.find("://");
    if (schemeEnd == std::string::npos) return false;
    parts->scheme = url.substr(0, schemeEnd);
    std::transform(parts->scheme.begin(), parts->scheme.end(), parts->scheme.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (parts->scheme == "https") {
        parts->secure = true;
        parts->port = 443;
    } else if (parts->scheme == "http") {
        parts->port = 80;
    } else {
        return false;
    }

    size_t authorityStart = schemeEnd + 3;
    size_t pathStart = url.find_first_of("/?", authorityStart);
    std::string authority = url.substr(authorityStart, pathStart - authorityStart);
    parts->path = pathStart == std::string::npos ? "/" : url.substr(pathStart);
    if (parts->path[0] == '?') parts->path = "/" + parts->path;

    size_t at = authority.rfind('@');
    if (at != std::string::npos) {
        parts->hasUserInfo = true;
        std::string userInfo = authority.substr(0, at);
        size_t colon = userInfo.find(':');
        parts->user = userInfo.substr(0, colon);
        if (colon != std::string::npos) parts->password = userInfo.substr(colon + 1);
        authority.erase(0, at + 1);
    }
    return SplitHostPort(authority, parts);
}

std::string RedirectTarget(const std::string& from, const std::string& location) {
    UrlParts base, target;
    if (location.empty() || !SplitUrl(from, &base)) return "";
    std::string address;
    size_t schemeEnd = location.find("://");
    size_t firstSeparator = location.find_first_of("/?");
    if (schemeEnd != std::string::npos && schemeEnd < firstSeparator) {
        address = location;
    } else {
        std::string url = from.substr(0, from.find('#'));
        size_t authorityStart = url.find("://") + 3;
        size_t pathStart = std::min(url.find_first_of("/?", authorityStart), url.size());
        std::string origin = url.substr(0, pathStart);
        if (location.compare(0, 2, "//") == 0) {
            address = url.substr(0, authorityStart - 2) + location;
        } else if (location[0] == '/') {
            address = origin + location;
        } else if (location[0] == '?') {
            address = origin + base.path.substr(0, base.path.find('?')) + location;
        } else {
            std::string path = base.path.substr(0, base.path.find('?'));
            address = origin + path.substr(0, path.rfind('/') + 1) + location;
        }
    }
    return SplitUrl(address, &target) ? address.substr(0, address.find('#')) : "";
}

std::string EncodeSpaces(const std::string& address) {
    std::string encoded;
    encoded.reserve(address.size());
    for (char c : address) {
        if (c == ' ')
            encoded += "%20";
        else
            encoded += c;
    }
    return encoded;
}

bool SplitTransferAddress(const std::string& address, UrlParts* parts) {
    return SplitUrl(EncodeSpaces(address), parts) && !parts->hasUserInfo;
}

namespace {

std::string LowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string Origin(const UrlParts& parts, bool alwaysPort) {
    std::string host = LowerCase(parts.host);
    if (host.find(':') != std::string::npos) host = "[" + host + "]";
    uint16_t ownPort = parts.secure ? 443 : 80;
    std::string port = alwaysPort || parts.port != ownPort ? ":" + std::to_string(parts.port) : "";
    return parts.scheme + "://" + host + port;
}

}  // namespace

std::string CookieAddress(const UrlParts& parts) { return Origin(parts, false) + parts.path; }

std::string CookieFolderKey(const UrlParts& parts) {
    std::string path = parts.path.substr(0, parts.path.find('?'));
    return Origin(parts, true) + path.substr(0, path.rfind('/') + 1);
}

bool ReadBoundedHeader(const std::function<HeaderQuery(char* buffer, uint32_t* size)>& query, std::string* value) {
    value->clear();
    uint32_t needed = 0;
    HeaderQuery first = query(nullptr, &needed);
    if (first == HeaderQuery::kFailed) return false;
    if (first == HeaderQuery::kOk) return true;  // an empty value
    if (needed > (64u << 20)) return false;      // no header is that long; the doubled size must not overflow
    std::string buffer(size_t(needed) * 2 + 2, '\0');
    uint32_t size = uint32_t(buffer.size());
    if (query(buffer.data(), &size) != HeaderQuery::kOk || size >= buffer.size()) return false;
    buffer.resize(size);
    value->swap(buffer);
    return true;
}

int32_t ReadBufferSize(bool lengthKnown, int64_t contentLength) {
    if (!lengthKnown || contentLength <= 0) return 10240;
    return static_cast<int32_t>(std::min<int64_t>(contentLength + 1, 102400));
}

}  // namespace rt
