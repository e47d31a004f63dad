// How much each fetch may bring and how long it may take: what a broken or hostile server can make the
// program hold and wait for. Over a limit, the fetch fails as a failed fetch does.
#pragma once

#include <cstdint>

namespace app {

// An index page: tens of KB in practice. A larger one fails as a broken page does, rather than hold the
// window thread's scan, and the worker reading it, for as long as the server keeps sending.
constexpr int64_t kPageMaxBytes = 16 << 20;

// A thumbnail: a few KB in practice; one of 4 MiB is no thumbnail.
constexpr int32_t kThumbnailMaxBytes = 4 << 20;
constexpr int32_t kThumbnailDeadlineMs = 60000;

// The version file and the download-address file: a line each. The version is fetched before the window shows,
// so its deadline is what a hanging update server can cost the start.
constexpr int32_t kUpdateFileMaxBytes = 4096;
constexpr int32_t kUpdateFileDeadlineMs = 15000;

}  // namespace app
