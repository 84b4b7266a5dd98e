// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The files the programs read on their own from the user's configuration folder (the recent
// profiles, the program's settings). Whatever stands at such a name is checked before a byte is
// read: it is opened without blocking, so a FIFO cannot hang the start, and it must be a regular
// file of a bounded size, so a link to /dev/zero or a file of one endless line is never read. A
// file that fails is ignored, with one warning on standard error for each name.

#include <cstddef>
#include <string>

namespace configfile {

// $XDG_CONFIG_HOME/oskel (an absolute XDG_CONFIG_HOME only), else $HOME/.config/oskel; empty
// when neither is known.
std::string folder();

enum class Status {
    Missing,  // nothing at that name (or it cannot be opened): the defaults apply
    Fine,     // a regular file within the bound; for read(), `text` holds it
    Refused,  // something else stands there; it was not read, and a warning was given
};

// Reads `path` whole when it is a regular file of at most `maxBytes`. `what` names the file in
// the warning ("the recent-profiles list").
Status read(const std::string& path, std::size_t maxBytes, const std::string& what,
            std::string& text);

// The same check without keeping the text, for a file a library then reads by name.
Status check(const std::string& path, std::size_t maxBytes, const std::string& what);

}  // namespace configfile
