// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// A scroll bar painted from a skin picture: arrows, track and thumb, each in a normal, hover and
// pressed look.
//
// The skin is 9 square cells wide and 3 high. Columns 0-3 are the vertical bar's up arrow, down
// arrow, thumb and track; columns 4-7 the horizontal bar's; column 8 is unused. Rows: normal,
// hover, pressed.
//
// The bar never moves its own position for arrow and page requests: it tells its owner through
// scrollRequest(), and the owner answers with setScrollInfo(), as with a standard scroll bar.
// A press on an arrow or the track requests at once, then again after 500 ms and every 100 ms
// while held; dragging the thumb reports SB_THUMBTRACK positions and SB_THUMBPOSITION at the end.

#include <QTimer>
#include <QWidget>

class QPixmap;

// Scroll request codes; also the part codes of the bar (the thumb is SB_THUMBTRACK).
constexpr int SB_LINEUP = 0;
constexpr int SB_LINEDOWN = 1;
constexpr int SB_PAGEUP = 2;
constexpr int SB_PAGEDOWN = 3;
constexpr int SB_THUMBPOSITION = 4;
constexpr int SB_THUMBTRACK = 5;

// Which fields of a ScrollInfo a call sets or asks for.
constexpr unsigned SIF_RANGE = 0x1;
constexpr unsigned SIF_PAGE = 0x2;
constexpr unsigned SIF_POS = 0x4;
constexpr unsigned SIF_TRACKPOS = 0x10;
constexpr unsigned SIF_ALL = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_TRACKPOS;

struct ScrollInfo {
    unsigned cbSize = sizeof(ScrollInfo);
    unsigned fMask = 0;
    int nMin = 0;
    int nMax = 0;
    unsigned nPage = 0;
    int nPos = 0;
    int nTrackPos = -1;  // -1 while no drag is in progress
};

class CSkinScrollBar : public QWidget {
    Q_OBJECT

public:
    // Where the parts lie along the bar's axis, in pixels from its start.
    struct Geometry {
        int cell = 0;    // s: the skin's cell size, the bar's thickness
        int length = 0;  // L
        int track = 0;   // L - 2s, at least 0
        int thumb = 0;   // drawn thumb length; 0 when not drawn
        int free = 0;    // track - thumb
        int arrow = 0;   // s, or L / 2 without a track
        int span = 0;    // nMax - nMin - nPage + 1, at least 0
        int offset = 0;  // thumb start after the first arrow
    };

    CSkinScrollBar(Qt::Orientation orientation, QWidget* parent = nullptr);

    // Takes the skin (not owned) and gives the bar the skin's cell as thickness, keeping its
    // place and length.
    void SetSkinBitmap(const QPixmap* skin);

    // Copies the fields named by fMask (nTrackPos is never taken over). With `redraw`, the track
    // and the thumb are repainted. Always true.
    bool setScrollInfo(const ScrollInfo& info, bool redraw = true);
    // Fills the fields named by fMask. Always true.
    bool getScrollInfo(ScrollInfo& info) const;

    Qt::Orientation orientation() const { return axis; }
    int cellSize() const { return cell; }

    // The parts' geometry for painting, and for the hit test (which keeps the 6-pixel thumb even
    // when the page covers the whole range).
    Geometry partGeometry(bool forHitTest = false) const;
    // The part under a point: SB_LINEUP, SB_LINEDOWN, SB_PAGEUP, SB_PAGEDOWN, SB_THUMBTRACK, or -1.
    int hitPart(QPoint point) const;
    // The part's rectangle in the bar's coordinates (empty for an empty part).
    QRect partRect(int part, bool forHitTest = false) const;

    // The state the painting shows; read by tests.
    int pressedPart() const { return pressed; }
    int hoverPart() const { return hovering; }
    bool isDragging() const { return dragging; }
    bool isRepeating() const { return repeating; }
    const QTimer& delayTimer() const { return timer200; }
    const QTimer& repeatTimer() const { return timer100; }

    // The repeat timers' handler: kDelayTimer ends the 500 ms wait and starts repeating,
    // kRepeatTimer is one repeat. The timers call it; tests may too.
    static constexpr int kDelayTimer = 200;
    static constexpr int kRepeatTimer = 100;
    void onTimer(int timerId);

signals:
    // The notification of a vertical (WM_VSCROLL) or horizontal (WM_HSCROLL) bar: an arrow or
    // page code with position 0, or SB_THUMBTRACK / SB_THUMBPOSITION with the dragged position.
    void scrollRequest(CSkinScrollBar* bar, int code, int position);

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void leaveEvent(QEvent* e) override;

private:
    void repeatStep();
    void moveTo(QPoint point);
    void request(int code, int position = 0);
    int along(QPoint point) const;
    QRect axisRect(int start, int size) const;
    QRect trackArea() const;
    int rowOf(int part) const;
    void drawCell(QPainter& painter, int column, int row, const QRect& target) const;
    void drawThumb(QPainter& painter, const QRect& target, int row) const;
    void tileTrack(QPainter& painter, const QRect& target) const;
    int maxPosition() const;
    int barLength() const;

    const QPixmap* skin = nullptr;
    int cell = 0;
    ScrollInfo info;
    bool dragging = false;
    QPoint pressPoint;
    int pressPosition = 0;
    int pressed = -1;
    bool repeating = false;
    int hovering = -1;
    bool outside = false;
    bool tracking = false;
    QPoint lastPoint{-1, -1};
    Qt::Orientation axis;
    QTimer timer200;  // the first repeat, 500 ms after the press
    QTimer timer100;  // each further repeat, every 100 ms
};
