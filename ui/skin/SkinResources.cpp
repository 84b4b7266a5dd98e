// SPDX-License-Identifier: GPL-2.0-or-later
#include "SkinResources.h"

#include <QFile>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <QResource>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <cstring>
#include <future>
#include <optional>
#include <vector>

#include "SkinDialog.h"
#include "SkinGeometry.h"

namespace {
SkinResources* currentResources = nullptr;

int scaleForRatio(double ratio) {
    return ratio > 1 ? 2 : 1;
}

// The colour key of a window picture; none for the scroll-bar skin.
std::optional<QRgb> colourKeyOf(int id) {
    for (const SkinPicture& p : allSkinPictures()) {
        if (p.id == id && p.window != nullptr) {
            return qRgb(rgbRed(p.window->colorKey), rgbGreen(p.window->colorKey),
                        rgbBlue(p.window->colorKey));
        }
    }
    return std::nullopt;
}

// The picture pixel at the centre of layout coordinate `n`, for a picture of `ratio`.
int centrePixel(int n, double ratio, int limit) {
    return std::min(static_cast<int>((n + 0.5) * ratio), limit - 1);
}

// A 2x picture scaled down to a fractional ratio. Smoothing would blend the key colour into
// the outline's edge, so the key is darkened first and put back afterwards exactly where the
// layout pixel at the centre of a screen pixel is a hole: pictureMask() then cuts the same
// outline at this ratio as at 1x.
QImage scaleDown(const QImage& at2x, double ratio, std::optional<QRgb> key) {
    QImage source = at2x.convertToFormat(QImage::Format_RGB32);
    source.setDevicePixelRatio(1);
    const QSize layout = source.size() / 2;
    const QSize target(qRound(layout.width() * ratio), qRound(layout.height() * ratio));
    if (key) {
        const QRgb filler = qRgb(rgbRed(kDarkColor), rgbGreen(kDarkColor), rgbBlue(kDarkColor));
        for (int y = 0; y < source.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(source.scanLine(y));
            std::replace(line, line + source.width(), *key, filler);
        }
    }
    QImage out = source.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                     .convertToFormat(QImage::Format_RGB32);
    if (key) {
        const double back = static_cast<double>(layout.width()) / target.width();
        const double backY = static_cast<double>(layout.height()) / target.height();
        for (int y = 0; y < out.height(); ++y) {
            const int ly = std::min(static_cast<int>((y + 0.5) * backY), layout.height() - 1);
            const auto* holes = reinterpret_cast<const QRgb*>(at2x.constScanLine(ly * 2));
            auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
            for (int x = 0; x < out.width(); ++x) {
                const int lx = std::min(static_cast<int>((x + 0.5) * back), layout.width() - 1);
                if ((holes[lx * 2] | 0xFF000000u) == *key) {
                    line[x] = *key;
                }
            }
        }
    }
    out.setDevicePixelRatio(static_cast<double>(target.width()) / layout.width());
    return out;
}

// A start picture's plain pixels, shared with the resource data rather than copied; null when
// the resources hold no plain pixels for it or they were packed on a machine of the other byte
// order (the PNG serves then).
QImage plainPixels(int id, int scale) {
    const QResource resource(QStringLiteral(":/skin/%1%2.pixels")
                                 .arg(id)
                                 .arg(scale == 2 ? QStringLiteral("@2x") : QString()));
    if (!resource.isValid()) {
        return {};
    }
    auto* bytes = new QByteArray(resource.uncompressedData());
    PlainPixelsHeader header;
    if (static_cast<std::size_t>(bytes->size()) >= sizeof header) {
        std::memcpy(&header, bytes->constData(), sizeof header);
    }
    const std::size_t pixels = std::size_t{header.width} * header.height;
    if (header.magic != PlainPixelsHeader::kMagic || header.width == 0 || header.width > 16384 ||
        header.height == 0 || header.height > 16384 ||
        static_cast<std::size_t>(bytes->size()) != sizeof header + pixels * 4) {
        delete bytes;
        return {};
    }
    return QImage(
        reinterpret_cast<const uchar*>(bytes->constData() + sizeof header),
        static_cast<int>(header.width), static_cast<int>(header.height),
        static_cast<qsizetype>(header.width) * 4, QImage::Format_RGB32,
        [](void* data) { delete static_cast<QByteArray*>(data); }, bytes);
}

// Decodes picture `id` from the set of `ratio` and prepares it for that ratio. Safe on any
// thread.
QImage decodePicture(int id, double ratio) {
    const int scale = scaleForRatio(ratio);
    QImage image = plainPixels(id, scale);
    if (image.isNull()) {
        image.load(SkinResources::pictureName(id, scale));
    }
    if (image.isNull() || scale == 1) {
        return image;
    }
    // Above 2 Qt scales up the 2x set when drawing; below, it is fitted here once.
    if (ratio >= 2) {
        image.setDevicePixelRatio(2);
        return image;
    }
    return scaleDown(image.convertToFormat(QImage::Format_RGB32), ratio, colourKeyOf(id));
}

}  // namespace

