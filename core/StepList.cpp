// SPDX-License-Identifier: GPL-2.0-or-later
#include "StepList.h"

#include <algorithm>
#include <cstdint>

void StepList::clear() {
    items.clear();
    children.clear();
    ViewStartAt = 0;
    CursorPos = 0;
    Cycles = 1;
    IsAutoInterval = false;
    Delay = 30;
    PlayMode = 0;
}

int StepList::indexOfRow(int row) const {
    // 64-bit so that a huge row or a corrupt ViewStartAt from a file cannot overflow.
    const std::int64_t index = static_cast<std::int64_t>(ViewStartAt) + row;
    if (index < 0 || index >= count()) {
        return -1;
    }
    return static_cast<int>(index);
}

std::u16string StepList::itemAtRow(int row) const {
    const int index = indexOfRow(row);
    return index < 0 ? std::u16string() : items[index];
}

StepList StepList::childAtRow(int row) const {
    const int index = indexOfRow(row);
    return index < 0 ? StepList(SizeOfView) : children[index];
}

void StepList::setChildAtRow(int row, const StepList& list) {
    const int index = indexOfRow(row);
    if (index >= 0) {
        children[index] = list;
    }
}

void StepList::scrollTo(int index) {
    if (items.empty()) {
        ViewStartAt = 0;
        CursorPos = 0;
        return;
    }
    index = std::clamp(index, 0, count() - 1);
    if (ViewStartAt <= index &&
        static_cast<std::int64_t>(index) < std::int64_t{ViewStartAt} + SizeOfView) {
        CursorPos = index - ViewStartAt;
    } else {
        ViewStartAt = index;
        CursorPos = 0;
    }
}

void StepList::append(const std::u16string& text) {
    items.push_back(text);
    children.emplace_back(SizeOfView);
    // A list whose view size was never set shows one row, so the new item still becomes the
    // cursor item instead of leaving the view past the end.
    const int rows = std::max(SizeOfView, 1);
    const int visible = count() - ViewStartAt;
    const int overflow = visible - rows;
    if (overflow > 0) {
        ViewStartAt += overflow;
        CursorPos = rows - 1;
    } else {
        CursorPos = visible - 1;
    }
}

void StepList::setOrAppendAtRow(int row, const std::u16string& text) {
    const int index = indexOfRow(row);
    if (index < 0) {
        append(text);
    } else {
        items[index] = text;
    }
}

void StepList::insertAtRow(int row, const std::u16string& text) {
    const int index = indexOfRow(row);
    if (index < 0) {
        append(text);
        return;
    }
    items.insert(items.begin() + index, text);
    children.insert(children.begin() + index, StepList(SizeOfView));
}

void StepList::removeAtRow(int row) {
    if (items.empty()) {
        return;
    }
    int index = indexOfRow(row);
    if (index < 0) {
        index = count() - 1;
    }
    items.erase(items.begin() + index);
    children.erase(children.begin() + index);
    const int remaining = count();
    if (remaining == 0) {
        ViewStartAt = 0;
        CursorPos = 0;
        return;
    }
    ViewStartAt = std::clamp(ViewStartAt, 0, remaining - 1);
    if (CursorPos >= remaining - ViewStartAt) {
        CursorPos = remaining - ViewStartAt - 1;
    }
    CursorPos = std::max(CursorPos, 0);
}

int StepList::indexOfItem(const std::u16string& text) const {
    const auto found = std::find(items.begin(), items.end(), text);
    return found == items.end() ? -1 : static_cast<int>(found - items.begin());
}

bool StepList::sameSteps(const StepList& other) const {
    return items == other.items && Cycles == other.Cycles &&
           IsAutoInterval == other.IsAutoInterval && Delay == other.Delay &&
           PlayMode == other.PlayMode;
}

void StepList::findOrAdd(const StepList& steps) {
    for (int i = 0; i < static_cast<int>(children.size()); ++i) {
        if (children[i].sameSteps(steps)) {
            scrollTo(i);
            return;
        }
    }
    append(u"default");
    const int index = indexOfRow(CursorPos);
    if (index >= 0) {
        children[index] = steps;
    }
}
