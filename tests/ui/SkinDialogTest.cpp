// SPDX-License-Identifier: GPL-2.0-or-later
// The skin base on pictures drawn here: set-up, painting from the three pictures, captions,
// hover bookkeeping, windows that leave regions out, and device messages reaching a window
// through its NotifyTarget from another thread (and never reaching a window that has gone), and
// where the program finds the files it ships with.
#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <memory>
#include <thread>

#include "DeviceWatch.h"
#include "ProgramFiles.h"
#include "ShellTestSupport.h"
#include "SkinDialog.h"
#include "SkinResources.h"
#include "SkinSetup.h"
#include "WindowNotifyTarget.h"

namespace {

const QColor kBackground(40, 40, 60);
const QColor kHover(60, 160, 60);
const QColor kLit(200, 60, 30);
constexpr SkinColor kKey = skinRgb(0, 0, 255);

QPixmap picture(const QColor& fill) {
    QPixmap p(200, 100);
    p.fill(fill);
    QPainter painter(&p);
    painter.fillRect(0, 0, 10, 10, toQColor(kKey));  // a hole in the corner
    return p;
}

// A window of four regions: a button with its caption after it, a button on a "page" that can
// be switched off, and a caption of its own.
class TestWindow : public SkinDialog {
public:
    TestWindow(const QPixmap* bg, const QPixmap* hover, const QPixmap* lit) : SkinDialog(5) {
        showLanguageOf(captionLanguage);
        regions[0].regionId = 7;
        regions[0].rect = {20, 20, 60, 50};
        regions[1].regionId = 7;
        regions[1].rect = {20, 30, 60, 50};
        regions[1].textOnly = true;
        regions[1].setLabel(QStringLiteral("按"), QStringLiteral("Go"));
        regions[2].regionId = 201;
        regions[2].rect = {100, 20, 140, 50};
        regions[3].regionId = 9;
        regions[3].rect = {150, 60, 190, 90};
        regions[3].showCaption = true;
        regions[3].setLabel(QStringLiteral("开"), QStringLiteral("On"));
        setUpSkin({kKey, bg, hover, lit});
    }
    bool pageShown = true;
    std::string captionLanguage = "zh-CN";
    QList<int> hoverChanges;
    QList<int> commands;
    QList<std::tuple<unsigned, std::uintptr_t, std::intptr_t>> messages;

protected:
    bool regionTakesPart(int index) const override {
        return SkinDialog::regionTakesPart(index) && (regions[index].regionId < 100 || pageShown);
    }
    void hoverChanged(int index) override {
        hoverChanges << index;
        SkinDialog::hoverChanged(index);
    }
    void command(int regionId) override { commands << regionId; }
    void deviceMessage(unsigned m, std::uintptr_t w, std::intptr_t l) override {
        messages.append({m, w, l});
    }
};

}  // namespace

class SkinDialogTest : public QObject {
    Q_OBJECT

    QPixmap bg = picture(kBackground), hover = picture(kHover), lit = picture(kLit);
    // The fonts every skinned window draws its captions with, as the application installs them.
    SkinResources resources;
    std::unique_ptr<TestWindow> window;

    QColor at(QPoint p) { return window->grab().toImage().pixelColor(p); }
    bool anyPixelDiffers(const QRect& r, const QColor& from) {
        const QImage image = window->grab().toImage();
        for (int y = r.top(); y <= r.bottom(); ++y) {
            for (int x = r.left(); x <= r.right(); ++x) {
                if (image.pixelColor(x, y) != from) {
                    return true;
                }
            }
        }
        return false;
    }

private slots:
    void initTestCase() {
        quietWindowMaskNotes();
        SkinResources::setCurrent(&resources);
    }
    void cleanupTestCase() { SkinResources::setCurrent(nullptr); }
    void init() { window = std::make_unique<TestWindow>(&bg, &hover, &lit); }
    void cleanup() { window.reset(); }

    void setUpSizesShapesAndCentres() {
        QCOMPARE(window->size(), QSize(200, 100));
        QVERIFY(!window->mask().contains(QPoint(5, 5)));
        QVERIFY(window->mask().contains(QPoint(50, 50)));
        QVERIFY(window->windowFlags() & Qt::FramelessWindowHint);
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QCOMPARE(window->pos(), QPoint(screen.x() + (screen.width() - 200) / 2,
                                       screen.y() + (screen.height() - 100) / 2));
    }

    void paintsFromTheThreePictures() {
        QCOMPARE(at(QPoint(80, 80)), kBackground);
        window->regions[2].lit = true;
        QCOMPARE(at(QPoint(120, 25)), kLit);
        QCOMPARE(at(QPoint(99, 25)), kBackground);  // only the region's rectangle is copied
        window->hitTest(QPoint(25, 22));
        QCOMPARE(at(QPoint(25, 22)), kHover);
        QCOMPARE(at(QPoint(59, 22)), kHover);
        QCOMPARE(at(QPoint(60, 22)), kBackground);  // right edge is outside
        window->hitTest(QPoint(80, 80));
        QCOMPARE(at(QPoint(25, 22)), kBackground);
    }

