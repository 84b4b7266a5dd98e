// SPDX-License-Identifier: GPL-2.0-or-later
#include "DeviceWatch.h"

#include <linux/netlink.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QSocketNotifier>
#include <QTimer>
#include <cstring>

#include "OskelHWI.h"

#if defined(OSKEL_HAVE_LIBUDEV)
#include <libudev.h>
#endif

DeviceWatch::DeviceWatch(QObject* parent) : QObject(parent) {
    openUdev();
    if (notifier == nullptr) {
        openUevent();
    }
    watchFolder();
}

DeviceWatch::~DeviceWatch() {
    delete notifier;
#if defined(OSKEL_HAVE_LIBUDEV)
    if (udevMonitor != nullptr) {
        udev_monitor_unref(udevMonitor);
    }
    if (udevContext != nullptr) {
        udev_unref(udevContext);
    }
#endif
    if (ueventSocket >= 0) {
        ::close(ueventSocket);
    }
}

QString DeviceWatch::virtualKeyboardFolder() {
    return QString::fromLocal8Bit(CTravoHWI::virtualKeyboardFolder());
}

void DeviceWatch::openUdev() {
#if defined(OSKEL_HAVE_LIBUDEV)
    // Without udevd nobody sends udev's events; the kernel's are read instead. A umockdev
    // testbed (UMOCKDEV_DIR) sends udev's events itself, for the devices it emulates.
    if (!QFileInfo::exists(QStringLiteral("/run/udev/control")) &&
        qEnvironmentVariableIsEmpty("UMOCKDEV_DIR")) {
        return;
    }
    udevContext = udev_new();
    if (udevContext == nullptr) {
        return;
    }
    udevMonitor = udev_monitor_new_from_netlink(udevContext, "udev");
    if (udevMonitor == nullptr ||
        udev_monitor_filter_add_match_subsystem_devtype(udevMonitor, "hidraw", nullptr) < 0 ||
        udev_monitor_enable_receiving(udevMonitor) < 0) {
        return;
    }
    notifier = new QSocketNotifier(udev_monitor_get_fd(udevMonitor), QSocketNotifier::Read);
    connect(notifier, &QSocketNotifier::activated, this, &DeviceWatch::readUdev);
    source = QStringLiteral("udev");
#endif
}

void DeviceWatch::readUdev() {
#if defined(OSKEL_HAVE_LIBUDEV)
    while (udev_device* device = udev_monitor_receive_device(udevMonitor)) {
        udev_device_unref(device);
        report();
    }
#endif
}

void DeviceWatch::openUevent() {
    ueventSocket =
        ::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_KOBJECT_UEVENT);
    if (ueventSocket < 0) {
        return;
    }
    sockaddr_nl address{};
    address.nl_family = AF_NETLINK;
    address.nl_groups = 1;  // the kernel's own uevents
    if (::bind(ueventSocket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(ueventSocket);
        ueventSocket = -1;
        return;
    }
    notifier = new QSocketNotifier(ueventSocket, QSocketNotifier::Read);
    connect(notifier, &QSocketNotifier::activated, this, &DeviceWatch::readUevent);
    source = QStringLiteral("uevent");
}

void DeviceWatch::readUevent() {
    char buffer[8192];
    for (;;) {
        const ssize_t n = ::recv(ueventSocket, buffer, sizeof buffer - 1, 0);
        if (n <= 0) {
            return;
        }
        buffer[n] = '\0';
        // "action@devpath" then NUL-separated KEY=value fields; only hidraw devices matter.
        bool hidraw = false;
        for (ssize_t at = 0; at < n; at += static_cast<ssize_t>(std::strlen(buffer + at)) + 1) {
            if (std::strcmp(buffer + at, "SUBSYSTEM=hidraw") == 0) {
                hidraw = true;
            }
        }
        if (hidraw) {
            report();
        }
    }
}

// The folder may not exist yet: the nearest existing parent is watched until it does.
void DeviceWatch::watchFolder() {
    if (folderWatch == nullptr) {
        folderWatch = new QFileSystemWatcher(this);
        connect(folderWatch, &QFileSystemWatcher::directoryChanged, this,
                &DeviceWatch::folderChanged);
    }
    const QStringList watched = folderWatch->directories();
    if (!watched.isEmpty()) {
        folderWatch->removePaths(watched);
    }
    QString path = virtualKeyboardFolder();
    while (!path.isEmpty() && !QFileInfo(path).isDir()) {
        const QString parent = QFileInfo(path).path();
        path = parent == path ? QString() : parent;
    }
    if (!path.isEmpty()) {
        folderWatch->addPath(path);
    }
}

void DeviceWatch::folderChanged() {
    const QStringList watched = folderWatch->directories();
    if (watched.isEmpty() || watched.constFirst() != virtualKeyboardFolder() ||
        !QFileInfo(virtualKeyboardFolder()).isDir()) {
        watchFolder();
    }
    report();
}

// Several events of one plug or unplug make one check.
void DeviceWatch::report() {
    if (reportPending) {
        return;
    }
    reportPending = true;
    QTimer::singleShot(0, this, [this] {
        reportPending = false;
        emit deviceChanged();
    });
}
