#include "link/control/message_window.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QTimer>
#include <atomic>

namespace fenwire {

namespace {

const QEvent::Type kDriverMessage = static_cast<QEvent::Type>(QEvent::registerEventType());
std::atomic<quint64> gDelivered{0};

// Carries one driver message; a monitor record never handled is freed here.
class DriverMessageEvent : public QEvent {
public:
    DriverMessageEvent(int32_t message, intptr_t wParam, intptr_t lParam)
        : QEvent(kDriverMessage), message(message), wParam(wParam), lParam(lParam) {}
    ~DriverMessageEvent() override {
        if (message == wendrel::WM_HART_MONITOR && lParam) wendrel::FreeMonitorRecord(lParam);
    }
    int32_t message;
    intptr_t wParam;
    intptr_t lParam;
};

}  // namespace

MessageWindow::MessageWindow(Handler handler) : handler_(std::move(handler)) {}

void MessageWindow::post(int32_t message, intptr_t wParam, intptr_t lParam) {
    QCoreApplication::postEvent(this, new DriverMessageEvent(message, wParam, lParam));
}

void MessageWindow::customEvent(QEvent* event) {
    if (event->type() != kDriverMessage) return;
    auto* m = static_cast<DriverMessageEvent*>(event);
    const intptr_t lParam = m->lParam;
    if (m->message == wendrel::WM_HART_MONITOR) m->lParam = 0;  // the handler owns the record now
    ++gDelivered;
    handler_(m->message, m->wParam, lParam);
    emit DeliveryNotifier::instance().delivered();
}

DeliveryNotifier& DeliveryNotifier::instance() {
    static DeliveryNotifier notifier;
    return notifier;
}

quint64 MessageWindow::deliveredCount() { return gDelivered.load(); }

int processMessages(int timeoutMs) {
    const quint64 before = gDelivered.load();
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (gDelivered.load() == before && timeoutMs > 0) {
        // Sleep in the event loop until one of our messages is handled or the time is up.
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        QObject::connect(&DeliveryNotifier::instance(), &DeliveryNotifier::delivered, &loop, &QEventLoop::quit);
        timer.start(timeoutMs);
        loop.exec();
        QCoreApplication::sendPostedEvents();
    }
    return static_cast<int>(gDelivered.load() - before);
}

}  // namespace fenwire
