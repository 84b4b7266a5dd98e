// SPDX-License-Identifier: GPL-2.0-or-later
// The main window's profile commands on their own, without a window: the unsaved-work question
// answered every way, and a profile that cannot be read leaving the document as it was.

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <functional>
#include <memory>

#include "KeyAssignment.h"
#include "KeyTables.h"
#include "KeyboardConfig.h"
#include "ProfileCommands.h"
#include "ShellTestSupport.h"

namespace {

const QString kQuestionEn = QStringLiteral("The configuration has unsaved changes. Save it?");
const QString kQuestionZh = QStringLiteral("当前配置尚未保存，是否保存？");

class ProfileCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        buildKeyTables(config);
        config.language = "en-US";
        config.clear();
        commands = std::make_unique<ProfileCommands>(config);
    }

    void assign(int key, int hwCode) {
        config.slot(key, 0).mode = Single;
        config.slot(key, 0).hwCode = hwCode;
    }
    // A profile on disk holding key `key` assigned to `hwCode`, made with a document of its own.
    QString profileWith(const QString& name, int key, int hwCode) {
        KeyboardConfig other;
        buildKeyTables(other);
        other.clear();
        other.slot(key, 0).mode = Single;
        other.slot(key, 0).hwCode = hwCode;
        const QString path = folder.filePath(name);
        EXPECT_TRUE(other.saveProfile(QFile::encodeName(path).toStdString()));
        return path;
    }

    QTemporaryDir folder;
    KeyboardConfig config;
    FixedAnswers answers;
    std::unique_ptr<ProfileCommands> commands;
};

// Open, Clear and a recent profile each ask first when the work is unsaved, with Cancel. Yes
// saves before going on, and a save cancelled at its file chooser keeps the work like Cancel.
TEST_F(ProfileCommandsTest, UnsavedWorkIsAskedAboutBeforeTheDocumentIsReplaced) {
    enum class Command { Open, Clear, Recent, ReadKeyboard };
    struct Case {
        const char* name;
        Command command;
        UiAnswer answer;
        bool savePathGiven;  // Yes: the save file chooser gives a path
        bool replaced;
    };
    const Case cases[] = {
        {"open, no", Command::Open, UiAnswer::No, false, true},
        {"open, cancel", Command::Open, UiAnswer::Cancel, false, false},
        {"open, yes and saved", Command::Open, UiAnswer::Yes, true, true},
        {"open, yes but save cancelled", Command::Open, UiAnswer::Yes, false, false},
        {"clear, no", Command::Clear, UiAnswer::No, false, true},
        {"clear, cancel", Command::Clear, UiAnswer::Cancel, false, false},
        {"clear, yes and saved", Command::Clear, UiAnswer::Yes, true, true},
        {"recent, no", Command::Recent, UiAnswer::No, false, true},
        {"recent, cancel", Command::Recent, UiAnswer::Cancel, false, false},
        {"recent, yes but save cancelled", Command::Recent, UiAnswer::Yes, false, false},
        {"reading the keyboard, no", Command::ReadKeyboard, UiAnswer::No, false, true},
        {"reading the keyboard, cancel", Command::ReadKeyboard, UiAnswer::Cancel, false, false},
    };
    const QString incoming = profileWith(QStringLiteral("incoming.pro"), 20, 44);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        config.clear();
        commands->markSaved();
        assign(6, 7);
        answers.questions.clear();
        answers.questionHadCancel.clear();
        answers.answers = {c.answer};
        const QString savedTo = folder.filePath(QStringLiteral("saved-%1.pro").arg(c.name));
        answers.savePaths = c.savePathGiven ? QStringList{savedTo} : QStringList{};
        answers.openPaths = {incoming};

        bool result = false;
        switch (c.command) {
            case Command::Open:
                result = commands->open();
                break;
            case Command::Clear:
                result = commands->clear();
                break;
            case Command::Recent:
                result = commands->openRecent(incoming);
                break;
            case Command::ReadKeyboard:
                result = commands->mayReplaceDocument();
                break;
        }
        EXPECT_EQ(result, c.replaced);
        ASSERT_EQ(answers.questions.size(), 1);
        EXPECT_EQ(answers.questions[0], kQuestionEn);
        EXPECT_TRUE(answers.questionHadCancel[0]);
        EXPECT_EQ(QFileInfo::exists(savedTo), c.savePathGiven);
        const bool keptWork = config.slot(6, 0).mode == Single && config.slot(6, 0).hwCode == 7;
        if (!c.replaced) {
            EXPECT_TRUE(keptWork);
            EXPECT_TRUE(commands->hasUnsavedChanges());
        } else if (c.command == Command::Open || c.command == Command::Recent) {
            EXPECT_FALSE(keptWork);
            EXPECT_EQ(config.slot(20, 0).hwCode, 44);
            EXPECT_FALSE(commands->hasUnsavedChanges());
        } else if (c.command == Command::Clear) {
            EXPECT_FALSE(keptWork);
            EXPECT_FALSE(commands->hasUnsavedChanges());
        }
        EXPECT_FALSE(commands->isAsking());
    }
}

