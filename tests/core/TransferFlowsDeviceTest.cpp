// SPDX-License-Identifier: GPL-2.0-or-later
// The transfer flows end to end: the document, the device library and an in-process virtual
// keyboard on a private socket folder.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "KeyTables.h"
#include "KeyboardConfig.h"
#include "PlaySettings.h"
#include "TransferFlows.h"
#include "VirtualKeyboard.h"

namespace {

using Items = std::vector<std::u16string>;
using Bytes = std::vector<int>;

class ProgressLog : public NotifyTarget {
public:
    void post(unsigned message, std::uintptr_t wParam, std::intptr_t) override {
        std::lock_guard lock(mutex);
        if (message == WM_TRANSFER_PROGRESS) {
            progress.push_back(static_cast<int>(wParam));
        }
    }
    std::vector<int> values() {
        std::lock_guard lock(mutex);
        return progress;
    }

private:
    std::mutex mutex;
    std::vector<int> progress;
};

void setSteps(KeyAssignment& slot, int mode, const Items& items) {
    slot.mode = mode;
    slot.steps = StepList(9);
    for (const auto& item : items) {
        slot.steps.append(item);
    }
}

void setFunction(KeyAssignment& slot, int mode, int hwCode) {
    slot.mode = mode;
    slot.hwCode = hwCode;
}

// What was written, slot by slot; the slots not named stay NotSet.
void fillEveryType(KeyboardConfig& config) {
    setFunction(config.slot(1, 0), Single, 43);
    setSteps(config.slot(2, 0), Combo, {u"Left CONTROL", u"C"});
    setSteps(config.slot(3, 0), Combo, {u"B"});
    setSteps(config.slot(4, 0), Combo, {u"Mouse Key Right"});
    KeyAssignment& paused = config.slot(5, 0);
    setSteps(paused, Macro,
             {u"A Down", u"<50 ms>", u"A UP", u"<120 ms>", u"B Down", u"<7 ms>", u"B UP"});
    paused.steps.Cycles = 3;
    KeyAssignment& automatic = config.slot(6, 0);
    setSteps(automatic, Macro, {u"A Down", u"A UP"});
    automatic.steps.IsAutoInterval = true;
    automatic.steps.Delay = 40;
    automatic.steps.PlayMode = 1;
    automatic.steps.Cycles = 5;
    setSteps(config.slot(7, 0), Emulation, {u"H", u"I"});
    config.slot(7, 0).steps.Delay = 25;
    setFunction(config.slot(8, 0), Multimedia, 119);
    setFunction(config.slot(9, 0), Mouse, 199);
    setFunction(config.slot(10, 0), Function, 156);
    setFunction(config.slot(10, 1), Function, 156);
    setFunction(config.slot(11, 0), Power, 77);
    setSteps(config.slot(12, 0), Emulation, {});
    config.slot(12, 0).steps.Delay = 40;
    KeyAssignment& toggled = config.slot(13, 0);
    setSteps(toggled, Macro, {u"Mouse Key Left", u"<10 ms>", u"Nonsense"});
    toggled.steps.PlayMode = 2;
    // 60 steps without pauses: a record of two reports.
    Items sixty;
    for (int i = 0; i < 60; ++i) {
        sixty.push_back(i % 2 ? u"Z UP" : u"Z Down");
    }
    setSteps(config.slot(14, 1), Macro, sixty);
    config.slot(14, 1).steps.IsAutoInterval = true;
    setFunction(config.slot(108, 1), Single, 1);
}

struct ArrayCase {
    int key;
    int level;
    Bytes array;  // as the device library holds it after the write
};

const ArrayCase kWrittenArrays[] = {
    {1, 0, {0, 1, 43}},
    {2, 0, {0, 2, 67, 58}},
    {3, 0, {0, 1, 60}},
    {4, 0, {0, 1, 131}},
    {5, 0, {2, 0, 3, 1, 0, 4, 43, 50, 43, 120, 60, 7, 60}},
    {6, 0, {2, 1, 0, 0, 40, 2, 43, 43}},
    {7, 0, {1, 25, 2, 48, 36}},
    {8, 0, {0, 1, 119}},
    {9, 0, {0, 2, 130, 130}},
    {10, 0, {0, 1, 156}},
    {10, 1, {0, 1, 156}},
    {11, 0, {0, 1, 77}},
    {12, 0, {1, 40, 0}},
    {13, 0, {2, 2, 0, 1, 0, 2, 130, 10, 0}},
    {108, 1, {0, 1, 1}},
    {14, 0, {0, 0}},
    {107, 1, {0, 0}},
};

struct RecordCase {
    int key;
    int level;
    Bytes start;  // first payload's leading bytes; the rest of the payload is zero
    int payloads;
};

const RecordCase kRecords[] = {
    {1, 0, {0x00, 0xF0, 1, 1, 0, 1, 43}, 1},
    {2, 0, {0x00, 0xF0, 1, 2, 0, 2, 67, 58}, 1},
    {5,
     0,
     {0x00, 0xF0, 1,  5,  2,    3, 1,   0,  0,    0, 13, 43,
      0xC8, 0,    50, 43, 0xC8, 0, 120, 60, 0xC8, 0, 7,  60},
     1},
    {6, 0, {0x00, 0xF0, 1, 6, 3, 0, 0, 0, 40, 0, 2, 43, 43}, 1},
    {7, 0, {0x00, 0xF0, 1, 7, 1, 0, 25, 2, 48, 36}, 1},
    {9, 0, {0x00, 0xF0, 1, 9, 0, 2, 130, 130}, 1},
    {10, 1, {0x00, 0xF0, 2, 10, 0, 1, 156}, 1},
    {12, 0, {0x00, 0xF0, 1, 12, 1}, 1},
    {13, 0, {0x00, 0xF0, 1, 13, 4, 0, 1, 0, 0, 0, 5, 130, 0xC8, 0, 10, 0}, 1},
    {107, 1, {0x00, 0xF0, 2, 107, 0, 0}, 1},
    {108, 1, {0x00, 0xF0, 2, 108, 0, 1, 1}, 1},
};

// Begin report, 216 records of which one takes two payloads, end report.
constexpr std::size_t kKeyWriteReports = 1 + 216 + 1 + 1;

struct Snapshot {
    std::array<std::array<KeyAssignment, kLevelCount>, kKeyTableSize> assignments;
    std::array<Colour, kKeyTableSize> backlight;
};

Snapshot snapshotOf(const KeyboardConfig& config) {
    return {config.assignments, config.backlight};
}

void expectSameList(const StepList& a, const StepList& b, int key, int level) {
    EXPECT_TRUE(a.sameSteps(b)) << "key " << key << " level " << level;
    EXPECT_EQ(a.SizeOfView, b.SizeOfView) << "key " << key << " level " << level;
    EXPECT_EQ(a.ViewStartAt, b.ViewStartAt) << "key " << key << " level " << level;
    EXPECT_EQ(a.CursorPos, b.CursorPos) << "key " << key << " level " << level;
    EXPECT_EQ(a.children.size(), b.children.size()) << "key " << key << " level " << level;
}

void expectUnchanged(const KeyboardConfig& config, const Snapshot& before) {
    for (int key = 1; key <= kKeyCount; ++key) {
        for (int level = 0; level < kLevelCount; ++level) {
            const KeyAssignment& now = config.slot(key, level);
            const KeyAssignment& then = before.assignments[key][level];
            EXPECT_EQ(now.mode, then.mode) << "key " << key << " level " << level;
            EXPECT_EQ(now.hwCode, then.hwCode) << "key " << key << " level " << level;
            expectSameList(now.steps, then.steps, key, level);
        }
    }
    EXPECT_EQ(config.backlight, before.backlight);
}

class FlowsWithKeyboard : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/oskel-core-flows-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
        // Each test process looks only at its own keyboard, never at a real one.
        setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
        setenv("OSKEL_NO_HIDRAW", "1", 1);
        oskel::VirtualKeyboardOptions options;
        options.dir = folder + "/oskel/hid";
        keyboard = std::make_unique<oskel::VirtualKeyboard>(options);
        ASSERT_TRUE(keyboard->start()) << keyboard->error();
        writer = newDocument();
        ASSERT_TRUE(writer->keyboard.__createDev());
        ASSERT_TRUE(writer->keyboard.isOpen());
    }

    void TearDown() override {
        writer.reset();
        reader.reset();
        if (keyboard) {
            keyboard->stop();
        }
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }

    static std::unique_ptr<KeyboardConfig> newDocument() {
        auto config = std::make_unique<KeyboardConfig>();
        buildKeyTables(*config);
        config->clear();
        return config;
    }

    // The virtual keyboard serves one connection at a time: the writer lets go first.
    void openReader() {
        writer->keyboard.__closeDev();
        reader = newDocument();
        ASSERT_TRUE(reader->keyboard.__createDev());
    }

    // A document with content of its own, so that any overwrite shows.
    void fillReaderWithOwnContent() {
        setSteps(reader->slot(1, 0), Emulation, {u"Q", u"W"});
        reader->slot(1, 0).steps.Delay = 77;
        setFunction(reader->slot(50, 1), Power, 75);
        setSteps(reader->slot(9, 0), Combo, {u"Left Alt", u"TAB"});
        reader->slot(9, 0).steps.scrollTo(0);
        reader->backlight[3] = {9, 8, 7};
    }

    std::string folder;
    std::unique_ptr<oskel::VirtualKeyboard> keyboard;
    std::unique_ptr<KeyboardConfig> writer;
    std::unique_ptr<KeyboardConfig> reader;
};

