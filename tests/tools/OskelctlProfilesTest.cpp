// SPDX-License-Identifier: GPL-2.0-or-later
// oskelctl's commands on profiles as text: show --json, import and diff, and switching between
// the recent profiles with write --recent, next and previous, against oskel-virtual-keyboard
// and a private session bus.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "JsonParse.h"
#include "Process.h"

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

class OskelctlProfiles : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/oskelctl-profiles-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        runtime = dir / "run";
        fs::create_directory(runtime);
        chmod(runtime.c_str(), 0700);
        config = dir / "config";
        fs::create_directories(config / "oskel");
    }

    void TearDown() override {
        keyboard.stop();
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }

    std::map<std::string, std::string> env(std::map<std::string, std::string> more = {}) const {
        more["XDG_RUNTIME_DIR"] = runtime.string();
        more["XDG_CONFIG_HOME"] = config.string();
        more.try_emplace("DBUS_SESSION_BUS_ADDRESS", "");
        for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
            more.try_emplace(name, "");
        }
        return environmentWith(more);
    }

    void startKeyboard(std::vector<std::string> args = {}) {
        ASSERT_TRUE(keyboard.start(VIRTUAL_KEYBOARD_PATH, args, env()));
        std::string line;
        ASSERT_TRUE(keyboard.readLine(line, std::chrono::seconds(10))) << "no ready line";
        ASSERT_EQ(line.rfind("ready ", 0), 0u) << line;
    }

    ProcessResult ctl(const std::vector<std::string>& args,
                      const std::map<std::string, std::string>& more = {}) {
        ProcessResult r = runProcess(OSKELCTL_PATH, args, env(more), std::chrono::seconds(300));
        EXPECT_FALSE(r.timedOut) << "oskelctl hung: " << ::testing::PrintToString(args);
        return r;
    }

    fs::path dir;
    fs::path runtime;
    fs::path config;
    BackgroundProcess keyboard;
    const std::string sample = SAMPLE_PROFILE;
};

// The layout of show --json is kept as it was first written: the file beside the sample profile
// holds that output.
TEST_F(OskelctlProfiles, ShowJsonKeepsItsLayout) {
    const ProcessResult r = ctl({"show", "--json", sample});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, readFile(SAMPLE_JSON));
}

// Every profile of the tests' data, and the largest profile the program can make: show --json,
// then import, gives a profile with the same JSON; a profile Oskel saved comes back byte for
// byte, so a second round trip changes nothing.
TEST_F(OskelctlProfiles, ImportIsTheInverseOfShowJson) {
    std::vector<fs::path> profiles;
    for (const auto& entry : fs::recursive_directory_iterator(TEST_DATA_DIR)) {
        if (entry.path().extension() == ".pro") {
            profiles.push_back(entry.path());
        }
    }
    ASSERT_GE(profiles.size(), 5u);
    const fs::path maximal = dir / "maximal.pro";
    ASSERT_EQ(runProcess(MAXIMAL_PROFILE_PATH, {maximal.string()}, env()).exitCode, 0);
    profiles.push_back(maximal);

    for (const fs::path& profile : profiles) {
        SCOPED_TRACE(profile.string());
        const ProcessResult shown = ctl({"show", "--json", profile.string()});
        // The fuzzers' corpora also hold hostile files: refused ones, and ones whose numbers the
        // keyboard cannot store (show warns; import refuses such values by design).
        const bool hostile = profile.string().find("/fuzz/corpus/") != std::string::npos;
        if (hostile && (shown.exitCode == 2 || shown.err.find("warning") != std::string::npos)) {
            continue;
        }
        ASSERT_EQ(shown.exitCode, 0) << shown.err;
        const fs::path json = dir / "profile.json";
        const fs::path imported = dir / "imported.pro";
        writeFile(json, shown.out);
        const ProcessResult r = ctl({"import", json.string(), "-o", imported.string()});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, "Saved " + json.string() + " as " + imported.string() + ".\n");
        EXPECT_EQ(ctl({"show", "--json", imported.string()}).out, shown.out);

        const fs::path again = dir / "again.pro";
        writeFile(json, ctl({"show", "--json", imported.string()}).out);
        ASSERT_EQ(ctl({"import", json.string(), "-o", again.string()}).exitCode, 0);
        EXPECT_TRUE(readFile(again) == readFile(imported)) << "a second round trip changed it";
        if (profile == maximal || profile.filename() == "profile_cleared.pro") {
            EXPECT_TRUE(readFile(imported) == readFile(profile)) << "not the same bytes";
        }
    }
}

