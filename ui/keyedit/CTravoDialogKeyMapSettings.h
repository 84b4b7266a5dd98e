// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The key settings dialog: what one key does on one level.
//
// Seven tabs, one per kind of assignment (single key or combination, macro, emulation,
// multimedia, mouse, keyboard function, power). The dialog works on copies of the three
// catalogues and of the key's assignment, and writes the configuration only when its painted OK
// is clicked, and then only for the tab showing: the key's mode, hwCode and steps, plus that
// tab's catalogue; Enter acts as that OK. Cancel, the close button and Escape store nothing.
//
// The copies are one KeySettingsState that the dialog owns and lends to its KeyRecorder, which
// captures keystrokes into the working lists and shows what it does through RecorderView.

#include <QPoint>
#include <array>
#include <cstdint>
#include <memory>

#include "KeyRecorder.h"
#include "KeySettingsState.h"
#include "SkinDialog.h"

class QLineEdit;
class QPlainTextEdit;
class CSkinScrollBar;
class KeyboardConfig;
struct KeyAssignment;
class TipControl;

class CTravoDialogKeyMapSettings : public SkinDialog, private RecorderView {
    Q_OBJECT

public:
    static constexpr int kRegionCount = 193;
    static constexpr int kTabCount = 7;

    // Opens on config.currentKey and config.currentLevel.
    explicit CTravoDialogKeyMapSettings(KeyboardConfig& config, QWidget* parent = nullptr);
    ~CTravoDialogKeyMapSettings() override;

    // Shows tab t (1 to 7) with its pictures, controls and scroll bars.
    void selectTab(int t);

    // Read by tests and the benchmark.
    int tab() const { return currentTab; }
    const StepList& combos() const { return state.comboList; }
    const StepList& macros() const { return state.macroList; }
    const StepList& emulations() const { return state.emulationList; }
    const StepList& workingCombo() const { return state.currentCombo; }
    const StepList& workingMacro() const { return state.currentMacro; }
    const StepList& workingEmulation() const { return state.currentEmulation; }
    bool isUniquesMode() const { return state.uniquesMode != 0; }
    bool inPlaceFieldOpen() const { return nameEditActive != 0 || delayEditActive != 0; }
    int chosenCode(int t) const;
    QLineEdit* inPlaceField() const { return inPlaceEdit; }
    QLineEdit* valueField() const { return valueEdit; }
    QLineEdit* delayField() const { return delayEdit; }
    QPlainTextEdit* comboKeysField() const { return comboKeysBox; }
    CSkinScrollBar* leftBar() const { return leftScrollBar; }
    CSkinScrollBar* rightBar() const { return rightScrollBar; }
    const TipControl& tip() const { return *tipCtrl; }
    // True while the page rule lets the region at `index` take part (tests check hover with it).
    bool regionShown(int index) const { return regionTakesPart(index); }

    // Tabs, options and the painted lists as the assistive technology sees them
    // (KeySettingsAccess.cpp).
    SkinAccess describeRegion(int index) const override;
    QString listName(int list) const override;

protected:
    bool focusKey(int index, int key) override;
    bool enterPressesFocus() const override { return false; }
    bool regionTakesPart(int index) const override;
    void prepaint() override;
    void command(int regionId) override;
    void deviceMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override;

    bool eventFilter(QObject* watched, QEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void hideEvent(QHideEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    // Set-up (CTravoDialogKeyMapSettings.cpp).
    void createControls();
    void placeControls();
    void buildWorkingLists();
    void loadAssignment();
    // A list's bar: its range from the item count, its position the list's view start.
    void setScrollRange(CSkinScrollBar* bar, int items, int page, int start = 0);
    void setModeLights(bool uniques);
    void modeChoice(int regionId);
    void storeOk();
    bool clearConfirmed();
    void clearTab();
    void refreshCaptions();
    void updateTip();
    // Why a click on the region would do nothing now, in the dialog's language; empty when it
    // acts.
    QString idleReason(int regionId) const;

    // What the recorder asks of the dialog.
    QWidget& recorderWindow() override { return *this; }
    NotifyTarget* captureTarget() override;
    void captureShown(CaptureKind kind, bool running) override;
    void listChanged(ListId id) override;
    void singleKeyChanged() override;
    int recordRowAt(QPoint point) override;
    QRect noteArea() override;

    // Painted lists and the in-place field (KeySettingsLists.cpp).
    CSkinScrollBar* barOf(const PaintedList& list) const;
    void rowClicked(int regionId);
    void catalogueRowClicked(const PaintedList& list, int row);
    void recordRowClicked(const PaintedList& list, int row);
    void newEntry(int regionId);
    void deleteEntry(int regionId);
    void openInPlaceField(int regionId, const QString& text, bool delay, int absoluteIndex);
    void commitInPlaceField();
    void abandonInPlaceField();
    void closeInPlaceField();
    void scrollRequested(CSkinScrollBar* bar, int code, int position);
    // The bar of a shown list follows it: range from its items, position its view start.
    void followList(ListId id);
    void refreshRightBar();
    void invalidateRows(int firstId, int count);

    // The Macro tab's options, number fields and pauses edited in place (KeySettingsMacro.cpp).
    void macroOptionClicked(int regionId);
    void setPlayMode(int regionId);
    void setDelayMode(bool automatic);
    void valueEditChanged();
    void delayEditChanged();
    void pauseRowCommitted(int absoluteRow, const QString& text);

    // Option tabs (KeySettingsOptions.cpp).
    int& chosenCodeRef(int t);
    bool isOptionRegion(int regionId) const;
    void optionChosen(int regionId);
    void storeOption(KeyboardConfig& config);
    static bool isFn(const KeyAssignment& slot);
    void dropFnFromOtherLevel(KeyboardConfig& config);

    KeyboardConfig& config;
    // Everything the dialog edits until OK, lent to the recorder.
    KeySettingsState state;

    // regions and lastMousePoint are SkinDialog's.
    int currentTab = 1;
    std::array<const QPixmap*, 3> tabBitmaps{};
    std::uint8_t nameEditActive = 0;
    TipControl* tipCtrl = nullptr;
    int delayEditActive = 0;
    QLineEdit* valueEdit = nullptr;
    QLineEdit* delayEdit = nullptr;
    QLineEdit* inPlaceEdit = nullptr;
    QPlainTextEdit* comboKeysBox = nullptr;
    CSkinScrollBar* leftScrollBar = nullptr;
    CSkinScrollBar* rightScrollBar = nullptr;

    // The item the in-place field edits: its row region and its absolute index in its list, so
    // that a scroll while the field is open cannot make it rename another entry.
    int inPlaceRegion = -1;
    int inPlaceIndex = -1;
    // What Escape leaves the item with: its text when the field opened, or for a new entry the
    // proposed name.
    QString inPlaceOldText;
    // The region whose hover shows the tooltip, -1 for none.
    int tipRegion = -1;
    // A left press on an empty spot that will end an open field or a capture on release.
    bool emptyClickPending = false;

    std::unique_ptr<KeyRecorder> recorder;
};
