// The batch download's state that other parts look at.
#pragma once

namespace app {

// True while a download's workers run; listings and the close guard refuse to act then.
bool DownloadRunning();

// Carries out a download click that arrived while a listing ran; listings call it when they end.
void RunDeferredDownload();

}  // namespace app
