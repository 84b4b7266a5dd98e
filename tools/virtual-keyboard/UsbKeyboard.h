// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The USB door of the virtual keyboard: the keyboard as the kernel shows a real one, in a
// umockdev testbed. A USB device with the keyboard's vendor and product ids carries two
// interfaces, 00 (the boot keyboard that types) and 01 (the configuration interface, 64-byte
// input and output reports), each with its hid device and its /dev/hidrawN node. A program run
// under umockdev's preload with UMOCKDEV_DIR set finds them through libudev, opens interface 01
// with hidapi's hidraw backend and talks to the keyboard as to the hardware.
//
// Like hidraw, the node may be open several times at once and every opener gets every input
// report. The opener that asked gets all of the answer; another keeps at most 64 unread reports
// and loses what comes after, as the kernel's hidraw buffer does. Pulling the cable (unplug(),
// or `dropAfter`) sends the "remove" uevents, takes the devices out of sysfs, fails a waiting
// read with EIO and later writes with ENODEV, and hangs up the node, so poll() reports POLLHUP;
// plug() puts a new device in, as replugging does.
//
// umockdev's preload must be in the process that makes the testbed (umockdev sends the uevents
// through it) and in every program that is to see the devices, from their start: call
// reexecUnderUmockdev() first thing in main().

#include <sys/types.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "EmulatedKeyboard.h"

struct _UMockdevTestbed;

namespace oskel {

// A umockdev testbed: a private /sys and /dev for this process and the programs it starts.
// Creating it sets UMOCKDEV_DIR; destroying it removes its folder.
class UsbTestbed {
public:
    UsbTestbed();
    ~UsbTestbed();
    UsbTestbed(const UsbTestbed&) = delete;
    UsbTestbed& operator=(const UsbTestbed&) = delete;

    bool ok() const { return testbed != nullptr; }
    // The testbed's folder (UMOCKDEV_DIR).
    const std::string& root() const { return rootDir; }
    _UMockdevTestbed* handle() const { return testbed; }

    // Numbers as the kernel hands them out: the lowest free hidraw minor, a USB port for each
    // keyboard, a new device number and hid id for every plug.
    int takeHidrawNumber();
    void giveBackHidrawNumber(int number);
    int takePort() { return ++ports; }
    int takeDeviceNumber() { return ++deviceNumbers; }
    int takeHidId() { return ++hidIds; }

    std::recursive_mutex lock;  // umockdev calls of every keyboard in this testbed

private:
    _UMockdevTestbed* testbed = nullptr;
    std::string rootDir;
    std::set<int> hidrawInUse;
    int ports = 0;
    int deviceNumbers = 1;  // 1 is the root hub
    int hidIds = 0;
};

struct UsbDeviceIds {
    unsigned short vendorId = 0x0483;
    unsigned short productId = 0x5022;
    std::string manufacturer = "Oskel";
    std::string product = "Oskel 108 Gaming Keyboard";
};

class UsbKeyboard : public EmulatedKeyboard {
public:
    UsbKeyboard(UsbTestbed& testbed, VirtualKeyboardOptions options = {}, UsbDeviceIds ids = {});
    ~UsbKeyboard() override;

    // Plugs the keyboard in (again); false with error() when the testbed refused. Harmless while
    // plugged.
    bool plug();
    // Pulls the cable. Harmless while unplugged.
    void unplug();
    bool plugged() const;
    // After the keyboard pulled its own cable (`dropAfter`), plug it back in after `delay`;
    // zero: leave it out.
    void setReplugAfter(std::chrono::milliseconds delay);
    // The permission bits of the nodes from the next plug on (0666: anybody may open them).
    void setNodeMode(mode_t mode);

    // /dev/hidrawN of interface 01 (the one Oskel talks to) and of interface 00; empty while
    // unplugged.
    std::string node() const;
    std::string bootNode() const;
    // The programs that have interface 01 open now.
    int openerCount() const;
    // Times the cable was pulled, by unplug() or by the keyboard itself.
    int unplugCount() const;

    const std::string& error() const { return lastError; }

    struct Door;

private:
    std::shared_ptr<Door> door;
    std::string lastError;
};

// Makes sure umockdev's preload is in this process: when it is not, runs the program again
// from the start with it (never returns then). Call first thing in main().
void reexecUnderUmockdev(char** argv);

}  // namespace oskel
