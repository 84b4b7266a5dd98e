// SPDX-License-Identifier: GPL-2.0-or-later
#include "TipControl.h"

#include <QPalette>

namespace {
// Below and right of the pointer, clear of the cursor picture.
constexpr QPoint kOffset{12, 20};
}  // namespace

TipControl::TipControl(QWidget* owner)
    : QLabel(owner, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setMargin(3);
    showTimer.setSingleShot(true);
    connect(&showTimer, &QTimer::timeout, this, &TipControl::showNow);
    hide();
}

void TipControl::activate(bool on) {
    active = on;
    if (!on) {
        showTimer.stop();
        hide();
    }
}

void TipControl::setColors(const QColor& text, const QColor& background) {
    QPalette p = palette();
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Window, background);
    setPalette(p);
    setAutoFillBackground(true);
}

void TipControl::setDelayTime(int milliseconds) {
    showTimer.setInterval(milliseconds);
}

void TipControl::setTipText(const QString& text) {
    if (text == tip) {
        return;
    }
    tip = text;
    setText(text);
    adjustSize();
}

void TipControl::relayMouseMove(QPoint globalPoint) {
    anchor = globalPoint;
    if (!active || tip.isEmpty()) {
        hide();
        return;
    }
    if (!isVisible()) {
        showTimer.start();
    }
}

void TipControl::popUp(QPoint globalPoint) {
    anchor = globalPoint;
    showTimer.stop();
    showNow();
}

void TipControl::showNow() {
    if (!active || tip.isEmpty()) {
        return;
    }
    adjustSize();
    move(anchor + kOffset);
    show();
}
