// SPDX-License-Identifier: GPL-2.0-or-later
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <mutex>
#include <string>
#include <string_view>

#include "Discovery.h"
#include "Firmware.h"
#include "KeyConfiguration.h"
#include "KeyboardUtil.h"
#include "OskelHWI.h"
#include "Travo.h"
#include "VirtualDeviceFolder.h"

using namespace oskel::hid;

// Recursive: a notify target that calls back into the object from post() on the exchanging
// thread must not deadlock it.
struct CTravoHWI::ExchangeState {
    std::recursive_mutex lock;
    std::atomic<bool> cancel{false};
    // The last exchange stopped early: the keyboard may still be answering it.
    bool lastFailed = false;
    // The last exchange never started: another program held the keyboard.
    bool busy = false;
};

CTravoHWI::CTravoHWI()
    : transport(nullptr),
      device(nullptr),
      hardwareVersion{},
      exchange(std::make_shared<ExchangeState>()),
      ownsDevice(false),
      lastOpenError(0) {}

CTravoHWI::~CTravoHWI() {
    __closeDev();
}

CTravoHWI& CTravoHWI::operator=(const CTravoHWI& other) {
    if (this == &other) {
        return *this;
    }
    __closeDev();
    std::lock_guard lock(other.exchange->lock);
    transport = other.transport;
    device = other.device;
    std::copy(std::begin(other.hardwareVersion), std::end(other.hardwareVersion), hardwareVersion);
    exchange = other.exchange;
    ownsDevice = false;
    lastOpenError = other.lastOpenError;
    return *this;
}

template <typename Exchange>
bool CTravoHWI::runExchange(Exchange run) {
    std::lock_guard lock(exchange->lock);
    if (device == nullptr) {
        return false;
    }
    exchange->cancel = false;
    if (!transport->lockExchange()) {
        exchange->busy = !transport->cancelled();  // a cancel ends the wait, not another program
        return false;
    }
    exchange->busy = false;
    transport->discardPendingReports(exchange->lastFailed);
    exchange->lastFailed = !run();
    transport->unlockExchange();
    return !exchange->lastFailed;
}

std::string CTravoHWI::detectedDevicePath() {
    return firstKeyboardPath(listDevicePaths());
}

bool CTravoHWI::DetectDevice() {
    return !detectedDevicePath().empty();
}

bool CTravoHWI::__createDev() {
    if (isOpen()) {
        return true;
    }
    // The search only enumerates; it runs outside the lock like DetectDevice.
    std::string path = detectedDevicePath();
    std::lock_guard lock(exchange->lock);
    if (device != nullptr) {
        return true;
    }
    if (path.empty()) {
        lastOpenError = ENODEV;
        return false;
    }
    auto* util = new CTravoUtil(path);
    util->setCancelFlag(&exchange->cancel);
    lastOpenError = util->openError();
    transport = util;
    device = new CTravo(util);
    ownsDevice = true;
    exchange->lastFailed = false;
    return true;
}

bool CTravoHWI::__closeDev() {
    std::unique_lock lock(exchange->lock, std::try_to_lock);
    if (!lock.owns_lock()) {
        // An exchange runs on another thread: stop it rather than wait for all of it. A copy
        // that does not own the device leaves the owner's exchange alone.
        if (ownsDevice) {
            exchange->cancel = true;
        }
        lock.lock();
    }
    if (ownsDevice) {
        delete device;
        delete transport;
    }
    device = nullptr;
    transport = nullptr;
    ownsDevice = false;
    return true;
}

bool CTravoHWI::prepare() {
    std::lock_guard lock(exchange->lock);
    if (device != nullptr) {
        device->clearSlots();
    }
    return true;
}

bool CTravoHWI::setKeyConfiguration(int level, int key, const int* config, int /*count*/) {
    std::lock_guard lock(exchange->lock);
    if (device == nullptr || (level != 0 && level != 1) || !validKey(key)) {
        return false;
    }
    auto definition = keyDefineFromConfiguration(level + 1, key, config);
    if (definition != nullptr) {
        device->setSlot(level + 1, key, std::move(definition));
    }
    return false;
}

bool CTravoHWI::getKeyConfiguration(int level, int key, int* config, int capacity) {
    std::lock_guard lock(exchange->lock);
    if (device != nullptr && (level == 0 || level == 1) && validKey(key)) {
        configurationFromKeyDefine(device->slot(level + 1, key), config, capacity);
    }
    return true;
}

bool CTravoHWI::setKeyboardLightArea(const int* lights) {
    if (lights == nullptr) {
        return false;
    }
    return runExchange([&] {
        for (std::size_t i = 0; i < device->lights.size(); ++i) {
            device->lights[i] = static_cast<std::uint8_t>(lights[i] & 0xFF);
        }
        return device->writeLights();
    });
}

bool CTravoHWI::getKeyboardLightArea(int* lights) {
    std::lock_guard lock(exchange->lock);
    if (device != nullptr && lights != nullptr) {
        std::copy(device->lights.begin(), device->lights.end(), lights);
    }
    return true;
}

bool CTravoHWI::writeKeyConfigurationToDev(WindowHandle window) {
    return runExchange([&] { return device->writeAllKeys(window); });
}

bool CTravoHWI::readKeyDefinationFromDev(WindowHandle window) {
    return runExchange([&] { return device->readAllKeys(window); });
}

bool CTravoHWI::readKeyLightFromDev() {
    return runExchange([&] { return device->readLights(); });
}

bool CTravoHWI::WriteFirmwareToKeyboard(const char* text, int length, WindowHandle window) {
    return runExchange([&] { return downloadFirmware(transport, text, length, window); });
}

std::string CTravoHWI::firmwareFault(const char* text, int length) {
    if (text == nullptr || length <= 0) {
        return "the file " + std::string(oskel::hid::kNoFirmwareRecords);
    }
    const oskel::hid::FirmwareText checked =
        oskel::hid::checkFirmwareText(std::string_view(text, static_cast<std::size_t>(length)));
    if (checked.valid) {
        return {};
    }
    if (checked.fault == oskel::hid::kNoFirmwareRecords ||
        checked.fault == oskel::hid::kNoEndOfFileRecord) {
        return "the file " + checked.fault;
    }
    return "line " + std::to_string(checked.faultLine) + ": " + checked.fault;
}

bool CTravoHWI::ReadKeyboardVersion(char16_t* buffer) {
    if (buffer == nullptr) {
        return false;
    }
    buffer[0] = u'\0';
    return runExchange([&] { return transport->readVersion(buffer); });
}

const char16_t* CTravoHWI::getHardwareVersion() {
    ReadKeyboardVersion(hardwareVersion);
    return hardwareVersion;
}

bool CTravoHWI::holdKeyboard() {
    std::lock_guard lock(exchange->lock);
    if (device == nullptr) {
        return false;
    }
    exchange->cancel = false;
    if (!transport->holdLock()) {
        exchange->busy = !transport->cancelled();
        return false;
    }
    exchange->busy = false;
    return true;
}

void CTravoHWI::releaseKeyboard() {
    std::lock_guard lock(exchange->lock);
    if (transport != nullptr) {
        transport->releaseHold();
    }
}

void CTravoHWI::cancelTransfer() {
    exchange->cancel = true;
}

bool CTravoHWI::keyboardBusy() const {
    return exchange->busy;
}

int CTravoHWI::openError() const {
    return lastOpenError;
}

std::string CTravoHWI::virtualKeyboardFolder() {
    return virtualDeviceFolder();
}

bool CTravoHWI::isOpen() const {
    std::lock_guard lock(exchange->lock);
    return device != nullptr;
}
