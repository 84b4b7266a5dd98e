// SPDX-License-Identifier: GPL-2.0-or-later
// oskelctl end to end: the program runs as its own process against oskel-virtual-keyboard,
// another process, in a private runtime folder, and the test compares what the keyboard logged,
// what oskelctl printed and the files it wrote. The whole suite runs through either door of the
// keyboard: its socket, or (--door=usb) the USB device in a umockdev testbed, reached through
// libudev and hidapi's hidraw backend as a real keyboard is.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "JsonParse.h"
#include "OskelTestSupport.h"
#include "Process.h"

namespace fs = std::filesystem;

namespace {

// Which door of the keyboard the suite goes through.
bool throughUsb = false;

using Payload = std::vector<std::uint8_t>;

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        out.push_back(line);
    }
    return out;
}

// A payload as the virtual keyboard logs it: 128 lower-case hex digits.
std::string hex(Payload p) {
    p.resize(64, 0);
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (const std::uint8_t b : p) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

Payload filled(std::initializer_list<std::uint8_t> head, std::uint8_t fill) {
    Payload p(head);
    p.resize(64, fill);
    return p;
}

// The profile every writing test sends (tests/tools/data/sample.pro): eight assigned slots of
// every kind, a backlight with key 1 red, key 108 (1, 2, 3) and key k (0, 0, k) between.
struct SampleSlot {
    int key;
    int level;  // 1 or 2, as the keyboard counts
    Payload record;
};
const std::vector<SampleSlot> kSampleSlots = {
    {1, 1, {0x00, 0xF0, 1, 1, 0, 1, 2}},           // Single F1
    {5, 2, {0x00, 0xF0, 2, 5, 0, 2, 0x43, 0x3A}},  // Combo Left CONTROL + C
    // Macro with a recorded pause: cycles 3, step pauses, L = 5: A, C8, pause 50, A.
    {10, 1, {0x00, 0xF0, 1, 10, 2, 3, 1, 0, 0, 0, 5, 0x2B, 0xC8, 0x00, 0x32, 0x2B}},
    {20, 1, {0x00, 0xF0, 1, 20, 1, 0x00, 0x28, 2, 0x30, 0x24}},  // Emulation H, I at 40 ms
    {30, 2, {0x00, 0xF0, 2, 30, 0, 2, 0x82, 0x82}},  // left double click: two left clicks
    {71, 1, {0x00, 0xF0, 1, 71, 0, 1, 0x9C}},        // FN on both levels
    {71, 2, {0x00, 0xF0, 2, 71, 0, 1, 0x9C}},
    {88, 1, {0x00, 0xF0, 1, 88, 0, 1, 0x6F}},  // Multimedia Play/Pause
};

std::vector<std::uint8_t> sampleLights() {
    std::vector<std::uint8_t> table(324, 0);
    for (int k = 1; k <= 108; ++k) {
        table[(k - 1) * 3 + 2] = static_cast<std::uint8_t>(k);
    }
    table[0] = 255, table[2] = 0;
    table[321] = 1, table[322] = 2, table[323] = 3;
    return table;
}

std::vector<std::string> expectedKeyWrite() {
    std::vector<std::string> out{hex({0x00, 0xF1})};
    for (int level = 1; level <= 2; ++level) {
        for (int key = 1; key <= 108; ++key) {
            Payload record{0x00, 0xF0, static_cast<std::uint8_t>(level),
                           static_cast<std::uint8_t>(key)};
            for (const SampleSlot& s : kSampleSlots) {
                if (s.key == key && s.level == level) {
                    record = s.record;
                }
            }
            out.push_back(hex(record));
        }
    }
    out.push_back(hex(filled({0x00}, 0xF6)));
    return out;
}

std::vector<std::string> lightWriteOf(const std::vector<std::uint8_t>& table) {
    std::vector<std::string> out{hex({0x00, 0xE1})};
    for (std::size_t at = 0; at < table.size(); at += 61) {
        const std::size_t n = std::min<std::size_t>(61, table.size() - at);
        Payload chunk{0x00, 0xE0, static_cast<std::uint8_t>(n)};
        chunk.insert(chunk.end(), table.begin() + at, table.begin() + at + n);
        out.push_back(hex(chunk));
    }
    out.push_back(hex(filled({}, 0xE6)));
    return out;
}

std::vector<std::string> expectedLightWrite() {
    return lightWriteOf(sampleLights());
}

// The key write of the empty configuration: every record empty.
std::vector<std::string> emptyKeyWrite() {
    std::vector<std::string> out{hex({0x00, 0xF1})};
    for (int level = 1; level <= 2; ++level) {
        for (int key = 1; key <= 108; ++key) {
            out.push_back(hex(
                {0x00, 0xF0, static_cast<std::uint8_t>(level), static_cast<std::uint8_t>(key)}));
        }
    }
    out.push_back(hex(filled({0x00}, 0xF6)));
    return out;
}

std::vector<std::string> concat(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class OskelctlEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/oskelctl-e2e-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        runtime = dir / "run";
        fs::create_directory(runtime);
        chmod(runtime.c_str(), 0700);
        logPath = dir / "keyboard.log";
    }

    void TearDown() override {
        keyboard.stop();
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }

    std::map<std::string, std::string> env(std::map<std::string, std::string> more = {}) const {
        more["XDG_RUNTIME_DIR"] = runtime.string();
        // Backups before a firmware download stay inside the test's folder.
        more.try_emplace("XDG_DATA_HOME", (dir / "data").string());
        for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
            more.try_emplace(name, "");
        }
        return environmentWith(more);
    }

    // Starts oskel-virtual-keyboard with a log; true once it listens. Through the USB door its
    // command only says where the testbed is and waits; oskelctl runs in the testbed beside it.
    void startKeyboard(std::vector<std::string> args = {}) {
        args.insert(args.begin(), {"--log", logPath.string()});
        if (throughUsb) {
            args.insert(args.begin(), "--usb");
            args.insert(args.end(),
                        {"--", "/bin/sh", "-c", "echo \"ready $UMOCKDEV_DIR\"; exec cat"});
        }
        ASSERT_TRUE(keyboard.start(VIRTUAL_KEYBOARD_PATH, args, env()));
        std::string line;
        ASSERT_TRUE(keyboard.readLine(line, std::chrono::seconds(10))) << "no ready line";
        ASSERT_EQ(line.rfind("ready ", 0), 0u) << line;
        if (throughUsb) {
            testbed = line.substr(6);
            // The first keyboard plugged in: interface 00 is hidraw0, interface 01 hidraw1.
            socketPath = "hidraw#vid_0483&pid_5022&mi_01#/dev/hidraw1";
        } else {
            socketPath = line.substr(6);
        }
    }

    // The environment of a program that is to reach the keyboard: in the USB door's testbed
    // while it runs.
    std::map<std::string, std::string> deviceEnv(
        std::map<std::string, std::string> more = {}) const {
        if (throughUsb && keyboard.running()) {
            more["UMOCKDEV_DIR"] = testbed;
            more["LD_PRELOAD"] = "libumockdev-preload.so.0";
            // A sanitizer build wants its runtime first; the preload comes before it.
            const char* sanitizer = std::getenv("ASAN_OPTIONS");
            more["ASAN_OPTIONS"] =
                std::string(sanitizer != nullptr ? sanitizer : "") + ":verify_asan_link_order=0";
        }
        return env(more);
    }

    ProcessResult ctl(const std::vector<std::string>& args,
                      const std::map<std::string, std::string>& more = {}) {
        ProcessResult r = runProcess(OSKELCTL_PATH, args, deviceEnv(more));
        EXPECT_FALSE(r.timedOut) << "oskelctl hung: " << ::testing::PrintToString(args);
        return r;
    }

    std::vector<std::string> logged() const { return lines(readFile(logPath)); }

    // The log once it holds `count` lines (or after 10 s): a write needs no answer, so oskelctl
    // may end while the keyboard is still taking the last reports off its socket.
    std::vector<std::string> loggedLines(std::size_t count) const {
        std::vector<std::string> log = logged();
        for (int i = 0; i < 1000 && log.size() < count; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            log = logged();
        }
        return log;
    }

    // `show --json` of a profile, parsed by the strict reader.
    JsonValue showJson(const std::string& profile) {
        const ProcessResult r = ctl({"show", "--json", profile});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        JsonValue v;
        std::string error;
        EXPECT_TRUE(parseJson(r.out, v, error)) << error;
        return v;
    }

    fs::path dir;
    fs::path runtime;
    fs::path logPath;
    std::string socketPath;  // the keyboard's device path
    std::string testbed;     // the USB door's UMOCKDEV_DIR
    BackgroundProcess keyboard;
    const std::string sample = SAMPLE_PROFILE;
};

