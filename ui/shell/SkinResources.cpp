#include "SkinResources.h"

namespace {
SkinResources* currentResources = nullptr;
}

SkinResources::SkinResources() : dark(QColor(20, 20, 20)) {
    for (int n = 1; n < kFontCount; ++n) {
        fonts[n].setPixelSize(n);
    }
}

QString SkinResources::pictureName(int id) { return QStringLiteral(":/skin/%1.png").arg(id); }

bool SkinResources::loadPictures(QString* missing) {
    for (const int id : kPictureIds) {
        QPixmap picture(pictureName(id));
        if (picture.isNull()) {
            if (missing != nullptr) {
                *missing = pictureName(id);
            }
            return false;
        }
        pictures[id] = picture;
    }
    return true;
}

void SkinResources::freePictures() { pictures.clear(); }

const QPixmap* SkinResources::picture(int id) const {
    const auto it = pictures.find(id);
    return it == pictures.end() ? nullptr : &it->second;
}

void SkinResources::setPicture(int id, const QPixmap& picture) { pictures[id] = picture; }

const QFont& SkinResources::font(int n) const {
    return n >= 0 && n < kFontCount ? fonts[n] : fonts[0];
}

SkinResources* SkinResources::current() { return currentResources; }

void SkinResources::setCurrent(SkinResources* resources) { currentResources = resources; }

const QFont& skinFont(int n) {
    static const SkinResources fallback;
    const SkinResources* resources = SkinResources::current();
    return (resources != nullptr ? *resources : fallback).font(n);
}
