// SPDX-License-Identifier: GPL-2.0-or-later
#include "ProfileImport.h"

#include <array>
#include <climits>
#include <map>
#include <memory>
#include <set>
#include <string_view>

#include "Json.h"
#include "KeyNames.h"
#include "KeyTables.h"
#include "KeyboardConfig.h"

namespace {

// The steps are sent in records whose fields are this wide.
constexpr int kMaxCycles = 255;
constexpr int kMaxDelay = 65535;
constexpr int kMaxPlayMode = 2;
constexpr int kMaxColour = 255;
// A profile's lists nest three deep (catalogue, entry, step); a few more levels are read.
constexpr int kMaxDepth = 8;

struct Refused {
    ImportFault fault;
};

[[noreturn]] void refuse(const std::string& path, const std::string& reason) {
    throw Refused{{path, reason}};
}

std::string inQuotes(std::string_view text) {
    return jsonQuote(text);
}

std::string kindOf(const Json& value) {
    switch (value.type()) {
        case Json::value_t::null:
            return "null";
        case Json::value_t::boolean:
            return "a boolean";
        case Json::value_t::string:
            return "a string";
        case Json::value_t::array:
            return "an array";
        case Json::value_t::object:
            return "an object";
        case Json::value_t::number_float:
            return "a fraction";
        default:
            return "a number";
    }
}

void expect(const Json& value, bool ok, const std::string& path, const char* what) {
    if (!ok) {
        refuse(path, std::string("expected ") + what + ", found " + kindOf(value));
    }
}

// An object with exactly the members `known` allows: `required` must be there, the others may.
void checkMembers(const Json& object, const std::string& path,
                  std::initializer_list<std::string_view> required,
                  std::initializer_list<std::string_view> optional = {}) {
    expect(object, object.is_object(), path, "an object");
    for (const auto& [name, value] : object.items()) {
        bool known = false;
        for (const auto list : {required, optional}) {
            for (const std::string_view k : list) {
                known = known || k == name;
            }
        }
        if (!known) {
            refuse(path + "." + name, "unknown member " + inQuotes(name));
        }
    }
    for (const std::string_view name : required) {
        if (!object.contains(name)) {
            refuse(path, "missing member " + inQuotes(name));
        }
    }
}

long long integerAt(const Json& value, const std::string& path, long long min, long long max) {
    if (value.is_number_float()) {
        refuse(path, "expected a whole number, found " + value.dump());
    }
    expect(value, value.is_number_integer(), path, "a number");
    const bool isUnsigned = value.is_number_unsigned();
    const long long n = isUnsigned ? static_cast<long long>(std::min<unsigned long long>(
                                         value.get<unsigned long long>(), LLONG_MAX))
                                   : value.get<long long>();
    if (n < min || n > max) {
        refuse(path, std::to_string(n) + " is out of range (" + std::to_string(min) + ".." +
                         std::to_string(max) + ")");
    }
    return n;
}

class Importer {
public:
    explicit Importer(const KeyboardConfig& config) : config(config) {
        for (int k = 1; k <= kKeyCount; ++k) {
            keyIndexOfName.emplace(utf16ToUtf8(layoutKeyName(k)), k);
        }
        for (int code = kCodeTableSize - 1; code >= 0; --code) {
            const std::u16string name = hwCodeName(config, code);
            if (name != kNoName) {
                hwCodeOfName[utf16ToUtf8(name)] = code;  // the lowest code of a name wins
            }
        }
        for (const auto& [keyCode, name] : config.keyNames) {
            stepNames.insert(name);
        }
    }

