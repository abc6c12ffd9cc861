// Saves a picture of the bus monitor window recording the simulated meter's
// traffic: the meter runs as its own process on a pty with a few faults
// switched on (lost replies, bad checksums, busy answers), the link control
// reads the universal commands a few times, and the window is grabbed.
//   busview-screenshot FILE
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QWidget>
#include <cstdio>
#include <string>

#include "link/control/control.h"
#include "link/control/fenwire_dispids.h"
#include "link/control/message_window.h"
#include "link/driver/portmap.h"
#include "link/monitor/busview_window.h"
#include "tools/sim_process.h"

using namespace fenwire;

namespace {

void put(CKvFenwireCtrl& control, int dispid, int value) {
    control.put(dispid, Variant::fromShort(static_cast<int16_t>(value)));
}

bool waitIdle(CKvFenwireCtrl& control) {
    for (int rounds = 0; rounds < 200; ++rounds) {
        Variant busy;
        control.get(FW_cBusy, busy);
        if (busy.i == 0) return true;
        processMessages(50);
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: busview-screenshot FILE\n");
        return 2;
    }
    const QString target = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    QApplication app(argc, argv);

    tools::SimProcess sim;
    std::string error;
    if (!sim.start(tools::besideSelf("corvane-meter-sim"),
                   {"--mode", "2", "--no-answer", "0.12", "--bad-checksum", "0.08", "--busy", "0.08", "--seed", "5"},
                   &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    wendrel::SetPortPath(1, sim.linkPath());

    // The window keeps its settings in the current directory: timing shown.
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    QFile ini(QDir(dir.path()).filePath(QStringLiteral("busvw.ini")));
    if (ini.open(QIODevice::WriteOnly)) ini.write("[Settings]\r\nNoTiming=0\r\n");
    ini.close();

    CKvFenwireCtrl control;
    put(control, FW_cComMode, 2);
    put(control, FW_cComState, 1);
    put(control, FW_cBusview, 1);
    for (int round = 0; round < 2; ++round) {
        for (int command : {0, 1, 2, 3, 12, 13, 14, 15, 16, 48}) {
            put(control, FW_cDoCommand, command);
            if (!waitIdle(control)) {
                std::fprintf(stderr, "the meter did not finish command %d\n", command);
                return 1;
            }
        }
    }
    processMessages(200);

    BusviewWindow* window = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* b = qobject_cast<BusviewWindow*>(w)) window = b;
    if (!window) {
        std::fprintf(stderr, "no bus monitor window\n");
        return 1;
    }
    window->resize(1000, 560);
    app.processEvents();
    if (!window->grab().save(target)) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    put(control, FW_cBusview, 0);
    put(control, FW_cComState, 0);
    std::printf("%s\n", argv[1]);
    return 0;
}
