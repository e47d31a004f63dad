// Command-line parsing: every option, its checks and the files it reads.
#include "tools/album-service/options.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "tools/album-service/gbk.h"

namespace album {
namespace {

bool ParseNumber(std::string_view text, long long low, long long high, long long& value) {
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && ptr == text.data() + text.size() && value >= low && value <= high;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string ContentTypeFor(std::string_view file) {
    size_t dot = file.rfind('.');
    std::string extension;
    if (dot != std::string_view::npos)
        for (char c : file.substr(dot + 1)) extension += AsciiLower(c);
    if (extension == "html" || extension == "htm") return std::string(kHtmlType);
    if (extension == "jpg" || extension == "jpeg") return std::string(kJpegType);
    if (extension == "txt") return std::string(kTextType);
    return "application/octet-stream";
}

bool ReadWholeFile(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

}  // namespace

std::string UnescapeText(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c != '\\' || i + 1 == text.size()) {
            out += c;
            continue;
        }
        char next = text[i + 1];
        if (next == 'r' || next == 'n' || next == 't' || next == '\\') {
            out += next == 'r' ? '\r' : next == 'n' ? '\n' : next == 't' ? '\t' : '\\';
            ++i;
        } else if (next == 'x' && i + 3 < text.size() && HexValue(text[i + 2]) >= 0 && HexValue(text[i + 3]) >= 0) {
            out += char(HexValue(text[i + 2]) * 16 + HexValue(text[i + 3]));
            i += 3;
        } else {
            out += c;
        }
    }
    return out;
}

std::string UsageText() {
    return "usage: album-service [options]\n"
           "  --port N                 listen on 127.0.0.1:N (0, the default: any free port)\n"
           "  --big N                  add user \"bench\" with one album of N pictures\n"
           "  --big-name NAME          every picture of that album is named NAME (each in its own folder)\n"
           "  --albums-per-page N      albums per album index page (default 8)\n"
           "  --pictures-per-page N    pictures per picture index page (default 24)\n"
           "  --version-text TEXT      body of /pexo.txt (default V1.0; escapes \\r \\n \\t \\\\ \\xHH)\n"
           "  --download-url TEXT      body of /pexoxiazai.txt (default: this server's /download.html)\n"
           "  --latency MS             wait before every answer\n"
           "  --fault KIND=GLOB        misbehave on paths matching GLOB (* and ?, decoded path and query);\n"
           "                           KIND: a status code, reset, hang, cut, cut-unsized, trickle[:MS],\n"
           "                           delay:MS, endless (no length), endless-sized (1 GiB announced),\n"
           "                           redirect:CODE (to /moved + the target, served as the target)\n"
           "  --set-cookie NAME=VALUE  add a Set-Cookie header to every answer (repeatable)\n"
           "  --page-cookie NAME=VALUE add a Set-Cookie header to every HTML answer (repeatable)\n"
           "  --long-header N          add an X-Padding header with N bytes of value to every answer\n"
           "  --override PATH=FILE     serve FILE's bytes at PATH (repeatable)\n"
           "  --log FILE               append every request head as received to FILE (- : standard error)\n"
           "  --grow ID:ADD:CHANGE     album ID gets ADD more pictures and picture CHANGE new bytes once\n"
           "                           /_control/grow is requested (CHANGE 0: none)\n"
           "  --grown                  start grown (with --dump-manifest: the grown site)\n"
           "  --dump-manifest          print users, albums and pictures as JSON and exit\n"
           "  --help                   this text\n";
}

bool ParseCommandLine(const std::vector<std::string>& args, Config& config, std::string& error) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& option = args[i];
        if (option == "--dump-manifest") {
            config.dumpManifest = true;
            continue;
        }
        if (option == "--grown") {
            config.site.grown = true;
            continue;
        }
        if (option == "--help" || option == "-h") {
            config.help = true;
            continue;
        }
        static const std::string_view kValueOptions[] = {"--port",
                                                         "--big",
                                                         "--albums-per-page",
                                                         "--pictures-per-page",
                                                         "--latency",
                                                         "--long-header",
                                                         "--version-text",
                                                         "--download-url",
                                                         "--fault",
                                                         "--set-cookie",
                                                         "--override",
                                                         "--log",
                                                         "--big-name",
                                                         "--page-cookie",
                                                         "--grow"};
        if (std::find(std::begin(kValueOptions), std::end(kValueOptions), option) == std::end(kValueOptions)) {
            error = "unknown option " + option;
            return false;
        }
        if (i + 1 == args.size()) {
            error = option + " needs a value";
            return false;
        }
        const std::string& value = args[++i];
        long long number = 0;
        auto numberIn = [&](long long low, long long high) {
            if (ParseNumber(value, low, high, number)) return true;
            error = option + ": expected a number from " + std::to_string(low) + " to " + std::to_string(high);
            return false;
        };
        if (option == "--port") {
            if (!numberIn(0, 65535)) return false;
            config.server.port = int(number);
        } else if (option == "--big") {
            if (!numberIn(0, 1000000)) return false;
            config.site.bigAlbumPictures = int(number);
        } else if (option == "--big-name") {
            if (value.empty() || value.find_first_of("/\\?#") != std::string::npos) {
                error = "--big-name: expected a file name without / \\ ? #";
                return false;
            }
            config.site.bigAlbumFileName = value;
        } else if (option == "--grow") {
            int id = 0, add = 0, change = 0;
            char end = 0;
            if (std::sscanf(value.c_str(), "%d:%d:%d%c", &id, &add, &change, &end) != 3 || id <= 0 || add < 0 ||
                add > 100000 || change < 0) {
                error = "--grow: expected ID:ADD:CHANGE; got " + value;
                return false;
            }
            config.site.growAlbum = id;
            config.site.growAdd = add;
            config.site.growChange = change;
        } else if (option == "--albums-per-page") {
            if (!numberIn(1, 100000)) return false;
            config.site.albumsPerPage = int(number);
        } else if (option == "--pictures-per-page") {
            if (!numberIn(1, 100000)) return false;
            config.site.picturesPerPage = int(number);
        } else if (option == "--latency") {
            if (!numberIn(0, 3600000)) return false;
            config.server.latencyMs = int(number);
        } else if (option == "--long-header") {
            if (!numberIn(0, 16 * 1024 * 1024)) return false;
            config.server.longHeaderBytes = size_t(number);
        } else if (option == "--version-text") {
            config.site.versionText = UnescapeText(ArgumentToGbk(value));
        } else if (option == "--download-url") {
            config.site.downloadAddress = UnescapeText(ArgumentToGbk(value));
        } else if (option == "--fault") {
            auto rule = ParseFaultRule(ArgumentToGbk(value));
            if (!rule) {
                error =
                    "--fault: expected [once+]KIND=GLOB, KIND being a status code, reset, hang, cut, cut-unsized, "
                    "trickle[:MS], delay:MS, endless, endless-sized or redirect:CODE; got " +
                    value;
                return false;
            }
            config.server.faults.push_back(*rule);
        } else if (option == "--set-cookie") {
            config.server.cookies.push_back(ArgumentToGbk(value));
        } else if (option == "--page-cookie") {
            config.server.pageCookies.push_back(ArgumentToGbk(value));
        } else if (option == "--override") {
            size_t equals = value.find('=');
            if (equals == std::string::npos || equals == 0 || value[0] != '/') {
                error = "--override: expected /PATH=FILE; got " + value;
                return false;
            }
            std::string file = value.substr(equals + 1);
            std::string body;
            if (!ReadWholeFile(file, body)) {
                error = "--override: cannot read " + file;
                return false;
            }
            config.server.overrides.push_back({PercentDecode(ArgumentToGbk(value.substr(0, equals))),
                                               ContentTypeFor(file),
                                               std::make_shared<const std::string>(std::move(body))});
        } else {
            config.logPath = value;
        }
    }
    return true;
}

}  // namespace album
