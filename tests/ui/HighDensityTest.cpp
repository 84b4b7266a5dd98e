// SPDX-License-Identifier: GPL-2.0-or-later
// The program on a screen of twice the density (the offscreen platform scaled by 2): the main
// window takes the 2x pictures and keeps its layout, clicks, hover and outline in layout pixels;
// and the pictures prepared for the other ratios a screen may have.
//
// The mouse goes through the window system as a real one does (the cursor the offscreen
// platform moves for a widget would land at twice the position).
#define QTEST_QPA_MOUSE_HANDLING
#include <QApplication>
#include <QBitmap>
#include <QPaintEvent>
#include <QRegion>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <memory>

#include "CSkinScrollBar.h"
#include "KeyTables.h"
#include "MainWindowFixture.h"
#include "SkinGeometry.h"

namespace {


QColor keyColour(const WindowSkin& skin) {
    return QColor(rgbRed(skin.colorKey), rgbGreen(skin.colorKey), rgbBlue(skin.colorKey));
}

// The outline as the 1x picture cuts it: what every ratio must reproduce.
QRegion outlineAt1x(int id, const QColor& key) {
    return QRegion(QPixmap(SkinResources::pictureName(id, 1)).createMaskFromColor(key));
}

const SkinPicture& pictureInfo(int id) {
    for (const SkinPicture& p : allSkinPictures()) {
        if (p.id == id) {
            return p;
        }
    }
    qFatal("no picture %d", id);
}

// Mean difference of the colour channels, over the pixels both images have.
double meanDifference(const QImage& a, const QImage& b) {
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        for (int col = 0; col < x.width(); ++col) {
            const QRgb p = x.pixel(col, row), q = y.pixel(col, row);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
                   std::abs(qBlue(p) - qBlue(q));
        }
    }
    return sum / (3.0 * x.width() * x.height());
}

QRect doubled(const QRect& r) {
    return QRect(r.topLeft() * 2, r.size() * 2);
}

}  // namespace

class HighDensityTest : public QObject, MainWindowFixture {
    Q_OBJECT

private:
    QRect keyRect(int key) { return toQRect(dlg->regionById(kKeyRegionIdBase + key).rect); }
    // A grab of the window as the screen shows it, in screen pixels.
    QImage shown() { return dlg->grab().toImage().convertToFormat(QImage::Format_RGB32); }
    static QImage picture2x(int id) {
        return QImage(SkinResources::pictureName(id, 2)).convertToFormat(QImage::Format_RGB32);
    }

private slots:
    void initTestCase() {
        quietWindowMaskNotes();
        QCOMPARE(QGuiApplication::primaryScreen()->devicePixelRatio(), 2.0);
        if (!loadTestSkin(resources)) {
            QSKIP("OskelRES.rcc has not been built");
        }
        QVERIFY(keyboard.start());
        buildKeyTables(config);
    }

    void init() { openMainWindow(); }
    void cleanup() { closeMainWindow(); }

    void theWindowTakesThe2xSetAtItsLayoutSize() {
        QCOMPARE(resources.pictureScale(), 2);
        for (int id : {101, 102, 103}) {
            const QPixmap* p = resources.picture(id);
            QVERIFY(p != nullptr);
            QCOMPARE(p->devicePixelRatio(), 2.0);
            QCOMPARE(p->size(), QSize(2520, 1360));
            QCOMPARE(p->toImage().convertToFormat(QImage::Format_RGB32), picture2x(id));
        }
        QCOMPARE(dlg->size(), QSize(1260, 680));
        QCOMPARE(shown().size(), QSize(2520, 1360));
    }

    void theOutlineIsThe1xOutline() {
        const QRegion expected = outlineAt1x(101, keyColour(windowSkin(SkinWindow::Main)));
        QVERIFY(!expected.isEmpty());
        QCOMPARE(dlg->mask(), expected);
    }

    // What the screen shows is the 2x background, pixel for pixel, with the hovered key copied
    // from the 2x hover picture at its doubled rectangle.
    void paintingCopiesThe2xPicturesOneToOne() {
        QTest::mouseMove(dlg.get(), keyRect(30).center());
        dlg->repaint();
        const QImage screen = shown();
        const QImage background = picture2x(101), hover = picture2x(102);
        for (int key : {30, 31, 70}) {
            const QRect r = doubled(keyRect(key));
            const QImage& expected = key == 30 ? hover : background;
            QVERIFY2(screen.copy(r) == expected.copy(r), qPrintable(QString::number(key)));
        }
        QVERIFY(screen.copy(doubled(keyRect(31))) != hover.copy(doubled(keyRect(31))));
    }

    // A key click opens the key settings on that key; the dialog, drawn from its own 2x
    // pictures, keeps its layout size. Gives the key the dialog was opened on.
    int clickKey(QPoint point) {
        int keyWhileOpen = 0;
        QTimer::singleShot(0, this, [&] {
            auto* settings = qobject_cast<SkinDialog*>(QApplication::activeModalWidget());
            QVERIFY(settings != nullptr);
            keyWhileOpen = config.currentKey;
            const SkinLook& look = settings->look();
            QVERIFY(look.background != nullptr);
            QCOMPARE(look.background->devicePixelRatio(), 2.0);
            QCOMPARE(settings->size(), pictureLayoutSize(*look.background));
            QCOMPARE(settings->size(), QSize(windowSkin(SkinWindow::KeySettings).width,
                                             windowSkin(SkinWindow::KeySettings).height));
            settings->reject();
        });
        QTest::mouseClick(dlg.get(), Qt::LeftButton, {}, point);
        return keyWhileOpen;
    }

