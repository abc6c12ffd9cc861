#include "link/control/control.h"

#include <QWidget>
#include <algorithm>
#include <cstring>
#include <sstream>

#include "link/control/about_box.h"
#include "link/control/control_window.h"
#include "link/control/fenwire_dispids.h"
#include "link/control/message_window.h"
#include "link/control/property_page.h"
#include "link/control/property_table.h"
#include "link/driver/codec.h"
#include "link/driver/typed_frame.h"
#include "link/driver/wendrel.h"
#include "link/monitor/busview_sending.h"
#include "link/monitor/busview_window.h"
#include "platform/platform.h"

namespace fenwire {

namespace {

constexpr int kBufferSize = 256;
constexpr int kMaxShortIdentityRepeats = 3;  // a meter that keeps answering command 0 short is given up on
constexpr const char* kPendingCommandError =
    "Cannot service command without unique ID! The control just issued command 0 or 11 to get the ID. "
    "The last command was stored. But only one command can be stored at a time!";
constexpr int kAccessorReports[] = {FW_xInt8, FW_xInt16, FW_xInt24, FW_xInt32, FW_xPackedASCII, FW_xString, FW_xFloat};

bool isAccessor(int dispid) { return dispid >= FW_xFloat && dispid <= FW_xUnitString; }

// A reply that took the requested change: no communication error, and success
// or a warning as its response code.
bool acceptsChange(uint8_t responseCode) {
    constexpr uint8_t kCommunicationError = 0x80;
    if (responseCode & kCommunicationError) return false;
    const bool warning = responseCode == 8 || responseCode == 14 || (responseCode >= 24 && responseCode <= 27) ||
                         responseCode == 30 || responseCode == 31;
    return responseCode == 0 || warning;
}

}  // namespace

CKvFenwireCtrl::CKvFenwireCtrl() {
    for (const auto& p : propertyTable()) {
        if (p.dispid <= 0 || isAccessor(p.dispid)) continue;
        Variant v;
        v.type = p.type;
        values_[static_cast<size_t>(p.dispid)] = v;
    }
    storeShort(FW_cComPort, 1);
    storeShort(FW_cNoPreambles, 5);
    storeShort(FW_cNoRetries, 2);
    storeShort(FW_cRetrySilence, 1);
    messageWindow_ = std::make_unique<MessageWindow>([this](int32_t message, intptr_t w, intptr_t l) {
        switch (message) {
        case wendrel::WM_HART_NOTIFY: onNotify(w, l); break;
        case wendrel::WM_HART_REPLY: onReply(w, l); break;
        case wendrel::WM_HART_MONITOR: onMonitor(w, l); break;
        default: break;
        }
    });
}

CKvFenwireCtrl::~CKvFenwireCtrl() {
    busviewSending_.reset();
    busview_.reset();  // it unregisters its monitor while the driver is still there
    if (driverHandle_ != -1) wendrel::HART_UnRegisterDriver(driverHandle_);
    driverHandle_ = -1;
    delete controlWindow_.data();  // null when its host form has deleted it already
}

// ---- storage, reports, events ---------------------------------------------

void CKvFenwireCtrl::store(int dispid, const Variant& v) {
    if (dispid == FW_Caption || dispid == FW__Caption) {
        caption_ = v.s;
        return;
    }
    if (dispid > 0 && dispid < static_cast<int>(values_.size())) values_[static_cast<size_t>(dispid)] = v;
}

void CKvFenwireCtrl::report(int dispid) {
    if (changeSink_) changeSink_(dispid);
}

void CKvFenwireCtrl::setReported(int dispid, const Variant& v) {
    store(dispid, v);
    report(dispid);
}

void CKvFenwireCtrl::reportAccessors() {
    for (int d : kAccessorReports) report(d);
}

int CKvFenwireCtrl::shortOf(int dispid) const { return values_[static_cast<size_t>(dispid)].i; }

const std::string& CKvFenwireCtrl::stringOf(int dispid) const { return values_[static_cast<size_t>(dispid)].s; }

void CKvFenwireCtrl::fire(int dispid, std::initializer_list<int16_t> args) {
    if (!eventSink_) return;
    int16_t copy[4] = {};
    std::copy(args.begin(), args.end(), copy);
    eventSink_(dispid, static_cast<int>(args.size()), copy);
}

// ---- automation -----------------------------------------------------------

HResult CKvFenwireCtrl::get(int dispid, Variant& out) const {
    if (dispid == FW_Caption || dispid == FW__Caption) {
        out = Variant::fromString(caption_);
        return S_OK_;
    }
    if (!findProperty(dispid)) return E_MEMBERNOTFOUND;
    if (isAccessor(dispid)) {
        readAccessor(dispid, out);
        return S_OK_;
    }
    out = values_[static_cast<size_t>(dispid)];
    return S_OK_;
}

HResult CKvFenwireCtrl::put(int dispid, const Variant& raw) {
    const PropertyInfo* info = findProperty(dispid);
    if (!info) return E_MEMBERNOTFOUND;
    Variant value;
    if (HResult hr = coerce(raw, info->type, value); hr != S_OK_) return hr;
    if (isAccessor(dispid)) {
        if (writeAccessor(dispid, value)) {
            reportAccessors();
            fire(FW_EVENT_xPropertyChanged, {});
        }
        return S_OK_;
    }
    const int v = value.i;
    switch (dispid) {
    case FW_cComPort: {
        storeShort(dispid, std::clamp(v, 1, 32));
        if (shortOf(FW_cComPort) != lastPort_) reopenIfOpen();
        return S_OK_;
    }
    case FW_cComMode: {
        storeShort(dispid, v >= 0 && v <= 2 ? v : 0);
        if (shortOf(FW_cComMode) != lastMode_) {
            modified_ = true;
            reopenIfOpen();
        }
        return S_OK_;
    }
    case FW_cComState:
        store(dispid, value);
        applyLineState();
        return S_OK_;
    case FW_cNoPreambles:
    case FW_cNoRetries:
    case FW_cRetrySilence:
        store(dispid, value);
        sendConfiguration();
        return S_OK_;
    case FW_cRTSdelay:
        store(dispid, value);
        sendRtsDelay();
        return S_OK_;
    case FW_cDoCommand:
        store(dispid, value);
        return writeDoCommand(v);
    case FW_cAction:
        store(dispid, value);
        writeAction(v);
        return S_OK_;
    case FW_cAddrMode:
        store(dispid, value);
        if (v == 2) {
            for (int n = 0; n < 5; ++n) uniqueId_[static_cast<size_t>(n)] = static_cast<uint8_t>(shortOf(FW_cUnID0 + n));
            uniqueIdKnown_ = true;
        } else {
            clearUniqueId();
        }
        return S_OK_;
    case FW_cPollAddress:
        store(dispid, value);
        if (shortOf(FW_cAddrMode) == 0) clearUniqueId();
        return S_OK_;
    case FW_p13TagName:
        store(dispid, value);
        if (shortOf(FW_cAddrMode) != 0) clearUniqueId();
        return S_OK_;
    case FW_cUnID0:
    case FW_cUnID1:
    case FW_cUnID2:
    case FW_cUnID3:
    case FW_cUnID4:
        writeUniqueIdByte(dispid - FW_cUnID0, v);
        return S_OK_;
    case FW_xOffset:
        store(dispid, value);
        reportAccessors();
        return S_OK_;
    case FW_cBurstModeFlag:
        store(dispid, value);
        modified_ = true;
        return S_OK_;
    case FW_cBusview:
        store(dispid, value);
        if (v == 1) openBusview();
        else closeBusview();
        return S_OK_;
    default:
        store(dispid, value);
        return S_OK_;
    }
}

HResult CKvFenwireCtrl::invoke(int dispid, int32_t& result) {
    result = 0;
    switch (dispid) {
    case FW_ShowDialog:
    case FW_AboutBox:
        showAboutBox();
        return S_OK_;
    default:
        return E_MEMBERNOTFOUND;
    }
}

// ---- persistence, window, dialogs -----------------------------------------

std::string CKvFenwireCtrl::saveProperties() const {
    // Property exchange version 3.0; only the line mode is kept.
    return "_Version=196608\nComMode=" + std::to_string(shortOf(FW_cComMode)) + "\n";
}

bool CKvFenwireCtrl::loadProperties(const std::string& text) {
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const auto eq = line.find('=');
        if (eq == std::string::npos || line.substr(0, eq) != "ComMode") continue;
        Variant mode;
        if (coerce(Variant::fromString(line.substr(eq + 1)), VarType::Short, mode) != S_OK_) return false;
        // An out-of-range mode is mended when the window is created.
        storeShort(FW_cComMode, mode.i);
        lastMode_ = mode.i >= 0 && mode.i <= 2 ? mode.i : 0;
    }
    return true;
}

