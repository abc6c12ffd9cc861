// Writes the seed corpora of the fuzz targets from the simulated meter's
// command catalogue: each command's request and reply as they pass on the
// line, and the reply data as the control and the decoder receive it.
//   fuzz-seeds <corpus folder>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <vector>

#include "link/driver/frame.h"
#include "link/hartip/message.h"
#include "link/monitor/capture.h"
#include "sim/meter.h"

namespace fs = std::filesystem;

namespace {

void write(const fs::path& folder, const std::string& name, const std::vector<uint8_t>& bytes) {
    fs::create_directories(folder);
    std::ofstream(folder / name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                         static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> operator+(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: fuzz-seeds <corpus folder>\n";
        return 2;
    }
    const fs::path corpus = argv[1];
    corvane::sim::Meter meter([] { return 100.0; });
    const std::vector<uint8_t> noSilence = {0, 0};
    int written = 0;
    for (int command = 0; command < 256; ++command) {
        const wendrel::Frame request = wendrel::makeRequestShort(0, static_cast<uint8_t>(command), {});
        const auto reply = meter.handle(request);
        if (!reply || reply->responseCode() == 64) continue;  // not in the catalogue
        const std::string name = "command-" + std::to_string(command);
        const auto requestBytes = wendrel::encodeFrame(request, 5);
        const auto replyBytes = wendrel::encodeFrame(*reply, meter.responsePreambles());
        write(corpus / "frame_parser", name, noSilence + requestBytes + replyBytes);
        if (replyBytes.size() <= 255) {
            const std::vector<uint8_t> options = {0x07, 5};  // real data, names, decimal; 100 ms apart
            write(corpus / "frame_dump", name,
                  options + std::vector<uint8_t>{static_cast<uint8_t>(requestBytes.size())} + requestBytes +
                      std::vector<uint8_t>{static_cast<uint8_t>(replyBytes.size())} + replyBytes);
        }

        const std::vector<uint8_t> payload = reply->payload();
        const std::vector<uint8_t> commandByte = {static_cast<uint8_t>(command)};
        if (command <= 18) write(corpus / "control_reply", name, commandByte + payload);
        // The session as a TCP stream carries it: initiate, the request, its response.
        hartip::Header passThrough;
        passThrough.id = hartip::MessageId::PassThrough;
        passThrough.sequence = 2;
        const auto withoutPreambles = [](const wendrel::Frame& f) { return wendrel::encodeFrame(f, 0); };
        write(corpus / "hartip_message", name,
              hartip::sessionInitiateRequest(1, hartip::kPrimaryMaster, 60000) +
                  hartip::passThroughRequest(2, withoutPreambles(request)) +
                  hartip::response(passThrough, 0, withoutPreambles(*reply)));
        // The same as datagrams to the server (peer byte, length byte, bytes): a session's
        // request, the same from a peer without session, a keep-alive and the close.
        const auto datagram = [](uint8_t peer, const std::vector<uint8_t>& bytes) {
            return std::vector<uint8_t>{peer, static_cast<uint8_t>(bytes.size())} + bytes;
        };
        const auto passThroughBytes = hartip::passThroughRequest(2, withoutPreambles(request));
        if (passThroughBytes.size() <= 255)
            write(corpus / "hartip_server", name,
                  datagram(0, hartip::sessionInitiateRequest(1, hartip::kPrimaryMaster, 60000)) +
                      datagram(0, passThroughBytes) + datagram(1, passThroughBytes) +
                      datagram(0, hartip::keepAliveRequest(3)) + datagram(0, hartip::sessionCloseRequest(4)));
        write(corpus / "read_hart", name, commandByte + std::vector<uint8_t>{static_cast<uint8_t>(payload.size())} + payload);
        // A capture of the request and its reply, as the bus monitor saves it.
        const auto text = [](const std::vector<uint8_t>& b) { return std::string(b.begin(), b.end()); };
        const fenwire::Capture capture{fenwire::CaptureApplication(),
                                       {{1700000000000000, text(requestBytes), {}, "COM 1"},
                                        {1700000000037000, text(replyBytes), {}, "COM 1"}}};
        const std::string file = fenwire::EncodeCapture(capture);
        write(corpus / "capture", name, std::vector<uint8_t>(file.begin(), file.end()));
        ++written;
    }
    // A long-address request and a line with noise and a silence inside a frame.
    const auto identity = meter.handle(wendrel::makeRequestShort(0, 0, {}));
    const auto id = identity->payload();
    const std::array<uint8_t, 5> uniqueId = {id[1], id[2], id[9], id[10], id[11]};
    write(corpus / "frame_parser", "long-address",
          noSilence + wendrel::encodeFrame(wendrel::makeRequestLong(uniqueId, 13, {}), 5));
    write(corpus / "frame_parser", "noise-and-silence",
          std::vector<uint8_t>{12, 0, 0x00, 0x55, 0xFF, 0xFF, 0x82, 0x26} +
              wendrel::encodeFrame(wendrel::makeRequestShort(0, 1, {}), 3));
    // A capture of faults: a bad checksum, a request left unanswered, a burst
    // frame, noise and a frame cut short, each with the words the monitor gives it.
    const auto bytesOf = [](const std::vector<uint8_t>& b) { return std::string(b.begin(), b.end()); };
    std::string badChecksum = bytesOf(wendrel::encodeFrame(wendrel::makeRequestShort(0, 1, {}), 5));
    badChecksum.back() = static_cast<char>(badChecksum.back() ^ 1);
    const std::string request = bytesOf(wendrel::encodeFrame(wendrel::makeRequestShort(0, 2, {}), 5));
    std::string burst = bytesOf(wendrel::encodeFrame(*meter.handle(wendrel::makeRequestShort(0, 3, {})), 5));
    burst[5] = 0x01;  // BACK
    const fenwire::Capture faults{
        fenwire::CaptureApplication(),
        {{1700000000000000, badChecksum, {"Checksum error: frame says 03, bytes give 02"}, "COM 2"},
         {1700000000300000, request, {}, "COM 2"},
         {1700000000600000, request, {"The previous request got no reply", "Device not present!"}, "COM 2"},
         {1700000000900000, burst, {}, "COM 2"},
         {1700000001200000, "\xFF\xFF\x55\x00", {"No frame: no valid delimiter after the preambles"}, ""},
         {1700000001500000, request.substr(0, 8), {"Frame cut short: the line fell silent inside it"}, ""}}};
    const std::string faultFile = fenwire::EncodeCapture(faults);
    write(corpus / "capture", "faults", std::vector<uint8_t>(faultFile.begin(), faultFile.end()));
    // A gapless run of 0xFF far longer than any preamble count, then a frame.
    write(corpus / "frame_parser", "long-preamble-run",
          std::vector<uint8_t>{0, 0x80, 0x00, 0x40, 0} + wendrel::encodeFrame(wendrel::makeRequestShort(0, 1, {}), 2));
    std::cout << written << " commands answered\n";
    return 0;
}
