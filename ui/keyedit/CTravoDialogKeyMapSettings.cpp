// SPDX-License-Identifier: GPL-2.0-or-later
#include "CTravoDialogKeyMapSettings.h"

#include <QEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QRegularExpressionValidator>

#include "CSkinScrollBar.h"
#include "KeyRecorder.h"
#include "KeyTables.h"
#include "KeyboardConfig.h"
#include "RegionIds.h"
#include "SkinGeometry.h"
#include "SkinResources.h"
#include "SkinSetup.h"
#include "Theme.h"
#include "TipControl.h"

namespace {

namespace Region = KeySettingsRegion;

const QColor kEditText(rgbRed(kAccentColor), rgbGreen(kAccentColor), rgbBlue(kAccentColor));
const QColor kEditBackground(rgbRed(kDarkColor), rgbGreen(kDarkColor), rgbBlue(kDarkColor));
const QColor kTipText(0, 0, 255);
const QColor kTipBackground(255, 255, 0);
constexpr int kTipDelay = 100;
constexpr int kMouseTab = 5;

QString toQString(const std::u16string& text) {
    return QString::fromStdU16String(text);
}

const QPixmap* picture(int id) {
    return SkinResources::current().picture(id);
}

QRect controlRect(int controlId, int page, const std::string& language = {}) {
    return toQRect(skinControlRectFor(SkinWindowId::KeySettings, controlId, page, language));
}

void showControl(QWidget* w, bool shown, bool enabled = true) {
    w->setVisible(shown);
    w->setEnabled(shown && enabled);
}

// Sets a field's text only when it differs, so the caret of someone typing stays put.
void setFieldText(QLineEdit* field, const QString& text) {
    if (field->text() != text) {
        field->setText(text);
    }
}

}  // namespace

CTravoDialogKeyMapSettings::CTravoDialogKeyMapSettings(KeyboardConfig& document, QWidget* parent)
    : SkinDialog(kRegionCount, parent),
      config(document),
      recorder(std::make_unique<KeyRecorder>(*this)) {
    showLanguageOf(config.language);
    ownWindow = notifyTarget();
    tipCtrl = new TipControl(this);
    tipCtrl->activate(false);
    tipCtrl->setColors(kTipText, kTipBackground);
    tipCtrl->setDelayTime(kTipDelay);
    tipCtrl->setFont(skinFont(12));

    setUpSkin(skinLook(SkinWindowId::KeySettings, 1));
    fillSkinRegions(SkinWindowId::KeySettings, regions);
    // The window manager and the task bar show the title the picture draws.
    setWindowTitle(regionById(Region::Title).labelFor(config.language));

    createControls();
    placeControls();
    buildWorkingLists();
    loadAssignment();
}

CTravoDialogKeyMapSettings::~CTravoDialogKeyMapSettings() = default;

void CTravoDialogKeyMapSettings::createControls() {
    auto styleField = [](QWidget* w) {
        QPalette p = w->palette();
        for (QPalette::ColorGroup group :
             {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
            p.setColor(group, QPalette::Text, kEditText);
            p.setColor(group, QPalette::Base, kEditBackground);
            p.setColor(group, QPalette::Window, kEditBackground);
        }
        p.setBrush(QPalette::Base, SkinResources::current().darkBrush());
        w->setPalette(p);
        w->setFont(skinFont(SkinResources::kChildControlFont));
    };
    auto numberField = [&](QWidget* owner) {
        auto* field = new QLineEdit(owner);
        field->setValidator(
            new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), field));
        field->setFrame(false);
        styleField(field);
        field->installEventFilter(owner);
        return field;
    };
    valueEdit = numberField(this);
    delayEdit = numberField(this);
    connect(valueEdit, &QLineEdit::textChanged, this, [this] { recorder->valueEditChanged(); });
    connect(delayEdit, &QLineEdit::textChanged, this, [this] { recorder->delayEditChanged(); });

    inPlaceEdit = new QLineEdit(this);
    inPlaceEdit->setAlignment(Qt::AlignCenter);
    inPlaceEdit->setFrame(false);
    styleField(inPlaceEdit);
    inPlaceEdit->installEventFilter(this);
    showControl(inPlaceEdit, false);

    comboKeysBox = new QPlainTextEdit(this);
    comboKeysBox->setReadOnly(true);
    comboKeysBox->setFrameShape(QFrame::NoFrame);
    comboKeysBox->setTextInteractionFlags(Qt::NoTextInteraction);
    comboKeysBox->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    comboKeysBox->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    styleField(comboKeysBox);

    leftScrollBar = new CSkinScrollBar(Qt::Vertical, this);
    rightScrollBar = new CSkinScrollBar(Qt::Vertical, this);
    for (CSkinScrollBar* bar : {leftScrollBar, rightScrollBar}) {
        bar->SetSkinBitmap(picture(kScrollSkinPictureId));
        connect(bar, &CSkinScrollBar::scrollRequest, this,
                &CTravoDialogKeyMapSettings::scrollRequested);
    }
}

