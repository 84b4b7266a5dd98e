#pragma once
// Saving and opening profile files from the windows: the configuration core's profile code with
// Qt paths and the reason of a failure as a text to show.

#include <QString>

class KeyboardConfig;

// True when the whole configuration was written to `path`; else `reason` says why.
bool saveProfileFile(KeyboardConfig& config, const QString& path, QString* reason);
// True when `path` was read into the configuration; a refused file leaves it as it was and
// `reason` says why.
bool loadProfileFile(KeyboardConfig& config, const QString& path, QString* reason);
