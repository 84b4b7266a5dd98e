// SPDX-License-Identifier: GPL-2.0-or-later
#include "UsbKeyboard.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <linux/hidraw.h>
#include <linux/input.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <umockdev.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <thread>
#include <vector>

namespace oskel {

namespace {

using Clock = std::chrono::steady_clock;

// The kernel keeps this many unread input reports for each open file of a hidraw node.
constexpr std::size_t kHidrawBuffer = 64;
// A keyboard that takes no more reports fails a write after the kernel's USB timeout.
constexpr auto kWriteTimeout = std::chrono::milliseconds(5000);

// Interface 01: the vendor page, one 64-byte input and one 64-byte output report, no report ids.
const std::uint8_t kConfigurationDescriptor[] = {
    0x06, 0x00, 0xFF,  // usage page (vendor 0xFF00)
    0x09, 0x01,        // usage 1
    0xA1, 0x01,        // collection (application)
    0x09, 0x02, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x40, 0x81, 0x02,  // input
    0x09, 0x03, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x40, 0x91, 0x02,  // output
    0xC0,
};

// Interface 00: the boot keyboard.
const std::uint8_t kBootKeyboardDescriptor[] = {
    0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7, 0x15, 0x00, 0x25, 0x01,
    0x75, 0x01, 0x95, 0x08, 0x81, 0x02, 0x95, 0x01, 0x75, 0x08, 0x81, 0x01, 0x95, 0x05, 0x75, 0x01,
    0x05, 0x08, 0x19, 0x01, 0x29, 0x05, 0x91, 0x02, 0x95, 0x01, 0x75, 0x03, 0x91, 0x01, 0x95, 0x06,
    0x75, 0x08, 0x15, 0x00, 0x25, 0x65, 0x05, 0x07, 0x19, 0x00, 0x29, 0x65, 0x81, 0x00, 0xC0,
};

std::string hexText(const std::uint8_t* bytes, std::size_t size) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (std::size_t i = 0; i < size; ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 15];
    }
    return text;
}

std::string format(const char* pattern, auto... values) {
    char text[256];
    std::snprintf(text, sizeof text, pattern, values...);
    return text;
}

struct Opener {
    UMockdevIoctlClient* client = nullptr;  // a reference is held
    KeyboardOpener counts;
    std::deque<Payload> queue;
    bool writeWaiting = false;  // the keyboard takes no more reports: the write times out
    Clock::time_point writeDeadline;
};

// One interface's hidraw node during one plug. The node is a pty: hidapi polls it, and one
// byte waits in it while some opener has a report to read.
struct Node {
    int interface = 0;
    int hidraw = -1;
    int master = -1;
    int slave = -1;  // our own end of the node, to take the byte back
    std::string slavePath;
    unsigned major = 0;
    unsigned minor = 0;
    std::string devnode;  // /dev/hidrawN
    UMockdevIoctlBase* handler = nullptr;
    bool attached = false;
    bool ready = false;
    std::map<UMockdevIoctlClient*, std::unique_ptr<Opener>> openers;
};

struct Plug {
    bool gone = false;
    std::vector<std::string> syspaths;  // parents before children
    Node nodes[2];
};

}  // namespace

struct UsbKeyboard::Door {
    Door(UsbTestbed& testbed, UsbDeviceIds ids)
        : testbed(testbed), ids(std::move(ids)), lock(testbed.lock) {}

    UsbKeyboard* keyboard = nullptr;  // null once the keyboard is gone
    UsbTestbed& testbed;
    UsbDeviceIds ids;
    int port = 0;
    mode_t mode = 0666;
    // The testbed's lock: every keyboard of a testbed shares it, so umockdev is called from one
    // thread at a time and no two locks are ever taken in different orders.
    std::recursive_mutex& lock;
    std::condition_variable_any wake;
    std::vector<std::unique_ptr<Plug>> plugs;  // old plugs stay for the openers they still have
    Plug* current = nullptr;
    std::chrono::milliseconds replugDelay{0};
    bool replugDue = false;
    Clock::time_point replugAt;
    int unplugs = 0;
    bool stopping = false;
    std::thread worker;

