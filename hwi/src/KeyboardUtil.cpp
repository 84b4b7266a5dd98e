// SPDX-License-Identifier: GPL-2.0-or-later
#include "KeyboardUtil.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "Discovery.h"
#include "KeyboardLock.h"
#include "ReportChannel.h"
#include "ReportTags.h"

using namespace oskel::hid;

CKeyboardUtil::CKeyboardUtil() : openErrno(ENODEV) {}

CKeyboardUtil::CKeyboardUtil(const std::string& devicePath) {
    std::string hidapiPath = hidapiPathOf(devicePath);
    handle = hidapiPath.empty() ? openSocketChannel(devicePath, openErrno)
                                : openHidrawChannel(hidapiPath, openErrno);
    if (handle == nullptr && openErrno == 0) {
        openErrno = EIO;
    }
    lock = std::make_unique<KeyboardLock>(devicePath);
}

CKeyboardUtil::~CKeyboardUtil() = default;

bool CKeyboardUtil::writeReport(const std::uint8_t* buffer, int length) {
    if (handle == nullptr || buffer == nullptr || length <= 0) {
        return false;
    }
    return handle->write(buffer, static_cast<std::size_t>(length), kWriteTimeoutMs);
}

bool CKeyboardUtil::waitUntilTaken() {
    return handle != nullptr && handle->waitUntilTaken(kWriteTimeoutMs);
}

bool CKeyboardUtil::lockExchange() {
    constexpr int kLockWaitMs = 10000;
    return held || lock == nullptr || lock->acquire(kLockWaitMs, cancelFlag);
}

void CKeyboardUtil::unlockExchange() {
    if (lock != nullptr && !held) {
        lock->release();
    }
}

bool CKeyboardUtil::holdLock() {
    if (held) {
        return true;
    }
    held = lockExchange();
    return held;
}

void CKeyboardUtil::releaseHold() {
    if (held) {
        held = false;
        unlockExchange();
    }
}

bool CKeyboardUtil::readReport(std::uint8_t* buffer, int& length, int timeoutMs) {
    if (handle == nullptr || buffer == nullptr || length < 0) {
        return false;
    }
    std::uint8_t report[kReportSize] = {};
    int received = handle->read(report, sizeof report, timeoutMs);
    if (received <= 0) {
        return false;
    }
    std::memcpy(buffer, report + 1, std::min<int>(length, kPayloadSize));
    length = std::max(length, received - 1);
    return true;
}

void CKeyboardUtil::discardPendingReports(bool afterFailure) {
    if (handle == nullptr || (handle->discardPending() == 0 && !afterFailure)) {
        return;
    }
    // Left-over answers mean an exchange stopped early while the keyboard went on answering it
    // (a cancelled key read gets the rest of all 216 records): wait until it has gone quiet, so
    // the next exchange reads only its own answers. Bounded, for a keyboard that never stops.
    constexpr int kQuietMs = 100;
    constexpr auto kLongest = std::chrono::milliseconds(3000);
    const auto giveUp = std::chrono::steady_clock::now() + kLongest;
    std::uint8_t scratch[kReportSize];
    while (std::chrono::steady_clock::now() < giveUp &&
           handle->read(scratch, sizeof scratch, kQuietMs) > 0) {
        handle->discardPending();
    }
}

bool CTravoUtil::readVersion(char16_t* buffer) {
    if (buffer == nullptr) {
        return false;
    }
    buffer[0] = u'\0';
    std::uint8_t request[kReportSize] = {kReportId, 0x00, kVersionRequest};
    if (cancelled() || !writeReport(request, kReportSize)) {
        return false;
    }
    std::uint8_t answer[kPayloadSize] = {};
    int length = kPayloadSize;
    if (cancelled() || !readReport(answer, length, kReadTimeoutMs)) {
        return false;
    }
    // Something else answered: whatever its bytes 2-63 hold, they are not a version.
    if (answer[0] == kKeyEnd || answer[kTagAt] == kKeyRecord || answer[kTagAt] == kLightChunk ||
        answer[kTagAt] == kLightEnd) {
        return false;
    }
    // Latin-1 maps byte for byte onto the first 256 UTF-16 units; the first zero ends the text,
    // and a text of all 62 bytes still gets its terminator.
    std::size_t i = 0;
    for (; i < kVersionTextMax && answer[kVersionTextOffset + i] != 0; ++i) {
        buffer[i] = static_cast<char16_t>(answer[kVersionTextOffset + i]);
    }
    buffer[i] = u'\0';
    return true;
}
