// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// What the device dialogs and oskelctl share about a transfer: the scale of the device library's
// progress messages, the operations of the progress dialog and the guard of the notify window.

#include <type_traits>

// WM_TRANSFER_PROGRESS carries its progress in wParam on this scale: kProgressScale is done.
constexpr int kProgressScale = 150;

// The value on that scale as a percentage, 0..100; values past the scale count as done.
constexpr int progressPercent(unsigned long long value) {
    return static_cast<int>((value < kProgressScale ? value : kProgressScale) * 100 /
                            kProgressScale);
}

// The operations of the progress dialog, as the main window and the backlight dialog ask for
// them.
enum ProgressOperation : int {
    WriteKeySettings = 1,  // all key assignments to the keyboard
    LoadFromKeyboard = 3,  // key records and backlight back into the document
    WriteBacklight = 4,    // the backlight table to the keyboard
};

constexpr bool isProgressOperation(int operation) {
    return operation == WriteKeySettings || operation == LoadFromKeyboard ||
           operation == WriteBacklight;
}

// Puts a window's target into the document's notify-window slot for as long as it is held, so
// the device library's messages reach that window, then puts back what was there before. A
// target that someone else has put in meanwhile is left alone. Handle is the device library's
// WindowHandle; the slot must outlive the guard.
template <class Handle>
class ScopedNotifyWindow {
public:
    ScopedNotifyWindow(Handle& slot, std::type_identity_t<Handle> target)
        : slot(&slot), previous(slot), own(target) {
        slot = target;
    }
    ScopedNotifyWindow(const ScopedNotifyWindow&) = delete;
    ScopedNotifyWindow& operator=(const ScopedNotifyWindow&) = delete;
    ~ScopedNotifyWindow() { release(); }

    // Restores the slot now; harmless twice.
    void release() {
        if (slot != nullptr && *slot == own) {
            *slot = previous;
        }
        slot = nullptr;
    }

private:
    Handle* slot;
    Handle previous;
    Handle own;
};
