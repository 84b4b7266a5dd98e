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
#include "HeldKeys.h"
#include "KeyRecorder.h"
#include "KeyTables.h"
#include "KeyboardConfig.h"
#include "LanguageText.h"
#include "RegionIds.h"
#include "SkinGeometry.h"
#include "SkinResources.h"
#include "SkinSetup.h"
#include "Theme.h"
#include "TipControl.h"
#include "UiSeam.h"

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

// The Record button of each kind of capture, with its "Record" and "Stop Rec" captions.
struct CaptureButton {
    CaptureKind kind;
    int region;
    int recordCaption;
    int stopCaption;
};
constexpr CaptureButton kCaptureButtons[] = {
    {CaptureKind::SingleKey, Region::KeyRecord, Region::KeyRecordCaption, Region::KeyStopCaption},
    {CaptureKind::Combo, Region::ComboRecord, Region::ComboRecordCaption, Region::ComboStopCaption},
    {CaptureKind::Macro, Region::MacroRecord, Region::MacroRecordCaption, Region::MacroStopCaption},
    {CaptureKind::Emulation, Region::EmulationRecord, Region::EmulationRecordCaption,
     Region::EmulationStopCaption},
};

CaptureKind captureOfButton(int regionId) {
    for (const CaptureButton& b : kCaptureButtons) {
        if (b.region == regionId) {
            return b.kind;
        }
    }
    return CaptureKind::None;
}

}  // namespace

CTravoDialogKeyMapSettings::CTravoDialogKeyMapSettings(KeyboardConfig& document, QWidget* parent)
    : SkinDialog(kRegionCount, parent), config(document) {
    showLanguageOf(config.language);
    recorder = std::make_unique<KeyRecorder>(static_cast<RecorderView&>(*this), state, config);
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
    // The dialog itself holds the focus when it opens, so Enter is OK on every tab; the focus
    // would otherwise land in the loop count field, where Enter does nothing. (It takes no focus
    // from a click on the painted surface, so an open field still commits on that click.)
    setFocus(Qt::OtherFocusReason);
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
    connect(valueEdit, &QLineEdit::textChanged, this, [this] { valueEditChanged(); });
    connect(delayEdit, &QLineEdit::textChanged, this, [this] { delayEditChanged(); });

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
    const StepList* predefined[] = {&config.predefinedCombos, &config.predefinedMacros,
                                    &config.predefinedEmulations};
    for (int t = 1; t <= 3; ++t) {
        const ListId id = catalogueOfTab(t);
        StepList& catalogue = state.list(id);
        catalogue = *predefined[t - 1];
        catalogue.SizeOfView = paintedList(id)->rows;
        state.load(id);
    }
}

