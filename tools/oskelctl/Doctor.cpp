// SPDX-License-Identifier: GPL-2.0-or-later
#include "Doctor.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#if defined(OSKEL_HAVE_LIBUDEV)
#include <libudev.h>
#endif

#include "DeviceAccess.h"
#include "Json.h"
#include "KeyboardConfig.h"
#include "OskelHWI.h"

namespace {

constexpr const char* kVendor = "0483";
constexpr const char* kProduct = "5022";

struct Holder {
    long pid = 0;
    std::string program;
};

struct Interface {
    int number = -1;         // -1 for a virtual keyboard's socket
    std::string node;        // /dev/hidrawN or the socket
    std::string devicePath;  // as discovery names it
    std::string mode;        // "crw-rw----"
    std::string owner;
    std::string group;
    int openError = 0;  // errno of an open by this user, 0 when it opened
    std::string advice;
    bool inExchange = false;  // another program holds the keyboard's lock
    std::vector<Holder> holders;
};

struct Keyboard {
    std::string door;  // "usb" or "socket"
    std::string name;
    std::string place;  // the USB port ("1-1") or the socket's folder
    bool used = false;  // the one Oskel and oskelctl talk to
    std::vector<Interface> interfaces;
};

std::string modeText(mode_t mode) {
    std::string text = S_ISCHR(mode) ? "c" : S_ISSOCK(mode) ? "s" : S_ISDIR(mode) ? "d" : "-";
    const char* letters = "rwxrwxrwx";
    for (int bit = 0; bit < 9; ++bit) {
        text += (mode & (0400 >> bit)) != 0 ? letters[bit] : '-';
    }
    return text;
}

std::string userName(uid_t uid) {
    const passwd* entry = ::getpwuid(uid);
    return entry != nullptr ? entry->pw_name : std::to_string(uid);
}

std::string groupName(gid_t gid) {
    const group* entry = ::getgrgid(gid);
    return entry != nullptr ? entry->gr_name : std::to_string(gid);
}

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The programs (other than this one) that have the character device `device` open: those of
// this user, or of everybody for root.
std::vector<Holder> holdersOf(dev_t device) {
    std::vector<Holder> holders;
    DIR* proc = ::opendir("/proc");
    if (proc == nullptr) {
        return holders;
    }
    while (dirent* entry = ::readdir(proc)) {
        char* end = nullptr;
        const long pid = std::strtol(entry->d_name, &end, 10);
        if (*end != '\0' || pid <= 0 || pid == ::getpid()) {
            continue;
        }
        const std::string fds = std::string("/proc/") + entry->d_name + "/fd";
        DIR* dir = ::opendir(fds.c_str());
        if (dir == nullptr) {
            continue;
        }
        bool holds = false;
        while (dirent* fd = ::readdir(dir)) {
            struct stat info {};
            if (fd->d_name[0] != '.' && ::stat((fds + "/" + fd->d_name).c_str(), &info) == 0 &&
                S_ISCHR(info.st_mode) && info.st_rdev == device) {
                holds = true;
                break;
            }
        }
        ::closedir(dir);
        if (holds) {
            std::string program = fileText(std::string("/proc/") + entry->d_name + "/comm");
            program.erase(std::remove(program.begin(), program.end(), '\n'), program.end());
            holders.push_back({pid, program});
        }
    }
    ::closedir(proc);
    std::sort(holders.begin(), holders.end(),
              [](const Holder& a, const Holder& b) { return a.pid < b.pid; });
    return holders;
}

// True when another program holds the lock that every exchange with the keyboard takes.
bool lockHeld(const std::string& target) {
    const int fd = ::open(target.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

void describeNode(Interface& interface, const std::string& language, const RulePlaces& places) {
    struct stat info {};
    if (::stat(interface.node.c_str(), &info) == 0) {
        interface.mode = modeText(info.st_mode);
        interface.owner = userName(info.st_uid);
        interface.group = groupName(info.st_gid);
    }
    if (interface.number >= 0) {
        const int fd = ::open(interface.node.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        interface.openError = fd < 0 ? errno : 0;
        if (fd >= 0) {
            ::close(fd);
        }
        if (S_ISCHR(info.st_mode)) {
            interface.holders = holdersOf(info.st_rdev);
        }
        interface.inExchange = interface.number == 1 && lockHeld(interface.node);
    } else {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", interface.node.c_str());
        const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
        interface.openError =
            ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 ? 0 : errno;
        ::close(fd);
        // A virtual keyboard is locked through <runtime>/oskel/locks/NAME.
        const std::string folder = interface.node.substr(0, interface.node.rfind('/'));
        const std::string lock = folder.substr(0, folder.rfind('/')) + "/locks" +
                                 interface.node.substr(interface.node.rfind('/'));
        interface.inExchange = lockHeld(lock);
    }
    if (interface.openError != 0 && (interface.number == 1 || interface.number < 0)) {
        interface.advice =
            adviseOnOpenError(interface.openError, interface.devicePath, language, places).text;
    }
}

std::vector<Keyboard> usbKeyboards() {
    std::vector<Keyboard> keyboards;
#if defined(OSKEL_HAVE_LIBUDEV)
    udev* context = udev_new();
    if (context == nullptr) {
        return keyboards;
    }
    udev_enumerate* search = udev_enumerate_new(context);
    udev_enumerate_add_match_subsystem(search, "hidraw");
    udev_enumerate_scan_devices(search);
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(search)) {
        udev_device* hidraw =
            udev_device_new_from_syspath(context, udev_list_entry_get_name(entry));
        if (hidraw == nullptr) {
            continue;
        }
        udev_device* usb =
            udev_device_get_parent_with_subsystem_devtype(hidraw, "usb", "usb_device");
        udev_device* usbInterface =
            udev_device_get_parent_with_subsystem_devtype(hidraw, "usb", "usb_interface");
        const char* vendor = usb ? udev_device_get_sysattr_value(usb, "idVendor") : nullptr;
        const char* product = usb ? udev_device_get_sysattr_value(usb, "idProduct") : nullptr;
        const char* node = udev_device_get_devnode(hidraw);
        if (vendor != nullptr && product != nullptr && node != nullptr &&
            std::strcmp(vendor, kVendor) == 0 && std::strcmp(product, kProduct) == 0) {
            const std::string place = udev_device_get_sysname(usb);
            auto keyboard = std::find_if(keyboards.begin(), keyboards.end(),
                                         [&](const Keyboard& k) { return k.place == place; });
            if (keyboard == keyboards.end()) {
                Keyboard found;
                found.door = "usb";
                found.place = place;
                const char* name = udev_device_get_sysattr_value(usb, "product");
                found.name = name != nullptr ? name : "";
                keyboards.push_back(found);
                keyboard = keyboards.end() - 1;
            }
            Interface interface;
            const char* number =
                usbInterface ? udev_device_get_sysattr_value(usbInterface, "bInterfaceNumber")
                             : nullptr;
            interface.number = number != nullptr ? std::atoi(number) : 0;
            interface.node = node;
            char ids[64];
            std::snprintf(ids, sizeof ids, "hidraw#vid_%s&pid_%s&mi_%02d#", kVendor, kProduct,
                          interface.number);
            interface.devicePath = ids + interface.node;
            keyboard->interfaces.push_back(interface);
        }
        udev_device_unref(hidraw);
    }
    udev_enumerate_unref(search);
    udev_unref(context);
    for (Keyboard& keyboard : keyboards) {
        std::sort(keyboard.interfaces.begin(), keyboard.interfaces.end(),
                  [](const Interface& a, const Interface& b) { return a.number < b.number; });
    }
#endif
    return keyboards;
}

std::string virtualKeyboardFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] != '\0') {
        return std::string(runtime) + "/oskel/hid";
    }
    return "/tmp/oskel-" + std::to_string(::getuid()) + "/hid";
}

