// SPDX-License-Identifier: GPL-2.0-or-later
// CTravoHWI end to end against the in-process virtual keyboard.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include "VirtualKeyboardFixture.h"

using namespace oskeltest;

namespace {

std::vector<int> getKey(CTravoHWI& device, int level, int key, int capacity = 400) {
    std::vector<int> config(capacity, -1);
    device.getKeyConfiguration(level, key, config.data(), capacity);
    return config;
}

bool startsWith(const std::vector<int>& config, const std::vector<int>& prefix) {
    return std::equal(prefix.begin(), prefix.end(), config.begin());
}

std::vector<int> longMacro(int steps) {
    std::vector<int> config = {2, 2, 5, 1, 0, steps};
    for (int i = 0; i < steps; ++i) {
        config.push_back(4 + i % 100);
        if (i + 1 < steps)
            config.push_back(10 + i);
    }
    return config;
}

using DeviceNoKeyboard = VirtualKeyboardTest;

TEST_F(DeviceNoKeyboard, NothingAttachedNothingOpens) {
    EXPECT_FALSE(device.DetectDevice());
    EXPECT_EQ(device.detectedDevicePath(), "");
    EXPECT_FALSE(device.__createDev());
    EXPECT_EQ(device.openError(), ENODEV);
    EXPECT_FALSE(device.isOpen());
    // A closed device runs no exchange and stores nothing.
    int lights[kLightArrayLength] = {};
    char16_t version[64] = {u'x'};
    EXPECT_FALSE(device.writeKeyConfigurationToDev(nullptr));
    EXPECT_FALSE(device.readKeyDefinationFromDev(nullptr));
    EXPECT_FALSE(device.readKeyLightFromDev());
    EXPECT_FALSE(device.setKeyboardLightArea(lights));
    EXPECT_FALSE(device.ReadKeyboardVersion(version));
    EXPECT_EQ(version[0], u'\0');
    EXPECT_FALSE(device.WriteFirmwareToKeyboard(":00000001FF\r\n", 13, nullptr));
    EXPECT_TRUE(device.__closeDev());
}

using DeviceTransfer = VirtualKeyboardTest;

TEST_F(DeviceTransfer, DetectsOpensOnceAndCloses) {
    startAndOpen();
    EXPECT_TRUE(device.DetectDevice());
    EXPECT_EQ(device.detectedDevicePath(), keyboard->socketPath());
    EXPECT_TRUE(device.__createDev());
    EXPECT_TRUE(device.isOpen());
    settle();
    EXPECT_EQ(keyboard->connectionCount(), 1);
    EXPECT_TRUE(device.__closeDev());
    EXPECT_FALSE(device.isOpen());
    EXPECT_TRUE(device.__closeDev());
}

TEST_F(DeviceTransfer, KeysWrittenAreStoredAndReadBack) {
    startAndOpen();
    const std::vector<std::pair<std::pair<int, int>, std::vector<int>>> keys = {
        {{0, 5}, {0, 2, 0x82, 0x82}},
        {{0, 108}, {1, 40, 3, 4, 5, 6}},
        {{1, 1}, {2, 1, 3, 1, 20, 2, 4, 100, 5}},
        {{1, 108}, longMacro(300)},
    };
    device.prepare();
    for (const auto& [slot, config] : keys) {
        EXPECT_FALSE(device.setKeyConfiguration(slot.first, slot.second, config.data(),
                                                static_cast<int>(config.size())));
    }
    MessageLog window;
    ASSERT_TRUE(device.writeKeyConfigurationToDev(&window));
    EXPECT_EQ(window.progress().size(), 216u);
    settle();
    EXPECT_EQ(keyboard->slotRecord(1, 5),
              (std::vector<oskel::Payload>{payloadFromHex("00F0 0105 00 02 8282")}));
    EXPECT_EQ(keyboard->slotRecord(2, 108).size(), 23u);  // L = 1197: 23 reports
    EXPECT_EQ(keyboard->slotRecord(1, 6),
              (std::vector<oskel::Payload>{payloadFromHex("00F0 0106")}));

    // A fresh connection and an emptied working copy: everything comes from the keyboard,
    // which serves one connection after another.
    device.__closeDev();
    CTravoHWI reader;
    ASSERT_TRUE(reader.__createDev());
    MessageLog readProgress;
    ASSERT_TRUE(reader.readKeyDefinationFromDev(&readProgress));
    EXPECT_EQ(readProgress.progress().size(), 216u);
    for (const auto& [slot, config] : keys) {
        EXPECT_TRUE(startsWith(getKey(reader, slot.first, slot.second, 1000), config))
            << slot.first << "/" << slot.second;
    }
    EXPECT_TRUE(startsWith(getKey(reader, 0, 6), {0, 0, -1}));
}

TEST_F(DeviceTransfer, PreparedSlotsReadAsEmpty) {
    startAndOpen();
    const int config[] = {0, 1, 0x04};
    device.setKeyConfiguration(0, 3, config, 3);
    EXPECT_TRUE(startsWith(getKey(device, 0, 3), {0, 1, 4, -1}));
    EXPECT_TRUE(device.prepare());
    EXPECT_TRUE(startsWith(getKey(device, 0, 3), {0, 0, -1}));
}

TEST_F(DeviceTransfer, OutOfRangeSlotsAndUnknownKindsChangeNothing) {
    startAndOpen();
    const int good[] = {0, 1, 0x04};
    device.setKeyConfiguration(0, 3, good, 3);
    const std::vector<std::vector<int>> refused = {{3, 1, 5}, {2, 3, 1, 0, 0, 1, 5}};
    for (const auto& config : refused) {
        device.setKeyConfiguration(0, 3, config.data(), static_cast<int>(config.size()));
    }
    for (auto [level, key] : {std::pair{-1, 3}, {2, 3}, {0, 0}, {0, 109}}) {
        device.setKeyConfiguration(level, key, good, 3);
        auto config = getKey(device, level, key);
        EXPECT_EQ(config[0], -1) << level << "/" << key;  // nothing written for no slot
    }
    EXPECT_TRUE(startsWith(getKey(device, 0, 3), {0, 1, 4, -1}));
}

TEST_F(DeviceTransfer, LightsGoOutAndComeBack) {
    startAndOpen();
    int lights[kLightArrayLength];
    for (int i = 0; i < kLightArrayLength; ++i) lights[i] = 0x100 + i;
    lights[0] = 0x1FF;
    ASSERT_TRUE(device.setKeyboardLightArea(lights));
    settle();
    auto stored = keyboard->lights();
    EXPECT_EQ(stored[0], 0xFF);
    for (int i = 1; i < kLightArrayLength; ++i) {
        EXPECT_EQ(stored[i], i & 0xFF);
    }

    std::array<std::uint8_t, 324> table{};
    for (std::size_t i = 0; i < table.size(); ++i) table[i] = static_cast<std::uint8_t>(255 - i);
    keyboard->setLights(table);
    ASSERT_TRUE(device.readKeyLightFromDev());
    int back[kLightArrayLength];
    ASSERT_TRUE(device.getKeyboardLightArea(back));
    for (int i = 0; i < kLightArrayLength; ++i) {
        EXPECT_EQ(back[i], table[i]);
    }
}

TEST_F(DeviceTransfer, VersionIsReadAndCut) {
    options.version = std::string(70, 'V');
    startAndOpen();
    const char16_t* version = device.getHardwareVersion();
    EXPECT_EQ(std::u16string(version), std::u16string(62, u'V'));
    keyboard->setVersion("OSKEL-108 V1.00");
    char16_t buffer[63];
    ASSERT_TRUE(device.ReadKeyboardVersion(buffer));
    EXPECT_EQ(std::u16string(buffer), u"OSKEL-108 V1.00");
}

TEST_F(DeviceTransfer, SilentKeyboardFailsEveryReadWithoutHanging) {
    options.silent = true;
    startAndOpen();
    char16_t version[64];
    EXPECT_FALSE(device.ReadKeyboardVersion(version));
    EXPECT_EQ(version[0], u'\0');
    EXPECT_FALSE(device.readKeyDefinationFromDev(nullptr));
    EXPECT_FALSE(device.readKeyLightFromDev());
    // Writes need no answer.
    EXPECT_TRUE(device.writeKeyConfigurationToDev(nullptr));
}

TEST_F(DeviceTransfer, KeyboardDroppingMidTransferFails) {
    options.dropAfter = 1;
    startAndOpen();
    EXPECT_FALSE(device.readKeyDefinationFromDev(nullptr));
    EXPECT_FALSE(device.readKeyLightFromDev());
    EXPECT_TRUE(device.__closeDev());
}

TEST_F(DeviceTransfer, KeyboardDroppingDuringALongWriteFails) {
    options.dropAfter = 40;
    startAndOpen();
    auto macro = longMacro(1000);  // 76 reports a slot: far more than the socket holds
    for (int key = 1; key <= 108; ++key) {
        device.setKeyConfiguration(0, key, macro.data(), static_cast<int>(macro.size()));
    }
    MessageLog window;
    EXPECT_FALSE(device.writeKeyConfigurationToDev(&window));
    EXPECT_LT(window.progress().size(), 216u);
    int lights[kLightArrayLength] = {};
    EXPECT_FALSE(device.setKeyboardLightArea(lights));
}

// Cancels the transfer it is told about once the given progress value arrives.
class CancellingWindow : public MessageLog {
public:
    CancellingWindow(CTravoHWI& device, std::uintptr_t at) : device(device), at(at) {}
    void post(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override {
        MessageLog::post(message, wParam, lParam);
        if (message == WM_TRANSFER_PROGRESS && wParam == at) {
            device.cancelTransfer();
        }
    }

private:
    CTravoHWI& device;
    std::uintptr_t at;
};

TEST_F(DeviceTransfer, CancelStopsBeforeTheNextReportAndTheNextExchangeRuns) {
    startAndOpen();
    CancellingWindow window(device, 10);
    EXPECT_FALSE(device.writeKeyConfigurationToDev(&window));
    EXPECT_EQ(window.progress().size(), 11u);
    settle();
    // Begin report, slots 0..10, then the version request of settle().
    EXPECT_EQ(keyboard->receivedCount(), 13u);

    CancellingWindow readWindow(device, 0);
    EXPECT_FALSE(device.readKeyDefinationFromDev(&readWindow));
    EXPECT_EQ(readWindow.progress().size(), 1u);
    // The keyboard still sends the rest of its records; the next exchange reads only its own.
    char16_t version[64];
    ASSERT_TRUE(device.ReadKeyboardVersion(version));
    EXPECT_EQ(std::u16string(version), u"OSKEL-108 V1.00");

    std::string text = ":00000001FF\r\n";
    MessageLog firmwareWindow;
    EXPECT_TRUE(device.WriteFirmwareToKeyboard(text.c_str(), static_cast<int>(text.size()),
                                               &firmwareWindow));
    EXPECT_EQ(firmwareWindow.progress(), (std::vector<std::uintptr_t>{150}));
}

TEST_F(DeviceTransfer, ExchangesFromTwoThreadsNeverInterleave) {
    startAndOpen();
    auto macro = longMacro(100);
    for (int key = 1; key <= 108; ++key) {
        device.setKeyConfiguration(1, key, macro.data(), static_cast<int>(macro.size()));
    }
    bool written = false, read = false;
    std::thread writer([&] { written = device.writeKeyConfigurationToDev(nullptr); });
    std::thread versions([&] {
        for (int i = 0; i < 20; ++i) {
            char16_t version[64];
            read = device.ReadKeyboardVersion(version) &&
                   std::u16string(version) == u"OSKEL-108 V1.00";
            if (!read)
                break;
        }
    });
    writer.join();
    versions.join();
    EXPECT_TRUE(written);
    EXPECT_TRUE(read);
    settle();
    // Every slot holds its whole macro: no version request landed inside a record.
    for (int key = 1; key <= 108; ++key) {
        EXPECT_EQ(keyboard->slotRecord(2, key).size(), 8u) << key;
    }
}

class GoodFirmware : public DeviceTransfer, public ::testing::WithParamInterface<FirmwareImage> {};

TEST_P(GoodFirmware, ArrivesLineByLine) {
    const std::string text = GetParam().text();
    ASSERT_FALSE(text.empty()) << GetParam().path;
    startAndOpen();
    MessageLog window;
    ASSERT_TRUE(
        device.WriteFirmwareToKeyboard(text.c_str(), static_cast<int>(text.size()), &window));
    settle();
    auto lines = keyboard->firmwareLines();
    ASSERT_EQ(lines.size(), GetParam().records);
    // Each stored line, written back as hex, is the file's line.
    std::istringstream fileLines(text);
    std::string line;
    for (const auto& bytes : lines) {
        std::getline(fileLines, line);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        std::string hex = ":";
        char digits[3];
        for (auto b : bytes) {
            std::snprintf(digits, sizeof digits, "%02X", b);
            hex += digits;
        }
        EXPECT_EQ(hex, line);
    }
    EXPECT_EQ(window.progress().back(), 150u);
    EXPECT_EQ(window.progress().size(), GetParam().records);
}

INSTANTIATE_TEST_SUITE_P(Images, GoodFirmware, ::testing::ValuesIn(goodFirmwareImages()),
                         CaseName());

TEST_F(DeviceTransfer, BadFirmwareSendsNothing) {
    startAndOpen();
    const std::string text = ":020000040800F2\r\n:10000000006000208D0000088900000889000008B8\r\n";
    EXPECT_FALSE(
        device.WriteFirmwareToKeyboard(text.c_str(), static_cast<int>(text.size()), nullptr));
    settle();
    EXPECT_TRUE(keyboard->firmwareLines().empty());
    EXPECT_EQ(keyboard->receivedCount(), 1u);  // the version request only
}

TEST_F(DeviceTransfer, SocketLeftBehindByAGoneKeyboardIsNoKeyboard) {
    // A keyboard that was killed leaves its socket behind; nobody listens on it any more.
    ASSERT_EQ(::mkdir((runtime.path + "/oskel").c_str(), 0700), 0);
    ASSERT_EQ(::mkdir(options.dir.c_str(), 0700), 0);
    const std::string path = options.dir + "/vid_0483&pid_5022&mi_01";
    int fd = ::socket(AF_UNIX, SOCK_SEQPACKET, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, path.c_str());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);

