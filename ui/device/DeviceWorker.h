// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The worker thread of a device operation (key and backlight transfers, firmware download).
//
// The thread touches the configuration only while the dialog that started it waits in its modal
// loop, and talks to the windows only by posting messages. A stop request wakes a pause at once
// and makes the exchange in progress answer false before its next report.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class CTravoHWI;

class DeviceWorker {
public:
    DeviceWorker() = default;
    // Stops and joins a thread still running, so no worker outlives its dialog.
    ~DeviceWorker();
    DeviceWorker(const DeviceWorker&) = delete;
    DeviceWorker& operator=(const DeviceWorker&) = delete;

    // Runs job on a new thread. False (and nothing started) while a previous job is unjoined.
    bool start(std::function<void(DeviceWorker&)> job);

    // True from start until join.
    bool active() const;

    // Asks the job to stop: pauses return at once and the keyboard's running exchange, if any,
    // is cancelled. Safe from any thread; harmless when nothing runs.
    void requestStop(CTravoHWI* keyboard);
    bool stopRequested() const;

    // Waits the given time on the worker thread; false when a stop was requested meanwhile.
    bool pause(std::chrono::milliseconds duration);

    // Waits for the job's end. Harmless when nothing runs.
    void join();

private:
    mutable std::mutex mutex;
    std::condition_variable wake;
    bool stopping = false;
    std::thread thread;
};
