// SPDX-License-Identifier: GPL-2.0-or-later
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "DeviceAccess.h"

namespace fs = std::filesystem;

namespace {

// A private folder with a place for an installed rule and a program folder holding the rule it
// ships, so no case needs root or touches /etc.
struct RuleFolders {
    fs::path root;
    RuleFolders() {
        char pattern[] = "/tmp/oskel-access-XXXXXX";
        root = ::mkdtemp(pattern);
        fs::create_directories(root / "etc");
        fs::create_directories(root / "build bin");
        std::ofstream(root / "build bin" / "70-oskel.rules") << "# rule\n";
    }
    ~RuleFolders() { fs::remove_all(root); }
    RulePlaces places(bool installed) const {
        RulePlaces p = defaultRulePlaces((root / "build bin").string());
        p.installed = {(root / "usr-lib" / "70-oskel.rules").string(),
                       (root / "etc" / "70-oskel.rules").string()};
        if (installed) {
            std::ofstream(root / "etc" / "70-oskel.rules") << "# rule\n";
        } else {
            fs::remove(root / "etc" / "70-oskel.rules");
        }
        return p;
    }
};

struct Case {
    int error;
    bool ruleInstalled;
    const char* language;
    AccessCause cause;
    const char* says;  // a piece of the text
    bool hasCommands;
};

const Case kCases[] = {
    {EACCES, false, "en-US", AccessCause::NoRule, "then unplug and replug the keyboard.", true},
    {EPERM, false, "en-US", AccessCause::NoRule, "is not installed", true},
    {EACCES, false, "zh-CN", AccessCause::NoRule, "然后拔下键盘并重新插入。", true},
    {EACCES, true, "en-US", AccessCause::NotAtSeat, "log in locally", false},
    {EPERM, true, "zh-CN", AccessCause::NotAtSeat, "在本机上登录", false},
    {ENODEV, false, "en-US", AccessCause::Other, "Unplug and replug the keyboard.", false},
    {EBUSY, true, "en-US", AccessCause::Other, "Device or resource busy", false},
    {EIO, true, "zh-CN", AccessCause::Other, "请拔下键盘并重新插入", false},
};

class DeviceAccessAdvice : public testing::TestWithParam<Case> {};

TEST_P(DeviceAccessAdvice, NamesCausePathAndRemedy) {
    const Case& c = GetParam();
    RuleFolders folders;
    const std::string path = "/dev/hidraw7";
    const AccessAdvice advice =
        adviseOnOpenError(c.error, path, c.language, folders.places(c.ruleInstalled));
    EXPECT_EQ(advice.cause, c.cause);
    EXPECT_NE(advice.text.find(path), std::string::npos) << advice.text;
    EXPECT_NE(advice.text.find(c.says), std::string::npos) << advice.text;
    EXPECT_EQ(!advice.commands.empty(), c.hasCommands);
    for (const std::string& command : advice.commands) {
        // Every command is shown to the user as it is.
        EXPECT_NE(advice.text.find(command), std::string::npos) << command;
    }
}

INSTANTIATE_TEST_SUITE_P(Table, DeviceAccessAdvice, testing::ValuesIn(kCases));

TEST(DeviceAccess, OpenedNeedsNoAdvice) {
    RuleFolders folders;
    const AccessAdvice advice =
        adviseOnOpenError(0, "/dev/hidraw0", "en-US", folders.places(false));
    EXPECT_EQ(advice.cause, AccessCause::Opened);
    EXPECT_TRUE(advice.text.empty());
}

TEST(DeviceAccess, CommandsInstallTheShippedRuleAndReloadUdev) {
    RuleFolders folders;
    const AccessAdvice advice =
        adviseOnOpenError(EACCES, "/dev/hidraw0", "en-US", folders.places(false));
    ASSERT_EQ(advice.commands.size(), 2u);
    // The program folder has a space: the path is quoted so the pasted command works.
    const std::string shipped = (folders.root / "build bin" / "70-oskel.rules").string();
    EXPECT_EQ(advice.commands[0],
              "sudo install -m 644 '" + shipped + "' /etc/udev/rules.d/70-oskel.rules");
    EXPECT_EQ(advice.commands[1], "sudo udevadm control --reload-rules");
}

TEST(DeviceAccess, ShippedRuleFoundInEachInstalledLayout) {
    RuleFolders folders;
    const fs::path prefix = folders.root / "prefix";
    fs::create_directories(prefix / "bin");
    EXPECT_EQ(defaultRulePlaces((prefix / "bin").string()).shipped, "");
    fs::create_directories(prefix / "lib/udev/rules.d");
    std::ofstream(prefix / "lib/udev/rules.d/70-oskel.rules") << "#\n";
    EXPECT_EQ(defaultRulePlaces((prefix / "bin").string()).shipped,
              (prefix / "lib/udev/rules.d/70-oskel.rules").string());
    fs::create_directories(prefix / "share/oskel");
    std::ofstream(prefix / "share/oskel/70-oskel.rules") << "#\n";
    EXPECT_EQ(defaultRulePlaces((prefix / "bin").string()).shipped,
              (prefix / "share/oskel/70-oskel.rules").string());
}

TEST(DeviceAccess, WithoutAShippedRuleTheSourcesAreNamed) {
    RulePlaces places;
    places.installed = {"/nonexistent/70-oskel.rules"};
    const AccessAdvice advice = adviseOnOpenError(EACCES, "/dev/hidraw0", "en-US", places);
    ASSERT_FALSE(advice.commands.empty());
    EXPECT_NE(advice.commands[0].find("packaging/70-oskel.rules"), std::string::npos);
}

}  // namespace