QWidget* CKvFenwireCtrl::window() {
    if (!controlWindow_) {
        controlWindow_ = new ControlWindow();
        const int mode = shortOf(FW_cComMode);
        if (mode < 0 || mode > 2) storeShort(FW_cComMode, 0);
    }
    return controlWindow_.data();
}

void CKvFenwireCtrl::showAboutBox() { fenwire::showAboutBox(controlWindow_.data()); }

void CKvFenwireCtrl::showPropertyPage() { fenwire::showPropertyPage(controlWindow_.data()); }

// ---- line -------------------------------------------------------------------

void CKvFenwireCtrl::reopenIfOpen() {
    if (shortOf(FW_cComState) == 0) return;
    lastState_ = 0;  // forces a new registration
    applyLineState();
}

void CKvFenwireCtrl::applyLineState() {
    const int state = shortOf(FW_cComState);
    if (state == lastState_) return;
    lastState_ = state;
    // Registering again (a new port or mode) is a close followed by an open:
    // what was outstanding on the old line ends with it, and the new port may
    // hold another meter.
    closeLine();
    if (state != 0) {
        wendrel::DriverRegistration reg;
        reg.window = messageWindow_.get();
        reg.port = shortOf(FW_cComPort);
        reg.mode = shortOf(FW_cComMode);
        reg.notifyMessage = wendrel::WM_HART_NOTIFY;
        reg.replyMessage = wendrel::WM_HART_REPLY;
        wendrel::HART_RegisterDriver(&reg, &driverHandle_);
        portHandle_ = wendrel::GetComPortHandle(driverHandle_);
        lastPort_ = reg.port;
        lastMode_ = reg.mode;
        if (driverHandle_ == -1) {
            storeShort(FW_cComError, 1);  // never reported
        } else {
            sendConfiguration();
            storeShort(FW_cComError, 0);
        }
    }
    busviewSetDriverHandle(driverHandle_);
    syncFrameMonitor();
}

