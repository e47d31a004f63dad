// End markers of the picture formats a photo album serves.
#include "app/browser/picture_ends.h"

namespace app {

bool IsWholePicture(std::string_view head, std::string_view tail) {
    if (head.substr(0, 3) == std::string_view("\xFF\xD8\xFF", 3)) {
        while (!tail.empty() && tail.back() == '\0') tail.remove_suffix(1);
        return tail.size() >= 2 && tail.substr(tail.size() - 2) == std::string_view("\xFF\xD9", 2);
    }
    if (head.substr(0, 8) == std::string_view("\x89PNG\r\n\x1A\n", 8)) {
        constexpr std::string_view kEnd("IEND\xAE\x42\x60\x82", 8);
        return tail.size() >= kEnd.size() && tail.substr(tail.size() - kEnd.size()) == kEnd;
    }
    if (head.substr(0, 6) == "GIF87a" || head.substr(0, 6) == "GIF89a") return !tail.empty() && tail.back() == ';';
    return false;
}

}  // namespace app
