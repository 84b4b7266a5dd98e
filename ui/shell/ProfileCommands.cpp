// SPDX-License-Identifier: GPL-2.0-or-later
#include "ProfileCommands.h"

#include <QFile>
#include <QFileInfo>
#include <QWidget>

#include "KeyboardConfig.h"
#include "KeyboardLayout.h"
#include "LanguageText.h"
#include "ProgramSettings.h"
#include "RecentProfiles.h"
#include "UiSeam.h"

namespace {

const QString kProfileFilter = QStringLiteral("pro (*.pro);;All Files (*)");

std::string filePath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// Puts a profile opened or saved first in the recent list. A list that cannot be saved only
// costs the shortcut; the profile itself is fine.
void rememberProfile(const QString& path) {
    RecentProfiles().add(filePath(path));
    programSettings::rememberProfileFolder(path);
}

constexpr LanguageText kClearStep{u"清空配置", u"Clear"};
constexpr LanguageText kOpenStep{u"打开 ", u"Open "};

}  // namespace

ProfileCommands::ProfileCommands(KeyboardConfig& config, QWidget* dialogParent)
    : config(config), parent(dialogParent), history(config) {}

QString ProfileCommands::text(const LanguageText& text) const {
    return QString::fromStdU16String(std::u16string(text.chineseOrEnglish(config.language)));
}

void ProfileCommands::warn(const QString& message) const {
    ui().message(parent, message, QString(), UiIcon::Warning);
}

bool ProfileCommands::hasUnsavedChanges() const {
    return history.hasUnsavedChanges(config);
}

void ProfileCommands::markSaved() {
    history.markSaved(config);
}

void ProfileCommands::startHistory() {
    history.reset(config);
}

bool ProfileCommands::recordChange(const ConfigHistory::StepName& name) {
    return history.record(config, name);
}

bool ProfileCommands::recordKeyChange(int key, int level) {
    const KeyLayoutEntry* entry = keyLayout(key);
    const std::u16string name = entry != nullptr ? std::u16string(entry->name) : std::u16string();
    return history.record(config, ConfigHistory::keyStepName(config, name, key, level));
}

bool ProfileCommands::undo() {
    return !asking && history.undo(config);
}

bool ProfileCommands::redo() {
    return !asking && history.redo(config);
}

QString ProfileCommands::undoText() const {
    return QString::fromStdU16String(history.undoText(config.language));
}

QString ProfileCommands::redoText() const {
    return QString::fromStdU16String(history.redoText(config.language));
}

bool ProfileCommands::save() {
    const QString path = ui().saveFileName(parent, QString(), programSettings::profileFolder(),
                                           kProfileFilter, QStringLiteral("pro"));
    if (path.isEmpty()) {
        return false;
    }
    std::string reason;
    if (!config.saveProfile(filePath(path), &reason)) {
        warn(text({u"保存配置失败：", u"Could not save the profile: "}) +
             QString::fromStdString(reason));
        return false;
    }
    markSaved();
    rememberProfile(path);
    return true;
}

bool ProfileCommands::open() {
    if (!mayReplaceDocument()) {
        return false;
    }
    const QString path = ui().openFileName(parent, QString(), programSettings::profileFolder(),
                                           kProfileFilter, QStringLiteral("pro"));
    return !path.isEmpty() && load(path);
}

bool ProfileCommands::clear() {
    if (!mayReplaceDocument()) {
        return false;
    }
    config.clear();
    recordChange(ConfigHistory::textStepName(kClearStep));
    markSaved();
    return true;
}

bool ProfileCommands::openRecent(const QString& path) {
    return !asking && mayReplaceDocument() && load(path);
}

bool ProfileCommands::load(const QString& path) {
    std::string reason;
    if (!config.loadProfile(filePath(path), &reason)) {
        warn(text({u"打开配置失败：", u"Could not open the profile: "}) +
             QString::fromStdString(reason));
        return false;
    }
    recordChange(
        ConfigHistory::textStepName(kOpenStep, QFileInfo(path).fileName().toStdU16String()));
    markSaved();
    rememberProfile(path);
    if (config.profileCutShort) {
        if (parent != nullptr) {
            parent->update();
        }
        warn(text({u"配置文件不完整：文件被截断，截断之后的按键为空。",
                   u"The profile is incomplete: the file was cut short, and the keys after the "
                   u"cut are empty."}));
    }
    return true;
}

bool ProfileCommands::askToSave(bool withCancel) {
    asking = true;
    const UiAnswer answer = ui().question(
        parent,
        text({u"当前配置尚未保存，是否保存？", u"The configuration has unsaved changes. Save it?"}),
        withCancel);
    // Yes with a cancelled or failed save keeps the work: it is not lost.
    const bool goOn = answer == UiAnswer::No || (answer == UiAnswer::Yes && save());
    asking = false;
    return goOn;
}

bool ProfileCommands::mayReplaceDocument() {
    return !hasUnsavedChanges() || askToSave(true);
}

void ProfileCommands::offerSave() {
    if (hasUnsavedChanges()) {
        askToSave(false);
    }
}
