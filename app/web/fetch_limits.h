// How much each fetch may bring and how long it may take: what a broken or hostile server can make the
// program hold and wait for. Over a limit, the fetch fails as a failed fetch does.
#pragma once

#include <cstdint>

namespace app {

// An index page: tens of KB in practice. A larger one fails as a broken page does, rather than hold the
// window thread's scan, and the worker reading it, for as long as the server keeps sending.
constexpr int64_t kPageMaxBytes = 16 << 20;

// A listing's index pages together: what the joined text and the searches over it may cost. Over it the listing
// keeps the pages it has and asks for no more, as after a broken page. A real album of 12,000 pictures brings a
// few MB of data blocks.
constexpr int64_t kListingMaxBytes = 64 << 20;

// The most albums or pictures one listing forms. The largest real albums hold about 12,000 pictures (the listing
// benchmark's album); past 20,000 the page data is no album but a flood of matches, each costing a record, a cell
// and a thumbnail fetch. The searches stop at this many matches, so the rest of such a listing costs nothing.
constexpr int32_t kListingMaxRecords = 20000;

// A thumbnail: a few KB in practice; one of 4 MiB is no thumbnail.
constexpr int32_t kThumbnailMaxBytes = 4 << 20;
constexpr int32_t kThumbnailDeadlineMs = 60000;
// The thumbnail files one listing keeps in its cells (each cell keeps its file to draw it again). Real thumbnails
// of a few KB make 12,000 cells a few tens of MB; past this the thumbnails that arrive are dropped, as broken ones
// are, so a server that answers every thumbnail with a large file cannot make the grid hold gigabytes.
constexpr int64_t kListingThumbnailMaxBytes = 192 << 20;

// The version file and the download-address file: a line each. The version is fetched before the window shows,
// so its deadline is what a hanging update server can cost the start.
constexpr int32_t kUpdateFileMaxBytes = 4096;
constexpr int32_t kUpdateFileDeadlineMs = 15000;

}  // namespace app
