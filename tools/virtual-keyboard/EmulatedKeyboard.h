// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The emulated keyboard itself: the device side of the configuration protocol, its memory, its
// fault options and its log, whatever door the reports come through. A door (the socket of
// VirtualKeyboard, the USB device of UsbKeyboard) hands every report it takes to take() and
// delivers the answers to its openers, so both doors behave the same byte for byte.
//
// It keeps, for its lifetime, the last key record received for each of the 216 slots (a fresh
// keyboard holds the empty record in every slot), the 324-byte light table and the decoded
// firmware lines.
//
// Its memory for key records may be made finite (`memory`): each key write transfer fills it
// afresh, record by record in the order they arrive, 64 bytes per payload; the empty record
// takes none. A record that would not fit is kept as the empty record, as a keyboard that ran
// out of room keeps nothing of it, and a read returns what was kept.

#include <OskelHWI.h>

#include <array>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

namespace oskel {

using Payload = std::array<std::uint8_t, 64>;

struct VirtualKeyboardOptions {
    std::string dir;  // empty: $XDG_RUNTIME_DIR/oskel/hid or /tmp/oskel-<uid>/hid
    std::string name = "vid_0483&pid_5022&mi_01";  // socket name inside dir
    std::string version = "OSKEL-108 V1.00";       // answer to 0xF9, cut at 62 bytes
    std::string logPath;      // every report received, as 128 hex digits a line
    bool silent = false;      // takes every report, answers none
    int dropAfter = 0;        // > 0: unplugged after that many reports of one opener
    int freezeAfter = 0;      // > 0: reads nothing more from an opener after that many reports
    bool keepReports = true;  // false: receivedReports() stays empty (long runs)
    long long memory = -1;    // >= 0: bytes of key records it has room for; < 0: unlimited
};

// One program's open connection to the keyboard, as the fault options count it.
struct KeyboardOpener {
    int received = 0;  // reports taken from this opener
};

// What the keyboard does with one report.
struct KeyboardReaction {
    std::vector<Payload> answers;  // input reports, for every opener
    bool unplug = false;           // the cable is pulled right after this report
};

class EmulatedKeyboard {
public:
    static constexpr int kSlotCount = ::kSlotCount;
    static constexpr std::size_t kLightTableSize = kLightArrayLength;

    explicit EmulatedKeyboard(VirtualKeyboardOptions options = {});
    virtual ~EmulatedKeyboard();
    EmulatedKeyboard(const EmulatedKeyboard&) = delete;
    EmulatedKeyboard& operator=(const EmulatedKeyboard&) = delete;

    // Takes one report of `opener` (payload, report id stripped): logs it, keeps what it
    // carries, and answers as the keyboard would.
    KeyboardReaction take(const Payload& payload, KeyboardOpener& opener);
    // How many more reports the door may take from `opener` before the keyboard stops reading
    // from it (frozen) or is unplugged; a large number when neither option is set.
    int reportsLeft(const KeyboardOpener& opener) const;
    // True once the keyboard reads nothing more from `opener`.
    bool frozen(const KeyboardOpener& opener) const;
    // An opener went away: a macro record it left half sent is forgotten.
    void openerGone(const KeyboardOpener& opener);

    // Opens the log named in the options; false with `error` when it cannot be written.
    bool openLog(std::string& error);
    void closeLog();

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
    // Openers that brought at least one report (a probe that only connects is not one).
    int connectionCount() const;

    void setSilent(bool silent);
    void setDropAfter(int reports);
    void setFreezeAfter(int reports);
    void setVersion(const std::string& version);
    // Bytes of key records it has room for from the next key write on; < 0: unlimited.
    void setMemory(long long bytes);

protected:
    // Set at construction, read by the doors.
    VirtualKeyboardOptions options;

private:
    bool keep(const Payload& payload);
    void takeKeyRecord(const Payload& payload);
    std::vector<Payload> keptRecord(int slot, std::vector<Payload> record);
    std::vector<Payload> keyReadAnswer() const;
    std::vector<Payload> lightReadAnswer() const;
    std::vector<Payload> versionAnswer() const;
    void logReport(const Payload& payload);

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

    // A macro record spanning several reports, while its further payloads arrive, and who
    // sends it.
    std::vector<Payload> pendingRecord;
    int pendingPayloads = 0;
    const KeyboardOpener* pendingFrom = nullptr;
};

}  // namespace oskel
