// The download stage's record of its folder's files, indexed by picture name and size.
#include "app/browser/folder_record.h"

namespace app {

uint64_t ContentHash(uint64_t hash, std::string_view bytes) {
    for (unsigned char c : bytes) hash = (hash ^ c) * 1099511628211ull;
    return hash;
}

std::optional<NumberedForm> NumberedFormOf(const std::string& name) {
    // NumberedName puts "(dup)" before the first "."; a "." inside a GBK character is a trail byte, never that.
    size_t end = name.size();
    for (size_t i = 0; i < name.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(name[i]);
        if (c >= 0x81 && c <= 0xFE && i + 1 < name.size()) {
            ++i;
        } else if (c == '.') {
            end = i;
            break;
        }
    }
    if (end < 3 || name[end - 1] != ')') return std::nullopt;
    size_t open = name.rfind('(', end - 1);
    if (open == std::string::npos || open + 2 > end - 1 || end - 1 - open > 6) return std::nullopt;
    int32_t dup = 0;
    for (size_t i = open + 1; i < end - 1; ++i) {
        if (name[i] < '0' || name[i] > '9') return std::nullopt;
        dup = dup * 10 + (name[i] - '0');
    }
    if (name[open + 1] == '0') return std::nullopt;
    return NumberedForm{name.substr(0, open) + name.substr(end), dup};
}

std::string FoldedName(std::string_view name) {
    std::string folded(name);
    for (size_t i = 0; i < folded.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(folded[i]);
        if (c >= 0x81 && c <= 0xFE) {
            ++i;
        } else if (c >= 'A' && c <= 'Z') {
            folded[i] = char(c - 'A' + 'a');
        }
    }
    return folded;
}

std::string FolderRecord::Key(const std::string& foldedBase, uint64_t size) {
    return foldedBase + '|' + std::to_string(size);
}

void FolderRecord::Add(const std::string& name, uint64_t size, std::optional<uint64_t> hash) {
    size_t index = files_.size();
    files_.push_back({name, size, hash});
    // Every name is its own base's first candidate; a name in numbered form may also be another base's.
    std::string folded = FoldedName(name);
    byBaseAndSize_.emplace(Key(folded, size), index);
    if (std::optional<NumberedForm> form = NumberedFormOf(folded)) byBaseAndSize_.emplace(Key(form->base, size), index);
}

std::vector<size_t> FolderRecord::Candidates(const std::string& base, uint64_t size, uint64_t hash,
                                             const NameOf& nameOf) const {
    std::vector<size_t> found;
    std::string folded = FoldedName(base);
    auto [first, last] = byBaseAndSize_.equal_range(Key(folded, size));
    for (auto it = first; it != last; ++it) {
        const File& file = files_[it->second];
        if (file.hash && *file.hash != hash) continue;
        // The index keys by what the name looks like; the name must be one the search really gives base.
        std::string name = FoldedName(file.name);
        std::optional<NumberedForm> form = NumberedFormOf(name);
        bool named =
            name == FoldedName(nameOf(0)) || (form && form->base == folded && name == FoldedName(nameOf(form->dup)));
        if (named) found.push_back(it->second);
    }
    return found;
}

}  // namespace app
