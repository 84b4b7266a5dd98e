// SPDX-License-Identifier: GPL-2.0-or-later
#include "TransferFlows.h"

#include <algorithm>
#include <optional>

#include "DecimalText.h"
#include "KeyTables.h"
#include "PauseText.h"

namespace {

// Kinds of key-configuration array (element 0).
constexpr int kFixedCodes = 0;
constexpr int kContinuous = 1;
constexpr int kMacroSteps = 2;

// The library is asked for each slot into an array this large, so no definition is cut.
constexpr int kReadCapacity = 65536;
constexpr int kComboViewSize = 6;
constexpr int kStepsViewSize = 9;

// The text without `suffix` when it ends with it.
std::optional<std::u16string> withoutSuffix(const std::u16string& text,
                                            std::u16string_view suffix) {
    if (text.size() < suffix.size() || text.compare(text.size() - suffix.size(), suffix.size(),
                                                    suffix.data(), suffix.size()) != 0) {
        return std::nullopt;
    }
    return text.substr(0, text.size() - suffix.size());
}

std::vector<int> macroConfiguration(const StepValues& values, const StepList& steps) {
    const int n = steps.count();
    const bool automatic = steps.IsAutoInterval;
    // Cycles only count in the "Times Play" mode; the keyboard gets 0 otherwise. Without the
    // automatic interval the items alternate key and pause, so (n + 1) / 2 are keys.
    std::vector<int> array = {kMacroSteps,
                              steps.PlayMode,
                              steps.PlayMode == 0 ? steps.Cycles : 0,
                              automatic ? 0 : 1,
                              automatic ? steps.Delay : 0,
                              automatic ? n : (n + 1) / 2};
    for (const auto& item : steps.items) {
        array.push_back(values.of(item));
    }
    return array;
}

std::vector<int> codesConfiguration(const StepValues& values, std::vector<int> head,
                                    const StepList& steps) {
    head.push_back(steps.count());
    for (const auto& item : steps.items) {
        head.push_back(values.of(item));
    }
    return head;
}

int typeOfSingleCode(int code) {
    if (code >= 108 && code <= 125) {
        return Multimedia;
    }
    if (code >= 126 && code <= 134) {
        return Mouse;
    }
    if (code >= 135 && code <= 159) {
        return Function;
    }
    if (code >= 75 && code <= 77) {
        return Power;
    }
    return Single;
}

// Codes travel as bytes; masking also keeps every table lookup in range.
int codeAt(const int* array, int index) {
    return array[index] & 0xFF;
}

std::u16string codeName(const KeyboardConfig& config, const int* array, int index) {
    return hwCodeName(config, codeAt(array, index));
}

// A list of the key names of n codes from `first` on.
StepList codeSteps(const KeyboardConfig& config, const int* array, int first, int n, int viewSize) {
    StepList steps(viewSize);
    for (int i = 0; i < n; ++i) {
        steps.append(codeName(config, array, first + i));
    }
    return steps;
}

// Element count n at `index`, bounded by what the array can hold after `first` with `stride`
// elements per step (the last step of a paused macro has no pause, hence `last`).
int boundedCount(const int* array, int count, int index, int first, int stride) {
    if (count <= index) {
        return 0;
    }
    const int room = count - first;
    const int fits = room <= 0 ? 0 : (room + stride - 1) / stride;
    return std::clamp(array[index], 0, fits);
}

void rebuildFixedCodes(const KeyboardConfig& config, const int* array, int count,
                       KeyAssignment& assignment) {
    const int n = boundedCount(array, count, 1, 2, 1);
    if (n == 0) {
        assignment.mode = NotSet;
    } else if (n == 1) {
        assignment.hwCode = codeAt(array, 2);
        assignment.mode = typeOfSingleCode(assignment.hwCode);
    } else if (n == 2 && codeAt(array, 2) == kMouseKeyLeftHwCode &&
               codeAt(array, 3) == kMouseKeyLeftHwCode) {
        // The keyboard has no double click of its own: it is stored as two left clicks.
        assignment.mode = Mouse;
        assignment.hwCode = kLeftDoubleClickHwCode;
    } else {
        assignment.mode = Combo;
        assignment.steps = codeSteps(config, array, 2, n, kComboViewSize);
    }
}

void rebuildContinuous(const KeyboardConfig& config, const int* array, int count,
                       KeyAssignment& assignment) {
    const int n = boundedCount(array, count, 2, 3, 1);
    if (n == 0) {
        assignment.mode = NotSet;
        return;
    }
    StepList steps = codeSteps(config, array, 3, n, kStepsViewSize);
    steps.Delay = array[1];
    assignment.mode = Emulation;
    assignment.steps = steps;
}

void rebuildMacro(const KeyboardConfig& config, const int* array, int count,
                  KeyAssignment& assignment) {
    if (count < 6) {
        assignment.mode = NotSet;
        return;
    }
    const bool paused = array[3] != 0;
    const int n = boundedCount(array, count, 5, 6, paused ? 2 : 1);
    if (n == 0) {
        assignment.mode = NotSet;
        return;
    }
    StepList steps(kStepsViewSize);
    steps.PlayMode = array[1];
    steps.Cycles = array[2];
    steps.IsAutoInterval = !paused;
    steps.Delay = array[4];
    for (int i = 0; i < n; ++i) {
        // Each pause follows the step before it: code, pause, code, ..., code.
        if (paused && i > 0) {
            steps.append(pauseText(array[7 + 2 * (i - 1)]));
        }
        steps.append(codeName(config, array, paused ? 6 + 2 * i : 6 + i));
    }
    assignment.mode = Macro;
    assignment.steps = steps;
}

}  // namespace

