// Reading and writing XML files in the usual encodings.

#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
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

struct File {
    std::FILE* f = nullptr;
    ~File() {
        if (f != nullptr) {
            std::fclose(f);
        }
    }
};

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

}  // namespace

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
    File file;
    file.f = std::fopen(path.c_str(), "rb");
    if (file.f == nullptr) {
        logFileError(errno);
        return false;
    }
    struct stat info {};
    if (fstat(fileno(file.f), &info) != 0) {
        logFileError(errno);
        return false;
    }
    if (S_ISDIR(info.st_mode)) {
        logFileError(EISDIR);
        return false;
    }
    if (info.st_size > kMaxFileBytes) {
        logFileError(EFBIG);
        return false;
    }
    std::vector<char, bigbuffer::Allocator<char>> bytes(static_cast<size_t>(info.st_size));
    size_t got = std::fread(bytes.data(), 1, bytes.size(), file.f);
    // Files that grow while being read, or report no size (pipes), are read to their end.
    char more[1 << 14];
    for (size_t n; (n = std::fread(more, 1, sizeof more, file.f)) > 0;) {
        if (static_cast<std::int64_t>(bytes.size() + n) > kMaxFileBytes) {
            logFileError(EFBIG);
            return false;
        }
        bytes.resize(got);
        bytes.insert(bytes.end(), more, more + n);
        got = bytes.size();
    }
    if (std::ferror(file.f)) {
        logFileError(errno != 0 ? errno : EIO);
        return false;
    }
    bytes.resize(got);
    std::fclose(file.f);
    file.f = nullptr;

    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t n = bytes.size();
    std::string encoding;
    size_t skip = 0;
    if (n >= 4 && b[0] == 0xFF && b[1] == 0xFE && b[2] == 0 && b[3] == 0) {
        encoding = "UTF-32LE", skip = 4;
    } else if (n >= 4 && b[0] == 0 && b[1] == 0 && b[2] == 0xFE && b[3] == 0xFF) {
        encoding = "UTF-32BE", skip = 4;
    } else if (n >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
        encoding = "UTF-8", skip = 3;
    } else if (n >= 2 && b[0] == 0xFF && b[1] == 0xFE) {
        encoding = "UTF-16LE", skip = 2;
    } else if (n >= 2 && b[0] == 0xFE && b[1] == 0xFF) {
        encoding = "UTF-16BE", skip = 2;
    }
    if (skip != 0) {
        log(u"bom");
    } else {
        std::u16string head;
        bool truncated = false;
        bool lossy = false;
        std::int64_t nulls = 0;
        xmlenc::decodeUtf8(
            std::string_view(bytes.data(), std::min(bytes.size(), kHeadBytes)),
            [&](char16_t c) { head += c; }, truncated, lossy, nulls);
        encoding = xmlenc::declaredEncoding(head);
        const xmlenc::Kind kind = xmlenc::lookup(encoding).kind;
        if (kind == xmlenc::Kind::Utf16Le || kind == xmlenc::Kind::Utf16Be) {
            // The declaration was readable as 8-bit text, so the file is not UTF-16.
            encoding.clear();
        }
        if (encoding.empty() && n >= 2 && b[0] == '<' && b[1] == 0) {
            encoding = "UTF-16LE";  // UTF-16 without a byte-order mark
        } else if (encoding.empty() && n >= 2 && b[0] == 0 && b[1] == '<') {
            encoding = "UTF-16BE";
        } else if (encoding.empty() && n >= 1 && b[0] == '<') {
            encoding = "UTF-8";
        }
    }
    decodeBytes(std::string_view(bytes.data(), bytes.size()), skip, encoding);
    return true;
}

