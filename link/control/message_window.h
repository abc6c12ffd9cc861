// The control's message window: the driver posts its messages here from its
// I/O thread; they are handled on the control's thread as Qt events.
#pragma once

#include <QObject>
#include <functional>

#include "link/driver/wendrel.h"

namespace fenwire {

class MessageWindow : public QObject, public wendrel::MessageTarget {
    Q_OBJECT
public:
    using Handler = std::function<void(int32_t message, intptr_t wParam, intptr_t lParam)>;
    explicit MessageWindow(Handler handler);

    // Thread-safe: queues the message for the owning thread.
    void post(int32_t message, intptr_t wParam, intptr_t lParam) override;

    // Messages handled so far by all message windows of the process.
    static quint64 deliveredCount();

protected:
    void customEvent(QEvent* event) override;

private:
    Handler handler_;
};

// Signals each message handled by any message window of the process.
class DeliveryNotifier : public QObject {
    Q_OBJECT
public:
    static DeliveryNotifier& instance();
signals:
    void delivered();
};

// Delivers posted messages, waiting up to timeoutMs for the first one to be
// handled; returns how many were handled.
int processMessages(int timeoutMs);

}  // namespace fenwire
