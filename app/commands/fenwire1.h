// Fenwire1: the application's one instance of the link control, reached by
// every module as the control of the port form. The application talks to it
// only through the control's automation interface (properties by name,
// events), as any host would.
#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>

#include "link/control/fenwire_loader.h"

class QWidget;

namespace app {

// A frame on the line as the control's monitor reports it; the bytes
// (preambles included) are valid only during the watcher's call.
struct LineFrame {
    int origin = 0;  // 0 sent by this control, 1 came off the line
    const uint8_t* bytes = nullptr;
    int count = 0;
    int error = 0;      // the driver's finding: 0 none, 1 bad checksum, 2 cut short, 3 no status bytes
    int preambles = 0;  // 0xFF bytes before the delimiter
    uint32_t timeMs = 0;  // since the line was opened
};

class FenwireControl : public QObject {
    Q_OBJECT
public:
    // Creates a control through `api`: the loaded library's entry points, or
    // those linked into a test program.
    explicit FenwireControl(const fenwire::FenwireApi& api, QObject* parent = nullptr);
    ~FenwireControl() override;
    bool valid() const { return control_ != nullptr; }

    // Property access by name, converted as automation does. A put returns
    // the automation error (0 when none).
    int get(const char* name) const;
    float getFloat(const char* name) const;
    QString getText(const char* name) const;
    int32_t put(const char* name, int value);
    int32_t putFloat(const char* name, float value);
    int32_t putText(const char* name, const QString& value);
    QString errorDescription() const;

    // The control's window, for a form that shows it.
    QWidget* window();
    // Handles the control's pending messages, waiting up to timeoutMs for one.
    int processEvents(int timeoutMs);
    // Every frame on the line goes to `watcher` as well as to the bus monitor
    // window, until a null watcher is set.
    using FrameWatcher = std::function<void(const LineFrame&)>;
    void watchFrames(FrameWatcher watcher);

signals:
    // The control's events, raised on the caller's thread as they fire.
    void Result(short iAction, short iCommand, short iResult);
    void Busy(short iBusy);
    void Notify(short whatEvent);
    void xPropertyChanged();
    void BusviewEnd();

private:
    int32_t dispid(const char* name) const;
    static void onEvent(void* context, int32_t dispid, int32_t argc, int16_t* args);
    static void onFrame(void* context, int32_t origin, const uint8_t* bytes, int32_t count, int32_t error,
                        int32_t preambles, uint32_t timeMs);

    fenwire::FenwireApi api_;
    void* control_ = nullptr;
    FrameWatcher frameWatcher_;
};

// The instance the port form owns; null before the port form exists.
FenwireControl* Fenwire1();
void setFenwire1(FenwireControl* control);

}  // namespace app
