// SPDX-License-Identifier: GPL-2.0-or-later
#include "SkinGeometry.h"

#include <algorithm>

namespace {

using Regions = std::vector<RegionSpec>;

RegionSpec region(int id, RegionKind kind, LayoutRect rect) {
    RegionSpec r;
    r.regionId = id;
    r.kind = kind;
    r.rect = rect;
    return r;
}

RegionSpec caption(int id, LayoutRect rect, std::u16string_view zh, std::u16string_view en,
                   int textFormat = 1) {
    RegionSpec r = region(id, RegionKind::Caption, rect);
    r.textOnly = true;
    r.labelZh = zh;
    r.labelEn = en;
    r.textFormat = textFormat;
    return r;
}

// The caption of a record button's stopped state: green, hidden until recording starts.
RegionSpec stopCaption(int id, LayoutRect rect) {
    RegionSpec r = caption(id, rect, u"停止录制", u"Stop Rec");
    r.textColor = geometryRgb(0, 255, 0);
    r.captionVisible = false;
    return r;
}

RegionSpec listRow(int id, LayoutRect rect, int textFormat) {
    RegionSpec r = region(id, RegionKind::ListRow, rect);
    r.showCaption = true;
    r.textFormat = textFormat;
    r.fontSize = 11;
    return r;
}

// `count` list rows with ids from `firstId`, each `pitch` pixels below the previous one.
void addRows(Regions& out, int firstId, int count, LayoutRect first, int pitch, int textFormat) {
    for (int r = 0; r < count; ++r) {
        out.push_back(listRow(
            firstId + r, {first.left, first.top + pitch * r, first.right, first.bottom + pitch * r},
            textFormat));
    }
}

RegionSpec keyRegion(const KeyLayoutEntry& key, KeyboardGeometry geometry) {
    RegionSpec r = region(key.regionId(), RegionKind::Key, key.rect(geometry));
    r.keyIndex = key.keyIndex;
    r.labelZh = key.name;
    r.labelEn = key.name;
    r.tooltipZh = key.tooltip();
    return r;
}

void addKeys(Regions& out, KeyboardGeometry geometry) {
    for (const KeyLayoutEntry& key : keyboardLayout()) {
        out.push_back(keyRegion(key, geometry));
    }
}

// ---- main window ---------------------------------------------------------------------------

WindowSkin makeMain() {
    WindowSkin w;
    w.window = SkinWindow::Main;
    w.name = "main";
    w.width = 1260;
    w.height = 680;
    w.cornerRadius = 18;
    w.colorKey = kMainColorKey;
    w.regionCount = 130;
    w.backgroundId = 101;
    w.hoverId = 102;
    w.litId = 103;
    Regions& r = w.regions;
    r.push_back(region(85, RegionKind::Button, {745, 95, 885, 130}));
    r.push_back(region(87, RegionKind::HelpButton, {1167, 20, 1192, 50}));
    r.push_back(region(88, RegionKind::MinimizeButton, {1140, 20, 1165, 50}));
    r.push_back(region(89, RegionKind::CloseButton, {1194, 20, 1219, 50}));
    r.push_back(region(90, RegionKind::Button, {15, 95, 110, 130}));
    r.push_back(region(91, RegionKind::Button, {120, 95, 215, 130}));
    r.push_back(region(92, RegionKind::Button, {225, 95, 325, 130}));
    r.push_back(region(93, RegionKind::Button, {330, 95, 430, 130}));
    r.push_back(region(94, RegionKind::Button, {435, 95, 535, 130}));
    r.push_back(region(95, RegionKind::Button, {540, 95, 635, 130}));
    r.push_back(region(96, RegionKind::Button, {645, 95, 735, 130}));
    r.push_back(region(97, RegionKind::LevelSwitch, {1070, 80, 1120, 135}));
    addKeys(r, KeyboardGeometry::Main);
    r.push_back(caption(65, {745, 101, 885, 130}, u"English", u"简体中文"));
    r.push_back(caption(70, {18, 101, 110, 130}, u"保存配置", u"Save"));
    r.push_back(caption(71, {124, 101, 215, 130}, u"打开配置", u"Open"));
    r.push_back(caption(72, {225, 101, 325, 130}, u"清空配置", u"Clear"));
    r.push_back(caption(73, {330, 101, 430, 130}, u"写入按键", u"WriteKeys"));
    r.push_back(caption(74, {435, 101, 535, 130}, u"设置背光", u"LightSet"));
    r.push_back(caption(75, {540, 101, 635, 130}, u"读取配置", u"ReadAll"));
    r.push_back(caption(76, {645, 101, 735, 130}, u"固件升级", u"Update"));
    for (RegionSpec c : {caption(77, {1005, 95, 1060, 120}, u"上档键", u"LevelUp"),
                         caption(78, {1120, 95, 1175, 120}, u"下档键", u"LevelDn")}) {
        c.textColor = geometryRgb(200, 200, 200);
        c.litTextColor = geometryRgb(0, 255, 0);
        r.push_back(c);
    }
    w.controls.push_back({1001, ControlKind::TextBox, {27, 506, 27 + 933, 506 + 144}, 0, {}});
    return w;
}

}  // namespace

