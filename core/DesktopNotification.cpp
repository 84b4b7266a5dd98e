// SPDX-License-Identifier: GPL-2.0-or-later
#include "DesktopNotification.h"

#include <systemd/sd-bus.h>

#include <cstdint>

namespace {

constexpr std::uint64_t kAnswerTimeoutUs = 2'000'000;

struct Bus {
    sd_bus* bus = nullptr;
    ~Bus() { sd_bus_flush_close_unref(bus); }
};

struct Message {
    sd_bus_message* message = nullptr;
    ~Message() { sd_bus_message_unref(message); }
};

}  // namespace

bool showDesktopNotification(const DesktopNotification& n) {
    Bus bus;
    if (sd_bus_open_user(&bus.bus) < 0) {
        return false;
    }
    Message call;
    if (sd_bus_message_new_method_call(bus.bus, &call.message, "org.freedesktop.Notifications",
                                       "/org/freedesktop/Notifications",
                                       "org.freedesktop.Notifications", "Notify") < 0) {
        return false;
    }
    // Notify(app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout).
    const std::uint32_t replaces = 0;
    if (sd_bus_message_append(call.message, "susss", n.appName.c_str(), replaces, n.icon.c_str(),
                              n.summary.c_str(), n.body.c_str()) < 0 ||
        sd_bus_message_append(call.message, "as", 0) < 0 ||
        sd_bus_message_append(call.message, "a{sv}", 2, "desktop-entry", "s", "org.oskel.Oskel",
                              "transient", "b", 1) < 0 ||
        sd_bus_message_append(call.message, "i", static_cast<std::int32_t>(n.expireMs)) < 0) {
        return false;
    }
    sd_bus_error error = SD_BUS_ERROR_NULL;
    Message reply;
    const int r = sd_bus_call(bus.bus, call.message, kAnswerTimeoutUs, &error, &reply.message);
    sd_bus_error_free(&error);
    return r >= 0;
}
