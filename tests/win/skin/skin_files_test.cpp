// The embedded skin files and engine library: block layout, lengths, format checks and the library's exports.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "runtime/memory.h"
#include "runtime/value.h"
#include "skin/embedded_skins.h"
#include "tests/win/skin/skin_support.h"

namespace skin {
namespace {

constexpr int32_t kExpectedLengths[33] = {15574, 9533,  19786, 19497, 17699, 41098, 12564, 18930, 13192, 24409, 30738,
                                          8321,  26370, 15733, 12105, 23603, 20863, 16746, 11676, 17997, 12882, 37461,
                                          30958, 25715, 34523, 28961, 29447, 15562, 20738, 18765, 31134, 44110, 20275};

TEST(SkinFiles, EachBlockHoldsAWellFormedSkinOfItsLength) {
    for (int i = 1; i <= 33; ++i) {
        SCOPED_TRACE(i);
        const void* block = SkinByteSet(i);
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(static_cast<const rt::ByteSetHeader*>(block)->dims, 1);
        ASSERT_EQ(rt::BytesLengthOf(block), kExpectedLengths[i - 1]);
        EXPECT_EQ(std::memcmp(rt::BytesDataOf(block), ".SHE", 4), 0);
        SkinData d;
        EXPECT_EQ(ReadSkin(rt::BytesDataOf(block), size_t(rt::BytesLengthOf(block)), &d), ReadError::kNone);
    }
    EXPECT_EQ(SkinByteSet(0), nullptr);
    EXPECT_EQ(SkinByteSet(34), nullptr);
    EXPECT_EQ(SkinByteSet(-1), nullptr);
}

TEST(SkinFiles, EverySkinHasItsOwnPalette) {
    std::set<uint32_t> captions, accents;
    for (int i = 1; i <= 33; ++i) {
        SkinData d = test::SkinOf(i);
        captions.insert(d.colours[kCaptionTop]);
        accents.insert(d.colours[kAccent]);
    }
    EXPECT_EQ(captions.size(), 33u);
    EXPECT_EQ(accents.size(), 33u);
}

TEST(SkinFiles, SkinTenIsReadableLightFaceDarkText) {
    SkinData d = test::SkinOf(10);
    auto luma = [](uint32_t c) { return 0.299 * (c & 0xFF) + 0.587 * (c >> 8 & 0xFF) + 0.114 * (c >> 16 & 0xFF); };
    EXPECT_GT(luma(d.colours[kWindowFace]) - luma(d.colours[kText]), 150);
    EXPECT_GT(luma(d.colours[kCaptionText]) - luma(d.colours[kCaptionBottom]), 100);
    EXPECT_GT(luma(d.colours[kButtonBottom]) - luma(d.colours[kButtonText]), 150);
    EXPECT_EQ(d.tile.pixels, nullptr);  // a plain caption
}

TEST(SkinFiles, BlocksAreRegisteredConstants) {
    RegisterSkinConstants();
    for (const void* block : {SkinByteSet(1), SkinByteSet(10), SkinByteSet(33), EngineByteSet()}) {
        EXPECT_TRUE(rt::InConstantRange(block));
        EXPECT_EQ(rt::ConstantBytesAfter(block), sizeof(rt::ByteSetHeader) + size_t(rt::BytesLengthOf(block)));
    }
}

// The reader refuses every kind of damage before the engine could use a skin.
std::vector<uint8_t> Resealed(std::vector<uint8_t> bytes) {
    WriteU32(bytes.data() + 12, Checksum(bytes.data(), bytes.size()));
    return bytes;
}

ReadError Read(const std::vector<uint8_t>& bytes) {
    SkinData d;
    return ReadSkin(bytes.data(), bytes.size(), &d);
}

TEST(SkinFormat, ReaderRejectsDamagedFiles) {
    const std::vector<uint8_t> good = test::SkinBytes(10);
    ASSERT_EQ(Read(good), ReadError::kNone);
    SkinData d;
    EXPECT_EQ(ReadSkin(nullptr, 100, &d), ReadError::kNoData);
    EXPECT_EQ(ReadSkin(good.data(), 0, &d), ReadError::kNoData);

    auto b = good;
    b[1] = 'X';
    EXPECT_EQ(Read(b), ReadError::kMagic);
    b = good;
    WriteU16(b.data() + 4, 2);
    EXPECT_EQ(Read(Resealed(b)), ReadError::kVersion);
    b = good;
    b.pop_back();
    EXPECT_EQ(Read(b), ReadError::kLength);
    b = good;
    b[good.size() - 7] ^= 0x40;  // a padding byte
    EXPECT_EQ(Read(b), ReadError::kChecksum);
    b = good;
    WriteU32(b.data() + kHeaderSize + 4, uint32_t(good.size()) - 2);  // first section runs off the end
    EXPECT_EQ(Read(Resealed(b)), ReadError::kDirectory);
    b = good;
    WriteU32(b.data() + 16, 1000000);  // more sections than the file could list
    EXPECT_EQ(Read(Resealed(b)), ReadError::kDirectory);
    b = good;
    uint32_t coloursAt = ReadU32(b.data() + kHeaderSize + 4);
    WriteU32(b.data() + coloursAt, kRoleCount - 1);
    EXPECT_EQ(Read(Resealed(b)), ReadError::kBadSection);
    b = good;
    WriteU32(b.data() + kHeaderSize, Tag('X', 'X', 'X', 'X'));  // the colour table no longer known as such
    EXPECT_EQ(Read(Resealed(b)), ReadError::kMissingSection);
}

// The export table of a 64-bit PE image held in memory as a file.
std::set<std::string> ExportedNames(const uint8_t* file, size_t size) {
    std::set<std::string> names;
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(file);
    if (size < sizeof *dos || dos->e_magic != IMAGE_DOS_SIGNATURE) return names;
    auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(file + dos->e_lfanew);
    if (nt->Signature != IMAGE_NT_SIGNATURE || nt->FileHeader.Machine != IMAGE_FILE_MACHINE_AMD64 ||
        !(nt->FileHeader.Characteristics & IMAGE_FILE_DLL))
        return names;
    const IMAGE_SECTION_HEADER* sections = IMAGE_FIRST_SECTION(nt);
    auto at = [&](DWORD rva) -> const uint8_t* {
        for (int i = 0; i < nt->FileHeader.NumberOfSections; ++i) {
            const IMAGE_SECTION_HEADER& s = sections[i];
            if (rva >= s.VirtualAddress && rva < s.VirtualAddress + s.SizeOfRawData)
                return file + s.PointerToRawData + (rva - s.VirtualAddress);
        }
        return nullptr;
    };
    DWORD exportRva = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT].VirtualAddress;
    auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(at(exportRva));
    if (!exports) return names;
    auto* nameRvas = reinterpret_cast<const DWORD*>(at(exports->AddressOfNames));
    for (DWORD i = 0; nameRvas && i < exports->NumberOfNames; ++i)
        names.insert(reinterpret_cast<const char*>(at(nameRvas[i])));
    return names;
}

TEST(SkinEngineFile, IsA64BitDllExportingExactlyTheTwoEntries) {
    const void* block = EngineByteSet();
    ASSERT_NE(block, nullptr);
    ASSERT_GT(rt::BytesLengthOf(block), 4096);
    std::set<std::string> names = ExportedNames(rt::BytesDataOf(block), size_t(rt::BytesLengthOf(block)));
    EXPECT_EQ(names, (std::set<std::string>{"SkinH_AttachRes", "SkinH_SetAero"}));
}

}  // namespace
}  // namespace skin
