// Regex library cases shared by the native build (C traits) and the Windows build (Win32 traits under Wine).
// Include once from one test file per build.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "runtime/call.h"
#include "runtime/library_commands.h"
#include "runtime/memory.h"
#include "tests/common/scraping_patterns.h"

namespace rt {
namespace regex_cases {

// A regex variable as the application holds it: zeroed bytes, prepared by RegexInit, released by RegexFree.
class RegexVar {
public:
    RegexVar() { CallLibrary(kRegexCommands[kRegexInit].fn, ref()); }
    RegexVar(const RegexVar&) = delete;
    RegexVar& operator=(const RegexVar&) = delete;
    ~RegexVar() { CallLibrary(kRegexCommands[kRegexFree].fn, ref()); }

    bool Compile(const char* pattern) { return CallLibrary(kRegexCommands[kRegexCompile].fn, ref(), pattern).low != 0; }
    bool Compile(const char* pattern, bool caseSensitive) {
        return CallLibrary(kRegexCommands[kRegexCompile].fn, ref(), pattern, caseSensitive).low != 0;
    }
    Ref ref() { return Ref{&variable, kTagRegex}; }
    RegexVariable variable{};
};

// The array RegexSearchAll returns, freed as the application frees it: each match, then the block.
class MatchList {
public:
    explicit MatchList(Value r) : array_(r.AsPointer()), tag_(r.tag) {}
    MatchList(const MatchList&) = delete;
    MatchList& operator=(const MatchList&) = delete;
    ~MatchList() {
        for (int64_t i = 0; i < size(); ++i) CallLibrary(kRegexCommands[kRegexMatchFree].fn, match(i));
        MemFree(array_);
    }

