// SPDX-License-Identifier: GPL-2.0-or-later
// The device steps against an in-process virtual keyboard: what each sequence runs in which
// order, how long it pauses, that it keeps the keyboard's lock from its first exchange to its
// last, and that a load that does not finish leaves the document as it was.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/file.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "DeviceSteps.h"
#include "KeyTables.h"
#include "KeyboardConfig.h"
#include "VirtualKeyboard.h"

namespace {

using namespace std::chrono_literals;

// In the order of DeviceStep.
const char* const kStepNames[] = {"write keys", "write lights", "read back",
                                  "read keys",  "read lights",  "firmware"};

const char* nameOf(DeviceStep step) {
    return kStepNames[static_cast<std::size_t>(step)];
}

// Whether another holder of the keyboard's lock (another program, or any other descriptor of
// the lock file) can take it right now.
bool othersCanLock(const std::string& lockPath) {
    const int fd = ::open(lockPath.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        return true;  // no lock file: nothing is held
    }
    const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return free;
}

// Writes down every step and pause. A pause takes no time; at each it looks whether another
// holder could take the keyboard, and it may run `duringPause` (the keyboard going silent) or
// ask to stop.
class Log : public StepObserver {
public:
    explicit Log(std::string lockPath) : lockPath(std::move(lockPath)) {}

    WindowHandle stepStarting(DeviceStep step) override {
        events.push_back(std::string("start ") + nameOf(step));
        return nullptr;
    }
    void stepEnded(DeviceStep step, bool succeeded) override {
        events.push_back(std::string(succeeded ? "ok " : "failed ") + nameOf(step));
    }
    bool stopRequested() override { return stopping; }
    bool pause(std::chrono::milliseconds time) override {
        events.push_back("pause " + std::to_string(time.count()) +
                         (othersCanLock(lockPath) ? " (keyboard free)" : " (keyboard held)"));
        if (duringPause) {
            duringPause();
        }
        stopping = stopping || stopInPause;
        return !stopping;
    }

    std::vector<std::string> events;
    std::function<void()> duringPause;
    bool stopInPause = false;

private:
    std::string lockPath;
    bool stopping = false;
};

class StepsWithKeyboard : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/oskel-core-steps-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
        setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
        setenv("OSKEL_NO_HIDRAW", "1", 1);
        oskel::VirtualKeyboardOptions options;
        options.dir = folder + "/oskel/hid";
        lockPath = folder + "/oskel/locks/" + options.name;
        keyboard = std::make_unique<oskel::VirtualKeyboard>(options);
        ASSERT_TRUE(keyboard->start()) << keyboard->error();
        buildKeyTables(config);
        config.clear();
        ASSERT_TRUE(config.keyboard.__createDev());
        ASSERT_EQ(config.keyboard.openError(), 0);
    }

    void TearDown() override {
        config.keyboard.__closeDev();
        keyboard->stop();
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }

    std::string folder;
    std::string lockPath;
    std::unique_ptr<oskel::VirtualKeyboard> keyboard;
    KeyboardConfig config;
};

TEST_F(StepsWithKeyboard, LoadReadsKeysPausesThenReadsLightsHoldingTheKeyboardThroughout) {
    std::array<std::uint8_t, oskel::VirtualKeyboard::kLightTableSize> lights{};
    lights[0] = 200;  // key 1, red
    keyboard->setLights(lights);
    Log log(lockPath);
    const StepsResult result = loadFromKeyboard(config, SettleTimes{}, log);

    EXPECT_EQ(result.outcome, StepsOutcome::Done);
    // Another program's write cannot land between the keys and the colours.
    const std::vector<std::string> expected{"start read keys", "ok read keys",
                                            "pause 2000 (keyboard held)", "start read lights",
                                            "ok read lights"};
    EXPECT_EQ(log.events, expected);
    EXPECT_EQ(config.backlight[1], (Colour{200, 0, 0}));
    EXPECT_TRUE(othersCanLock(lockPath)) << "let go at the end";
}

TEST_F(StepsWithKeyboard, WriteAndVerifyKeepTheKeyboardUntilTheReadBackEnds) {
    config.slot(1, 0).mode = Single;
    config.slot(1, 0).hwCode = 43;
    Log log(lockPath);
    WriteRequest request;
    request.verify = true;
    const StepsResult result = writeToKeyboard(config, request, SettleTimes{}, log);

    EXPECT_EQ(result.outcome, StepsOutcome::Done);
    EXPECT_TRUE(result.differences.agrees());
    const std::vector<std::string> expected{"start write keys", "ok write keys",
                                            "pause 2000 (keyboard held)", "start read back",
                                            "ok read back"};
    EXPECT_EQ(log.events, expected);
    EXPECT_TRUE(othersCanLock(lockPath));
}

