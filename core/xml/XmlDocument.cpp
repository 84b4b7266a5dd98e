// SPDX-License-Identifier: GPL-2.0-or-later
#include "XmlDocument.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <unordered_map>

#include "DecimalText.h"

namespace {

constexpr int kBlockSize = 65536;
constexpr size_t kLogLimit = 1000;  // records stop once the log is this long

// Bit n set: character n (below 64) is white space, or ends a tag or attribute name.
constexpr std::uint64_t kSpaceBits =
    (1ull << ' ') | (1ull << '\t') | (1ull << '\r') | (1ull << '\n');
constexpr std::uint64_t kNameEndBits = kSpaceBits | (1ull << '/') | (1ull << '>') | (1ull << '=') |
                                       (1ull << '<') | (1ull << '"') | (1ull << '\'');

inline bool isSpace(char16_t c) {
    return c < 64 && ((kSpaceBits >> c) & 1) != 0;
}
inline bool endsName(char16_t c) {
    return c < 64 && ((kNameEndBits >> c) & 1) != 0;
}

// Follows quoted literals through markup, one character at a time: true when `c` opens, closes
// or lies inside one. `quote` holds the open literal's quote mark, 0 outside.
bool inQuotedLiteral(char16_t c, char16_t& quote) {
    if (quote != 0) {
        if (c == quote) {
            quote = 0;
        }
        return true;
    }
    if (c == u'"' || c == u'\'') {
        quote = c;
        return true;
    }
    return false;
}

bool startsTagName(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_' || c == u':' ||
           c >= 123;
}

void appendInt(std::u16string& out, std::int64_t v) {
    char buf[24];
    auto end = std::to_chars(buf, buf + sizeof buf, v).ptr;
    out.append(buf, end);
}

}  // namespace

struct XmlDocument::AttributeSpan {
    int nameStart = 0;
    int nameEnd = 0;
    int valueStart = 0;  // quotes included
    int valueEnd = 0;
    bool hasValue = false;
    bool quoted = false;
};

struct XmlDocument::OpenElement {
    int elem;
    std::u16string_view name;  // in the text, which stays put while it is parsed
};

// The elements open while parsing, innermost last, with an index by name: an end tag finds its
// element, or finds that none of its name is open, without walking the whole stack, so a text
// of many end tags that match nothing still parses in linear time.
struct XmlDocument::OpenElements {
    std::vector<OpenElement> stack;
    std::unordered_map<std::u16string_view, std::vector<int>> byName;

    bool empty() const { return stack.empty(); }
    size_t size() const { return stack.size(); }
    const OpenElement& operator[](size_t i) const { return stack[i]; }
    const OpenElement& back() const { return stack.back(); }

    void push(int elem, std::u16string_view name) {
        byName[name].push_back(static_cast<int>(stack.size()));
        stack.push_back({elem, name});
    }
    // Position of the innermost open element named `name`, -1 when none is open.
    int innermost(std::u16string_view name) const {
        if (!stack.empty() && stack.back().name == name) {
            return static_cast<int>(stack.size()) - 1;
        }
        const auto found = byName.find(name);
        return found == byName.end() || found->second.empty() ? -1 : found->second.back();
    }
    // Forgets the elements from position `keep` on.
    void truncate(size_t keep) {
        while (stack.size() > keep) {
            const auto found = byName.find(stack.back().name);
            found->second.pop_back();
            if (found->second.empty()) {
                byName.erase(found);
            }
            stack.pop_back();
        }
    }
};

XmlDocument::XmlDocument() {
    parse();
}

bool XmlDocument::setText(std::u16string_view text) {
    text_.assign(text);
    resultLog_.clear();
    parse();
    return isWellFormed();
}

bool XmlDocument::isWellFormed() const {
    const ElementRecord& doc = rec(0);
    if (doc.flags & NotWellFormed) {
        return false;
    }
    return doc.firstChild != 0 && rec(doc.firstChild).nextSibling == 0;
}

// ---- element index ----