// Standard input, keys by name, functions by name and steps by key event code give the same
// profile as the numbers show --json prints.
TEST_F(OskelctlProfiles, ImportTakesNamesAndCodes) {
    const fs::path reference = dir / "reference.pro";
    const fs::path named = dir / "named.pro";
    writeFile(dir / "sample.json", readFile(SAMPLE_JSON));
    ASSERT_EQ(ctl({"import", (dir / "sample.json").string(), "-o", reference.string()}).exitCode,
              0);

    Json document = Json::parse(readFile(SAMPLE_JSON));
    document["keys"][18]["key"] = "F9";                    // key 10, a macro
    document["keys"][18]["steps"]["items"][0] = 65;        // A, pressed
    document["keys"][18]["steps"]["items"][2] = 65 + 512;  // A, released
    document["keys"][18].erase("mode");                    // the type alone is enough
    document["keys"][174]["hwCode"] = "Play/Pause";
    document["keys"][174].erase("type");
    document["keys"][38]["steps"]["items"][1] = 73;  // I, in a key list without direction
    document["keys"][0].erase("description");
    writeFile(dir / "named.json", document.dump(1));
    const std::string stdinScript = std::string("exec \"$0\" import - -o \"$1\" < \"$2\"");
    const ProcessResult r = runProcess(
        "/bin/sh",
        {"-c", stdinScript, OSKELCTL_PATH, named.string(), (dir / "named.json").string()}, env());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Saved standard input as " + named.string() + ".\n");
    EXPECT_TRUE(readFile(named) == readFile(reference));
}

struct BadImport {
    std::string name;
    std::function<void(Json&)> change;  // on the sample's JSON; null: `text` is the file
    std::string text;
    std::string message;  // after "oskelctl: FILE is not a profile: "
};

void PrintTo(const BadImport& c, std::ostream* os) {
    *os << c.name;
}

class OskelctlBadImport : public OskelctlProfiles,
                          public ::testing::WithParamInterface<BadImport> {};

