// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The transport: one open keyboard interface that exchanges 65-byte reports (report id 0x00,
// then the 64-byte payload). It knows nothing of what the reports mean.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

namespace oskel::hid {
class KeyboardLock;
class ReportChannel;
}  // namespace oskel::hid

class CKeyboardUtil {
public:
    // Opens the device path (hidraw#...#<hidapi path>, or a virtual keyboard's socket). The
    // object exists even when the open failed: every write and read on it then fails, and
    // openError() tells why.
    explicit CKeyboardUtil(const std::string& devicePath);
    virtual ~CKeyboardUtil();
    CKeyboardUtil(const CKeyboardUtil&) = delete;
    CKeyboardUtil& operator=(const CKeyboardUtil&) = delete;

    // Sends `length` bytes (65, report id first) as one report, waiting at most 1000 ms for the
    // keyboard to make room for it. False when not sent.
    virtual bool writeReport(const std::uint8_t* buffer, int length);

    // Waits at most 1000 ms until the keyboard has taken every report written; a write
    // exchange is done only then. False when the keyboard did not, or went away first.
    virtual bool waitUntilTaken();

    // Receives one report, waiting at most `timeoutMs`, and copies up to `length` bytes of it
    // (what follows the report id) into `buffer`; `length` becomes the larger of its old value
    // and the payload bytes received. False on a failed or expired read.
    virtual bool readReport(std::uint8_t* buffer, int& length, int timeoutMs);

    // Drops reports that arrived and were never read, so an exchange never takes the answers
    // left over from one that stopped early. After an exchange that failed or was cancelled
    // (`afterFailure`), or when left-overs are found, it also waits until the keyboard has gone
    // quiet for 100 ms (3 s at most).
    virtual void discardPendingReports(bool afterFailure = false);

    // Takes the keyboard's advisory lock, shared with other processes, for one exchange:
    // waits at most 10 s for another program's exchange to end, less when cancelled. False
    // when another program kept the keyboard that long.
    bool lockExchange();
    void unlockExchange();

    // Takes the same lock for a sequence of exchanges and keeps it until releaseHold: meanwhile
    // lockExchange answers at once and unlockExchange keeps the lock. Waits as lockExchange does.
    bool holdLock();
    void releaseHold();

    // The clock that bounds an exchange.
    virtual std::chrono::steady_clock::time_point now() const {
        return std::chrono::steady_clock::now();
    }

    // The errno of the failed open, 0 when the device is open.
    int openError() const { return openErrno; }

    // Exchanges stop before their next report once this flag is set.
    void setCancelFlag(const std::atomic<bool>* flag) { cancelFlag = flag; }
    bool cancelled() const { return cancelFlag != nullptr && cancelFlag->load(); }

protected:
    // No device: for transports that carry their reports elsewhere.
    CKeyboardUtil();

private:
    std::unique_ptr<oskel::hid::ReportChannel> handle;  // null when the open failed
    std::unique_ptr<oskel::hid::KeyboardLock> lock;     // null without a device path
    int openErrno = 0;
    const std::atomic<bool>* cancelFlag = nullptr;
    bool held = false;  // holdLock took the lock for a sequence
};

// The transport of this keyboard model: adds the firmware version exchange.
class CTravoUtil : public CKeyboardUtil {
public:
    using CKeyboardUtil::CKeyboardUtil;

    // Sends 0xF9 and reads one answer; bytes 2-63 are the version text in Latin-1. Writes at
    // most 62 characters and a terminator into `buffer` (63 wide). False when either report
    // failed or the answer is a report of another exchange (a key record, a light chunk or an
    // end marker); the buffer then holds the empty text.
    virtual bool readVersion(char16_t* buffer);

protected:
    CTravoUtil() = default;
};