void CTravoDialogKeyMapSettings::placeControls() {
    // The Macro tab's captions are longer in English, so its two fields sit further right.
    valueEdit->setGeometry(controlRect(Region::CyclesBox, 2, config.language));
    delayEdit->setGeometry(controlRect(Region::DelayBox, 2, config.language));
    comboKeysBox->setGeometry(controlRect(Region::ComboKeysBox, 1));
}

void CTravoDialogKeyMapSettings::buildWorkingLists() {
    struct Copy {
        StepList& catalogue;
        const StepList& predefined;
        StepList& working;
        int view;
    };
    const Copy copies[] = {{comboList, config.predefinedCombos, currentCombo, 6},
                           {macroList, config.predefinedMacros, currentMacro, 9},
                           {emulationList, config.predefinedEmulations, currentEmulation, 9}};
    for (const Copy& c : copies) {
        c.catalogue = c.predefined;
        c.catalogue.SizeOfView = c.view;
        c.working = c.catalogue.childAtRow(c.catalogue.CursorPos);
    }
}

void CTravoDialogKeyMapSettings::loadAssignment() {
    const bool valid = KeyboardConfig::validSlot(config.currentKey, config.currentLevel);
    const KeyAssignment none;
    const KeyAssignment& slot = valid ? config.slot(config.currentKey, config.currentLevel) : none;
    int startTab = 1;
    // Every kind other than a combination shows the Uni/Combo tab in "Uniques" mode.
    uniquesMode = slot.mode == Combo ? 0 : 1;
    setModeLights(uniquesMode != 0);
    switch (slot.mode) {
        case Single:
            singleKeyCode = keyCodeOfHwCode(config, slot.hwCode);
            break;
        case Combo:
            comboList.findOrAdd(slot.steps);
            currentCombo = comboList.childAtRow(comboList.CursorPos);
            break;
        case Macro:
            macroList.findOrAdd(slot.steps);
            currentMacro = macroList.childAtRow(macroList.CursorPos);
            startTab = 2;
            break;
        case Emulation:
            emulationList.findOrAdd(slot.steps);
            currentEmulation = emulationList.childAtRow(emulationList.CursorPos);
            startTab = 3;
            break;
        case Multimedia:
        case Mouse:
        case Function:
        case Power:
            startTab = slot.mode - 1;
            chosenCodeRef(startTab) = slot.hwCode;
            break;
        default:
            break;
    }
    selectTab(startTab);
}

