// CKvFenwireCtrl, the HART link control: its properties, the transaction
// engine behind them, the data buffer with its typed accessors and the
// decoding of universal-command replies. Everything runs on the thread that
// created the control; the frame driver reaches it only through posted
// messages, handled by the control's message window.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include <QPointer>

#include "link/control/variant.h"
#include "link/driver/wendrel.h"

class QWidget;

namespace fenwire {

class MessageWindow;
class ControlWindow;
class BusviewWindow;
class BusviewSending;

class CKvFenwireCtrl {
public:
    using EventSink = std::function<void(int dispid, int argc, int16_t* args)>;
    using ChangeSink = std::function<void(int dispid)>;
    using FrameSink = std::function<void(int origin, const wendrel::MonitorRecord& frame)>;

    CKvFenwireCtrl();
    ~CKvFenwireCtrl();
    CKvFenwireCtrl(const CKvFenwireCtrl&) = delete;
    CKvFenwireCtrl& operator=(const CKvFenwireCtrl&) = delete;

    // Automation: property get and put by DISPID, methods by DISPID.
    HResult get(int dispid, Variant& out) const;
    HResult put(int dispid, const Variant& value);
    HResult invoke(int dispid, int32_t& result);
    // Description of the automation error last raised.
    const std::string& errorDescription() const { return errorDescription_; }

    void setEventSink(EventSink sink) { eventSink_ = std::move(sink); }
    void setChangeSink(ChangeSink sink) { changeSink_ = std::move(sink); }
    // Every frame on the line goes to the sink as well as to the bus monitor
    // window; a null sink stops that.
    void setFrameSink(FrameSink sink);
    // The container's ambient user mode: true at run time.
    void setUserMode(bool runMode) { userMode_ = runMode; }
    bool userMode() const { return userMode_; }
    bool modified() const { return modified_; }

    // Persistence: only cComMode, as "ComMode".
    std::string saveProperties() const;
    bool loadProperties(const std::string& text);

    // The 32 by 32 window, created on first use.
    QWidget* window();
    void showAboutBox();
    void showPropertyPage();

    // Messages of the frame driver, delivered by the message window.
    void onNotify(intptr_t wParam, intptr_t lParam);
    void onReply(intptr_t wParam, intptr_t lParam);
    void onMonitor(intptr_t wParam, intptr_t lParam);

    // For the bus monitor: starts a transaction for a command number with the
    // request data of the data buffer.
    void startTransaction(int command);
    int32_t driverHandle() const { return driverHandle_; }
    // For the bus monitor: turns a command text ("Cmd, DataLen, DataDescription")
    // into a request and starts its transaction. The command number that went
    // out, or -1 when the text gave no request or nothing could be sent.
    int sendCommandText(const std::string& text);
    // For the bus monitor's scripts: the next transaction fetches the device's
    // identifier first (command 0 or 11).
    void forgetUniqueId() { uniqueIdKnown_ = false; }

    // The p-properties from a universal command's reply data (status bytes
    // excluded), `length` bytes at `data`; nothing is read beyond them.
    void decodeUniversal(int command, const uint8_t* data, int length);

private:
    // Plain storage of a property, and the same with a change report.
    void store(int dispid, const Variant& v);
    void storeShort(int dispid, int v) { store(dispid, Variant::fromShort(static_cast<int16_t>(v))); }
    void setReported(int dispid, const Variant& v);
    void setShortReported(int dispid, int v) { setReported(dispid, Variant::fromShort(static_cast<int16_t>(v))); }
    void report(int dispid);
    void reportAccessors();
    int shortOf(int dispid) const;
    const std::string& stringOf(int dispid) const;
    void fire(int dispid, std::initializer_list<int16_t> args);

    // Hooks for the bus monitor window; they do nothing until it exists.
    bool busviewRunningScript() const;
    void busviewTakeOver(int command, int result);
    bool busviewEntrySendOutstanding() const;
    void busviewEntrySendEnded(int command, bool replied, bool followUpStarted);
    void busviewSetDriverHandle(int32_t handle);
    void openBusview();
    void closeBusview();
    void busviewClosedByUser();
    // The driver keeps one monitor per line. The bus monitor window registers
    // this control's message window as it while open; the frame sink needs
    // the same registration whether or not the window is open.
    void syncFrameMonitor();

    // Request data as the host put it in: a command waiting for the
    // identifier goes out with these, whatever the buffer holds by then.
    struct RequestData {
        std::array<uint8_t, 256> bytes{};
        int length = 0;  // xReqLen as written, refused by the driver when no frame can carry it
    };
    RequestData currentRequestData() const;
    void startTransaction(int command, const RequestData& data);

    // Line and configuration.
    void applyLineState();
    void closeLine();
    void sendConfiguration();
    void sendRtsDelay();
    void reopenIfOpen();

    // Addressing.
    void clearUniqueId();
    HResult writeDoCommand(int command);
    void writeAction(int action);
    void writeUniqueIdByte(int index, int value);

    // Buffer accessors.
    bool readAccessor(int dispid, Variant& out) const;
    bool writeAccessor(int dispid, const Variant& value);

    std::array<Variant, 86> values_;  // DISPIDs 1..83 and 85; 0 and 84 (a method) unused
    std::string caption_;
    mutable std::string scratch_;

    int32_t driverHandle_ = -1;
    int32_t portHandle_ = -1;
    std::array<uint8_t, 5> uniqueId_{};
    bool uniqueIdKnown_ = false;
    int pendingCommand_ = 0;
    RequestData pendingData_;
    int shortIdentityRepeats_ = 0;
    std::array<uint8_t, 256> buffer_{};
    int lastPort_ = 1;
    int lastMode_ = 0;
    int lastState_ = 0;

    bool userMode_ = true;
    bool modified_ = false;
    std::string errorDescription_;
    EventSink eventSink_;
    ChangeSink changeSink_;
    FrameSink frameSink_;
    int32_t frameMonitorHandle_ = -1;  // the line the frame sink's monitor is registered on
    std::unique_ptr<MessageWindow> messageWindow_;
    // A host may reparent the window into its form, whose end then deletes it:
    // a guarded pointer, not an owning one.
    QPointer<QWidget> controlWindow_;
    std::unique_ptr<BusviewWindow> busview_;  // null while the bus monitor is closed
    std::unique_ptr<BusviewSending> busviewSending_;  // with the window; dropped before it
};

}  // namespace fenwire