    bool plug(std::string& error);
    void pullCable(Plug& plug, bool byItself);
    void updateReadiness(Node& node);
    void deliver(UMockdevIoctlClient* client, Opener& opener);
    void work();
    // Lets go of every handler, opener and pty.
    void shutdown();
    // The devices of one plug for umockdev_testbed_add_from_string; notes their paths.
    std::string description(Plug& plug, int devnum, const int hidIds[2]) const;
};

namespace {

// What a signal handler of a node knows: its door, plug and interface.
struct NodeRef {
    std::shared_ptr<UsbKeyboard::Door> door;
    Plug* plug;
    int interface;
};

void freeNodeRef(gpointer data, GClosure*) {
    delete static_cast<NodeRef*>(data);
}

void complete(UMockdevIoctlClient* client, long result, int error) {
    umockdev_ioctl_client_complete(client, result, error);
}

// Copies `text` into the ioctl's buffer of `size` bytes; answers the bytes written.
long answerText(UMockdevIoctlData* arg, std::size_t size, const std::string& text) {
    GError* error = nullptr;
    UMockdevIoctlData* data = umockdev_ioctl_data_resolve(arg, 0, size, &error);
    if (data == nullptr) {
        g_clear_error(&error);
        return -EFAULT;
    }
    const std::size_t n = std::min(size, text.size() + 1);
    std::memcpy(data->data, text.c_str(), n);
    g_object_unref(data);
    return static_cast<long>(n);
}

gboolean handleIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer data) {
    auto* ref = static_cast<NodeRef*>(data);
    std::lock_guard lock(ref->door->lock);
    if (ref->door->keyboard == nullptr || ref->plug->gone) {
        complete(client, -1, ENODEV);
        return TRUE;
    }
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    const std::size_t size = _IOC_SIZE(request);
    const unsigned long kind =
        request & ~(static_cast<unsigned long>(_IOC_SIZEMASK) << _IOC_SIZESHIFT);
    const bool boot = ref->interface == 0;
    const std::uint8_t* descriptor = boot ? kBootKeyboardDescriptor : kConfigurationDescriptor;
    const std::size_t descriptorSize =
        boot ? sizeof kBootKeyboardDescriptor : sizeof kConfigurationDescriptor;
    const UsbDeviceIds& ids = ref->door->ids;
    GError* error = nullptr;
    long result = -ENOTTY;
    if (request == HIDIOCGRDESCSIZE) {
        if (UMockdevIoctlData* value = umockdev_ioctl_data_resolve(arg, 0, sizeof(int), &error)) {
            *reinterpret_cast<int*>(value->data) = static_cast<int>(descriptorSize);
            g_object_unref(value);
            result = 0;
        }
    } else if (request == HIDIOCGRDESC) {
        if (UMockdevIoctlData* value =
                umockdev_ioctl_data_resolve(arg, 0, sizeof(hidraw_report_descriptor), &error)) {
            auto* asked = reinterpret_cast<hidraw_report_descriptor*>(value->data);
            const std::size_t n = std::min<std::size_t>(asked->size, descriptorSize);
            std::memcpy(asked->value, descriptor, n);
            g_object_unref(value);
            result = 0;
        }
    } else if (request == HIDIOCGRAWINFO) {
        if (UMockdevIoctlData* value =
                umockdev_ioctl_data_resolve(arg, 0, sizeof(hidraw_devinfo), &error)) {
            auto* info = reinterpret_cast<hidraw_devinfo*>(value->data);
            info->bustype = BUS_USB;
            info->vendor = static_cast<__s16>(ids.vendorId);
            info->product = static_cast<__s16>(ids.productId);
            g_object_unref(value);
            result = 0;
        }
    } else if (kind == HIDIOCGRAWNAME(0)) {
        result = answerText(arg, size, ids.manufacturer + " " + ids.product);
    } else if (kind == HIDIOCGRAWPHYS(0)) {
        result = answerText(arg, size,
                            format("usb-0000:00:14.0-%d/input%d", ref->door->port, ref->interface));
    }
    g_clear_error(&error);
    if (result < 0) {
        complete(client, -1, static_cast<int>(-result));
    } else {
        complete(client, result, 0);
    }
    return TRUE;
}

Opener& openerOf(Node& node, UMockdevIoctlClient* client) {
    auto& opener = node.openers[client];
    if (!opener) {
        opener = std::make_unique<Opener>();
        opener->client = client;
        g_object_ref(client);
    }
    return *opener;
}

