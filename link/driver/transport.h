// The byte pipe under the data link: a serial port, an in-memory pipe or a
// HART-IP session (transport_hartip.h).
// A transport knows bytes and line rates, nothing of frames or commands.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace wendrel {

enum class IoStatus {
    Ok,
    Timeout,      // nothing arrived in time
    Interrupted,  // interrupt() was called
    Lost,         // the device is gone (unplugged, peer closed): nothing more will pass
    Refused,      // a network server refused the request just written: no reply will come
                  // for it, and sending it again will not help (refusalNotice() says why)
};

// How the link master times its transactions on a transport.
struct TransportTiming {
    bool lineCharacters = true;  // a HART line's character times and link grant apply
    int replyWaitMs = 0;         // the wait for a reply; 0: the line's RT1 at its rate
};

class Transport {
public:
    virtual ~Transport() = default;
    // Line rate in bit/s, applied before the next byte moves. False when refused.
    virtual bool setBitRate(int bitsPerSecond) = 0;
    // Puts the whole frame on the line and returns when its last byte has left;
    // a half-duplex modem's RTS is raised around it and held `rtsDelayMs` more.
    virtual IoStatus write(const uint8_t* bytes, size_t count, int rtsDelayMs) = 0;
    // Waits up to timeoutMs for bytes; `count` tells how many were read.
    virtual IoStatus read(uint8_t* buffer, size_t capacity, int timeoutMs, size_t& count) = 0;
    // Wakes a read that is waiting now, or the next one if none waits (thread-safe).
    virtual void interrupt() = 0;
    // An identifier of the open port for GetComPortHandle (a descriptor or a token).
    virtual int nativeHandle() const = 0;
    // How the link master times its transactions here. A serial port, or a
    // pipe standing in for one, keeps the default: bytes take their character
    // time (11 bits at the bit rate) on a line that other masters and burst
    // devices share, so the reply wait starts at the end of the request on the
    // wire (its first byte handed over plus its own character times), the
    // master holds back for the link grant time after each of its
    // transactions, and keeps to the burst windows. A transport that carries
    // whole messages and times them itself (a network session) clears
    // lineCharacters: the reply wait starts when write returns, and the next
    // request may follow at once.
    virtual TransportTiming timing() const { return {}; }
    // After a read reported Refused: the notification code telling the client why.
    virtual int32_t refusalNotice() const { return 0; }
};

// An in-memory duplex pipe for tests. Bytes written at one end are read at the
// other. A peer hook, when set on an end, receives the bytes written to that end
// instead of its read queue (on the writer's thread), so a test can answer
// synchronously. Closing an end makes the other end report Lost.
class MemoryPipe {
public:
    class End : public Transport {
    public:
        bool setBitRate(int bitsPerSecond) override;
        IoStatus write(const uint8_t* bytes, size_t count, int rtsDelayMs) override;
        IoStatus read(uint8_t* buffer, size_t capacity, int timeoutMs, size_t& count) override;
        void interrupt() override;
        int nativeHandle() const override { return 1000 + index_; }

        // Bytes written at the other end arrive here through the hook, if set.
        void setIncomingHook(std::function<void(const std::vector<uint8_t>&)> hook);
        // Queue bytes as if the other end had written them (thread-safe).
        void inject(const std::vector<uint8_t>& bytes);
        void close();
        int bitRate() const;

    private:
        friend class MemoryPipe;
        End(std::shared_ptr<struct PipeShared> shared, int index) : shared_(std::move(shared)), index_(index) {}
        std::shared_ptr<struct PipeShared> shared_;
        int index_;
    };

    MemoryPipe();
    // The two ends; each may be handed to an owner as a unique_ptr once.
    std::unique_ptr<End> takeA();
    std::unique_ptr<End> takeB();

private:
    std::shared_ptr<struct PipeShared> shared_;
    std::unique_ptr<End> a_, b_;
};

// A termios serial port: 8 data bits, odd parity, 1 stop bit, raw, RTS keyed
// around each transmission. On a pseudo-terminal the kernel refuses parity and
// RTS; that is harmless and ignored.
class SerialPort : public Transport {
public:
    // Opens and configures `path`; null with a reason in `error` on failure
    // (a permission problem says so, naming the dialout group). A path with
    // no device behind it fails with an empty reason: probing finds many.
    static std::unique_ptr<SerialPort> open(const std::string& path, int bitsPerSecond,
                                            std::string* error);
    ~SerialPort() override;

    bool setBitRate(int bitsPerSecond) override;
    IoStatus write(const uint8_t* bytes, size_t count, int rtsDelayMs) override;
    IoStatus read(uint8_t* buffer, size_t capacity, int timeoutMs, size_t& count) override;
    void interrupt() override;
    int nativeHandle() const override { return fd_; }

private:
    SerialPort(int fd, int wakeFd) : fd_(fd), wakeFd_(wakeFd) {}
    void setRts(bool on);
    int fd_;
    int wakeFd_;  // eventfd that interrupt() signals
    bool rtsSupported_ = true;
};

}  // namespace wendrel
