// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The region ids of every skinned window, by name.
//
// A region id is what a window's click handler dispatches on and what the picture generator
// paints at; the tables in SkinGeometry.cpp give each id its rectangle. Ids repeat between
// windows (89 closes the progress dialog and is Cancel in the key settings dialog), so each
// window has its own namespace. Child controls placed over the pictures have ids from 1001 up.

#include "KeyboardLayout.h"

namespace MainRegion {
constexpr int Language = 85;
constexpr int Help = 87;
constexpr int Minimize = 88;
constexpr int Exit = 89;
constexpr int Save = 90;
constexpr int Open = 91;
constexpr int Clear = 92;
constexpr int WriteKeys = 93;
constexpr int Backlight = 94;
constexpr int ReadAll = 95;
constexpr int Firmware = 96;
constexpr int Level = 97;
// Captions drawn over the buttons above.
constexpr int LanguageCaption = 65;
constexpr int SaveCaption = 70;
constexpr int BacklightCaption = 74;
constexpr int FirmwareCaption = 76;
// The two captions beside the level switch; the one of the level in use is lit.
constexpr int LevelUpIndicator = 77;
constexpr int LevelDownIndicator = 78;
// The keys: FirstKey + KeyIndex - 1 up to LastKey.
constexpr int FirstKey = kKeyRegionIdBase + 1;
constexpr int LastKey = kKeyRegionIdBase + kLayoutKeyCount;
// The information box under the keyboard (a child control).
constexpr int InfoBox = 1001;
}  // namespace MainRegion

// Ids 1..99 belong to every tab page; an id of 100 or more belongs to page id / 100.
namespace KeySettingsRegion {
// On every page.
constexpr int Clear = 87;
constexpr int Ok = 88;
constexpr int Cancel = 89;
constexpr int FirstTab = 90;  // the headers of tabs 1..7: FirstTab + tab - 1
constexpr int TabCount = 7;
constexpr int Close = 97;
constexpr int Title = 36;
constexpr int FirstTabCaption = 30;
// Uni/Combo (page 1).
constexpr int Uniques = 101;
constexpr int Combo = 102;
constexpr int KeyPrompt = 103;
constexpr int KeyRecord = 104;
constexpr int ComboNew = 105;
constexpr int ComboDelete = 106;
constexpr int ComboRecord = 107;
constexpr int FirstComboRow = 121;  // 6 rows
constexpr int FirstComboKeyRow = 141;
constexpr int UniquesCaption = 151;
constexpr int ComboCaption = 152;
constexpr int KeyRecordCaption = 154;
constexpr int KeyStopCaption = 155;
constexpr int KeyName = 158;
constexpr int ComboRecordCaption = 159;
constexpr int ComboStopCaption = 160;
// Macro (page 2).
constexpr int TimesPlay = 201;
constexpr int AutoDelay = 203;
constexpr int MacroNew = 205;
constexpr int MacroRemove = 206;
constexpr int MacroRecord = 207;
constexpr int PressPlay = 208;
constexpr int PressToggle = 209;
constexpr int RecordDelay = 210;
constexpr int FirstMacroRow = 221;  // 9 rows
constexpr int FirstMacroStepRow = 241;
constexpr int MacroRecordCaption = 267;
constexpr int MacroStopCaption = 268;
// Emulate (page 3).
constexpr int EmulationDelay = 301;
constexpr int EmulationRecord = 302;
constexpr int EmulationNew = 305;
constexpr int EmulationRemove = 306;
constexpr int FirstEmulationRow = 321;  // 9 rows
constexpr int FirstEmulationStepRow = 341;
constexpr int EmulationRecordCaption = 352;
constexpr int EmulationStopCaption = 353;
// Multimedia (page 4): the media row, then the browser row.
constexpr int MediaSelect = 401;
constexpr int PlayPause = 402;
constexpr int MediaStop = 403;
constexpr int NextTrack = 404;
constexpr int PreviousTrack = 405;
constexpr int VolumeDown = 406;
constexpr int VolumeUp = 407;
constexpr int Mute = 408;
constexpr int WwwBack = 409;
constexpr int WwwForward = 410;
constexpr int WwwStop = 411;
constexpr int WwwRefresh = 412;
constexpr int WwwFavorites = 413;
constexpr int WwwSearch = 414;
constexpr int Email = 415;
constexpr int WwwHome = 416;
constexpr int MyComputer = 417;
constexpr int Calculator = 418;
// Mouse (page 5): rows MoveLeft..LeftDoubleClick; the caption of a row is its id + 50.
constexpr int MoveLeft = 502;
constexpr int MoveRight = 503;
constexpr int MoveUp = 504;
constexpr int MoveDown = 505;
constexpr int LeftClick = 506;
constexpr int RightClick = 507;
constexpr int MiddleClick = 508;
constexpr int WheelUp = 509;
constexpr int WheelDown = 510;
constexpr int LeftDoubleClick = 511;
constexpr int MouseCaptionOffset = 50;
// Function (page 6).
constexpr int KeyboardLock = 602;
constexpr int CtrlCapsSwap = 604;
constexpr int WinLock = 608;
constexpr int MouseDpiDown = 611;
constexpr int MouseDpiUp = 612;
constexpr int LevelDownCombination = 613;
constexpr int ProgrammableKeyboard = 614;
constexpr int Demonstrate = 615;
constexpr int StarShower = 616;
constexpr int Ripple = 617;
constexpr int BacklightDimmer = 618;
constexpr int BacklightBrighter = 619;
constexpr int BacklightSwitch = 622;
constexpr int BacklightBreathe = 623;
constexpr int BacklightCustom = 624;
constexpr int BreatheFaster = 625;
constexpr int BreatheSlower = 626;
constexpr int SunsetMode = 627;
constexpr int AllColourRegulate = 628;
// Power (page 7).
constexpr int WakeUp = 701;
constexpr int Sleep = 702;
constexpr int Power = 703;
// Child controls: the edit boxes of the Macro and Emulate pages, the key box of page 1 and the
// scroll bars of the lists.
constexpr int CyclesBox = 1001;
constexpr int DelayBox = 1002;
constexpr int ComboKeysBox = 1005;
constexpr int LeftScrollBar = 1006;
constexpr int RightScrollBar = 1007;
}  // namespace KeySettingsRegion