gboolean handleRead(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer data) {
    auto* ref = static_cast<NodeRef*>(data);
    auto& door = *ref->door;
    std::lock_guard lock(door.lock);
    if (door.keyboard == nullptr || ref->plug->gone) {
        complete(client, -1, EIO);
        return TRUE;
    }
    Node& node = ref->plug->nodes[ref->interface];
    Opener& opener = openerOf(node, client);
    if (!opener.queue.empty()) {
        door.deliver(client, opener);
        door.updateReadiness(node);
    } else {
        // The node polled ready for another opener. The keyboard answers a request at once, so
        // nothing more is coming for this one: "nothing yet", as a non-blocking read says.
        complete(client, -1, EAGAIN);
    }
    return TRUE;
}

gboolean handleWrite(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer data) {
    auto* ref = static_cast<NodeRef*>(data);
    auto& door = *ref->door;
    std::lock_guard lock(door.lock);
    if (door.keyboard == nullptr || ref->plug->gone) {
        complete(client, -1, ENODEV);
        return TRUE;
    }
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    const std::size_t length = static_cast<std::size_t>(std::max(arg->data_len, 0));
    if (ref->interface == 0) {
        complete(client, static_cast<long>(length), 0);  // the boot keyboard's lights
        return TRUE;
    }
    Node& node = ref->plug->nodes[1];
    Opener& opener = openerOf(node, client);
    if (door.keyboard->frozen(opener.counts)) {
        opener.writeWaiting = true;
        opener.writeDeadline = Clock::now() + kWriteTimeout;
        door.wake.notify_all();
        return TRUE;
    }
    // The report id comes first; the interface numbers no reports, so it is not sent on.
    Payload payload{};
    if (length > 1) {
        std::memcpy(payload.data(), arg->data + 1, std::min<std::size_t>(length - 1, 64));
    }
    const KeyboardReaction reaction = door.keyboard->take(payload, opener.counts);
    complete(client, static_cast<long>(length), 0);
    if (reaction.unplug) {
        door.pullCable(*ref->plug, true);
        return TRUE;
    }
    if (reaction.answers.empty()) {
        return TRUE;
    }
    for (auto& [other, state] : node.openers) {
        for (const Payload& answer : reaction.answers) {
            if (other == client || state->queue.size() < kHidrawBuffer) {
                state->queue.push_back(answer);
            }
        }
    }
    door.updateReadiness(node);
    return TRUE;
}

void clientClosed(GObject* object, GParamSpec*, gpointer data) {
    auto* ref = static_cast<NodeRef*>(data);
    auto* client = UMOCKDEV_IOCTL_CLIENT(object);
    if (umockdev_ioctl_client_get_connected(client)) {
        return;
    }
    // Disconnecting below frees `ref`: what is needed is taken first.
    const std::shared_ptr<UsbKeyboard::Door> door = ref->door;
    Plug* plug = ref->plug;
    std::lock_guard lock(door->lock);
    Node& node = plug->nodes[ref->interface];
    auto found = node.openers.find(client);
    if (found == node.openers.end()) {
        return;
    }
    if (door->keyboard != nullptr) {
        door->keyboard->openerGone(found->second->counts);
    }
    node.openers.erase(found);
    g_signal_handlers_disconnect_matched(client, G_SIGNAL_MATCH_FUNC, 0, 0, nullptr,
                                         reinterpret_cast<gpointer>(clientClosed), nullptr);
    g_object_unref(client);
    if (!plug->gone) {
        door->updateReadiness(node);
    }
}

void clientConnected(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer data) {
    auto* ref = static_cast<NodeRef*>(data);
    auto& door = *ref->door;
    std::lock_guard lock(door.lock);
    openerOf(ref->plug->nodes[ref->interface], client);
    g_signal_connect_data(client, "notify::connected", G_CALLBACK(clientClosed), new NodeRef(*ref),
                          freeNodeRef, GConnectFlags(0));
}

}  // namespace

void UsbKeyboard::Door::deliver(UMockdevIoctlClient* client, Opener& opener) {
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    // One report per read; a short buffer gets the start of it and the rest is lost.
    const std::size_t n = std::min<std::size_t>(std::max(arg->data_len, 0), 64);
    std::memcpy(arg->data, opener.queue.front().data(), n);
    opener.queue.pop_front();
    complete(client, static_cast<long>(n), 0);
}

