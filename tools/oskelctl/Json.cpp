// SPDX-License-Identifier: GPL-2.0-or-later
#include "Json.h"

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool isHighSurrogate(char16_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
bool isLowSurrogate(char16_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

// A scalar as the library writes it, with DEL escaped as well: it is legal in JSON, but a
// terminal might act on it. DEL never occurs inside a multi-byte UTF-8 sequence, so every 0x7F
// byte of the library's output is one.
std::string scalarText(const Json& value) {
    std::string text = value.dump(-1, ' ', false, Json::error_handler_t::replace);
    for (std::size_t at = text.find('\x7f'); at != std::string::npos; at = text.find('\x7f', at)) {
        text.replace(at, 1, "\\u007f");
    }
    return text;
}

bool isNumberList(const Json& value) {
    if (!value.is_array() || value.empty()) {
        return false;
    }
    for (const Json& element : value) {
        if (!element.is_number()) {
            return false;
        }
    }
    return true;
}

void newline(std::string& out, bool pretty, int depth) {
    if (pretty) {
        out += '\n';
        out.append(static_cast<std::size_t>(depth) * 2, ' ');
    }
}

void format(std::string& out, const Json& value, bool pretty, int depth) {
    if (value.is_object()) {
        if (value.empty()) {
            out += "{}";
            return;
        }
        out += '{';
        bool first = true;
        for (const auto& [name, member] : value.items()) {
            if (!first) {
                out += ',';
            }
            first = false;
            newline(out, pretty, depth + 1);
            out += jsonQuote(name);
            out += pretty ? ": " : ":";
            format(out, member, pretty, depth + 1);
        }
        newline(out, pretty, depth);
        out += '}';
    } else if (value.is_array()) {
        if (value.empty()) {
            out += "[]";
            return;
        }
        const bool oneLine = !pretty || isNumberList(value);
        out += '[';
        bool first = true;
        for (const Json& element : value) {
            if (!first) {
                out += pretty && oneLine ? ", " : ",";
            }
            first = false;
            if (!oneLine) {
                newline(out, pretty, depth + 1);
            }
            format(out, element, pretty, depth + 1);
        }
        if (!oneLine) {
            newline(out, pretty, depth);
        }
        out += ']';
    } else {
        out += scalarText(value);
    }
}

}  // namespace

std::string utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t u = text[i];
        if (isHighSurrogate(u) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
            const char32_t cp = 0x10000 + ((char32_t(u) - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            appendUtf8(out, cp);
            ++i;
        } else if (isHighSurrogate(u) || isLowSurrogate(u)) {
            appendUtf8(out, kReplacement);
        } else {
            appendUtf8(out, u);
        }
    }
    return out;
}

std::u16string utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const auto b0 = static_cast<unsigned char>(utf8[i]);
        const std::size_t len = b0 < 0x80 ? 1 : b0 < 0xE0 ? 2 : b0 < 0xF0 ? 3 : 4;
        if (i + len > utf8.size()) {
            out += static_cast<char16_t>(kReplacement);
            break;
        }
        char32_t cp = len == 1 ? b0 : len == 2 ? b0 & 0x1F : len == 3 ? b0 & 0x0F : b0 & 0x07;
        for (std::size_t k = 1; k < len; ++k) {
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        }
        i += len;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

std::string jsonQuote(std::string_view utf8) {
    return scalarText(Json(std::string(utf8)));
}

std::string formatJson(const Json& document, bool pretty) {
    std::string out;
    format(out, document, pretty, 0);
    if (pretty) {
        out += '\n';
    }
    return out;
}
