// SPDX-License-Identifier: GPL-2.0-or-later
// The device library through the kernel's door: the keyboard as a USB device in a umockdev
// testbed, found through libudev and talked to through hidapi's hidraw backend, against the
// same keyboard behind its socket.
#include <gtest/gtest.h>
#include <hidapi.h>
#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "Discovery.h"
#include "OskelHWI.h"
#include "TestSupport.h"
#include "UsbKeyboard.h"
#include "VirtualKeyboard.h"

using namespace oskeltest;

namespace {

std::vector<std::string> keyboardPaths() {
    std::vector<std::string> found;
    for (const std::string& path : oskel::hid::listDevicePaths()) {
        if (oskel::hid::isKeyboardDevicePath(path)) {
            found.push_back(path);
        }
    }
    return found;
}

std::string hidrawPath(const std::string& node) {
    return "hidraw#vid_0483&pid_5022&mi_01#" + node;
}

std::string versionOf(CTravoHWI& device) {
    char16_t text[64] = {};
    if (!device.ReadKeyboardVersion(text)) {
        return "(failed)";
    }
    std::string out;
    for (const char16_t* c = text; *c != 0; ++c) {
        out += static_cast<char>(*c);
    }
    return out;
}

std::vector<int> keyOf(CTravoHWI& device, int level, int key) {
    std::vector<int> config(400, -1);
    device.getKeyConfiguration(level, key, config.data(), static_cast<int>(config.size()));
    return config;
}

// One key of every kind, a macro long enough to span several reports, and a backlight.
void fillProfile(CTravoHWI& device, int lights[kLightArrayLength]) {
    const int single[] = {0, 1, 0x3A};
    const int combo[] = {0, 2, 0xE0, 0x06};
    const int typed[] = {1, 40, 3, 0x0B, 0x0C, 0x0D};
    std::vector<int> macro = {2, 1, 3, 1, 0, 80};
    for (int i = 0; i < 80; ++i) {
        macro.push_back(4 + i % 30);
        if (i + 1 < 80) {
            macro.push_back(10 + i);
        }
    }
    device.setKeyConfiguration(0, 1, single, 3);
    device.setKeyConfiguration(1, 5, combo, 4);
    device.setKeyConfiguration(0, 20, typed, 6);
    device.setKeyConfiguration(0, 30, macro.data(), static_cast<int>(macro.size()));
    for (int i = 0; i < kLightArrayLength; ++i) {
        lights[i] = (i * 7) % 256;
    }
}

// What one program sees and the keyboard took: write keys and backlight, then a second program
// reads everything and the version.
struct Outcome {
    std::vector<oskel::Payload> log;
    std::vector<std::vector<int>> keys;
    std::vector<int> lights;
    std::string version;
    bool ok = false;
};

Outcome writeThenReadBack(oskel::EmulatedKeyboard& keyboard) {
    Outcome outcome;
    CTravoHWI writer;
    int lights[kLightArrayLength];
    if (!writer.__createDev() || writer.openError() != 0) {
        return outcome;
    }
    fillProfile(writer, lights);
    const bool wrote =
        writer.writeKeyConfigurationToDev(nullptr) && writer.setKeyboardLightArea(lights);
    writer.__closeDev();
    CTravoHWI reader;
    reader.__createDev();
    const bool read = reader.readKeyDefinationFromDev(nullptr) && reader.readKeyLightFromDev();
    outcome.version = versionOf(reader);
    for (int level = 0; level < 2; ++level) {
        for (int key = 1; key <= 108; ++key) {
            outcome.keys.push_back(keyOf(reader, level, key));
        }
    }
    outcome.lights.assign(kLightArrayLength, -1);
    reader.getKeyboardLightArea(outcome.lights.data());
    outcome.log = keyboard.receivedReports();
    outcome.ok = wrote && read;
    return outcome;
}

// Pulls the cable once the transfer has come as far as `slot`.
class PullAt : public NotifyTarget {
public:
    PullAt(oskel::UsbKeyboard& keyboard, std::uintptr_t slot) : keyboard(keyboard), slot(slot) {}
    void post(unsigned message, std::uintptr_t wParam, std::intptr_t) override {
        if (message == WM_TRANSFER_PROGRESS && wParam >= slot && !pulled.exchange(true)) {
            keyboard.unplug();
        }
    }
    std::atomic<bool> pulled{false};

private:
    oskel::UsbKeyboard& keyboard;
    std::uintptr_t slot;
};

class UsbDoor : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(runtime.path.empty());
        // No sockets in this runtime folder; the testbed's /sys holds the only hidraw devices.
        ::setenv("XDG_RUNTIME_DIR", runtime.path.c_str(), 1);
        ::unsetenv("OSKEL_NO_HIDRAW");
        ASSERT_TRUE(testbed.ok());
    }

    std::unique_ptr<oskel::UsbKeyboard> plugged(oskel::VirtualKeyboardOptions options = {},
                                                oskel::UsbDeviceIds ids = {}) {
        auto keyboard = std::make_unique<oskel::UsbKeyboard>(testbed, options, ids);
        EXPECT_TRUE(keyboard->plug()) << keyboard->error();
        return keyboard;
    }

    TempFolder runtime;
    oskel::UsbTestbed testbed;
};

