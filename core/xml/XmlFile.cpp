// SPDX-License-Identifier: GPL-2.0-or-later
// Reading and writing XML files in the usual encodings.

#include <fcntl.h>
#include <iconv.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "XmlDocument.h"
#include "XmlEncoding.h"

namespace {

constexpr size_t kHeadBytes = 1024;                  // where the encoding is looked for
constexpr size_t kWriteChunk = 1 << 16;              // text units converted per write
constexpr std::int64_t kMaxFileBytes = INT_MAX / 2;  // the text is indexed by int offsets

std::u16string ascii(std::string_view s) {
    return std::u16string(s.begin(), s.end());
}

// First line of the system's text for an error code.
std::string errorText(int error) {
    std::string text = std::strerror(error);
    return text.substr(0, text.find('\n'));
}

// Runs iconv over all of `in`, calling `bad` for each input it cannot convert (which skips one
// unit of `unit` bytes). Returns false when the input ends inside a character.
template <typename Out, typename Bad>
bool runIconv(iconv_t cd, std::string_view in, size_t unit, Out&& out, Bad&& bad) {
    char buffer[1 << 14];
    char* src = const_cast<char*>(in.data());
    size_t left = in.size();
    bool complete = true;
    while (left > 0) {
        char* dst = buffer;
        size_t room = sizeof buffer;
        const size_t r = iconv(cd, &src, &left, &dst, &room);
        out(std::string_view(buffer, dst - buffer));
        if (r != static_cast<size_t>(-1)) {
            continue;
        }
        if (errno == EILSEQ) {
            bad();
            const size_t skip = std::min(unit, left);
            src += skip;
            left -= skip;
        } else if (errno == EINVAL) {
            complete = false;
            break;
        } else if (errno != E2BIG) {
            break;
        }
    }
    char* dst = buffer;
    size_t room = sizeof buffer;
    iconv(cd, nullptr, nullptr, &dst, &room);
    out(std::string_view(buffer, dst - buffer));
    return complete;
}

struct File {
    std::FILE* f = nullptr;
    ~File() { close(); }
    int close() {
        const int closed = f != nullptr ? std::fclose(f) : 0;
        f = nullptr;
        return closed;
    }
};

using Bytes = std::vector<char, bigbuffer::Allocator<char>>;

// Reads the whole file into `bytes`. Returns 0, or the error that stopped it.
int readAllBytes(const std::filesystem::path& path, Bytes& bytes) {
    File file;
    file.f = std::fopen(path.c_str(), "rb");
    if (file.f == nullptr) {
        return errno;
    }
    struct stat info {};
    if (fstat(fileno(file.f), &info) != 0) {
        return errno;
    }
    if (S_ISDIR(info.st_mode)) {
        return EISDIR;
    }
    if (info.st_size > kMaxFileBytes) {
        return EFBIG;
    }
    bytes.resize(static_cast<size_t>(info.st_size));
    size_t got = std::fread(bytes.data(), 1, bytes.size(), file.f);
    // Files that grow while being read, or report no size (pipes), are read to their end.
    char more[1 << 14];
    for (size_t n; (n = std::fread(more, 1, sizeof more, file.f)) > 0;) {
        if (static_cast<std::int64_t>(bytes.size() + n) > kMaxFileBytes) {
            return EFBIG;
        }
        bytes.resize(got);
        bytes.insert(bytes.end(), more, more + n);
        got = bytes.size();
    }
    if (std::ferror(file.f)) {
        return errno != 0 ? errno : EIO;
    }
    bytes.resize(got);
    return 0;
}

struct Detected {
    std::string encoding;  // empty: decided by the bytes themselves (UTF-8 or the code page)
    size_t bomLength = 0;
};

// A byte-order mark, then an encoding declared in 8-bit text, then the shape of a first '<'.
Detected detectEncoding(std::string_view bytes) {
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t n = bytes.size();
    if (n >= 4 && b[0] == 0xFF && b[1] == 0xFE && b[2] == 0 && b[3] == 0) {
        return {"UTF-32LE", 4};
    }
    if (n >= 4 && b[0] == 0 && b[1] == 0 && b[2] == 0xFE && b[3] == 0xFF) {
        return {"UTF-32BE", 4};
    }
    if (n >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
        return {"UTF-8", 3};
    }
    if (n >= 2 && b[0] == 0xFF && b[1] == 0xFE) {
        return {"UTF-16LE", 2};
    }
    if (n >= 2 && b[0] == 0xFE && b[1] == 0xFF) {
        return {"UTF-16BE", 2};
    }
    std::u16string head;
    bool truncated = false;
    bool lossy = false;
    std::int64_t nulls = 0;
    xmlenc::decodeUtf8(
        bytes.substr(0, kHeadBytes), [&](char16_t c) { head += c; }, truncated, lossy, nulls);
    std::string encoding = xmlenc::declaredEncoding(head);
    const xmlenc::Kind kind = xmlenc::lookup(encoding).kind;
    if (kind == xmlenc::Kind::Utf16Le || kind == xmlenc::Kind::Utf16Be) {
        // The declaration was readable as 8-bit text, so the file is not UTF-16.
        encoding.clear();
    }
    if (!encoding.empty()) {
        return {encoding};
    }
    if (n >= 2 && b[0] == '<' && b[1] == 0) {
        return {"UTF-16LE"};  // UTF-16 without a byte-order mark
    }
    if (n >= 2 && b[0] == 0 && b[1] == '<') {
        return {"UTF-16BE"};
    }
    if (n >= 1 && b[0] == '<') {
        return {"UTF-8"};
    }
    return {};
}

// What a decoder met besides characters. NUL characters are dropped from every text.
struct Decoded {
    std::int64_t nulls = 0;
    bool truncated = false;  // the bytes end inside a character
};

Decoded decodeUtf16(std::string_view body, bool big, WideText& text) {
    const auto* b = reinterpret_cast<const unsigned char*>(body.data());
    const size_t units = body.size() / 2;
    Decoded result;
    text.reserve(units);
    for (size_t i = 0; i < units; ++i) {
        const char16_t c = big ? (b[2 * i] << 8 | b[2 * i + 1]) : (b[2 * i + 1] << 8 | b[2 * i]);
        if (c == 0) {
            ++result.nulls;
        } else {
            text.push(c);
        }
    }
    result.truncated = body.size() % 2 != 0;
    return result;
}

Decoded decodeUtf32(std::string_view body, bool big, WideText& text) {
    const auto* b = reinterpret_cast<const unsigned char*>(body.data());
    const size_t units = body.size() / 4;
    Decoded result;
    for (size_t i = 0; i < units; ++i) {
        const unsigned char* u = b + 4 * i;
        char32_t c = big ? (char32_t{u[0]} << 24 | u[1] << 16 | u[2] << 8 | u[3])
                         : (char32_t{u[3]} << 24 | u[2] << 16 | u[1] << 8 | u[0]);
        if (c == 0) {
            ++result.nulls;
            continue;
        }
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            c = 0xFFFD;
        }
        if (c > 0xFFFF) {
            c -= 0x10000;
            text.push(static_cast<char16_t>(0xD800 + (c >> 10)));
            text.push(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            text.push(static_cast<char16_t>(c));
        }
    }
    result.truncated = body.size() % 4 != 0;
    return result;
}

// Hands the whole pages of `done` back to the kernel: bytes already decoded are not read again,
// so a large file never needs its bytes and its whole text in memory at once.
void dropPages(std::string_view done) {
    const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const auto begin = reinterpret_cast<std::uintptr_t>(done.data());
    const std::uintptr_t from = (begin + page - 1) / page * page;
    const std::uintptr_t to = (begin + done.size()) / page * page;
    if (to > from) {
        madvise(reinterpret_cast<void*>(from), to - from, MADV_DONTNEED);
    }
}

Decoded decodeUtf8Text(std::string_view body, WideText& text) {
    // Large bodies go in pieces, each ending just after an ASCII byte, where no character can be
    // split, so the pieces decode exactly as the whole would.
    constexpr size_t kPiece = size_t{16} << 20;
    Decoded result;
    bool lossy = false;
    // A UTF-8 file never has more UTF-16 units than bytes.
    char16_t* const begin = text.room(body.size());
    char16_t* out = begin;
    size_t at = 0;
    while (at < body.size()) {
        size_t end = std::min(body.size(), at + kPiece);
        while (end < body.size() && static_cast<unsigned char>(body[end - 1]) >= 0x80) {
            ++end;
        }
        const std::string_view piece = body.substr(at, end - at);
        xmlenc::decodeUtf8(
            piece, [&out](char16_t c) { *out++ = c; }, result.truncated, lossy, result.nulls);
        if (body.size() > kPiece) {
            dropPages(piece);
        }
        at = end;
    }
    text.commit(static_cast<size_t>(out - begin));
    return result;
}

// Any other charset, through iconv; what it cannot convert becomes U+FFFD.
Decoded decodeLegacy(std::string_view body, const char* iconvName, WideText& text) {
    Decoded result;
    std::string clean;
    clean.reserve(body.size());
    for (char c : body) {
        if (c == 0) {
            ++result.nulls;
        } else {
            clean += c;
        }
    }
    iconv_t cd = iconv_open("UTF-16LE", iconvName);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        cd = iconv_open("UTF-16LE", "ISO-8859-1");
    }
    text.reserve(clean.size());
    std::string pending;  // an output unit split between two buffers
    result.truncated = !runIconv(
        cd, clean, 1,
        [&](std::string_view out) {
            pending.append(out);
            size_t i = 0;
            for (; i + 1 < pending.size(); i += 2) {
                text.push(static_cast<char16_t>(static_cast<unsigned char>(pending[i + 1]) << 8 |
                                                static_cast<unsigned char>(pending[i])));
            }
            pending.erase(0, i);
        },
        [&] { text.push(u'\uFFFD'); });
    iconv_close(cd);
    return result;
}

