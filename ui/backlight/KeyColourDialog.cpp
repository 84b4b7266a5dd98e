// SPDX-License-Identifier: GPL-2.0-or-later
#include "KeyColourDialog.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>
#include <algorithm>

#include "SkinResources.h"
#include "SkinSetup.h"

QRect keyFrameArea(const SkinRect& key) {
    return toQRect(key).adjusted(-kKeyFrameWidth, -kKeyFrameWidth, kKeyFrameWidth, kKeyFrameWidth);
}

void paintKeyFrame(QPainter& painter, const SkinRect& key, const QColor& colour) {
    const int w = kKeyFrameWidth;
    const int tall = key.height() + 2 * w;
    painter.fillRect(QRect(key.left - w, key.top - w, w, tall), colour);
    painter.fillRect(QRect(key.right, key.top - w, w, tall), colour);
    painter.fillRect(QRect(key.left, key.top - w, key.width(), w), colour);
    painter.fillRect(QRect(key.left, key.bottom, key.width(), w), colour);
}

QColor toQColor(const Colour& colour) {
    return QColor(std::clamp(colour[0], 0, 255), std::clamp(colour[1], 0, 255),
                  std::clamp(colour[2], 0, 255));
}

QColor frameDrawnAs(const Colour& colour) {
    const QColor drawn = toQColor(colour);
    return drawn == QColor(0, 0, 0) ? kOffKeyFrameColour : drawn;
}

Colour toColour(const QColor& colour) {
    const QColor rgb = colour.toRgb();
    return {rgb.red(), rgb.green(), rgb.blue()};
}

KeyColourDialog::KeyColourDialog(KeyboardConfig& config, SkinWindow window, QWidget* parent)
    : SkinDialog(skinRegionCount(window), parent), config(config) {
    showLanguageOf(config.language);
    fillSkinRegions(window, regions);
    keyRegionIndex.fill(-1);
    for (std::size_t i = 0; i < regions.size(); ++i) {
        const int key = regions[i].keyIndex;
        if (regions[i].isActive() && key >= 1 && key <= kKeyCount && keyRegionIndex[key] < 0) {
            keyRegionIndex[key] = static_cast<int>(i);
        }
    }
    setUpSkin(skinLook(window));
}

SkinRegion* KeyColourDialog::keyRegion(int keyIndex) {
    if (keyIndex < 1 || keyIndex > kKeyCount || keyRegionIndex[keyIndex] < 0) {
        return nullptr;
    }
    return &regions[static_cast<std::size_t>(keyRegionIndex[keyIndex])];
}

const SkinRegion* KeyColourDialog::keyRegion(int keyIndex) const {
    return const_cast<KeyColourDialog*>(this)->keyRegion(keyIndex);
}

int KeyColourDialog::keyOfCommand(int regionId) const {
    const int index = regionIndexById(regionId);
    const SkinRegion& r = regions[static_cast<std::size_t>(index)];
    if (r.regionId != regionId || r.keyIndex < 1 || r.keyIndex > kKeyCount) {
        return 0;
    }
    return r.keyIndex;
}

void KeyColourDialog::repaintKey(int keyIndex) {
    if (const SkinRegion* r = keyRegion(keyIndex)) {
        update(keyFrameArea(r->rect));
    }
}

SkinAccess KeyColourDialog::describeRegion(int index) const {
    SkinAccess a = SkinDialog::describeRegion(index);
    const SkinRegion& r = regions[static_cast<std::size_t>(index)];
    if (a.presented() && r.keyIndex >= 1 && r.keyIndex <= kKeyCount) {
        const QColor c = toQColor(frameColour(r.keyIndex));
        a.description = QStringLiteral("RGB(%1, %2, %3)").arg(c.red()).arg(c.green()).arg(c.blue());
        if (keysToggle()) {
            a.checkable = true;
            a.checked = r.lit;
        }
    }
    return a;
}

void KeyColourDialog::paintEvent(QPaintEvent* e) {
    QPainter painter(this);
    const QRect dirty = e->rect();
    if (look().background != nullptr) {
        drawPicturePart(painter, dirty, *look().background, dirty);
    }
    for (const SkinRegion& r : regions) {
        if (r.isActive()) {
            paintRegion(painter, r, dirty);
        }
    }
    paintFocusRing(painter);
    painter.end();
    regionsChanged();
}

void KeyColourDialog::paintRegion(QPainter& painter, const SkinRegion& region,
                                  const QRect& dirty) const {
    const bool key = region.keyIndex >= 1 && region.keyIndex <= kKeyCount;
    const QRect rect = toQRect(region.rect);
    if (!(key ? keyFrameArea(region.rect) : rect).intersects(dirty)) {
        return;
    }
    if (key) {
        paintKeyFrame(painter, region.rect, frameDrawnAs(frameColour(region.keyIndex)));
    }
    if (region.lit && look().lit != nullptr) {
        drawPicturePart(painter, rect, *look().lit, rect);
    }
    if (region.textOnly && region.captionVisible) {
        paintCaption(painter, region);
    }
}
