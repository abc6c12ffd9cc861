// Where a HART-IP server is, written as a URL:
//   hartip://HOST[:PORT]       UDP
//   hartip+tcp://HOST[:PORT]   TCP
// HOST is a name, an IPv4 address or a bracketed IPv6 address ([::1]); PORT
// defaults to 5094. Used by the port map, the simulated meter and the bridge.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace hartip {

struct Endpoint {
    bool tcp = false;
    std::string host;  // without brackets
    uint16_t port = 0;

    std::string url() const;  // written back in the form above
};

// True when `text` starts with one of the HART-IP schemes (it may still be malformed).
bool isUrl(std::string_view text);
// Nothing, with the reason in `error`, when `text` is not such a URL.
std::optional<Endpoint> parseUrl(std::string_view text, std::string* error = nullptr);

}  // namespace hartip
