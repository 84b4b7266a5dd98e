// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The profile commands of the main window over the document: Save, Open, Clear and applying a
// recent profile, with the question about unsaved work that comes before the document is
// replaced or dropped. Every question, file chooser and message goes through the UiSeam, so the
// commands run without a window.
//
// Each command that replaces the document goes through here; what the document held when it
// was last opened, saved or cleared is the "saved" state the questions compare with.

#include <QString>

#include "ConfigSnapshot.h"

class KeyboardConfig;
struct LanguageText;
class QWidget;

class ProfileCommands {
public:
    // The questions and choosers open over `dialogParent` (none when null).
    explicit ProfileCommands(KeyboardConfig& config, QWidget* dialogParent = nullptr);

    // True while the document holds something not saved since the last markSaved().
    bool hasUnsavedChanges() const;
    // What the document holds now counts as saved (start-up, after a load).
    void markSaved();
    // True while the unsaved-work question is open: nothing else may replace the document then.
    bool isAsking() const { return asking; }

    // Save: asks where and saves. False when cancelled or the save failed (the user was told).
    bool save();
    // Open: the unsaved-work question, a file chooser, then the profile. True when a profile
    // was loaded.
    bool open();
    // Clear: the unsaved-work question, then an empty document. True when cleared.
    bool clear();
    // A recent profile: the unsaved-work question, then the profile at `path`. True when loaded
    // (the window then writes it to the keyboard).
    bool openRecent(const QString& path);

    // Before the document is replaced or dropped (ending, reading the keyboard): asks about
    // unsaved changes, Yes saving first. True when the caller may go on; false when the user
    // keeps the work (Cancel, or a save that was cancelled or failed).
    bool mayReplaceDocument();
    // When the program ends whatever the answer (the keyboard is gone): offers to save unsaved
    // changes, without Cancel.
    void offerSave();

private:
    // Loads a profile, saying why when it cannot; the document is left as it was then. True
    // when loaded (and remembered).
    bool load(const QString& path);
    // The unsaved-work question, the one text for every caller; Yes saves. True when the work
    // was saved or the user lets it go.
    bool askToSave(bool withCancel);
    // The document's language's half of `text`: Chinese for Chinese, else English.
    QString text(const LanguageText& text) const;
    void warn(const QString& message) const;

    KeyboardConfig& config;
    QWidget* parent;
    ConfigSnapshot savedState;
    bool asking = false;
};
