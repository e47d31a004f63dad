// The album service's command line.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tools/album-service/server.h"
#include "tools/album-service/site.h"

namespace album {

struct Config {
    SiteOptions site;
    ServerOptions server;  // its log stream is opened by the caller from logPath
    std::string logPath;   // "-": standard error
    bool dumpManifest = false;
    bool help = false;
};

// Fills `config` from the arguments (without the program name); false with a message on a bad option.
// Texts given in UTF-8 (paths, patterns, served texts) are turned into GBK; served texts also take the
// escapes \r \n \t \\ and \xHH.
bool ParseCommandLine(const std::vector<std::string>& args, Config& config, std::string& error);

std::string UsageText();

// Replaces \r, \n, \t, \\ and \xHH by their bytes; any other backslash stays as it is.
std::string UnescapeText(std::string_view text);

}  // namespace album
