// corvane-hart-bridge: serves the HART loop behind a serial modem to HART-IP
// clients (see bridge.h and docs/man/corvane-hart-bridge.1).
#include <pthread.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "bridge/bridge.h"
#include "link/driver/portmap.h"
#include "link/driver/wendrel.h"

namespace {

constexpr const char* kProgram = "corvane-hart-bridge";

void usage(FILE* to) {
    std::fprintf(to,
                 "Usage: %s --port N|PATH --listen URL [--listen URL ...] [options]\n"
                 "Serves the HART loop behind a serial modem to HART-IP clients.\n\n"
                 "  --port N|PATH        the modem: COM port 1..32 of the port map, or a device path\n"
                 "  --listen URL         hartip://ADDR[:PORT] (UDP) or hartip+tcp://ADDR[:PORT] (TCP);\n"
                 "                       repeat for more addresses (port 5094 when left out)\n"
                 "  --mode 0|1|2         line rate 1200, 9600 or 19200 bit/s (default 0)\n"
                 "  --retries N          retries of a request the loop did not answer, 0..10 (default 2)\n"
                 "  --secondary          the modem is the loop's secondary master (default: primary)\n"
                 "  --max-sessions N     sessions each listening address takes (default 8)\n"
                 "  --log FILE           append one line per pass-through request\n"
                 "  --help               show this text\n"
                 "  --version            show the version\n",
                 kProgram);
}

bool parseNumber(const char* text, long lo, long hi, long& out) {
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || errno != 0 || v < lo || v > hi) return false;
    out = v;
    return true;
}

// 0 to run, otherwise the exit status (-1: exit 0 at once).
int parseOptions(int argc, char** argv, bridge::BridgeOptions& o) {
    auto fail = [](const std::string& what) {
        std::fprintf(stderr, "%s: %s\n", kProgram, what.c_str());
        std::fprintf(stderr, "Try '%s --help'.\n", kProgram);
        return 2;
    };
    bool havePort = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            usage(stdout);
            return -1;
        }
        if (arg == "--version") {
            std::printf("%s %s\n", kProgram, CORVANE_VERSION);
            return -1;
        }
        if (arg == "--secondary") {
            o.primaryMaster = false;
            continue;
        }
        const bool takesValue = arg == "--port" || arg == "--listen" || arg == "--mode" || arg == "--retries" ||
                                arg == "--max-sessions" || arg == "--log";
        if (!takesValue) return fail("unknown option " + arg);
        if (i + 1 >= argc) return fail(arg + " needs a value");
        const char* v = argv[++i];
        long n = 0;
        if (arg == "--port") {
            havePort = true;
            if (v[0] >= '0' && v[0] <= '9') {
                if (!parseNumber(v, wendrel::kFirstPort, wendrel::kLastPort, n))
                    return fail("--port takes a port 1..32 or a device path");
                o.port = static_cast<int>(n);
                o.portPath.clear();
            } else {
                if (!*v) return fail("--port takes a port 1..32 or a device path");
                o.port = wendrel::kFirstPort;
                o.portPath = v;
            }
        } else if (arg == "--listen") {
            std::string why;
            const auto e = hartip::parseUrl(v, &why);
            if (!e) return fail(std::string(v) + ": " + why);
            o.listen.push_back(*e);
        } else if (arg == "--mode") {
            if (!parseNumber(v, 0, 2, n)) return fail("--mode is 0, 1 or 2");
            o.mode = static_cast<int>(n);
        } else if (arg == "--retries") {
            if (!parseNumber(v, 0, 10, n)) return fail("--retries takes 0..10");
            o.retries = static_cast<int>(n);
        } else if (arg == "--max-sessions") {
            if (!parseNumber(v, 1, 1000, n)) return fail("--max-sessions takes 1..1000");
            o.maxSessions = static_cast<size_t>(n);
        } else {
            o.requestLogPath = v;
        }
    }
    if (!havePort) return fail("--port is required");
    if (o.listen.empty()) return fail("--listen is required");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    bridge::BridgeOptions options;
    if (const int status = parseOptions(argc, argv, options)) return status < 0 ? 0 : status;

    static std::mutex stderrMutex;
    auto toStderr = [](const std::string& line) {
        std::lock_guard lock(stderrMutex);
        std::fprintf(stderr, "%s: %s\n", kProgram, line.c_str());
    };
    options.log = toStderr;
    wendrel::SetLogSink([toStderr](const std::string& line) { toStderr("driver: " + line); });

    // The threads the bridge starts inherit the blocked signals; this one waits for them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);  // a log beyond ulimit -f fails as on a full disk, and the bridge runs on

    std::string error;
    auto running = bridge::Bridge::start(options, &error);
    if (!running) {
        std::fprintf(stderr, "%s: %s\n", kProgram, error.c_str());
        return 1;
    }
    int signal = 0;
    sigwait(&stopSignals, &signal);
    toStderr(std::string("stopping on ") + (signal == SIGINT ? "SIGINT" : "SIGTERM"));
    running.reset();
    return 0;
}
