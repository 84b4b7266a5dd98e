// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The socket door of the virtual keyboard: the keyboard's configuration interface on a Unix
// SOCK_SEQPACKET socket (one packet = one 65-byte report, report id first), so the device
// library, tests and demos run without the hardware.
//
// Like a hidraw node it takes several connections at once, on its own thread: each connection
// gets every report the keyboard sends. The connection that asked is answered at the pace it
// reads; another connection whose queue is full loses what does not fit, as the kernel drops
// input reports for a reader that does not keep up. The fault options count per connection.
//
//   oskel::VirtualKeyboardOptions options;
//   options.dir = privateFolder + "/oskel/hid";   // where CTravoHWI looks when
//   oskel::VirtualKeyboard keyboard(options);      // XDG_RUNTIME_DIR=privateFolder
//   if (!keyboard.start()) { ... keyboard.error() ... }

#include <atomic>
#include <list>
#include <string>
#include <thread>

#include "EmulatedKeyboard.h"

namespace oskel {

class VirtualKeyboard : public EmulatedKeyboard {
public:
    explicit VirtualKeyboard(VirtualKeyboardOptions options = {});
    ~VirtualKeyboard() override;

    // Creates the folder (mode 0700), binds and listens, and starts serving. A stale socket of
    // the same name is replaced; a live one is not. False with error() on failure.
    bool start();
    // Stops serving, closes every connection and removes the socket. Harmless when stopped.
    void stop();

    const std::string& socketPath() const { return path; }
    const std::string& error() const { return lastError; }

private:
    struct Connection {
        int fd = -1;
        KeyboardOpener opener;
    };

    void serve();
    // Takes what `connection` sent; false when it is to be closed.
    bool serveClient(Connection& connection);
    // The answers to every connection, `asker` first at its own pace.
    bool deliver(Connection& asker, const std::vector<Payload>& answers);
    // Reports to one connection in order; waits while its queue is full, never past stop().
    bool send(int client, const std::vector<Payload>& payloads);
    // As many reports as the connection's queue has room for; the rest are dropped.
    void sendWhatFits(int client, const std::vector<Payload>& payloads);

    std::string path;
    std::string lastError;
    int listenFd = -1;
    int wakeFd = -1;
    std::thread server;
    std::atomic<bool> stopping{false};
    std::list<Connection> clients;  // only the serving thread touches it
};

}  // namespace oskel
