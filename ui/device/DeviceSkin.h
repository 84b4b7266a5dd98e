// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The two device dialogs' regions, pictures and placed controls, from their geometry tables.
// Kept apart from the dialogs because the tables and the configuration document both name the
// key count.

#include <QRect>

class QPainter;
class QPixmap;
class SkinDialog;

enum class DeviceWindow { Progress, Firmware };

// Fills the window's regions and gives it its pictures and colour key (sized and centred).
void setUpDeviceSkin(SkinDialog& dialog, DeviceWindow window);
// Size of the window's region array.
int deviceRegionCount(DeviceWindow window);
// The strip the bar fills from the lit picture: 290 pixels at 100 %.
QRect deviceBarArea(DeviceWindow window);
// The bar's filled width in pixels at `percent` (clamped to 0..100).
int deviceBarWidth(DeviceWindow window, int percent);
// Draws the filled part of the bar, copied from the lit picture (nothing when there is none).
void paintDeviceBar(QPainter& painter, DeviceWindow window, int percent, const QPixmap* lit);
// A child control's rectangle (1001 version box, 1002 file box); empty when there is none.
QRect deviceControlRect(DeviceWindow window, int controlId);
