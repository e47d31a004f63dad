// The regex library over Boost.Regex: pattern objects, searching a whole text, match records and their texts.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

#include <cwctype>

#include <boost/regex.hpp>
#ifdef _WIN32
#include <boost/regex/v5/w32_regex_traits.hpp>
#else
#include <boost/regex/v5/c_regex_traits.hpp>
#endif

#include "runtime/args.h"
#include "runtime/library_commands.h"
#include "runtime/memory.h"

namespace rt {

namespace {

// Windows classifies and folds characters by the ANSI code page; the native build uses the C library's rules.
#ifdef _WIN32
using PatternTraits = boost::regex_traits<char, boost::w32_regex_traits<char>>;
#else
using PatternTraits = boost::regex_traits<char, boost::c_regex_traits<char>>;
#endif
using Pattern = boost::basic_regex<char, PatternTraits>;

// The compiled-pattern record a regex variable points to; `compiled` is false until a compile succeeds.
struct PatternRecord {
    Pattern pattern;
    bool compiled = false;
};

RegexVariable* VariableArg(int32_t argc, Value* args, int32_t i) {
    return static_cast<RegexVariable*>(ArgVariable(argc, args, i));
}

PatternRecord* RecordOf(const RegexVariable* v) { return v ? static_cast<PatternRecord*>(v->pattern) : nullptr; }

SearchResult* NewSearchResult(const boost::match_results<const char*>& m, const char* buffer) {
    int32_t count = static_cast<int32_t>(m.size());
    size_t bytes = offsetof(SearchResult, entries) + sizeof(MatchEntry) * size_t(count);
    auto* record = static_cast<SearchResult*>(MemAlloc(static_cast<int32_t>(bytes)));
    record->count = count;
    for (int32_t i = 0; i < count; ++i) {
        const auto& sub = m[i];
        MatchEntry& e = record->entries[i];
        if (sub.matched)
            e = {static_cast<int32_t>(sub.first - buffer), static_cast<int32_t>(sub.length()), 1};
        else
            e = {-1, 0, 0};
    }
    return record;
}

// Every match of the pattern in [text, text + length), in order, as new records. Each search starts where the
// previous match ended and passes that start as the base, so look-behind and ^ cannot see before it. A match
// that makes no progress ends the search; it is kept unless it repeats the previous match. When Boost gives up
// part way (memory or complexity limits) the matches found so far are the result. At most maxMatches are kept:
// the search stops there, so a hostile text of millions of matches costs no more records than the caller wants.
std::vector<SearchResult*> SearchAll(const Pattern& pattern, bool multiLine, const char* text, size_t length,
                                     size_t maxMatches) {
    std::vector<SearchResult*> found;
    auto flags = boost::match_default | boost::format_all;
    if (!multiLine) flags |= boost::match_single_line;
    const char* end = text + length;
    const char* start = text;
    const char* previousFirst = nullptr;
    try {
        boost::match_results<const char*> m;
        while (found.size() < maxMatches && boost::regex_search(start, end, m, pattern, flags, start)) {
            const char* first = m[0].first;
            const char* matchEnd = m[0].second;
            if (matchEnd == start) {
                if (first != previousFirst) found.push_back(NewSearchResult(m, text));
                break;
            }
            found.push_back(NewSearchResult(m, text));
            previousFirst = first;
            start = matchEnd;
        }
    } catch (...) {
    }
    return found;
}

}  // namespace

void RegexInit(Value*, int32_t argc, Value* args) {
    RegexVariable* v = VariableArg(argc, args, 0);
    if (!v) return;
    v->pattern = new PatternRecord;
    v->multiLine = 1;
}

void RegexFree(Value*, int32_t argc, Value* args) {
    RegexVariable* v = VariableArg(argc, args, 0);
    if (!v) return;
    delete RecordOf(v);
    v->pattern = nullptr;
}

void RegexCompile(Value* result, int32_t argc, Value* args) {
    PatternRecord* record = RecordOf(VariableArg(argc, args, 0));
    if (!record) return SetBool(result, false);
    boost::regex_constants::syntax_option_type options = boost::regex_constants::perl;
    if (!ArgBool(argc, args, 2, true)) options |= boost::regex_constants::icase;
    record->compiled = false;
    try {
        record->pattern.assign(ArgText(argc, args, 1), options);
        record->compiled = true;
    } catch (...) {
    }
    SetBool(result, record->compiled);
}

void RegexSearchAll(Value* result, int32_t argc, Value* args) {
    const RegexVariable* v = VariableArg(argc, args, 0);
    const PatternRecord* record = RecordOf(v);
    const char* text = ArgText(argc, args, 1);
    // A most-matches argument of 0 or less keeps nothing; left out, every match is kept.
    size_t maxMatches = size_t(-1);
    if (!ArgOmitted(argc, args, 2)) maxMatches = size_t(std::max(ArgInt(argc, args, 2), 0));
    std::vector<SearchResult*> found;
    if (record && record->compiled && *text && maxMatches > 0)
        found = SearchAll(record->pattern, v->multiLine != 0, text, std::strlen(text), maxMatches);

    void* array = NewArray(kTagSearchResult, static_cast<int32_t>(found.size()));
    auto* elements = reinterpret_cast<MatchCell**>(ArrayElements(array));
    for (size_t i = 0; i < found.size(); ++i) {
        auto* cell = static_cast<MatchCell*>(MemAlloc(sizeof(MatchCell)));
        *cell = found[i];
        elements[i] = cell;
    }
    SetArray(result, kTagSearchResult, array);
}

void RegexMatchFree(Value*, int32_t argc, Value* args) {
    auto* cell = static_cast<MatchCell*>(ArgVariable(argc, args, 0));
    if (!cell) return;
    MemFree(*cell);
    MemFree(cell);
}

void RegexMatchText(Value* result, int32_t argc, Value* args) {
    auto* cell = static_cast<MatchCell*>(ArgVariable(argc, args, 0));
    const SearchResult* record = cell ? *cell : nullptr;
    if (!record || record->count < 1 || !record->entries[0].matched) return SetText(result, nullptr);
    const MatchEntry& whole = record->entries[0];
    if (auto* position = static_cast<int32_t*>(ArgVariable(argc, args, 2))) *position = whole.offset;
    // The caller should pass the text that was searched; a shorter one yields only the bytes it has.
    const char* text = ArgText(argc, args, 1);
    size_t available = strnlen(text, size_t(whole.offset) + size_t(whole.length));
    size_t from = std::min(available, size_t(whole.offset));
    SetText(result, NewText(text + from, std::min(available - from, size_t(whole.length))));
}

}  // namespace rt