    EXPECT_FALSE(device.DetectDevice());
    EXPECT_EQ(device.detectedDevicePath(), "");
    EXPECT_FALSE(device.__createDev());
    EXPECT_EQ(device.openError(), ENODEV);

    // A live keyboard in the same folder, later in name order, is the one found.
    options.name = "zz&vid_0483&pid_5022&mi_01";
    startAndOpen();
    EXPECT_EQ(device.detectedDevicePath(), keyboard->socketPath());
}

TEST_F(DeviceTransfer, KeyboardThisUserMayNotOpenReportsEacces) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "running as root: file permissions do not keep root out";
    }
    startAndOpen();
    device.__closeDev();
    ASSERT_EQ(::chmod(keyboard->socketPath().c_str(), 0), 0);
    EXPECT_TRUE(device.__createDev());
    EXPECT_EQ(device.openError(), EACCES);
}

TEST_F(DeviceTransfer, CopySharesTheOpenDeviceWithoutOwningIt) {
    startAndOpen();
    const int config[] = {0, 1, 0x2A};
    device.setKeyConfiguration(1, 7, config, 3);
    {
        CTravoHWI copy;
        copy = device;
        EXPECT_TRUE(copy.isOpen());
        EXPECT_TRUE(startsWith(getKey(copy, 1, 7), {0, 1, 0x2A}));
        EXPECT_TRUE(copy.writeKeyConfigurationToDev(nullptr));
    }
    // The copy is gone; the device is still open and whole.
    EXPECT_TRUE(device.isOpen());
    EXPECT_TRUE(device.writeKeyConfigurationToDev(nullptr));
    settle();
    EXPECT_EQ(keyboard->slotRecord(2, 7),
              (std::vector<oskel::Payload>{payloadFromHex("00F0 0207 00 01 2A")}));
}

}  // namespace