// Text units of the chunk that starts at `from`: kWriteChunk, or one more so that a surrogate
// pair is never split between two conversions.
size_t chunkLength(std::u16string_view text, size_t from) {
    size_t n = std::min(kWriteChunk, text.size() - from);
    if (from + n < text.size() && (text[from + n - 1] & 0xFC00) == 0xD800) {
        ++n;
    }
    return n;
}

// Encoders hand their bytes to `put` chunk by chunk and return whether anything was lost.
template <typename Put>
bool encodeLegacy(std::u16string_view text, const char* iconvName, Put&& put) {
    iconv_t cd = iconv_open(iconvName, "UTF-16LE");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        cd = iconv_open("ISO-8859-1", "UTF-16LE");
    }
    bool lossy = false;
    std::string little;
    for (size_t i = 0; i < text.size();) {
        const size_t n = chunkLength(text, i);
        little.clear();
        for (char16_t c : text.substr(i, n)) {
            little += static_cast<char>(c & 0xFF);
            little += static_cast<char>(c >> 8);
        }
        if (!runIconv(cd, little, 2, put, [&] {
                put("?");
                lossy = true;
            })) {
            lossy = true;
        }
        i += n;
    }
    iconv_close(cd);
    return lossy;
}

// UTF-16 or UTF-32 code units of `part` in the byte order of `kind`.
void appendWideUnits(std::u16string_view part, xmlenc::Kind kind, std::string& out) {
    using xmlenc::Kind;
    const bool wide32 = kind == Kind::Utf32Le || kind == Kind::Utf32Be;
    const bool big = kind == Kind::Utf16Be || kind == Kind::Utf32Be;
    const int width = wide32 ? 4 : 2;
    for (size_t k = 0; k < part.size(); ++k) {
        char32_t c = part[k];
        if (wide32 && (c & 0xFC00) == 0xD800 && k + 1 < part.size() &&
            (part[k + 1] & 0xFC00) == 0xDC00) {
            c = 0x10000 + ((c - 0xD800) << 10) + (part[++k] - 0xDC00);
        }
        for (int byte = 0; byte < width; ++byte) {
            const int shift = 8 * (big ? width - 1 - byte : byte);
            out += static_cast<char>((c >> shift) & 0xFF);
        }
    }
}

