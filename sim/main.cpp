// corvane-meter-sim: the simulated meter on a pseudo-terminal, so the frame
// driver can talk to it as to a meter behind a serial HART modem, and over
// HART-IP (UDP or TCP) as to a meter behind a gateway; one meter behind both.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "sim/meter.h"
#include "sim/meter_hartip.h"
#include "sim/meter_line.h"

namespace {

using namespace corvane::sim;
using SteadyClock = std::chrono::steady_clock;
using TimePoint = SteadyClock::time_point;
using Milliseconds = std::chrono::duration<double, std::milli>;

constexpr const char* kProgram = "corvane-meter-sim";
// A pty delivers a client's bytes in clumps with scheduler jitter: a gap
// inside a frame counts only beyond this, or three characters if longer.
constexpr double kLeastGapMs = 20;
// Unread line data beyond this has no listener; it is dropped, as a real
// line forgets what nobody heard.
constexpr int kStaleLineBytes = 1024;

int gSignalPipe[2] = {-1, -1};

void onSignal(int) {
    const char byte = 1;
    [[maybe_unused]] auto written = write(gSignalPipe[1], &byte, 1);
}

void usage(FILE* to) {
    std::fprintf(to,
                 "Usage: %s --pty PATH | --hartip URL [options]\n"
                 "Simulated Corvane vortex meter, a HART slave on a pseudo-terminal and over HART-IP.\n\n"
                 "  --pty PATH          make PATH a symbolic link to the meter's terminal\n"
                 "  --hartip URL        serve HART-IP at hartip://HOST[:PORT] (UDP) or\n"
                 "                      hartip+tcp://HOST[:PORT] (TCP), port 5094 by default;\n"
                 "                      may be given more than once\n"
                 "  --profile FILE      load meter values from a profile (keys: see\n"
                 "                      corvane-meter-sim(1));\n"
                 "                      given again, each profile is one more device on the\n"
                 "                      same line at the polling address the profile names\n"
                 "  --log FILE          append one line per request received (with several\n"
                 "                      devices, each line ends with the device's polling address)\n"
                 "  --pace              send at the real line rate\n"
                 "  --mode 0|1|2        line rate 1200, 9600 or 19200 bit/s (default 0)\n"
                 "  --no-answer P       probability that a reply is lost\n"
                 "  --bad-checksum P    probability of a reply with a wrong checksum\n"
                 "  --busy P            probability of a busy reply (response code 32)\n"
                 "  --late P            probability of a reply after the master stopped waiting\n"
                 "  --noise P           probability of noise bytes before a reply\n"
                 "  --burst             start the first device in burst mode\n"
                 "  --seed N            seed of the fault draws (default 1)\n"
                 "  --help              show this text\n"
                 "  --version           show the version\n",
                 kProgram);
}

struct Options {
    std::string ptyPath;
    std::vector<std::string> hartipUrls;
    std::vector<std::string> profiles;
    std::string logPath;
    bool pace = false;
    int mode = 0;
    FaultOptions faults;
};

bool parseProbability(const char* text, double& out) {
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (end == text || *end != '\0' || !(value >= 0 && value <= 1)) return false;
    out = value;
    return true;
}

// Returns 0 to run, 1 when --help or --version was answered (the program
// then exits with 0), otherwise the exit status.
int parseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> const char* {
            if (i + 1 >= argc) return nullptr;
            return argv[++i];
        };
        auto fail = [&](const std::string& what) {
            std::fprintf(stderr, "%s: %s\n", kProgram, what.c_str());
            usage(stderr);
            return 2;
        };
        if (arg == "--help" || arg == "-h") {
            usage(stdout);
            return 1;
        }
        if (arg == "--version") {
            std::printf("%s %s\n", kProgram, CORVANE_VERSION);
            return 1;
        }
        if (arg == "--pace") { o.pace = true; continue; }
        if (arg == "--burst") { o.faults.burst = true; continue; }
        const bool takesValue = arg == "--pty" || arg == "--hartip" || arg == "--profile" || arg == "--log" || arg == "--mode" ||
                                arg == "--no-answer" || arg == "--bad-checksum" || arg == "--busy" ||
                                arg == "--late" || arg == "--noise" || arg == "--seed";
        if (!takesValue) return fail("unknown option " + arg);
        const char* v = value();
        if (!v) return fail(arg + " needs a value");
        if (arg == "--pty") o.ptyPath = v;
        else if (arg == "--hartip") {
            std::string why;
            if (!hartip::parseUrl(v, &why)) return fail(std::string(v) + ": " + why);
            o.hartipUrls.push_back(v);
        }
        else if (arg == "--profile") o.profiles.emplace_back(v);
        else if (arg == "--log") o.logPath = v;
        else if (arg == "--mode") {
            if (std::strcmp(v, "0") && std::strcmp(v, "1") && std::strcmp(v, "2")) return fail("--mode is 0, 1 or 2");
            o.mode = v[0] - '0';
        } else if (arg == "--seed") {
            char* end = nullptr;
            const unsigned long long seed = std::strtoull(v, &end, 10);
            if (end == v || *end != '\0' || seed > 0xFFFFFFFFull) return fail("--seed needs a whole number");
            o.faults.seed = static_cast<uint32_t>(seed);
        } else {
            double& target = arg == "--no-answer"      ? o.faults.noAnswer
                             : arg == "--bad-checksum" ? o.faults.badChecksum
                             : arg == "--busy"         ? o.faults.busy
                             : arg == "--late"         ? o.faults.late
                                                       : o.faults.noise;
            if (!parseProbability(v, target)) return fail(arg + " needs a probability from 0 to 1");
        }
    }
    if (o.ptyPath.empty() && o.hartipUrls.empty()) {
        std::fprintf(stderr, "%s: --pty PATH or --hartip URL is required\n", kProgram);
        usage(stderr);
        return 2;
    }
    return 0;
}

