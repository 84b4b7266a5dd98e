// SPDX-License-Identifier: GPL-2.0-or-later
#include "Descriptions.h"

#include <string_view>

#include "KeyTables.h"
#include "LanguageText.h"
#include "PauseText.h"

namespace {

// Longest condensed macro before it is cut off; counts UTF-16 units.
constexpr std::size_t kMacroDescriptionLimit = 120;

bool endsWithFirst(const std::u16string& text, const std::u16string& suffix) {
    return text.size() > suffix.size() && text.find(suffix) == text.size() - suffix.size();
}

// A pause step "<120 ms>" shows as its number, a key step as the key name without direction.
// Any "<...>" text is cut like a pause: the leading "<" and the trailing four characters go.
std::u16string condensedStep(const std::u16string& step) {
    const std::size_t length = step.size();
    if (length > 4 && bracketedLikePause(step)) {
        return std::u16string(pauseDigits(step));
    }
    if (endsWithFirst(step, u" Down")) {
        return step.substr(0, length - 5);
    }
    if (endsWithFirst(step, u" UP")) {
        return step.substr(0, length - 3);
    }
    return step;
}

std::u16string asWritten(const std::u16string& step) {
    return step;
}

// The steps, each as `shown` gives it, between separators; once the text is longer than
// `limit` it ends with " ... ..." and the remaining steps are left out.
std::u16string joined(const StepList& steps, std::u16string_view separator,
                      std::u16string (*shown)(const std::u16string&), std::size_t limit) {
    std::u16string text;
    for (std::size_t i = 0; i < steps.items.size(); ++i) {
        if (i > 0) {
            text += separator;
        }
        text += shown(steps.items[i]);
        if (text.size() > limit) {
            text += u" ... ...";
            break;
        }
    }
    return text;
}

std::u16string condensedMacro(const StepList& steps) {
    return joined(steps, u",", condensedStep, kMacroDescriptionLimit);
}

std::u16string joinedSteps(const StepList& steps) {
    return joined(steps, u" | ", asWritten, std::u16string::npos);
}

const std::u16string& typeName(const std::array<std::u16string, kAssignmentTypeCount>& names,
                               int mode) {
    static const std::u16string none;
    return mode >= 0 && mode < kAssignmentTypeCount ? names[mode] : none;
}

std::u16string levelLine(const KeyboardConfig& config, int key, int level,
                         const std::u16string& label) {
    const auto& names = isChinese(config.language) ? config.typeNamesZh : config.typeNamesEn;
    const int mode = config.slot(key, level).mode;
    // The colon after the label is the full-width one in both languages.
    return label + u"：" + typeName(names, mode) + u" " + describeAssignment(config, key, level) +
           u"\r\n";
}

}  // namespace

std::u16string describeAssignment(const KeyboardConfig& config, const KeyAssignment& assignment) {
    switch (assignment.mode) {
        case Single:
        case Multimedia:
        case Mouse:
        case Function:
        case Power:
            return hwCodeName(config, assignment.hwCode);
        case Combo:
        case Emulation:
            return joinedSteps(assignment.steps);
        case Macro:
            return condensedMacro(assignment.steps);
        default:
            return {};
    }
}

std::u16string describeAssignment(const KeyboardConfig& config, int key, int level) {
    if (!KeyboardConfig::validSlot(key, level)) {
        return {};
    }
    return describeAssignment(config, config.slot(key, level));
}

std::u16string keyInfoText(const KeyboardConfig& config, int key) {
    constexpr LanguageText kLevel1{u"上档键", u"Key settings L1"};
    constexpr LanguageText kLevel2{u"下档键", u"Key settings L2"};
    if (!isKnownLanguage(config.language) || !KeyboardConfig::validSlot(key, 0)) {
        return {};
    }
    const std::u16string level1(kLevel1.exactly(config.language));
    const std::u16string level2(kLevel2.exactly(config.language));
    return titleText(config) + u"\r\n\r\n" + levelLine(config, key, 0, level1) + u"\r\n" +
           levelLine(config, key, 1, level2);
}