    void captionsFollowTheirFlags() {
        const QRect caption(20, 30, 40, 20);
        const QRect own(150, 60, 40, 30);
        QVERIFY(anyPixelDiffers(caption, kBackground));  // textOnly draws its label
        QVERIFY(anyPixelDiffers(own, kBackground));      // showCaption draws it too
        window->regions[3].captionVisible = false;
        QVERIFY(!anyPixelDiffers(own, kBackground));
        window->regions[3].showCaption = false;
        window->regions[3].captionVisible = true;
        QVERIFY(!anyPixelDiffers(own, kBackground));
        window->captionLanguage = "fr-FR";  // no label for it: nothing drawn
        QVERIFY(!anyPixelDiffers(caption, kBackground));
    }

    // The windows were laid out for a narrower face than this platform's default: a caption is
    // drawn smaller where it would be cut off at its region's edge, and only there.
    void everyCaptionFitsItsRegion_data() {
        QTest::addColumn<int>("window");
        QTest::addColumn<QString>("language");
        for (int w = 0; w <= 5; ++w) {
            for (const char* language : {"zh-CN", "en-US"}) {
                QTest::addRow("window %d %s", w, language) << w << QString::fromLatin1(language);
            }
        }
    }
    void everyCaptionFitsItsRegion() {
        QFETCH(int, window);
        QFETCH(QString, language);
        std::vector<SkinRegion> regions;
        fillSkinRegions(static_cast<SkinWindow>(window), regions);
        int captions = 0;
        for (const SkinRegion& r : regions) {
            const QString text = r.labelFor(language.toStdString());
            if (text.isEmpty() || !(r.textOnly || r.showCaption)) {
                continue;
            }
            ++captions;
            const QRect rect = toQRect(r.rect);
            const QFont font = captionFont(r, text);
            QVERIFY(QFontInfo(font).pixelSize() >= 8);
            // Whether `text` fits the region in font `f`.
            const auto fits = [&](const QFont& f) {
                const QRect needed =
                    QFontMetrics(f).boundingRect(rect, captionFlags(r.textFormat), text);
                return needed.width() <= rect.width() && needed.height() <= rect.height();
            };
            QVERIFY2(fits(font),
                     qPrintable(QStringLiteral("region %1 \"%2\"").arg(r.regionId).arg(text)));
            if (fits(skinFont(r.fontSize))) {
                QCOMPARE(font, skinFont(r.fontSize));  // what fits keeps its own font
            }
        }
        QVERIFY(captions > 0);
    }

    // Text too long for any size is drawn at the smallest, not smaller.
    void aCaptionIsNeverMadeSmallerThanEightPixels() {
        SkinRegion r;
        r.rect = {0, 0, 20, 12};
        r.fontSize = 11;
        const QString text = QStringLiteral("Press play, release stop");
        QCOMPARE(QFontInfo(captionFont(r, text)).pixelSize(), 8);
        r.rect = {0, 0, 400, 20};
        QCOMPARE(captionFont(r, text), skinFont(11));
    }

    void hoverChangesOnlyWhereTheStateChanged() {
        window->hitTest(QPoint(25, 40));  // the button (its caption is never hovered)
        QCOMPARE(window->hoverChanges, QList<int>{0});
        QCOMPARE(window->regions[1].hovered, 0);
        window->hitTest(QPoint(30, 45));  // still the button
        QCOMPARE(window->hoverChanges, QList<int>{0});
        window->hitTest(QPoint(110, 30));
        QCOMPARE(window->hoverChanges, (QList<int>{0, 0, 2}));
        QCOMPARE(window->regions[0].hovered, 0);
        QCOMPARE(window->regions[2].hovered, 1);
        QCOMPARE(window->lastMousePoint, QPoint(110, 30));
    }

    void regionsLeftOutTakeNoPart() {
        QCOMPARE(window->clickScan(QPoint(110, 30)), 201);
        window->pageShown = false;
        QCOMPARE(window->clickScan(QPoint(110, 30)), -1);
        QCOMPARE(window->hitTest(QPoint(110, 30)), SkinHit::Caption);
        window->regions[2].lit = true;
        QCOMPARE(at(QPoint(120, 25)), kBackground);
    }

    void sharedIdsFindTheFirstAndUnknownIdsIndexZero() {
        QCOMPARE(window->regionIndexById(7), 0);
        QCOMPARE(window->regionIndexById(12345), 0);
        QCOMPARE(window->clickScan(QPoint(25, 40)), 7);  // the caption never steals it
    }

