// Which thumbnail files a grid cell keeps: the ones whose first bytes show a picture the decoder would take.
#pragma once

#include <cstddef>
#include <cstdint>

namespace app {

// True when the file starts as a JPEG, PNG, GIF or BMP does, its header declares sides the decoder accepts (each
// side 1 to ui::kMaxPictureSide, at most ui::kMaxPicturePixels in all) and it is no larger than the decoder reads
// (ui::kMaxPictureBytes). A cell keeps its file for as long as the grid lives, so anything else (an error page, a
// body of filler, a picture claiming 20000 x 20000 pixels) is dropped when it arrives, not kept until drawn.
bool ThumbnailWorthKeeping(const uint8_t* data, size_t size);

}  // namespace app