class PseudoTerminal {
public:
    ~PseudoTerminal() {
        if (!linkPath_.empty()) {
            // Remove the link only while it is still ours.
            char target[256] = {};
            const auto n = readlink(linkPath_.c_str(), target, sizeof target - 1);
            if (n > 0 && slaveName_ == std::string(target, static_cast<size_t>(n))) unlink(linkPath_.c_str());
        }
        if (slave_ >= 0) close(slave_);
        if (master_ >= 0) close(master_);
    }

    bool open(const std::string& linkPath, std::string& error) {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return fail("posix_openpt", error);
        const char* name = ptsname(master_);
        if (!name) return fail("ptsname", error);
        slaveName_ = name;
        // Our own hold on the slave side: the master never sees EIO when a client closes.
        slave_ = ::open(name, O_RDWR | O_NOCTTY);
        if (slave_ < 0) return fail(slaveName_, error);
        termios raw{};
        if (tcgetattr(slave_, &raw) != 0) return fail("tcgetattr", error);
        cfmakeraw(&raw);
        if (tcsetattr(slave_, TCSANOW, &raw) != 0) return fail("tcsetattr", error);
        if (fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK) != 0) return fail("fcntl", error);

        struct stat existing {};
        if (lstat(linkPath.c_str(), &existing) == 0) {
            if (!S_ISLNK(existing.st_mode)) {
                error = linkPath + " exists and is not a symbolic link";
                return false;
            }
            if (unlink(linkPath.c_str()) != 0) return fail(linkPath, error);
        }
        if (symlink(name, linkPath.c_str()) != 0) return fail(linkPath, error);
        linkPath_ = linkPath;
        return true;
    }

    int master() const { return master_; }
    const std::string& slaveName() const { return slaveName_; }

    void write(const uint8_t* bytes, size_t count) {
        while (count > 0) {
            const auto n = ::write(master_, bytes, count);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return;  // nobody reads and the buffer is full: the bytes are lost
            bytes += n;
            count -= static_cast<size_t>(n);
        }
    }

    // Drops what no client has read, so a client opening later does not
    // find a pile of old burst frames.
    void dropStaleData() {
        int unread = 0;
        if (ioctl(slave_, FIONREAD, &unread) == 0 && unread > kStaleLineBytes) tcflush(slave_, TCIFLUSH);
    }