    void read(const Json& document, KeyboardConfig& target) {
        checkMembers(document, "$", {"combos", "macros", "emulations", "backlight", "keys"},
                     {"catalogueLists"});
        // Read into a scratch copy of what a profile replaces, so a refusal changes nothing.
        auto combos = readCatalogue(document["combos"], "$.combos", target.predefinedCombos, false);
        auto macros = readCatalogue(document["macros"], "$.macros", target.predefinedMacros, true);
        auto emulations = readCatalogue(document["emulations"], "$.emulations",
                                        target.predefinedEmulations, false);
        const auto backlight = readBacklight(document["backlight"]);
        auto slots = readKeys(document["keys"]);
        readCatalogueLists(document, combos, macros, emulations);

        target.predefinedCombos = std::move(combos);
        target.predefinedMacros = std::move(macros);
        target.predefinedEmulations = std::move(emulations);
        target.backlight = backlight;
        for (int k = 1; k <= kKeyCount; ++k) {
            for (int l = 0; l < kLevelCount; ++l) {
                target.slot(k, l) = std::move((*slots)[k][l]);
            }
        }
        target.profileCutShort = false;
    }

private:
    std::u16string stepText(const Json& item, const std::string& path, bool withDirection) {
        if (item.is_number()) {
            const int code = static_cast<int>(integerAt(item, path, 0, kCodeTableSize - 1));
            const std::u16string name = keyEventName(config, code, withDirection);
            if (name == kNoName || name.starts_with(kNoName)) {
                refuse(path, "no key has the code " + std::to_string(code));
            }
            return name;
        }
        expect(item, item.is_string(), path, "a step's text or key code");
        const std::u16string text = utf8ToUtf16(item.get_ref<const std::string&>());
        if (!knownStep(text)) {
            refuse(path, "unknown key name " + inQuotes(item.get_ref<const std::string&>()));
        }
        return text;
    }

    // A pause "<30 ms>", a key's name, or a key's name with " Down" or " UP".
    bool knownStep(const std::u16string& text) const {
        if (text.size() > 5 && text.front() == u'<' && text.ends_with(u" ms>")) {
            for (std::size_t i = 1; i + 4 < text.size(); ++i) {
                if (text[i] < u'0' || text[i] > u'9') {
                    return false;
                }
            }
            return true;
        }
        if (stepNames.contains(text)) {
            return true;
        }
        for (const std::u16string_view suffix : {u" Down", u" UP"}) {
            if (text.ends_with(suffix) &&
                stepNames.contains(text.substr(0, text.size() - suffix.size()))) {
                return true;
            }
        }
        return false;
    }

    // The view and play settings of a list into `list`.
    void readSettings(const Json& object, const std::string& path, StepList& list) {
        list.SizeOfView =
            static_cast<int>(integerAt(object["SizeOfView"], path + ".SizeOfView", 0, INT_MAX));
        list.ViewStartAt =
            static_cast<int>(integerAt(object["ViewStartAt"], path + ".ViewStartAt", 0, INT_MAX));
        list.CursorPos =
            static_cast<int>(integerAt(object["CursorPos"], path + ".CursorPos", 0, INT_MAX));
        list.Cycles =
            static_cast<int>(integerAt(object["Cycles"], path + ".Cycles", 0, kMaxCycles));
        expect(object["IsAutoInterval"], object["IsAutoInterval"].is_boolean(),
               path + ".IsAutoInterval", "true or false");
        list.IsAutoInterval = object["IsAutoInterval"].get<bool>();
        list.Delay = static_cast<int>(integerAt(object["Delay"], path + ".Delay", 0, kMaxDelay));
        list.PlayMode =
            static_cast<int>(integerAt(object["PlayMode"], path + ".PlayMode", 0, kMaxPlayMode));
    }

    // `directed`: key events are named with their direction, as a macro's steps are. The
    // steps' own lists (depth 1) are never sent, so their texts are taken as they are.
    StepList readSteps(const Json& steps, const std::string& path, bool directed, int depth = 0) {
        checkMembers(steps, path,
                     {"items", "SizeOfView", "ViewStartAt", "CursorPos", "Cycles", "IsAutoInterval",
                      "Delay", "PlayMode"},
                     {"children"});
        StepList list;
        readSettings(steps, path, list);
        const Json& items = steps["items"];
        expect(items, items.is_array(), path + ".items", "an array");
        list.items.reserve(items.size());
        for (std::size_t i = 0; i < items.size(); ++i) {
            const std::string at = path + ".items[" + std::to_string(i) + "]";
            if (depth == 0) {
                list.items.push_back(stepText(items[i], at, directed));
            } else {
                expect(items[i], items[i].is_string(), at, "a string");
                list.items.push_back(utf8ToUtf16(items[i].get_ref<const std::string&>()));
            }
        }
        list.children.assign(items.size(), StepList(list.SizeOfView));
        if (steps.contains("children")) {
            const Json& children = steps["children"];
            const std::string at = path + ".children";
            expect(children, children.is_array(), at, "an array");
            if (children.size() != items.size()) {
                refuse(at, "expected one list for each of the " + std::to_string(items.size()) +
                               " items, found " + std::to_string(children.size()));
            }
            if (depth >= kMaxDepth) {
                refuse(at, "the lists are nested too deeply");
            }
            for (std::size_t i = 0; i < children.size(); ++i) {
                if (!children[i].is_null()) {
                    list.children[i] = readSteps(children[i], at + "[" + std::to_string(i) + "]",
                                                 false, depth + 1);
                }
            }
        }
        return list;
    }