SkinResources::SkinResources() : dark(toQColor(kDarkColor)) {
    for (int n = 1; n < kFontCount; ++n) {
        fonts[n].setPixelSize(n);
    }
}

std::array<int, 2> SkinResources::startPictures() {
    return startSkinPictures();
}

QString SkinResources::pictureName(int id, int scale) {
    return scale == 2 ? QStringLiteral(":/skin/%1@2x.png").arg(id)
                      : QStringLiteral(":/skin/%1.png").arg(id);
}

void SkinResources::setPictureRatio(double pictureRatio) {
    ratio = pictureRatio;
}

double SkinResources::pictureRatio() const {
    if (ratio > 0) {
        return ratio;
    }
    const QScreen* screen = qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr
                                ? QGuiApplication::primaryScreen()
                                : nullptr;
    return screen != nullptr ? screen->devicePixelRatio() : 1.0;
}

int SkinResources::pictureScale() const {
    return scaleForRatio(pictureRatio());
}

bool SkinResources::loadPictures(QString* missing) {
    // The ratio is fixed from here on: every picture of a run comes from the same set.
    ratio = pictureRatio();
    const int scale = pictureScale();
    for (const SkinPicture& p : allSkinPictures()) {
        const int id = p.id;
        if (!QFile::exists(pictureName(id, scale))) {
            if (missing != nullptr) {
                *missing = pictureName(id, scale);
            }
            return false;
        }
        known[id] = true;
    }
    // Decoding is most of the start-up's picture work (four times as much at 2x): the start
    // pictures run side by side, and the lit picture goes on decoding while the key tables and
    // the window are made. The background, which sizes and shapes the window, is waited for.
    const std::array<int, 2> start = startPictures();
    for (const int id : start) {
        decodeAhead(id);
    }
    const int background = start[0];
    if (picture(background) == nullptr) {
        if (missing != nullptr) {
            *missing = pictureName(background, scale);
        }
        return false;
    }
    return true;
}

void SkinResources::freePictures() {
    decoding.clear();
    pictures.clear();
    known.clear();
}

const QPixmap* SkinResources::picture(int id) const {
    auto it = pictures.find(id);
    if (it == pictures.end()) {
        if (known.find(id) == known.end()) {
            return nullptr;
        }
        const auto started = decoding.find(id);
        QPixmap decoded = QPixmap::fromImage(
            started != decoding.end() ? started->second.get() : decodePicture(id, pictureRatio()));
        if (started != decoding.end()) {
            decoding.erase(started);
        }
        if (decoded.isNull()) {
            return nullptr;
        }
        it = pictures.emplace(id, std::move(decoded)).first;
    }
    return &it->second;
}

