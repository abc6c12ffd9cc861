// Wendrel, the HART frame driver: owns a serial line and the HART data link
// (preambles, framing, timing, retries) and reports back only by posting
// messages to its client's message target. Integers are 32-bit; a handle of -1
// means none.
//
// Messages posted to the client:
//   1125 WM_HART_NOTIFY   wParam a notification code (below), lParam 0.
//   1126 WM_HART_REPLY    once per request, answered or not. wParam the key to
//                         collect the reply with HART_ReceiveRequest (-1: nothing
//                         to collect). lParam: low 16 bits the reply's data
//                         length, or 0xFFFF for no device response; bit 27 set
//                         when the reply came from a device in burst mode.
//   1127 WM_HART_MONITOR  to a registered monitor, once per frame seen on the
//                         line in either direction. wParam the origin (below),
//                         lParam a heap record (see MonitorRecord) that the
//                         receiver owns and frees with FreeMonitorRecord.
// Messages are posted from the driver's I/O thread; the driver never calls
// into its client otherwise, and posts nothing more once unregistered.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace wendrel {

class Transport;

inline constexpr int32_t WM_HART_NOTIFY = 1125;
inline constexpr int32_t WM_HART_REPLY = 1126;
inline constexpr int32_t WM_HART_MONITOR = 1127;

inline constexpr int32_t kNoDeviceResponse = 0xFFFF;
inline constexpr int32_t kReplyBurstBit = 0x08000000;
// HART_ReceiveRequest's result for a reply that waited uncollected behind too
// many others: taken, but its data is gone, so the request ended without reply.
inline constexpr int32_t kReplyDiscarded = 2;

// Notification codes (wParam of 1125).
enum NotifyCode : int32_t {
    NotifyPortLost = 1,       // the serial device vanished; posted before the outstanding requests end without reply
    NotifyBurstDevice = 2,    // burst frames seen on the line (first one since registration or silence)
    NotifyRepliesDropped = 3, // uncollected replies lost their data to bound memory (collected as kReplyDiscarded)
    NotifyRequestRefused = 4, // a HART-IP server refused the request (a NAK or an error status): it ended without reply
    NotifySessionRefused = 5, // a HART-IP server had no session for us (primary master session or service
                              // unavailable): the request ended without reply
};

// Origin of a monitored frame (wParam of 1127).
enum MonitorOrigin : int32_t {
    OriginSent = 0,      // this driver put the frame on the line
    OriginReceived = 1,  // the frame came off the line
};

// Where the driver posts its messages (a window in the original design).
class MessageTarget {
public:
    virtual ~MessageTarget() = default;
    virtual void post(int32_t message, intptr_t wParam, intptr_t lParam) = 0;
};

struct DriverRegistration {
    MessageTarget* window = nullptr;
    int32_t port = 1;              // 1..32
    int32_t mode = 0;              // 0: 1200, 1: 9600, 2: 19200 bit/s
    int32_t notifyMessage = WM_HART_NOTIFY;
    int32_t replyMessage = WM_HART_REPLY;
    int32_t reserved1 = 0;
    int32_t reserved2 = 0;
};

// Twelve integers read and written as a whole. Fields the client does not know
// go back unchanged.
struct DriverConfig {
    int32_t port = 0;          // 1st: the registered port (read only)
    int32_t preambles = 5;     // 2nd: preambles before each request, 2..30
    int32_t retries = 2;       // 3rd: retries after a request without valid reply, 0..10
    int32_t mode = 0;          // 4th: line mode 0..2
    int32_t rtsDelay = 0;      // 5th: ms RTS stays raised after the last byte, 0..1000
    int32_t masterType = 1;    // 6th: 1 primary master, 0 secondary
    int32_t replyTimeout = 0;  // 7th: reply wait in ms; 0 for the HART RT1 of the line rate
    int32_t silenceEndsRequest = 0;  // 8th: 1: a request met by silence ends after one try; only a
                                     // damaged or busy reply is retried (a loop scan of empty addresses)
    int32_t reserved[4] = {};
};
static_assert(sizeof(DriverConfig) == 12 * sizeof(int32_t));

