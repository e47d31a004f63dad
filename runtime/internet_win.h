// Fetches for the program's own stages beside the HttpReadFile command, and the redirects every fetch follows.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace rt {

// HttpReadFile's request, limits and deadline for one address, but with the cookies of the stage's snapshot
// (see cookie_snapshot_win.h) instead of a lookup in the platform's store: the same bytes go on the wire.
// False when the fetch failed, grew past maxBytes or ran past the deadline.
bool FetchWithCookieSnapshot(const std::string& address, size_t maxBytes, uint32_t deadlineMs, std::string* body);

// Whether a sent request's answer is a redirect (301, 302, 303, 307 or 308 with a Location), and where to: the
// address its Location leads to from `address`, or empty when it leads nowhere a fetch may go. Fetches follow
// redirects themselves, at most kMaxRedirects of them: WinINet under Wine follows a redirect loop for ever.
bool IsRedirect(HINTERNET request, const std::string& address, std::string* target);

}  // namespace rt
