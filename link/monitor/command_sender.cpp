#include "link/monitor/command_sender.h"

namespace fenwire::busview {

void CommandSender::accept(std::string text, bool cyclic) {
    text_ = std::move(text);
    cyclic_ = cyclic;
    sendNow(false);
}

bool CommandSender::sendNow(bool scriptRunning) {
    if (outstanding_ || scriptRunning) return false;
    return start();
}

bool CommandSender::start() {
    sentCommand_ = send_(text_);
    outstanding_ = sentCommand_ >= 0;
    // Nothing went out, so nothing will come back to repeat on: Stop must
    // not claim a cycle that is not running.
    if (!outstanding_) cyclic_ = false;
    return outstanding_;
}

void CommandSender::transactionEnded(int command, bool replied, int response1, bool followUpStarted) {
    if (!outstanding_ || followUpStarted) return;
    const bool identityFirst = command == 0 || command == 11;
    if (command != sentCommand_ && !identityFirst) return;
    outstanding_ = false;
    if (!replied) {
        cyclic_ = false;
        return;
    }
    if (response1 == kResponseBusy || cyclic_) start();
}

}  // namespace fenwire::busview
