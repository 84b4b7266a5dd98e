// SPDX-License-Identifier: GPL-2.0-or-later
#include "XmlEncoding.h"

#include <algorithm>
#include <utility>

#include "XmlDocument.h"

namespace xmlenc {

namespace {

struct Charset {
    std::string_view name;  // lower case
    int codePage;
    const char* iconvName;  // null for the conversions done here
};

// Common IANA charset names and aliases with the Windows code page each stands for. Sorted by
// name so that lookup can bisect.
constexpr Charset kCharsets[] = {
#include "Charsets.inc"
};

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool isSpace(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

std::string narrow(std::u16string_view s) {
    std::string out;
    for (char16_t c : s) {
        out += c < 128 ? static_cast<char>(c) : '?';
    }
    return out;
}

bool equalsNoCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char16_t c) { return (c >= u'A' && c <= u'Z') ? c - u'A' + u'a' : c; };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

size_t findNoCase(std::u16string_view hay, std::u16string_view needle) {
    for (size_t i = 0; i + needle.size() <= hay.size(); ++i) {
        if (equalsNoCase(hay.substr(i, needle.size()), needle)) {
            return i;
        }
    }
    return hay.npos;
}

// The value of a pseudo-attribute in an XML declaration ("encoding" in <?xml ... ?>).
std::u16string_view pseudoAttribute(std::u16string_view decl, std::u16string_view name) {
    size_t p = decl.find(name);
    while (p != decl.npos) {
        size_t q = p + name.size();
        while (q < decl.size() && isSpace(decl[q])) {
            ++q;
        }
        if (q < decl.size() && decl[q] == u'=' && (p == 0 || isSpace(decl[p - 1]))) {
            ++q;
            while (q < decl.size() && isSpace(decl[q])) {
                ++q;
            }
            if (q < decl.size() && (decl[q] == u'"' || decl[q] == u'\'')) {
                const size_t end = decl.find(decl[q], q + 1);
                if (end != decl.npos) {
                    return decl.substr(q + 1, end - q - 1);
                }
            }
            return {};
        }
        p = decl.find(name, p + 1);
    }
    return {};
}

// charset=... inside a Content-Type value such as "text/html; charset=gb2312".
std::u16string_view charsetOf(std::u16string_view content) {
    size_t p = findNoCase(content, u"charset");
    if (p == content.npos) {
        return {};
    }
    p += 7;
    while (p < content.size() && isSpace(content[p])) {
        ++p;
    }
    if (p >= content.size() || content[p] != u'=') {
        return {};
    }
    ++p;
    while (p < content.size() && isSpace(content[p])) {
        ++p;
    }
    size_t end = p;
    while (end < content.size() && !isSpace(content[end]) && content[end] != u';' &&
           content[end] != u'"' && content[end] != u'\'') {
        ++end;
    }
    return content.substr(p, end - p);
}

std::string htmlCharset(std::u16string_view head) {
    if (findNoCase(head, u"<html") == head.npos) {
        return {};
    }
    XmlDocument doc;
    doc.setText(head);
    for (const auto* html : {u"html", u"HTML"}) {
        doc.resetPos();
        if (!doc.findElement(html)) {
            continue;
        }
        doc.stepInto();
        if (!doc.findElement(u"head") && !doc.findElement(u"HEAD")) {
            return {};
        }
        doc.stepInto();
        for (const auto* meta : {u"meta", u"META"}) {
            doc.resetCurrent();
            while (doc.findElement(meta)) {
                if (equalsNoCase(doc.attributeValue(u"http-equiv"), u"Content-Type")) {
                    return narrow(charsetOf(doc.attributeValue(u"content")));
                }
            }
        }
        return {};
    }
    return {};
}

}  // namespace

Encoding lookup(std::string_view name) {
    Encoding e;
    if (name.starts_with("UTF-32")) {
        e.kind = name == "UTF-32BE" ? Kind::Utf32Be : Kind::Utf32Le;
        e.codePage = e.kind == Kind::Utf32Be ? 12001 : 12000;
        return e;
    }
    std::string lower(name);
    std::transform(lower.begin(), lower.end(), lower.begin(), lowerAscii);
    const auto* end = std::end(kCharsets);
    const auto* it =
        std::lower_bound(std::begin(kCharsets), end, std::string_view(lower),
                         [](const Charset& c, std::string_view n) { return c.name < n; });
    if (it == end || it->name != lower) {
        return e;
    }
    e.codePage = it->codePage;
    // The Unicode code pages are converted here rather than by iconv.
    static constexpr std::pair<int, Kind> kUnicodePages[] = {{65001, Kind::Utf8},
                                                             {1200, Kind::Utf16Le},
                                                             {1201, Kind::Utf16Be},
                                                             {12000, Kind::Utf32Le},
                                                             {12001, Kind::Utf32Be}};
    for (const auto& [page, kind] : kUnicodePages) {
        if (page == it->codePage) {
            e.kind = kind;
            return e;
        }
    }
    e.iconvName = it->iconvName;
    return e;
}

std::string declaredEncoding(std::u16string_view head) {
    if (head.starts_with(u"<?xml") && head.size() > 5 && isSpace(head[5])) {
        const size_t end = head.find(u"?>");
        return narrow(pseudoAttribute(head.substr(0, end), u"encoding"));
    }
    return htmlCharset(head);
}

bool isValidUtf8(std::string_view bytes) {
    bool truncated = false;
    bool lossy = false;
    std::int64_t nulls = 0;
    decodeUtf8(
        bytes, [](char16_t) {}, truncated, lossy, nulls);
    return !lossy && !truncated;
}

void encodeUtf8(std::u16string_view text, std::string& out, bool& lossy) {
    const size_t n = text.size();
    const size_t old = out.size();
    out.resize(old + 3 * n);  // no UTF-16 unit needs more than three bytes
    char* d = out.data() + old;
    for (size_t i = 0; i < n; ++i) {
        char32_t c = text[i];
        if (c < 0x80) {
            *d++ = static_cast<char>(c);
            continue;
        }
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
            lossy = true;
        }
        if (c < 0x800) {
            *d++ = static_cast<char>(0xC0 | (c >> 6));
        } else if (c < 0x10000) {
            *d++ = static_cast<char>(0xE0 | (c >> 12));
            *d++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        } else {
            *d++ = static_cast<char>(0xF0 | (c >> 18));
            *d++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            *d++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        }
        *d++ = static_cast<char>(0x80 | (c & 0x3F));
    }
    out.resize(static_cast<size_t>(d - out.data()));
}

}  // namespace xmlenc