std::vector<Keyboard> socketKeyboards() {
    std::vector<Keyboard> keyboards;
    const std::string folder = virtualKeyboardFolder();
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        return keyboards;
    }
    std::vector<std::string> names;
    while (dirent* entry = ::readdir(dir)) {
        struct stat info {};
        const std::string path = folder + "/" + entry->d_name;
        if (::lstat(path.c_str(), &info) == 0 && S_ISSOCK(info.st_mode)) {
            names.push_back(entry->d_name);
        }
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        Keyboard keyboard;
        keyboard.door = "socket";
        keyboard.name = "virtual keyboard " + name;
        keyboard.place = folder;
        Interface interface;
        interface.node = folder + "/" + name;
        interface.devicePath = interface.node;
        keyboard.interfaces.push_back(interface);
        keyboards.push_back(keyboard);
    }
    return keyboards;
}

struct RuleState {
    std::vector<std::string> installed;
    std::string shipped;
    bool same = false;  // the installed rule (the first udev reads) equals the shipped one
};

RuleState ruleState(const RulePlaces& places) {
    RuleState state;
    state.shipped = places.shipped;
    for (const std::string& path : places.installed) {
        if (::access(path.c_str(), F_OK) == 0) {
            state.installed.push_back(path);
        }
    }
    // /etc/udev/rules.d overrides /usr/lib/udev/rules.d: the last one found is the one in force.
    if (!state.installed.empty() && !state.shipped.empty()) {
        state.same = fileText(state.installed.back()) == fileText(state.shipped);
    }
    return state;
}