void CTravoDialogKeyMapSettings::loadAssignment() {
    const bool valid = KeyboardConfig::validSlot(config.currentKey, config.currentLevel);
    const KeyAssignment none;
    const KeyAssignment& slot = valid ? config.slot(config.currentKey, config.currentLevel) : none;
    int startTab = 1;
    // Every kind other than a combination shows the Uni/Combo tab in "Uniques" mode.
    state.uniquesMode = slot.mode == Combo ? 0 : 1;
    setModeLights(state.uniquesMode != 0);
    switch (slot.mode) {
        case Single:
            state.singleKeyCode = keyCodeOfHwCode(config, slot.hwCode);
            break;
        case Combo:
        case Macro:
        case Emulation: {
            // The entry with the key's steps is selected, or one named "default" is added.
            startTab = slot.mode == Combo ? 1 : slot.mode == Macro ? 2 : 3;
            const ListId id = catalogueOfTab(startTab);
            state.list(id).findOrAdd(slot.steps);
            state.load(id);
            break;
        }
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

    for (bool right : {false, true}) {
        CSkinScrollBar* bar = right ? rightScrollBar : leftScrollBar;
        const PaintedList* shown = listOnBar(t, right);
        showControl(bar, shown != nullptr);
        if (shown != nullptr) {
            bar->setGeometry(
                controlRect(right ? Region::RightScrollBar : Region::LeftScrollBar, t));
            followList(shown->id);
        }
    }
    refreshCaptions();
    update();
}

void CTravoDialogKeyMapSettings::setScrollRange(CSkinScrollBar* bar, int items, int page,
                                                int start) {
    ScrollInfo info;
    info.fMask = SIF_ALL;
    info.nMin = 0;
    info.nMax = items + page - 1;
    info.nPage = static_cast<unsigned>(page);
    info.nPos = start;
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

namespace {

// Before OK stores a macro that leaves keys down on the keyboard after it plays (a release
// deleted or edited away, a recording cut short): says which, and answers whether to keep it.
bool keepMacroLeavingKeysDown(QWidget* parent, const KeyboardConfig& config,
                              const StepList& macro) {
    const std::vector<std::u16string> held = keysLeftDown(config, macro);
    if (held.empty()) {
        return true;
    }
    const QString names = QString::fromStdU16String(joinedKeyNames(held, config.language));
    const QString text = config.language == "zh-CN"
                             ? QStringLiteral(
                                   "该宏播放后，以下按键会一直保持按下：%1。\n\n仍然保存该宏吗？"
                                   "选“否”返回继续编辑。")
                                   .arg(names)
                             : QStringLiteral(
                                   "After this macro plays, these keys stay held down: %1.\n\n"
                                   "Keep the macro as it is? No goes back to edit it.")
                                   .arg(names);
    return ui().question(parent, text, false) == UiAnswer::Yes;
}

}  // namespace

void CTravoDialogKeyMapSettings::command(int id) {
    const bool okOrCancel = id == Region::Ok || id == Region::Cancel;
    if (inPlaceFieldOpen()) {
        commitInPlaceField();
        if (!okOrCancel) {
            return;
        }
    }
    if (recorder->isCapturing()) {
        const KeyRecorder::StopOutcome outcome = recorder->stopCapture();
        if (outcome == KeyRecorder::StopOutcome::ClickConsumed || !okOrCancel) {
            update();
            return;
        }
    }
    if (id == Region::Ok) {
        if (currentTab == 2 && !keepMacroLeavingKeysDown(this, config, state.currentMacro)) {
            update();
            return;
        }
        storeOk();
        accept();
        return;
    }
    // A button that cannot act now says why instead of doing nothing in silence.
    const QString reason = idleReason(id);
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
    } else if (captureOfButton(id) != CaptureKind::None) {
        recorder->startCapture(captureOfButton(id));
    } else if (id == Region::TimesPlay || id == Region::AutoDelay || id == Region::PressPlay ||
               id == Region::PressToggle || id == Region::RecordDelay) {
        macroOptionClicked(id);
    } else if (id == Region::ComboNew || id == Region::MacroNew || id == Region::EmulationNew) {
        newEntry(id);
    } else if (id == Region::ComboDelete || id == Region::MacroRemove ||
               id == Region::EmulationRemove) {
        deleteEntry(id);
    } else if (listOfRow(id) != nullptr) {
        rowClicked(id);
    } else if (isOptionRegion(id)) {
        optionChosen(id);
    }
    refreshCaptions();
    updateTip();
    if (!reason.isEmpty()) {
        tipRegion = regionIndexById(id);
        tipCtrl->setTipText(reason);
        tipCtrl->activate(true);
        tipCtrl->popUp(mapToGlobal(lastMousePoint));
    }
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
    state.uniquesMode = chosen == Region::Uniques ? 1 : 0;
    setModeLights(state.uniquesMode != 0);
}

void CTravoDialogKeyMapSettings::storeOk() {
    if (!KeyboardConfig::validSlot(config.currentKey, config.currentLevel) ||
        config.currentKey < 1) {
        return;
    }
    KeyAssignment& slot = config.slot(config.currentKey, config.currentLevel);
    const bool hadFn = isFn(slot);
    slot.mode = NotSet;
    switch (currentTab) {
        case 1:
            if (state.uniquesMode != 0) {
                const int h = state.singleKeyCode >= 0
                                  ? config.keyCodeToHwCode[state.singleKeyCode & kKeyCodeMask]
                                  : 0;
                if (h > 0) {
                    slot.hwCode = h;
                    slot.mode = Single;
                }
            } else if (state.currentCombo.count() > 0) {
                slot.steps = state.currentCombo;
                slot.mode = Combo;
            }
            config.predefinedCombos = state.comboList;
            break;
        case 2:
            if (state.currentMacro.count() > 0) {
                slot.steps = state.currentMacro;
                slot.mode = Macro;
            }
            config.predefinedMacros = state.macroList;
            break;
        case 3:
            if (state.currentEmulation.count() > 0) {
                slot.steps = state.currentEmulation;
                slot.mode = Emulation;
            }
            config.predefinedEmulations = state.emulationList;
            break;
        default:
            storeOption(config);
            break;
    }
    if (hadFn && !isFn(slot)) {
        dropFnFromOtherLevel(config);
    }
}

bool CTravoDialogKeyMapSettings::clearConfirmed() {
    // Clear empties the tab's whole catalogue, not this key's entry: with entries to lose, the
    // user says so first. Closing the question keeps them.
    struct Question {
        int tab;
        const StepList* catalogue;
        LanguageText many;
        LanguageText one;
    };
    const Question questions[] = {
        {1,
         &state.comboList,
         {u"清空全部 %1 个组合键？", u"Remove all %1 combinations?"},
         {u"清空全部 %1 个组合键？", u"Remove the 1 combination?"}},
        {2,
         &state.macroList,
         {u"清空全部 %1 个宏？", u"Remove all %1 macros?"},
         {u"清空全部 %1 个宏？", u"Remove the 1 macro?"}},
        {3,
         &state.emulationList,
         {u"清空全部 %1 个模拟击键？", u"Remove all %1 emulations?"},
         {u"清空全部 %1 个模拟击键？", u"Remove the 1 emulation?"}},
    };
    for (const Question& q : questions) {
        if (q.tab != currentTab) {
            continue;
        }
        const int n = q.catalogue->count();
        if (n == 0) {
            return true;
        }
        const LanguageText& format = n == 1 ? q.one : q.many;
        const QString text =
            QStringView(format.chineseOrEnglish(config.language)).toString().arg(n);
        return ui().question(this, text, false, toQString(titleText(config))) == UiAnswer::Yes;
    }
    return true;
}

void CTravoDialogKeyMapSettings::clearTab() {
    if (!clearConfirmed()) {
        return;
    }
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
            state.singleKeyCode = -1;
            clearPair(state.comboList, state.currentCombo);
            break;
        case 2:
            clearPair(state.macroList, state.currentMacro);
            break;
        case 3:
            clearPair(state.emulationList, state.currentEmulation);
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
    for (const PaintedList& shown : kPaintedLists) {
        if (shown.tab != currentTab) {
            continue;
        }
        const StepList& list = state.list(shown.id);
        for (int r = 0; r < shown.rows; ++r) {
            SkinRegion& row = regionById(shown.firstRow + r);
            const QString text = toQString(list.itemAtRow(r));
            row.label[config.language] = text;
            // An empty list has no cursor entry to highlight.
            row.lit = r == list.CursorPos && list.ViewStartAt + r < list.count();
        }
    }
    switch (currentTab) {
        case 1: {
            regionById(Region::KeyName).label[config.language] =
                toQString(keyEventName(config, state.singleKeyCode, false));
            QStringList keys;
            for (const std::u16string& item : state.currentCombo.items) {
                keys << toQString(item);
            }
            const QString joined = keys.join(QStringLiteral(" + "));
            if (comboKeysBox->toPlainText() != joined) {
                comboKeysBox->setPlainText(joined);
            }
            break;
        }
        case 2:
            setFieldText(valueEdit, QString::number(state.currentMacro.Cycles));
            setFieldText(delayEdit, QString::number(state.currentMacro.Delay));
            regionById(Region::TimesPlay).lit = state.currentMacro.PlayMode == 0;
            regionById(Region::PressPlay).lit = state.currentMacro.PlayMode == 1;
            regionById(Region::PressToggle).lit = state.currentMacro.PlayMode == 2;
            regionById(Region::AutoDelay).lit = state.currentMacro.IsAutoInterval;
            regionById(Region::RecordDelay).lit = !state.currentMacro.IsAutoInterval;
            delayEdit->setEnabled(state.currentMacro.IsAutoInterval);
            break;
        case 3:
            setFieldText(valueEdit, QString::number(state.currentEmulation.Delay));
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
    // option shows no tip. A button that cannot act now tells why.
    const SkinRegion* option = hovered >= 0 ? &regions[hovered] : nullptr;
    const bool named = option != nullptr && isOptionRegion(option->regionId) &&
                       option->regionId / 100 != kMouseTab && !option->lit;
    const QString text = named               ? option->tooltipFor(config.language)
                         : option != nullptr ? idleReason(option->regionId)
                                             : QString();
    if (text.isEmpty()) {
        tipRegion = -1;
        tipCtrl->activate(false);
        return;
    }
    if (tipRegion != hovered) {
        tipCtrl->activate(false);
    }
    tipRegion = hovered;
    tipCtrl->setTipText(text);
    tipCtrl->activate(true);
}

QString CTravoDialogKeyMapSettings::idleReason(int regionId) const {
    if (recorder->isCapturing() || inPlaceFieldOpen()) {
        return {};  // the next click ends those, whatever it lands on
    }
    static constexpr LanguageText kChooseCombo{u"先选择组合键", u"Choose Combo first"};
    static constexpr LanguageText kChooseUniques{u"先选择单键", u"Choose Uniques first"};
    static constexpr LanguageText kClickRecord{u"先点击开始录制", u"Click Record first"};
    static constexpr LanguageText kNoCombo{u"先新建一个组合键", u"Create a combination first"};
    static constexpr LanguageText kNoMacro{u"先新建一个宏", u"Create a macro first"};
    static constexpr LanguageText kNoEmulation{u"先新建一个模拟击键", u"Create an emulation first"};
    static constexpr LanguageText kNothingToDelete{u"列表中没有可删除的项", u"The list is empty"};
    const bool uniques = state.uniquesMode != 0;
    const LanguageText* reason = nullptr;
    switch (regionId) {
        case Region::ComboNew:
            reason = uniques ? &kChooseCombo : nullptr;
            break;
        case Region::ComboDelete:
            reason = uniques                        ? &kChooseCombo
                     : state.comboList.count() == 0 ? &kNothingToDelete
                                                    : nullptr;
            break;
        case Region::ComboRecord:
            reason = recorder->canStart(CaptureKind::Combo) ? nullptr
                     : uniques                              ? &kChooseCombo
                                                            : &kNoCombo;
            break;
        case Region::KeyRecord:
            reason = recorder->canStart(CaptureKind::SingleKey) ? nullptr : &kChooseUniques;
            break;
        case Region::KeyPrompt:
            reason = uniques ? &kClickRecord : &kChooseUniques;
            break;
        case Region::MacroRecord:
            reason = recorder->canStart(CaptureKind::Macro) ? nullptr : &kNoMacro;
            break;
        case Region::MacroRemove:
            reason = state.macroList.count() == 0 ? &kNothingToDelete : nullptr;
            break;
        case Region::EmulationRecord:
            reason = recorder->canStart(CaptureKind::Emulation) ? nullptr : &kNoEmulation;
            break;
        case Region::EmulationRemove:
            reason = state.emulationList.count() == 0 ? &kNothingToDelete : nullptr;
            break;
        default:
            break;
    }
    if (reason == nullptr) {
        return {};
    }
    return QStringView(reason->exactly(config.language)).toString();
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
        // Escape in the open field ends the edit as if it had not been opened; the dialog stays.
        if (key == Qt::Key_Escape && watched == inPlaceEdit && inPlaceFieldOpen()) {
            abandonInPlaceField();
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

void CTravoDialogKeyMapSettings::keyPressEvent(QKeyEvent* e) {
    const int key = e->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        // Enter is the painted OK: what the tab shows is stored. Keys typed while keys are being
        // recorded belong to the recording, never to the dialog.
        if (!recorder->isCapturing()) {
            command(Region::Ok);
        }
        return;
    }
    SkinDialog::keyPressEvent(e);
}

void CTravoDialogKeyMapSettings::deviceMessage(unsigned message, std::uintptr_t wParam,
                                               std::intptr_t lParam) {
    if (message == WM_HOOK_KEY) {
        recorder->hookKey(static_cast<quint32>(wParam), static_cast<quint32>(lParam));
    } else if (message == WM_HOOK_ENDED) {
        recorder->captureEnded(static_cast<HookEnd>(wParam));
    }
}

// ---- what the recorder asks of the dialog ---------------------------------------------------

NotifyTarget* CTravoDialogKeyMapSettings::captureTarget() {
    return notifyTarget();
}

void CTravoDialogKeyMapSettings::captureShown(CaptureKind kind, bool running) {
    for (const CaptureButton& b : kCaptureButtons) {
        if (b.kind == kind) {
            regionById(b.region).lit = running;
            regionById(b.recordCaption).captionVisible = !running;
            regionById(b.stopCaption).captionVisible = running;
            update(toQRect(regionById(b.region).rect));
        }
    }
}

void CTravoDialogKeyMapSettings::listChanged(ListId id) {
    if (id == ListId::None) {
        // The combination's keys, joined in the keys box.
        invalidateRows(Region::FirstComboKeyRow, kComboKeyRows);
        update(comboKeysBox->geometry());
        return;
    }
    const PaintedList* shown = paintedList(id);
    if (shown != nullptr && shown->tab == currentTab) {
        followList(id);
        invalidateRows(shown->firstRow, shown->rows);
    }
}

void CTravoDialogKeyMapSettings::singleKeyChanged() {
    update(toQRect(regionById(Region::KeyName).rect));
}

int CTravoDialogKeyMapSettings::recordRowAt(QPoint point) {
    const PaintedList* rows = paintedList(ListId::MacroSteps);
    const int id = clickScan(point);
    if (currentTab != rows->tab || listOfRow(id) != rows) {
        return -1;
    }
    return id - rows->firstRow;
}

QRect CTravoDialogKeyMapSettings::noteArea() {
    // In the free strip between Clear and OK, the same on every tab.
    const QRect clear = toQRect(regionById(Region::Clear).rect);
    const QRect ok = toQRect(regionById(Region::Ok).rect);
    return {clear.right() + 6, clear.top() - 6, ok.left() - clear.right() - 12,
            clear.height() + 12};
}
