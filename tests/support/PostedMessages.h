// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// A notify target that keeps what is posted to it, for tests that wait for posted messages.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "OskelHWI.h"

namespace oskeltest {

// A WM_HOOK_KEY's event time is kept apart from its lParam, so that words compare whatever the
// clock said.
struct PostedMessage {
    unsigned message;
    std::uintptr_t wParam;
    std::intptr_t lParam;
    std::uint32_t time = 0;
    bool operator==(const PostedMessage& o) const {
        return message == o.message && wParam == o.wParam && lParam == o.lParam;
    }
};

class PostedMessages : public NotifyTarget {
public:
    // With `acknowledge`, every WM_HOOK_KEY is taken at once, as a responsive window takes it.
    explicit PostedMessages(bool acknowledge = true) : acknowledge(acknowledge) {}

    void post(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override {
        {
            std::lock_guard guard(lock);
            if (message == WM_HOOK_KEY) {
                messages.push_back({message, wParam, lParam & 0xFFFFFFFF, hookKeyTime(lParam)});
            } else {
                messages.push_back({message, wParam, lParam});
            }
        }
        if (acknowledge && message == WM_HOOK_KEY) {
            AcknowledgeHookKey();
        }
        arrived.notify_all();
    }

    // Waits until `count` messages are there (or `limit` passes) and answers all of them.
    std::vector<PostedMessage> waitFor(std::size_t count,
                                       std::chrono::milliseconds limit = std::chrono::seconds(5)) {
        std::unique_lock guard(lock);
        arrived.wait_for(guard, limit, [&] { return messages.size() >= count; });
        return messages;
    }
    std::vector<PostedMessage> taken() {
        std::lock_guard guard(lock);
        return messages;
    }
    void clear() {
        std::lock_guard guard(lock);
        messages.clear();
    }

private:
    bool acknowledge;
    std::mutex lock;
    std::condition_variable arrived;
    std::vector<PostedMessage> messages;
};

}  // namespace oskeltest
