// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Decimal numbers in text, read the way strtol reads them: leading white space, an optional
// sign, digits up to the first other character; 0 when there are none. Profiles store every
// number so, and a macro's pause items carry theirs the same way.

#include <string_view>

int parseDecimal(std::u16string_view text);
