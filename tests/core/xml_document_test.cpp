// SPDX-License-Identifier: GPL-2.0-or-later
// The XML engine in memory: layout of built documents, the cursor, escaping and references,
// and how malformed text is repaired and logged.

#include <gtest/gtest.h>

#include <string>

#include "XmlDocument.h"

namespace {

const std::u16string kDecl = u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";

std::string utf8(std::u16string_view s) {
    std::string out;
    for (char16_t c : s) {
        out += c < 128 ? static_cast<char>(c) : '?';
    }
    return out;
}

// The tree under the cursor's level as "name(n,t1)[children]" pieces, walked with the cursor
// only, so it shows what the element index says about the text.
std::u16string dump(XmlDocument& doc) {
    std::u16string out;
    doc.resetCurrent();
    while (doc.findElement(u"")) {
        out += doc.tagName();
        const std::u16string n = doc.attributeValue(u"n");
        const std::u16string t1 = doc.attributeValue(u"t1");
        if (!n.empty() || !t1.empty()) {
            out += u"(" + n + u"," + t1 + u")";
        }
        doc.stepInto();
        const std::u16string inner = dump(doc);
        doc.stepOut();
        if (!inner.empty()) {
            out += u"[" + inner + u"]";
        }
        out += u" ";
    }
    return out;
}

std::u16string dumpAll(XmlDocument& doc) {
    doc.resetPos();
    return dump(doc);
}

// After any edit, the index must describe the text exactly as a fresh parse of it does.
void expectIndexMatchesText(XmlDocument& doc) {
    XmlDocument fresh;
    fresh.setText(doc.text());
    EXPECT_EQ(utf8(dumpAll(doc)), utf8(dumpAll(fresh)));
}

TEST(XmlLayout, AppendedElementsStandOnLinesOfTheirOwn) {
    XmlDocument doc;
    doc.setText(kDecl);
    ASSERT_TRUE(doc.appendElement(u"A"));
    doc.stepInto();
    ASSERT_TRUE(doc.appendElement(u"B"));
    ASSERT_TRUE(doc.setAttribute(u"n", 1));
    doc.stepOut();
    EXPECT_EQ(doc.text(), kDecl + u"<A>\r\n<B n=\"1\"/>\r\n</A>\r\n");
    EXPECT_TRUE(doc.isWellFormed());
}

TEST(XmlLayout, SiblingsChildrenAndAttributesKeepTheirOrder) {
    XmlDocument doc;
    doc.appendElement(u"R");
    doc.stepInto();
    doc.appendElement(u"x");
    doc.setAttribute(u"n", 0);
    doc.setAttribute(u"t1", u"a");
    doc.appendElement(u"x");
    doc.setAttribute(u"n", 1);
    doc.stepInto();
    doc.appendElement(u"List");
    doc.stepOut();
    doc.stepOut();
    EXPECT_EQ(doc.text(),
              u"<R>\r\n<x n=\"0\" t1=\"a\"/>\r\n<x n=\"1\">\r\n<List/>\r\n</x>\r\n</R>\r\n");
    // Replacing a value keeps the attribute where it was.
    doc.resetPos();
    doc.findElement(u"R");
    doc.stepInto();
    doc.findElement(u"x");
    doc.setAttribute(u"n", u"long value");
    EXPECT_EQ(
        utf8(doc.text()),
        "<R>\r\n<x n=\"long value\" t1=\"a\"/>\r\n<x n=\"1\">\r\n<List/>\r\n</x>\r\n</R>\r\n");
    expectIndexMatchesText(doc);
}

TEST(XmlLayout, EditsInTheMiddleMoveEverythingAfterThem) {
    XmlDocument doc;
    doc.setText(u"<r>\r\n<a n=\"1\">\r\n<c/>\r\n</a>\r\n<b n=\"2\"><d/></b>\r\n</r>\r\n");
    doc.findElement(u"r");
    doc.stepInto();
    doc.findElement(u"a");
    doc.setAttribute(u"t1", u"grown <&> value");  // a's children and b move
    doc.appendElement(u"mid");                    // between a and b
    doc.setAttribute(u"n", u"3");
    doc.stepInto();
    doc.appendElement(u"inner");
    doc.stepOut();
    doc.findElement(u"b");
    doc.stepInto();
    doc.appendElement(u"after_d");  // after the last child, in a parent written on one line
    doc.stepOut();
    EXPECT_EQ(utf8(dumpAll(doc)),
              "r[a(1,grown <&> value)[c ] mid(3,)[inner ] b(2,)[d after_d ] ] ");
    expectIndexMatchesText(doc);
    EXPECT_TRUE(doc.isWellFormed());
}

TEST(XmlLayout, AppendIntoParsedElementWithoutLineBreaks) {
    XmlDocument doc;
    doc.setText(u"<r><a/></r>");
    doc.findElement(u"r");
    doc.stepInto();
    doc.appendElement(u"b");
    EXPECT_EQ(doc.text(), u"<r><a/>\r\n<b/>\r\n</r>");
    doc.resetCurrent();
    doc.findElement(u"a");
    doc.stepInto();
    doc.appendElement(u"c");
    EXPECT_EQ(doc.text(), u"<r><a>\r\n<c/>\r\n</a>\r\n<b/>\r\n</r>");
    expectIndexMatchesText(doc);
}

TEST(XmlLayout, SeveralAttributesAtOnceAsOneAfterAnother) {
    XmlDocument one;
    XmlDocument many;
    for (XmlDocument* doc : {&one, &many}) {
        doc->appendElement(u"r");
        doc->stepInto();
        doc->appendElement(u"a");
        doc->setAttribute(u"b", u"text");
    }
    one.setAttribute(u"n", 1);
    one.setAttribute(u"b", 2);
    one.setAttribute(u"m", -3);
    many.setAttributes({{u"n", 1}, {u"b", 2}, {u"m", -3}});
    EXPECT_EQ(utf8(many.text()), "<r>\r\n<a b=\"2\" n=\"1\" m=\"-3\"/>\r\n</r>\r\n");
    EXPECT_EQ(many.text(), one.text());
    // On an element that was not just appended, the same again.
    one.stepOut();
    many.stepOut();
    one.setAttribute(u"x", 5);
    many.setAttributes({{u"x", 5}});
    EXPECT_EQ(many.text(), one.text());
    expectIndexMatchesText(many);
}

TEST(XmlCursor, FindStepIntoAndStepOut) {
    XmlDocument doc;
    doc.setText(u"<r><x n=\"1\"/><y/><x n=\"2\"/><xy n=\"3\"/></r>");
    // stepInto without a current element and stepOut at the document level change nothing.
    doc.stepInto();
    doc.stepOut();
    EXPECT_TRUE(doc.tagName().empty());
    ASSERT_TRUE(doc.findElement(u"r"));
    doc.stepInto();
    ASSERT_TRUE(doc.findElement(u"x"));
    EXPECT_EQ(doc.attributeValue(u"n"), u"1");
    ASSERT_TRUE(doc.findElement(u"x"));
    EXPECT_EQ(doc.attributeValue(u"n"), u"2");
    // "x" must not find "xy", and a failed find leaves the cursor on the last x.
    EXPECT_FALSE(doc.findElement(u"x"));
    EXPECT_EQ(doc.tagName(), u"x");
    EXPECT_EQ(doc.attributeValue(u"n"), u"2");
    // stepOut remembers the child; stepInto returns to it.
    doc.stepOut();
    EXPECT_EQ(doc.tagName(), u"r");
    doc.stepInto();
    EXPECT_EQ(doc.attributeValue(u"n"), u"2");
    // Names match case-sensitively.
    doc.resetCurrent();
    EXPECT_FALSE(doc.findElement(u"Y"));
    EXPECT_TRUE(doc.findElement(u"y"));
    // No current element: attributes read empty and cannot be set.
    doc.resetPos();
    EXPECT_TRUE(doc.attributeValue(u"n").empty());
    EXPECT_FALSE(doc.setAttribute(u"n", 1));
}

TEST(XmlAttributes, QuotingStylesAndMissingValues) {
    XmlDocument doc;
    doc.setText(u"<a one='1' two=\"x > y\" three=plain four five = '5'/>");
    doc.findElement(u"a");
    EXPECT_EQ(doc.attributeValue(u"one"), u"1");
    EXPECT_EQ(doc.attributeValue(u"two"), u"x > y");
    EXPECT_EQ(doc.attributeValue(u"three"), u"plain");
    EXPECT_EQ(doc.attributeValue(u"four"), u"");
    EXPECT_EQ(doc.attributeValue(u"five"), u"5");
    EXPECT_EQ(doc.attributeValue(u"fiv"), u"");
    doc.setAttribute(u"one", u"uno");
    doc.setAttribute(u"three", u"3");
    EXPECT_EQ(doc.text(), u"<a one=\"uno\" two=\"x > y\" three=\"3\" four five = '5'/>");
}

// Of a name that stands twice in one tag the first counts, however the lookups are ordered
// (a lookup goes on from where the previous one ended).
TEST(XmlAttributes, ARepeatedNameKeepsTheFirst) {
    XmlDocument doc;
    doc.setText(u"<a ID=\"1\" t1=\"x\" ID=\"2\" ID=\"3\" t1=\"y\" Level=\"4\"/>");
    ASSERT_TRUE(doc.findElement(u"a"));
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(doc.attributeInt(u"ID"), 1);
        EXPECT_EQ(doc.attributeInt(u"ID"), 1);
        EXPECT_EQ(doc.attributeValue(u"t1"), u"x");
        EXPECT_EQ(doc.attributeInt(u"Level"), 4);
        EXPECT_EQ(doc.attributeInt(u"ID"), 1);
        EXPECT_EQ(doc.attributeValue(u"t1"), u"x");
    }
    ASSERT_TRUE(doc.setAttribute(u"ID", 7));
    EXPECT_EQ(doc.attributeInt(u"ID"), 7);
    EXPECT_NE(doc.text().find(u"ID=\"2\""), std::u16string_view::npos) << "the later ones stay";
}

