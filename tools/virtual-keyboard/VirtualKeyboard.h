// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// A virtual keyboard: the device side of the keyboard's configuration protocol on a Unix
// SOCK_SEQPACKET socket (one packet = one 65-byte report, report id first), so the device
// library, tests and demos run without the hardware.
//
// It serves one client connection after another on its own thread and keeps, for its lifetime,
// the last key record received for each of the 216 slots (a fresh keyboard holds the empty
// record in every slot), the 324-byte light table and the decoded firmware lines.
//
// Its memory for key records may be made finite (`memory`): each key write transfer fills it
// afresh, record by record in the order they arrive, 64 bytes per payload; the empty record
// takes none. A record that would not fit is kept as the empty record, as a keyboard that ran
// out of room keeps nothing of it, and a read returns what was kept.
//
//   oskel::VirtualKeyboardOptions options;
//   options.dir = privateFolder + "/oskel/hid";   // where CTravoHWI looks when
//   oskel::VirtualKeyboard keyboard(options);      // XDG_RUNTIME_DIR=privateFolder
//   if (!keyboard.start()) { ... keyboard.error() ... }

#include <OskelHWI.h>

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace oskel {

using Payload = std::array<std::uint8_t, 64>;

struct VirtualKeyboardOptions {
    std::string dir;  // empty: $XDG_RUNTIME_DIR/oskel/hid or /tmp/oskel-<uid>/hid
    std::string name = "vid_0483&pid_5022&mi_01";  // socket name inside dir
    std::string version = "OSKEL-108 V1.00";       // answer to 0xF9, cut at 62 bytes
    std::string logPath;      // every report received, as 128 hex digits a line
    bool silent = false;      // takes every report, answers none
    int dropAfter = 0;        // > 0: closes each connection after that many reports
    int freezeAfter = 0;      // > 0: reads nothing more on a connection after that many reports
    bool keepReports = true;  // false: receivedReports() stays empty (long runs)
    long long memory = -1;    // >= 0: bytes of key records it has room for; < 0: unlimited
};

class VirtualKeyboard {
public:
    static constexpr int kSlotCount = ::kSlotCount;
    static constexpr std::size_t kLightTableSize = kLightArrayLength;

    explicit VirtualKeyboard(VirtualKeyboardOptions options = {});
    ~VirtualKeyboard();
    VirtualKeyboard(const VirtualKeyboard&) = delete;
    VirtualKeyboard& operator=(const VirtualKeyboard&) = delete;

    // Creates the folder (mode 0700), binds and listens, and starts serving. A stale socket of
    // the same name is replaced; a live one is not. False with error() on failure.
    bool start();
    // Stops serving, closes every connection and removes the socket. Harmless when stopped.
    void stop();

    const std::string& socketPath() const { return path; }
    const std::string& error() const { return lastError; }

    // What the keyboard holds. Slot index: (level - 1) * 108 + key - 1.
    std::vector<Payload> slotRecord(int slot) const;
    std::vector<Payload> slotRecord(int level, int key) const {
        return slotRecord((level - 1) * kKeyCount + key - 1);
    }
    void setSlotRecord(int slot, std::vector<Payload> payloads);
    std::array<std::uint8_t, kLightTableSize> lights() const;
    void setLights(const std::array<std::uint8_t, kLightTableSize>& table);
    std::vector<std::vector<std::uint8_t>> firmwareLines() const;

    // Every report received so far (payloads, report id stripped), in order.
    std::vector<Payload> receivedReports() const;
    // Number of reports received so far (counted also when they are not kept).
    std::size_t receivedCount() const;
    // Waits until at least `count` reports have arrived; false when `timeoutMs` passed first.
    bool waitForReports(std::size_t count, int timeoutMs) const;
    // Connections that brought at least one report (a probe that only connects is not one).
    int connectionCount() const;

    void setSilent(bool silent);
    void setDropAfter(int reports);
    void setFreezeAfter(int reports);
    void setVersion(const std::string& version);
    // Bytes of key records it has room for from the next key write on; < 0: unlimited.
    void setMemory(long long bytes);

private:
    void serve();
    void serveClient(int client);
    // Takes one report; false when the connection is to be closed.
    bool handle(int client, const Payload& payload, int& receivedOnConnection);
    bool take(const Payload& payload);
    void takeKeyRecord(const Payload& payload);
    // Called with stateLock held: the record to keep for `slot`, within the memory left.
    std::vector<Payload> keptRecord(int slot, std::vector<Payload> record);
    bool answerKeyRead(int client);
    bool answerLightRead(int client);
    bool answerVersion(int client);
    // Reports to the host in order; waits while the host's queue is full, never past stop().
    bool send(int client, const std::vector<Payload>& payloads);
    void logReport(const Payload& payload);
    bool waitReadable(int fd);
    // A frozen keyboard: holds the connection, reads nothing, until the host closes or stop().
    void waitClosed(int fd);

    VirtualKeyboardOptions options;
    std::string path;
    std::string lastError;
    int listenFd = -1;
    int wakeFd = -1;
    std::thread server;
    std::atomic<bool> stopping{false};
    std::FILE* log = nullptr;

    mutable std::mutex stateLock;
    mutable std::condition_variable reportArrived;
    std::vector<std::vector<Payload>> storedSlots;
    std::array<std::uint8_t, kLightTableSize> lightTable{};
    std::size_t lightOffset = 0;
    std::vector<std::vector<std::uint8_t>> firmware;
    std::vector<Payload> received;
    std::size_t receivedTotal = 0;
    int connections = 0;
    long long memoryUsed = 0;  // bytes of key records kept since the last key write began

    // A macro record spanning several reports, while its further payloads arrive.
    std::vector<Payload> pendingRecord;
    int pendingPayloads = 0;
};

}  // namespace oskel