    void releaseGivesTheCommandAndEmptyPressesDrag() {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QTest::mouseClick(window.get(), Qt::LeftButton, {}, QPoint(25, 40));
        QCOMPARE(window->commands, QList<int>{7});
        QTest::mouseClick(window.get(), Qt::LeftButton, {}, QPoint(80, 80));
        QCOMPARE(window->commands, QList<int>{7});
        QTest::mouseClick(window.get(), Qt::RightButton, {}, QPoint(25, 40));
        QCOMPARE(window->commands, QList<int>{7});
    }

    void messagesFromAnotherThreadArriveInOrder() {
        NotifyTarget* target = window->notifyTarget();
        std::thread worker([target] {
            for (unsigned i = 0; i < 200; ++i) {
                target->post(WM_TRANSFER_PROGRESS, i, -static_cast<std::intptr_t>(i));
            }
            target->post(WM_TRANSFER_DONE, 1, 0);
        });
        worker.join();
        QTRY_COMPARE(window->messages.size(), 201);
        for (unsigned i = 0; i < 200; ++i) {
            QCOMPARE(std::get<0>(window->messages[i]), WM_TRANSFER_PROGRESS);
            QCOMPARE(std::get<1>(window->messages[i]), std::uintptr_t(i));
            QCOMPARE(std::get<2>(window->messages[i]), -std::intptr_t(i));
        }
        QCOMPARE(std::get<0>(window->messages[200]), WM_TRANSFER_DONE);
    }

    void lateMessagesAreDropped() {
        NotifyTarget* target = window->notifyTarget();
        target->post(WM_TRANSFER_PROGRESS, 1, 0);
        window->done(QDialog::Accepted);  // ends before the queued message is delivered
        target->post(WM_TRANSFER_PROGRESS, 2, 0);
        QCoreApplication::processEvents();
        QVERIFY(window->messages.isEmpty());
        // The target outlives its window: posting after the window is gone is harmless.
        NotifyTarget* orphan = nullptr;
        {
            TestWindow shortLived(&bg, &hover, &lit);
            orphan = shortLived.notifyTarget();
            orphan->post(WM_TRANSFER_DONE, 0, 0);
        }
        orphan->post(WM_TRANSFER_DONE, 1, 0);
        QCoreApplication::processEvents();
        // A new target for the same window delivers again.
        window->notifyTarget()->post(WM_HOOK_KEY, 65, 0);
        QTRY_COMPARE(window->messages.size(), 1);
        QCOMPARE(std::get<0>(window->messages[0]), WM_HOOK_KEY);
    }

    // The virtual keyboards' folder may appear only after the program started: the watch
    // follows it down and reports what happens inside.
    void deviceWatchFollowsTheKeyboardFolder() {
        QTemporaryDir runtime;
        const QByteArray before = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
        {
            DeviceWatch watch;
            QCOMPARE(DeviceWatch::virtualKeyboardFolder(), runtime.path() + "/oskel/hid");
            QSignalSpy changed(&watch, &DeviceWatch::deviceChanged);
            QVERIFY(QDir().mkpath(runtime.path() + "/oskel/hid"));
            QTRY_VERIFY(changed.count() >= 1);
            // Wait until the watch has moved down to the folder itself.
            QTRY_VERIFY_WITH_TIMEOUT(
                [&] {
                    QFile socket(runtime.path() + "/oskel/hid/probe");
                    socket.open(QIODevice::WriteOnly);
                    socket.close();
                    const int seen = changed.count();
                    QFile::remove(runtime.path() + "/oskel/hid/probe");
                    QTest::qWait(50);
                    return changed.count() > seen;
                }(),
                5000);
        }
        qputenv("XDG_RUNTIME_DIR", before);
    }

    // A build or an unpacked folder keeps the files beside the program; an installation keeps
    // them in share/oskel next to bin/. Beside the program wins; a missing file is named there.
    void shippedFilesAreFoundBesideTheProgramOrInShare() {
        QTemporaryDir root;
        QVERIFY(QDir(root.path()).mkpath(QStringLiteral("bin")));
        QVERIFY(QDir(root.path()).mkpath(QStringLiteral("share/oskel")));
        const QString bin = root.filePath(QStringLiteral("bin"));
        const auto touch = [](const QString& path) {
            QFile f(path);
            return f.open(QIODevice::WriteOnly);
        };
        const QString name = QStringLiteral("OskelRES.rcc");
        QCOMPARE(programFileIn(bin, name), bin + QStringLiteral("/OskelRES.rcc"));
        QVERIFY(touch(root.filePath(QStringLiteral("share/oskel/OskelRES.rcc"))));
        QCOMPARE(programFileIn(bin, name),
                 root.filePath(QStringLiteral("share/oskel/OskelRES.rcc")));
        QVERIFY(touch(bin + QStringLiteral("/OskelRES.rcc")));
        QCOMPARE(programFileIn(bin, name), bin + QStringLiteral("/OskelRES.rcc"));
    }
};

QTEST_MAIN(SkinDialogTest)
#include "SkinDialogTest.moc"
