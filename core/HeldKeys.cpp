// SPDX-License-Identifier: GPL-2.0-or-later
#include "HeldKeys.h"

#include <map>

#include "TransferFlows.h"

namespace {

// The mouse functions' codes (clicks and the double click), which the keyboard never holds.
bool isMouseCode(int code) {
    return (code >= 126 && code <= 134) || code == 199;
}

bool isPause(const std::u16string& text) {
    return text.find(u"ms>") != std::u16string::npos;
}

std::u16string withoutDirection(std::u16string text) {
    for (const std::u16string suffix : {u" Down", u" UP"}) {
        if (text.size() > suffix.size() && text.ends_with(suffix)) {
            text.resize(text.size() - suffix.size());
            break;
        }
    }
    return text;
}

}  // namespace

std::vector<std::u16string> keysLeftDown(const KeyboardConfig& config, const StepList& steps) {
    const StepValues values(config);
    struct Seen {
        int order;
        int occurrences;
        std::u16string name;
    };
    std::map<int, Seen> codes;
    for (const std::u16string& item : steps.items) {
        if (isPause(item)) {
            continue;
        }
        const int code = values.of(item);
        if (code <= 0 || isMouseCode(code)) {
            continue;
        }
        auto [at, added] = codes.try_emplace(
            code, Seen{static_cast<int>(codes.size()), 0, withoutDirection(item)});
        ++at->second.occurrences;
    }
    std::map<int, std::u16string> held;  // by order of first step
    for (const auto& [code, seen] : codes) {
        if (seen.occurrences % 2 != 0) {
            held.emplace(seen.order, seen.name);
        }
    }
    std::vector<std::u16string> names;
    for (const auto& [order, name] : held) {
        names.push_back(name);
    }
    return names;
}

std::vector<std::u16string> keysLeftDown(const KeyboardConfig& config,
                                         const KeyAssignment& assignment) {
    if (assignment.mode != Macro) {
        return {};
    }
    return keysLeftDown(config, assignment.steps);
}

std::u16string joinedKeyNames(const std::vector<std::u16string>& names,
                              const std::string& language) {
    const std::u16string separator = language == "zh-CN" ? u"、" : u", ";
    std::u16string text;
    for (const std::u16string& name : names) {
        if (!text.empty()) {
            text += separator;
        }
        text += name;
    }
    return text;
}