    // The catalogues' own lists, or what a cleared configuration has when they are not given.
    void readCatalogueLists(const Json& document, StepList& combos, StepList& macros,
                            StepList& emulations) {
        if (!document.contains("catalogueLists")) {
            return;
        }
        const Json& lists = document["catalogueLists"];
        checkMembers(lists, "$.catalogueLists", {"combos", "macros", "emulations"});
        const std::pair<const char*, StepList*> named[] = {
            {"combos", &combos}, {"macros", &macros}, {"emulations", &emulations}};
        for (const auto& [name, list] : named) {
            const std::string at = std::string("$.catalogueLists.") + name;
            checkMembers(lists[name], at,
                         {"SizeOfView", "ViewStartAt", "CursorPos", "Cycles", "IsAutoInterval",
                          "Delay", "PlayMode"});
            readSettings(lists[name], at, *list);
        }
    }

    StepList readCatalogue(const Json& entries, const std::string& path, const StepList& current,
                           bool directed) {
        expect(entries, entries.is_array(), path, "an array");
        StepList catalogue(current.SizeOfView);
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const std::string at = path + "[" + std::to_string(i) + "]";
            const Json& entry = entries[i];
            checkMembers(entry, at, {"name", "steps"});
            expect(entry["name"], entry["name"].is_string(), at + ".name", "a string");
            catalogue.items.push_back(utf8ToUtf16(entry["name"].get_ref<const std::string&>()));
            catalogue.children.push_back(readSteps(entry["steps"], at + ".steps", directed));
        }
        return catalogue;
    }

    std::array<Colour, kKeyTableSize> readBacklight(const Json& colours) {
        expect(colours, colours.is_array(), "$.backlight", "an array");
        if (colours.size() != kKeyCount) {
            refuse("$.backlight", "expected " + std::to_string(kKeyCount) +
                                      " colours (one per key), found " +
                                      std::to_string(colours.size()));
        }
        std::array<Colour, kKeyTableSize> backlight{};
        for (int k = 1; k <= kKeyCount; ++k) {
            const std::string at = "$.backlight[" + std::to_string(k - 1) + "]";
            const Json& colour = colours[k - 1];
            expect(colour, colour.is_array(), at, "[red, green, blue]");
            if (colour.size() != 3) {
                refuse(at, "expected [red, green, blue], found " + std::to_string(colour.size()) +
                               " numbers");
            }
            for (int c = 0; c < 3; ++c) {
                backlight[k][c] = static_cast<int>(
                    integerAt(colour[c], at + "[" + std::to_string(c) + "]", 0, kMaxColour));
            }
        }
        return backlight;
    }

    int keyIndexOf(const Json& key, const std::string& path) {
        if (key.is_string()) {
            const auto found = keyIndexOfName.find(key.get_ref<const std::string&>());
            if (found == keyIndexOfName.end()) {
                refuse(path, "unknown key name " + inQuotes(key.get_ref<const std::string&>()));
            }
            return found->second;
        }
        expect(key, key.is_number(), path, "a key's index or name");
        return static_cast<int>(integerAt(key, path, 1, kKeyCount));
    }