    void clicksAndHoverStayInLayoutPixels() {
        QCOMPARE(clickKey(keyRect(54).center()), 54);
        // The last pixel inside Esc is Esc; the right edge is outside.
        const QRect esc = keyRect(1);
        QCOMPARE(clickKey(esc.bottomRight()), 1);
        QCOMPARE(dlg->clickScan(QPoint(esc.right() + 1, esc.top())), -1);

        QTest::mouseMove(dlg.get(), keyRect(30).center());
        dlg->repaint();
        PaintRecorder recorder;
        dlg->installEventFilter(&recorder);
        QTest::mouseMove(dlg.get(), keyRect(31).center());
        QTRY_VERIFY(!recorder.painted.isEmpty());
        QCoreApplication::processEvents();
        QCOMPARE(recorder.painted, QRegion(keyRect(30)) + QRegion(keyRect(31)));
        QCOMPARE(dlg->regionById(kKeyRegionIdBase + 31).hovered, 1);
        QCOMPARE(dlg->regionById(kKeyRegionIdBase + 30).hovered, 0);
        dlg->removeEventFilter(&recorder);
    }

    // The scroll-bar skin at 2x keeps cells of 15 layout pixels; the up arrow on the screen is
    // the 2x cell, pixel for pixel.
    void scrollBarTakesTheSkinInLayoutPixels() {
        const QPixmap* skin = resources.picture(kScrollSkinPictureId);
        QVERIFY(skin != nullptr);
        QCOMPARE(skin->devicePixelRatio(), 2.0);
        QWidget owner;
        owner.resize(100, 200);
        auto* bar = new CSkinScrollBar(Qt::Vertical, &owner);
        bar->setGeometry(10, 10, 40, 150);
        bar->SetSkinBitmap(skin);
        QCOMPARE(bar->cellSize(), kScrollSkinCell);
        QCOMPARE(bar->width(), kScrollSkinCell);
        const QImage shownBar = bar->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(shownBar.size(), QSize(2 * kScrollSkinCell, 300));
        const QRect upArrow(0, 0, 2 * kScrollSkinCell, 2 * kScrollSkinCell);
        QCOMPARE(shownBar.copy(upArrow), picture2x(kScrollSkinPictureId).copy(upArrow));
    }

    // Other ratios: fractional ones scale the 2x set down once, ratios of 2 and more take it as
    // it is. Every ratio keeps the layout size and the 1x outline.
    void picturesForEveryRatio_data() {
        QTest::addColumn<double>("ratio");
        QTest::addColumn<int>("id");
        QTest::newRow("1 main") << 1.0 << 101;
        QTest::newRow("1.25 main") << 1.25 << 101;
        QTest::newRow("1.5 main hover") << 1.5 << 102;
        QTest::newRow("1.25 key settings, odd width") << 1.25 << 107;
        QTest::newRow("1.5 backlight") << 1.5 << 131;
        QTest::newRow("1.75 progress") << 1.75 << 139;
        QTest::newRow("1.5 scroll-bar skin") << 1.5 << kScrollSkinPictureId;
        QTest::newRow("3 main") << 3.0 << 101;
    }
    void picturesForEveryRatio() {
        QFETCH(double, ratio);
        QFETCH(int, id);
        SkinResources atRatio;
        atRatio.setPictureRatio(ratio);
        QString missing;
        QVERIFY2(atRatio.loadPictures(&missing), qPrintable(missing));
        const QPixmap* p = atRatio.picture(id);
        QVERIFY(p != nullptr);
        const SkinPicture& info = pictureInfo(id);
        const QSize layout(info.width, info.height);
        QCOMPARE(pictureLayoutSize(*p), layout);
        const double scale = ratio >= 2 ? 2 : ratio;
        const QSize pixels(qRound(layout.width() * scale), qRound(layout.height() * scale));
        QCOMPARE(p->size(), pixels);
        if (info.window != nullptr) {
            const QColor key = keyColour(*info.window);
            QCOMPARE(QRegion(pictureMask(*p, key)), outlineAt1x(id, key));
        }
        if (ratio > 1 && ratio < 2) {
            // Made from the 2x pictures: far closer to them than to the 1x ones scaled up.
            const QImage from2x =
                picture2x(id).scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            const QImage from1x =
                QImage(SkinResources::pictureName(id, 1))
                    .scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            const QRect inside = QRect(QPoint(0, 0), pixels).adjusted(20, 20, -20, -20);
            const QImage got = p->toImage().copy(inside);
            QVERIFY(meanDifference(got, from2x.copy(inside)) * 3 <
                    meanDifference(got, from1x.copy(inside)));
        }
    }
};

int main(int argc, char** argv) {
    // A screen of twice the density, as on a laptop set to 200 %.
    qputenv("QT_SCALE_FACTOR", "2");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    HighDensityTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "HighDensityTest.moc"