TEST(XmlAttributes, NumbersReadLikeStrtol) {
    struct Case {
        const char16_t* value;
        int expected;
    };
    const Case cases[] = {{u"42", 42},
                          {u"  -7", -7},
                          {u"+3", 3},
                          {u"12abc", 12},
                          {u"abc", 0},
                          {u"", 0},
                          {u"99999999999", 2147483647},
                          {u"-99999999999", -2147483647 - 1},
                          {u"2147483647", 2147483647},
                          {u"-2147483648", -2147483647 - 1},
                          {u"\r\n\v\f 8", 8},
                          {u"- 5", 0},
                          {u"--5", 0},
                          {u"\u0665", 0}};
    for (const Case& c : cases) {
        XmlDocument doc;
        doc.appendElement(u"a");
        doc.setAttribute(u"v", c.value);
        EXPECT_EQ(doc.attributeInt(u"v"), c.expected) << utf8(c.value);
    }
    XmlDocument doc;
    doc.appendElement(u"a");
    EXPECT_EQ(doc.attributeInt(u"missing"), 0);
}

TEST(XmlEscaping, ValuesRoundTripThroughTheText) {
    const std::u16string values[] = {
        u"<5 ms>", u"Tom's & Jerry's", u"\"quoted\"", u"中文 名字", u"a&amp;b", u"", u"\U0001F600"};
    for (const std::u16string& v : values) {
        XmlDocument doc;
        doc.appendElement(u"a");
        doc.setAttribute(u"t1", v);
        EXPECT_EQ(doc.attributeValue(u"t1"), v) << utf8(v);
        XmlDocument reread;
        reread.setText(doc.text());
        reread.findElement(u"a");
        EXPECT_EQ(reread.attributeValue(u"t1"), v) << utf8(v);
    }
    XmlDocument doc;
    doc.appendElement(u"a");
    doc.setAttribute(u"t1", u"<5 ms>&'\"");
    EXPECT_EQ(doc.text(), u"<a t1=\"&lt;5 ms&gt;&amp;&apos;&quot;\"/>\r\n");
}