void UsbKeyboard::Door::updateReadiness(Node& node) {
    if (node.master < 0) {
        return;
    }
    const bool wanted = std::any_of(node.openers.begin(), node.openers.end(),
                                    [](const auto& entry) { return !entry.second->queue.empty(); });
    char token = 'r';
    if (wanted && !node.ready) {
        node.ready = ::write(node.master, &token, 1) == 1;
    } else if (!wanted && node.ready) {
        node.ready = ::read(node.slave, &token, 1) != 1;
    }
}

std::string UsbKeyboard::Door::description(Plug& plug, int devnum, const int hidIds[2]) const {
    std::string text;
    const std::string usb = format("/devices/pci0000:00/0000:00:14.0/usb1/1-%d", port);
    text += "P: " + usb + "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\n";
    plug.syspaths.push_back("/sys" + usb);
    text += format("E: PRODUCT=%x/%x/100\nE: BUSNUM=001\nE: DEVNUM=%03d\n", ids.vendorId,
                   ids.productId, devnum);
    text += format("A: idVendor=%04x\nA: idProduct=%04x\nA: bcdDevice=0100\n", ids.vendorId,
                   ids.productId);
    text += "A: manufacturer=" + ids.manufacturer + "\nA: product=" + ids.product + "\n";
    text += format("A: busnum=1\nA: devnum=%d\nA: speed=12\nA: bNumInterfaces= 2\n\n", devnum);
    for (const Node& node : plug.nodes) {
        const int i = node.interface;
        const std::string interface = format("%s/1-%d:1.%d", usb.c_str(), port, i);
        text += "P: " + interface + "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_interface\n";
        plug.syspaths.push_back("/sys" + interface);
        text += i == 0 ? "E: INTERFACE=3/1/1\n" : "E: INTERFACE=3/0/0\n";
        text += format("A: bInterfaceNumber=%02d\nA: bInterfaceClass=03\n", i);
        text += i == 0 ? "A: bInterfaceSubClass=01\nA: bInterfaceProtocol=01\n\n"
                       : "A: bInterfaceSubClass=00\nA: bInterfaceProtocol=00\n\n";
        const std::string hidName =
            format("%04X:%04X:%04X.%04X", 3, ids.vendorId, ids.productId, hidIds[i]);
        const std::string hid = interface + "/" + hidName;
        text += "P: " + hid + "\nE: SUBSYSTEM=hid\nE: DRIVER=hid-generic\n";
        plug.syspaths.push_back("/sys" + hid);
        text += format("E: HID_ID=0003:%08X:%08X\n", ids.vendorId, ids.productId);
        text += "E: HID_NAME=" + ids.manufacturer + " " + ids.product + "\n";
        text += format("E: HID_PHYS=usb-0000:00:14.0-%d/input%d\nE: HID_UNIQ=\n", port, i);
        text += format("E: MODALIAS=hid:b0003g0001v%08Xp%08X\n", ids.vendorId, ids.productId);
        text += i == 0 ? "H: report_descriptor=" +
                             hexText(kBootKeyboardDescriptor, sizeof kBootKeyboardDescriptor)
                       : "H: report_descriptor=" +
                             hexText(kConfigurationDescriptor, sizeof kConfigurationDescriptor);
        text += "\n\n";
        text += "P: " + hid + format("/hidraw/hidraw%d\n", node.hidraw);
        plug.syspaths.push_back("/sys" + hid + format("/hidraw/hidraw%d", node.hidraw));
        text += "E: SUBSYSTEM=hidraw\n" + format("E: DEVNAME=/dev/hidraw%d\n", node.hidraw);
        text += format("E: MAJOR=%u\nE: MINOR=%u\nA: dev=%u:%u\n", node.major, node.minor,
                       node.major, node.minor);
        text += "L: device=../../../" + hidName + "\n\n";
    }
    return text;
}

