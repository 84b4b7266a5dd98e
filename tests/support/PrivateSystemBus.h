// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// A private system bus for tests: a dbus-daemon of the test's own, named by
// DBUS_SYSTEM_BUS_ADDRESS while it runs, and on it python3-dbusmock's logind template, the mock
// of systemd-logind that hands out real inhibitor descriptors and lists the locks still open.
// Tests skip when dbus-daemon or python3-dbusmock is not installed.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace oskeltest {

// One lock as logind lists it.
struct InhibitorLock {
    std::string what, who, why, mode;
    bool operator==(const InhibitorLock&) const = default;
};

inline void PrintTo(const InhibitorLock& l, std::ostream* os) {
    *os << "{" << l.what << ", " << l.who << ", " << l.why << ", " << l.mode << "}";
}

class PrivateSystemBus {
public:
    static constexpr const char* kDaemon = "/usr/bin/dbus-daemon";
    // Debian's own interpreter, which has the dbusmock and gi modules.
    static constexpr const char* kPython = "/usr/bin/python3";
    static constexpr const char* kLogindTemplate =
        "/usr/lib/python3/dist-packages/dbusmock/templates/logind.py";

    PrivateSystemBus() = default;
    PrivateSystemBus(const PrivateSystemBus&) = delete;
    PrivateSystemBus& operator=(const PrivateSystemBus&) = delete;
    ~PrivateSystemBus() { stop(); }

    static bool installed() {
        return ::access(kDaemon, X_OK) == 0 && ::access(kPython, X_OK) == 0 &&
               ::access(kLogindTemplate, R_OK) == 0;
    }

    // Starts the bus and points DBUS_SYSTEM_BUS_ADDRESS at it; false when it did not come up.
    bool start() {
        char pattern[] = "/tmp/oskel-bus-XXXXXX";
        if (::mkdtemp(pattern) == nullptr) {
            return false;
        }
        folder = pattern;
        const std::string wanted = "unix:path=" + folder + "/system_bus_socket";
        int ready[2];
        if (::pipe(ready) != 0) {
            return false;
        }
        ::fcntl(ready[0], F_SETFD, FD_CLOEXEC);
        // The session configuration lets the test's own user do anything on it.
        daemon = spawn({kDaemon, "--session", "--nofork", "--address=" + wanted,
                        "--print-address=" + std::to_string(ready[1])});
        ::close(ready[1]);
        std::string printed;
        pollfd watched{ready[0], POLLIN, 0};
        while (daemon > 0 && ::poll(&watched, 1, 15000) > 0) {
            char c;
            if (::read(ready[0], &c, 1) != 1 || c == '\n') {
                break;
            }
            printed += c;
        }
        ::close(ready[0]);
        if (printed.empty()) {
            stop();
            return false;
        }
        address = printed;
        const char* before = ::getenv("DBUS_SYSTEM_BUS_ADDRESS");
        savedAddress = before != nullptr ? before : "";
        hadAddress = before != nullptr;
        ::setenv("DBUS_SYSTEM_BUS_ADDRESS", address.c_str(), 1);
        return true;
    }

    // Starts the logind mock on the bus; true once it answers.
    bool startLogind() {
        logind = spawn({kPython, "-m", "dbusmock", "--system", "--template", "logind"});
        for (int i = 0; logind > 0 && i < 300; ++i) {
            if (callListInhibitors(nullptr)) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return false;
    }

    // Stops the mock; the bus stays.
    void stopLogind() { end(logind); }

    void stop() {
        end(logind);
        end(daemon);
        if (!address.empty()) {
            if (hadAddress) {
                ::setenv("DBUS_SYSTEM_BUS_ADDRESS", savedAddress.c_str(), 1);
            } else {
                ::unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
            }
            address.clear();
        }
        if (!folder.empty()) {
            ::unlink((folder + "/system_bus_socket").c_str());
            ::rmdir(folder.c_str());
            folder.clear();
        }
    }

    // The locks logind holds now (empty also when it cannot be asked).
    std::vector<InhibitorLock> inhibitors() const {
        std::vector<InhibitorLock> locks;
        callListInhibitors(&locks);
        return locks;
    }

    // The locks once they number `count`, or what they are after `wait`: logind learns of a
    // closed lock only when its main loop sees the descriptor hang up.
    std::vector<InhibitorLock> inhibitorsOnce(
        std::size_t count, std::chrono::seconds wait = std::chrono::seconds(20)) const {
        const auto end = std::chrono::steady_clock::now() + wait;
        std::vector<InhibitorLock> locks = inhibitors();
        while (locks.size() != count && std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            locks = inhibitors();
        }
        return locks;
    }

    std::string address;

private:
    bool callListInhibitors(std::vector<InhibitorLock>* locks) const {
        sd_bus* bus = nullptr;
        if (sd_bus_new(&bus) < 0) {
            return false;
        }
        sd_bus_set_address(bus, address.c_str());
        sd_bus_set_bus_client(bus, 1);
        sd_bus_message* reply = nullptr;
        sd_bus_error error = SD_BUS_ERROR_NULL;
        bool ok = sd_bus_start(bus) >= 0 &&
                  sd_bus_call_method(bus, "org.freedesktop.login1", "/org/freedesktop/login1",
                                     "org.freedesktop.login1.Manager", "ListInhibitors", &error,
                                     &reply, "") >= 0 &&
                  sd_bus_message_enter_container(reply, 'a', "(ssssuu)") >= 0;
        while (ok) {
            const char *what, *who, *why, *mode;
            unsigned uid, pid;
            const int r =
                sd_bus_message_read(reply, "(ssssuu)", &what, &who, &why, &mode, &uid, &pid);
            if (r <= 0) {
                ok = r == 0;
                break;
            }
            if (locks != nullptr) {
                locks->push_back({what, who, why, mode});
            }
        }
        sd_bus_error_free(&error);
        sd_bus_message_unref(reply);
        sd_bus_flush_close_unref(bus);
        return ok;
    }

    static pid_t spawn(std::vector<std::string> args) {
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        pid_t pid = -1;
        const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        return spawned == 0 ? pid : -1;
    }

    static void end(pid_t& pid) {
        if (pid > 0) {
            ::kill(pid, SIGTERM);
            ::waitpid(pid, nullptr, 0);
            pid = -1;
        }
    }

    std::string folder;
    std::string savedAddress;
    bool hadAddress = false;
    pid_t daemon = -1;
    pid_t logind = -1;
};

}  // namespace oskeltest
