// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// A desktop notification through the freedesktop notification service
// (org.freedesktop.Notifications on the session bus), for the program and oskelctl alike.

#include <string>

struct DesktopNotification {
    std::string appName = "Oskel";
    std::string icon = "org.oskel.Oskel";
    std::string summary;
    std::string body;
    int expireMs = 4000;  // how long it stays; -1 for the server's own choice
};

// Shows it and returns true once the service has taken it. False, without a word, where there
// is no session bus, no service answers within two seconds, or a text is not valid UTF-8.
bool showDesktopNotification(const DesktopNotification& notification);
