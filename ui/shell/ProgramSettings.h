#pragma once
// The program's own settings, kept with QSettings in the desktop's usual place
// ($XDG_CONFIG_HOME/oskel/Oskel.conf, else ~/.config/oskel/Oskel.conf), the folder that also
// holds the recent profiles.

#include <QString>

namespace programSettings {

// Whether a key write reads the keyboard back and compares; on unless the user turned it off.
bool verifyAfterWrite();
void setVerifyAfterWrite(bool on);

// The settings file, for the user and for tests.
QString file();

}  // namespace programSettings
