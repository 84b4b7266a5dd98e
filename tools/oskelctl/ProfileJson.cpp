// SPDX-License-Identifier: GPL-2.0-or-later
#include "ProfileJson.h"

#include "Descriptions.h"
#include "Json.h"
#include "KeyboardConfig.h"

namespace {

Json stepsJson(const StepList& list) {
    Json items = Json::array();
    for (const std::u16string& item : list.items) {
        items.push_back(utf16ToUtf8(item));
    }
    return Json{{"items", std::move(items)},
                {"SizeOfView", list.SizeOfView},
                {"ViewStartAt", list.ViewStartAt},
                {"CursorPos", list.CursorPos},
                {"Cycles", list.Cycles},
                {"IsAutoInterval", list.IsAutoInterval},
                {"Delay", list.Delay},
                {"PlayMode", list.PlayMode}};
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
                        {"keys", keysJson(config)}};
    return formatJson(document);
}
