// SPDX-License-Identifier: GPL-2.0-or-later
#include "ProgressBar.h"

#include <unistd.h>

#include <algorithm>

namespace {
constexpr int kBarWidth = 30;
}

ProgressBar::ProgressBar(std::string label, int total, int offset, bool enabled)
    : label(std::move(label)), total(std::max(total, 1)), offset(offset), enabled(enabled) {}

ProgressBar::~ProgressBar() {
    finish();
}

bool ProgressBar::wantedOnStderr() {
    return isatty(STDERR_FILENO) == 1;
}

std::string ProgressBar::render(const std::string& label, int percent) {
    percent = std::clamp(percent, 0, 100);
    const int filled = percent * kBarWidth / 100;
    std::string bar = label + " [";
    bar.append(filled, '#');
    bar.append(kBarWidth - filled, '-');
    bar += "] ";
    const std::string number = std::to_string(percent);
    bar.append(3 - std::min<std::size_t>(3, number.size()), ' ');
    bar += number + "%";
    return bar;
}

void ProgressBar::post(unsigned message, std::uintptr_t wParam, std::intptr_t) {
    if (message != WM_TRANSFER_PROGRESS || !enabled) {
        return;
    }
    const long long done = static_cast<long long>(wParam) + offset;
    const int percent = static_cast<int>(std::clamp(done * 100 / total, 0LL, 100LL));
    std::lock_guard guard(lock);
    draw(percent);
}

void ProgressBar::draw(int percent) {
    // A transfer posts after every report; redraw only when the number moves.
    if (percent == shownPercent) {
        return;
    }
    shownPercent = percent;
    const std::string line = "\r" + render(label, percent);
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

void ProgressBar::finish() {
    std::lock_guard guard(lock);
    if (enabled && shownPercent >= 0) {
        std::fputc('\n', stderr);
        std::fflush(stderr);
    }
    shownPercent = -1;
    enabled = false;
}
