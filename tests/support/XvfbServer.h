// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// A private X server for tests that need a display: Xvfb on a free display number it picks
// itself (-displayfd), stopped at the end. Tests skip when Xvfb is not installed.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

extern char** environ;

namespace oskeltest {

class XvfbServer {
public:
    XvfbServer() = default;
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;
    ~XvfbServer() { stop(); }

    static bool installed() { return !programPath().empty(); }

    // Starts the server and answers its display name (":N"), empty when it did not come up.
    std::string start() {
        const std::string program = programPath();
        int ready[2];
        if (program.empty() || ::pipe(ready) != 0) {
            return {};
        }
        ::fcntl(ready[0], F_SETFD, FD_CLOEXEC);
        std::vector<std::string> args = {program,     "-displayfd", std::to_string(ready[1]),
                                         "-nolisten", "tcp",        "-screen",
                                         "0",         "800x600x24", "-noreset"};
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(ready[1]);
        if (spawned != 0) {
            pid = -1;
            ::close(ready[0]);
            return {};
        }
        std::string number;
        pollfd watched{ready[0], POLLIN, 0};
        while (::poll(&watched, 1, 15000) > 0) {
            char c;
            if (::read(ready[0], &c, 1) != 1 || c == '\n') {
                break;
            }
            number += c;
        }
        ::close(ready[0]);
        if (number.empty()) {
            stop();
            return {};
        }
        name = ":" + number;
        return name;
    }

    void stop() {
        if (pid > 0) {
            ::kill(pid, SIGTERM);
            ::waitpid(pid, nullptr, 0);
            pid = -1;
        }
    }

    const std::string& display() const { return name; }

private:
    static std::string programPath() {
        const char* path = ::getenv("PATH");
        std::string folders = path != nullptr ? path : "/usr/bin:/bin";
        std::size_t from = 0;
        while (from <= folders.size()) {
            const std::size_t to = folders.find(':', from);
            const std::string folder =
                folders.substr(from, to == std::string::npos ? std::string::npos : to - from);
            const std::string candidate = (folder.empty() ? "." : folder) + "/Xvfb";
            if (::access(candidate.c_str(), X_OK) == 0) {
                return candidate;
            }
            if (to == std::string::npos) {
                break;
            }
            from = to + 1;
        }
        return {};
    }

    pid_t pid = -1;
    std::string name;
};

}  // namespace oskeltest
