// SPDX-License-Identifier: GPL-2.0-or-later
#include "ConfigFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>

namespace configfile {

namespace {

// Each thing at each name is warned about once a run: the lists are read again whenever a menu
// opens. `which` tells apart the things that stood at the name (an inode).
void warn(const std::string& what, const std::string& path, const std::string& why,
          unsigned long long which = 0) {
    static std::mutex lock;
    static std::set<std::string> warned;
    const std::lock_guard<std::mutex> guard(lock);
    if (!warned.insert(path + '\n' + why + '\n' + std::to_string(which)).second) {
        return;
    }
    std::fprintf(stderr, "%s: warning: %s %s was ignored: %s\n", program_invocation_short_name,
                 what.c_str(), path.c_str(), why.c_str());
}

// Opens `path` without blocking and checks what it is. -1 when it is missing or refused.
int openChecked(const std::string& path, std::size_t maxBytes, const std::string& what,
                Status& status) {
    status = Status::Missing;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        if (errno != ENOENT && errno != ENOTDIR) {
            status = Status::Refused;
            warn(what, path, std::string("it cannot be opened (") + std::strerror(errno) + ")");
        }
        return -1;
    }
    struct stat info {};
    std::string why;
    if (::fstat(fd, &info) != 0) {
        why = std::string("it cannot be examined (") + std::strerror(errno) + ")";
    } else if (!S_ISREG(info.st_mode)) {
        why = "it is not a regular file (a FIFO, a device, a folder or the like)";
    } else if (static_cast<unsigned long long>(info.st_size) > maxBytes) {
        why = "it is larger than such a file can be (" + std::to_string(info.st_size) +
              " bytes, at most " + std::to_string(maxBytes) + ")";
    }
    if (!why.empty()) {
        ::close(fd);
        status = Status::Refused;
        warn(what, path, why, info.st_ino << 16 ^ (info.st_mode & S_IFMT));
        return -1;
    }
    status = Status::Fine;
    return fd;
}

}  // namespace

std::string folder() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/') {
        return std::string(config) + "/oskel";
    }
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] != '\0') {
        return std::string(home) + "/.config/oskel";
    }
    return {};
}

Status read(const std::string& path, std::size_t maxBytes, const std::string& what,
            std::string& text) {
    text.clear();
    Status status;
    const int fd = openChecked(path, maxBytes, what, status);
    if (fd < 0) {
        return status;
    }
    // A regular file never blocks; the bound holds even for a file that grows meanwhile.
    char buffer[8192];
    while (text.size() <= maxBytes) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    if (text.size() > maxBytes) {
        text.clear();
        warn(what, path, "it grew larger than such a file can be while it was read");
        return Status::Refused;
    }
    return Status::Fine;
}

Status check(const std::string& path, std::size_t maxBytes, const std::string& what) {
    Status status;
    const int fd = openChecked(path, maxBytes, what, status);
    if (fd >= 0) {
        ::close(fd);
    }
    return status;
}

}  // namespace configfile
