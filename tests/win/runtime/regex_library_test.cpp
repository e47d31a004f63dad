// The regex library with the Win32 traits (ANSI code page 936 under Wine): the shared cases.
#include "tests/common/regex_cases.h"
