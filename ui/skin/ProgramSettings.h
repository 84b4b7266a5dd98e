// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The program's own settings, kept with QSettings in the desktop's usual place
// ($XDG_CONFIG_HOME/oskel/Oskel.conf, else ~/.config/oskel/Oskel.conf), the folder that also
// holds the recent profiles. A FIFO, a device or a file far larger than settings can be at that
// name is not read (a warning goes to standard error): the defaults apply and nothing is stored.

#include <QString>

namespace programSettings {

// Whether a key write reads the keyboard back and compares; on unless the user turned it off.
bool verifyAfterWrite();
void setVerifyAfterWrite(bool on);

// The folder the profile file dialogs start in: that of the last profile opened or saved
// ("lastFolder") while it still exists, else the home folder.
QString profileFolder();
// Remembers the folder of `profilePath`, a profile just opened or saved.
void rememberProfileFolder(const QString& profilePath);

// The settings file, for the user and for tests.
QString file();

}  // namespace programSettings
