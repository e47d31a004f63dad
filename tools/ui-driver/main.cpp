// ui-driver.exe: operates another program's windows as a person would, from arguments or a script on stdin.
//
//   ui-driver.exe [--utf8] [--timeout MS] [--title TITLE] [--desktop NAME] [command args... [";" command args...]]
//
// Without commands it reads one command per line from stdin. Each command prints one line, "ok ..." or
// "error ...". The exit code is 0 when every command succeeded, 1 otherwise. README.md lists the commands.
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tools/ui-driver/commands.h"

namespace {

bool g_utf8 = false;

std::string Convert(const std::string& in, UINT from, UINT to) {
    if (in.empty()) return in;
    int n = MultiByteToWideChar(from, 0, in.data(), int(in.size()), nullptr, 0);
    std::wstring wide(size_t(n), L'\0');
    MultiByteToWideChar(from, 0, in.data(), int(in.size()), wide.data(), n);
    int m = WideCharToMultiByte(to, 0, wide.data(), n, nullptr, 0, nullptr, nullptr);
    std::string out(size_t(m), '\0');
    WideCharToMultiByte(to, 0, wide.data(), n, out.data(), m, nullptr, nullptr);
    return out;
}

std::string Input(const std::string& s) { return g_utf8 ? Convert(s, CP_UTF8, CP_ACP) : s; }

void Print(const uidriver::Result& r) {
    std::string line = r.ok ? "ok" : "error";
    if (!r.text.empty()) {
        line += ' ';
        line += r.text;
    }
    if (g_utf8) line = Convert(line, CP_ACP, CP_UTF8);
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

// The command line as ANSI-code-page words, whatever the caller's encoding was.
std::vector<std::string> Arguments() {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> out;
    for (int i = 1; i < count; ++i) {
        int n = WideCharToMultiByte(CP_ACP, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string s(size_t(n > 0 ? n - 1 : 0), '\0');
        WideCharToMultiByte(CP_ACP, 0, wide[i], -1, s.data(), n, nullptr, nullptr);
        out.push_back(s);
    }
    LocalFree(wide);
    return out;
}

}  // namespace

int main() {
    uidriver::Target target;
    target.defaultTitle = "Quen - Pexo相册图片批量下载";
    std::vector<std::string> args = Arguments();
    size_t i = 0;
    for (; i < args.size(); ++i) {
        if (args[i] == "--utf8") {
            g_utf8 = true;
        } else if (args[i] == "--timeout" && i + 1 < args.size()) {
            target.timeoutMs = DWORD(std::strtoul(args[++i].c_str(), nullptr, 10));
        } else if (args[i] == "--title" && i + 1 < args.size()) {
            target.defaultTitle = args[++i];
        } else if (args[i] == "--desktop" && i + 1 < args.size()) {
            // Windows are looked for on one desktop only: join the program's (e.g. a Wine virtual desktop).
            HDESK desktop = OpenDesktopA(args[++i].c_str(), 0, FALSE, GENERIC_ALL);
            if (!desktop || !SetThreadDesktop(desktop)) {
                Print(uidriver::Fail("cannot use desktop " + uidriver::Quote(args[i])));
                return 1;
            }
        } else {
            break;
        }
    }
    bool failed = false;
    if (i < args.size()) {
        // Commands as arguments, separated by ";" words; each argument is one word, quoted or not.
        std::vector<uidriver::Token> words;
        for (;; ++i) {
            if (i == args.size() || args[i] == ";") {
                if (!words.empty()) {
                    uidriver::Result r = uidriver::Run(target, words);
                    failed |= !r.ok;
                    Print(r);
                }
                words.clear();
                if (i == args.size()) break;
                continue;
            }
            std::string raw = args[i];
            uidriver::Token t{raw, raw};
            std::vector<uidriver::Token> quoted;
            std::string error;
            // A word written with quotes ("text") keeps them as its raw spelling and loses them in its value.
            if (raw.size() >= 2 && raw.front() == '"' && uidriver::Tokenize(raw, &quoted, &error) && quoted.size() == 1)
                t.value = quoted[0].value;
            words.push_back(t);
        }
        return failed ? 1 : 0;
    }
    char buffer[65536];
    while (std::fgets(buffer, sizeof buffer, stdin)) {
        std::string line = Input(buffer);
        size_t start = line.find_first_not_of(" \t\r\n");
        if (start == std::string::npos || line[start] == '#') continue;
        std::vector<uidriver::Token> words;
        std::string error;
        uidriver::Result r =
            uidriver::Tokenize(line, &words, &error) ? uidriver::Run(target, words) : uidriver::Fail(error);
        failed |= !r.ok;
        Print(r);
    }
    return failed ? 1 : 0;
}