void CKvFenwireCtrl::closeLine() {
    // A command waiting for the identifier is not sent later, unasked.
    pendingCommand_ = 0;
    shortIdentityRepeats_ = 0;
    if (driverHandle_ == -1) return;
    // Nothing is posted once this returns; replies of this registration still
    // queued for the message window can no longer be collected and are ignored.
    wendrel::HART_UnRegisterDriver(driverHandle_);
    driverHandle_ = -1;
    portHandle_ = -1;
    if (shortOf(FW_cBusy) != 0) {
        setShortReported(FW_cBusy, 0);
        fire(FW_EVENT_Busy, {0});
    }
    clearUniqueId();
}

void CKvFenwireCtrl::sendConfiguration() {
    if (driverHandle_ == -1) return;
    wendrel::DriverConfig c;
    wendrel::HART_GetConfiguration(driverHandle_, &c);
    c.preambles = shortOf(FW_cNoPreambles);
    c.retries = shortOf(FW_cNoRetries);
    c.silenceEndsRequest = shortOf(FW_cRetrySilence) == 0 ? 1 : 0;
    c.mode = shortOf(FW_cComMode);
    wendrel::HART_SetConfiguration(driverHandle_, &c);
}

void CKvFenwireCtrl::sendRtsDelay() {
    if (driverHandle_ == -1) return;
    wendrel::DriverConfig c;
    wendrel::HART_GetConfiguration(driverHandle_, &c);
    c.rtsDelay = shortOf(FW_cRTSdelay);
    wendrel::HART_SetConfiguration(driverHandle_, &c);
}

// ---- addressing and transactions -------------------------------------------

void CKvFenwireCtrl::clearUniqueId() {
    uniqueId_.fill(0);
    for (int n = 0; n < 5; ++n) setShortReported(FW_cUnID0 + n, 0);
    uniqueIdKnown_ = false;
}

void CKvFenwireCtrl::writeUniqueIdByte(int index, int value) {
    const auto n = static_cast<size_t>(index);
    if (shortOf(FW_cAddrMode) == 2) {
        uniqueId_[n] = static_cast<uint8_t>(value);
        uniqueIdKnown_ = true;
        storeShort(FW_cUnID0 + index, value);
    } else if (shortOf(FW_cComMode) == 1 || shortOf(FW_cComMode) == 2) {
        uniqueId_[n] = static_cast<uint8_t>(value);
        storeShort(FW_cUnID0 + index, value);
    } else {
        setShortReported(FW_cUnID0 + index, uniqueId_[n]);  // set back
    }
}

