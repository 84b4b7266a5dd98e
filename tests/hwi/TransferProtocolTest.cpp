// SPDX-License-Identifier: GPL-2.0-or-later
// The key, light and version exchanges of the keyboard model, against a scripted transport.
#include <gtest/gtest.h>

#include <atomic>
#include <numeric>

#include "ExchangeBounds.h"
#include "Firmware.h"
#include "KeyConfiguration.h"
#include "ScriptedTransport.h"
#include "TestSupport.h"
#include "Travo.h"

using namespace oskeltest;
using oskel::hid::keyDefineFromConfiguration;

namespace {

class TransferProtocol : public testing::Test {
protected:
    ScriptedTransport transport;
    CTravo keyboard{&transport};
    MessageLog window;

    void set(int level, int key, std::vector<int> config) {
        keyboard.setSlot(level, key, keyDefineFromConfiguration(level, key, config.data()));
    }
    std::vector<int> get(int level, int key) {
        std::vector<int> config(80, -1);
        oskel::hid::configurationFromKeyDefine(keyboard.slot(level, key), config.data(), 80);
        return config;
    }
};

TEST_F(TransferProtocol, EmptyWriteSendsBeginAllEmptyRecordsAndEnd) {
    ASSERT_TRUE(keyboard.writeAllKeys(&window));
    ASSERT_EQ(transport.written.size(), 218u);
    EXPECT_EQ(transport.written.front(), payloadFromHex("00F1"));
    for (int slot = 0; slot < 216; ++slot) {
        Payload expected{0x00, 0xF0, static_cast<std::uint8_t>(slot / 108 + 1),
                         static_cast<std::uint8_t>(slot % 108 + 1)};
        EXPECT_EQ(transport.written[1 + slot], expected) << "slot " << slot;
    }
    Payload end;
    end.fill(0xF6);
    end[0] = 0x00;
    EXPECT_EQ(transport.written.back(), end);
    std::vector<std::uintptr_t> expected(216);
    std::iota(expected.begin(), expected.end(), 0);
    EXPECT_EQ(window.progress(), expected);
    EXPECT_EQ(transport.badWrites, 0);
}

TEST_F(TransferProtocol, WriteSendsEachDefinitionInItsSlot) {
    set(1, 5, {0, 2, 0x82, 0x82});
    std::vector<int> macro = {2, 0, 1, 0, 0, 54};
    for (int i = 0; i < 54; ++i) macro.push_back(i + 1);
    set(2, 1, macro);
    set(2, 2, {2, 1, 1, 0, 10, 0});  // a macro without steps
    ASSERT_TRUE(keyboard.writeAllKeys(nullptr));
    ASSERT_EQ(transport.written.size(), 219u);
    EXPECT_EQ(transport.written[5], payloadFromHex("00F0 0105 00 02 8282"));
    // Slot 108 (level 2 key 1) takes two reports with the same header.
    const auto& first = transport.written[1 + 108];
    const auto& second = transport.written[1 + 109];
    EXPECT_TRUE(std::equal(first.begin(), first.begin() + 11, second.begin()));
    EXPECT_EQ(first[10], 54);
    EXPECT_EQ(second[11], 54);
    // The empty macro goes out as the empty record, so the keyboard drops what it held there.
    EXPECT_EQ(transport.written[1 + 110], payloadFromHex("00F0 0202"));
}

TEST_F(TransferProtocol, WriteStopsAtTheFirstFailedReport) {
    for (int failFrom : {0, 1, 50, 217}) {
        ScriptedTransport failing;
        failing.failWritesFrom = failFrom;
        CTravo model(&failing);
        MessageLog log;
        EXPECT_FALSE(model.writeAllKeys(&log)) << failFrom;
        EXPECT_EQ(failing.written.size(), static_cast<std::size_t>(failFrom));
        EXPECT_EQ(log.progress().size(), static_cast<std::size_t>(std::max(0, failFrom - 1)));
    }
}

TEST_F(TransferProtocol, CancelledTransfersStopBeforeTheirNextReport) {
    std::atomic<bool> cancel{true};
    transport.setCancelFlag(&cancel);
    EXPECT_FALSE(keyboard.writeAllKeys(nullptr));
    EXPECT_FALSE(keyboard.readAllKeys(nullptr));
    EXPECT_FALSE(keyboard.writeLights());
    EXPECT_TRUE(transport.written.empty());
}

TEST_F(TransferProtocol, ReadStoresRecordsAndGathersMacroPayloads) {
    set(1, 9, {0, 1, 0x33});  // the keyboard sends nothing for it: it stays
    transport.answer("00F0 0105 00 02 8282");
    // A macro of L = 54 spans two reports; the second is taken whatever it holds.
    std::string header = "00F0 0201 02 01 00 0000 0036 ";
    transport.answer(header + std::string(106, '7'));
    transport.answer("00F0 0108 00 01 99");  // looks like a record, but belongs to the macro
    transport.answer("00F0 0107 01 0064 01 04");
    transport.answerFilled(0xF6);
    ASSERT_TRUE(keyboard.readAllKeys(&window));
    EXPECT_EQ(transport.written.front(), payloadFromHex("00F2"));
    auto fixed = get(1, 5);
    EXPECT_EQ(std::vector<int>(fixed.begin(), fixed.begin() + 5),
              (std::vector<int>{0, 2, 0x82, 0x82, -1}));
    auto macro = get(2, 1);
    EXPECT_EQ(macro[5], 54);
    EXPECT_EQ(macro[6 + 52], 0x77);
    EXPECT_EQ(macro[6 + 53], 0x00);  // byte 11 of the second report, as the script put it there
    auto typed = get(1, 7);
    EXPECT_EQ(std::vector<int>(typed.begin(), typed.begin() + 4), (std::vector<int>{1, 100, 1, 4}));
    EXPECT_EQ(get(1, 9)[2], 0x33);
    EXPECT_EQ(keyboard.slot(1, 8), nullptr);
    EXPECT_EQ(window.progress(), (std::vector<std::uintptr_t>{4, 108, 6}));
    EXPECT_TRUE(transport.answers.empty());
}

TEST_F(TransferProtocol, RecordsNamingNoSlotOrClassAreSkipped) {
    const char* skipped[] = {
        "00F0 0305 00 01 11",  // level 3
        "00F0 0005 00 01 11",  // level 0
        "00F0 0100 00 01 11",  // key 0
        "00F0 016D 00 01 11",  // key 109
        "00F0 0105 05 01 11",  // type 5
        "00F0 0105 FF 01 11",  // type 255
    };
    set(1, 5, {0, 1, 0x22});
    for (const char* hex : skipped) {
        transport.answer(hex);
    }
    transport.answer("00F0 0106 00 01 44");
    transport.answerFilled(0xF6);
    ASSERT_TRUE(keyboard.readAllKeys(&window));
    EXPECT_EQ(get(1, 5)[2], 0x22);
    EXPECT_EQ(get(1, 6)[2], 0x44);
    EXPECT_EQ(window.progress(), (std::vector<std::uintptr_t>{5}));
}

TEST_F(TransferProtocol, EndMarkerInByteZeroComesFirst) {
    transport.answer("F6F0 0105 00 01 11");
    transport.answer("00F0 0106 00 01 44");
    ASSERT_TRUE(keyboard.readAllKeys(nullptr));
    EXPECT_EQ(keyboard.slot(1, 5), nullptr);
    EXPECT_EQ(keyboard.slot(1, 6), nullptr);
    EXPECT_EQ(transport.answers.size(), 1u);
}

TEST_F(TransferProtocol, ReadIgnoresOtherReportsAndFailsWhenTheKeyboardFallsSilent) {
    transport.answer("00E0 03 010203");
    transport.answer("1234");
    transport.answer("00F0 0106 00 01 44");
    EXPECT_FALSE(keyboard.readAllKeys(nullptr));
    EXPECT_EQ(get(1, 6)[2], 0x44);
}

TEST_F(TransferProtocol, MacroCutShortLeavesItsSlotEmpty) {
    set(2, 1, {0, 1, 0x55});
    transport.answer("00F0 0201 02 01 00 0000 0036 01");
    EXPECT_FALSE(keyboard.readAllKeys(nullptr));
    EXPECT_EQ(keyboard.slot(2, 1), nullptr);
}

TEST_F(TransferProtocol, LightWriteSendsSixChunks) {
    for (std::size_t i = 0; i < keyboard.lights.size(); ++i) {
        keyboard.lights[i] = static_cast<std::uint8_t>(i);
    }
    ASSERT_TRUE(keyboard.writeLights());
    ASSERT_EQ(transport.written.size(), 8u);
    EXPECT_EQ(transport.written[0], payloadFromHex("00E1"));
    const int lengths[] = {61, 61, 61, 61, 61, 19};
    std::size_t offset = 0;
    for (int c = 0; c < 6; ++c) {
        const auto& chunk = transport.written[1 + c];
        EXPECT_EQ(chunk[0], 0x00);
        EXPECT_EQ(chunk[1], 0xE0);
        EXPECT_EQ(chunk[2], lengths[c]);
        EXPECT_TRUE(std::equal(chunk.begin() + 3, chunk.begin() + 3 + lengths[c],
                               keyboard.lights.begin() + offset));
        EXPECT_TRUE(std::all_of(chunk.begin() + 3 + lengths[c], chunk.end(),
                                [](std::uint8_t b) { return b == 0; }));
        offset += lengths[c];
    }
    Payload end;
    end.fill(0xE6);
    EXPECT_EQ(transport.written[7], end);
}

TEST_F(TransferProtocol, LightWriteReportsAFailedReport) {
    transport.failWritesFrom = 3;
    EXPECT_FALSE(keyboard.writeLights());
    EXPECT_EQ(transport.written.size(), 3u);
}

struct LightReadCase {
    const char* name;
    std::vector<int> chunkLengths;  // byte 2 of each chunk
    std::size_t filled;             // table bytes written
};

const LightReadCase kLightReads[] = {
    {"six chunks fill the table", {61, 61, 61, 61, 61, 19}, 324},
    {"oversized chunk is clamped to 61", {200}, 61},
    {"table stops at 324", {61, 61, 61, 61, 61, 61, 61}, 324},
    {"short chunks", {3, 4}, 7},
};

class LightRead : public TransferProtocol, public testing::WithParamInterface<LightReadCase> {};

TEST_P(LightRead, FillsTheTableFromTheChunks) {
    std::uint8_t value = 1;
    for (int n : GetParam().chunkLengths) {
        Payload chunk{0x00, 0xE0, static_cast<std::uint8_t>(n)};
        for (int i = 3; i < 64; ++i) {
            chunk[i] = value;
            value = value == 255 ? 1 : value + 1;  // never 0: a zero byte means "not filled"
        }
        transport.answer(chunk);
    }
    transport.answer("00E6");
    ASSERT_TRUE(keyboard.readLights());
    const auto filled = GetParam().filled;
    EXPECT_TRUE(std::all_of(keyboard.lights.begin(), keyboard.lights.begin() + filled,
                            [](std::uint8_t b) { return b != 0; }));
    EXPECT_TRUE(std::all_of(keyboard.lights.begin() + filled, keyboard.lights.end(),
                            [](std::uint8_t b) { return b == 0; }));
    EXPECT_EQ(keyboard.lights[0], 1);
    EXPECT_EQ(transport.written.front(), payloadFromHex("00E2"));
}

INSTANTIATE_TEST_SUITE_P(Lights, LightRead, testing::ValuesIn(kLightReads), oskeltest::CaseName());

TEST_F(TransferProtocol, LightReadFailsWithoutEndMarker) {
    transport.answer("00E0 03 010203");
    EXPECT_FALSE(keyboard.readLights());
}

struct VersionCase {
    const char* name;
    std::string text;  // bytes 2..63 of the answer
    std::u16string expected;
};

const VersionCase kVersions[] = {
    {"plain", "OSKEL-108 V1.00", u"OSKEL-108 V1.00"},
    {"latin1", "V\xE9rsion", u"V\u00E9rsion"},
    {"all 62 bytes are cut and terminated", std::string(62, 'x'), std::u16string(62, u'x')},
    {"empty", "", u""},
};

class VersionRead : public testing::TestWithParam<VersionCase> {};

TEST_P(VersionRead, ConvertsAndTerminatesTheText) {
    ScriptedTransport transport;
    Payload answer{0x00, 0xF9};
    std::copy(GetParam().text.begin(), GetParam().text.end(), answer.begin() + 2);
    transport.answer(answer);
    char16_t buffer[80];
    std::fill(std::begin(buffer), std::end(buffer), u'#');
    ASSERT_TRUE(transport.readVersion(buffer));
    EXPECT_EQ(std::u16string(buffer), GetParam().expected);
    EXPECT_EQ(buffer[63], u'#');  // nothing written past the 62 characters and the terminator
    EXPECT_EQ(transport.written.front(), payloadFromHex("00F9"));
}

INSTANTIATE_TEST_SUITE_P(Version, VersionRead, testing::ValuesIn(kVersions), oskeltest::CaseName());

TEST(VersionReadFailure, SilentKeyboardGivesFalseAndTheEmptyText) {
    ScriptedTransport transport;
    char16_t buffer[64] = {u'a', u'b'};
    EXPECT_FALSE(transport.readVersion(buffer));
    EXPECT_EQ(buffer[0], u'\0');
}

}  // namespace

