// SPDX-License-Identifier: GPL-2.0-or-later
// The skinned scroll bar: part geometry, the hit test, press-and-repeat, thumb dragging and the
// rows of the skin it paints from. A synthetic skin gives every cell its own colour.
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <memory>

#include "CSkinScrollBar.h"

namespace {

constexpr int kCell = 15;

QColor cellColor(int column, int row) {
    return QColor(20 + column * 25, 40 + row * 80, 7);
}

QPixmap makeSkin() {
    QPixmap skin(9 * kCell, 3 * kCell);
    QPainter p(&skin);
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 9; ++column) {
            p.fillRect(column * kCell, row * kCell, kCell, kCell, cellColor(column, row));
        }
    }
    return skin;
}

struct Range {
    int nMin, nMax;
    unsigned nPage;
    int nPos;
};

}  // namespace

class SkinScrollBarTest : public QObject {
    Q_OBJECT

    QPixmap skin;
    std::unique_ptr<QWidget> owner;
    CSkinScrollBar* bar = nullptr;
    QList<QPair<int, int>> requests;  // code, position

    void makeBar(Qt::Orientation orientation, int length, Range range) {
        owner = std::make_unique<QWidget>();
        owner->resize(400, 400);
        bar = new CSkinScrollBar(orientation, owner.get());
        if (orientation == Qt::Vertical) {
            bar->setGeometry(10, 10, 40, length);
        } else {
            bar->setGeometry(10, 10, length, 40);
        }
        bar->SetSkinBitmap(&skin);
        setRange(range);
        requests.clear();
        connect(bar, &CSkinScrollBar::scrollRequest, this,
                [this](CSkinScrollBar*, int code, int position) {
                    requests.append({code, position});
                });
    }
    void setRange(Range r) {
        ScrollInfo info;
        info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
        info.nMin = r.nMin;
        info.nMax = r.nMax;
        info.nPage = r.nPage;
        info.nPos = r.nPos;
        bar->setScrollInfo(info, true);
    }
    int position() {
        ScrollInfo info;
        info.fMask = SIF_POS;
        bar->getScrollInfo(info);
        return info.nPos;
    }
    int trackPosition() {
        ScrollInfo info;
        info.fMask = SIF_TRACKPOS;
        bar->getScrollInfo(info);
        return info.nTrackPos;
    }
    // An owner that moves the position as a list box does: one line or one page per request.
    void answerLikeAList(int page) {
        connect(bar, &CSkinScrollBar::scrollRequest, this,
                [this, page](CSkinScrollBar*, int code, int) {
                    ScrollInfo info;
                    info.fMask = SIF_ALL;
                    bar->getScrollInfo(info);
                    const int last = info.nMax - int(info.nPage) + 1;
                    int pos = info.nPos;
                    if (code == SB_LINEUP)
                        pos -= 1;
                    if (code == SB_LINEDOWN)
                        pos += 1;
                    if (code == SB_PAGEUP)
                        pos -= page;
                    if (code == SB_PAGEDOWN)
                        pos += page;
                    info.fMask = SIF_POS;
                    info.nPos = std::clamp(pos, info.nMin, std::max(last, info.nMin));
                    bar->setScrollInfo(info, true);
                });
    }
    QColor pixel(QPoint p) { return bar->grab().toImage().pixelColor(p); }

private slots:
    void initTestCase() { skin = makeSkin(); }
    void cleanup() { owner.reset(); }

    void skinSetsTheThickness() {
        makeBar(Qt::Vertical, 200, {0, 99, 10, 0});
        QCOMPARE(bar->cellSize(), kCell);
        QCOMPARE(bar->geometry(), QRect(10, 10, kCell, 200));
        makeBar(Qt::Horizontal, 200, {0, 99, 10, 0});
        QCOMPARE(bar->geometry(), QRect(10, 10, 200, kCell));
    }

