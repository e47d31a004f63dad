// System libraries come from the system folder only: pexo.exe and the skin engine import nothing outside
// Windows' KnownDLLs list, a declared command of a system library binds to the system folder's copy even with a
// same-named DLL beside the program, and after start-up a bare name no longer finds a DLL there.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "runtime/dll_commands.h"
#include "runtime/errors.h"
#include "runtime/program.h"
#include "runtime/system_libraries_win.h"
#include "tests/win/child_process.h"
#include "tests/win/support/files.h"

namespace rt {
namespace {

using testing_support::BuildFolder;

std::string Upper(std::string s) {
    for (char& c : s) c = char(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// The names of the DLLs a PE file imports, read from its import directory.
std::set<std::string> ImportedLibraries(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::set<std::string> names;
    if (file.size() < sizeof(IMAGE_DOS_HEADER)) return names;
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(file.data());
    auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(file.data() + dos->e_lfanew);
    auto* sections = IMAGE_FIRST_SECTION(nt);
    auto offset = [&](DWORD rva) -> size_t {
        for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i) {
            const IMAGE_SECTION_HEADER& s = sections[i];
            if (rva >= s.VirtualAddress && rva < s.VirtualAddress + std::max(s.Misc.VirtualSize, s.SizeOfRawData))
                return rva - s.VirtualAddress + s.PointerToRawData;
        }
        return 0;
    };
    DWORD directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    for (size_t at = offset(directory); at && at + sizeof(IMAGE_IMPORT_DESCRIPTOR) <= file.size();
         at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        auto* entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(file.data() + at);
        if (entry->Name == 0) break;
        names.insert(Upper(file.c_str() + offset(entry->Name)));
    }
    return names;
}

TEST(SystemLibraries, ProgramAndSkinEngineImportOnlyKnownDlls) {
    // Libraries Windows always loads from the system folder (its KnownDLLs list).
    const std::set<std::string> known = {"ADVAPI32.DLL", "COMDLG32.DLL", "GDI32.DLL",  "KERNEL32.DLL",
                                         "MSVCRT.DLL",   "OLE32.DLL",    "OLEAUT32.DLL", "SHELL32.DLL",
                                         "SHLWAPI.DLL",  "USER32.DLL"};
    for (const char* file : {"\\pexo.exe", "\\skin\\SkinH_EL.dll"}) {
        std::set<std::string> imports = ImportedLibraries(BuildFolder() + file);
        EXPECT_TRUE(imports.count("KERNEL32.DLL")) << file << " was not read";
        for (const std::string& name : imports) EXPECT_TRUE(known.count(name)) << file << " imports " << name;
    }
}

// A library that is both in the system folder and beside the program binds to the system folder's copy. (Wine
// loads its own built-in DLLs whatever file a path names, so the test puts a DLL of ours into both places.)
const char kTwinName[] = "pexo-twin.dll";

std::string SystemFolderFile(const char* name) {
    char folder[MAX_PATH];
    GetSystemDirectoryA(folder, MAX_PATH);
    return std::string(folder) + "\\" + name;
}

CHILD_SCENARIO("dll-system-library-beside-program") {
    SetErrorHook(&PrintFatalError);
    InitRuntime();
    std::string engine = RunDirectory() + "\\skin\\SkinH_EL.dll";
    if (!CopyFileA(engine.c_str(), (RunDirectory() + "\\" + kTwinName).c_str(), FALSE) ||
        !CopyFileA(engine.c_str(), SystemFolderFile(kTwinName).c_str(), FALSE)) {
        std::printf("cannot copy");
        return;
    }
    static DllBinding twin{kTwinName, "SkinH_SetAero"};
    BindDllCommand(twin);
    char path[MAX_PATH] = "";
    GetModuleFileNameA(static_cast<HMODULE>(twin.module.load()), path, MAX_PATH);
    std::printf("bound %s", path);
    std::fflush(stdout);
}

TEST(SystemLibraries, DeclaredCommandOfASystemLibraryBindsTheSystemFolderCopy) {
    ChildResult r = RunChild("dll-system-library-beside-program");
    DeleteFileA((BuildFolder() + "\\" + kTwinName).c_str());
    DeleteFileA(SystemFolderFile(kTwinName).c_str());
    EXPECT_EQ(Upper(r.output), Upper("bound " + SystemFolderFile(kTwinName))) << r.output;
}

// After start-up a bare DLL name is looked up in the system folder only, not in the program's folder.
const char kProbeName[] = "pexo-search-probe.dll";
CHILD_SCENARIO("dll-search-restricted") {
    std::string probe = BuildFolder() + "\\" + kProbeName;
    CopyFileA((BuildFolder() + "\\skin\\SkinH_EL.dll").c_str(), probe.c_str(), FALSE);
    HMODULE before = LoadLibraryA(kProbeName);
    if (before) FreeLibrary(before);
    InitRuntime();
    HMODULE after = LoadLibraryA(kProbeName);
    std::printf("before %s, after %s", before ? "found" : "not found", after ? "found" : "not found");
    std::fflush(stdout);
}

TEST(SystemLibraries, StartUpTakesTheProgramFolderOutOfTheDllSearch) {
    ChildResult r = RunChild("dll-search-restricted");
    DeleteFileA((BuildFolder() + "\\" + kProbeName).c_str());
    EXPECT_EQ(r.output, "before found, after not found");
}

}  // namespace
}  // namespace rt
