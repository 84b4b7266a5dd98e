// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// A small streaming JSON writer for oskelctl's machine-readable output.
//
// Whatever text it is given, the result is valid UTF-8 JSON: control characters are escaped,
// UTF-16 texts are converted to UTF-8 with lone surrogates replaced by U+FFFD, and bytes of a
// narrow text that are not valid UTF-8 are replaced by U+FFFD too. Commas and nesting are tracked
// by the writer, so callers only say what comes next.

#include <string>
#include <string_view>
#include <vector>

// UTF-16 (as the keyboard's texts are held) to UTF-8. A surrogate without its partner becomes
// U+FFFD, so the result is always valid UTF-8.
std::string utf16ToUtf8(std::u16string_view text);

// Narrow text that is expected to be UTF-8; every byte that does not start a valid sequence (an
// overlong form, an encoded surrogate, a code point above U+10FFFF, a cut sequence) is replaced
// by U+FFFD.
std::string sanitizeUtf8(std::string_view text);

// The JSON string literal, quotes included, of a UTF-8 text (sanitised first).
std::string jsonQuote(std::string_view utf8);

class JsonWriter {
public:
    // Two-space indentation when `pretty`, one line otherwise.
    explicit JsonWriter(bool pretty = true);

    void beginObject();
    void endObject();
    // A compact array stays on one line even in pretty output, as [255, 0, 0].
    void beginArray(bool compact = false);
    void endArray();

    // Inside an object: the member name; the next value or container belongs to it.
    void key(std::string_view name);

    void value(std::string_view utf8);
    void value(std::u16string_view text);
    // Without these a string literal would convert to bool, not to a string view.
    void value(const char* utf8) { value(std::string_view(utf8)); }
    void value(const char16_t* text) { value(std::u16string_view(text)); }
    void value(long long number);
    void value(int number) { value(static_cast<long long>(number)); }
    void value(bool flag);
    void null();

    // The text written so far; complete once every container is closed.
    const std::string& text() const { return out; }
    bool complete() const { return frames.empty() && wroteTopLevel; }

private:
    struct Frame {
        bool isObject = false;
        bool empty = true;
        bool afterKey = false;
        bool compact = false;
    };

    void beforeValue();
    void newline();
    void close(char bracket);

    std::string out;
    std::vector<Frame> frames;
    bool pretty;
    bool wroteTopLevel = false;
};
