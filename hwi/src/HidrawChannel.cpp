// SPDX-License-Identifier: GPL-2.0-or-later
// Reports over a hidraw interface through hidapi.
#include <fcntl.h>
#include <hidapi.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>

#include "HidapiLock.h"
#include "ReportChannel.h"

namespace oskel::hid {

namespace {

class HidrawChannel : public ReportChannel {
public:
    explicit HidrawChannel(hid_device* device) : device(device) {}
    ~HidrawChannel() override {
        std::lock_guard lock(hidapiLock());
        hid_close(device);
    }

    // A hidraw write returns once the report went out to the keyboard (the kernel bounds it
    // with its own USB timeout), so there is no queue to wait for afterwards.
    bool write(const std::uint8_t* report, std::size_t length, int) override {
        return hid_write(device, report, length) == static_cast<int>(length);
    }

    bool waitUntilTaken(int) override { return true; }

    // hidraw hands over the payload without the report id (the interface numbers no reports);
    // the id is put back in front so both kinds of channel deliver the same report.
    int read(std::uint8_t* report, std::size_t capacity, int timeoutMs) override {
        if (capacity < 2) {
            return -1;
        }
        int received = hid_read_timeout(device, report + 1, capacity - 1, timeoutMs);
        if (received <= 0) {
            return -1;
        }
        report[0] = 0x00;
        return received + 1;
    }

    int discardPending() override {
        std::uint8_t scratch[128];
        int dropped = 0;
        while (hid_read_timeout(device, scratch, sizeof scratch, 0) > 0) {
            ++dropped;
        }
        return dropped;
    }

private:
    hid_device* device;
};

}  // namespace

std::unique_ptr<ReportChannel> openHidrawChannel(const std::string& hidapiPath, int& error) {
    // hidapi gives no errno for a failed open; trying the node first tells a keyboard that this
    // user may not open (EACCES) from one that went away (ENOENT).
    int probe = ::open(hidapiPath.c_str(), O_RDWR | O_CLOEXEC);
    if (probe < 0) {
        error = errno;
        return nullptr;
    }
    ::close(probe);
    std::lock_guard lock(hidapiLock());
    if (hid_init() != 0) {
        error = EIO;
        return nullptr;
    }
    hid_device* device = hid_open_path(hidapiPath.c_str());
    if (device == nullptr) {
        error = errno != 0 ? errno : EIO;
        return nullptr;
    }
    error = 0;
    return std::make_unique<HidrawChannel>(device);
}

}  // namespace oskel::hid