TEST(XmlEscaping, References) {
    struct Case {
        const char16_t* escaped;
        const char16_t* expected;
    };
    const Case cases[] = {
        {u"&#65;", u"A"},
        {u"&#x41;&#X41;", u"A&#X41;"},  // a capital X makes no reference in XML
        {u"&AMP;", u"&"},
        {u"&amp;&lt;&gt;&quot;&apos;", u"&<>\"'"},
        {u"&nbsp;&copy;&euro;", u"\u00A0\u00A9\u20AC"},
        {u"&eacute;&Eacute;", u"\u00E9\u00C9"},
        {u"&thetasym;&alefsym;", u"\u03D1\u2135"},
        {u"&#x1F600;", u"\U0001F600"},
        {u"&bogus;", u"&bogus;"},
        {u"a & b", u"a & b"},
        {u"&amp", u"&amp"},
        {u"&#;&#x;&#12a;", u"&#;&#x;&#12a;"},
        {u"&#0;&#xD800;&#x110000;", u"&#0;&#xD800;&#x110000;"},
        {u"&verylongname;", u"&verylongname;"},
        {u"&&amp;", u"&&"},
    };
    for (const Case& c : cases) {
        XmlDocument doc;
        doc.setText(std::u16string(u"<a v=\"") + c.escaped + u"\"/>");
        doc.findElement(u"a");
        EXPECT_EQ(doc.attributeValue(u"v"), c.expected) << utf8(c.escaped);
    }
}

