// SPDX-License-Identifier: GPL-2.0-or-later
#include "JsonParse.h"

#include <cstdlib>
#include <stdexcept>

namespace {

class Parser {
public:
    explicit Parser(std::string_view text) : s(text) {}

    bool parseDocument(JsonValue& out, std::string& error) {
        skipSpace();
        if (!parseValue(out, 0)) {
            error = "offset " + std::to_string(pos) + ": " + why;
            return false;
        }
        skipSpace();
        if (pos != s.size()) {
            error = "offset " + std::to_string(pos) + ": text after the value";
            return false;
        }
        return true;
    }

private:
    bool fail(const char* reason) {
        why = reason;
        return false;
    }

    void skipSpace() {
        while (pos < s.size() &&
               (s[pos] == ' ' || s[pos] == '\t' || s[pos] == '\n' || s[pos] == '\r')) {
            ++pos;
        }
    }

    bool literal(std::string_view word) {
        if (s.substr(pos, word.size()) != word) {
            return fail("unknown literal");
        }
        pos += word.size();
        return true;
    }

    bool parseValue(JsonValue& v, int depth) {
        if (depth > 200) {
            return fail("nested too deeply");
        }
        if (pos >= s.size()) {
            return fail("unexpected end");
        }
        switch (s[pos]) {
            case '{':
                return parseObject(v, depth);
            case '[':
                return parseArray(v, depth);
            case '"':
                v.type = JsonValue::Type::String;
                return parseString(v.string);
            case 't':
                v.type = JsonValue::Type::Bool, v.boolean = true;
                return literal("true");
            case 'f':
                v.type = JsonValue::Type::Bool, v.boolean = false;
                return literal("false");
            case 'n':
                v.type = JsonValue::Type::Null;
                return literal("null");
            default:
                return parseNumber(v);
        }
    }

    bool parseObject(JsonValue& v, int depth) {
        v.type = JsonValue::Type::Object;
        ++pos;
        skipSpace();
        if (pos < s.size() && s[pos] == '}') {
            ++pos;
            return true;
        }
        for (;;) {
            skipSpace();
            std::string name;
            if (pos >= s.size() || s[pos] != '"' || !parseString(name)) {
                return why.empty() ? fail("expected a member name") : false;
            }
            skipSpace();
            if (pos >= s.size() || s[pos] != ':') {
                return fail("expected ':'");
            }
            ++pos;
            skipSpace();
            JsonValue member;
            if (!parseValue(member, depth + 1)) {
                return false;
            }
            v.object.emplace_back(std::move(name), std::move(member));
            skipSpace();
            if (pos < s.size() && s[pos] == ',') {
                ++pos;
                continue;
            }
            if (pos < s.size() && s[pos] == '}') {
                ++pos;
                return true;
            }
            return fail("expected ',' or '}'");
        }
    }

    bool parseArray(JsonValue& v, int depth) {
        v.type = JsonValue::Type::Array;
        ++pos;
        skipSpace();
        if (pos < s.size() && s[pos] == ']') {
            ++pos;
            return true;
        }
        for (;;) {
            skipSpace();
            JsonValue element;
            if (!parseValue(element, depth + 1)) {
                return false;
            }
            v.array.push_back(std::move(element));
            skipSpace();
            if (pos < s.size() && s[pos] == ',') {
                ++pos;
                continue;
            }
            if (pos < s.size() && s[pos] == ']') {
                ++pos;
                return true;
            }
            return fail("expected ',' or ']'");
        }
    }

    bool parseNumber(JsonValue& v) {
        const std::size_t start = pos;
        if (pos < s.size() && s[pos] == '-') {
            ++pos;
        }
        if (pos >= s.size() || !isDigit(s[pos])) {
            return fail("not a value");
        }
        if (s[pos] == '0') {
            ++pos;
        } else {
            while (pos < s.size() && isDigit(s[pos])) {
                ++pos;
            }
        }
        if (pos < s.size() && s[pos] == '.') {
            ++pos;
            if (!digits()) {
                return fail("digits expected after '.'");
            }
        }
        if (pos < s.size() && (s[pos] == 'e' || s[pos] == 'E')) {
            ++pos;
            if (pos < s.size() && (s[pos] == '+' || s[pos] == '-')) {
                ++pos;
            }
            if (!digits()) {
                return fail("digits expected in the exponent");
            }
        }
        v.type = JsonValue::Type::Number;
        v.number = std::strtod(std::string(s.substr(start, pos - start)).c_str(), nullptr);
        return true;
    }

    static bool isDigit(char c) { return c >= '0' && c <= '9'; }

