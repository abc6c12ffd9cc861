// The frame driver's entry points: a table of registrations keyed by handle.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>

#include "link/driver/link_master.h"
#include "link/driver/portmap.h"
#include "link/driver/transport.h"
#include "link/driver/transport_hartip.h"
#include "link/driver/wendrel.h"

namespace wendrel {

namespace {

struct Registry {
    std::mutex mutex;
    std::map<int32_t, std::shared_ptr<LinkMaster>> masters;
    int32_t nextHandle = 1;
    TransportFactory factory;
    std::function<void(const std::string&)> logSink;
};

Registry& registry() {
    static Registry r;
    return r;
}

std::shared_ptr<LinkMaster> find(int32_t handle) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    auto it = r.masters.find(handle);
    return it == r.masters.end() ? nullptr : it->second;
}

// The port map's entry: a serial device path or a HART-IP server's URL.
std::unique_ptr<Transport> openPort(int port, int bitsPerSecond, std::string* error) {
    const std::string path = PortPath(port);
    if (path.empty()) {
        *error = "no device path for port " + std::to_string(port);
        return nullptr;
    }
    if (hartip::isUrl(path)) {
        const auto endpoint = hartip::parseUrl(path, error);
        if (!endpoint) {
            *error = path + ": " + *error;
            return nullptr;
        }
        return HartIpTransport::open(*endpoint, error);
    }
    return SerialPort::open(path, bitsPerSecond, error);
}

}  // namespace

namespace detail {
void log(const std::string& line) {
    std::function<void(const std::string&)> sink;
    {
        auto& r = registry();
        std::lock_guard lock(r.mutex);
        sink = r.logSink;
    }
    if (sink) sink(line);
    else std::fprintf(stderr, "wendrel: %s\n", line.c_str());
}
}  // namespace detail

void SetTransportFactory(TransportFactory factory) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    r.factory = std::move(factory);
}

void SetLogSink(std::function<void(const std::string&)> sink) {
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    r.logSink = std::move(sink);
}

int32_t HART_RegisterDriver(const DriverRegistration* registration, int32_t* handle) {
    if (handle) *handle = -1;
    if (!registration) return -1;
    const int32_t port = registration->port;
    if (port < kFirstPort || port > kLastPort) {
        detail::log("port " + std::to_string(port) + " is outside 1.." + std::to_string(kLastPort));
        return -1;
    }
    TransportFactory factory;
    {
        auto& r = registry();
        std::lock_guard lock(r.mutex);
        factory = r.factory;
    }
    std::string error;
    const int bitRate = BitRateOfMode(registration->mode);
    auto transport = factory ? factory(port, bitRate, &error) : openPort(port, bitRate, &error);
    if (!transport) {
        if (!error.empty()) detail::log("COM " + std::to_string(port) + " not opened: " + error);
        return -1;
    }
    auto master = std::make_shared<LinkMaster>(port, std::move(transport), *registration);
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    const int32_t h = r.nextHandle++;
    r.masters.emplace(h, std::move(master));
    if (handle) *handle = h;
    return h;
}

int32_t GetComPortHandle(int32_t handle) {
    auto m = find(handle);
    return m ? m->portHandle() : -1;
}

int32_t HART_GetConfiguration(int32_t handle, DriverConfig* config) {
    auto m = find(handle);
    if (!m || !config) return -1;
    *config = m->config();
    return 0;
}

int32_t HART_SetConfiguration(int32_t handle, const DriverConfig* config) {
    auto m = find(handle);
    if (!m || !config) return -1;
    m->setConfig(*config);
    return 0;
}

void StartHistory(int32_t handle) {
    if (auto m = find(handle)) m->startHistory();
}

int32_t HART_SendRequest(int32_t handle, const HartRequest* request, int32_t tag) {
    auto m = find(handle);
    if (!m || !request) return -1;
    m->send(*request, tag);
    return 0;
}

int32_t HART_ReceiveRequest(int32_t handle, int32_t key, HartReply* reply, int16_t* tag) {
    auto m = find(handle);
    if (!m || key == -1) return 0;
    return m->receive(key, reply, tag);
}

int32_t HART_UnRegisterDriver(int32_t handle) {
    std::shared_ptr<LinkMaster> m;
    {
        auto& r = registry();
        std::lock_guard lock(r.mutex);
        auto it = r.masters.find(handle);
        if (it == r.masters.end()) return -1;
        m = std::move(it->second);
        r.masters.erase(it);
    }
    m->stop();  // joins the I/O thread: nothing is posted after this returns
    return 0;
}

int32_t RegisterLLMonitor(int32_t handle, MessageTarget* window, int32_t message) {
    auto m = find(handle);
    if (!m) return -1;
    m->setMonitor(window, message);
    return 0;
}

int32_t UnRegisterLLMonitor(int32_t handle) {
    auto m = find(handle);
    if (!m) return -1;
    m->setMonitor(nullptr, WM_HART_MONITOR);
    return 0;
}

MonitorRecord ReadMonitorRecord(intptr_t lParam) {
    MonitorRecord r;
    const auto* p = reinterpret_cast<const uint8_t*>(lParam);
    if (!p) return r;
    r.count = p[0] << 8 | p[1];
    r.error = p[2];
    r.preambles = p[3];
    r.timeMs = static_cast<uint32_t>(p[4]) << 24 | static_cast<uint32_t>(p[5]) << 16 |
               static_cast<uint32_t>(p[6]) << 8 | p[7];
    r.bytes = p + 8;
    return r;
}

void FreeMonitorRecord(intptr_t lParam) { delete[] reinterpret_cast<uint8_t*>(lParam); }

intptr_t MakeMonitorRecord(const uint8_t* bytes, size_t count, int error, int preambles, uint32_t timeMs) {
    const size_t n = std::min<size_t>(count, 0xFFFF);
    auto* record = new uint8_t[8 + n];
    record[0] = static_cast<uint8_t>(n >> 8);
    record[1] = static_cast<uint8_t>(n);
    record[2] = static_cast<uint8_t>(error);
    record[3] = static_cast<uint8_t>(std::clamp(preambles, 0, 255));
    for (int i = 0; i < 4; ++i) record[4 + i] = static_cast<uint8_t>(timeMs >> (24 - 8 * i));
    if (n > 0) std::memcpy(record + 8, bytes, n);
    return reinterpret_cast<intptr_t>(record);
}

}  // namespace wendrel
