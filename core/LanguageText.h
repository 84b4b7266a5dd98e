// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The program speaks two languages, named by their codes "zh-CN" and "en-US", and every text it
// shows comes as a pair. Two rules pick the half to show, and each caller keeps the rule it has
// always had:
// - exactly: Chinese for "zh-CN", English for "en-US", nothing for any other code. The key
//   settings, the key descriptions and the firmware dialog show no text for a language they do
//   not know.
// - chineseOrEnglish: Chinese for "zh-CN", English for anything else. Messages that must say
//   something whatever the document's language holds (device failures, verification lines,
//   access advice, the command-line tool).

#include <string_view>

inline constexpr std::string_view kChineseLanguage = "zh-CN";
inline constexpr std::string_view kEnglishLanguage = "en-US";

constexpr bool isChinese(std::string_view language) {
    return language == kChineseLanguage;
}

// One of the two languages the program has texts for.
constexpr bool isKnownLanguage(std::string_view language) {
    return language == kChineseLanguage || language == kEnglishLanguage;
}

struct LanguageText {
    const char16_t* zh;
    const char16_t* en;

    constexpr std::u16string_view exactly(std::string_view language) const {
        if (language == kChineseLanguage) {
            return zh;
        }
        return language == kEnglishLanguage ? std::u16string_view(en) : std::u16string_view();
    }
    constexpr std::u16string_view chineseOrEnglish(std::string_view language) const {
        return isChinese(language) ? zh : en;
    }
};