void XmlDocument::reserveRecords(int capacity) {
    if (capacity <= capacity_) {
        return;
    }
    // Full blocks stay where they are; only the last, partly filled one is reallocated.
    const int blocks = (capacity + kBlockSize - 1) / kBlockSize;
    blocks_.resize(blocks);
    for (int b = 0; b < blocks; ++b) {
        const int want = std::min(kBlockSize, capacity - b * kBlockSize);
        if (static_cast<int>(blocks_[b].size()) < want) {
            blocks_[b].resize(want);
        }
    }
    capacity_ = capacity;
}

void XmlDocument::clearRecords() {
    count_ = 0;
    pos_ = Cursor{};
    attributeCacheElem_ = 0;
    freshElem_ = 0;
}

int XmlDocument::newRecord() {
    if (count_ == capacity_) {
        reserveRecords(capacity_ + std::max(capacity_ / 2, 8));
    }
    const int i = count_++;
    rec(i) = ElementRecord{};
    return i;
}

int XmlDocument::lastChild(int parent) const {
    const int first = rec(parent).firstChild;
    return first == 0 ? 0 : rec(first).prevSibling;
}

void XmlDocument::linkLastChild(int parent, int elem) {
    ElementRecord& e = rec(elem);
    e.parent = parent;
    e.nextSibling = 0;
    ElementRecord& p = rec(parent);
    if (p.firstChild == 0) {
        p.firstChild = elem;
        e.prevSibling = elem;
        e.flags |= FirstChild;
        return;
    }
    ElementRecord& first = rec(p.firstChild);
    const int last = first.prevSibling;
    rec(last).nextSibling = elem;
    e.prevSibling = last;
    first.prevSibling = elem;
}

void XmlDocument::linkAfter(int sibling, int elem) {
    const int parent = rec(sibling).parent;
    const int next = rec(sibling).nextSibling;
    if (next == 0) {
        linkLastChild(parent, elem);
        return;
    }
    ElementRecord& e = rec(elem);
    e.parent = parent;
    e.prevSibling = sibling;
    e.nextSibling = next;
    rec(sibling).nextSibling = elem;
    rec(next).prevSibling = elem;
}

int XmlDocument::nameLength(int elem) const {
    const ElementRecord& e = rec(elem);
    const size_t end = static_cast<size_t>(e.start) + e.startTagLength;
    size_t p = e.start + 1;
    while (p < end && !endsName(text_[p])) {
        ++p;
    }
    return static_cast<int>(p - e.start - 1);
}

bool XmlDocument::nameIs(int elem, std::u16string_view name) const {
    const ElementRecord& e = rec(elem);
    if (name.size() + 1 >= static_cast<size_t>(e.startTagLength)) {
        return false;
    }
    const size_t p = e.start + 1;
    return text_.view().substr(p, name.size()) == name && endsName(text_[p + name.size()]);
}

// ---- cursor ----

std::u16string XmlDocument::tagName() const {
    if (pos_.current == 0) {
        return {};
    }
    return std::u16string(
        text_.view().substr(rec(pos_.current).start + 1, nameLength(pos_.current)));
}

bool XmlDocument::findElement(std::u16string_view name) {
    int e = pos_.current != 0 ? rec(pos_.current).nextSibling : rec(pos_.parent).firstChild;
    for (; e != 0; e = rec(e).nextSibling) {
        if (name.empty() || nameIs(e, name)) {
            pos_.current = e;
            pos_.child = 0;
            pos_.kind = 1;
            return true;
        }
    }
    return false;
}

void XmlDocument::stepInto() {
    if (pos_.kind != 1 || pos_.current == 0) {
        return;
    }
    pos_.parent = pos_.current;
    pos_.current = pos_.child;
    pos_.child = 0;
    pos_.kind = pos_.current != 0 ? 1 : 0;
}

void XmlDocument::stepOut() {
    if (pos_.parent == 0) {
        return;
    }
    pos_.child = pos_.current;
    pos_.current = pos_.parent;
    pos_.parent = rec(pos_.current).parent;
    pos_.kind = 1;
}

void XmlDocument::resetCurrent() {
    pos_.current = 0;
    pos_.child = 0;
    pos_.kind = 0;
}

void XmlDocument::resetPos() {
    pos_ = Cursor{};
}

bool XmlDocument::isUnended() const {
    return pos_.current != 0 && (rec(pos_.current).flags & Unended) != 0;
}

// ---- editing ----

