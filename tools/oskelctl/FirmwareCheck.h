#pragma once
// The check oskelctl makes of a firmware image before it opens the keyboard, so a faulty file is
// told apart from a failed download and nothing is ever sent for it.

#include <string>
#include <string_view>

// Empty when `text` is an Intel HEX image the keyboard takes: every line (ended by CR, CR LF or
// LF; a last line without an ending counts) up to the first empty line is ":" and an even number
// of hexadecimal digits, its length byte matches, its checksum is right, it decodes to at most
// 62 bytes, and there is at least one such line. Otherwise one line naming the first fault,
// such as "line 3: the checksum is wrong".
std::string checkFirmwareText(std::string_view text);
