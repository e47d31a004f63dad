// Platform-free rules of the HTTP request worker: URL host, path and port, request-header completion and the
// parsing of Set-Cookie lines.
#pragma once

#include "app/commands.h"

namespace app {

// Host part after the first "http://" (or from the start) up to the first "/", ASCII lower-cased; cut at
// its first ":" unless keepPort.
Text UrlHost(const Text& url, bool keepPort);
// From the first "/" after the host part to the end, query included; "/" when there is none.
Text UrlPath(const Text& url);
// The number after the first ":" of the host part (truncated toward zero, held within the 32-bit range), else 80.
int32_t UrlPort(const Text& url);

// The caller's header text completed with Accept, Referer (the URL as passed, less any CR and LF) and
// Accept-Language lines when their names do not already occur in the caller's text (case-insensitive), and for
// POST with a non-empty body Content-Type (when missing there) and Content-Length.
Text CompleteRequestHeaders(const Text& headers, const Text& url, bool isPost, const Text& postData);

// One response header line: when it carries "Set-Cookie: " (any case), the cookie name (before the first
// "=") and data (after it, attributes included). Returns false for other lines.
bool ParseSetCookieLine(const Text& line, Text* name, Text* data);
// True when the header text carries "Set-Cookie: " anywhere (any case).
bool HasSetCookie(const Text& headers);

}  // namespace app
