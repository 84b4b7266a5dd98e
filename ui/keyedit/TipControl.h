// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The key settings dialog's one tooltip: a small window in its own colours that appears a fixed
// delay after the mouse comes to rest while the tip is active. The dialog activates it over an
// option whose picture needs a name and deactivates it everywhere else.

#include <QColor>
#include <QLabel>
#include <QTimer>

class TipControl : public QLabel {
    Q_OBJECT

public:
    explicit TipControl(QWidget* owner);

    void activate(bool on);
    bool isActive() const { return active; }
    void setColors(const QColor& text, const QColor& background);
    void setDelayTime(int milliseconds);
    int delayTime() const { return showTimer.interval(); }
    void setTipText(const QString& text);
    QString tipText() const { return tip; }

    // A mouse move over the owner at `globalPoint`: the tip hides and shows again after the
    // delay, next to the point, when it is active and has a text.
    void relayMouseMove(QPoint globalPoint);
    // Shows the active tip at once next to `globalPoint`, without the delay.
    void popUp(QPoint globalPoint);

private:
    void showNow();

    QTimer showTimer;
    QString tip;
    QPoint anchor;
    bool active = false;
};