template <typename Put>
bool encodeUnicode(std::u16string_view text, xmlenc::Kind kind, Put&& put) {
    bool lossy = false;
    std::string chunk;
    for (size_t i = 0; i < text.size();) {
        const size_t n = chunkLength(text, i);
        chunk.clear();
        if (kind == xmlenc::Kind::Utf8) {
            xmlenc::encodeUtf8(text.substr(i, n), chunk, lossy);
        } else {
            appendWideUnits(text.substr(i, n), kind, chunk);
        }
        put(chunk);
        i += n;
    }
    return lossy;
}

std::string_view byteOrderMark(xmlenc::Kind kind) {
    static constexpr std::string_view kBoms[] = {"\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF",
                                                 std::string_view("\xFF\xFE\0\0", 4),
                                                 std::string_view("\0\0\xFE\xFF", 4)};
    return kBoms[static_cast<int>(kind)];
}

}  // namespace

// A file being replaced by new bytes. The first error is kept; later writes do nothing.
class XmlDocument::FileWriter {
public:
    int open(const std::filesystem::path& path) {
        file_.f = std::fopen(path.c_str(), "wb");
        return file_.f == nullptr ? errno : 0;
    }
    // Writes through a copy of `fd`; the caller's descriptor stays open.
    int attach(int fd) {
        const int copy = fcntl(fd, F_DUPFD_CLOEXEC, 0);
        if (copy < 0) {
            return errno;
        }
        file_.f = fdopen(copy, "wb");
        if (file_.f == nullptr) {
            const int error = errno;
            ::close(copy);
            return error;
        }
        return 0;
    }
    void put(std::string_view bytes) {
        if (error_ == 0 && !bytes.empty() &&
            std::fwrite(bytes.data(), 1, bytes.size(), file_.f) != bytes.size()) {
            error_ = errno != 0 ? errno : EIO;
        }
        written_ += static_cast<std::int64_t>(bytes.size());
    }
    // Flushes, syncs and closes. Returns 0, or the first error of the whole write.
    int finish() {
        if (error_ == 0 && std::fflush(file_.f) != 0) {
            error_ = errno;
        }
        // The data must be on disk before a caller renames the file over an older one.
        if (error_ == 0 && fsync(fileno(file_.f)) != 0 && errno != EINVAL) {
            error_ = errno;
        }
        if (file_.close() != 0 && error_ == 0) {
            error_ = errno;
        }
        return error_;
    }
    std::int64_t written() const { return written_; }

private:
    File file_;
    int error_ = 0;
    std::int64_t written_ = 0;
};