void CTravoDialogKeyMapSettings::selectTab(int t) {
    if (t < 1 || t > kTabCount) {
        return;
    }
    currentTab = t;
    // Each tab has its own background, hover and lit pictures.
    const SkinLook look = skinLook(SkinWindowId::KeySettings, t);
    tabBitmaps = {look.background, look.hover, look.lit};
    setPictures(tabBitmaps[0], tabBitmaps[1], tabBitmaps[2]);

    showControl(valueEdit, t == 2 || t == 3);
    showControl(delayEdit, t == 2, false);
    showControl(inPlaceEdit, false);
    showControl(comboKeysBox, t == 1);
    if (t == 3) {
        valueEdit->setGeometry(controlRect(Region::CyclesBox, 3, config.language));
    } else if (t == 2) {
        valueEdit->setGeometry(controlRect(Region::CyclesBox, 2, config.language));
    }
    tipCtrl->activate(false);
    tipRegion = -1;

    struct Bars {
        const StepList* left;
        const StepList* right;
        int page;
    };
    const Bars bars = t == 1   ? Bars{&comboList, nullptr, 6}
                      : t == 2 ? Bars{&macroList, &currentMacro, 9}
                      : t == 3 ? Bars{&emulationList, &currentEmulation, 9}
                               : Bars{nullptr, nullptr, 0};
    showControl(leftScrollBar, bars.left != nullptr);
    showControl(rightScrollBar, bars.right != nullptr);
    if (bars.left != nullptr) {
        leftScrollBar->setGeometry(controlRect(Region::LeftScrollBar, t));
        setScrollRange(leftScrollBar, bars.left->count(), bars.page);
    }
    if (bars.right != nullptr) {
        rightScrollBar->setGeometry(controlRect(Region::RightScrollBar, t));
        setScrollRange(rightScrollBar, bars.right->count(), bars.page);
    }
    refreshCaptions();
    update();
}

void CTravoDialogKeyMapSettings::setScrollRange(CSkinScrollBar* bar, int items, int page) {
    ScrollInfo info;
    info.fMask = SIF_ALL;
    info.nMin = 0;
    info.nMax = items + page - 1;
    info.nPage = static_cast<unsigned>(page);
    info.nPos = 0;
    bar->setScrollInfo(info);
}

bool CTravoDialogKeyMapSettings::regionTakesPart(int index) const {
    const int id = regions[index].regionId;
    // Ids 1 to 99 are on every tab; the others belong to tab id / 100.
    return id > 0 && (id < 100 || id / 100 == currentTab);
}

// ---- clicks ---------------------------------------------------------------------------------

void CTravoDialogKeyMapSettings::mousePressEvent(QMouseEvent* e) {
    // While a field is open or keys are being captured, a press on an empty spot is a click
    // that ends them, not the start of a window drag.
    if (e->button() == Qt::LeftButton && (inPlaceFieldOpen() || recorder->isCapturing()) &&
        clickScan(e->position().toPoint()) == -1) {
        emptyClickPending = true;
        return;
    }
    SkinDialog::mousePressEvent(e);
}

void CTravoDialogKeyMapSettings::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::RightButton) {
        recorder->contextMenu(e->position().toPoint());
        return;
    }
    if (e->button() == Qt::LeftButton && emptyClickPending) {
        emptyClickPending = false;
        command(-1);
        return;
    }
    SkinDialog::mouseReleaseEvent(e);
}

void CTravoDialogKeyMapSettings::command(int id) {
    const bool okOrCancel = id == Region::Ok || id == Region::Cancel;
    if (inPlaceFieldOpen()) {
        commitInPlaceField();
        if (!okOrCancel) {
            return;
        }
    }
    if (recorder->isCapturing()) {
        const KeyRecorder::StopOutcome outcome = recorder->stopCapture(id);
        if (outcome == KeyRecorder::StopOutcome::ClickConsumed || !okOrCancel) {
            update();
            return;
        }
    }
    if (id == Region::Ok) {
        storeOk();
        accept();
        return;
    }
    if (id == Region::Cancel || id == Region::Close) {
        reject();
        return;
    }
    if (id == Region::Clear) {
        clearTab();
    } else if (id >= Region::FirstTab && id < Region::FirstTab + Region::TabCount) {
        selectTab(id - Region::FirstTab + 1);
    } else if (id == Region::Uniques || id == Region::Combo) {
        modeChoice(id);
    } else if (id == Region::KeyRecord || id == Region::ComboRecord || id == Region::MacroRecord ||
               id == Region::EmulationRecord) {
        recorder->startCapture(id);
    } else if (id == Region::TimesPlay || id == Region::AutoDelay || id == Region::PressPlay ||
               id == Region::PressToggle || id == Region::RecordDelay) {
        recorder->optionClicked(id);
    } else if (id == Region::ComboNew || id == Region::MacroNew || id == Region::EmulationNew) {
        newEntry(id);
    } else if (id == Region::ComboDelete || id == Region::MacroRemove ||
               id == Region::EmulationRemove) {
        deleteEntry(id);
    } else if (listOfRow(id) != ListId::None) {
        rowClicked(id);
    } else if (isOptionRegion(id)) {
        optionChosen(id);
    }
    refreshCaptions();
    updateTip();
    update();
}

