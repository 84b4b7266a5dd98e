// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// A growable UTF-16 buffer for the document text. A profile is tens of megabytes of text that
// grows one element at a time; std::u16string would copy the whole text on every growth and
// briefly hold two copies. This buffer grows in place by remapping (BigBuffer.h).

#include <cstring>
#include <string_view>

#include "BigBuffer.h"

class WideText {
public:
    WideText() = default;
    WideText(const WideText&) = delete;
    WideText& operator=(const WideText&) = delete;
    ~WideText() { bigbuffer::release(data_, capacity_ * sizeof(char16_t)); }

    std::u16string_view view() const { return {data_, size_}; }
    const char16_t* data() const { return data_; }
    size_t size() const { return size_; }
    char16_t operator[](size_t i) const { return data_[i]; }

    void clear() { size_ = 0; }
    void release() {
        bigbuffer::release(data_, capacity_ * sizeof(char16_t));
        data_ = nullptr;
        size_ = capacity_ = 0;
    }
    void reserve(size_t capacity) {
        if (capacity <= capacity_) {
            return;
        }
        data_ = static_cast<char16_t*>(bigbuffer::grow(data_, capacity_ * sizeof(char16_t),
                                                       capacity * sizeof(char16_t),
                                                       size_ * sizeof(char16_t)));
        capacity_ = capacity;
    }
    void assign(std::u16string_view s) {
        size_ = 0;
        replace(0, 0, s);
    }
    void append(std::u16string_view s) { replace(size_, 0, s); }
    void insert(size_t pos, std::u16string_view s) { replace(pos, 0, s); }
    // Replaces `count` units at `pos` by `s`.
    void replace(size_t pos, size_t count, std::u16string_view s) {
        const size_t newSize = size_ - count + s.size();
        if (newSize > capacity_) {
            reserve(newSize + newSize / 2 + 64);
        }
        if (size_ > pos + count) {
            std::memmove(data_ + pos + s.size(), data_ + pos + count,
                         (size_ - pos - count) * sizeof(char16_t));
        }
        if (!s.empty()) {
            std::memcpy(data_ + pos, s.data(), s.size() * sizeof(char16_t));
        }
        size_ = newSize;
    }
    // Room for `n` more units at the end; `commit` then adds the ones written there.
    char16_t* room(size_t n) {
        reserve(size_ + n);
        return data_ + size_;
    }
    void commit(size_t n) { size_ += n; }
    // Appends one unit.
    void push(char16_t c) {
        if (size_ == capacity_) {
            reserve(size_ + size_ / 2 + 64);
        }
        data_[size_++] = c;
    }

private:
    char16_t* data_ = nullptr;
    size_t size_ = 0;
    size_t capacity_ = 0;
};
