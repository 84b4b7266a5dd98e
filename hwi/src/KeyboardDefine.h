// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// A keyboard model: its USB ids as four-character texts.

#include <string>

class CKeyboardDefine {
public:
    virtual ~CKeyboardDefine() = default;
    virtual std::u16string productId() const = 0;
    virtual std::u16string vendorId() const = 0;
};