void XmlDocument::shiftSubtree(int top, int delta) {
    int e = top;
    while (true) {
        rec(e).start += delta;
        if (rec(e).firstChild != 0) {
            e = rec(e).firstChild;
            continue;
        }
        while (e != top && rec(e).nextSibling == 0) {
            e = rec(e).parent;
        }
        if (e == top) {
            return;
        }
        e = rec(e).nextSibling;
    }
}

// After `delta` characters were inserted inside `elem` (its start tag when insideStartTag) or,
// for a new element, at its place: every enclosing element grows and every later one moves.
void XmlDocument::textChanged(int elem, int delta, bool insideStartTag) {
    attributeCacheElem_ = 0;
    if (insideStartTag) {
        ElementRecord& e = rec(elem);
        e.length += delta;
        e.startTagLength += delta;
        for (int c = e.firstChild; c != 0; c = rec(c).nextSibling) {
            shiftSubtree(c, delta);
        }
    }
    for (int x = elem; x != 0; x = rec(x).parent) {
        for (int s = rec(x).nextSibling; s != 0; s = rec(s).nextSibling) {
            shiftSubtree(s, delta);
        }
        rec(rec(x).parent).length += delta;
    }
}

bool XmlDocument::appendElement(std::u16string_view name) {
    if (name.empty()) {
        return false;
    }
    std::u16string& node = scratch_;
    node.clear();
    const int parent = pos_.parent;
    const int current = pos_.current;
    const int elem = newRecord();
    int at = 0;        // where the markup goes
    int replaced = 0;  // characters of the old text it replaces
    int offset = 0;    // offset of the new '<' within the inserted markup
    const size_t size = text_.size();
    auto lineStart = [&](int p) {
        if (p > 0 && text_[p - 1] != u'\n') {
            node += u"\r\n";
        }
    };
    if (parent == 0) {
        at = static_cast<int>(size);
        lineStart(at);
        linkLastChild(0, elem);
    } else if (current != 0) {
        const ElementRecord& c = rec(current);
        at = c.start + c.length;
        if (at + 1 < static_cast<int>(size) && text_[at] == u'\r' && text_[at + 1] == u'\n') {
            at += 2;
        } else if (at < static_cast<int>(size) && text_[at] == u'\n') {
            at += 1;
        } else {
            node += u"\r\n";
        }
        linkAfter(current, elem);
    } else {
        ElementRecord& p = rec(parent);
        const std::u16string_view parentName = text_.view().substr(p.start + 1, nameLength(parent));
        if (p.flags & (EmptyElement | Unended)) {
            // The parent gets separate start and end tags, each on a line of its own.
            const bool empty = p.flags & EmptyElement;
            at = p.start + p.startTagLength - (empty ? 2 : 0);
            replaced = empty ? 2 : 0;
            node += empty ? u">\r\n" : u"\r\n";
        } else {
            at = p.start + p.length - static_cast<int>(p.endTagLength);
            lineStart(at);
        }
        linkLastChild(parent, elem);
        if (p.flags & (EmptyElement | Unended)) {
            offset = static_cast<int>(node.size());
            node += u'<';
            node += name;
            node += u"/>\r\n</";
            node += parentName;
            node += u'>';
            // The parent's length grows with the insertion below; only its tags change here.
            ElementRecord& pr = rec(parent);
            if (pr.flags & EmptyElement) {
                pr.startTagLength -= 1;  // "/>" became ">"
            }
            pr.endTagLength = static_cast<unsigned>(parentName.size()) + 3;
            pr.flags = pr.flags & ~unsigned{EmptyElement | Unended};
        }
    }
    if (offset == 0) {
        offset = static_cast<int>(node.size());
        node += u'<';
        node += name;
        node += u"/>\r\n";
    }
    freshElem_ = elem;
    freshNames_.clear();
    ElementRecord& e = rec(elem);
    e.start = at + offset;
    e.startTagLength = static_cast<int>(name.size()) + 3;
    e.length = e.startTagLength;
    e.flags |= EmptyElement;
    text_.replace(at, replaced, node);
    textChanged(elem, static_cast<int>(node.size()) - replaced, false);
    pos_.current = elem;
    pos_.child = 0;
    pos_.kind = 1;
    return true;
}

