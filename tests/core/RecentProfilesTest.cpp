// SPDX-License-Identifier: GPL-2.0-or-later
// The list of recent profiles: order, repeats, files that went away, the limit, where it lives.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "RecentProfiles.h"

namespace fs = std::filesystem;

namespace {

using Paths = std::vector<std::string>;

class RecentProfilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/oskel-recent-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        listFile = (dir / "settings" / "recent-profiles").string();
    }
    void TearDown() override {
        std::error_code ignored;
        fs::permissions(dir / "settings", fs::perms::owner_all, ignored);
        fs::remove_all(dir, ignored);
    }

    // Creates a profile file and answers its path.
    std::string profile(const std::string& name) const {
        const fs::path path = dir / name;
        std::ofstream(path) << "<Oskel/>";
        return path.string();
    }

    std::string stored() const {
        std::ifstream in(listFile);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    fs::path dir;
    std::string listFile;
};

TEST_F(RecentProfilesTest, NewestFirstWithoutRepeats) {
    RecentProfiles recent(listFile);
    const std::string a = profile("a.pro"), b = profile("b.pro"), c = profile("c.pro");
    for (const std::string& p : {a, b, c, a}) {
        ASSERT_TRUE(recent.add(p));
    }
    EXPECT_EQ(recent.list(), (Paths{a, c, b}));
    // Another reader of the same file (oskelctl) sees the same list.
    EXPECT_EQ(RecentProfiles(listFile).list(), (Paths{a, c, b}));
    EXPECT_EQ(stored(), a + "\n" + c + "\n" + b + "\n");
}

TEST_F(RecentProfilesTest, EightAtMostTheOldestGoes) {
    RecentProfiles recent(listFile);
    Paths added;
    for (int i = 0; i < 10; ++i) {
        added.push_back(profile("p" + std::to_string(i) + ".pro"));
        ASSERT_TRUE(recent.add(added.back()));
    }
    const Paths expected(added.rbegin(), added.rbegin() + 8);
    EXPECT_EQ(recent.list(), expected);
}

TEST_F(RecentProfilesTest, FilesThatNoLongerExistAreDroppedWhenListed) {
    RecentProfiles recent(listFile);
    const std::string a = profile("a.pro"), b = profile("b.pro"), c = profile("c.pro");
    for (const std::string& p : {a, b, c}) {
        ASSERT_TRUE(recent.add(p));
    }
    fs::remove(b);
    EXPECT_EQ(recent.list(), (Paths{c, a}));
    // ... and stay dropped when the list is next saved, making room for others.
    ASSERT_TRUE(recent.add(a));
    EXPECT_EQ(stored(), a + "\n" + c + "\n");
    // A folder of the same name is no profile either.
    fs::create_directory(b);
    EXPECT_EQ(recent.list(), (Paths{a, c}));
}

TEST_F(RecentProfilesTest, PathsAreRecordedAbsoluteAndNormal) {
    RecentProfiles recent(listFile);
    const std::string a = profile("a.pro");
    const fs::path before = fs::current_path();
    fs::current_path(dir);
    const bool added = recent.add("./sub/../a.pro");
    fs::current_path(before);
    ASSERT_TRUE(added);
    EXPECT_EQ(recent.list(), (Paths{a}));
}

TEST_F(RecentProfilesTest, WhatCannotBeRecordedLeavesTheListAsItWas) {
    RecentProfiles recent(listFile);
    const std::string a = profile("a.pro");
    ASSERT_TRUE(recent.add(a));
    std::string why;
    EXPECT_FALSE(recent.add(profile("line\nbreak.pro"), &why));
    EXPECT_NE(why.find("cannot be recorded"), std::string::npos) << why;
    EXPECT_EQ(recent.list(), (Paths{a}));

    if (geteuid() != 0) {  // root writes into a read-only folder all the same
        fs::permissions(dir / "settings", fs::perms::owner_read | fs::perms::owner_exec);
        why.clear();
        EXPECT_FALSE(recent.add(profile("b.pro"), &why));
        EXPECT_FALSE(why.empty());
        EXPECT_EQ(recent.list(), (Paths{a}));
    }
    EXPECT_FALSE(RecentProfiles(std::string()).add(a, &why));
    EXPECT_FALSE(why.empty());
}

