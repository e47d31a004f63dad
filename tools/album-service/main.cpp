// album-service: serves the generated sample site on 127.0.0.1 until interrupted.
#include <signal.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tools/album-service/options.h"
#include "tools/album-service/server.h"
#include "tools/album-service/site.h"

int main(int argc, char** argv) {
    album::Config config;
    std::string error;
    if (!album::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc), config, error)) {
        std::fprintf(stderr, "album-service: %s\n%s", error.c_str(), album::UsageText().c_str());
        return 2;
    }
    if (config.help) {
        std::fputs(album::UsageText().c_str(), stdout);
        return 0;
    }

    album::Site site(config.site);
    if (config.dumpManifest) {
        std::string manifest = site.ManifestJson();
        std::fwrite(manifest.data(), 1, manifest.size(), stdout);
        return 0;
    }

    std::FILE* log = nullptr;
    if (config.logPath == "-") {
        log = stderr;
    } else if (!config.logPath.empty()) {
        log = std::fopen(config.logPath.c_str(), "ab");
        if (!log) {
            std::fprintf(stderr, "album-service: cannot open log %s\n", config.logPath.c_str());
            return 1;
        }
    }
    config.server.log = log;

    // The signals are taken by sigwait below; every thread started later inherits the mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    album::Server server(site, config.server);
    if (!server.Start(error)) {
        std::fprintf(stderr, "album-service: %s\n", error.c_str());
        return 1;
    }
    std::printf("listening on 127.0.0.1:%d\n", server.port());
    std::fflush(stdout);

    int received = 0;
    sigwait(&stopSignals, &received);
    server.Stop();
    if (log && log != stderr) std::fclose(log);
    return 0;
}