bool UsbKeyboard::Door::plug(std::string& error) {
    std::lock_guard guard(lock);
    if (current != nullptr) {
        return true;
    }
    // Kept from here on, even when the plug fails half way: the nodes' handlers point at it.
    plugs.push_back(std::make_unique<Plug>());
    Plug& plug = *plugs.back();
    plug.gone = true;
    const std::string root = testbed.root();
    ::mkdir((root + "/dev").c_str(), 0755);
    ::mkdir((root + "/dev/.ptymap").c_str(), 0755);
    for (int i = 0; i < 2; ++i) {
        Node& node = plug.nodes[i];
        node.interface = i;
        if (::openpty(&node.master, &node.slave, nullptr, nullptr, nullptr) != 0) {
            error = std::string("cannot make a node: ") + std::strerror(errno);
            return false;
        }
        termios raw{};
        ::tcgetattr(node.slave, &raw);
        ::cfmakeraw(&raw);
        ::tcsetattr(node.slave, TCSANOW, &raw);
        ::fcntl(node.slave, F_SETFL, ::fcntl(node.slave, F_GETFL) | O_NONBLOCK);
        ::fcntl(node.master, F_SETFD, FD_CLOEXEC);
        ::fcntl(node.slave, F_SETFD, FD_CLOEXEC);
        ::fchmod(node.slave, mode);
        char name[64];
        struct stat info {};
        if (::ttyname_r(node.slave, name, sizeof name) != 0 || ::fstat(node.slave, &info) != 0) {
            error = "cannot name a node";
            return false;
        }
        node.slavePath = name;
        node.major = major(info.st_rdev);
        node.minor = minor(info.st_rdev);
        node.hidraw = testbed.takeHidrawNumber();
        node.devnode = format("/dev/hidraw%d", node.hidraw);
        // The node is the pty; hidapi's fstat sees the pty's number, so sysfs carries it too,
        // and the map tells umockdev's isatty() that this terminal is no terminal.
        const std::string link = root + node.devnode;
        ::unlink(link.c_str());
        if (::symlink(node.slavePath.c_str(), link.c_str()) != 0) {
            error = "cannot make " + link + ": " + std::strerror(errno);
            return false;
        }
        std::string mapped = node.slavePath;
        std::replace(mapped.begin(), mapped.end(), '/', '_');
        const std::string map = root + "/dev/.ptymap/" + mapped;
        ::unlink(map.c_str());
        if (::symlink(format("%u:%u", node.major, node.minor).c_str(), map.c_str()) != 0) {
            error = "cannot make " + map;
            return false;
        }
        node.handler = umockdev_ioctl_base_new();
        auto connect = [&](const char* signal, GCallback callback) {
            g_signal_connect_data(node.handler, signal, callback,
                                  new NodeRef{keyboard->door, &plug, i}, freeNodeRef,
                                  GConnectFlags(0));
        };
        connect("handle-ioctl", G_CALLBACK(handleIoctl));
        connect("handle-read", G_CALLBACK(handleRead));
        connect("handle-write", G_CALLBACK(handleWrite));
        connect("client-connected", G_CALLBACK(clientConnected));
        GError* failure = nullptr;
        if (!umockdev_testbed_attach_ioctl(testbed.handle(), node.devnode.c_str(), node.handler,
                                           &failure)) {
            error = failure != nullptr ? failure->message : "cannot attach to the node";
            g_clear_error(&failure);
            return false;
        }
        node.attached = true;
        // Any user's program reaches the handler; the node's own mode says who may open it.
        ::chmod((root + "/ioctl" + node.devnode).c_str(), 0666);
    }
    const int devnum = testbed.takeDeviceNumber();
    const int hidIds[2] = {testbed.takeHidId(), testbed.takeHidId()};
    GError* failure = nullptr;
    if (!umockdev_testbed_add_from_string(testbed.handle(),
                                          description(plug, devnum, hidIds).c_str(), &failure)) {
        error = failure != nullptr ? failure->message : "the testbed refused the device";
        g_clear_error(&failure);
        return false;
    }
    plug.gone = false;
    current = &plug;
    return true;
}

