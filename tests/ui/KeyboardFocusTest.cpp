// SPDX-License-Identifier: GPL-2.0-or-later
// The windows from the keyboard alone, on the offscreen platform at the scale the test is run
// with (OSKEL_TEST_SCALE, 1 or 2): the focus ring in the accent colour appears only once the
// keyboard is used and goes with the mouse; Tab, the arrows and Space reach and press keys and
// buttons; the key settings dialog's arrows move a list's cursor and scroll it; Enter there still
// ends the dialog. Screenshots of the ring are kept in the build's screenshots folder.
#include <QApplication>
#include <QDir>
#include <QTest>
#include <QTimer>

#include "CTravoDialogKeyMapSettings.h"
#include "KeySettingsFixture.h"
#include "MainWindowFixture.h"
#include "RegionIds.h"
#include "Theme.h"

namespace {

const QColor kAccent(rgbRed(kAccentColor), rgbGreen(kAccentColor), rgbBlue(kAccentColor));

// The share of the pixels on the ring's path (the region's outermost pixel all round, in
// screen pixels) that have the accent colour.
double ringShare(SkinDialog& w, int index) {
    w.repaint();
    const QImage shot = w.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const double scale = shot.width() / static_cast<double>(w.width());
    const QRect r = toQRect(w.regions[static_cast<std::size_t>(index)].rect);
    const QRect s(qRound(r.left() * scale), qRound(r.top() * scale), qRound(r.width() * scale),
                  qRound(r.height() * scale));
    int on = 0;
    int all = 0;
    const auto at = [&](int x, int y) {
        ++all;
        on += QColor(shot.pixel(x, y)) == kAccent ? 1 : 0;
    };
    for (int x = s.left() + 2; x < s.right() - 2; ++x) {
        at(x, s.top());
        at(x, s.bottom());
    }
    for (int y = s.top() + 2; y < s.bottom() - 2; ++y) {
        at(s.left(), y);
        at(s.right(), y);
    }
    return all > 0 ? static_cast<double>(on) / all : 0;
}

void saveShot(SkinDialog& w, const QString& name) {
    const QString folder = QStringLiteral(OSKEL_SCREENSHOT_DIR);
    QDir().mkpath(folder);
    w.grab().save(folder + QLatin1Char('/') + name);
}

QString scaleName() {
    return QStringLiteral("%1x").arg(qApp->devicePixelRatio());
}

int keyRegion(int keyIndex) {
    return kKeyRegionIdBase + keyIndex;
}

}  // namespace

class KeyboardFocusTest : public QObject, MainWindowFixture {
    Q_OBJECT

    void activate() {
        dlg->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(dlg.get()));
    }
    int focusedId() const {
        const int i = dlg->focusedRegion();
        return i >= 0 ? dlg->regions[static_cast<std::size_t>(i)].regionId : -1;
    }
    // Tab until region `id` has the focus; false after a full round without it.
    bool tabTo(int id) {
        for (int n = 0; n < 200 && focusedId() != id; ++n) {
            QTest::keyClick(dlg.get(), Qt::Key_Tab);
        }
        return focusedId() == id;
    }

