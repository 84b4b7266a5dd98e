// SPDX-License-Identifier: GPL-2.0-or-later
// Verification end to end: the document, the device library and an in-process virtual keyboard
// with finite or unlimited memory, on a private socket folder.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "KeyTables.h"
#include "KeyboardConfig.h"
#include "TransferFlows.h"
#include "Verification.h"
#include "VirtualKeyboard.h"

namespace {

constexpr int kA = 43;
constexpr int kB = 60;

void setSteps(KeyAssignment& slot, int mode, const std::vector<std::u16string>& items) {
    slot.mode = mode;
    slot.steps = StepList(9);
    for (const auto& item : items) {
        slot.steps.append(item);
    }
}

void setSingle(KeyAssignment& slot, int hwCode) {
    slot.mode = Single;
    slot.hwCode = hwCode;
}

// A macro with step pauses of 14 + 1 steps: L = 57 bytes, a record of two payloads (128 bytes).
void setTwoPayloadMacro(KeyAssignment& slot) {
    std::vector<std::u16string> items;
    for (int i = 0; i < 15; ++i) {
        if (i > 0) {
            items.push_back(u"<20 ms>");
        }
        items.push_back(u"A");
    }
    setSteps(slot, Macro, items);
}

class VerifyWithKeyboard : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/oskel-core-verify-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
        setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
        setenv("OSKEL_NO_HIDRAW", "1", 1);
        options.dir = folder + "/oskel/hid";
        buildKeyTables(config);
        config.clear();
    }

    void TearDown() override {
        config.keyboard.__closeDev();
        if (keyboard) {
            keyboard->stop();
        }
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }

    void start(long long memory = -1) {
        options.memory = memory;
        keyboard = std::make_unique<oskel::VirtualKeyboard>(options);
        ASSERT_TRUE(keyboard->start()) << keyboard->error();
        ASSERT_TRUE(config.keyboard.__createDev());
        ASSERT_EQ(config.keyboard.openError(), 0);
    }

    // Writes, then compares with what the write sent; comparing with the document afresh (as
    // verifying a profile does) must find the same.
    Comparison writeAndVerify(VerifyParts parts = {}) {
        EXPECT_TRUE(writeKeysToKeyboard(config, nullptr));
        EXPECT_TRUE(writeBacklightToKeyboard(config));
        Comparison result;
        EXPECT_TRUE(verifyWritten(config, nullptr, parts, result));
        Comparison afresh;
        EXPECT_TRUE(verifyKeyboard(config, nullptr, parts, afresh));
        EXPECT_EQ(afresh.keys.size(), result.keys.size());
        EXPECT_EQ(afresh.lights.size(), result.lights.size());
        return result;
    }

    std::string folder;
    oskel::VirtualKeyboardOptions options;
    std::unique_ptr<oskel::VirtualKeyboard> keyboard;
    KeyboardConfig config;
};

TEST_F(VerifyWithKeyboard, EveryKindOnBothLevelsArrivesWithUnlimitedMemory) {
    start();
    setSingle(config.slot(1, 0), kA);
    setSteps(config.slot(2, 1), Combo, {u"Left CONTROL", u"C"});
    setTwoPayloadMacro(config.slot(3, 0));
    setSteps(config.slot(4, 1), Emulation, {u"H", u"I"});
    config.slot(5, 0).mode = Mouse;
    config.slot(5, 0).hwCode = 199;
    config.backlight[1] = {255, 0, 0};
    config.backlight[108] = {1, 2, 3};
    const Comparison result = writeAndVerify();
    EXPECT_TRUE(result.agrees()) << result.keys.size() << " slots, " << result.lights.size()
                                 << " lights differ";
}

