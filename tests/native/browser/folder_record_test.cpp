// The download stage's folder record: which names are numbered forms of a picture's name, and which files of
// the folder a downloaded picture is compared with.
#include "app/browser/folder_record.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace app {
namespace {

// The free-name search's names for a base that needs no shortening, as NumberedName gives them.
FolderRecord::NameOf NamesOf(const std::string& base) {
    return [base](int32_t dup) {
        if (dup == 0) return base;
        size_t dot = base.find('.');
        std::string number = "(" + std::to_string(dup) + ")";
        return dot == std::string::npos ? base + number : base.substr(0, dot) + number + base.substr(dot);
    };
}

TEST(FolderRecordNames, NumberedFormsAreReadBackAsTheSearchWritesThem) {
    auto form = NumberedFormOf("a(3).b.jpg");
    ASSERT_TRUE(form);
    EXPECT_EQ(form->base, "a.b.jpg");
    EXPECT_EQ(form->dup, 3);
    form = NumberedFormOf("img(12)");
    ASSERT_TRUE(form);
    EXPECT_EQ(form->base, "img");
    EXPECT_EQ(form->dup, 12);
    form = NumberedFormOf("a(1)(2).jpg");
    ASSERT_TRUE(form);
    EXPECT_EQ(form->base, "a(1).jpg");
    EXPECT_EQ(form->dup, 2);
    for (const char* plain : {"a.jpg", "a().jpg", "a(0).jpg", "a(01).jpg", "a(x).jpg", "a.b(1).jpg", ""})
        EXPECT_FALSE(NumberedFormOf(plain)) << plain;
    // Letter case folds as the file system compares names, but a GBK character stays whole.
    EXPECT_EQ(FoldedName("ABC\x96\x7C"
                         "D.JPG"),
              "abc\x96\x7C"
              "d.jpg");
    EXPECT_EQ(FoldedName("\xB0\x41.JPG"), "\xB0\x41.jpg");  // the trail byte 0x41 is no letter A
}

TEST(FolderRecordCandidates, OnlyFilesOfThePicturesNameAndSizeAndAPossibleHash) {
    FolderRecord record;
    record.Add("photo.jpg", 100);
    record.Add("PHOTO(3).jpg", 100);
    record.Add("photo(4).jpg", 99);
    record.Add("photo(1)(1).jpg", 100);  // photo(1).jpg's first numbered form, not photo.jpg's
    record.Add("other.jpg", 100);
    record.Add("photo(5).jpg", 100, 7);  // saved in this stage: its hash is known
    record.Add("photo(6).jpg", 100, 42);

    std::vector<size_t> found = record.Candidates("Photo.JPG", 100, 42, NamesOf("Photo.JPG"));
    std::vector<std::string> names;
    for (size_t index : found) names.push_back(record.file(index).name);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"PHOTO(3).jpg", "photo(6).jpg", "photo.jpg"}));

    // A file read whole keeps its hash: a picture with another hash no longer needs it read.
    record.Hashed(found[0], 1);
    record.Hashed(found[1], 1);
    record.Hashed(found[2], 1);
    EXPECT_TRUE(record.Candidates("photo.jpg", 100, 2, NamesOf("photo.jpg")).empty());
    EXPECT_EQ(record.Candidates("photo(1).jpg", 100, 9, NamesOf("photo(1).jpg")).size(), 1u);
    EXPECT_TRUE(record.Candidates("photo.jpg", 101, 1, NamesOf("photo.jpg")).empty());
}

TEST(FolderRecordHash, TheHashOfPiecesIsTheHashOfTheWhole) {
    uint64_t whole = ContentHash(kContentHashStart, "JPEG bytes");
    EXPECT_EQ(ContentHash(ContentHash(kContentHashStart, "JPEG "), "bytes"), whole);
    EXPECT_NE(ContentHash(kContentHashStart, "JPEG bytez"), whole);
}

}  // namespace
}  // namespace app