    bool digits() {
        const std::size_t start = pos;
        while (pos < s.size() && isDigit(s[pos])) {
            ++pos;
        }
        return pos > start;
    }

    static void appendUtf8(std::string& out, char32_t cp) {
        if (cp < 0x80) {
            out += char(cp);
        } else if (cp < 0x800) {
            out += char(0xC0 | (cp >> 6));
            out += char(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += char(0xE0 | (cp >> 12));
            out += char(0x80 | ((cp >> 6) & 0x3F));
            out += char(0x80 | (cp & 0x3F));
        } else {
            out += char(0xF0 | (cp >> 18));
            out += char(0x80 | ((cp >> 12) & 0x3F));
            out += char(0x80 | ((cp >> 6) & 0x3F));
            out += char(0x80 | (cp & 0x3F));
        }
    }

    bool hex4(char32_t& value) {
        if (pos + 4 > s.size()) {
            return fail("cut \\u escape");
        }
        value = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = s[pos++];
            value <<= 4;
            if (isDigit(c)) {
                value |= c - '0';
            } else if (c >= 'a' && c <= 'f') {
                value |= c - 'a' + 10;
            } else if (c >= 'A' && c <= 'F') {
                value |= c - 'A' + 10;
            } else {
                return fail("bad \\u escape");
            }
        }
        return true;
    }

    bool escape(std::string& out) {
        const char c = s[pos++];
        switch (c) {
            case '"':
                out += '"';
                return true;
            case '\\':
                out += '\\';
                return true;
            case '/':
                out += '/';
                return true;
            case 'b':
                out += '\b';
                return true;
            case 'f':
                out += '\f';
                return true;
            case 'n':
                out += '\n';
                return true;
            case 'r':
                out += '\r';
                return true;
            case 't':
                out += '\t';
                return true;
            case 'u':
                break;
            default:
                return fail("unknown escape");
        }
        char32_t cp = 0;
        if (!hex4(cp)) {
            return false;
        }
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            char32_t low = 0;
            if (s.substr(pos, 2) != "\\u" || (pos += 2, !hex4(low)) || low < 0xDC00 ||
                low > 0xDFFF) {
                return fail("high surrogate escape without its low half");
            }
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
        } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
            return fail("lone low surrogate escape");
        }
        appendUtf8(out, cp);
        return true;
    }

    // One UTF-8 sequence starting at pos, checked strictly.
    bool utf8(std::string& out) {
        const auto b0 = static_cast<unsigned char>(s[pos]);
        std::size_t len = b0 >= 0xF0 ? 4 : b0 >= 0xE0 ? 3 : b0 >= 0xC0 ? 2 : 0;
        if (len == 0 || b0 > 0xF4 || b0 == 0xC0 || b0 == 0xC1 || pos + len > s.size()) {
            return fail("invalid UTF-8");
        }
        char32_t cp = b0 & (0x7F >> len);
        for (std::size_t i = 1; i < len; ++i) {
            const auto b = static_cast<unsigned char>(s[pos + i]);
            if ((b & 0xC0) != 0x80) {
                return fail("invalid UTF-8");
            }
            cp = (cp << 6) | (b & 0x3F);
        }
        const char32_t min = len == 2 ? 0x80 : len == 3 ? 0x800 : 0x10000;
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            return fail("invalid UTF-8");
        }
        out.append(s.substr(pos, len));
        pos += len;
        return true;
    }

    bool parseString(std::string& out) {
        ++pos;
        while (pos < s.size()) {
            const auto c = static_cast<unsigned char>(s[pos]);
            if (c == '"') {
                ++pos;
                return true;
            }
            if (c < 0x20) {
                return fail("raw control character in a string");
            }
            if (c == '\\') {
                ++pos;
                if (pos >= s.size() || !escape(out)) {
                    return why.empty() ? fail("cut escape") : false;
                }
            } else if (c < 0x80) {
                out += char(c);
                ++pos;
            } else if (!utf8(out)) {
                return false;
            }
        }
        return fail("unterminated string");
    }

    std::string_view s;
    std::size_t pos = 0;
    std::string why;
};

}  // namespace

const JsonValue* JsonValue::find(std::string_view name) const {
    for (const auto& [key, value] : object) {
        if (key == name) {
            return &value;
        }
    }
    return nullptr;
}

const JsonValue& JsonValue::operator[](std::string_view name) const {
    static const JsonValue missing;
    const JsonValue* v = find(name);
    return v ? *v : missing;
}

bool parseJson(std::string_view text, JsonValue& out, std::string& error) {
    out = JsonValue();
    return Parser(text).parseDocument(out, error);
}
