// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Text encodings of XML files: the table of charset names and the conversions between bytes
// and the document's UTF-16 text. UTF-8, UTF-16 and UTF-32 are converted here; every other
// charset goes through iconv.

#include <cstdint>
#include <string>
#include <string_view>

namespace xmlenc {

enum class Kind { Utf8, Utf16Le, Utf16Be, Utf32Le, Utf32Be, Iconv };

struct Encoding {
    Kind kind = Kind::Iconv;
    const char* iconvName = "ISO-8859-1";  // the system code page stand-in when a name is unknown
    int codePage = 0;                      // the Windows code page the name stands for, 0 if none
};

// Looks a charset name up without regard to ASCII case. Unknown names give the system code
// page. A name beginning "UTF-32" selects the built-in 32-bit conversion.
Encoding lookup(std::string_view name);

// The encoding named in an XML declaration at the very start of `head`, or in the Content-Type
// meta element of an HTML head; empty when there is none.
std::string declaredEncoding(std::u16string_view head);

bool isValidUtf8(std::string_view bytes);

// Decodes UTF-8, appending to `out`. Invalid sequences become U+FFFD and set `lossy`;
// `truncated` tells that the bytes end inside a character. NUL characters are dropped and
// counted in `nulls`.
template <typename Sink>
void decodeUtf8(std::string_view bytes, Sink&& out, bool& truncated, bool& lossy,
                std::int64_t& nulls);

// Encodes UTF-16 as UTF-8; an unpaired surrogate becomes U+FFFD and sets `lossy`.
void encodeUtf8(std::u16string_view text, std::string& out, bool& lossy);

}  // namespace xmlenc

#include "XmlEncodingImpl.h"
