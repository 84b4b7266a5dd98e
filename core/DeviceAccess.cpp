// SPDX-License-Identifier: GPL-2.0-or-later
#include "DeviceAccess.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "LanguageText.h"

namespace {

constexpr const char* kRuleName = "70-oskel.rules";
// /etc wins over /usr/lib in udev, and a copy put there by hand survives package upgrades.
constexpr const char* kRuleTarget = "/etc/udev/rules.d/70-oskel.rules";

bool isFile(const std::string& path) {
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

// Single quotes unless the path is plain, so a pasted command works with any folder name.
std::string shellWord(const std::string& word) {
    if (!word.empty() &&
        word.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                               "0123456789/._+-=:@%,") == std::string::npos) {
        return word;
    }
    std::string quoted = "'";
    for (char c : word) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

bool isPermission(int error) {
    return error == EACCES || error == EPERM;
}

std::string joinLines(const std::vector<std::string>& commands) {
    std::string text;
    for (const std::string& command : commands) {
        text += "    " + command + "\n";
    }
    return text;
}

AccessAdvice noRule(const std::string& where, bool zh, const RulePlaces& places) {
    AccessAdvice advice{AccessCause::NoRule, {}, {}};
    // Without a shipped copy the rule is the one in the sources; the command says where.
    const std::string source =
        places.shipped.empty() ? std::string("packaging/") + kRuleName : places.shipped;
    advice.commands = {
        "sudo install -m 644 " + shellWord(source) + " " + kRuleTarget,
        "sudo udevadm control --reload-rules",
    };
    const std::string lines = joinLines(advice.commands);
    if (zh) {
        advice.text = "键盘（" + where +
                      "）已连接，但您没有打开它的权限：授予访问权限的 udev 规则 " + kRuleName +
                      " 尚未安装。请在终端中运行：\n\n" + lines + "\n然后拔下键盘并重新插入。";
    } else {
        advice.text = "The keyboard (" + where +
                      ") is attached, but you may not open it: the udev rule " + kRuleName +
                      " that gives you access is not installed. Run in a terminal:\n\n" + lines +
                      "\nthen unplug and replug the keyboard.";
    }
    return advice;
}

AccessAdvice notAtSeat(const std::string& where, bool zh) {
    AccessAdvice advice{AccessCause::NotAtSeat, {}, {}};
    if (zh) {
        advice.text = "键盘（" + where + "）已连接，但您没有打开它的权限。udev 规则 " + kRuleName +
                      " 已安装，它只把键盘交给在本机座席上登录的用户。请拔下键盘并重新插入，"
                      "或在本机上登录（远程会话或 su 会话没有访问权限）。";
    } else {
        advice.text = "The keyboard (" + where +
                      ") is attached, but you may not open it. The udev rule " + kRuleName +
                      " is installed; it gives access to the user logged in at the computer's own "
                      "seat. Unplug and replug the keyboard, or log in locally (a remote or su "
                      "session gets no access).";
    }
    return advice;
}

AccessAdvice otherError(const std::string& where, int error, bool zh) {
    AccessAdvice advice{AccessCause::Other, {}, {}};
    const std::string reason = std::strerror(error);
    if (zh) {
        advice.text =
            "键盘（" + where + "）已连接，但无法打开（" + reason + "）。请拔下键盘并重新插入。";
    } else {
        advice.text = "The keyboard (" + where + ") is attached but cannot be opened (" + reason +
                      "). Unplug and replug the keyboard.";
    }
    return advice;
}

}  // namespace

RulePlaces defaultRulePlaces(const std::string& programDir) {
    RulePlaces places;
    places.installed = {std::string("/usr/lib/udev/rules.d/") + kRuleName,
                        std::string("/etc/udev/rules.d/") + kRuleName};
    if (programDir.empty()) {
        return places;
    }
    const std::filesystem::path dir(programDir);
    for (const std::filesystem::path& candidate :
         {dir / kRuleName, dir / "../share/oskel" / kRuleName,
          dir / "../lib/udev/rules.d" / kRuleName}) {
        if (isFile(candidate.string())) {
            places.shipped = candidate.lexically_normal().string();
            break;
        }
    }
    return places;
}

std::string runningProgramDir() {
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : self.parent_path().string();
}

AccessAdvice adviseOnOpenError(int error, const std::string& devicePath,
                               const std::string& language, const RulePlaces& places) {
    if (error == 0) {
        return {};
    }
    const bool zh = isChinese(language);  // Chinese, or English for any other language
    if (!isPermission(error)) {
        return otherError(devicePath, error, zh);
    }
    for (const std::string& rule : places.installed) {
        if (isFile(rule)) {
            return notAtSeat(devicePath, zh);
        }
    }
    return noRule(devicePath, zh, places);
}
