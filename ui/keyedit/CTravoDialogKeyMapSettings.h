// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The key settings dialog: what one key does on one level.
//
// Seven tabs, one per kind of assignment (single key or combination, macro, emulation,
// multimedia, mouse, keyboard function, power). The dialog works on copies of the three
// catalogues and of the key's assignment, and writes the configuration only when its painted OK
// is clicked, and then only for the tab showing: the key's mode, hwCode and steps, plus that
// tab's catalogue. Cancel, the close button, Enter and Escape store nothing.
//
// Keystroke capture and recording live in KeyRecorder, which the dialog calls at fixed points.

#include <QPoint>
#include <array>
#include <cstdint>
#include <memory>

#include "SkinDialog.h"
#include "StepList.h"

class QLineEdit;
class QPlainTextEdit;
class CSkinScrollBar;
class KeyboardConfig;
class KeyRecorder;
class TipControl;

class CTravoDialogKeyMapSettings : public SkinDialog {
    Q_OBJECT
    friend class KeyRecorder;

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
    const StepList& combos() const { return comboList; }
    const StepList& macros() const { return macroList; }
    const StepList& emulations() const { return emulationList; }
    const StepList& workingCombo() const { return currentCombo; }
    const StepList& workingMacro() const { return currentMacro; }
    const StepList& workingEmulation() const { return currentEmulation; }
    bool isUniquesMode() const { return uniquesMode != 0; }
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

private:
    // Which of the five painted lists a row or a scroll bar belongs to.
    enum class ListId { None, Combos, Macros, MacroSteps, Emulations, EmulationSteps };
    struct ListBox;

    // Set-up (CTravoDialogKeyMapSettings.cpp).
    void createControls();
    void placeControls();
    void buildWorkingLists();
    void loadAssignment();
    void setScrollRange(CSkinScrollBar* bar, int items, int page);
    void setModeLights(bool uniques);
    void modeChoice(int regionId);
    void storeOk();
    void clearTab();
    void refreshCaptions();
    void syncControls();
    void updateTip();

    // Painted lists and the in-place field (KeySettingsLists.cpp).
    ListBox listBox(ListId id);
    ListId listOfRow(int regionId) const;
    ListId catalogueOfTab(int t) const;
    void rowClicked(int regionId);
    void catalogueRowClicked(ListId id, int row);
    void recordRowClicked(ListId id, int row);
    void newEntry(int regionId);
    void deleteEntry(int regionId);
    void openInPlaceField(int regionId, const QString& text, bool delay, int absoluteIndex);
    void commitInPlaceField();
    void scrollRequested(CSkinScrollBar* bar, int code, int position);
    void saveWorkingList(ListId catalogue);
    void loadWorkingList(ListId catalogue);
    void refreshRightBar();
    void invalidateRows(int firstId, int count);

    // Option tabs (KeySettingsOptions.cpp).
    int& chosenCodeRef(int t);
    bool isOptionRegion(int regionId) const;
    void optionChosen(int regionId);
    void storeOption(KeyboardConfig& config);

    KeyboardConfig& config;

    // regions and lastMousePoint are SkinDialog's.
    int currentTab = 1;
    std::array<const QPixmap*, 3> tabBitmaps{};
    std::uint8_t nameEditActive = 0;
    std::int64_t lastEventTime = 0;
    NotifyTarget* ownWindow = nullptr;
    TipControl* tipCtrl = nullptr;
    StepList comboList;
    StepList currentCombo;
    StepList macroList;
    StepList currentMacro;
    StepList emulationList;
    StepList currentEmulation;
    int singleKeyCode = -1;
    int uniquesMode = 1;
    int capturingSingleKey = 0;
    int recordingCombo = 0;
    int delayEditActive = 0;
    int lastEventCode = -1;
    std::array<std::uint8_t, 256> keyDown{};
    int recordingMacro = 0;
    int menuRow = -1;
    int recordingEmulation = 0;
    int mediaCode = -1;
    int mouseCode = -1;
    int functionCode = -1;
    int powerCode = -1;
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
    // The region whose hover shows the tooltip, -1 for none.
    int tipRegion = -1;
    // A left press on an empty spot that will end an open field or a capture on release.
    bool emptyClickPending = false;

    std::unique_ptr<KeyRecorder> recorder;
};
