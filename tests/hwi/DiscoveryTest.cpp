// SPDX-License-Identifier: GPL-2.0-or-later
// The discovery rule over device-path texts.
#include <gtest/gtest.h>

#include "Discovery.h"

using namespace oskel::hid;

namespace {

struct PathCase {
    const char* path;
    bool matches;
};

const PathCase kPaths[] = {
    {R"(\\?\hid#vid_0483&pid_5022&mi_01#7&2b3c&0&0000#{4d1e55b2-f16f-11cf-88cb-001111000030})",
     true},
    {R"(\\?\hid#vid_0483&pid_5022&mi_00#7&2b3c&0&0000#{4d1e55b2})", false},
    {R"(\\?\HID#VID_0483&PID_5022&MI_01#7&2b3c)", false},
    {R"(\\?\hid#vid_0483&pid_5022&MI_01#7&2b3c)", false},
    {"hidraw#vid_0483&pid_5022&mi_01#/dev/hidraw3", true},
    {"hidraw#vid_0483&pid_5022&mi_02#/dev/hidraw4", false},
    {"hidraw#vid_0484&pid_5022&mi_01#/dev/hidraw3", false},
    {"hidraw#vid_0483&pid_5023&mi_01#/dev/hidraw3", false},
    {"/run/user/1000/oskel/hid/vid_0483&pid_5022&mi_01", true},
    {"/tmp/oskel-0/hid/vid_0483&pid_5022&mi_01", true},
    // Markers may come in any order; only their first occurrence counts.
    {"mi_01&pid_5022&vid_0483", false},  // "mi_01" at the very start
    {"x&mi_01&pid_5022&vid_0483", true},
    {"vid_1234&vid_0483&pid_5022&mi_01", false},
    {"x&mi_01&pid_5022&vid_048", false},  // three characters after "vid_"
    {"x&mi_01&vid_0483&pid_502", false},  // three characters after "pid_"
    {"vid_0483&pid_5022", false},
    {"", false},
};

class DiscoveryRule : public testing::TestWithParam<PathCase> {};

TEST_P(DiscoveryRule, MatchesOnlyTheConfigurationInterface) {
    EXPECT_EQ(isKeyboardDevicePath(GetParam().path), GetParam().matches) << GetParam().path;
}

INSTANTIATE_TEST_SUITE_P(Paths, DiscoveryRule, testing::ValuesIn(kPaths));

TEST(DiscoveryPaths, HidapiInterfacesGetTheirDevicePath) {
    EXPECT_EQ(hidrawDevicePath(0x0483, 0x5022, 1, "/dev/hidraw3"),
              "hidraw#vid_0483&pid_5022&mi_01#/dev/hidraw3");
    EXPECT_EQ(hidrawDevicePath(0xABCD, 0x00EF, 12, "/dev/hidraw0"),
              "hidraw#vid_abcd&pid_00ef&mi_12#/dev/hidraw0");
    EXPECT_TRUE(isKeyboardDevicePath(hidrawDevicePath(0x0483, 0x5022, 1, "/dev/hidraw9")));
    EXPECT_FALSE(isKeyboardDevicePath(hidrawDevicePath(0x0483, 0x5022, 0, "/dev/hidraw8")));
}

TEST(DiscoveryPaths, HidapiPathComesAfterTheSecondHash) {
    EXPECT_EQ(hidapiPathOf("hidraw#vid_0483&pid_5022&mi_01#/dev/hidraw3"), "/dev/hidraw3");
    EXPECT_EQ(hidapiPathOf("/tmp/oskel-0/hid/vid_0483&pid_5022&mi_01"), "");
    EXPECT_EQ(hidapiPathOf("hidraw#no-second-hash"), "");
}

TEST(DiscoveryPaths, FirstMatchWins) {
    std::vector<std::string> paths = {
        "hidraw#vid_046d&pid_c52b&mi_01#/dev/hidraw0",
        "hidraw#vid_0483&pid_5022&mi_00#/dev/hidraw1",
        "hidraw#vid_0483&pid_5022&mi_01#/dev/hidraw2",
        "/tmp/oskel-0/hid/vid_0483&pid_5022&mi_01",
    };
    EXPECT_EQ(firstKeyboardPath(paths), paths[2]);
    paths.erase(paths.begin() + 2);
    EXPECT_EQ(firstKeyboardPath(paths), paths[2]);
    EXPECT_EQ(firstKeyboardPath({}), "");
}

}  // namespace
