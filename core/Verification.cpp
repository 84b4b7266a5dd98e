// SPDX-License-Identifier: GPL-2.0-or-later
#include "Verification.h"

#include <algorithm>

#include "KeyTables.h"
#include "LanguageText.h"
#include "TransferFlows.h"

namespace {

// Room for the longest definition the library holds: a macro of 65535 single-byte steps.
constexpr int kSlotArrayCapacity = 6 + 65535 + 16;
// A combination names at most this many keys before it is cut with "...".
constexpr std::size_t kNamedCodes = 6;

int byteOf(int value) {
    return value & 0xFF;
}

int wordOf(int value) {
    return value & 0xFFFF;
}

// The count at `index`, bounded by the ints left for the codes that follow it.
int countAt(const int* array, int count, int index, int first, int stride) {
    if (count <= index) {
        return 0;
    }
    const int room = count - first;
    const int fits = room <= 0 ? 0 : (room + stride - 1) / stride;
    return std::clamp(array[index], 0, fits);
}

std::vector<int> codesAt(const int* array, int first, int n, int stride) {
    std::vector<int> codes(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        codes[i] = byteOf(array[first + stride * i]);
    }
    return codes;
}

SlotRecord macroRecord(const int* array, int count) {
    SlotRecord record;
    if (count < 6) {
        return record;
    }
    const bool paused = array[3] != 0;
    const int n = countAt(array, count, 5, 6, paused ? 2 : 1);
    if (n == 0) {
        return record;  // the library sends a macro without steps as the empty record
    }
    record.kind = SlotRecord::Kind::Macro;
    record.playMode = array[1];
    record.cycles = byteOf(array[2]);
    record.stepPauses = paused;
    record.delay = wordOf(array[4]);
    record.codes = codesAt(array, 6, n, paused ? 2 : 1);
    if (paused) {
        for (int i = 0; i + 1 < n; ++i) {
            record.pauses.push_back(wordOf(array[7 + 2 * i]));
        }
    }
    return record;
}

// ---- Texts ----------------------------------------------------------------------------------

std::u16string number(long long value) {
    const std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
}

// Replaces %1 .. %9 in `pattern` by the arguments, in one pass, so an argument that happens to
// hold "%2" stays as it is.
std::u16string format(std::u16string_view pattern, const std::vector<std::u16string>& args) {
    std::u16string out;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char16_t next = i + 1 < pattern.size() ? pattern[i + 1] : u'\0';
        const std::size_t index = next >= u'1' && next <= u'9' ? next - u'1' : args.size();
        if (pattern[i] == u'%' && index < args.size()) {
            out += args[index];
            ++i;
        } else {
            out += pattern[i];
        }
    }
    return out;
}

using Text = LanguageText;

