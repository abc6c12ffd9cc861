// soak-control: a long run of transactions through the link control against
// the simulated meter on the in-memory line, with faults on the line (no
// answer, bad checksum, busy, late, noise, burst frames). It checks that every
// request ended in exactly one Result, that cBusy came back to 0, that no call
// blocked longer than the line's retry time, and that resident memory at the
// end stays within 1 MiB of that after the first 1,000 transactions. The
// counts come last; the exit status is 0 when every check held.
//
//   soak-control [--transactions N] [--fault-rate P] [--no-burst] [--line-changes] [--seed N]
#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#include "tests/support/control_soak.h"

namespace {

long residentKiB() {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

}  // namespace

int main(int argc, char** argv) {
    testsupport::SoakOptions options;
    options.transactions = 10000;
    options.burstFrames = true;
    options.lineChanges = false;
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (!std::strcmp(argv[i], "--transactions") && hasValue) options.transactions = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--seed") && hasValue) options.seed = static_cast<uint32_t>(std::atol(argv[++i]));
        else if (!std::strcmp(argv[i], "--fault-rate") && hasValue) options.faultRate = std::atof(argv[++i]);
        else if (!std::strcmp(argv[i], "--no-burst")) options.burstFrames = false;
        else if (!std::strcmp(argv[i], "--line-changes")) options.lineChanges = true;
        else {
            std::fprintf(stderr, "usage: soak-control [--transactions N] [--fault-rate P] [--no-burst] [--line-changes] [--seed N]\n");
            return 2;
        }
    }
    if (options.transactions < 1) options.transactions = 1;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    const int baselineAt = std::min(1000, options.transactions);
    long baselineKiB = 0, endKiB = 0;
    options.progress = [&](int sent) {
        if (sent == baselineAt) baselineKiB = residentKiB();
        if (sent == options.transactions) endKiB = residentKiB();
        if (sent % 1000 == 0) std::fprintf(stderr, "%d transactions\n", sent);
    };
    const auto report = testsupport::runControlSoak(options);
    const long afterKiB = residentKiB();

    auto problems = report.problems();
    if (endKiB - baselineKiB > 1024)
        problems.push_back("resident memory grew " + std::to_string(endKiB - baselineKiB) + " KiB after the first " +
                           std::to_string(baselineAt) + " transactions");
    for (const auto& p : problems) std::printf("PROBLEM %s\n", p.c_str());
    std::printf("%s", report.summary().c_str());
    std::printf("rss_kib_after_%d %ld\nrss_kib_at_end %ld\nrss_kib_after_run %ld\nrss_growth_kib %ld\nresult %s\n",
                baselineAt, baselineKiB, endKiB, afterKiB, endKiB - baselineKiB, problems.empty() ? "ok" : "FAILED");
    return problems.empty() ? 0 : 1;
}
