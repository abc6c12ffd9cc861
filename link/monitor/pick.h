// Decoding a selection of the monitor's text: hex bytes as the monitor shows
// them ("02 0A FF") read as a HART data type, for the Pick menu.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace fenwire {

enum class PickItem { Int8, Bin8, Unit, Float, PackedAscii, String, Int16, Int24, Int32, Hex16, Hex24, Hex32 };

// The bytes of a selection: two upper-case hex digits per byte, one blank
// between bytes, at most 100 characters after trimming blanks. Anything else
// gives no bytes.
std::vector<uint8_t> SelectionBytes(const std::string& selection);

struct PickMessage {
    bool decoded = false;
    std::string title;
    std::string text;
};

// The message box a Pick item shows for a selection.
PickMessage Pick(PickItem item, const std::string& selection, bool lsbFirst);

}  // namespace fenwire