inline constexpr uint8_t kAddressPolling = 1;
inline constexpr uint8_t kAddressUniqueId = 2;

struct HartRequest {
    int32_t command = 0;
    uint8_t addressKind = kAddressPolling;  // 1 polling address, 2 unique identifier
    uint8_t pollAddress = 0;
    uint8_t uniqueId[5] = {};
    uint8_t pad = 0;
    uint8_t* data = nullptr;  // copied when the request is queued
    int32_t capacity = 256;
    int32_t length = 0;
};

struct HartReply {
    int32_t command = 0;
    uint8_t ignored[8] = {};
    uint8_t* data = nullptr;  // receives the reply data (status bytes excluded)
    int32_t capacity = 300;
    int32_t length = 0;       // data bytes copied
    uint8_t response1 = 0;    // response code
    uint8_t response2 = 0;    // field device status
};

// Registration. The port is opened and configured here; on failure the handle
// is -1 (and the reason is logged). Returns the handle as well.
int32_t HART_RegisterDriver(const DriverRegistration* registration, int32_t* handle);
// The open port's handle, or -1 when the port cannot be used (never opened, lost).
int32_t GetComPortHandle(int32_t handle);
int32_t HART_GetConfiguration(int32_t handle, DriverConfig* config);
int32_t HART_SetConfiguration(int32_t handle, const DriverConfig* config);
// Marks the start of a transaction in the driver's history (timing of the monitor).
void StartHistory(int32_t handle);
// Queues a request and returns at once; 0 when queued, -1 for an unknown handle.
// Requests run one at a time in order, each ends with one WM_HART_REPLY.
int32_t HART_SendRequest(int32_t handle, const HartRequest* request, int32_t tag);
// Takes the reply of `key`: nonzero when taken (kReplyDiscarded when its data
// was discarded: the request ended without reply), 0 when there is nothing to
// take. The tag comes back as sent. The 64 latest uncollected replies keep their
// data; older ones keep only command and tag.
int32_t HART_ReceiveRequest(int32_t handle, int32_t key, HartReply* reply, int16_t* tag);
// Stops the I/O thread and closes the port; nothing is posted afterwards.
int32_t HART_UnRegisterDriver(int32_t handle);

int32_t RegisterLLMonitor(int32_t handle, MessageTarget* window, int32_t message);
int32_t UnRegisterLLMonitor(int32_t handle);

// The heap record of a WM_HART_MONITOR message:
//   bytes 0-1  count N of line bytes, most significant first
//   byte  2    error: 0 none, 1 bad checksum, 2 line fell silent inside the
//              frame, 3 reply without status bytes
//   byte  3    number of preamble bytes at the start of the line bytes
//   bytes 4-7  milliseconds since registration when the frame ended
//   bytes 8..  the N bytes as on the line, preambles included
struct MonitorRecord {
    const uint8_t* bytes = nullptr;
    int count = 0;
    int error = 0;
    int preambles = 0;
    uint32_t timeMs = 0;
};
MonitorRecord ReadMonitorRecord(intptr_t lParam);
void FreeMonitorRecord(intptr_t lParam);
// A heap record of `count` line bytes (at most 65535 are kept), as a
// WM_HART_MONITOR message carries it; the receiver frees it.
intptr_t MakeMonitorRecord(const uint8_t* bytes, size_t count, int error, int preambles, uint32_t timeMs);

// Seams for hosts and tests.
using TransportFactory = std::function<std::unique_ptr<Transport>(int port, int bitsPerSecond, std::string* error)>;
// Replaces how ports are opened (null restores the serial ports of the port map).
void SetTransportFactory(TransportFactory factory);
// Where the driver writes its log lines (default: standard error).
void SetLogSink(std::function<void(const std::string&)> sink);

// Line rate of a mode; unknown modes give 1200.
int BitRateOfMode(int mode);

}  // namespace wendrel
