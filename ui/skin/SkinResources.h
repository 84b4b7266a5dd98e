// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The drawing resources every window shares: the skin pictures, the fonts and the dark brush.
//
// The application owns the one instance (CTravoApp, or a test's fixture) and installs it with
// setCurrent() before it makes its first window; windows read it through current() and never
// change or free what they get. A window made without it is a fault of the program, not of the
// user's files: current() says so and ends the program rather than drawing with stand-ins.

#include <QBitmap>
#include <QBrush>
#include <QFont>
#include <QImage>
#include <QPixmap>
#include <array>
#include <future>
#include <map>

class QIcon;
class QPainter;
class QWidget;

class SkinResources {
public:
    static constexpr int kFontCount = 20;
    static constexpr int kChildControlFont = 13;

    // Creates the fonts and the brush; no pictures yet.
    SkinResources();

    // The resource name of picture `id`: ":/skin/<id>.png", or ":/skin/<id>@2x.png" for the
    // set painted at twice the density (`scale` 2).
    static QString pictureName(int id, int scale = 1);

    // The pictures are prepared for one device pixel ratio: the screen's. Ratio 1 takes the 1x
    // set as it is. Above 1 the 2x set is taken instead, at ratio 2 as it is, at fractional
    // ratios (1.25, 1.5) scaled down to the screen's pixels once when decoded, never the 1x set
    // scaled up. The windows keep working in layout pixels: a picture's
    // deviceIndependentSize() is its layout size at every ratio.
    // Until set, the ratio is the primary screen's when the pictures are loaded.
    void setPictureRatio(double ratio);
    double pictureRatio() const;
    // The set the ratio takes: 1 or 2.
    int pictureScale() const;

    // The pictures the main window's first paint draws (background and lit), decoded at
    // start-up; the others are decoded when a window first asks for them, so the main window
    // shows without waiting for every dialog's. Its hover picture is decoded ahead once it has
    // painted (decodeAhead).
    static std::array<int, 2> startPictures();

    // Checks that every picture of the layout's list (allSkinPictures) is in the registered
    // resources, in identifier order, in the
    // set of the ratio, and starts decoding the start pictures. On the first one missing, or an
    // unreadable background, answers false and gives its resource name in `missing`. The lit
    // picture is waited for when first asked for.
    bool loadPictures(QString* missing = nullptr);
    void freePictures();

    // The picture, decoded on first use; null when it is not among the resources.
    const QPixmap* picture(int id) const;
    // Starts decoding a picture on another thread, so that picture() later finds it done or on
    // its way; nothing when it is decoded, under way or unknown.
    void decodeAhead(int id);
    // Installs a picture directly (tests draw their own).
    void setPicture(int id, const QPixmap& picture);

    // SkinFonts entry n: a font n pixels high in the platform's default face; entry 0 has the
    // default height. Out-of-range entries give entry 0.
    const QFont& font(int n) const;
    // The RGB(20,20,20) background of the text controls.
    const QBrush& darkBrush() const { return dark; }

    // The application's resources. Ends the program with a message when none are installed.
    static SkinResources& current();
    static void setCurrent(SkinResources* resources);

private:
    double ratio = 0;  // 0: the primary screen's, taken by loadPictures
    // Decoded on demand by picture(); `known` lists what loadPictures found; `decoding` holds
    // the start pictures still on their way.
    mutable std::map<int, QPixmap> pictures;
    mutable std::map<int, std::shared_future<QImage>> decoding;
    std::map<int, bool> known;
    std::array<QFont, kFontCount> fonts;
    QBrush dark;
};

// Draws the part `source` of a picture (in layout pixels) into `target`, whatever density the
// picture was painted at. Every copy out of a skin picture goes through here.
void drawPicturePart(QPainter& painter, const QRect& target, const QPixmap& picture,
                     const QRect& source);
// The picture's size in layout pixels.
QSize pictureLayoutSize(const QPixmap& picture);
// The window shape cut from a picture: one bit per layout pixel, clear where the picture has the
// key colour. At ratios above 1 each layout pixel is judged by the picture's pixel at its centre.
QBitmap pictureMask(const QPixmap& picture, const QColor& key);

// The window and notification-area icon: the skin's icon picture when present, else one drawn
// in the theme's colours.
QIcon programIcon();

// Gives a text control the theme's look: accent text on the dark brush, in every state.
void applyTextBoxTheme(QWidget& box);

// SkinFonts entry n of the application's resources.
const QFont& skinFont(int n);
