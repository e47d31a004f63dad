// Fuzz target: RegexSearchAll with the program's five scraping patterns over arbitrary text, checked against what
// the patterns mean. Input: the text (NUL bytes are dropped).
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "runtime/call.h"
#include "runtime/library_commands.h"
#include "tests/common/scraping_patterns.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using namespace rt;
using fuzz::Quote;

// Each pattern takes the shortest run of bytes after a key (its look-behind) up to a terminator (its
// look-ahead), both compared ignoring ASCII case.
struct Meaning {
    std::string key;
    std::string terminator;
};
const Meaning kMeanings[] = {
    {"purl:\"", "\""}, {"pname:\"", "\""}, {"pnum:\"", "\""}, {"psrc:\"", "\""}, {"id=\"forimgs\"", "/div"},
};
static_assert(std::size(kMeanings) == std::size(kScrapingPatterns));

size_t FindIgnoringCase(const std::string& text, const std::string& sub, size_t from) {
    for (size_t at = from; at + sub.size() <= text.size(); ++at)
        if (fuzz::EqualIgnoringAsciiCase(std::string_view(text).substr(at, sub.size()), sub)) return at;
    return std::string::npos;
}

// The matches a search gives: each search starts where the previous match ended and cannot look behind that
// start, so the next key must lie wholly after it; the match runs from the key's end to the first terminator.
std::vector<std::pair<size_t, size_t>> ExpectedMatches(const std::string& text, const Meaning& m) {
    std::vector<std::pair<size_t, size_t>> matches;
    for (size_t from = 0;;) {
        const size_t key = FindIgnoringCase(text, m.key, from);
        if (key == std::string::npos) break;
        const size_t start = key + m.key.size();
        const size_t end = FindIgnoringCase(text, m.terminator, start);
        if (end == std::string::npos) break;  // no terminator after this key, so none after a later one either
        matches.emplace_back(start, end - start);
        from = end;
    }
    return matches;
}

// A compiled pattern as the program holds it.
struct CompiledPattern {
    RegexVariable variable{};
    Value Reference() { return Value::Pointer(kTagRegex, &variable); }
};

CompiledPattern* Patterns() {
    static CompiledPattern* patterns = [] {
        auto* p = new CompiledPattern[std::size(kScrapingPatterns)];
        for (size_t i = 0; i < std::size(kScrapingPatterns); ++i) {
            CallLibrary(kRegexCommands[kRegexInit].fn, p[i].Reference());
            const bool compiled =
                CallLibrary(kRegexCommands[kRegexCompile].fn, p[i].Reference(), kScrapingPatterns[i], false).AsInt();
            FUZZ_CHECK(compiled) << kScrapingPatterns[i];
        }
        return p;
    }();
    return patterns;
}

Value MatchAt(void* array, int64_t i) {
    MatchCell* cell;
    std::memcpy(&cell, ArrayElements(array) + i * sizeof(MatchCell*), sizeof cell);
    return Value::Pointer(kTagSearchResult, cell);
}

void CheckPattern(size_t index, const std::string& text) {
    const Value found = CallLibrary(kRegexCommands[kRegexSearchAll].fn, Patterns()[index].Reference(), text.c_str());
    void* array = found.AsPointer();
    FUZZ_CHECK(found.tag == (kTagSearchResult | kTagArrayBit) && array && ArrayDims(array) == 1);
    const auto expected = ExpectedMatches(text, kMeanings[index]);
    const int64_t count = ArrayCount(array);
    FUZZ_CHECK(count == int64_t(expected.size())) << "pattern " << kScrapingPatterns[index] << " found " << count
                                                  << " matches, expected " << expected.size() << " in " << Quote(text);
    for (int64_t i = 0; i < count; ++i) {
        const Value match = MatchAt(array, i);
        const SearchResult& record = **static_cast<MatchCell*>(match.AsPointer());
        const auto [start, length] = expected[size_t(i)];
        FUZZ_CHECK(record.count == 1 && record.entries[0].matched == 1 && record.entries[0].offset == int32_t(start) &&
                   record.entries[0].length == int32_t(length))
            << "pattern " << kScrapingPatterns[index] << " match " << i << " at " << record.entries[0].offset << "+"
            << record.entries[0].length << ", expected " << start << "+" << length << " in " << Quote(text);
        int32_t position = -1;
        Text matched =
            TextResult(CallLibrary(kRegexCommands[kRegexMatchText].fn, match, text.c_str(), Ref{&position, kTagInt}));
        FUZZ_CHECK(matched.str() == text.substr(start, length) && position == int32_t(start))
            << Quote(matched.str()) << " at " << position;
        CallLibrary(kRegexCommands[kRegexMatchFree].fn, match);
    }
    MemFree(array);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text = fuzz::WithoutNul(std::string_view(reinterpret_cast<const char*>(data), size));
    for (size_t i = 0; i < std::size(kScrapingPatterns); ++i) CheckPattern(i, text);
    return 0;
}