    void partGeometry_data() {
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("nMax");
        QTest::addColumn<int>("page");
        QTest::addColumn<int>("pos");
        // Along the axis: arrow, thumb start, thumb length as drawn.
        QTest::addColumn<int>("arrow");
        QTest::addColumn<int>("thumbStart");
        QTest::addColumn<int>("thumb");
        QTest::newRow("at the start") << 200 << 99 << 10 << 0 << 15 << 15 << 17;
        QTest::newRow("in the middle") << 200 << 99 << 10 << 45 << 15 << 15 + 76 << 17;
        QTest::newRow("at the end") << 200 << 99 << 10 << 90 << 15 << 15 + 153 << 17;
        QTest::newRow("tiny page keeps 6 pixels") << 200 << 999 << 1 << 0 << 15 << 15 << 6;
        QTest::newRow("page covers the range: no thumb") << 200 << 9 << 10 << 0 << 15 << 100 << 0;
        QTest::newRow("track below 6: no thumb") << 34 << 99 << 10 << 0 << 15 << 15 << 0;
        QTest::newRow("shorter than two cells: half each") << 20 << 99 << 10 << 0 << 10 << 10 << 0;
        QTest::newRow("position beyond the range stays on the track")
            << 200 << 99 << 10 << 500 << 15 << 15 + 153 << 17;
    }
    void partGeometry() {
        QFETCH(int, length);
        QFETCH(int, nMax);
        QFETCH(int, page);
        QFETCH(int, pos);
        QFETCH(int, arrow);
        QFETCH(int, thumbStart);
        QFETCH(int, thumb);
        for (const auto orientation : {Qt::Vertical, Qt::Horizontal}) {
            makeBar(orientation, length, {0, nMax, unsigned(page), pos});
            const CSkinScrollBar::Geometry g = bar->partGeometry();
            QCOMPARE(g.arrow, arrow);
            QCOMPARE(g.arrow + g.offset, thumbStart);
            QCOMPARE(g.thumb, thumb);
            auto along = [&](int a, int n) {
                return orientation == Qt::Vertical ? QRect(0, a, kCell, n) : QRect(a, 0, n, kCell);
            };
            QCOMPARE(bar->partRect(SB_LINEUP), along(0, arrow));
            QCOMPARE(bar->partRect(SB_LINEDOWN), along(length - arrow, arrow));
            if (thumb > 0) {
                QCOMPARE(bar->partRect(SB_THUMBTRACK), along(thumbStart, thumb));
            } else {
                QVERIFY(bar->partRect(SB_THUMBTRACK).isEmpty());
            }
        }
    }

    void hitTest_data() {
        QTest::addColumn<int>("along");
        QTest::addColumn<int>("part");
        QTest::newRow("before the bar") << -1 << -1;
        QTest::newRow("up arrow") << 0 << SB_LINEUP;
        QTest::newRow("last pixel of the up arrow") << 14 << SB_LINEUP;
        QTest::newRow("page up") << 50 << SB_PAGEUP;
        QTest::newRow("thumb") << 95 << SB_THUMBTRACK;
        QTest::newRow("page down") << 150 << SB_PAGEDOWN;
        QTest::newRow("down arrow") << 185 << SB_LINEDOWN;
        QTest::newRow("past the bar") << 200 << -1;
    }
    void hitTest() {
        QFETCH(int, along);
        QFETCH(int, part);
        makeBar(Qt::Vertical, 200, {0, 99, 10, 45});  // thumb at 91..107
        QCOMPARE(bar->hitPart(QPoint(5, along)), part);
        makeBar(Qt::Horizontal, 200, {0, 99, 10, 45});
        QCOMPARE(bar->hitPart(QPoint(along, 5)), part);
    }

    void aFullPageIsStillHitAsAThumb() {
        makeBar(Qt::Vertical, 200, {0, 9, 10, 0});
        QCOMPARE(bar->partGeometry().thumb, 0);
        QCOMPARE(bar->partGeometry(true).thumb, 170);
        QCOMPARE(bar->hitPart(QPoint(5, 100)), SB_THUMBTRACK);
    }

