// The byte classes of GBK text, in one place. Two rules are in use, on purpose:
// - Text commands (text length, find, mid and the like), the in-memory file's lines and the version comparison
//   step over characters as the program always has: any byte of 0x80 or more (the version text: 0x81 or more,
//   since 0x80 is no GBK lead byte and a version text is never made of one) takes the next byte with it. Their
//   results (positions, lengths) are part of what callers rely on, for any bytes.
// - Names that reach the file system pair a lead byte only with a real trail byte, so that '/', ':' or '\' after
//   a stray lead byte is still seen and replaced.
#pragma once

#include <cstdint>

namespace rt {

// The text commands' lead byte: 0x80 or more.
inline bool IsTextLeadByte(char c) { return static_cast<uint8_t>(c) >= 0x80; }

// A GBK lead byte proper: 0x81 to 0xFE.
inline bool IsGbkLeadByte(char c) {
    auto b = static_cast<uint8_t>(c);
    return b >= 0x81 && b <= 0xFE;
}

// A GBK trail byte: 0x40 to 0xFE but 0x7F.
inline bool IsGbkTrailByte(char c) {
    auto b = static_cast<uint8_t>(c);
    return b >= 0x40 && b <= 0xFE && b != 0x7F;
}

}  // namespace rt
