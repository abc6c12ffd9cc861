// Typed frames: a HART request written as a short text, as the bus monitor's
// command entry and scripts take it, and the numeric lists that carry frames
// and command lists as text.
//
// Number lists (NumStrToBuffer), e.g. "0, 1, 3, 12-16" or "130,38,0x1F":
//   list   := empty | item { sep item }
//   sep    := ',' or ';' or blanks, with blanks allowed around ',' and ';'
//   item   := number | number '-' number     (an ascending range, both ends included)
//   number := decimal digits | "0x" hexadecimal digits
// Every value is 0..255. An empty item ("1,,2"), a descending range, a
// value above 255 or anything else makes the whole list invalid.
//
// Command texts (DataSyntaxToBuffer): "Cmd, DataLen, DataDescription"
//   Cmd      the command number, 0..255 (decimal or 0x hex)
//   DataLen  the number of data bytes, 0..255
//   DataDescription, comma-separated items, in order:
//     n              one byte, 0..255 (decimal or 0x hex)
//     pcaN, text     text as HART Packed ASCII in N bytes (4 characters per
//                    3 bytes), padded with blanks; lower case is upper-cased
//     decN, value    an N-bit integer (N = 8, 16, 24 or 32), most significant
//                    byte first; -2^(N-1) .. 2^N - 1, negatives as two's complement
//     flt, value     (also flt32) an IEEE 754 single in 4 bytes, "12.5", "-1e-3"
//     strN, text     text as plain characters in N bytes, padded with NUL bytes
//     hexN, digits   N bytes given as 2N hexadecimal digits ("hex3,0A1B2C")
//   A text may be put in double quotes to carry commas or outer blanks
//   ("pca6,\"A, B\""); a doubled quote inside stands for one quote.
//   Keywords match without regard to case. The items must give exactly
//   DataLen bytes. A text too long for its field, a character Packed ASCII
//   cannot carry, a value out of its range or any unknown item makes the
//   whole command text invalid: no frame.
//   Examples: "17,24,pca24,32_CHAR_MESSAGE_________________"
//             "18,21,pca6,TAG_NAME,pca12,16_CHAR_DESCR.__,27,3,101"
//             "19,3,dec24,1234567"
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wendrel {

// Cuts the first piece off `rest`: the text before the first `separator`
// (or all of it when there is none), blanks and tabs trimmed from both ends.
// The separator is dropped from `rest` too.
std::string CutPieceTrim(std::string& rest, char separator = ',');

// Value of a hexadecimal number text: digits with an optional "0x" prefix,
// blanks around it ignored. -1 for an empty text, any other character, or a
// value above 0x7FFFFFFF.
int32_t GetHexVal(std::string_view text);

// Parses a number list into buffer[0 .. capacity): the count of bytes, or -1
// for an invalid list or one with more than `capacity` values (nothing
// beyond the capacity is written either way).
int NumStrToBuffer(std::string_view text, uint8_t* buffer, int capacity);
// The same into a vector; nullopt for an invalid list.
std::optional<std::vector<uint8_t>> NumStrToBytes(std::string_view text);

// Turns a command text into the numeric list of a whole HART request frame
// (delimiter through checksum, no preambles, decimal values separated by
// ","). The frame is addressed to uniqueId when any of its bytes is nonzero
// (long frame), else to the polling address (short frame). An invalid text
// gives an empty string.
std::string DataSyntaxToBuffer(std::string_view text, const uint8_t uniqueId[5], int pollAddress);

// Command and data of a request frame's bytes, delimiter first: a long frame
// (delimiter bit 7 set) has its command at byte 6, its byte count at byte 7
// and its data from byte 8; a short frame has them at 2, 3 and 4. nullopt
// when the bytes are too few for the frame's byte count.
struct TypedRequest {
    uint8_t command = 0;
    std::vector<uint8_t> data;
};
std::optional<TypedRequest> RequestOfFrameBytes(const uint8_t* frame, int count);

// The whole chain: command text, frame text, frame bytes, request.
std::optional<TypedRequest> ParseCommandText(std::string_view text, const uint8_t uniqueId[5], int pollAddress);

}  // namespace wendrel
