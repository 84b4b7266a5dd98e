// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Why a keyboard that is plugged in cannot be opened, and what the user can do about it.
//
// Linux gives the keyboard's hidraw node to root only; the udev rule 70-oskel.rules hands it to
// the user logged in at the seat. Both front ends (the program and oskelctl) say the same thing
// through this one place, so the advice never drifts apart.

#include <string>
#include <vector>

// Where an installed rule is looked for, and the rule file this build or package carries.
struct RulePlaces {
    std::vector<std::string> installed;  // udev reads a rule from any of these
    std::string shipped;                 // empty: none found beside the program
};

// The places for a program in `programDir`: udev's two folders, and as the shipped rule the
// first of: beside the program (a build), ../share/oskel, ../lib/udev/rules.d (an install with a
// prefix udev does not read).
RulePlaces defaultRulePlaces(const std::string& programDir);

// The folder of the running program, from /proc/self/exe; empty when it cannot be read.
std::string runningProgramDir();

enum class AccessCause {
    Opened,     // nothing to explain
    NoRule,     // permission denied and the rule is not installed
    NotAtSeat,  // permission denied although the rule is installed
    Other,      // any other error
};

struct AccessAdvice {
    AccessCause cause = AccessCause::Opened;
    std::string text;                   // UTF-8, in the program's language; empty when opened
    std::vector<std::string> commands;  // for NoRule: the shell commands that install the rule
};

// `error` is the errno of the failed open (0: opened), `devicePath` the keyboard's device path,
// `language` "zh-CN" or anything else for English.
AccessAdvice adviseOnOpenError(int error, const std::string& devicePath,
                               const std::string& language, const RulePlaces& places);
