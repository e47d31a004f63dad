// The site's pictures: a coloured card showing the picture's number and its album, encoded as JPEG.
#pragma once

#include <cstdint>
#include <string>

namespace album {

struct Card {
    int width = 0;
    int height = 0;
    int albumId = 0;  // drawn small in the lower right corner and mixed into the colours
    int number = 0;   // drawn large in the middle
};

// An RGB JPEG (quality 85) of the card. Equal cards give equal bytes; cards differing in album or number
// differ in their pixels and so in their bytes.
std::string DrawCardJpeg(const Card& card);

}  // namespace album
