// SPDX-License-Identifier: GPL-2.0-or-later
#include "FileReplace.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace filereplace {

namespace {

constexpr int kNameAttempts = 64;

// A descriptor closed when it goes out of scope.
struct Fd {
    int fd = -1;
    explicit Fd(int f = -1) : fd(f) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
};

std::string randomName() {
    static constexpr char kLetters[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    unsigned char bytes[8] = {};
    if (getrandom(bytes, sizeof bytes, 0) != sizeof bytes) {
        // Without the kernel's randomness, something that differs between attempts is enough:
        // O_EXCL and linkat refuse a name in use.
        static unsigned counter = 0;
        const unsigned seed = static_cast<unsigned>(getpid()) * 2654435761u + ++counter;
        for (unsigned i = 0; i < sizeof bytes; ++i) {
            bytes[i] = static_cast<unsigned char>(seed >> (i * 4));
        }
    }
    std::string name = kTempPrefix;
    for (unsigned char b : bytes) {
        name += kLetters[b % (sizeof kLetters - 1)];
    }
    return name;
}

void splitPath(const std::string& target, std::string& folder, std::string& base) {
    const std::size_t slash = target.rfind('/');
    if (slash == std::string::npos) {
        folder = ".";
        base = target;
    } else {
        folder = slash == 0 ? "/" : target.substr(0, slash);
        base = target.substr(slash + 1);
    }
}

// The bytes, then the mode, then the disk: the data must be stored before any name points at it.
int fill(int fd, mode_t mode, const std::function<int(int)>& write) {
    if (const int error = write(fd); error != 0) {
        return error;
    }
    if (::fchmod(fd, mode) != 0) {
        return errno;
    }
    if (::fsync(fd) != 0 && errno != EINVAL) {
        return errno;
    }
    return 0;
}

// Whether `name` in `dir` is still the file open as `fd` (not a link or file put in its place).
bool stillOurs(int dir, const std::string& name, int fd) {
    struct stat there {};
    struct stat ours {};
    return ::fstatat(dir, name.c_str(), &there, AT_SYMLINK_NOFOLLOW) == 0 &&
           ::fstat(fd, &ours) == 0 && there.st_dev == ours.st_dev && there.st_ino == ours.st_ino;
}

// Gives the unnamed file `fd` a fresh temporary name in `dir`. 0, or the error.
int linkUnnamed(int dir, int fd, std::string& name) {
    char self[64];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        name = randomName();
        if (::linkat(AT_FDCWD, self, dir, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            return 0;
        }
        if (errno == ENOENT) {
            // No /proc: the descriptor itself, which needs more privilege.
            if (::linkat(fd, "", dir, name.c_str(), AT_EMPTY_PATH) == 0) {
                return 0;
            }
        }
        if (errno != EEXIST) {
            return errno;
        }
    }
    return EEXIST;
}

// Renames the complete temporary file over the target, checking on both sides of the rename
// that the names still stand for the file written.
int commit(int dir, int fd, const std::string& temp, const std::string& base) {
    if (!stillOurs(dir, temp, fd)) {
        return EEXIST;
    }
    if (::renameat(dir, temp.c_str(), dir, base.c_str()) != 0) {
        return errno;
    }
    if (!stillOurs(dir, base, fd)) {
        return EEXIST;
    }
    ::fsync(dir);
    return 0;
}

void probe(const Options& options, Step step, const std::string& folder, const std::string& name) {
    if (options.probe) {
        options.probe(step, name.empty() ? std::string() : folder + "/" + name);
    }
}

// Through a file without a name. -1 when the file system cannot make one.
int replaceUnnamed(int dir, const std::string& folder, const std::string& base, mode_t mode,
                   const std::function<int(int)>& write, const Options& options) {
    Fd fd(::openat(dir, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode & 0777));
    if (fd.fd < 0) {
        return errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL ? -1 : errno;
    }
    probe(options, Step::Created, folder, {});
    if (const int error = fill(fd.fd, mode, write); error != 0) {
        return error;
    }
    std::string temp;
    if (const int error = linkUnnamed(dir, fd.fd, temp); error != 0) {
        return error == EPERM || error == ENOENT ? -1 : error;
    }
    probe(options, Step::Linked, folder, temp);
    const int error = commit(dir, fd.fd, temp, base);
    if (error != 0 && stillOurs(dir, temp, fd.fd)) {
        ::unlinkat(dir, temp.c_str(), 0);
    }
    return error;
}

// Through a file made under a fresh temporary name, never opened by that name again.
int replaceNamed(int dir, const std::string& folder, const std::string& base, mode_t mode,
                 const std::function<int(int)>& write, const Options& options) {
    std::string temp;
    Fd fd;
    for (int attempt = 0; attempt < kNameAttempts && fd.fd < 0; ++attempt) {
        temp = randomName();
        fd.fd = ::openat(dir, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                         mode & 0777);
        if (fd.fd < 0 && errno != EEXIST) {
            return errno;
        }
    }
    if (fd.fd < 0) {
        return EEXIST;
    }
    probe(options, Step::Created, folder, temp);
    int error = fill(fd.fd, mode, write);
    if (error == 0) {
        probe(options, Step::Linked, folder, temp);
        error = commit(dir, fd.fd, temp, base);
    }
    if (error != 0 && stillOurs(dir, temp, fd.fd)) {
        ::unlinkat(dir, temp.c_str(), 0);
    }
    return error;
}

}  // namespace

int replace(const std::string& target, mode_t mode, const std::function<int(int fd)>& write,
            const Options& options) {
    std::string folder;
    std::string base;
    splitPath(target, folder, base);
    if (base.empty() || base == "." || base == "..") {
        return EISDIR;
    }
    Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.fd < 0) {
        return errno;
    }
    if (options.allowUnnamed) {
        const int result = replaceUnnamed(dir.fd, folder, base, mode, write, options);
        if (result >= 0) {
            return result;
        }
    }
    return replaceNamed(dir.fd, folder, base, mode, write, options);
}

}  // namespace filereplace
