// SPDX-License-Identifier: GPL-2.0-or-later
// Reports over a virtual keyboard's SOCK_SEQPACKET socket: one packet is one 65-byte report,
// report id first, in both directions.
#include <linux/sockios.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "ReportChannel.h"

namespace oskel::hid {

namespace {

using Clock = std::chrono::steady_clock;

int millisecondsUntil(Clock::time_point deadline) {
    return static_cast<int>(
        std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count());
}

class SocketChannel : public ReportChannel {
public:
    explicit SocketChannel(int fd) : fd(fd) {}
    ~SocketChannel() override { ::close(fd); }

    bool write(const std::uint8_t* report, std::size_t length, int timeoutMs) override {
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            // MSG_NOSIGNAL: a keyboard that went away fails the write instead of killing us.
            ssize_t sent = ::send(fd, report, length, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (sent >= 0) {
                return sent == static_cast<ssize_t>(length);
            }
            if (errno == EINTR) {
                continue;
            }
            // The keyboard's queue is full: a frozen keyboard never empties it.
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                return false;
            }
            const int wait = millisecondsUntil(deadline);
            pollfd writable{fd, POLLOUT, 0};
            if (wait <= 0 || (::poll(&writable, 1, wait) < 0 && errno != EINTR)) {
                return false;
            }
        }
    }

    // A report counts as taken once the keyboard has read it: until then the kernel charges it
    // to our send queue (SIOCOUTQ). The queue is read before the hang-up test, because a keyboard
    // that closes drops what it had not read, which empties the queue as well.
    bool waitUntilTaken(int timeoutMs) override {
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            int queued = 0;
            if (::ioctl(fd, SIOCOUTQ, &queued) != 0) {
                return false;
            }
            pollfd closed{fd, 0, 0};
            if (::poll(&closed, 1, 0) > 0 && (closed.revents & (POLLHUP | POLLERR)) != 0) {
                return false;
            }
            if (queued == 0) {
                return true;
            }
            if (millisecondsUntil(deadline) <= 0) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    }

    int read(std::uint8_t* report, std::size_t capacity, int timeoutMs) override {
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        int wait = timeoutMs;
        for (;;) {
            // A blocking receive bounded by SO_RCVTIMEO: one system call per report.
            ssize_t received = wait > 0 && setReceiveTimeout(wait)
                                   ? ::recv(fd, report, capacity, 0)
                                   : ::recv(fd, report, capacity, MSG_DONTWAIT);
            if (received > 0) {
                return static_cast<int>(received);
            }
            if (received == 0 || errno != EINTR) {
                return -1;  // closed by the keyboard, failed, or nothing came in time
            }
            wait = millisecondsUntil(deadline);
            if (wait <= 0) {
                return -1;
            }
        }
    }

    int discardPending() override {
        std::uint8_t scratch[128];
        int dropped = 0;
        while (::recv(fd, scratch, sizeof scratch, MSG_DONTWAIT) > 0) {
            ++dropped;
        }
        return dropped;
    }

private:
    bool setReceiveTimeout(int milliseconds) {
        if (milliseconds == receiveTimeoutMs) {
            return true;
        }
        timeval timeout{milliseconds / 1000, (milliseconds % 1000) * 1000};
        if (::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout) != 0) {
            return false;
        }
        receiveTimeoutMs = milliseconds;
        return true;
    }

    bool gone() const override {
        pollfd closed{fd, 0, 0};
        return ::poll(&closed, 1, 0) > 0 && (closed.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
    }

    int fd;
    int receiveTimeoutMs = 0;  // 0: the socket's receives wait forever
};

}  // namespace

std::unique_ptr<ReportChannel> openSocketChannel(const std::string& socketPath, int& error) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socketPath.size() >= sizeof address.sun_path) {
        error = ENAMETOOLONG;
        return nullptr;
    }
    std::memcpy(address.sun_path, socketPath.c_str(), socketPath.size() + 1);
    int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = errno;
        return nullptr;
    }
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        error = errno;
        ::close(fd);
        return nullptr;
    }
    error = 0;
    return std::make_unique<SocketChannel>(fd);
}

}  // namespace oskel::hid
