// What every GUI test of the application shares: settings in a directory of
// their own, message boxes under the application title, and no serial port
// but the test's own port 1 (the machine running the tests may have some).
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/shell/frmMain.h"
#include "link/driver/portmap.h"
#include "tests/support/sim_on_pipe.h"

namespace apptest {

inline const QString kTitle = QString::fromLatin1(app::kApplicationTitle);
inline constexpr int kLastProbedPort = 24;

class IsolatedAppTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        settingsDir = new QTemporaryDir;
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir->path());
        app::SetApplicationTitle();
        for (int port = 2; port <= kLastProbedPort; ++port)
            wendrel::SetPortPath(port, "/nonexistent/com" + std::to_string(port));
    }
    static void TearDownTestSuite() {
        for (int port = 2; port <= kLastProbedPort; ++port) wendrel::SetPortPath(port, "");
        delete settingsDir;
        settingsDir = nullptr;
    }
    static inline QTemporaryDir* settingsDir = nullptr;
};

using MeterSettings = std::vector<std::pair<std::string, std::string>>;

// The simulated meter of a shipped profile, with `settings` ("key", "value")
// applied on top, as the test's port 1.
inline void startMeter(std::unique_ptr<testsupport::SimOnPipe>& sim, const char* profile,
                       const MeterSettings& settings) {
    sim.reset();  // one meter on port 1 at a time
    sim = std::make_unique<testsupport::SimOnPipe>();
    std::string error;
    ASSERT_TRUE(sim->meter.loadProfile(std::string(CORVANE_SIM_PROFILES) + "/" + profile + ".profile", &error))
        << error;
    for (const auto& [key, value] : settings) ASSERT_TRUE(sim->meter.setValue(key, value, &error)) << error;
}

// Runs the event loop until `condition` holds; false when `timeoutMs` passed first.
inline bool waitFor(const std::function<bool()>& condition, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    }
    return true;
}

}  // namespace apptest
