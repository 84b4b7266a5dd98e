// SPDX-License-Identifier: GPL-2.0-or-later
// A program that captures the keyboard and prints every WM_HOOK_KEY it gets as
// "key <wParam hex> <lParam hex>" (the words, without the event time): the capture tests kill it to
// show the keyboard comes back.
#include <cinttypes>
#include <cstdio>
#include <thread>

#include "OskelHWI.h"

namespace {

class PrintingTarget : public NotifyTarget {
public:
    void post(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override {
        if (message == WM_HOOK_KEY) {
            std::printf("key %" PRIxPTR " %" PRIxPTR "\n", wParam,
                        static_cast<std::uintptr_t>(lParam) & 0xFFFFFFFFu);
            std::fflush(stdout);
            AcknowledgeHookKey();
        }
    }
};

}  // namespace

int main() {
    static PrintingTarget target;
    const HookResult result = InstallHook(&target);
    std::printf("install %d\n", static_cast<int>(result));
    std::fflush(stdout);
    if (result != HookResult::Capturing) {
        return 1;
    }
    // Killed by the test; never uninstalls.
    for (;;) {
        std::this_thread::sleep_for(std::chrono::seconds(60));
    }
}
