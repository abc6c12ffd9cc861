#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include "link/driver/transport.h"

namespace wendrel {

namespace {

speed_t speedFor(int bitsPerSecond) {
    switch (bitsPerSecond) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    default: return B0;
    }
}

// Errors after which the device will not come back on this descriptor.
bool deviceGone(int error) {
    return error == EIO || error == ENXIO || error == ENODEV || error == EBADF || error == EPIPE;
}

}  // namespace

std::unique_ptr<SerialPort> SerialPort::open(const std::string& path, int bitsPerSecond,
                                             std::string* error) {
    auto fail = [&](const std::string& why) -> std::unique_ptr<SerialPort> {
        if (error) *error = why;
        return nullptr;
    };
    // Non-blocking open: a port without carrier must not hang the open.
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int e = errno;
        if (e == EACCES || e == EPERM)
            return fail(path + ": permission denied; add the user to the dialout group "
                               "(sudo usermod -aG dialout $USER) and log in again");
        if (e == ENOENT) return fail("");  // no such device: the usual answer of a probe, nothing to report
        return fail(path + ": " + std::strerror(e));
    }
    if (!isatty(fd)) {
        ::close(fd);
        return fail(path + ": not a serial device");
    }
    const int wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd < 0) {
        const int e = errno;
        ::close(fd);
        return fail(std::string("eventfd: ") + std::strerror(e));
    }
    std::unique_ptr<SerialPort> port(new SerialPort(fd, wakeFd));
    // Exclusive use: a second program on the same modem would garble both.
    ioctl(fd, TIOCEXCL);
    if (!port->setBitRate(bitsPerSecond)) return fail(path + ": cannot set the line settings");
    port->setRts(false);
    tcflush(fd, TCIOFLUSH);
    return port;
}

SerialPort::~SerialPort() {
    if (fd_ >= 0) {
        setRts(false);
        ::close(fd_);
    }
    if (wakeFd_ >= 0) ::close(wakeFd_);
}

bool SerialPort::setBitRate(int bitsPerSecond) {
    termios tio{};
    if (tcgetattr(fd_, &tio) != 0) return false;
    cfmakeraw(&tio);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | PARENB | PARODD | CLOCAL | CREAD;
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    const speed_t speed = speedFor(bitsPerSecond);
    if (speed == B0) return false;
    cfsetispeed(&tio, speed);
    cfsetospeed(&tio, speed);
    if (tcsetattr(fd_, TCSANOW, &tio) != 0) {
        // A pseudo-terminal drops parity, and the C library reports that as
        // EINVAL although the rest took effect: harmless when the rate stuck.
        termios now{};
        return errno == EINVAL && tcgetattr(fd_, &now) == 0 && cfgetospeed(&now) == speed;
    }
    return true;
}

void SerialPort::setRts(bool on) {
    if (!rtsSupported_) return;
    int bits = TIOCM_RTS;
    if (ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bits) != 0) rtsSupported_ = false;  // pty: no modem lines
}

IoStatus SerialPort::write(const uint8_t* bytes, size_t count, int rtsDelayMs) {
    setRts(true);
    size_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(fd_, bytes + done, count - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) {
            pollfd p{fd_, POLLOUT, 0};
            if (poll(&p, 1, 1000) <= 0 || (p.revents & (POLLERR | POLLHUP | POLLNVAL))) {
                setRts(false);
                return IoStatus::Lost;
            }
            continue;
        }
        setRts(false);
        return IoStatus::Lost;
    }
    // The modem must keep its carrier until the last stop bit has left.
    while (tcdrain(fd_) != 0) {
        if (errno == EINTR) continue;
        if (deviceGone(errno)) {
            setRts(false);
            return IoStatus::Lost;
        }
        break;
    }
    if (rtsDelayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(rtsDelayMs));
    setRts(false);
    return IoStatus::Ok;
}

IoStatus SerialPort::read(uint8_t* buffer, size_t capacity, int timeoutMs, size_t& count) {
    count = 0;
    pollfd fds[2] = {{fd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
    int r;
    do {
        r = poll(fds, 2, timeoutMs < 0 ? 0 : timeoutMs);
    } while (r < 0 && errno == EINTR);
    if (r < 0) return IoStatus::Lost;
    if (fds[1].revents & POLLIN) {
        uint64_t v;
        [[maybe_unused]] ssize_t drained = ::read(wakeFd_, &v, sizeof v);
        return IoStatus::Interrupted;
    }
    if (r == 0) return IoStatus::Timeout;
    if (fds[0].revents & POLLIN) {
        const ssize_t n = ::read(fd_, buffer, capacity);
        if (n > 0) {
            count = static_cast<size_t>(n);
            return IoStatus::Ok;
        }
        if (n == 0 || (n < 0 && deviceGone(errno))) return IoStatus::Lost;
        return IoStatus::Timeout;  // EAGAIN: spurious wake-up
    }
    // POLLHUP / POLLERR / POLLNVAL without data: the device is gone.
    return IoStatus::Lost;
}

void SerialPort::interrupt() {
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(wakeFd_, &one, sizeof one);
}

}  // namespace wendrel
