// SPDX-License-Identifier: GPL-2.0-or-later
#include "RecentProfiles.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "ConfigFile.h"
#include "FileReplace.h"

namespace fs = std::filesystem;

namespace {

// A list larger than this is no list of ours; only its start is read.
constexpr std::size_t kMaxStoredLines = 64;
// Eight paths of a few hundred bytes each; a file far larger is not a list of ours.
constexpr std::size_t kMaxListBytes = 64 * 1024;
constexpr char kWhat[] = "the recent-profiles list";

bool exists(const std::string& file) {
    std::error_code error;
    return fs::is_regular_file(file, error);
}

std::string absolute(const std::string& profile) {
    std::error_code error;
    const fs::path made = fs::absolute(profile, error);
    return error ? std::string() : made.lexically_normal().string();
}

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

// Writes beside the target and renames over it: a reader sees the old list or the new one.
bool replaceFile(const std::string& target, const std::string& text, std::string& why) {
    std::error_code error;
    fs::create_directories(fs::path(target).parent_path(), error);
    if (error) {
        why = "cannot create " + fs::path(target).parent_path().string() + ": " + error.message();
        return false;
    }
    const int failed = filereplace::replace(target, 0600, [&text](int fd) {
        return writeAll(fd, text) ? 0 : (errno != 0 ? errno : EIO);
    });
    if (failed != 0) {
        why = "cannot write " + target + ": " + std::strerror(failed);
        return false;
    }
    return true;
}

}  // namespace

std::vector<std::string> withNewest(std::vector<std::string> list, const std::string& profile,
                                    std::size_t limit) {
    list.insert(list.begin(), profile);
    std::vector<std::string> unique;
    for (const std::string& entry : list) {
        if (unique.size() < limit &&
            std::find(unique.begin(), unique.end(), entry) == unique.end()) {
            unique.push_back(entry);
        }
    }
    return unique;
}

RecentProfiles::RecentProfiles(std::string file) : path(std::move(file)) {}

RecentProfiles::RecentProfiles() : RecentProfiles(defaultFile()) {}

std::string RecentProfiles::defaultFile() {
    const std::string folder = configfile::folder();
    return folder.empty() ? std::string() : folder + "/recent-profiles";
}

std::vector<std::string> RecentProfiles::stored(bool* refused) const {
    std::vector<std::string> lines;
    std::string text;
    const configfile::Status status = configfile::read(path, kMaxListBytes, kWhat, text);
    if (refused != nullptr) {
        *refused = status == configfile::Status::Refused;
    }
    std::size_t at = 0;
    while (lines.size() < kMaxStoredLines && at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty() && line[0] == '/') {
            lines.push_back(line);
        }
    }
    return lines;
}

std::vector<std::string> RecentProfiles::list() const {
    return existing(stored());
}

std::vector<std::string> RecentProfiles::existing(const std::vector<std::string>& entries) {
    std::vector<std::string> out;
    for (const std::string& entry : entries) {
        if (out.size() < kLimit && exists(entry) &&
            std::find(out.begin(), out.end(), entry) == out.end()) {
            out.push_back(entry);
        }
    }
    return out;
}

bool RecentProfiles::add(const std::string& profile, std::string* why) {
    std::string reason;
    const std::string entry = absolute(profile);
    if (path.empty()) {
        reason = "no settings folder: neither XDG_CONFIG_HOME nor HOME is set";
    } else if (entry.empty() || entry.find_first_of("\r\n") != std::string::npos) {
        reason = "the path " + profile + " cannot be recorded";
    } else if (bool refused = false; (void)stored(&refused), refused) {
        reason = "the recent-profiles list " + path +
                 " is not a regular file of a list's size, so it was left as it is";
    } else {
        std::string text;
        for (const std::string& line : withNewest(list(), entry)) {
            text += line + "\n";
        }
        if (replaceFile(path, text, reason)) {
            return true;
        }
    }
    if (why != nullptr) {
        *why = reason;
    }
    return false;
}
