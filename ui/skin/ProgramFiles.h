// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Where the program finds the files it ships with (the skin pictures OskelRES.rcc and the help
// file Oskel.html): beside itself in a build or an unpacked folder, or in share/oskel/ next to
// the bin/ folder it was installed into.

#include <QString>

// The path of `name` for a program in `programDir`: beside the program when the file is there,
// else in `programDir`/../share/oskel when it is there, else beside the program (so a message
// about a missing file names the place a user would look first).
QString programFileIn(const QString& programDir, const QString& name);

// programFileIn() for the running program's own folder.
QString programFile(const QString& name);
