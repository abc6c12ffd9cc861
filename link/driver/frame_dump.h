// FrameDump: one frame seen on the line, as the text columns a bus monitor
// shows and the facts it filters and triggers on. The monitor feeds every
// frame through the same FrameText record: the record carries a little state
// from frame to frame (the previous frame's kind, command, master type and
// time), so a line of traffic reads as a conversation.
//
// Text columns (index 0 is T1), each empty when it does not apply:
//   T1  preambles: the 0xFF bytes before the delimiter, "FF FF FF FF FF"
//   T2  delimiter byte, hex: "82"
//   T3  address bytes, hex, padded to the long-address width: "A6 4E 00 00 01"
//   T4  command: its number (decimal "  3" or hex "03") and, with Symbolic
//       Commands, its name: " Read Dynamic Variables"
//   T5  byte count (decimal or hex, as the command)
//   T6  status bytes of a reply, padded: response code (decimal or hex),
//       field device status (hex, or eight binary digits)
//   T7  data bytes, hex; with Real Data the universal commands decoded
//   T8  checksum byte, hex
//   T9  frame kind and master: "STX>P", "ACK<P", "BCK<S" (P primary, S
//       secondary master); BCK (a burst frame) sets the highlight flag
//   T10 short error mark, shown after "?": "CHECKSUM", "TRUNCATED", ...
//   T11 the error in words
//   T12 milliseconds since the previous frame, five digits "00143"
//   T13 the driver's clock, "t=12.345 s", when the line was silent at least
//       a second before this frame (a new burst of traffic starts)
//   T14 meaning of the status bytes: response code text, device status bits
//   T15 comment: "Device not present!" for a request that follows an
//       unanswered one; the monitor appends its request/reply mismatches
//
// Error codes: 0 none, 1 checksum, 2 frame cut short (the line fell silent
// inside it), 3 reply without status bytes, 4 no delimiter (noise),
// 12 device not present (the previous request from this master got no reply).
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace wendrel {

inline constexpr int kFrameColumns = 15;

enum FrameErrorCode : int {
    DumpErrorNone = 0,
    DumpErrorChecksum = 1,
    DumpErrorTruncated = 2,
    DumpErrorNoStatus = 3,
    DumpErrorNoDelimiter = 4,
    DumpErrorDeviceNotPresent = 12,
};

enum FrameKind : int {
    FrameKindRequest = 0,
    FrameKindBurst = 1,  // a burst frame answers no request: never compared with one
    FrameKindReply = 2,
};

// Integers in record order; "in" fields are set by the caller before each
// call, "out" fields by FrameDump, the last two carry over.
struct FrameText {
    std::array<std::string, kFrameColumns> t;  // T1..T15
    int realData = 1;        // in: decode universal command data
    int symbolic = 1;        // in: command names
    int error = 0;           // out: FrameErrorCode
    int mismatch = 0;        // 1 master types differ, 2 commands differ (set by the monitor)
    int kind = FrameKindRequest;  // out: FrameKind
    int origin = 0;          // in: 0 sent by this driver, 1 received
    int decimal = 1;         // in: command, byte count and response code in decimal
    int highlight = 0;       // out: T9 highlighted
    int rsp2Binary = 0;      // in: field device status in binary
    int previousTimeMs = -1; // carries over: driver time of the previous frame (-1 none)
    int command = -1;        // out: command number, -1 unknown
    int masterType = -1;     // out: 1 primary, 0 secondary, -1 unknown
    int lastRequestCommand = -1;     // carries over (kept by the monitor)
    int lastRequestMasterType = -1;  // carries over (kept by the monitor)
};

using CommandTexts = std::array<std::string, 256>;

// Fills `text` from `count` line bytes (preambles included) and the driver's
// time stamp of the frame. `requestTexts` name commands in requests,
// `replyTexts` in replies and burst frames (an empty reply text falls back to
// the request text, an empty request text to the built-in name of a universal
// or common-practice command).
void FrameDump(const uint8_t* bytes, int count, FrameText& text, const CommandTexts& requestTexts,
               const CommandTexts& replyTexts, uint32_t timeMs = 0);

// Built-in name of a universal or common-practice command; empty for others.
std::string CommandName(int command);

}  // namespace wendrel
