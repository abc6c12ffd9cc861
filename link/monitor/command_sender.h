// Command entry of the bus monitor: the command text, sent once or
// cyclically, repeated while the device answers busy, ended by a silent
// device. It decides only when to send; sending itself (text to request to
// transaction) is the link control's, reached through the Send callback.
#pragma once

#include <functional>
#include <string>

namespace fenwire::busview {

inline constexpr int kResponseBusy = 32;

// The Send menu's fixed texts; the last three open the entry dialog first.
struct MenuTemplate {
    int menuId;
    const char* text;
    bool opensDialog;
};
inline constexpr MenuTemplate kSendMenuTemplates[] = {
    {32817, "0,0", false},   {32818, "1,0", false},   {32819, "2,0", false},   {32820, "3,0", false},
    {32821, "12,0", false},  {32822, "13,0", false},  {32823, "14,0", false},  {32824, "15,0", false},
    {32825, "16,0", false},
    {32826, "17,24,pca24,32_CHAR_MESSAGE_________________", true},
    {32827, "18,21,pca6,TAG_NAME,pca12,16_CHAR_DESCR.__,27,3,101", true},
    {32828, "19,3,dec24,1234567", true},
};

class CommandSender {
public:
    // Starts the transaction of a command text: the command number it went
    // out with, or -1 when the text gave no request or nothing could be sent.
    using Send = std::function<int(const std::string& text)>;

    explicit CommandSender(Send send) : send_(std::move(send)) {}

    const std::string& text() const { return text_; }
    void setText(std::string text) { text_ = std::move(text); }
    bool cyclic() const { return cyclic_; }
    // Stop is enabled exactly while sending is cyclic.
    bool stopEnabled() const { return cyclic_; }
    bool outstanding() const { return outstanding_; }

    // The entry dialog's OK: takes text and flag, then sends.
    void accept(std::string text, bool cyclic);
    // Sends the current text, unless a send is outstanding or a script runs.
    // True when a request went out.
    bool sendNow(bool scriptRunning);
    // The Send menu's Stop: no further cyclic repeats.
    void stop() { cyclic_ = false; }

    // A transaction of the line ended (no script running); `followUpStarted`
    // when the control went on at once with the command it still owed (the
    // one that waited for the identifier, or a repeat of command 0 or 11).
    // It ends this sender's send when the command is the one sent, or when
    // it is the command 0 or 11 that had to precede it and nothing followed:
    // the control gave the sent command up.
    void transactionEnded(int command, bool replied, int response1, bool followUpStarted = false);

private:
    bool start();

    Send send_;
    std::string text_;
    bool cyclic_ = false;
    bool outstanding_ = false;
    int sentCommand_ = -1;
};

}  // namespace fenwire::busview
