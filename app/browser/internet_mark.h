// The mark browsers give downloads: a Zone.Identifier stream beside the file's data naming the internet zone
// and the address it came from, so that Windows warns before a saved file is opened or run.
#pragma once

#include <string>

namespace app {

// The stream's text for a file downloaded from url.
std::string ZoneIdentifierText(const std::string& url);

enum class InternetMark {
    kWritten,  // the file carries the mark
    kNotKept,  // its volume keeps no named streams, so there is nothing to write
    kFailed,   // the volume keeps them and the mark could not be written
};

// Writes the mark onto the file (a GBK path, written through its long form, so any path the file fits in takes
// the mark). Only volumes with named streams get it: elsewhere (FAT, some network shares, Wine)
// "name:Zone.Identifier" would become a second file, so nothing is written.
InternetMark MarkFromInternet(const std::string& path, const std::string& url);

// Whether the volume holding a path keeps named streams: the volume's own answer, asked once per volume. Tests
// put another answer here, as Wine's volumes keep none.
using NamedStreamsQuery = bool (*)(const std::string& path);
extern NamedStreamsQuery volumeKeepsStreams;

}  // namespace app
