// Creation and teardown of the application's global variables.
#include "app/shell/globals.h"

#include "runtime/library_commands.h"
#include "runtime/call.h"
#include "runtime/memory.h"

#include <cstring>

namespace app {

int32_t currentPictureIndex = 0;
void* thumbControls = nullptr;
void* thumbUrls = nullptr;
std::atomic<int32_t> busy{0};
int64_t scrollRange = 0;
void* extraContainers = nullptr;
int32_t albumPictureTotal = 0;
void* checkControls = nullptr;
void* pictureUrls = nullptr;
void* downloadList = nullptr;
char* saveFolder = nullptr;
std::atomic<int32_t> nextIndex{0};
std::atomic<int32_t> finishedWorkers{0};
int32_t workLock = 0;
void* albumUrls = nullptr;
void* albumNames = nullptr;
void* albumPictureCounts = nullptr;
void* pageTexts = nullptr;
int32_t pageCount = 0;
char* pageBaseUrl = nullptr;
char* joinedPageText = nullptr;
void* purlPattern = nullptr;
void* pnamePattern = nullptr;
void* pnumPattern = nullptr;
void* forimgsPattern = nullptr;
void* pictureNames = nullptr;
void* psrcMatches = nullptr;
void* psrcPattern = nullptr;
void* pnameMatches = nullptr;

namespace {

void** const kPatterns[] = {&purlPattern, &pnamePattern, &pnumPattern, &forimgsPattern, &psrcPattern};

void* NewPattern() {
    void* variable = rt::MemAlloc(rt::kRegexVariableSize);
    std::memset(variable, 0, size_t(rt::kRegexVariableSize));
    rt::CallLibrary(&rt::RegexInit, rt::Ref{variable, rt::kTagRegex});
    return variable;
}

void FreePattern(void*& variable) {
    if (!variable) return;
    rt::CallLibrary(&rt::RegexFree, rt::Ref{variable, rt::kTagRegex});
    rt::MemFree(variable);
    variable = nullptr;
}

template <typename T>
void FreeOwned(T*& p) {
    rt::MemFree(p);
    p = nullptr;
}

void FreeArrayOf(uint32_t elementTag, void*& array) {
    rt::FreeArray(elementTag, array);
    array = nullptr;
}

}  // namespace

void FreeMatchArray(void* matches) {
    if (!matches) return;
    int64_t n = rt::ArrayCount(matches);
    uint8_t* cells = rt::ArrayElements(matches);
    for (int64_t i = 0; i < n; ++i) {
        void* cell;
        std::memcpy(&cell, cells + i * int64_t(sizeof cell), sizeof cell);
        if (cell) rt::CallLibrary(&rt::RegexMatchFree, rt::Value::Pointer(rt::kTagSearchResult, cell));
    }
    rt::MemFree(matches);
}

void InitGlobals() {
    thumbControls = rt::NewArray(rt::kTagDrawPanel, 0);
    checkControls = rt::NewArray(rt::kTagCheckBox, 0);
    extraContainers = rt::NewArray(rt::kTagShapeBox, 0);
    downloadList = rt::NewArray(rt::kTagInt, 0);
    for (void** texts :
         {&thumbUrls, &pictureUrls, &albumUrls, &albumNames, &albumPictureCounts, &pageTexts, &pictureNames})
        *texts = rt::NewArray(rt::kTagText, 0);
    psrcMatches = rt::NewArray(rt::kTagSearchResult, 0);
    pnameMatches = rt::NewArray(rt::kTagSearchResult, 0);
    for (void** pattern : kPatterns) *pattern = NewPattern();
}

void FreeGlobals() {
    FreeArrayOf(rt::kTagDrawPanel, thumbControls);
    FreeArrayOf(rt::kTagCheckBox, checkControls);
    FreeArrayOf(rt::kTagShapeBox, extraContainers);
    FreeArrayOf(rt::kTagInt, downloadList);
    for (void** texts :
         {&thumbUrls, &pictureUrls, &albumUrls, &albumNames, &albumPictureCounts, &pageTexts, &pictureNames})
        FreeArrayOf(rt::kTagText, *texts);
    FreeMatchArray(psrcMatches);
    FreeMatchArray(pnameMatches);
    psrcMatches = pnameMatches = nullptr;
    FreeOwned(saveFolder);
    FreeOwned(pageBaseUrl);
    FreeOwned(joinedPageText);
    for (void** pattern : kPatterns) FreePattern(*pattern);
}

}  // namespace app
