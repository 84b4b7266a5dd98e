// SPDX-License-Identifier: GPL-2.0-or-later
// The XML engine's files: encodings, byte-order marks, the result log of reads and writes, and
// files that cannot be read or written.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "OskelTestSupport.h"
#include "XmlDocument.h"

namespace {

namespace fs = std::filesystem;

std::string narrow(std::u16string_view s) {
    std::string out;
    for (char16_t c : s) {
        out += c < 128 ? static_cast<char>(c) : '?';
    }
    return out;
}

class XmlFileTest : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "oskel-xml-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path write(const std::string& name, const std::string& bytes) {
        const fs::path path = dir_ / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    static std::string read(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    std::string log(const XmlDocument& doc) { return narrow(doc.resultLog()); }

    fs::path dir_;
};

struct EncodedCase {
    const char* name;
    std::string bytes;
    std::u16string value;    // attribute v of the root element
    const char* logRecords;  // the read log, exactly
};

class XmlEncodedFiles : public XmlFileTest, public testing::WithParamInterface<EncodedCase> {};

TEST_P(XmlEncodedFiles, ReadAsTheirEncoding) {
    const EncodedCase& c = GetParam();
    XmlDocument doc;
    EXPECT_TRUE(doc.loadFile(write("f.xml", c.bytes)));
    ASSERT_TRUE(doc.findElement(u"a")) << narrow(doc.text());
    EXPECT_EQ(doc.attributeValue(u"v"), c.value);
    EXPECT_EQ(doc.text().find(u'\uFEFF'), std::u16string::npos);
    EXPECT_EQ(log(doc), c.logRecords);
}

std::string utf16(std::u16string_view s, bool big) {
    std::string out;
    for (char16_t c : s) {
        const char hi = static_cast<char>(c >> 8);
        const char lo = static_cast<char>(c & 0xFF);
        out += big ? hi : lo;
        out += big ? lo : hi;
    }
    return out;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, XmlEncodedFiles,
    testing::Values(
        EncodedCase{"Utf8", "<a v=\"\xE4\xB8\xAD\"/>", u"中",
                    "<read encoding=\"UTF-8\" length=\"12\"/>"
                    "<converted_to encoding=\"UTF-16\" length=\"10\"/>"},
        EncodedCase{"Utf8Bom", "\xEF\xBB\xBF<a v=\"\xE4\xB8\xAD\"/>", u"中",
                    "<bom/><read encoding=\"UTF-8\" length=\"12\"/>"
                    "<converted_to encoding=\"UTF-16\" length=\"10\"/>"},
        EncodedCase{"Utf16LeBom", "\xFF\xFE" + utf16(u"<a v=\"中\"/>", false), u"中",
                    "<bom/><read encoding=\"UTF-16LE\" length=\"10\"/>"},
        EncodedCase{"Utf16BeBom", "\xFE\xFF" + utf16(u"<a v=\"中\"/>", true), u"中",
                    "<bom/><read encoding=\"UTF-16BE\" length=\"10\"/><endian_swap/>"},
        EncodedCase{"Utf16LeNoBom", utf16(u"<a v=\"é\"/>", false), u"é",
                    "<read encoding=\"UTF-16LE\" length=\"10\"/>"},
        EncodedCase{"Gbk",
                    "<?xml version=\"1.0\" encoding=\"GBK\"?>\r\n<a v=\"\xD6\xD0\xCE\xC4\"/>",
                    u"中文",
                    "<read encoding=\"GBK\" length=\"51\"/>"
                    "<converted_to encoding=\"UTF-16\" length=\"49\"/>"},
        EncodedCase{"Gb2312InCaps", "<?xml version='1.0' encoding='GB2312'?><a v=\"\xD6\xD0\"/>",
                    u"中",
                    "<read encoding=\"GB2312\" length=\"50\"/>"
                    "<converted_to encoding=\"UTF-16\" length=\"49\"/>"},
        EncodedCase{"Latin1Detected", " <a v=\"caf\xE9\"/>", u"café",
                    "<utf8_detection/><read encoding=\"ANSI\" length=\"14\"/>"
                    "<converted_to encoding=\"UTF-16\" length=\"14\"/>"},
        EncodedCase{"NulsDropped", std::string("<a v=\"x\0y\"/>", 12), u"xy",
                    "<read encoding=\"UTF-8\" length=\"12\"/><nulls_removed count=\"1\"/>"
                    "<converted_to encoding=\"UTF-16\" length=\"11\"/>"},
        EncodedCase{"TruncatedUtf8", "<a v=\"1\"/>\xE4\xB8", u"1",
                    "<read encoding=\"UTF-8\" length=\"12\"/>"
                    "<converted_to encoding=\"UTF-16\" length=\"10\"/>"
                    "<truncation_error encoding=\"UTF-8\"/>"}),
    oskeltest::CaseName());

// An HTML file names its charset in a meta element of its head.
TEST_F(XmlFileTest, HtmlCharsetDecidesTheDecoding) {
    XmlDocument doc;
    doc.loadFile(write("f.html",
                       "<html><head><meta http-equiv=\"Content-Type\" "
                       "content=\"text/html; charset=big5\"/></head><body><a v=\"\xA4\xA4\"/>"
                       "</body></html>"));
    EXPECT_NE(log(doc).find("<read encoding=\"big5\""), std::string::npos) << log(doc);
    ASSERT_TRUE(doc.findElement(u"html"));
    doc.stepInto();
    ASSERT_TRUE(doc.findElement(u"body"));
    doc.stepInto();
    ASSERT_TRUE(doc.findElement(u"a"));
    EXPECT_EQ(doc.attributeValue(u"v"), u"中");
}

TEST_F(XmlFileTest, MissingFileIsAFileError) {
    XmlDocument doc;
    doc.setText(u"<old/>");
    EXPECT_FALSE(doc.loadFile(dir_ / "none.xml"));
    EXPECT_TRUE(doc.text().empty());
    EXPECT_FALSE(doc.findElement(u"old"));
    EXPECT_EQ(log(doc), "<file_error msg=\"No such file or directory\" n=\"2\"/>");
    EXPECT_EQ(doc.fileError(), "No such file or directory");
    EXPECT_FALSE(doc.loadFile(dir_));  // a folder
    EXPECT_NE(log(doc).find("file_error"), std::string::npos);
}

TEST_F(XmlFileTest, SaveWritesUtf8WithoutBomByDefault) {
    XmlDocument doc;
    doc.setText(u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n");
    doc.appendElement(u"a");
    doc.setAttribute(u"t1", u"中文 & <x> \U0001F600");
    const fs::path path = dir_ / "out.xml";
    ASSERT_TRUE(doc.saveFile(path));
    EXPECT_EQ(read(path),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
              "<a t1=\"\xE4\xB8\xAD\xE6\x96\x87 &amp; &lt;x&gt; \xF0\x9F\x98\x80\"/>\r\n");
    EXPECT_EQ(log(doc), "<converted_from encoding=\"UTF-16\" length=\"" +
                            std::to_string(doc.text().size()) +
                            "\"/><write encoding=\"UTF-8\" length=\"" +
                            std::to_string(fs::file_size(path)) + "\"/>");
    XmlDocument back;
    EXPECT_TRUE(back.loadFile(path));
    EXPECT_EQ(back.text(), doc.text());
}

TEST_F(XmlFileTest, SaveUsesTheDeclaredEncoding) {
    struct Case {
        const char16_t* decl;
        std::string expected;  // bytes of the element line
        bool loss;
    };
    const Case cases[] = {
        {u"GBK", "<a v=\"\xD6\xD0\"/>\r\n", false},
        {u"ISO-8859-1", "<a v=\"?\"/>\r\n", true},
        {u"UTF-16BE", utf16(u"<a v=\"中\"/>\r\n", true), false},
    };
    for (const Case& c : cases) {
        XmlDocument doc;
        const std::u16string decl =
            std::u16string(u"<?xml version=\"1.0\" encoding=\"") + c.decl + u"\"?>\r\n";
        doc.setText(decl);
        doc.appendElement(u"a");
        doc.setAttribute(u"v", u"中");
        const fs::path path = dir_ / "enc.xml";
        ASSERT_TRUE(doc.saveFile(path));
        const std::string bytes = read(path);
        ASSERT_GE(bytes.size(), c.expected.size());
        EXPECT_EQ(bytes.substr(bytes.size() - c.expected.size()), c.expected) << narrow(c.decl);
        EXPECT_EQ(log(doc).find("<conversion_loss/>") != std::string::npos, c.loss);
        XmlDocument back;
        back.loadFile(path);
        back.findElement(u"a");
        EXPECT_EQ(back.attributeValue(u"v"), c.loss ? u"?" : u"中") << narrow(c.decl);
    }
}

TEST_F(XmlFileTest, BomOnlyWhenTheFlagsAskForIt) {
    XmlDocument doc;
    doc.flags = XmlDocument::WriteBom;
    doc.setText(u"<a/>");
    const fs::path path = dir_ / "bom.xml";
    ASSERT_TRUE(doc.saveFile(path));
    EXPECT_EQ(read(path), "\xEF\xBB\xBF<a/>");
    EXPECT_EQ(log(doc).substr(0, 6), "<bom/>");
}

TEST_F(XmlFileTest, WriteFailuresAreReported) {
    XmlDocument doc;
    doc.setText(u"<a/>");
    EXPECT_FALSE(doc.saveFile(dir_ / "no" / "such" / "dir.xml"));
    EXPECT_EQ(log(doc), "<file_error msg=\"No such file or directory\" n=\"2\"/>");
    if (fs::exists("/dev/full")) {
        EXPECT_FALSE(doc.saveFile("/dev/full"));
        EXPECT_NE(log(doc).find("n=\"28\""), std::string::npos) << log(doc);  // ENOSPC
    }
}

}  // namespace
