// SPDX-License-Identifier: GPL-2.0-or-later
#include "KeyboardBackup.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <regex>

#include "KeyTables.h"
#include "TransferFlows.h"

namespace fs = std::filesystem;

namespace {

// 2026-12-11_16-45-58.pro, with _2, _3... when two are taken within one second. The suffix
// sorts after the plain name, so names sort as the backups were taken.
const std::regex& backupName() {
    static const std::regex name(R"(\d{4}-\d{2}-\d{2}_\d{2}-\d{2}-\d{2}(_\d+)?\.pro)");
    return name;
}

std::string stamp(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d_%H-%M-%S", &local);
    return text;
}

// What the keyboard holds, into `into` (a document of its own with its key tables built).
bool readInto(KeyboardConfig& config, WindowHandle window, KeyboardConfig& into) {
    return readKeysFromKeyboard(config.keyboard, window, into) &&
           readBacklightFromKeyboard(config.keyboard, into);
}

}  // namespace

std::string backupFolder() {
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data != nullptr && data[0] == '/') {
        return (fs::path(data) / "oskel" / "backups").string();
    }
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] != '\0') {
        return (fs::path(home) / ".local" / "share" / "oskel" / "backups").string();
    }
    return {};
}

std::vector<std::string> listBackups(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file(error) && std::regex_match(name, backupName())) {
            names.push_back(name);
        }
    }
    // Same stamp: the plain name, then _2, _3... by number.
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const std::string sa = a.substr(0, 19), sb = b.substr(0, 19);
        if (sa != sb) {
            return sa < sb;
        }
        auto number = [](const std::string& n) {
            return n.size() > 23 ? std::atoi(n.c_str() + 20) : 1;
        };
        return number(a) < number(b);
    });
    std::vector<std::string> paths;
    for (const std::string& name : names) {
        paths.push_back((fs::path(folder) / name).string());
    }
    return paths;
}

std::string backupPathFor(const std::string& folder, std::time_t when) {
    const std::string base = stamp(when);
    std::string path = (fs::path(folder) / (base + ".pro")).string();
    std::error_code error;
    for (int n = 2; fs::exists(path, error); ++n) {
        path = (fs::path(folder) / (base + "_" + std::to_string(n) + ".pro")).string();
    }
    return path;
}

void pruneBackups(const std::string& folder, std::size_t keep) {
    const std::vector<std::string> backups = listBackups(folder);
    std::error_code error;
    for (std::size_t i = 0; i + keep < backups.size(); ++i) {
        fs::remove(backups[i], error);
    }
}

BackupResult backUpKeyboard(KeyboardConfig& config, WindowHandle window,
                            const std::string& folder) {
    BackupResult result;
    if (folder.empty()) {
        result.why = "there is no folder for backups (neither XDG_DATA_HOME nor HOME is set)";
        return result;
    }
    auto copy = std::make_unique<KeyboardConfig>();
    buildKeyTables(*copy);
    copy->clear();
    if (!readInto(config, window, *copy)) {
        result.readFailed = true;
        result.why = "the keyboard's keys and colours could not be read";
        return result;
    }
    std::error_code error;
    fs::create_directories(folder, error);
    // Macros may hold typed text: the folder is the user's alone.
    ::chmod(folder.c_str(), 0700);
    if (error) {
        result.why = "cannot create " + folder + ": " + error.message();
        return result;
    }
    const std::string path = backupPathFor(folder, std::time(nullptr));
    std::string why;
    if (!copy->saveProfile(path, &why)) {
        result.why = "cannot save the backup " + path + ": " + why;
        return result;
    }
    pruneBackups(folder);
    result.ok = true;
    result.path = path;
    return result;
}
