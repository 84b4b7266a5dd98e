// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The profile commands of the main window over the document: Save, Open, Clear and applying a
// recent profile, with the question about unsaved work that comes before the document is
// replaced or dropped. Every question, file chooser and message goes through the UiSeam, so the
// commands run without a window.
//
// Each command that replaces the document goes through here, and so does every other change the
// window makes to it: each becomes a step of the document's history, which undo and redo move
// through. The state last opened, saved or cleared is the "saved" one the questions compare with;
// undoing back to it counts as saved again.

#include <QString>

#include "ConfigHistory.h"

class KeyboardConfig;
struct LanguageText;
class QWidget;

class ProfileCommands {
public:
    // The questions and choosers open over `dialogParent` (none when null).
    explicit ProfileCommands(KeyboardConfig& config, QWidget* dialogParent = nullptr);

    // True while the document holds something not saved since the last markSaved().
    bool hasUnsavedChanges() const;
    // What the document holds now counts as saved (after a load).
    void markSaved();
    // The document as it is now starts a new history, saved, with nothing to undo (start-up).
    void startHistory();

    // A command changed the document (or may have): one step under `name`, none when nothing
    // changed. True when a step was added.
    bool recordChange(const ConfigHistory::StepName& name);
    // The key settings dialog ended on `key` and `level`: the step names the slot as it is now.
    bool recordKeyChange(int key, int level);
    // Undo and redo: the document only, never the keyboard. False when there is nothing to.
    bool undo();
    bool redo();
    bool canUndo() const { return history.canUndo(); }
    bool canRedo() const { return history.canRedo(); }
    // "撤销 …"/"Undo …" and "重做 …"/"Redo …" naming the step, in the document's language.
    QString undoText() const;
    QString redoText() const;
    const ConfigHistory& documentHistory() const { return history; }
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
    ConfigHistory history;
    bool asking = false;
};
