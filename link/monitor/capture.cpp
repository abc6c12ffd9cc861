#include "link/monitor/capture.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdio_ext.h>
#include <unistd.h>

#include "link/driver/frame.h"
#include "link/hartip/message.h"

#ifndef CORVANE_VERSION
#define CORVANE_VERSION "0"
#endif

namespace fenwire {

namespace {

// pcapng blocks and options; numbers little-endian, as the byte-order magic says.
constexpr uint32_t kSectionHeaderBlock = 0x0A0D0D0A;
constexpr uint32_t kInterfaceBlock = 1;
constexpr uint32_t kEnhancedPacketBlock = 6;
constexpr uint32_t kByteOrderMagic = 0x1A2B3C4D;
constexpr uint16_t kOptionEnd = 0;
constexpr uint16_t kOptionComment = 1;
constexpr uint16_t kOptionUserApplication = 4;
constexpr uint16_t kLinkTypeRawIp = 101;  // packets begin with their IPv4 header
constexpr size_t kMaxOptionValue = 0xFFFF;

constexpr size_t kIpHeaderSize = 20;
constexpr size_t kUdpHeaderSize = 8;
constexpr uint8_t kUdp = 17;

constexpr char kPreamblesLabel[] = "Preambles: ";
constexpr char kPortLabel[] = "Port: ";
constexpr char kPortPrefix[] = "COM ";
// More preambles than a line frame can have: a count beyond is not ours.
constexpr size_t kMaxPreambles = 0xFFFF;

void put16(std::string& out, uint16_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>(v >> 8);
}
void put32(std::string& out, uint32_t v) {
    put16(out, static_cast<uint16_t>(v & 0xFFFF));
    put16(out, static_cast<uint16_t>(v >> 16));
}
void putBig16(std::string& out, uint16_t v) {
    out += static_cast<char>(v >> 8);
    out += static_cast<char>(v & 0xFF);
}
void putBig32(std::string& out, uint32_t v) {
    putBig16(out, static_cast<uint16_t>(v >> 16));
    putBig16(out, static_cast<uint16_t>(v & 0xFFFF));
}
void pad4(std::string& out) {
    while (out.size() % 4 != 0) out += '\0';
}

uint8_t byteAt(std::string_view s, size_t i) { return static_cast<uint8_t>(s[i]); }
uint16_t get16(std::string_view s, size_t at) { return static_cast<uint16_t>(byteAt(s, at) | byteAt(s, at + 1) << 8); }
uint32_t get32(std::string_view s, size_t at) { return get16(s, at) | static_cast<uint32_t>(get16(s, at + 2)) << 16; }
uint16_t getBig16(std::string_view s, size_t at) { return static_cast<uint16_t>(byteAt(s, at) << 8 | byteAt(s, at + 1)); }
uint32_t getBig32(std::string_view s, size_t at) {
    return static_cast<uint32_t>(getBig16(s, at)) << 16 | getBig16(s, at + 2);
}

// A block: type, total length, body, total length again.
std::string block(uint32_t type, const std::string& body) {
    std::string out;
    const auto total = static_cast<uint32_t>(12 + body.size());
    put32(out, type);
    put32(out, total);
    out += body;
    put32(out, total);
    return out;
}

void putOption(std::string& out, uint16_t code, std::string_view value) {
    put16(out, code);
    put16(out, static_cast<uint16_t>(value.size()));
    out.append(value);
    pad4(out);
}

// The ones' complement sum of 16-bit words, as IPv4 and UDP checksums take it.
uint32_t onesSum(std::string_view bytes, uint32_t sum = 0) {
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) sum += getBig16(bytes, i);
    if (bytes.size() % 2 != 0) sum += static_cast<uint32_t>(byteAt(bytes, bytes.size() - 1)) << 8;
    return sum;
}
uint16_t folded(uint32_t sum) {
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<uint16_t>(~sum & 0xFFFF);
}

// The IPv4 header and UDP datagram around a payload.
std::string udpPacket(bool fromMaster, std::string_view payload) {
    const uint32_t source = fromMaster ? kCaptureMasterAddress : kCaptureDeviceAddress;
    const uint32_t destination = fromMaster ? kCaptureDeviceAddress : kCaptureMasterAddress;
    const uint16_t sourcePort = fromMaster ? kCaptureMasterPort : hartip::kDefaultPort;
    const uint16_t destinationPort = fromMaster ? hartip::kDefaultPort : kCaptureMasterPort;
    const auto udpLength = static_cast<uint16_t>(kUdpHeaderSize + payload.size());

    std::string ip;
    ip += '\x45';  // version 4, 5 words of header
    ip += '\0';
    putBig16(ip, static_cast<uint16_t>(kIpHeaderSize + udpLength));
    putBig16(ip, 0);       // identification
    putBig16(ip, 0x4000);  // don't fragment
    ip += '\x40';          // time to live 64
    ip += static_cast<char>(kUdp);
    putBig16(ip, 0);  // checksum, below
    putBig32(ip, source);
    putBig32(ip, destination);
    const uint16_t ipChecksum = folded(onesSum(ip));
    ip[10] = static_cast<char>(ipChecksum >> 8);
    ip[11] = static_cast<char>(ipChecksum & 0xFF);

    std::string udp;
    putBig16(udp, sourcePort);
    putBig16(udp, destinationPort);
    putBig16(udp, udpLength);
    putBig16(udp, 0);  // checksum, below
    udp.append(payload);
    // Pseudo-header: addresses, protocol, length.
    std::string pseudo;
    putBig32(pseudo, source);
    putBig32(pseudo, destination);
    putBig16(pseudo, kUdp);
    putBig16(pseudo, udpLength);
    uint16_t udpChecksum = folded(onesSum(udp, onesSum(pseudo)));
    if (udpChecksum == 0) udpChecksum = 0xFFFF;  // 0 would mean "no checksum"
    udp[6] = static_cast<char>(udpChecksum >> 8);
    udp[7] = static_cast<char>(udpChecksum & 0xFF);
    return ip + udp;
}

size_t preambleCount(std::string_view bytes) {
    size_t n = 0;
    while (n < bytes.size() && byteAt(bytes, n) == 0xFF) ++n;
    return n;
}

std::string commentOf(const std::vector<std::string>& remarks, size_t preambles, const std::string& port) {
    std::string tail = kPreamblesLabel + std::to_string(preambles);
    if (!port.empty()) {
        std::string line = port;
        std::replace(line.begin(), line.end(), '\n', ' ');
        tail += "\n" + (kPortLabel + line);
    }
    std::string comment;
    for (const std::string& remark : remarks) comment += remark + "\n";
    // An option holds at most 65535 bytes: remarks that would not fit go.
    if (comment.size() + tail.size() > kMaxOptionValue) comment.clear();
    return (comment + tail).substr(0, kMaxOptionValue);
}

bool startsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

// The remarks, preamble count and port of a comment the encoder wrote.
bool parseComment(std::string_view comment, std::vector<std::string>& remarks, size_t& preambles, std::string& port) {
    std::vector<std::string_view> lines;
    for (size_t from = 0;;) {
        const size_t end = comment.find('\n', from);
        lines.push_back(comment.substr(from, end == std::string_view::npos ? std::string_view::npos : end - from));
        if (end == std::string_view::npos) break;
        from = end + 1;
    }
    if (lines.size() >= 2 && startsWith(lines.back(), kPortLabel) &&
        startsWith(lines[lines.size() - 2], kPreamblesLabel)) {
        port = std::string(lines.back().substr(std::strlen(kPortLabel)));
        lines.pop_back();
    }
    const std::string_view count = lines.back();
    if (!startsWith(count, kPreamblesLabel)) return false;
    const std::string_view digits = count.substr(std::strlen(kPreamblesLabel));
    if (digits.empty() || digits.size() > 5) return false;
    preambles = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return false;
        preambles = preambles * 10 + static_cast<size_t>(c - '0');
    }
    if (preambles > kMaxPreambles) return false;
    lines.pop_back();
    for (std::string_view line : lines) remarks.emplace_back(line);
    return true;
}