private slots:
    void initTestCase() {
        quietWindowMaskNotes();
        if (!loadTestSkin(resources)) {
            QSKIP("OskelRES.rcc has not been built");
        }
        QVERIFY(keyboard.start());
        buildKeyTables(config);
    }
    void init() {
        openMainWindow();
        activate();
    }
    void cleanup() { closeMainWindow(); }

    void theRingShowsOnlyOnceTheKeyboardIsUsed() {
        // The window opens with the focus on its first control, unmarked: the mouse sees the
        // window as ever.
        const int first = dlg->focusedRegion();
        QVERIFY(first >= 0);
        QVERIFY(!dlg->focusRingShown());
        QCOMPARE(ringShare(*dlg, first), 0.0);

        QTest::keyClick(dlg.get(), Qt::Key_Tab);
        const int second = dlg->focusedRegion();
        QVERIFY(second != first);
        QVERIFY(dlg->focusRingShown());
        QVERIFY2(ringShare(*dlg, second) > 0.9,
                 qPrintable(QString::number(ringShare(*dlg, second))));
        QCOMPARE(ringShare(*dlg, first), 0.0);
        QVERIFY(tabTo(keyRegion(40)));  // a key in the middle of the picture
        saveShot(*dlg, QStringLiteral("focus-ring-main-%1.png").arg(scaleName()));
        QVERIFY(ringShare(*dlg, dlg->focusedRegion()) > 0.9);

        // A press of the mouse hides it until the keyboard is used again.
        QTest::mousePress(dlg.get(), Qt::LeftButton, {}, QPoint(600, 60));
        QTest::mouseRelease(dlg.get(), Qt::LeftButton, {}, QPoint(600, 60));
        QVERIFY(!dlg->focusRingShown());
        QCOMPARE(ringShare(*dlg, dlg->focusedRegion()), 0.0);
        QTest::keyClick(dlg.get(), Qt::Key_Right);
        QVERIFY(dlg->focusRingShown());
        QCOMPARE(focusedId(), keyRegion(40));  // the first arrow shows the ring, moves nothing
    }

    void tabGoesThroughEveryControlInReadingOrder() {
        QList<int> round;
        QTest::keyClick(dlg.get(), Qt::Key_Tab);
        const int start = focusedId();
        do {
            round << focusedId();
            QTest::keyClick(dlg.get(), Qt::Key_Tab);
        } while (focusedId() != start && round.size() < 300);
        // The twelve buttons and the 108 keys, each once.
        QCOMPARE(round.size(), 12 + 108);
        QCOMPARE(QSet<int>(round.begin(), round.end()).size(), round.size());
        // The buttons before the keys, the keys row by row: Esc, F1, F2, ... then the row below.
        const int esc = round.indexOf(keyRegion(1));
        QVERIFY(esc > round.indexOf(MainRegion::Save));
        QCOMPARE(round.at(esc + 1), keyRegion(2));
        // Shift+Tab goes back the same way.
        QTest::keyClick(dlg.get(), Qt::Key_Tab, Qt::ShiftModifier);
        QCOMPARE(focusedId(), round.last());
    }

    void arrowsAndSpaceReachAndPressAKey() {
        QVERIFY(tabTo(keyRegion(1)));  // Esc
        for (int n = 0; n < 3; ++n) {
            QTest::keyClick(dlg.get(), Qt::Key_Right);
        }
        QCOMPARE(focusedId(), keyRegion(4));  // F3
        // The information box tells what the key the keyboard has reached does.
        dlg->repaint();
        QVERIFY2(dlg->infoText().contains(QStringLiteral("上档键")), qPrintable(dlg->infoText()));
        int openedOn = 0;
        QTimer::singleShot(0, this, [&] {
            if (auto* settings =
                    qobject_cast<CTravoDialogKeyMapSettings*>(QApplication::activeModalWidget())) {
                openedOn = config.currentKey;
                settings->reject();
            }
        });
        QTest::keyClick(dlg.get(), Qt::Key_Space);
        QCOMPARE(openedOn, 4);
        // The focus stays on the key (the accessibility test sees the keyboard come back to the
        // window on a real X server).
        QCOMPARE(focusedId(), keyRegion(4));
    }

    void spaceAndEnterPressTheLevelSwitch() {
        QVERIFY(tabTo(MainRegion::Level));
        QCOMPARE(config.currentLevel, 0);
        QTest::keyClick(dlg.get(), Qt::Key_Space);
        QCOMPARE(config.currentLevel, 1);
        QTest::keyClick(dlg.get(), Qt::Key_Return);
        QCOMPARE(config.currentLevel, 0);
        QVERIFY(dlg->isVisible());  // Enter pressed the switch; it did not end the window
    }
};

// The key settings dialog's lists and its Enter.
class KeySettingsKeysTest : public QObject, KeySettingsFixture {
    Q_OBJECT

