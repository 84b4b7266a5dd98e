#include "SkinResources.h"

#include <QFile>
#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <QWidget>
#include <future>

#include "SkinDialog.h"

namespace {
SkinResources* currentResources = nullptr;
}

SkinResources::SkinResources() : dark(toQColor(kDarkColor)) {
    for (int n = 1; n < kFontCount; ++n) {
        fonts[n].setPixelSize(n);
    }
}

QString SkinResources::pictureName(int id) {
    return QStringLiteral(":/skin/%1.png").arg(id);
}

bool SkinResources::loadPictures(QString* missing) {
    auto fail = [missing](int id) {
        if (missing != nullptr) {
            *missing = pictureName(id);
        }
        return false;
    };
    for (const int id : kPictureIds) {
        if (!QFile::exists(pictureName(id))) {
            return fail(id);
        }
        known[id] = true;
    }
    // Decoding is most of the start-up's picture work: the three run side by side.
    std::array<std::future<QImage>, kStartPictures.size()> decoding;
    for (std::size_t i = 0; i < kStartPictures.size(); ++i) {
        decoding[i] = std::async(std::launch::async,
                                 [id = kStartPictures[i]] { return QImage(pictureName(id)); });
    }
    bool complete = true;
    for (std::size_t i = 0; i < kStartPictures.size(); ++i) {
        const QImage image = decoding[i].get();
        if (image.isNull() && complete) {
            complete = fail(kStartPictures[i]);
        } else if (!image.isNull()) {
            pictures[kStartPictures[i]] = QPixmap::fromImage(image);
        }
    }
    return complete;
}

void SkinResources::freePictures() {
    pictures.clear();
    known.clear();
}

const QPixmap* SkinResources::picture(int id) const {
    auto it = pictures.find(id);
    if (it == pictures.end()) {
        if (known.find(id) == known.end()) {
            return nullptr;
        }
        QPixmap decoded(pictureName(id));
        if (decoded.isNull()) {
            return nullptr;
        }
        it = pictures.emplace(id, std::move(decoded)).first;
    }
    return &it->second;
}

void SkinResources::setPicture(int id, const QPixmap& picture) {
    pictures[id] = picture;
}

const QFont& SkinResources::font(int n) const {
    return n >= 0 && n < kFontCount ? fonts[n] : fonts[0];
}

SkinResources* SkinResources::current() {
    return currentResources;
}

void SkinResources::setCurrent(SkinResources* resources) {
    currentResources = resources;
}

const QFont& skinFont(int n) {
    static const SkinResources fallback;
    const SkinResources* resources = SkinResources::current();
    return (resources != nullptr ? *resources : fallback).font(n);
}

void applyTextBoxTheme(QWidget& box) {
    const SkinResources* resources = SkinResources::current();
    const QBrush dark =
        resources != nullptr ? resources->darkBrush() : QBrush(toQColor(kDarkColor));
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