TEST_P(OskelctlBadImport, IsRefusedWithThePlaceAndNothingIsWritten) {
    const BadImport& c = GetParam();
    std::string text = c.text;
    if (c.change) {
        Json document = Json::parse(readFile(SAMPLE_JSON));
        c.change(document);
        text = document.dump(2);
    }
    const fs::path json = dir / "bad.json";
    const fs::path target = dir / "target.pro";
    writeFile(json, text);
    writeFile(target, "kept");
    const ProcessResult r = ctl({"import", json.string(), "-o", target.string()});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err, "oskelctl: " + json.string() + " is not a profile: " + c.message +
                         "; nothing was written\n");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(readFile(target), "kept");
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, OskelctlBadImport,
    ::testing::Values(
        BadImport{"Cut", nullptr, "{\"combos\": [",
                  "$: not JSON: parse error at line 1, column 13: syntax error while parsing "
                  "value - unexpected end of input; expected '[', '{', or a literal"},
        BadImport{"Empty", nullptr, " \n", "$: not JSON: the file is empty"},
        BadImport{"NotUtf8", nullptr, "{\"combos\": [\"\xff\"]}",
                  "$: not JSON: parse error at line 1, column 14: syntax error while parsing "
                  "value - invalid string: ill-formed UTF-8 byte; last read: '\"\xff'"},
        BadImport{"Array", nullptr, "[]", "$: expected an object, found an array"},
        BadImport{"UnknownMember", [](Json& d) { d["colours"] = 1; }, "",
                  "$.colours: unknown member \"colours\""},
        BadImport{"MissingKeys", [](Json& d) { d.erase("keys"); }, "",
                  "$: missing member \"keys\""},
        BadImport{"ModeOutOfRange", [](Json& d) { d["keys"][0]["mode"] = 9; }, "",
                  "$.keys[0].mode: 9 is out of range (0..8)"},
        BadImport{"UnknownKeyName", [](Json& d) { d["keys"][5]["key"] = "F99"; }, "",
                  "$.keys[5].key: unknown key name \"F99\""},
        BadImport{"UnknownStep", [](Json& d) { d["keys"][18]["steps"]["items"][0] = "Hyper Down"; },
                  "", "$.keys[18].steps.items[0]: unknown key name \"Hyper Down\""},
        BadImport{"StepCodeWithoutKey", [](Json& d) { d["keys"][18]["steps"]["items"][0] = 1000; },
                  "", "$.keys[18].steps.items[0]: no key has the code 1000"},
        BadImport{"UnknownFunction", [](Json& d) { d["keys"][174]["hwCode"] = "Warp"; }, "",
                  "$.keys[174].hwCode: unknown function name \"Warp\""},
        BadImport{"ColourOutOfRange", [](Json& d) { d["backlight"][3][1] = 256; }, "",
                  "$.backlight[3][1]: 256 is out of range (0..255)"},
        BadImport{"TooFewColours", [](Json& d) { d["backlight"].erase(107); }, "",
                  "$.backlight: expected 108 colours (one per key), found 107"},
        BadImport{"MissingCode", [](Json& d) { d["keys"][7].erase("hwCode"); }, "",
                  "$.keys[7]: missing member \"hwCode\""},
        BadImport{"NoModeNorType",
                  [](Json& d) {
                      d["keys"][7].erase("mode");
                      d["keys"][7].erase("type");
                  },
                  "", "$.keys[7]: missing member \"mode\" (or \"type\")"},
        BadImport{"TypeAgainstMode", [](Json& d) { d["keys"][3]["type"] = "Combo"; }, "",
                  "$.keys[3].type: \"Combo\" is not the type of mode 0 (Not set)"},
        BadImport{"Fraction", [](Json& d) { d["keys"][2]["steps"]["Delay"] = 1.5; }, "",
                  "$.keys[2].steps.Delay: expected a whole number, found 1.5"},
        BadImport{"DelayOutOfRange", [](Json& d) { d["keys"][2]["steps"]["Delay"] = 70000; }, "",
                  "$.keys[2].steps.Delay: 70000 is out of range (0..65535)"},
        BadImport{"NumberForFlag", [](Json& d) { d["keys"][2]["steps"]["IsAutoInterval"] = 1; }, "",
                  "$.keys[2].steps.IsAutoInterval: expected true or false, found a number"},
        BadImport{"SlotTwice", [](Json& d) { d["keys"][1] = d["keys"][0]; }, "",
                  "$.keys[1]: key 1 level 0 is given twice"},
        BadImport{"SlotMissing", [](Json& d) { d["keys"].erase(215); }, "",
                  "$.keys: key 108 (KPEnter) level 1 is missing"},
        BadImport{"UnknownEntryMember", [](Json& d) { d["macros"][0]["hotkey"] = "F1"; }, "",
                  "$.macros[0].hotkey: unknown member \"hotkey\""},
        BadImport{"ChildrenCount",
                  [](Json& d) { d["keys"][18]["steps"]["children"] = Json::array({nullptr}); }, "",
                  "$.keys[18].steps.children: expected one list for each of the 3 items, "
                  "found 1"},
        BadImport{"NegativeCursor",
                  [](Json& d) { d["catalogueLists"]["combos"]["CursorPos"] = -1; }, "",
                  "$.catalogueLists.combos.CursorPos: -1 is out of range (0..2147483647)"}),
    [](const ::testing::TestParamInfo<BadImport>& info) { return info.param.name; });

// A profile made from the sample's JSON after `change`.
std::string changedSample(
    const fs::path& dir, const std::string& name, const std::function<void(Json&)>& change,
    const std::function<ProcessResult(const std::vector<std::string>&)>& ctl) {
    Json document = Json::parse(readFile(SAMPLE_JSON));
    if (change) {
        change(document);
    }
    const fs::path json = dir / (name + ".json");
    const fs::path profile = dir / (name + ".pro");
    writeFile(json, document.dump());
    const ProcessResult r = ctl({"import", json.string(), "-o", profile.string()});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return profile.string();
}

// The slot's type named alone, as a hand-edited file would.
void clearSlot(Json& d, int slot) {
    d["keys"][slot].erase("mode");
    d["keys"][slot]["type"] = "Not set";
}

