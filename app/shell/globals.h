// The application's global variables (all 29), created before the main window exists and freed at program end.
#pragma once

#include <atomic>
#include <cstdint>

namespace app {

// Arrays are runtime array blocks (one dimension, empty at start); texts are owned texts (null = empty);
// patterns point to `regex` variables prepared by RegexInit.
extern int32_t currentPictureIndex;           // picture number last clicked (0 = none)
extern void* thumbControls;                   // draw-panel copies, one per picture (control references)
extern void* thumbUrls;                       // thumbnail address of each picture (texts)
extern std::atomic<int32_t> busy;             // 1 while an album or picture listing's page workers run
extern int64_t scrollRange;                   // grid height minus one screen of three rows, in pixels
extern void* extraContainers;                 // copies of 外形框3 for pictures 601 and beyond (control references)
extern int32_t albumPictureTotal;             // picture count of the album being listed
extern void* checkControls;                   // check-box copies, one per picture (control references)
extern void* pictureUrls;                     // full-size address of each picture (texts)
extern void* downloadList;                    // picture numbers to download (integers)
extern char* saveFolder;                      // folder chosen for a download
extern std::atomic<int32_t> nextIndex;        // work items taken so far, changed under workLock
extern std::atomic<int32_t> finishedWorkers;  // workers that have ended, changed under workLock
extern int32_t workLock;                      // critical-section handle
extern void* albumUrls;                       // full address of each album (texts)
extern void* albumNames;                      // name of each album (texts)
extern void* albumPictureCounts;              // picture count of each album as scraped (texts)
extern void* pageTexts;                       // data block of each index page (texts), emptied once joined
extern int32_t pageCount;                     // index pages to fetch
extern char* pageBaseUrl;                     // address "/index/" and the page number are appended to
extern char* joinedPageText;                  // every slot of pageTexts joined in order (read in place by workers)
extern void* purlPattern;                     // album address pattern
extern void* pnamePattern;                    // album and picture name pattern
extern void* pnumPattern;                     // album picture count pattern
extern void* forimgsPattern;                  // index page data block pattern
extern void* pictureNames;                    // name of each picture (texts)
extern void* psrcMatches;                     // psrc matches over joinedPageText (SearchResult array)
extern void* psrcPattern;                     // picture source pattern
extern void* pnameMatches;                    // pname matches over joinedPageText (SearchResult array)

void InitGlobals();
void FreeGlobals();

// Frees an array of matches: each match with RegexMatchFree, then the block.
void FreeMatchArray(void* matches);

}  // namespace app
