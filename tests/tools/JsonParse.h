// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// A strict JSON reader for the tests: it takes exactly RFC 8259 JSON in valid UTF-8 and says
// where it is not, so "the output parses" is checked by code that shares nothing with the
// writer.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct JsonValue {
    enum class Type { Null, Bool, Number, String, Array, Object };
    Type type = Type::Null;
    bool boolean = false;
    double number = 0;
    std::string string;  // UTF-8
    std::vector<JsonValue> array;
    std::vector<std::pair<std::string, JsonValue>> object;  // in document order

    // The member of that name, or null when there is none (or this is not an object).
    const JsonValue* find(std::string_view name) const;
    const JsonValue& operator[](std::string_view name) const;
    const JsonValue& operator[](std::size_t index) const { return array.at(index); }
    long long integer() const { return static_cast<long long>(number); }
};

// Parses the whole text; false with `error` (byte offset and reason) when it is not JSON.
bool parseJson(std::string_view text, JsonValue& out, std::string& error);
