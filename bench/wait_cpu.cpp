// The CPU the utility's process spends while its senders wait on the line:
// the commands layer of the utility, in this process with the link control,
// sends N requests (command 3 and the meter's diagnostics, alternately) to the
// paced simulated meter at 1200 bit/s. The process's CPU time (every thread:
// event loop, link control, frame driver) over the wall time they took is the
// share of one core; the last line prints it.
//
//   bench-wait-cpu [N]      (default 20)
#include <QApplication>
#include <QObject>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>

#include "app/commands/ReadHART.h"
#include "app/commands/SendHART.h"
#include "app/commands/fenwire1.h"
#include "app/commands/mGlobal.h"
#include "link/driver/portmap.h"
#include "tests/support/linked_fenwire.h"
#include "tools/sim_process.h"

namespace {

double processCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int n = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;

    tools::SimProcess sim;
    std::string error;
    if (!sim.start(tools::besideSelf("corvane-meter-sim"), {"--pace", "--mode", "0"}, &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    wendrel::SetPortPath(1, sim.linkPath());

    app::FenwireControl control(testsupport::linkedFenwireApi());
    app::setFenwire1(&control);
    int answered = 0;
    QObject::connect(&control, &app::FenwireControl::Result, [&answered](short, short command, short result) {
        if (result != 1) return;
        ++answered;
        app::ReadHART(command);
    });
    control.put("cComPort", 1);
    control.put("cComState", 1);
    control.put("cAddrMode", 0);
    app::SendCmd0();
    if (answered == 0) {
        std::fprintf(stderr, "the simulated meter did not answer command 0\n");
        return 1;
    }

    answered = 0;
    const double cpuBefore = processCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < n; ++i) {
        if (i % 2 == 0) app::SendAction3();
        else app::SendCmd179();
    }
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = processCpuSeconds() - cpuBefore;
    control.put("cComState", 0);
    app::setFenwire1(nullptr);

    std::printf("requests %d, answered %d, wall %.3f s, process CPU %.3f s\n", n, answered, wall, cpu);
    std::printf("cpu share %.4f\n", cpu / wall);
    return answered == n ? 0 : 1;
}
