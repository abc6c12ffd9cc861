#include "app/commands/SendHART.h"

#include <algorithm>
#include <initializer_list>
#include <variant>
#include <vector>

#include "app/commands/LoopScan.h"
#include "app/commands/fenwire1.h"
#include "platform/platform.h"

namespace app {

namespace {

// How long one wait in the event loop lasts at most before cBusy is looked at
// again. Replies wake the wait at once; the bound only matters when something
// other than a reply (a form's timer closing the line) ends the transactions.
constexpr int kBusyRecheckMs = 50;

int gWaits = 0;  // senders waiting, nested ones included

std::vector<SenderFailures*> gScopes;   // innermost last
SenderFailures* gOnTheLine = nullptr;  // the scope whose transaction is on the line

}  // namespace

bool WaitingForMeter() { return gWaits > 0 || LoopScan::running(); }

// Waits until no transaction is outstanding (one started from a frame below
// this sender, still on the line), then marks whose transaction goes out next:
// the innermost scope, when it was made at this sender's own depth of waits.
class LineClaim {
public:
    static FenwireControl* take() {
        FenwireControl* control = Fenwire1();
        if (!control) return nullptr;
        if (control->get("cBusy") != 0) WaitWhileBusy();
        SenderFailures* innermost = gScopes.empty() ? nullptr : gScopes.back();
        gOnTheLine = innermost && innermost->waitsWhenMade_ == gWaits ? innermost : nullptr;
        return Fenwire1();
    }
    static void fail() {
        if (gOnTheLine) ++gOnTheLine->count_;
    }
};

SenderFailures::SenderFailures() : waitsWhenMade_(gWaits) { gScopes.push_back(this); }

SenderFailures::~SenderFailures() {
    std::erase(gScopes, this);
    if (gOnTheLine == this) gOnTheLine = nullptr;
}

void SenderFailures::transactionFailed() { LineClaim::fail(); }

namespace {

struct Int24 {
    int32_t value;
};
struct PackedText {
    QString text;
    int bytes;  // packed length: 3 bytes hold 4 characters
};
using FieldValue = std::variant<uint8_t, Int24, float, PackedText>;

// One request field at its data byte offset.
struct Field {
    int offset;
    FieldValue value;
};

template <class... Ts>
struct Overloaded : Ts... {
    using Ts::operator()...;
};

void writeField(FenwireControl& control, const Field& field) {
    control.put("xOffset", field.offset);
    std::visit(Overloaded{
                   [&](uint8_t byte) { control.put("xInt8", byte); },
                   [&](Int24 number) { control.put("xInt24", number.value); },
                   [&](float number) { control.putFloat("xFloat", number); },
                   [&](const PackedText& packed) {
                       control.put("xPackedASCIILen", packed.bytes);
                       control.putText("xPackedASCII", packed.text);
                   },
               },
               field.value);
}

// Every sender's shape: the line claimed, the request length (so no earlier
// bytes leak into this request), the fields in ascending offset order, the
// command, the wait.
void sendCommand(int command, int requestLength, std::initializer_list<Field> fields = {}) {
    FenwireControl* control = LineClaim::take();
    if (!control) return;
    control->put("xReqLen", requestLength);
    for (const Field& field : fields) writeField(*control, field);
    control->put("cDoCommand", command);
    WaitWhileBusy();
}

void runAction(int action) {
    FenwireControl* control = LineClaim::take();
    if (!control) return;
    control->put("cAction", action);
    WaitWhileBusy();
}

// The year byte counts from 1900, so it holds 1900 to 2155. A value outside a
// byte would be refused by the control and leave a stale byte in the request.
uint8_t dateByte(int value) { return static_cast<uint8_t>(std::clamp(value, 0, 255)); }

constexpr int kPropertyTableNameLength = 24;

}  // namespace

void WaitWhileBusy() {
    ++gWaits;
    const platform::BusyPointer busy;
    struct Done {
        ~Done() { --gWaits; }
    } done;
    while (FenwireControl* control = Fenwire1()) {
        if (control->get("cBusy") == 0) {
            control->processEvents(0);
            return;
        }
        // Sleeps in the event loop until the control's next message (or the
        // recheck bound); timers, repaints and input are handled meanwhile.
        control->processEvents(kBusyRecheckMs);
    }
}

void SendAction1() { runAction(1); }
void SendAction2() { runAction(2); }
void SendAction3() { runAction(3); }

void SendCmd0() {
    FenwireControl* control = LineClaim::take();
    if (!control) return;
    control->put("cDoCommand", 0);  // command 0 carries no data: no request length
    WaitWhileBusy();
}

void SendCommandData(int command, const std::vector<uint8_t>& data) {
    FenwireControl* control = LineClaim::take();
    if (!control) return;
    control->put("xReqLen", static_cast<int>(data.size()));
    for (size_t offset = 0; offset < data.size(); ++offset) {
        control->put("xOffset", static_cast<int>(offset));
        control->put("xInt8", data[offset]);
    }
    control->put("cDoCommand", command);
    WaitWhileBusy();
}

void SendCmd12() { sendCommand(12, 0); }
void SendCmd13() { sendCommand(13, 0); }
void SendCmd14() { sendCommand(14, 0); }
void SendCmd15() { sendCommand(15, 0); }
void SendCmd16() { sendCommand(16, 0); }
void SendCmd42() { sendCommand(42, 0); }
void SendCmd50() { sendCommand(50, 0); }
void SendCmd129() { sendCommand(129, 0); }
void SendCmd132() { sendCommand(132, 0); }
void SendCmd133() { sendCommand(133, 0); }
void SendCmd135() { sendCommand(135, 0); }
void SendCmd137() { sendCommand(137, 0); }
void SendCmd145() { sendCommand(145, 0); }
void SendCmd147() { sendCommand(147, 0); }
void SendCmd149() { sendCommand(149, 0); }
void SendCmd150() { sendCommand(150, 0); }
void SendCmd152() { sendCommand(152, 0); }
void SendCmd154() { sendCommand(154, 0); }
void SendCmd156() { sendCommand(156, 0); }
void SendCmd160() { sendCommand(160, 0); }
void SendCmd162() { sendCommand(162, 0); }
void SendCmd164() { sendCommand(164, 0); }
void SendCmd167() { sendCommand(167, 0); }
void SendCmd170() { sendCommand(170, 0); }
void SendCmd178() { sendCommand(178, 0); }
void SendCmd179() { sendCommand(179, 0); }
void SendCmd180() { sendCommand(180, 0); }
void SendCmd182() { sendCommand(182, 0); }
void SendCmd183() { sendCommand(183, 0); }
void SendCmd184() { sendCommand(184, 0); }
void SendCmd188() { sendCommand(188, 0); }
void SendCmd195() { sendCommand(195, 0); }
void SendCmd196() { sendCommand(196, 0); }
void SendCmd197() { sendCommand(197, 0); }
void SendCmd199() { sendCommand(199, 0); }
void SendCmd205() { sendCommand(205, 0); }
void SendCmd208() { sendCommand(208, 0); }
void SendCmd210() { sendCommand(210, 0); }
void SendCmd212() { sendCommand(212, 0); }
void SendCmd214() { sendCommand(214, 0); }
void SendCmd216() { sendCommand(216, 0); }
void SendCmd229() { sendCommand(229, 0); }
void SendCmd231() { sendCommand(231, 0); }
void SendCmd233() { sendCommand(233, 0); }
void SendCmd235() { sendCommand(235, 0); }
void SendCmd239() { sendCommand(239, 0); }
void SendCmd241() { sendCommand(241, 0); }
void SendCmd250() { sendCommand(250, 0); }
void SendCmd252() { sendCommand(252, 0); }

void SendCmd17(const QString& message) { sendCommand(17, 24, {{0, PackedText{message, 24}}}); }

void SendCmd18(const QString& tag, const QString& descriptor, const QDate& date) {
    sendCommand(18, 21,
                {{0, PackedText{tag, 6}},
                 {6, PackedText{descriptor, 12}},
                 {18, dateByte(date.day())},
                 {19, dateByte(date.month())},
                 {20, dateByte(date.year() - 1900)}});
}

void SendCmd19(int32_t finalAssemblyNumber) {
    // 24 bits on the wire; a number outside them would be refused by the
    // control and leave stale bytes in the request.
    sendCommand(19, 3, {{0, Int24{std::clamp<int32_t>(finalAssemblyNumber, 0, 0xFFFFFF)}}});
}

void SendCmd34(float damping) { sendCommand(34, 4, {{0, damping}}); }

void SendCmd35(uint8_t unit, float upper, float lower) {
    sendCommand(35, 9, {{0, unit}, {1, upper}, {5, lower}});
}

void SendCmd39(uint8_t control) { sendCommand(39, 1, {{0, control}}); }
void SendCmd40(float current) { sendCommand(40, 4, {{0, current}}); }
void SendCmd44(uint8_t unit) { sendCommand(44, 1, {{0, unit}}); }
void SendCmd45(float measuredCurrent) { sendCommand(45, 4, {{0, measuredCurrent}}); }
void SendCmd46(float measuredCurrent) { sendCommand(46, 4, {{0, measuredCurrent}}); }
void SendCmd53(uint8_t variable, uint8_t unit) { sendCommand(53, 2, {{0, variable}, {1, unit}}); }
void SendCmd59(uint8_t preambles) { sendCommand(59, 1, {{0, preambles}}); }
void SendCmd108(uint8_t command) { sendCommand(108, 1, {{0, command}}); }
void SendCmd109(uint8_t burstOn) { sendCommand(109, 1, {{0, burstOn}}); }
void SendCmd128(uint8_t mode) { sendCommand(128, 1, {{0, mode}}); }
void SendCmd130(uint8_t variableCode) { sendCommand(130, 1, {{0, variableCode}}); }
void SendCmd144(float baseTemperature) { sendCommand(144, 4, {{0, baseTemperature}}); }
void SendCmd146(float basePressure) { sendCommand(146, 4, {{0, basePressure}}); }
void SendCmd148(float lowFlowCutoff) { sendCommand(148, 4, {{0, lowFlowCutoff}}); }
void SendCmd151(uint8_t mode) { sendCommand(151, 1, {{0, mode}}); }
void SendCmd153(float upperRangeFrequency) { sendCommand(153, 4, {{0, upperRangeFrequency}}); }
void SendCmd155(float userDefinedFrequency) { sendCommand(155, 4, {{0, userDefinedFrequency}}); }

void SendCmd158(float upperPressure, float lowerPressure) {
    sendCommand(158, 8, {{0, upperPressure}, {4, lowerPressure}});
}

void SendCmd161(uint8_t run) { sendCommand(161, 1, {{0, run}}); }
void SendCmd163(uint8_t mode) { sendCommand(163, 1, {{0, mode}}); }
void SendCmd168(float kFactor) { sendCommand(168, 4, {{0, kFactor}}); }

void SendCmd187(float rollOver, float multiplier, const QString& customUnit) {
    sendCommand(187, 14, {{0, rollOver}, {4, multiplier}, {8, PackedText{customUnit, 6}}});
}

void SendCmd191(uint8_t samples) { sendCommand(191, 1, {{0, samples}}); }
void SendCmd193(uint8_t start) { sendCommand(193, 1, {{0, start}}); }
void SendCmd209(float pipeID) { sendCommand(209, 4, {{0, pipeID}}); }

void SendCmd213(float viscosity, float density) {
    sendCommand(213, 8, {{0, viscosity}, {4, density}});
}

void SendCmd215(uint8_t source) { sendCommand(215, 1, {{0, source}}); }

void SendCmd217(QString& name, uint8_t version) {
    // The meter keeps the name as exactly 24 characters; the caller sees the adjusted text.
    name = name.left(kPropertyTableNameLength).leftJustified(kPropertyTableNameLength, u' ');
    sendCommand(217, 19, {{0, PackedText{name, 18}}, {18, version}});
}

void SendCmd218(uint8_t table) { sendCommand(218, 1, {{0, table}}); }
void SendCmd219(uint8_t table, uint8_t size) { sendCommand(219, 2, {{0, table}, {1, size}}); }

void SendCmd220(uint8_t point, float temperature, float viscosity) {
    sendCommand(220, 9, {{0, point}, {1, temperature}, {5, viscosity}});
}

void SendCmd221(uint8_t point) { sendCommand(221, 1, {{0, point}}); }

void SendCmd222(uint8_t point, float temperature, float density) {
    sendCommand(222, 9, {{0, point}, {1, temperature}, {5, density}});
}

void SendCmd223(uint8_t point) { sendCommand(223, 1, {{0, point}}); }

void SendCmd224(uint8_t axis, uint8_t index, float value) {
    sendCommand(224, 6, {{0, axis}, {1, index}, {2, value}});
}

void SendCmd225(uint8_t axis, uint8_t index) { sendCommand(225, 2, {{0, axis}, {1, index}}); }

void SendCmd226(uint8_t row, uint8_t column, float density) {
    sendCommand(226, 6, {{0, row}, {1, column}, {2, density}});
}

void SendCmd227(uint8_t row, uint8_t column) { sendCommand(227, 2, {{0, row}, {1, column}}); }

void SendCmd230(uint8_t unfilteredHysteresis, uint8_t filteredHysteresis) {
    // The code the meter wants with every pot write ("CVRNPOTS"), one byte
    // constant per write.
    constexpr uint8_t kPotWriteCode[8] = {0x43, 0x56, 0x52, 0x4E, 0x50, 0x4F, 0x54, 0x53};
    sendCommand(230, 10,
                {{0, unfilteredHysteresis},
                 {1, filteredHysteresis},
                 {2, kPotWriteCode[0]},
                 {3, kPotWriteCode[1]},
                 {4, kPotWriteCode[2]},
                 {5, kPotWriteCode[3]},
                 {6, kPotWriteCode[4]},
                 {7, kPotWriteCode[5]},
                 {8, kPotWriteCode[6]},
                 {9, kPotWriteCode[7]}});
}

void SendCmd232(float userDefinedTemperature) { sendCommand(232, 4, {{0, userDefinedTemperature}}); }
void SendCmd234(uint8_t source) { sendCommand(234, 1, {{0, source}}); }
void SendCmd238(float userDefinedPressure) { sendCommand(238, 4, {{0, userDefinedPressure}}); }
void SendCmd240(uint8_t source) { sendCommand(240, 1, {{0, source}}); }

void SendCmd247(uint8_t function, const QString& password) {
    sendCommand(247, 4, {{0, function}, {1, PackedText{password, 3}}});
}

void SendCmd248(uint8_t level, const QString& accessCode) {
    sendCommand(248, 4, {{0, level}, {1, PackedText{accessCode, 3}}});
}

void SendCmd251(uint8_t level) { sendCommand(251, 1, {{0, level}}); }
void SendCmd253(float atmosphericPressure) { sendCommand(253, 4, {{0, atmosphericPressure}}); }

}  // namespace app