void UsbKeyboard::Door::pullCable(Plug& plug, bool byItself) {
    std::lock_guard guard(lock);
    if (plug.gone || current != &plug) {
        return;
    }
    plug.gone = true;
    ++unplugs;
    for (Node& node : plug.nodes) {
        for (auto& [client, opener] : node.openers) {
            if (opener->writeWaiting) {
                complete(client, -1, ENODEV);
            }
            opener->writeWaiting = false;
            opener->queue.clear();
        }
        // Closing the pty's master hangs the node up: every opener's poll reports POLLHUP.
        if (node.master >= 0) {
            ::close(node.master);
            node.master = -1;
        }
    }
    // "remove" for every device, children first as the kernel sends them, each device's nodes
    // and sysfs entries gone with it (one device at a time: not every umockdev takes the
    // children along).
    for (auto at = plug.syspaths.rbegin(); at != plug.syspaths.rend(); ++at) {
#if !defined(OSKEL_UMOCKDEV_REMOVE_SENDS_UEVENT)
        umockdev_testbed_uevent(testbed.handle(), at->c_str(), "remove");
#endif
        umockdev_testbed_remove_device(testbed.handle(), at->c_str());
    }
    for (Node& node : plug.nodes) {
        if (node.attached) {
            umockdev_testbed_detach_ioctl(testbed.handle(), node.devnode.c_str(), nullptr);
            node.attached = false;
        }
        testbed.giveBackHidrawNumber(node.hidraw);
        std::string mapped = node.slavePath;
        std::replace(mapped.begin(), mapped.end(), '/', '_');
        ::unlink((testbed.root() + "/dev/.ptymap/" + mapped).c_str());
        ::unlink((testbed.root() + node.devnode).c_str());
    }
    if (current == &plug) {
        current = nullptr;
    }
    if (byItself && replugDelay.count() > 0) {
        replugDue = true;
        replugAt = Clock::now() + replugDelay;
    }
    wake.notify_all();
}

// Fails the writes that waited too long, and plugs the keyboard back in when due.
void UsbKeyboard::Door::work() {
    std::unique_lock guard(lock);
    while (!stopping) {
        const auto now = Clock::now();
        auto next = now + std::chrono::seconds(1);
        for (auto& plug : plugs) {
            for (Node& node : plug->nodes) {
                for (auto& [client, opener] : node.openers) {
                    if (opener->writeWaiting) {
                        if (opener->writeDeadline <= now) {
                            opener->writeWaiting = false;
                            complete(client, -1, ETIMEDOUT);
                        } else {
                            next = std::min(next, opener->writeDeadline);
                        }
                    }
                }
            }
        }
        if (replugDue) {
            if (replugAt <= now) {
                replugDue = false;
                std::string ignored;
                guard.unlock();
                plug(ignored);
                guard.lock();
                continue;
            }
            next = std::min(next, replugAt);
        }
        wake.wait_until(guard, next);
    }
}

void UsbKeyboard::Door::shutdown() {
    std::lock_guard guard(lock);
    for (auto& plug : plugs) {
        for (Node& node : plug->nodes) {
            for (auto& [client, opener] : node.openers) {
                g_signal_handlers_disconnect_matched(client, G_SIGNAL_MATCH_FUNC, 0, 0, nullptr,
                                                     reinterpret_cast<gpointer>(clientClosed),
                                                     nullptr);
                g_object_unref(client);
            }
            node.openers.clear();
            if (node.handler != nullptr) {
                for (gpointer callback : {reinterpret_cast<gpointer>(handleIoctl),
                                          reinterpret_cast<gpointer>(handleRead),
                                          reinterpret_cast<gpointer>(handleWrite),
                                          reinterpret_cast<gpointer>(clientConnected)}) {
                    g_signal_handlers_disconnect_matched(node.handler, G_SIGNAL_MATCH_FUNC, 0, 0,
                                                         nullptr, callback, nullptr);
                }
                g_object_unref(node.handler);
                node.handler = nullptr;
            }
            for (int* fd : {&node.master, &node.slave}) {
                if (*fd >= 0) {
                    ::close(*fd);
                    *fd = -1;
                }
            }
        }
    }
}

UsbTestbed::UsbTestbed() {
    testbed = umockdev_testbed_new();
    if (testbed != nullptr) {
        gchar* dir = umockdev_testbed_get_root_dir(testbed);
        rootDir = dir;
        g_free(dir);
        // Readable by every user, as /sys is: a program of another user finds the keyboard
        // there, and whether it may open the node is the node's own business.
        ::chmod(rootDir.c_str(), 0755);
    }
}

