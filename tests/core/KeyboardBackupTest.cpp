// SPDX-License-Identifier: GPL-2.0-or-later
// Backups of the keyboard before a firmware update: where they go, what they hold, and that only
// the last ten are kept.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "KeyTables.h"
#include "KeyboardBackup.h"
#include "VirtualKeyboard.h"

namespace fs = std::filesystem;

namespace {

class BackupFolderTest : public testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"XDG_DATA_HOME", "HOME"}) {
            const char* value = ::getenv(name);
            saved.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
        }
    }
    void TearDown() override {
        for (const auto& [name, value] : saved) {
            value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str());
        }
    }
    std::vector<std::pair<std::string, std::optional<std::string>>> saved;
};

TEST_F(BackupFolderTest, FollowsXdgDataHomeElseHome) {
    struct Case {
        const char* data;  // nullptr: unset
        const char* home;
        const char* folder;
    };
    const Case cases[] = {
        {"/data", "/home/u", "/data/oskel/backups"},
        // A relative XDG_DATA_HOME is to be ignored.
        {"data", "/home/u", "/home/u/.local/share/oskel/backups"},
        {nullptr, "/home/u", "/home/u/.local/share/oskel/backups"},
        {"", "/home/u", "/home/u/.local/share/oskel/backups"},
        {nullptr, nullptr, ""},
    };
    for (const Case& c : cases) {
        c.data ? ::setenv("XDG_DATA_HOME", c.data, 1) : ::unsetenv("XDG_DATA_HOME");
        c.home ? ::setenv("HOME", c.home, 1) : ::unsetenv("HOME");
        EXPECT_EQ(backupFolder(), c.folder) << (c.data ? c.data : "(unset)");
    }
}

class BackupFilesTest : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/oskel-backups-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        root = pattern;
        folder = (fs::path(root) / "backups").string();
        fs::create_directories(folder);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
    void touch(const std::string& path) { std::ofstream(path) << "x"; }
    std::vector<std::string> names() {
        std::vector<std::string> out;
        for (const std::string& p : listBackups(folder)) {
            out.push_back(fs::path(p).filename().string());
        }
        return out;
    }

    std::string root;
    std::string folder;
};

TEST_F(BackupFilesTest, NamedByDateAndTimeWithoutOverwriting) {
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    const std::time_t when = 1797007558;  // 2026-12-11 16:45:58 UTC
    std::vector<std::string> made;
    for (int i = 0; i < 3; ++i) {
        made.push_back(backupPathFor(folder, when));
        touch(made.back());
    }
    EXPECT_EQ(fs::path(made[0]).filename(), "2026-12-11_16-45-58.pro");
    EXPECT_EQ(fs::path(made[1]).filename(), "2026-12-11_16-45-58_2.pro");
    EXPECT_EQ(fs::path(made[2]).filename(), "2026-12-11_16-45-58_3.pro");
    touch(backupPathFor(folder, when - 1));
    EXPECT_EQ(names(),
              (std::vector<std::string>{"2026-12-11_16-45-57.pro", "2026-12-11_16-45-58.pro",
                                        "2026-12-11_16-45-58_2.pro", "2026-12-11_16-45-58_3.pro"}));
}

TEST_F(BackupFilesTest, KeepsTheLastTenAndNothingElseIsTouched) {
    const std::time_t start = 1797007558;
    std::vector<std::string> made;
    for (int i = 0; i < 12; ++i) {
        made.push_back(backupPathFor(folder, start + i * 3600));
        touch(made.back());
    }
    // The user's own files in the folder, and one backup name taken twice in a second.
    for (const char* own : {"mine.pro", "2026-12-11.pro", "notes.txt"}) {
        touch((fs::path(folder) / own).string());
    }
    fs::create_directory(fs::path(folder) / "2020-01-01_00-00-00.pro");
    pruneBackups(folder);
    EXPECT_EQ(listBackups(folder), std::vector<std::string>(made.begin() + 2, made.end()));
    for (const char* own : {"mine.pro", "2026-12-11.pro", "notes.txt", "2020-01-01_00-00-00.pro"}) {
        EXPECT_TRUE(fs::exists(fs::path(folder) / own)) << own;
    }
    pruneBackups(folder, 3);
    EXPECT_EQ(listBackups(folder), std::vector<std::string>(made.end() - 3, made.end()));
}

