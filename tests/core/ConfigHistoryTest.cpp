// SPDX-License-Identifier: GPL-2.0-or-later
// Undo and redo of the configuration document: every kind of change taken back and done again,
// compared byte for byte as saved profiles, with the saved state followed at each point.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>

#include "ConfigHistory.h"
#include "KeyTables.h"
#include "KeyboardConfig.h"

namespace {

namespace fs = std::filesystem;

class ConfigHistoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "oskel-history-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        config = std::make_unique<KeyboardConfig>();
        buildKeyTables(*config);
        config->language = "en-US";
        config->clear();
    }
    void TearDown() override { fs::remove_all(dir); }

    // The document as a saved profile's bytes.
    std::string profileBytes(const KeyboardConfig& c) {
        const std::string path = (dir / "bytes.pro").string();
        std::string why;
        EXPECT_TRUE(c.saveProfile(path, &why)) << why;
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    fs::path dir;
    std::unique_ptr<KeyboardConfig> config;
};

StepList stepsOf(std::initializer_list<const char16_t*> items) {
    StepList list(9);
    for (const char16_t* item : items) {
        list.append(item);
    }
    return list;
}

// A document with something in every part: slots on both levels, each catalogue, colours.
void fillSome(KeyboardConfig& c) {
    c.predefinedMacros.append(u"Attack");
    c.predefinedMacros.children.back() = stepsOf({u"A Down", u"<30 ms>", u"A UP"});
    c.predefinedCombos.append(u"Copy");
    c.predefinedCombos.children.back() = stepsOf({u"Left CTRL", u"C"});
    c.slot(3, 0).mode = Macro;
    c.slot(3, 0).steps = c.predefinedMacros.children.back();
    c.slot(10, 1).mode = Single;
    c.slot(10, 1).hwCode = 4;
    c.backlight[7] = {1, 2, 3};
}

