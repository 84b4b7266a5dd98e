// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// JSON for oskelctl's machine-readable output and for the profiles it imports, on nlohmann-json.
//
// Documents are built and parsed as nlohmann::ordered_json, so members keep the order they were
// written in. The library escapes and validates the text; what is left here is the layout the
// output has always had (two-space indentation, a list of numbers on one line) and the
// conversion from and to the UTF-16 the keyboard's texts are held in.

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

using Json = nlohmann::ordered_json;

// UTF-16 (as the keyboard's texts are held) to UTF-8. A surrogate without its partner becomes
// U+FFFD, so the result is always valid UTF-8.
std::string utf16ToUtf8(std::u16string_view text);

// Valid UTF-8 (as the library's parser hands it over) to UTF-16.
std::u16string utf8ToUtf16(std::string_view utf8);

// The JSON string literal, quotes included, of a UTF-8 text. Bytes that are not valid UTF-8
// become U+FFFD; control characters and DEL are escaped, so the output never carries a raw
// control character a terminal might act on.
std::string jsonQuote(std::string_view utf8);

// The text of a document. Pretty: members and elements one a line with two spaces of
// indentation per level, a non-empty array of numbers on one line as [255, 0, 0], and a line
// break at the end. Otherwise all on one line without spaces.
std::string formatJson(const Json& document, bool pretty = true);
