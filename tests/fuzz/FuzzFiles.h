// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Fuzz inputs as files: the loaders under test read paths, as the program does.

#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace oskelfuzz {

// A private folder for this process, made once and removed at exit.
inline const std::string& workFolder() {
    static const std::string folder = [] {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern =
            std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/oskel-fuzz-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        static const std::string made = pattern;
        std::atexit([] { std::system(("rm -rf '" + made + "'").c_str()); });
        return pattern;
    }();
    return folder;
}

inline std::string writeInput(const char* name, const std::uint8_t* data, std::size_t size) {
    const std::string path = workFolder() + "/" + name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    return path;
}

inline std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace oskelfuzz