enum class Direction { Request, Response, Publish };

Direction directionOf(std::string_view body) {
    if (body.empty() || !wendrel::isValidDelimiter(byteAt(body, 0))) return Direction::Response;
    const auto type = static_cast<wendrel::FrameType>(byteAt(body, 0) & 0x07);
    if (type == wendrel::FrameType::Stx) return Direction::Request;
    if (type == wendrel::FrameType::Back) return Direction::Publish;
    return Direction::Response;
}

// ---- reading ---------------------------------------------------------------

class Reader {
public:
    Reader(std::string_view bytes, const std::string& name) : bytes_(bytes), name_(name) {}

    CaptureRead read() {
        CaptureRead result;
        if (!readBlocks(result.capture)) {
            result.error = error_;
            result.capture = {};
            return result;
        }
        // Only what this program writes is taken, so that it is written back
        // exactly: the capture encoded again must be the file.
        if (EncodeCapture(result.capture) != bytes_) {
            result.error = name_ + " was not saved by this program's bus monitor: it cannot be opened.";
            result.capture = {};
            return result;
        }
        result.ok = true;
        return result;
    }

private:
    bool fail(std::string text) {
        error_ = std::move(text);
        return false;
    }
    bool notOurs(const std::string& what) {
        return fail(name_ + " was not saved by this program's bus monitor (" + what + "): it cannot be opened.");
    }
    bool damaged(const std::string& what) { return fail(name_ + " is damaged: " + what + "."); }
    bool cutShort() { return fail(name_ + " is cut short: its last block ends beyond the end of the file."); }

