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
#include <chrono>
#include <cstring>

#include "ReportTags.h"
#include "VirtualDeviceFolder.h"

namespace oskel {

namespace {

using namespace oskel::hid;

Payload emptyRecord(int slot) {
    Payload payload{};
    payload[kTagAt] = kKeyRecord;
    payload[kRecordLevelAt] = static_cast<std::uint8_t>(slot / kKeyCount + 1);
    payload[kRecordKeyAt] = static_cast<std::uint8_t>(slot % kKeyCount + 1);
    return payload;
}

// The empty record carries nothing but its slot: type 0, no codes.
bool isEmptyRecord(const std::vector<Payload>& record) {
    return record.size() == 1 && std::all_of(record[0].begin() + 4, record[0].end(),
                                             [](std::uint8_t b) { return b == 0; });
}

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

}  // namespace

VirtualKeyboard::VirtualKeyboard(VirtualKeyboardOptions options) : options(std::move(options)) {
    for (int slot = 0; slot < kSlotCount; ++slot) {
        storedSlots.push_back({emptyRecord(slot)});
    }
    if (this->options.dir.empty()) {
        this->options.dir = virtualDeviceFolder();
    }
    path = this->options.dir + "/" + this->options.name;
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
        ::listen(listenFd, 4) != 0) {
        lastError = "cannot listen on " + path + ": " + std::strerror(errno);
        if (listenFd >= 0) {
            ::close(listenFd);
        }
        listenFd = -1;
        return false;
    }
    wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (!options.logPath.empty()) {
        log = std::fopen(options.logPath.c_str(), "w");
        if (log == nullptr) {
            lastError = "cannot write " + options.logPath + ": " + std::strerror(errno);
            stop();
            return false;
        }
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
    ::close(listenFd);
    listenFd = -1;
    if (wakeFd >= 0) {
        ::close(wakeFd);
        wakeFd = -1;
    }
    ::unlink(path.c_str());
    if (log != nullptr) {
        std::fclose(log);
        log = nullptr;
    }
}

// Waits for `fd` to become readable or for stop(); false on stop.
bool VirtualKeyboard::waitReadable(int fd) {
    while (!stopping) {
        pollfd waits[2] = {{fd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
        int ready = ::poll(waits, 2, 200);
        if (ready < 0 && errno != EINTR) {
            return false;
        }
        if (waits[1].revents != 0) {
            return false;
        }
        if (waits[0].revents != 0) {
            return true;
        }
    }
    return false;
}

void VirtualKeyboard::waitClosed(int fd) {
    while (!stopping) {
        // No events asked for: poll still reports the host hanging up.
        pollfd waits[2] = {{fd, 0, 0}, {wakeFd, POLLIN, 0}};
        if (::poll(waits, 2, 200) < 0 && errno != EINTR) {
            return;
        }
        if (waits[0].revents != 0 || waits[1].revents != 0) {
            return;
        }
    }
}

void VirtualKeyboard::serve() {
    while (waitReadable(listenFd)) {
        int client = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) {
            continue;
        }
        {
            std::lock_guard lock(stateLock);
            pendingRecord.clear();
            pendingPayloads = 0;
        }
        serveClient(client);
        ::close(client);
    }
}

void VirtualKeyboard::serveClient(int client) {
    // Reports are taken in batches: one system call for all that is queued.
    constexpr int kBatch = 32;
    std::uint8_t reports[kBatch][kReportSize + 1];
    iovec pieces[kBatch];
    mmsghdr messages[kBatch];
    int receivedOnConnection = 0;
    for (;;) {
        int batch = kBatch;
        {
            std::lock_guard lock(stateLock);
            if (options.freezeAfter > 0) {
                // Never take more reports off the queue than the frozen keyboard would.
                batch = std::min(batch, options.freezeAfter - receivedOnConnection);
            }
            if (options.dropAfter > 0) {
                // Nor past the report after which it is unplugged: the rest stay untaken, so
                // the host sees them left over when the connection goes.
                batch = std::min(batch, options.dropAfter - receivedOnConnection);
            }
        }
        if (batch <= 0) {
            waitClosed(client);
            return;
        }
        for (int i = 0; i < batch; ++i) {
            pieces[i] = {reports[i], sizeof reports[i]};
            messages[i] = {};
            messages[i].msg_hdr.msg_iov = &pieces[i];
            messages[i].msg_hdr.msg_iovlen = 1;
        }
        int got = ::recvmmsg(client, messages, batch, MSG_DONTWAIT, nullptr);
        if (got < 0) {
            if ((errno != EAGAIN && errno != EINTR) || !waitReadable(client)) {
                return;
            }
            continue;
        }
        if (got == 0 || messages[0].msg_len == 0) {
            return;  // the host closed its end
        }
        for (int i = 0; i < got; ++i) {
            if (stopping || messages[i].msg_len == 0) {
                return;
            }
            Payload payload{};
            std::size_t length = messages[i].msg_len;
            if (length > 1) {
                std::memcpy(payload.data(), reports[i] + 1, std::min(length - 1, kPayloadSize));
            }
            if (!handle(client, payload, receivedOnConnection)) {
                return;
            }
        }
    }
}

bool VirtualKeyboard::handle(int client, const Payload& payload, int& receivedOnConnection) {
    bool silent;
    bool dropping;
    bool command;
    {
        std::lock_guard lock(stateLock);
        if (options.keepReports) {
            received.push_back(payload);
        }
        ++receivedTotal;
        if (receivedOnConnection == 0) {
            ++connections;
        }
        silent = options.silent;
        ++receivedOnConnection;
        // Unplugged right after the report arrived: it is taken but never answered.
        dropping = options.dropAfter > 0 && receivedOnConnection >= options.dropAfter;
        command = take(payload);
    }
    reportArrived.notify_all();
    logReport(payload);
    if (dropping) {
        return false;
    }
    if (silent || !command) {
        return true;
    }
    switch (payload[kTagAt]) {
        case kKeyReadRequest:
            return answerKeyRead(client);
        case kLightReadRequest:
            return answerLightRead(client);
        case kVersionRequest:
            return answerVersion(client);
        default:
            return true;
    }
}

// Called with stateLock held: keeps what the report carries. False when it was a further payload
// of a macro record, which is never a command.
bool VirtualKeyboard::take(const Payload& payload) {
    if (pendingPayloads > 0) {
        takeKeyRecord(payload);
        return false;
    }
    switch (payload[kTagAt]) {
        case kKeyRecord:
            takeKeyRecord(payload);
            break;
        case kKeyWriteBegin:
            memoryUsed = 0;  // the keyboard's records are all rewritten from here on
            break;
        case kLightWriteBegin:
            lightOffset = 0;
            break;
        case kLightChunk: {
            std::size_t n = std::min<std::size_t>(payload[kChunkLengthAt], kLightChunkMax);
            n = std::min(n, lightTable.size() - lightOffset);
            std::memcpy(lightTable.data() + lightOffset, payload.data() + kChunkDataAt, n);
            lightOffset += n;
            break;
        }
        case kFirmwareLine: {
            // The line starts with the record's length byte: length, address (2), type, data,
            // checksum.
            const auto line = payload.begin() + kFirmwareDataOffset;
            const std::size_t n = std::min<std::size_t>(*line + 5u, kFirmwareLineMax);
            firmware.emplace_back(line, line + n);
            break;
        }
        default:
            break;
    }
    return true;
}

// Called with stateLock held. A macro record (types 2-4) spans ceil(L / 53) payloads, L from
// its first; the slot takes the record once it is whole.
void VirtualKeyboard::takeKeyRecord(const Payload& payload) {
    if (pendingPayloads == 0) {
        pendingRecord.assign(1, payload);
        int type = payload[kRecordTypeAt];
        if (type >= 2 && type <= 4) {
            int length = (payload[kMacroLengthAt] << 8) | payload[kMacroLengthAt + 1];
            const int piece = static_cast<int>(kMacroPieceSize);
            pendingPayloads = std::max(1, (length + piece - 1) / piece);
        } else {
            pendingPayloads = 1;
        }
    } else {
        pendingRecord.push_back(payload);
    }
    if (static_cast<int>(pendingRecord.size()) < pendingPayloads) {
        return;
    }
    int level = pendingRecord[0][kRecordLevelAt];
    int key = pendingRecord[0][kRecordKeyAt];
    if (level >= 1 && level <= kLevelCount && key >= 1 && key <= kKeyCount) {
        const int slot = slotIndex(level, key);
        storedSlots[slot] = keptRecord(slot, std::move(pendingRecord));
    }
    pendingRecord.clear();
    pendingPayloads = 0;
}

std::vector<Payload> VirtualKeyboard::keptRecord(int slot, std::vector<Payload> record) {
    if (options.memory < 0 || isEmptyRecord(record)) {
        return record;
    }
    const long long size = static_cast<long long>(record.size() * kPayloadSize);
    if (memoryUsed + size > options.memory) {
        return {emptyRecord(slot)};
    }
    memoryUsed += size;
    return record;
}

bool VirtualKeyboard::answerKeyRead(int client) {
    std::vector<Payload> answer;
    {
        std::lock_guard lock(stateLock);
        for (const auto& record : storedSlots) {
            answer.insert(answer.end(), record.begin(), record.end());
        }
    }
    Payload end;
    end.fill(kKeyEnd);
    answer.push_back(end);
    return send(client, answer);
}

bool VirtualKeyboard::answerLightRead(int client) {
    auto table = lights();
    std::vector<Payload> answer;
    for (std::size_t offset = 0; offset < table.size(); offset += kLightChunkMax) {
        std::size_t n = std::min(kLightChunkMax, table.size() - offset);
        Payload chunk{0x00, kLightChunk, static_cast<std::uint8_t>(n)};
        std::memcpy(chunk.data() + 3, table.data() + offset, n);
        answer.push_back(chunk);
    }
    Payload end;
    end.fill(kLightEnd);
    answer.push_back(end);
    return send(client, answer);
}

bool VirtualKeyboard::answerVersion(int client) {
    Payload answer{0x00, kVersionRequest};
    {
        std::lock_guard lock(stateLock);
        std::size_t n = std::min(options.version.size(), kVersionTextMax);
        std::memcpy(answer.data() + kVersionTextOffset, options.version.data(), n);
    }
    return send(client, {answer});
}

bool VirtualKeyboard::send(int client, const std::vector<Payload>& payloads) {
    std::vector<std::array<std::uint8_t, kReportSize>> reports(payloads.size());
    std::vector<iovec> pieces(payloads.size());
    std::vector<mmsghdr> messages(payloads.size());
    for (std::size_t i = 0; i < payloads.size(); ++i) {
        reports[i][0] = kReportId;
        std::memcpy(reports[i].data() + 1, payloads[i].data(), kPayloadSize);
        pieces[i] = {reports[i].data(), kReportSize};
        messages[i] = {};
        messages[i].msg_hdr.msg_iov = &pieces[i];
        messages[i].msg_hdr.msg_iovlen = 1;
    }
    std::size_t done = 0;
    while (done < messages.size()) {
        if (stopping) {
            return false;
        }
        unsigned batch = static_cast<unsigned>(std::min<std::size_t>(messages.size() - done, 64));
        int sent = ::sendmmsg(client, messages.data() + done, batch, MSG_NOSIGNAL | MSG_DONTWAIT);
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

void VirtualKeyboard::logReport(const Payload& payload) {
    if (log == nullptr) {
        return;
    }
    static const char digits[] = "0123456789abcdef";
    char line[2 * kPayloadSize + 2];
    for (std::size_t i = 0; i < kPayloadSize; ++i) {
        line[2 * i] = digits[payload[i] >> 4];
        line[2 * i + 1] = digits[payload[i] & 0x0F];
    }
    line[2 * kPayloadSize] = '\n';
    line[2 * kPayloadSize + 1] = '\0';
    std::fputs(line, log);
    std::fflush(log);
}

std::vector<Payload> VirtualKeyboard::slotRecord(int slot) const {
    std::lock_guard lock(stateLock);
    if (slot < 0 || slot >= kSlotCount) {
        return {};
    }
    return storedSlots[slot];
}

void VirtualKeyboard::setSlotRecord(int slot, std::vector<Payload> payloads) {
    std::lock_guard lock(stateLock);
    if (slot >= 0 && slot < kSlotCount) {
        storedSlots[slot] = std::move(payloads);
    }
}

std::array<std::uint8_t, VirtualKeyboard::kLightTableSize> VirtualKeyboard::lights() const {
    std::lock_guard lock(stateLock);
    return lightTable;
}

void VirtualKeyboard::setLights(const std::array<std::uint8_t, kLightTableSize>& table) {
    std::lock_guard lock(stateLock);
    lightTable = table;
}

std::vector<std::vector<std::uint8_t>> VirtualKeyboard::firmwareLines() const {
    std::lock_guard lock(stateLock);
    return firmware;
}

std::vector<Payload> VirtualKeyboard::receivedReports() const {
    std::lock_guard lock(stateLock);
    return received;
}

std::size_t VirtualKeyboard::receivedCount() const {
    std::lock_guard lock(stateLock);
    return receivedTotal;
}

bool VirtualKeyboard::waitForReports(std::size_t count, int timeoutMs) const {
    std::unique_lock lock(stateLock);
    return reportArrived.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                  [&] { return receivedTotal >= count; });
}

int VirtualKeyboard::connectionCount() const {
    std::lock_guard lock(stateLock);
    return connections;
}

void VirtualKeyboard::setSilent(bool silent) {
    std::lock_guard lock(stateLock);
    options.silent = silent;
}

void VirtualKeyboard::setDropAfter(int reports) {
    std::lock_guard lock(stateLock);
    options.dropAfter = reports;
}

void VirtualKeyboard::setMemory(long long bytes) {
    std::lock_guard lock(stateLock);
    options.memory = bytes;
}

void VirtualKeyboard::setFreezeAfter(int reports) {
    std::lock_guard lock(stateLock);
    options.freezeAfter = reports;
}

void VirtualKeyboard::setVersion(const std::string& version) {
    std::lock_guard lock(stateLock);
    options.version = version;
}

}  // namespace oskel