Bytes heldArray(CTravoHWI& device, int level, int key) {
    std::vector<int> array(65536, -1);
    device.getKeyConfiguration(level, key, array.data(), static_cast<int>(array.size()));
    // The library writes the kind, its header and the steps; the rest stays -1.
    const auto end = std::find(array.begin(), array.end(), -1);
    return Bytes(array.begin(), end);
}

TEST_F(FlowsWithKeyboard, WriteSendsEveryTypeAndReadRebuildsIt) {
    fillEveryType(*writer);
    ProgressLog progress;
    ASSERT_TRUE(writeKeysToKeyboard(*writer, &progress));

    for (const ArrayCase& c : kWrittenArrays) {
        EXPECT_EQ(heldArray(writer->keyboard, c.level, c.key), c.array)
            << "key " << c.key << " level " << c.level;
    }
    std::vector<int> slots(216);
    for (int i = 0; i < 216; ++i) {
        slots[i] = i;
    }
    EXPECT_EQ(progress.values(), slots);

    // Begin report, 216 records (one of two payloads), end report.
    ASSERT_TRUE(keyboard->waitForReports(kKeyWriteReports, 5000));
    const std::vector<oskel::Payload> reports = keyboard->receivedReports();
    ASSERT_EQ(reports.size(), kKeyWriteReports);
    EXPECT_EQ(reports.front()[0], 0x00);
    EXPECT_EQ(reports.front()[1], 0xF1);
    EXPECT_EQ(reports.back()[0], 0x00);
    EXPECT_EQ(reports.back()[1], 0xF6);
    EXPECT_EQ(reports.back()[63], 0xF6);
    for (const RecordCase& c : kRecords) {
        const std::vector<oskel::Payload> record = keyboard->slotRecord(c.level + 1, c.key);
        ASSERT_EQ(static_cast<int>(record.size()), c.payloads) << "key " << c.key;
        Bytes expected = c.start;
        expected.resize(64, 0);
        EXPECT_EQ(Bytes(record[0].begin(), record[0].end()), expected) << "key " << c.key;
    }
    // 60 steps of "Z" (56): 53 in the first payload, 7 in the second, the same header in both.
    const std::vector<oskel::Payload> sixty = keyboard->slotRecord(2, 14);
    ASSERT_EQ(sixty.size(), 2u);
    Bytes header = {0x00, 0xF0, 2, 14, 2, 1, 0, 0, 30, 0, 60};
    Bytes firstPart = header;
    firstPart.resize(64, 56);
    Bytes secondPart = header;
    secondPart.resize(11 + 7, 56);
    secondPart.resize(64, 0);
    EXPECT_EQ(Bytes(sixty[0].begin(), sixty[0].end()), firstPart);
    EXPECT_EQ(Bytes(sixty[1].begin(), sixty[1].end()), secondPart);

    openReader();
    ASSERT_TRUE(readKeysFromKeyboard(*reader, nullptr));
    const KeyboardConfig& back = *reader;
    // Keys on level 1 that come back as one code: a one-key combo is a plain code on the
    // keyboard and comes back by the code's range.
    struct CodeBack {
        int key;
        int mode;
        int hwCode;
    };
    for (const CodeBack& want :
         {CodeBack{1, Single, 43}, CodeBack{3, Single, 60}, CodeBack{4, Mouse, 131},
          CodeBack{8, Multimedia, 119}, CodeBack{9, Mouse, 199}}) {
        EXPECT_EQ(back.slot(want.key, 0).mode, want.mode) << "key " << want.key;
        EXPECT_EQ(back.slot(want.key, 0).hwCode, want.hwCode) << "key " << want.key;
    }
    // Keys that come back as step lists. Presses and releases travel as the same code: they
    // come back as plain key names. Only the play settings a kind carries are kept.
    struct StepsBack {
        int key;
        int mode;
        Items items;
        PlaySettings play;
    };
    const StepsBack rebuilt[] = {
        {2, Combo, {u"Left CONTROL", u"C"}, {false, 1, 0, 30, 6}},
        {5,
         Macro,
         {u"A", u"<50 ms>", u"A", u"<120 ms>", u"B", u"<7 ms>", u"B"},
         {false, 3, 0, 0, 9}},
        {6, Macro, {u"A", u"A"}, {true, 0, 1, 40, 9}},
        {7, Emulation, {u"H", u"I"}, {false, 1, 0, 25, 9}},
    };
    for (const StepsBack& want : rebuilt) {
        const KeyAssignment& slot = back.slot(want.key, 0);
        EXPECT_EQ(slot.mode, want.mode) << "key " << want.key;
        EXPECT_EQ(slot.steps.items, want.items) << "key " << want.key;
        EXPECT_EQ(playSettingsOf(slot.steps), want.play) << "key " << want.key;
    }
    for (int level = 0; level < 2; ++level) {
        EXPECT_EQ(back.slot(10, level).mode, Function);
        EXPECT_EQ(back.slot(10, level).hwCode, 156);
    }
    EXPECT_EQ(back.slot(11, 0).mode, Power);
    EXPECT_EQ(back.slot(11, 0).hwCode, 77);
    // An emulation without keys is a record without codes: nothing is assigned.
    EXPECT_EQ(back.slot(12, 0).mode, NotSet);
    EXPECT_EQ(back.slot(13, 0).mode, Macro);
    EXPECT_EQ(back.slot(13, 0).steps.items, (Items{u"Mouse Key Left", u"<10 ms>", u"-- --"}));
    EXPECT_EQ(back.slot(13, 0).steps.PlayMode, 2);
    EXPECT_EQ(back.slot(13, 0).steps.Cycles, 0);
    EXPECT_EQ(back.slot(14, 1).mode, Macro);
    EXPECT_EQ(back.slot(14, 1).steps.items, Items(60, u"Z"));
    EXPECT_EQ(back.slot(108, 1).mode, Single);
    EXPECT_EQ(back.slot(108, 1).hwCode, 1);
    int unset = 0;
    for (int key = 1; key <= kKeyCount; ++key) {
        for (int level = 0; level < kLevelCount; ++level) {
            if (back.slot(key, level).mode == NotSet) {
                ++unset;
                EXPECT_EQ(back.slot(key, level).hwCode, key);
            }
        }
    }
    EXPECT_EQ(unset, 216 - 15);
}

