// The line's frames during a run of corvane-hart-cli, taken as the bus
// monitor takes them (one line builder, so replies are checked against their
// requests) and handed on: streamed into a capture file (--capture), printed
// as the monitor's lines (monitor), or given to a subcommand that wants the
// frames of its own transaction (send).
#pragma once

#include <QPointer>
#include <QString>
#include <cstdio>
#include <functional>

#include "app/commands/fenwire1.h"
#include "link/monitor/capture.h"
#include "link/monitor/monitor_line.h"

namespace cli {

// Prints a monitor line on `out`, each of its parts ("\r\n" apart) a line.
void PrintMonitorText(std::FILE* out, const std::string& text);

class LineRecorder {
public:
    // The line is named in the capture by `lineName` (a device path or
    // HART-IP address) when given, else as COM `linePort`; 0 leaves it out.
    explicit LineRecorder(int linePort, std::string lineName = {});
    ~LineRecorder();
    LineRecorder(const LineRecorder&) = delete;
    LineRecorder& operator=(const LineRecorder&) = delete;

    // Creates the capture file before anything is on the line; false with
    // the reason when it cannot be written.
    bool openCapture(const QString& path, QString& why);
    // Every frame's line goes to `out` from now on.
    void printTo(std::FILE* out) { print_ = out; }
    // Also hands each frame, as kept and as decoded for its line, to
    // `listener` (null: no more).
    using Listener = std::function<void(const fenwire::MonitorFrame&, const wendrel::FrameText&)>;
    void setListener(Listener listener) { listener_ = std::move(listener); }

    // Takes the frames of `control` until finish().
    void watch(app::FenwireControl& control);
    // Handles what the control has queued by now: a frame may stand behind
    // the reply it belongs to.
    void drain();
    // Collects what the control has still queued, stops watching and closes
    // the capture. False with the reason when a frame did not reach the
    // capture file or the file did not close cleanly.
    bool finish(QString& why);

    // One frame, as the control reports it.
    void take(const app::LineFrame& frame);
    const fenwire::CommandTextTables& texts() const { return texts_; }
    // A frame did not reach the capture file; finish() says why.
    bool captureFailed() const { return !captureError_.isEmpty(); }

private:
    const fenwire::CommandTextTables texts_;  // the monitor's built-in command names
    fenwire::MonitorLineBuilder builder_{texts_};
    const fenwire::LineOptions options_;      // the monitor's default View options
    int linePort_ = 0;
    std::string lineName_;
    bool first_ = true;
    std::FILE* print_ = nullptr;
    Listener listener_;
    fenwire::CaptureWriter capture_;
    QString captureError_;  // the first write that failed
    QPointer<app::FenwireControl> control_;
};

}  // namespace cli