Json& stepsOf(Json& d, int slot) {
    return d["keys"][slot]["steps"];
}

struct DiffCase {
    std::string name;
    std::function<void(Json&)> change;  // B is the sample after this
    std::string lines;                  // what diff sample B prints
};

void PrintTo(const DiffCase& c, std::ostream* os) {
    *os << c.name;
}

class OskelctlDiff : public OskelctlProfiles, public ::testing::WithParamInterface<DiffCase> {};

TEST_P(OskelctlDiff, SaysWhatDiffersInWords) {
    const DiffCase& c = GetParam();
    const std::string b =
        changedSample(dir, "b", c.change, [this](const auto& args) { return ctl(args); });
    const ProcessResult r = ctl({"diff", sample, b});
    EXPECT_EQ(r.exitCode, c.lines.empty() ? 0 : 3) << r.err;
    EXPECT_EQ(r.out, c.lines);
    EXPECT_EQ(r.err, "");

    // The JSON has one entry per line, with the same sentence.
    const ProcessResult j = ctl({"diff", "--json", sample, b});
    EXPECT_EQ(j.exitCode, r.exitCode);
    JsonValue v;
    std::string error;
    ASSERT_TRUE(parseJson(j.out, v, error)) << error;
    EXPECT_EQ(v["equal"].boolean, c.lines.empty());
    std::string texts;
    for (const JsonValue& d : v["differences"].array) {
        texts += d["text"].string + "\n";
    }
    EXPECT_EQ(texts, c.lines);
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, OskelctlDiff,
    ::testing::Values(
        DiffCase{"Same", nullptr, ""},
        // What never reaches the keyboard nor the catalogues is no difference.
        DiffCase{"ViewOnly",
                 [](Json& d) {
                     stepsOf(d, 18)["CursorPos"] = 2;
                     d["catalogueLists"]["macros"]["CursorPos"] = 0;
                     d["keys"][3]["hwCode"] = 77;  // an unassigned slot's code
                 },
                 ""},
        DiffCase{"SingleKey", [](Json& d) { d["keys"][0]["hwCode"] = 3; },
                 "Esc, level 1: the key F1 (code 2) in A, the key F2 (code 3) in B\n"},
        DiffCase{"Cleared", [](Json& d) { clearSlot(d, 9); },
                 "F4, level 2: a combination of 2 keys (Left CONTROL + C) in A, an empty slot "
                 "in B\n"},
        DiffCase{"ComboKey", [](Json& d) { stepsOf(d, 9)["items"][1] = "V"; },
                 "F4, level 2: a combination of 2 keys (Left CONTROL + C) in A, a combination "
                 "of 2 keys (Left CONTROL + V) in B\n"},
        DiffCase{"MacroStep", [](Json& d) { stepsOf(d, 18)["items"][2] = "B UP"; },
                 "F9, level 1: a macro of 2 steps in both, but in B step 2 is B instead of A\n"},
        DiffCase{"MacroPause", [](Json& d) { stepsOf(d, 18)["items"][1] = "<60 ms>"; },
                 "F9, level 1: a macro of 2 steps in both, but in B the pause after step 1 is "
                 "60 ms instead of 50 ms\n"},
        DiffCase{"Interval", [](Json& d) { stepsOf(d, 38)["Delay"] = 50; },
                 "6, level 1: a key list of 2 keys, 40 ms apart in A, a key list of 2 keys, "
                 "50 ms apart in B\n"},
        DiffCase{"OtherType", [](Json& d) { d["keys"][59]["hwCode"] = 130; },
                 "W, level 2: a combination of 2 keys (Mouse Key Left + Mouse Key Left) in A, "
                 "the key Mouse Key Left (code 130) in B\n"},
        DiffCase{"Light",
                 [](Json& d) {
                     d["backlight"][0] = {1, 2, 3};
                 },
                 "Esc: the backlight (255, 0, 0) in A, (1, 2, 3) in B\n"},
        DiffCase{"EntryAdded",
                 [](Json& d) {
                     d["combos"].push_back({{"name", "Paste"}, {"steps", d["combos"][0]["steps"]}});
                 },
                 "combos, entry 2 \"Paste\": only in B\n"},
        DiffCase{"EntryRenamed", [](Json& d) { d["macros"][0]["name"] = "Reload"; },
                 "macros, entry 1: named \"\u5b8f\u5b9a\u4e491\" in A, \"Reload\" in B\n"},
        DiffCase{"EntryStep", [](Json& d) { d["combos"][0]["steps"]["items"][1] = "V"; },
                 "combos, entry 1 \"Copy & \"paste\" <ctrl>\": step 2 is \"C\" in A, \"V\" in "
                 "B\n"},
        DiffCase{"EntrySteps", [](Json& d) { d["combos"][0]["steps"]["items"].push_back("V"); },
                 "combos, entry 1 \"Copy & \"paste\" <ctrl>\": 2 steps in A, 3 in B\n"},
        DiffCase{"EntrySetting", [](Json& d) { d["macros"][0]["steps"]["Cycles"] = 4; },
                 "macros, entry 1 \"\u5b8f\u5b9a\u4e491\": the repeat count is 1 in A, 4 in "
                 "B\n"},
        // Several at once: keys of level 1, then of level 2, then lights, then catalogues.
        DiffCase{"Several",
                 [](Json& d) {
                     d["macros"].erase(1);
                     d["backlight"][107] = {0, 0, 0};
                     clearSlot(d, 9);
                     d["keys"][0]["hwCode"] = 3;
                 },
                 "Esc, level 1: the key F1 (code 2) in A, the key F2 (code 3) in B\n"
                 "F4, level 2: a combination of 2 keys (Left CONTROL + C) in A, an empty slot "
                 "in B\n"
                 "KPEnter: the backlight (1, 2, 3) in A, (0, 0, 0) in B\n"
                 "macros, entry 2 \"tab\xef\xbf\xbd"
                 "and\xef\xbf\xbd"
                 "bell\xf0\x9f\x98\x80\": only in A\n"}),
    [](const ::testing::TestParamInfo<DiffCase>& info) { return info.param.name; });

