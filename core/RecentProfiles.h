// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The profiles opened or saved last, newest first, shared by the program and oskelctl.
//
// Kept as a plain UTF-8 text file, one absolute path a line, in the folder where the program
// keeps its settings ($XDG_CONFIG_HOME/oskel, else ~/.config/oskel): both front ends read it
// without any toolkit, a user can read or edit it, and a path needs no escaping (a path with a
// line break is never recorded). The file is replaced atomically, so a reader never sees half.

#include <cstddef>
#include <string>
#include <vector>

class RecentProfiles {
public:
    static constexpr std::size_t kLimit = 8;

    // The list kept in `file`.
    explicit RecentProfiles(std::string file);
    // The list in the user's settings folder.
    RecentProfiles();

    // $XDG_CONFIG_HOME/oskel/recent-profiles (an absolute XDG_CONFIG_HOME only), else
    // $HOME/.config/oskel/recent-profiles; empty when neither is known.
    static std::string defaultFile();

    // The profiles that still exist, newest first, at most kLimit, without repeats. A missing
    // or unreadable list is the empty list; so is a FIFO, a device or a file larger than a list
    // can be, which is not read at all (a warning goes to standard error).
    std::vector<std::string> list() const;

    // Puts `profile` (made absolute) first, drops its older entry and the files that no longer
    // exist, keeps kLimit, and saves. False with the reason in `why` when the list cannot be
    // saved or the path cannot be recorded; the stored list is then unchanged.
    bool add(const std::string& profile, std::string* why = nullptr);

    const std::string& file() const { return path; }

private:
    // The entries as stored; `refused` says whether something other than a list stands there.
    std::vector<std::string> stored(bool* refused = nullptr) const;
    static std::vector<std::string> existing(const std::vector<std::string>& entries);

    std::string path;
};

// `list` with `profile` moved to the front, repeats dropped and cut to `limit`.
std::vector<std::string> withNewest(std::vector<std::string> list, const std::string& profile,
                                    std::size_t limit = RecentProfiles::kLimit);
