// SPDX-License-Identifier: GPL-2.0-or-later
#include "LastApplied.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

bool writeAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

LastApplied::LastApplied(std::string file) : path(std::move(file)) {}

LastApplied::LastApplied() : LastApplied(defaultFile()) {}

std::string LastApplied::defaultFile() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/') {
        return std::string(config) + "/oskel/last-applied";
    }
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] != '\0') {
        return std::string(home) + "/.config/oskel/last-applied";
    }
    return {};
}

std::string LastApplied::profile() const {
    if (path.empty()) {
        return {};
    }
    // O_NONBLOCK: a FIFO put in its place opens at once instead of waiting for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return {};
    }
    struct stat info {};
    std::string text;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= PATH_MAX) {
        text.resize(PATH_MAX + 1);
        std::size_t got = 0;
        for (;;) {
            const ssize_t n = ::read(fd, text.data() + got, text.size() - got);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                break;
            }
            got += static_cast<std::size_t>(n);
            if (got == text.size()) {
                break;
            }
        }
        text.resize(got > PATH_MAX ? 0 : got);
    }
    ::close(fd);
    if (!text.empty() && text.back() == '\n') {
        text.pop_back();
    }
    if (text.empty() || text[0] != '/' ||
        text.find_first_of(std::string("\n\r\0", 3)) != std::string::npos) {
        return {};
    }
    return text;
}

bool LastApplied::record(const std::string& profile, std::string* why) {
    auto refuse = [&](const std::string& reason) {
        if (why != nullptr) {
            *why = reason;
        }
        return false;
    };
    if (path.empty()) {
        return refuse("no settings folder: neither XDG_CONFIG_HOME nor HOME is set");
    }
    std::error_code error;
    const std::string entry = fs::absolute(profile, error).lexically_normal().string();
    if (error || entry.size() > PATH_MAX || entry.find_first_of("\r\n") != std::string::npos) {
        return refuse("the path " + profile + " cannot be recorded");
    }
    const fs::path folder = fs::path(path).parent_path();
    fs::create_directories(folder, error);
    if (error) {
        return refuse("cannot create " + folder.string() + ": " + error.message());
    }
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        return refuse("cannot write beside " + path + ": " + std::strerror(errno));
    }
    const bool written = writeAll(fd, entry + "\n") && ::fsync(fd) == 0;
    const int writeError = errno;
    ::close(fd);
    if (!written || std::rename(temp.c_str(), path.c_str()) != 0) {
        const int reason = written ? errno : writeError;
        ::unlink(temp.c_str());
        return refuse("cannot write " + path + ": " + std::strerror(reason));
    }
    return true;
}

int steppedIndex(const std::vector<std::string>& list, const std::string& current, int step) {
    const int count = static_cast<int>(list.size());
    if (count == 0) {
        return -1;
    }
    const auto found = std::find(list.begin(), list.end(), current);
    if (found == list.end()) {
        return step >= 0 ? 0 : count - 1;
    }
    const int at = static_cast<int>(found - list.begin());
    return ((at + step) % count + count) % count;
}