namespace {

// ---- key settings dialog -------------------------------------------------------------------

constexpr std::u16string_view kTabZh[7] = {u"单/组合键", u"宏定义", u"模拟击键", u"多媒体",
                                           u"鼠标",      u"操控键", u"电源键"};
constexpr std::u16string_view kTabEn[7] = {u"Uni/Combo", u"Macro",    u"Emulate", u"Multimedia",
                                           u"Mouse",     u"Function", u"Power"};

void addKeySettingsGlobal(Regions& r) {
    r.push_back(region(87, RegionKind::Button, {33, 320, 117, 353}));
    r.push_back(region(88, RegionKind::Button, {365, 320, 449, 353}));
    r.push_back(region(89, RegionKind::Button, {462, 320, 544, 353}));
    for (int n = 0; n < 7; ++n) {
        r.push_back(region(90 + n, RegionKind::TabHeader, {18 + 78 * n, 48, 95 + 78 * n, 80}));
    }
    r.push_back(region(97, RegionKind::CloseButton, {545, 10, 565, 30}));
    r.push_back(caption(36, {1, 12, 573, 33}, u"按键设置面板", u"Key Settings"));
    r.push_back(caption(37, {37, 328, 117, 353}, u"清空配置", u"Clear"));
    r.push_back(caption(38, {365, 328, 449, 353}, u"确定", u"OK"));
    r.push_back(caption(39, {462, 328, 544, 353}, u"取消", u"Cancel"));
    for (int n = 0; n < 7; ++n) {
        r.push_back(caption(30 + n, {18 + 78 * n, 56, 95 + 78 * n, 80}, kTabZh[n], kTabEn[n]));
    }
}

void addUniComboTab(Regions& r) {
    RegionSpec uniques = region(101, RegionKind::RadioOption, {50, 100, 110, 125});
    uniques.litAtStart = true;
    r.push_back(uniques);
    r.push_back(region(102, RegionKind::RadioOption, {210, 100, 275, 125}));
    r.push_back(region(103, RegionKind::Area, {45, 135, 160, 155}));
    r.push_back(region(104, RegionKind::Button, {43, 204, 165, 238}));
    r.push_back(region(105, RegionKind::Button, {220, 242, 280, 278}));
    r.push_back(region(106, RegionKind::Button, {290, 242, 350, 278}));
    r.push_back(region(107, RegionKind::Button, {375, 242, 525, 278}));
    addRows(r, 121, 6, {214, 136, 355, 151}, 16, 0);
    addRows(r, 141, 6, {378, 136, 522, 151}, 16, 1);
    for (RegionSpec c : {caption(151, {70, 104, 130, 125}, u"单键", u"Uniques"),
                         caption(152, {230, 104, 275, 125}, u"组合键", u"Combo")}) {
        c.litTextColor = geometryRgb(0, 255, 0);
        r.push_back(c);
    }
    r.push_back(caption(153, {45, 135, 160, 155}, u"请输入一个单键：", u"Press a key:"));
    r.push_back(caption(154, {43, 212, 165, 238}, u"开始录制", u"Record"));
    r.push_back(stopCaption(155, {43, 212, 165, 238}));
    r.push_back(caption(156, {220, 250, 280, 278}, u"新建", u"New"));
    r.push_back(caption(157, {290, 250, 350, 278}, u"删除", u"Delete"));
    r.push_back(caption(158, {48, 166, 160, 188}, {}, {}));
    r.push_back(caption(159, {375, 250, 525, 278}, u"开始录制", u"Record"));
    r.push_back(stopCaption(160, {375, 250, 525, 278}));
    r.push_back(caption(161, {214, 118, 355, 134}, u"组合键列表", u"Combo List", 0));
    r.push_back(caption(162, {378, 118, 522, 134}, u"录制框", u"Record List", 0));
}

void addMacroTab(Regions& r) {
    r.push_back(region(201, RegionKind::CheckBox, {390, 115, 405, 130}));
    r.push_back(region(203, RegionKind::CheckBox, {390, 175, 405, 190}));
    r.push_back(region(205, RegionKind::Button, {45, 258, 105, 288}));
    r.push_back(region(206, RegionKind::Button, {114, 258, 174, 288}));
    r.push_back(region(207, RegionKind::Button, {385, 215, 539, 248}));
    r.push_back(region(208, RegionKind::CheckBox, {390, 135, 405, 150}));
    r.push_back(region(209, RegionKind::CheckBox, {390, 155, 405, 170}));
    r.push_back(region(210, RegionKind::CheckBox, {390, 195, 405, 210}));
    addRows(r, 221, 9, {37, 114, 178, 127}, 14, 0);
    addRows(r, 241, 9, {213, 114, 355, 127}, 14, 0);
    r.push_back(caption(261, {407, 111, 475, 129}, u"次数播放", u"Times Play", 0));
    r.push_back(caption(262, {407, 174, 475, 192}, u"自动延时", u"Auto delay", 0));
    r.push_back(caption(265, {45, 264, 105, 288}, u"新建", u"New"));
    r.push_back(caption(266, {114, 264, 174, 288}, u"删除", u"Remove"));
    r.push_back(caption(267, {385, 224, 539, 248}, u"开始录制", u"Record"));
    r.push_back(stopCaption(268, {385, 224, 539, 248}));
    r.push_back(caption(269, {230, 254, 539, 308},
                        u"温馨提示：录制框中单击鼠标右键可插入鼠标功能\n"
                        u"录制框中选中延时参数并双击鼠标左键可对其编辑",
                        u"Tip:Right of mouse click to insert mouse actions in\n"
                        u"record list. Select delay parameter and double click\n"
                        u"left of mouse to edit in record list.",
                        4));
    r.push_back(caption(270, {37, 95, 178, 111}, u"宏列表", u"Macro List", 0));
    r.push_back(caption(271, {213, 95, 355, 111}, u"录制框", u"Record List", 0));
    r.push_back(
        caption(272, {407, 132, 570, 150}, u"按下播放，释放停止", u"Press play, release stop", 0));
    r.push_back(caption(273, {407, 153, 520, 171}, u"按键开/关播放", u"Press to play/stop", 0));
    r.push_back(caption(274, {407, 195, 510, 213}, u"记录延时", u"Record delay", 0));
    r.push_back(caption(275, {522, 111, 580, 129}, u"次", u"times", 0));
    // A second record with id 262: the unit after the fixed delay.
    r.push_back(caption(262, {522, 174, 580, 192}, u"毫秒", u"ms", 0));
}

void addEmulateTab(Regions& r) {
    r.push_back(region(301, RegionKind::Area, {383, 110, 467, 140}));
    r.push_back(region(302, RegionKind::Button, {383, 150, 538, 176}));
    r.push_back(region(305, RegionKind::Button, {45, 258, 105, 288}));
    r.push_back(region(306, RegionKind::Button, {114, 258, 174, 288}));
    addRows(r, 321, 9, {37, 114, 178, 127}, 14, 0);
    addRows(r, 341, 9, {213, 114, 355, 127}, 14, 0);
    r.push_back(caption(351, {387, 112, 467, 130}, u"延时", u"Delay"));
    r.push_back(caption(352, {383, 154, 538, 176}, u"开始录制", u"Record"));
    r.push_back(stopCaption(353, {383, 154, 538, 176}));
    r.push_back(caption(355, {45, 264, 105, 288}, u"新建", u"New"));
    r.push_back(caption(356, {114, 264, 174, 288}, u"删除", u"Remove"));
    r.push_back(caption(357, {37, 95, 178, 111}, u"模拟击键列表", u"Emu List", 0));
    r.push_back(caption(358, {213, 95, 355, 111}, u"录制框", u"Record List", 0));
}

struct OptionSpec {
    int regionId;
    LayoutRect rect;
    std::u16string_view zh;
    std::u16string_view en;
    int optionCode;
};

RegionSpec option(const OptionSpec& o, RegionKind kind) {
    RegionSpec r = region(o.regionId, kind, o.rect);
    r.tooltipZh = o.zh;
    r.tooltipEn = o.en;
    r.optionCode = o.optionCode;
    return r;
}

constexpr LayoutRect mediaRect(int row, int n) {
    return row == 0 ? LayoutRect{46 + 50 * n, 152, 81 + 50 * n, 188}
                    : LayoutRect{46 + 50 * n, 235, 81 + 50 * n, 272};
}

void addMultimediaTab(Regions& r) {
    const OptionSpec options[] = {
        {401, mediaRect(0, 0), u"播放器", u"Media Select", 115},
        {402, mediaRect(0, 1), u"播放/暂停", u"Play/Pause", 111},
        {403, mediaRect(0, 2), u"停止", u"Stop", 110},
        {404, mediaRect(0, 3), u"下一首", u"Next Track", 108},
        {405, mediaRect(0, 4), u"上一首", u"Previous Track", 109},
        {406, mediaRect(0, 5), u"音量减小", u"Volume Down", 114},
        {407, mediaRect(0, 6), u"音量加大", u"Volume Up", 113},
        {408, mediaRect(0, 7), u"静音", u"Mute", 112},
        {409, mediaRect(1, 0), u"后退", u"WWW Back", 121},
        {410, mediaRect(1, 1), u"前进", u"WWW Forward", 122},
        {411, mediaRect(1, 2), u"停止", u"WWW Stop", 123},
        {412, mediaRect(1, 3), u"刷新", u"WWW Refresh", 124},
        {413, mediaRect(1, 4), u"收藏夹", u"WWW Favorites", 125},
        {414, mediaRect(1, 5), u"搜索", u"WWW Search", 119},
        {415, mediaRect(1, 6), u"邮件", u"E-mail", 116},
        {416, mediaRect(1, 7), u"主页", u"WWW Home", 120},
        {417, mediaRect(1, 8), u"资源管理器", u"My Computer", 118},
        {418, mediaRect(1, 9), u"计算器", u"Calculator", 117},
    };
    for (const OptionSpec& o : options) {
        r.push_back(option(o, RegionKind::OptionIcon));
    }
    r.push_back(caption(451, {46, 127, 167, 150}, u"多媒体功能", u"Media Function", 0));
    r.push_back(caption(452, {46, 207, 167, 230}, u"浏览器功能", u"Browser Function", 0));
}

void addMouseTab(Regions& r) {
    const OptionSpec options[] = {
        {502, {}, u"左移", u"Move Left", 126},
        {503, {}, u"右移", u"Move Right", 127},
        {504, {}, u"上移", u"Move Up", 128},
        {505, {}, u"下移", u"Move Down", 129},
        {506, {}, u"左键", u"Left Click", 130},
        {507, {}, u"右键", u"Right Click", 131},
        {508, {}, u"中键", u"Middle Click", 132},
        {509, {}, u"滚轮前翻", u"Wheel Up", 133},
        {510, {}, u"滚轮后翻", u"Wheel Down", 134},
        {511, {}, u"左键双击", u"Left Double Click", 199},
    };
    auto rowRect = [](int row) { return LayoutRect{37, 114 + 17 * row, 258, 130 + 17 * row}; };
    for (int row = 0; row < 10; ++row) {
        RegionSpec o = region(options[row].regionId, RegionKind::OptionRow, rowRect(row));
        o.optionCode = options[row].optionCode;
        r.push_back(o);
    }
    for (int row = 0; row < 10; ++row) {
        r.push_back(
            caption(options[row].regionId + 50, rowRect(row), options[row].zh, options[row].en));
    }
}

void addFunctionTab(Regions& r) {
    const OptionSpec options[] = {
        {602, {89, 112, 125, 148}, u"键盘锁", u"Keyboard Lock", 150},
        {604, {195, 112, 231, 148}, u"Ctrl和Caps对调", u"Ctrl to Caps convert", 152},
        {608, {36, 155, 72, 191}, u"锁Win", u"Win Lock", 153},
        {611, {195, 155, 231, 191}, u"鼠标DPI-", u"Mouse DPI-", 158},
        {612, {248, 155, 284, 191}, u"鼠标DPI+", u"Mouse DPI+", 157},
        {613,
         {301, 155, 337, 191},
         u"下档组合键,按键的上下档键须同时设置",
         u"level down combination key,Keys level up and down must be set to FN",
         156},
        {614, {354, 155, 390, 191}, u"可编程键盘", u"Programmable Keyboard", 159},
        {615, {36, 220, 72, 256}, u"演示", u"Demonstrate", 137},
        {616, {100, 220, 136, 256}, u"流星雨", u"Star shower", 138},
        {617, {164, 220, 200, 256}, u"涟漪", u"Riffle", 139},
        {618, {228, 220, 264, 256}, u"背光亮度-", u"Backlight Lighteness-", 145},
        {619, {292, 220, 328, 256}, u"背光亮度+", u"Backlight Lighteness+", 144},
        {622, {36, 265, 72, 301}, u"背光开关", u"Backlight switch", 135},
        {623, {100, 265, 136, 301}, u"背光呼吸", u"Backlight Breathe", 141},
        {624, {164, 265, 200, 301}, u"背光自定义", u"Backlight Macro", 136},
        {625, {228, 265, 264, 301}, u"呼吸频率+", u"Breathe Frequence+", 143},
        {626, {292, 265, 328, 301}, u"呼吸频率-", u"Breathe Frequence-", 142},
        {627, {356, 265, 392, 301}, u"日落/放松模式", u"Sunset/Relax Mode", 146},
        {628, {418, 265, 456, 301}, u"全盘颜色调节", u"Backlight All Color Regulate", 148},
    };
    for (const OptionSpec& o : options) {
        r.push_back(option(o, RegionKind::OptionIcon));
    }
    // Four records of the tab's range stay unused (regionId -1).
    for (int i = 0; i < 4; ++i) {
        r.push_back(RegionSpec{});
    }
    r.push_back(caption(651, {36, 92, 167, 150}, u"按键功能", u"Key Function", 0));
    r.push_back(caption(652, {36, 200, 167, 230}, u"背光功能", u"Backlight Function", 0));
}

void addPowerTab(Regions& r) {
    const OptionSpec options[] = {
        {701, {162, 160, 242, 190}, u"唤醒", u"WakeUp", 75},
        {702, {251, 160, 331, 190}, u"睡眠", u"Sleep", 76},
        {703, {340, 160, 420, 190}, u"电源", u"Power", 77},
    };
    for (const OptionSpec& o : options) {
        r.push_back(option(o, RegionKind::OptionButton));
    }
    r.push_back(caption(751, {162, 166, 242, 190}, u"唤醒", u"Wake"));
    r.push_back(caption(752, {251, 166, 331, 190}, u"睡眠", u"Sleep"));
    r.push_back(caption(753, {340, 166, 420, 190}, u"电源", u"Power"));
}

WindowSkin makeKeySettings() {
    WindowSkin w;
    w.window = SkinWindow::KeySettings;
    w.name = "keysettings";
    w.width = 590;
    w.height = 372;
    w.cornerRadius = 14;
    w.colorKey = kDialogColorKey;
    w.regionCount = 193;
    w.pageCount = 7;
    w.backgroundId = 107;
    w.hoverId = 108;
    w.litId = 109;
    addKeySettingsGlobal(w.regions);
    addUniComboTab(w.regions);
    addMacroTab(w.regions);
    addEmulateTab(w.regions);
    addMultimediaTab(w.regions);
    addMouseTab(w.regions);
    addFunctionTab(w.regions);
    addPowerTab(w.regions);
    auto& c = w.controls;
    // The edit boxes of the Macro tab move right in English, where the captions are longer.
    c.push_back({1001, ControlKind::TextBox, {470, 112, 506, 130}, 2, "zh-CN"});
    c.push_back({1001, ControlKind::TextBox, {485, 112, 521, 130}, 2, "en-US"});
    c.push_back({1002, ControlKind::TextBox, {470, 176, 506, 194}, 2, "zh-CN"});
    c.push_back({1002, ControlKind::TextBox, {480, 176, 516, 194}, 2, "en-US"});
    c.push_back({1001, ControlKind::TextBox, {470, 112, 506, 130}, 3, "zh-CN"});
    c.push_back({1001, ControlKind::TextBox, {485, 112, 521, 130}, 3, "en-US"});
    c.push_back({1005, ControlKind::TextBox, {380, 138, 521, 231}, 1, {}});
    // Scroll bars are as wide as one skin cell, whatever width they are created with.
    c.push_back({1006, ControlKind::ScrollBar, {358, 137, 358 + kScrollSkinCell, 233}, 1, {}});
    c.push_back({1006, ControlKind::ScrollBar, {181, 115, 181 + kScrollSkinCell, 241}, 2, {}});
    c.push_back({1007, ControlKind::ScrollBar, {357, 115, 357 + kScrollSkinCell, 241}, 2, {}});
    c.push_back({1006, ControlKind::ScrollBar, {181, 115, 181 + kScrollSkinCell, 241}, 3, {}});
    c.push_back({1007, ControlKind::ScrollBar, {357, 115, 357 + kScrollSkinCell, 241}, 3, {}});
    return w;
}

}  // namespace

