// The five scraping patterns the program compiles (case-insensitive), in the order it compiles them: an album's
// address, name and count, a picture's address, and an index page's data block. The regex tests and the regex
// fuzz target run these very texts.
#pragma once

namespace app {

inline constexpr const char kPurlPatternText[] = R"((?<=purl\:").*?(?="))";
inline constexpr const char kPnamePatternText[] = R"((?<=pname\:").*?(?="))";
inline constexpr const char kPnumPatternText[] = R"((?<=pnum\:").*?(?="))";
inline constexpr const char kPsrcPatternText[] = R"((?<=psrc\:").*?(?="))";
inline constexpr const char kForimgsPatternText[] = R"((?<=id\="forimgs").*?(?=\/div))";

inline constexpr const char* kScrapingPatternTexts[] = {kPurlPatternText, kPnamePatternText, kPnumPatternText,
                                                        kPsrcPatternText, kForimgsPatternText};

}  // namespace app
