// Reports over a virtual keyboard's SOCK_SEQPACKET socket: one packet is one 65-byte report,
// report id first, in both directions.
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "ReportChannel.h"

namespace oskel::hid {

namespace {

class SocketChannel : public ReportChannel {
public:
    explicit SocketChannel(int fd) : fd(fd) {}
    ~SocketChannel() override { ::close(fd); }

    bool write(const std::uint8_t* report, std::size_t length) override {
        ssize_t sent;
        do {
            // MSG_NOSIGNAL: a keyboard that went away fails the write instead of killing us.
            sent = ::send(fd, report, length, MSG_NOSIGNAL);
        } while (sent < 0 && errno == EINTR);
        return sent == static_cast<ssize_t>(length);
    }

    int read(std::uint8_t* report, std::size_t capacity, int timeoutMs) override {
        using Clock = std::chrono::steady_clock;
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            // Try first: in a running transfer the next report is usually there already.
            ssize_t received = ::recv(fd, report, capacity, MSG_DONTWAIT);
            if (received > 0) {
                return static_cast<int>(received);
            }
            if (received == 0) {
                return -1;  // the keyboard closed the connection
            }
            if (errno == EINTR) {
                continue;
            }
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                return -1;
            }
            auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) {
                return -1;
            }
            pollfd wait{fd, POLLIN, 0};
            int ready = ::poll(&wait, 1, static_cast<int>(left.count()));
            if (ready == 0 || (ready < 0 && errno != EINTR)) {
                return -1;
            }
        }
    }

    void discardPending() override {
        std::uint8_t scratch[128];
        while (::recv(fd, scratch, sizeof scratch, MSG_DONTWAIT) > 0) {
        }
    }

private:
    int fd;
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
