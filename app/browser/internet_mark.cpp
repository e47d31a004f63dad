// The text of the internet zone mark.
#include "app/browser/internet_mark.h"

namespace app {

std::string ZoneIdentifierText(const std::string& url) {
    return "[ZoneTransfer]\r\nZoneId=3\r\nHostUrl=" + url + "\r\n";
}

}  // namespace app