TEST_F(VerifyWithKeyboard, RecordsPastTheMemoryAreKeptEmptyAndReported) {
    // 64 + 128 + 64 bytes in slot order; with room for 128 the macro does not fit, and the
    // single key after it still does.
    start(128);
    setSingle(config.slot(1, 0), kA);
    setTwoPayloadMacro(config.slot(2, 0));
    setSingle(config.slot(3, 0), kB);
    for (int pass = 0; pass < 2; ++pass) {  // every write fills the memory afresh
        const Comparison result = writeAndVerify();
        ASSERT_EQ(result.keys.size(), 1u) << "pass " << pass;
        EXPECT_EQ(result.keys[0].key, 2);
        EXPECT_EQ(result.keys[0].level, 0);
        EXPECT_EQ(result.keys[0].written.kind, SlotRecord::Kind::Macro);
        EXPECT_EQ(result.keys[0].held.kind, SlotRecord::Kind::Empty);
        EXPECT_EQ(differenceText(config, result.keys[0], u"F1", "en-US"),
                  u"F1, level 1: a macro of 15 steps was written, the keyboard holds an empty "
                  u"slot");
        EXPECT_TRUE(result.lights.empty());
    }
    const std::vector<oskel::Payload> kept = keyboard->slotRecord(1, 2);
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0][4], 0) << "kept as a type 0 record";
    EXPECT_EQ(kept[0][5], 0) << "without codes";
    EXPECT_EQ(keyboard->slotRecord(1, 3)[0][6], kB);
}

TEST_F(VerifyWithKeyboard, EmptyKeysTakeNoMemory) {
    // Room for exactly one record: the 215 empty ones around it do not use it up.
    start(64);
    setSingle(config.slot(108, 1), kA);
    EXPECT_TRUE(writeAndVerify().agrees());
    setSingle(config.slot(1, 0), kB);
    const Comparison result = writeAndVerify();
    ASSERT_EQ(result.keys.size(), 1u);
    EXPECT_EQ(result.keys[0].key, 108);
    EXPECT_EQ(result.keys[0].level, 1);
}

TEST_F(VerifyWithKeyboard, ASlotTheKeyboardLeavesOutReadsAsEmpty) {
    start();
    setSingle(config.slot(7, 1), kA);
    ASSERT_TRUE(writeKeysToKeyboard(config, nullptr));
    // A write waits for no answer: the keyboard has it once all 218 reports arrived.
    ASSERT_TRUE(keyboard->waitForReports(218, 5000));
    // The keyboard forgets the slot entirely: its read sends no record for it, while the
    // library still holds the definition it wrote.
    keyboard->setSlotRecord(108 + 7 - 1, {});
    Comparison result;
    ASSERT_TRUE(verifyKeyboard(config, nullptr, {true, false}, result));
    ASSERT_EQ(result.keys.size(), 1u);
    EXPECT_EQ(result.keys[0].key, 7);
    EXPECT_EQ(result.keys[0].held.kind, SlotRecord::Kind::Empty);
}

TEST_F(VerifyWithKeyboard, ColoursTheKeyboardChangedAreReported) {
    start();
    config.backlight[2] = {10, 20, 30};
    ASSERT_TRUE(writeBacklightToKeyboard(config));
    ASSERT_TRUE(keyboard->waitForReports(1 + 6 + 1, 5000));
    auto table = keyboard->lights();
    table[3] = 11;
    keyboard->setLights(table);
    Comparison result;
    ASSERT_TRUE(verifyKeyboard(config, nullptr, {false, true}, result));
    ASSERT_EQ(result.lights.size(), 1u);
    EXPECT_EQ(result.lights[0].key, 2);
    EXPECT_EQ(result.lights[0].written, (Colour{10, 20, 30}));
    EXPECT_EQ(result.lights[0].held, (Colour{11, 20, 30}));
}

TEST_F(VerifyWithKeyboard, AKeyboardThatDoesNotAnswerIsADeviceFailure) {
    start();
    keyboard->setSilent(true);
    Comparison result;
    EXPECT_FALSE(verifyKeyboard(config, nullptr, {true, false}, result));
    EXPECT_FALSE(verifyKeyboard(config, nullptr, {false, true}, result));
    config.keyboard.__closeDev();
    EXPECT_FALSE(verifyKeyboard(config, nullptr, {}, result));
}

