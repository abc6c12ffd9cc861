// How long the utility takes from launch to its main window on the screen,
// against a bare Qt window. Each round launches this program twice as a child:
// once building the utility's main window as the program does (the link
// control loaded by its ProgID, the port form probing COM 1..24, COM 1 mapped
// to the simulated meter, the others absent), once a plain QWidget. The clock
// runs from the fork to the window's first paint, which the child stamps on
// its standard output before it ends; what the child does after (closing the
// link, saving settings) is not counted. The last line prints the ratio of
// the median launch times.
//
//   bench-startup [ROUNDS]      (default 10)
#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QTemporaryDir>
#include <QWidget>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "app/forms/forms.h"
#include "app/shell/frmMain.h"
#include "app/tools/tools.h"
#include "link/control/fenwire_loader.h"
#include "tools/sim_process.h"

namespace {

// At the watched window's first paint: writes the time (steady clock, in
// nanoseconds, the same clock in every process) and ends the program.
class FirstPaint : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && !painted_) {
            painted_ = true;
            const auto now = std::chrono::steady_clock::now().time_since_epoch();
            std::printf("%lld\n",
                        static_cast<long long>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()));
            std::fflush(stdout);
            QCoreApplication::exit(0);
        }
        return false;
    }

private:
    bool painted_ = false;
};

int runWindow(int argc, char** argv, bool utility) {
    QApplication application(argc, argv);
    FirstPaint firstPaint;
    if (!utility) {
        QWidget bare;
        bare.installEventFilter(&firstPaint);
        bare.show();
        return application.exec();
    }
    fenwire::FenwireLibrary library;
    if (!library.load("Fenwire.HartCtrl.1")) {
        std::fprintf(stderr, "%s\n", library.error().c_str());
        return 1;
    }
    app::RegisterForms();
    app::RegisterTools();
    app::frmMain window(library.api());
    window.installEventFilter(&firstPaint);
    window.show();
    return application.exec();
}

// Seconds from fork to the child's first paint; negative when it failed.
double launch(const char* self, const char* mode) {
    int stamp[2];
    if (pipe(stamp) != 0) return -1;
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(stamp[1], STDOUT_FILENO);
        close(stamp[0]);
        close(stamp[1]);
        execl(self, self, mode, static_cast<char*>(nullptr));
        _exit(127);
    }
    close(stamp[1]);
    std::string text;
    char buffer[64];
    for (ssize_t n; (n = read(stamp[0], buffer, sizeof buffer)) != 0;) {
        if (n > 0) text.append(buffer, static_cast<size_t>(n));
        else if (errno != EINTR) break;
    }
    close(stamp[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || text.empty()) return -1;
    const std::chrono::steady_clock::time_point painted{
        std::chrono::duration_cast<std::chrono::steady_clock::duration>(
            std::chrono::nanoseconds(std::strtoll(text.c_str(), nullptr, 10)))};
    return std::chrono::duration<double>(painted - start).count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--bare") == 0) return runWindow(argc, argv, false);
    if (argc > 1 && std::strcmp(argv[1], "--utility") == 0) return runWindow(argc, argv, true);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;

    // The children: no display needed, settings of their own, the meter on COM 1.
    QTemporaryDir config;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("XDG_CONFIG_HOME", QDir(config.path()).absolutePath().toLocal8Bit().constData(), 1);
    setenv("FENWIRE_REGISTRY", (config.path() + "/registry.ini").toLocal8Bit().constData(), 1);
    tools::SimProcess sim;
    std::string error;
    if (!sim.start(tools::besideSelf("corvane-meter-sim"), {}, &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    setenv("WENDREL_PORTS", ("1=" + sim.linkPath()).c_str(), 1);

    std::vector<double> utility, bare;
    for (int i = 0; i < rounds; ++i) {
        const double u = launch(argv[0], "--utility");
        const double b = launch(argv[0], "--bare");
        if (u < 0 || b < 0) {
            std::fprintf(stderr, "a window did not come up\n");
            return 1;
        }
        utility.push_back(u);
        bare.push_back(b);
    }
    const double u = median(utility), b = median(bare);
    std::printf("rounds %d: to the first paint, utility main window %.1f ms, bare Qt window %.1f ms (medians)\n",
                rounds, u * 1000, b * 1000);
    std::printf("ratio %.3f\n", u / b);
    return 0;
}
