// SPDX-License-Identifier: GPL-2.0-or-later
// Profile files: the exact layout of a saved configuration, round trips, hand-written and
// damaged files, and the files that must be refused.

#include "Profile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "KeyboardConfig.h"
#include "XmlDocument.h"

namespace {

namespace fs = std::filesystem;

bool sameList(const StepList& a, const StepList& b) {
    if (a.SizeOfView != b.SizeOfView || a.ViewStartAt != b.ViewStartAt ||
        a.CursorPos != b.CursorPos || a.Cycles != b.Cycles ||
        a.IsAutoInterval != b.IsAutoInterval || a.Delay != b.Delay || a.PlayMode != b.PlayMode ||
        a.items != b.items || a.children.size() != b.children.size()) {
        return false;
    }
    for (size_t i = 0; i < a.children.size(); ++i) {
        if (!sameList(a.children[i], b.children[i])) {
            return false;
        }
    }
    return true;
}

// Catalogues, colours and every slot of the real keys (what a profile holds).
::testing::AssertionResult sameProfile(const KeyboardConfig& a, const KeyboardConfig& b) {
    if (!sameList(a.predefinedCombos, b.predefinedCombos)) {
        return ::testing::AssertionFailure() << "combo catalogue differs";
    }
    if (!sameList(a.predefinedMacros, b.predefinedMacros)) {
        return ::testing::AssertionFailure() << "macro catalogue differs";
    }
    if (!sameList(a.predefinedEmulations, b.predefinedEmulations)) {
        return ::testing::AssertionFailure() << "emulation catalogue differs";
    }
    for (int k = 1; k <= kKeyCount; ++k) {
        if (a.backlight[k] != b.backlight[k]) {
            return ::testing::AssertionFailure() << "colour of key " << k << " differs";
        }
        for (int l = 0; l < kLevelCount; ++l) {
            const KeyAssignment& x = a.slot(k, l);
            const KeyAssignment& y = b.slot(k, l);
            if (x.mode != y.mode || x.hwCode != y.hwCode || !sameList(x.steps, y.steps)) {
                return ::testing::AssertionFailure() << "slot " << k << "/" << l << " differs";
            }
        }
    }
    return ::testing::AssertionSuccess();
}

StepList steps(std::initializer_list<const char16_t*> texts, int sizeOfView = 9) {
    StepList list(sizeOfView);
    for (const char16_t* t : texts) {
        list.append(t);
    }
    return list;
}

// A configuration that uses every assignment type, odd names and non-default settings.
void fillEverything(KeyboardConfig& c) {
    c.clear();
    StepList macro = steps({u"Left CTRL Down", u"<120 ms>", u"Left CTRL UP"});
    macro.Cycles = 3;
    macro.PlayMode = 2;
    StepList autoMacro = steps({u"A Down", u"A UP", u"Mouse Key Left"});
    autoMacro.IsAutoInterval = true;
    autoMacro.Delay = 250;
    StepList combo = steps({u"Left CTRL", u"Left ALT", u"Delete"}, 6);
    StepList emulation = steps({u"H", u"I"});
    emulation.Delay = 5;

    const std::u16string names[] = {u"Tom's macro", u"R&D", u"a<b>c", u"宏定义1", u"\"quoted\""};
    for (const std::u16string& name : names) {
        c.predefinedMacros.append(name);
        c.predefinedMacros.setChildAtRow(c.predefinedMacros.CursorPos, macro);
        c.predefinedCombos.append(u"组合 " + name);
        c.predefinedCombos.setChildAtRow(c.predefinedCombos.CursorPos, combo);
        c.predefinedEmulations.append(name + u" emu");
        c.predefinedEmulations.setChildAtRow(c.predefinedEmulations.CursorPos, emulation);
    }
    c.predefinedMacros.scrollTo(1);

    for (int k = 1; k <= kKeyCount; ++k) {
        c.backlight[k] = {k, 255 - k, (k * 7) % 256};
    }
    struct Slot {
        int key, level, mode, hwCode;
        const StepList* steps;
    };
    const Slot slots[] = {
        {1, 0, Single, 4, nullptr},       {1, 1, Combo, 1, &combo},
        {2, 0, Macro, 2, &macro},         {2, 1, Macro, 2, &autoMacro},
        {3, 0, Emulation, 3, &emulation}, {4, 1, Multimedia, 180, nullptr},
        {5, 0, Mouse, 199, nullptr},      {6, 0, Function, 156, nullptr},
        {6, 1, Function, 156, nullptr},   {108, 1, Power, 210, nullptr},
        {107, 0, NotSet, 99, &macro},  // NotSet still keeps and writes its fields
    };
    for (const Slot& s : slots) {
        KeyAssignment& a = c.slot(s.key, s.level);
        a.mode = s.mode;
        a.hwCode = s.hwCode;
        if (s.steps != nullptr) {
            a.steps = *s.steps;
        }
    }
}

class ProfileTest : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "oskel-profile-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        config_ = std::make_unique<KeyboardConfig>();
        config_->clear();
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    std::string write(const std::string& name, const std::string& bytes) const {
        std::ofstream(path(name), std::ios::binary) << bytes;
        return path(name);
    }
    static std::string read(const std::string& p) {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    // A profile with the given body inside the root element.
    std::string profile(const std::string& name, const std::string& body) const {
        return write(name, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Oskel>\r\n" + body +
                               "</Oskel>\r\n");
    }

    fs::path dir_;
    std::unique_ptr<KeyboardConfig> config_;
};

TEST_F(ProfileTest, ClearedConfigurationMatchesTheGoldenFile) {
    const std::string out = path("cleared.pro");
    ASSERT_TRUE(config_->saveProfile(out));
    const std::string golden = read(OSKEL_TEST_DATA_DIR "/profile_cleared.pro");
    ASSERT_FALSE(golden.empty());
    EXPECT_EQ(read(out), golden);
}

// The line layout of a cleared configuration, checked line by line apart from the golden file.
TEST_F(ProfileTest, ClearedConfigurationLineLayout) {
    const std::string out = path("cleared.pro");
    ASSERT_TRUE(config_->saveProfile(out));
    const std::string text = read(out);
    std::vector<std::string> lines;
    for (size_t p = 0; p < text.size();) {
        const size_t end = text.find("\r\n", p);
        ASSERT_NE(end, std::string::npos) << "every line ends in CR LF";
        lines.push_back(text.substr(p, end - p));
        p = end + 2;
    }
    ASSERT_EQ(lines.size(), 1u + 1 + 9 + 110 + 1 + 216 * 5 + 2);
    const std::string list =
        "\" ViewStartAt=\"0\" CursorPos=\"0\" Cycles=\"1\" IsAutoInterval=\"0\" Delay=\"30\" "
        "PlayMode=\"0\"/>";
    const std::vector<std::string> head = {
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>",
        "<Oskel>",
        "<PredefinedCombo>",
        "<List SizeOfView=\"6" + list,
        "</PredefinedCombo>",
        "<PredefinedMacro>",
        "<List SizeOfView=\"9" + list,
        "</PredefinedMacro>",
        "<PredefinedEmu>",
        "<List SizeOfView=\"9" + list,
        "</PredefinedEmu>",
        "<BackgroundLightSettings>",
        "<AREA ID=\"1\" Red=\"0\" Green=\"0\" Blue=\"0\"/>",
    };
    for (size_t i = 0; i < head.size(); ++i) {
        EXPECT_EQ(lines[i], head[i]) << "line " << i + 1;
    }
    EXPECT_EQ(lines[119], "<AREA ID=\"108\" Red=\"0\" Green=\"0\" Blue=\"0\"/>");
    EXPECT_EQ(lines[120], "</BackgroundLightSettings>");
    EXPECT_EQ(lines[121], "<CurrentSettings>");
    for (int k = 1; k <= kKeyCount; ++k) {
        for (int l = 0; l < 2; ++l) {
            const size_t at = 122 + ((k - 1) * 2 + l) * 5;
            const std::string id = std::to_string(k);
            EXPECT_EQ(lines[at], "<KEY ID=\"" + id + "\" Level=\"" + std::to_string(l) +
                                     "\" Mode=\"0\" HWCode=\"" + id + "\">");
            EXPECT_EQ(lines[at + 1], "<ComboKey>");
            EXPECT_EQ(lines[at + 2], "<List SizeOfView=\"0" + list);
            EXPECT_EQ(lines[at + 3], "</ComboKey>");
            EXPECT_EQ(lines[at + 4], "</KEY>");
        }
    }
    EXPECT_EQ(lines[lines.size() - 2], "</CurrentSettings>");
    EXPECT_EQ(lines.back(), "</Oskel>");
}

TEST_F(ProfileTest, RoundTripOfEveryAssignmentTypeAndOddNames) {
    fillEverything(*config_);
    const std::string out = path("full.pro");
    std::string message = "stale";
    ASSERT_TRUE(config_->saveProfile(out, &message));
    EXPECT_TRUE(message.empty());

    auto loaded = std::make_unique<KeyboardConfig>();
    loaded->clear();
    loaded->slot(50, 1).mode = Macro;  // overwritten by the file's NotSet slot
    ASSERT_TRUE(loaded->loadProfile(out, &message)) << message;
    EXPECT_TRUE(sameProfile(*config_, *loaded));
    EXPECT_EQ(loaded->predefinedMacros.itemAtRow(0), u"Tom's macro");

    // Saving what was loaded gives the same bytes again.
    const std::string again = path("again.pro");
    ASSERT_TRUE(loaded->saveProfile(again));
    EXPECT_EQ(read(again), read(out));
    // The odd characters are stored escaped.
    const std::string text = read(out);
    EXPECT_NE(text.find("t1=\"Tom&apos;s macro\""), std::string::npos);
    EXPECT_NE(text.find("t1=\"R&amp;D\""), std::string::npos);
    EXPECT_NE(text.find("t1=\"a&lt;b&gt;c\""), std::string::npos);
    EXPECT_NE(text.find("t1=\"\xE5\xAE\x8F\xE5\xAE\x9A\xE4\xB9\x89"
                        "1\""),
              std::string::npos);
}

TEST_F(ProfileTest, MacroStepsAreThreeNumberedElements) {
    config_->slot(10, 0).mode = Macro;
    config_->slot(10, 0).steps = steps({u"A Down", u"<120 ms>", u"A UP"});
    const std::string out = path("macro.pro");
    ASSERT_TRUE(config_->saveProfile(out));
    const std::string text = read(out);
    const std::string list =
        "<List SizeOfView=\"9\" ViewStartAt=\"0\" CursorPos=\"0\" Cycles=\"1\" "
        "IsAutoInterval=\"0\" Delay=\"30\" PlayMode=\"0\"/>\r\n";
    EXPECT_NE(text.find("<KEY ID=\"10\" Level=\"0\" Mode=\"3\" HWCode=\"10\">\r\n<ComboKey>\r\n"
                        "<List SizeOfView=\"9\" ViewStartAt=\"0\" CursorPos=\"2\" Cycles=\"1\" "
                        "IsAutoInterval=\"0\" Delay=\"30\" PlayMode=\"0\">\r\n"
                        "<x ID=\"0\" t1=\"A Down\">\r\n" +
                        list +
                        "</x>\r\n"
                        "<x ID=\"1\" t1=\"&lt;120 ms&gt;\">\r\n" +
                        list +
                        "</x>\r\n"
                        "<x ID=\"2\" t1=\"A UP\">\r\n" +
                        list +
                        "</x>\r\n"
                        "</List>\r\n</ComboKey>\r\n</KEY>\r\n"),
              std::string::npos);
    KeyboardConfig loaded;
    loaded.clear();
    ASSERT_TRUE(loaded.loadProfile(out));
    EXPECT_EQ(loaded.slot(10, 0).steps.items,
              (std::vector<std::u16string>{u"A Down", u"<120 ms>", u"A UP"}));
}

TEST_F(ProfileTest, KeysInAnyOrderLoadIntoTheirSlots) {
    const std::string file = profile(
        "order.pro",
        "<CurrentSettings>\r\n"
        "<KEY ID=\"108\" Level=\"1\" Mode=\"1\" HWCode=\"7\"><ComboKey><List/></ComboKey></KEY>\r\n"
        "<KEY ID=\"108\" Level=\"0\" Mode=\"5\" HWCode=\"8\"><ComboKey><List/></ComboKey></KEY>\r\n"
        "<KEY ID=\"2\" Level=\"1\" Mode=\"8\" HWCode=\"9\"><ComboKey><List/></ComboKey></KEY>\r\n"
        "<KEY ID=\"2\" Level=\"0\" Mode=\"6\" HWCode=\"1\"><ComboKey><List/></ComboKey></KEY>\r\n"
        "<Other/>\r\n"
        "<KEY ID=\"2\" Level=\"0\" Mode=\"7\" HWCode=\"3\"><ComboKey><List/></ComboKey></KEY>\r\n"
        "</CurrentSettings>\r\n");
    ASSERT_TRUE(config_->loadProfile(file));
    EXPECT_EQ(config_->slot(108, 1).mode, Single);
    EXPECT_EQ(config_->slot(108, 1).hwCode, 7);
    EXPECT_EQ(config_->slot(108, 0).mode, Multimedia);
    EXPECT_EQ(config_->slot(2, 1).mode, Power);
    // The same slot twice: the later element wins.
    EXPECT_EQ(config_->slot(2, 0).mode, Function);
    EXPECT_EQ(config_->slot(2, 0).hwCode, 3);
    EXPECT_EQ(config_->slot(3, 0).mode, NotSet);
    EXPECT_EQ(config_->slot(3, 0).hwCode, 3);
}

TEST_F(ProfileTest, MissingAttributesReadAsZero) {
    const std::string file =
        profile("missing.pro",
                "<PredefinedMacro>\r\n<List SizeOfView=\"9\" Cycles=\"2\">\r\n"
                "<x ID=\"2\" t1=\"third\"><List Delay=\"7\"/></x>\r\n"
                "<x ID=\"0\" t1=\"first\"/>\r\n"
                "<x t1=\"no id is 0\"/>\r\n"
                "</List>\r\n</PredefinedMacro>\r\n"
                "<PredefinedCombo><List/></PredefinedCombo>\r\n"
                "<CurrentSettings>\r\n"
                "<KEY ID=\"5\" Level=\"1\" HWCode=\"30\"><ComboKey><List SizeOfView=\"9\" "
                "Cycles=\"1\"/></ComboKey></KEY>\r\n"
                "</CurrentSettings>\r\n");
    config_->slot(5, 1).mode = Macro;
    ASSERT_TRUE(config_->loadProfile(file));
    const StepList& macros = config_->predefinedMacros;
    EXPECT_EQ(macros.items, (std::vector<std::u16string>{u"no id is 0", u"", u"third"}));
    ASSERT_EQ(macros.children.size(), 3u);
    EXPECT_EQ(macros.children[2].Delay, 7);
    EXPECT_EQ(macros.children[2].Cycles, 0);
    EXPECT_EQ(macros.children[2].SizeOfView, 0);
    EXPECT_EQ(macros.children[1].count(), 0);
    EXPECT_EQ(macros.Cycles, 2);
    EXPECT_EQ(macros.Delay, 0);
    // A List without attributes: every value 0, not the defaults.
    const StepList& combos = config_->predefinedCombos;
    EXPECT_EQ(combos.SizeOfView, 0);
    EXPECT_EQ(combos.Cycles, 0);
    EXPECT_EQ(combos.Delay, 0);
    EXPECT_EQ(combos.PlayMode, 0);
    // A KEY without Mode is NotSet; its List without Delay has Delay 0.
    EXPECT_EQ(config_->slot(5, 1).mode, NotSet);
    EXPECT_EQ(config_->slot(5, 1).hwCode, 30);
    EXPECT_EQ(config_->slot(5, 1).steps.Delay, 0);
}

TEST_F(ProfileTest, OutOfRangeValuesNeverReachTheTables) {
    const std::string file =
        profile("range.pro",
                "<BackgroundLightSettings>\r\n"
                "<AREA ID=\"0\" Red=\"1\" Green=\"1\" Blue=\"1\"/>\r\n"
                "<AREA ID=\"109\" Red=\"1\" Green=\"1\" Blue=\"1\"/>\r\n"
                "<AREA ID=\"-1\" Red=\"1\"/>\r\n"
                "<AREA ID=\"7\" Red=\"300\" Green=\"-4\" Blue=\"12\"/>\r\n"
                "</BackgroundLightSettings>\r\n"
                "<CurrentSettings>\r\n"
                "<KEY ID=\"0\" Level=\"0\" Mode=\"1\" HWCode=\"1\"/>\r\n"
                "<KEY ID=\"109\" Level=\"0\" Mode=\"1\" HWCode=\"1\"/>\r\n"
                "<KEY ID=\"4\" Level=\"2\" Mode=\"1\" HWCode=\"1\"/>\r\n"
                "<KEY ID=\"4\" Level=\"-1\" Mode=\"1\" HWCode=\"1\"/>\r\n"
                "<KEY ID=\"4\" Level=\"0\" Mode=\"9\" HWCode=\"11\"/>\r\n"
                "<KEY ID=\"4\" Level=\"1\" Mode=\"-3\" HWCode=\"12\"/>\r\n"
                "<KEY ID=\"9\" Level=\"0\" Mode=\"2\" HWCode=\"0\"><ComboKey><List>"
                "<x ID=\"-1\" t1=\"negative\"/><x ID=\"100001\" t1=\"huge\"/>"
                "<x ID=\"99999999999\" t1=\"overflow\"/><x ID=\"1\" t1=\"kept\"/>"
                "</List></ComboKey></KEY>\r\n"
                "</CurrentSettings>\r\n");
    ASSERT_TRUE(config_->loadProfile(file));
    EXPECT_EQ(config_->backlight[0], (Colour{0, 0, 0}));
    EXPECT_EQ(config_->backlight[7], (Colour{255, 0, 12}));
    EXPECT_EQ(config_->slot(0, 0).mode, NotSet);
    EXPECT_EQ(config_->slot(4, 0).mode, NotSet);
    EXPECT_EQ(config_->slot(4, 0).hwCode, 11);
    EXPECT_EQ(config_->slot(4, 1).mode, NotSet);
    EXPECT_EQ(config_->slot(4, 1).hwCode, 12);
    EXPECT_EQ(config_->slot(9, 0).steps.items, (std::vector<std::u16string>{u"", u"kept"}));
}

TEST_F(ProfileTest, DeepNestingInAHostileFileIsCut) {
    std::string body = "<PredefinedMacro>";
    for (int i = 0; i < 20000; ++i) {
        body += "<List><x ID=\"0\" t1=\"n\">";
    }
    for (int i = 0; i < 20000; ++i) {
        body += "</x></List>";
    }
    body += "</PredefinedMacro>\r\n";
    ASSERT_TRUE(config_->loadProfile(profile("deep.pro", body)));
    const StepList& macros = config_->predefinedMacros;
    ASSERT_EQ(macros.count(), 1);
    ASSERT_EQ(macros.children[0].count(), 1);
    ASSERT_EQ(macros.children[0].children[0].count(), 1);
    EXPECT_EQ(macros.children[0].children[0].children[0].count(), 0);
}

TEST_F(ProfileTest, RefusedFilesLeaveTheConfigurationAsItWas) {
    fillEverything(*config_);
    KeyboardConfig before;
    fillEverything(before);
    struct Case {
        const char* name;
        std::string bytes;  // empty: no file at all
    };
    const Case cases[] = {
        {"missing.pro", ""},
        {"other.pro", "<?xml version=\"1.0\"?>\r\n<Other><CurrentSettings/></Other>\r\n"},
        {"text.pro", "just some text\r\n"},
        {"binary.pro", std::string("\x00\x01\x02\xFF\xFE\x00garbage", 12)},
    };
    for (const Case& c : cases) {
        const std::string file = c.bytes.empty() ? path(c.name) : write(c.name, c.bytes);
        std::string message;
        EXPECT_FALSE(config_->loadProfile(file, &message)) << c.name;
        EXPECT_FALSE(message.empty()) << c.name;
        EXPECT_TRUE(sameProfile(*config_, before)) << c.name;
    }
    std::string message;
    // A file far larger than any profile (sparse, so it costs no disk space).
    const std::string huge = write("huge.pro", "<Oskel>");
    fs::resize_file(huge, std::uintmax_t{600} << 20);
    EXPECT_FALSE(config_->loadProfile(huge, &message));
    EXPECT_EQ(message, "the file is too large to be a profile");
    EXPECT_TRUE(sameProfile(*config_, before));
    EXPECT_FALSE(config_->loadProfile(dir_.string(), &message));
    EXPECT_TRUE(sameProfile(*config_, before));
    EXPECT_FALSE(config_->loadProfile(path("missing.pro"), &message));
    EXPECT_EQ(message, "No such file or directory");
}

TEST_F(ProfileTest, PartialFilesLoadWhatTheyHave) {
    fillEverything(*config_);
    KeyboardConfig cleared;
    cleared.clear();
    // Only a key section, placed before a catalogue, and a KEY without ComboKey that must not
    // end the reading of the keys after it.
    const std::string file = profile(
        "partial.pro",
        "<CurrentSettings>\r\n"
        "<KEY ID=\"3\" Level=\"0\" Mode=\"1\" HWCode=\"40\"/>\r\n"
        "<KEY ID=\"4\" Level=\"1\" Mode=\"2\" HWCode=\"4\"><ComboKey><List Cycles=\"1\">"
        "<x ID=\"0\" t1=\"Left CTRL\"/></List></ComboKey></KEY>\r\n"
        "</CurrentSettings>\r\n"
        "<PredefinedEmu><List SizeOfView=\"9\"><x ID=\"0\" t1=\"e\"/></List></PredefinedEmu>\r\n");
    ASSERT_TRUE(config_->loadProfile(file));
    EXPECT_EQ(config_->slot(3, 0).mode, Single);
    EXPECT_EQ(config_->slot(3, 0).hwCode, 40);
    EXPECT_EQ(config_->slot(3, 0).steps.count(), 0);
    EXPECT_EQ(config_->slot(4, 1).mode, Combo);
    EXPECT_EQ(config_->slot(4, 1).steps.items, std::vector<std::u16string>{u"Left CTRL"});
    EXPECT_EQ(config_->predefinedEmulations.items, std::vector<std::u16string>{u"e"});
    // The rest is what clear gives.
    EXPECT_TRUE(sameList(config_->predefinedCombos, cleared.predefinedCombos));
    EXPECT_TRUE(sameList(config_->predefinedMacros, cleared.predefinedMacros));
    EXPECT_EQ(config_->backlight[5], (Colour{0, 0, 0}));
    EXPECT_EQ(config_->slot(2, 0).mode, NotSet);
    EXPECT_EQ(config_->slot(2, 0).hwCode, 2);
    EXPECT_EQ(config_->slot(2, 0).steps.count(), 0);
}

TEST_F(ProfileTest, DamagedFileLoadsWhatTheParserRepairs) {
    fillEverything(*config_);
    const std::string out = path("full.pro");
    ASSERT_TRUE(config_->saveProfile(out));
    std::string text = read(out);
    const size_t keys = text.find("<CurrentSettings>");
    ASSERT_NE(keys, std::string::npos);
    text.resize(text.find("<KEY ID=\"3\"", keys));  // cut in the middle of the key section
    KeyboardConfig loaded;
    loaded.clear();
    ASSERT_TRUE(loaded.loadProfile(write("cut.pro", text)));
    EXPECT_TRUE(sameList(loaded.predefinedMacros, config_->predefinedMacros));
    EXPECT_EQ(loaded.backlight[100], config_->backlight[100]);
    EXPECT_EQ(loaded.slot(2, 1).mode, Macro);
    EXPECT_TRUE(sameList(loaded.slot(2, 1).steps, config_->slot(2, 1).steps));
    EXPECT_EQ(loaded.slot(3, 0).mode, NotSet);
}

// Every list, nested or not, whose x elements carry the highest IDs the reader takes: a file of
// a few kilobytes asking for billions of list items.
std::string highIdBody(int keys) {
    const std::string deepList =
        "<List><x ID=\"100000\" t1=\"a\"><List><x ID=\"100000\" t1=\"b\"/></List></x></List>";
    std::string body = "<PredefinedMacro>" + deepList + "</PredefinedMacro>\r\n<CurrentSettings>";
    for (int k = 1; k <= keys; ++k) {
        body += "<KEY ID=\"" + std::to_string(k) +
                "\" Level=\"0\" Mode=\"3\" HWCode=\"1\">"
                "<ComboKey>" +
                deepList + "</ComboKey></KEY>";
    }
    return body + "</CurrentSettings>\r\n";
}

TEST_F(ProfileTest, HighItemIdsAreRefusedPastOneBudgetForTheWholeLoad) {
    fillEverything(*config_);
    KeyboardConfig before;
    fillEverything(before);
    for (int keys : {1, 40, 216}) {
        const std::string file = profile("ids" + std::to_string(keys) + ".pro", highIdBody(keys));
        ASSERT_LT(fs::file_size(file), 40000u);
        std::string message;
        EXPECT_FALSE(config_->loadProfile(file, &message)) << keys;
        EXPECT_NE(message.find("far more list items than it holds"), std::string::npos) << message;
        EXPECT_TRUE(sameProfile(*config_, before)) << keys;
    }
}

TEST_F(ProfileTest, HonestGapsInItemIdsStillLoad) {
    // A hand-made catalogue numbering its entries in tens, and one entry far out.
    std::string list = "<List SizeOfView=\"9\">";
    for (int id = 0; id <= 2000; id += 10) {
        list += "<x ID=\"" + std::to_string(id) + "\" t1=\"m" + std::to_string(id) + "\"/>";
    }
    list += "<x ID=\"30000\" t1=\"far\"/></List>";
    ASSERT_TRUE(config_->loadProfile(
        profile("gaps.pro", "<PredefinedMacro>" + list + "</PredefinedMacro>\r\n")));
    const StepList& macros = config_->predefinedMacros;
    ASSERT_EQ(macros.count(), 30001);
    EXPECT_EQ(macros.items[1990], u"m1990");
    EXPECT_EQ(macros.items[1991], u"");
    EXPECT_EQ(macros.items[30000], u"far");
    EXPECT_FALSE(config_->profileCutShort);
}

TEST_F(ProfileTest, OnlyFilesAreRead) {
    fillEverything(*config_);
    KeyboardConfig before;
    fillEverything(before);
    ASSERT_EQ(::mkfifo(path("fifo.pro").c_str(), 0600), 0);
    // Nothing writes to the FIFO: opening it to read would wait forever.
    for (const std::string& file : {std::string("/dev/zero"), path("fifo.pro")}) {
        std::string message;
        EXPECT_FALSE(config_->loadProfile(file, &message)) << file;
        EXPECT_NE(message.find("not a regular file"), std::string::npos) << message;
        EXPECT_TRUE(sameProfile(*config_, before)) << file;
    }
    // A symbolic link to a profile is read as the profile.
    ASSERT_TRUE(before.saveProfile(path("real.pro")));
    fs::create_symlink(path("real.pro"), path("link.pro"));
    config_->clear();
    EXPECT_TRUE(config_->loadProfile(path("link.pro")));
    EXPECT_TRUE(sameProfile(*config_, before));
}

TEST_F(ProfileTest, SavingOntoWhatIsNoRegularFileIsRefusedAndLeavesItAlone) {
    fillEverything(*config_);
    ASSERT_EQ(::mkfifo(path("fifo.pro").c_str(), 0600), 0);
    fs::create_symlink(path("fifo.pro"), path("to-fifo.pro"));
    const int pipeEnds[2] = {-1, -1};
    ASSERT_EQ(::pipe(const_cast<int*>(pipeEnds)), 0);
    const std::string procFd = "/proc/self/fd/" + std::to_string(pipeEnds[1]);
    for (const std::string& target :
         {path("fifo.pro"), path("to-fifo.pro"), std::string("/dev/null"), procFd}) {
        std::string message;
        EXPECT_FALSE(config_->saveProfile(target, &message)) << target;
        EXPECT_NE(message.find("not a regular file"), std::string::npos) << message;
    }
    EXPECT_TRUE(fs::is_fifo(path("fifo.pro")));
    EXPECT_TRUE(fs::is_symlink(path("to-fifo.pro")));
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    struct stat info {};
    EXPECT_EQ(::fstat(pipeEnds[1], &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    // A dangling link still becomes the profile, as before.
    fs::create_symlink(path("not-yet.pro"), path("dangling.pro"));
    EXPECT_TRUE(config_->saveProfile(path("dangling.pro")));
}

TEST_F(ProfileTest, AProfileCutShortLoadsAndSaysSo) {
    fillEverything(*config_);
    const std::string out = path("full.pro");
    ASSERT_TRUE(config_->saveProfile(out));
    const std::string text = read(out);
    KeyboardConfig loaded;
    loaded.clear();
    ASSERT_TRUE(loaded.loadProfile(out));
    EXPECT_FALSE(loaded.profileCutShort);
    // Cut anywhere from the first section to just before the root's end tag.
    for (const size_t cut : {text.find("<PredefinedMacro>"), text.find("<KEY ID=\"3\""),
                             text.size() / 2, text.rfind("</Oskel>")}) {
        ASSERT_NE(cut, std::string::npos);
        ASSERT_TRUE(loaded.loadProfile(write("cut.pro", text.substr(0, cut)))) << cut;
        EXPECT_TRUE(loaded.profileCutShort) << cut;
    }
    ASSERT_TRUE(loaded.loadProfile(out));
    EXPECT_FALSE(loaded.profileCutShort);
}

TEST_F(ProfileTest, SavingReplacesAtomicallyAndReportsFailures) {
    const std::string out = write("old.pro", "old contents");
    fs::permissions(out, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_TRUE(config_->saveProfile(out));
    EXPECT_EQ(read(out).substr(0, 5), "<?xml");
    EXPECT_EQ(fs::status(out).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    int files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir_)) {
        ++files;
    }
    EXPECT_EQ(files, 1) << "no temporary file is left behind";

    std::string message;
    EXPECT_FALSE(config_->saveProfile(path("no/such/folder/x.pro"), &message));
    EXPECT_EQ(message, "No such file or directory");
    // A folder in the target's place: the write fails and the folder stays.
    fs::create_directory(path("taken.pro"));
    fs::create_directory(path("taken.pro/inside"));
    EXPECT_FALSE(config_->saveProfile(path("taken.pro"), &message));
    EXPECT_FALSE(message.empty());
    EXPECT_TRUE(fs::is_directory(path("taken.pro/inside")));
}

TEST_F(ProfileTest, SavingThroughASymbolicLinkKeepsTheLink) {
    fs::create_directory(path("store"));
    const std::string real = write("store/real.pro", "old contents");
    fs::create_symlink(real, path("link.pro"));
    ASSERT_TRUE(config_->saveProfile(path("link.pro")));
    EXPECT_TRUE(fs::is_symlink(path("link.pro")));
    EXPECT_EQ(read(real).substr(0, 5), "<?xml");
    int files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(path("store"))) {
        ++files;
    }
    EXPECT_EQ(files, 1) << "the temporary file is made and renamed beside the real file";
}

TEST_F(ProfileTest, ANameOfTheLongestLengthSavesAndLoads) {
    fillEverything(*config_);
    const std::string longest = path(std::string(251, 'p') + ".pro");
    std::string why;
    ASSERT_TRUE(config_->saveProfile(longest, &why)) << why;
    KeyboardConfig loaded;
    ASSERT_TRUE(loaded.loadProfile(longest, &why)) << why;
    EXPECT_TRUE(sameProfile(*config_, loaded));
    int files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir_)) {
        ++files;
    }
    EXPECT_EQ(files, 1);
}

