// SPDX-License-Identifier: GPL-2.0-or-later
// oskelctl: the command-line front end of Oskel.
#include <unistd.h>

#include <atomic>
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

// Set once the command line asks for a command that talks to the keyboard.
std::atomic<bool> cancelFirst{false};

// Ctrl-C and SIGTERM cancel the transfer in progress, so the command ends cleanly with a
// message instead of dying in the middle of a report; a second one ends the program at once.
// Before a keyboard command has begun, and for the commands that never talk to the keyboard,
// the first one ends the program at once. The signals are taken by a thread of their own
// (blocked everywhere else, and before anything else is done, so that no signal finds the
// program without its handling), so the cancel runs as ordinary code, not in a handler.
void watchSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    if (pthread_sigmask(SIG_BLOCK, &signals, nullptr) != 0) {
        return;
    }
    // One that came before it was blocked (or was inherited pending) ends the program now,
    // before the thread that takes the later ones has even started.
    const timespec now{};
    if (const int early = sigtimedwait(&signals, nullptr, &now); early > 0) {
        _exit(128 + early);
    }
    std::thread([signals] {
        int received = 0;
        for (int count = 0;; ++count) {
            if (sigwait(&signals, &received) != 0) {
                continue;
            }
            if (!cancelFirst) {
                _exit(128 + received);
            }
            if (count > 0) {
                _exit(kExitInterrupted);
            }
            interruptCommand();
        }
    }).detach();
}

// Whether the command talks to the keyboard, so that a signal cancels its transfer.
bool talksToTheKeyboard(Command command) {
    return command != Command::Recent && command != Command::Show && command != Command::None;
}

}  // namespace

int main(int argc, char** argv) {
    watchSignals();
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
    cancelFirst = talksToTheKeyboard(parsed.options.command);
    const int code = runCommand(parsed.options);
    std::fflush(stdout);
    return commandInterrupted() && code != kExitOk ? kExitInterrupted : code;
}
