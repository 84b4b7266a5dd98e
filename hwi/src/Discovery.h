// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Finding the keyboard's configuration interface among the HID interfaces and virtual keyboards.

#include <string>
#include <string_view>
#include <vector>

namespace oskel::hid {

// The discovery rule, on a device path's text: "mi_01" occurs (not at the very start), and the
// four characters right after the first "vid_" and the first "pid_" are exactly "0483" and
// "5022". The search is case-sensitive; fewer than four characters after a marker is no match.
bool isKeyboardDevicePath(std::string_view path);

// The device path a hidapi interface gets: hidraw#vid_VVVV&pid_PPPP&mi_NN#<hidapi path>, the ids
// as four lower-case hexadecimal digits and the interface as two decimal digits.
std::string hidrawDevicePath(unsigned short vendorId, unsigned short productId, int interfaceNumber,
                             std::string_view hidapiPath);

// The hidapi path inside a device path made by hidrawDevicePath, empty when `devicePath` is none.
std::string hidapiPathOf(std::string_view devicePath);

// Every device path, in discovery order: hidapi's interfaces first, then the virtual keyboards'
// sockets in name order (those that somebody listens on). OSKEL_NO_HIDRAW=1 leaves out hidapi
// (tests keep real keyboards out).
std::vector<std::string> listDevicePaths();

// The first path that the rule matches, empty when none does.
std::string firstKeyboardPath(const std::vector<std::string>& paths);

}  // namespace oskel::hid