CKvFenwireCtrl::RequestData CKvFenwireCtrl::currentRequestData() const {
    RequestData d;
    d.bytes = buffer_;
    d.length = shortOf(FW_xReqLen);
    return d;
}

void CKvFenwireCtrl::startTransaction(int command) { startTransaction(command, currentRequestData()); }

void CKvFenwireCtrl::startTransaction(int command, const RequestData& data) {
    if (shortOf(FW_cComState) == 0) return;
    if (portHandle_ == -1 || driverHandle_ == -1) {
        if (!userMode_) platform::MsgBox("Com Port not Accessable!", platform::vbOKOnly, platform::vbExclamation, "");
        return;
    }
    wendrel::HartRequest r;
    r.capacity = kBufferSize;
    // The driver copies the data when the request is queued.
    std::array<uint8_t, kBufferSize> requestBytes = data.bytes;
    r.data = requestBytes.data();
    if (uniqueIdKnown_) {
        r.command = command;
        r.addressKind = wendrel::kAddressUniqueId;
        std::copy(uniqueId_.begin(), uniqueId_.end(), r.uniqueId);
        // A length outside what a frame carries is refused by the driver, which
        // ends the request as no device response: the host sees the failure.
        r.length = data.length;
        pendingCommand_ = 0;
    } else {
        if (command != 0 && command != 11) {
            pendingCommand_ = command;
            pendingData_ = data;
        }
        if (shortOf(FW_cAddrMode) == 1 || shortOf(FW_cAddrMode) == 2) {
            // The tag travels in a request of its own: the host's data in the
            // buffer stays as it was put in.
            r.command = 11;
            r.addressKind = wendrel::kAddressUniqueId;
            requestBytes.fill(0);
            wendrel::PutPackedASCII(stringOf(FW_p13TagName), requestBytes.data(), 0, 6);
            r.length = 6;
        } else {
            r.command = 0;
            r.addressKind = wendrel::kAddressPolling;
            r.pollAddress = static_cast<uint8_t>(shortOf(FW_cPollAddress));
            r.length = 0;
        }
    }
    wendrel::StartHistory(driverHandle_);
    wendrel::HART_SendRequest(driverHandle_, &r, shortOf(FW_cAction));
    setShortReported(FW_cBusy, shortOf(FW_cBusy) + 1);
    // A running script's requests are its own: the host hears of none of them.
    if (!busviewRunningScript()) fire(FW_EVENT_Busy, {static_cast<int16_t>(shortOf(FW_cBusy))});
}

int CKvFenwireCtrl::sendCommandText(const std::string& text) {
    const auto request = wendrel::ParseCommandText(text, uniqueId_.data(), shortOf(FW_cPollAddress));
    if (!request) return -1;
    std::copy(request->data.begin(), request->data.end(), buffer_.begin());
    storeShort(FW_xReqLen, static_cast<int>(request->data.size()));
    storeShort(FW_cDoCommand, request->command);
    report(FW_xReqLen);
    report(FW_cDoCommand);
    // Unlike a host's write of cDoCommand, no pending-command check: the
    // monitor sends what it was told.
    const int busyBefore = shortOf(FW_cBusy);
    startTransaction(request->command);
    return shortOf(FW_cBusy) > busyBefore ? request->command : -1;
}

HResult CKvFenwireCtrl::writeDoCommand(int command) {
    if (pendingCommand_ != 0 && command != 0 && command != 11) {
        errorDescription_ = kPendingCommandError;
        return E_PENDING_COMMAND;
    }
    startTransaction(command);
    return S_OK_;
}

