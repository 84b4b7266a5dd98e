// SPDX-License-Identifier: GPL-2.0-or-later
// The parts of oskelctl that need neither the keyboard nor a profile: JSON output, the command
// line, the firmware check and the progress bar's drawing.
#include <gtest/gtest.h>

#include <random>

#include "CommandLine.h"
#include "FirmwareCheck.h"
#include "Json.h"
#include "OskelHWI.h"
#include "JsonParse.h"
#include "ProgressBar.h"
#include "Terminal.h"

namespace {

struct QuoteCase {
    std::u16string text;
    std::string json;
};

// Readable names in the test list: the expected JSON, the bytes in hex, the arguments.
std::string hexBytes(const std::string& bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (const unsigned char b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out.empty() ? "empty" : out;
}

void PrintTo(const QuoteCase& c, std::ostream* os) {
    *os << hexBytes(c.json);
}

class JsonQuoteTest : public ::testing::TestWithParam<QuoteCase> {};

TEST_P(JsonQuoteTest, GivesValidJsonWithTheExpectedBytes) {
    const QuoteCase& c = GetParam();
    const std::string quoted = jsonQuote(utf16ToUtf8(c.text));
    EXPECT_EQ(quoted, c.json);
    JsonValue parsed;
    std::string error;
    ASSERT_TRUE(parseJson(quoted, parsed, error)) << error;
    EXPECT_EQ(parsed.type, JsonValue::Type::String);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, JsonQuoteTest,
    ::testing::Values(
        QuoteCase{u"", "\"\""}, QuoteCase{u"Left CTRL", "\"Left CTRL\""},
        QuoteCase{u"a\"b\\c", "\"a\\\"b\\\\c\""}, QuoteCase{u"\n\r\t\b\f", "\"\\n\\r\\t\\b\\f\""},
        QuoteCase{u"\x01\x1f\x7f", "\"\\u0001\\u001f\\u007f\""},
        QuoteCase{std::u16string(1, u'\0'), "\"\\u0000\""}, QuoteCase{u"</List>", "\"</List>\""},
        // 上档键: three characters of three bytes each.
        QuoteCase{u"\u4e0a\u6863\u952e", "\"\xe4\xb8\x8a\xe6\xa1\xa3\xe9\x94\xae\""},
        // A surrogate pair is one code point of four bytes.
        QuoteCase{u"\xd83d\xde00", "\"\xf0\x9f\x98\x80\""},
        // Lone surrogates, and a pair in the wrong order, become U+FFFD.
        QuoteCase{u"\xd800", "\"\xef\xbf\xbd\""}, QuoteCase{u"x\xdc00y", "\"x\xef\xbf\xbdy\""},
        QuoteCase{u"\xdc00\xd800", "\"\xef\xbf\xbd\xef\xbf\xbd\""},
        QuoteCase{u"a\xd83d", "\"a\xef\xbf\xbd\""}));

struct BadBytesCase {
    std::string bytes;
    std::string quoted;
};

void PrintTo(const BadBytesCase& c, std::ostream* os) {
    *os << hexBytes(c.bytes);
}

class JsonQuoteBadBytesTest : public ::testing::TestWithParam<BadBytesCase> {};

TEST_P(JsonQuoteBadBytesTest, ReplacesWhatIsNotUtf8) {
    EXPECT_EQ(jsonQuote(GetParam().bytes), GetParam().quoted);
}

const std::string kFffd = "\xef\xbf\xbd";

// Each byte that cannot continue a sequence becomes U+FFFD on its own; a sequence cut short by
// the end of the text becomes one.
INSTANTIATE_TEST_SUITE_P(
    Bytes, JsonQuoteBadBytesTest,
    ::testing::Values(BadBytesCase{"plain", "\"plain\""},
                      BadBytesCase{"\xe4\xb8\x8a", "\"\xe4\xb8\x8a\""},
                      BadBytesCase{"\xf0\x9f\x98\x80", "\"\xf0\x9f\x98\x80\""},
                      BadBytesCase{"\xc0\xaf", "\"" + kFffd + kFffd + "\""},  // overlong '/'
                      BadBytesCase{"\xed\xa0\x80", "\"" + kFffd + kFffd + kFffd + "\""},
                      BadBytesCase{"\xf4\x90\x80\x80", "\"" + kFffd + kFffd + kFffd + kFffd + "\""},
                      BadBytesCase{"a\xe4\xb8", "\"a" + kFffd + "\""},
                      BadBytesCase{"\x80z", "\"" + kFffd + "z\""},
                      BadBytesCase{"\xff\x7f", "\"" + kFffd + "\\u007f\""}));

TEST(Utf8ToUtf16, IsTheInverseOfUtf16ToUtf8) {
    const std::u16string texts[] = {u"", u"Left CTRL Down", u"\u5b8f\u5b9a\u4e49", u"\xd83d\xde00x",
                                    std::u16string(1, u'\0')};
    for (const std::u16string& text : texts) {
        EXPECT_EQ(utf8ToUtf16(utf16ToUtf8(text)), text);
    }
}

TEST(JsonQuote, EveryUtf16UnitAloneGivesValidJson) {
    for (int u = 0; u <= 0xFFFF; ++u) {
        const std::u16string text = {u'[', static_cast<char16_t>(u), u']'};
        JsonValue parsed;
        std::string error;
        ASSERT_TRUE(parseJson(jsonQuote(utf16ToUtf8(text)), parsed, error))
            << "unit " << u << ": " << error;
    }
}

TEST(JsonQuote, RandomBytesAndUnitsAlwaysGiveValidJson) {
    std::mt19937 random(5);
    for (int round = 0; round < 2000; ++round) {
        std::string bytes(random() % 40, '\0');
        for (char& c : bytes) {
            c = static_cast<char>(random());
        }
        std::u16string units(random() % 40, u'\0');
        for (char16_t& c : units) {
            // Mostly surrogates and controls, where the faults would be.
            c = static_cast<char16_t>(random() % 3 == 0 ? 0xD800 + random() % 0x800 : random());
        }
        const std::string text =
            formatJson(Json::array({utf16ToUtf8(units), Json(std::string(bytes))}), false);
        JsonValue parsed;
        std::string error;
        ASSERT_TRUE(parseJson(text, parsed, error)) << error;
        ASSERT_EQ(parsed.array.size(), 2u);
    }
}

TEST(FormatJson, NestsObjectsAndArraysWithCommas) {
    const Json document{
        {"empty", Json::array()},
        {"none", Json::object()},
        {"colour", {255, 0, -3}},
        {"list", Json::array({Json{{"flag", true}, {"nothing", nullptr}}, "\xe5\xae\x8f"})}};
    for (const bool pretty : {true, false}) {
        const std::string text = formatJson(document, pretty);
        JsonValue v;
        std::string error;
        ASSERT_TRUE(parseJson(text, v, error)) << error << "\n" << text;
        ASSERT_EQ(v.object.size(), 4u);
        EXPECT_EQ(v.object[0].first, "empty");
        EXPECT_TRUE(v["empty"].array.empty());
        EXPECT_EQ(v["none"].type, JsonValue::Type::Object);
        ASSERT_EQ(v["colour"].array.size(), 3u);
        EXPECT_EQ(v["colour"][2].integer(), -3);
        EXPECT_TRUE(v["list"][0]["flag"].boolean);
        EXPECT_EQ(v["list"][0]["nothing"].type, JsonValue::Type::Null);
        EXPECT_EQ(v["list"][1].string, "\xe5\xae\x8f");
    }
}

TEST(FormatJson, KeepsTheLayoutOfTheOutput) {
    const Json document{{"a", {1, 2}}, {"b", Json::array({"x", Json::object()})}, {"c", {}}};
    EXPECT_EQ(formatJson(document),
              "{\n  \"a\": [1, 2],\n  \"b\": [\n    \"x\",\n    {}\n  ],\n  \"c\": null\n}\n");
    EXPECT_EQ(formatJson(document, false), "{\"a\":[1,2],\"b\":[\"x\",{}],\"c\":null}");
}

struct ParseCase {
    std::vector<std::string> args;
    bool ok;
    Command command;
    std::string path;
    std::string errorPart;  // when !ok
};

void PrintTo(const ParseCase& c, std::ostream* os) {
    *os << "oskelctl";
    for (const std::string& a : c.args) {
        *os << " " << a;
    }
}

class CommandLineTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(CommandLineTest, Parses) {
    const ParseCase& c = GetParam();
    const ParseResult r = parseCommandLine(c.args);
    EXPECT_EQ(r.ok, c.ok) << r.error;
    if (c.ok) {
        EXPECT_EQ(r.options.command, c.command);
        EXPECT_EQ(r.options.path, c.path);
    } else {
        EXPECT_NE(r.error.find(c.errorPart), std::string::npos) << r.error;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, CommandLineTest,
    ::testing::Values(
        ParseCase{{"detect"}, true, Command::Detect, "", ""},
        ParseCase{{"import", "a.json", "-o", "a.pro"}, true, Command::Import, "a.json", ""},
        ParseCase{{"import", "--output=a.pro", "-"}, true, Command::Import, "-", ""},
        ParseCase{{"import", "a.json"}, false, Command::Import, "", "import needs -o PROFILE"},
        ParseCase{{"import", "a.json", "-o"}, false, Command::Import, "", "-o needs a value"},
        ParseCase{{"diff", "a.pro", "-"}, true, Command::Diff, "a.pro", ""},
        ParseCase{{"diff", "--json", "-", "b.pro"}, true, Command::Diff, "-", ""},
        ParseCase{{"diff", "a.pro"}, false, Command::Diff, "", "diff needs two profiles"},
        ParseCase{{"diff", "a", "b", "c"}, false, Command::Diff, "", "unexpected argument \"c\""},
        ParseCase{{"diff", "--json", "--lang", "zh-CN", "a", "b"},
                  false,
                  Command::Diff,
                  "",
                  "--lang has no effect with --json"},
        ParseCase{{"write", "--recent", "2"}, true, Command::Write, "", ""},
        ParseCase{{"write", "--recent=0"}, false, Command::Write, "", "--recent needs a number"},
        ParseCase{{"write", "--recent", "x"}, false, Command::Write, "", "--recent needs a number"},
        ParseCase{{"write", "--recent", "1", "a.pro"}, false, Command::Write, "", "not both"},
        ParseCase{{"next", "--verify", "--lang", "zh-CN"}, true, Command::Next, "", ""},
        ParseCase{{"previous"}, true, Command::Previous, "", ""},
        ParseCase{{"next", "a.pro"}, false, Command::Next, "", "unexpected argument"},
        ParseCase{{"previous", "--json"}, false, Command::Previous, "", "unknown option --json"},
        ParseCase{{"version"}, true, Command::Version, "", ""},
        ParseCase{{"write", "a.pro"}, true, Command::Write, "a.pro", ""},
        ParseCase{{"write", "--keys-only", "a.pro"}, true, Command::Write, "a.pro", ""},
        ParseCase{{"write", "a.pro", "--lights-only"}, true, Command::Write, "a.pro", ""},
        ParseCase{{"read", "out.pro"}, true, Command::Read, "out.pro", ""},
        ParseCase{{"firmware", "fw.hex"}, true, Command::Firmware, "fw.hex", ""},
        ParseCase{{"show", "--lang", "zh-CN", "a.pro"}, true, Command::Show, "a.pro", ""},
        ParseCase{{"show", "--lang=en-US", "a.pro"}, true, Command::Show, "a.pro", ""},
        ParseCase{{"show", "--json", "a.pro"}, true, Command::Show, "a.pro", ""},
        ParseCase{{"show", "--", "--help"}, true, Command::Show, "--help", ""},
        ParseCase{{"--help"}, true, Command::None, "", ""},
        ParseCase{{"help"}, true, Command::None, "", ""},
        ParseCase{{"write", "--help"}, true, Command::Write, "", ""},
        ParseCase{{}, false, Command::None, "", "no command"},
        ParseCase{{"flash"}, false, Command::None, "", "unknown command \"flash\""},
        ParseCase{{"--verbose"}, false, Command::None, "", "unknown option --verbose"},
        ParseCase{{"write"}, false, Command::None, "", "write needs a file"},
        ParseCase{{"write", "a.pro", "b.pro"}, false, Command::None, "", "unexpected argument"},
        ParseCase{{"write", "--keys-only", "--lights-only", "a.pro"},
                  false,
                  Command::None,
                  "",
                  "exclude each other"},
        ParseCase{{"read", "--keys-only", "a.pro"},
                  false,
                  Command::None,
                  "",
                  "unknown option --keys-only for read"},
        ParseCase{
            {"show", "--lang", "fr-FR", "a.pro"}, false, Command::None, "", "unknown language"},
        ParseCase{{"show", "a.pro", "--lang"}, false, Command::None, "", "--lang needs"},
        ParseCase{{"show", "--json", "--lang", "en-US", "a.pro"},
                  false,
                  Command::None,
                  "",
                  "--lang has no effect"},
        ParseCase{{"detect", "extra"}, false, Command::None, "", "unexpected argument"},
        ParseCase{{"verify", "a.pro"}, true, Command::Verify, "a.pro", ""},
        ParseCase{{"verify", "--lang", "zh-CN", "a.pro"}, true, Command::Verify, "a.pro", ""},
        ParseCase{
            {"write", "--verify", "--lang=en-US", "a.pro"}, true, Command::Write, "a.pro", ""},
        ParseCase{{"recent"}, true, Command::Recent, "", ""},
        ParseCase{{"verify"}, false, Command::None, "", "verify needs a file"},
        ParseCase{{"recent", "a.pro"}, false, Command::None, "", "unexpected argument"},
        ParseCase{{"read", "--verify", "a.pro"}, false, Command::None, "", "unknown option"},
        ParseCase{{"verify", "--json", "a.pro"}, false, Command::None, "", "unknown option"},
        ParseCase{{"write", "--lang", "zh-CN", "a.pro"}, false, Command::None, "", "--verify"}));

TEST(CommandLine, EveryCommandHasItsOwnUsage) {
    for (const Command c : {Command::Detect, Command::Version, Command::Write, Command::Read,
                            Command::Verify, Command::Firmware, Command::Show, Command::Recent}) {
        const std::string usage = usageText(c);
        EXPECT_EQ(usage.rfind("Usage: oskelctl " + commandName(c), 0), 0u) << usage;
        EXPECT_NE(usageText(Command::None).find("  " + commandName(c)), std::string::npos);
    }
}

struct FirmwareCase {
    std::string text;
    std::string faultPart;  // empty: accepted
};

void PrintTo(const FirmwareCase& c, std::ostream* os) {
    *os << (c.faultPart.empty() ? "accepted" : c.faultPart);
}

class FirmwareCheckTest : public ::testing::TestWithParam<FirmwareCase> {};

TEST_P(FirmwareCheckTest, AcceptsOnlyWhatTheKeyboardTakes) {
    const std::string fault = checkFirmwareText(GetParam().text);
    if (GetParam().faultPart.empty()) {
        EXPECT_EQ(fault, "");
    } else {
        EXPECT_NE(fault.find(GetParam().faultPart), std::string::npos) << fault;
    }
}

const std::string kGoodLine = ":0100000000FF";  // one data byte at address 0
const std::string kEndLine = ":00000001FF";

INSTANTIATE_TEST_SUITE_P(
    Texts, FirmwareCheckTest,
    ::testing::Values(
        FirmwareCase{kGoodLine + "\r\n" + kEndLine + "\r\n", ""},
        FirmwareCase{kGoodLine + "\n" + kEndLine, ""},  // LF, last line without an ending
        FirmwareCase{kGoodLine + "\r" + kEndLine + "\r", ""},
        FirmwareCase{":020000040800f2\n:0100000000ff\n:00000001ff\n", ""},  // lower-case digits
        FirmwareCase{":020000040800F2\n" + kEndLine, "the file holds no data record"},
        FirmwareCase{kGoodLine + "\n" + kGoodLine + "\n" + kEndLine,
                     "line 2: writes address 00000000 again, which line 1 wrote already"},
        FirmwareCase{kGoodLine + "\n:0100000100FE\n",
                     "line 2: is an end-of-file record, but it carries data"},
        FirmwareCase{kGoodLine + " \n" + kEndLine,
                     "line 1: ends with a space after its hexadecimal digits"},
        FirmwareCase{std::string(CTravoHWI::kMaxFirmwareBytes + 1, '\n'),
                     "larger than any firmware image"},
        FirmwareCase{kGoodLine + "\n\n" + kEndLine + "\n", "line 2: is empty"},
        FirmwareCase{kGoodLine + "\n", "the file ends without the end-of-file record"},
        FirmwareCase{kGoodLine + "\n" + kEndLine + "\n\ngarbage\n",
                     "line 2: is the end-of-file record, but"},
        FirmwareCase{":00000006FA\n" + kEndLine, "line 1: has record type 06"},
        FirmwareCase{"", "no firmware records"}, FirmwareCase{"\r\n", "no firmware records"},
        FirmwareCase{"020000040800F2\n", "line 1: does not start with ':'"},
        FirmwareCase{kGoodLine + "\nX\n", "line 2: does not start"},
        FirmwareCase{":020000040800F\n", "odd number"},
        FirmwareCase{":020000040800G2\n", "not a hexadecimal digit"},
        FirmwareCase{":030000040800F2\n", "length byte"},
        FirmwareCase{":020000040800F3\n", "checksum"}, FirmwareCase{":0000\n", "length byte"},
        // 58 data bytes make a 63-byte record: one more than a report carries.
        FirmwareCase{":3A000000" + std::string(116, '0') + "C6\n", "longer than"}));

TEST(ProgressBar, DrawsTheShareDoneAndClampsIt) {
    EXPECT_EQ(ProgressBar::render("Writing", 0), "Writing [------------------------------]   0%");
    EXPECT_EQ(ProgressBar::render("Writing", 50), "Writing [###############---------------]  50%");
    EXPECT_EQ(ProgressBar::render("Writing", 100), "Writing [##############################] 100%");
    EXPECT_EQ(ProgressBar::render("Writing", 170), ProgressBar::render("Writing", 100));
    EXPECT_EQ(ProgressBar::render("Writing", -4), ProgressBar::render("Writing", 0));
}

TEST(Terminal, ControlCharactersNeverReachTheTerminal) {
    EXPECT_EQ(printable(u"A\tB\x1b[2J"),
              "A\xef\xbf\xbd"
              "B\xef\xbf\xbd[2J");
    EXPECT_EQ(printable(u"\u4e0a"), "\xe4\xb8\x8a");
}

}  // namespace
