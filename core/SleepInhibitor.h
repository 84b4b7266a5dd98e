// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Keeps the computer from sleeping or shutting down while the keyboard is being written to.
//
// A keyboard that loses power halfway through a firmware download can be left without working
// firmware, and one halfway through a key write holds half a configuration. While a lock is
// held, systemd-logind blocks suspend, hibernate and shutdown (a user asking for them is told
// who holds the lock and why). The lock is the file descriptor logind hands out; closing it,
// however the transfer ended, releases it.
//
// Where there is no system bus or no logind (a container, another init system) no lock is taken
// and nothing is said: the transfer goes on as before. The bus is the one
// DBUS_SYSTEM_BUS_ADDRESS names, else the standard system bus.

class SleepInhibitor {
public:
    enum class Reason {
        Firmware,  // "Updating the keyboard's firmware"
        Writing,   // "Writing to the keyboard"
    };

    // Asks logind for a blocking "sleep:shutdown" lock; waits a few seconds at most.
    explicit SleepInhibitor(Reason reason);
    // Releases the lock, if one was taken.
    ~SleepInhibitor();

    SleepInhibitor(const SleepInhibitor&) = delete;
    SleepInhibitor& operator=(const SleepInhibitor&) = delete;

    // Whether logind granted the lock.
    bool held() const { return fd >= 0; }

    // Releases the lock now (the destructor then does nothing).
    void release();

    // The texts logind shows for the lock.
    static const char* who();
    static const char* why(Reason reason);

private:
    int fd = -1;
};
