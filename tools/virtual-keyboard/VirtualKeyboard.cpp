// SPDX-License-Identifier: GPL-2.0-or-later
#include "VirtualKeyboard.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "ReportTags.h"
#include "VirtualDeviceFolder.h"

namespace oskel {

namespace {

using namespace oskel::hid;

// mkdir -p, each folder created with mode 0700.
bool makeFolders(const std::string& folder, std::string& error) {
    for (std::size_t at = 1; at <= folder.size(); ++at) {
        if (at != folder.size() && folder[at] != '/') {
            continue;
        }
        std::string part = folder.substr(0, at);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            error = "cannot create " + part + ": " + std::strerror(errno);
            return false;
        }
    }
    // Folders made here are 0700; one that was already there is left as it is, and used only
    // when it is this user's and closed to others.
    if (!trustedVirtualDeviceFolder(folder)) {
        error = folder + " is not a folder of this user closed to others";
        return false;
    }
    return true;
}

bool fillAddress(const std::string& path, sockaddr_un& address) {
    address = {};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

// True when somebody answers on the socket: a keyboard of that name is already running.
bool socketAlive(const sockaddr_un& address) {
    int probe = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (probe < 0) {
        return false;
    }
    bool alive = ::connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(probe);
    return alive;
}

struct ReportBatch {
    std::vector<std::array<std::uint8_t, kReportSize>> reports;
    std::vector<iovec> pieces;
    std::vector<mmsghdr> messages;

    explicit ReportBatch(const std::vector<Payload>& payloads)
        : reports(payloads.size()), pieces(payloads.size()), messages(payloads.size()) {
        for (std::size_t i = 0; i < payloads.size(); ++i) {
            reports[i][0] = kReportId;
            std::memcpy(reports[i].data() + 1, payloads[i].data(), kPayloadSize);
            pieces[i] = {reports[i].data(), kReportSize};
            messages[i] = {};
            messages[i].msg_hdr.msg_iov = &pieces[i];
            messages[i].msg_hdr.msg_iovlen = 1;
        }
    }
};

}  // namespace

VirtualKeyboard::VirtualKeyboard(VirtualKeyboardOptions keyboardOptions)
    : EmulatedKeyboard(std::move(keyboardOptions)) {
    if (options.dir.empty()) {
        options.dir = virtualDeviceFolder();
    }
    path = options.dir + "/" + options.name;
}

VirtualKeyboard::~VirtualKeyboard() {
    stop();
}

bool VirtualKeyboard::start() {
    if (listenFd >= 0) {
        return true;
    }
    if (!makeFolders(options.dir, lastError)) {
        return false;
    }
    sockaddr_un address;
    if (!fillAddress(path, address)) {
        lastError = "socket path too long: " + path;
        return false;
    }
    if (socketAlive(address)) {
        lastError = "a keyboard already listens on " + path;
        return false;
    }
    ::unlink(path.c_str());
    listenFd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (listenFd < 0 ||
        ::bind(listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listenFd, 8) != 0) {
        lastError = "cannot listen on " + path + ": " + std::strerror(errno);
        if (listenFd >= 0) {
            ::close(listenFd);
        }
        listenFd = -1;
        return false;
    }
    wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (!openLog(lastError)) {
        stop();
        return false;
    }
    stopping = false;
    server = std::thread([this] { serve(); });
    return true;
}

void VirtualKeyboard::stop() {
    if (listenFd < 0) {
        return;
    }
    stopping = true;
    std::uint64_t one = 1;
    if (wakeFd >= 0 && ::write(wakeFd, &one, sizeof one) < 0) {
        // The flag alone still ends the thread at its next poll timeout.
    }
    if (server.joinable()) {
        server.join();
    }
    for (Connection& connection : clients) {
        ::close(connection.fd);
    }
    clients.clear();
    ::close(listenFd);
    listenFd = -1;
    if (wakeFd >= 0) {
        ::close(wakeFd);
        wakeFd = -1;
    }
    ::unlink(path.c_str());
    closeLog();
}

void VirtualKeyboard::serve() {
    std::vector<pollfd> waits;
    while (!stopping) {
        waits.assign({{listenFd, POLLIN, 0}, {wakeFd, POLLIN, 0}});
        for (const Connection& connection : clients) {
            // A frozen keyboard reads nothing; poll still reports the host hanging up.
            waits.push_back(
                {connection.fd, frozen(connection.opener) ? short(0) : short(POLLIN), 0});
        }
        if (::poll(waits.data(), waits.size(), 200) < 0 && errno != EINTR) {
            return;
        }
        if (waits[1].revents != 0) {
            return;
        }
        auto connection = clients.begin();
        for (std::size_t i = 2; i < waits.size(); ++i) {
            auto next = std::next(connection);
            if (waits[i].revents != 0 && !serveClient(*connection)) {
                openerGone(connection->opener);
                ::close(connection->fd);
                clients.erase(connection);
            }
            connection = next;
        }
        if (waits[0].revents != 0) {
            int client = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
            if (client >= 0) {
                clients.push_back({client, {}});
            }
        }
    }
}

bool VirtualKeyboard::serveClient(Connection& connection) {
    // Reports are taken in batches: one system call for all that is queued, but never more
    // than the keyboard would take before it freezes or is unplugged: the rest stay untaken,
    // so the host sees them left over when the connection goes.
    constexpr int kBatch = 32;
    const int batch = std::min(kBatch, reportsLeft(connection.opener));
    if (batch <= 0) {
        pollfd closed{connection.fd, 0, 0};
        return !(::poll(&closed, 1, 0) > 0 && closed.revents != 0);
    }
    std::uint8_t reports[kBatch][kReportSize + 1];
    iovec pieces[kBatch];
    mmsghdr messages[kBatch];
    for (int i = 0; i < batch; ++i) {
        pieces[i] = {reports[i], sizeof reports[i]};
        messages[i] = {};
        messages[i].msg_hdr.msg_iov = &pieces[i];
        messages[i].msg_hdr.msg_iovlen = 1;
    }
    int got = ::recvmmsg(connection.fd, messages, batch, MSG_DONTWAIT, nullptr);
    if (got < 0) {
        return errno == EAGAIN || errno == EINTR;
    }
    if (got == 0 || messages[0].msg_len == 0) {
        return false;  // the host closed its end
    }
    for (int i = 0; i < got; ++i) {
        if (stopping || messages[i].msg_len == 0) {
            return false;
        }
        Payload payload{};
        std::size_t length = messages[i].msg_len;
        if (length > 1) {
            std::memcpy(payload.data(), reports[i] + 1, std::min(length - 1, kPayloadSize));
        }
        const KeyboardReaction reaction = take(payload, connection.opener);
        if (reaction.unplug) {
            return false;
        }
        if (!reaction.answers.empty() && !deliver(connection, reaction.answers)) {
            return false;
        }
    }
    return true;
}

bool VirtualKeyboard::deliver(Connection& asker, const std::vector<Payload>& answers) {
    for (Connection& other : clients) {
        if (&other != &asker) {
            sendWhatFits(other.fd, answers);
        }
    }
    return send(asker.fd, answers);
}

void VirtualKeyboard::sendWhatFits(int client, const std::vector<Payload>& payloads) {
    ReportBatch batch(payloads);
    std::size_t done = 0;
    while (done < batch.messages.size()) {
        unsigned count =
            static_cast<unsigned>(std::min<std::size_t>(batch.messages.size() - done, 64));
        int sent =
            ::sendmmsg(client, batch.messages.data() + done, count, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent <= 0) {
            return;
        }
        done += static_cast<std::size_t>(sent);
    }
}

bool VirtualKeyboard::send(int client, const std::vector<Payload>& payloads) {
    ReportBatch batch(payloads);
    std::size_t done = 0;
    while (done < batch.messages.size()) {
        if (stopping) {
            return false;
        }
        unsigned count =
            static_cast<unsigned>(std::min<std::size_t>(batch.messages.size() - done, 64));
        int sent =
            ::sendmmsg(client, batch.messages.data() + done, count, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent > 0) {
            done += static_cast<std::size_t>(sent);
            continue;
        }
        if (sent == 0 || (errno != EAGAIN && errno != EINTR)) {
            return false;
        }
        pollfd waits[2] = {{client, POLLOUT, 0}, {wakeFd, POLLIN, 0}};
        if (::poll(waits, 2, 200) < 0 && errno != EINTR) {
            return false;
        }
        if (waits[1].revents != 0) {
            return false;
        }
    }
    return true;
}

}  // namespace oskel
