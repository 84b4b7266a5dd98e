// SPDX-License-Identifier: GPL-2.0-or-later
#include "Terminal.h"

#include "Json.h"

std::string printable(std::u16string_view text) {
    std::u16string clean(text);
    for (char16_t& c : clean) {
        if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0)) {
            c = 0xFFFD;
        }
    }
    return utf16ToUtf8(clean);
}