// Readers ask for the attributes of an element in the order they stand (the profile reader
// does), so a lookup first goes on from where the previous one on the same element ended. That
// is only done in a tag where no name repeats: of a repeated name, the first one counts.
bool XmlDocument::findAttribute(int elem, std::u16string_view name, AttributeSpan& span) const {
    if (name.empty()) {
        return false;
    }
    const ElementRecord& e = rec(elem);
    const int end = e.start + e.startTagLength;
    if (elem == attributeCacheElem_ && attributeCacheUnique_ &&
        scanAttributes(attributeCachePos_, end, name, span)) {
        attributeCachePos_ = span.valueEnd;
        return true;
    }
    int p = e.start + 1;
    while (p < end && !endsName(text_[p])) {
        ++p;
    }
    if (elem != attributeCacheElem_) {
        attributeCacheUnique_ = namesAreUnique(p, end);
    }
    if (!scanAttributes(p, end, name, span)) {
        return false;
    }
    attributeCacheElem_ = elem;
    attributeCachePos_ = span.valueEnd;
    return true;
}

bool XmlDocument::namesAreUnique(int p, int end) const {
    // A real tag has a handful of attributes; a tag with very many is simply never cached.
    constexpr std::size_t kMaxCachedAttributes = 32;
    std::vector<std::u16string_view> names;
    AttributeSpan span;
    while (p < end && scanAttributes(p, end, {}, span)) {
        const std::u16string_view name =
            text_.view().substr(span.nameStart, span.nameEnd - span.nameStart);
        if (names.size() == kMaxCachedAttributes ||
            std::find(names.begin(), names.end(), name) != names.end()) {
            return false;
        }
        names.push_back(name);
        if (span.valueEnd <= p) {
            break;
        }
        p = span.valueEnd;
    }
    return true;
}

bool XmlDocument::scanAttributes(int p, int end, std::u16string_view name,
                                 AttributeSpan& span) const {
    while (p < end) {
        const char16_t c = text_[p];
        if (isSpace(c) || c == u'/' || c == u'"' || c == u'\'' || c == u'=' || c == u'<') {
            ++p;
            continue;
        }
        if (c == u'>') {
            return false;
        }
        const int nameStart = p;
        while (p < end && !endsName(text_[p])) {
            ++p;
        }
        span = AttributeSpan{};
        span.nameStart = nameStart;
        span.nameEnd = p;
        span.valueEnd = p;
        int q = p;
        while (q < end && isSpace(text_[q])) {
            ++q;
        }
        if (q < end && text_[q] == u'=') {
            ++q;
            while (q < end && isSpace(text_[q])) {
                ++q;
            }
            span.hasValue = true;
            span.valueStart = q;
            if (q < end && (text_[q] == u'"' || text_[q] == u'\'')) {
                const char16_t quote = text_[q];
                int r = q + 1;
                while (r < end && text_[r] != quote) {
                    ++r;
                }
                span.quoted = true;
                span.valueEnd = std::min(r + 1, end);
            } else {
                int r = q;
                while (r < end && !isSpace(text_[r]) && text_[r] != u'/' && text_[r] != u'>') {
                    ++r;
                }
                span.valueEnd = r;
            }
            p = span.valueEnd;
        }
        if (name.empty() || text_.view().substr(nameStart, span.nameEnd - nameStart) == name) {
            return true;
        }
    }
    return false;
}

bool XmlDocument::setAttribute(std::u16string_view name, std::u16string_view value) {
    if (pos_.current == 0 || name.empty()) {
        return false;
    }
    const int elem = pos_.current;
    std::u16string& markup = scratch_;
    markup.clear();
    AttributeSpan span;
    int at = 0;
    int replaced = 0;
    const bool known = !isFreshName(name);
    if (known && findAttribute(elem, name, span)) {
        if (span.hasValue) {
            at = span.valueStart;
            replaced = span.valueEnd - span.valueStart;
        } else {
            at = span.nameEnd;
            markup += u'=';
        }
    } else {
        const ElementRecord& e = rec(elem);
        at = e.start + e.startTagLength - 1;  // the '>'
        if (text_[at - 1] == u'/' && (e.flags & EmptyElement)) {
            --at;
        }
        markup += u' ';
        markup += name;
        markup += u'=';
    }
    markup += u'"';
    appendEscaped(markup, value);
    markup += u'"';
    text_.replace(at, replaced, markup);
    textChanged(elem, static_cast<int>(markup.size()) - replaced, true);
    return true;
}

