// corvane-hart: the HART interface utility for the Corvane vortex flow meter.
//
//   corvane-hart [--sim [PROFILE]] [--screenshot FILE [--form DIALOG]]
//   corvane-hart --help | --version
//
// --sim starts corvane-meter-sim (from beside this program) on a
// pseudo-terminal and makes it COM 1, optionally loading a profile file.
// --screenshot presses Connect once the window is up, saves the main window
// as a PNG and exits; with --form it opens that configuration dialog or tool
// (frmPulseOutput, frmDiagnostics, ...) after Connect, presses its Read if
// it has one, and saves the dialog instead.
#include <QApplication>
#include <QDialog>
#include <QFileInfo>
#include <QPixmap>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <fcntl.h>
#include <unistd.h>

#include "app/forms/forms.h"
#include "app/tools/tools.h"
#include "app/shell/frmMain.h"
#include "link/control/fenwire_loader.h"
#include "platform/keyboard.h"
#include "platform/platform.h"
#include "tools/sim_process.h"

namespace {

struct Options {
    bool sim = false;
    QString profile;
    QString screenshot;
    QString form;  // the dialog to take instead of the main window
};

constexpr int kScreenshotTimeoutMs = 60000;

constexpr char kUsageLine[] = "usage: corvane-hart [--sim [PROFILE]] [--screenshot FILE [--form DIALOG]]\n";
constexpr char kHelp[] =
    "The HART interface utility for Corvane vortex flow meters.\n\n"
    "  --sim [PROFILE]     start the simulated meter (corvane-meter-sim beside this\n"
    "                      program) on a pseudo-terminal as COM 1, with a profile file\n"
    "  --screenshot FILE   connect, save the main window as a PNG and exit\n"
    "  --form DIALOG       with --screenshot: open that dialog and save it instead\n"
    "  --help              show this text\n"
    "  --version           show the version\n";

int usage(const QString& why) {
    std::fprintf(stderr, "corvane-hart: %s\n%s", why.toLocal8Bit().constData(), kUsageLine);
    return 2;
}

// --help and --version are answered before the window system is opened, so
// they work without a display.
std::optional<int> answerInformationOption(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("corvane-hart %s\n", CORVANE_VERSION);
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0) {
            std::printf("%s%s", kUsageLine, kHelp);
            return 0;
        }
    }
    return std::nullopt;
}

// False with a reason in `error` on a bad command line.
bool parseOptions(const QStringList& args, Options& options, QString& error) {
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& arg = args[i];
        const bool hasValue = i + 1 < args.size() && !args[i + 1].startsWith(QLatin1String("--"));
        if (arg == QLatin1String("--sim")) {
            options.sim = true;
            if (hasValue) options.profile = args[++i];
        } else if (arg == QLatin1String("--screenshot")) {
            if (!hasValue) {
                error = QStringLiteral("--screenshot needs a file name");
                return false;
            }
            options.screenshot = args[++i];
        } else if (arg == QLatin1String("--form")) {
            if (!hasValue) {
                error = QStringLiteral("--form needs a dialog name");
                return false;
            }
            options.form = args[++i];
        } else {
            error = "unknown option " + arg;
            return false;
        }
    }
    if (!options.form.isEmpty() && options.screenshot.isEmpty()) {
        error = QStringLiteral("--form goes with --screenshot");
        return false;
    }
    return true;
}

// Tells why the program cannot start: on standard error, and on the screen
// unless a script runs it (a message box would wait for nobody).
int startFailure(const QString& why, bool interactive) {
    std::fprintf(stderr, "corvane-hart: %s\n", why.toLocal8Bit().constData());
    if (interactive) platform::MsgBox(why, platform::vbOKOnly, platform::vbCritical);
    return 1;
}

// Makes the simulated meter's pseudo-terminal COM 1; a mapping already in the
// environment is kept for the other ports (the last mention of a port wins).
void mapComOneTo(const std::string& path) {
    const char* existing = std::getenv("WENDREL_PORTS");
    std::string ports = existing && *existing ? std::string(existing) + "," : std::string();
    ports += "1=" + path;
    setenv("WENDREL_PORTS", ports.c_str(), 1);
}

// SIGTERM, SIGINT and SIGHUP end the program as closing its window does:
// tool windows give back what they hold (a fixed loop current) and the port
// is saved. The handler only writes to a pipe; the event loop does the rest.
// A signal the program was started to ignore (nohup) stays ignored.
constexpr int kTerminationSignals[] = {SIGTERM, SIGINT, SIGHUP};
constexpr int kCloseRetryMs = 500;
int gSignalPipe[2] = {-1, -1};

void onTerminationSignal(int) {
    const int savedErrno = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(gSignalPipe[1], &byte, 1);
    errno = savedErrno;
}

