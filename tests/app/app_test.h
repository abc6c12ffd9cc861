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
#include <string>

#include "app/shell/frmMain.h"
#include "link/driver/portmap.h"

namespace apptest {

inline const QString kTitle = QString::fromLatin1(app::kApplicationTitle);
inline constexpr int kLastProbedPort = 24;

class IsolatedAppTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        settingsDir = new QTemporaryDir;
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir->path());
        QGuiApplication::setApplicationDisplayName(kTitle);
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