TEST_F(OskelctlEndToEnd, WriteSendsTheProfileAsTheKeyboardExpectsIt) {
    startKeyboard();
    const ProcessResult r = ctl({"write", sample});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    // Standard error is not a terminal here: no progress bar, no noise.
    EXPECT_EQ(r.err, "");
    const std::vector<std::string> expected = concat(expectedKeyWrite(), expectedLightWrite());
    EXPECT_EQ(loggedLines(expected.size()), expected);
}

struct OnlyCase {
    const char* option;
    bool keys;
    bool lights;
};

void PrintTo(const OnlyCase& c, std::ostream* os) {
    *os << c.option;
}

class OskelctlWriteOnly : public OskelctlEndToEnd,
                          public ::testing::WithParamInterface<OnlyCase> {};

TEST_P(OskelctlWriteOnly, SendsOnlyThatTransfer) {
    startKeyboard();
    const ProcessResult r = ctl({"write", GetParam().option, sample});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::vector<std::string> expected;
    if (GetParam().keys) {
        expected = expectedKeyWrite();
    }
    if (GetParam().lights) {
        expected = concat(expected, expectedLightWrite());
    }
    EXPECT_EQ(loggedLines(expected.size()), expected);
}

INSTANTIATE_TEST_SUITE_P(Options, OskelctlWriteOnly,
                         ::testing::Values(OnlyCase{"--keys-only", true, false},
                                           OnlyCase{"--lights-only", false, true}));

TEST_F(OskelctlEndToEnd, ReadBackGivesWhatWasWritten) {
    startKeyboard();
    ASSERT_EQ(ctl({"write", sample}).exitCode, 0);
    const std::string saved = (dir / "read.pro").string();
    const ProcessResult r = ctl({"read", saved});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    // The read asks for the key records, then for the light table.
    const std::vector<std::string> log = logged();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2], hex({0x00, 0xF2}));
    EXPECT_EQ(log.back(), hex({0x00, 0xE2}));

    const JsonValue v = showJson(saved);
    ASSERT_EQ(v["keys"].array.size(), 216u);
    ASSERT_EQ(v["backlight"].array.size(), 108u);
    const std::vector<std::uint8_t> lights = sampleLights();
    for (int k = 0; k < 108; ++k) {
        for (int c = 0; c < 3; ++c) {
            EXPECT_EQ(v["backlight"][k][c].integer(), lights[k * 3 + c]) << "key " << k + 1;
        }
    }
    // The keyboard keeps no catalogues.
    EXPECT_TRUE(v["combos"].array.empty());
    EXPECT_TRUE(v["macros"].array.empty());

    struct Slot {
        int key, level, mode, hwCode;
        std::vector<std::string> items;
        const char* description;
    };
    const Slot assigned[] = {
        {1, 0, 1, 2, {}, "F1"},
        {5, 1, 2, 5, {"Left CONTROL", "C"}, "Left CONTROL | C"},
        {10, 0, 3, 10, {"A", "<50 ms>", "A"}, "A,50,A"},
        {20, 0, 4, 20, {"H", "I"}, "H | I"},
        {30, 1, 6, 199, {}, "Left Double Click"},
        {71, 0, 7, 156, {}, "FN"},
        {71, 1, 7, 156, {}, "FN"},
        {88, 0, 5, 111, {}, "Play/Pause"},
    };
    for (const JsonValue& key : v["keys"].array) {
        const int k = static_cast<int>(key["key"].integer());
        const int l = static_cast<int>(key["level"].integer());
        const Slot* expected = nullptr;
        for (const Slot& s : assigned) {
            if (s.key == k && s.level == l) {
                expected = &s;
            }
        }
        if (!expected) {
            EXPECT_EQ(key["mode"].integer(), 0) << k << "/" << l;
            EXPECT_EQ(key["type"].string, "Not set");
            EXPECT_EQ(key["hwCode"].integer(), k);
            continue;
        }
        EXPECT_EQ(key["mode"].integer(), expected->mode) << k << "/" << l;
        EXPECT_EQ(key["description"].string, expected->description) << k << "/" << l;
        if (expected->mode != 2 && expected->mode != 3 && expected->mode != 4) {
            EXPECT_EQ(key["hwCode"].integer(), expected->hwCode) << k << "/" << l;
            continue;
        }
        const JsonValue& items = key["steps"]["items"];
        ASSERT_EQ(items.array.size(), expected->items.size()) << k << "/" << l;
        for (std::size_t i = 0; i < items.array.size(); ++i) {
            EXPECT_EQ(items[i].string, expected->items[i]);
        }
    }
    const JsonValue& macro = v["keys"][(10 - 1) * 2]["steps"];
    EXPECT_EQ(macro["Cycles"].integer(), 3);
    EXPECT_FALSE(macro["IsAutoInterval"].boolean);
    EXPECT_EQ(v["keys"][(20 - 1) * 2]["steps"]["Delay"].integer(), 40);
}

TEST_F(OskelctlEndToEnd, ShowListsTheAssignedKeysInEitherLanguage) {
    const std::vector<std::string> english = {
        "1\tEsc\t1\tSingle\tF1",
        "5\tF4\t2\tCombo\tLeft CONTROL | C",
        "10\tF9\t1\tMacro\tA,50,A",
        "20\t6\t1\tEmulation\tH | I",
        "30\tW\t2\tMouse\tLeft Double Click",
        "71\tFn\t1\tFunction\tFN",
        "71\tFn\t2\tFunction\tFN",
        "88\tPlayPause\t1\tMultimedia\tPlay/Pause",
    };
    const std::vector<std::string> chinese = {
        "1\tEsc\t1\t单键\tF1",
        "5\tF4\t2\t组合键\tLeft CONTROL | C",
        "10\tF9\t1\t宏键\tA,50,A",
        "20\t6\t1\t模拟击键\tH | I",
        "30\tW\t2\t鼠标键\tLeft Double Click",
        "71\tFn\t1\t操控键\tFN",
        "71\tFn\t2\t操控键\tFN",
        "88\tPlayPause\t1\t多媒体键\tPlay/Pause",
    };
    struct Case {
        std::vector<std::string> args;
        std::map<std::string, std::string> env;
        const std::vector<std::string>* expected;
    };
    const Case cases[] = {
        {{"show", "--lang", "en-US", sample}, {}, &english},
        {{"show", "--lang=zh-CN", sample}, {}, &chinese},
        // Without --lang the environment decides.
        {{"show", sample}, {{"LANG", "zh_CN.UTF-8"}}, &chinese},
        {{"show", sample}, {{"LANG", "de_DE.UTF-8"}}, &english},
        {{"show", sample}, {{"LANG", "zh_CN.UTF-8"}, {"LC_ALL", "C"}}, &english},
    };
    for (const Case& c : cases) {
        const ProcessResult r = ctl(c.args, c.env);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(lines(r.out), *c.expected) << ::testing::PrintToString(c.args);
    }
}

