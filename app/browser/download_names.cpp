// Base names, safe names and numbered names of downloaded pictures.
#include "app/browser/download_names.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

#include "runtime/gbk_bytes.h"

namespace app {

namespace {

// The names Windows opens as devices whatever the folder: CON, PRN, AUX, NUL, COM0-COM9, LPT0-LPT9, the console's
// CONIN$ and CONOUT$, and CLOCK$, also with an extension and spaces before it ("con .jpg").
bool IsReservedDeviceName(const std::string& name) {
    std::string stem = name.substr(0, name.find('.'));
    while (!stem.empty() && stem.back() == ' ') stem.pop_back();
    for (char& c : stem) c = char(std::toupper(static_cast<unsigned char>(c)));
    for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"})
        if (stem == device) return true;
    return stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) && stem[3] >= '0' &&
           stem[3] <= '9';
}

// Only a real trail byte pairs with a lead byte: '/' or ':' after a stray lead byte must still be replaced.
bool StartsGbkCharacter(const std::string& s, size_t i) {
    return rt::IsGbkLeadByte(s[i]) && i + 1 < s.size() && rt::IsGbkTrailByte(s[i + 1]);
}

std::string MakeSafe(const std::string& raw) {
    std::string name;
    for (size_t i = 0; i < raw.size(); ++i) {
        auto c = static_cast<unsigned char>(raw[i]);
        if (StartsGbkCharacter(raw, i)) {
            name += raw[i];  // a GBK character: lead and trail byte together
            name += raw[++i];
        } else if (c < 0x20 || c == 0x7F || std::strchr("\\/:*?\"<>|", c) || c >= 0x80) {
            name += '_';  // control bytes, characters Windows forbids, and a lone lead byte
        } else {
            name += char(c);
        }
    }
    while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
    if (name.empty()) return "picture";
    if (IsReservedDeviceName(name)) name.insert(0, "_");
    return name;
}

size_t CharLength(const std::string& s, size_t i) {
    return StartsGbkCharacter(s, i) ? 2 : 1;
}

// The longest start of s made of whole characters and at most limit bytes long.
std::string CutAt(const std::string& s, size_t limit) {
    size_t end = 0;
    while (end < s.size() && end + CharLength(s, end) <= limit) end += CharLength(s, end);
    return s.substr(0, end);
}

void TrimDotsAndSpaces(std::string* s) {
    while (!s->empty() && (s->back() == '.' || s->back() == ' ')) s->pop_back();
}

// name cut to at most room bytes (room at least 2), keeping a short extension, never splitting a GBK
// character and never ending in a dot or space or becoming a device name.
std::string Shortened(const std::string& name, size_t room) {
    if (name.size() <= room) return name;
    size_t dot = name.rfind('.');
    bool keepExt = dot != std::string::npos && name.size() - dot <= 16 && name.size() - dot <= room / 2;
    std::string ext = keepExt ? name.substr(dot) : std::string();
    std::string stem = name.substr(0, name.size() - ext.size());
    std::string head = CutAt(stem, room - ext.size());
    TrimDotsAndSpaces(&head);
    if (head.empty() || IsReservedDeviceName(head + ext)) {
        // "_" in front keeps a device name from being one; the head gives up a character to make room.
        head = "_" + CutAt(head, room - ext.size() - 1);
        TrimDotsAndSpaces(&head);
    }
    return head + ext;
}

}  // namespace

size_t NameRoom(const Text& folder) {
    size_t used = folder.str().size();
    return used >= kMaxPathBytes ? 0 : std::min(kMaxNameBytes, kMaxPathBytes - used);
}

bool HasActiveExtension(const std::string& name) {
    static const char* const kActive[] = {
        // programs, installers and libraries
        "exe", "com", "scr", "pif", "msi", "msp", "cpl", "dll", "sys", "ocx", "xll", "jar", "jnlp", "gadget",
        "application", "appref-ms", "msix", "msixbundle", "appx", "appxbundle", "appinstaller", "diagcab",
        // scripts and their hosts
        "bat", "cmd", "ps1", "psc1", "vbs", "vbe", "js", "jse", "wsf", "wsh", "wsc", "sct", "hta", "py", "pyw",
        // shell links, settings and scraps the shell acts on when opened
        "lnk", "url", "website", "scf", "shb", "shs", "inf", "reg", "msc", "rdp", "theme", "themepack", "library-ms",
        "search-ms", "searchconnector-ms", "settingcontent-ms",
        // documents that carry script: help files, web pages and archives, drawings, notebooks
        "chm", "htm", "html", "mht", "mhtml", "svg", "one",
        // disk images, which open as a drive whose files then escape the mark
        "iso", "img", "vhd", "vhdx"};
    size_t dot = name.rfind('.');
    if (dot == std::string::npos) return false;
    std::string ext = name.substr(dot + 1);
    for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
    for (const char* active : kActive)
        if (ext == active) return true;
    return false;
}

bool IsActiveName(const std::string& name) {
    if (HasActiveExtension(name)) return true;
    std::string lower = name;
    for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
    return lower == "desktop.ini";  // the shell reads it as the folder's own settings
}

Text FittingName(const Text& base, int32_t dup, size_t room) {
    Text full = NumberedName(base, dup);
    if (full.str().size() <= room) return full;
    size_t number = dup == 0 ? 0 : 2 + std::to_string(dup).size();
    if (room < number + 3) return Text::Copy("");
    // A cut can end right after an active extension ("a.exeZZZ" -> "a.exe") or make an active whole name
    // ("desktop.iniZZZ" -> "desktop.ini"): then one byte less, and the "_".
    std::string cut = Shortened(base.str(), room - number);
    if (IsActiveName(cut)) cut = Shortened(base.str(), room - number - 1) + "_";
    return NumberedName(Text::Copy(cut), dup);
}

Text PictureBaseName(const Text& url) {
    std::string address = url.c_str();
    address = address.substr(0, address.find_first_of("?#"));
    Text cut = Text::Copy(address);
    int32_t slash = FindTextReverse(cut, "/");
    Text base = slash == -1 ? cut : RightText(cut, TextLength(cut) - slash);
    std::string name = MakeSafe(base.c_str());
    // A server must not choose a file type that Windows runs or the shell acts on when the user opens the folder.
    if (IsActiveName(name)) name += "_";
    return Text::Copy(name);
}

Text NumberedName(const Text& base, int32_t dup) {
    if (dup == 0) return base;
    Text number = ToText(dup);
    if (FindText(base, ".") == -1) return Concat(base, "(", number, ")");
    Text replacement = Concat("(", number, ").");
    return rt::TextResult(rt::CallKernel(rt::kReplaceSubtext, base, ".", replacement, 1, 1, true));
}

// The last byte counts as a backslash only when it is not the trail byte of a double-byte character (a folder
// named 誠 ends in the byte 0x5C).
Text FolderWithBackslash(const Text& folder) {
    const std::string path = folder.str();
    bool endsInBackslash = false;
    for (size_t i = 0; i < path.size(); ++i) {
        auto c = static_cast<unsigned char>(path[i]);
        bool doubleByte = StartsGbkCharacter(path, i);
        endsInBackslash = !doubleByte && c == '\\';
        if (doubleByte) ++i;
    }
    if (endsInBackslash) return folder;
    return Concat(folder, "\\");
}

}  // namespace app