    uint32_t tag() const { return tag_; }
    const void* array() const { return array_; }
    int64_t size() const { return ArrayCount(array_); }
    Value match(int64_t i) const {
        MatchCell* cell;
        std::memcpy(&cell, ArrayElements(array_) + i * sizeof(MatchCell*), sizeof cell);
        return Value::Pointer(kTagSearchResult, cell);
    }
    const SearchResult& record(int64_t i) const { return **static_cast<MatchCell*>(match(i).AsPointer()); }
    int32_t offset(int64_t i) const { return record(i).entries[0].offset; }
    std::string Text(int64_t i, const char* searched) const {
        return TextResult(CallLibrary(kRegexCommands[kRegexMatchText].fn, match(i), searched)).str();
    }
    std::vector<std::string> Texts(const char* searched) const {
        std::vector<std::string> all;
        for (int64_t i = 0; i < size(); ++i) all.push_back(Text(i, searched));
        return all;
    }

private:
    void* array_;
    uint32_t tag_;
};

inline Value SearchAll(RegexVar& re, const char* text) {
    return CallLibrary(kRegexCommands[kRegexSearchAll].fn, re.ref(), text);
}

TEST(RegexSearch, FindsEveryMatchWithOffsetsFromTheTextStart) {
    RegexVar re;
    ASSERT_TRUE(re.Compile("b"));
    MatchList m(SearchAll(re, "abcb"));
    EXPECT_EQ(m.tag(), kTagSearchResult | kTagArrayBit);
    EXPECT_EQ(ArrayDims(m.array()), 1);
    ASSERT_EQ(m.size(), 2);
    EXPECT_EQ(m.offset(0), 1);
    EXPECT_EQ(m.offset(1), 3);
    EXPECT_EQ(m.record(1).entries[0].length, 1);
    EXPECT_EQ(m.record(1).entries[0].matched, 1);
}

TEST(RegexSearch, EmptyTextGivesAnEmptyOneDimensionalArray) {
    RegexVar re;
    ASSERT_TRUE(re.Compile("x*"));
    MatchList m(SearchAll(re, ""));
    ASSERT_NE(m.array(), nullptr);
    EXPECT_EQ(ArrayDims(m.array()), 1);
    EXPECT_EQ(m.size(), 0);
}

TEST(RegexSearch, LookBehindCannotSeeBeforeTheSearchStart) {
    RegexVar re;
    ASSERT_TRUE(re.Compile("(?<=x)x"));
    MatchList m(SearchAll(re, "xxx"));
    ASSERT_EQ(m.size(), 1);
    EXPECT_EQ(m.offset(0), 1);

    // ^ likewise sees each search start as the beginning of the text.
    ASSERT_TRUE(re.Compile("^a"));
    MatchList anchored(SearchAll(re, "aaa"));
    EXPECT_EQ(anchored.size(), 3);
}

TEST(RegexSearch, LineBreaksForCaretAndDot) {
    RegexVar re;
    ASSERT_TRUE(re.Compile("^b.c$"));
    MatchList m(SearchAll(re, "a\nb\nc\nd"));
    ASSERT_EQ(m.size(), 1);
    EXPECT_EQ(m.offset(0), 2);
    EXPECT_EQ(m.record(0).entries[0].length, 3);
}

TEST(RegexSearch, MatchThatMakesNoProgressEndsTheSearch) {
    RegexVar re;
    ASSERT_TRUE(re.Compile("x*"));
    MatchList empty(SearchAll(re, "abc"));
    ASSERT_EQ(empty.size(), 1);  // the empty match at the start, once
    EXPECT_EQ(empty.offset(0), 0);
    EXPECT_EQ(empty.record(0).entries[0].length, 0);

    ASSERT_TRUE(re.Compile("(?=b)"));
    MatchList ahead(SearchAll(re, "abcb"));
    ASSERT_EQ(ahead.size(), 1);  // not the same empty match at 1 again
    EXPECT_EQ(ahead.offset(0), 1);
}

TEST(RegexSearch, GroupsAreRecordedInOrderAndUnmatchedOnesFlagged) {
    RegexVar re;
    ASSERT_TRUE(re.Compile("(a)|(b)"));
    MatchList m(SearchAll(re, "xb"));
    ASSERT_EQ(m.size(), 1);
    const SearchResult& r = m.record(0);
    ASSERT_EQ(r.count, 3);
    EXPECT_EQ(r.entries[0].offset, 1);
    EXPECT_EQ(r.entries[1].matched, 0);
    EXPECT_EQ(r.entries[1].offset, -1);
    EXPECT_EQ(r.entries[2].matched, 1);
    EXPECT_EQ(r.entries[2].offset, 1);
    EXPECT_EQ(r.entries[2].length, 1);
}

TEST(RegexCompile, CaseSensitiveUnlessToldOtherwise) {
    RegexVar re;
    ASSERT_TRUE(re.Compile("ABC"));
    EXPECT_EQ(MatchList(SearchAll(re, "abc")).size(), 0);
    ASSERT_TRUE(re.Compile("ABC", true));
    EXPECT_EQ(MatchList(SearchAll(re, "abc")).size(), 0);
    ASSERT_TRUE(re.Compile("ABC", false));
    EXPECT_EQ(MatchList(SearchAll(re, "xabc")).size(), 1);
}

TEST(RegexCompile, RejectedPatternLeavesAVariableThatFindsNothing) {
    RegexVar re;
    ASSERT_TRUE(re.Compile("a"));
    EXPECT_FALSE(re.Compile("("));
    MatchList m(SearchAll(re, "aaa"));
    ASSERT_NE(m.array(), nullptr);
    EXPECT_EQ(m.size(), 0);
    EXPECT_FALSE(re.Compile("a)"));
    EXPECT_FALSE(re.Compile("(?<=a*)b"));  // look-behind must have a fixed length
}

// A listing asks for at most so many records: the search keeps the first matches, in order, and no more.
TEST(RegexSearch, MostMatchesKeepsTheFirstOnesOnly) {
    RegexVar re;
    ASSERT_TRUE(re.Compile("b+"));
    const char* text = "ab abb abbb abbbb";
    MatchList first(CallLibrary(kRegexCommands[kRegexSearchAll].fn, re.ref(), text, 2));
    EXPECT_EQ(first.Texts(text), (std::vector<std::string>{"b", "bb"}));
    MatchList more(CallLibrary(kRegexCommands[kRegexSearchAll].fn, re.ref(), text, 10));
    EXPECT_EQ(more.Texts(text), (std::vector<std::string>{"b", "bb", "bbb", "bbbb"}));
    MatchList none(CallLibrary(kRegexCommands[kRegexSearchAll].fn, re.ref(), text, 0));
    ASSERT_NE(none.array(), nullptr);
    EXPECT_EQ(none.size(), 0);
}

TEST(RegexCompile, VariableWithoutInitIsRefusedNotDereferenced) {
    RegexVariable bare{};
    Ref ref{&bare, kTagRegex};
    EXPECT_EQ(CallLibrary(kRegexCommands[kRegexCompile].fn, ref, "a").low, 0u);
    MatchList m(CallLibrary(kRegexCommands[kRegexSearchAll].fn, ref, "aaa"));
    EXPECT_EQ(m.size(), 0);
}

TEST(RegexMatchText, TextAndZeroBasedPosition) {
    RegexVar re;
    ASSERT_TRUE(re.Compile("ab+"));
    const char* text = "abbxab";
    MatchList m(SearchAll(re, text));
    ASSERT_EQ(m.size(), 2);
    int32_t position = -7;
    Text first = TextResult(CallLibrary(kRegexCommands[kRegexMatchText].fn, m.match(0), text, Ref{&position, kTagInt}));
    EXPECT_EQ(first, "abb");
    EXPECT_EQ(position, 0);
    Text second =
        TextResult(CallLibrary(kRegexCommands[kRegexMatchText].fn, m.match(1), text, Ref{&position, kTagInt}));
    EXPECT_EQ(second, "ab");
    EXPECT_EQ(position, 4);
}

TEST(RegexMatchText, EmptyMatchAndShorterTextAreSafe) {
    RegexVar re;
    ASSERT_TRUE(re.Compile("x*"));
    MatchList empty(SearchAll(re, "abc"));
    ASSERT_EQ(empty.size(), 1);
    // A matched but empty whole match is the empty text, which is null.
    EXPECT_EQ(CallLibrary(kRegexCommands[kRegexMatchText].fn, empty.match(0), "abc").AsPointer(), nullptr);

    ASSERT_TRUE(re.Compile("cdef"));
    MatchList far(SearchAll(re, "abcdef"));
    ASSERT_EQ(far.size(), 1);
    EXPECT_EQ(far.Text(0, "abcde"), "cde");  // only the bytes the shorter text has
    EXPECT_EQ(far.Text(0, "ab"), "");
}

// Album and picture pages as the service sends them: GBK names (some with trail bytes that are ASCII letters or
// a backslash) and keys in any letter case.
TEST(RegexScraping, FivePatternsOverGbkPage) {
    const std::string page =
        "<html><div class=\"list\" ID=\"FORIMGS\">"
        "{PURL:\"/photo/album/1\",PNAME:\"旅行相册\",PNUM:\"12\"},"
        "{purl:\"/photo/album/2\",Pname:\"圓働僜億\",pNum:\"3\"},"
        "{Psrc:\"http://img.example/abpic/甲.jpg\",PSRC:\"http://img.example/ABPIC/b.jpg\"}"
        "</DIV><p>purl:\"/after\"</p>";
    std::vector<RegexVar> patterns(5);
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(patterns[i].Compile(kScrapingPatterns[i], false)) << i;
    const char* text = page.c_str();

    EXPECT_EQ(MatchList(SearchAll(patterns[0], text)).Texts(text),
              (std::vector<std::string>{"/photo/album/1", "/photo/album/2", "/after"}));
    EXPECT_EQ(MatchList(SearchAll(patterns[1], text)).Texts(text), (std::vector<std::string>{"旅行相册", "圓働僜億"}));
    EXPECT_EQ(MatchList(SearchAll(patterns[2], text)).Texts(text), (std::vector<std::string>{"12", "3"}));
    EXPECT_EQ(MatchList(SearchAll(patterns[3], text)).Texts(text),
              (std::vector<std::string>{"http://img.example/abpic/甲.jpg", "http://img.example/ABPIC/b.jpg"}));

    MatchList block(SearchAll(patterns[4], text));
    ASSERT_EQ(block.size(), 1);
    std::string data = block.Text(0, text);
    EXPECT_EQ(data.substr(0, 7), ">{PURL:");
    EXPECT_EQ(data.substr(data.size() - 3), "\"}<");
    EXPECT_EQ(size_t(block.offset(0)), page.find("\"FORIMGS\"") + 9);
}

TEST(RegexScraping, MegabytesOfTextInOneMatchAndInManyMatches) {
    std::string filler;
    while (filler.size() < 4 * 1024 * 1024) filler += "相册图片\r\n\"abc\" ";
    std::string page = "<div id=\"forimgs\">" + filler + "</div>";
    RegexVar block;
    ASSERT_TRUE(block.Compile(kScrapingPatterns[4], false));
    MatchList one(SearchAll(block, page.c_str()));
    ASSERT_EQ(one.size(), 1);
    EXPECT_EQ(size_t(one.record(0).entries[0].length), filler.size() + 2);

    std::string many;
    for (int i = 0; i < 40000; ++i) many += "{psrc:\"/abpic/" + std::to_string(i) + ".jpg\",pname:\"图片\"}";
    RegexVar psrc;
    ASSERT_TRUE(psrc.Compile(kScrapingPatterns[3], false));
    MatchList all(SearchAll(psrc, many.c_str()));
    ASSERT_EQ(all.size(), 40000);
    EXPECT_EQ(all.Text(39999, many.c_str()), "/abpic/39999.jpg");
}

}  // namespace regex_cases
}  // namespace rt
