// SPDX-License-Identifier: GPL-2.0-or-later
// oskel-virtual-keyboard: publishes one virtual keyboard socket and serves its clients until
// SIGINT, SIGTERM or the end of standard input; then removes its socket. With --usb it shows
// the keyboard as a USB device in a umockdev testbed instead and runs a command there.
#include <dlfcn.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "UsbKeyboard.h"
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
        "Prints 'ready PATH' once listening; ends on SIGINT, SIGTERM or end of input.\n"
        "\n"
        "usage: oskel-virtual-keyboard --usb [options] [--replug-after SECONDS]\n"
        "                              [--node-mode MODE] -- COMMAND [ARGS...]\n"
        "  --usb           show the keyboard as a USB device (interfaces 00 and 01, each\n"
        "                  with its /dev/hidrawN) in a umockdev testbed, run COMMAND\n"
        "                  under umockdev's preload there, and end with its exit status;\n"
        "                  --drop-after pulls the cable; no socket is offered\n"
        "  --replug-after SECONDS  plug the keyboard back in that long after it pulled\n"
        "                  its own cable\n"
        "  --node-mode MODE  permission bits of the nodes, octal (default 0666)\n"
        "SIGUSR1 pulls the cable, SIGUSR2 plugs the keyboard back in.\n",
        out);
}

struct UsbDoorOptions {
    bool usb = false;
    long replugAfterMs = 0;
    mode_t nodeMode = 0666;
    std::vector<std::string> command;
};

bool parseArguments(int argc, char** argv, oskel::VirtualKeyboardOptions& options,
                    UsbDoorOptions& usb) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--") {
            usb.command.assign(argv + i + 1, argv + argc);
            break;
        }
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
        } else if (arg == "--usb") {
            usb.usb = true;
        } else if (arg == "--replug-after") {
            if (!value(number))
                return false;
            char* end = nullptr;
            double seconds = std::strtod(number.c_str(), &end);
            if (end == number.c_str() || *end != '\0' || !(seconds > 0) || seconds > 86400) {
                std::fprintf(stderr, "oskel-virtual-keyboard: --replug-after wants seconds > 0\n");
                return false;
            }
            usb.replugAfterMs = static_cast<long>(seconds * 1000);
        } else if (arg == "--node-mode") {
            if (!value(number))
                return false;
            char* end = nullptr;
            long mode = std::strtol(number.c_str(), &end, 8);
            if (end == number.c_str() || *end != '\0' || mode < 0 || mode > 07777) {
                std::fprintf(stderr, "oskel-virtual-keyboard: --node-mode wants an octal mode\n");
                return false;
            }
            usb.nodeMode = static_cast<mode_t>(mode);
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
    if (usb.usb != !usb.command.empty()) {
        std::fprintf(stderr, usb.usb ? "oskel-virtual-keyboard: --usb needs -- COMMAND\n"
                                     : "oskel-virtual-keyboard: a COMMAND needs --usb\n");
        return false;
    }
    return true;
}

// Starts `command` under umockdev's preload; it dies with us. -1 when it could not be started.
pid_t startCommand(const std::vector<std::string>& command) {
    const pid_t pid = ::fork();
    if (pid != 0) {
        return pid;
    }
    sigset_t none;
    sigemptyset(&none);
    pthread_sigmask(SIG_SETMASK, &none, nullptr);
    signal(SIGPIPE, SIG_DFL);
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    // The preload this program runs under goes on to the command.
    ::unsetenv("OSKEL_UMOCKDEV_REEXEC");
    std::vector<char*> args;
    for (const std::string& word : command) {
        args.push_back(const_cast<char*>(word.c_str()));
    }
    args.push_back(nullptr);
    ::execvp(args[0], args.data());
    std::fprintf(stderr, "oskel-virtual-keyboard: cannot run %s: %s\n", args[0],
                 std::strerror(errno));
    ::_exit(127);
}

int exitStatusOf(int status) {
    if (WIFEXITED(status)) {
        return WEXITSTATUS(status);
    }
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : 1;
}

// Ends the command: SIGTERM, and SIGKILL when it is still there after five seconds.
int endCommand(pid_t pid) {
    ::kill(pid, SIGTERM);
    int status = 0;
    for (int i = 0; i < 500; ++i) {
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            return exitStatusOf(status);
        }
        ::usleep(10000);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    return exitStatusOf(status);
}

int runUsbDoor(const oskel::VirtualKeyboardOptions& options, const UsbDoorOptions& usb,
               int signals) {
    oskel::UsbTestbed testbed;
    if (!testbed.ok()) {
        std::fprintf(stderr, "oskel-virtual-keyboard: cannot make a umockdev testbed\n");
        return 1;
    }
    oskel::UsbKeyboard keyboard(testbed, options);
    keyboard.setNodeMode(usb.nodeMode);
    keyboard.setReplugAfter(std::chrono::milliseconds(usb.replugAfterMs));
    if (!keyboard.error().empty() || !keyboard.plug()) {
        std::fprintf(stderr, "oskel-virtual-keyboard: %s\n", keyboard.error().c_str());
        return 1;
    }
    const pid_t child = startCommand(usb.command);
    if (child < 0) {
        std::fprintf(stderr, "oskel-virtual-keyboard: cannot start %s\n", usb.command[0].c_str());
        return 1;
    }
    for (;;) {
        signalfd_siginfo info{};
        if (::read(signals, &info, sizeof info) != sizeof info) {
            continue;
        }
        switch (info.ssi_signo) {
            case SIGCHLD: {
                int status = 0;
                if (::waitpid(child, &status, WNOHANG) == child) {
                    return exitStatusOf(status);
                }
                break;
            }
            case SIGUSR1:
                keyboard.unplug();
                break;
            case SIGUSR2:
                if (!keyboard.plug()) {
                    std::fprintf(stderr, "oskel-virtual-keyboard: %s\n", keyboard.error().c_str());
                }
                break;
            default:
                return endCommand(child);
        }
    }
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
    UsbDoorOptions usb;
    if (!parseArguments(argc, argv, options, usb)) {
        return 2;
    }
    if (usb.usb) {
        // umockdev sends its uevents through its preload: this program runs under it too.
        oskel::reexecUnderUmockdev(argv);
        if (::dlopen("libumockdev-preload.so.0", RTLD_NOW | RTLD_NOLOAD) == nullptr) {
            std::fprintf(stderr,
                         "oskel-virtual-keyboard: umockdev's preload cannot be loaded "
                         "(install umockdev)\n");
            return 1;
        }
    }
    // The signals are taken through a descriptor, blocked in every thread, so the serving
    // thread never sees them and the socket is always removed.
    sigset_t ending;
    sigemptyset(&ending);
    sigaddset(&ending, SIGINT);
    sigaddset(&ending, SIGTERM);
    sigaddset(&ending, SIGHUP);
    if (usb.usb) {
        sigaddset(&ending, SIGCHLD);
        sigaddset(&ending, SIGUSR1);
        sigaddset(&ending, SIGUSR2);
    }
    pthread_sigmask(SIG_BLOCK, &ending, nullptr);
    int signals = signalfd(-1, &ending, SFD_CLOEXEC);
    signal(SIGPIPE, SIG_IGN);
    if (usb.usb) {
        return runUsbDoor(options, usb, signals);
    }

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
