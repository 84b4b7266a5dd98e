// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The progress bar of a transfer, drawn on standard error.
//
// It receives the same WM_TRANSFER_PROGRESS messages the program's progress dialog gets. Drawn
// only when standard error is a terminal: a script that captures or discards it sees nothing.

#include <OskelHWI.h>

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

class ProgressBar : public NotifyTarget {
public:
    // `total` is the progress value of a finished transfer. `offset` is added to each value
    // first: key transfers post the index of the slot just sent (0..215), so they pass 1 and 216;
    // the firmware download posts 0..150, so it passes 0 and 150.
    ProgressBar(std::string label, int total, int offset, bool enabled);
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;
    ~ProgressBar() override;

    void post(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override;

    // Ends the bar's line so the next message starts on a fresh one. Harmless twice.
    void finish();

    // Whether a bar should be drawn at all: standard error is a terminal.
    static bool wantedOnStderr();

    // The bar as drawn for a percentage (0..100), without the leading carriage return.
    static std::string render(const std::string& label, int percent);

private:
    void draw(int percent);

    std::mutex lock;
    std::string label;
    int total;
    int offset;
    bool enabled;
    int shownPercent = -1;
};
