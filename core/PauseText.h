// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// A pause between two steps of a macro is the step text "<n ms>" ("<30 ms>"). It is made in
// two places (reading key records back into a document, and recording a macro) and recognised
// in four, each with the rule its place has always used. The rules differ on purpose: a profile
// may carry any text in a step, and every place keeps treating such a text as it did.

#include <cstdint>
#include <string>
#include <string_view>

// "<n ms>".
inline std::u16string pauseText(std::int64_t milliseconds) {
    const std::string digits = std::to_string(milliseconds);
    return u"<" + std::u16string(digits.begin(), digits.end()) + u" ms>";
}

// What stands between the leading "<" and the closing " ms>": the text without its first
// character and its last four. Empty for a text shorter than five characters.
inline std::u16string_view pauseDigits(std::u16string_view text) {
    return text.size() < 5 ? std::u16string_view() : text.substr(1, text.size() - 5);
}

// Writing a document to the keyboard: any step text holding "ms>" anywhere is a pause, its
// number read from pauseDigits.
inline bool sentAsPause(std::u16string_view text) {
    return text.find(u"ms>") != std::u16string_view::npos;
}

// Showing a step (the key description) and editing one in place (the macro step list): a text
// that starts with "<" and whose first ">" is its last character reads as a pause.
inline bool bracketedLikePause(std::u16string_view text) {
    return !text.empty() && text.front() == u'<' && text.find(u'>') == text.size() - 1;
}

// Recording a macro: a row starting with "<" is a pause row, whatever follows.
inline bool recordedAsPause(std::u16string_view text) {
    return !text.empty() && text.front() == u'<';
}
