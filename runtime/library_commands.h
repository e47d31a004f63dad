// The five optional command libraries: their tables in index order, the commands, and the regex object layouts.
#pragma once

#include <cstdint>

#include "runtime/frame.h"

namespace rt {

// Multithread library: worker threads and critical sections.
enum ThreadIndex : int32_t {
    kStartThread = 0,
    kEnterSection = 1,
    kLeaveSection = 2,
    kCreateSection = 3,
    kDeleteSection = 4,
    kThreadCommandCount = 5,
};
extern const CommandEntry kThreadCommands[kThreadCommandCount];

// StartThread(sub-program, integer argument (opt), integer handle variable (opt, by reference)) -> boolean.
// The sub-program argument is a kTagSubProgram value holding a ThreadRoutine.
using ThreadRoutine = int32_t (*)(int32_t argument);
void StartThread(Value* result, int32_t argc, Value* args);
// A section handle is a non-zero integer that names a live section. The application keeps it in a 32-bit
// integer, which cannot hold an x64 address, so it is a serial number rather than the section's address.
void CreateSection(Value* result, int32_t argc, Value* args);
void EnterSection(Value* result, int32_t argc, Value* args);
void LeaveSection(Value* result, int32_t argc, Value* args);
void DeleteSection(Value* result, int32_t argc, Value* args);

// Regex library over Boost.Regex.
enum RegexIndex : int32_t {
    kRegexSearchAll = 0,
    kRegexMatchFree = 1,
    kRegexMatchText = 2,
    kRegexCompile = 3,
    kRegexInit = 4,
    kRegexFree = 5,
    kRegexCommandCount = 6,
};
extern const CommandEntry kRegexCommands[kRegexCommandCount];

// A `regex` variable (tag kTagRegex): the application allocates kRegexVariableSize zeroed bytes and passes
// their address. Word 0 must hold a pointer, so on x64 the variable is 16 bytes rather than 8:
//
//   +0  pattern    the compiled pattern (set by RegexInit, released by RegexFree)
//   +8  multiLine  1 after RegexInit: ^ and $ also match at line breaks
//   +12 (padding)
struct RegexVariable {
    void* pattern;
    int32_t multiLine;
    int32_t reserved;
};
constexpr int32_t kRegexVariableSize = sizeof(RegexVariable);

// One entry of a `SearchResult`: the whole match first, then each capture group in order. Offsets count bytes
// from the start of the searched text; a group that took no part has offset -1, length 0, matched 0.
struct MatchEntry {
    int32_t offset;
    int32_t length;
    int32_t matched;
};
// A `SearchResult` record: the entry count followed by the entries.
struct SearchResult {
    int32_t count;
    MatchEntry entries[1];  // `count` entries in the allocated block
};

// A match (tag kTagSearchResult) is the address of a cell holding the record's address. The cells are
// pointer-sized (8 bytes on x64). RegexSearchAll returns a one-dimensional array whose elements are such cell
// addresses; RegexMatchFree frees the record and the cell, so the application frees each element with it and
// then the array block itself with MemFree.
using MatchCell = SearchResult*;

// (regex variable, text, most matches (opt)) -> SearchResult array: the first matches only when most is given
void RegexSearchAll(Value* result, int32_t argc, Value* args);
void RegexMatchFree(Value* result, int32_t argc, Value* args);  // (match)
void RegexMatchText(Value* result, int32_t argc, Value* args);  // (match, text, position variable (opt)) -> text
void RegexCompile(Value* result, int32_t argc, Value* args);    // (regex variable, pattern, case-sensitive (opt))
void RegexInit(Value* result, int32_t argc, Value* args);       // (regex variable)
void RegexFree(Value* result, int32_t argc, Value* args);       // (regex variable)

// Internet library.
enum InternetIndex : int32_t {
    kHttpReadFile = 0,
    kInternetCommandCount = 1,
};
extern const CommandEntry kInternetCommands[kInternetCommandCount];
// (URL, largest body in bytes (opt), longest whole fetch in ms (opt)) -> byte set (the body, whatever the
// status); empty when the body is larger or the fetch takes longer. Without a size the body may take up to
// kMaxHttpBody bytes, which keeps every byte set within what the allocator gives.
void HttpReadFile(Value* result, int32_t argc, Value* args);
constexpr size_t kMaxHttpBody = 256u << 20;

// Shell library.
enum ShellIndex : int32_t {
    kBrowseForFolder = 0,
    kCreateShortcut = 1,
    kShellCommandCount = 2,
};
extern const CommandEntry kShellCommands[kShellCommandCount];
// (title, include files (opt), start folder (opt): selected and opened when the browser shows) -> path text
void BrowseForFolder(Value* result, int32_t argc, Value* args);
// (link file, target, description (opt), arguments (opt), working directory (opt)) -> boolean
void CreateShortcut(Value* result, int32_t argc, Value* args);

// Application-interface library.
enum AppInterfaceIndex : int32_t {
    kOpenWebPage = 0,
    kAppInterfaceCommandCount = 1,
};
extern const CommandEntry kAppInterfaceCommands[kAppInterfaceCommandCount];
void OpenWebPage(Value* result, int32_t argc, Value* args);  // (address (opt))
// The address OpenWebPage opens when none is given.
extern const char kDefaultWebAddress[];

}  // namespace rt