TEST_F(ProfileCommandsTest, NothingIsAskedWhenTheWorkIsSaved) {
    const QString path = profileWith(QStringLiteral("a.pro"), 3, 9);
    answers.openPaths = {path};
    EXPECT_TRUE(commands->open());
    EXPECT_TRUE(commands->clear());
    EXPECT_TRUE(commands->mayReplaceDocument());
    commands->offerSave();
    EXPECT_TRUE(answers.questions.isEmpty());
    EXPECT_TRUE(answers.messages.isEmpty());
}

// When the program ends anyway the same question comes without Cancel: Yes saves, No lets go.
TEST_F(ProfileCommandsTest, TheSaveOfferedAtTheEndHasNoCancel) {
    for (const UiAnswer answer : {UiAnswer::Yes, UiAnswer::No}) {
        SCOPED_TRACE(answer == UiAnswer::Yes ? "yes" : "no");
        commands->markSaved();
        assign(8, 30 + int(answer));
        config.language = "zh-CN";
        answers.questions.clear();
        answers.questionHadCancel.clear();
        answers.answers = {answer};
        const QString path =
            folder.filePath(answer == UiAnswer::Yes ? "end-yes.pro" : "end-no.pro");
        answers.savePaths = {path};
        commands->offerSave();
        ASSERT_EQ(answers.questions.size(), 1);
        EXPECT_EQ(answers.questions[0], kQuestionZh);
        EXPECT_FALSE(answers.questionHadCancel[0]);
        EXPECT_EQ(QFileInfo::exists(path), answer == UiAnswer::Yes);
        EXPECT_EQ(commands->hasUnsavedChanges(), answer == UiAnswer::No);
        answers.savePaths.clear();
    }
}

// A file that is no profile, or is not there, is refused with the reason: the document, and
// what counts as saved, stay as they were.
TEST_F(ProfileCommandsTest, AProfileThatCannotBeReadLeavesTheDocumentAsItWas) {
    const QString junk = folder.filePath(QStringLiteral("junk.pro"));
    {
        QFile file(junk);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("not a profile at all");
    }
    const QString missing = folder.filePath(QStringLiteral("missing.pro"));
    const std::function<bool(const QString&)> loads[] = {
        [this](const QString& path) {
            answers.openPaths = {path};
            return commands->open();
        },
        [this](const QString& path) { return commands->openRecent(path); },
    };
    for (const QString& bad : {junk, missing}) {
        for (const auto& load : loads) {
            SCOPED_TRACE(bad.toStdString());
            config.clear();
            assign(6, 7);
            commands->markSaved();
            assign(12, 5);  // unsaved: the user lets it go, and still nothing is lost
            answers.messages.clear();
            answers.answers = {UiAnswer::No};
            EXPECT_FALSE(load(bad));
            ASSERT_EQ(answers.messages.size(), 1);
            EXPECT_TRUE(
                answers.messages[0].startsWith(QStringLiteral("Could not open the profile: ")));
            EXPECT_GT(answers.messages[0].size(),
                      QStringLiteral("Could not open the profile: ").size());
            EXPECT_EQ(config.slot(6, 0).hwCode, 7);
            EXPECT_EQ(config.slot(12, 0).mode, int(Single));
            EXPECT_EQ(config.slot(12, 0).hwCode, 5);
            EXPECT_TRUE(commands->hasUnsavedChanges());
        }
    }
}

TEST_F(ProfileCommandsTest, AFailedSaveIsReportedAndTheWorkStaysUnsaved) {
    assign(6, 7);
    answers.savePaths = {folder.filePath(QStringLiteral("no/such/folder/x.pro"))};
    EXPECT_FALSE(commands->save());
    ASSERT_EQ(answers.messages.size(), 1);
    EXPECT_TRUE(answers.messages[0].startsWith(QStringLiteral("Could not save the profile: ")));
    EXPECT_TRUE(commands->hasUnsavedChanges());

    const QString good = folder.filePath(QStringLiteral("good.pro"));
    answers.savePaths = {good};
    EXPECT_TRUE(commands->save());
    EXPECT_FALSE(commands->hasUnsavedChanges());
    KeyboardConfig reread;
    buildKeyTables(reread);
    ASSERT_TRUE(reread.loadProfile(QFile::encodeName(good).toStdString()));
    EXPECT_EQ(reread.slot(6, 0).hwCode, 7);
}

}  // namespace