TEST_F(RecentProfilesTest, AMissingOrForeignFileIsAnEmptyList) {
    EXPECT_TRUE(RecentProfiles(listFile).list().empty());
    fs::create_directories(fs::path(listFile).parent_path());
    const std::string a = profile("a.pro");
    // Relative paths, blank lines and CR LF endings from an edited file.
    std::ofstream(listFile) << "relative.pro\n\n" << a << "\r\n" << a << "\n";
    EXPECT_EQ(RecentProfiles(listFile).list(), (Paths{a}));
}

// What may stand at the list's name instead of a list: each is left unread and untouched, with a
// warning, and the list is empty. None may block (a FIFO without a writer) or be read to its end
// (/dev/zero, a single line of 300 MB).
TEST_F(RecentProfilesTest, WhatIsNoListIsNeitherReadNorReplaced) {
    const struct {
        const char* name;
        void (*make)(const std::string& at);
    } cases[] = {
        {"a FIFO", [](const std::string& at) { ASSERT_EQ(mkfifo(at.c_str(), 0600), 0); }},
        {"a link to /dev/zero", [](const std::string& at) { fs::create_symlink("/dev/zero", at); }},
        {"one line of 300 MB",
         [](const std::string& at) {
             std::ofstream(at) << "/";
             fs::resize_file(at, 300u << 20);  // sparse: no disk space needed
         }},
        {"a folder", [](const std::string& at) { fs::create_directory(at); }},
    };
    fs::create_directories(fs::path(listFile).parent_path());
    const std::string a = profile("a.pro");
    for (const auto& hostile : cases) {
        SCOPED_TRACE(hostile.name);
        fs::remove_all(listFile);
        hostile.make(listFile);
        const auto kind = fs::symlink_status(listFile).type();
        testing::internal::CaptureStderr();
        EXPECT_TRUE(RecentProfiles(listFile).list().empty());
        std::string why;
        EXPECT_FALSE(RecentProfiles(listFile).add(a, &why));
        const std::string warning = testing::internal::GetCapturedStderr();
        EXPECT_NE(warning.find("warning: the recent-profiles list " + listFile + " was ignored"),
                  std::string::npos)
            << warning;
        EXPECT_NE(why.find("left as it is"), std::string::npos) << why;
        EXPECT_EQ(fs::symlink_status(listFile).type(), kind) << "left as it was";
    }
}

TEST(RecentProfilesFile, FollowsTheDesktopsSettingsFolder) {
    const char* savedConfig = getenv("XDG_CONFIG_HOME");
    const std::string keepConfig = savedConfig ? savedConfig : "";
    const char* savedHome = getenv("HOME");
    const std::string keepHome = savedHome ? savedHome : "";

    setenv("XDG_CONFIG_HOME", "/x/config", 1);
    setenv("HOME", "/x/home", 1);
    EXPECT_EQ(RecentProfiles::defaultFile(), "/x/config/oskel/recent-profiles");
    setenv("XDG_CONFIG_HOME", "relative", 1);  // not absolute: ignored, as the desktop does
    EXPECT_EQ(RecentProfiles::defaultFile(), "/x/home/.config/oskel/recent-profiles");
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(RecentProfiles::defaultFile(), "/x/home/.config/oskel/recent-profiles");
    unsetenv("HOME");
    EXPECT_EQ(RecentProfiles::defaultFile(), "");

    savedConfig ? setenv("XDG_CONFIG_HOME", keepConfig.c_str(), 1) : unsetenv("XDG_CONFIG_HOME");
    savedHome ? setenv("HOME", keepHome.c_str(), 1) : unsetenv("HOME");
}

TEST(WithNewest, MovesToTheFrontAndCuts) {
    struct Case {
        Paths list;
        std::string newest;
        std::size_t limit;
        Paths expected;
    };
    const Case cases[] = {
        {{}, "/a", 8, {"/a"}},
        {{"/a", "/b"}, "/a", 8, {"/a", "/b"}},
        {{"/a", "/b", "/c"}, "/c", 8, {"/c", "/a", "/b"}},
        {{"/a", "/b", "/a"}, "/b", 8, {"/b", "/a"}},
        {{"/a", "/b", "/c"}, "/d", 2, {"/d", "/a"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(withNewest(c.list, c.newest, c.limit), c.expected) << c.newest;
    }
}

}  // namespace