void CTravoDialogKeyMapSettings::setModeLights(bool uniques) {
    regionById(Region::Uniques).lit = uniques;
    regionById(Region::UniquesCaption).lit = uniques;
    regionById(Region::Combo).lit = !uniques;
    regionById(Region::ComboCaption).lit = !uniques;
}

void CTravoDialogKeyMapSettings::modeChoice(int regionId) {
    // The two options act as one toggle: a click on the lit one switches to the other.
    const int other = regionId == Region::Uniques ? Region::Combo : Region::Uniques;
    const int chosen = regionById(regionId).lit ? other : regionId;
    uniquesMode = chosen == Region::Uniques ? 1 : 0;
    setModeLights(uniquesMode != 0);
    capturingSingleKey = 0;
    recordingCombo = 0;
}

void CTravoDialogKeyMapSettings::storeOk() {
    if (!KeyboardConfig::validSlot(config.currentKey, config.currentLevel) ||
        config.currentKey < 1) {
        return;
    }
    KeyAssignment& slot = config.slot(config.currentKey, config.currentLevel);
    slot.mode = NotSet;
    switch (currentTab) {
        case 1:
            if (uniquesMode != 0) {
                const int h =
                    singleKeyCode >= 0 ? config.keyCodeToHwCode[singleKeyCode & kKeyCodeMask] : 0;
                if (h > 0) {
                    slot.hwCode = h;
                    slot.mode = Single;
                }
            } else if (currentCombo.count() > 0) {
                slot.steps = currentCombo;
                slot.mode = Combo;
            }
            config.predefinedCombos = comboList;
            break;
        case 2:
            if (currentMacro.count() > 0) {
                slot.steps = currentMacro;
                slot.mode = Macro;
            }
            config.predefinedMacros = macroList;
            break;
        case 3:
            if (currentEmulation.count() > 0) {
                slot.steps = currentEmulation;
                slot.mode = Emulation;
            }
            config.predefinedEmulations = emulationList;
            break;
        default:
            storeOption(config);
            break;
    }
}

void CTravoDialogKeyMapSettings::clearTab() {
    const auto clearPair = [this](StepList& catalogue, StepList& working) {
        catalogue.clear();
        working.clear();
        for (CSkinScrollBar* bar : {leftScrollBar, rightScrollBar}) {
            ScrollInfo info;
            info.fMask = SIF_PAGE;
            bar->getScrollInfo(info);
            setScrollRange(bar, 0, static_cast<int>(info.nPage));
        }
    };
    switch (currentTab) {
        case 1:
            singleKeyCode = -1;
            clearPair(comboList, currentCombo);
            break;
        case 2:
            clearPair(macroList, currentMacro);
            break;
        case 3:
            clearPair(emulationList, currentEmulation);
            break;
        default:
            chosenCodeRef(currentTab) = -1;
            break;
    }
}

// ---- painting -------------------------------------------------------------------------------

void CTravoDialogKeyMapSettings::prepaint() {
    refreshCaptions();
}

