// Fuzz target: the HTTP worker's URL rules, request-header completion and Set-Cookie line parsing.
// Input: url NUL headers NUL post data NUL response header line NUL tape (its first byte: odd for POST).
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "app/web/http_rules.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using app::Text;
using fuzz::Quote;

// The first occurrence of sub at a character start counted from `from`, as the kernel's FindText sees texts.
size_t FindAtCharacter(const std::string& text, const std::string& sub, size_t from, bool ignoreCase) {
    for (size_t at : fuzz::CharacterStarts(text, from)) {
        if (at + sub.size() > text.size()) break;
        const std::string_view here(text.data() + at, sub.size());
        if (ignoreCase ? fuzz::EqualIgnoringAsciiCase(here, sub) : here == sub) return at;
    }
    return std::string::npos;
}

bool HasUpperCaseLetter(const std::string& text) {
    for (size_t at : fuzz::CharacterStarts(text, 0))
        if (text[at] >= 'A' && text[at] <= 'Z') return true;
    return false;
}

// Host, path and port: the host (with its port kept) followed by the path is what follows "http://", the host
// letters lower-cased; no host holds a "/", the host without its port holds no ":".
void CheckUrlRules(const std::string& url) {
    const Text u = Text::Copy(url);
    const std::string host = app::UrlHost(u, false).str(), hostAndPort = app::UrlHost(u, true).str();
    const std::string path = app::UrlPath(u).str();
    const int32_t port = app::UrlPort(u);

    const size_t scheme = FindAtCharacter(url, "http://", 0, false);
    const size_t start = scheme == std::string::npos ? 0 : scheme + 7;
    const size_t slash = FindAtCharacter(url, "/", start, false);
    FUZZ_CHECK(!path.empty() && path[0] == '/') << Quote(url) << " has path " << Quote(path);
    if (slash != std::string::npos) {
        FUZZ_CHECK(path == url.substr(slash)) << Quote(url) << " has path " << Quote(path);
        FUZZ_CHECK(fuzz::EqualIgnoringAsciiCase(hostAndPort, url.substr(start, slash - start)))
            << Quote(url) << " has host " << Quote(hostAndPort);
    } else {
        FUZZ_CHECK(path == "/") << Quote(url) << " has path " << Quote(path);
        FUZZ_CHECK(fuzz::EqualIgnoringAsciiCase(hostAndPort, url.substr(start)))
            << Quote(url) << " has host " << Quote(hostAndPort);
    }
    FUZZ_CHECK(FindAtCharacter(hostAndPort, "/", 0, false) == std::string::npos) << Quote(hostAndPort);
    FUZZ_CHECK(!HasUpperCaseLetter(hostAndPort)) << Quote(hostAndPort);
    const size_t colon = FindAtCharacter(hostAndPort, ":", 0, false);
    FUZZ_CHECK(host == hostAndPort.substr(0, colon)) << Quote(url) << " has host " << Quote(host);

    // The port is the number after the colon, truncated toward zero and held within the 32-bit range.
    int32_t expected = 80;
    if (colon != std::string::npos) {
        const double number = app::ToNumber(Text::Copy(hostAndPort.substr(colon + 1)));
        expected = int32_t(std::clamp(std::trunc(number), -2147483648.0, 2147483647.0));
    }
    FUZZ_CHECK(port == expected) << Quote(url) << " has port " << port << ", expected " << expected;
}

std::vector<std::string> LinesOf(const std::string& text) {
    std::vector<std::string> lines;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find("\r\n", at);
        FUZZ_CHECK(end != std::string::npos) << "unterminated line in " << Quote(text.substr(at));
        lines.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    return lines;
}

// The completed headers keep the caller's lines and add whole CR LF lines: each default name the caller's text
// lacks once, none that it has, and for a POST with a body its Content-Length.
void CheckHeaderCompletion(std::string headers, const std::string& url, bool isPost, const std::string& postData) {
    if (!headers.empty() && headers.compare(headers.size() - std::min<size_t>(2, headers.size()), 2, "\r\n") != 0)
        headers += "\r\n";  // the caller's lines each end in CR LF
    const std::string all =
        app::CompleteRequestHeaders(Text::Copy(headers), Text::Copy(url), isPost, Text::Copy(postData)).str();
    FUZZ_CHECK(all.compare(0, headers.size(), headers) == 0) << "caller's headers changed: " << Quote(all);
    const std::vector<std::string> added = LinesOf(all.substr(headers.size()));
    FUZZ_CHECK(!all.empty() && all.size() >= 2 && all.compare(all.size() - 2, 2, "\r\n") == 0) << Quote(all);

    const bool withBody = isPost && !postData.empty();
    const std::vector<std::pair<std::string, bool>> names = {
        {"Accept: ", true}, {"Referer: ", true}, {"Accept-Language: ", true}, {"Content-Type: ", withBody}};
    size_t expectedLines = withBody ? 1 : 0;  // Content-Length
    for (const auto& [name, applies] : names) {
        const bool lacking = applies && FindAtCharacter(headers, name, 0, true) == std::string::npos;
        size_t lines = 0;
        for (const std::string& line : added) {
            FUZZ_CHECK(line.find_first_of("\r\n") == std::string::npos) << "line break inside " << Quote(line);
            if (fuzz::EqualIgnoringAsciiCase(line.substr(0, name.size()), name)) ++lines;
        }
        FUZZ_CHECK(lines == (lacking ? 1u : 0u)) << name << "added " << lines << " times to " << Quote(headers)
                                                 << " for " << Quote(url) << ": " << Quote(all);
        expectedLines += lacking ? 1 : 0;
    }
    FUZZ_CHECK(added.size() == expectedLines) << Quote(all);
    if (withBody)
        FUZZ_CHECK(added.back() == "Content-Length: " + std::to_string(postData.size())) << Quote(added.back());
}

// A response header line carrying "Set-Cookie: " gives name "=" data = the line after its first 12 bytes, the
// name without "=".
void CheckSetCookieLine(const std::string& line) {
    Text name = Text::Copy("stale"), data = Text::Copy("stale");
    const bool parsed = app::ParseSetCookieLine(Text::Copy(line), &name, &data);
    const bool carries = FindAtCharacter(line, "Set-Cookie: ", 0, true) != std::string::npos;
    FUZZ_CHECK(parsed == carries) << Quote(line);
    FUZZ_CHECK(app::HasSetCookie(Text::Copy(line)) == carries) << Quote(line);
    if (!parsed) return;
    const std::string rest = line.substr(12);
    const bool hasEquals = FindAtCharacter(rest, "=", 0, false) != std::string::npos;
    FUZZ_CHECK(FindAtCharacter(name.str(), "=", 0, false) == std::string::npos) << Quote(name.str());
    FUZZ_CHECK((hasEquals ? name.str() + "=" : "") + data.str() == rest)
        << Quote(line) << " gives name " << Quote(name.str()) << " and data " << Quote(data.str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fuzz::Fields in = fuzz::SplitAtNul(data, size, 4);
    const bool isPost = !in.tape.empty() && (in.tape[0] & 1);
    CheckUrlRules(in.texts[0]);
    CheckHeaderCompletion(in.texts[1], in.texts[0], isPost, in.texts[2]);
    CheckSetCookieLine(in.texts[3]);
    return 0;
}
