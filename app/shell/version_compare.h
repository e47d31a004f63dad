// The update check's version rules: a byte-wise comparison of two version texts, and the trimming of the
// server's text (a version file often ends with a line break that is not part of the version).
#pragma once

#include <string>

namespace app {

// Negative, zero or positive as a is smaller than, equal to or greater than b, comparing unsigned bytes from
// the start; a text that is a prefix of the other is the smaller. Null counts as the empty text.
int CompareVersionTexts(const char* a, const char* b);

// The text without a leading UTF-8 byte-order mark and without leading and trailing spaces, tabs, CR, LF and
// full-width spaces (GBK's, or UTF-8's after a byte-order mark).
std::string TrimVersionText(const char* text);

}  // namespace app