    bool readBlocks(Capture& capture) {
        if (bytes_.size() < 12 || get32(bytes_, 0) != kSectionHeaderBlock)
            return fail(name_ + " is not a pcapng capture.");
        if (get32(bytes_, 8) != kByteOrderMagic) {
            if (getBig32(bytes_, 8) == kByteOrderMagic) return notOurs("its numbers are big-endian");
            return fail(name_ + " is not a pcapng capture.");
        }
        size_t at = 0;
        int blockNumber = 0;
        bool interface = false;
        while (at < bytes_.size()) {
            ++blockNumber;
            if (bytes_.size() - at < 12) return cutShort();
            const uint32_t type = get32(bytes_, at);
            const uint32_t length = get32(bytes_, at + 4);
            if (length < 12 || length % 4 != 0)
                return damaged("block " + std::to_string(blockNumber) + " has an impossible length");
            if (length > bytes_.size() - at) return cutShort();
            if (get32(bytes_, at + length - 4) != length)
                return damaged("block " + std::to_string(blockNumber) + " does not end where its length says");
            const std::string_view body = bytes_.substr(at + 8, length - 12);
            bool ok = false;
            if (blockNumber == 1) {
                ok = sectionHeader(body, capture);
                if (ok && capture.complete) {
                    const size_t rest = bytes_.size() - length;
                    if (sectionLength_ > rest)
                        return fail(name_ + " is cut short: it ends before the length its header gives.");
                    if (sectionLength_ < rest) return damaged("it runs on beyond the length its header gives");
                }
            }
            else if (blockNumber == 2 && type == kInterfaceBlock) ok = interface = interfaceBlock(body);
            else if (interface && type == kEnhancedPacketBlock) ok = packet(body, capture, blockNumber - 2);
            else ok = notOurs("block " + std::to_string(blockNumber) + " is of a kind it does not write");
            if (!ok) return false;
            at += length;
        }
        if (!interface) return notOurs("it describes no interface");
        return true;
    }

    // Options from `at` to the end of `body`: each code, length and value padded to 4 bytes.
    bool options(std::string_view body, size_t at, std::vector<std::pair<uint16_t, std::string_view>>& out) {
        while (at < body.size()) {
            if (body.size() - at < 4) return damaged("an option runs beyond its block");
            const uint16_t code = get16(body, at);
            const size_t length = get16(body, at + 2);
            at += 4;
            if (code == kOptionEnd) return true;
            const size_t padded = (length + 3) / 4 * 4;
            if (padded > body.size() - at) return damaged("an option runs beyond its block");
            out.emplace_back(code, body.substr(at, length));
            at += padded;
        }
        return true;
    }

    bool sectionHeader(std::string_view body, Capture& capture) {
        if (body.size() < 16) return damaged("the section header is too short");
        if (get16(body, 4) != 1) return notOurs("pcapng version " + std::to_string(get16(body, 4)));
        sectionLength_ = static_cast<uint64_t>(get32(body, 8)) | static_cast<uint64_t>(get32(body, 12)) << 32;
        capture.complete = sectionLength_ != ~uint64_t{0};
        std::vector<std::pair<uint16_t, std::string_view>> found;
        if (!options(body, 16, found)) return false;
        for (const auto& [code, value] : found)
            if (code == kOptionUserApplication) capture.application = std::string(value);
        return true;
    }