namespace BacklightRegion {
constexpr int Close = 88;
constexpr int Title = 88;  // the caption painted over the close button's row
constexpr int SetAll = 90;
constexpr int Write = 91;
constexpr int Cancel = 92;
constexpr int Ok = 94;
constexpr int Default = 95;
constexpr int MultiKey = 97;
constexpr int FirstKey = kKeyRegionIdBase + 1;
constexpr int LastKey = kKeyRegionIdBase + kLayoutKeyCount;
}  // namespace BacklightRegion

namespace MultiKeyRegion {
constexpr int Close = 88;
constexpr int Title = 88;  // the caption painted over the close button's row
constexpr int SetColour = 97;
constexpr int FirstKey = kKeyRegionIdBase + 1;
constexpr int LastKey = kKeyRegionIdBase + kLayoutKeyCount;
}  // namespace MultiKeyRegion

namespace ProgressRegion {
constexpr int Close = 89;
constexpr int Cancel = 93;
constexpr int Warning = 187;
constexpr int Title = 188;
constexpr int CancelCaption = 193;
}  // namespace ProgressRegion

namespace FirmwareRegion {
constexpr int Close = 89;
constexpr int GetVersion = 90;
constexpr int OpenFile = 91;
constexpr int Update = 92;
constexpr int Cancel = 93;
constexpr int FileCaption = 187;
constexpr int Title = 188;
constexpr int GetVersionCaption = 190;
constexpr int OpenFileCaption = 191;
constexpr int UpdateCaption = 192;
constexpr int CancelCaption = 193;
// Child controls: the version read from the keyboard and the chosen file.
constexpr int VersionBox = 1001;
constexpr int FileBox = 1002;
}  // namespace FirmwareRegion
