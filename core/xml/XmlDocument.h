// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The program's own XML engine. One document is held as a single UTF-16 text, exactly as it will
// be written, with an index of where every element sits in it. A cursor (parent, current element,
// child) walks and extends the document; edits happen in place in the text and the index follows.
// Malformed input never stops the parser: problems go to the result log and the best tree is kept.

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "WideText.h"

class XmlDocument {
public:
    // Document flags. The profile code sets none.
    enum Flag : int {
        WriteBom = 1,  // saveFile starts a UTF-8 or UTF-16 file with a byte-order mark
    };

    // An empty document: no text, no elements, cursor at the document level.
    XmlDocument();

    // Replaces the text, clears the result log, parses it and puts the cursor at the document
    // level. Returns whether the text is well formed.
    bool setText(std::u16string_view text);
    std::u16string_view text() const { return text_.view(); }
    // Events of the last load, save or parse, as empty XML elements one after another.
    const std::u16string& resultLog() const { return resultLog_; }
    // No parse error was found and there is exactly one top-level element.
    bool isWellFormed() const;

    // Adds an empty element after the current element (or as the parent's last child when there
    // is none) on a line of its own, and makes it the current element. False for an empty name.
    bool appendElement(std::u16string_view name);
    // Sets an attribute of the current element, escaping the value; an existing attribute keeps
    // its place, a new one goes after the last. False when there is no current element.
    bool setAttribute(std::u16string_view name, std::u16string_view value);
    bool setAttribute(std::u16string_view name, int value);
    // Several numbers at once, with the same result as setting them one after another; on the
    // element just appended they go in with one edit of the text.
    bool setAttributes(std::initializer_list<std::pair<std::u16string_view, int>> attributes);
    // The unescaped value of the current element's attribute, empty when there is none.
    std::u16string attributeValue(std::u16string_view name) const;
    // The attribute read by parseDecimal (DecimalText.h), clamped to int; 0 when missing.
    int attributeInt(std::u16string_view name) const;
    // Tag name of the current element, empty when there is none.
    std::u16string tagName() const;

    // Finds the next element named `name` after the current one at this level (from the
    // parent's first child when there is no current element). The cursor stays put on failure.
    // An empty name finds the next element of any name.
    bool findElement(std::u16string_view name);
    // Makes the current element the parent; the remembered child (none after a find or an
    // append) becomes current. Nothing without a current element.
    void stepInto();
    // Back to the parent level: the parent becomes current again. Nothing at the document level.
    void stepOut();
    // Forgets the current element, so the next findElement searches this level from its start.
    void resetCurrent();
    // Back to the document level with no current element.
    void resetPos();
    // The current element's start tag was never closed by an end tag (the parser then moved
    // its content after it).
    bool isUnended() const;

    // Writes the text in its declared encoding (UTF-8 when none is declared). False with a
    // "file_error" record when the file cannot be written completely.
    bool saveFile(const std::filesystem::path& path);
    // The same into the open file `fd`, from its current offset; `fd` stays open and is synced.
    bool saveFile(int fd);
    // Reads a file in any of the usual encodings and parses it. False when the file could not
    // be read (the document is then empty) or when it is not well formed.
    bool loadFile(const std::filesystem::path& path);
    // System message of the last failed file operation, empty when the last one succeeded.
    const std::string& fileError() const { return fileError_; }

    // Number of element records in use, the document record included.
    int elementCount() const { return count_; }

    // Attribute escaping: & < > " and ' become the five XML entities.
    static void appendEscaped(std::u16string& out, std::u16string_view value);
    // Resolves the five XML entities, the HTML 4.01 names and numeric references.
    static std::u16string unescape(std::u16string_view value);

    int flags = 0;

private:
    // 32 bytes, so that a block of 65536 records is exactly one 2 MiB huge page.
    struct ElementRecord {
        int start = 0;           // offset of the '<' of the start tag
        int length = 0;          // up to the end of the end tag (the start tag when empty)
        int startTagLength = 0;  // a full int: a long value must not wrap the tag's length
        unsigned endTagLength : 28 = 0;
        unsigned flags : 4 = 0;
        int parent = 0;
        int firstChild = 0;
        int nextSibling = 0;
        int prevSibling = 0;  // on a first child: the last child of the list
    };
    static constexpr int kMaxEndTagLength = (1 << 28) - 1;
    static_assert(sizeof(ElementRecord) == 32);
    enum RecordFlag : int {
        EmptyElement = 1,
        Unended = 2,
        FirstChild = 4,
        NotWellFormed = 8,  // on record 0
    };
    struct Cursor {
        int parent = 0;
        int current = 0;
        int child = 0;
        int kind = 0;  // 1 = element, 0 = none
    };
    struct AttributeSpan;
    struct OpenElement;
    struct OpenElements;

    ElementRecord& rec(int i) { return blocks_[i >> 16][i & 0xFFFF]; }
    const ElementRecord& rec(int i) const { return blocks_[i >> 16][i & 0xFFFF]; }
    int newRecord();
    void reserveRecords(int capacity);
    void clearRecords();
    int lastChild(int parent) const;
    void linkLastChild(int parent, int elem);
    void linkAfter(int sibling, int elem);
    int nameLength(int elem) const;
    bool nameIs(int elem, std::u16string_view name) const;
    bool findAttribute(int elem, std::u16string_view name, AttributeSpan& span) const;
    // The first attribute named `name` from `from` on; an empty name finds the next attribute.
    bool scanAttributes(int from, int end, std::u16string_view name, AttributeSpan& span) const;
    // No attribute name stands twice in the tag between `from` and `end`.
    bool namesAreUnique(int from, int end) const;
    void shiftSubtree(int elem, int delta);
    void textChanged(int elem, int delta, bool insideStartTag);
    bool isFreshName(std::u16string_view name);
    void insertBeforeTagEnd(int elem, std::u16string_view markup);

    void parse();
    // Offset of the first character after the tag name that starts at `from`.
    int nameEnd(int from) const;
    int parseStartTag(int lt, OpenElements& open);
    int parseEndTag(int lt, OpenElements& open);
    int parseBang(int lt);
    int parseDoctype(int lt);
    void closeUnended(OpenElements& open, size_t keep, int offset2);
    void checkRoot();
    void markError();

    void log(std::u16string_view event, std::u16string_view textName = {},
             std::u16string_view textValue = {}, std::u16string_view intName = {},
             std::int64_t intValue = 0, bool hasInt = false, std::int64_t offset2 = -1);
    void logFileError(int error);
    bool readFile(const std::filesystem::path& path);
    class FileWriter;
    bool writeText(FileWriter& file);
    // Decodes the bytes after any byte-order mark into the text (the pages of a large body may
    // be handed back as it is decoded: it is not to be read again); an empty encoding means UTF-8
    // when the bytes are valid UTF-8 and the system code page otherwise.
    void decodeBytes(std::string_view body, std::string encoding);

    WideText text_;
    std::u16string resultLog_;
    std::string fileError_;
    Cursor pos_;
    std::vector<std::vector<ElementRecord, bigbuffer::Allocator<ElementRecord>>> blocks_;
    int count_ = 0;
    int capacity_ = 0;
    std::u16string scratch_;  // reused for the markup of each edit
    // Where the last attribute lookup ended, on which element (0: none).
    mutable int attributeCacheElem_ = 0;
    mutable int attributeCachePos_ = 0;
    mutable bool attributeCacheUnique_ = false;
    // The element appended last and the attribute names set on it since, each as a length
    // unit followed by the name.
    int freshElem_ = 0;
    std::u16string freshNames_;
};