namespace texts {
constexpr Text kEmpty{u"空键位", u"an empty slot"};
constexpr Text kKnownCode{u"按键 %1（代码 %2）", u"the key %1 (code %2)"};
constexpr Text kUnknownCode{u"代码 %1", u"the code %1"};
constexpr Text kCombination{u"%1 个键的组合（%2）", u"a combination of %1 keys (%2)"};
constexpr Text kKeyList{u"%1 个键的连发列表（间隔 %2 ms）", u"a key list of %1 keys, %2 ms apart"};
constexpr Text kKeyListOfOne{u"1 个键的连发列表（间隔 %2 ms）",
                             u"a key list of 1 key, %2 ms apart"};
constexpr Text kMacro{u"%1 步的宏", u"a macro of %1 steps"};
constexpr Text kMacroOfOne{u"1 步的宏", u"a macro of 1 step"};
constexpr Text kLevel1{u"上档键", u"level 1"};
constexpr Text kLevel2{u"下档键", u"level 2"};
constexpr Text kOtherRecord{u"%1，%2：写入的是%3，键盘上是%4",
                            u"%1, %2: %3 was written, the keyboard holds %4"};
constexpr Text kSameShape{u"%1，%2：键盘上是%3，但%4", u"%1, %2: the keyboard holds %3, but %4"};
constexpr Text kCodeAt{u"第 %1 个键是 %2 而不是 %3", u"key %1 is %2 instead of %3"};
constexpr Text kStepAt{u"第 %1 步是 %2 而不是 %3", u"step %1 is %2 instead of %3"};
constexpr Text kPauseAt{u"第 %1 步后的停顿是 %2 ms 而不是 %3 ms",
                        u"the pause after step %1 is %2 ms instead of %3 ms"};
constexpr Text kInterval{u"间隔是 %1 ms 而不是 %2 ms", u"the interval is %1 ms instead of %2 ms"};
constexpr Text kCycles{u"重复次数是 %1 而不是 %2", u"the repeat count is %1 instead of %2"};
constexpr Text kPlayMode{u"播放方式是 %1 而不是 %2", u"the play mode is %1 instead of %2"};
constexpr Text kPausesLost{u"各步的停顿没有保存", u"the steps' own pauses are missing"};
constexpr Text kPausesAdded{u"各步带有未写入的停顿",
                            u"the steps carry pauses that were not written"};
constexpr Text kClampedPause{
    u"%1，%2：第 %3 步后的停顿是 %4 ms，键盘只能保存 0 到 65535 ms，发送的是 %5 ms",
    u"%1, %2: the pause after step %3 is %4 ms; the keyboard stores 0 to "
    u"65535 ms, so %5 ms is sent"};
constexpr Text kClampedInterval{u"%1，%2：间隔是 %4 ms，键盘只能保存 0 到 65535 ms，发送的是 %5 ms",
                                u"%1, %2: the interval is %4 ms; the keyboard stores 0 to 65535 "
                                u"ms, so %5 ms is sent"};
constexpr Text kClampedCycles{u"%1，%2：重复次数是 %4，键盘只能保存 0 到 255，发送的是 %5",
                              u"%1, %2: the repeat count is %4; the keyboard stores 0 to 255, so "
                              u"%5 is sent"};
constexpr Text kLight{u"%1：写入的背光是 %2，键盘上是 %3",
                      u"%1: the backlight %2 was written, the keyboard holds %3"};
// Two profiles side by side, A and B.
constexpr Text kOtherRecordAB{u"%1，%2：A 中是%3，B 中是%4", u"%1, %2: %3 in A, %4 in B"};
constexpr Text kSameShapeAB{u"%1，%2：两边都是%3，但 B 中%4", u"%1, %2: %3 in both, but in B %4"};
constexpr Text kLightAB{u"%1：A 中的背光是 %2，B 中是 %3", u"%1: the backlight %2 in A, %3 in B"};
constexpr Text kCombos{u"组合键列表", u"combos"};
constexpr Text kMacros{u"宏列表", u"macros"};
constexpr Text kEmulations{u"模拟列表", u"emulations"};
constexpr Text kOnlyInA{u"%1，第 %2 项“%3”：只在 A 中", u"%1, entry %2 \"%3\": only in A"};
constexpr Text kOnlyInB{u"%1，第 %2 项“%3”：只在 B 中", u"%1, entry %2 \"%3\": only in B"};
constexpr Text kRenamed{u"%1，第 %2 项：A 中名为“%3”，B 中名为“%4”",
                        u"%1, entry %2: named \"%3\" in A, \"%4\" in B"};
constexpr Text kStepCount{u"%1，第 %2 项“%3”：A 中有 %4 步，B 中有 %5 步",
                          u"%1, entry %2 \"%3\": %4 steps in A, %5 in B"};
constexpr Text kStepText{u"%1，第 %2 项“%3”：第 %4 步 A 中是“%5”，B 中是“%6”",
                         u"%1, entry %2 \"%3\": step %4 is \"%5\" in A, \"%6\" in B"};
constexpr Text kSetting{u"%1，第 %2 项“%3”：%4 A 中是 %5，B 中是 %6",
                        u"%1, entry %2 \"%3\": the %4 is %5 in A, %6 in B"};
constexpr Text kSettingInterval{u"间隔", u"interval"};
constexpr Text kSettingAuto{u"自动间隔", u"automatic interval"};
constexpr Text kSettingCycles{u"重复次数", u"repeat count"};
constexpr Text kSettingPlayMode{u"播放方式", u"play mode"};
}  // namespace texts

std::u16string codeText(const KeyboardConfig& config, int code) {
    return hwCodeName(config, code);
}

std::u16string joinedCodes(const KeyboardConfig& config, const std::vector<int>& codes) {
    std::u16string text;
    for (std::size_t i = 0; i < codes.size() && i < kNamedCodes; ++i) {
        text += (i > 0 ? u" + " : u"") + codeText(config, codes[i]);
    }
    if (codes.size() > kNamedCodes) {
        text += u" + ...";
    }
    return text;
}

