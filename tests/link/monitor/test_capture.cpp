// Captures: the monitor's frames written as pcapng, checked by tshark as an
// independent decoder, read back byte for byte, and refused when a file is
// not one, cut short or damaged.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <climits>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>

#include "link/driver/frame.h"
#include "link/monitor/busview_core.h"
#include "link/monitor/capture.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/tshark.h"

namespace capture_test {

using namespace fenwire;
using testsupport::fieldRows;
using testsupport::tshark;

constexpr int64_t kStartUs = 1765000000123456;  // some December morning, to the microsecond

struct LineFrame {
    int origin = 0;
    uint32_t timeMs = 0;
    std::vector<uint8_t> bytes;
};

// The first pass of the monitor's line catalogue (every command's request and
// reply, burst frames, a bad checksum, a missing reply, noise and frames cut short).
std::vector<LineFrame> catalogue() {
    std::ifstream file(CORVANE_MONITOR_TEST_DATA "/monitor_lines.txt", std::ios::binary);
    std::vector<LineFrame> frames;
    std::string row;
    while (std::getline(file, row)) {
        if (row.rfind("stop", 0) == 0) break;
        if (row.rfind("frame ", 0) != 0) continue;
        std::istringstream words(row.substr(6));
        LineFrame f;
        std::string flags, hex;
        words >> f.origin >> f.timeMs >> flags;
        std::getline(words >> std::ws, hex);
        EXPECT_TRUE(wendrel::fromHex(hex, f.bytes)) << row;
        frames.push_back(f);
    }
    return frames;
}

struct Recorder : MonitorOutput {
    void append(const MonitorText&) override {}
};

// The catalogue through a monitor on COM 3: the kept frames.
struct Monitored {
    Recorder out;
    BusviewCore core{out, BusviewSettings{}, CommandTextTables{}};
    Monitored() {
        core.linePort = 3;
        for (const LineFrame& f : catalogue())
            core.onFrame(f.bytes.data(), static_cast<int>(f.bytes.size()), f.origin, f.timeMs,
                         kStartUs + int64_t{f.timeMs} * 1000 + f.timeMs % 7);
    }
    std::vector<MonitorFrame> frames() const {
        std::vector<MonitorFrame> out;
        for (uint64_t id = core.rows().firstId(); id < core.rows().endId(); ++id)
            if (core.rows().row(id).kind == MonitorRow::Kind::Frame) out.push_back(core.rows().row(id).frame);
        return out;
    }
    Capture capture() const {
        Capture c{CaptureApplication(), {}};
        for (const MonitorFrame& f : frames()) c.frames.push_back(CaptureFrameOf(f, core.texts()));
        return c;
    }
};

std::string saved(const QTemporaryDir& dir, const std::string& name, const std::string& bytes) {
    const std::string path = dir.filePath(QString::fromStdString(name)).toStdString();
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

bool isFault(const std::vector<std::string>& remarks, const char* words) {
    for (const std::string& r : remarks)
        if (r.find(words) != std::string::npos) return true;
    return false;
}

TEST(Capture, TsharkDecodesEveryFrameAsHartIpPassThrough) {
    const Monitored monitored;
    const std::vector<MonitorFrame> frames = monitored.frames();
    const Capture capture = monitored.capture();
    ASSERT_GT(frames.size(), 200u);
    QTemporaryDir dir;
    const std::string path = saved(dir, "catalogue.pcapng", EncodeCapture(capture));

    const auto fields = tshark("-r " + path +
                               " -T fields -E occurrence=f -e ip.src -e ip.dst -e udp.srcport -e udp.dstport"
                               " -e hart_ip.message_type -e hart_ip.message_id -e hart_ip.transaction_id"
                               " -e hart_ip.pt.command -e frame.time_epoch -e frame.comment -e _ws.malformed"
                               " -e ip.checksum.status -e udp.checksum.status -o ip.check_checksum:TRUE"
                               " -o udp.check_checksum:TRUE");
    if (!fields) GTEST_SKIP() << "tshark is not installed";
    const auto rows = fieldRows(*fields);
    ASSERT_EQ(rows.size(), frames.size());

    std::string lastRequestSequence;
    int checksumErrors = 0, missingReplies = 0, bursts = 0;
    for (size_t i = 0; i < rows.size(); ++i) {
        const auto& r = rows[i];
        ASSERT_EQ(r.size(), 13u) << i;
        const CaptureFrame& f = capture.frames[i];
        const bool cutOrNoise = isFault(f.remarks, "No frame") || isFault(f.remarks, "cut short");
        SCOPED_TRACE("packet " + std::to_string(i + 1) + ", comment " + r[9]);
        EXPECT_EQ(r[5], "3");  // pass-through
        const bool request = r[4] == "0";
        EXPECT_EQ(r[0], request ? "127.0.0.1" : "127.0.0.2");
        EXPECT_EQ(r[1], request ? "127.0.0.2" : "127.0.0.1");
        EXPECT_EQ(request ? r[3] : r[2], "5094");
        // Replies carry their request's sequence number.
        if (request) {
            lastRequestSequence = r[6];
        } else if (r[4] == "1") {
            EXPECT_EQ(r[6], lastRequestSequence);
        } else {
            EXPECT_EQ(r[4], "2");  // publish
        }
        if (r[4] == "2") ++bursts;
        if (frames[i].command >= 0 && !cutOrNoise) {
            EXPECT_EQ(r[7], std::to_string(frames[i].command));
        }
        // Time to the microsecond.
        const int64_t us = f.timeUs;
        char expected[40];
        std::snprintf(expected, sizeof expected, "%lld.%06lld", static_cast<long long>(us / 1000000),
                      static_cast<long long>(us % 1000000));
        EXPECT_EQ(r[8].substr(0, std::strlen(expected)), expected);
        // The comment: the monitor's words, the preambles, the port.
        EXPECT_NE(r[9].find("Preambles: "), std::string::npos);
        EXPECT_NE(r[9].find("Port: COM 3"), std::string::npos);
        if (isFault(f.remarks, "Checksum error")) {
            ++checksumErrors;
            EXPECT_NE(r[9].find("Checksum error: frame says 03, bytes give 02"), std::string::npos);
        }
        if (isFault(f.remarks, "no reply")) {
            ++missingReplies;
            EXPECT_NE(r[9].find("The previous request got no reply"), std::string::npos);
            EXPECT_NE(r[9].find("Device not present!"), std::string::npos);
        }
        EXPECT_EQ(r[10], "") << "malformed";
        EXPECT_EQ(r[11], "1") << "IPv4 header checksum";  // 1: good
        EXPECT_EQ(r[12], "1") << "UDP checksum";
    }
    EXPECT_GE(checksumErrors, 1);
    EXPECT_GE(missingReplies, 1);
    EXPECT_GE(bursts, 1);
}

TEST(Capture, SectionHeaderNamesTheProgram) {
    QTemporaryDir dir;
    const std::string path = saved(dir, "one.pcapng", EncodeCapture(Monitored().capture()));
    // capinfos comes with tshark (wireshark-common).
    if (std::system("command -v capinfos >/dev/null 2>&1") != 0) GTEST_SKIP() << "capinfos is not installed";
    std::FILE* pipe = popen(("capinfos " + path + " 2>/dev/null").c_str(), "r");
    ASSERT_TRUE(pipe);
    std::string text;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, n);
    pclose(pipe);
    EXPECT_NE(text.find("Capture application: " + CaptureApplication()), std::string::npos) << text;
}

TEST(Capture, ReadAndWrittenAgainIsTheSameFile) {
    const Monitored monitored;
    Capture capture = monitored.capture();
    // A frame longer than one HART-IP message carries, and a time before 1970.
    capture.frames.push_back({-5, std::string(3, '\xFF') + std::string(1500, '\x12'), {"noise"}, ""});
    const std::string bytes = EncodeCapture(capture);
    const CaptureRead read = ReadCapture(bytes, "catalogue.pcapng");
    ASSERT_TRUE(read.ok) << read.error;
    EXPECT_EQ(EncodeCapture(read.capture), bytes);
    ASSERT_EQ(read.capture.frames.size(), capture.frames.size());
    for (size_t i = 0; i + 1 < capture.frames.size(); ++i) EXPECT_EQ(read.capture.frames[i], capture.frames[i]) << i;
    const CaptureFrame& longOne = read.capture.frames.back();
    EXPECT_EQ(longOne.timeUs, -5);
    EXPECT_EQ(longOne.bytes.size(), 3u + 1024u);
    EXPECT_EQ(longOne.remarks.back(), "Only the first 1024 of 1500 frame bytes kept");
    EXPECT_EQ(read.capture.application, CaptureApplication());

    // Written as frames come, then closed: the same file.
    QTemporaryDir dir;
    const std::string path = dir.filePath("streamed.pcapng").toStdString();
    CaptureWriter writer;
    ASSERT_TRUE(writer.open(path)) << writer.error();
    for (const CaptureFrame& f : capture.frames) ASSERT_TRUE(writer.write(f));
    ASSERT_TRUE(writer.close());
    const CaptureRead streamed = ReadCaptureFile(path);
    ASSERT_TRUE(streamed.ok) << streamed.error;
    EXPECT_EQ(EncodeCapture(streamed.capture), bytes);
}

TEST(Capture, ReadFramesShowAsTheLiveLineShowedThem) {
    const Monitored monitored;
    const CaptureRead read = ReadCapture(EncodeCapture(monitored.capture()), "catalogue.pcapng");
    ASSERT_TRUE(read.ok) << read.error;
    // The catalogue's options: timing hidden, so the gaps do not show.
    const LineOptions options = monitored.core.lineOptions();
    const std::vector<MonitorFrame> live = monitored.frames();
    const std::vector<MonitorFrame> shown = MonitorFramesOf(read.capture.frames, monitored.core.texts(), options);
    ASSERT_EQ(shown.size(), live.size());
    for (size_t i = 0; i < live.size(); ++i) {
        EXPECT_EQ(RenderFrameLine(shown[i], monitored.core.texts()).text,
                  RenderFrameLine(live[i], monitored.core.texts()).text)
            << i;
        EXPECT_EQ(shown[i].command, live[i].command);
        EXPECT_EQ(shown[i].linePort, 3);
    }
    // With timing, the gaps come from the time stamps and the clock from the first frame.
    LineOptions timing = options;
    timing.timing = true;
    const auto timed = MonitorFramesOf(read.capture.frames, monitored.core.texts(), timing);
    EXPECT_EQ(RenderFrameLine(timed[0], monitored.core.texts()).text.rfind("00000>", 0), 0u);
    EXPECT_EQ(RenderFrameLine(timed[1], monitored.core.texts()).text.rfind("00037>", 0), 0u);

    // A file's time stamps may lie as far apart as 64 bits allow, in either
    // order: the clock wraps, a frame before the first reads 0.
    std::vector<CaptureFrame> farApart(read.capture.frames.begin(), read.capture.frames.begin() + 3);
    farApart[0].timeUs = INT64_MIN + 1;
    farApart[1].timeUs = 1'700'000'000'000'000;
    farApart[2].timeUs = INT64_MIN;
    const auto wrapped = MonitorFramesOf(farApart, monitored.core.texts(), timing);
    ASSERT_EQ(wrapped.size(), 3u);
    EXPECT_EQ(wrapped[0].timeMs, 0u);
    EXPECT_EQ(wrapped[1].timeMs, static_cast<uint32_t>((uint64_t{1'700'000'000'000'000} + uint64_t{INT64_MAX}) / 1000));
    EXPECT_EQ(wrapped[2].timeMs, 0u);
}

TEST(Capture, AStreamedCaptureKeepsWhatWasWrittenWhenItsWriterStops) {
    const Capture capture = Monitored().capture();
    QTemporaryDir dir;
    const std::string path = dir.filePath("killed.pcapng").toStdString();
    {
        CaptureWriter writer;
        ASSERT_TRUE(writer.open(path));
        for (size_t i = 0; i < 5; ++i) ASSERT_TRUE(writer.write(capture.frames[i]));
        // Read while still open, as after a killed run: five frames, not said to be whole.
        const CaptureRead partial = ReadCaptureFile(path);
        ASSERT_TRUE(partial.ok) << partial.error;
        EXPECT_EQ(partial.capture.frames.size(), 5u);
        EXPECT_FALSE(partial.capture.complete);
    }
    const CaptureRead closed = ReadCaptureFile(path);
    ASSERT_TRUE(closed.ok);
    EXPECT_TRUE(closed.capture.complete);

    CaptureWriter nowhere;
    EXPECT_FALSE(nowhere.open(dir.filePath("no/such/dir/x.pcapng").toStdString()));
    EXPECT_NE(nowhere.error().find("could not be created"), std::string::npos);
    EXPECT_FALSE(nowhere.write(capture.frames[0]));
}

TEST(Capture, AStreamedCaptureThatHitsAFullDiskKeepsItsWholeFramesReadable) {
    const Capture capture = Monitored().capture();
    QTemporaryDir dir;
    const std::string path = dir.filePath("full.pcapng").toStdString();
    size_t written = 0;
    CaptureWriter writer;
    {
        const testsupport::FileSizeLimit limit(2000);  // a disk that fills after a few frames
        ASSERT_TRUE(writer.open(path));
        while (written < capture.frames.size() && writer.write(capture.frames[written])) ++written;
    }
    ASSERT_LT(written, capture.frames.size()) << "the limit was never reached";
    EXPECT_FALSE(writer.isOpen());
    EXPECT_NE(writer.error().find("could not be written"), std::string::npos) << writer.error();
    const CaptureRead read = ReadCaptureFile(path);
    ASSERT_TRUE(read.ok) << read.error;
    EXPECT_FALSE(read.capture.complete) << "frames of the run are missing";
    ASSERT_EQ(read.capture.frames.size(), written);
    for (size_t i = 0; i < written; ++i) EXPECT_EQ(read.capture.frames[i], capture.frames[i]);

    // Not even the header fits: no file is left.
    const std::string none = dir.filePath("none.pcapng").toStdString();
    {
        const testsupport::FileSizeLimit limit(10);
        CaptureWriter tiny;
        EXPECT_FALSE(tiny.open(none));
    }
    EXPECT_FALSE(QFile::exists(QString::fromStdString(none)));
}

std::string refusal(const std::string& bytes) {
    const CaptureRead read = ReadCapture(bytes, "x.pcapng");
    EXPECT_TRUE(read.capture.frames.empty());
    return read.ok ? "<read>" : read.error;
}

void put32(std::string& s, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) s[at + static_cast<size_t>(i)] = static_cast<char>(v >> (8 * i));
}

TEST(Capture, RefusesWhatIsNotAWholeCaptureOfOurs) {
    Capture capture = Monitored().capture();
    capture.frames.resize(6);
    const std::string good = EncodeCapture(capture);
    const size_t sectionHeader = static_cast<uint8_t>(good[4]);  // its length, below 256
    const size_t header = sectionHeader + 20;                    // and the interface block

    EXPECT_EQ(refusal(""), "x.pcapng is not a pcapng capture.");
    EXPECT_EQ(refusal("Busview frame file\r\n"), "x.pcapng is not a pcapng capture.");
    std::string classicPcap = good;
    put32(classicPcap, 0, 0xA1B2C3D4);
    EXPECT_EQ(refusal(classicPcap), "x.pcapng is not a pcapng capture.");

    // Cut anywhere, also between two packets: refused, never read as a shorter capture.
    for (size_t size = 12; size < good.size(); ++size)
        EXPECT_NE(refusal(good.substr(0, size)).find("cut short"), std::string::npos) << size;
    // More after the end the header gives.
    EXPECT_NE(refusal(good + std::string(12, '\0')).find("damaged"), std::string::npos);

    const size_t firstPacket = good.find(std::string("\x06\x00\x00\x00", 4), header);
    ASSERT_NE(firstPacket, std::string::npos);
    std::string s = good;
    put32(s, firstPacket + 4, 0xFFFFFFF0);  // a block length far beyond the file
    EXPECT_NE(refusal(s).find("cut short"), std::string::npos);
    s = good;
    put32(s, firstPacket + 4, 6);  // below any block
    EXPECT_NE(refusal(s).find("damaged"), std::string::npos);
    s = good;
    s[firstPacket + 28 + 10] ^= 1;  // the IPv4 header checksum
    EXPECT_NE(refusal(s).find("IPv4 header checksum"), std::string::npos);
    s = good;
    put32(s, firstPacket + 20, 0x7FFFFFFF);  // captured length beyond its block
    EXPECT_NE(refusal(s).find("damaged"), std::string::npos);

    // Well-formed, but not what this program writes: refused rather than
    // shown in part or written back differently.
    s = good;
    s[sectionHeader + 8] = 1;  // link type Ethernet
    EXPECT_NE(refusal(s).find("not saved by this program"), std::string::npos);
    s = good;
    s[firstPacket + 28 + 20 + 8 + 5] ^= 0x40;  // the request's HART-IP sequence number
    EXPECT_NE(refusal(s).find("not saved by this program"), std::string::npos);
    s = good;
    const size_t comment = s.find("Preambles: 5");
    ASSERT_NE(comment, std::string::npos);
    s.replace(comment, 9, "Preamble:");
    EXPECT_NE(refusal(s).find("not saved by this program"), std::string::npos);
    s = good;
    s.replace(comment, 12, "Preambles:99");
    EXPECT_NE(refusal(s).find("not saved by this program"), std::string::npos);
    s = good;
    put32(s, firstPacket, 4);  // a name resolution block where a packet was
    EXPECT_NE(refusal(s).find("not saved by this program"), std::string::npos);
    std::string bigEndian = good;
    put32(bigEndian, 8, 0x4D3C2B1A);
    EXPECT_NE(refusal(bigEndian).find("big-endian"), std::string::npos);

    QTemporaryDir dir;
    EXPECT_NE(ReadCaptureFile(dir.filePath("missing.pcapng").toStdString()).error.find("could not be opened"),
              std::string::npos);
}

}  // namespace capture_test
