// SPDX-License-Identifier: GPL-2.0-or-later
// oskel-virtual-keyboard: publishes one virtual keyboard socket and serves one client after
// another until SIGINT, SIGTERM or the end of standard input; then removes its socket.
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "VirtualKeyboard.h"

namespace {

void usage(std::FILE* out) {
    std::fputs(
        "usage: oskel-virtual-keyboard [--dir DIR] [--name NAME] [--version TEXT]\n"
        "                              [--log FILE] [--silent] [--drop-after N]\n"
        "                              [--memory BYTES] [--freeze-after N]\n"
        "  --dir DIR       folder of the socket (default $XDG_RUNTIME_DIR/oskel/hid,\n"
        "                  or /tmp/oskel-<uid>/hid)\n"
        "  --name NAME     socket name (default vid_0483&pid_5022&mi_01)\n"
        "  --version TEXT  firmware version text (default OSKEL-108 V1.00)\n"
        "  --log FILE      write every report received as 128 hex digits a line\n"
        "  --silent        never answer\n"
        "  --drop-after N  close the connection after N reports received\n"
        "  --memory BYTES  room for key records (default unlimited): each key write fills\n"
        "                  it afresh, 64 bytes a report, empty keys free; a record that\n"
        "                  does not fit is kept as an empty key\n"
        "  --freeze-after N  read nothing more on a connection after N reports\n"
        "Prints 'ready PATH' once listening; ends on SIGINT, SIGTERM or end of input.\n",
        out);
}

bool parseArguments(int argc, char** argv, oskel::VirtualKeyboardOptions& options) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "oskel-virtual-keyboard: %s needs a value\n", arg.c_str());
                return false;
            }
            into = argv[++i];
            return true;
        };
        // The options that take their text as it stands.
        const std::pair<const char*, std::string*> texts[] = {{"--dir", &options.dir},
                                                              {"--name", &options.name},
                                                              {"--version", &options.version},
                                                              {"--log", &options.logPath}};
        const auto text = std::find_if(std::begin(texts), std::end(texts),
                                       [&](const auto& option) { return arg == option.first; });
        std::string number;
        if (text != std::end(texts)) {
            if (!value(*text->second))
                return false;
        } else if (arg == "--silent") {
            options.silent = true;
        } else if (arg == "--drop-after" || arg == "--freeze-after") {
            if (!value(number))
                return false;
            char* end = nullptr;
            long n = std::strtol(number.c_str(), &end, 10);
            if (end == number.c_str() || *end != '\0' || n < 1 || n > 1000000000) {
                std::fprintf(stderr, "oskel-virtual-keyboard: %s wants a count >= 1\n",
                             arg.c_str());
                return false;
            }
            (arg == "--drop-after" ? options.dropAfter : options.freezeAfter) = static_cast<int>(n);
        } else if (arg == "--memory") {
            if (!value(number))
                return false;
            char* end = nullptr;
            long long n = std::strtoll(number.c_str(), &end, 10);
            if (end == number.c_str() || *end != '\0' || n < 0 || n > 1000000000) {
                std::fprintf(stderr, "oskel-virtual-keyboard: --memory wants a byte count >= 0\n");
                return false;
            }
            options.memory = n;
        } else if (arg == "--help" || arg == "-h") {
            usage(stdout);
            std::exit(0);
        } else {
            std::fprintf(stderr, "oskel-virtual-keyboard: unknown option %s\n", arg.c_str());
            usage(stderr);
            return false;
        }
    }
    if (options.name.empty() || options.name.find('/') != std::string::npos) {
        std::fprintf(stderr, "oskel-virtual-keyboard: --name must be a plain file name\n");
        return false;
    }
    return true;
}

// Blocks until SIGINT, SIGTERM or the end of standard input.
void waitForEnd(int signals) {
    for (;;) {
        pollfd waits[2] = {{signals, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
        if (::poll(waits, 2, -1) < 0) {
            continue;
        }
        if (waits[0].revents != 0) {
            return;
        }
        if (waits[1].revents != 0) {
            char scratch[256];
            if (::read(STDIN_FILENO, scratch, sizeof scratch) <= 0) {
                return;
            }
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    oskel::VirtualKeyboardOptions options;
    if (!parseArguments(argc, argv, options)) {
        return 2;
    }
    // The signals are taken through a descriptor, blocked in every thread, so the serving
    // thread never sees them and the socket is always removed.
    sigset_t ending;
    sigemptyset(&ending);
    sigaddset(&ending, SIGINT);
    sigaddset(&ending, SIGTERM);
    sigaddset(&ending, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &ending, nullptr);
    int signals = signalfd(-1, &ending, SFD_CLOEXEC);
    signal(SIGPIPE, SIG_IGN);

    oskel::VirtualKeyboard keyboard(options);
    if (!keyboard.start()) {
        std::fprintf(stderr, "oskel-virtual-keyboard: %s\n", keyboard.error().c_str());
        return 1;
    }
    std::printf("ready %s\n", keyboard.socketPath().c_str());
    std::fflush(stdout);
    waitForEnd(signals);
    keyboard.stop();
    return 0;
}
