// HART-IP messages as bytes: the 8-byte header and the bodies of session
// initiate, session close, keep-alive, pass-through, publish, error and NAK.
// Pure bytes in, bytes out: no sockets, no time, no knowledge of HART commands.
// Shared by the driver's client transport, the HART-IP server and the tools
// that write or read captures.
//
//   header: version | message type | message id | status | sequence (2) | byte count (2)
//
// Multi-byte numbers are most significant byte first. The byte count covers the
// whole message, header included.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace hartip {

inline constexpr uint8_t kVersion = 1;
inline constexpr uint16_t kDefaultPort = 5094;
inline constexpr size_t kHeaderSize = 8;
// The longest body we take: a pass-through frame is at most 267 bytes
// (delimiter, 5 address bytes, 3 expansion bytes, command, count, 255 data
// bytes, checksum); anything far beyond is not a message of ours.
inline constexpr size_t kMaxBodySize = 1024;
inline constexpr size_t kMaxMessageSize = kHeaderSize + kMaxBodySize;

enum class MessageType : uint8_t {
    Request = 0,
    Response = 1,
    Publish = 2,  // sent by the server unasked: a burst frame (id PassThrough)
    Error = 3,    // the server ends or refuses a session; the body is one ErrorCode
    Nak = 15,     // the server could not take a message; the status says why
};

enum class MessageId : uint8_t {
    SessionInitiate = 0,
    SessionClose = 1,
    KeepAlive = 2,
    PassThrough = 3,  // one HART frame, delimiter to checksum, no preambles
};

// Body of an Error message.
enum class ErrorCode : uint8_t {
    SessionClosed = 0,             // the server has no (more) session for this client
    PrimarySessionUnavailable = 1, // another client holds the primary master's session
    ServiceUnavailable = 2,        // no session can be had now (all in use)
};

// Header status values. Zero is success; the others follow the meaning of HART
// response codes: warnings below 32 that are marked so, errors otherwise.
namespace status {
inline constexpr uint8_t kSuccess = 0;
inline constexpr uint8_t kInvalidSelection = 2;      // an unknown message type, or a version we do not speak
inline constexpr uint8_t kTooLarge = 3;              // a byte count beyond kMaxMessageSize
inline constexpr uint8_t kTooFewDataBytes = 5;       // a body shorter than its message needs, or a byte count below the header
inline constexpr uint8_t kSetToNearest = 8;          // warning: the inactivity time-out granted differs from the one asked
inline constexpr uint8_t kAllSessionsInUse = 15;
inline constexpr uint8_t kNotImplemented = 64;       // an unknown message id
// A pass-through response without frame: the server had no valid reply from
// the device (silent through the retries, or the line to it is lost or down).
// The communication-error bit of a HART response code with no flag beside it.
inline constexpr uint8_t kNoDeviceResponse = 0x80;
}  // namespace status

struct Header {
    uint8_t version = kVersion;
    MessageType type = MessageType::Request;
    MessageId id = MessageId::KeepAlive;
    uint8_t status = status::kSuccess;
    uint16_t sequence = 0;
    uint16_t byteCount = kHeaderSize;  // set by encode() from the body
};

// A message whose type and id may hold values outside the enums: a decoded
// message keeps what the bytes said, so an unknown id can be answered.
struct Message {
    Header header;
    std::vector<uint8_t> body;

    bool is(MessageType type, MessageId id) const { return header.type == type && header.id == id; }
};

// The header and body as bytes; the byte count is the actual size. A body
// longer than kMaxBodySize is cut there.
std::vector<uint8_t> encode(const Message& message);

// The header as its 8 bytes say, checked for nothing; false with fewer than 8 bytes.
bool peekHeader(const uint8_t* bytes, size_t count, Header& header);

enum class DecodeStatus {
    Ok,          // a whole message was read
    NeedMore,    // the bytes begin a message that has not all arrived (a stream)
    BadVersion,  // a version we do not speak; the header was read
    BadLength,   // a byte count below the header size or beyond kMaxMessageSize
};

struct Decoded {
    DecodeStatus status = DecodeStatus::NeedMore;
    Message message;      // with Ok and BadVersion: the header (and with Ok the body)
    size_t consumed = 0;  // bytes taken from the input: the whole message with Ok and
                          // BadVersion; with BadLength the header (a stream cannot find
                          // the next message behind it); 0 with NeedMore
};

// Reads the message at the start of `bytes`. For a datagram, anything other
// than Ok with consumed == count is a malformed datagram.
Decoded decode(const uint8_t* bytes, size_t count);
inline Decoded decode(const std::vector<uint8_t>& bytes) { return decode(bytes.data(), bytes.size()); }

// Session initiate body: master type and the inactivity time-out in ms.
inline constexpr uint8_t kPrimaryMaster = 1;
inline constexpr uint8_t kSecondaryMaster = 0;
inline constexpr size_t kSessionInitiateBodySize = 5;
struct SessionInitiate {
    uint8_t masterType = kPrimaryMaster;
    uint32_t inactivityMs = 0;
};
std::vector<uint8_t> encodeSessionInitiate(const SessionInitiate& body);
// Nothing when the body is shorter than 5 bytes (longer bodies are read for their first 5).
std::optional<SessionInitiate> decodeSessionInitiate(const std::vector<uint8_t>& body);

// Builders of whole messages, encoded.
std::vector<uint8_t> sessionInitiateRequest(uint16_t sequence, uint8_t masterType, uint32_t inactivityMs);
std::vector<uint8_t> sessionCloseRequest(uint16_t sequence);
std::vector<uint8_t> keepAliveRequest(uint16_t sequence);
std::vector<uint8_t> passThroughRequest(uint16_t sequence, const std::vector<uint8_t>& frame);
// A response to `request` (same id and sequence) with a status and body.
std::vector<uint8_t> response(const Header& request, uint8_t status, const std::vector<uint8_t>& body = {});
std::vector<uint8_t> publish(uint16_t sequence, const std::vector<uint8_t>& burstFrame);
std::vector<uint8_t> errorMessage(const Header& about, ErrorCode code);
// A NAK echoing the message id and sequence of what could not be taken.
std::vector<uint8_t> nak(const Header& about, uint8_t status);

// The error code of an Error message; nothing when its body is empty.
std::optional<ErrorCode> errorCodeOf(const Message& message);

// Names for logs: "session initiate", "NAK", "primary session unavailable".
std::string describe(MessageType type);
std::string describe(MessageId id);
std::string describe(ErrorCode code);

}  // namespace hartip