UsbTestbed::~UsbTestbed() {
    if (testbed != nullptr) {
        g_object_unref(testbed);
        ::unsetenv("UMOCKDEV_DIR");
    }
}

int UsbTestbed::takeHidrawNumber() {
    int number = 0;
    while (hidrawInUse.count(number) != 0) {
        ++number;
    }
    hidrawInUse.insert(number);
    return number;
}

void UsbTestbed::giveBackHidrawNumber(int number) {
    hidrawInUse.erase(number);
}

UsbKeyboard::UsbKeyboard(UsbTestbed& testbed, VirtualKeyboardOptions keyboardOptions,
                         UsbDeviceIds ids)
    : EmulatedKeyboard(std::move(keyboardOptions)),
      door(std::make_shared<Door>(testbed, std::move(ids))) {
    door->keyboard = this;
    {
        std::lock_guard lock(testbed.lock);
        door->port = testbed.takePort();
    }
    if (!testbed.ok()) {
        lastError = "cannot make a umockdev testbed";
    } else if (!openLog(lastError)) {
        // error() tells
    }
    door->worker = std::thread([door = door.get()] { door->work(); });
}

UsbKeyboard::~UsbKeyboard() {
    unplug();
    {
        std::lock_guard lock(door->lock);
        door->stopping = true;
        door->keyboard = nullptr;
        door->wake.notify_all();
    }
    door->worker.join();
    door->shutdown();
}

bool UsbKeyboard::plug() {
    if (!lastError.empty() && !door->testbed.ok()) {
        return false;
    }
    std::string failure;
    if (!door->plug(failure)) {
        lastError = failure;
        return false;
    }
    return true;
}

void UsbKeyboard::unplug() {
    std::lock_guard lock(door->lock);
    door->replugDue = false;
    if (door->current != nullptr) {
        door->pullCable(*door->current, false);
    }
}

bool UsbKeyboard::plugged() const {
    std::lock_guard lock(door->lock);
    return door->current != nullptr;
}

void UsbKeyboard::setReplugAfter(std::chrono::milliseconds delay) {
    std::lock_guard lock(door->lock);
    door->replugDelay = delay;
}

void UsbKeyboard::setNodeMode(mode_t mode) {
    std::lock_guard lock(door->lock);
    door->mode = mode;
}

std::string UsbKeyboard::node() const {
    std::lock_guard lock(door->lock);
    return door->current != nullptr ? door->current->nodes[1].devnode : std::string();
}

std::string UsbKeyboard::bootNode() const {
    std::lock_guard lock(door->lock);
    return door->current != nullptr ? door->current->nodes[0].devnode : std::string();
}

int UsbKeyboard::openerCount() const {
    std::lock_guard lock(door->lock);
    return door->current != nullptr ? static_cast<int>(door->current->nodes[1].openers.size()) : 0;
}

int UsbKeyboard::unplugCount() const {
    std::lock_guard lock(door->lock);
    return door->unplugs;
}

void reexecUnderUmockdev(char** argv) {
    if (::dlopen("libumockdev-preload.so.0", RTLD_NOW | RTLD_NOLOAD) != nullptr) {
        return;
    }
    // Tried once already: the preload cannot be loaded; go on without it, and the tests that
    // need it say so.
    if (std::getenv("OSKEL_UMOCKDEV_REEXEC") != nullptr) {
        return;
    }
    const char* old = std::getenv("LD_PRELOAD");
    std::string preload = "libumockdev-preload.so.0";
    if (old != nullptr && old[0] != '\0') {
        preload += std::string(":") + old;
    }
    ::setenv("LD_PRELOAD", preload.c_str(), 1);
    ::setenv("OSKEL_UMOCKDEV_REEXEC", "1", 1);
    // A build with the address sanitizer wants its runtime first; the preload comes before it.
    const char* sanitizer = std::getenv("ASAN_OPTIONS");
    std::string options = sanitizer != nullptr && sanitizer[0] != '\0'
                              ? std::string(sanitizer) + ":verify_asan_link_order=0"
                              : std::string("verify_asan_link_order=0");
    ::setenv("ASAN_OPTIONS", options.c_str(), 1);
    // By its own path, not /proc/self/exe, so the program keeps its name in ps.
    char self[4096];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) {
        return;
    }
    self[length] = '\0';
    ::execv(self, argv);
}

}  // namespace oskel
