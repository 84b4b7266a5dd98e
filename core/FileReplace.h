// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Replacing a file by new contents so that a reader sees the old file or the new one, never half
// of either, and so that nobody else who may write to the folder can redirect the bytes.
//
// The new contents go into a file made without a name (O_TMPFILE) and written only through its
// descriptor; once complete and on disk it gets a short random name in the folder and is renamed
// over the target. A program killed before that leaves nothing behind, and the target's name
// may be as long as the file system allows. Where the file system cannot make a file without a
// name, the file is made under the short random name with O_CREAT | O_EXCL | O_NOFOLLOW and still
// written only through its descriptor; a program killed mid-write then leaves that hidden file
// (".oskel-save-" and eight letters) beside the target.

#include <sys/types.h>

#include <functional>
#include <string>

namespace filereplace {

// Where a replacement has got to, for tests that change the folder at the worst moment.
enum class Step {
    Created,  // the new file is open, nothing written yet
    Linked,   // complete and on disk, under its temporary name, not yet renamed
};

struct Options {
    bool allowUnnamed = true;  // false: always make the named temporary file
    std::function<void(Step, const std::string& tempPath)> probe;  // empty path: no name yet
};

// Writes `target` anew with `mode`: `write` puts the bytes into the descriptor and returns 0 or
// the error that stopped it. Returns 0, or the error of the first step that failed; the target
// is then as it was and no temporary file is left. A temporary name found changed under the
// save (someone put another file or a link there) fails the save with EEXIST. `target` is used
// as it is: a link at that name is replaced, not followed.
int replace(const std::string& target, mode_t mode, const std::function<int(int fd)>& write,
            const Options& options = {});

// The prefix of every temporary name a replacement makes.
inline constexpr char kTempPrefix[] = ".oskel-save-";

}  // namespace filereplace
