// The plain C interface of the link control: handles, variants and strings
// cross here; C++ types stay inside.
#include <QApplication>
#include <cstdlib>
#include <string>
#include <strings.h>
#include <vector>

#include "link/control/control.h"
#include "link/control/display_strings.h"
#include "link/control/fenwire.h"
#include "link/control/message_window.h"
#include "link/control/property_table.h"
#include "link/control/registration.h"

namespace {

constexpr const char* kProgId = "Fenwire.HartCtrl.1";

// What a host holds: the control and the strings last handed out for it.
struct Instance {
    fenwire::CKvFenwireCtrl control;
    std::string text;  // the string of the last call that returned one
};

Instance* instance(void* control) { return static_cast<Instance*>(control); }

// A host without a Qt application (a C program, a script through its foreign
// function interface) gets one made here, on its thread.
void ensureApplication() {
    if (QCoreApplication::instance()) return;
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") && !std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int argc = 1;
    static char name[] = "fenwire";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);  // lives as long as the process
}

fenwire::Variant fromC(const fw_variant& v) {
    fenwire::Variant out;
    switch (v.vt) {
    case 2: out = fenwire::Variant::fromShort(static_cast<int16_t>(v.i4)); break;
    case 3: out = fenwire::Variant::fromLong(v.i4); break;
    case 4: out = fenwire::Variant::fromFloat(v.r4); break;
    case 8: out = fenwire::Variant::fromString(v.str ? v.str : ""); break;
    default: break;
    }
    return out;
}

const char* keep(Instance* in, std::string s) {
    in->text = std::move(s);
    return in->text.c_str();
}

}  // namespace

extern "C" {

void* fw_create(const char* progid) {
    if (!progid) return nullptr;
    if (strcasecmp(progid, kProgId) != 0 && !fenwire::isRegisteredProgId(progid)) return nullptr;
    ensureApplication();
    return new Instance();
}

void fw_release(void* control) { delete instance(control); }

int32_t fw_get(void* control, int32_t dispid, fw_variant* out) {
    if (!control || !out) return fenwire::E_POINTER;
    Instance* in = instance(control);
    fenwire::Variant v;
    const fenwire::HResult hr = in->control.get(dispid, v);
    if (hr != fenwire::S_OK_) return hr;
    out->vt = static_cast<int32_t>(v.type);
    out->i4 = v.i;
    out->r4 = v.f;
    out->str = v.type == fenwire::VarType::String ? keep(in, std::move(v.s)) : nullptr;
    return 0;
}

int32_t fw_put(void* control, int32_t dispid, const fw_variant* value) {
    if (!control || !value) return fenwire::E_POINTER;
    return instance(control)->control.put(dispid, fromC(*value));
}

int32_t fw_invoke(void* control, int32_t dispid, int32_t* result) {
    if (!control) return fenwire::E_POINTER;
    int32_t r = 0;
    const fenwire::HResult hr = instance(control)->control.invoke(dispid, r);
    if (result) *result = r;
    return hr;
}

const char* fw_error_description(void* control) {
    if (!control) return "";
    return instance(control)->control.errorDescription().c_str();
}

void fw_advise(void* control, fw_event_fn fn, void* context) {
    if (!control) return;
    if (!fn) {
        instance(control)->control.setEventSink(nullptr);
        return;
    }
    instance(control)->control.setEventSink(
        [fn, context](int dispid, int argc, int16_t* args) { fn(context, dispid, argc, args); });
}

void fw_advise_changes(void* control, fw_change_fn fn, void* context) {
    if (!control) return;
    if (!fn) {
        instance(control)->control.setChangeSink(nullptr);
        return;
    }
    instance(control)->control.setChangeSink([fn, context](int dispid) { fn(context, dispid); });
}

void fw_advise_frames(void* control, fw_frame_fn fn, void* context) {
    if (!control) return;
    if (!fn) {
        instance(control)->control.setFrameSink(nullptr);
        return;
    }
    instance(control)->control.setFrameSink([fn, context](int origin, const wendrel::MonitorRecord& frame) {
        fn(context, origin, frame.bytes, frame.count, frame.error, frame.preambles, frame.timeMs);
    });
}

int32_t fw_process_events(int32_t timeout_ms) {
    ensureApplication();
    return fenwire::processMessages(timeout_ms);
}

void fw_set_user_mode(void* control, int32_t user_mode) {
    if (control) instance(control)->control.setUserMode(user_mode != 0);
}

int32_t fw_dispid_of(const char* name) {
    const auto* p = fenwire::findProperty(name);
    return p ? p->dispid : -1;
}

const char* fw_name_of(int32_t dispid) {
    const auto* p = fenwire::findProperty(dispid);
    return p ? p->name : nullptr;
}

const char* fw_display_string(void* control, int32_t dispid) {
    if (!control) return nullptr;
    Instance* in = instance(control);
    fenwire::Variant v;
    if (in->control.get(dispid, v) != fenwire::S_OK_) return nullptr;
    auto label = fenwire::displayString(dispid, v.i);
    return label ? keep(in, *label) : nullptr;
}

int32_t fw_predefined_count(void*, int32_t dispid) {
    return static_cast<int32_t>(fenwire::predefinedStrings(dispid).size());
}

const char* fw_predefined_string(void* control, int32_t dispid, int32_t index) {
    if (!control) return nullptr;
    const auto list = fenwire::predefinedStrings(dispid);
    if (index < 0 || index >= static_cast<int32_t>(list.size())) return nullptr;
    return keep(instance(control), list[static_cast<size_t>(index)].first);
}

int32_t fw_predefined_value(void*, int32_t dispid, int32_t index) {
    const auto list = fenwire::predefinedStrings(dispid);
    if (index < 0 || index >= static_cast<int32_t>(list.size())) return -1;
    return list[static_cast<size_t>(index)].second;
}

int32_t fw_put_predefined(void* control, int32_t dispid, int32_t value) {
    if (!control) return fenwire::E_POINTER;
    if (!fenwire::predefinedAccepts(dispid, value)) return fenwire::E_INVALIDARG;
    return instance(control)->control.put(dispid, fenwire::Variant::fromLong(value));
}

const char* fw_save_properties(void* control) {
    if (!control) return nullptr;
    Instance* in = instance(control);
    return keep(in, in->control.saveProperties());
}

int32_t fw_load_properties(void* control, const char* text) {
    if (!control || !text) return fenwire::E_POINTER;
    return instance(control)->control.loadProperties(text) ? 0 : fenwire::E_INVALIDARG;
}

void* fw_window(void* control) { return control ? instance(control)->control.window() : nullptr; }

void fw_show_property_page(void* control) {
    if (control) instance(control)->control.showPropertyPage();
}

int32_t DllRegisterServer(void) { return fenwire::registerServer(); }

int32_t DllUnregisterServer(void) { return fenwire::unregisterServer(); }

}  // extern "C"