namespace {

// ---- backlight and multi-key colour dialogs ------------------------------------------------

// A button whose caption is a separate text-only region: the record carries the texts too,
// though they are never drawn from it.
RegionSpec labelledButton(int id, LayoutRect rect, std::u16string_view zh, std::u16string_view en) {
    RegionSpec r = region(id, RegionKind::Button, rect);
    r.labelZh = zh;
    r.labelEn = en;
    return r;
}

WindowSkin makeBacklight() {
    WindowSkin w;
    w.window = SkinWindow::Backlight;
    w.name = "backlight";
    w.width = 1252;
    w.height = 476;
    w.cornerRadius = 18;
    w.colorKey = kBacklightColorKey;
    w.regionCount = 122;
    w.backgroundId = 131;
    Regions& r = w.regions;
    r.push_back(region(88, RegionKind::CloseButton, {1205, 9, 1238, 45}));
    r.push_back(labelledButton(90, {303, 420, 388, 454}, u"全域设置", u"Set All"));
    r.push_back(labelledButton(91, {665, 420, 758, 454}, u"写入背光", u"Write"));
    r.push_back(labelledButton(92, {864, 420, 954, 454}, u"取消", u"Cancel"));
    r.push_back(labelledButton(94, {762, 420, 855, 454}, u"确定", u"OK"));
    r.push_back(labelledButton(95, {203, 420, 298, 454}, u"恢复默认", u"Default"));
    r.push_back(labelledButton(97, {400, 420, 488, 454}, u"多键设置", u"MultiKey"));
    r.push_back(caption(88, {550, 13, 702, 45}, u"背光设置面板", u"BackLight Settings"));
    r.push_back(caption(90, {300, 428, 388, 454}, u"全域设置", u"Set All"));
    r.push_back(caption(91, {670, 428, 755, 454}, u"写入背光", u"Program"));
    r.push_back(caption(92, {860, 428, 954, 454}, u"取消", u"Cancel"));
    r.push_back(caption(95, {766, 428, 852, 454}, u"确定", u"OK"));
    r.push_back(caption(96, {200, 428, 288, 454}, u"恢复默认", u"Default"));
    r.push_back(caption(97, {400, 428, 488, 454}, u"多键设置", u"MultiKey"));
    addKeys(r, KeyboardGeometry::Backlight);
    return w;
}

WindowSkin makeMultiKey() {
    WindowSkin w;
    w.window = SkinWindow::MultiKey;
    w.name = "multikey";
    w.width = 1252;
    w.height = 430;
    w.cornerRadius = 18;
    w.colorKey = kDialogColorKey;
    w.regionCount = 112;
    w.backgroundId = 142;
    w.litId = 143;
    Regions& r = w.regions;
    r.push_back(region(88, RegionKind::CloseButton, {1205, 9, 1238, 45}));
    r.push_back(labelledButton(97, {570, 46, 682, 80}, u"设置", u"Set Color"));
    r.push_back(caption(88, {550, 13, 702, 45}, u"多键设置面板", u"Set Multi Key"));
    r.push_back(caption(97, {570, 53, 682, 80}, u"设置", u"Set Color"));
    addKeys(r, KeyboardGeometry::Backlight);
    return w;
}

// ---- progress and firmware update dialogs --------------------------------------------------

// The strip both dialogs fill from their lit picture: 290 pixels at 100 %.
constexpr LayoutRect kProgressBar{40, 150, 330, 172};

WindowSkin makeSmallDialog(SkinWindow window, std::string_view name, int firstPicture,
                           int regionCount) {
    WindowSkin w;
    w.window = window;
    w.name = name;
    w.width = 366;
    w.height = 250;
    w.cornerRadius = 12;
    w.colorKey = kDialogColorKey;
    w.regionCount = regionCount;
    w.backgroundId = firstPicture;
    w.hoverId = firstPicture + 1;
    w.litId = firstPicture + 2;
    w.controls.push_back({0, ControlKind::ProgressBar, kProgressBar, 0, {}});
    return w;
}

WindowSkin makeProgress() {
    WindowSkin w = makeSmallDialog(SkinWindow::Progress, "progress", 139, 107);
    Regions& r = w.regions;
    r.push_back(region(89, RegionKind::CloseButton, {332, 9, 355, 45}));
    r.push_back(labelledButton(93, {237, 201, 327, 235}, u"取消", u"Cancel"));
    r.push_back(caption(187, {42, 116, 333, 135}, u"正在读写键盘，请勿插拔！",
                        u"Keep the keyboard connected!"));
    r.push_back(caption(188, {100, 13, 266, 45}, u"读写进度", u"Progress"));
    r.push_back(caption(193, {237, 209, 327, 235}, u"取消", u"Cancel"));
    return w;
}

WindowSkin makeFirmware() {
    WindowSkin w = makeSmallDialog(SkinWindow::Firmware, "firmware", 128, 107);
    Regions& r = w.regions;
    r.push_back(region(89, RegionKind::CloseButton, {332, 9, 355, 45}));
    r.push_back(labelledButton(90, {220, 70, 333, 100}, u"获取固件版本", u"Default"));
    r.push_back(labelledButton(91, {270, 108, 333, 140}, u"打开", u"Open"));
    r.push_back(labelledButton(92, {47, 201, 129, 235}, u"更新", u"Update"));
    r.push_back(labelledButton(93, {237, 201, 327, 235}, u"取消", u"Cancel"));
    r.push_back(caption(187, {42, 116, 119, 135}, u"载入文件：", u"File"));
    r.push_back(caption(188, {100, 13, 266, 45}, u"键盘固件升级", u"Firmware Update"));
    r.push_back(caption(190, {220, 76, 333, 100}, u"获取固件版本", u"Get Version"));
    r.push_back(caption(191, {270, 116, 333, 138}, u"打开", u"Open"));
    r.push_back(caption(192, {47, 209, 129, 235}, u"更新", u"Update"));
    r.push_back(caption(193, {237, 209, 327, 235}, u"取消", u"Cancel"));
    w.controls.push_back({1001, ControlKind::TextBox, {44, 78, 44 + 162, 78 + 18}, 0, {}});
    w.controls.push_back({1002, ControlKind::TextBox, {112, 116, 112 + 143, 116 + 19}, 0, {}});
    return w;
}

std::vector<SkinPicture> makePictures() {
    std::vector<SkinPicture> out;
    for (const WindowSkin* w : allWindowSkins()) {
        for (int page = 1; page <= w->pageCount; ++page) {
            for (PictureRole role :
                 {PictureRole::Background, PictureRole::Hover, PictureRole::Lit}) {
                if (const int id = w->pictureId(role, page); id > 0) {
                    out.push_back({id, w, role, page, w->width, w->height});
                }
            }
        }
    }
    out.push_back({kScrollSkinPictureId, nullptr, PictureRole::Background, 1, 9 * kScrollSkinCell,
                   3 * kScrollSkinCell});
    std::sort(out.begin(), out.end(),
              [](const SkinPicture& a, const SkinPicture& b) { return a.id < b.id; });
    return out;
}

}  // namespace

