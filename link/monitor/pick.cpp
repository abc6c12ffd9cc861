#include "link/monitor/pick.h"

#include <cstdio>

#include "link/driver/codec.h"
#include "link/driver/typed_frame.h"

namespace fenwire {

namespace {

constexpr size_t kMaxSelection = 100;
constexpr char kNotProcessed[] = "It was not possible to process the selection !";

bool isHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

std::string trimmed(const std::string& s) {
    const auto first = s.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

template <typename... Values>
std::string format(const char* pattern, Values... values) {
    char out[48];
    std::snprintf(out, sizeof out, pattern, values...);
    return out;
}

struct ItemInfo {
    const char* title;
    const char* errorTitle;
    size_t group;  // bytes per value; 0: one value over all bytes
};

ItemInfo infoOf(PickItem item) {
    switch (item) {
    case PickItem::Int8: return {"Integer 8", "Pick Int 8", 1};
    case PickItem::Bin8: return {"Binary 8", "Binary 8", 1};
    case PickItem::Unit: return {"Hart Unit", "Hart Unit", 1};
    case PickItem::Float: return {"Float as IEEE 754", "Float as IEEE 754", 4};
    case PickItem::PackedAscii: return {"Packed ASCII String", "Packed ASCII String", 0};
    case PickItem::String: return {"Character String", "Character String", 0};
    case PickItem::Int16: return {"Integer 16", "Integer 16", 2};
    case PickItem::Int24: return {"Integer 24", "Integer 24", 3};
    case PickItem::Int32: return {"Integer 32", "Integer 32", 4};
    case PickItem::Hex16: return {"Hexadecimal 16", "Hexadecimal 16", 2};
    case PickItem::Hex24: return {"Hexadecimal 24", "Hexadecimal 24", 3};
    case PickItem::Hex32: return {"Hexadecimal 32", "Hexadecimal 32", 4};
    }
    return {"", "", 1};
}

std::string hexGroup(const uint8_t* bytes, size_t count, bool reversed) {
    std::string s = "0x";
    for (size_t i = 0; i < count; ++i) s += wendrel::HexToText(bytes[reversed ? count - 1 - i : i]);
    return s;
}

std::string value(PickItem item, const uint8_t* b, bool lsb) {
    const int flag = lsb ? 1 : 0;
    switch (item) {
    case PickItem::Int8: return format("%03d", static_cast<int>(b[0]));
    case PickItem::Bin8: return wendrel::IntToBin(b[0]);
    case PickItem::Unit: return wendrel::GetHartUnit(b[0]);
    case PickItem::Float: return format("%g", static_cast<double>(wendrel::PickFloat(b, 0)));
    case PickItem::Int16: return format("%03d", static_cast<int>(wendrel::PickInt16(b, 0, flag)));
    case PickItem::Int24: return format("%03d", static_cast<int>(wendrel::PickInt24(b, 0, flag)));
    case PickItem::Int32: return format("%03u", static_cast<unsigned>(wendrel::PickInt32(b, 0, flag)));
    case PickItem::Hex16: return hexGroup(b, 2, lsb);
    case PickItem::Hex24: return hexGroup(b, 3, lsb);
    case PickItem::Hex32: return hexGroup(b, 4, lsb);
    case PickItem::PackedAscii:
    case PickItem::String: break;
    }
    return "";
}

}  // namespace

std::vector<uint8_t> SelectionBytes(const std::string& selection) {
    const std::string s = trimmed(selection);
    const size_t length = s.size();
    if (length <= 1 || length > kMaxSelection) return {};
    if (length != 2 && (length + 1) % 3 != 0) return {};
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < length; i += 3) {
        if (!isHexDigit(s[i]) || !isHexDigit(s[i + 1])) return {};
        if (i + 2 < length && s[i + 2] != ' ') return {};
        const int32_t value = wendrel::GetHexVal(std::string_view(s).substr(i, 2));
        bytes.push_back(value > 0 && value < 256 ? static_cast<uint8_t>(value) : 0);
    }
    return bytes;
}

PickMessage Pick(PickItem item, const std::string& selection, bool lsbFirst) {
    const ItemInfo info = infoOf(item);
    const std::vector<uint8_t> bytes = SelectionBytes(selection);
    const size_t minimum = info.group == 0 ? 1 : info.group;
    if (bytes.size() < minimum) return {false, info.errorTitle, kNotProcessed};

    std::string values;
    if (item == PickItem::PackedAscii) {
        values = wendrel::PickPackedASCII(bytes.data(), static_cast<int>(bytes.size()), 0);
    } else if (item == PickItem::String) {
        values = wendrel::PickString(bytes.data(), 0, static_cast<int>(bytes.size()));
    } else {
        // Groups from byte 0; a last group that would run past the end is left out.
        for (size_t at = 0; at + info.group <= bytes.size(); at += info.group) {
            if (at) values += ", ";
            values += value(item, bytes.data() + at, lsbFirst);
        }
    }
    return {true, info.title, trimmed(selection) + ":\r\n" + values};
}

}  // namespace fenwire
