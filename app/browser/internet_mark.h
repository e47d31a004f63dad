// The mark browsers give downloads: a Zone.Identifier stream beside the file's data naming the internet zone
// and the address it came from, so that Windows warns before a saved file is opened or run.
#pragma once

#include <string>

namespace app {

// The stream's text for a file downloaded from url.
std::string ZoneIdentifierText(const std::string& url);

// Writes the mark onto the file. Only volumes with named streams get it: elsewhere (FAT, some network shares,
// Wine) "name:Zone.Identifier" would become a second file, so nothing is written and the result is false.
bool MarkFromInternet(const std::string& path, const std::string& url);

}  // namespace app