// A profile without assignments lists nothing and says so on the error stream, so the list on
// standard output stays empty for scripts.
TEST_F(OskelctlEndToEnd, ShowOfAProfileWithoutAssignmentsSaysSo) {
    startKeyboard();
    const std::string empty = (dir / "empty.pro").string();
    ASSERT_EQ(ctl({"read", empty}).exitCode, 0);
    const ProcessResult r = ctl({"show", empty});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "oskelctl: no key is assigned in " + empty + "\n");
    EXPECT_EQ(ctl({"show", sample}).err, "");
}

TEST_F(OskelctlEndToEnd, ShowJsonCarriesTheWholeProfile) {
    const JsonValue v = showJson(sample);
    ASSERT_EQ(v.type, JsonValue::Type::Object);
    std::vector<std::string> names;
    for (const auto& [name, value] : v.object) {
        names.push_back(name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"combos", "macros", "emulations", "backlight",
                                               "keys", "catalogueLists"}));
    EXPECT_EQ(v["catalogueLists"]["macros"]["CursorPos"].integer(), 1);
    // Catalogue names with quotes, markup, Chinese and control characters survive as text.
    ASSERT_EQ(v["combos"].array.size(), 1u);
    EXPECT_EQ(v["combos"][0]["name"].string, "Copy & \"paste\" <ctrl>");
    const JsonValue& comboSteps = v["combos"][0]["steps"];
    EXPECT_EQ(comboSteps["SizeOfView"].integer(), 6);
    EXPECT_EQ(comboSteps["CursorPos"].integer(), 1);
    ASSERT_EQ(comboSteps["items"].array.size(), 2u);
    EXPECT_EQ(comboSteps["items"][0].string, "Left CONTROL");
    ASSERT_EQ(v["macros"].array.size(), 2u);
    EXPECT_EQ(v["macros"][0]["name"].string, "宏定义1");
    // A character beyond the 16-bit range arrives as a surrogate pair and leaves as one UTF-8
    // sequence.
    EXPECT_EQ(v["macros"][1]["name"].string,
              "tab\tand\x01"
              "bell\xf0\x9f\x98\x80");
    EXPECT_EQ(v["macros"][0]["steps"]["items"][1].string, "<50 ms>");
    EXPECT_TRUE(v["emulations"].array.empty());
    // Keys in file order, level index as in the file, English names.
    const JsonValue& keys = v["keys"];
    ASSERT_EQ(keys.array.size(), 216u);
    for (std::size_t i = 0; i < 216; ++i) {
        EXPECT_EQ(keys[i]["key"].integer(), static_cast<long long>(i / 2 + 1));
        EXPECT_EQ(keys[i]["level"].integer(), static_cast<long long>(i % 2));
    }
    const JsonValue& macroKey = keys[(10 - 1) * 2];
    EXPECT_EQ(macroKey["type"].string, "Macro");
    EXPECT_EQ(macroKey["mode"].integer(), 3);
    EXPECT_EQ(macroKey["description"].string, "A,50,A");
    EXPECT_EQ(macroKey["steps"]["items"][0].string, "A Down");
    EXPECT_EQ(macroKey["steps"]["IsAutoInterval"].type, JsonValue::Type::Bool);
    EXPECT_EQ(v["backlight"][0][0].integer(), 255);
    EXPECT_EQ(v["backlight"][107][2].integer(), 3);
}

class OskelctlFirmware : public OskelctlEndToEnd,
                         public ::testing::WithParamInterface<oskeltest::FirmwareImage> {};

TEST_P(OskelctlFirmware, IsSentLineByLine) {
    const fs::path image = GetParam().path;
    startKeyboard();
    const ProcessResult r = ctl({"firmware", image.string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::vector<std::string> expected;
    for (std::string line : lines(readFile(image))) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        Payload report{0x00, 0x3A};
        for (std::size_t i = 1; i + 1 < line.size(); i += 2) {
            report.push_back(static_cast<std::uint8_t>(std::stoi(line.substr(i, 2), nullptr, 16)));
        }
        expected.push_back(hex(report));
    }
    EXPECT_EQ(expected.size(), GetParam().records);
    // First the keys and colours are read for the backup.
    expected.insert(expected.begin(), {hex({0x00, 0xF2}), hex({0x00, 0xE2})});
    EXPECT_EQ(loggedLines(expected.size()), expected);
}

INSTANTIATE_TEST_SUITE_P(Images, OskelctlFirmware,
                         ::testing::ValuesIn(oskeltest::goodFirmwareImages()),
                         oskeltest::CaseName());

struct BadFileCase {
    const char* name;
    std::string text;  // nothing written for "missing"
    const char* message;
};

void PrintTo(const BadFileCase& c, std::ostream* os) {
    *os << c.name;
}

class OskelctlBadFirmware : public OskelctlEndToEnd,
                            public ::testing::WithParamInterface<BadFileCase> {};

TEST_P(OskelctlBadFirmware, SendsNothingAndExitsTwo) {
    startKeyboard();
    const fs::path file = dir / GetParam().name;
    const std::string name = GetParam().name;
    if (name == "folder") {
        fs::create_directory(file);
    } else if (name != "missing") {
        std::ofstream(file, std::ios::binary) << GetParam().text;
    }
    const ProcessResult r = ctl({"firmware", file.string()});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find(GetParam().message), std::string::npos) << r.err;
    EXPECT_EQ(lines(r.err).size(), 1u) << r.err;
    EXPECT_TRUE(logged().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Files, OskelctlBadFirmware,
    ::testing::Values(BadFileCase{"checksum",
                                  ":020000040800F2\n:10000000006000208D0000088900000889000008B8\n",
                                  "line 2: the checksum is wrong"},
                      BadFileCase{"text", "hello\n", "line 1: does not start with ':'"},
                      BadFileCase{"empty", "", "no firmware records"},
                      BadFileCase{"missing", "", "cannot read the firmware file"},
                      BadFileCase{"folder", "", "Is a directory"}));

struct FailureCase {
    std::vector<std::string> keyboardArgs;
    std::vector<std::string> command;  // "OUT" stands for a fresh output file
    const char* message;
};

void PrintTo(const FailureCase& c, std::ostream* os) {
    for (const std::string& a : c.keyboardArgs) {
        *os << a << " ";
    }
    *os << "then";
    for (const std::string& a : c.command) {
        *os << " " << a;
    }
}

class OskelctlDeviceFailure : public OskelctlEndToEnd,
                              public ::testing::WithParamInterface<FailureCase> {};

// A keyboard that stops answering, stops taking reports or goes away mid-transfer ends the
// command with exit 1 and one line saying what failed; nothing waits forever, and a failed read
// saves nothing. A write counts only once the keyboard has taken every report, so a keyboard
// that goes away with the last reports still queued for it fails the write too.
TEST_P(OskelctlDeviceFailure, EndsWithExitOneAndAMessage) {
    startKeyboard(GetParam().keyboardArgs);
    const std::string out = (dir / "out.pro").string();
    std::vector<std::string> args;
    for (const std::string& a : GetParam().command) {
        args.push_back(a == "OUT" ? out : a == "SAMPLE" ? sample : a);
    }
    const ProcessResult r = ctl(args);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find(GetParam().message), std::string::npos) << r.err;
    EXPECT_EQ(lines(r.err).size(), 1u) << r.err;
    EXPECT_FALSE(fs::exists(out));
}

