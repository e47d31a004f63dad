// The five scraping patterns exactly as the program compiles them (case-insensitive), shared by the regex tests
// and the regex fuzz target.
#pragma once

#include "app/shell/scraping_patterns.h"

namespace rt {

inline constexpr const auto& kScrapingPatterns = app::kScrapingPatternTexts;

}  // namespace rt
