#include "link/control/display_strings.h"

#include <cstdio>
#include <functional>

#include "link/control/fenwire_dispids.h"

namespace fenwire {

namespace {

struct LabelSet {
    int first;  // the range a pick must lie in, also the values listed
    int last;
    std::function<std::string(int)> label;  // for values in range
    const char* outside;                    // for other values; null: the number alone
};

std::function<std::string(int)> fixedList(std::vector<const char*> labels) {
    return [labels = std::move(labels)](int value) { return std::string(labels.at(static_cast<size_t>(value))); };
}

LabelSet fixedSet(std::vector<const char*> labels, const char* outside = nullptr) {
    const int last = static_cast<int>(labels.size()) - 1;
    return {0, last, fixedList(std::move(labels)), outside};
}

std::string portLabel(int port) {
    if (port == 0) return "0:NONE";
    char text[32];
    std::snprintf(text, sizeof text, "%2d:COM %2d", port, port);
    return text;
}

std::string pollAddressLabel(int address) {
    char text[32];
    std::snprintf(text, sizeof text, "A_%02d", address);
    return text;
}

const LabelSet* labelsOf(int dispid) {
    static const LabelSet port{0, 32, portLabel, nullptr};
    static const LabelSet comError = fixedSet({"0:COM OK", "1:COM NOT POSSIBLE"});
    static const LabelSet addrMode = fixedSet({"0:ADDRESS", "1:TAG NAME", "2:UNIQUE ID"});
    static const LabelSet comResult = fixedSet({"0:NO DRIVER RESPONSE", "1:HAVE RESPONSE", "2:NO DEVICE RESPONSE"});
    static const LabelSet comState = fixedSet({"0:OFF", "1:ON"});
    static const LabelSet pollAddress{0, 15, pollAddressLabel, nullptr};
    static const LabelSet action = fixedSet(
        {"0:NO ACTION", "1:READ PV", "2:READ CUR PERC", "3:READ ALL PV", "4:READ MESSAGE", "5:READ TDD",
         "6:READ SENS LIMITS", "7:READ RANGE", "8:WRITE MESSAGE", "9:WRITE TDD", "10:WRITE POLL ADDRESS",
         "11:RESET STATUS"},
        "UNKNOWN!!!");
    static const LabelSet busview = fixedSet({"0:NO", "1:YES"}, "UNKNOWN!!!");
    static const LabelSet comMode = fixedSet({"0:HART_1200", "1:HART_9600", "2:HART_19200"});

    switch (dispid) {
    case FW_cComPort: return &port;
    case FW_cComError: return &comError;
    case FW_cAddrMode: return &addrMode;
    case FW_cComResult: return &comResult;
    case FW_cComState: return &comState;
    case FW_cPollAddress:
    case FW_cNewPollAddress: return &pollAddress;
    case FW_cAction: return &action;
    case FW_cBusview: return &busview;
    case FW_cComMode: return &comMode;
    default: return nullptr;
    }
}

}  // namespace

std::optional<std::string> displayString(int dispid, int value) {
    const LabelSet* set = labelsOf(dispid);
    if (!set) return std::nullopt;
    if (value >= set->first && value <= set->last) return set->label(value);
    return set->outside ? std::string(set->outside) : std::to_string(value);
}

std::vector<std::pair<std::string, int>> predefinedStrings(int dispid) {
    std::vector<std::pair<std::string, int>> list;
    if (const LabelSet* set = labelsOf(dispid))
        for (int value = set->first; value <= set->last; ++value) list.emplace_back(set->label(value), value);
    return list;
}

bool predefinedAccepts(int dispid, int value) {
    const LabelSet* set = labelsOf(dispid);
    return set && value >= set->first && value <= set->last;
}

}  // namespace fenwire
