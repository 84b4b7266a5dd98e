// SPDX-License-Identifier: GPL-2.0-or-later
#include "KeyCaptureSeam.h"

#include <chrono>

namespace {

KeyCaptureSeam* installedSeam = nullptr;

}  // namespace

std::int64_t KeyCaptureSeam::now() {
    const auto ticks = std::chrono::duration_cast<std::chrono::nanoseconds>(
                           std::chrono::steady_clock::now().time_since_epoch())
                           .count();
    // 0 stands for "no event yet".
    return ticks > 0 ? ticks : 1;
}

KeyCaptureSeam& KeyCaptureSeam::current() {
    static KeyCaptureSeam library;
    return installedSeam != nullptr ? *installedSeam : library;
}

void KeyCaptureSeam::install(KeyCaptureSeam* seam) {
    installedSeam = seam;
}