void catchTerminationSignals() {
    if (pipe2(gSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : kTerminationSignals) {
        struct sigaction before {};
        if (sigaction(signal, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
        sigaction(signal, &action, nullptr);
    }
}

// Once the window is gone, a signal ends the program at once again.
void restoreTerminationSignals() {
    struct sigaction action {};
    for (int signal : kTerminationSignals)
        if (sigaction(signal, nullptr, &action) == 0 && action.sa_handler == onTerminationSignal)
            std::signal(signal, SIG_DFL);
}

// Closes every window; while the main window refuses (a transfer to the
// meter under way), tries again shortly. The last window closed ends the loop.
void closeAllWindowsWhenAllowed(QWidget* mainWindow) {
    QApplication::closeAllWindows();
    if (mainWindow->isVisible())
        QTimer::singleShot(kCloseRetryMs, mainWindow, [mainWindow] { closeAllWindowsWhenAllowed(mainWindow); });
    else
        QCoreApplication::quit();
}

// A signal caught before the window was up waits in the pipe until now.
void closeWindowsOnTerminationSignal(QWidget* mainWindow) {
    if (gSignalPipe[0] == -1) return;
    auto* notifier = new QSocketNotifier(gSignalPipe[0], QSocketNotifier::Read, mainWindow);
    QObject::connect(notifier, &QSocketNotifier::activated, mainWindow, [mainWindow] {
        char byte = 0;
        while (read(gSignalPipe[0], &byte, 1) > 0) {
        }
        closeAllWindowsWhenAllowed(mainWindow);
    });
}

}  // namespace

int main(int argc, char** argv) {
    if (const auto status = answerInformationOption(argc, argv)) return *status;
    // Beyond a file-size limit (ulimit -f) a write fails as on a full disk,
    // and the program's own failure message follows, instead of the signal
    // ending it with a file cut short.
    std::signal(SIGXFSZ, SIG_IGN);
    QApplication application(argc, argv);
    catchTerminationSignals();
    app::SetApplicationTitle();

    Options options;
    QString error;
    if (!parseOptions(QApplication::arguments(), options, error)) return usage(error);
    const bool interactive = options.screenshot.isEmpty();

    // Declared before the window, so the meter outlives the link opened on it.
    tools::SimProcess sim;
    if (options.sim) {
        std::vector<std::string> simArgs;
        if (!options.profile.isEmpty()) {
            // The simulated meter runs in a directory of its own: give it the full path.
            simArgs = {"--profile", QFileInfo(options.profile).absoluteFilePath().toStdString()};
        }
        std::string why;
        if (!sim.start(tools::besideSelf("corvane-meter-sim"), simArgs, &why))
            return startFailure(QString::fromStdString(why), interactive);
        mapComOneTo(sim.linkPath());
    }

    fenwire::FenwireLibrary library;
    if (!library.load("Fenwire.HartCtrl.1")) return startFailure(QString::fromStdString(library.error()), interactive);

    app::RegisterForms();
    app::RegisterTools();
    app::frmMain window(library.api());
    window.show();
    closeWindowsOnTerminationSignal(&window);

    if (!options.screenshot.isEmpty()) {
        // A message box left open (a meter that does not answer) must not hang a script.
        QTimer::singleShot(kScreenshotTimeoutMs, [&sim] {
            std::fprintf(stderr, "corvane-hart: no screenshot within %d s\n", kScreenshotTimeoutMs / 1000);
            sim.stop();
            std::_Exit(3);
        });
        QTimer::singleShot(0, &window, [&window, &options] {
            window.findChild<QPushButton*>(QStringLiteral("btnConnect"))->click();  // returns when Connect is done
            std::unique_ptr<QDialog> form;
            if (!options.form.isEmpty()) {
                form = app::CreateForm(options.form, &window);  // reads the meter while it opens
                if (!form) form = app::CreateTool(options.form, &window);
                if (!form) {
                    std::fprintf(stderr, "corvane-hart: no dialog %s\n", options.form.toLocal8Bit().constData());
                    QCoreApplication::exit(2);
                    return;
                }
                platform::applyEntryLook(*form);
                platform::prepareKeyboard(*form);
                form->show();
                // A report shows its values once read.
                if (auto* read = form->findChild<QPushButton*>(QStringLiteral("btnRead"))) read->click();
            }
            QWidget& shot = form ? static_cast<QWidget&>(*form) : static_cast<QWidget&>(window);
            const bool saved = shot.grab().save(options.screenshot, "PNG");
            if (!saved)
                std::fprintf(stderr, "corvane-hart: cannot write %s\n", options.screenshot.toLocal8Bit().constData());
            QCoreApplication::exit(saved ? 0 : 1);
        });
    }
    const int status = application.exec();
    restoreTerminationSignals();
    return status;
}
