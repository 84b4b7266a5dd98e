// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstring>
// The UTF-8 decoder is a template so that it writes straight into the document text.

namespace xmlenc {

template <typename Sink>
void decodeUtf8(std::string_view bytes, Sink&& out, bool& truncated, bool& lossy,
                std::int64_t& nulls) {
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t n = bytes.size();
    size_t i = 0;
    truncated = false;
    while (i < n) {
        // Eight ASCII characters at a time, none of them NUL: the bulk of any profile.
        while (i + 8 <= n) {
            std::uint64_t w;
            std::memcpy(&w, s + i, 8);
            const bool ascii = (w & 0x8080808080808080ull) == 0;
            const bool nul = ((w - 0x0101010101010101ull) & ~w & 0x8080808080808080ull) != 0;
            if (!ascii || nul) {
                break;
            }
            for (int k = 0; k < 8; ++k) {
                out(static_cast<char16_t>(s[i + k]));
            }
            i += 8;
        }
        if (i >= n) {
            break;
        }
        const unsigned char b = s[i];
        if (b < 0x80) {
            if (b == 0) {
                ++nulls;
            } else {
                out(static_cast<char16_t>(b));
            }
            ++i;
            continue;
        }
        int extra = 0;
        char32_t c = 0;
        char32_t min = 0;
        if (b >= 0xC2 && b <= 0xDF) {
            extra = 1, c = b & 0x1F, min = 0x80;
        } else if (b >= 0xE0 && b <= 0xEF) {
            extra = 2, c = b & 0x0F, min = 0x800;
        } else if (b >= 0xF0 && b <= 0xF4) {
            extra = 3, c = b & 0x07, min = 0x10000;
        } else {
            out(char16_t{0xFFFD});
            lossy = true;
            ++i;
            continue;
        }
        if (i + extra >= n) {
            // Fewer bytes left than the lead byte announces: check they are continuations.
            bool continuation = true;
            for (size_t k = i + 1; k < n; ++k) {
                continuation = continuation && (s[k] & 0xC0) == 0x80;
            }
            if (continuation) {
                truncated = true;
                return;
            }
        }
        size_t k = 1;
        for (; k <= static_cast<size_t>(extra) && i + k < n && (s[i + k] & 0xC0) == 0x80; ++k) {
            c = (c << 6) | (s[i + k] & 0x3F);
        }
        if (k <= static_cast<size_t>(extra) || c < min || c > 0x10FFFF ||
            (c >= 0xD800 && c <= 0xDFFF)) {
            out(char16_t{0xFFFD});
            lossy = true;
            i += k;
            continue;
        }
        if (c > 0xFFFF) {
            c -= 0x10000;
            out(static_cast<char16_t>(0xD800 + (c >> 10)));
            out(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            out(static_cast<char16_t>(c));
        }
        i += extra + 1;
    }
}

}  // namespace xmlenc
