// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// One open connection to a keyboard interface that carries whole 65-byte reports, report id
// first: a hidraw interface through hidapi, or a virtual keyboard's socket.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace oskel::hid {

class ReportChannel {
public:
    virtual ~ReportChannel() = default;
    // Sends one report of `length` bytes, report id first, waiting at most `timeoutMs` for the
    // keyboard to make room for it. False when it was not sent whole in time.
    virtual bool write(const std::uint8_t* report, std::size_t length, int timeoutMs) = 0;
    // Waits at most `timeoutMs` until the keyboard has taken every report written so far; false
    // when it did not, or went away with reports still waiting for it.
    virtual bool waitUntilTaken(int timeoutMs) = 0;
    // Receives one report, report id first, into `report`; answers the bytes received, or -1
    // when the read failed, the keyboard went away or nothing came within `timeoutMs`.
    virtual int read(std::uint8_t* report, std::size_t capacity, int timeoutMs) = 0;
    // Throws away the reports that arrived and were not read; answers how many.
    virtual int discardPending() = 0;
    // The other end has gone away underneath (the keyboard was unplugged or its program ended),
    // as far as the channel can tell without an exchange.
    virtual bool gone() const { return false; }
};

// Opens the interface behind a device path: hidraw#...#<hidapi path> through hidapi, any other
// path as a virtual keyboard socket. Null on failure, with the errno in `error`.
std::unique_ptr<ReportChannel> openHidrawChannel(const std::string& hidapiPath, int& error);
std::unique_ptr<ReportChannel> openSocketChannel(const std::string& socketPath, int& error);

}  // namespace oskel::hid
