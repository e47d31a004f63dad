// Whether a file's first and last bytes show a whole picture: a body that ends when its connection closes,
// without an announced length, may have been cut anywhere, and only the format's own end marker tells.
#pragma once

#include <string_view>

namespace app {

// Bytes of the file's start and end that the check needs.
constexpr size_t kPictureHeadBytes = 8;
constexpr size_t kPictureTailBytes = 16;

// head: the file's first bytes; tail: its last bytes (the same bytes when the file is short). True for a JPEG
// that ends with its end-of-image marker FF D9 (NUL padding after it allowed), a PNG that ends with its IEND
// chunk, and a GIF that ends with its trailer 3B.
bool IsWholePicture(std::string_view head, std::string_view tail);

}  // namespace app
