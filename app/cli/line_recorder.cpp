#include "app/cli/line_recorder.h"

#include <algorithm>
#include <chrono>

namespace cli {

void PrintMonitorText(std::FILE* out, const std::string& text) {
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos) end = text.size();
        if (end > start) {
            std::fwrite(text.data() + start, 1, end - start, out);
            std::fputc('\n', out);
        }
        start = end + 2;
    }
    std::fflush(out);
}

LineRecorder::LineRecorder(int linePort, std::string lineName)
    : linePort_(std::clamp(linePort, 0, 255)),
      // A name is one line of the packet comment.
      lineName_(lineName.find('\n') == std::string::npos ? std::move(lineName) : std::string()) {}

LineRecorder::~LineRecorder() {
    if (control_) control_->watchFrames(nullptr);
}

bool LineRecorder::openCapture(const QString& path, QString& why) {
    if (capture_.open(path.toStdString())) return true;
    why = QString::fromStdString(capture_.error());
    return false;
}

void LineRecorder::watch(app::FenwireControl& control) {
    control_ = &control;
    control.watchFrames([this](const app::LineFrame& frame) { take(frame); });
}

void LineRecorder::take(const app::LineFrame& line) {
    if (!line.bytes || line.count < 1) return;
    fenwire::MonitorFrame frame = builder_.take(line.bytes, line.count, line.origin, line.timeMs, options_, first_);
    first_ = false;
    frame.timeUs = std::chrono::duration_cast<std::chrono::microseconds>(
                       std::chrono::system_clock::now().time_since_epoch())
                       .count();
    frame.linePort = static_cast<uint8_t>(linePort_);
    if (capture_.isOpen()) {
        fenwire::CaptureFrame captured = fenwire::CaptureFrameOf(frame, texts_);
        if (!lineName_.empty()) captured.port = lineName_;
        if (!capture_.write(captured) && captureError_.isEmpty()) captureError_ = QString::fromStdString(capture_.error());
    }
    if (print_) PrintMonitorText(print_, fenwire::RenderFrameLine(frame, texts_).text);
    if (listener_) listener_(frame, builder_.record());
}

void LineRecorder::drain() {
    // Bounded: a busy line keeps posting frames, and the run must end.
    constexpr int kMostRounds = 64;
    for (int round = 0; control_ && round < kMostRounds && control_->processEvents(0) > 0; ++round) {
    }
}

bool LineRecorder::finish(QString& why) {
    drain();
    if (control_) {
        control_->watchFrames(nullptr);
        control_ = nullptr;
    }
    const bool wasOpen = capture_.isOpen();
    if (wasOpen && !capture_.close() && captureError_.isEmpty()) captureError_ = QString::fromStdString(capture_.error());
    if (captureError_.isEmpty()) return true;
    why = captureError_;  // names the file and the reason
    return false;
}

}  // namespace cli