// On the element just appended only the names set on it since can exist, so most calls of the
// profile writer need no scan of the start tag. Notes the name as set.
bool XmlDocument::isFreshName(std::u16string_view name) {
    if (pos_.current != freshElem_ || freshElem_ == 0) {
        return false;
    }
    for (size_t p = 0; p < freshNames_.size(); p += freshNames_[p] + 1) {
        if (std::u16string_view(freshNames_).substr(p + 1, freshNames_[p]) == name) {
            return false;
        }
    }
    if (name.size() >= 0xFFFF) {
        return false;
    }
    freshNames_ += static_cast<char16_t>(name.size());
    freshNames_ += name;
    return true;
}

bool XmlDocument::setAttributes(
    std::initializer_list<std::pair<std::u16string_view, int>> attributes) {
    const int elem = pos_.current;
    if (elem == 0 || elem != freshElem_) {
        bool ok = true;
        for (const auto& [name, value] : attributes) {
            ok = setAttribute(name, value) && ok;
        }
        return ok;
    }
    std::u16string& markup = scratch_;
    markup.clear();
    for (const auto& [name, value] : attributes) {
        if (name.empty() || !isFreshName(name)) {
            // A repeated name replaces its value: leave that to setAttribute, in order.
            if (!markup.empty()) {
                insertBeforeTagEnd(elem, markup);
                markup.clear();
            }
            setAttribute(name, value);
            markup.clear();  // setAttribute used the same scratch text
            continue;
        }
        markup += u' ';
        markup += name;
        markup += u"=\"";
        char buf[16];
        for (char *p = buf, *end = std::to_chars(buf, buf + sizeof buf, value).ptr; p != end; ++p) {
            markup += static_cast<char16_t>(*p);
        }
        markup += u'"';
    }
    if (!markup.empty()) {
        insertBeforeTagEnd(elem, markup);
    }
    return true;
}

void XmlDocument::insertBeforeTagEnd(int elem, std::u16string_view markup) {
    const ElementRecord& e = rec(elem);
    int at = e.start + e.startTagLength - 1;  // the '>'
    if (text_[at - 1] == u'/' && (e.flags & EmptyElement)) {
        --at;
    }
    text_.insert(at, markup);
    textChanged(elem, static_cast<int>(markup.size()), true);
}

bool XmlDocument::setAttribute(std::u16string_view name, int value) {
    char buf[16];
    auto end = std::to_chars(buf, buf + sizeof buf, value).ptr;
    char16_t wide[16];
    int n = 0;
    for (char* p = buf; p != end; ++p) {
        wide[n++] = static_cast<char16_t>(*p);
    }
    return setAttribute(name, std::u16string_view(wide, n));
}

std::u16string XmlDocument::attributeValue(std::u16string_view name) const {
    AttributeSpan span;
    if (pos_.current == 0 || !findAttribute(pos_.current, name, span) || !span.hasValue) {
        return {};
    }
    int from = span.valueStart;
    int to = span.valueEnd;
    if (span.quoted) {
        ++from;
        // An unclosed quote runs to the end of the start tag.
        if (to > from && (text_[to - 1] == u'"' || text_[to - 1] == u'\'')) {
            --to;
        }
    }
    return unescape(text_.view().substr(from, to - from));
}

int XmlDocument::attributeInt(std::u16string_view name) const {
    return parseDecimal(attributeValue(name));
}

// ---- result log ----

void XmlDocument::log(std::u16string_view event, std::u16string_view textName,
                      std::u16string_view textValue, std::u16string_view intName,
                      std::int64_t intValue, bool hasInt, std::int64_t offset2) {
    if (resultLog_.size() >= kLogLimit) {
        return;
    }
    resultLog_ += u'<';
    resultLog_ += event;
    if (!textName.empty()) {
        resultLog_ += u' ';
        resultLog_ += textName;
        resultLog_ += u"=\"";
        appendEscaped(resultLog_, textValue);
        resultLog_ += u'"';
    }
    if (hasInt) {
        resultLog_ += u' ';
        resultLog_ += intName;
        resultLog_ += u"=\"";
        appendInt(resultLog_, intValue);
        resultLog_ += u'"';
    }
    if (offset2 >= 0) {
        resultLog_ += u" offset2=\"";
        appendInt(resultLog_, offset2);
        resultLog_ += u'"';
    }
    resultLog_ += u"/>";
}