void CKvFenwireCtrl::writeAction(int action) {
    struct Plan { int command; int length; };
    Plan plan{-1, 0};
    switch (action) {
    case 0: return;
    case 1: plan = {1, 0}; break;
    case 2: plan = {2, 0}; break;
    case 3: plan = {3, 0}; break;
    case 4: plan = {12, 0}; break;
    case 5: plan = {13, 0}; break;
    case 6: plan = {14, 0}; break;
    case 7: plan = {15, 0}; break;
    case 8:
        wendrel::PutPackedASCII(stringOf(FW_p12Message), buffer_.data(), 0, 24);
        plan = {17, 24};
        break;
    case 9:
        wendrel::PutPackedASCII(stringOf(FW_p13TagName), buffer_.data(), 0, 6);
        wendrel::PutPackedASCII(stringOf(FW_p13Descriptor), buffer_.data(), 6, 12);
        buffer_[18] = static_cast<uint8_t>(shortOf(FW_p13DateDay));
        buffer_[19] = static_cast<uint8_t>(shortOf(FW_p13DateMonth));
        buffer_[20] = static_cast<uint8_t>(shortOf(FW_p13DateYear));
        plan = {18, 21};
        break;
    case 10:
        buffer_[0] = static_cast<uint8_t>(shortOf(FW_cNewPollAddress));
        plan = {6, 1};
        break;
    case 11:
        clearUniqueId();
        return;
    default:
        setShortReported(FW_cAction, 0);
        return;
    }
    storeShort(FW_xReqLen, plan.length);
    startTransaction(plan.command);
    report(FW_xReqLen);
}

// ---- messages from the driver ----------------------------------------------

void CKvFenwireCtrl::onNotify(intptr_t wParam, intptr_t) {
    // Posted before the failure of the request that found the port gone.
    if (wParam == wendrel::NotifyPortLost && busviewSending_) busviewSending_->portLost();
    fire(FW_EVENT_Notify, {static_cast<int16_t>(wParam & 0xFFFF)});
}

void CKvFenwireCtrl::onMonitor(intptr_t wParam, intptr_t lParam) {
    // The host's sink sees the frame before the window, which frees it. A
    // frame posted before the window closed still arrives: it is freed unread.
    if (frameSink_) {
        const FrameSink sink = frameSink_;  // the host may drop its sink from inside the call
        sink(static_cast<int>(wParam), wendrel::ReadMonitorRecord(lParam));
    }
    if (busview_) busview_->onFrameMessage(wParam, lParam);
    else wendrel::FreeMonitorRecord(lParam);
}

void CKvFenwireCtrl::setFrameSink(FrameSink sink) {
    frameSink_ = std::move(sink);
    syncFrameMonitor();
}

void CKvFenwireCtrl::syncFrameMonitor() {
    const int32_t wanted = frameSink_ ? driverHandle_ : -1;
    // An open bus monitor window keeps the registration of the current line.
    const bool windowHoldsIt = busview_ && frameMonitorHandle_ == driverHandle_;
    if (frameMonitorHandle_ != -1 && frameMonitorHandle_ != wanted && !windowHoldsIt)
        wendrel::UnRegisterLLMonitor(frameMonitorHandle_);  // a line already closed refuses it, harmlessly
    frameMonitorHandle_ = -1;
    if (wanted != -1 && wendrel::RegisterLLMonitor(wanted, messageWindow_.get(), wendrel::WM_HART_MONITOR) == 0)
        frameMonitorHandle_ = wanted;
}

// ---- the bus monitor window ---------------------------------------------------

void CKvFenwireCtrl::openBusview() {
    closeBusview();  // the sending side refers to the window, so it goes first
    busview_ = std::make_unique<BusviewWindow>(*messageWindow_, driverHandle_);
    busview_->onClosedByUser = [this] { busviewClosedByUser(); };
    // The host's frames use the same registration: it stays when the window goes.
    busview_->monitorShared = [this] { return static_cast<bool>(frameSink_); };
    busview_->setLinePort(driverHandle_ == -1 ? 0 : lastPort_);
    busviewSending_ = std::make_unique<BusviewSending>(
        *busview_, BusviewLink{[this](const std::string& text) { return sendCommandText(text); },
                               [this] { forgetUniqueId(); }, [this] { return shortOf(FW_cBusy); }});
    busview_->open();
}

void CKvFenwireCtrl::closeBusview() {
    busviewSending_.reset();  // stops a running script, closes the log
    busview_.reset();
    syncFrameMonitor();  // the host's registration, whatever the window left
}

void CKvFenwireCtrl::busviewClosedByUser() {
    if (!busview_) return;
    // The window is inside its own close handling: it is deleted once that is over.
    busviewSending_.reset();
    busview_.release()->deleteLater();
    syncFrameMonitor();  // the host's registration, whatever the window left
    setShortReported(FW_cBusview, 0);
    fire(FW_EVENT_BusviewEnd, {});
}