// The first thing that tells two records of the same description apart.
std::u16string firstDetail(const KeyboardConfig& config, const SlotRecord& written,
                           const SlotRecord& held, const std::string& language) {
    const bool macro = written.kind == SlotRecord::Kind::Macro;
    for (std::size_t i = 0; i < written.codes.size() && i < held.codes.size(); ++i) {
        if (written.codes[i] != held.codes[i]) {
            return format((macro ? texts::kStepAt : texts::kCodeAt).chineseOrEnglish(language),
                          {number(static_cast<long long>(i + 1)), codeText(config, held.codes[i]),
                           codeText(config, written.codes[i])});
        }
    }
    if (written.stepPauses != held.stepPauses) {
        return std::u16string((written.stepPauses ? texts::kPausesLost : texts::kPausesAdded)
                                  .chineseOrEnglish(language));
    }
    for (std::size_t i = 0; i < written.pauses.size() && i < held.pauses.size(); ++i) {
        if (written.pauses[i] != held.pauses[i]) {
            return format(texts::kPauseAt.chineseOrEnglish(language),
                          {number(static_cast<long long>(i + 1)), number(held.pauses[i]),
                           number(written.pauses[i])});
        }
    }
    if (written.delay != held.delay) {
        return format(texts::kInterval.chineseOrEnglish(language),
                      {number(held.delay), number(written.delay)});
    }
    if (written.cycles != held.cycles) {
        return format(texts::kCycles.chineseOrEnglish(language),
                      {number(held.cycles), number(written.cycles)});
    }
    return format(texts::kPlayMode.chineseOrEnglish(language),
                  {number(held.playMode), number(written.playMode)});
}

std::u16string colourText(const Colour& colour) {
    return u"(" + number(colour[0]) + u", " + number(colour[1]) + u", " + number(colour[2]) + u")";
}

}  // namespace

SlotRecord slotRecordOf(const int* array, int count) {
    SlotRecord record;
    if (array == nullptr || count <= 0) {
        return record;
    }
    switch (array[0]) {
        case 0: {
            const int n = countAt(array, count, 1, 2, 1);
            if (n > 0) {
                record.kind = SlotRecord::Kind::Codes;
                record.codes = codesAt(array, 2, n, 1);
            }
            return record;
        }
        case 1: {
            // A list without codes goes out as its header alone: the keyboard has nothing to type.
            const int n = countAt(array, count, 2, 3, 1);
            if (n > 0) {
                record.kind = SlotRecord::Kind::KeyList;
                record.delay = wordOf(array[1]);
                record.codes = codesAt(array, 3, n, 1);
            }
            return record;
        }
        case 2:
            return macroRecord(array, count);
        default:
            return record;
    }
}

Comparison compareImages(const KeyboardImage& written, const KeyboardImage& held,
                         VerifyParts parts) {
    Comparison result;
    for (int level = 0; parts.keys && level < kLevelCount; ++level) {
        for (int key = 1; key <= kKeyCount; ++key) {
            const int slot = KeyboardImage::slotOf(key, level);
            if (!(written.records[slot] == held.records[slot])) {
                result.keys.push_back({key, level, written.records[slot], held.records[slot]});
            }
        }
    }
    for (int key = 1; parts.lights && key <= kKeyCount; ++key) {
        LightDifference difference{key};
        for (int c = 0; c < 3; ++c) {
            difference.written[c] = written.lights[(key - 1) * 3 + c];
            difference.held[c] = held.lights[(key - 1) * 3 + c];
        }
        if (difference.written != difference.held) {
            result.lights.push_back(difference);
        }
    }
    return result;
}

namespace {

void libraryKeysInto(CTravoHWI& keyboard, KeyboardImage& image) {
    std::vector<int> array(kSlotArrayCapacity);
    for (int level = 0; level < kLevelCount; ++level) {
        for (int key = 1; key <= kKeyCount; ++key) {
            // The library writes a definition's counts and everything they cover; a slot it
            // cannot give reads as the empty record, not as the slot before.
            array[0] = array[1] = 0;
            keyboard.getKeyConfiguration(level, key, array.data(), kSlotArrayCapacity);
            image.records[KeyboardImage::slotOf(key, level)] =
                slotRecordOf(array.data(), kSlotArrayCapacity);
        }
    }
}

}  // namespace

