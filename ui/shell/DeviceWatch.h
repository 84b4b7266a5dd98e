// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Tells the main window when devices come or go: hidraw devices (through udev when udevd runs or
// a umockdev testbed stands in for it, else the kernel's uevents) and the sockets of virtual
// keyboards. The window then asks the
// device library whether its keyboard is still there.

#include <QObject>
#include <QString>

class QFileSystemWatcher;
class QSocketNotifier;

class DeviceWatch : public QObject {
    Q_OBJECT

public:
    explicit DeviceWatch(QObject* parent = nullptr);
    ~DeviceWatch() override;

    // Where virtual keyboards put their sockets: $XDG_RUNTIME_DIR/oskel/hid, or
    // /tmp/oskel-<uid>/hid without that variable.
    static QString virtualKeyboardFolder();

    // Which source reports hidraw events: "udev", "uevent" or "none".
    QString hidrawSource() const { return source; }

signals:
    // Some device was added or removed; several changes may arrive as one.
    void deviceChanged();

private:
    void openUdev();
    void openUevent();
    void readUdev();
    void readUevent();
    void watchFolder();
    void folderChanged();
    void report();

    QString source = QStringLiteral("none");
    QSocketNotifier* notifier = nullptr;
    QFileSystemWatcher* folderWatch = nullptr;
    struct udev* udevContext = nullptr;
    struct udev_monitor* udevMonitor = nullptr;
    int ueventSocket = -1;
    bool reportPending = false;
};