void XmlDocument::logFileError(int error) {
    fileError_ = errorText(error);
    log(u"file_error", u"msg", ascii(fileError_), u"n", error, true);
}

bool XmlDocument::loadFile(const std::filesystem::path& path) {
    resultLog_.clear();
    fileError_.clear();
    text_.release();
    const bool read = readFile(path);
    if (!read) {
        text_.release();
    }
    parse();
    return read && isWellFormed();
}

bool XmlDocument::readFile(const std::filesystem::path& path) {
    Bytes bytes;
    if (const int error = readAllBytes(path, bytes); error != 0) {
        logFileError(error);
        return false;
    }
    const std::string_view all(bytes.data(), bytes.size());
    const Detected detected = detectEncoding(all);
    if (detected.bomLength != 0) {
        log(u"bom");
    }
    decodeBytes(all.substr(detected.bomLength), detected.encoding);
    return true;
}

void XmlDocument::decodeBytes(std::string_view body, std::string encoding) {
    using xmlenc::Kind;
    if (encoding.empty()) {
        log(u"utf8_detection");
        encoding = xmlenc::isValidUtf8(body) ? "UTF-8" : "ANSI";
    }
    const xmlenc::Encoding enc = xmlenc::lookup(encoding);
    const bool utf16 = enc.kind == Kind::Utf16Le || enc.kind == Kind::Utf16Be;
    const bool utf32 = enc.kind == Kind::Utf32Le || enc.kind == Kind::Utf32Be;
    const size_t unit = utf16 ? 2 : utf32 ? 4 : 1;
    log(u"read", u"encoding", ascii(encoding), u"length", body.size() / unit, true);
    if (enc.kind == Kind::Utf16Be) {
        log(u"endian_swap");
    }
    Decoded decoded;
    if (utf16) {
        decoded = decodeUtf16(body, enc.kind == Kind::Utf16Be, text_);
    } else if (utf32) {
        decoded = decodeUtf32(body, enc.kind == Kind::Utf32Be, text_);
    } else if (enc.kind == Kind::Utf8) {
        decoded = decodeUtf8Text(body, text_);
    } else {
        decoded = decodeLegacy(body, enc.iconvName, text_);
    }
    if (decoded.nulls != 0) {
        log(u"nulls_removed", {}, {}, u"count", decoded.nulls, true);
    }
    if (!utf16) {
        log(u"converted_to", u"encoding", u"UTF-16", u"length", text_.size(), true);
    }
    if (decoded.truncated) {
        log(u"truncation_error", u"encoding", ascii(encoding));
    }
}

bool XmlDocument::saveFile(const std::filesystem::path& path) {
    resultLog_.clear();
    fileError_.clear();
    FileWriter file;
    if (const int error = file.open(path); error != 0) {
        logFileError(error);
        return false;
    }
    return writeText(file);
}

bool XmlDocument::saveFile(int fd) {
    resultLog_.clear();
    fileError_.clear();
    FileWriter file;
    if (const int error = file.attach(fd); error != 0) {
        logFileError(error);
        return false;
    }
    return writeText(file);
}

bool XmlDocument::writeText(FileWriter& file) {
    const std::u16string_view text = text_.view();
    std::string encoding = xmlenc::declaredEncoding(text.substr(0, kHeadBytes));
    if (encoding.empty()) {
        encoding = "UTF-8";
    }
    const xmlenc::Encoding enc = xmlenc::lookup(encoding);
    auto put = [&file](std::string_view bytes) { file.put(bytes); };
    if ((flags & WriteBom) != 0 && enc.kind != xmlenc::Kind::Iconv) {
        put(byteOrderMark(enc.kind));
        log(u"bom");
    }
    log(u"converted_from", u"encoding", u"UTF-16", u"length", text.size(), true);
    const bool lossy = enc.kind == xmlenc::Kind::Iconv ? encodeLegacy(text, enc.iconvName, put)
                                                       : encodeUnicode(text, enc.kind, put);
    if (lossy) {
        log(u"conversion_loss");
    }
    if (const int error = file.finish(); error != 0) {
        logFileError(error);
        return false;
    }
    log(u"write", u"encoding", ascii(encoding), u"length", file.written(), true);
    return true;
}
