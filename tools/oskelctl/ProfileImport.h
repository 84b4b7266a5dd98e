// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// A profile from the JSON `oskelctl show --json` prints: the inverse of profileToJson.

#include <string>

class KeyboardConfig;

struct ImportFault {
    std::string path;    // where in the document, as $.keys[3].steps.Delay
    std::string reason;  // what is wrong there
};

// Reads `text` into `config` (whose key tables are built). Every member of the output is
// required except "description", which is derived and not read; of "mode" and "type" one is
// enough, and both must agree when both are given. A key may be named by its index or by its
// name on the keyboard ("F2"); a function code by its number or by its name; a step by its text
// or by its key event code. False with the first fault found; `config` is then unchanged.
bool profileFromJson(const std::string& text, KeyboardConfig& config, ImportFault& fault);
