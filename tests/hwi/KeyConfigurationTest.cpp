// SPDX-License-Identifier: GPL-2.0-or-later
// The key-configuration integer array, to key definitions and back.
#include <gtest/gtest.h>

#include "KeyConfiguration.h"
#include "TestSupport.h"

using namespace oskel::hid;

namespace {

constexpr int kUntouched = -7777;

std::vector<int> readBack(const CKeyDefine* definition, int capacity = 64) {
    std::vector<int> config(capacity + 4, kUntouched);
    configurationFromKeyDefine(definition, config.data(), capacity);
    return config;
}

struct RoundTripCase {
    const char* name;
    std::vector<int> config;
    int recordType;
};

const RoundTripCase kRoundTrips[] = {
    {"fixed codes", {0, 2, 0x82, 0x82}, 0},
    {"no codes", {0, 0}, 0},
    {"typed codes", {1, 30, 3, 4, 5, 6}, 1},
    {"macro play mode 0", {2, 0, 1, 0, 50, 3, 4, 5, 6}, 2},
    {"macro play mode 1 with pauses", {2, 1, 3, 1, 20, 2, 4, 100, 5}, 3},
    {"macro play mode 2", {2, 2, 255, 1, 0, 3, 4, 10, 5, 20, 6}, 4},
};

class ConfigurationRoundTrip : public testing::TestWithParam<RoundTripCase> {};

TEST_P(ConfigurationRoundTrip, ReadsBackWhatWasSet) {
    const auto& c = GetParam();
    auto definition = keyDefineFromConfiguration(1, 5, c.config.data());
    ASSERT_NE(definition, nullptr);
    EXPECT_EQ(definition->type, c.recordType);
    EXPECT_EQ(definition->level, 1);
    EXPECT_EQ(definition->key, 5);
    auto config = readBack(definition.get());
    EXPECT_TRUE(std::equal(c.config.begin(), c.config.end(), config.begin()));
    EXPECT_EQ(config[c.config.size()], kUntouched);
}

INSTANTIATE_TEST_SUITE_P(Arrays, ConfigurationRoundTrip, testing::ValuesIn(kRoundTrips),
                         oskeltest::CaseName());

TEST(KeyConfiguration, MacroWithPausesLaysOutTheStepBytes) {
    const int config[] = {2, 1, 3, 1, 20, 2, 4, 100, 5};
    auto definition = keyDefineFromConfiguration(1, 5, config);
    ASSERT_NE(definition, nullptr);
    int size = 0;
    definition->encodeRecord(nullptr, 64, size);
    std::vector<std::uint8_t> bytes(size);
    ASSERT_TRUE(definition->encodeRecord(bytes.data(), 64, size));
    EXPECT_EQ(definition->type, 3);
    const std::uint8_t stepBytes[] = {0x04, 0xC8, 0x00, 0x64, 0x05};
    EXPECT_TRUE(std::equal(std::begin(stepBytes), std::end(stepBytes), bytes.begin() + 11));
    EXPECT_EQ(bytes[10], 5);
}

TEST(KeyConfiguration, UnknownKindsAndPlayModesBuildNothing) {
    const std::vector<std::vector<int>> refused = {
        {3, 1, 4}, {-1, 1, 4}, {2, 3, 1, 0, 0, 1, 4}, {2, -1, 1, 0, 0, 1, 4}};
    for (const auto& config : refused) {
        EXPECT_EQ(keyDefineFromConfiguration(1, 1, config.data()), nullptr) << config[0];
    }
    EXPECT_EQ(keyDefineFromConfiguration(1, 1, nullptr), nullptr);
}

TEST(KeyConfiguration, ListsAreCutToTheRecordLimits) {
    std::vector<int> config = {0, 100};
    config.resize(102, 9);
    auto fixed = keyDefineFromConfiguration(1, 1, config.data());
    EXPECT_EQ(readBack(fixed.get(), 200)[1], 58);

    config = {1, 10, 100};
    config.resize(103, 9);
    auto typed = keyDefineFromConfiguration(1, 1, config.data());
    EXPECT_EQ(readBack(typed.get(), 200)[2], 56);

    config = {0, -5};
    auto negative = keyDefineFromConfiguration(1, 1, config.data());
    EXPECT_EQ(readBack(negative.get())[1], 0);
}

TEST(KeyConfiguration, NeverWritesPastTheCapacity) {
    const int config[] = {2, 0, 1, 0, 50, 3, 4, 5, 6};
    auto definition = keyDefineFromConfiguration(1, 1, config);
    for (int capacity : {0, 1, 4, 8}) {
        auto out = readBack(definition.get(), capacity);
        for (int i = 0; i < capacity; ++i) {
            EXPECT_EQ(out[i], config[i]) << "capacity " << capacity;
        }
        EXPECT_EQ(out[capacity], kUntouched) << "capacity " << capacity;
    }
}

TEST(KeyConfiguration, EmptySlotIsZeroZero) {
    auto out = readBack(nullptr);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], 0);
    EXPECT_EQ(out[2], kUntouched);
}

}  // namespace