    void arrowRequestsAtOnceThenRepeats() {
        makeBar(Qt::Vertical, 200, {0, 99, 10, 0});
        answerLikeAList(10);
        QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(5, 190));
        QCOMPARE(requests.size(), 1);
        QCOMPARE(requests[0].first, SB_LINEDOWN);
        QCOMPARE(position(), 1);  // the owner moved it, not the bar
        QVERIFY(bar->delayTimer().isActive());
        QCOMPARE(bar->delayTimer().interval(), 500);
        QVERIFY(!bar->repeatTimer().isActive());

        bar->onTimer(CSkinScrollBar::kDelayTimer);
        QVERIFY(bar->isRepeating());
        QVERIFY(!bar->delayTimer().isActive());
        QVERIFY(bar->repeatTimer().isActive());
        QCOMPARE(bar->repeatTimer().interval(), 100);
        QCOMPARE(requests.size(), 2);  // one right at the switch
        bar->onTimer(CSkinScrollBar::kRepeatTimer);
        QCOMPARE(requests.size(), 3);
        QCOMPARE(position(), 3);

        QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(5, 190));
        QVERIFY(!bar->repeatTimer().isActive());
        QVERIFY(!bar->isRepeating());
        QCOMPARE(bar->pressedPart(), -1);
    }

    void releaseBeforeTheDelayStopsIt() {
        makeBar(Qt::Vertical, 200, {0, 99, 10, 5});
        QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(5, 3));
        QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(5, 3));
        QVERIFY(!bar->delayTimer().isActive());
        bar->onTimer(CSkinScrollBar::kDelayTimer);  // a late tick after release
        QCOMPARE(requests.size(), 1);
        QVERIFY(!bar->repeatTimer().isActive());
    }

    void arrowRepeatStopsAtTheRangeEnd_data() {
        QTest::addColumn<int>("pos");
        QTest::addColumn<int>("y");
        QTest::addColumn<int>("code");
        QTest::newRow("up at the start") << 0 << 3 << SB_LINEUP;
        QTest::newRow("down at the last page") << 90 << 190 << SB_LINEDOWN;
    }
    void arrowRepeatStopsAtTheRangeEnd() {
        QFETCH(int, pos);
        QFETCH(int, y);
        QFETCH(int, code);
        makeBar(Qt::Vertical, 200, {0, 99, 10, pos});
        QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(5, y));
        QCOMPARE(requests.size(), 1);  // the press always asks once
        QCOMPARE(requests[0].first, code);
        bar->onTimer(CSkinScrollBar::kDelayTimer);
        QCOMPARE(requests.size(), 1);
        QVERIFY(!bar->repeatTimer().isActive());
        QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(5, y));
    }

    void pagingStopsUnderTheCursor() {
        makeBar(Qt::Vertical, 200, {0, 99, 10, 0});
        answerLikeAList(10);
        QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(5, 150));
        bar->onTimer(CSkinScrollBar::kDelayTimer);
        for (int tick = 0; tick < 20 && bar->repeatTimer().isActive(); ++tick) {
            bar->onTimer(CSkinScrollBar::kRepeatTimer);
        }
        QVERIFY(!bar->repeatTimer().isActive());
        QVERIFY(bar->partRect(SB_THUMBTRACK, true).contains(QPoint(5, 150)));
        for (const auto& r : requests) {
            QCOMPARE(r.first, SB_PAGEDOWN);
        }
        QVERIFY(requests.size() < 20);
        QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(5, 150));
    }

    void noRepeatWhileTheCursorIsOutside() {
        makeBar(Qt::Vertical, 200, {0, 99, 10, 50});
        QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(5, 3));
        QTest::mouseMove(bar, QPoint(5, 60));
        bar->onTimer(CSkinScrollBar::kDelayTimer);
        bar->onTimer(CSkinScrollBar::kRepeatTimer);
        QCOMPARE(requests.size(), 1);
        QTest::mouseMove(bar, QPoint(5, 4));
        bar->onTimer(CSkinScrollBar::kRepeatTimer);
        QCOMPARE(requests.size(), 2);
        QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(5, 4));
    }

    void draggingTheThumbTracksAndClamps() {
        makeBar(Qt::Vertical, 200, {0, 99, 10, 0});  // thumb 15..31, free 153, span 90
        QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(5, 20));
        QVERIFY(bar->isDragging());
        QCOMPARE(trackPosition(), 0);
        QVERIFY(requests.isEmpty());
        QTest::mouseMove(bar, QPoint(5, 20 + 76));
        QCOMPARE(requests.value(0), qMakePair(SB_THUMBTRACK, 44));  // 76 * 90 / 153
        QCOMPARE(position(), 0);  // only the owner moves the position
        QTest::mouseMove(bar, QPoint(5, 1000));
        QCOMPARE(requests.last(), qMakePair(SB_THUMBTRACK, 90));
        const int count = requests.size();
        QTest::mouseMove(bar, QPoint(5, 1100));
        QCOMPARE(requests.size(), count);  // no change, no request
        QTest::mouseMove(bar, QPoint(5, -500));
        QCOMPARE(requests.last(), qMakePair(SB_THUMBTRACK, 0));
        QTest::mouseMove(bar, QPoint(5, 20 + 17));
        QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(5, 20 + 17));
        QCOMPARE(requests.last().first, SB_THUMBPOSITION);
        QCOMPARE(requests.last().second, requests[requests.size() - 2].second);
        QCOMPARE(trackPosition(), -1);
        QVERIFY(!bar->isDragging());
    }

    void setScrollInfoTakesOnlyTheMaskedFields() {
        makeBar(Qt::Vertical, 200, {0, 99, 10, 5});
        ScrollInfo info;
        info.fMask = SIF_POS | SIF_TRACKPOS;
        info.nPos = 7;
        info.nMax = 3;
        info.nTrackPos = 12;
        QVERIFY(bar->setScrollInfo(info, false));
        ScrollInfo out;
        out.fMask = SIF_ALL;
        bar->getScrollInfo(out);
        QCOMPARE(out.nPos, 7);
        QCOMPARE(out.nMax, 99);
        QCOMPARE(out.nPage, 10u);
        QCOMPARE(out.nTrackPos, -1);
    }

    void paintsTheRowOfEachState() {
        makeBar(Qt::Vertical, 200, {0, 99, 10, 45});
        owner->show();
        QVERIFY(QTest::qWaitForWindowExposed(owner.get()));
        QCOMPARE(pixel(QPoint(7, 7)), cellColor(0, 0));    // up arrow, normal
        QCOMPARE(pixel(QPoint(7, 192)), cellColor(1, 0));  // down arrow, normal
        QCOMPARE(pixel(QPoint(7, 50)), cellColor(3, 0));   // track
        QCOMPARE(pixel(QPoint(7, 99)), cellColor(2, 0));   // thumb
        QTest::mouseMove(bar, QPoint(7, 7));
        QCOMPARE(bar->hoverPart(), SB_LINEUP);
        QCOMPARE(pixel(QPoint(7, 7)), cellColor(0, 1));
        QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(7, 7));
        QCOMPARE(pixel(QPoint(7, 7)), cellColor(0, 2));
        QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(7, 7));
        QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(7, 99));
        QCOMPARE(pixel(QPoint(7, 99)), cellColor(2, 2));
        QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(7, 99));
    }

    void horizontalBarUsesItsOwnColumns() {
        makeBar(Qt::Horizontal, 200, {0, 99, 10, 45});
        owner->show();
        QVERIFY(QTest::qWaitForWindowExposed(owner.get()));
        QCOMPARE(pixel(QPoint(7, 7)), cellColor(4, 0));
        QCOMPARE(pixel(QPoint(192, 7)), cellColor(5, 0));
        QCOMPARE(pixel(QPoint(99, 7)), cellColor(6, 0));
        QCOMPARE(pixel(QPoint(50, 7)), cellColor(7, 0));
    }
};

QTEST_MAIN(SkinScrollBarTest)
#include "SkinScrollBarTest.moc"
