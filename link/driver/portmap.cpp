#include "link/driver/portmap.h"

#include <cstdlib>
#include <map>
#include <mutex>
#include <sstream>

namespace wendrel {

namespace {

std::mutex& mapMutex() {
    static std::mutex m;
    return m;
}

std::map<int, std::string>& hostOverrides() {
    static std::map<int, std::string> m;
    return m;
}

std::string defaultPath(int port) {
    if (port <= 8) return "/dev/ttyUSB" + std::to_string(port - 1);
    if (port <= 16) return "/dev/ttyACM" + std::to_string(port - 9);
    return "/dev/ttyS" + std::to_string(port - 17);
}

// "1=/dev/pts/4,2=/dev/ttyUSB0"; malformed items are skipped.
std::string environmentPath(int port) {
    const char* spec = std::getenv("WENDREL_PORTS");
    if (!spec) return {};
    std::stringstream items(spec);
    std::string item;
    std::string found;
    while (std::getline(items, item, ',')) {
        const auto eq = item.find('=');
        if (eq == std::string::npos || eq == 0 || eq + 1 >= item.size()) continue;
        char* end = nullptr;
        const std::string number = item.substr(0, eq);
        const long n = std::strtol(number.c_str(), &end, 10);
        if (*end != '\0' || n != port) continue;
        found = item.substr(eq + 1);  // the last mention wins
    }
    return found;
}

}  // namespace

std::string PortPath(int port) {
    if (port < kFirstPort || port > kLastPort) return {};
    {
        std::lock_guard lock(mapMutex());
        auto it = hostOverrides().find(port);
        if (it != hostOverrides().end()) return it->second;
    }
    std::string path = environmentPath(port);
    return path.empty() ? defaultPath(port) : path;
}

void SetPortPath(int port, const std::string& path) {
    std::lock_guard lock(mapMutex());
    if (path.empty()) hostOverrides().erase(port);
    else hostOverrides()[port] = path;
}

}  // namespace wendrel
