// SPDX-License-Identifier: GPL-2.0-or-later
#include "ProfileJson.h"

#include <algorithm>

#include "Descriptions.h"
#include "Json.h"
#include "KeyboardConfig.h"

namespace {

// A step's own list as a profile holds it when nothing was put in it.
bool isUnusedChild(const StepList& child, int sizeOfView) {
    const StepList unused(sizeOfView);
    return child.items.empty() && child.children.empty() && child.SizeOfView == sizeOfView &&
           child.ViewStartAt == unused.ViewStartAt && child.CursorPos == unused.CursorPos &&
           child.Cycles == unused.Cycles && child.IsAutoInterval == unused.IsAutoInterval &&
           child.Delay == unused.Delay && child.PlayMode == unused.PlayMode;
}

Json settingsJson(const StepList& list) {
    return Json{{"SizeOfView", list.SizeOfView},
                {"ViewStartAt", list.ViewStartAt},
                {"CursorPos", list.CursorPos},
                {"Cycles", list.Cycles},
                {"IsAutoInterval", list.IsAutoInterval},
                {"Delay", list.Delay},
                {"PlayMode", list.PlayMode}};
}

Json stepsJson(const StepList& list) {
    Json items = Json::array();
    for (const std::u16string& item : list.items) {
        items.push_back(utf16ToUtf8(item));
    }
    Json steps{{"items", std::move(items)}};
    steps.update(settingsJson(list));
    // The steps' own lists are left out while they are as a profile holds them unused; where
    // one is not, they all follow, null for the unused ones, so that nothing is lost.
    const std::size_t written = std::min(list.items.size(), list.children.size());
    bool allUnused = true;
    for (std::size_t i = 0; i < written && allUnused; ++i) {
        allUnused = isUnusedChild(list.children[i], list.SizeOfView);
    }
    if (!allUnused) {
        Json children = Json::array();
        for (std::size_t i = 0; i < list.items.size(); ++i) {
            children.push_back(i < written && !isUnusedChild(list.children[i], list.SizeOfView)
                                   ? stepsJson(list.children[i])
                                   : Json());
        }
        steps["children"] = std::move(children);
    }
    return steps;
}

Json catalogueJson(const StepList& catalogue) {
    Json entries = Json::array();
    for (std::size_t i = 0; i < catalogue.items.size(); ++i) {
        // The lists are kept the same length; an entry without steps still shows as empty.
        entries.push_back({{"name", utf16ToUtf8(catalogue.items[i])},
                           {"steps", stepsJson(i < catalogue.children.size() ? catalogue.children[i]
                                                                             : StepList())}});
    }
    return entries;
}

Json backlightJson(const KeyboardConfig& config) {
    Json colours = Json::array();
    for (int k = 1; k <= kKeyCount; ++k) {
        colours.push_back(config.backlight[k]);
    }
    return colours;
}

std::u16string englishTypeName(const KeyboardConfig& config, int mode) {
    return mode >= 0 && mode < kAssignmentTypeCount ? config.typeNamesEn[mode] : std::u16string();
}

Json keysJson(const KeyboardConfig& config) {
    Json keys = Json::array();
    for (int k = 1; k <= kKeyCount; ++k) {
        for (int l = 0; l < kLevelCount; ++l) {
            const KeyAssignment& a = config.slot(k, l);
            keys.push_back({{"key", k},
                            {"level", l},
                            {"mode", a.mode},
                            {"type", utf16ToUtf8(englishTypeName(config, a.mode))},
                            {"hwCode", a.hwCode},
                            {"description", utf16ToUtf8(describeAssignment(config, k, l))},
                            {"steps", stepsJson(a.steps)}});
        }
    }
    return keys;
}

}  // namespace

std::string profileToJson(const KeyboardConfig& config) {
    const Json document{{"combos", catalogueJson(config.predefinedCombos)},
                        {"macros", catalogueJson(config.predefinedMacros)},
                        {"emulations", catalogueJson(config.predefinedEmulations)},
                        {"backlight", backlightJson(config)},
                        {"keys", keysJson(config)},
                        {"catalogueLists",
                         {{"combos", settingsJson(config.predefinedCombos)},
                          {"macros", settingsJson(config.predefinedMacros)},
                          {"emulations", settingsJson(config.predefinedEmulations)}}}};
    return formatJson(document);
}
