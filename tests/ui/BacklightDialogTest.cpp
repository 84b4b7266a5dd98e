// SPDX-License-Identifier: GPL-2.0-or-later
// The backlight settings and multi-key colour dialogs driven as a user would: clicks at the
// centres of their regions, the colour chooser answered through the seam, Write against an
// in-process virtual keyboard.

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QPaintEvent>
#include <QPointer>
#include <QRegion>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <optional>
#include <utility>

#include "CTravoDialogBkLightMultiSelect.h"
#include "CTravoDialogBkLightSettings.h"
#include "CTravoDialogFirmwareUpdate.h"
#include "CTravoDialogProgress.h"
#include "CTravoDlg.h"
#include "DeviceTestSupport.h"
#include "RegionIds.h"
#include "ShellTestSupport.h"
#include "SkinGeometry.h"
#include "SkinResources.h"

namespace {

// The colour chooser answered from a queue (no value: the user cancels); every opening is
// recorded with the colour it started on.
class ColourSeam : public RecordingSeam {
public:
    QList<std::optional<QColor>> answers;
    QList<QColor> initial;

    // Runs inside a modal loop of the chooser's own, as while a real chooser is open; the
    // chooser then answers Cancel.
    std::function<void()> whileOpen;

    std::optional<QColor> chooseColor(QWidget*, const QColor& start) override {
        initial << start;
        if (whileOpen) {
            QDialog standIn;
            QTimer::singleShot(0, &standIn, std::exchange(whileOpen, nullptr));
            standIn.exec();
            return std::nullopt;
        }
        return answers.isEmpty() ? std::nullopt : answers.takeFirst();
    }
};

// The pictures of the two backlight windows: the built ones, else plain stand-ins of their size
// (dark background, orange lit picture) so the dialogs still lay out and paint.
void useBacklightPictures() {
    quietWindowMaskNotes();
    const bool real = useWindowPictures();
    SkinResources* resources = &SkinResources::current();
    const WindowSkin& backlight = windowSkin(SkinWindow::Backlight);
    const WindowSkin& multiKey = windowSkin(SkinWindow::MultiKey);
    const struct {
        int id;
        QSize size;
        QColor standIn;
    } pictures[] = {
        {backlight.backgroundId, {backlight.width, backlight.height}, QColor(40, 40, 40)},
        {multiKey.backgroundId, {multiKey.width, multiKey.height}, QColor(40, 40, 40)},
        {multiKey.litId, {multiKey.width, multiKey.height}, QColor(255, 111, 0)},
    };
    for (const auto& p : pictures) {
        QPixmap picture;
        if (real) {
            picture = QPixmap(SkinResources::pictureName(p.id));
        }
        if (picture.isNull()) {
            picture = QPixmap(p.size);
            picture.fill(p.standIn);
        }
        resources->setPicture(p.id, picture);
    }
}

// Runs `action` on each dialog of type T soon after it shows, from inside the modal run that
// shows it.
template <typename T>
class WhenShown : public QObject {
public:
    explicit WhenShown(std::function<void(T&)> action) : action(std::move(action)) {
        qApp->installEventFilter(this);
    }
    ~WhenShown() override { qApp->removeEventFilter(this); }
    int shown = 0;

protected:
    bool eventFilter(QObject* object, QEvent* e) override {
        auto* dialog = qobject_cast<T*>(object);
        if (dialog != nullptr && e->type() == QEvent::Show) {
            ++shown;
            QPointer<T> alive(dialog);
            QTimer::singleShot(0, dialog, [this, alive] {
                if (alive) {
                    action(*alive);
                }
            });
        }
        return false;
    }

private:
    std::function<void(T&)> action;
};

// Collects the paint events of one widget.
QPoint centreOf(const SkinRect& r) {
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

void clickAt(QWidget& w, QPoint p) {
    QTest::mouseClick(&w, Qt::LeftButton, Qt::NoModifier, p);
}

void clickRegion(SkinDialog& dialog, int regionId) {
    clickAt(dialog, centreOf(dialog.regionById(regionId).rect));
}

void clickKey(KeyColourDialog& dialog, int keyIndex) {
    clickAt(dialog, centreOf(dialog.keyRegion(keyIndex)->rect));
}

// Lets posted events and repaints run for a moment.
void settle(int ms = 50) {
    QTest::qWait(ms);
}

using Colours = std::array<Colour, kKeyTableSize>;

// Every entry different, entry 0 too, so a change to the wrong key shows.
Colours distinctColours() {
    Colours c{};
    for (int key = 0; key < kKeyTableSize; ++key) {
        c[key] = {key, (key * 7) % 256, 255 - key};
    }
    return c;
}

Colour rgb(const QColor& c) {
    return {c.red(), c.green(), c.blue()};
}

// One pixel inside each of a key's four frame strips: left, right, top, bottom. Keys lie 3 or
// more pixels apart, so none of these is covered by a neighbour's frame.
std::array<QPoint, 4> framePixels(const SkinRect& key) {
    return {QPoint(key.left - 1, key.top + 1), QPoint(key.right, key.bottom - 2),
            QPoint(key.left + 3, key.top - 2), QPoint(key.right - 3, key.bottom)};
}

class BacklightDialog : public ::testing::Test {
protected:
    void SetUp() override {
        useBacklightPictures();
        UiSeam::install(&colours);
        env.config.backlight = distinctColours();
    }
    void TearDown() override { UiSeam::install(&env.seam); }

    // Opens the dialog without a nested loop and waits for its first paint.
    void show(QDialog& dialog, PaintRecorder& paints) {
        dialog.open();
        ASSERT_TRUE(waitUntil([&] { return paints.paints > 0; }, 5000));
        paints.paints = 0;
        paints.painted = QRegion();
    }

    DeviceDialogTest env;
    ColourSeam colours;
};

TEST_F(BacklightDialog, OpensOnTheDocumentColoursWithEveryRegionInPlace) {
    CTravoDialogBkLightSettings dialog(env.config);
    EXPECT_EQ(dialog.workingBacklight, env.config.backlight);
    EXPECT_EQ(dialog.regions.size(), 122u);
    EXPECT_EQ(dialog.size(), QSize(1252, 476));
    for (int key = 1; key <= kKeyCount; ++key) {
        const SkinRegion& r = dialog.regions[13 + key];
        EXPECT_EQ(r.keyIndex, key);
        EXPECT_EQ(r.regionId, BacklightRegion::FirstKey + key - 1);
    }
    // The write button's caption reads "Program" in English though the button says "Write".
    const SkinRegion& writeCaption = dialog.regions[9];
    EXPECT_TRUE(writeCaption.textOnly);
    EXPECT_EQ(writeCaption.labelFor("en-US"), "Program");
    EXPECT_EQ(writeCaption.labelFor("zh-CN"), QString::fromUtf16(u"写入背光"));
    EXPECT_EQ(dialog.regionById(BacklightRegion::Write).labelFor("en-US"), "Write");
}

// Every dialog has a title for the window manager (task switchers, window lists), in the
// document's language: the title painted at its top.
TEST_F(BacklightDialog, EveryDialogIsTitledInTheDocumentsLanguage) {
    struct Case {
        std::string language;
        std::u16string backlight, multiKey, progress, firmware;
    };
    const Case cases[] = {
        {"zh-CN", u"背光设置面板", u"多键设置面板", u"读写进度", u"键盘固件升级"},
        {"en-US", u"BackLight Settings", u"Set Multi Key", u"Progress", u"Firmware Update"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.language);
        env.config.language = c.language;
        const auto title = [](const std::u16string& t) { return QString::fromStdU16String(t); };
        EXPECT_EQ(CTravoDialogBkLightSettings(env.config).windowTitle(), title(c.backlight));
        EXPECT_EQ(CTravoDialogBkLightMultiSelect(env.config).windowTitle(), title(c.multiKey));
        EXPECT_EQ(CTravoDialogProgress(env.config, nullptr).windowTitle(), title(c.progress));
        EXPECT_EQ(CTravoDialogFirmwareUpdate(env.config, nullptr).windowTitle(), title(c.firmware));
    }
}

TEST_F(BacklightDialog, AKeyClickRecoloursThatKeyAndRepaintsOnlyItsFrame) {
    CTravoDialogBkLightSettings dialog(env.config);
    PaintRecorder paints(dialog);
    show(dialog, paints);
    colours.answers << QColor(10, 20, 30);

    clickKey(dialog, 5);
    EXPECT_EQ(colours.initial, QList<QColor>{toQColor(env.config.backlight[5])});
    Colours expected = distinctColours();
    expected[5] = {10, 20, 30};
    EXPECT_EQ(dialog.workingBacklight, expected);
    EXPECT_EQ(env.config.backlight, distinctColours()) << "changed before OK";

    ASSERT_TRUE(waitUntil([&] { return paints.paints > 0; }, 5000));
    settle();
    EXPECT_EQ(paints.painted, QRegion(keyFrameArea(dialog.keyRegion(5)->rect)));
    const QImage shown = dialog.grab().toImage();
    for (const QPoint& p : framePixels(dialog.keyRegion(5)->rect)) {
        EXPECT_EQ(shown.pixelColor(p), QColor(10, 20, 30)) << p.x() << "," << p.y();
    }

    clickRegion(dialog, BacklightRegion::Ok);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(env.config.backlight, expected);
}

struct UnchangedCase {
    const char* name;
    bool cancel;  // the chooser is cancelled; otherwise it answers the key's own colour
};

class KeyColourUnchanged : public BacklightDialog,
                           public ::testing::WithParamInterface<UnchangedCase> {};

TEST_P(KeyColourUnchanged, ChangesNothingAndRepaintsNothing) {
    CTravoDialogBkLightSettings dialog(env.config);
    PaintRecorder paints(dialog);
    show(dialog, paints);
    if (!GetParam().cancel) {
        colours.answers << toQColor(env.config.backlight[40]);
    }

    clickKey(dialog, 40);
    settle(150);
    EXPECT_EQ(colours.initial.size(), 1);
    EXPECT_EQ(dialog.workingBacklight, distinctColours());
    EXPECT_EQ(paints.paints, 0);
    EXPECT_TRUE(dialog.isVisible());
}

INSTANTIATE_TEST_SUITE_P(Chooser, KeyColourUnchanged,
                         ::testing::Values(UnchangedCase{"SameColourAgain", false},
                                           UnchangedCase{"Cancelled", true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(BacklightDialog, SetAllStartsOnBlackAndColoursEveryEntry) {
    CTravoDialogBkLightSettings dialog(env.config);
    dialog.open();
    // Cancelled first: nothing changes.
    clickRegion(dialog, BacklightRegion::SetAll);
    EXPECT_EQ(dialog.workingBacklight, distinctColours());
    colours.answers << QColor(7, 8, 9);
    clickRegion(dialog, BacklightRegion::SetAll);
    EXPECT_EQ(colours.initial, (QList<QColor>{QColor(0, 0, 0), QColor(0, 0, 0)}));
    Colours all;
    all.fill({7, 8, 9});
    EXPECT_EQ(dialog.workingBacklight, all);

    clickRegion(dialog, BacklightRegion::Ok);
    EXPECT_EQ(env.config.backlight, all);
}

TEST_F(BacklightDialog, DefaultThenOkStoresBlackForEveryKeyAndEntryZero) {
    CTravoDialogBkLightSettings dialog(env.config);
    dialog.open();
    clickRegion(dialog, BacklightRegion::Default);
    EXPECT_TRUE(colours.initial.isEmpty()) << "Default asks for no colour";
    settle();
    // An off key keeps a visible frame: a dim grey one on the dark picture.
    const QImage shown = dialog.grab().toImage();
    for (const int key : {1, 54, 108}) {
        for (const QPoint& p : framePixels(dialog.keyRegion(key)->rect)) {
            EXPECT_EQ(shown.pixelColor(p), kOffKeyFrameColour) << "key " << key;
        }
    }
    clickRegion(dialog, BacklightRegion::Ok);
    EXPECT_EQ(env.config.backlight, Colours{});  // what is kept is black
}

// The OK caption carries the Default button's id; a click on it is a click on OK beneath.
TEST_F(BacklightDialog, TheOkCaptionNeverActsAsDefault) {
    CTravoDialogBkLightSettings dialog(env.config);
    dialog.open();
    const SkinRegion& okCaption = dialog.regions[11];
    ASSERT_TRUE(okCaption.textOnly);
    ASSERT_EQ(okCaption.regionId, BacklightRegion::Default);
    clickAt(dialog, centreOf(okCaption.rect));
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(env.config.backlight, distinctColours());
}

struct DropCase {
    const char* name;
    int how;  // BacklightRegion::Close, BacklightRegion::Cancel, or 0 for the Escape key
};

class BacklightDropped : public BacklightDialog, public ::testing::WithParamInterface<DropCase> {};

TEST_P(BacklightDropped, LeavesTheDocumentAsItWasAfterSeveralChanges) {
    CTravoDialogBkLightSettings dialog(env.config);
    dialog.open();
    colours.answers << QColor(1, 1, 1) << QColor(2, 2, 2);
    clickKey(dialog, 1);
    clickRegion(dialog, BacklightRegion::SetAll);
    clickRegion(dialog, BacklightRegion::Default);
    ASSERT_EQ(dialog.workingBacklight, Colours{});

    if (GetParam().how == 0) {
        QTest::keyClick(&dialog, Qt::Key_Escape);
    } else {
        clickRegion(dialog, GetParam().how);
    }
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(env.config.backlight, distinctColours());
}

INSTANTIATE_TEST_SUITE_P(Close, BacklightDropped,
                         ::testing::Values(DropCase{"CloseButton", BacklightRegion::Close},
                                           DropCase{"CancelButton", BacklightRegion::Cancel},
                                           DropCase{"Escape", 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(BacklightDialog, EnterKeepsTheColoursAsOkDoes) {
    CTravoDialogBkLightSettings dialog(env.config);
    dialog.open();
    colours.answers << QColor(90, 91, 92);
    clickKey(dialog, 108);
    QTest::keyClick(&dialog, Qt::Key_Return);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(env.config.backlight[108], (Colour{90, 91, 92}));
}

// The window's colour key and pure red (the multi-key dialog's key) are colours like any other:
// the frame shows them exactly, and the window's outline keeps the frame inside.
TEST_F(BacklightDialog, FramesInTheColourKeysStayVisible) {
    const Colour edges[] = {{1, 3, 254}, {255, 0, 0}};
    for (const Colour& edge : edges) {
        env.config.backlight.fill(edge);
        env.config.multiSelectColours.fill(edge);
        CTravoDialogBkLightSettings settings(env.config);
        CTravoDialogBkLightMultiSelect multiKey(env.config);
        for (KeyColourDialog* dialog :
             {static_cast<KeyColourDialog*>(&settings), static_cast<KeyColourDialog*>(&multiKey)}) {
            const QImage shown = dialog->grab().toImage();
            const QRegion outline =
                dialog->mask().isEmpty() ? QRegion(dialog->rect()) : dialog->mask();
            for (const int key : {1, 60, 108}) {
                for (const QPoint& p : framePixels(dialog->keyRegion(key)->rect)) {
                    EXPECT_EQ(rgb(shown.pixelColor(p)), edge)
                        << dialog->metaObject()->className() << " key " << key;
                    EXPECT_TRUE(outline.contains(p))
                        << dialog->metaObject()->className() << " key " << key;
                }
            }
        }
    }
}

TEST_F(BacklightDialog, MultiKeyWithTwoKeysColoursExactlyThoseThenOkKeepsThem) {
    CTravoDialogBkLightSettings dialog(env.config);
    dialog.open();
    env.config.multiSelectFlags.fill(true);  // left over from an earlier run: cleared first
    colours.answers << QColor(200, 100, 50);
    WhenShown<CTravoDialogBkLightMultiSelect> pick([&](CTravoDialogBkLightMultiSelect& multi) {
        EXPECT_EQ(multi.workingColours, distinctColours());
        EXPECT_EQ(env.config.multiSelectColours, distinctColours());
        for (int key = 0; key < kKeyTableSize; ++key) {
            EXPECT_FALSE(env.config.multiSelectFlags[key]) << "key " << key;
        }
        clickKey(multi, 3);
        clickKey(multi, 40);
        EXPECT_TRUE(multi.isSelected(3));
        EXPECT_TRUE(multi.isSelected(40));
        clickRegion(multi, MultiKeyRegion::SetColour);
    });

    clickRegion(dialog, BacklightRegion::MultiKey);
    EXPECT_EQ(pick.shown, 1);
    EXPECT_EQ(colours.initial, QList<QColor>{QColor(0, 0, 0)});
    Colours expected = distinctColours();
    expected[3] = expected[40] = {200, 100, 50};
    EXPECT_EQ(dialog.workingBacklight, expected);
    EXPECT_EQ(env.config.backlight, distinctColours());
    EXPECT_TRUE(dialog.isVisible());

    clickRegion(dialog, BacklightRegion::Ok);
    EXPECT_EQ(env.config.backlight, expected);
}

struct MultiKeyExit {
    const char* name;
    bool chooseColour;  // "Set Color" with a colour; otherwise the dialog is closed
    int how;            // for a close: MultiKeyRegion::Close, or 0 for the Escape key
};

class MultiKeyEnds : public BacklightDialog, public ::testing::WithParamInterface<MultiKeyExit> {};

// Closed without a colour, or "Set Color" with no key picked: no key of the caller changes.
TEST_P(MultiKeyEnds, WithoutPickedKeysOrColourChangesNoKey) {
    const MultiKeyExit& c = GetParam();
    CTravoDialogBkLightSettings dialog(env.config);
    dialog.open();
    if (c.chooseColour) {
        colours.answers << QColor(9, 9, 9);
    }
    int result = -1;
    WhenShown<CTravoDialogBkLightMultiSelect> run([&](CTravoDialogBkLightMultiSelect& multi) {
        QObject::connect(&multi, &QDialog::finished, [&](int r) { result = r; });
        if (c.chooseColour) {
            clickRegion(multi, MultiKeyRegion::SetColour);
            return;
        }
        clickKey(multi, 12);  // picked, but the dialog is closed without a colour
        if (c.how == 0) {
            QTest::keyClick(&multi, Qt::Key_Escape);
        } else {
            clickRegion(multi, c.how);
        }
    });

    clickRegion(dialog, BacklightRegion::MultiKey);
    EXPECT_EQ(result, c.chooseColour ? QDialog::Accepted : QDialog::Rejected);
    EXPECT_EQ(dialog.workingBacklight, distinctColours());
    // The picks stay in the exchange area; only OK makes the caller use them.
    EXPECT_EQ(env.config.multiSelectFlags[12], !c.chooseColour);
}

INSTANTIATE_TEST_SUITE_P(Exit, MultiKeyEnds,
                         ::testing::Values(MultiKeyExit{"SetColorWithNothingPicked", true, 0},
                                           MultiKeyExit{"CloseButton", false,
                                                        MultiKeyRegion::Close},
                                           MultiKeyExit{"Escape", false, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(BacklightDialog, MultiKeySelectionTogglesAndShowsLit) {
    env.config.multiSelectColours = distinctColours();
    CTravoDialogBkLightMultiSelect multi(env.config);
    PaintRecorder paints(multi);
    show(multi, paints);
    const SkinRect key = multi.keyRegion(30)->rect;
    const QPoint face = centreOf(key);
    const QImage lit = multi.look().lit->toImage();
    const QImage background = multi.look().background->toImage();
    ASSERT_NE(lit.pixelColor(face), background.pixelColor(face));

    clickKey(multi, 30);
    EXPECT_TRUE(multi.isSelected(30));
    EXPECT_TRUE(env.config.multiSelectFlags[30]);
    ASSERT_TRUE(waitUntil([&] { return paints.paints > 0; }, 5000));
    EXPECT_TRUE(paints.painted.contains(toQRect(key)));
    EXPECT_EQ(multi.grab().toImage().pixelColor(face), lit.pixelColor(face));

    clickKey(multi, 30);
    EXPECT_FALSE(multi.isSelected(30));
    EXPECT_FALSE(env.config.multiSelectFlags[30]);
    const QImage shown = multi.grab().toImage();
    EXPECT_EQ(shown.pixelColor(face), background.pixelColor(face));
    // The frame keeps the key's colour whether it is picked or not.
    for (const QPoint& p : framePixels(key)) {
        EXPECT_EQ(rgb(shown.pixelColor(p)), env.config.multiSelectColours[30]);
    }
    EXPECT_TRUE(multi.isVisible());
}

TEST_F(BacklightDialog, MultiKeyChooserCancelledKeepsTheDialogAndItsSelection) {
    CTravoDialogBkLightMultiSelect multi(env.config);
    multi.open();
    clickKey(multi, 7);
    clickKey(multi, 8);
    clickRegion(multi, MultiKeyRegion::SetColour);  // cancelled
    EXPECT_TRUE(multi.isVisible());
    EXPECT_TRUE(multi.isSelected(7));
    EXPECT_TRUE(multi.isSelected(8));

    colours.answers << QColor(1, 2, 3);
    QTest::keyClick(&multi, Qt::Key_Return);  // Enter asks for the colour again
    EXPECT_EQ(colours.initial, (QList<QColor>{QColor(0, 0, 0), QColor(0, 0, 0)}));
    EXPECT_EQ(multi.result(), QDialog::Accepted);
    EXPECT_EQ(env.config.multiSelectRed, 1);
    EXPECT_EQ(env.config.multiSelectGreen, 2);
    EXPECT_EQ(env.config.multiSelectBlue, 3);
    EXPECT_TRUE(env.config.multiSelectFlags[7]);
    EXPECT_TRUE(env.config.multiSelectFlags[8]);
    EXPECT_FALSE(env.config.multiSelectFlags[9]);
}

// What the keyboard must receive for a colour table: begin, six chunks of 61, 61, 61, 61, 61
// and 19 bytes, end; each payload as the keyboard logs it (128 hex digits).
QStringList lightReports(const Colours& colours) {
    std::vector<oskel::Payload> reports;
    oskel::Payload begin{};
    begin[1] = 0xE1;
    reports.push_back(begin);
    std::vector<std::uint8_t> table;
    for (int key = 1; key <= kKeyCount; ++key) {
        for (const int c : colours[key]) {
            table.push_back(static_cast<std::uint8_t>(c));
        }
    }
    for (std::size_t at = 0; at < table.size(); at += 61) {
        const std::size_t n = std::min<std::size_t>(61, table.size() - at);
        oskel::Payload chunk{};
        chunk[1] = 0xE0;
        chunk[2] = static_cast<std::uint8_t>(n);
        std::copy_n(table.begin() + static_cast<std::ptrdiff_t>(at), n, chunk.begin() + 3);
        reports.push_back(chunk);
    }
    oskel::Payload end;
    end.fill(0xE6);
    reports.push_back(end);
    QStringList lines;
    for (const oskel::Payload& p : reports) {
        lines << QByteArray(reinterpret_cast<const char*>(p.data()), 64).toHex();
    }
    return lines;
}

class BacklightWrite : public ::testing::Test {
protected:
    static oskel::VirtualKeyboardOptions logging(const QTemporaryDir& dir) {
        oskel::VirtualKeyboardOptions options;
        options.logPath = dir.filePath("keyboard.log").toStdString();
        return options;
    }
    void SetUp() override {
        useBacklightPictures();
        UiSeam::install(&colours);
        env.config.backlight = distinctColours();
    }
    void TearDown() override { UiSeam::install(&env.seam); }

    QTemporaryDir logDir;
    DeviceDialogTest env{logging(logDir)};
    ColourSeam colours;
};

TEST_F(BacklightWrite, SendsTheColourTableByteForByteSaysOkAndCloses) {
    if (!env.ready()) {
        GTEST_SKIP() << env.problem;
    }
    ASSERT_EQ(lightReports(Colours{}).size(), 8);
    CTravoDialogBkLightSettings dialog(env.config);
    dialog.open();
    colours.answers << QColor(1, 3, 254) << QColor(255, 0, 0);
    clickKey(dialog, 1);
    clickKey(dialog, 108);
    const Colours written = dialog.workingBacklight;

    clickRegion(dialog, BacklightRegion::Write);
    EXPECT_EQ(colours.messages, QStringList{"OK!"});
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(env.config.backlight, written);

    // The light write is not answered: the keyboard may still be taking the last reports in.
    ASSERT_TRUE(env.keyboard->waitForReports(8, 5000));
    QFile log(logDir.filePath("keyboard.log"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QStringList logged = QString::fromLatin1(log.readAll()).split('\n', Qt::SkipEmptyParts);
    EXPECT_EQ(logged, lightReports(written));
}

struct LostCase {
    const char* name;
    const char* language;
    const char16_t* message;
};

class BacklightWriteLost : public BacklightWrite, public ::testing::WithParamInterface<LostCase> {};

// The keyboard goes away once Write has started: the failure is said, the dialog closes, and the
// colours stay in the document for the next try.
TEST_P(BacklightWriteLost, SaysItFailedClosesAndKeepsTheColours) {
    if (!env.ready()) {
        GTEST_SKIP() << env.problem;
    }
    env.config.language = GetParam().language;
    CTravoDialogBkLightSettings dialog(env.config);
    dialog.open();
    colours.answers << QColor(33, 44, 55);
    clickKey(dialog, 64);
    const Colours edited = dialog.workingBacklight;
    // Unplugged as the progress dialog comes up, before its worker sends the first report.
    struct Unplug : QObject {
        oskel::VirtualKeyboard* keyboard = nullptr;
        bool eventFilter(QObject* o, QEvent* e) override {
            if (e->type() == QEvent::Show && qobject_cast<CTravoDialogProgress*>(o) != nullptr) {
                keyboard->stop();
            }
            return false;
        }
    } unplug;
    unplug.keyboard = env.keyboard.get();
    qApp->installEventFilter(&unplug);

    clickRegion(dialog, BacklightRegion::Write);
    qApp->removeEventFilter(&unplug);
    EXPECT_EQ(colours.messages, QStringList{QString::fromUtf16(GetParam().message)});
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(env.config.backlight, edited);
    EXPECT_EQ(env.config.backlight[64], (Colour{33, 44, 55}));
}

INSTANTIATE_TEST_SUITE_P(Unplugged, BacklightWriteLost,
                         ::testing::Values(LostCase{"English", "en-US",
                                                    u"Writing to the keyboard failed!"},
                                           LostCase{"Chinese", "zh-CN", u"写入键盘失败！"}),
                         [](const auto& info) { return std::string(info.param.name); });

struct MainWindowCase {
    const char* name;
    int how;  // BacklightRegion::Ok, BacklightRegion::Write or BacklightRegion::Cancel in the
              // backlight dialog
    bool changed;
};

class MainWindowBacklight : public BacklightWrite,
                            public ::testing::WithParamInterface<MainWindowCase> {};

// The backlight button opens the dialog on the document's colours; after OK or Write the main
// window repaints and counts the new colours as unsaved work, after Cancel nothing changed.
TEST_P(MainWindowBacklight, SeesTheNewColoursAfterOkOrWrite) {
    if (!env.ready()) {
        GTEST_SKIP() << env.problem;
    }
    const MainWindowCase& c = GetParam();
    CTravoDlg main(env.config);
    ASSERT_TRUE(main.initialise());
    main.show();
    EXPECT_FALSE(main.hasUnsavedChanges());
    const Colours before = env.config.backlight;
    PaintRecorder paints(main);
    ASSERT_TRUE(waitUntil([&] { return paints.paints > 0; }, 5000));
    paints.painted = QRegion();
    paints.paints = 0;
    colours.answers << QColor(250, 0, 250);
    WhenShown<CTravoDialogBkLightSettings> edit([&](CTravoDialogBkLightSettings& dialog) {
        EXPECT_EQ(dialog.workingBacklight, before);
        clickKey(dialog, 20);
        clickRegion(dialog, c.how);
    });

    clickRegion(main, MainRegion::Backlight);
    EXPECT_EQ(edit.shown, 1);
    EXPECT_EQ(main.hasUnsavedChanges(), c.changed);
    EXPECT_EQ(env.config.backlight[20], (c.changed ? Colour{250, 0, 250} : before[20]));
    ASSERT_TRUE(waitUntil([&] { return paints.paints > 0; }, 5000));
    EXPECT_TRUE(paints.painted.contains(main.rect()));
    if (c.how == BacklightRegion::Write) {
        EXPECT_EQ(colours.messages, QStringList{"OK!"});
        ASSERT_TRUE(env.keyboard->waitForReports(8, 5000));
        EXPECT_TRUE(waitUntil([&] { return env.keyboard->lights()[19 * 3 + 2] == 250; }));
    }
}

INSTANTIATE_TEST_SUITE_P(Closed, MainWindowBacklight,
                         ::testing::Values(MainWindowCase{"Ok", BacklightRegion::Ok, true},
                                           MainWindowCase{"Write", BacklightRegion::Write, true},
                                           MainWindowCase{"Cancel", BacklightRegion::Cancel,
                                                          false}),
                         [](const auto& info) { return std::string(info.param.name); });

// A lost keyboard ends the program from inside the colour chooser over the multi-key dialog:
// the chooser closes, and each backlight window closes after it without keeping anything.
TEST_F(BacklightWrite, ALostKeyboardClosesEveryBacklightWindow) {
    if (!env.ready()) {
        GTEST_SKIP() << env.problem;
    }
    CTravoDlg main(env.config);
    ASSERT_TRUE(main.initialise());
    main.show();
    const Colours before = env.config.backlight;
    int settingsResult = -1;
    int multiKeyResult = -1;
    WhenShown<CTravoDialogBkLightSettings> settings([&](CTravoDialogBkLightSettings& dialog) {
        QObject::connect(&dialog, &QDialog::finished, [&](int r) { settingsResult = r; });
        colours.answers << QColor(5, 5, 5);
        clickKey(dialog, 9);
        clickRegion(dialog, BacklightRegion::MultiKey);
    });
    WhenShown<CTravoDialogBkLightMultiSelect> multiKey([&](CTravoDialogBkLightMultiSelect& dialog) {
        QObject::connect(&dialog, &QDialog::finished, [&](int r) { multiKeyResult = r; });
        clickKey(dialog, 5);
        colours.whileOpen = [&] {
            env.keyboard->stop();
            main.checkDevice();
        };
        clickRegion(dialog, MultiKeyRegion::SetColour);
    });

    // Should a window stay open, the test fails instead of waiting for ever.
    QTimer rescue;
    QObject::connect(&rescue, &QTimer::timeout, [] {
        if (auto* open = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            open->reject();
        }
    });
    rescue.start(5000);

    clickRegion(main, MainRegion::Backlight);
    rescue.stop();
    EXPECT_EQ(multiKey.shown, 1);
    EXPECT_EQ(multiKeyResult, QDialog::Rejected);
    EXPECT_EQ(settingsResult, QDialog::Rejected);
    EXPECT_EQ(main.endReason(), CTravoDlg::EndReason::KeyboardLost);
    EXPECT_EQ(colours.messages, QStringList{"Keyboard is not connected"});
    for (QWidget* w : QApplication::topLevelWidgets()) {
        EXPECT_FALSE(w->isVisible()) << w->metaObject()->className();
    }
    EXPECT_EQ(env.config.backlight, before);
}

}  // namespace
