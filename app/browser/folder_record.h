// What a download stage knows of the files in its folder: one listing taken when the stage starts, and the
// pictures it saves as they are saved, indexed by the picture name each file is a numbered form of and by size,
// so that a downloaded picture is compared only with the files of its name and size.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace app {

// The running content hash of a file's bytes (64-bit FNV-1a): start with kContentHashStart, feed each piece.
constexpr uint64_t kContentHashStart = 14695981039346656037ull;
uint64_t ContentHash(uint64_t hash, std::string_view bytes);

// The base name and number a name would have as NumberedName's dup-th candidate, when it has one: a(3).b.jpg is
// a.b.jpg's 3rd, img(12) is img's 12th; a name without "(N)" (N from 1, no leading 0) before its first "." or at
// its end has none.
struct NumberedForm {
    std::string base;
    int32_t dup = 0;
};
std::optional<NumberedForm> NumberedFormOf(const std::string& name);

// A name folded as the file system compares names: ASCII letters in lower case, GBK double-byte characters whole.
std::string FoldedName(std::string_view name);

class FolderRecord {
public:
    struct File {
        std::string name;
        uint64_t size = 0;
        std::optional<uint64_t> hash;  // known once the file was read whole, or when this stage wrote it
    };

    // The dup-th name the free-name search tries for a picture.
    using NameOf = std::function<std::string(int32_t dup)>;

    void Add(const std::string& name, uint64_t size, std::optional<uint64_t> hash = std::nullopt);
    // The files that may hold a picture named `base` of `size` bytes hashing to `hash`: of that size, named as
    // nameOf names base's candidates, and with that hash or none known yet. Indexes for file() and Hashed().
    std::vector<size_t> Candidates(const std::string& base, uint64_t size, uint64_t hash, const NameOf& nameOf) const;
    const File& file(size_t index) const { return files_[index]; }
    void Hashed(size_t index, uint64_t hash) { files_[index].hash = hash; }
    size_t size() const { return files_.size(); }

private:
    static std::string Key(const std::string& foldedBase, uint64_t size);

    std::vector<File> files_;
    std::unordered_multimap<std::string, size_t> byBaseAndSize_;  // (folded base name, size) -> file
};

}  // namespace app
