// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// A copy of what the keyboard holds, taken before its firmware is replaced: a firmware update
// may leave the keyboard's key records and colours blank, and the user's own profile may be
// older than what the keyboard holds.
//
// Each backup is an ordinary profile file, named by the local date and time it was taken
// ("2026-12-11_16-45-58.pro"), in $XDG_DATA_HOME/oskel/backups (an absolute XDG_DATA_HOME
// only), else ~/.local/share/oskel/backups. The last kKeptBackups are kept; older ones are
// removed when a new one is written. Files of other names in the folder are never touched.

#include <OskelHWI.h>

#include <cstddef>
#include <ctime>
#include <string>
#include <vector>

#include "KeyboardConfig.h"

constexpr std::size_t kKeptBackups = 10;

// The folder for backups; empty when neither XDG_DATA_HOME nor HOME is known.
std::string backupFolder();

// The backups in `folder`, oldest first (full paths).
std::vector<std::string> listBackups(const std::string& folder);

// A path in `folder` for a backup taken at `when` that no file has yet.
std::string backupPathFor(const std::string& folder, std::time_t when);

// Removes the oldest backups in `folder` until `keep` are left.
void pruneBackups(const std::string& folder, std::size_t keep = kKeptBackups);

struct BackupResult {
    bool ok = false;
    bool readFailed = false;  // the keyboard could not be read (rather than the file written)
    std::string path;         // the profile written, when ok
    std::string why;          // when not ok: one line, in English
};

// Reads the key records (progress to `window`) and the colours through the document's open
// keyboard and saves them as a new backup in `folder`, then prunes the folder. The document
// itself is not changed; the catalogues of the backup are empty, as the keyboard keeps none.
BackupResult backUpKeyboard(KeyboardConfig& config, WindowHandle window, const std::string& folder);
