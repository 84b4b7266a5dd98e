// SPDX-License-Identifier: GPL-2.0-or-later
#include "SwitchCommands.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "DesktopNotification.h"
#include "LastApplied.h"
#include "RecentProfiles.h"

namespace {

void fail(const std::string& line) {
    std::fprintf(stderr, "oskelctl: %s\n", line.c_str());
}

const char* const kEmptyList =
    "there are no recent profiles: open or save a profile in Oskel first (oskelctl recent "
    "lists them)";

// The profile to write, or empty after saying why not.
std::string chosenProfile(const Options& o) {
    if (o.command == Command::Write && o.recent == 0) {
        return o.path;
    }
    const std::vector<std::string> recent = RecentProfiles().list();
    if (recent.empty()) {
        fail(kEmptyList);
        return {};
    }
    if (o.command == Command::Write) {
        if (o.recent > static_cast<int>(recent.size())) {
            fail("there " +
                 std::string(recent.size() == 1 ? "is only 1 recent profile"
                                                : "are only " + std::to_string(recent.size()) +
                                                      " recent profiles") +
                 "; --recent " + std::to_string(o.recent) + " names none");
            return {};
        }
        return recent[static_cast<std::size_t>(o.recent - 1)];
    }
    const int step = o.command == Command::Next ? 1 : -1;
    return recent[static_cast<std::size_t>(steppedIndex(recent, LastApplied().profile(), step))];
}

void notifyWritten(const std::string& profile, const std::string& language) {
    DesktopNotification n;
    n.summary = std::filesystem::path(profile).stem().string();
    n.body = (language == "zh-CN" ? "已写入键盘：" : "Written to the keyboard: ") + profile;
    showDesktopNotification(n);
}

}  // namespace

int runWriteChoosing(const Options& given, WriteCommand write) {
    Options o = given;
    o.path = chosenProfile(given);
    if (o.path.empty()) {
        return kExitBadInput;
    }
    const int code = write(o);
    // With --verify a write that the keyboard did not keep still changed the keyboard.
    if (code != kExitOk && code != kExitDiffers) {
        return code;
    }
    std::string why;
    if (!LastApplied().record(o.path, &why)) {
        fail("warning: " + why + "; next and previous will not know that " + o.path +
             " was written");
    }
    if (o.command != Command::Write) {
        notifyWritten(o.path, o.lang.empty() ? languageFromEnvironment() : o.lang);
    }
    return code;
}