void SkinResources::decodeAhead(int id) {
    if (known.find(id) == known.end() || pictures.find(id) != pictures.end() ||
        decoding.find(id) != decoding.end()) {
        return;
    }
    decoding[id] = std::async(std::launch::async, [id, r = pictureRatio()] {
                       return decodePicture(id, r);
                   }).share();
}

void SkinResources::setPicture(int id, const QPixmap& picture) {
    pictures[id] = picture;
}

void drawPicturePart(QPainter& painter, const QRect& target, const QPixmap& picture,
                     const QRect& source) {
    const qreal r = picture.devicePixelRatio();
    painter.drawPixmap(
        QRectF(target), picture,
        QRectF(source.x() * r, source.y() * r, source.width() * r, source.height() * r));
}

QSize pictureLayoutSize(const QPixmap& picture) {
    return picture.deviceIndependentSize().toSize();
}

QBitmap pictureMask(const QPixmap& picture, const QColor& key) {
    if (picture.devicePixelRatio() == 1) {
        return picture.createMaskFromColor(key, Qt::MaskInColor);
    }
    const QImage image = picture.toImage().convertToFormat(QImage::Format_RGB32);
    const QSize size = pictureLayoutSize(picture);
    if (size.isEmpty()) {
        return {};
    }
    // Width and height each by their own ratio: a fractional ratio rounds them separately.
    const double rx = static_cast<double>(image.width()) / size.width();
    const double ry = static_cast<double>(image.height()) / size.height();
    std::vector<int> columns(static_cast<std::size_t>(size.width()));
    for (int x = 0; x < size.width(); ++x) {
        columns[static_cast<std::size_t>(x)] = centrePixel(x, rx, image.width());
    }
    QImage sampled(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        const auto* from =
            reinterpret_cast<const QRgb*>(image.constScanLine(centrePixel(y, ry, image.height())));
        auto* to = reinterpret_cast<QRgb*>(sampled.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            to[x] = from[columns[static_cast<std::size_t>(x)]];
        }
    }
    return QPixmap::fromImage(sampled).createMaskFromColor(key, Qt::MaskInColor);
}

const QFont& SkinResources::font(int n) const {
    return n >= 0 && n < kFontCount ? fonts[n] : fonts[0];
}

SkinResources& SkinResources::current() {
    if (currentResources == nullptr) {
        qFatal("Oskel: a window was made before the skin resources were installed");
    }
    return *currentResources;
}

void SkinResources::setCurrent(SkinResources* resources) {
    currentResources = resources;
}

const QFont& skinFont(int n) {
    return SkinResources::current().font(n);
}

void applyTextBoxTheme(QWidget& box) {
    const QBrush& dark = SkinResources::current().darkBrush();
    QPalette palette = box.palette();
    palette.setColor(QPalette::Text, toQColor(kAccentColor));
    palette.setBrush(QPalette::Base, dark);
    palette.setBrush(QPalette::Window, dark);
    box.setPalette(palette);
}

QIcon programIcon() {
    const QPixmap fromSkin(QStringLiteral(":/skin/icon.png"));
    if (!fromSkin.isNull()) {
        return QIcon(fromSkin);
    }
    QPixmap icon(64, 64);
    icon.fill(Qt::transparent);
    QPainter p(&icon);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(toQColor(kAccentColor), 3));
    p.setBrush(toQColor(kDarkColor));
    p.drawRoundedRect(QRectF(3, 12, 58, 40), 8, 8);
    p.setPen(Qt::NoPen);
    p.setBrush(toQColor(kAccentColor));
    for (int row = 0; row < 2; ++row) {
        for (int col = 0; col < 4; ++col) {
            p.drawRoundedRect(QRectF(10 + col * 12, 19 + row * 11, 8, 7), 2, 2);
        }
    }
    p.drawRoundedRect(QRectF(16, 41, 32, 5), 2, 2);
    return QIcon(icon);
}