namespace {

TEST_F(DeviceTransfer, FolderOpenToOthersIsNeitherUsedNorSearched) {
    startAndOpen();
    device.__closeDev();
    ASSERT_EQ(::chmod(options.dir.c_str(), 0777), 0);
    EXPECT_FALSE(device.DetectDevice());
    EXPECT_FALSE(device.__createDev());

    oskel::VirtualKeyboardOptions second = options;
    second.name = "second&mi_01";
    oskel::VirtualKeyboard other(second);
    EXPECT_FALSE(other.start());
    EXPECT_NE(other.error().find("closed to others"), std::string::npos) << other.error();
    ASSERT_EQ(::chmod(options.dir.c_str(), 0700), 0);
    EXPECT_TRUE(device.DetectDevice());
}

}  // namespace

namespace {

// A keyboard that stops taking reports, or goes away with some of them still queued for it,
// fails the write; a keyboard that took them all and then went away does not undo it.
struct StuckWriteCase {
    const char* name;
    int freezeAfter;
    int dropAfter;
};

const StuckWriteCase kStuckWrites[] = {
    {"frozen from the start", 1, 0},
    {"frozen near the end", 200, 0},
    {"gone with reports queued", 0, 210},
    {"gone before the last report", 0, 217},
};

class DeviceStuckWrite : public VirtualKeyboardTest,
                         public testing::WithParamInterface<StuckWriteCase> {};

TEST_P(DeviceStuckWrite, KeyWriteFailsAndNothingWaitsForever) {
    options.freezeAfter = GetParam().freezeAfter;
    options.dropAfter = GetParam().dropAfter;
    startAndOpen();
    EXPECT_FALSE(device.writeKeyConfigurationToDev(nullptr));
    int lights[kLightArrayLength] = {};
    EXPECT_FALSE(device.setKeyboardLightArea(lights));
}

INSTANTIATE_TEST_SUITE_P(Keyboards, DeviceStuckWrite, testing::ValuesIn(kStuckWrites),
                         oskeltest::CaseName());

TEST_F(DeviceTransfer, WriteIsDoneWhenTheKeyboardTookEveryReport) {
    startAndOpen();
    ASSERT_TRUE(device.writeKeyConfigurationToDev(nullptr));
    // No settling: the keyboard has every report once the write answers.
    EXPECT_EQ(keyboard->receivedCount(), 218u);
}

TEST_F(DeviceTransfer, ExchangesWaitForTheKeyboardLockOfAnotherHolder) {
    startAndOpen();
    // Another program's exchange holds the keyboard (a virtual keyboard is locked through a
    // file of its name in the runtime folder's locks/): ours starts only once it lets go.
    const std::string lockPath = runtime.path + "/oskel/locks/" + options.name;
    char16_t version[64];
    ASSERT_TRUE(device.ReadKeyboardVersion(version));  // makes the lock file
    const int other = ::open(lockPath.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(other, 0) << lockPath;
    ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0) << "free between exchanges";

    std::atomic<bool> released{false};
    std::thread holder([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        released = true;
        ::close(other);
    });
    const bool read = device.ReadKeyboardVersion(version);
    const bool afterRelease = released;
    holder.join();
    EXPECT_TRUE(read);
    EXPECT_TRUE(afterRelease);
    EXPECT_FALSE(device.keyboardBusy());
    const int again = ::open(lockPath.c_str(), O_RDWR | O_CLOEXEC);
    EXPECT_EQ(::flock(again, LOCK_EX | LOCK_NB), 0) << "let go after the exchange";
    ::close(again);
}

// A sequence of exchanges (the keys read, a pause, the colours read) keeps the lock between
// its exchanges, so another program cannot write in the gap; letting go frees it.
TEST_F(DeviceTransfer, HeldKeyboardStaysLockedBetweenExchanges) {
    startAndOpen();
    const std::string lockPath = runtime.path + "/oskel/locks/" + options.name;
    auto othersCanLock = [&] {
        const int fd = ::open(lockPath.c_str(), O_RDWR | O_CLOEXEC);
        const bool free = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
        if (fd >= 0) {
            ::close(fd);
        }
        return free;
    };
    ASSERT_TRUE(device.holdKeyboard());
    ASSERT_FALSE(othersCanLock()) << "held before the first exchange";
    char16_t version[64];
    ASSERT_TRUE(device.ReadKeyboardVersion(version));
    EXPECT_FALSE(othersCanLock()) << "still held after an exchange";
    EXPECT_TRUE(device.holdKeyboard()) << "holding again changes nothing";
    ASSERT_TRUE(device.readKeyLightFromDev());
    EXPECT_FALSE(othersCanLock());
    EXPECT_FALSE(device.keyboardBusy());
    device.releaseKeyboard();
    EXPECT_TRUE(othersCanLock()) << "free once let go";
    ASSERT_TRUE(device.ReadKeyboardVersion(version));
    EXPECT_TRUE(othersCanLock()) << "an exchange alone lets go at its end";

    device.__closeDev();
    EXPECT_FALSE(device.holdKeyboard()) << "nothing to hold while closed";
}

}  // namespace