private:
    bool fail(const std::string& what, std::string& error) {
        error = what + ": " + std::strerror(errno);
        return false;
    }

    int master_ = -1;
    int slave_ = -1;
    std::string slaveName_;
    std::string linkPath_;
};

class RequestLogFile {
public:
    ~RequestLogFile() {
        if (file_) std::fclose(file_);
    }
    bool open(const std::string& path) {
        file_ = std::fopen(path.c_str(), "a");
        return file_ != nullptr;
    }
    // Writes and forgets the meters' logged requests; on a line of several
    // meters each line names the polling address of the meter that took it.
    void drain(const std::vector<Meter*>& meters) {
        const bool nameAddress = meters.size() > 1;
        for (Meter* meter : meters) {
            if (file_) {
                for (const auto& request : meter->requestLog())
                    write(request, nameAddress ? meter->state().pollingAddress : -1);
            }
            meter->clearRequestLog();
        }
    }

private:
    void write(const LoggedRequest& request, int pollingAddress) {
        const auto since = request.received.time_since_epoch();
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(since);
        const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(since - seconds).count();
        const std::time_t t = static_cast<std::time_t>(seconds.count());
        std::tm local{};
        localtime_r(&t, &local);
        char stamp[32];
        std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
        const std::string data = request.data.empty() ? "-" : wendrel::toHex(request.data, false);
        std::fprintf(file_, "%s.%03d %u %s", stamp, static_cast<int>(millis), request.command, data.c_str());
        if (pollingAddress >= 0) std::fprintf(file_, " %d", pollingAddress);
        std::fputc('\n', file_);
        std::fflush(file_);
    }

    FILE* file_ = nullptr;
};

// The line as one shared medium. With pacing, a request occupies the line for
// its wire time from its first byte's arrival, the reply starts a turnaround
// after that, and each reply byte goes out at its own character slot.
class LineLoop {
public:
    LineLoop(PseudoTerminal& pty, std::mutex& meterMutex, MeterLine& line, RequestLogFile& log, bool pace)
        : pty_(pty),
          meterMutex_(meterMutex),
          line_(line),
          log_(log),
          pace_(pace),
          character_(characterTimeMs(line.lineMode())),
          gap_(std::max(kLeastGapMs, 3 * characterTimeMs(line.lineMode()))),
          burstQuiet_(kBurstQuietChars * characterTimeMs(line.lineMode())) {}

    void run() {
        lineFreeAt_ = SteadyClock::now();
        pollfd fds[2] = {{gSignalPipe[0], POLLIN, 0}, {pty_.master(), POLLIN, 0}};
        for (;;) {
            fds[0].revents = fds[1].revents = 0;
            const auto wait = timeout(SteadyClock::now());
            const int ready = ppoll(fds, 2, wait ? &*wait : nullptr, nullptr);
            if (ready < 0 && errno != EINTR) return;
            if (fds[0].revents) return;  // SIGINT or SIGTERM
            if (fds[1].revents & POLLIN) readLine();
            const auto now = SteadyClock::now();
            if (frameOpen() && now - lastByteAt_ >= gap_) {
                line_.lineSilent();
                endSpan(now);
            }
            sendDue(now);
            if (burstWanted() && now >= lineFreeAt_ + burstQuiet_) {
                std::optional<Transmission> burst;
                {
                    std::lock_guard lock(meterMutex_);
                    burst = line_.nextBurst();
                }
                if (burst) schedule(std::move(burst->bytes), now);
                sendDue(now);
            }
        }
    }

private:
    struct Outgoing {
        std::vector<uint8_t> bytes;
        TimePoint start;
        size_t sent = 0;
    };