TEST_F(UsbDoor, DiscoveryTakesOnlyTheConfigurationInterfaceOfTheRightIds) {
    oskel::VirtualKeyboardOptions first;
    first.version = "FIRST V1.00";
    auto keyboard = plugged(first);
    oskel::UsbDeviceIds otherIds;
    otherIds.productId = 0x5023;
    auto other = plugged({}, otherIds);
    oskel::VirtualKeyboardOptions second;
    second.version = "SECOND V1.00";
    auto secondKeyboard = plugged(second);

    const std::vector<std::string> all = oskel::hid::listDevicePaths();
    // Both interfaces of all three devices are there, as hidapi sees them...
    EXPECT_EQ(all.size(), 6u) << testing::PrintToString(all);
    EXPECT_NE(
        std::find(all.begin(), all.end(), "hidraw#vid_0483&pid_5022&mi_00#" + keyboard->bootNode()),
        all.end())
        << testing::PrintToString(all);
    EXPECT_NE(std::find(all.begin(), all.end(), "hidraw#vid_0483&pid_5023&mi_01#" + other->node()),
              all.end())
        << testing::PrintToString(all);
    // ...but only interface 01 of the two keyboards is one, the first plugged in first.
    EXPECT_EQ(keyboardPaths(), (std::vector<std::string>{hidrawPath(keyboard->node()),
                                                         hidrawPath(secondKeyboard->node())}));
    CTravoHWI device;
    EXPECT_EQ(device.detectedDevicePath(), hidrawPath(keyboard->node()));
    ASSERT_TRUE(device.__createDev());
    EXPECT_EQ(device.openError(), 0);
    EXPECT_EQ(versionOf(device), "FIRST V1.00");
    EXPECT_EQ(other->receivedCount(), 0u);
    EXPECT_EQ(secondKeyboard->receivedCount(), 0u);

    // The first one unplugged, the second is the keyboard.
    device.__closeDev();
    keyboard->unplug();
    EXPECT_EQ(keyboardPaths(), std::vector<std::string>{hidrawPath(secondKeyboard->node())});
    ASSERT_TRUE(device.__createDev());
    EXPECT_EQ(versionOf(device), "SECOND V1.00");
}

TEST_F(UsbDoor, NoKeyboardWhenOnlyOtherIdsArePlugged) {
    oskel::UsbDeviceIds otherVendor;
    otherVendor.vendorId = 0x0484;
    auto other = plugged({}, otherVendor);
    EXPECT_TRUE(keyboardPaths().empty());
    CTravoHWI device;
    EXPECT_FALSE(device.DetectDevice());
    EXPECT_FALSE(device.__createDev());
}