TEST_F(OskelctlProfiles, DiffSpeaksChineseAndRefusesBadInput) {
    const std::string b = changedSample(
        dir, "b", [](Json& d) { d["keys"][0]["hwCode"] = 3; },
        [this](const auto& args) { return ctl(args); });
    ProcessResult r = ctl({"diff", "--lang", "zh-CN", sample, b});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_EQ(r.out,
              "Esc\uff0c\u4e0a\u6863\u952e\uff1aA \u4e2d\u662f\u6309\u952e F1\uff08\u4ee3\u7801 "
              "2\uff09\uff0cB \u4e2d\u662f\u6309\u952e F2\uff08\u4ee3\u7801 3\uff09\n");

    const std::string missing = (dir / "missing.pro").string();
    r = ctl({"diff", sample, missing});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err,
              "oskelctl: cannot read the profile " + missing + ": No such file or directory\n");
    r = ctl({"diff", "-", "-"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err, "oskelctl: only one side of diff can be the keyboard\n");
    r = ctl({"diff", sample});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("diff needs two profiles"), std::string::npos) << r.err;
    // No keyboard: exit 1, as for every command that needs it.
    r = ctl({"diff", sample, "-"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Keyboard is not connected"), std::string::npos) << r.err;
}

// The keyboard as either side: after writing the sample it holds the sample; a changed profile
// differs from it in the keyboard's terms, and the catalogues are not compared.
TEST_F(OskelctlProfiles, DiffAgainstTheKeyboard) {
    startKeyboard();
    ASSERT_EQ(ctl({"write", sample}).exitCode, 0);
    ProcessResult r = ctl({"diff", sample, "-"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "");

    const std::string b = changedSample(
        dir, "b",
        [](Json& d) {
            d["keys"][0]["hwCode"] = 3;
            d["backlight"][0] = {1, 2, 3};
            d["macros"] = Json::array();
        },
        [this](const auto& args) { return ctl(args); });
    r = ctl({"diff", "-", b});
    EXPECT_EQ(r.exitCode, 3) << r.err;
    EXPECT_EQ(r.out,
              "Esc, level 1: the key F1 (code 2) in A, the key F2 (code 3) in B\n"
              "Esc: the backlight (255, 0, 0) in A, (1, 2, 3) in B\n");
}

}  // namespace