void CKvFenwireCtrl::busviewSetDriverHandle(int32_t handle) {
    if (busview_) busview_->setLinePort(handle == -1 ? 0 : lastPort_);
    if (busview_) busview_->setDriverHandle(handle);
    if (busviewSending_) busviewSending_->driverHandleChanged(handle);
}

bool CKvFenwireCtrl::busviewRunningScript() const { return busviewSending_ && busviewSending_->scriptRunning(); }

void CKvFenwireCtrl::busviewTakeOver(int, int result) {
    busviewSending_->scriptTransactionEnded(result == 1, shortOf(FW_cResponse1));
}

bool CKvFenwireCtrl::busviewEntrySendOutstanding() const {
    return busviewSending_ && busviewSending_->entrySendOutstanding();
}

void CKvFenwireCtrl::busviewEntrySendEnded(int command, bool replied, bool followUpStarted) {
    busviewSending_->entryTransactionEnded(command, replied, shortOf(FW_cResponse1), followUpStarted);
}

void CKvFenwireCtrl::onReply(intptr_t wParam, intptr_t lParam) {
    const auto key = static_cast<int32_t>(wParam);
    if (key == -1 || driverHandle_ == -1) return;
    uint8_t data[300] = {};
    wendrel::HartReply reply;
    reply.data = data;
    reply.capacity = sizeof data;
    int16_t tag = 0;
    const int32_t taken = wendrel::HART_ReceiveRequest(driverHandle_, key, &reply, &tag);
    if (!taken) return;
    // A reply the driver had to discard ends its request as no device response.
    const bool discarded = taken == wendrel::kReplyDiscarded;

    if (shortOf(FW_cBusy) > 0) setShortReported(FW_cBusy, shortOf(FW_cBusy) - 1);
    const bool burst = (lParam & wendrel::kReplyBurstBit) != 0;
    if (burst && shortOf(FW_cBurstModeFlag) == 0) setShortReported(FW_cBurstModeFlag, -1);
    else if (!burst && shortOf(FW_cBurstModeFlag) != 0) setShortReported(FW_cBurstModeFlag, 0);

    const int command = reply.command;
    if (discarded || (lParam & 0xFFFF) == wendrel::kNoDeviceResponse) {
        setShortReported(FW_cComResult, 2);
        setShortReported(FW_cRcvLen, 0);
        setShortReported(FW_cResponse1, reply.response1);
        setShortReported(FW_cResponse2, reply.response2);
        pendingCommand_ = 0;
        shortIdentityRepeats_ = 0;
        if (shortOf(FW_cComMode) == 0) uniqueIdKnown_ = false;
        if (busviewRunningScript()) {
            busviewTakeOver(command, 2);
            return;
        }
        if (busviewEntrySendOutstanding()) busviewEntrySendEnded(command, false, false);
        fire(FW_EVENT_Result, {tag, static_cast<int16_t>(command), 2});
        fire(FW_EVENT_Busy, {static_cast<int16_t>(shortOf(FW_cBusy))});
        return;
    }

    const int length = std::clamp(reply.length, 0, kBufferSize);
    const bool identity = command == 0 || command == 11;
    if (identity && length >= 12) {
        uniqueId_ = {static_cast<uint8_t>(data[1] & 0x3F), data[2], data[9], data[10], data[11]};
        const uint8_t shown[5] = {data[1], data[2], data[9], data[10], data[11]};
        for (int n = 0; n < 5; ++n) setShortReported(FW_cUnID0 + n, shown[n]);
        uniqueIdKnown_ = true;
    }
    decodeUniversal(command, data, length);
    if (command == 6 && acceptsChange(reply.response1)) {
        clearUniqueId();
        setShortReported(FW_cPollAddress, shortOf(FW_cNewPollAddress));
    }
    // The next request goes out before the reply data is copied: it carries the
    // data buffer as it stands.
    const int busyBeforeFollowUp = shortOf(FW_cBusy);
    if (identity && length < 12) {
        if (shortIdentityRepeats_ < kMaxShortIdentityRepeats) {
            ++shortIdentityRepeats_;
            startTransaction(command);
        } else {
            shortIdentityRepeats_ = 0;
            pendingCommand_ = 0;  // the meter never gave its identity: give the waiting command up
        }
    } else {
        shortIdentityRepeats_ = 0;
        // Without the identifier (a reply to an earlier request), the waiting
        // command stays for the identity reply already on its way: starting it
        // now would send another identity request and lose the command.
        if (pendingCommand_ != 0 && uniqueIdKnown_) {
            const int next = pendingCommand_;
            const RequestData asAsked = pendingData_;
            startTransaction(next, asAsked);
            pendingCommand_ = 0;
        }
    }
    const int busyBeforeResult = shortOf(FW_cBusy);
    // The command this reply was the first step to has gone out, or still waits.
    const bool followUpStarted = busyBeforeResult > busyBeforeFollowUp || pendingCommand_ != 0;

    setShortReported(FW_cComResult, 1);
    if (length != 0) {
        std::memcpy(buffer_.data(), data, static_cast<size_t>(length));
        reportAccessors();
    }
    setShortReported(FW_cRcvLen, length);
    setShortReported(FW_cResponse1, reply.response1);
    setShortReported(FW_cResponse2, reply.response2);
    if (busviewRunningScript()) {
        busviewTakeOver(command, 1);
        return;
    }
    if (busviewEntrySendOutstanding()) busviewEntrySendEnded(command, true, followUpStarted);
    fire(FW_EVENT_Result, {tag, static_cast<int16_t>(command), 1});
    fire(FW_EVENT_Busy, {static_cast<int16_t>(busyBeforeResult)});
}