TEST_F(UsbDoor, WritesAndReadsAsThroughTheSocket) {
    Outcome throughSocket;
    {
        // The socket keyboard alone: hidraw left out, the runtime folder its own.
        TempFolder socketRuntime;
        ::setenv("XDG_RUNTIME_DIR", socketRuntime.path.c_str(), 1);
        ::setenv("OSKEL_NO_HIDRAW", "1", 1);
        oskel::VirtualKeyboardOptions options;
        options.dir = socketRuntime.path + "/oskel/hid";
        oskel::VirtualKeyboard keyboard(options);
        ASSERT_TRUE(keyboard.start()) << keyboard.error();
        throughSocket = writeThenReadBack(keyboard);
        ::setenv("XDG_RUNTIME_DIR", runtime.path.c_str(), 1);
        ::unsetenv("OSKEL_NO_HIDRAW");
    }
    auto keyboard = plugged();
    const Outcome throughUsb = writeThenReadBack(*keyboard);
    ASSERT_TRUE(throughSocket.ok);
    ASSERT_TRUE(throughUsb.ok);
    EXPECT_EQ(throughUsb.version, "OSKEL-108 V1.00");
    EXPECT_EQ(throughUsb.version, throughSocket.version);
    // Begin, 216 records (the macro in several), end; the light write; three requests.
    EXPECT_GT(throughUsb.log.size(), 230u);
    EXPECT_EQ(throughUsb.log, throughSocket.log);
    EXPECT_EQ(throughUsb.keys, throughSocket.keys);
    EXPECT_EQ(throughUsb.lights, throughSocket.lights);
    EXPECT_EQ(throughUsb.keys[29][0], 2) << "the macro on key 30 came back";
}

// The cable pulled while the keys go out, and while they come back: the exchange fails at
// once, the keyboard is gone from the list, and found again once it is plugged back in.
TEST_F(UsbDoor, CablePulledMidTransferFailsAndReplugIsFound) {
    auto keyboard = plugged();
    struct Case {
        const char* name;
        bool write;
    };
    for (const Case& c : {Case{"write", true}, Case{"read", false}}) {
        SCOPED_TRACE(c.name);
        CTravoHWI device;
        ASSERT_TRUE(device.__createDev());
        int lights[kLightArrayLength];
        fillProfile(device, lights);
        const int late[] = {0, 1, 0x29};
        device.setKeyConfiguration(0, 100, late, 3);
        const std::vector<int> before = keyOf(device, 0, 100);
        PullAt pull(*keyboard, 60);
        const auto started = std::chrono::steady_clock::now();
        const bool done = c.write ? device.writeKeyConfigurationToDev(&pull)
                                  : device.readKeyDefinationFromDev(&pull);
        EXPECT_FALSE(done);
        EXPECT_TRUE(pull.pulled);
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
        EXPECT_FALSE(device.DetectDevice());
        // The key past the point of the pull is as the program had it.
        EXPECT_EQ(keyOf(device, 0, 100), before);
        // Later exchanges on the old handle fail too, without waiting.
        EXPECT_EQ(versionOf(device), "(failed)");
        device.__closeDev();

        ASSERT_TRUE(keyboard->plug()) << keyboard->error();
        ASSERT_TRUE(device.__createDev());
        EXPECT_EQ(device.openError(), 0);
        EXPECT_EQ(versionOf(device), "OSKEL-108 V1.00");
    }
    EXPECT_EQ(keyboard->unplugCount(), 2);
}

