// SPDX-License-Identifier: GPL-2.0-or-later
// oskelctl: the command-line front end of Oskel.
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "CommandLine.h"
#include "Commands.h"

namespace {

// Exit status after SIGINT, as a shell reports a program ended by it.
constexpr int kExitInterrupted = 130;

// Ctrl-C and SIGTERM cancel the transfer in progress, so the command ends cleanly with a
// message instead of dying in the middle of a report; a second one ends the program at once.
// The signals are taken by a thread of their own (blocked everywhere else), so the cancel
// runs as ordinary code, not in a signal handler.
void watchSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    if (pthread_sigmask(SIG_BLOCK, &signals, nullptr) != 0) {
        return;
    }
    std::thread([signals] {
        int received = 0;
        for (int count = 0;; ++count) {
            if (sigwait(&signals, &received) != 0) {
                continue;
            }
            if (count > 0) {
                _exit(kExitInterrupted);
            }
            interruptCommand();
        }
    }).detach();
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const ParseResult parsed = parseCommandLine(args);
    if (!parsed.ok) {
        std::fprintf(stderr, "oskelctl: %s\n", parsed.error.c_str());
        return kExitBadInput;
    }
    if (parsed.options.help) {
        std::fputs(usageText(parsed.options.command).c_str(), stdout);
        return kExitOk;
    }
    watchSignals();
    const int code = runCommand(parsed.options);
    std::fflush(stdout);
    return commandInterrupted() && code != kExitOk ? kExitInterrupted : code;
}