    bool frameOpen() const { return spanBytes_ > 0 || line_.lineBusy(); }
    bool burstWanted() const {
        if (!outgoing_.empty() || frameOpen()) return false;
        std::lock_guard lock(meterMutex_);
        return line_.anyBursting();
    }

    TimePoint slot(const Outgoing& o, size_t index) const {
        return o.start + std::chrono::duration_cast<SteadyClock::duration>(character_ * static_cast<double>(index));
    }

    // Until the next thing due; nothing when nothing is. To the microsecond:
    // at 19200 bit/s a character lasts 0.57 ms, less than poll's unit.
    std::optional<timespec> timeout(TimePoint now) const {
        std::optional<TimePoint> wake;
        auto consider = [&](TimePoint t) {
            if (!wake || t < *wake) wake = t;
        };
        if (!outgoing_.empty()) consider(pace_ ? slot(outgoing_.front(), outgoing_.front().sent + 1) : outgoing_.front().start);
        if (frameOpen()) consider(lastByteAt_ + std::chrono::duration_cast<SteadyClock::duration>(gap_));
        if (burstWanted()) consider(lineFreeAt_ + std::chrono::duration_cast<SteadyClock::duration>(burstQuiet_));
        if (!wake) return std::nullopt;
        const auto ns = std::max<long long>(
            0, std::chrono::duration_cast<std::chrono::nanoseconds>(*wake - now).count());
        return timespec{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
    }

    void readLine() {
        uint8_t buffer[256];
        const auto n = read(pty_.master(), buffer, sizeof buffer);
        if (n <= 0) return;
        const auto now = SteadyClock::now();
        for (ssize_t i = 0; i < n; ++i) {
            if (spanBytes_ == 0) spanStart_ = now;
            ++spanBytes_;
            lastByteAt_ = now;
            std::vector<Transmission> replies;
            {
                std::lock_guard lock(meterMutex_);  // HART-IP clients reach the same meters
                replies = line_.receive(&buffer[i], 1);
                log_.drain(line_.meters());
            }
            if (line_.lineBusy()) continue;
            const TimePoint frameEnd = endSpan(now);
            for (auto& reply : replies)
                schedule(std::move(reply.bytes),
                         frameEnd + std::chrono::duration_cast<SteadyClock::duration>(Milliseconds(reply.delayMs)));
        }
    }

    // The bytes read since the line was last quiet have ended.
    TimePoint endSpan(TimePoint now) {
        const TimePoint end =
            pace_ ? spanStart_ + std::chrono::duration_cast<SteadyClock::duration>(character_ * static_cast<double>(spanBytes_))
                  : now;
        lineFreeAt_ = std::max(lineFreeAt_, end);
        spanBytes_ = 0;
        return end;
    }

    void schedule(std::vector<uint8_t> bytes, TimePoint start) {
        start = std::max(start, scheduledEnd_);
        Outgoing o{std::move(bytes), start, 0};
        scheduledEnd_ = pace_ ? slot(o, o.bytes.size()) : start;
        outgoing_.push_back(std::move(o));
    }

    void sendDue(TimePoint now) {
        while (!outgoing_.empty()) {
            auto& o = outgoing_.front();
            if (now < o.start) return;
            if (o.sent == 0) pty_.dropStaleData();
            if (pace_) {
                // A receiver has a byte once its stop bit is through: byte i arrives at
                // the end of its slot. Absolute slots: a late wake-up sends every byte
                // now due, so no drift builds up.
                while (o.sent < o.bytes.size() && now >= slot(o, o.sent + 1)) pty_.write(&o.bytes[o.sent++], 1);
                if (o.sent < o.bytes.size()) return;
                lineFreeAt_ = std::max(lineFreeAt_, slot(o, o.bytes.size()));
            } else {
                pty_.write(o.bytes.data(), o.bytes.size());
                lineFreeAt_ = std::max(lineFreeAt_, now);
            }
            outgoing_.pop_front();
        }
    }

    PseudoTerminal& pty_;
    std::mutex& meterMutex_;
    MeterLine& line_;
    RequestLogFile& log_;
    const bool pace_;
    const Milliseconds character_;
    const Milliseconds gap_;
    const Milliseconds burstQuiet_;
    std::deque<Outgoing> outgoing_;
    TimePoint lineFreeAt_{};
    TimePoint scheduledEnd_{};
    TimePoint spanStart_{};
    TimePoint lastByteAt_{};
    size_t spanBytes_ = 0;
};

bool installSignalHandlers() {
    if (pipe(gSignalPipe) != 0) return false;
    for (int fd : gSignalPipe) fcntl(fd, F_SETFD, FD_CLOEXEC);
    fcntl(gSignalPipe[1], F_SETFL, O_NONBLOCK);
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    // A file-size limit makes a write to the request log fail instead of ending the meter.
    return sigaction(SIGINT, &action, nullptr) == 0 && sigaction(SIGTERM, &action, nullptr) == 0 &&
           signal(SIGPIPE, SIG_IGN) != SIG_ERR && signal(SIGXFSZ, SIG_IGN) != SIG_ERR;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (const int status = parseOptions(argc, argv, options)) return status == 1 ? 0 : status;

    // One meter per profile (the default meter without one), all on one line.
    std::vector<std::unique_ptr<Meter>> meters;
    std::string error;
    for (const std::string& profile : options.profiles) {
        meters.push_back(std::make_unique<Meter>());
        if (!meters.back()->loadProfile(profile, &error)) {
            std::fprintf(stderr, "%s: %s\n", kProgram, error.c_str());
            return 2;
        }
    }
    if (meters.empty()) meters.push_back(std::make_unique<Meter>());
    std::vector<Meter*> onLine;
    std::vector<const Meter*> toCheck;
    for (const auto& meter : meters) {
        onLine.push_back(meter.get());
        toCheck.push_back(meter.get());
    }
    if (const std::string conflict = lineConflict(toCheck); !conflict.empty()) {
        std::fprintf(stderr, "%s: one line cannot carry these profiles: %s\n", kProgram, conflict.c_str());
        return 2;
    }
    RequestLogFile log;
    if (!options.logPath.empty() && !log.open(options.logPath)) {
        std::fprintf(stderr, "%s: %s: %s\n", kProgram, options.logPath.c_str(), std::strerror(errno));
        return 2;
    }
    if (!installSignalHandlers()) {
        std::fprintf(stderr, "%s: cannot install signal handlers\n", kProgram);
        return 1;
    }
    std::mutex meterMutex;
    MeterHartIp network(onLine, meterMutex, options.faults, options.mode, [&] { log.drain(onLine); });
    for (const auto& url : options.hartipUrls) {
        if (!network.serve(url, &error)) {
            std::fprintf(stderr, "%s: %s\n", kProgram, error.c_str());
            return 1;
        }
        std::printf("%s: serving HART-IP on %s\n", kProgram, network.endpoints().back().url().c_str());
    }
    std::fflush(stdout);
    if (options.ptyPath.empty()) {
        // HART-IP only: the servers run on their own threads until a signal.
        char byte;
        while (read(gSignalPipe[0], &byte, 1) < 0 && errno == EINTR) {
        }
        return 0;
    }
    PseudoTerminal pty;
    if (!pty.open(options.ptyPath, error)) {
        std::fprintf(stderr, "%s: %s\n", kProgram, error.c_str());
        return 1;
    }
    MeterLine line(onLine, options.faults, options.mode);
    std::printf("%s: listening on %s -> %s\n", kProgram, options.ptyPath.c_str(), pty.slaveName().c_str());
    std::fflush(stdout);

    LineLoop(pty, meterMutex, line, log, options.pace).run();
    return 0;
}
