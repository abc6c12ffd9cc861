// How long the utility takes from launch to its main window on the screen,
// against a bare Qt window. Each round launches this program twice as a child:
// once building the utility's main window as the program does (the link
// control loaded by its ProgID, the port form probing COM 1..24, COM 1 mapped
// to the simulated meter, the others absent), once a plain QWidget; a child
// ends at its window's first paint. The last line prints the ratio of the
// median launch times.
//
//   bench-startup [ROUNDS]      (default 10)
#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QTemporaryDir>
#include <QWidget>
#include <algorithm>
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

// Ends the program at the watched window's first paint.
class FirstPaint : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) QCoreApplication::exit(0);
        return false;
    }
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

// Seconds from fork to the child's end; negative when it failed.
double launch(const char* self, const char* mode) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        execl(self, self, mode, static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? seconds : -1;
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
    std::printf("rounds %d: utility main window %.1f ms, bare Qt window %.1f ms (medians)\n", rounds, u * 1000,
                b * 1000);
    std::printf("ratio %.3f\n", u / b);
    return 0;
}
