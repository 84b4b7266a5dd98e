// SPDX-License-Identifier: GPL-2.0-or-later
#include "SleepInhibitor.h"

#include <fcntl.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cstdint>

namespace {

// A logind that does not answer within this time is treated as absent: the transfer must not
// wait on it.
constexpr std::uint64_t kCallTimeoutUsec = 3'000'000;

// Returns the lock's descriptor, or -1 when there is no bus, no logind, or it refused.
int takeLock(const char* why) {
    sd_bus* bus = nullptr;
    if (sd_bus_open_system(&bus) < 0) {
        return -1;
    }
    sd_bus_message* call = nullptr;
    sd_bus_message* reply = nullptr;
    sd_bus_error error = SD_BUS_ERROR_NULL;
    int lock = -1;
    if (sd_bus_message_new_method_call(bus, &call, "org.freedesktop.login1",
                                       "/org/freedesktop/login1", "org.freedesktop.login1.Manager",
                                       "Inhibit") >= 0 &&
        sd_bus_message_append(call, "ssss", "sleep:shutdown", SleepInhibitor::who(), why,
                              "block") >= 0 &&
        sd_bus_call(bus, call, kCallTimeoutUsec, &error, &reply) >= 0) {
        int received = -1;
        // The descriptor belongs to the reply, which is freed below: keep a copy of our own.
        if (sd_bus_message_read(reply, "h", &received) >= 0 && received >= 0) {
            lock = ::fcntl(received, F_DUPFD_CLOEXEC, 3);
        }
    }
    sd_bus_error_free(&error);
    sd_bus_message_unref(reply);
    sd_bus_message_unref(call);
    sd_bus_flush_close_unref(bus);
    return lock;
}

}  // namespace

SleepInhibitor::SleepInhibitor(Reason reason) : fd(takeLock(why(reason))) {}

SleepInhibitor::~SleepInhibitor() {
    release();
}

void SleepInhibitor::release() {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

const char* SleepInhibitor::who() {
    return "Oskel";
}

const char* SleepInhibitor::why(Reason reason) {
    return reason == Reason::Firmware ? "Updating the keyboard's firmware"
                                      : "Writing to the keyboard";
}
