// What the thumbnail grid offers the batch download: the cells' captions, which show a failed download.
#pragma once

#include <cstdint>

namespace app {

// Sets the check box caption of a picture's cell (1-based): "(N)name", with "[失败]" after the number while the
// picture's last download failed. The mark lasts until the picture is saved or the album is listed again.
void SetCellCaption(int32_t picture, bool failed);

// True while the cell's caption carries the failure mark.
bool CellMarkedFailed(int32_t picture);

}  // namespace app
