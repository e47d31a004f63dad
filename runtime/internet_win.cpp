// The internet library's HttpReadFile over the transfer engine: HTTP/1.0 with the platform's cookie store.
#include <algorithm>
#include <string>

#include "runtime/args.h"
#include "runtime/library_commands.h"
#include "runtime/memory.h"
#include "runtime/transfer.h"

namespace rt {

void HttpReadFile(Value* result, int32_t argc, Value* args) {
    // Optional limits: the largest body (bytes) and the longest whole fetch (milliseconds; none when omitted).
    TransferLimits limits;
    limits.maxBytes = ArgOmitted(argc, args, 1) ? kMaxHttpBody : uint64_t(std::max(ArgInt(argc, args, 1), 0));
    limits.baseMs = ArgOmitted(argc, args, 2) ? 0 : uint32_t(std::max(ArgInt(argc, args, 2), 0));
    std::string body;
    if (!TransferToMemory(ArgText(argc, args, 0), WireProfile::kPage, CookieSource::kStore, limits, &body))
        return SetBytes(result, nullptr);
    SetBytes(result, NewBytes(body.data(), body.size()));
}

}  // namespace rt
