// pexo.exe carries its own icon, version information in Chinese and an application manifest; read from the
// built program file beside this test program.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/win/support/files.h"

namespace app {
namespace {

std::string ProgramPath() { return testing_support::BuildFolder() + "\\pexo.exe"; }

class ProgramResources : public ::testing::Test {
protected:
    void SetUp() override {
        module =
            LoadLibraryExA(ProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(module, nullptr) << ProgramPath();
    }
    void TearDown() override { FreeLibrary(module); }

    std::string Resource(LPCSTR type, int id) {
        HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), type);
        if (!found) return {};
        auto* bytes = static_cast<const char*>(LockResource(LoadResource(module, found)));
        return std::string(bytes, SizeofResource(module, found));
    }

    HMODULE module = nullptr;
};

TEST_F(ProgramResources, AnIconForEverySizeTheShellAsksFor) {
    for (int side : {16, 32, 48}) {
        HANDLE icon = LoadImageA(module, MAKEINTRESOURCEA(1), IMAGE_ICON, side, side, 0);
        ASSERT_NE(icon, nullptr) << side;
        ICONINFO info = {};
        ASSERT_TRUE(GetIconInfo(static_cast<HICON>(icon), &info));
        BITMAP bitmap = {};
        GetObjectA(info.hbmColor, sizeof bitmap, &bitmap);
        EXPECT_EQ(bitmap.bmWidth, side);
        EXPECT_EQ(bitmap.bmBitsPixel, 32);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(static_cast<HICON>(icon));
    }
}

TEST_F(ProgramResources, VersionInformationNamesTheProductInChinese) {
    std::string path = ProgramPath();
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), nullptr);
    ASSERT_GT(size, 0u);
    std::vector<char> data(size);
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, data.data()));
    auto value = [&](const char* name) {
        char* text = nullptr;
        UINT length = 0;
        std::string key = std::string("\\StringFileInfo\\080404B0\\") + name;
        if (!VerQueryValueA(data.data(), key.c_str(), reinterpret_cast<void**>(&text), &length) || !text)
            return std::string();
        return std::string(text);
    };
    EXPECT_EQ(value("ProductName"), "Quen - Pexo相册图片批量下载");
    EXPECT_EQ(value("FileDescription"), "Pexo相册图片批量下载");
    EXPECT_EQ(value("ProductVersion"), "V1.0");
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileType, DWORD(VFT_APP));
}

TEST_F(ProgramResources, ManifestRunsAsInvokerOnCurrentWindowsScaledBySystem) {
    std::string manifest = Resource(MAKEINTRESOURCEA(24), 1);  // RT_MANIFEST, the program's own
    ASSERT_FALSE(manifest.empty());
    EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos);
    EXPECT_NE(manifest.find("{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"), std::string::npos) << "Windows 10 and 11";
    EXPECT_NE(manifest.find("<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">false"),
              std::string::npos);
    EXPECT_NE(manifest.find(">true</gdiScaling>"), std::string::npos);
    // No common-controls 6 dependency: the skin engine draws the controls of version 5.
    EXPECT_EQ(manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos);
}

}  // namespace
}  // namespace app
