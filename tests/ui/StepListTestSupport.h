// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Step lists as the key settings tests write them and read them back.

#include <QString>
#include <QStringList>
#include <initializer_list>

#include "StepList.h"

// A list of `items` in a view of `view` rows, each item with an empty child list.
inline StepList steps(std::initializer_list<const char16_t*> items, int view = 9) {
    StepList list(view);
    for (const char16_t* item : items) {
        list.items.emplace_back(item);
        list.children.emplace_back(view);
    }
    return list;
}

// The items of `list` as text, in order.
inline QStringList texts(const StepList& list) {
    QStringList out;
    for (const auto& item : list.items) {
        out << QString::fromStdU16String(item);
    }
    return out;
}