void CKvFenwireCtrl::decodeUniversal(int command, const uint8_t* d, int length) {
    auto setShort = [&](int dispid, int v) { setShortReported(dispid, v); };
    auto setLong = [&](int dispid, uint32_t v) { setReported(dispid, Variant::fromLong(static_cast<int32_t>(v))); };
    auto setFloat = [&](int dispid, int offset) { setReported(dispid, Variant::fromFloat(wendrel::PickFloat(d, offset))); };
    auto setText = [&](int dispid, std::string s) { setReported(dispid, Variant::fromString(std::move(s))); };
    auto setUnit = [&](int codeDispid, int textDispid, int offset) {
        setShort(codeDispid, d[offset]);
        setText(textDispid, wendrel::GetHartUnit(d[offset]));
    };
    switch (command) {
    case 0:
    case 11:
        if (length < 12) return;
        setShort(FW_p00VendorID, d[1]);
        setText(FW_p00sVendor, wendrel::GetHartVendor(d[1]));
        setShort(FW_p00DeviceID, d[2]);
        setShort(FW_cNoPreambles, d[3]);  // not sent to the driver: the host decides
        setShort(FW_p00DevRev, d[5]);
        setShort(FW_p00SoftwRev, d[6]);
        setShort(FW_p00HardwRev, d[7]);
        setShort(FW_p00HartFlags, d[8]);
        setLong(FW_p00DeviceNumber, wendrel::PickInt24(d, 9));
        return;
    case 1:
        if (length != 5) return;
        setUnit(FW_p01PvUnit, FW_p01sPvUnit, 0);
        setFloat(FW_p01Pv, 1);
        return;
    case 2:
        if (length != 8) return;
        setFloat(FW_p02Current, 0);
        setFloat(FW_p02Percent, 4);
        return;
    case 3:
        if (length >= 4) setFloat(FW_p02Current, 0);
        if (length >= 9) { setUnit(FW_p03Pv1Unit, FW_p03sPv1Unit, 4); setFloat(FW_p03Pv1, 5); }
        if (length >= 14) { setUnit(FW_p03Pv2Unit, FW_p03sPv2Unit, 9); setFloat(FW_p03Pv2, 10); }
        if (length >= 19) { setUnit(FW_p03Pv3Unit, FW_p03sPv3Unit, 14); setFloat(FW_p03Pv3, 15); }
        if (length >= 24) { setUnit(FW_p03Pv4Unit, FW_p03sPv4Unit, 19); setFloat(FW_p03Pv4, 20); }
        return;
    case 12:
    case 17:
        if (length < 24) return;
        setText(FW_p12Message, wendrel::PickPackedASCII(d, 24, 0));
        return;
    case 13:
    case 18:
        if (length < 21) return;
        setText(FW_p13TagName, wendrel::PickPackedASCII(d, 6, 0));
        setText(FW_p13Descriptor, wendrel::PickPackedASCII(d, 12, 6));
        setShort(FW_p13DateDay, d[18]);
        setShort(FW_p13DateMonth, d[19]);
        setShort(FW_p13DateYear, d[20]);
        return;
    case 14:
        if (length < 16) return;
        setLong(FW_p14SensSerNum, wendrel::PickInt24(d, 0));
        setUnit(FW_p14SensLimUnit, FW_p14sSensLimUnit, 3);
        setFloat(FW_p14UpSensLimit, 4);
        setFloat(FW_p14LoSensLimit, 8);
        setFloat(FW_p14MinSpan, 12);
        return;
    case 15:
        if (length < 17) return;
        setShort(FW_p15AlmSelCode, d[0]);
        setShort(FW_p15XferFuncCode, d[1]);
        setUnit(FW_p15RangeUnit, FW_p15sRangeUnit, 2);
        setFloat(FW_p15UpRange, 3);
        setFloat(FW_p15LoRange, 7);
        setFloat(FW_p15Damping, 11);
        setShort(FW_p15WriteProtCode, d[15]);
        setShort(FW_p15LabDistCode, d[16]);
        return;
    default:
        return;
    }
}

