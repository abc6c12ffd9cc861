#include "app/commands/LoopScan.h"

#include <QObject>

#include "app/commands/fenwire1.h"

namespace app {

namespace {

// How long one wait in the event loop lasts at most before cBusy is looked at again.
constexpr int kBusyRecheckMs = 50;
constexpr int kReadIdentity = 0;
constexpr int kReadTag = 13;
constexpr int kIdentityLength = 12;  // command 0 reply bytes up to the device identification
constexpr int kTagReplyLength = 21;
constexpr int kUniversalRevisionOffset = 4;
constexpr short kReplied = 1;
constexpr int kAddressByUniqueId = 2;
constexpr char kUniqueIdBytes[5][7] = {"cUnID0", "cUnID1", "cUnID2", "cUnID3", "cUnID4"};

int gRunning = 0;

}  // namespace

LoopScan::LoopScan(FenwireControl& control) : control_(control) {}

bool LoopScan::running() { return gRunning > 0; }

void LoopScan::waitIdle() {
    while (control_.get("cBusy") != 0) control_.processEvents(kBusyRecheckMs);
}

LoopScan::Outcome LoopScan::transact(int command) {
    waitIdle();
    lastCommand_ = -1;
    lastResult_ = 0;
    control_.put("xReqLen", 0);
    control_.put("cDoCommand", command);
    // A closed link starts nothing: no transaction, no Result.
    if (control_.get("cBusy") == 0 && lastCommand_ == -1) return Outcome::NotSent;
    waitIdle();
    if (lastCommand_ != command) return Outcome::Silent;  // ended on the way (the identity step failed)
    return lastResult_ == kReplied ? Outcome::Replied : Outcome::Silent;
}

LoopScanResult LoopScan::run() {
    LoopScanResult result;
    waitIdle();  // a transaction started before the scan is not the scan's

    ++gRunning;
    const int addrMode = control_.get("cAddrMode");
    const int pollAddress = control_.get("cPollAddress");
    const int retrySilence = control_.get("cRetrySilence");
    // Whatever ends the scan, the control addresses as before; the unique
    // identifier of the last device scanned is dropped with the polling
    // address put back, so the next request identifies its own device.
    struct Restore {
        LoopScan& scan;
        int addrMode, pollAddress, retrySilence;
        int uniqueId[5];
        QMetaObject::Connection results;
        ~Restore() {
            QObject::disconnect(results);
            FenwireControl& c = scan.control_;
            c.put("cRetrySilence", retrySilence);
            c.put("cAddrMode", addrMode);
            if (addrMode == kAddressByUniqueId)
                for (int n = 0; n < 5; ++n) c.put(kUniqueIdBytes[n], uniqueId[n]);
            c.put("cPollAddress", pollAddress);
            --gRunning;
        }
    } restore{*this, addrMode, pollAddress, retrySilence, {}, {}};
    for (int n = 0; n < 5; ++n) restore.uniqueId[n] = control_.get(kUniqueIdBytes[n]);
    restore.results = QObject::connect(&control_, &FenwireControl::Result, &control_,
                                       [this](short, short command, short outcome) {
                                           lastCommand_ = command;
                                           lastResult_ = outcome;
                                       });
    control_.put("cRetrySilence", 0);
    control_.put("cAddrMode", 0);

    for (int address = kFirstAddress; address <= kLastAddress; ++address) {
        if (cancelRequested_) break;
        control_.put("cPollAddress", address);  // drops the unique identifier: command 0 goes to this address
        const Outcome identity = transact(kReadIdentity);
        if (identity == Outcome::NotSent) {
            result.linkFailed = true;
            break;
        }
        // An error reply carries the status bytes only: a reply that holds the
        // identity is a device that gave it, whatever warning came along.
        if (identity == Outcome::Replied && control_.get("cRcvLen") >= kIdentityLength) {
            FoundDevice device;
            device.pollAddress = address;
            device.manufacturerId = control_.get("p00VendorID");
            device.manufacturer = control_.getText("p00sVendor");
            device.deviceType = control_.get("p00DeviceID");
            device.deviceId = control_.get("p00DeviceNumber");
            device.softwareRevision = control_.get("p00SoftwRev");
            control_.put("xOffset", kUniversalRevisionOffset);
            device.universalRevision = control_.get("xInt8");
            // The control now holds this device's unique identifier: the tag is
            // read by long address, so only this device can answer.
            if (!cancelRequested_) {
                const Outcome tag = transact(kReadTag);
                if (tag == Outcome::NotSent) result.linkFailed = true;
                if (tag == Outcome::Replied && control_.get("cRcvLen") >= kTagReplyLength)
                    device.tag = control_.getText("p13TagName").trimmed();
            }
            result.devices.push_back(device);
            if (onFound) onFound(device);
            if (result.linkFailed) break;
        }
        if (onProgress) onProgress(address - kFirstAddress + 1, kAddressCount);
    }
    result.cancelled = cancelRequested_;
    return result;
}

}  // namespace app