// No profile holds a name or a text of more than a few hundred characters: one longer than
// 64 KiB is refused, naming the line where it starts, before any value is copied out.
TEST_F(ProfileTest, AnAttributeOrTextLongerThan64KiBIsRefusedNamingTheLine) {
    const std::string longest(64 * 1024, 'a');
    const std::string tooLong = longest + "a";
    const std::string catalogue =
        "<PredefinedMacro>\r\n<List SizeOfView=\"9\">\r\n<x ID=\"0\" t1=\"";
    const struct {
        const char* name;
        std::string body;
        std::string message;  // empty: the file loads
    } cases[] = {
        {"attribute of 64 KiB", catalogue + longest + "\"/>\r\n</List>\r\n</PredefinedMacro>\r\n",
         ""},
        {"attribute", catalogue + tooLong + "\"/>\r\n</List>\r\n</PredefinedMacro>\r\n",
         "line 5 holds an attribute longer than 64 KiB"},
        {"attribute in single quotes", "\r\n<KEY ID='" + tooLong + "'/>\r\n",
         "line 4 holds an attribute longer than 64 KiB"},
        {"unquoted attribute", "<KEY ID=" + tooLong + "/>\r\n",
         "line 3 holds an attribute longer than 64 KiB"},
        {"text", "<CurrentSettings>" + tooLong + "</CurrentSettings>\r\n",
         "line 3 holds a text longer than 64 KiB"},
        {"text cut short", "<CurrentSettings>" + tooLong, "line 3 holds a text longer than 64 KiB"},
        {"long comment", "<!-- " + tooLong + " don't -->\r\n", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string why;
        const std::string file =
            c.name == std::string("text cut short")
                ? write("p.pro", "<?xml version=\"1.0\"?>\r\n<Oskel>\r\n" + c.body)
                : profile("p.pro", c.body);
        config_->predefinedMacros.append(u"kept");
        EXPECT_EQ(config_->loadProfile(file, &why), c.message.empty());
        if (c.message.empty()) {
            EXPECT_EQ(why, "");
            continue;
        }
        EXPECT_EQ(why.find(c.message), 0u) << why;
        EXPECT_EQ(config_->predefinedMacros.items.back(), u"kept") << "left as it was";
    }
}

TEST_F(ProfileTest, TheReasonIsGivenOnFailureAndClearedOnSuccess) {
    std::string why;
    EXPECT_FALSE(config_->loadProfile(path("none.pro"), &why));
    EXPECT_EQ(why, "No such file or directory");
    EXPECT_TRUE(config_->saveProfile(path("x.pro"), &why));
    EXPECT_EQ(why, "");
    why = "stale";
    EXPECT_TRUE(config_->loadProfile(path("x.pro"), &why));
    EXPECT_EQ(why, "");
}

TEST(StepListXml, CatalogueRoundTripInADocument) {
    StepList catalogue(9);
    catalogue.append(u"one");
    StepList entry = steps({u"A Down", u"<5 ms>", u"A UP"});
    entry.IsAutoInterval = true;
    entry.PlayMode = 1;
    catalogue.setChildAtRow(catalogue.CursorPos, entry);
    catalogue.append(u"two & 'three'");
    XmlDocument doc;
    doc.appendElement(u"Holder");
    doc.stepInto();
    catalogue.writeXml(doc);
    doc.stepOut();

    XmlDocument reread;
    ASSERT_TRUE(reread.setText(doc.text()));
    reread.findElement(u"Holder");
    reread.stepInto();
    StepList back(3);
    back.setOrAppendAtRow(0, u"stale");
    back.readXml(reread);
    EXPECT_TRUE(sameList(back, catalogue));
    // No List at this level: the list is cleared and keeps its view size.
    XmlDocument empty;
    empty.setText(u"<Holder/>");
    empty.findElement(u"Holder");
    empty.stepInto();
    back.readXml(empty);
    EXPECT_EQ(back.count(), 0);
    EXPECT_EQ(back.SizeOfView, 9);
}

}  // namespace