// ---- buffer accessors -------------------------------------------------------

bool CKvFenwireCtrl::readAccessor(int dispid, Variant& out) const {
    const int o = shortOf(FW_xOffset);
    const uint8_t* b = buffer_.data();
    auto fits = [&](int width) { return o >= 0 && o + width <= kBufferSize; };
    switch (dispid) {
    case FW_xInt8: out = Variant::fromShort(static_cast<int16_t>(fits(1) ? b[o] : 0)); return true;
    case FW_xInt16: out = Variant::fromShort(static_cast<int16_t>(fits(2) ? wendrel::PickInt16(b, o) : 0)); return true;
    case FW_xInt24: out = Variant::fromLong(static_cast<int32_t>(fits(3) ? wendrel::PickInt24(b, o) : 0)); return true;
    case FW_xInt32: out = Variant::fromLong(static_cast<int32_t>(fits(4) ? wendrel::PickInt32(b, o) : 0)); return true;
    case FW_xFloat: out = Variant::fromFloat(fits(4) ? wendrel::PickFloat(b, o) : 0.0f); return true;
    case FW_xPackedASCII: {
        const int n = shortOf(FW_xPackedASCIILen);
        out = Variant::fromString(n >= 0 && fits(n) ? wendrel::PickPackedASCII(b, n, o) : "");
        return true;
    }
    case FW_xString: {
        const int n = shortOf(FW_xStringLen);
        out = Variant::fromString(n >= 0 && fits(n) ? wendrel::PickString(b, o, n) : "");
        return true;
    }
    case FW_xUnitString: out = Variant::fromString(fits(1) ? wendrel::GetHartUnit(b[o]) : ""); return true;
    default: return false;
    }
}

bool CKvFenwireCtrl::writeAccessor(int dispid, const Variant& value) {
    const int o = shortOf(FW_xOffset);
    uint8_t* b = buffer_.data();
    auto fits = [&](int width) { return o >= 0 && o + width <= kBufferSize; };
    switch (dispid) {
    case FW_xInt8:
        if (!fits(1) || value.i < 0 || value.i > 255) return false;
        b[o] = static_cast<uint8_t>(value.i);
        return true;
    case FW_xInt16:
        if (!fits(2)) return false;
        wendrel::PutInt16(b, o, static_cast<uint32_t>(value.i));
        return true;
    case FW_xInt24:
        if (!fits(3) || value.i > 16777215) return false;
        wendrel::PutInt24(b, o, static_cast<uint32_t>(value.i));
        return true;
    case FW_xInt32:
        if (!fits(4)) return false;
        wendrel::PutInt32(b, o, static_cast<uint32_t>(value.i));
        return true;
    case FW_xFloat:
        if (!fits(4)) return false;
        wendrel::PutFloat(b, o, value.f);
        return true;
    case FW_xPackedASCII: {
        const int n = shortOf(FW_xPackedASCIILen);
        if (n < 0 || !fits(n)) return false;
        wendrel::PutPackedASCII(value.s, b, o, n);
        return true;
    }
    case FW_xString: {
        const int n = shortOf(FW_xStringLen);
        if (n < 0 || !fits(n)) return false;
        wendrel::PutString(value.s, b, o, n);
        return true;
    }
    default:  // xUnitString is read only in effect
        return false;
    }
}

}  // namespace fenwire
