// SPDX-License-Identifier: GPL-2.0-or-later
// The sleep and shutdown lock around the device steps, against a virtual keyboard in-process and
// python3-dbusmock's logind on a private system bus: taken before a write's or a download's
// first report, held at its last, released when the sequence ends however it ends; without a
// bus the transfer runs all the same.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "DeviceSteps.h"
#include "KeyTables.h"
#include "KeyboardConfig.h"
#include "OskelTestSupport.h"
#include "PrivateSystemBus.h"
#include "VirtualKeyboard.h"

namespace {

using oskeltest::InhibitorLock;
using oskeltest::PrivateSystemBus;

const char* const kWriting = "Writing to the keyboard";
const char* const kFirmware = "Updating the keyboard's firmware";

// The project's small firmware image of 12 records.
std::string image() {
    return oskeltest::goodFirmwareImages()[0].text();
}

// Looks at logind's locks when a step starts (before its first report) and at every progress
// message (after each report); may stop the sequence after `stopAfter` progress messages.
class LockWatch : public StepObserver, public NotifyTarget {
public:
    LockWatch(const PrivateSystemBus& bus, CTravoHWI& keyboard) : bus(bus), keyboard(keyboard) {}

    WindowHandle stepStarting(DeviceStep) override {
        std::lock_guard lock(mutex);
        atStart.push_back(bus.inhibitors());
        return this;
    }
    void post(unsigned message, std::uintptr_t, std::intptr_t) override {
        if (message != WM_TRANSFER_PROGRESS) {
            return;
        }
        std::vector<InhibitorLock> now = bus.inhibitors();
        std::lock_guard lock(mutex);
        if (progress == 0) {
            atFirstReport = now;
        }
        atLastReport = std::move(now);
        if (++progress == stopAfter) {
            stopping = true;
            keyboard.cancelTransfer();
        }
    }
    bool stopRequested() override { return stopping; }
    bool pause(std::chrono::milliseconds) override { return !stopping; }

    const PrivateSystemBus& bus;
    CTravoHWI& keyboard;
    std::mutex mutex;
    std::vector<std::vector<InhibitorLock>> atStart;
    std::vector<InhibitorLock> atFirstReport, atLastReport;
    int progress = 0;
    int stopAfter = -1;
    std::atomic<bool> stopping{false};
};

class SleepLockAroundSteps : public testing::Test {
protected:
    void SetUp() override {
        if (!PrivateSystemBus::installed()) {
            GTEST_SKIP() << "dbus-daemon or python3-dbusmock is not installed";
        }
        char pattern[] = "/tmp/oskel-core-sleep-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        folder = pattern;
        ::setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
        ::setenv("OSKEL_NO_HIDRAW", "1", 1);
        oskel::VirtualKeyboardOptions options;
        options.dir = folder + "/oskel/hid";
        virtualKeyboard = std::make_unique<oskel::VirtualKeyboard>(options);
        ASSERT_TRUE(virtualKeyboard->start()) << virtualKeyboard->error();
        config = std::make_unique<KeyboardConfig>();
        buildKeyTables(*config);
        config->clear();
        config->slot(1, 0).mode = Single;
        config->slot(1, 0).hwCode = 2;
        ASSERT_TRUE(config->keyboard.__createDev());
        ASSERT_TRUE(bus.start()) << "the private bus did not come up";
        ASSERT_TRUE(bus.startLogind()) << "the logind mock did not come up";
        watch = std::make_unique<LockWatch>(bus, config->keyboard);
    }
    void TearDown() override {
        watch.reset();
        config.reset();
        virtualKeyboard.reset();
        bus.stop();
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }

    static std::vector<InhibitorLock> locked(const char* why) {
        return {{"sleep:shutdown", "Oskel", why, "block"}};
    }

    StepsResult writeKeys() {
        WriteRequest request;
        request.lights = true;
        return writeToKeyboard(*config, request, config->settleTimes, *watch);
    }

    std::string folder;
    PrivateSystemBus bus;
    std::unique_ptr<oskel::VirtualKeyboard> virtualKeyboard;
    std::unique_ptr<KeyboardConfig> config;
    std::unique_ptr<LockWatch> watch;
};

TEST_F(SleepLockAroundSteps, AWriteHoldsItFromBeforeTheFirstReportToAfterTheLast) {
    const StepsResult result = writeKeys();
    EXPECT_EQ(result.outcome, StepsOutcome::Done);
    ASSERT_EQ(watch->atStart.size(), 2u);  // keys, then lights
    EXPECT_EQ(watch->atStart[0], locked(kWriting));
    EXPECT_EQ(watch->atStart[1], locked(kWriting));
    EXPECT_EQ(watch->atFirstReport, locked(kWriting));
    EXPECT_EQ(watch->atLastReport, locked(kWriting));
    EXPECT_GE(watch->progress, 200);
    EXPECT_TRUE(bus.inhibitorsOnce(0).empty()) << "still held after the write";
}

TEST_F(SleepLockAroundSteps, AFirmwareDownloadHoldsItsOwnLock) {
    const StepsResult result = downloadFirmware(*config, image(), *watch);
    EXPECT_EQ(result.outcome, StepsOutcome::Done);
    ASSERT_EQ(watch->atStart.size(), 1u);
    EXPECT_EQ(watch->atStart[0], locked(kFirmware));
    EXPECT_EQ(watch->atLastReport, locked(kFirmware));
    EXPECT_EQ(watch->progress, 12);
    EXPECT_TRUE(bus.inhibitorsOnce(0).empty()) << "still held after the download";
}

// The keyboard unplugged in the middle, or the user's cancel: released all the same.
TEST_F(SleepLockAroundSteps, ReleasedWhenTheTransferFailsOrIsCancelled) {
    virtualKeyboard->setDropAfter(20);
    EXPECT_EQ(writeKeys().outcome, StepsOutcome::Failed);
    EXPECT_EQ(watch->atFirstReport, locked(kWriting));
    EXPECT_TRUE(bus.inhibitorsOnce(0).empty()) << "still held after the keyboard went away";

    virtualKeyboard->setDropAfter(0);
    config->keyboard.__closeDev();
    ASSERT_TRUE(config->keyboard.__createDev());
    watch = std::make_unique<LockWatch>(bus, config->keyboard);
    watch->stopAfter = 10;
    EXPECT_EQ(writeKeys().outcome, StepsOutcome::Stopped);
    EXPECT_EQ(watch->atFirstReport, locked(kWriting));
    EXPECT_LT(watch->progress, 216);
    EXPECT_TRUE(bus.inhibitorsOnce(0).empty()) << "still held after the cancel";

    watch = std::make_unique<LockWatch>(bus, config->keyboard);
    watch->stopAfter = 1;
    EXPECT_EQ(downloadFirmware(*config, image(), *watch).outcome, StepsOutcome::Stopped);
    EXPECT_TRUE(bus.inhibitorsOnce(0).empty()) << "still held after a cancelled download";
}

// Containers and systems without logind: no lock, and the transfer runs as ever.
TEST_F(SleepLockAroundSteps, WithoutLogindOrABusTheTransferRuns) {
    bus.stopLogind();
    EXPECT_EQ(writeKeys().outcome, StepsOutcome::Done);
    EXPECT_GE(watch->progress, 200);
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/system_bus_socket", 1);
    watch = std::make_unique<LockWatch>(bus, config->keyboard);
    EXPECT_EQ(downloadFirmware(*config, image(), *watch).outcome, StepsOutcome::Done);
    EXPECT_EQ(watch->progress, 12);
    EXPECT_EQ(virtualKeyboard->firmwareLines().size(), 12u);
}

}  // namespace
