// The command senders: one routine per device command. Each writes its
// request into the link control's buffer, starts the transaction and waits
// until the control is idle again; by then the port form's result handler has
// run the decoder. Senders report nothing: failures are shown by the port form.
#pragma once

#include <QDate>
#include <QString>
#include <cstdint>
#include <vector>

namespace app {

// Processes events, sleeping in the event loop, until the link control has no
// outstanding transaction; returns at once without a control. The busy
// pointer shows meanwhile.
void WaitWhileBusy();
// True while a sender (or a loop scan) waits for its transaction: a timer that would start
// transactions of its own holds back until the line is free again.
bool WaitingForMeter();

// Counts the failed transactions of the senders called from the frame that
// made it, while it lives. A sender run meanwhile from the event loop (a
// dialog's Write clicked while an update waits for the meter) counts in its
// own scope, or in none: each caller learns only of its own failures. That
// holds because a sender waits for the line to be free before it starts, so
// every reply belongs to the one transaction on the line.
class SenderFailures {
public:
    SenderFailures();
    ~SenderFailures();
    SenderFailures(const SenderFailures&) = delete;
    SenderFailures& operator=(const SenderFailures&) = delete;

    int count() const { return count_; }

    // The port form's result handler calls this for each failed transaction.
    static void transactionFailed();

private:
    friend class LineClaim;
    int waitsWhenMade_;
    int count_ = 0;
};

// Universal reads that the link control decodes itself (p01.., p02.., p03..).
void SendAction1();
void SendAction2();
void SendAction3();

// Commands without request data.
void SendCmd0();
void SendCmd12();
void SendCmd13();
void SendCmd14();
void SendCmd15();
void SendCmd16();
void SendCmd42();
void SendCmd50();
void SendCmd129();
void SendCmd132();
void SendCmd133();
void SendCmd135();
void SendCmd137();
void SendCmd145();
void SendCmd147();
void SendCmd149();
void SendCmd150();
void SendCmd152();
void SendCmd154();
void SendCmd156();
void SendCmd160();
void SendCmd162();
void SendCmd164();
void SendCmd167();
void SendCmd170();
void SendCmd178();
void SendCmd179();
void SendCmd180();
void SendCmd182();
void SendCmd183();
void SendCmd184();
void SendCmd188();
void SendCmd195();
void SendCmd196();
void SendCmd197();
void SendCmd199();
void SendCmd205();
void SendCmd208();
void SendCmd210();
void SendCmd212();
void SendCmd214();
void SendCmd216();
void SendCmd229();
void SendCmd231();
void SendCmd233();
void SendCmd235();
void SendCmd239();
void SendCmd241();
void SendCmd250();
void SendCmd252();

// Any command with its request data given as bytes (a command text's request).
void SendCommandData(int command, const std::vector<uint8_t>& data);

// Commands with request data.
void SendCmd17(const QString& message);
void SendCmd18(const QString& tag, const QString& descriptor, const QDate& date);
void SendCmd19(int32_t finalAssemblyNumber);
void SendCmd34(float damping);
void SendCmd35(uint8_t unit, float upper, float lower);
void SendCmd39(uint8_t control);
void SendCmd40(float current);
void SendCmd44(uint8_t unit);
void SendCmd45(float measuredCurrent);
void SendCmd46(float measuredCurrent);
void SendCmd53(uint8_t variable, uint8_t unit);
void SendCmd59(uint8_t preambles);
void SendCmd108(uint8_t command);
void SendCmd109(uint8_t burstOn);
void SendCmd128(uint8_t mode);
void SendCmd130(uint8_t variableCode);
void SendCmd144(float baseTemperature);
void SendCmd146(float basePressure);
void SendCmd148(float lowFlowCutoff);
void SendCmd151(uint8_t mode);
void SendCmd153(float upperRangeFrequency);
void SendCmd155(float userDefinedFrequency);
void SendCmd158(float upperPressure, float lowerPressure);
void SendCmd161(uint8_t run);
void SendCmd163(uint8_t mode);
void SendCmd168(float kFactor);
void SendCmd187(float rollOver, float multiplier, const QString& customUnit);
void SendCmd191(uint8_t samples);
void SendCmd193(uint8_t start);
void SendCmd209(float pipeID);
void SendCmd213(float viscosity, float density);
void SendCmd215(uint8_t source);
void SendCmd217(QString& name, uint8_t version);  // name is made exactly 24 characters long
void SendCmd218(uint8_t table);
void SendCmd219(uint8_t table, uint8_t size);
void SendCmd220(uint8_t point, float temperature, float viscosity);
void SendCmd221(uint8_t point);
void SendCmd222(uint8_t point, float temperature, float density);
void SendCmd223(uint8_t point);
void SendCmd224(uint8_t axis, uint8_t index, float value);
void SendCmd225(uint8_t axis, uint8_t index);
void SendCmd226(uint8_t row, uint8_t column, float density);
void SendCmd227(uint8_t row, uint8_t column);
void SendCmd230(uint8_t unfilteredHysteresis, uint8_t filteredHysteresis);
void SendCmd232(float userDefinedTemperature);
void SendCmd234(uint8_t source);
void SendCmd238(float userDefinedPressure);
void SendCmd240(uint8_t source);
void SendCmd247(uint8_t function, const QString& password);
void SendCmd248(uint8_t level, const QString& accessCode);
void SendCmd251(uint8_t level);
void SendCmd253(float atmosphericPressure);

}  // namespace app
