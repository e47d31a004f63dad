// File names for downloaded pictures: the base name taken from an address and made safe for the file
// system, and the numbered names tried when a name is taken.
#pragma once

#include "app/commands.h"

namespace app {

// The address's last path component with its query and fragment cut, made safe: \ / : * ? " < > | and control
// bytes become "_", trailing dots and spaces are trimmed, a reserved device name (CON, PRN, AUX, NUL,
// COM1-COM9, LPT1-LPT9, with or without an extension) gets a leading "_", an empty name becomes "picture".
// Double-byte GBK characters stay whole (a trail byte 0x5C is not a backslash); a lead byte not followed by a
// valid trail byte (0x40-0xFE but 0x7F) is no character and becomes "_".
Text PictureBaseName(const Text& url);

// The dup-th candidate for base: base itself for 0; else "(dup)" before the first ".", or at the end when
// there is no ".": a.jpg -> a(1).jpg, a.b.jpg -> a(1).b.jpg, img -> img(1).
Text NumberedName(const Text& base, int32_t dup);

// The folder with one trailing backslash (unchanged when it already ends with one, as a drive root does).
Text FolderWithBackslash(const Text& folder);

}  // namespace app