// Every kind of command: do, undo (the document as it was, byte for byte), redo (as it was
// after), and whether it counts as unsaved at each point. `savedAfter`: the command itself
// marks its result saved (Open and Clear do).
TEST_F(ConfigHistoryTest, EveryKindOfStepIsUndoneAndRedoneExactly) {
    const std::string other = (dir / "gaming.pro").string();
    {
        KeyboardConfig source;
        buildKeyTables(source);
        source.clear();
        fillSome(source);
        source.slot(50, 0).mode = Combo;
        source.slot(50, 0).steps = stepsOf({u"Left ALT", u"TAB"});
        source.predefinedEmulations.append(u"Hello");
        ASSERT_TRUE(source.saveProfile(other));
    }
    struct Case {
        const char* name;
        std::function<void(KeyboardConfig&)> command;
        bool savedAfter;
    };
    const Case cases[] = {
        {"a key: one slot and the catalogue entry it stores",
         [](KeyboardConfig& c) {
             c.predefinedMacros.append(u"Dash");
             c.predefinedMacros.children.back() = stepsOf({u"D Down", u"D UP"});
             c.slot(4, 0).mode = Macro;
             c.slot(4, 0).steps = c.predefinedMacros.children.back();
         },
         false},
        {"a key emptied by OK on an empty tab",
         [](KeyboardConfig& c) {
             c.slot(3, 0) = KeyAssignment{NotSet, 3, StepList(9)};
         },
         false},
        {"a catalogue entry removed from the middle",
         [](KeyboardConfig& c) {
             c.predefinedMacros.append(u"Second");
             c.predefinedMacros.append(u"Third");
             c.predefinedMacros.items.erase(c.predefinedMacros.items.begin());
             c.predefinedMacros.children.erase(c.predefinedMacros.children.begin());
         },
         false},
        {"the backlight",
         [](KeyboardConfig& c) {
             c.backlight[1] = {255, 0, 0};
         },
         false},
        {"several keys' colours",
         [](KeyboardConfig& c) {
             for (int k = 20; k < 40; ++k) {
                 c.backlight[k] = {0, 0, 200};
             }
         },
         false},
        {"Clear", [](KeyboardConfig& c) { c.clear(); }, true},
        {"Open", [&other](KeyboardConfig& c) { ASSERT_TRUE(c.loadProfile(other)); }, true},
        {"reading the keyboard: all slots and colours",
         [](KeyboardConfig& c) {
             for (int k = 1; k <= kKeyCount; ++k) {
                 c.slot(k, 0).mode = Single;
                 c.slot(k, 0).hwCode = k;
                 c.backlight[k] = {k, k, k};
             }
         },
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        config->clear();
        fillSome(*config);
        ConfigHistory history(*config);
        const std::string before = profileBytes(*config);
        EXPECT_FALSE(history.hasUnsavedChanges(*config));

        c.command(*config);
        ASSERT_TRUE(history.record(*config, ConfigHistory::StepName{u"步", u"Step"}));
        if (c.savedAfter) {
            history.markSaved(*config);
        }
        const std::string after = profileBytes(*config);
        ASSERT_NE(before, after);
        EXPECT_EQ(history.hasUnsavedChanges(*config), !c.savedAfter);
        EXPECT_EQ(history.undoText("en-US"), u"Undo Step");
        EXPECT_EQ(history.undoText("zh-CN"), u"撤销 步");

        ASSERT_TRUE(history.undo(*config));
        EXPECT_EQ(profileBytes(*config), before);
        EXPECT_EQ(history.hasUnsavedChanges(*config), c.savedAfter);
        EXPECT_FALSE(history.canUndo());
        EXPECT_EQ(history.redoText("en-US"), u"Redo Step");

        ASSERT_TRUE(history.redo(*config));
        EXPECT_EQ(profileBytes(*config), after);
        EXPECT_EQ(history.hasUnsavedChanges(*config), !c.savedAfter);
        EXPECT_FALSE(history.canRedo());

        // Twice more, to be sure the recorded copy followed each move.
        ASSERT_TRUE(history.undo(*config));
        ASSERT_TRUE(history.redo(*config));
        EXPECT_EQ(profileBytes(*config), after);
    }
}

// Saving keeps the history; undoing past the save is unsaved, and redoing back is saved again.
TEST_F(ConfigHistoryTest, SavedStateFollowsUndoAndRedo) {
    ConfigHistory history(*config);
    config->slot(1, 0).mode = Single;
    config->slot(1, 0).hwCode = 5;
    ASSERT_TRUE(history.record(*config, {u"a", u"a"}));
    history.markSaved(*config);  // Save
    EXPECT_FALSE(history.hasUnsavedChanges(*config));
    EXPECT_TRUE(history.canUndo());

    ASSERT_TRUE(history.undo(*config));
    EXPECT_TRUE(history.hasUnsavedChanges(*config));  // exit would ask
    ASSERT_TRUE(history.redo(*config));
    EXPECT_FALSE(history.hasUnsavedChanges(*config));

    // Undo past the save, then a new step: the saved state can no longer be reached.
    ASSERT_TRUE(history.undo(*config));
    config->slot(2, 0).mode = Single;
    ASSERT_TRUE(history.record(*config, {u"b", u"b"}));
    EXPECT_FALSE(history.canRedo());
    EXPECT_TRUE(history.hasUnsavedChanges(*config));
    ASSERT_TRUE(history.undo(*config));
    EXPECT_TRUE(history.hasUnsavedChanges(*config));  // the start is not what was saved
}

TEST_F(ConfigHistoryTest, AtMostAHundredStepsTheOldestDropped) {
    ConfigHistory history(*config);
    const std::string start = profileBytes(*config);
    for (int i = 1; i <= 101; ++i) {
        config->slot(1, 0).mode = Single;
        config->slot(1, 0).hwCode = i;
        const std::u16string name = u"set " + std::u16string(1, char16_t(u'0' + i % 10));
        ASSERT_TRUE(history.record(*config, {name, name}));
    }
    EXPECT_EQ(history.undoCount(), ConfigHistory::kMaxSteps);
    int undone = 0;
    while (history.undo(*config)) {
        ++undone;
    }
    EXPECT_EQ(undone, 100);
    // The first step (to hwCode 1) is gone: the oldest reachable state is after it.
    EXPECT_EQ(config->slot(1, 0).hwCode, 1);
    EXPECT_NE(profileBytes(*config), start);
    // The start was saved and is gone with the dropped step: every state now is unsaved.
    EXPECT_TRUE(history.hasUnsavedChanges(*config));
    EXPECT_EQ(history.undoText("en-US"), u"Undo");
    EXPECT_EQ(history.redoCount(), 100u);
}

// Nothing changed, or only where a list was scrolled to: no step, and what could be redone
// stays.
TEST_F(ConfigHistoryTest, AStepThatChangesNothingLeavesTheHistoryAlone) {
    fillSome(*config);
    ConfigHistory history(*config);
    config->slot(5, 0).mode = Single;
    ASSERT_TRUE(history.record(*config, {u"x", u"x"}));
    ASSERT_TRUE(history.undo(*config));
    const std::u16string redo = history.redoText("en-US");

    EXPECT_FALSE(history.record(*config, {u"y", u"y"}));
    config->predefinedMacros.CursorPos = 0;
    config->predefinedMacros.ViewStartAt = 0;
    config->slot(3, 0).steps.CursorPos = 2;
    EXPECT_FALSE(history.record(*config, {u"z", u"z"}));
    EXPECT_EQ(history.undoCount(), 0u);
    EXPECT_EQ(history.redoText("en-US"), redo);
    EXPECT_FALSE(history.hasUnsavedChanges(*config));
}

// Step names for a key: the slot's type and what it holds, a catalogue's list by its name.
TEST_F(ConfigHistoryTest, KeyStepNamesInBothLanguages) {
    fillSome(*config);
    struct Case {
        int key;
        int level;
        const char16_t* zh;
        const char16_t* en;
    };
    const Case cases[] = {
        {3, 0, u"F2 上档键：宏键 Attack", u"F2 level 1: macro Attack"},
        {10, 1, u"F2 下档键：单键 F3", u"F2 level 2: single F3"},
        {11, 0, u"F2 上档键：未设置", u"F2 level 1: not set"},
    };
    for (const Case& c : cases) {
        const ConfigHistory::StepName name =
            ConfigHistory::keyStepName(*config, u"F2", c.key, c.level);
        EXPECT_EQ(name.zh, c.zh);
        EXPECT_EQ(name.en, c.en);
    }
}

// Large steps (Opens of big profiles) go once together they hold more than the budget; the
// newest always stays, however large.
TEST_F(ConfigHistoryTest, LargeStepsAreDroppedBeyondTheByteBudget) {
    StepList big(9);
    for (int i = 0; i < 2000; ++i) {
        big.append(u"Left CTRL Down");
    }
    ConfigHistory probe(*config);
    config->slot(1, 0).steps = big;
    ASSERT_TRUE(probe.record(*config, {u"p", u"p"}));
    const std::size_t oneStep = probe.stepBytes();
    config->clear();

    ConfigHistory history(*config, oneStep * 5 / 2);
    for (int key = 1; key <= 3; ++key) {
        config->slot(key, 0).steps = big;
        ASSERT_TRUE(history.record(*config, {u"k", u"k"}));
    }
    EXPECT_EQ(history.undoCount(), 2u);
    EXPECT_LE(history.stepBytes(), oneStep * 5 / 2);

    ConfigHistory tiny(*config, 1);
    config->slot(9, 0).steps = big;
    ASSERT_TRUE(tiny.record(*config, {u"k", u"k"}));
    EXPECT_EQ(tiny.undoCount(), 1u);
    ASSERT_TRUE(tiny.undo(*config));
    EXPECT_TRUE(config->slot(9, 0).steps.items.empty());
}

// A one-key change holds about two slots, not a copy of the document.
TEST_F(ConfigHistoryTest, AStepHoldsWhatChangedOnly) {
    StepList big(9);
    for (int i = 0; i < 500; ++i) {
        big.append(u"Left CTRL Down");
    }
    for (int k = 1; k <= kKeyCount; ++k) {
        config->slot(k, 0).mode = Macro;
        config->slot(k, 0).steps = big;
    }
    ConfigHistory history(*config);
    config->slot(1, 0).hwCode = 9;
    ASSERT_TRUE(history.record(*config, {u"x", u"x"}));
    EXPECT_LT(history.stepBytes() * 20, history.copyBytes());
}

}  // namespace
