#include "link/hartip/url.h"

#include "link/hartip/message.h"

namespace hartip {

namespace {

constexpr std::string_view kUdpScheme = "hartip://";
constexpr std::string_view kTcpScheme = "hartip+tcp://";

std::optional<Endpoint> fail(std::string* error, std::string why) {
    if (error) *error = std::move(why);
    return std::nullopt;
}

}  // namespace

std::string Endpoint::url() const {
    const bool v6 = host.find(':') != std::string::npos;
    return std::string(tcp ? kTcpScheme : kUdpScheme) + (v6 ? "[" + host + "]" : host) + ":" +
           std::to_string(port);
}

bool isUrl(std::string_view text) { return text.starts_with(kUdpScheme) || text.starts_with(kTcpScheme); }

std::optional<Endpoint> parseUrl(std::string_view text, std::string* error) {
    Endpoint e;
    if (text.starts_with(kTcpScheme)) {
        e.tcp = true;
        text.remove_prefix(kTcpScheme.size());
    } else if (text.starts_with(kUdpScheme)) {
        text.remove_prefix(kUdpScheme.size());
    } else {
        return fail(error, "not a HART-IP address (hartip://HOST[:PORT] or hartip+tcp://HOST[:PORT])");
    }
    if (!text.empty() && text.back() == '/') text.remove_suffix(1);
    std::string_view portText;
    if (text.starts_with('[')) {
        const auto close = text.find(']');
        if (close == std::string_view::npos) return fail(error, "an IPv6 address lacks its closing bracket");
        e.host = std::string(text.substr(1, close - 1));
        const auto rest = text.substr(close + 1);
        if (!rest.empty()) {
            if (rest[0] != ':') return fail(error, "unexpected text after the address");
            portText = rest.substr(1);
            if (portText.empty()) return fail(error, "a colon without a port number");
        }
    } else {
        const auto colon = text.find(':');
        if (colon != std::string_view::npos && text.find(':', colon + 1) != std::string_view::npos)
            return fail(error, "an IPv6 address needs brackets: [::1]:5094");
        e.host = std::string(text.substr(0, colon));
        if (colon != std::string_view::npos) {
            portText = text.substr(colon + 1);
            if (portText.empty()) return fail(error, "a colon without a port number");
        }
    }
    if (e.host.empty()) return fail(error, "no host");
    if (e.host.find_first_of("/?#@[] ") != std::string::npos) return fail(error, "not a host name: " + e.host);
    e.port = kDefaultPort;
    if (!portText.empty()) {
        unsigned long n = 0;
        for (char c : portText) {
            if (c < '0' || c > '9' || n > 65535) return fail(error, "not a port number: " + std::string(portText));
            n = n * 10 + static_cast<unsigned long>(c - '0');
        }
        if (n > 65535) return fail(error, "not a port number: " + std::string(portText));
        e.port = static_cast<uint16_t>(n);
    }
    return e;
}

}  // namespace hartip