void XmlDocument::decodeBytes(std::string_view bytes, size_t skip, std::string encoding) {
    const std::string_view body = bytes.substr(skip);
    xmlenc::Encoding enc = xmlenc::lookup(encoding);
    std::int64_t nulls = 0;
    bool truncated = false;
    bool lossy = false;
    const auto* b = reinterpret_cast<const unsigned char*>(body.data());
    using xmlenc::Kind;
    if (enc.kind == Kind::Utf16Le || enc.kind == Kind::Utf16Be) {
        const bool big = enc.kind == Kind::Utf16Be;
        const size_t units = body.size() / 2;
        log(u"read", u"encoding", ascii(encoding), u"length", units, true);
        if (big) {
            log(u"endian_swap");
        }
        text_.reserve(units);
        for (size_t i = 0; i < units; ++i) {
            const char16_t c =
                big ? (b[2 * i] << 8 | b[2 * i + 1]) : (b[2 * i + 1] << 8 | b[2 * i]);
            if (c == 0) {
                ++nulls;
            } else {
                text_.push(c);
            }
        }
        if (nulls != 0) {
            log(u"nulls_removed", {}, {}, u"count", nulls, true);
        }
        if (body.size() % 2 != 0) {
            log(u"truncation_error", u"encoding", ascii(encoding));
        }
        return;
    }
    if (enc.kind == Kind::Utf32Le || enc.kind == Kind::Utf32Be) {
        const bool big = enc.kind == Kind::Utf32Be;
        const size_t units = body.size() / 4;
        log(u"read", u"encoding", ascii(encoding), u"length", units, true);
        for (size_t i = 0; i < units; ++i) {
            const unsigned char* u = b + 4 * i;
            char32_t c = big ? (char32_t{u[0]} << 24 | u[1] << 16 | u[2] << 8 | u[3])
                             : (char32_t{u[3]} << 24 | u[2] << 16 | u[1] << 8 | u[0]);
            if (c == 0) {
                ++nulls;
                continue;
            }
            if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
                c = 0xFFFD;
            }
            if (c > 0xFFFF) {
                c -= 0x10000;
                text_.push(static_cast<char16_t>(0xD800 + (c >> 10)));
                text_.push(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
            } else {
                text_.push(static_cast<char16_t>(c));
            }
        }
        if (nulls != 0) {
            log(u"nulls_removed", {}, {}, u"count", nulls, true);
        }
        log(u"converted_to", u"encoding", u"UTF-16", u"length", text_.size(), true);
        if (body.size() % 4 != 0) {
            log(u"truncation_error", u"encoding", ascii(encoding));
        }
        return;
    }
    if (encoding.empty()) {
        log(u"utf8_detection");
        encoding = xmlenc::isValidUtf8(body) ? "UTF-8" : "ANSI";
        enc = xmlenc::lookup(encoding);
    }
    log(u"read", u"encoding", ascii(encoding), u"length", body.size(), true);
    if (enc.kind == Kind::Utf8) {
        // A UTF-8 file never has more UTF-16 units than bytes.
        char16_t* const begin = text_.room(body.size());
        char16_t* out = begin;
        xmlenc::decodeUtf8(
            body, [&out](char16_t c) { *out++ = c; }, truncated, lossy, nulls);
        text_.commit(static_cast<size_t>(out - begin));
        if (nulls != 0) {
            log(u"nulls_removed", {}, {}, u"count", nulls, true);
        }
    } else {
        std::string clean;
        clean.reserve(body.size());
        for (char c : body) {
            if (c == 0) {
                ++nulls;
            } else {
                clean += c;
            }
        }
        if (nulls != 0) {
            log(u"nulls_removed", {}, {}, u"count", nulls, true);
        }
        iconv_t cd = iconv_open("UTF-16LE", enc.iconvName);
        if (cd == reinterpret_cast<iconv_t>(-1)) {
            cd = iconv_open("UTF-16LE", "ISO-8859-1");
        }
        text_.reserve(clean.size());
        std::string pending;  // an output unit split between two buffers
        truncated = !runIconv(
            cd, clean, 1,
            [&](std::string_view out) {
                pending.append(out);
                size_t i = 0;
                for (; i + 1 < pending.size(); i += 2) {
                    text_.push(
                        static_cast<char16_t>(static_cast<unsigned char>(pending[i + 1]) << 8 |
                                              static_cast<unsigned char>(pending[i])));
                }
                pending.erase(0, i);
            },
            [&] { text_.push(u'\uFFFD'); });
        iconv_close(cd);
    }
    log(u"converted_to", u"encoding", u"UTF-16", u"length", text_.size(), true);
    if (truncated) {
        log(u"truncation_error", u"encoding", ascii(encoding.empty() ? "ANSI" : encoding));
    }
}

