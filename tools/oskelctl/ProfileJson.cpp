// SPDX-License-Identifier: GPL-2.0-or-later
#include "ProfileJson.h"

#include "Descriptions.h"
#include "Json.h"
#include "KeyboardConfig.h"

namespace {

void writeSteps(JsonWriter& json, const StepList& list) {
    json.beginObject();
    json.key("items");
    json.beginArray();
    for (const std::u16string& item : list.items) {
        json.value(item);
    }
    json.endArray();
    json.key("SizeOfView");
    json.value(list.SizeOfView);
    json.key("ViewStartAt");
    json.value(list.ViewStartAt);
    json.key("CursorPos");
    json.value(list.CursorPos);
    json.key("Cycles");
    json.value(list.Cycles);
    json.key("IsAutoInterval");
    json.value(list.IsAutoInterval);
    json.key("Delay");
    json.value(list.Delay);
    json.key("PlayMode");
    json.value(list.PlayMode);
    json.endObject();
}

void writeCatalogue(JsonWriter& json, const char* name, const StepList& catalogue) {
    json.key(name);
    json.beginArray();
    for (std::size_t i = 0; i < catalogue.items.size(); ++i) {
        json.beginObject();
        json.key("name");
        json.value(catalogue.items[i]);
        json.key("steps");
        // The lists are kept the same length; an entry without steps still shows as empty.
        writeSteps(json, i < catalogue.children.size() ? catalogue.children[i] : StepList());
        json.endObject();
    }
    json.endArray();
}

void writeBacklight(JsonWriter& json, const KeyboardConfig& config) {
    json.key("backlight");
    json.beginArray();
    for (int k = 1; k <= kKeyCount; ++k) {
        json.beginArray(true);
        for (const int component : config.backlight[k]) {
            json.value(component);
        }
        json.endArray();
    }
    json.endArray();
}

std::u16string englishTypeName(const KeyboardConfig& config, int mode) {
    return mode >= 0 && mode < kAssignmentTypeCount ? config.typeNamesEn[mode] : std::u16string();
}

void writeKeys(JsonWriter& json, const KeyboardConfig& config) {
    json.key("keys");
    json.beginArray();
    for (int k = 1; k <= kKeyCount; ++k) {
        for (int l = 0; l < kLevelCount; ++l) {
            const KeyAssignment& a = config.slot(k, l);
            json.beginObject();
            json.key("key");
            json.value(k);
            json.key("level");
            json.value(l);
            json.key("mode");
            json.value(a.mode);
            json.key("type");
            json.value(englishTypeName(config, a.mode));
            json.key("hwCode");
            json.value(a.hwCode);
            json.key("description");
            json.value(describeAssignment(config, k, l));
            json.key("steps");
            writeSteps(json, a.steps);
            json.endObject();
        }
    }
    json.endArray();
}

}  // namespace

std::string profileToJson(const KeyboardConfig& config) {
    JsonWriter json;
    json.beginObject();
    writeCatalogue(json, "combos", config.predefinedCombos);
    writeCatalogue(json, "macros", config.predefinedMacros);
    writeCatalogue(json, "emulations", config.predefinedEmulations);
    writeBacklight(json, config);
    writeKeys(json, config);
    json.endObject();
    return json.text();
}