struct MalformedCase {
    const char16_t* text;
    const char16_t* logRecord;  // expected somewhere in the result log
    const char* tree;           // the repaired tree
};

class XmlMalformed : public testing::TestWithParam<MalformedCase> {};

TEST_P(XmlMalformed, IsRepairedAndLogged) {
    const MalformedCase& c = GetParam();
    XmlDocument doc;
    EXPECT_FALSE(doc.setText(c.text));
    EXPECT_FALSE(doc.isWellFormed());
    EXPECT_NE(doc.resultLog().find(c.logRecord), std::u16string::npos) << utf8(doc.resultLog());
    EXPECT_EQ(utf8(dumpAll(doc)), c.tree);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, XmlMalformed,
    testing::Values(
        MalformedCase{u"<a><b></a>",
                      u"<unended_start_tag tagname=\"b\" offset=\"3\" offset2=\"6\"/>", "a[b ] "},
        MalformedCase{u"<a><b><c/></a>", u"<unended_start_tag tagname=\"b\"", "a[b c ] "},
        MalformedCase{u"<a></b></a>", u"<lone_end_tag tagname=\"b\" offset=\"3\"/>", "a "},
        // An end tag closes the innermost open element of its name, the ones above it unended.
        MalformedCase{u"<a><b><a><c></b></a>",
                      u"<unended_start_tag tagname=\"c\" offset=\"9\" offset2=\"12\"/>"
                      u"<unended_start_tag tagname=\"a\" offset=\"6\" offset2=\"12\"/>",
                      "a[b[a c ] ] "},
        MalformedCase{u"<a><b></b></b><b></a>", u"<lone_end_tag tagname=\"b\" offset=\"10\"/>",
                      "a[b b ] "},
        MalformedCase{u"<a/><b/>", u"<root_has_sibling/>", "a b "},
        MalformedCase{u"just text", u"<no_root_element/>", ""},
        MalformedCase{u"<a x=\"1", u"<unterminated_tag_syntax type=\"start_tag\" offset=\"0\"/>",
                      ""},
        MalformedCase{u"<a>", u"<unended_start_tag tagname=\"a\" offset=\"0\" offset2=\"3\"/>",
                      "a "},
        MalformedCase{u"<a></a", u"<unterminated_tag_syntax type=\"end_tag\" offset=\"3\"/>", "a "},
        MalformedCase{u"<a/><", u"<unterminated_tag_syntax type=\"tag\" offset=\"4\"/>", "a "},
        MalformedCase{u"<a/><!-- x", u"type=\"comment\" offset=\"4\"", "a "},
        MalformedCase{u"<a/><![CDATA[ x", u"type=\"cdata_section\"", "a "},
        MalformedCase{u"<a/><?pi x", u"type=\"processing_instruction\"", "a "},
        MalformedCase{u"<!DOCTYPE a [ <!ENTITY x 'y'> ", u"type=\"document_type\"", ""},
        MalformedCase{u"<a>< b/></a>", u"<first_tag_syntax offset=\"3\"/>", "a "},
        MalformedCase{u"<a><!x></a>", u"<exclamation_tag_syntax offset=\"3\"/>", "a "},
        MalformedCase{u"<a><!-x></a>", u"<comment_tag_syntax offset=\"3\"/>", "a "},
        MalformedCase{u"<a><![x></a>", u"<cdata_section_syntax offset=\"3\"/>", "a "},
        MalformedCase{u"<!DOCTYPE a <a/>", u"<doctype_tag_syntax offset=\"12\"/>", "a "}));