    int modeOf(const Json& slot, const std::string& path) {
        int mode = -1;
        if (slot.contains("mode")) {
            mode = static_cast<int>(
                integerAt(slot["mode"], path + ".mode", 0, kAssignmentTypeCount - 1));
        }
        if (slot.contains("type")) {
            const Json& type = slot["type"];
            expect(type, type.is_string(), path + ".type", "a type name");
            const std::u16string name = utf8ToUtf16(type.get_ref<const std::string&>());
            int named = -1;
            for (int m = 0; m < kAssignmentTypeCount; ++m) {
                if (name == config.typeNamesEn[m] || name == config.typeNamesZh[m]) {
                    named = m;
                    break;
                }
            }
            if (named < 0) {
                refuse(path + ".type",
                       "unknown type " + inQuotes(type.get_ref<const std::string&>()));
            }
            if (mode >= 0 && mode != named) {
                refuse(path + ".type", inQuotes(type.get_ref<const std::string&>()) +
                                           " is not the type of mode " + std::to_string(mode) +
                                           " (" + utf16ToUtf8(config.typeNamesEn[mode]) + ")");
            }
            mode = named;
        }
        if (mode < 0) {
            refuse(path, "missing member \"mode\" (or \"type\")");
        }
        return mode;
    }

    int hwCodeOf(const Json& code, const std::string& path) {
        if (code.is_string()) {
            const auto found = hwCodeOfName.find(code.get_ref<const std::string&>());
            if (found == hwCodeOfName.end()) {
                refuse(path,
                       "unknown function name " + inQuotes(code.get_ref<const std::string&>()));
            }
            return found->second;
        }
        expect(code, code.is_number(), path, "a function's code or name");
        return static_cast<int>(integerAt(code, path, 0, kCodeTableSize - 1));
    }

    using Slots = std::array<std::array<KeyAssignment, kLevelCount>, kKeyTableSize>;

    std::unique_ptr<Slots> readKeys(const Json& keys) {
        expect(keys, keys.is_array(), "$.keys", "an array");
        auto slots = std::make_unique<Slots>();
        std::array<std::array<bool, kLevelCount>, kKeyTableSize> seen{};
        for (std::size_t i = 0; i < keys.size(); ++i) {
            const std::string at = "$.keys[" + std::to_string(i) + "]";
            const Json& slot = keys[i];
            checkMembers(slot, at, {"key", "level", "hwCode", "steps"},
                         {"mode", "type", "description"});
            const int key = keyIndexOf(slot["key"], at + ".key");
            const int level =
                static_cast<int>(integerAt(slot["level"], at + ".level", 0, kLevelCount - 1));
            if (seen[key][level]) {
                refuse(at, "key " + std::to_string(key) + " level " + std::to_string(level) +
                               " is given twice");
            }
            seen[key][level] = true;
            if (slot.contains("description")) {
                expect(slot["description"], slot["description"].is_string(), at + ".description",
                       "a string");
            }
            KeyAssignment& a = (*slots)[key][level];
            a.mode = modeOf(slot, at);
            a.hwCode = hwCodeOf(slot["hwCode"], at + ".hwCode");
            a.steps = readSteps(slot["steps"], at + ".steps", a.mode == Macro);
        }
        for (int k = 1; k <= kKeyCount; ++k) {
            for (int l = 0; l < kLevelCount; ++l) {
                if (!seen[k][l]) {
                    refuse("$.keys", "key " + std::to_string(k) + " (" +
                                         utf16ToUtf8(layoutKeyName(k)) + ") level " +
                                         std::to_string(l) + " is missing");
                }
            }
        }
        return slots;
    }

    const KeyboardConfig& config;
    std::map<std::string, int> keyIndexOfName;
    std::map<std::string, int> hwCodeOfName;
    std::set<std::u16string> stepNames;
};

// "[json.exception.parse_error.101] parse error at line 1, column 5: syntax error ..." without
// the library's tag.
std::string withoutTag(const std::string& message) {
    const std::size_t end = message.find("] ");
    return message.starts_with("[json.exception.") && end != std::string::npos
               ? message.substr(end + 2)
               : message;
}

}  // namespace

bool profileFromJson(const std::string& text, KeyboardConfig& config, ImportFault& fault) {
    if (text.find_first_not_of(" \t\r\n") == std::string::npos) {
        fault = {"$", "not JSON: the file is empty"};
        return false;
    }
    Json document;
    try {
        document = Json::parse(text);
    } catch (const Json::exception& e) {
        fault = {"$", "not JSON: " + withoutTag(e.what())};
        return false;
    }
    try {
        Importer(config).read(document, config);
    } catch (const Refused& r) {
        fault = r.fault;
        return false;
    }
    return true;
}