INSTANTIATE_TEST_SUITE_P(
    Keyboards, OskelctlDeviceFailure,
    ::testing::Values(
        FailureCase{{"--silent"}, {"read", "OUT"}, "reading the key settings failed"},
        FailureCase{{"--silent"}, {"version"}, "reading the firmware version failed"},
        FailureCase{{"--drop-after", "1"}, {"read", "OUT"}, "reading the key settings failed"},
        FailureCase{{"--drop-after", "1"}, {"version"}, "reading the firmware version failed"},
        FailureCase{{"--version", ""}, {"version"}, "answered with an empty version"},
        FailureCase{
            {"--freeze-after", "1"}, {"write", "SAMPLE"}, "writing the key settings failed"},
        FailureCase{{"--freeze-after", "220"}, {"write", "SAMPLE"}, "writing the backlight failed"},
        FailureCase{
            {"--drop-after", "212"}, {"write", "SAMPLE"}, "writing the key settings failed"},
        FailureCase{{"--drop-after", "224"}, {"write", "SAMPLE"}, "writing the backlight failed"}));

// A keyboard that goes away is not attached. Killed without a chance to clean up, the socket
// door leaves its socket behind, which is no keyboard; the USB door, told to end, ends its
// command first and leaves no testbed behind.
TEST_F(OskelctlEndToEnd, KeyboardThatWentAwayIsNotAttached) {
    startKeyboard();
    ASSERT_EQ(ctl({"detect"}).exitCode, 0);
    if (throughUsb) {
        ASSERT_TRUE(fs::exists(testbed));
        keyboard.stop();
        EXPECT_FALSE(fs::exists(testbed)) << "the testbed stayed";
    } else {
        keyboard.sendSignal(SIGKILL);
        keyboard.stop();
        ASSERT_TRUE(fs::exists(socketPath));
    }
    for (const char* command : {"detect", "version"}) {
        const ProcessResult r = ctl({command});
        EXPECT_EQ(r.exitCode, 1) << command;
        EXPECT_NE(r.err.find("Keyboard is not connected"), std::string::npos) << r.err;
    }
}