    int focusedId() const {
        const int i = dlg->focusedRegion();
        return i >= 0 ? dlg->regions[static_cast<std::size_t>(i)].regionId : -1;
    }
    bool tabTo(int id) {
        for (int n = 0; n < 200 && focusedId() != id; ++n) {
            QTest::keyClick(dlg.get(), Qt::Key_Tab);
        }
        return focusedId() == id;
    }

private slots:
    void initTestCase() {
        if (!loadTestSkin(resources)) {
            QSKIP("OskelRES.rcc has not been built");
        }
    }
    void init() {
        newDocument(10);
        for (int n = 1; n <= 12; ++n) {
            config->predefinedMacros.append(QStringLiteral("m%1").arg(n).toStdU16String());
        }
        config->predefinedMacros.scrollTo(0);
        open();
    }
    void cleanup() { dlg.reset(); }

    void arrowsMoveTheListCursorAndScrollIt() {
        QVERIFY(tabTo(header(2)));
        QTest::keyClick(dlg.get(), Qt::Key_Space);
        QCOMPARE(dlg->tab(), 2);
        const int firstRow = KeySettingsRegion::FirstMacroRow;
        QVERIFY(tabTo(firstRow));
        saveShot(*dlg, QStringLiteral("focus-ring-key-settings-%1.png").arg(scaleName()));
        QCOMPARE(dlg->macros().CursorPos, 0);
        QTest::keyClick(dlg.get(), Qt::Key_Down);
        QCOMPARE(dlg->macros().CursorPos, 1);
        QCOMPARE(focusedId(), firstRow + 1);
        QCOMPARE(dlg->workingMacro().count(), dlg->macros().childAtRow(1).count());
        QTest::keyClick(dlg.get(), Qt::Key_Up);
        QCOMPARE(dlg->macros().CursorPos, 0);
        QTest::keyClick(dlg.get(), Qt::Key_Up);  // the top: nothing above
        QCOMPARE(dlg->macros().CursorPos, 0);
        QCOMPARE(dlg->macros().ViewStartAt, 0);
        // Down past the nine rows in view scrolls the list to the next entry.
        for (int n = 0; n < 9; ++n) {
            QTest::keyClick(dlg.get(), Qt::Key_Down);
        }
        const StepList& macros = dlg->macros();
        QCOMPARE(macros.ViewStartAt + macros.CursorPos, 9);
        QVERIFY(macros.ViewStartAt > 0);
        QCOMPARE(focusedId(), firstRow + macros.CursorPos);
        QCOMPARE(dlg->workingMacro().count(), macros.childAtRow(macros.CursorPos).count());
        for (int n = 0; n < 4; ++n) {  // past the last entry the cursor stays on it
            QTest::keyClick(dlg.get(), Qt::Key_Down);
        }
        QCOMPARE(macros.ViewStartAt + macros.CursorPos, 11);
    }

    void spaceChoosesAnOptionAndEnterStillEndsTheDialog() {
        QVERIFY(tabTo(header(4)));
        QTest::keyClick(dlg.get(), Qt::Key_Space);
        QVERIFY(tabTo(KeySettingsRegion::VolumeUp));
        QTest::keyClick(dlg.get(), Qt::Key_Space);
        QVERIFY(region(KeySettingsRegion::VolumeUp).lit);
        QTest::keyClick(dlg.get(), Qt::Key_Return);
        QVERIFY(!dlg->isVisible());
    }
};

int main(int argc, char** argv) {
    if (qgetenv("OSKEL_TEST_SCALE") == "2") {
        qputenv("QT_SCALE_FACTOR", "2");
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    int failed = 0;
    {
        KeyboardFocusTest test;
        failed += QTest::qExec(&test, argc, argv);
    }
    {
        KeySettingsKeysTest test;
        failed += QTest::qExec(&test, argc, argv);
    }
    return failed;
}

#include "KeyboardFocusTest.moc"
