// SPDX-License-Identifier: GPL-2.0-or-later
// Escaping of attribute values and resolution of character references.

#include <algorithm>
#include <array>
#include <string_view>

#include "XmlDocument.h"

namespace {

struct NamedReference {
    std::string_view name;
    char32_t code;
};

constexpr NamedReference kNamedReferences[] = {
#include "HtmlEntities.inc"
};

// A reference runs from '&' to a ';' at most this many characters further.
constexpr size_t kReferenceReach = 9;

const NamedReference* findName(std::string_view name) {
    const auto* end = std::end(kNamedReferences);
    const auto* it =
        std::lower_bound(std::begin(kNamedReferences), end, name,
                         [](const NamedReference& r, std::string_view n) { return r.name < n; });
    return it != end && it->name == name ? it : nullptr;
}

// Exact spelling first, so "Eacute" gives the capital letter; then the name with ASCII capitals
// made small, so "AMP" still gives "&".
char32_t namedReference(std::u16string_view name) {
    std::array<char, kReferenceReach> exact{};
    std::array<char, kReferenceReach> lower{};
    if (name.empty() || name.size() > exact.size()) {
        return 0;
    }
    for (size_t i = 0; i < name.size(); ++i) {
        const char16_t c = name[i];
        if (c > 127) {
            return 0;
        }
        exact[i] = static_cast<char>(c);
        lower[i] = (c >= u'A' && c <= u'Z') ? static_cast<char>(c - u'A' + u'a') : exact[i];
    }
    if (const NamedReference* r = findName({exact.data(), name.size()})) {
        return r->code;
    }
    const NamedReference* r = findName({lower.data(), name.size()});
    return r ? r->code : 0;
}

char32_t numericReference(std::u16string_view body) {
    int base = 10;
    // Only a small x makes a hexadecimal reference: "&#X41;" is no reference at all.
    if (!body.empty() && body[0] == u'x') {
        base = 16;
        body.remove_prefix(1);
    }
    if (body.empty()) {
        return 0;
    }
    char32_t value = 0;
    for (char16_t c : body) {
        int digit = -1;
        if (c >= u'0' && c <= u'9') {
            digit = c - u'0';
        } else if (base == 16 && c >= u'a' && c <= u'f') {
            digit = c - u'a' + 10;
        } else if (base == 16 && c >= u'A' && c <= u'F') {
            digit = c - u'A' + 10;
        }
        if (digit < 0) {
            return 0;
        }
        value = value * base + digit;
        if (value > 0x10FFFF) {
            return 0;
        }
    }
    // NUL and lone surrogate halves are no characters; such a reference stays as written.
    if (value >= 0xD800 && value <= 0xDFFF) {
        return 0;
    }
    return value;
}

void appendCode(std::u16string& out, char32_t c) {
    if (c > 0xFFFF) {
        c -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (c >> 10));
        out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
        out += static_cast<char16_t>(c);
    }
}

}  // namespace

void XmlDocument::appendEscaped(std::u16string& out, std::u16string_view value) {
    size_t plain = 0;
    for (size_t i = 0; i < value.size(); ++i) {
        const char16_t* entity = nullptr;
        switch (value[i]) {
            case u'&':
                entity = u"&amp;";
                break;
            case u'<':
                entity = u"&lt;";
                break;
            case u'>':
                entity = u"&gt;";
                break;
            case u'"':
                entity = u"&quot;";
                break;
            case u'\'':
                entity = u"&apos;";
                break;
            default:
                continue;
        }
        out.append(value.substr(plain, i - plain));
        out += entity;
        plain = i + 1;
    }
    out.append(value.substr(plain));
}

std::u16string XmlDocument::unescape(std::u16string_view value) {
    std::u16string out;
    size_t amp = value.find(u'&');
    if (amp == value.npos) {
        return std::u16string(value);
    }
    out.reserve(value.size());
    size_t plain = 0;
    for (; amp != value.npos; amp = value.find(u'&', amp + 1)) {
        const size_t semi = value.substr(0, amp + 1 + kReferenceReach).find(u';', amp + 1);
        if (semi == value.npos) {
            continue;
        }
        const std::u16string_view body = value.substr(amp + 1, semi - amp - 1);
        const char32_t code = (!body.empty() && body[0] == u'#') ? numericReference(body.substr(1))
                                                                 : namedReference(body);
        if (code == 0) {
            continue;
        }
        out.append(value.substr(plain, amp - plain));
        appendCode(out, code);
        plain = semi + 1;
        amp = semi;
    }
    out.append(value.substr(plain));
    return out;
}