class BackupFromKeyboard : public BackupFilesTest {
protected:
    void SetUp() override {
        BackupFilesTest::SetUp();
        ::setenv("XDG_RUNTIME_DIR", root.c_str(), 1);
        ::setenv("OSKEL_NO_HIDRAW", "1", 1);
        oskel::VirtualKeyboardOptions options;
        options.dir = root + "/oskel/hid";
        keyboard = std::make_unique<oskel::VirtualKeyboard>(options);
        ASSERT_TRUE(keyboard->start()) << keyboard->error();
        config = std::make_unique<KeyboardConfig>();
        buildKeyTables(*config);
        config->clear();
        ASSERT_TRUE(config->keyboard.__createDev());
    }
    void TearDown() override {
        config.reset();
        keyboard.reset();
        BackupFilesTest::TearDown();
    }

    std::unique_ptr<oskel::VirtualKeyboard> keyboard;
    std::unique_ptr<KeyboardConfig> config;
};

oskel::Payload payload(std::initializer_list<std::uint8_t> head) {
    oskel::Payload p{};
    std::copy(head.begin(), head.end(), p.begin());
    return p;
}

TEST_F(BackupFromKeyboard, SavesWhatTheKeyboardHoldsAndLeavesTheDocumentAlone) {
    // The keyboard: F1 on key 1 level 1, a combo on key 5 level 2, key 3 red.
    keyboard->setSlotRecord(0, {payload({0x00, 0xF0, 1, 1, 0, 1, 2})});
    keyboard->setSlotRecord(108 + 4, {payload({0x00, 0xF0, 2, 5, 0, 2, 0x43, 0x3A})});
    std::array<std::uint8_t, 324> lights{};
    lights[6] = 255;
    keyboard->setLights(lights);
    // The document: something else, which the backup must not replace.
    config->slot(2, 0).mode = Single;
    config->slot(2, 0).hwCode = 43;
    config->backlight[1] = {1, 2, 3};
    config->predefinedCombos.append(u"mine");

    for (int i = 0; i < 11; ++i) {
        touch(backupPathFor(folder, 1797007558 - 86400 - i));
    }
    const BackupResult result = backUpKeyboard(*config, nullptr, folder);
    ASSERT_TRUE(result.ok) << result.why;
    EXPECT_EQ(listBackups(folder).size(), kKeptBackups);
    EXPECT_EQ(listBackups(folder).back(), result.path);

    EXPECT_EQ(config->slot(2, 0).mode, Single);
    EXPECT_EQ(config->slot(1, 0).mode, NotSet);
    EXPECT_EQ(config->backlight[1], (Colour{1, 2, 3}));

    KeyboardConfig saved;
    buildKeyTables(saved);
    std::string why;
    ASSERT_TRUE(saved.loadProfile(result.path, &why)) << why;
    EXPECT_EQ(saved.slot(1, 0).mode, Single);
    EXPECT_EQ(saved.slot(1, 0).hwCode, 2);
    EXPECT_EQ(saved.slot(5, 1).mode, Combo);
    EXPECT_EQ(saved.slot(5, 1).steps.items, (std::vector<std::u16string>{u"Left CONTROL", u"C"}));
    EXPECT_EQ(saved.slot(2, 0).mode, NotSet);
    EXPECT_EQ(saved.backlight[3], (Colour{255, 0, 0}));
    EXPECT_EQ(saved.backlight[1], (Colour{0, 0, 0}));
    EXPECT_EQ(saved.predefinedCombos.items.size(), 0u);
    EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all, fs::perms::owner_all);
}

TEST_F(BackupFromKeyboard, AKeyboardThatCannotBeReadGivesNoFile) {
    keyboard->setSilent(true);
    const BackupResult result = backUpKeyboard(*config, nullptr, folder);
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.readFailed);
    EXPECT_FALSE(result.why.empty());
    EXPECT_TRUE(fs::is_empty(folder));
}

}  // namespace