// Numbers beyond what a record holds go out clamped, never wrapped: the keyboard then holds the
// nearest number it can, the list of values names each, and verification (against what the
// document says) counts each as a difference. In range, nothing is named and all agrees.
TEST_F(VerifyWithKeyboard, NumbersTheKeyboardCannotStoreAreClampedNamedAndDiffer) {
    using What = ClampedValue::What;
    const struct {
        const char* name;
        int mode;
        std::vector<std::u16string> items;
        int cycles, delay;
        bool automatic;
        What what;
        int given, sent;  // sent == given: storable
        int heldPause, heldDelay, heldCycles;
        std::u16string text;
    } cases[] = {
        {"pause 70000",
         Macro,
         {u"A", u"<70000 ms>", u"B"},
         1,
         0,
         false,
         What::Pause,
         70000,
         65535,
         65535,
         0,
         1,
         u"Esc, level 1: the pause after step 1 is 70000 ms; the keyboard stores 0 to 65535 ms, "
         u"so 65535 ms is sent"},
        {"pause 65536",
         Macro,
         {u"A", u"<65536 ms>", u"B"},
         1,
         0,
         false,
         What::Pause,
         65536,
         65535,
         65535,
         0,
         1,
         {}},
        {"pause -1", Macro, {u"A", u"<-1 ms>", u"B"}, 1, 0, false, What::Pause, -1, 0, 0, 0, 1, {}},
        {"pause 65535",
         Macro,
         {u"A", u"<65535 ms>", u"B"},
         1,
         0,
         false,
         What::Pause,
         65535,
         65535,
         65535,
         0,
         1,
         {}},
        {"cycles 300",
         Macro,
         {u"A", u"B"},
         300,
         10,
         true,
         What::Cycles,
         300,
         255,
         -1,
         10,
         255,
         u"Esc, level 1: the repeat count is 300; the keyboard stores 0 to 255, so 255 is sent"},
        {"cycles 255", Macro, {u"A", u"B"}, 255, 10, true, What::Cycles, 255, 255, -1, 10, 255, {}},
        {"macro interval 70000",
         Macro,
         {u"A", u"B"},
         1,
         70000,
         true,
         What::Interval,
         70000,
         65535,
         -1,
         65535,
         1,
         {}},
        {"emulation delay 70000",
         Emulation,
         {u"H", u"I"},
         1,
         70000,
         false,
         What::Interval,
         70000,
         65535,
         -1,
         65535,
         0,
         u"Esc, level 1: the interval is 70000 ms; the keyboard stores 0 to 65535 ms, so 65535 "
         u"ms is sent"},
        {"emulation delay -5",
         Emulation,
         {u"H", u"I"},
         1,
         -5,
         false,
         What::Interval,
         -5,
         0,
         -1,
         0,
         0,
         {}},
    };
    start();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        config.clear();
        KeyAssignment& slot = config.slot(1, 0);
        setSteps(slot, c.mode, c.items);
        slot.steps.Cycles = c.cycles;
        slot.steps.Delay = c.delay;
        slot.steps.IsAutoInterval = c.automatic;
        const std::vector<ClampedValue> clamped = valuesTheKeyboardCannotStore(config);
        const bool storable = c.given == c.sent;
        ASSERT_EQ(clamped.size(), storable ? 0u : 1u);
        if (!storable) {
            EXPECT_EQ(clamped[0].key, 1);
            EXPECT_EQ(clamped[0].level, 0);
            EXPECT_EQ(clamped[0].what, c.what);
            EXPECT_EQ(clamped[0].given, c.given);
            EXPECT_EQ(clamped[0].sent, c.sent);
            if (!c.text.empty()) {
                EXPECT_EQ(clampedValueText(clamped[0], u"Esc", "en-US"), c.text);
            }
        }
        const Comparison result = writeAndVerify({true, false});
        ASSERT_EQ(result.keys.size(), storable ? 0u : 1u);
        KeyboardImage held;
        ASSERT_TRUE(readKeyboardImage(config, nullptr, {true, false}, held));
        const SlotRecord& record = held.records[KeyboardImage::slotOf(1, 0)];
        if (c.heldPause >= 0) {
            ASSERT_EQ(record.pauses.size(), 1u);
            EXPECT_EQ(record.pauses[0], c.heldPause) << "clamped, not wrapped";
        } else {
            EXPECT_EQ(record.delay, c.heldDelay) << "clamped, not wrapped";
        }
        if (c.mode == Macro) {
            EXPECT_EQ(record.cycles, c.heldCycles);
        }
    }
}

TEST_F(VerifyWithKeyboard, VerifyingLeavesTheDocumentAlone) {
    start(0);
    setTwoPayloadMacro(config.slot(9, 0));
    const KeyAssignment before = config.slot(9, 0);
    const Comparison result = writeAndVerify();
    EXPECT_EQ(result.keys.size(), 1u);
    EXPECT_EQ(config.slot(9, 0).mode, Macro);
    EXPECT_TRUE(config.slot(9, 0).steps.sameSteps(before.steps));
}

}  // namespace