TEST(XmlParse, MarkupThatIsNotElements) {
    XmlDocument doc;
    EXPECT_TRUE(
        doc.setText(u"<?xml version='1.0'?>\r\n<!DOCTYPE a [<!ELEMENT a ANY>]>\r\n"
                    u"<!-- <no/> --><a x='>'><![CDATA[<b/>]]>text</a>"));
    EXPECT_TRUE(doc.resultLog().empty()) << utf8(doc.resultLog());
    EXPECT_EQ(utf8(dumpAll(doc)), "a ");
    doc.findElement(u"a");
    EXPECT_EQ(doc.attributeValue(u"x"), u">");
}

TEST(XmlParse, EmptyDocument) {
    XmlDocument doc;
    EXPECT_FALSE(doc.isWellFormed());
    EXPECT_EQ(doc.elementCount(), 1);
    EXPECT_FALSE(doc.findElement(u""));
    EXPECT_FALSE(doc.setText(u""));
    EXPECT_TRUE(doc.resultLog().empty());
    // Appending at the document level goes to the end of the text.
    doc.setText(u"<!-- c -->");
    doc.appendElement(u"root");
    EXPECT_EQ(doc.text(), u"<!-- c -->\r\n<root/>\r\n");
}

TEST(XmlParse, ResultLogStopsGrowing) {
    std::u16string text = u"<a>";
    for (int i = 0; i < 500; ++i) {
        text += u"</zz>";
    }
    text += u"</a>";
    XmlDocument doc;
    doc.setText(text);
    EXPECT_LT(doc.resultLog().size(), 1100u);
    EXPECT_GE(doc.resultLog().size(), 1000u);
}

TEST(XmlParse, LoneEndTagsInsideDeepNestingChangeNothing) {
    // Every one of the end tags matches no open element: each is logged and ignored, and the
    // elements around them end as they should.
    std::u16string text;
    for (int i = 0; i < 3000; ++i) {
        text += u"<e>";
    }
    for (int i = 0; i < 20000; ++i) {
        text += u"</zz>";
    }
    for (int i = 0; i < 3000; ++i) {
        text += u"</e>";
    }
    XmlDocument doc;
    EXPECT_FALSE(doc.setText(text));
    EXPECT_EQ(doc.resultLog().find(u"<lone_end_tag tagname=\"zz\" offset=\"9000\"/>"), 0u);
    EXPECT_EQ(doc.resultLog().find(u"unended"), std::u16string::npos);
    int depth = 0;
    while (doc.findElement(u"e")) {
        EXPECT_FALSE(doc.isUnended());
        EXPECT_FALSE(doc.findElement(u"e") && depth == 2999) << "one e a level";
        doc.stepInto();
        ++depth;
    }
    EXPECT_EQ(depth, 3000);
}

TEST(XmlParse, FileCutShortFlattensTheOpenChain) {
    // A text cut inside deep nesting leaves one unended element per level; each keeps only its
    // start tag and everything inside moves after it, ending up at the top level.
    std::u16string text;
    for (int i = 0; i < 30000; ++i) {
        text += u"<e><c/>";
    }
    XmlDocument doc;
    EXPECT_FALSE(doc.setText(text));
    EXPECT_EQ(doc.elementCount(), 60001);
    int top = 0;
    int unended = 0;
    while (doc.findElement(u"")) {
        ++top;
        unended += doc.isUnended() ? 1 : 0;
    }
    EXPECT_EQ(top, 60000);
    EXPECT_EQ(unended, 30000);
    EXPECT_NE(doc.resultLog().find(u"<unended_start_tag tagname=\"e\" offset=\"209993\" "
                                   u"offset2=\"210000\"/>"),
              std::u16string::npos);
}

TEST(XmlParse, ManyElementsAcrossIndexBlocks) {
    // More than one block of 65536 records, built by appending and by parsing.
    XmlDocument doc;
    doc.appendElement(u"r");
    doc.stepInto();
    for (int i = 0; i < 70000; ++i) {
        doc.appendElement(u"x");
        doc.setAttribute(u"n", i);
    }
    XmlDocument parsed;
    ASSERT_TRUE(parsed.setText(doc.text()));
    EXPECT_EQ(parsed.elementCount(), 70002);
    parsed.findElement(u"r");
    parsed.stepInto();
    int n = 0;
    bool inOrder = true;
    while (parsed.findElement(u"x")) {
        inOrder = inOrder && parsed.attributeInt(u"n") == n;
        ++n;
    }
    EXPECT_EQ(n, 70000);
    EXPECT_TRUE(inOrder);
}

}  // namespace
