// Kernel disk-file, registry, message-box and message-pump commands on Win32.
#include <windows.h>

#include <cstring>
#include <string>

#include "ui/window_layer.h"
#include "runtime/args.h"
#include "runtime/kernel_commands.h"
#include "runtime/kernel_system.h"
#include "runtime/number_text.h"
#include "runtime/scoped_handles_win.h"

namespace rt {

namespace {

constexpr DWORD kRegistryWriteAccess = 0x20006;  // KEY_WRITE: set values and create sub-keys
constexpr DWORD kSettableAttributes = 0x27;      // read-only, hidden, system, archive

HKEY RegistryRoot(int32_t number) {
    switch (number) {
        case 1: return HKEY_CLASSES_ROOT;
        case 2: return HKEY_CURRENT_CONFIG;
        case 4: return HKEY_LOCAL_MACHINE;
        case 5: return HKEY_USERS;
        default: return HKEY_CURRENT_USER;
    }
}

bool IsStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; }

std::string ExpandEnvironment(const std::string& text) {
    DWORD needed = ExpandEnvironmentStringsA(text.c_str(), nullptr, 0);
    if (needed == 0) return text;
    // The ANSI count may be given in characters of the wide conversion; leave room for double-byte ones.
    std::string expanded(size_t(needed) * 2 + 2, '\0');
    DWORD got = ExpandEnvironmentStringsA(text.c_str(), expanded.data(), DWORD(expanded.size()));
    if (got == 0 || got > expanded.size()) return text;
    expanded.resize(std::strlen(expanded.c_str()));
    return expanded;
}

// A string or expandable-string value (the latter expanded); false when the key or the value is missing or the
// value has another type.
bool QueryRegistryText(HKEY root, const std::string& subKey, const std::string& name, std::string* text) {
    ScopedRegistryKey key;
    if (RegOpenKeyExA(root, subKey.c_str(), 0, KEY_READ, key.receive()) != ERROR_SUCCESS) return false;
    DWORD type = 0;
    std::string data;
    LONG status = ERROR_MORE_DATA;
    // The value may grow between the size query and the read: ask again until it fits.
    while (status == ERROR_MORE_DATA) {
        DWORD size = 0;
        if (RegQueryValueExA(key.get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
            !IsStringType(type))
            return false;
        data.assign(size_t(size) + 1, '\0');  // one spare NUL for a value stored without its own
        status = RegQueryValueExA(key.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
    }
    if (status != ERROR_SUCCESS || !IsStringType(type)) return false;
    data.resize(std::strlen(data.c_str()));
    *text = type == REG_EXPAND_SZ ? ExpandEnvironment(data) : data;
    return true;
}

}  // namespace

void RemoveFile(Value* result, int32_t argc, Value* args) { SetBool(result, DeleteFileA(ArgText(argc, args, 0)) != 0); }

// A directory search that finds anything: an existing directory or a matching wildcard pattern count too.
void FileExists(Value* result, int32_t argc, Value* args) {
    WIN32_FIND_DATAA found;
    ScopedFind search(FindFirstFileA(ArgText(argc, args, 0), &found));
    SetBool(result, search.valid());
}

void WriteFileBytes(Value* result, int32_t argc, Value* args) {
    const char* name = ArgText(argc, args, 0);
    if (!*name) return SetBool(result, false);
    ScopedFile file(CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return SetBool(result, false);
    for (int32_t i = 1; i < argc; ++i) {
        const void* bytes = ArgBytes(argc, args, i);
        const uint8_t* data = BytesDataOf(bytes);
        DWORD left = DWORD(BytesLengthOf(bytes));
        while (left > 0) {
            DWORD written = 0;
            if (!WriteFile(file.get(), data, left, &written, nullptr) || written == 0) return SetBool(result, false);
            data += written;
            left -= written;
        }
    }
    SetBool(result, true);
}

void SetFileAttrs(Value* result, int32_t argc, Value* args) {
    DWORD attributes = DWORD(ArgInt(argc, args, 1)) & kSettableAttributes;
    SetBool(result, SetFileAttributesA(ArgText(argc, args, 0), attributes) != 0);
}

void ReadRegistryText(Value* result, int32_t argc, Value* args) {
    std::string subKey, name, text;
    SplitRegistryPath(ArgText(argc, args, 1), &subKey, &name);
    if (QueryRegistryText(RegistryRoot(ArgInt(argc, args, 0)), subKey, name, &text))
        SetText(result, NewText(text.data(), text.size()));
    else
        SetText(result, NewText(ArgText(argc, args, 2)));
}

// An integer (other numeric types converted) as REG_DWORD, a text as REG_SZ with its NUL, a byte set as REG_BINARY.
void WriteRegistry(Value* result, int32_t argc, Value* args) {
    Value value = Arg(argc, args, 2);
    DWORD type, size, number = 0;
    const void* data;
    if (IsNumericTag(value.tag)) {
        number = DWORD(ArgInt(argc, args, 2));
        type = REG_DWORD;
        data = &number;
        size = sizeof number;
    } else if (value.tag == kTagText) {
        const char* text = ArgText(argc, args, 2);
        type = REG_SZ;
        data = text;
        size = DWORD(std::strlen(text) + 1);
    } else if (value.tag == kTagBytes) {
        const void* bytes = ArgBytes(argc, args, 2);
        type = REG_BINARY;
        data = BytesDataOf(bytes);
        size = DWORD(BytesLengthOf(bytes));
    } else {
        return SetBool(result, false);  // checked before the key is created
    }
    std::string subKey, name;
    SplitRegistryPath(ArgText(argc, args, 1), &subKey, &name);
    ScopedRegistryKey key;
    if (RegCreateKeyExA(RegistryRoot(ArgInt(argc, args, 0)), subKey.c_str(), 0, nullptr, 0, kRegistryWriteAccess,
                        nullptr, key.receive(), nullptr) != ERROR_SUCCESS)
        return SetBool(result, false);
    SetBool(result,
            RegSetValueExA(key.get(), name.c_str(), 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS);
}

// Task-modal unless system-modal was asked for, no owner. Buttons OK..No give 0..6; a box that could not be shown
// gives -1.
void ShowMessageBox(Value* result, int32_t argc, Value* args) {
    Value message = Arg(argc, args, 0);
    char* converted = message.tag == kTagText ? nullptr : NumberToText(message);  // null for other types
    const char* text = message.tag == kTagText ? ArgText(argc, args, 0) : converted ? converted : "";
    const char* title = Arg(argc, args, 2).tag == kTagText ? ArgText(argc, args, 2) : "信息：";
    UINT style = UINT(ArgInt(argc, args, 1));
    if (!(style & MB_SYSTEMMODAL)) style |= MB_TASKMODAL;
    int pressed = MessageBoxA(nullptr, text, title, style);
    MemFree(converted);
    SetInt(result, pressed >= IDOK && pressed <= IDNO ? pressed - IDOK : -1);
}

// Dispatches what waits in this thread's queue, as the message loop would, and stops in front of a quit message
// so that the loop still sees it.
void DoEvents(Value*, int32_t, Value*) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE) && msg.message != WM_QUIT) {
        if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) break;
        if (msg.message == WM_QUIT) {  // it arrived between the two looks: put it back for the loop
            PostQuitMessage(int(msg.wParam));
            break;
        }
        ui::DispatchMessageLikeLoop(&msg);
    }
}

}  // namespace rt