KeyboardImage writtenImage(KeyboardConfig& config) {
    KeyboardImage image;
    libraryKeysInto(config.keyboard, image);
    // The library stores what the keyboard can hold; the comparison is with what the document
    // says, so a number that could not be stored is a difference.
    for (const ClampedValue& value : valuesTheKeyboardCannotStore(config)) {
        SlotRecord& record = image.records[KeyboardImage::slotOf(value.key, value.level)];
        switch (value.what) {
            case ClampedValue::What::Pause:
                if (value.step >= 1 && value.step <= static_cast<int>(record.pauses.size())) {
                    record.pauses[value.step - 1] = value.given;
                }
                break;
            case ClampedValue::What::Interval:
                record.delay = value.given;
                break;
            case ClampedValue::What::Cycles:
                record.cycles = value.given;
                break;
        }
    }
    for (int key = 1; key <= kKeyCount; ++key) {
        for (int c = 0; c < 3; ++c) {
            image.lights[(key - 1) * 3 + c] = static_cast<std::uint8_t>(config.backlight[key][c]);
        }
    }
    return image;
}

KeyboardImage imageToWrite(KeyboardConfig& config) {
    // The library turns each assignment into its record (cutting lists the record cannot
    // carry), so the image is taken from its slots rather than worked out a second time.
    loadKeyDefinitions(config);
    return writtenImage(config);
}

bool readKeyboardImage(KeyboardConfig& config, WindowHandle window, VerifyParts parts,
                       KeyboardImage& held) {
    CTravoHWI& keyboard = config.keyboard;
    if (!keyboard.isOpen()) {
        return false;
    }
    if (parts.keys) {
        // The read keeps what a slot held when the keyboard sends nothing for it; emptied first,
        // a slot the keyboard left out cannot pass for what was written.
        keyboard.prepare();
        if (!keyboard.readKeyDefinationFromDev(window)) {
            return false;
        }
        libraryKeysInto(keyboard, held);
    }
    if (parts.lights) {
        if (!keyboard.readKeyLightFromDev()) {
            return false;
        }
        int lights[kLightArrayLength] = {};
        keyboard.getKeyboardLightArea(lights);
        for (int i = 0; i < kLightArrayLength; ++i) {
            held.lights[i] = static_cast<std::uint8_t>(lights[i]);
        }
    }
    return true;
}

namespace {

bool compareWithRead(KeyboardConfig& config, const KeyboardImage& written, WindowHandle window,
                     VerifyParts parts, Comparison& result) {
    KeyboardImage held;
    if (!readKeyboardImage(config, window, parts, held)) {
        return false;
    }
    result = compareImages(written, held, parts);
    return true;
}

}  // namespace

bool verifyKeyboard(KeyboardConfig& config, WindowHandle window, VerifyParts parts,
                    Comparison& result) {
    return config.keyboard.isOpen() &&
           compareWithRead(config, imageToWrite(config), window, parts, result);
}

bool verifyWritten(KeyboardConfig& config, WindowHandle window, VerifyParts parts,
                   Comparison& result) {
    return config.keyboard.isOpen() &&
           compareWithRead(config, writtenImage(config), window, parts, result);
}

std::u16string describeRecord(const KeyboardConfig& config, const SlotRecord& record,
                              const std::string& language) {
    const auto count = number(static_cast<long long>(record.codes.size()));
    const bool one = record.codes.size() == 1;
    switch (record.kind) {
        case SlotRecord::Kind::Empty:
            return std::u16string(texts::kEmpty.chineseOrEnglish(language));
        case SlotRecord::Kind::Codes:
            if (record.codes.size() == 1) {
                const std::u16string name = codeText(config, record.codes[0]);
                return name == kNoName ? format(texts::kUnknownCode.chineseOrEnglish(language),
                                                {number(record.codes[0])})
                                       : format(texts::kKnownCode.chineseOrEnglish(language),
                                                {name, number(record.codes[0])});
            }
            return format(texts::kCombination.chineseOrEnglish(language),
                          {count, joinedCodes(config, record.codes)});
        case SlotRecord::Kind::KeyList:
            return format((one ? texts::kKeyListOfOne : texts::kKeyList).chineseOrEnglish(language),
                          {count, number(record.delay)});
        case SlotRecord::Kind::Macro:
            return format((one ? texts::kMacroOfOne : texts::kMacro).chineseOrEnglish(language),
                          {count});
    }
    return {};
}