// The keyboard taken away and given back while nothing runs: not connected in between, found
// and answering again after. Through the USB door the cable is pulled (SIGUSR1) and plugged
// back in (SIGUSR2), and a keyboard that pulled its own cable (--drop-after) comes back by
// itself after --replug-after; the socket door's keyboard is stopped and started again.
TEST_F(OskelctlEndToEnd, KeyboardTakenAwayAndBackIsFoundAgain) {
    auto detected = [&] { return ctl({"detect"}).exitCode == 0; };
    auto waitFor = [&](bool attached) {
        for (int i = 0; i < 200; ++i) {
            if (detected() == attached) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    };
    startKeyboard();
    ASSERT_TRUE(detected());
    if (throughUsb) {
        keyboard.sendSignal(SIGUSR1);
        EXPECT_TRUE(waitFor(false)) << "the pulled keyboard is still listed";
        const ProcessResult r = ctl({"version"});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_NE(r.err.find("Keyboard is not connected!"), std::string::npos) << r.err;
        keyboard.sendSignal(SIGUSR2);
    } else {
        keyboard.stop();
        EXPECT_TRUE(waitFor(false));
        startKeyboard();
    }
    ASSERT_TRUE(waitFor(true)) << "the keyboard plugged back in is not found";
    EXPECT_EQ(ctl({"version"}).out, "OSKEL-108 V1.00\n");

    if (throughUsb) {
        keyboard.stop();
        startKeyboard({"--drop-after", "1", "--replug-after", "0.5"});
        ProcessResult r = ctl({"version"});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_NE(r.err.find("reading the firmware version failed"), std::string::npos) << r.err;
        EXPECT_TRUE(waitFor(true)) << "the keyboard did not come back by itself";
    }
}

TEST_F(OskelctlEndToEnd, NoKeyboardIsSaidForEveryDeviceCommand) {
    const std::vector<std::vector<std::string>> commands = {
        {"detect"},
        {"version"},
        {"write", sample},
        {"read", (dir / "x.pro").string()},
    };
    for (const auto& args : commands) {
        const ProcessResult r = ctl(args);
        EXPECT_EQ(r.exitCode, 1) << args[0];
        EXPECT_NE(r.err.find("Keyboard is not connected!"), std::string::npos) << r.err;
    }
}

TEST_F(OskelctlEndToEnd, DetectAndVersionNameTheKeyboard) {
    startKeyboard({"--version", "OSKEL-TEST 2.5"});
    ProcessResult r = ctl({"detect"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find(socketPath), std::string::npos) << r.out;
    r = ctl({"version"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "OSKEL-TEST 2.5\n");
}

// A keyboard this user may not open: the commands say so and name the udev rule. The socket is
// made unwritable, the USB door's node is given to its owner alone; root, who may open
// anything, runs oskelctl as the unprivileged user 65534.
TEST_F(OskelctlEndToEnd, KeyboardThatMayNotBeOpenedNamesTheUdevRule) {
    startKeyboard(throughUsb
                      ? std::vector<std::string>{"--node-mode", geteuid() == 0 ? "0600" : "0000"}
                      : std::vector<std::string>{});
    std::string program = OSKELCTL_PATH;
    std::vector<std::string> prefix;
    if (geteuid() == 0) {
        if (!fs::exists("/usr/bin/setpriv")) {
            GTEST_SKIP() << "running as root without setpriv to drop the privilege";
        }
        program = "/usr/bin/setpriv";
        prefix = {"--reuid=65534", "--regid=65534", "--clear-groups", OSKELCTL_PATH};
        std::vector<std::string> help = prefix;
        help.push_back("--help");
        if (runProcess(program, help, env()).exitCode != 0) {
            GTEST_SKIP() << "the unprivileged user cannot run the build's oskelctl (a private "
                            "build folder)";
        }
        // The unprivileged user must still find the socket: the library looks only in a
        // folder of its own user closed to others, so the folders change hands; the socket
        // stays root's.
        chmod(dir.c_str(), 0755);
        const std::vector<fs::path> folders =
            throughUsb
                ? std::vector<fs::path>{runtime}
                : std::vector<fs::path>{runtime, runtime / "oskel", runtime / "oskel" / "hid"};
        for (const fs::path& p : folders) {
            ASSERT_EQ(chown(p.c_str(), 65534, 65534), 0) << p;
        }
    }
    if (!throughUsb) {
        ASSERT_EQ(chmod(socketPath.c_str(), 0444), 0);
    }
    auto run = [&](const std::string& command) {
        std::vector<std::string> args = prefix;
        args.push_back(command);
        return runProcess(program, args, deviceEnv());
    };
    ProcessResult r = run("version");
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find("may not open it"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("70-oskel.rules"), std::string::npos) << r.err;
    // detect still finds the keyboard, and warns.
    r = run("detect");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("70-oskel.rules"), std::string::npos) << r.err;
    // doctor says why, with the same advice.
    r = run("doctor");
    EXPECT_EQ(r.exitCode, 1) << r.out;
    EXPECT_NE(r.out.find("this user may not open it (Permission denied)"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("may not open it: the udev rule 70-oskel.rules"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("Firmware version: not read (this user may not open the keyboard)"),
              std::string::npos)
        << r.out;
    EXPECT_TRUE(logged().empty());
}

// doctor: what stands between this user and the keyboard, for a person and as JSON; exit 0
// only when the keyboard can be used.
TEST_F(OskelctlEndToEnd, DoctorSaysWhatItFound) {
    ProcessResult r = ctl({"doctor"});
    EXPECT_EQ(r.exitCode, 1) << r.out;
    EXPECT_NE(r.out.find("Keyboards: none found"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("The keyboard cannot be used."), std::string::npos) << r.out;

    startKeyboard({"--version", "OSKEL-DOCTOR 1.5"});
    r = ctl({"doctor"}, {{"DISPLAY", ":5"}});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find(throughUsb ? "(USB 0483:5022, port 1-1), the one Oskel and oskelctl use"
                                    : "(socket in "),
              std::string::npos)
        << r.out;
    if (throughUsb) {
        // Both interfaces with their nodes; only 01 is the program's.
        EXPECT_NE(r.out.find("interface 00 (typing; Oskel leaves it alone): /dev/hidraw0"),
                  std::string::npos)
            << r.out;
        EXPECT_NE(r.out.find("interface 01 (configuration): /dev/hidraw1  crw-rw-rw-"),
                  std::string::npos)
            << r.out;
    }
    EXPECT_NE(r.out.find("this user may open it"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("udev rule: "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Session: X11: every keystroke of the desktop can be recorded"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("Firmware version: OSKEL-DOCTOR 1.5"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("The keyboard can be used."), std::string::npos) << r.out;

    r = ctl({"doctor", "--json"}, {{"DISPLAY", ":5"}, {"WAYLAND_DISPLAY", "wayland-0"}});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    JsonValue v;
    std::string error;
    ASSERT_TRUE(parseJson(r.out, v, error)) << error << r.out;
    ASSERT_EQ(v["keyboards"].array.size(), 1u) << r.out;
    const JsonValue& keyboard = v["keyboards"][0];
    EXPECT_EQ(keyboard["door"].string, throughUsb ? "usb" : "socket");
    EXPECT_TRUE(keyboard["used"].boolean);
    const JsonValue& interfaces = keyboard["interfaces"];
    ASSERT_EQ(interfaces.array.size(), throughUsb ? 2u : 1u);
    const JsonValue& configuration = interfaces.array.back();
    EXPECT_EQ(configuration["devicePath"].string, socketPath);
    EXPECT_TRUE(configuration["mayOpen"].boolean);
    EXPECT_FALSE(configuration["inExchange"].boolean);
    EXPECT_EQ(v["session"]["type"].string, "XWayland");
    EXPECT_EQ(v["firmwareVersion"].string, "OSKEL-DOCTOR 1.5");
    EXPECT_TRUE(v["usable"].boolean);
}

// Like hidraw, the keyboard may be open in several programs at once: with another program
// holding it open (and getting every report the keyboard sends), oskelctl reads and writes as
// ever. While another program is in an exchange (holds the keyboard's lock), oskelctl waits
// for it and then says who is in the way, not that the keyboard stopped answering.
TEST_F(OskelctlEndToEnd, AnotherProgramHoldingTheKeyboard) {
    startKeyboard();
    BackgroundProcess holder;
    int socketHolder = -1;
    if (throughUsb) {
        ASSERT_TRUE(holder.start("/bin/sh", {"-c", "exec 3<>/dev/hidraw1; echo open; exec cat"},
                                 deviceEnv()));
        std::string line;
        ASSERT_TRUE(holder.readLine(line, std::chrono::seconds(10)));
        ASSERT_EQ(line, "open");
    } else {
        socketHolder = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socketPath.c_str());
        ASSERT_EQ(::connect(socketHolder, reinterpret_cast<sockaddr*>(&address), sizeof address),
                  0);
    }
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        const std::string out = (dir / "held.pro").string();
        ProcessResult r = ctl({"write", "--verify", sample});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        r = ctl({"read", out});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        r = ctl({"version"});
        EXPECT_EQ(r.out, "OSKEL-108 V1.00\n") << r.err;
    }

    // The lock is on the node (through the USB door) or on the socket's lock file.
    const fs::path lockTarget = throughUsb
                                    ? fs::path(testbed) / "dev" / "hidraw1"
                                    : runtime / "oskel" / "locks" / fs::path(socketPath).filename();
    const int lock = ::open(lockTarget.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(lock, 0) << lockTarget;
    ASSERT_EQ(::flock(lock, LOCK_EX | LOCK_NB), 0);
    const std::size_t before = logged().size();
    ProcessResult r = ctl({"version"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("another program is using the keyboard"), std::string::npos) << r.err;
    // doctor names it too, and the program holding the node open, without waiting.
    r = ctl({"doctor"});
    EXPECT_EQ(r.exitCode, 1) << r.out;
    EXPECT_NE(r.out.find("another program is using the keyboard (in an exchange now)"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("Firmware version: not read (another program is using the keyboard)"),
              std::string::npos)
        << r.out;
    if (throughUsb) {
        EXPECT_NE(r.out.find("held open by cat (process"), std::string::npos) << r.out;
    }
    EXPECT_EQ(logged().size(), before) << "the keyboard was talked to while another held it";
    ::close(lock);
    if (socketHolder >= 0) {
        ::close(socketHolder);
    }
}

// Ctrl-C during a transfer cancels it: the command ends with its own message and the shell's
// status for SIGINT, not killed in the middle of a report.
TEST_F(OskelctlEndToEnd, InterruptEndsTheTransferWithAMessage) {
    startKeyboard({"--silent"});
    const fs::path errPath = dir / "ctl.err";
    BackgroundProcess read;
    ASSERT_TRUE(read.start(OSKELCTL_PATH, {"read", (dir / "out.pro").string()}, deviceEnv(),
                           errPath.string()));
    // The request in the keyboard's log means oskelctl is inside the transfer, its signal
    // watch long in place.
    for (int i = 0; i < 500 && logged().empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_FALSE(logged().empty()) << "the read never reached the keyboard";
    read.sendSignal(SIGINT);
    EXPECT_EQ(read.waitForExit(std::chrono::seconds(30)), 130);
    EXPECT_NE(readFile(errPath).find("interrupted"), std::string::npos) << readFile(errPath);
    EXPECT_FALSE(fs::exists(dir / "out.pro"));
}

TEST_F(OskelctlEndToEnd, BadProfilesExitTwoBeforeTheKeyboardIsTouched) {
    startKeyboard();
    const fs::path notProfile = dir / "notes.pro";
    std::ofstream(notProfile) << "<?xml version=\"1.0\"?>\r\n<Other/>\r\n";
    const std::vector<std::vector<std::string>> commands = {
        {"write", notProfile.string()},
        {"write", (dir / "missing.pro").string()},
        {"show", notProfile.string()},
        {"show", "--json", (dir / "missing.pro").string()},
        // Neither is read at all: one has no end, the other waits for a writer forever.
        {"show", "/dev/zero"},
        {"write", (dir / "fifo.pro").string()},
    };
    ASSERT_EQ(::mkfifo((dir / "fifo.pro").c_str(), 0600), 0);
    for (const auto& args : commands) {
        const ProcessResult r = ctl(args);
        EXPECT_EQ(r.exitCode, 2) << ::testing::PrintToString(args);
        EXPECT_NE(r.err.find("cannot read the profile"), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty());
    }
    EXPECT_TRUE(logged().empty());
}

TEST_F(OskelctlEndToEnd, ReadThatCannotSaveExitsTwo) {
    startKeyboard();
    ASSERT_EQ(::mkfifo((dir / "fifo.pro").c_str(), 0600), 0);
    for (const fs::path& out : {dir / "no" / "such" / "folder.pro", dir / "fifo.pro"}) {
        const ProcessResult r = ctl({"read", out.string()});
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_NE(r.err.find("cannot save the profile"), std::string::npos) << r.err;
    }
    EXPECT_TRUE(fs::is_fifo(dir / "fifo.pro"));
}

// A profile that ends before its last key (a download cut off, a full disk) would blank the
// keys it never reached: write refuses it unless told to go ahead, show warns.
TEST_F(OskelctlEndToEnd, ProfileCutShortIsWrittenOnlyWithForce) {
    startKeyboard();
    const std::string text = readFile(sample);
    const fs::path cut = dir / "cut.pro";
    std::ofstream(cut, std::ios::binary) << text.substr(0, text.find("<KEY ID=\"60\""));
    ProcessResult r = ctl({"write", cut.string()});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("is incomplete"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("--force"), std::string::npos) << r.err;
    EXPECT_TRUE(logged().empty());

    r = ctl({"show", cut.string()});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.err.find("warning: the profile"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("\tMacro\t"), std::string::npos) << r.out;  // key 10 came before the cut

    r = ctl({"write", "--force", cut.string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    // Key 88 lay after the cut: it goes out as the empty record.
    const std::vector<std::string> log = loggedLines(expectedKeyWrite().size());
    ASSERT_GT(log.size(), 88u);
    EXPECT_EQ(log[88], hex({0x00, 0xF0, 1, 88}));
    EXPECT_EQ(log[10], expectedKeyWrite()[10]);
}

TEST_F(OskelctlEndToEnd, HelpAndUsageErrors) {
    for (const char* command : {"detect", "version", "write", "read", "firmware", "show"}) {
        const ProcessResult r = ctl({command, "--help"});
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(r.out.rfind(std::string("Usage: oskelctl ") + command, 0), 0u) << r.out;
    }
    ProcessResult r = ctl({"--help"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("firmware"), std::string::npos);
    r = ctl({"frobnicate"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("unknown command"), std::string::npos);
    r = ctl({});
    EXPECT_EQ(r.exitCode, 2);
}

// Verification: what the keyboard holds against the sample profile. With room for 256 bytes of
// key records the keyboard keeps the first four of the sample's eight (64 bytes each, in slot
// order) and holds the other four as empty keys.
const std::vector<std::string> kCutSample = {
    "PlayPause, level 1: the key Play/Pause (code 111) was written, the keyboard holds an empty "
    "slot",
    "F4, level 2: a combination of 2 keys (Left CONTROL + C) was written, the keyboard holds an "
    "empty slot",
    "W, level 2: a combination of 2 keys (Mouse Key Left + Mouse Key Left) was written, the "
    "keyboard holds an empty slot",
    "Fn, level 2: the key FN (code 156) was written, the keyboard holds an empty slot",
};

struct VerifyCase {
    const char* name;
    std::vector<std::string> keyboardArgs;
    std::vector<std::string> command;  // "SAMPLE" stands for the sample profile
    int exitCode;
    std::vector<std::string> differences;
};

void PrintTo(const VerifyCase& c, std::ostream* os) {
    *os << c.name;
}

class OskelctlWriteVerify : public OskelctlEndToEnd,
                            public ::testing::WithParamInterface<VerifyCase> {};

TEST_P(OskelctlWriteVerify, ReportsWhatTheKeyboardDidNotKeep) {
    const VerifyCase& c = GetParam();
    startKeyboard(c.keyboardArgs);
    std::vector<std::string> args;
    for (const std::string& a : c.command) {
        args.push_back(a == "SAMPLE" ? sample : a);
    }
    const ProcessResult r = ctl(args);
    EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
    std::vector<std::string> out = lines(r.out);
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out[0].rfind("Wrote ", 0), 0u) << out[0];
    out.erase(out.begin());
    if (c.exitCode == 0) {
        EXPECT_EQ(out, std::vector<std::string>{"Verified: the keyboard holds what was written."});
        EXPECT_EQ(r.err, "");
    } else {
        EXPECT_EQ(out, c.differences);
        EXPECT_NE(r.err.find("does not hold " + sample + ": " +
                             std::to_string(c.differences.size()) + " difference(s)"),
                  std::string::npos)
            << r.err;
    }
    // The read-back asks for what was written and for nothing else.
    const std::vector<std::string> log = logged();
    const bool keys = c.command[1] != "--lights-only";
    const bool lights = c.command[1] != "--keys-only";
    std::vector<std::string> requests;
    if (keys) {
        requests.push_back(hex({0x00, 0xF2}));
    }
    if (lights) {
        requests.push_back(hex({0x00, 0xE2}));
    }
    ASSERT_GE(log.size(), requests.size());
    EXPECT_EQ(std::vector<std::string>(log.end() - requests.size(), log.end()), requests);
}

INSTANTIATE_TEST_SUITE_P(
    Memory, OskelctlWriteVerify,
    ::testing::Values(
        VerifyCase{"Unlimited", {}, {"write", "--verify", "SAMPLE"}, 0, {}},
        VerifyCase{"Cut", {"--memory", "256"}, {"write", "--verify", "SAMPLE"}, 3, kCutSample},
        VerifyCase{"CutKeysOnly",
                   {"--memory", "256"},
                   {"write", "--keys-only", "--verify", "SAMPLE"},
                   3,
                   kCutSample},
        VerifyCase{"CutButLightsOnly",
                   {"--memory", "256"},
                   {"write", "--lights-only", "--verify", "SAMPLE"},
                   0,
                   {}},
        VerifyCase{"NoRoomAtAllInChinese",
                   {"--memory", "0"},
                   {"write", "--keys-only", "--verify", "--lang", "zh-CN", "SAMPLE"},
                   3,
                   {"Esc，上档键：写入的是按键 F1（代码 2），键盘上是空键位",
                    "F9，上档键：写入的是2 步的宏，键盘上是空键位",
                    "6，上档键：写入的是2 个键的连发列表（间隔 40 ms），键盘上是空键位",
                    "Fn，上档键：写入的是按键 FN（代码 156），键盘上是空键位",
                    "PlayPause，上档键：写入的是按键 Play/Pause（代码 111），键盘上是空键位",
                    "F4，下档键：写入的是2 个键的组合（Left CONTROL + C），键盘上是空键位",
                    "W，下档键：写入的是2 个键的组合（Mouse Key Left + Mouse Key Left），键盘上"
                    "是空键位",
                    "Fn，下档键：写入的是按键 FN（代码 156），键盘上是空键位"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OskelctlEndToEnd, VerifyComparesWithoutWriting) {
    startKeyboard({"--memory", "256"});
    // A fresh keyboard: every assigned slot is missing and every colour but black differs.
    ProcessResult r = ctl({"verify", sample});
    EXPECT_EQ(r.exitCode, 3) << r.err;
    std::vector<std::string> out = lines(r.out);
    ASSERT_EQ(out.size(), 8u + 108u);
    EXPECT_EQ(out[0],
              "Esc, level 1: the key F1 (code 2) was written, the keyboard holds an empty slot");
    EXPECT_EQ(out[8], "Esc: the backlight (255, 0, 0) was written, the keyboard holds (0, 0, 0)");
    EXPECT_EQ(out.back(),
              "KPEnter: the backlight (1, 2, 3) was written, the keyboard holds (0, 0, 0)");
    EXPECT_EQ(logged(), (std::vector<std::string>{hex({0x00, 0xF2}), hex({0x00, 0xE2})}));

    ASSERT_EQ(ctl({"write", sample}).exitCode, 0);
    r = ctl({"verify", sample});
    EXPECT_EQ(r.exitCode, 3) << r.err;
    EXPECT_EQ(lines(r.out), kCutSample);

    // A profile of only what fits agrees.
    const fs::path small = dir / "small.pro";
    ASSERT_EQ(ctl({"read", small.string()}).exitCode, 0);
    r = ctl({"verify", small.string()});
    EXPECT_EQ(r.exitCode, 0) << r.err << r.out;
    EXPECT_EQ(lines(r.out), (std::vector<std::string>{"The keyboard holds the key settings and "
                                                      "the backlight of " +
                                                      small.string() + "."}));
}

TEST_F(OskelctlEndToEnd, VerifyExitCodesForBadProfilesAndDevices) {
    const fs::path notProfile = dir / "notes.pro";
    std::ofstream(notProfile) << "<Other/>";
    struct Case {
        std::vector<std::string> keyboardArgs;  // empty: no keyboard at all
        bool keyboard;
        std::vector<std::string> command;
        int exitCode;
        const char* message;
    };
    const Case cases[] = {
        {{}, false, {"verify", sample}, 1, "Keyboard is not connected!"},
        {{}, false, {"write", "--verify", sample}, 1, "Keyboard is not connected!"},
        {{}, true, {"verify", notProfile.string()}, 2, "cannot read the profile"},
        {{}, true, {"write", "--verify", notProfile.string()}, 2, "cannot read the profile"},
        {{"--silent"}, true, {"verify", sample}, 1, "reading the keyboard back failed"},
        {{"--drop-after", "1"}, true, {"verify", sample}, 1, "reading the keyboard back failed"},
    };
    for (const Case& c : cases) {
        if (c.keyboard) {
            startKeyboard(c.keyboardArgs);
        }
        const ProcessResult r = ctl(c.command);
        EXPECT_EQ(r.exitCode, c.exitCode) << ::testing::PrintToString(c.command);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty()) << r.out;
        keyboard.stop();
    }
}

TEST_F(OskelctlEndToEnd, RecentListsTheProgramsProfilesThatStillExist) {
    const fs::path config = dir / "config";
    fs::create_directories(config / "oskel");
    const std::map<std::string, std::string> settings = {{"XDG_CONFIG_HOME", config.string()}};
    ProcessResult r = ctl({"recent"}, settings);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "");

    const std::string gone = (dir / "gone.pro").string();
    std::ofstream(config / "oskel" / "recent-profiles") << sample << "\n"
                                                        << gone << "\n"
                                                        << dir.string() << "\n";
    r = ctl({"recent"}, settings);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, sample + "\n");
    EXPECT_EQ(r.err, "");
}

struct ResetCase {
    const char* name;
    std::vector<std::string> options;
    bool keys;
    bool lights;
    const char* said;
};

void PrintTo(const ResetCase& c, std::ostream* os) {
    *os << c.name;
}

class OskelctlReset : public OskelctlEndToEnd, public ::testing::WithParamInterface<ResetCase> {};

// After the sample was written, reset sends the empty records and the default (dark) lights,
// byte for byte, and the keyboard then holds nothing of the sample.
TEST_P(OskelctlReset, SendsTheEmptyConfigurationAndTheDefaultLights) {
    const ResetCase& c = GetParam();
    startKeyboard();
    ASSERT_EQ(ctl({"write", sample}).exitCode, 0);
    const std::size_t before =
        loggedLines(expectedKeyWrite().size() + expectedLightWrite().size()).size();
    std::vector<std::string> args{"reset"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const ProcessResult r = ctl(args);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out.find(c.said), 0u) << r.out;
    std::vector<std::string> expected;
    if (c.keys) {
        expected = emptyKeyWrite();
    }
    if (c.lights) {
        expected = concat(expected, lightWriteOf(std::vector<std::uint8_t>(324, 0)));
    }
    const std::vector<std::string> log = loggedLines(before + expected.size());
    ASSERT_GE(log.size(), before);
    EXPECT_EQ(std::vector<std::string>(log.begin() + before, log.end()), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Parts, OskelctlReset,
    ::testing::Values(ResetCase{"Both", {}, true, true, "Reset the key settings and the backlight"},
                      ResetCase{"Keys", {"--keys"}, true, false, "Reset the key settings:"},
                      ResetCase{"Lights", {"--lights"}, false, true, "Reset the backlight:"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OskelctlEndToEnd, ResetExitCodesAsForWrite) {
    struct Case {
        std::vector<std::string> keyboardArgs;
        bool keyboard;
        std::vector<std::string> command;
        int exitCode;
        const char* message;
    };
    const Case cases[] = {
        {{}, false, {"reset"}, 1, "Keyboard is not connected!"},
        {{"--drop-after", "5"}, true, {"reset"}, 1, "writing the key settings failed"},
        {{"--drop-after", "5"}, true, {"reset", "--lights"}, 1, "writing the backlight failed"},
        {{}, true, {"reset", "--keys", "--lights"}, 2, "--keys and --lights exclude each other"},
        {{}, true, {"reset", "--keys-only"}, 2, "unknown option --keys-only"},
    };
    for (const Case& c : cases) {
        if (c.keyboard) {
            startKeyboard(c.keyboardArgs);
        }
        const ProcessResult r = ctl(c.command);
        EXPECT_EQ(r.exitCode, c.exitCode) << ::testing::PrintToString(c.command);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty()) << r.out;
        keyboard.stop();
    }
}

// A macro whose last release was deleted leaves its key down: show names it in a sixth field.
TEST_F(OskelctlEndToEnd, ShowMarksMacrosThatLeaveKeysHeldDown) {
    std::string text = readFile(sample);
    const std::string release = "<x ID=\"2\" t1=\"A UP\">";
    const std::size_t at = text.rfind(release);
    ASSERT_NE(at, std::string::npos);
    text.replace(at, release.size(), "<x ID=\"2\" t1=\"Left SHIFT Down\">");
    const fs::path held = dir / "held.pro";
    std::ofstream(held, std::ios::binary) << text;
    ProcessResult r = ctl({"show", "--lang", "en-US", held.string()});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    std::vector<std::string> out = lines(r.out);
    ASSERT_EQ(out.size(), 8u);
    EXPECT_EQ(out[2], "10\tF9\t1\tMacro\tA,50,Left SHIFT\tleaves held down: A, Left SHIFT");
    r = ctl({"show", "--lang", "zh-CN", held.string()});
    EXPECT_EQ(lines(r.out).at(2), "10\tF9\t1\t宏键\tA,50,Left SHIFT\t播放后仍按下：A、Left SHIFT");
}

std::vector<std::string> backupsIn(const fs::path& folder) {
    std::vector<std::string> names;
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(folder, ignored)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Before the download the keyboard's keys go into a backup, the oldest of ten is dropped, and the
// command printed afterwards writes exactly what the keyboard held back to it.
TEST_F(OskelctlEndToEnd, FirmwareBacksUpTheKeysAndSaysHowToWriteThemBack) {
    startKeyboard();
    ASSERT_EQ(ctl({"write", sample}).exitCode, 0);
    const fs::path backups = dir / "data" / "oskel" / "backups";
    fs::create_directories(backups);
    for (int i = 0; i < 10; ++i) {
        std::ofstream(backups / ("2020-01-0" + std::to_string(i % 9 + 1) + "_00-00-0" +
                                 std::to_string(i / 9) + ".pro"))
            << "old";
    }
    const ProcessResult r = ctl({"firmware", OSKEL_TEST_FIRMWARE});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::vector<std::string> out = lines(r.out);
    ASSERT_EQ(out.size(), 4u) << r.out;
    const std::string saved = out[0].substr(out[0].rfind(' ') + 1, std::string::npos);
    const std::string path = saved.substr(0, saved.size() - 1);
    EXPECT_EQ(out[0], "Saved the keyboard's keys and backlight as " + path + ".");
    EXPECT_EQ(fs::path(path).parent_path(), backups);
    EXPECT_EQ(out[1], std::string("Downloaded ") + OSKEL_TEST_FIRMWARE + " into the keyboard.");
    EXPECT_EQ(out[3], "  oskelctl write " + path);
    const std::vector<std::string> kept = backupsIn(backups);
    ASSERT_EQ(kept.size(), 10u);
    EXPECT_EQ(kept.front(), "2020-01-01_00-00-01.pro") << "the oldest is gone";
    EXPECT_EQ(kept.back(), fs::path(path).filename());

    const std::size_t before = logged().size();
    ASSERT_EQ(ctl({"write", path}).exitCode, 0);
    const std::vector<std::string> expected = concat(expectedKeyWrite(), expectedLightWrite());
    const std::vector<std::string> log = loggedLines(before + expected.size());
    ASSERT_GE(log.size(), before);
    EXPECT_EQ(std::vector<std::string>(log.begin() + before, log.end()), expected);
}

// A keyboard that cannot be read for the backup gets no firmware, unless the user says so.
TEST_F(OskelctlEndToEnd, FirmwareWithoutABackupOnlyWithNoBackup) {
    startKeyboard({"--silent"});
    ProcessResult r = ctl({"firmware", OSKEL_TEST_FIRMWARE});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("cannot back up the keyboard's keys before the update"), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("--no-backup"), std::string::npos) << r.err;
    EXPECT_EQ(logged(), std::vector<std::string>{hex({0x00, 0xF2})});
    EXPECT_TRUE(backupsIn(dir / "data" / "oskel" / "backups").empty());

    r = ctl({"firmware", "--no-backup", OSKEL_TEST_FIRMWARE});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(lines(r.out), std::vector<std::string>{std::string("Downloaded ") +
                                                     OSKEL_TEST_FIRMWARE + " into the keyboard."});
    const std::vector<std::string> log = loggedLines(1 + 12);
    ASSERT_EQ(log.size(), 13u);
    EXPECT_EQ(log[1].substr(0, 4), "003a");
}

// A FIFO without a writer or a link to /dev/zero as the list: `recent` ends at once with a
// warning instead of hanging or filling the memory.
TEST_F(OskelctlEndToEnd, RecentIgnoresWhatIsNoList) {
    const fs::path config = dir / "config";
    fs::create_directories(config / "oskel");
    const fs::path list = config / "oskel" / "recent-profiles";
    const std::map<std::string, std::string> settings = {{"XDG_CONFIG_HOME", config.string()}};
    for (const bool fifo : {true, false}) {
        fs::remove(list);
        if (fifo) {
            ASSERT_EQ(mkfifo(list.c_str(), 0600), 0);
        } else {
            fs::create_symlink("/dev/zero", list);
        }
        const ProcessResult r = ctl({"recent"}, settings);
        EXPECT_FALSE(r.timedOut);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("oskelctl: warning: the recent-profiles list " + list.string() +
                             " was ignored: it is not a regular file"),
                  std::string::npos)
            << r.err;
    }
}

// A signal that comes before a command has begun, or during one that never talks to the
// keyboard, ends oskelctl at once with the status a shell reports for it. The signal is made to
// wait for oskelctl (blocked and pending across exec), so it is there from the first instruction.
TEST_F(OskelctlEndToEnd, ASignalBeforeAnyTransferEndsTheProgramAtOnce) {
    const fs::path config = dir / "config";
    fs::create_directories(config / "oskel");
    std::ofstream(config / "oskel" / "recent-profiles") << sample << "\n";
    const char* script =
        "import os, signal, sys\n"
        "sig = getattr(signal, sys.argv[1])\n"
        "signal.pthread_sigmask(signal.SIG_BLOCK, [sig])\n"
        "os.kill(os.getpid(), sig)\n"
        "os.execv(sys.argv[2], sys.argv[2:])\n";
    const struct {
        const char* signal;
        std::vector<std::string> command;
        int exitCode;
    } cases[] = {
        {"SIGTERM", {"recent"}, 128 + SIGTERM},
        {"SIGINT", {"recent"}, 128 + SIGINT},
        {"SIGINT", {"write", sample}, 128 + SIGINT},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"-c", script, c.signal, OSKELCTL_PATH};
        args.insert(args.end(), c.command.begin(), c.command.end());
        const ProcessResult r =
            runProcess("/usr/bin/python3", args, env({{"XDG_CONFIG_HOME", config.string()}}));
        EXPECT_FALSE(r.timedOut);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.signal << " " << r.err;
        EXPECT_EQ(r.out, "") << "ended before the command ran";
        EXPECT_EQ(r.err, "");
    }
}

// An interval the keyboard cannot store (70000 ms) goes out as 65535 ms, not as the 4464 ms
// a 16-bit wrap would make: show and write say so naming the key, and the verification after
// the write counts it as a difference.
TEST_F(OskelctlEndToEnd, NumbersTheKeyboardCannotStoreAreClampedWithAWarning) {
    std::string text = readFile(sample);
    const std::size_t at = text.find("Delay=\"40\"");
    ASSERT_NE(at, std::string::npos);
    text.replace(at, 10, "Delay=\"70000\"");
    const std::string profile = (dir / "clamped.pro").string();
    std::ofstream(profile, std::ios::binary) << text;
    const std::string warning = "oskelctl: warning: " + profile +
                                ": 6, level 1: the interval is 70000 ms; the keyboard stores 0 "
                                "to 65535 ms, so 65535 ms is sent\n";

    ProcessResult r = ctl({"show", profile});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, warning);

    startKeyboard({});
    r = ctl({"write", "--keys-only", "--verify", profile});
    EXPECT_EQ(r.exitCode, 3) << r.err;
    EXPECT_EQ(r.err.rfind(warning, 0), 0u) << r.err;
    EXPECT_NE(r.out.find("6, level 1: a key list of 2 keys, 70000 ms apart was written, the "
                         "keyboard holds a key list of 2 keys, 65535 ms apart"),
              std::string::npos)
        << r.out;
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--door=usb") {
            throughUsb = true;
        }
    }
    return RUN_ALL_TESTS();
}
