// Fetches for the program's own stages beside the HttpReadFile command.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace rt {

// HttpReadFile's request, limits and deadline for one address, but with the cookies of the stage's snapshot
// (see cookie_snapshot_win.h) instead of a lookup in the platform's store: the same bytes go on the wire.
// False when the fetch failed, grew past maxBytes or ran past the deadline.
bool FetchWithCookieSnapshot(const std::string& address, size_t maxBytes, uint32_t deadlineMs, std::string* body);

}  // namespace rt