StepValues::StepValues(const KeyboardConfig& config) : config(config) {
    // Ascending KeyCode order: a name several codes share keeps the lowest.
    for (const auto& [keyCode, name] : config.keyNames) {
        lowestKeyCode.emplace(name, keyCode);
    }
}

int StepValues::of(const std::u16string& text) const {
    if (sentAsPause(text)) {
        return text.size() < 5 ? 0 : parseDecimal(pauseDigits(text));
    }
    // The text may be a name, a name + " UP" or a name + " Down"; where it could be several
    // ("Page UP" and "Page" + " UP"), the lowest KeyCode wins, as a walk over the names would
    // find it first.
    std::optional<int> found;
    auto consider = [&](const std::optional<std::u16string>& name) {
        if (!name) {
            return;
        }
        if (const auto at = lowestKeyCode.find(*name); at != lowestKeyCode.end()) {
            found = std::min(found.value_or(at->second), at->second);
        }
    };
    consider(text);
    consider(withoutSuffix(text, u" UP"));
    consider(withoutSuffix(text, u" Down"));
    return found ? config.keyCodeToHwCode[*found & kKeyCodeMask] : 0;
}

int stepValue(const KeyboardConfig& config, const std::u16string& text) {
    return StepValues(config).of(text);
}

std::vector<int> keyConfigurationOf(const KeyboardConfig& config, const KeyAssignment& assignment) {
    return keyConfigurationOf(StepValues(config), assignment);
}

std::vector<int> keyConfigurationOf(const StepValues& values, const KeyAssignment& assignment) {
    switch (assignment.mode) {
        case NotSet:
            return {};
        case Combo:
            return codesConfiguration(values, {kFixedCodes}, assignment.steps);
        case Macro:
            return macroConfiguration(values, assignment.steps);
        case Emulation:
            return codesConfiguration(values, {kContinuous, assignment.steps.Delay},
                                      assignment.steps);
        default:
            if (assignment.mode < NotSet) {
                return {};
            }
            if (assignment.hwCode == kLeftDoubleClickHwCode) {
                return {kFixedCodes, 2, kMouseKeyLeftHwCode, kMouseKeyLeftHwCode};
            }
            return {kFixedCodes, 1, assignment.hwCode};
    }
}

void assignFromKeyConfiguration(const KeyboardConfig& config, const int* array, int count,
                                KeyAssignment& assignment) {
    const int kind = count > 0 ? array[0] : -1;
    switch (kind) {
        case kFixedCodes:
            rebuildFixedCodes(config, array, count, assignment);
            break;
        case kContinuous:
            rebuildContinuous(config, array, count, assignment);
            break;
        case kMacroSteps:
            rebuildMacro(config, array, count, assignment);
            break;
        default:
            assignment.mode = NotSet;
            break;
    }
}

void loadKeyDefinitions(KeyboardConfig& config) {
    CTravoHWI& keyboard = config.keyboard;
    const StepValues values(config);
    keyboard.prepare();
    for (int level = 0; level < kLevelCount; ++level) {
        for (int key = 1; key <= kKeyCount; ++key) {
            const std::vector<int> array = keyConfigurationOf(values, config.slot(key, level));
            if (!array.empty()) {
                keyboard.setKeyConfiguration(level, key, array.data(),
                                             static_cast<int>(array.size()));
            }
        }
    }
}

bool writeKeysToKeyboard(KeyboardConfig& config, WindowHandle window) {
    if (!config.keyboard.isOpen()) {
        return false;
    }
    loadKeyDefinitions(config);
    return config.keyboard.writeKeyConfigurationToDev(window);
}

bool readKeysFromKeyboard(CTravoHWI& keyboard, WindowHandle window, KeyboardConfig& into) {
    // A half-finished read would mix new and stale slots, so nothing changes unless it ended.
    if (!keyboard.isOpen() || !keyboard.readKeyDefinationFromDev(window)) {
        return false;
    }
    std::vector<int> array(kReadCapacity);
    for (int level = 0; level < kLevelCount; ++level) {
        for (int key = 1; key <= kKeyCount; ++key) {
            std::fill(array.begin(), array.end(), 0);
            keyboard.getKeyConfiguration(level, key, array.data(), kReadCapacity);
            assignFromKeyConfiguration(into, array.data(), kReadCapacity, into.slot(key, level));
        }
    }
    return true;
}

bool readKeysFromKeyboard(KeyboardConfig& config, WindowHandle window) {
    return readKeysFromKeyboard(config.keyboard, window, config);
}

bool writeBacklightToKeyboard(KeyboardConfig& config) {
    if (!config.keyboard.isOpen()) {
        return false;
    }
    int lights[kLightArrayLength];
    for (int key = 1; key <= kKeyCount; ++key) {
        for (int c = 0; c < 3; ++c) {
            lights[(key - 1) * 3 + c] = config.backlight[key][c];
        }
    }
    return config.keyboard.setKeyboardLightArea(lights);
}

bool readBacklightFromKeyboard(CTravoHWI& keyboard, KeyboardConfig& into) {
    if (!keyboard.isOpen() || !keyboard.readKeyLightFromDev()) {
        return false;
    }
    int lights[kLightArrayLength] = {};
    keyboard.getKeyboardLightArea(lights);
    for (int key = 1; key <= kKeyCount; ++key) {
        for (int c = 0; c < 3; ++c) {
            into.backlight[key][c] = lights[(key - 1) * 3 + c];
        }
    }
    return true;
}

bool readBacklightFromKeyboard(KeyboardConfig& config) {
    return readBacklightFromKeyboard(config.keyboard, config);
}