struct WriteCase {
    const char* name;
    WriteRequest request;
    std::vector<std::string> events;
};

const WriteCase kWrites[] = {
    {"keys", {true, false, false, false}, {"start write keys", "ok write keys"}},
    {"keys, settled",
     {true, false, false, true},
     {"start write keys", "ok write keys", "pause 40 (keyboard held)"}},
    {"lights, settled",
     {false, true, false, true},
     {"start write lights", "ok write lights", "pause 10 (keyboard held)"}},
    {"keys and lights, verified",
     {true, true, true, false},
     {"start write keys", "ok write keys", "start write lights", "ok write lights",
      "pause 40 (keyboard held)", "start read back", "ok read back"}},
    {"lights, verified",
     {false, true, true, true},
     {"start write lights", "ok write lights", "start read back", "ok read back"}},
};

class WriteSequence : public StepsWithKeyboard, public ::testing::WithParamInterface<WriteCase> {};

// The keyboard gets its time to store key records before anything reads them back, and the
// front end that asks for it gets the wait at the end.
TEST_P(WriteSequence, PausesWhereTheKeyboardNeedsIt) {
    const WriteCase& c = GetParam();
    config.backlight[5] = {1, 2, 3};
    Log log(lockPath);
    const SettleTimes times{40ms, 20ms, 10ms};
    const StepsResult result = writeToKeyboard(config, c.request, times, log);
    EXPECT_EQ(result.outcome, StepsOutcome::Done);
    EXPECT_EQ(log.events, c.events);
}

INSTANTIATE_TEST_SUITE_P(Requests, WriteSequence, ::testing::ValuesIn(kWrites),
                         [](const auto& info) {
                             std::string name;
                             for (const char* p = info.param.name; *p != '\0'; ++p) {
                                 if (std::isalnum(static_cast<unsigned char>(*p))) {
                                     name += *p;
                                 }
                             }
                             return name;
                         });

struct BrokenLoad {
    const char* name;
    bool silentAfterKeys;  // the keyboard stops answering in the pause
    StepsOutcome outcome;
};

const BrokenLoad kBrokenLoads[] = {
    {"StoppedInThePause", false, StepsOutcome::Stopped},
    {"KeyboardSilentForTheLights", true, StepsOutcome::Failed},
};

class LoadBroken : public StepsWithKeyboard, public ::testing::WithParamInterface<BrokenLoad> {};

// The keys have arrived in the document when the colour read does not come: everything is put
// back, so the document never holds new keys with old colours.
TEST_P(LoadBroken, PutsTheDocumentBackAsItWas) {
    const BrokenLoad& c = GetParam();
    config.slot(9, 1).mode = Single;
    config.slot(9, 1).hwCode = 60;
    config.backlight[3] = {9, 8, 7};
    const auto assignments = config.assignments;
    const auto backlight = config.backlight;
    // The keyboard holds other keys: its key 1 sends code 4.
    oskel::Payload record{};
    record[1] = 0xF0;
    record[2] = 1;
    record[3] = 1;
    record[5] = 1;
    record[6] = 4;
    keyboard->setSlotRecord(0, {record});

    Log log(lockPath);
    log.stopInPause = !c.silentAfterKeys;
    if (c.silentAfterKeys) {
        log.duringPause = [&] { keyboard->setSilent(true); };
    }
    const StepsResult result = loadFromKeyboard(config, {0ms, 0ms, 0ms}, log);

    EXPECT_EQ(result.outcome, c.outcome);
    EXPECT_EQ(result.step, c.silentAfterKeys ? DeviceStep::ReadLights : DeviceStep::ReadKeys);
    EXPECT_EQ(log.events.at(1), "ok read keys") << "the keys did arrive";
    for (int key = 1; key <= kKeyCount; ++key) {
        for (int level = 0; level < kLevelCount; ++level) {
            EXPECT_EQ(config.slot(key, level).mode, assignments[key][level].mode) << key;
            EXPECT_EQ(config.slot(key, level).hwCode, assignments[key][level].hwCode) << key;
        }
    }
    EXPECT_EQ(config.backlight, backlight);
    EXPECT_TRUE(othersCanLock(lockPath)) << "let go after a failure too";
}

INSTANTIATE_TEST_SUITE_P(Loads, LoadBroken, ::testing::ValuesIn(kBrokenLoads),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(StepsWithKeyboard, ClosedKeyboardFailsWithoutRunningAStep) {
    config.keyboard.__closeDev();
    Log log(lockPath);
    const StepsResult result = loadFromKeyboard(config, SettleTimes{}, log);
    EXPECT_EQ(result.outcome, StepsOutcome::Failed);
    EXPECT_EQ(result.step, DeviceStep::ReadKeys);
    EXPECT_TRUE(log.events.empty());
}

}  // namespace
