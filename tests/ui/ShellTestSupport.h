// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// What the shell's GUI tests share: fixed answers for the standard dialogs, a private runtime
// folder with an in-process virtual keyboard, and the skin pictures.

#include <QEvent>
#include <QList>
#include <QPaintEvent>
#include <QRegion>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>
#include <QWidget>
#include <memory>

#include "UiSeam.h"

// Collects what a window repaints: every region of its paint events, and how many there were.
// Install it with installEventFilter, or give the widget to the constructor.
class PaintRecorder : public QObject {
public:
    PaintRecorder() = default;
    explicit PaintRecorder(QWidget& widget) { widget.installEventFilter(this); }
    int paints = 0;
    QRegion painted;

    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) {
            ++paints;
            painted += static_cast<QPaintEvent*>(e)->region();
        }
        return false;
    }
};

namespace oskel {
class VirtualKeyboard;
}

class SkinResources;

// Records every question and message and answers from queues; an empty queue answers Cancel
// (questions) or an empty path (file dialogs).
class FixedAnswers : public UiSeam {
public:
    FixedAnswers() { UiSeam::install(this); }
    ~FixedAnswers() override { UiSeam::install(nullptr); }

    QString saveFileName(QWidget*, const QString&, const QString& folder, const QString& filter,
                         const QString& suffix) override {
        saveFolders << folder;
        saveFilters << filter;
        saveSuffixes << suffix;
        return savePaths.isEmpty() ? QString() : savePaths.takeFirst();
    }
    QString openFileName(QWidget*, const QString&, const QString& folder, const QString& filter,
                         const QString& suffix) override {
        openFolders << folder;
        openFilters << filter;
        openSuffixes << suffix;
        return openPaths.isEmpty() ? QString() : openPaths.takeFirst();
    }
    void message(QWidget*, const QString& text, const QString&, UiIcon) override {
        messages << text;
    }
    UiAnswer question(QWidget*, const QString& text, bool withCancel, const QString&) override {
        questions << text;
        questionHadCancel << withCancel;
        return answers.isEmpty() ? (withCancel ? UiAnswer::Cancel : UiAnswer::No)
                                 : answers.takeFirst();
    }
    bool openUrl(const QUrl& url) override {
        opened << url;
        return true;
    }

    QStringList savePaths, openPaths;
    QList<UiAnswer> answers;
    QStringList messages, questions, saveFilters, saveSuffixes, openFilters, openSuffixes;
    // The folders the file dialogs were asked to start in.
    QStringList saveFolders, openFolders;
    QList<bool> questionHadCancel;
    QList<QUrl> opened;
};

// A private XDG_RUNTIME_DIR for the whole test program (set before any keyboard is looked for)
// and one virtual keyboard in it.
class TestKeyboard {
public:
    TestKeyboard();
    ~TestKeyboard();
    bool start();
    void stop();
    bool running() const { return isRunning; }
    QString runtimeDir() const { return folder.path(); }
    // Reports the keyboard has received since it started.
    std::size_t reportCount() const;

private:
    QTemporaryDir folder;
    std::unique_ptr<oskel::VirtualKeyboard> keyboard;
    bool isRunning = false;
};

// Registers OskelRES.rcc from the build and loads its pictures into the current resources.
// False when the file is not there (the tests then skip).
bool loadTestSkin(SkinResources& resources);

// Drops the offscreen platform's note that it cannot shape windows; every skinned window shapes
// itself, and the note would bury the test output.
void quietWindowMaskNotes();
