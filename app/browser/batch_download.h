// The batch download's state that other parts look at.
#pragma once

namespace app {

// True while a download's workers run; listings and the close guard refuse to act then.
bool DownloadRunning();

}  // namespace app
