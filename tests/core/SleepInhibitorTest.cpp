// SPDX-License-Identifier: GPL-2.0-or-later
// The sleep and shutdown lock against a logind of the test's own (python3-dbusmock's template on
// a private system bus), and without any bus or logind at all.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>

#include "PrivateSystemBus.h"
#include "SleepInhibitor.h"

namespace {

using oskeltest::InhibitorLock;
using oskeltest::PrivateSystemBus;

class SleepInhibitorTest : public testing::Test {
protected:
    void SetUp() override {
        if (!PrivateSystemBus::installed()) {
            GTEST_SKIP() << "dbus-daemon or python3-dbusmock is not installed";
        }
        ASSERT_TRUE(bus.start()) << "the private bus did not come up";
    }

    PrivateSystemBus bus;
};

TEST_F(SleepInhibitorTest, HoldsABlockingLockUntilDestroyed) {
    ASSERT_TRUE(bus.startLogind()) << "the logind mock did not come up";
    struct Case {
        SleepInhibitor::Reason reason;
        const char* why;
    };
    for (const Case c : {Case{SleepInhibitor::Reason::Firmware, "Updating the keyboard's firmware"},
                         Case{SleepInhibitor::Reason::Writing, "Writing to the keyboard"}}) {
        {
            SleepInhibitor lock(c.reason);
            EXPECT_TRUE(lock.held());
            EXPECT_EQ(bus.inhibitors(),
                      (std::vector<InhibitorLock>{{"sleep:shutdown", "Oskel", c.why, "block"}}));
        }
        EXPECT_TRUE(bus.inhibitorsOnce(0).empty()) << c.why << ": still held after the end";
    }
}

TEST_F(SleepInhibitorTest, ReleaseEndsTheLockAtOnceAndOnlyOnce) {
    ASSERT_TRUE(bus.startLogind()) << "the logind mock did not come up";
    SleepInhibitor first(SleepInhibitor::Reason::Writing);
    SleepInhibitor second(SleepInhibitor::Reason::Firmware);
    ASSERT_EQ(bus.inhibitors().size(), 2u);
    first.release();
    EXPECT_FALSE(first.held());
    const std::vector<InhibitorLock> left = bus.inhibitorsOnce(1);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].why, "Updating the keyboard's firmware");
    // A second release (and the destructor after it) must not close a descriptor that is
    // someone else's by now.
    first.release();
    EXPECT_EQ(bus.inhibitors().size(), 1u);
    EXPECT_TRUE(second.held());
}

// A container without logind, or a bus that is not there: no lock, quickly, and nothing else.
TEST_F(SleepInhibitorTest, WithoutLogindOrBusNoLockIsTaken) {
    const auto started = std::chrono::steady_clock::now();
    {
        SleepInhibitor lock(SleepInhibitor::Reason::Writing);
        EXPECT_FALSE(lock.held()) << "a bus without logind";
    }
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/oskel/system_bus_socket", 1);
    {
        SleepInhibitor lock(SleepInhibitor::Reason::Firmware);
        EXPECT_FALSE(lock.held()) << "no bus";
    }
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", bus.address.c_str(), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
}

}  // namespace