struct Session {
    std::string type;       // "X11", "XWayland", "Wayland" or "none"
    std::string recording;  // what the recorder can do there
};

Session sessionState() {
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const bool x = display != nullptr && display[0] != '\0';
    const bool w = wayland != nullptr && wayland[0] != '\0';
    if (x && w) {
        return {"XWayland",
                "only the keys typed while one of Oskel's windows is active can be recorded"};
    }
    if (x) {
        return {"X11", "every keystroke of the desktop can be recorded"};
    }
    if (w) {
        return {"Wayland", "keys cannot be recorded: there is no X display (XWayland)"};
    }
    return {"none", "keys cannot be recorded: there is no X display"};
}

void writeJson(const std::vector<Keyboard>& keyboards, const RuleState& rule,
               const Session& session, const std::string& version, bool versionRead, bool usable) {
    // A text, or null when there is none.
    const auto textOrNull = [](const std::string& text) {
        return text.empty() ? Json() : Json(text);
    };
    Json found = Json::array();
    for (const Keyboard& keyboard : keyboards) {
        Json interfaces = Json::array();
        for (const Interface& interface : keyboard.interfaces) {
            Json holders = Json::array();
            for (const Holder& holder : interface.holders) {
                holders.push_back(
                    Json{{"pid", static_cast<long long>(holder.pid)}, {"program", holder.program}});
            }
            interfaces.push_back(Json{
                {"interface", interface.number >= 0 ? Json(interface.number) : Json()},
                {"node", interface.node},
                {"devicePath", interface.devicePath},
                {"mode", interface.mode},
                {"owner", interface.owner},
                {"group", interface.group},
                {"mayOpen", interface.openError == 0},
                {"openError",
                 interface.openError != 0 ? Json(std::strerror(interface.openError)) : Json()},
                {"advice", textOrNull(interface.advice)},
                {"inExchange", interface.inExchange},
                {"heldOpenBy", holders},
            });
        }
        found.push_back(Json{{"door", keyboard.door},
                             {"name", keyboard.name},
                             {"place", keyboard.place},
                             {"used", keyboard.used},
                             {"interfaces", interfaces}});
    }
    Json installed = Json::array();
    for (const std::string& path : rule.installed) {
        installed.push_back(path);
    }
    const Json document{
        {"keyboards", found},
        {"udevRule", Json{{"installed", installed},
                          {"shipped", textOrNull(rule.shipped)},
                          {"sameAsShipped", rule.same}}},
        {"session", Json{{"type", session.type}, {"recording", session.recording}}},
        {"firmwareVersion", versionRead ? Json(version) : Json()},
        {"usable", usable},
    };
    std::fputs(formatJson(document).c_str(), stdout);
}

