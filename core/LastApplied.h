// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The profile written to the keyboard last, kept beside the recent list so that stepping
// through the recent profiles (oskelctl next and previous) knows where it stands.
//
// A plain UTF-8 text file holding one absolute path and a line break, in the settings folder
// ($XDG_CONFIG_HOME/oskel/last-applied, else ~/.config/oskel/last-applied), replaced
// atomically. A file that is not a regular file, is larger than a path can be or holds anything
// but one absolute path counts as no profile written yet.

#include <string>
#include <vector>

class LastApplied {
public:
    explicit LastApplied(std::string file);
    // The one in the user's settings folder.
    LastApplied();

    // Empty when neither an absolute XDG_CONFIG_HOME nor HOME is known.
    static std::string defaultFile();

    // The recorded profile, or empty.
    std::string profile() const;
    // Records `profile` (made absolute). False with the reason in `why` when it cannot be
    // saved; the stored one is then unchanged.
    bool record(const std::string& profile, std::string* why = nullptr);

    const std::string& file() const { return path; }

private:
    std::string path;
};

// The place in `list` one `step` (+1 or -1) from `current`, wrapping around at both ends. When
// `current` is not in the list: the first for a step forward, the last for a step back. -1 for
// an empty list.
int steppedIndex(const std::vector<std::string>& list, const std::string& current, int step);