TEST_F(FlowsWithKeyboard, WritingTheReadBackSendsTheSameRecords) {
    fillEveryType(*writer);
    ASSERT_TRUE(writeKeysToKeyboard(*writer, nullptr));
    ASSERT_TRUE(keyboard->waitForReports(kKeyWriteReports, 5000));
    std::vector<std::vector<oskel::Payload>> first;
    for (int slot = 0; slot < 216; ++slot) {
        first.push_back(keyboard->slotRecord(slot));
    }
    openReader();
    ASSERT_TRUE(readKeysFromKeyboard(*reader, nullptr));
    ASSERT_TRUE(writeKeysToKeyboard(*reader, nullptr));
    // The read request, then the second write.
    ASSERT_TRUE(keyboard->waitForReports(2 * kKeyWriteReports + 1, 5000));
    for (int slot = 0; slot < 216; ++slot) {
        if (slot == 11) {
            continue;  // key 12: the keyless emulation came back unassigned
        }
        EXPECT_EQ(keyboard->slotRecord(slot), first[slot]) << "slot " << slot;
    }
    EXPECT_EQ(keyboard->slotRecord(11)[0][4], 0);  // now an empty type 0 record
}

TEST_F(FlowsWithKeyboard, BacklightGoesOutAndComesBack) {
    for (int key = 1; key <= kKeyCount; ++key) {
        writer->backlight[key] = {key, 255 - key, (key * 7) % 256};
    }
    writer->backlight[0] = {1, 2, 3};        // never sent
    writer->backlight[108] = {0x1FF, 0, 0};  // the keyboard keeps the low byte
    ASSERT_TRUE(writeBacklightToKeyboard(*writer));
    // Begin, six chunks of at most 61 bytes, end.
    ASSERT_TRUE(keyboard->waitForReports(8, 5000));
    const auto lights = keyboard->lights();
    EXPECT_EQ(lights[0], 1);
    EXPECT_EQ(lights[1], 254);
    EXPECT_EQ(lights[2], 7);
    EXPECT_EQ(lights[321], 0xFF);

    openReader();
    ASSERT_TRUE(readBacklightFromKeyboard(*reader));
    for (int key = 1; key < kKeyCount; ++key) {
        EXPECT_EQ(reader->backlight[key], writer->backlight[key]) << "key " << key;
    }
    EXPECT_EQ(reader->backlight[108], (Colour{0xFF, 0, 0}));
    EXPECT_EQ(reader->backlight[0], (Colour{0, 0, 0}));
}

