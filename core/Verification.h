// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Checking that the keyboard took what was written: the key records and the light table it
// holds, read back and compared slot by slot with what was sent, in the keyboard's own terms
// (codes, pauses, intervals and play settings as the records carry them; not list names, item
// texts or view positions, which never reach the keyboard).

#include <OskelHWI.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "KeyboardConfig.h"

// What one slot's key record carries, reduced to the widths the record stores.
struct SlotRecord {
    enum class Kind {
        Empty,    // nothing: the empty record, or a list or macro without codes
        Codes,    // codes sent together (single key, combination, function...)
        KeyList,  // codes typed one after another, `delay` apart
        Macro,    // steps with play settings
    };
    Kind kind = Kind::Empty;
    std::vector<int> codes;   // one byte each
    std::vector<int> pauses;  // macro with step pauses: after each step but the last, 16 bits
    int delay = 0;            // key list interval, or the macro's fixed interval; 16 bits
    int playMode = 0;         // macro: 0, 1 or 2
    int cycles = 0;           // macro: one byte
    bool stepPauses = false;  // macro: each step but the last carries its own pause

    bool operator==(const SlotRecord&) const = default;
};

// The record a key-configuration array (as the device library takes and gives it) stands for.
// Reads no more than `count` ints.
SlotRecord slotRecordOf(const int* array, int count);

// What the keyboard holds, or is to hold: 216 key records and the 324-byte light table.
struct KeyboardImage {
    // Slot of level index l (0, 1) and KeyIndex k: l * 108 + k - 1.
    std::array<SlotRecord, kSlotCount> records;
    std::array<std::uint8_t, kLightArrayLength> lights{};

    static constexpr int slotOf(int key, int level) { return level * kKeyCount + key - 1; }
};

struct SlotDifference {
    int key = 0;    // KeyIndex 1..108
    int level = 0;  // level index 0 or 1
    SlotRecord written;
    SlotRecord held;
};

struct LightDifference {
    int key = 0;
    Colour written{};
    Colour held{};
};

struct Comparison {
    std::vector<SlotDifference> keys;  // level 1 keys 1..108, then level 2
    std::vector<LightDifference> lights;
    bool agrees() const { return keys.empty() && lights.empty(); }
};

// Which parts of the images to compare.
struct VerifyParts {
    bool keys = true;
    bool lights = true;
};

Comparison compareImages(const KeyboardImage& written, const KeyboardImage& held,
                         VerifyParts parts = {});

// What writing the document sends: every assignment as the device library turns it into a key
// record, and the backlight's low bytes. Fills the library's key slots on the way (as a key
// write does); needs the keyboard open.
KeyboardImage imageToWrite(KeyboardConfig& config);

// What the last key write sent, taken from the library's key slots as that write left them
// (nothing is translated again), and the backlight's low bytes.
KeyboardImage writtenImage(KeyboardConfig& config);

// Reads the keyboard back into `held`: the key records (progress to `window`) and/or the light
// table. Slots the keyboard does not send read as empty. False when a transfer failed; `held` is
// then incomplete. The document is not changed.
bool readKeyboardImage(KeyboardConfig& config, WindowHandle window, VerifyParts parts,
                       KeyboardImage& held);

// imageToWrite, readKeyboardImage and compareImages in one: false on a device failure.
bool verifyKeyboard(KeyboardConfig& config, WindowHandle window, VerifyParts parts,
                    Comparison& result);

// The same right after writeKeysToKeyboard (and the backlight write), comparing with what that
// write sent: writtenImage instead of imageToWrite.
bool verifyWritten(KeyboardConfig& config, WindowHandle window, VerifyParts parts,
                   Comparison& result);

// A number of an assignment that the keyboard cannot store as it stands: it is sent clamped to
// what the record holds (pauses and intervals 0..65535 ms, repeat counts 0..255), and
// verification compares against the number the document says, so it shows as a difference.
struct ClampedValue {
    enum class What { Pause, Interval, Cycles };
    int key = 0;    // KeyIndex 1..108
    int level = 0;  // level index 0 or 1
    What what = What::Pause;
    int step = 0;   // a pause: after this step (1-based)
    int given = 0;  // what the document says
    int sent = 0;   // what the keyboard is sent instead
};
std::vector<ClampedValue> valuesTheKeyboardCannotStore(const KeyboardConfig& config);
// "Esc, level 1: the pause after step 1 is 70000 ms; the keyboard stores at most 65535 ms, so
// 65535 ms is sent".
std::u16string clampedValueText(const ClampedValue& value, const std::u16string& keyName,
                                const std::string& language);

// Texts, in Chinese for "zh-CN" and in English otherwise. Code names come from the document's
// key tables; `keyName` is the key's label as the keyboard picture shows it ("F2").
std::u16string describeRecord(const KeyboardConfig& config, const SlotRecord& record,
                              const std::string& language);
std::u16string levelName(int level, const std::string& language);
// "F2, level 1: a macro of 40 steps was written, the keyboard holds an empty slot".
std::u16string differenceText(const KeyboardConfig& config, const SlotDifference& difference,
                              const std::u16string& keyName, const std::string& language);
// "Esc: the backlight (255, 0, 0) was written, the keyboard holds (0, 0, 0)".
std::u16string differenceText(const LightDifference& difference, const std::u16string& keyName,
                              const std::string& language);

// A profile's image worked out without the keyboard: every assignment as its key record, and
// the backlight's low bytes. Unlike imageToWrite it does not cut a list to what the device
// library would send.
KeyboardImage profileImage(const KeyboardConfig& config);

// A difference between two profiles, A (as `written`) and B (as `held`), in the same terms:
// "F2, level 1: a macro of 12 steps in A, the key B (code 5) in B".
std::u16string sideBySideText(const KeyboardConfig& config, const SlotDifference& difference,
                              const std::u16string& keyName, const std::string& language);
// "Esc: the backlight (255, 0, 0) in A, (0, 0, 0) in B".
std::u16string sideBySideText(const LightDifference& difference, const std::u16string& keyName,
                              const std::string& language);

// One entry of a catalogue (combos, macros, emulations) that two profiles do not share: there in
// one only, named otherwise, or with other steps or play settings. Entries are matched by place.
struct CatalogueDifference {
    int catalogue = 0;  // 0 combos, 1 macros, 2 emulations
    int entry = 0;      // 0-based place in the catalogue
    bool inA = false;
    bool inB = false;
    std::u16string nameA;
    std::u16string nameB;
    StepList stepsA;
    StepList stepsB;
};

std::vector<CatalogueDifference> compareCatalogues(const KeyboardConfig& a,
                                                   const KeyboardConfig& b);
// "macros, entry 2 \"Reload\": 4 steps in A, 6 in B".
std::u16string catalogueDifferenceText(const CatalogueDifference& difference,
                                       const std::string& language);
