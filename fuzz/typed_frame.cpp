// The typed-frame parsers on arbitrary text. The first input byte is the
// capacity given to NumStrToBuffer (whose buffer is exactly that size, so a
// write beyond it is caught) and picks the address of the command text; the
// rest is the text, fed to both parsers.
//
// A number list never reports more values than fit; a command text gives no
// frame or a whole request frame: a good checksum, the address asked for, and
// the command and data count its text names.
#include <cstring>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "link/driver/frame.h"
#include "link/driver/typed_frame.h"

using namespace wendrel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

    const int capacity = data[0];
    std::vector<uint8_t> buffer(static_cast<size_t>(capacity));
    const int count = NumStrToBuffer(text, buffer.data(), capacity);
    FUZZ_CHECK(count >= -1 && count <= capacity);
    const auto bytes = NumStrToBytes(text);
    if (count >= 0) FUZZ_CHECK(bytes && bytes->size() == static_cast<size_t>(count) &&
                               std::equal(buffer.begin(), buffer.begin() + count, bytes->begin()));

    const uint8_t uniqueIds[2][5] = {{0, 0, 0, 0, 0}, {0x26, 0x4E, 0x01, 0x02, 0x03}};
    const bool longFrame = (data[0] & 0x80) != 0;
    const int pollAddress = data[0] & 0x0F;
    const std::string frameText = DataSyntaxToBuffer(text, uniqueIds[longFrame], pollAddress);
    if (frameText.empty()) return 0;
    const auto frame = NumStrToBytes(frameText);
    FUZZ_CHECK(frame.has_value());
    // Preambles in front, then the receiver must find exactly one good request.
    std::vector<uint8_t> line = {0xFF, 0xFF, 0xFF};
    line.insert(line.end(), frame->begin(), frame->end());
    int frames = 0;
    FrameParser parser([&](const ParsedFrame& p) {
        ++frames;
        FUZZ_CHECK(p.error == FrameError::None);
        FUZZ_CHECK(p.frame.type == FrameType::Stx);
        FUZZ_CHECK(p.frame.longAddress == longFrame);
        if (longFrame) FUZZ_CHECK((p.frame.address[0] & 0x3F) == (0x26 & 0x3F) && p.frame.address[4] == 0x03);
        else FUZZ_CHECK((p.frame.address[0] & 0x0F) == pollAddress);
        const auto request = RequestOfFrameBytes(frame->data(), static_cast<int>(frame->size()));
        FUZZ_CHECK(request && request->command == p.frame.command && request->data == p.frame.data);
    });
    parser.feed(line);
    FUZZ_CHECK(frames == 1);
    FUZZ_CHECK(!parser.inFrame());
    return 0;
}