TEST_F(FlowsWithKeyboard, SilentKeyboardLeavesTheDocumentAlone) {
    fillEveryType(*writer);
    ASSERT_TRUE(writeKeysToKeyboard(*writer, nullptr));
    openReader();
    fillReaderWithOwnContent();
    const Snapshot before = snapshotOf(*reader);
    keyboard->setSilent(true);
    EXPECT_FALSE(readKeysFromKeyboard(*reader, nullptr));
    EXPECT_FALSE(readBacklightFromKeyboard(*reader));
    expectUnchanged(*reader, before);
}

TEST_F(FlowsWithKeyboard, UnpluggedKeyboardFailsTheWrites) {
    fillEveryType(*writer);
    keyboard->stop();
    EXPECT_FALSE(writeKeysToKeyboard(*writer, nullptr));
    EXPECT_FALSE(writeBacklightToKeyboard(*writer));
}

TEST_F(FlowsWithKeyboard, DroppingKeyboardLeavesTheDocumentAlone) {
    fillEveryType(*writer);
    ASSERT_TRUE(writeKeysToKeyboard(*writer, nullptr));
    openReader();
    fillReaderWithOwnContent();
    const Snapshot before = snapshotOf(*reader);
    // The keyboard goes away right after it took the request.
    keyboard->setDropAfter(1);
    EXPECT_FALSE(readKeysFromKeyboard(*reader, nullptr));
    expectUnchanged(*reader, before);
    reader->keyboard.__closeDev();
    ASSERT_TRUE(reader->keyboard.__createDev());
    EXPECT_FALSE(readBacklightFromKeyboard(*reader));
    expectUnchanged(*reader, before);
}

