#include "app/commands/fenwire1.h"

#include <QWidget>
#include <cstdio>

#include "link/control/fenwire_dispids.h"

namespace app {

namespace {
FenwireControl* gFenwire1 = nullptr;
constexpr char kProgId[] = "Fenwire.HartCtrl.1";
}  // namespace

FenwireControl* Fenwire1() { return gFenwire1; }
void setFenwire1(FenwireControl* control) { gFenwire1 = control; }

FenwireControl::FenwireControl(const fenwire::FenwireApi& api, QObject* parent) : QObject(parent), api_(api) {
    if (!api_.create) return;
    control_ = api_.create(kProgId);
    if (control_) api_.advise(control_, &FenwireControl::onEvent, this);
}

FenwireControl::~FenwireControl() {
    if (!control_) return;
    api_.advise(control_, nullptr, nullptr);
    api_.adviseFrames(control_, nullptr, nullptr);
    api_.release(control_);
    if (gFenwire1 == this) gFenwire1 = nullptr;
}

int32_t FenwireControl::dispid(const char* name) const {
    const int32_t d = api_.dispidOf(name);
    if (d == -1) std::fprintf(stderr, "corvane-hart: the link control has no property %s\n", name);
    return d;
}

int FenwireControl::get(const char* name) const {
    fw_variant v{};
    if (!control_ || api_.get(control_, dispid(name), &v) != 0) return 0;
    return v.vt == 4 ? static_cast<int>(v.r4) : v.i4;
}

float FenwireControl::getFloat(const char* name) const {
    fw_variant v{};
    if (!control_ || api_.get(control_, dispid(name), &v) != 0) return 0.0f;
    return v.vt == 4 ? v.r4 : static_cast<float>(v.i4);
}

QString FenwireControl::getText(const char* name) const {
    fw_variant v{};
    if (!control_ || api_.get(control_, dispid(name), &v) != 0 || !v.str) return {};
    return QString::fromUtf8(v.str);
}

int32_t FenwireControl::put(const char* name, int value) {
    if (!control_) return FW_E_POINTER;
    fw_variant v{3, value, 0.0f, nullptr};
    return api_.put(control_, dispid(name), &v);
}

int32_t FenwireControl::putFloat(const char* name, float value) {
    if (!control_) return FW_E_POINTER;
    fw_variant v{4, 0, value, nullptr};
    return api_.put(control_, dispid(name), &v);
}

int32_t FenwireControl::putText(const char* name, const QString& value) {
    if (!control_) return FW_E_POINTER;
    const QByteArray utf8 = value.toUtf8();
    fw_variant v{8, 0, 0.0f, utf8.constData()};
    return api_.put(control_, dispid(name), &v);
}

QString FenwireControl::errorDescription() const {
    return control_ ? QString::fromUtf8(api_.errorDescription(control_)) : QString();
}

QWidget* FenwireControl::window() {
    return control_ ? static_cast<QWidget*>(api_.window(control_)) : nullptr;
}

int FenwireControl::processEvents(int timeoutMs) { return api_.processEvents(timeoutMs); }

void FenwireControl::watchFrames(FrameWatcher watcher) {
    if (!control_) return;
    frameWatcher_ = std::move(watcher);
    if (frameWatcher_) api_.adviseFrames(control_, &FenwireControl::onFrame, this);
    else api_.adviseFrames(control_, nullptr, nullptr);
}

void FenwireControl::onFrame(void* context, int32_t origin, const uint8_t* bytes, int32_t count, int32_t error,
                             int32_t preambles, uint32_t timeMs) {
    auto* self = static_cast<FenwireControl*>(context);
    if (!self->frameWatcher_) return;
    const FrameWatcher watcher = self->frameWatcher_;  // the watcher may be replaced from inside its call
    watcher(LineFrame{origin, bytes, count, error, preambles, timeMs});
}

void FenwireControl::onEvent(void* context, int32_t dispid, int32_t argc, int16_t* args) {
    auto* self = static_cast<FenwireControl*>(context);
    auto arg = [&](int i) -> short { return i < argc ? args[i] : 0; };
    switch (dispid) {
    case FW_EVENT_xPropertyChanged: emit self->xPropertyChanged(); break;
    case FW_EVENT_Result: emit self->Result(arg(0), arg(1), arg(2)); break;
    case FW_EVENT_Busy: emit self->Busy(arg(0)); break;
    case FW_EVENT_BusviewEnd: emit self->BusviewEnd(); break;
    case FW_EVENT_Notify: emit self->Notify(arg(0)); break;
    default: break;
    }
}

}  // namespace app
