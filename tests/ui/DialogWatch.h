// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Watches a device dialog from outside while it runs modally: records its bar before every
// progress message and when it hides, and clicks a region when it shows or at a given progress
// message. Installed on the application, so it sees dialogs made inside the code under test.

#include <QDialog>
#include <QEvent>
#include <QObject>
#include <QPoint>
#include <QTest>
#include <QTimer>
#include <functional>
#include <vector>

#include "SkinDialog.h"
#include "WindowNotifyTarget.h"

inline QPoint regionCentre(SkinDialog& dialog, int regionId) {
    const SkinRegion& r = dialog.regionById(regionId);
    return QPoint((r.rect.left + r.rect.right) / 2, (r.rect.top + r.rect.bottom) / 2);
}

inline void clickRegion(SkinDialog& dialog, int regionId) {
    QTest::mouseClick(&dialog, Qt::LeftButton, Qt::NoModifier, regionCentre(dialog, regionId));
}

template <typename Dialog>
class DialogWatch : public QObject {
public:
    DialogWatch() { qApp->installEventFilter(this); }
    ~DialogWatch() override { qApp->removeEventFilter(this); }

    struct Sample {
        int percent;
        int barWidth;
    };
    std::vector<Sample> samples;  // before each progress message, and when the dialog hides
    int progressMessages = 0;
    int doneMessages = 0;

    int clickOnShow = 0;      // regionId clicked once the dialog has shown
    int clickAtProgress = 0;  // regionId clicked at progress message number `atProgress`
    int atProgress = 1;
    std::function<void(Dialog&)> onProgress;  // called before every progress message

protected:
    bool eventFilter(QObject* object, QEvent* e) override {
        auto* dialog = qobject_cast<Dialog*>(object);
        if (dialog == nullptr) {
            return false;
        }
        if (e->type() == DeviceMessageEvent::typeFor(WM_TRANSFER_PROGRESS)) {
            ++progressMessages;
            samples.push_back({dialog->percent, dialog->barWidth()});
            if (onProgress) {
                onProgress(*dialog);
            }
            if (clickAtProgress != 0 && progressMessages == atProgress) {
                clickRegion(*dialog, clickAtProgress);
            }
        } else if (e->type() == DeviceMessageEvent::typeFor(WM_TRANSFER_DONE)) {
            ++doneMessages;
        } else if (e->type() == QEvent::Show && clickOnShow != 0) {
            const int id = clickOnShow;
            QTimer::singleShot(0, dialog, [dialog, id] { clickRegion(*dialog, id); });
        } else if (e->type() == QEvent::Hide) {
            samples.push_back({dialog->percent, dialog->barWidth()});
        }
        return false;
    }
};

// Shows the dialog without a nested loop and waits for it to end; the result, or -1 when it was
// still open after `timeoutMs`.
int openAndWait(QDialog& dialog, int timeoutMs = 10000);
