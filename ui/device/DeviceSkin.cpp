// SPDX-License-Identifier: GPL-2.0-or-later
#include "DeviceSkin.h"

#include <QPainter>
#include <QPixmap>
#include <algorithm>

#include "SkinDialog.h"
#include "SkinGeometry.h"
#include "SkinResources.h"
#include "SkinSetup.h"

namespace {

SkinWindow skinWindowOf(DeviceWindow window) {
    return window == DeviceWindow::Progress ? SkinWindow::Progress : SkinWindow::Firmware;
}

}  // namespace

void setUpDeviceSkin(SkinDialog& dialog, DeviceWindow window) {
    fillSkinRegions(skinWindowOf(window), dialog.regions);
    dialog.setUpSkin(skinLook(skinWindowOf(window)));
}

int deviceRegionCount(DeviceWindow window) {
    return skinRegionCount(skinWindowOf(window));
}

QRect deviceBarArea(DeviceWindow window) {
    for (const ControlSpec& c : windowSkin(skinWindowOf(window)).controls) {
        if (c.kind == ControlKind::ProgressBar) {
            return QRect(c.rect.left, c.rect.top, c.rect.width(), c.rect.height());
        }
    }
    return {};
}

int deviceBarWidth(DeviceWindow window, int percent) {
    return std::clamp(percent, 0, 100) * deviceBarArea(window).width() / 100;
}

void paintDeviceBar(QPainter& painter, DeviceWindow window, int percent, const QPixmap* lit) {
    const QRect area = deviceBarArea(window);
    const QRect bar(area.left(), area.top(), deviceBarWidth(window, percent), area.height());
    if (bar.width() > 0 && lit != nullptr) {
        drawPicturePart(painter, bar, *lit, bar);
    }
}

QRect deviceControlRect(DeviceWindow window, int controlId) {
    return toQRect(skinControlRect(skinWindowOf(window), controlId));
}
