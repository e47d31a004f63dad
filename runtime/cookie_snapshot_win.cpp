// The per-stage cookie snapshot: one store lookup per scheme, host and folder, shared by every worker thread.
#include "runtime/cookie_snapshot_win.h"

#include <cstring>
#include <map>
#include <mutex>

#include "runtime/system_functions_win.h"

namespace rt {

namespace {

std::mutex snapshotLock;
std::map<std::string, std::string> snapshot;  // "scheme://host/folder/" -> "Cookie: ...\r\n" or ""

// A cookie's path covers whole folders, so the address up to its last '/' (before any query) decides its cookies.
std::string FolderOf(const std::string& url) {
    std::string key = url.substr(0, url.find_first_of("?#"));
    return key.substr(0, key.rfind('/') + 1);
}

std::string LookUp(const std::string& url) {
    DWORD size = 0;
    if (!sys::InternetGetCookieExA(url.c_str(), nullptr, nullptr, &size, INTERNET_COOKIE_HTTPONLY, nullptr) ||
        size <= 1)
        return "";
    std::string cookies(size, '\0');
    if (!sys::InternetGetCookieExA(url.c_str(), nullptr, cookies.data(), &size, INTERNET_COOKIE_HTTPONLY, nullptr))
        return "";
    cookies.resize(std::strlen(cookies.c_str()));
    return cookies.empty() ? "" : "Cookie: " + cookies + "\r\n";
}

}  // namespace

void StartCookieSnapshot() {
    std::lock_guard<std::mutex> hold(snapshotLock);
    snapshot.clear();
}

std::string SnapshotCookieLine(const std::string& url) {
    std::string folder = FolderOf(url);
    {
        std::lock_guard<std::mutex> hold(snapshotLock);
        auto it = snapshot.find(folder);
        if (it != snapshot.end()) return it->second;
    }
    std::string line = LookUp(url);
    std::lock_guard<std::mutex> hold(snapshotLock);
    snapshot[folder] = line;
    return line;
}

void HandBackSetCookies(const std::string& url, HINTERNET request) {
    bool any = false;
    for (DWORD index = 0;;) {
        char value[4096] = "";
        DWORD size = sizeof value;
        DWORD asked = index;
        if (!sys::HttpQueryInfoA(request, HTTP_QUERY_SET_COOKIE, value, &size, &index) || index == asked) break;
        sys::InternetSetCookieExA(url.c_str(), nullptr, value, INTERNET_COOKIE_HTTPONLY, 0);
        any = true;
    }
    if (!any) return;
    std::lock_guard<std::mutex> hold(snapshotLock);
    snapshot.erase(FolderOf(url));
}

}  // namespace rt
