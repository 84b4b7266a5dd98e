// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Text for the terminal: what the keyboard or a profile file holds may contain anything.

#include <string>
#include <string_view>

// UTF-8 for a terminal line: invalid sequences and control characters (tabs and escapes
// included, which would break columns or drive the terminal) become U+FFFD.
std::string printable(std::u16string_view text);