    bool interfaceBlock(std::string_view body) {
        if (body.size() < 8) return damaged("the interface description is too short");
        if (get16(body, 0) != kLinkTypeRawIp) return notOurs("its packets are not bare IP packets");
        return true;
    }

    bool packet(std::string_view body, Capture& capture, int number) {
        const std::string which = "packet " + std::to_string(number);
        if (body.size() < 20) return damaged(which + " is too short");
        const uint32_t captured = get32(body, 12);
        if (captured > body.size() - 20) return damaged(which + " is longer than its block");
        const std::string_view data = body.substr(20, captured);
        CaptureFrame frame;
        frame.timeUs = static_cast<int64_t>(static_cast<uint64_t>(get32(body, 4)) << 32 | get32(body, 8));

        // IPv4 and UDP as the encoder builds them.
        if (data.size() < kIpHeaderSize + kUdpHeaderSize || byteAt(data, 0) != 0x45 || byteAt(data, 9) != kUdp)
            return notOurs(which + " is not an IPv4 UDP packet");
        if (getBig16(data, 2) != data.size() || getBig16(data, 24) != data.size() - kIpHeaderSize)
            return damaged(which + " has lengths that do not match");
        if (folded(onesSum(data.substr(0, kIpHeaderSize))) != 0)
            return damaged(which + " has a wrong IPv4 header checksum");
        const bool fromMaster = getBig32(data, 12) == kCaptureMasterAddress;

        const std::string_view payload = data.substr(kIpHeaderSize + kUdpHeaderSize);
        const hartip::Decoded message = hartip::decode(reinterpret_cast<const uint8_t*>(payload.data()), payload.size());
        if (message.status != hartip::DecodeStatus::Ok || message.consumed != payload.size())
            return notOurs(which + " is not one HART-IP message");
        const hartip::MessageType expected = fromMaster ? hartip::MessageType::Request
                                             : message.message.header.type == hartip::MessageType::Publish
                                                 ? hartip::MessageType::Publish
                                                 : hartip::MessageType::Response;
        if (!message.message.is(expected, hartip::MessageId::PassThrough))
            return notOurs(which + " is not a HART frame passed through");

        std::vector<std::pair<uint16_t, std::string_view>> found;
        const size_t optionsAt = 20 + (captured + 3) / 4 * 4;
        if (optionsAt > body.size()) return damaged(which + " is longer than its block");
        if (!options(body, optionsAt, found)) return false;
        size_t preambles = 0;
        if (found.size() != 1 || found[0].first != kOptionComment ||
            !parseComment(found[0].second, frame.remarks, preambles, frame.port))
            return notOurs(which + " lacks the comment it writes");
        frame.bytes.assign(preambles, '\xFF');
        frame.bytes.append(message.message.body.begin(), message.message.body.end());
        capture.frames.push_back(std::move(frame));
        return true;
    }

    std::string_view bytes_;
    const std::string& name_;
    std::string error_;
    uint64_t sectionLength_ = 0;
};

}  // namespace

std::string CaptureApplication() { return std::string("corvane-hart ") + CORVANE_VERSION; }

CaptureFrame CaptureFrameOf(const MonitorFrame& frame, const CommandTextTables& texts) {
    CaptureFrame out;
    out.timeUs = frame.timeUs;
    out.bytes = frame.bytes;
    if (frame.linePort > 0) out.port = kPortPrefix + std::to_string(frame.linePort);
    const wendrel::FrameText record = DumpMonitorFrame(frame, texts);
    // T11 (the error in words) and T15 (the monitor's comments), as the line shows them.
    for (size_t column : {size_t{10}, size_t{14}})
        if (!record.t[column].empty()) out.remarks.push_back(record.t[column]);
    return out;
}