void XmlDocument::markError() {
    rec(0).flags |= NotWellFormed;
}

// ---- parser ----

void XmlDocument::parse() {
    clearRecords();
    const int size = static_cast<int>(text_.size());
    reserveRecords(size / 64 + 8);
    newRecord();
    rec(0).length = size;
    OpenElements open;
    open.stack.reserve(16);
    const char16_t* t = text_.data();
    int p = 0;
    while (p < size) {
        const char16_t* lt = std::char_traits<char16_t>::find(t + p, size - p, u'<');
        if (lt == nullptr) {
            break;
        }
        const int at = static_cast<int>(lt - t);
        if (at + 1 >= size) {
            log(u"unterminated_tag_syntax", u"type", u"tag", u"offset", at, true);
            markError();
            break;
        }
        const char16_t c = t[at + 1];
        if (c == u'/') {
            p = parseEndTag(at, open);
        } else if (c == u'!') {
            p = parseBang(at);
        } else if (c == u'?') {
            const auto end = text_.view().find(u"?>", at + 2);
            if (end == std::u16string_view::npos) {
                log(u"unterminated_tag_syntax", u"type", u"processing_instruction", u"offset", at,
                    true);
                markError();
                break;
            }
            p = static_cast<int>(end) + 2;
        } else if (startsTagName(c)) {
            p = parseStartTag(at, open);
        } else {
            log(u"first_tag_syntax", {}, {}, u"offset", at, true);
            markError();
            p = at + 1;
        }
        if (p < 0) {
            break;
        }
    }
    closeUnended(open, 0, size);
    checkRoot();
}

int XmlDocument::nameEnd(int from) const {
    const int size = static_cast<int>(text_.size());
    while (from < size && !endsName(text_[from])) {
        ++from;
    }
    return from;
}

int XmlDocument::parseStartTag(int lt, OpenElements& open) {
    const char16_t* t = text_.data();
    const int size = static_cast<int>(text_.size());
    int p = nameEnd(lt + 1);
    const int nameLen = p - lt - 1;
    char16_t quote = 0;
    while (p < size && (inQuotedLiteral(t[p], quote) || t[p] != u'>')) {
        ++p;
    }
    if (p >= size) {
        log(u"unterminated_tag_syntax", u"type", u"start_tag", u"offset", lt, true);
        markError();
        return -1;
    }
    const bool empty = t[p - 1] == u'/';
    const int elem = newRecord();
    ElementRecord& e = rec(elem);
    e.start = lt;
    e.startTagLength = p + 1 - lt;
    e.length = e.startTagLength;
    if (empty) {
        e.flags |= EmptyElement;
    }
    linkLastChild(open.empty() ? 0 : open.back().elem, elem);
    if (!empty) {
        open.push(elem, std::u16string_view(t + lt + 1, nameLen));
    }
    return p + 1;
}

int XmlDocument::parseEndTag(int lt, OpenElements& open) {
    const char16_t* t = text_.data();
    const int size = static_cast<int>(text_.size());
    const int p = nameEnd(lt + 2);
    const std::u16string_view name(t + lt + 2, p - lt - 2);
    const char16_t* gt = std::char_traits<char16_t>::find(t + p, size - p, u'>');
    if (gt == nullptr) {
        log(u"unterminated_tag_syntax", u"type", u"end_tag", u"offset", lt, true);
        markError();
        return -1;
    }
    const int end = static_cast<int>(gt - t) + 1;
    // An end tag too long to record (hundreds of millions of blanks) closes nothing.
    const int match = end - lt > kMaxEndTagLength ? -1 : open.innermost(name);
    if (match < 0) {
        log(u"lone_end_tag", u"tagname", name, u"offset", lt, true);
        markError();
        return end;
    }
    closeUnended(open, match + 1, lt);
    ElementRecord& e = rec(open.back().elem);
    e.length = end - e.start;
    e.endTagLength = static_cast<unsigned>(end - lt);
    open.truncate(open.size() - 1);
    return end;
}