std::vector<ClampedValue> valuesTheKeyboardCannotStore(const KeyboardConfig& config) {
    constexpr int kMaxMilliseconds = 65535;
    constexpr int kMaxCycles = 255;
    std::vector<ClampedValue> out;
    const StepValues values(config);
    for (int level = 0; level < kLevelCount; ++level) {
        for (int key = 1; key <= kKeyCount; ++key) {
            const KeyAssignment& assignment = config.slot(key, level);
            if (assignment.mode != Macro && assignment.mode != Emulation) {
                continue;
            }
            const std::vector<int> array = keyConfigurationOf(values, assignment);
            auto check = [&](ClampedValue::What what, int given, int most, int step = 0) {
                const int sent = std::clamp(given, 0, most);
                if (sent != given) {
                    out.push_back({key, level, what, step, given, sent});
                }
            };
            if (assignment.mode == Emulation) {
                if (array.size() > 1) {
                    check(ClampedValue::What::Interval, array[1], kMaxMilliseconds);
                }
                continue;
            }
            if (array.size() < 6) {
                continue;
            }
            check(ClampedValue::What::Cycles, array[2], kMaxCycles);
            const bool paused = array[3] != 0;
            if (!paused) {
                check(ClampedValue::What::Interval, array[4], kMaxMilliseconds);
                continue;
            }
            const int steps = array[5];
            for (int i = 0; i + 1 < steps && 7 + 2 * static_cast<std::size_t>(i) < array.size();
                 ++i) {
                check(ClampedValue::What::Pause, array[7 + 2 * i], kMaxMilliseconds, i + 1);
            }
        }
    }
    return out;
}

std::u16string clampedValueText(const ClampedValue& value, const std::u16string& keyName,
                                const std::string& language) {
    const Text& text = value.what == ClampedValue::What::Pause      ? texts::kClampedPause
                       : value.what == ClampedValue::What::Interval ? texts::kClampedInterval
                                                                    : texts::kClampedCycles;
    return format(std::u16string(text.chineseOrEnglish(language)),
                  {keyName, levelName(value.level, language), number(value.step),
                   number(value.given), number(value.sent)});
}

std::u16string levelName(int level, const std::string& language) {
    return std::u16string(
        (level == 0 ? texts::kLevel1 : texts::kLevel2).chineseOrEnglish(language));
}

namespace {

// A slot's difference in one of the two wordings: "written / held" after a write, "in A / in B"
// between two profiles.
std::u16string slotText(const KeyboardConfig& config, const SlotDifference& difference,
                        const std::u16string& keyName, const std::string& language,
                        const LanguageText& otherRecord, const LanguageText& sameShape) {
    const std::u16string written = describeRecord(config, difference.written, language);
    const std::u16string held = describeRecord(config, difference.held, language);
    const std::u16string level = levelName(difference.level, language);
    if (written != held) {
        return format(otherRecord.chineseOrEnglish(language), {keyName, level, written, held});
    }
    return format(
        sameShape.chineseOrEnglish(language),
        {keyName, level, held, firstDetail(config, difference.written, difference.held, language)});
}

}  // namespace

std::u16string differenceText(const KeyboardConfig& config, const SlotDifference& difference,
                              const std::u16string& keyName, const std::string& language) {
    return slotText(config, difference, keyName, language, texts::kOtherRecord, texts::kSameShape);
}

std::u16string differenceText(const LightDifference& difference, const std::u16string& keyName,
                              const std::string& language) {
    return format(texts::kLight.chineseOrEnglish(language),
                  {keyName, colourText(difference.written), colourText(difference.held)});
}

KeyboardImage profileImage(const KeyboardConfig& config) {
    KeyboardImage image;
    const StepValues values(config);
    for (int level = 0; level < kLevelCount; ++level) {
        for (int key = 1; key <= kKeyCount; ++key) {
            const std::vector<int> array = keyConfigurationOf(values, config.slot(key, level));
            image.records[KeyboardImage::slotOf(key, level)] =
                slotRecordOf(array.data(), static_cast<int>(array.size()));
        }
    }
    for (int key = 1; key <= kKeyCount; ++key) {
        for (int c = 0; c < 3; ++c) {
            image.lights[(key - 1) * 3 + c] = static_cast<std::uint8_t>(config.backlight[key][c]);
        }
    }
    return image;
}