void writeText(const std::vector<Keyboard>& keyboards, const RuleState& rule,
               const Session& session, const std::string& version, bool versionRead,
               const std::string& versionProblem, bool usable) {
    if (keyboards.empty()) {
        std::printf("Keyboards: none found (no USB keyboard %s:%s, no virtual keyboard in %s)\n",
                    kVendor, kProduct, virtualKeyboardFolder().c_str());
    }
    int index = 0;
    for (const Keyboard& keyboard : keyboards) {
        ++index;
        if (keyboard.door == "usb") {
            std::printf("Keyboard %d: %s (USB %s:%s, port %s)%s\n", index, keyboard.name.c_str(),
                        kVendor, kProduct, keyboard.place.c_str(),
                        keyboard.used ? ", the one Oskel and oskelctl use" : "");
        } else {
            std::printf("Keyboard %d: %s (socket in %s)%s\n", index, keyboard.name.c_str(),
                        keyboard.place.c_str(),
                        keyboard.used ? ", the one Oskel and oskelctl use" : "");
        }
        for (const Interface& interface : keyboard.interfaces) {
            std::string role = interface.number < 0 ? "socket"
                               : interface.number == 1
                                   ? "interface 01 (configuration)"
                                   : "interface 0" + std::to_string(interface.number) +
                                         " (typing; Oskel leaves it alone)";
            std::printf("  %s: %s  %s %s %s\n", role.c_str(), interface.node.c_str(),
                        interface.mode.c_str(), interface.owner.c_str(), interface.group.c_str());
            if (interface.number == 0) {
                continue;
            }
            if (interface.openError == 0) {
                std::printf("    this user may open it\n");
            } else {
                std::printf("    this user may not open it (%s)\n",
                            std::strerror(interface.openError));
                if (!interface.advice.empty()) {
                    std::printf("    %s\n", interface.advice.c_str());
                }
            }
            for (const Holder& holder : interface.holders) {
                std::printf("    held open by %s (process %ld)\n", holder.program.c_str(),
                            holder.pid);
            }
            if (interface.inExchange) {
                std::printf("    another program is using the keyboard (in an exchange now)\n");
            }
        }
    }
    if (rule.installed.empty()) {
        std::printf(
            "udev rule: not installed%s\n",
            rule.shipped.empty() ? "" : (" (the shipped one is " + rule.shipped + ")").c_str());
    } else {
        std::printf("udev rule: installed as %s", rule.installed.back().c_str());
        if (rule.shipped.empty()) {
            std::printf(" (no shipped rule found to compare with)\n");
        } else {
            std::printf(", %s the shipped %s\n", rule.same ? "the same as" : "different from",
                        rule.shipped.c_str());
        }
    }
    std::printf("Session: %s: %s\n", session.type.c_str(), session.recording.c_str());
    if (versionRead) {
        std::printf("Firmware version: %s\n", version.c_str());
    } else {
        std::printf("Firmware version: not read (%s)\n", versionProblem.c_str());
    }
    std::printf(usable ? "The keyboard can be used.\n" : "The keyboard cannot be used.\n");
}

}  // namespace

int runDoctor(const Options& options) {
    const std::string language = languageFromEnvironment();
    const RulePlaces places = defaultRulePlaces(runningProgramDir());
    std::vector<Keyboard> keyboards = usbKeyboards();
    for (Keyboard& keyboard : socketKeyboards()) {
        keyboards.push_back(std::move(keyboard));
    }
    CTravoHWI& device = keyboardConfig().keyboard;
    const std::string used = device.detectedDevicePath();
    Interface* configuration = nullptr;
    for (Keyboard& keyboard : keyboards) {
        for (Interface& interface : keyboard.interfaces) {
            describeNode(interface, language, places);
            if (!used.empty() && interface.devicePath == used) {
                keyboard.used = true;
                configuration = &interface;
            }
        }
    }

    // The version is read only when nothing stands in the way: an exchange would otherwise wait
    // for the other program's lock, or fail on a node this user may not open.
    std::string version;
    std::string versionProblem = "no keyboard";
    bool versionRead = false;
    if (configuration != nullptr) {
        if (configuration->openError != 0) {
            versionProblem = "this user may not open the keyboard";
        } else if (configuration->inExchange) {
            versionProblem = "another program is using the keyboard";
        } else if (!device.__createDev() || device.openError() != 0) {
            versionProblem = "the keyboard cannot be opened";
        } else {
            char16_t text[64] = {};
            versionRead = device.ReadKeyboardVersion(text);
            version = utf16ToUtf8(text);
            versionProblem = device.keyboardBusy() ? "another program is using the keyboard"
                                                   : "the keyboard did not answer";
            device.__closeDev();
        }
    }
    const bool usable = versionRead;
    const RuleState rule = ruleState(places);
    const Session session = sessionState();
    if (options.json) {
        writeJson(keyboards, rule, session, version, versionRead, usable);
    } else {
        writeText(keyboards, rule, session, version, versionRead, versionProblem, usable);
    }
    return usable ? kExitOk : kExitDevice;
}
