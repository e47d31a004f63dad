// The regex library with the native build's C traits: the shared cases.
#include "tests/common/regex_cases.h"
