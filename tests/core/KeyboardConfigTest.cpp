// SPDX-License-Identifier: GPL-2.0-or-later
#include <gtest/gtest.h>

#include <memory>

#include "KeyTables.h"
#include "KeyboardConfig.h"

namespace {

std::unique_ptr<KeyboardConfig> newConfig() {
    return std::make_unique<KeyboardConfig>();
}

TEST(KeyboardConfig, ConstructedEmpty) {
    const auto config = newConfig();
    EXPECT_TRUE(config->language.empty());
    EXPECT_TRUE(config->keyNames.empty());
    for (int i = 0; i < kCodeTableSize; ++i) {
        ASSERT_EQ(config->keyCodeToHwCode[i], 0);
        ASSERT_EQ(config->hwCodeToKeyCode[i], 0);
    }
    EXPECT_TRUE(config->typeNamesZh[0].empty());
    EXPECT_EQ(config->currentKey, 0);
    EXPECT_EQ(config->currentLevel, 0);
    EXPECT_EQ(config->predefinedCombos.SizeOfView, 0);
    for (int key = 0; key < kKeyTableSize; ++key) {
        for (int level = 0; level < kLevelCount; ++level) {
            const KeyAssignment& slot = config->slot(key, level);
            ASSERT_EQ(slot.mode, NotSet);
            ASSERT_EQ(slot.hwCode, 0);
            ASSERT_EQ(slot.steps.SizeOfView, 0);
        }
        ASSERT_EQ(config->backlight[key], (Colour{0, 0, 0}));
        ASSERT_FALSE(config->multiSelectFlags[key]);
    }
    EXPECT_EQ(config->notifyWindow, nullptr);
    EXPECT_TRUE(config->firmwarePath.empty());
}

TEST(KeyboardConfig, ClearEmptiesEverySlotAndCatalogue) {
    auto config = newConfig();
    buildKeyTables(*config);
    config->language = "en-US";
    config->currentLevel = 1;
    config->currentKey = 17;
    config->multiSelectFlags[3] = true;
    config->multiSelectRed = 9;
    config->firmwarePath = u"/tmp/fw.hex";
    config->backlight[108] = {1, 2, 3};
    for (StepList* catalogue :
         {&config->predefinedMacros, &config->predefinedCombos, &config->predefinedEmulations}) {
        catalogue->SizeOfView = 4;
        catalogue->setOrAppendAtRow(20000, u"entry");
        catalogue->Delay = 5;
    }
    KeyAssignment& slot = config->slot(5, 1);
    slot.mode = Macro;
    slot.hwCode = 130;
    slot.steps.SizeOfView = 9;
    slot.steps.append(u"A Down");
    slot.steps.PlayMode = 2;

    config->clear();

    EXPECT_EQ(config->predefinedMacros.SizeOfView, 9);
    EXPECT_EQ(config->predefinedCombos.SizeOfView, 6);
    EXPECT_EQ(config->predefinedEmulations.SizeOfView, 9);
    for (const StepList* catalogue :
         {&config->predefinedMacros, &config->predefinedCombos, &config->predefinedEmulations}) {
        EXPECT_EQ(catalogue->count(), 0);
        EXPECT_TRUE(catalogue->children.empty());
        EXPECT_EQ(catalogue->Delay, 30);
    }
    for (int key = 0; key < kKeyTableSize; ++key) {
        for (int level = 0; level < kLevelCount; ++level) {
            ASSERT_EQ(config->slot(key, level).mode, NotSet);
            ASSERT_EQ(config->slot(key, level).hwCode, key);
            ASSERT_TRUE(config->slot(key, level).steps.items.empty());
        }
        ASSERT_EQ(config->backlight[key], (Colour{0, 0, 0}));
    }
    EXPECT_EQ(config->slot(5, 1).hwCode, 5);
    EXPECT_EQ(config->slot(5, 1).steps.SizeOfView, 9);
    EXPECT_EQ(config->slot(5, 1).steps.PlayMode, 0);
    EXPECT_EQ(config->slot(6, 1).steps.SizeOfView, 0);
    // Untouched by clear.
    EXPECT_EQ(config->language, "en-US");
    EXPECT_EQ(config->currentLevel, 1);
    EXPECT_EQ(config->currentKey, 17);
    EXPECT_TRUE(config->multiSelectFlags[3]);
    EXPECT_EQ(config->multiSelectRed, 9);
    EXPECT_EQ(config->firmwarePath, u"/tmp/fw.hex");
    EXPECT_EQ(config->keyNames.size(), 234u);
}

TEST(KeyboardConfig, SlotsAreAddressedByKeyAndLevel) {
    auto config = newConfig();
    config->slot(108, 1).hwCode = 42;
    EXPECT_EQ(config->assignments[108][1].hwCode, 42);
    EXPECT_EQ(config->assignments[108][0].hwCode, 0);
    // Slot k * 2 + l of one table of 218.
    const KeyAssignment* first = &config->assignments[0][0];
    EXPECT_EQ(&config->assignments[54][1] - first, 54 * 2 + 1);
    EXPECT_TRUE(KeyboardConfig::validSlot(108, 1));
    EXPECT_FALSE(KeyboardConfig::validSlot(109, 0));
    EXPECT_FALSE(KeyboardConfig::validSlot(1, 2));
    EXPECT_FALSE(KeyboardConfig::validSlot(-1, 0));
}

TEST(KeyboardConfig, OneDocumentPerProcess) {
    KeyboardConfig& first = keyboardConfig();
    first.currentKey = 33;
    EXPECT_EQ(&keyboardConfig(), &first);
    EXPECT_EQ(keyboardConfig().currentKey, 33);
}

}  // namespace