std::vector<MonitorFrame> MonitorFramesOf(const std::vector<CaptureFrame>& frames, const CommandTextTables& texts,
                                          const LineOptions& options) {
    std::vector<MonitorFrame> out;
    out.reserve(frames.size());
    MonitorLineBuilder builder(texts);
    const int64_t start = frames.empty() ? 0 : frames.front().timeUs;
    for (const CaptureFrame& f : frames) {
        // The time stamps are the file's: any two may lie as far apart as
        // 64 bits allow. The clock wraps as the driver's does.
        const uint64_t sinceStartUs = f.timeUs > start ? static_cast<uint64_t>(f.timeUs) - static_cast<uint64_t>(start) : 0;
        const auto timeMs = static_cast<uint32_t>(sinceStartUs / 1000);
        const std::string_view body = std::string_view(f.bytes).substr(preambleCount(f.bytes));
        const int origin = directionOf(body) == Direction::Request ? 0 : 1;
        MonitorFrame frame = builder.take(reinterpret_cast<const uint8_t*>(f.bytes.data()),
                                          static_cast<int>(f.bytes.size()), origin, timeMs, options, out.empty());
        frame.timeUs = f.timeUs;
        if (startsWith(f.port, kPortPrefix)) {
            const int port = std::atoi(f.port.c_str() + std::strlen(kPortPrefix));
            if (port > 0 && port <= 255) frame.linePort = static_cast<uint8_t>(port);
        }
        out.push_back(std::move(frame));
    }
    return out;
}

std::string CaptureEncoder::header(const std::string& application, int64_t sectionLength) const {
    std::string section;
    put32(section, kByteOrderMagic);
    put16(section, 1);  // version 1.0
    put16(section, 0);
    const auto length = static_cast<uint64_t>(sectionLength);  // -1: all ones, not given
    put32(section, static_cast<uint32_t>(length & 0xFFFFFFFF));
    put32(section, static_cast<uint32_t>(length >> 32));
    if (!application.empty()) {
        putOption(section, kOptionUserApplication, std::string_view(application).substr(0, kMaxOptionValue));
        putOption(section, kOptionEnd, {});
    }
    std::string interface;
    put16(interface, kLinkTypeRawIp);
    put16(interface, 0);
    put32(interface, 0);  // no snapshot limit; time stamps in microseconds, the default
    return block(kSectionHeaderBlock, section) + block(kInterfaceBlock, interface);
}

std::string CaptureEncoder::packet(const CaptureFrame& frame) {
    const size_t preambles = std::min(preambleCount(frame.bytes), kMaxPreambles);
    std::string_view body = std::string_view(frame.bytes).substr(preambles);
    std::vector<std::string> remarks = frame.remarks;
    if (body.size() > hartip::kMaxBodySize) {
        remarks.push_back("Only the first " + std::to_string(hartip::kMaxBodySize) + " of " +
                          std::to_string(body.size()) + " frame bytes kept");
        body = body.substr(0, hartip::kMaxBodySize);
    }
    const std::vector<uint8_t> hartFrame(body.begin(), body.end());
    std::vector<uint8_t> message;
    const Direction direction = directionOf(body);
    switch (direction) {
    case Direction::Request: message = hartip::passThroughRequest(++requestSequence_, hartFrame); break;
    case Direction::Publish: message = hartip::publish(++publishSequence_, hartFrame); break;
    case Direction::Response: {
        hartip::Header request;
        request.id = hartip::MessageId::PassThrough;
        request.sequence = requestSequence_;
        message = hartip::response(request, hartip::status::kSuccess, hartFrame);
        break;
    }
    }
    const std::string data =
        udpPacket(direction == Direction::Request, std::string_view(reinterpret_cast<const char*>(message.data()), message.size()));

    std::string out;
    const auto time = static_cast<uint64_t>(frame.timeUs);
    put32(out, 0);  // interface
    put32(out, static_cast<uint32_t>(time >> 32));
    put32(out, static_cast<uint32_t>(time & 0xFFFFFFFF));
    put32(out, static_cast<uint32_t>(data.size()));
    put32(out, static_cast<uint32_t>(data.size()));
    out += data;
    pad4(out);
    putOption(out, kOptionComment, commentOf(remarks, preambles, frame.port));
    putOption(out, kOptionEnd, {});
    return block(kEnhancedPacketBlock, out);
}

