// SPDX-License-Identifier: GPL-2.0-or-later
// The worker thread object the device dialogs run their operations on.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

#include "DeviceWorker.h"

using namespace std::chrono_literals;

TEST(DeviceWorker, RunsOneJobAtATime) {
    DeviceWorker worker;
    std::atomic<bool> release{false};
    std::atomic<int> runs{0};
    auto job = [&](DeviceWorker&) {
        ++runs;
        while (!release) {
            std::this_thread::sleep_for(1ms);
        }
    };
    ASSERT_TRUE(worker.start(job));
    EXPECT_TRUE(worker.active());
    // A second start while the first job is unjoined is refused: two transfers never overlap.
    EXPECT_FALSE(worker.start(job));
    release = true;
    worker.join();
    EXPECT_FALSE(worker.active());
    EXPECT_EQ(runs, 1);
    // Joined, it takes the next job.
    EXPECT_TRUE(worker.start([&](DeviceWorker&) { ++runs; }));
    worker.join();
    EXPECT_EQ(runs, 2);
}

TEST(DeviceWorker, StopRequestCutsAPauseShort) {
    DeviceWorker worker;
    std::atomic<int> paused{-1};
    std::atomic<bool> waiting{false};
    ASSERT_TRUE(worker.start([&](DeviceWorker& w) {
        waiting = true;
        paused = w.pause(10min) ? 1 : 0;
    }));
    while (!waiting) {
        std::this_thread::sleep_for(1ms);
    }
    worker.requestStop(nullptr);
    worker.join();  // would take ten minutes if the pause ran out
    EXPECT_EQ(paused, 0);
}

TEST(DeviceWorker, EachJobStartsWithoutTheLastStopRequest) {
    DeviceWorker worker;
    worker.requestStop(nullptr);  // nothing runs: harmless
    std::atomic<int> stopped{-1};
    std::atomic<int> pauseResult{-1};
    ASSERT_TRUE(worker.start([&](DeviceWorker& w) {
        stopped = w.stopRequested() ? 1 : 0;
        pauseResult = w.pause(0ms) ? 1 : 0;
    }));
    worker.join();
    EXPECT_EQ(stopped, 0);
    EXPECT_EQ(pauseResult, 1);
}

TEST(DeviceWorker, DestructionWaitsForTheJob) {
    std::atomic<bool> finished{false};
    {
        DeviceWorker worker;
        worker.start([&](DeviceWorker& w) {
            w.pause(10min);
            finished = true;
        });
    }
    EXPECT_TRUE(finished);
}