int XmlDocument::parseBang(int lt) {
    const std::u16string_view t = text_.view();
    auto unterminated = [&](std::u16string_view type) {
        log(u"unterminated_tag_syntax", u"type", type, u"offset", lt, true);
        markError();
        return -1;
    };
    auto syntax = [&](std::u16string_view event, int at) {
        log(event, {}, {}, u"offset", at, true);
        markError();
        return at + 1;
    };
    const std::u16string_view rest = t.substr(lt);
    if (rest.starts_with(u"<!--")) {
        const auto end = t.find(u"-->", lt + 4);
        return end == t.npos ? unterminated(u"comment") : static_cast<int>(end) + 3;
    }
    if (rest.starts_with(u"<!-")) {
        return rest.size() <= 3 ? unterminated(u"comment") : syntax(u"comment_tag_syntax", lt);
    }
    if (rest.starts_with(u"<![CDATA[")) {
        const auto end = t.find(u"]]>", lt + 9);
        return end == t.npos ? unterminated(u"cdata_section") : static_cast<int>(end) + 3;
    }
    if (rest.starts_with(u"<![")) {
        return syntax(u"cdata_section_syntax", lt);
    }
    if (rest.starts_with(u"<!DOCTYPE")) {
        return parseDoctype(lt);
    }
    if (rest.size() <= 2) {
        return unterminated(u"tag");
    }
    return syntax(u"exclamation_tag_syntax", lt);
}

// A document type declaration: up to its closing '>', skipping quoted literals and the internal
// subset in square brackets. A '<' outside both means the declaration was never closed.
int XmlDocument::parseDoctype(int lt) {
    const std::u16string_view t = text_.view();
    const int size = static_cast<int>(t.size());
    char16_t quote = 0;
    bool subset = false;
    for (int p = lt + 9; p < size; ++p) {
        const char16_t c = t[p];
        if (inQuotedLiteral(c, quote)) {
            continue;
        }
        if (subset) {
            subset = c != u']';
        } else if (c == u'[') {
            subset = true;
        } else if (c == u'>') {
            return p + 1;
        } else if (c == u'<') {
            log(u"doctype_tag_syntax", {}, {}, u"offset", p, true);
            markError();
            return p;
        }
    }
    log(u"unterminated_tag_syntax", u"type", u"document_type", u"offset", lt, true);
    markError();
    return -1;
}

// Elements still open when an enclosing element ends (or the text does), open[keep] and above:
// each keeps only its start tag, and its children become its following siblings. Done from the
// outermost down, so every moved child is re-parented once even for a long chain of unended
// elements (a file cut short leaves one per nesting level).
void XmlDocument::closeUnended(OpenElements& open, size_t keep, int offset2) {
    if (keep >= open.size()) {
        return;
    }
    for (size_t i = open.size(); i-- > keep;) {
        const ElementRecord& e = rec(open[i].elem);
        log(u"unended_start_tag", u"tagname", open[i].name, u"offset", e.start, true, offset2);
    }
    markError();
    const int parent = keep == 0 ? 0 : open[keep - 1].elem;
    for (size_t i = keep; i < open.size(); ++i) {
        const int elem = open[i].elem;
        ElementRecord& e = rec(elem);
        e.length = e.startTagLength;
        e.flags |= Unended;
        const int first = e.firstChild;
        if (first == 0) {
            continue;
        }
        const int last = rec(first).prevSibling;
        for (int c = first; c != 0; c = rec(c).nextSibling) {
            rec(c).parent = parent;
        }
        // elem is the last child of `parent` here: the outer elements were flattened already.
        rec(first).flags = rec(first).flags & ~unsigned{FirstChild};
        rec(first).prevSibling = elem;
        rec(elem).nextSibling = first;
        rec(elem).firstChild = 0;
        rec(rec(parent).firstChild).prevSibling = last;
    }
    open.truncate(keep);
}

void XmlDocument::checkRoot() {
    const ElementRecord& doc = rec(0);
    if (doc.firstChild == 0) {
        if (text_.size() != 0) {
            log(u"no_root_element");
        }
        return;
    }
    // Not marked on the record: isWellFormed tests the root afresh, as appends change it.
    if (rec(doc.firstChild).nextSibling != 0) {
        log(u"root_has_sibling");
    }
}
