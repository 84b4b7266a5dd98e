// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The check oskelctl makes of a firmware image before it opens the keyboard, so a faulty file is
// told apart from a failed download and nothing is ever sent for it.

#include <string>
#include <string_view>

// Empty when `text` is an Intel HEX image the keyboard takes: every line (ended by CR, CR LF or
// LF) up to the end-of-file record is ":" and an even number of hexadecimal digits, its length
// byte matches, its checksum is right, its record type is 00 to 05 and it decodes to at most 62
// bytes; the end-of-file record (01) comes, and nothing but blank space follows it. Otherwise one
// line naming the first fault, such as "line 3: the checksum is wrong".
std::string checkFirmwareText(std::string_view text);