std::u16string sideBySideText(const KeyboardConfig& config, const SlotDifference& difference,
                              const std::u16string& keyName, const std::string& language) {
    return slotText(config, difference, keyName, language, texts::kOtherRecordAB,
                    texts::kSameShapeAB);
}

std::u16string sideBySideText(const LightDifference& difference, const std::u16string& keyName,
                              const std::string& language) {
    return format(texts::kLightAB.chineseOrEnglish(language),
                  {keyName, colourText(difference.written), colourText(difference.held)});
}

std::vector<CatalogueDifference> compareCatalogues(const KeyboardConfig& a,
                                                   const KeyboardConfig& b) {
    std::vector<CatalogueDifference> out;
    const StepList KeyboardConfig::*lists[] = {&KeyboardConfig::predefinedCombos,
                                               &KeyboardConfig::predefinedMacros,
                                               &KeyboardConfig::predefinedEmulations};
    for (int c = 0; c < 3; ++c) {
        const StepList& listA = a.*lists[c];
        const StepList& listB = b.*lists[c];
        const int entries = std::max(listA.count(), listB.count());
        static const StepList kNoSteps;
        auto stepsOf = [](const StepList& list, int e) -> const StepList& {
            return e < static_cast<int>(list.children.size()) ? list.children[e] : kNoSteps;
        };
        for (int e = 0; e < entries; ++e) {
            const bool inA = e < listA.count();
            const bool inB = e < listB.count();
            if (inA && inB && listA.items[e] == listB.items[e] &&
                stepsOf(listA, e).sameSteps(stepsOf(listB, e))) {
                continue;
            }
            CatalogueDifference d;
            d.catalogue = c;
            d.entry = e;
            d.inA = inA;
            d.inB = inB;
            if (inA) {
                d.nameA = listA.items[e];
                d.stepsA = stepsOf(listA, e);
            }
            if (inB) {
                d.nameB = listB.items[e];
                d.stepsB = stepsOf(listB, e);
            }
            out.push_back(std::move(d));
        }
    }
    return out;
}

std::u16string catalogueDifferenceText(const CatalogueDifference& d, const std::string& language) {
    const Text* names[] = {&texts::kCombos, &texts::kMacros, &texts::kEmulations};
    const std::u16string catalogue(names[d.catalogue]->chineseOrEnglish(language));
    const std::u16string entry = number(d.entry + 1);
    if (!d.inB) {
        return format(texts::kOnlyInA.chineseOrEnglish(language), {catalogue, entry, d.nameA});
    }
    if (!d.inA) {
        return format(texts::kOnlyInB.chineseOrEnglish(language), {catalogue, entry, d.nameB});
    }
    if (d.nameA != d.nameB) {
        return format(texts::kRenamed.chineseOrEnglish(language),
                      {catalogue, entry, d.nameA, d.nameB});
    }
    const StepList& sa = d.stepsA;
    const StepList& sb = d.stepsB;
    if (sa.count() != sb.count()) {
        return format(texts::kStepCount.chineseOrEnglish(language),
                      {catalogue, entry, d.nameA, number(sa.count()), number(sb.count())});
    }
    for (int i = 0; i < sa.count(); ++i) {
        if (sa.items[i] != sb.items[i]) {
            return format(texts::kStepText.chineseOrEnglish(language),
                          {catalogue, entry, d.nameA, number(i + 1), sa.items[i], sb.items[i]});
        }
    }
    const struct {
        const Text& name;
        int a;
        int b;
    } settings[] = {{texts::kSettingInterval, sa.Delay, sb.Delay},
                    {texts::kSettingAuto, sa.IsAutoInterval ? 1 : 0, sb.IsAutoInterval ? 1 : 0},
                    {texts::kSettingCycles, sa.Cycles, sb.Cycles},
                    {texts::kSettingPlayMode, sa.PlayMode, sb.PlayMode}};
    for (const auto& setting : settings) {
        if (setting.a != setting.b) {
            return format(
                texts::kSetting.chineseOrEnglish(language),
                {catalogue, entry, d.nameA, std::u16string(setting.name.chineseOrEnglish(language)),
                 number(setting.a), number(setting.b)});
        }
    }
    return {};
}
