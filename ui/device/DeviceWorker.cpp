// SPDX-License-Identifier: GPL-2.0-or-later
#include "DeviceWorker.h"

#include "OskelHWI.h"

DeviceWorker::~DeviceWorker() {
    requestStop(nullptr);
    join();
}

bool DeviceWorker::start(std::function<void(DeviceWorker&)> job) {
    if (thread.joinable()) {
        return false;
    }
    {
        std::lock_guard lock(mutex);
        stopping = false;
    }
    thread = std::thread([this, job = std::move(job)] { job(*this); });
    return true;
}

bool DeviceWorker::active() const {
    return thread.joinable();
}

void DeviceWorker::requestStop(CTravoHWI* keyboard) {
    {
        std::lock_guard lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    if (keyboard != nullptr) {
        keyboard->cancelTransfer();
    }
}

bool DeviceWorker::stopRequested() const {
    std::lock_guard lock(mutex);
    return stopping;
}

bool DeviceWorker::pause(std::chrono::milliseconds duration) {
    std::unique_lock lock(mutex);
    return !wake.wait_for(lock, duration, [this] { return stopping; });
}

void DeviceWorker::join() {
    if (thread.joinable() && thread.get_id() != std::this_thread::get_id()) {
        thread.join();
    }
}