namespace {

// A keyboard that never stops answering must not hold a read forever: each read takes at most
// what a real keyboard can send (216 slots with their longest records, the table in six chunks,
// with room to spare) at a real keyboard's pace, then fails.
struct EndlessCase {
    const char* name;
    bool lights;                     // a light read, else a key read
    std::vector<std::string> cycle;  // the answers, sent over and over
    int readTimeMs;                  // how long each answer takes to come
    std::size_t maxReads;            // the read must have given up by then
};

void PrintTo(const EndlessCase& c, std::ostream* os) {
    *os << c.name;
}

const std::string kMacroOfLongestKind = "00F0 0101 02 01 00 0000 FFFF";

const EndlessCase kEndless[] = {
    {"key records without end", false, {"00F0 0105 00 01 11"}, 0, 2 * 216 + 1},
    {"stray reports without end", false, {"1234"}, 0, oskel::hid::kKeyReadBound.reports + 1},
    {"longest macros without end",
     false,
     {kMacroOfLongestKind},
     0,
     oskel::hid::kKeyReadBound.reports + 1},
    {"key records trickling out", false, {"00F0 0105 00 01 11"}, 900, 20},
    {"light chunks without end", true, {"00E0 3D 01"}, 0, 24 + 1},
    {"stray reports to a light read", true, {"1234"}, 0, 32 + 1},
    {"light chunks trickling out", true, {"00E0 01 01", "5678"}, 950, 20},
};

class EndlessKeyboard : public testing::TestWithParam<EndlessCase> {};

TEST_P(EndlessKeyboard, ReadGivesUpWithinTheBound) {
    ScriptedTransport transport;
    CTravo keyboard{&transport};
    std::size_t next = 0;
    const auto& cycle = GetParam().cycle;
    transport.endless = [&] { return payloadFromHex(cycle[next++ % cycle.size()]); };
    transport.readTime = std::chrono::milliseconds(GetParam().readTimeMs);
    EXPECT_FALSE(GetParam().lights ? keyboard.readLights() : keyboard.readAllKeys(nullptr));
    EXPECT_LE(static_cast<std::size_t>(transport.reads), GetParam().maxReads);
    EXPECT_GT(transport.reads, 0);
}

INSTANTIATE_TEST_SUITE_P(Bounds, EndlessKeyboard, testing::ValuesIn(kEndless),
                         oskeltest::CaseName());

// The bound leaves room for everything a real keyboard holds, sent at a slow keyboard's pace.
TEST(ReadBounds, AFullKeyboardOfLongestMacrosIsReadWhole) {
    ScriptedTransport transport;
    CTravo keyboard{&transport};
    transport.readTime = std::chrono::milliseconds(4);
    for (int slot = 0; slot < 216; ++slot) {
        Payload first = payloadFromHex(kMacroOfLongestKind);
        first[2] = static_cast<std::uint8_t>(slot / 108 + 1);
        first[3] = static_cast<std::uint8_t>(slot % 108 + 1);
        for (std::size_t p = 0; p < oskel::hid::kMaxRecordPayloads; ++p) {
            transport.answer(first);
        }
    }
    transport.answerFilled(0xF6);
    MessageLog window;
    ASSERT_TRUE(keyboard.readAllKeys(&window));
    EXPECT_EQ(window.progress().size(), 216u);
    EXPECT_TRUE(transport.answers.empty());
}

TEST(ReadBounds, SixChunksAtASlowPaceFillTheTable) {
    ScriptedTransport transport;
    CTravo keyboard{&transport};
    transport.readTime = std::chrono::milliseconds(500);
    for (int c = 0; c < 6; ++c) {
        transport.answer(payloadFromHex(c < 5 ? "00E0 3D 07" : "00E0 13 07"));
    }
    transport.answer("00E6");
    ASSERT_TRUE(keyboard.readLights());
    EXPECT_EQ(keyboard.lights[5 * 61], 0x07);
}

// A write is done only when the keyboard has taken every report, not when they are queued.
TEST(WriteTaken, WritesFailWhenTheKeyboardDoesNotTakeTheirReports) {
    for (bool takes : {true, false}) {
        ScriptedTransport transport;
        transport.keyboardTakesAll = takes;
        CTravo keyboard{&transport};
        EXPECT_EQ(keyboard.writeAllKeys(nullptr), takes);
        EXPECT_EQ(keyboard.writeLights(), takes);
        const std::string text = ":020000040800F2\r\n:0100000000FF\r\n:00000001FF\r\n";
        EXPECT_EQ(
            downloadFirmware(&transport, text.c_str(), static_cast<int>(text.size()), nullptr),
            takes);
        // Each write waited once, after its last report.
        EXPECT_EQ(transport.waits, 3);
        EXPECT_EQ(transport.written.size(), 218u + 8u + 3u);
    }
}

struct ForeignAnswerCase {
    const char* name;
    std::string answer;
};

const ForeignAnswerCase kForeignAnswers[] = {
    {"key record", "00F0 0105 00 01 11 4142"},
    {"end of key records", "F6F6 F6F6 4142"},
    {"light chunk", "00E0 03 414243"},
    {"end of light data", "00E6 E6E6 4142"},
};

class VersionForeignAnswer : public testing::TestWithParam<ForeignAnswerCase> {};

TEST_P(VersionForeignAnswer, IsAFailureWithTheEmptyText) {
    ScriptedTransport transport;
    transport.answer(GetParam().answer);
    char16_t buffer[64] = {u'x', u'y'};
    EXPECT_FALSE(transport.readVersion(buffer));
    EXPECT_EQ(buffer[0], u'\0');
}

INSTANTIATE_TEST_SUITE_P(Version, VersionForeignAnswer, testing::ValuesIn(kForeignAnswers),
                         oskeltest::CaseName());

}  // namespace