int WindowSkin::pictureId(PictureRole role, int page) const {
    if (page < 1 || page > pageCount) {
        return 0;
    }
    const int base = role == PictureRole::Background ? backgroundId
                     : role == PictureRole::Hover    ? hoverId
                                                     : litId;
    // Paged windows keep one background, hover, lit triple per page, one after another.
    return base > 0 ? base + 3 * (page - 1) : 0;
}

int WindowSkin::pageOf(const RegionSpec& region) const {
    return pageCount > 1 && region.regionId > 99 ? region.regionId / 100 : 0;
}

const RegionSpec* WindowSkin::findRegion(int regionId) const {
    for (const RegionSpec& r : regions) {
        if (r.regionId == regionId) {
            return &r;
        }
    }
    return nullptr;
}

const WindowSkin& windowSkin(SkinWindow window) {
    static const WindowSkin main = makeMain();
    static const WindowSkin keySettings = makeKeySettings();
    static const WindowSkin backlight = makeBacklight();
    static const WindowSkin multiKey = makeMultiKey();
    static const WindowSkin progress = makeProgress();
    static const WindowSkin firmware = makeFirmware();
    switch (window) {
        case SkinWindow::Main:
            return main;
        case SkinWindow::KeySettings:
            return keySettings;
        case SkinWindow::Backlight:
            return backlight;
        case SkinWindow::MultiKey:
            return multiKey;
        case SkinWindow::Progress:
            return progress;
        case SkinWindow::Firmware:
            return firmware;
    }
    return main;
}

const std::vector<const WindowSkin*>& allWindowSkins() {
    static const std::vector<const WindowSkin*> all = {
        &windowSkin(SkinWindow::Main),      &windowSkin(SkinWindow::KeySettings),
        &windowSkin(SkinWindow::Backlight), &windowSkin(SkinWindow::MultiKey),
        &windowSkin(SkinWindow::Progress),  &windowSkin(SkinWindow::Firmware)};
    return all;
}

std::array<int, 2> startSkinPictures() {
    const WindowSkin& main = windowSkin(SkinWindow::Main);
    return {main.pictureId(PictureRole::Background), main.pictureId(PictureRole::Lit)};
}

const std::vector<SkinPicture>& allSkinPictures() {
    static const std::vector<SkinPicture> all = makePictures();
    return all;
}
