// The album and update roots: built in, or taken from the environment once at start for a local service.
#include "app/shell/addresses.h"

#include <cstdlib>
#include <string>

namespace app {

namespace {
std::string albumRoot = kBuiltInAlbumRoot;
std::string updateRoot = kBuiltInUpdateRoot;
}  // namespace

void ReadAddressOverrides() {
    if (const char* v = std::getenv("PEXO_ALBUM_ROOT"); v && *v) albumRoot = v;
    if (const char* v = std::getenv("PEXO_UPDATE_ROOT"); v && *v) updateRoot = v;
}

const char* AlbumRoot() { return albumRoot.c_str(); }
const char* UpdateRoot() { return updateRoot.c_str(); }

}  // namespace app
