// SPDX-License-Identifier: GPL-2.0-or-later
#include "DecimalText.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace {

bool isBlank(char16_t c) {
    return c == u' ' || (c >= u'\t' && c <= u'\r');  // the C locale's white space
}

}  // namespace

int parseDecimal(std::u16string_view text) {
    size_t i = 0;
    while (i < text.size() && isBlank(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    // Saturates just past INT_MAX so that both ends of the int range stay reachable.
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        value = std::min<std::int64_t>(value * 10 + (text[i] - u'0'), std::int64_t{INT_MAX} + 1);
    }
    value = negative ? -value : value;
    return static_cast<int>(std::clamp<std::int64_t>(value, INT_MIN, INT_MAX));
}