std::string EncodeCapture(const Capture& capture) {
    CaptureEncoder encoder;
    std::string packets;
    for (const CaptureFrame& frame : capture.frames) packets += encoder.packet(frame);
    // The section runs from the interface block to the end.
    const std::string withoutLength = encoder.header(capture.application);
    const size_t sectionHeaderSize = get32(withoutLength, 4);
    const auto sectionLength = static_cast<int64_t>(withoutLength.size() - sectionHeaderSize + packets.size());
    return encoder.header(capture.application, capture.complete ? sectionLength : -1) + packets;
}

// ---- streaming -------------------------------------------------------------

bool CaptureWriter::fail(const std::string& what) {
    error_ = "The capture " + path_ + " could not be " + what + ": " + std::strerror(errno);
    if (file_ != nullptr) std::fclose(file_);
    file_ = nullptr;
    return false;
}

bool CaptureWriter::open(const std::string& path, const std::string& application) {
    close();
    error_.clear();
    path_ = path;
    encoder_ = CaptureEncoder{};
    file_ = std::fopen(path.c_str(), "wb");
    if (file_ == nullptr) return fail("created");
    const std::string header = encoder_.header(application);
    if (std::fwrite(header.data(), 1, header.size(), file_) != header.size() || std::fflush(file_) != 0) {
        fail("written");
        std::remove(path.c_str());  // a header cut short is no capture
        return false;
    }
    sectionLength_ = header.size() - get32(header, 4);
    fileLength_ = header.size();
    return true;
}

bool CaptureWriter::write(const CaptureFrame& frame) {
    if (file_ == nullptr) return false;
    const std::string block = encoder_.packet(frame);
    // Flushed per frame: what was written survives a killed run.
    if (std::fwrite(block.data(), 1, block.size(), file_) != block.size() || std::fflush(file_) != 0)
        return keepWholeBlocks(errno);
    sectionLength_ += block.size();
    fileLength_ += block.size();
    return true;
}

bool CaptureWriter::keepWholeBlocks(int error) {
    // The part of the block that reached the file is cut off, and what is
    // still buffered is dropped, so a full disk or a file-size limit leaves
    // the frames before it readable. The length stays unwritten: the file
    // does not hold every frame of the run.
    __fpurge(file_);
    const bool cut = ftruncate(fileno(file_), static_cast<off_t>(fileLength_)) == 0;
    std::fclose(file_);
    file_ = nullptr;
    error_ = "The capture " + path_ + " could not be written: " + std::strerror(error) +
             (cut ? "; it holds the frames before that" : "");
    return false;
}

bool CaptureWriter::close() {
    if (file_ == nullptr) return true;
    std::FILE* file = file_;
    file_ = nullptr;
    // A file that cannot seek (a pipe) keeps the length unknown.
    if (std::fseek(file, CaptureEncoder::kSectionLengthOffset, SEEK_SET) == 0) {
        std::string length;
        put32(length, static_cast<uint32_t>(sectionLength_ & 0xFFFFFFFF));
        put32(length, static_cast<uint32_t>(sectionLength_ >> 32));
        if (std::fwrite(length.data(), 1, length.size(), file) != length.size()) {
            std::fclose(file);
            error_ = "The capture " + path_ + " could not be written: " + std::strerror(errno);
            return false;
        }
    }
    if (std::fclose(file) != 0) {
        error_ = "The capture " + path_ + " could not be written: " + std::strerror(errno);
        return false;
    }
    return true;
}

// ---- reading ---------------------------------------------------------------

CaptureRead ReadCapture(std::string_view bytes, const std::string& name) { return Reader(bytes, name).read(); }

CaptureRead ReadCaptureFile(const std::string& path) {
    CaptureRead result;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        result.error = path + " could not be opened: " + std::strerror(errno);
        return result;
    }
    // Read up to one byte beyond the limit, to tell a file that is too large.
    std::string bytes;
    char chunk[65536];
    size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        bytes.append(chunk, got);
        if (bytes.size() > kMaxCaptureFileSize) break;
    }
    const bool readError = std::ferror(file) != 0;
    std::fclose(file);
    if (readError) {
        result.error = path + " could not be read.";
        return result;
    }
    if (bytes.size() > kMaxCaptureFileSize) {
        result.error = path + " is far larger than any capture the bus monitor saves.";
        return result;
    }
    return ReadCapture(bytes, path);
}

}  // namespace fenwire
