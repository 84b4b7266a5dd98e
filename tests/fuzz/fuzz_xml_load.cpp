// SPDX-License-Identifier: GPL-2.0-or-later
// The XML engine's load from bytes: byte-order marks, declared encodings (UTF-8, UTF-16 both
// ways, UTF-32, the iconv charsets, the system code page), UTF-8 detection, NUL removal, then
// the forgiving parser and attribute unescaping over whatever tree it built.
#include <cstdint>
#include <cstdlib>

#include "FuzzFiles.h"
#include "XmlDocument.h"

namespace {

// Walks every element and reads every attribute the profile reader would ask for.
void walk(XmlDocument& doc, int depth) {
    if (depth > 64) {
        return;
    }
    while (doc.findElement(u"")) {
        for (const char16_t* name : {u"ID", u"t1", u"Level", u"encoding"}) {
            (void)doc.attributeValue(name);
            (void)doc.attributeInt(name);
        }
        (void)doc.tagName();
        (void)doc.isUnended();
        doc.stepInto();
        walk(doc, depth + 1);
        doc.stepOut();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = oskelfuzz::writeInput("input.xml", data, size);
    XmlDocument doc;
    const bool wellFormed = doc.loadFile(path);
    if (wellFormed != doc.isWellFormed()) {
        std::abort();  // a well-formed answer for a document that is not, or the other way
    }
    walk(doc, 0);
    // Parsing the text it holds again gives the same tree.
    const int elements = doc.elementCount();
    XmlDocument again;
    again.setText(doc.text());
    if (again.elementCount() != elements) {
        std::abort();
    }
    return 0;
}
