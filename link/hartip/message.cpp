#include "link/hartip/message.h"

#include <algorithm>

namespace hartip {

namespace {

void put16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v));
}

uint16_t get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

Message make(MessageType type, MessageId id, uint16_t sequence, uint8_t st, std::vector<uint8_t> body) {
    Message m;
    m.header.type = type;
    m.header.id = id;
    m.header.sequence = sequence;
    m.header.status = st;
    m.body = std::move(body);
    return m;
}

}  // namespace

std::vector<uint8_t> encode(const Message& message) {
    const size_t bodySize = std::min(message.body.size(), kMaxBodySize);
    std::vector<uint8_t> out;
    out.reserve(kHeaderSize + bodySize);
    out.push_back(message.header.version);
    out.push_back(static_cast<uint8_t>(message.header.type));
    out.push_back(static_cast<uint8_t>(message.header.id));
    out.push_back(message.header.status);
    put16(out, message.header.sequence);
    put16(out, static_cast<uint16_t>(kHeaderSize + bodySize));
    out.insert(out.end(), message.body.begin(), message.body.begin() + static_cast<long>(bodySize));
    return out;
}

bool peekHeader(const uint8_t* bytes, size_t count, Header& header) {
    if (!bytes || count < kHeaderSize) return false;
    header.version = bytes[0];
    header.type = static_cast<MessageType>(bytes[1]);
    header.id = static_cast<MessageId>(bytes[2]);
    header.status = bytes[3];
    header.sequence = get16(bytes + 4);
    header.byteCount = get16(bytes + 6);
    return true;
}

Decoded decode(const uint8_t* bytes, size_t count) {
    Decoded d;
    if (!peekHeader(bytes, count, d.message.header)) return d;  // NeedMore
    const size_t total = d.message.header.byteCount;
    if (total < kHeaderSize || total > kMaxMessageSize) {
        d.status = DecodeStatus::BadLength;
        d.consumed = kHeaderSize;
        return d;
    }
    if (count < total) return d;  // NeedMore
    d.consumed = total;
    if (d.message.header.version != kVersion) {
        d.status = DecodeStatus::BadVersion;
        return d;
    }
    d.message.body.assign(bytes + kHeaderSize, bytes + total);
    d.status = DecodeStatus::Ok;
    return d;
}

std::vector<uint8_t> encodeSessionInitiate(const SessionInitiate& body) {
    const uint32_t t = body.inactivityMs;
    return {body.masterType, static_cast<uint8_t>(t >> 24), static_cast<uint8_t>(t >> 16),
            static_cast<uint8_t>(t >> 8), static_cast<uint8_t>(t)};
}

std::optional<SessionInitiate> decodeSessionInitiate(const std::vector<uint8_t>& body) {
    if (body.size() < kSessionInitiateBodySize) return std::nullopt;
    SessionInitiate s;
    s.masterType = body[0];
    s.inactivityMs = static_cast<uint32_t>(body[1]) << 24 | static_cast<uint32_t>(body[2]) << 16 |
                     static_cast<uint32_t>(body[3]) << 8 | body[4];
    return s;
}

std::vector<uint8_t> sessionInitiateRequest(uint16_t sequence, uint8_t masterType, uint32_t inactivityMs) {
    return encode(make(MessageType::Request, MessageId::SessionInitiate, sequence, status::kSuccess,
                       encodeSessionInitiate({masterType, inactivityMs})));
}

std::vector<uint8_t> sessionCloseRequest(uint16_t sequence) {
    return encode(make(MessageType::Request, MessageId::SessionClose, sequence, status::kSuccess, {}));
}

std::vector<uint8_t> keepAliveRequest(uint16_t sequence) {
    return encode(make(MessageType::Request, MessageId::KeepAlive, sequence, status::kSuccess, {}));
}

std::vector<uint8_t> passThroughRequest(uint16_t sequence, const std::vector<uint8_t>& frame) {
    return encode(make(MessageType::Request, MessageId::PassThrough, sequence, status::kSuccess, frame));
}

std::vector<uint8_t> response(const Header& request, uint8_t st, const std::vector<uint8_t>& body) {
    return encode(make(MessageType::Response, request.id, request.sequence, st, body));
}

std::vector<uint8_t> publish(uint16_t sequence, const std::vector<uint8_t>& burstFrame) {
    return encode(make(MessageType::Publish, MessageId::PassThrough, sequence, status::kSuccess, burstFrame));
}

std::vector<uint8_t> errorMessage(const Header& about, ErrorCode code) {
    return encode(make(MessageType::Error, about.id, about.sequence, status::kSuccess, {static_cast<uint8_t>(code)}));
}

std::vector<uint8_t> nak(const Header& about, uint8_t st) {
    return encode(make(MessageType::Nak, about.id, about.sequence, st, {}));
}

std::optional<ErrorCode> errorCodeOf(const Message& message) {
    if (message.header.type != MessageType::Error || message.body.empty()) return std::nullopt;
    return static_cast<ErrorCode>(message.body[0]);
}

std::string describe(MessageType type) {
    switch (type) {
    case MessageType::Request: return "request";
    case MessageType::Response: return "response";
    case MessageType::Publish: return "publish";
    case MessageType::Error: return "error";
    case MessageType::Nak: return "NAK";
    }
    return "message type " + std::to_string(static_cast<int>(type));
}

std::string describe(MessageId id) {
    switch (id) {
    case MessageId::SessionInitiate: return "session initiate";
    case MessageId::SessionClose: return "session close";
    case MessageId::KeepAlive: return "keep-alive";
    case MessageId::PassThrough: return "pass-through";
    }
    return "message id " + std::to_string(static_cast<int>(id));
}

std::string describe(ErrorCode code) {
    switch (code) {
    case ErrorCode::SessionClosed: return "session closed";
    case ErrorCode::PrimarySessionUnavailable: return "primary session unavailable";
    case ErrorCode::ServiceUnavailable: return "service unavailable";
    }
    return "error code " + std::to_string(static_cast<int>(code));
}

}  // namespace hartip
