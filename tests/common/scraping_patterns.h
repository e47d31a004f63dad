// The five scraping patterns exactly as the program compiles them (case-insensitive), shared by the regex tests
// and the regex fuzz target.
#pragma once

namespace rt {

constexpr const char* kScrapingPatterns[] = {
    R"((?<=purl\:").*?(?="))", R"((?<=pname\:").*?(?="))",          R"((?<=pnum\:").*?(?="))",
    R"((?<=psrc\:").*?(?="))", R"((?<=id\="forimgs").*?(?=\/div))",
};

}  // namespace rt