// --drop-after: the keyboard pulls its own cable after the n-th report and takes nothing past
// it; with a replug delay it comes back by itself.
TEST_F(UsbDoor, DropAfterPullsTheCableAndReplugsItself) {
    oskel::VirtualKeyboardOptions options;
    options.dropAfter = 40;
    auto keyboard = plugged(options);
    keyboard->setReplugAfter(std::chrono::milliseconds(300));
    CTravoHWI device;
    ASSERT_TRUE(device.__createDev());
    EXPECT_FALSE(device.writeKeyConfigurationToDev(nullptr));
    EXPECT_EQ(keyboard->receivedCount(), 40u);
    device.__closeDev();
    bool back = false;
    for (int i = 0; i < 500 && !back; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        back = keyboard->plugged();
    }
    ASSERT_TRUE(back);
    keyboard->setDropAfter(0);
    ASSERT_TRUE(device.__createDev());
    EXPECT_EQ(versionOf(device), "OSKEL-108 V1.00");
}

// Like hidraw: every opener gets every input report, the one that asked all of them and
// another at most the kernel's 64 unread.
TEST_F(UsbDoor, EveryOpenerGetsTheInputReports) {
    auto keyboard = plugged();
    ASSERT_EQ(hid_init(), 0);
    hid_device* asker = hid_open_path(keyboard->node().c_str());
    hid_device* listener = hid_open_path(keyboard->node().c_str());
    ASSERT_NE(asker, nullptr);
    ASSERT_NE(listener, nullptr);
    unsigned char request[65] = {0x00, 0x00, 0xF9};
    ASSERT_EQ(hid_write(asker, request, sizeof request), 65);
    for (hid_device* reader : {asker, listener}) {
        unsigned char answer[64] = {};
        ASSERT_EQ(hid_read_timeout(reader, answer, sizeof answer, 5000), 64);
        EXPECT_EQ(answer[1], 0xF9);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(answer + 2)), "OSKEL-108 V1.00");
        EXPECT_EQ(hid_read_timeout(reader, answer, sizeof answer, 0), 0) << "one answer only";
    }
    // A key read: 216 records and the end marker.
    request[2] = 0xF2;
    ASSERT_EQ(hid_write(asker, request, sizeof request), 65);
    auto drain = [](hid_device* reader) {
        int count = 0;
        unsigned char answer[64];
        while (hid_read_timeout(reader, answer, sizeof answer, 200) == 64) {
            ++count;
        }
        return count;
    };
    EXPECT_EQ(drain(asker), 217);
    EXPECT_EQ(drain(listener), 64);
    hid_close(asker);
    hid_close(listener);
}

// Two programs on one keyboard: the exchange lock (taken on the node) keeps their reports
// apart, and both get through.
TEST_F(UsbDoor, TwoProgramsNeverInterleave) {
    auto keyboard = plugged();
    CTravoHWI first;
    CTravoHWI second;
    ASSERT_TRUE(first.__createDev());
    ASSERT_TRUE(second.__createDev());
    int lights[kLightArrayLength];
    fillProfile(first, lights);
    std::atomic<int> failures{0};
    auto writeKeys = [&](CTravoHWI& device) {
        for (int i = 0; i < 3; ++i) {
            if (!device.writeKeyConfigurationToDev(nullptr)) {
                ++failures;
            }
        }
    };
    std::thread a([&] { writeKeys(first); });
    std::thread b([&] { writeKeys(second); });
    a.join();
    b.join();
    EXPECT_EQ(failures, 0);
    // Six whole transfers, one after another: each begins with F1 and ends with the F6 report.
    const auto log = keyboard->receivedReports();
    int begins = 0;
    bool inTransfer = false;
    for (const oskel::Payload& report : log) {
        if (report[1] == 0xF1) {
            EXPECT_FALSE(inTransfer) << "a transfer began inside another";
            inTransfer = true;
            ++begins;
        } else if (report[1] == 0xF6) {
            inTransfer = false;
        }
    }
    EXPECT_EQ(begins, 6);
    EXPECT_FALSE(first.keyboardBusy());
    EXPECT_FALSE(second.keyboardBusy());
}

}  // namespace

int main(int argc, char** argv) {
    oskel::reexecUnderUmockdev(argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