void CTravoDialogKeyMapSettings::refreshCaptions() {
    const auto fillRows = [this](int firstId, int rows, const StepList& list) {
        for (int r = 0; r < rows; ++r) {
            SkinRegion& row = regionById(firstId + r);
            const QString text = toQString(list.itemAtRow(r));
            row.label[config.language] = text;
            row.lit = r == list.CursorPos;
        }
    };
    switch (currentTab) {
        case 1: {
            regionById(Region::KeyName).label[config.language] =
                toQString(keyEventName(config, singleKeyCode, false));
            fillRows(Region::FirstComboRow, 6, comboList);
            QStringList keys;
            for (const std::u16string& item : currentCombo.items) {
                keys << toQString(item);
            }
            const QString joined = keys.join(QStringLiteral(" + "));
            if (comboKeysBox->toPlainText() != joined) {
                comboKeysBox->setPlainText(joined);
            }
            break;
        }
        case 2:
            fillRows(Region::FirstMacroRow, 9, macroList);
            fillRows(Region::FirstMacroStepRow, 9, currentMacro);
            setFieldText(valueEdit, QString::number(currentMacro.Cycles));
            setFieldText(delayEdit, QString::number(currentMacro.Delay));
            regionById(Region::TimesPlay).lit = currentMacro.PlayMode == 0;
            regionById(Region::PressPlay).lit = currentMacro.PlayMode == 1;
            regionById(Region::PressToggle).lit = currentMacro.PlayMode == 2;
            regionById(Region::AutoDelay).lit = currentMacro.IsAutoInterval;
            regionById(Region::RecordDelay).lit = !currentMacro.IsAutoInterval;
            delayEdit->setEnabled(currentMacro.IsAutoInterval);
            break;
        case 3:
            fillRows(Region::FirstEmulationRow, 9, emulationList);
            fillRows(Region::FirstEmulationStepRow, 9, currentEmulation);
            setFieldText(valueEdit, QString::number(currentEmulation.Delay));
            break;
        default: {
            const int chosen = chosenCodeRef(currentTab);
            for (std::size_t i = 0; i < regions.size(); ++i) {
                SkinRegion& r = regions[i];
                if (isOptionRegion(r.regionId) && r.regionId / 100 == currentTab) {
                    r.lit = r.optionCode == chosen;
                }
            }
            break;
        }
    }
}

// ---- hover, tooltip, keys and posted messages -----------------------------------------------

void CTravoDialogKeyMapSettings::updateTip() {
    int hovered = -1;
    for (std::size_t i = 0; i < regions.size(); ++i) {
        const SkinRegion& r = regions[i];
        if (regionTakesPart(static_cast<int>(i)) && !r.textOnly &&
            r.contains(lastMousePoint.x(), lastMousePoint.y())) {
            hovered = static_cast<int>(i);
            break;
        }
    }
    // Only the pictures of the Multimedia, Function and Power options need naming; a chosen
    // option shows no tip.
    const SkinRegion* option = hovered >= 0 ? &regions[hovered] : nullptr;
    const bool named = option != nullptr && isOptionRegion(option->regionId) &&
                       option->regionId / 100 != kMouseTab && !option->lit;
    if (!named) {
        tipRegion = -1;
        tipCtrl->activate(false);
        return;
    }
    if (tipRegion != hovered) {
        tipCtrl->activate(false);
    }
    tipRegion = hovered;
    tipCtrl->setTipText(option->tooltipFor(config.language));
    tipCtrl->activate(true);
}

void CTravoDialogKeyMapSettings::mouseMoveEvent(QMouseEvent* e) {
    SkinDialog::mouseMoveEvent(e);
    updateTip();
    tipCtrl->relayMouseMove(e->globalPosition().toPoint());
}

void CTravoDialogKeyMapSettings::leaveEvent(QEvent* e) {
    tipRegion = -1;
    tipCtrl->activate(false);
    SkinDialog::leaveEvent(e);
}

void CTravoDialogKeyMapSettings::hideEvent(QHideEvent* e) {
    tipCtrl->activate(false);
    SkinDialog::hideEvent(e);
}

bool CTravoDialogKeyMapSettings::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(e)->key();
        const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
        if (enter && watched == inPlaceEdit && inPlaceFieldOpen()) {
            commitInPlaceField();
            return true;
        }
        // Enter in the number fields neither closes the dialog nor does anything else.
        if (enter && (watched == valueEdit || watched == delayEdit)) {
            return true;
        }
    }
    // A pop-up menu only borrows the focus; the field stays open under it.
    if (e->type() == QEvent::FocusOut && watched == inPlaceEdit && inPlaceFieldOpen() &&
        static_cast<QFocusEvent*>(e)->reason() != Qt::PopupFocusReason) {
        commitInPlaceField();
    }
    return SkinDialog::eventFilter(watched, e);
}

void CTravoDialogKeyMapSettings::deviceMessage(unsigned message, std::uintptr_t wParam,
                                               std::intptr_t lParam) {
    if (message == WM_HOOK_KEY) {
        recorder->hookKey(static_cast<quint32>(wParam), static_cast<quint32>(lParam));
    } else if (message == WM_HOOK_ENDED) {
        recorder->captureEnded(static_cast<HookEnd>(wParam));
    }
}