bool XmlDocument::saveFile(const std::filesystem::path& path) {
    resultLog_.clear();
    fileError_.clear();
    const std::u16string_view text = text_.view();
    std::string encoding = xmlenc::declaredEncoding(text.substr(0, kHeadBytes));
    if (encoding.empty()) {
        encoding = "UTF-8";
    }
    const xmlenc::Encoding enc = xmlenc::lookup(encoding);
    using xmlenc::Kind;

    File file;
    file.f = std::fopen(path.c_str(), "wb");
    if (file.f == nullptr) {
        logFileError(errno);
        return false;
    }
    std::int64_t written = 0;
    int writeError = 0;
    auto put = [&](std::string_view bytes) {
        if (writeError == 0 && !bytes.empty() &&
            std::fwrite(bytes.data(), 1, bytes.size(), file.f) != bytes.size()) {
            writeError = errno != 0 ? errno : EIO;
        }
        written += static_cast<std::int64_t>(bytes.size());
    };
    if (flags & WriteBom) {
        static constexpr std::string_view kBoms[] = {"\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF",
                                                     std::string_view("\xFF\xFE\0\0", 4),
                                                     std::string_view("\0\0\xFE\xFF", 4)};
        if (enc.kind != Kind::Iconv) {
            put(kBoms[static_cast<int>(enc.kind)]);
            log(u"bom");
        }
    }
    log(u"converted_from", u"encoding", u"UTF-16", u"length", text.size(), true);
    bool lossy = false;
    std::string chunk;
    if (enc.kind == Kind::Iconv) {
        iconv_t cd = iconv_open(enc.iconvName, "UTF-16LE");
        if (cd == reinterpret_cast<iconv_t>(-1)) {
            cd = iconv_open("ISO-8859-1", "UTF-16LE");
        }
        std::string little;
        for (size_t i = 0; i < text.size(); i += kWriteChunk) {
            little.clear();
            for (char16_t c : text.substr(i, kWriteChunk)) {
                little += static_cast<char>(c & 0xFF);
                little += static_cast<char>(c >> 8);
            }
            // A surrogate pair split at the chunk's end is carried by iconv's EINVAL as loss;
            // chunks end on a pair boundary to avoid it.
            if (!little.empty() && i + kWriteChunk < text.size() &&
                (text[i + kWriteChunk - 1] & 0xFC00) == 0xD800) {
                little += static_cast<char>(text[i + kWriteChunk] & 0xFF);
                little += static_cast<char>(text[i + kWriteChunk] >> 8);
                ++i;
            }
            if (!runIconv(cd, little, 2, put, [&] {
                    put("?");
                    lossy = true;
                })) {
                lossy = true;
            }
        }
        iconv_close(cd);
    } else {
        for (size_t i = 0; i < text.size();) {
            size_t n = std::min(kWriteChunk, text.size() - i);
            if (i + n < text.size() && (text[i + n - 1] & 0xFC00) == 0xD800) {
                ++n;  // keep a surrogate pair together
            }
            const std::u16string_view part = text.substr(i, n);
            chunk.clear();
            if (enc.kind == Kind::Utf8) {
                xmlenc::encodeUtf8(part, chunk, lossy);
            } else {
                for (size_t k = 0; k < part.size(); ++k) {
                    char32_t c = part[k];
                    const bool wide32 = enc.kind == Kind::Utf32Le || enc.kind == Kind::Utf32Be;
                    if (wide32 && (c & 0xFC00) == 0xD800 && k + 1 < part.size() &&
                        (part[k + 1] & 0xFC00) == 0xDC00) {
                        c = 0x10000 + ((c - 0xD800) << 10) + (part[++k] - 0xDC00);
                    }
                    const int width = wide32 ? 4 : 2;
                    const bool big = enc.kind == Kind::Utf16Be || enc.kind == Kind::Utf32Be;
                    for (int byte = 0; byte < width; ++byte) {
                        const int shift = 8 * (big ? width - 1 - byte : byte);
                        chunk += static_cast<char>((c >> shift) & 0xFF);
                    }
                }
            }
            put(chunk);
            i += n;
        }
    }
    if (lossy) {
        log(u"conversion_loss");
    }
    if (writeError == 0 && std::fflush(file.f) != 0) {
        writeError = errno;
    }
    // The data must be on disk before a caller renames the file over an older one.
    if (writeError == 0 && fsync(fileno(file.f)) != 0 && errno != EINVAL) {
        writeError = errno;
    }
    const int closed = std::fclose(file.f);
    file.f = nullptr;
    if (writeError == 0 && closed != 0) {
        writeError = errno;
    }
    if (writeError != 0) {
        logFileError(writeError);
        return false;
    }
    log(u"write", u"encoding", ascii(encoding), u"length", written, true);
    return true;
}
