// SPDX-License-Identifier: GPL-2.0-or-later
#include "Json.h"

#include <cstdint>
#include <cstdio>

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

// Length of the valid UTF-8 sequence at `pos` and its code point, or 0 when the bytes there do
// not form one (the caller then replaces one byte).
std::size_t decodeUtf8(std::string_view s, std::size_t pos, char32_t& cp) {
    const auto b0 = static_cast<unsigned char>(s[pos]);
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    std::size_t len = 0;
    char32_t min = 0;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2, cp = b0 & 0x1F, min = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3, cp = b0 & 0x0F, min = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4, cp = b0 & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (pos + len > s.size()) {
        return 0;
    }
    for (std::size_t i = 1; i < len; ++i) {
        const auto b = static_cast<unsigned char>(s[pos + i]);
        if ((b & 0xC0) != 0x80) {
            return 0;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        return 0;
    }
    return len;
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

std::string sanitizeUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        char32_t cp = 0;
        const std::size_t len = decodeUtf8(text, i, cp);
        if (len == 0) {
            appendUtf8(out, kReplacement);
            ++i;
        } else {
            out.append(text.substr(i, len));
            i += len;
        }
    }
    return out;
}

std::string jsonQuote(std::string_view utf8) {
    const std::string clean = sanitizeUtf8(utf8);
    std::string out;
    out.reserve(clean.size() + 2);
    out += '"';
    for (const char c : clean) {
        const auto b = static_cast<unsigned char>(c);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                // DEL is legal in JSON but escaped too, so the output never carries a raw
                // control character a terminal might act on.
                if (b < 0x20 || b == 0x7F) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", b);
                    out += buf;
                } else {
                    out += c;
                }
        }
    }
    out += '"';
    return out;
}

JsonWriter::JsonWriter(bool pretty) : pretty(pretty) {}

void JsonWriter::newline() {
    if (!pretty) {
        return;
    }
    if (!frames.empty() && frames.back().compact) {
        out += ' ';
        return;
    }
    out += '\n';
    out.append(frames.size() * 2, ' ');
}

void JsonWriter::beforeValue() {
    if (frames.empty()) {
        wroteTopLevel = true;
        return;
    }
    Frame& f = frames.back();
    if (f.isObject) {
        // A value inside an object always follows its key; key() did the separator.
        f.afterKey = false;
        return;
    }
    if (!f.empty) {
        out += ',';
        newline();
    } else if (!f.compact) {
        newline();
    }
    f.empty = false;
}

void JsonWriter::key(std::string_view name) {
    if (frames.empty() || !frames.back().isObject) {
        return;
    }
    Frame& f = frames.back();
    if (!f.empty) {
        out += ',';
    }
    f.empty = false;
    f.afterKey = true;
    newline();
    out += jsonQuote(name);
    out += pretty ? ": " : ":";
}

void JsonWriter::beginObject() {
    beforeValue();
    out += '{';
    frames.push_back({true, true, false, false});
}

void JsonWriter::beginArray(bool compact) {
    beforeValue();
    out += '[';
    frames.push_back({false, true, false, compact});
}

void JsonWriter::close(char bracket) {
    if (frames.empty()) {
        return;
    }
    const bool wasEmpty = frames.back().empty;
    const bool wasCompact = frames.back().compact;
    frames.pop_back();
    if (!wasEmpty && !wasCompact) {
        newline();
    }
    out += bracket;
    if (frames.empty() && pretty) {
        out += '\n';
    }
}

void JsonWriter::endObject() {
    close('}');
}
void JsonWriter::endArray() {
    close(']');
}

void JsonWriter::value(std::string_view utf8) {
    beforeValue();
    out += jsonQuote(utf8);
}

void JsonWriter::value(std::u16string_view text) {
    value(std::string_view(utf16ToUtf8(text)));
}

void JsonWriter::value(long long number) {
    beforeValue();
    out += std::to_string(number);
}

void JsonWriter::value(bool flag) {
    beforeValue();
    out += flag ? "true" : "false";
}

void JsonWriter::null() {
    beforeValue();
    out += "null";
}
