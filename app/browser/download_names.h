// File names for downloaded pictures: the base name taken from an address and made safe for the file
// system, and the numbered names tried when a name is taken.
#pragma once

#include "app/commands.h"

namespace app {

// The address's last path component with its query and fragment cut, made safe: \ / : * ? " < > | and control
// bytes become "_", trailing dots and spaces are trimmed, a reserved device name (CON, PRN, AUX, NUL,
// COM0-COM9, LPT0-LPT9, CONIN$, CONOUT$, CLOCK$, with or without an extension) gets a leading "_", an empty
// name becomes "picture".
// Double-byte GBK characters stay whole (a trail byte 0x5C is not a backslash); a lead byte not followed by a
// valid trail byte (0x40-0xFE but 0x7F) is no character and becomes "_".
// A name whose extension Windows would run or the shell acts on (exe, scr, lnk, url, library-ms, html, iso, ...
// in any letter case), and the name desktop.ini, get "_" appended: x.scr -> x.scr_, photo.jpg.lnk -> photo.jpg.lnk_.
Text PictureBaseName(const Text& url);

// True when the name's last extension is one that Windows runs or the shell acts on.
bool HasActiveExtension(const std::string& name);
// True for such a name and for desktop.ini (any letter case), which the shell reads as its folder's settings.
bool IsActiveName(const std::string& name);

// The dup-th candidate for base: base itself for 0; else "(dup)" before the first ".", or at the end when
// there is no ".": a.jpg -> a(1).jpg, a.b.jpg -> a(1).b.jpg, img -> img(1).
Text NumberedName(const Text& base, int32_t dup);

// The longest whole path the platform's file calls take (MAX_PATH less its terminating NUL), and the longest
// name a file system keeps for one file. Bytes of GBK text: a character never takes fewer bytes than UTF-16
// units, so a name within these limits fits both.
constexpr size_t kMaxPathBytes = 259;
constexpr size_t kMaxNameBytes = 255;
// A download given up moves its file aside to "~" and four hexadecimal digits and ".tmp", beside its picture.
constexpr size_t kTempNameBytes = 9;

// Bytes left for a file name in folder (which ends with a backslash): at most kMaxNameBytes, 0 when none.
size_t NameRoom(const Text& folder);

// The folder takes pictures when such a temporary name fits in it; picture names are shortened to fit.
inline bool FolderTakesPictures(const Text& folder) { return NameRoom(folder) >= kTempNameBytes; }

// The dup-th candidate as NumberedName gives it, shortened when longer than room bytes: the base's end is cut
// at a character boundary, keeping its extension (a last "." part of up to 16 bytes) and the "(dup)" number,
// so every candidate of a long base is still distinct and at most room bytes long.
Text FittingName(const Text& base, int32_t dup, size_t room);

// The folder with one trailing backslash (unchanged when it already ends with one, as a drive root does).
Text FolderWithBackslash(const Text& folder);

}  // namespace app
