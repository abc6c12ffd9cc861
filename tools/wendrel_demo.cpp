// Command-line demonstration of the frame driver: starts the simulated meter on
// a pseudo-terminal (or uses a real HART modem with --port N), reads the meter's
// identity with command 0, then its tag and live values by long address.
//
//   wendrel-demo [--port N] [--mode 0|1|2] [--count K]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "link/driver/codec.h"
#include "link/driver/portmap.h"
#include "link/driver/wendrel.h"
#include "tools/reply_inbox.h"
#include "tools/sim_process.h"

using namespace wendrel;

namespace {

using Inbox = tools::ReplyInbox;

struct Reply {
    uint8_t data[300] = {};
    int length = 0;
    int response1 = 0;
    int response2 = 0;
};

std::optional<Reply> transact(int32_t handle, Inbox& inbox, HartRequest request) {
    HART_SendRequest(handle, &request, 0);
    const auto [key, status] = inbox.next();
    Reply r;
    HartReply hr;
    hr.data = r.data;
    int16_t tag;
    if (!HART_ReceiveRequest(handle, static_cast<int32_t>(key), &hr, &tag) || (status & 0xFFFF) == kNoDeviceResponse)
        return std::nullopt;
    r.length = hr.length;
    r.response1 = hr.response1;
    r.response2 = hr.response2;
    return r;
}

int usage() {
    std::fprintf(stderr, "usage: wendrel-demo [--port N] [--mode 0|1|2] [--count K]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    int port = 0;
    int mode = 0;
    int count = 5;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (i + 1 >= argc) return usage();
        const int v = std::atoi(argv[++i]);
        if (a == "--port" && v >= 1 && v <= 32) port = v;
        else if (a == "--mode" && v >= 0 && v <= 2) mode = v;
        else if (a == "--count" && v >= 0) count = v;
        else return usage();
    }

    tools::SimProcess sim;
    if (port == 0) {
        std::string error;
        if (!sim.start(tools::besideSelf("corvane-meter-sim"), {"--mode", std::to_string(mode)}, &error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
        port = 1;
        SetPortPath(port, sim.linkPath());
        std::printf("Simulated Corvane meter on %s, mapped to COM %d\n", sim.linkPath().c_str(), port);
    }

    Inbox inbox;
    DriverRegistration reg;
    reg.window = &inbox;
    reg.port = port;
    reg.mode = mode;
    int32_t handle = -1;
    if (HART_RegisterDriver(&reg, &handle) == -1) {
        std::fprintf(stderr, "COM %d could not be opened (%s)\n", port, PortPath(port).c_str());
        return 1;
    }

    HartRequest identify;
    identify.command = 0;
    identify.addressKind = kAddressPolling;
    auto id = transact(handle, inbox, identify);
    if (!id || id->length < 12) {
        std::fprintf(stderr, "No Device Response !\n");
        HART_UnRegisterDriver(handle);
        return 1;
    }
    const uint8_t* d = id->data;
    std::printf("Manufacturer      %s (%u)\n", GetHartVendor(d[1]).c_str(), d[1]);
    std::printf("Device type       %u\n", d[2]);
    std::printf("Preambles wanted  %u\n", d[3]);
    std::printf("Revisions         universal %u, device %u, software %u, hardware %u\n", d[4], d[5], d[6], d[7] >> 3);
    std::printf("Device number     %u\n", PickInt24(d, 9));

    HartRequest byId;
    byId.addressKind = kAddressUniqueId;
    byId.uniqueId[0] = d[1] & 0x3F;
    byId.uniqueId[1] = d[2];
    std::memcpy(byId.uniqueId + 2, d + 9, 3);

    byId.command = 13;
    if (auto tag = transact(handle, inbox, byId); tag && tag->length >= 21)
        std::printf("Tag               %s\nDescriptor        %s\n", PickPackedASCII(tag->data, 6, 0).c_str(),
                    PickPackedASCII(tag->data, 12, 6).c_str());

    byId.command = 3;
    for (int i = 0; i < count; ++i) {
        auto v = transact(handle, inbox, byId);
        if (!v) {
            std::printf("No Device Response !\n");
            continue;
        }
        if (v->response1 != 0 || v->length < 9) {
            std::printf("Response code %d\n", v->response1);
            continue;
        }
        std::printf("Loop current %8.3f mA   PV %10.3f %s", PickFloat(v->data, 0), PickFloat(v->data, 5),
                    GetHartUnit(v->data[4]).c_str());
        for (int k = 9; k + 5 <= v->length; k += 5)
            std::printf("   %10.3f %s", PickFloat(v->data, k + 1), GetHartUnit(v->data[k]).c_str());
        std::printf("\n");
    }
    HART_UnRegisterDriver(handle);
    return 0;
}
