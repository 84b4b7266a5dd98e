// SPDX-License-Identifier: GPL-2.0-or-later
// Key records: byte-exact encodings, sizes, limits and decoding, without any device.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <numeric>

#include "KeyDefine.h"
#include "TestSupport.h"

using namespace oskeltest;

namespace {

std::vector<Payload> encode(const CKeyDefine& definition) {
    int size = -1;
    EXPECT_FALSE(definition.encodeRecord(nullptr, 64, size));
    EXPECT_EQ(size % 64, 0);
    std::vector<std::uint8_t> bytes(size, 0xAA);  // the type 0 and 1 encoders zero it themselves
    if (size > 0) {
        EXPECT_TRUE(definition.encodeRecord(bytes.data(), 64, size));
    }
    std::vector<Payload> payloads(size / 64);
    for (std::size_t p = 0; p < payloads.size(); ++p) {
        std::copy_n(bytes.begin() + p * 64, 64, payloads[p].begin());
    }
    return payloads;
}

std::unique_ptr<CKeyDefine> normal(int level, int key, std::vector<int> codes) {
    auto d = std::make_unique<CNormalKeyDefine>(key, level);
    d->codeCount = static_cast<int>(codes.size());
    d->codes = std::move(codes);
    return d;
}

std::unique_ptr<CKeyDefine> continuous(int level, int key, int delay, std::vector<int> codes) {
    auto d = std::make_unique<CContinousKeyDefine>(key, level);
    d->delay = delay;
    d->codeCount = static_cast<int>(codes.size());
    d->codes = std::move(codes);
    return d;
}

std::unique_ptr<CMacroKeyDefine> macro(int type, int cycles, int hasStepDelays, int delay,
                                       std::vector<int> codes, std::vector<int> delays = {}) {
    auto d = std::make_unique<CMacroKeyDefine>(7, 2, type);
    d->cycles = cycles;
    d->hasStepDelays = hasStepDelays;
    d->delay = delay;
    d->stepCount = static_cast<int>(codes.size());
    delays.resize(codes.size(), 0);
    d->codes = std::move(codes);
    d->delays = std::move(delays);
    return d;
}

std::vector<int> steps(int n) {
    std::vector<int> codes(n);
    std::iota(codes.begin(), codes.end(), 1);
    return codes;
}

struct EncodingCase {
    const char* name;
    std::function<std::unique_ptr<CKeyDefine>()> make;
    std::vector<const char*> payloads;  // hex, zero-filled to 64 bytes
};

const EncodingCase kEncodings[] = {
    {"normal three codes",
     [] {
         return normal(1, 5, {0x04, 0x05, 0x06});
     },
     {"00F0 0105 00 03 040506"}},
    {"normal no codes is the empty record", [] { return normal(2, 108, {}); }, {"00F0 026C 00 00"}},
    {"normal codes keep their low byte",
     [] {
         return normal(1, 1, {0x1FF, 0x104});
     },
     {"00F0 0101 00 02 FF04"}},
    {"continuous delay big-endian",
     [] {
         return continuous(1, 9, 0x0123, {0x04, 0x05});
     },
     {"00F0 0109 01 0123 02 0405"}},
    {"continuous without codes sends no delay",
     [] { return continuous(1, 9, 500, {}); },
     {"00F0 0109 01"}},
    {"continuous delay keeps its low 16 bits",
     [] { return continuous(2, 1, 0x12345, {0x10}); },
     {"00F0 0201 01 2345 01 10"}},
    {"macro without pauses",
     [] {
         return macro(2, 3, 0, 0x0064, {0x04, 0x05});
     },
     {"00F0 0207 02 03 00 0064 0002 0405"}},
    {"macro with pauses",
     [] {
         return macro(3, 1, 1, 20, {0x04, 0x05}, {100});
     },
     {"00F0 0207 03 01 01 0014 0005 04C80064 05"}},
    {"macro cycles, pauses and delay keep their low bits",
     [] {
         return macro(4, 0x101, 1, 0x10002, {0x104, 0x05}, {0x1ABCD});
     },
     {"00F0 0207 04 01 01 0002 0005 04C8ABCD 05"}},
    {"macro without steps encodes to nothing", [] { return macro(2, 1, 0, 5, {}); }, {}},
};

class KeyRecordEncoding : public testing::TestWithParam<EncodingCase> {};

TEST_P(KeyRecordEncoding, EncodesByteExact) {
    auto definition = GetParam().make();
    std::vector<Payload> expected;
    for (const char* hex : GetParam().payloads) {
        expected.push_back(payloadFromHex(hex));
    }
    EXPECT_EQ(encode(*definition), expected);
}

INSTANTIATE_TEST_SUITE_P(Records, KeyRecordEncoding, testing::ValuesIn(kEncodings),
                         oskeltest::CaseName());

struct MacroSizeCase {
    int steps;
    int hasStepDelays;
    int length;    // L in bytes 9-10
    int payloads;  // ceil(L / 53)
};

const MacroSizeCase kMacroSizes[] = {
    {1, 0, 1, 1}, {53, 0, 53, 1}, {54, 0, 54, 2}, {106, 0, 106, 2},  {107, 0, 107, 3},
    {1, 1, 1, 1}, {14, 1, 53, 1}, {15, 1, 57, 2}, {200, 1, 797, 16},
};

class MacroRecordSize : public testing::TestWithParam<MacroSizeCase> {};

TEST_P(MacroRecordSize, SpansCeilLOver53PayloadsWithTheSameHeader) {
    const auto& c = GetParam();
    auto definition = macro(2, 1, c.hasStepDelays, 30, steps(c.steps));
    EXPECT_EQ(definition->stepPayloadLength(), c.length);
    auto payloads = encode(*definition);
    ASSERT_EQ(static_cast<int>(payloads.size()), c.payloads);
    for (const auto& payload : payloads) {
        EXPECT_TRUE(std::equal(payload.begin(), payload.begin() + 11, payloads[0].begin()));
        EXPECT_EQ(payload[9] * 256 + payload[10], c.length);
    }
    // Step bytes after the last one are zero.
    int tail = c.payloads * 53 - c.length;
    for (int i = 0; i < tail; ++i) {
        EXPECT_EQ(payloads.back()[63 - i], 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Records, MacroRecordSize, testing::ValuesIn(kMacroSizes));

TEST(KeyRecord, FiftyFourStepsSplitAfterTheFiftyThirdStepByte) {
    auto payloads = encode(*macro(2, 1, 0, 0, steps(54)));
    ASSERT_EQ(payloads.size(), 2u);
    EXPECT_EQ(payloads[0][9], 0x00);
    EXPECT_EQ(payloads[0][10], 0x36);
    EXPECT_EQ(payloads[0][63], 53);
    EXPECT_EQ(payloads[1][11], 54);
    EXPECT_EQ(payloads[1][12], 0);
}

TEST(KeyRecord, EncoderRefusesTooSmallBuffer) {
    auto definition = macro(2, 1, 0, 0, steps(54));
    std::vector<std::uint8_t> bytes(64);
    int size = 64;
    EXPECT_FALSE(definition->encodeRecord(bytes.data(), 64, size));
}

struct CodeLimitCase {
    const char* name;
    std::function<std::unique_ptr<CKeyDefine>(std::vector<int>)> make;
    int countByte;
    int limit;
};

const CodeLimitCase kCodeLimits[] = {
    {"normal", [](std::vector<int> c) { return normal(1, 1, std::move(c)); }, 5, 58},
    {"continuous", [](std::vector<int> c) { return continuous(1, 1, 9, std::move(c)); }, 7, 56},
};

class CodeLimit : public testing::TestWithParam<CodeLimitCase> {};

TEST_P(CodeLimit, LongListsAreCutToWhatThePayloadHolds) {
    const auto& c = GetParam();
    auto payloads = encode(*c.make(steps(70)));
    ASSERT_EQ(payloads.size(), 1u);
    EXPECT_EQ(payloads[0][c.countByte], c.limit);
    EXPECT_EQ(payloads[0][63], c.limit);  // the last code fills the last byte
}

TEST_P(CodeLimit, ReceivedCountAboveTheLimitIsClamped) {
    const auto& c = GetParam();
    auto definition = c.make({});
    Payload record{};
    record.fill(0x11);
    record[c.countByte] = 0xFF;
    if (c.countByte == 7) {
        record[5] = 0x01;
        record[6] = 0xF4;
    }
    ASSERT_TRUE(definition->decodeRecord(record.data(), 64, 64));
    auto payloads = encode(*definition);
    EXPECT_EQ(payloads[0][c.countByte], c.limit);
}

INSTANTIATE_TEST_SUITE_P(Records, CodeLimit, testing::ValuesIn(kCodeLimits), oskeltest::CaseName());

TEST(KeyRecordDecoding, NormalAndContinuousFields) {
    CNormalKeyDefine normalKey(5, 1);
    auto bytes = payloadFromHex("00F0 0105 00 03 0405E0");
    ASSERT_TRUE(normalKey.decodeRecord(bytes.data(), 64, 64));
    EXPECT_EQ(normalKey.codeCount, 3);
    EXPECT_EQ(normalKey.codes, (std::vector<int>{0x04, 0x05, 0xE0}));

    CContinousKeyDefine typed(9, 2);
    bytes = payloadFromHex("00F0 0209 01 01F4 02 0A0B");
    ASSERT_TRUE(typed.decodeRecord(bytes.data(), 64, 64));
    EXPECT_EQ(typed.delay, 500);
    EXPECT_EQ(typed.codes, (std::vector<int>{0x0A, 0x0B}));
}

struct MacroDecodeCase {
    const char* name;
    const char* hex;
    int stepCount;
    std::vector<int> codes;
    std::vector<int> delays;
};

const MacroDecodeCase kMacroDecodes[] = {
    {"no steps without pauses", "00F0 0207 02 01 00 0000 0000", 0, {}, {}},
    {"L zero with pauses is one step of code 0", "00F0 0207 02 01 01 0000 0000", 1, {0}, {0}},
    {"pauses skip the C8 marker", "00F0 0207 03 01 01 0000 0005 04C80064 05", 2, {4, 5}, {100, 0}},
    {"three steps with pauses",
     "00F0 0207 03 01 01 0000 0009 04C80001 05C80100 06",
     3,
     {4, 5, 6},
     {1, 256, 0}},
    {"plain steps", "00F0 0207 02 01 00 0000 0003 070809", 3, {7, 8, 9}, {0, 0, 0}},
};

class MacroDecoding : public testing::TestWithParam<MacroDecodeCase> {};

TEST_P(MacroDecoding, DecodesSteps) {
    const auto& c = GetParam();
    CMacroKeyDefine definition(7, 2, 2);
    definition.codes = {99, 99, 99, 99, 99};  // earlier contents are dropped
    auto bytes = payloadFromHex(c.hex);
    ASSERT_TRUE(definition.decodeRecord(bytes.data(), 64, 64));
    EXPECT_EQ(definition.stepCount, c.stepCount);
    EXPECT_EQ(definition.codes, c.codes);
    EXPECT_EQ(definition.delays, c.delays);
}

INSTANTIATE_TEST_SUITE_P(Records, MacroDecoding, testing::ValuesIn(kMacroDecodes),
                         oskeltest::CaseName());

TEST(MacroDecoding, RoundTripsAcrossManyPayloads) {
    std::vector<int> codes = steps(200);
    std::vector<int> delays(200);
    for (int i = 0; i < 200; ++i) delays[i] = i < 199 ? 1000 + i * 7 : 0;
    auto sent = macro(4, 9, 1, 33, codes, delays);
    auto payloads = encode(*sent);
    std::vector<std::uint8_t> joined;
    for (const auto& p : payloads) joined.insert(joined.end(), p.begin(), p.end());

    CMacroKeyDefine received(7, 2, 4);
    ASSERT_TRUE(received.decodeRecord(joined.data(), 64, static_cast<int>(joined.size())));
    EXPECT_EQ(received.cycles, 9);
    EXPECT_EQ(received.hasStepDelays, 1);
    EXPECT_EQ(received.delay, 33);
    EXPECT_EQ(received.codes, codes);
    EXPECT_EQ(received.delays, delays);
}

TEST(MacroDecoding, RecordShorterThanItsLengthReadsNothingPastIt) {
    // L says 107 bytes (three payloads) but only one payload arrived.
    auto bytes = payloadFromHex("00F0 0207 02 01 00 0000 006B 01020304");
    CMacroKeyDefine definition(7, 2, 2);
    ASSERT_TRUE(definition.decodeRecord(bytes.data(), 64, 64));
    EXPECT_EQ(definition.stepCount, 53);
    EXPECT_EQ(definition.codes[3], 4);
}

TEST(KeyRecordFactory, TypeNamesTheClass) {
    EXPECT_NE(dynamic_cast<CNormalKeyDefine*>(createKeyDefine(1, 1, 0).get()), nullptr);
    EXPECT_NE(dynamic_cast<CContinousKeyDefine*>(createKeyDefine(1, 1, 1).get()), nullptr);
    for (int type = 2; type <= 4; ++type) {
        auto d = createKeyDefine(1, 1, type);
        ASSERT_NE(dynamic_cast<CMacroKeyDefine*>(d.get()), nullptr);
        EXPECT_EQ(d->type, type);
    }
    EXPECT_EQ(createKeyDefine(1, 1, 5), nullptr);
    EXPECT_EQ(macroRecordPayloads(0), 1);
    EXPECT_EQ(macroRecordPayloads(54), 2);
}

}  // namespace
