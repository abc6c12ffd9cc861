#include "link/driver/frame_dump.h"

#include <cstdio>
#include <span>
#include <vector>

#include "link/driver/codec.h"
#include "link/driver/frame.h"

namespace wendrel {

namespace {

constexpr size_t kAddressWidth = 14;  // "A6 4E 00 00 01"
constexpr size_t kStatusWidth = 12;   // "  0 00000000"
constexpr uint32_t kNewBurstGapMs = 1000;
constexpr uint32_t kMaxShownGapMs = 99999;

enum Column { T1, T2, T3, T4, T5, T6, T7, T8, T9, T10, T11, T12, T13, T14, T15 };

std::string format(const char* pattern, auto... values) {
    char out[64];
    std::snprintf(out, sizeof out, pattern, values...);
    return out;
}

std::string number(int value, bool decimal) { return decimal ? format("%3d", value) : format("%02X", value); }

std::string padded(std::string text, size_t width) {
    if (text.size() < width) text.append(width - text.size(), ' ');
    return text;
}

std::string real(float value) { return format("%g", static_cast<double>(value)); }

constexpr CodeText kCommandNames[] = {
    {0, "Read Unique Identifier"},
    {1, "Read Primary Variable"},
    {2, "Read Current and Percent of Range"},
    {3, "Read Dynamic Variables and Current"},
    {6, "Write Polling Address"},
    {11, "Read Unique Identifier by Tag"},
    {12, "Read Message"},
    {13, "Read Tag, Descriptor, Date"},
    {14, "Read PV Sensor Information"},
    {15, "Read PV Output Information"},
    {16, "Read Final Assembly Number"},
    {17, "Write Message"},
    {18, "Write Tag, Descriptor, Date"},
    {19, "Write Final Assembly Number"},
    {33, "Read Selected Dynamic Variables"},
    {34, "Write Damping Value"},
    {35, "Write Range Values"},
    {36, "Set Upper Range Value"},
    {37, "Set Lower Range Value"},
    {38, "Reset Configuration Changed Flag"},
    {39, "EEPROM Control"},
    {40, "Enter/Exit Fixed Current Mode"},
    {41, "Perform Self Test"},
    {42, "Perform Device Reset"},
    {43, "Set PV Zero"},
    {44, "Write PV Units"},
    {45, "Trim Loop Current Zero"},
    {46, "Trim Loop Current Gain"},
    {47, "Write PV Transfer Function"},
    {48, "Read Additional Device Status"},
    {49, "Write PV Sensor Serial Number"},
    {50, "Read Dynamic Variable Assignments"},
    {51, "Write Dynamic Variable Assignments"},
    {53, "Write Transducer Variable Units"},
    {59, "Write Number of Response Preambles"},
    {108, "Write Burst Mode Command Number"},
    {109, "Burst Mode Control"},
};
static_assert(CodesStrictlyAscending(kCommandNames));

// Response codes of a reply whose first status byte has bit 7 clear.
std::string responseCodeText(int code) {
    switch (code) {
    case 0: return "";
    case 1: return "Undefined";
    case 2: return "Invalid selection";
    case 3: return "Parameter too large";
    case 4: return "Parameter too small";
    case 5: return "Too few data bytes";
    case 6: return "Device-specific command error";
    case 7: return "In write-protect mode";
    case 8: case 14: return format("Warning %d", code);
    case 16: return "Access restricted";
    case 32: return "Busy";
    case 64: return "Command not implemented";
    default: return format("Error %d", code);
    }
}

void joinBits(std::string& out, int value, std::span<const CodeText> bits) {
    for (const auto& b : bits) {
        if (!(value & b.code)) continue;
        if (!out.empty() && out.back() != ' ') out += ", ";
        out += b.text;
    }
}

// What the two status bytes of a reply say, in words.
std::string statusText(int response, int device) {
    static const CodeText kCommErrors[] = {{0x40, "Parity error"}, {0x20, "Overrun error"}, {0x10, "Framing error"},
                                           {0x08, "Checksum error"}, {0x02, "Buffer overflow"}};
    static const CodeText kDeviceBits[] = {{0x80, "Device malfunction"}, {0x40, "Configuration changed"},
                                           {0x20, "Cold start"}, {0x10, "More status available"},
                                           {0x08, "Loop current fixed"}, {0x04, "Loop current saturated"},
                                           {0x02, "Non-PV out of limits"}, {0x01, "PV out of limits"}};
    std::string out;
    if (response & 0x80) {
        out = "Communication error: ";
        joinBits(out, response, kCommErrors);
        return out;
    }
    out = responseCodeText(response);
    if (device != 0) {
        if (!out.empty()) out += "; ";
        joinBits(out, device, kDeviceBits);
    }
    return out;
}

std::string packed(const std::vector<uint8_t>& d, int offset, int bytes) {
    std::string s = PickPackedASCII(d.data(), bytes, offset);
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

std::string date(const std::vector<uint8_t>& d, int offset) {
    return format("%02u.%02u.%04u", d[static_cast<size_t>(offset)], d[static_cast<size_t>(offset) + 1],
                  1900u + d[static_cast<size_t>(offset) + 2]);
}

std::string unitValue(const std::vector<uint8_t>& d, int unitOffset, int valueOffset) {
    return real(PickFloat(d.data(), valueOffset)) + " " + GetHartUnit(d[static_cast<size_t>(unitOffset)]);
}

// The data of a universal command in words; empty when the command has no
// decoding or the data is too short for it. `d` is the payload (status bytes removed).
std::string decodeUniversal(int command, bool reply, const std::vector<uint8_t>& d) {
    const size_t n = d.size();
    auto has = [&](size_t need) { return n >= need; };
    switch (command) {
    case 0:
    case 11:
        if (!reply) return command == 11 && has(6) ? "Tag \"" + packed(d, 0, 6) + "\"" : "";
        if (!has(12)) return "";
        return "Mfr " + GetHartVendor(d[1]) + ", Type " + std::to_string(d[2]) + ", Preambles " +
               std::to_string(d[3]) + ", Univ Rev " + std::to_string(d[4]) + ", Dev Rev " + std::to_string(d[5]) +
               ", Sw Rev " + std::to_string(d[6]) + ", Hw Rev " + std::to_string(d[7] >> 3) + ", Flags " +
               HexToText(d[8]) + ", Dev ID " + toHex(d.data() + 9, 3);
    case 1:
        return reply && has(5) ? "PV " + unitValue(d, 0, 1) : "";
    case 2:
        return reply && has(8) ? "Current " + real(PickFloat(d.data(), 0)) + " mA, " + real(PickFloat(d.data(), 4)) +
                                     " % of range"
                               : "";
    case 3: {
        if (!reply || !has(4)) return "";
        std::string s = "Current " + real(PickFloat(d.data(), 0)) + " mA";
        static const char* kNames[] = {"PV", "SV", "TV", "QV"};
        for (int v = 0; v < 4 && has(static_cast<size_t>(4 + 5 * (v + 1))); ++v)
            s += std::string(", ") + kNames[v] + " " + unitValue(d, 4 + 5 * v, 5 + 5 * v);
        return s;
    }
    case 6:
        return has(1) ? "Polling address " + std::to_string(d[0]) : "";
    case 12:
    case 17:
        if (command == 12 && !reply) return "";
        return has(24) ? "Message \"" + packed(d, 0, 24) + "\"" : "";
    case 13:
    case 18:
        if (command == 13 && !reply) return "";
        return has(21) ? "Tag \"" + packed(d, 0, 6) + "\", Descriptor \"" + packed(d, 6, 12) + "\", Date " +
                             date(d, 18)
                       : "";
    case 14:
        if (!reply || !has(16)) return "";
        return "Sensor S/N " + std::to_string(PickInt24(d.data(), 0)) + ", Upper limit " + unitValue(d, 3, 4) +
               ", Lower limit " + unitValue(d, 3, 8) + ", Min span " + unitValue(d, 3, 12);
    case 15:
        if (!reply || !has(17)) return "";
        return "Alarm " + std::to_string(d[0]) + ", Transfer fn " + std::to_string(d[1]) + ", Upper range " +
               unitValue(d, 2, 3) + ", Lower range " + unitValue(d, 2, 7) + ", Damping " +
               real(PickFloat(d.data(), 11)) + " s, Write protect " + std::to_string(d[15]);
    case 16:
    case 19:
        if (command == 16 && !reply) return "";
        return has(3) ? "Final assembly " + std::to_string(PickInt24(d.data(), 0)) : "";
    default:
        return "";
    }
}

std::string commandText(int command, bool reply, const CommandTexts& requestTexts, const CommandTexts& replyTexts) {
    const auto i = static_cast<size_t>(command);
    if (reply && !replyTexts[i].empty()) return replyTexts[i];
    if (!requestTexts[i].empty()) return requestTexts[i];
    return CommandName(command);
}

void setError(FrameText& f, int code, const char* mark, std::string words) {
    if (f.error != DumpErrorNone) return;  // the first fault found is the one reported
    f.error = code;
    f.t[T10] = mark;
    f.t[T11] = std::move(words);
}

}  // namespace

std::string CommandName(int command) {
    for (const auto& c : kCommandNames)
        if (c.code == command) return c.text;
    return "";
}

void FrameDump(const uint8_t* bytes, int count, FrameText& f, const CommandTexts& requestTexts,
               const CommandTexts& replyTexts, uint32_t timeMs) {
    const int previousKind = f.kind;
    const int previousMaster = f.masterType;
    const int previousTime = f.previousTimeMs;
    for (auto& column : f.t) column.clear();
    f.error = DumpErrorNone;
    f.mismatch = 0;
    f.highlight = 0;
    f.command = -1;
    f.masterType = -1;
    f.kind = FrameKindReply;
    f.previousTimeMs = static_cast<int>(timeMs);

    // Timing: the gap to the previous frame, and the clock where a new burst of traffic starts.
    const uint32_t gap = previousTime < 0 ? 0 : timeMs - static_cast<uint32_t>(previousTime);
    f.t[T12] = format("%05u", std::min(gap, kMaxShownGapMs));
    if (previousTime < 0 || gap >= kNewBurstGapMs) f.t[T13] = format("t=%u.%03u s", timeMs / 1000, timeMs % 1000);

    const size_t total = bytes && count > 0 ? static_cast<size_t>(count) : 0;
    size_t pos = 0;
    while (pos < total && bytes[pos] == 0xFF) ++pos;
    if (pos > 0) f.t[T1] = toHex(bytes, pos);
    if (pos >= total || !isValidDelimiter(bytes[pos])) {
        f.t[T7] = toHex(bytes + pos, total - pos);
        f.t[T9] = "?????";
        setError(f, DumpErrorNoDelimiter, "NOISE", "No frame: no valid delimiter after the preambles");
        return;
    }

    const size_t start = pos;
    const uint8_t delimiter = bytes[pos++];
    f.t[T2] = HexToText(delimiter);
    const int type = delimiter & 0x07;
    f.kind = type == static_cast<int>(FrameType::Stx) ? FrameKindRequest
             : type == static_cast<int>(FrameType::Back) ? FrameKindBurst
                                                         : FrameKindReply;
    const bool reply = f.kind != FrameKindRequest;
    auto truncated = [&] {
        setError(f, DumpErrorTruncated, "TRUNCATED", "Frame cut short: the line fell silent inside it");
    };

    const size_t addressLength = (delimiter & kLongFrameBit) ? 5 : 1;
    const size_t addressEnd = std::min(total, pos + addressLength);
    if (pos < addressEnd) {
        f.t[T3] = padded(toHex(bytes + pos, addressEnd - pos), kAddressWidth);
        f.masterType = (bytes[pos] & kPrimaryMasterBit) ? 1 : 0;
    }
    const char* arrow = reply ? "<" : ">";
    const char* master = f.masterType == 1 ? "P" : f.masterType == 0 ? "S" : "?";
    f.t[T9] = std::string(f.kind == FrameKindRequest ? "STX" : f.kind == FrameKindBurst ? "BCK" : "ACK") + arrow + master;
    f.highlight = f.kind == FrameKindBurst ? 1 : 0;
    pos = addressEnd;

    const size_t expansion = static_cast<size_t>((delimiter >> 5) & 0x03);
    pos = std::min(total, pos + expansion);
    if (addressEnd - start - 1 < addressLength || pos >= total) {
        truncated();
        return;
    }

    f.command = bytes[pos++];
    const bool decimal = f.decimal != 0;
    f.t[T4] = number(f.command, decimal);
    if (f.symbolic) {
        const std::string name = commandText(f.command, reply, requestTexts, replyTexts);
        if (!name.empty()) f.t[T4] += " " + name;
    }
    if (pos >= total) {
        truncated();
        return;
    }

    const size_t declared = bytes[pos++];
    f.t[T5] = number(static_cast<int>(declared), decimal);
    const size_t dataEnd = std::min(total, pos + declared);
    std::vector<uint8_t> data(bytes + pos, bytes + dataEnd);
    size_t payloadFrom = 0;
    if (reply && data.size() >= 2) {
        const int response = data[0];
        const int device = data[1];
        f.t[T6] = padded(number(response, decimal) + " " +
                             (f.rsp2Binary ? IntToBin(static_cast<uint32_t>(device)) : HexToText(static_cast<uint32_t>(device))),
                         kStatusWidth);
        f.t[T14] = statusText(response, device);
        payloadFrom = 2;
    }
    const std::vector<uint8_t> payload(data.begin() + static_cast<long>(std::min(payloadFrom, data.size())), data.end());
    const bool communicationError = reply && data.size() >= 1 && (data[0] & 0x80);
    std::string decoded;
    if (f.realData && !communicationError && data.size() == declared) decoded = decodeUniversal(f.command, reply, payload);
    f.t[T7] = !decoded.empty() ? decoded : toHex(payload);
    pos = dataEnd;

    if (data.size() < declared || pos >= total) {
        truncated();
        return;
    }
    const uint8_t sent = bytes[pos];
    f.t[T8] = HexToText(sent);
    const uint8_t computed = checksum(bytes + start, pos - start);
    if (sent != computed)
        setError(f, DumpErrorChecksum, "CHECKSUM",
                 "Checksum error: frame says " + HexToText(sent) + ", bytes give " + HexToText(computed));
    if (reply && declared < 2)
        setError(f, DumpErrorNoStatus, "NO STATUS", "Reply without its two status bytes");

    if (f.kind == FrameKindRequest && previousKind == FrameKindRequest && previousMaster >= 0 &&
        previousMaster == f.masterType && f.error == DumpErrorNone) {
        setError(f, DumpErrorDeviceNotPresent, "NO REPLY", "The previous request got no reply");
        f.t[T15] = "Device not present!";
    }
}

}  // namespace wendrel