TEST_F(FlowsWithKeyboard, HalfFinishedReadLeavesTheDocumentAlone) {
    fillEveryType(*writer);
    ASSERT_TRUE(writeKeysToKeyboard(*writer, nullptr));
    ASSERT_TRUE(keyboard->waitForReports(kKeyWriteReports, 5000));
    // The last slot claims a macro of two reports but holds one: the end marker is taken as
    // its second half and the read runs out of reports after 215 good slots.
    oskel::Payload truncated{};
    truncated[1] = 0xF0;
    truncated[2] = 2;
    truncated[3] = 108;
    truncated[4] = 2;
    truncated[10] = 100;
    keyboard->setSlotRecord(215, {truncated});

    openReader();
    fillReaderWithOwnContent();
    const Snapshot before = snapshotOf(*reader);
    EXPECT_FALSE(readKeysFromKeyboard(*reader, nullptr));
    expectUnchanged(*reader, before);
    // The library did take the first slots; the document must not have.
    EXPECT_EQ(heldArray(reader->keyboard, 0, 1), (Bytes{0, 1, 43}));
}

TEST(FlowsWithoutKeyboard, ClosedDeviceFailsAndChangesNothing) {
    auto config = std::make_unique<KeyboardConfig>();
    buildKeyTables(*config);
    config->clear();
    fillEveryType(*config);
    config->backlight[4] = {1, 1, 1};
    const Snapshot before = snapshotOf(*config);
    EXPECT_FALSE(writeKeysToKeyboard(*config, nullptr));
    EXPECT_FALSE(readKeysFromKeyboard(*config, nullptr));
    EXPECT_FALSE(writeBacklightToKeyboard(*config));
    EXPECT_FALSE(readBacklightFromKeyboard(*config));
    expectUnchanged(*config, before);
}

}  // namespace
