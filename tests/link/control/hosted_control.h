// A host of the link control for tests: it drives the control only through
// the C interface, as any host would, and writes down every event and every
// change report in order ("Busy(1)", "Result(0,3,1)", "~cBusy").
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "link/control/fenwire.h"
#include "link/control/fenwire_dispids.h"

namespace testsupport {

class HostedControl {
public:
    HostedControl() {
        control = fw_create("Fenwire.HartCtrl.1");
        EXPECT_NE(control, nullptr);
        fw_advise(control, &HostedControl::onEvent, this);
        fw_advise_changes(control, &HostedControl::onChange, this);
    }
    ~HostedControl() {
        if (!control) return;
        put("cComState", 0);
        fw_release(control);
    }
    HostedControl(const HostedControl&) = delete;
    HostedControl& operator=(const HostedControl&) = delete;

    static int32_t dispid(const char* name) {
        const int32_t d = fw_dispid_of(name);
        EXPECT_NE(d, -1) << name;
        return d;
    }
    int32_t put(const char* name, int value) {
        fw_variant v{3, value, 0, nullptr};
        return fw_put(control, dispid(name), &v);
    }
    int32_t putFloat(const char* name, float value) {
        fw_variant v{4, 0, value, nullptr};
        return fw_put(control, dispid(name), &v);
    }
    int32_t putText(const char* name, const std::string& value) {
        fw_variant v{8, 0, 0, value.c_str()};
        return fw_put(control, dispid(name), &v);
    }
    int number(const char* name) {
        fw_variant v{};
        EXPECT_EQ(fw_get(control, dispid(name), &v), 0) << name;
        return v.i4;
    }
    float real(const char* name) {
        fw_variant v{};
        EXPECT_EQ(fw_get(control, dispid(name), &v), 0) << name;
        return v.r4;
    }
    std::string text(const char* name) {
        fw_variant v{};
        EXPECT_EQ(fw_get(control, dispid(name), &v), 0) << name;
        return v.str ? v.str : "";
    }

    // Handles the control's messages until cBusy is 0 (or the time is up).
    bool waitIdle(int timeoutMs = 10000) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (number("cBusy") != 0) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            fw_process_events(100);
        }
        return true;
    }
    // Handles messages for a while, whatever arrives.
    void pump(int ms) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < deadline) fw_process_events(10);
    }

    // The log without change reports: events only.
    std::vector<std::string> events() const {
        std::vector<std::string> out;
        for (const auto& e : log)
            if (e[0] != '~') out.push_back(e);
        return out;
    }
    // Position of an entry in the log at or after `from`; -1 if absent.
    int find(const std::string& entry, int from = 0) const {
        for (size_t i = static_cast<size_t>(from); i < log.size(); ++i)
            if (log[i] == entry) return static_cast<int>(i);
        return -1;
    }

    void* control = nullptr;
    std::vector<std::string> log;
    std::vector<std::thread::id> threads;  // the thread of every event and report
    std::function<void(int dispid, int argc, int16_t* args)> onEventHook;

private:
    static void onEvent(void* context, int32_t dispid, int32_t argc, int16_t* args) {
        auto* self = static_cast<HostedControl*>(context);
        self->threads.push_back(std::this_thread::get_id());
        static const char* names[] = {"?", "xPropertyChanged", "Result", "Busy", "BusviewEnd", "Notify"};
        std::string entry = dispid >= 1 && dispid <= 5 ? names[dispid] : "?";
        entry += "(";
        for (int i = 0; i < argc; ++i) entry += (i ? "," : "") + std::to_string(args[i]);
        entry += ")";
        self->log.push_back(entry);
        if (self->onEventHook) self->onEventHook(dispid, argc, args);
    }
    static void onChange(void* context, int32_t dispid) {
        auto* self = static_cast<HostedControl*>(context);
        self->threads.push_back(std::this_thread::get_id());
        const char* name = fw_name_of(dispid);
        self->log.push_back(std::string("~") + (name ? name : "?"));
    }
};

}  // namespace testsupport
