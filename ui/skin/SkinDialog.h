// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The base of every window of the program: a frameless dialog painted from pictures, shaped by
// a colour key, hit-tested and clicked through its SkinRegion records, dragged by any empty spot.
//
// A window derives from SkinDialog, fills `regions` in its constructor (or before it is shown),
// calls setUpSkin() with its pictures and colour key, and overrides command() for clicks. It may
// also override:
//   - prepaint(): bring `lit` flags and the like up to date from the document before painting;
//   - paintOverlay(): draw what the pictures do not hold (texts, colour swatches, a bar);
//   - regionTakesPart(): leave regions out of painting and hit testing (tab pages);
//   - hoverChanged(): what a change of a region's hover state repaints;
//   - deviceMessage(): the messages posted to notifyTarget() by workers and the keystroke capture.
//   - describeRegion(), listName(), focusKey(), enterPressesFocus(): what the regions are to a
//     screen reader and how the keyboard reaches them (SkinAccessible.h, SkinFocus.h).
// Enter ends the dialog with accept(), Escape with reject(); override those to ask first. Once
// the keyboard has moved the focus to a region, Space presses it, and so does Enter where the
// window lets it.

#include <QDialog>
#include <QPoint>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "SkinAccessible.h"
#include "SkinRegion.h"

class QFont;
class QPixmap;
class NotifyTarget;
class SkinFocus;

// The pictures and the colour key of a window. Hover and lit pictures may be absent; all have
// the background's size.
struct SkinLook {
    SkinColor colorKey = skinRgb(255, 0, 0);
    const QPixmap* background = nullptr;
    const QPixmap* hover = nullptr;
    const QPixmap* lit = nullptr;
    // With `hover` null, the application's picture to take as hover picture when a region is
    // first drawn hovered; it is decoded in the background once the window has first painted.
    // The main window's start-up does not wait for a picture no one has pointed at yet.
    int laterHoverId = 0;
};

// What the point under the mouse is: a clickable region, one of the 6-pixel strips along the
// right and bottom edges (the windows have a fixed size, so these do nothing), or an empty spot
// that drags the window.
enum class SkinHit { Client, Right, Bottom, BottomRight, Caption };

class SkinDialog : public QDialog {
    Q_OBJECT

public:
    // `regionCount` default regions. A window without a parent shows in the task bar.
    explicit SkinDialog(int regionCount, QWidget* parent = nullptr);
    ~SkinDialog() override;

    // Fixed in size once constructed.
    std::vector<SkinRegion> regions;
    // The last cursor position in client coordinates, kept by hitTest().
    QPoint lastMousePoint{0, 0};

    // Takes the pictures, cuts the window's outline from the background's key-coloured pixels,
    // sizes the window to the background and centres it on the primary screen.
    void setUpSkin(const SkinLook& look);
    // Replaces the pictures (a tab page of its own) without moving the window; reshapes it when
    // the background changes.
    void setPictures(const QPixmap* background, const QPixmap* hover, const QPixmap* lit);
    const SkinLook& look() const { return skin; }

    // The first region with this regionId; index 0 when none has it.
    SkinRegion& regionById(int regionId);
    int regionIndexById(int regionId) const;

    // The regionId of the first clickable region holding the point, or -1.
    int clickScan(QPoint point) const;
    // Stores the point in lastMousePoint, updates every region's hover state (repainting the
    // ones that changed) and says what lies under the point.
    SkinHit hitTest(QPoint point);

    // The language the captions are drawn in: the one given to showLanguageOf, else none (no
    // caption is drawn).
    virtual std::string language() const;
    // Draws the captions in `language`, read at every paint, so a window given the document's
    // language field follows a switch at once. `language` must outlive the window.
    void showLanguageOf(const std::string& language);

    // The target to give a worker or the keystroke capture; made on first use, detached when the
    // dialog ends or is destroyed, so later messages are dropped.
    NotifyTarget* notifyTarget();

    // The command a release at the point would give; runs it. Tests and keyboard handling use it.
    void clickAt(QPoint point);

    void done(int result) override;

    // What region `index` is to the assistive technology; the default reads the region's kind,
    // captions and lit flag. Windows refine it (states, descriptions, lists).
    virtual SkinAccess describeRegion(int index) const;
    // The name of painted list `list` (SkinAccess::list).
    virtual QString listName(int list) const;
    // The name a region gets by default: the caption drawn inside it, its own caption, the
    // caption just right of a small box, its tooltip, or what its picture shows.
    QString regionName(int index) const;
    SkinAccessTracker& accessTracker();

    // The region that has the keyboard focus, -1 for none.
    int focusedRegion() const;
    bool focusRingShown() const;
    // Gives region `index` the focus with its ring showing, as the keyboard does.
    void focusRegion(int index);
    // What a click on region `index` does, for the keyboard and the press action.
    void pressRegion(int index);

protected:
    virtual bool regionTakesPart(int index) const;
    virtual void hoverChanged(int index);
    virtual void prepaint() {}
    virtual void paintOverlay(QPainter& painter, const QRect& dirty);
    virtual void command(int regionId);
    virtual void deviceMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);

    // Keys on the focused region `index` the window handles itself before the arrows move the
    // focus by position (a list moves its cursor); true when taken.
    virtual bool focusKey(int index, int key);
    // Whether Enter presses the focused region (else it ends the dialog as ever).
    virtual bool enterPressesFocus() const;
    // The focus ring over the focused region; paintEvent() draws it, a window painting itself
    // calls it last.
    void paintFocusRing(QPainter& painter) const;
    // After a change that paints nothing: tells the assistive technology.
    void regionsChanged();

    // Draws the background and every region into the dirty rectangle.
    void paintSkin(QPainter& painter, const QRect& dirty);
    void paintCaption(QPainter& painter, const SkinRegion& region) const;

    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    bool focusNextPrevChild(bool next) override;
    void showEvent(QShowEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;

private:
    friend class SkinFocus;

    const std::string* shownLanguage = nullptr;
    enum class Drag { None, Client, System, Follow };

    void reshape();
    // The hover picture, taken from the application's resources on first use.
    const QPixmap* hoverPicture();

    SkinLook skin;
    NotifyTarget* target = nullptr;
    bool hoverAheadAsked = false;
    Drag drag = Drag::None;
    QPoint dragOffset;
    std::unique_ptr<SkinAccessTracker> access;
    std::unique_ptr<SkinFocus> focus;
};

QRect toQRect(const SkinRect& r);
QColor toQColor(SkinColor c);
// Qt alignment and wrapping flags for a caption's DT_ flags.
int captionFlags(int textFormat);
// The font a region's caption `text` is drawn in: SkinFonts entry fontSize, or, when the text
// does not fit the region's rectangle in it, the largest smaller size that does, never below
// 8 pixels.
QFont captionFont(const SkinRegion& region, const QString& text);
