// Captures: the bus monitor's frames as a pcapng file that Wireshark and
// tshark decode, and read back. No Qt here; the monitor window, its tests and
// the command line use the same calls.
//
// Each frame becomes one packet of a synthetic IPv4 UDP conversation on the
// loopback network, carrying one HART-IP message (link/hartip/message.h):
//   request      master 127.0.0.1:49152 -> device 127.0.0.2:5094, pass-through request
//   reply        device -> master, pass-through response with the request's sequence number
//   burst frame  device -> master, publish
// A frame without a valid delimiter (noise) travels as a response. The
// packet's time stamp is when the monitor saw the frame, to the microsecond.
// What HART-IP cannot carry goes into the packet's comment, one item a line:
//   the monitor's words for what was wrong with the frame ("Checksum error: ..."),
//   "Preambles: N", the count of 0xFF bytes before the delimiter,
//   "Port: COM 3", the line it was seen on (left out when unknown).
// The section header names the program and its version.
//
// Writing a whole capture:
//   Capture capture{CaptureApplication(), frames};
//   std::string file = EncodeCapture(capture);
// Writing as frames come (a killed run keeps what was written):
//   CaptureWriter writer;
//   if (!writer.open(path)) ... writer.error();
//   MonitorLineBuilder builder(texts);
//   for each frame the driver reports:
//       MonitorFrame f = builder.take(bytes, count, origin, timeMs, options);
//       f.timeUs = <now, microseconds since 1970>; f.linePort = <COM n>;
//       writer.write(CaptureFrameOf(f, texts));   // or build a CaptureFrame directly
//   writer.close();
// Reading:
//   CaptureRead read = ReadCaptureFile(path);
//   if (!read.ok) show read.error;
//   for (const MonitorFrame& f : MonitorFramesOf(read.capture.frames, texts, options))
//       print RenderFrameLine(f, texts).text;
//
// A capture read and encoded again gives the file's bytes back: the reader
// takes only what this writer writes (it encodes what it read and compares),
// and refuses anything else, a file cut short or damaged, with a message.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "link/monitor/monitor_line.h"

namespace fenwire {

// The loopback addresses and UDP ports of the synthetic conversation.
inline constexpr uint32_t kCaptureMasterAddress = 0x7F000001;  // 127.0.0.1
inline constexpr uint32_t kCaptureDeviceAddress = 0x7F000002;  // 127.0.0.2
inline constexpr uint16_t kCaptureMasterPort = 49152;
// The largest file ReadCaptureFile takes: far more than the monitor keeps.
inline constexpr size_t kMaxCaptureFileSize = 256u << 20;

// One frame of a capture.
struct CaptureFrame {
    int64_t timeUs = 0;                // when the monitor saw it: microseconds since 1970-01-01 UTC
    std::string bytes;                 // line bytes as seen, preambles included
    std::vector<std::string> remarks;  // the monitor's words for what was wrong; none for a good frame
    std::string port;                  // "COM 3"; empty when unknown
    bool operator==(const CaptureFrame&) const = default;
};

struct Capture {
    std::string application;  // program and version, as the section header names them
    std::vector<CaptureFrame> frames;
    // The section header says how long the capture is, so a file cut short
    // between two packets is told from a whole one. A streamed capture says
    // it when closed; one whose writer was stopped first does not.
    bool complete = true;
    bool operator==(const Capture&) const = default;
};

// "corvane-hart 1.0.0": this program and version.
std::string CaptureApplication();

// The capture record of a kept frame: its errors and comments worded as its
// line shows them, its port named "COM n" when known.
CaptureFrame CaptureFrameOf(const MonitorFrame& frame, const CommandTextTables& texts);

// The frames of a capture as the monitor keeps frames it sees, in order,
// with `options`: the line of each tells its gap to the one before and
// whether a reply matched its request. The first frame is a sequence start,
// and the clock ("t=...") counts from it.
std::vector<MonitorFrame> MonitorFramesOf(const std::vector<CaptureFrame>& frames, const CommandTextTables& texts,
                                          const LineOptions& options);

// Encodes frames one after another: the section header and interface first,
// then a packet per frame. Keeps the sequence numbers that pair replies with
// requests.
class CaptureEncoder {
public:
    // The section header block and the interface description block; the
    // section's length after the header is given, or -1 when unknown.
    std::string header(const std::string& application, int64_t sectionLength = -1) const;
    // Where the section length stands in the header.
    static constexpr long kSectionLengthOffset = 16;
    // The enhanced packet block of the next frame. A frame body beyond what
    // one HART-IP message carries is cut there, which its comment then says.
    std::string packet(const CaptureFrame& frame);

private:
    uint16_t requestSequence_ = 0;  // of the last request
    uint16_t publishSequence_ = 0;
};

// The whole file.
std::string EncodeCapture(const Capture& capture);

// Streams a capture to a file, each frame flushed as it is written.
class CaptureWriter {
public:
    CaptureWriter() = default;
    ~CaptureWriter() { close(); }
    CaptureWriter(const CaptureWriter&) = delete;
    CaptureWriter& operator=(const CaptureWriter&) = delete;

    // Creates or replaces `path` and writes the header. False (nothing open,
    // no file left) when it cannot be created or written; error() says why.
    bool open(const std::string& path, const std::string& application = CaptureApplication());
    // Appends one frame. False when nothing is open or the frame did not
    // reach the file; the writer then closes, cutting off what reached the
    // file of that frame: the file holds the frames before it, whole, and
    // reads as a capture its writer did not close.
    bool write(const CaptureFrame& frame);
    // Writes the capture's length into its header, so that a reader tells a
    // file cut short later from a whole one, and closes. False when the file
    // did not close cleanly.
    bool close();
    bool isOpen() const { return file_ != nullptr; }
    const std::string& error() const { return error_; }

private:
    bool fail(const std::string& what);
    std::FILE* file_ = nullptr;
    std::string path_;
    std::string error_;
    CaptureEncoder encoder_;
    bool keepWholeBlocks(int error);
    uint64_t fileLength_ = 0;     // bytes of whole blocks in the file
    uint64_t sectionLength_ = 0;  // bytes written after the section header block
};

struct CaptureRead {
    bool ok = false;
    std::string error;  // why not, in words: "... is not a pcapng capture."
    Capture capture;    // empty unless ok: a file is read whole or not at all
};

// `name` is how messages name the file.
CaptureRead ReadCapture(std::string_view bytes, const std::string& name);
CaptureRead ReadCaptureFile(const std::string& path);

}  // namespace fenwire
