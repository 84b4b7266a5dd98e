// SPDX-License-Identifier: GPL-2.0-or-later
// The keyboard layout, the region tables of the six windows, and the pictures painted from
// them: keys never overlap, gaps belong to no key, every region lies inside its picture and
// the pictures in OskelRES.rcc have the sizes and outlines the windows expect.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QResource>
#include <QString>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "KeyboardLayout.h"
#include "RegionIds.h"
#include "SkinGeometry.h"

namespace {

std::string utf8(std::u16string_view s) {
    return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size())).toStdString();
}

// ---- the layout table -------------------------------------------------------------------

struct KeyCase {
    int keyIndex;
    const char* name;
    const char* tooltip;
    LayoutRect main;
    LayoutRect backlight;
};

const KeyCase kKeyCases[] = {
    {1, "Esc", "Esc", {50, 166, 95, 213}, {39, 102, 86, 145}},
    {27, "BackSpace", "BackSpace", {715, 218, 814, 263}, {704, 153, 804, 196}},
    {41, "\\", "\\", {739, 268, 814, 313}, {732, 203, 804, 246}},
    {55, "Shift", "Shift", {50, 368, 165, 415}, {39, 304, 156, 347}},
    {66, "Shift", "Shift", {680, 368, 814, 415}, {672, 304, 804, 347}},
    {70, "Space", "Space", {248, 418, 545, 465}, {241, 355, 536, 398}},
    {71, "Fn", "RAlt", {547, 418, 615, 465}, {540, 355, 603, 398}},
    {73, "LMenu", "RightApp", {685, 418, 747, 465}, {674, 355, 737, 398}},
    {75, "PrtScreen", "PrintScreen", {842, 166, 892, 213}, {834, 102, 881, 145}},
    {84, "Up", "Up", {894, 367, 944, 415}, {885, 304, 932, 347}},
    {99, "KP+", "KP+", {1178, 266, 1228, 363}, {1167, 203, 1214, 297}},
    {106, "KP0", "KP0", {1022, 416, 1124, 463}, {1014, 355, 1112, 398}},
    {108, "KPEnter", "KPEnter", {1178, 366, 1228, 463}, {1167, 304, 1214, 398}},
};

TEST(KeyboardLayout, TableHoldsEveryKeyInOrder) {
    const auto& keys = keyboardLayout();
    ASSERT_EQ(keys.size(), 108u);
    for (int i = 0; i < 108; ++i) {
        EXPECT_EQ(keys[i].keyIndex, i + 1);
        EXPECT_EQ(keys[i].regionId(), 100 + i);
        EXPECT_EQ(keyIndexForRegionId(100 + i), i + 1);
        EXPECT_FALSE(keys[i].name.empty());
        EXPECT_FALSE(keys[i].mainRect.isEmpty()) << i + 1;
        EXPECT_FALSE(keys[i].backlightRect.isEmpty()) << i + 1;
    }
    EXPECT_EQ(keyLayout(0), nullptr);
    EXPECT_EQ(keyLayout(109), nullptr);
    EXPECT_EQ(keyIndexForRegionId(99), 0);
    EXPECT_EQ(keyIndexForRegionId(208), 0);
}

TEST(KeyboardLayout, NamedKeysSitWhereTheTableSays) {
    for (const KeyCase& c : kKeyCases) {
        SCOPED_TRACE(c.keyIndex);
        const KeyLayoutEntry* key = keyLayout(c.keyIndex);
        ASSERT_NE(key, nullptr);
        EXPECT_EQ(utf8(key->name), c.name);
        EXPECT_EQ(utf8(key->tooltip()), c.tooltip);
        EXPECT_EQ(key->mainRect, c.main);
        EXPECT_EQ(key->backlightRect, c.backlight);
    }
}

class GeometryTest : public ::testing::TestWithParam<KeyboardGeometry> {};

TEST_P(GeometryTest, KeysNeitherOverlapNorTouch) {
    const auto& keys = keyboardLayout();
    for (const KeyLayoutEntry& a : keys) {
        const LayoutRect ra = a.rect(GetParam());
        // Grown by one pixel: a shared edge would meet the neighbour.
        const LayoutRect grown{ra.left - 1, ra.top - 1, ra.right + 1, ra.bottom + 1};
        for (const KeyLayoutEntry& b : keys) {
            if (b.keyIndex > a.keyIndex) {
                EXPECT_FALSE(grown.intersects(b.rect(GetParam())))
                    << a.keyIndex << " and " << b.keyIndex;
            }
        }
    }
}

TEST_P(GeometryTest, EveryKeyIsFoundAtItsOwnRectangleOnly) {
    for (const KeyLayoutEntry& key : keyboardLayout()) {
        const LayoutRect r = key.rect(GetParam());
        EXPECT_EQ(keyIndexAt(GetParam(), r.left, r.top), key.keyIndex);
        EXPECT_EQ(keyIndexAt(GetParam(), r.right - 1, r.bottom - 1), key.keyIndex);
        // Right and bottom edges are outside the key.
        EXPECT_NE(keyIndexAt(GetParam(), r.right, r.top), key.keyIndex);
        EXPECT_NE(keyIndexAt(GetParam(), r.left, r.bottom), key.keyIndex);
    }
}

INSTANTIATE_TEST_SUITE_P(Both, GeometryTest,
                         ::testing::Values(KeyboardGeometry::Main, KeyboardGeometry::Backlight));

TEST(KeyboardLayout, GapsAndTallKeysInTheMainPicture) {
    struct Point {
        int x, y, keyIndex;
    };
    const Point points[] = {
        {95, 240, 0},     {97, 240, 0},     {99, 240, 0},    {100, 240, 15},  // "~" | "1"
        {94, 240, 14},    {120, 214, 0},    {120, 216, 0},  // between the top rows
        {900, 340, 0},    {920, 350, 0},                    // the empty row above "Up"
        {1200, 340, 99},  {1200, 266, 99},  {1200, 362, 99}, {1200, 363, 0},  // "KP+"
        {1100, 440, 106}, {1050, 440, 106},  // "KP0" is two columns wide
        {400, 440, 70},   {49, 200, 0},     {1228, 300, 0},
    };
    for (const Point& p : points) {
        EXPECT_EQ(keyIndexAt(KeyboardGeometry::Main, p.x, p.y), p.keyIndex) << p.x << "," << p.y;
    }
    EXPECT_EQ(keyboardBounds(KeyboardGeometry::Main), (LayoutRect{50, 166, 1228, 465}));
    EXPECT_EQ(keyboardBounds(KeyboardGeometry::Backlight), (LayoutRect{39, 102, 1214, 398}));
}

// ---- the window tables -----------------------------------------------------------------

struct WindowCase {
    SkinWindow window;
    int tableSize;    // records the table fills
    int regionCount;  // size of the window's array
    int firstKey;     // array position of KeyIndex 1, or -1
    KeyboardGeometry geometry;
};

const WindowCase kWindows[] = {
    {SkinWindow::Main, 130, 130, 12, KeyboardGeometry::Main},
    {SkinWindow::KeySettings, 193, 193, -1, KeyboardGeometry::Main},
    {SkinWindow::Backlight, 122, 122, 14, KeyboardGeometry::Backlight},
    {SkinWindow::MultiKey, 112, 112, 4, KeyboardGeometry::Backlight},
    {SkinWindow::Progress, 5, 107, -1, KeyboardGeometry::Main},
    {SkinWindow::Firmware, 11, 107, -1, KeyboardGeometry::Main},
};

class WindowTest : public ::testing::TestWithParam<WindowCase> {
protected:
    const WindowSkin& skin() const { return windowSkin(GetParam().window); }
    bool onPage(const RegionSpec& r, int page) const {
        const int p = skin().pageOf(r);
        return r.regionId > 0 && (p == 0 || p == page);
    }
};

TEST_P(WindowTest, TableHasTheWindowsRecordCount) {
    EXPECT_EQ(static_cast<int>(skin().regions.size()), GetParam().tableSize);
    EXPECT_EQ(skin().regionCount, GetParam().regionCount);
}

TEST_P(WindowTest, EveryRegionAndControlLiesInsideThePicture) {
    const LayoutRect picture{0, 0, skin().width, skin().height};
    for (const RegionSpec& r : skin().regions) {
        if (r.regionId > 0) {
            EXPECT_FALSE(r.rect.isEmpty()) << r.regionId;
            EXPECT_TRUE(picture.containsRect(r.rect)) << r.regionId;
        } else {
            EXPECT_EQ(r.kind, RegionKind::Unused);
        }
    }
    for (const ControlSpec& c : skin().controls) {
        EXPECT_TRUE(picture.containsRect(c.rect)) << c.controlId;
    }
}

TEST_P(WindowTest, KeysFollowTheLayoutAtTheirArrayPositions) {
    const WindowCase& w = GetParam();
    int keys = 0;
    for (const RegionSpec& r : skin().regions) {
        keys += r.kind == RegionKind::Key;
    }
    if (w.firstKey < 0) {
        EXPECT_EQ(keys, 0);
        return;
    }
    ASSERT_EQ(keys, 108);
    for (const KeyLayoutEntry& key : keyboardLayout()) {
        const RegionSpec& r = skin().regions[w.firstKey + key.keyIndex - 1];
        EXPECT_EQ(r.kind, RegionKind::Key);
        EXPECT_EQ(r.regionId, key.regionId());
        EXPECT_EQ(r.keyIndex, key.keyIndex);
        EXPECT_EQ(r.rect, key.rect(w.geometry));
        EXPECT_EQ(r.labelZh, key.name);
        EXPECT_EQ(r.labelEn, key.name);
        EXPECT_FALSE(r.textOnly);
    }
}

// Clickable regions of one page never overlap, so the click scan's first hit is the only hit,
// and a text-only caption never takes a click.
TEST_P(WindowTest, ClickableRegionsOfAPageNeverOverlap) {
    for (int page = 1; page <= skin().pageCount; ++page) {
        const auto& rs = skin().regions;
        for (size_t i = 0; i < rs.size(); ++i) {
            if (!onPage(rs[i], page) || rs[i].textOnly) {
                continue;
            }
            for (size_t j = i + 1; j < rs.size(); ++j) {
                if (onPage(rs[j], page) && !rs[j].textOnly) {
                    EXPECT_FALSE(rs[i].rect.intersects(rs[j].rect))
                        << "page " << page << ": " << rs[i].regionId << " and " << rs[j].regionId;
                }
            }
        }
    }
}

TEST_P(WindowTest, CaptionsAreTextOnlyAndCarryBothLanguages) {
    for (const RegionSpec& r : skin().regions) {
        if (r.kind != RegionKind::Caption) {
            continue;
        }
        EXPECT_TRUE(r.textOnly) << r.regionId;
        // Region 158 gets the captured key's name while painting.
        if (r.regionId != 158) {
            EXPECT_FALSE(r.labelZh.empty()) << r.regionId;
            EXPECT_FALSE(r.labelEn.empty()) << r.regionId;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(All, WindowTest, ::testing::ValuesIn(kWindows));

TEST(WindowTables, PictureIdentifiersAndColourKeys) {
    const WindowSkin& keySettings = windowSkin(SkinWindow::KeySettings);
    for (int tab = 1; tab <= 7; ++tab) {
        EXPECT_EQ(keySettings.pictureId(PictureRole::Background, tab), 104 + 3 * tab);
        EXPECT_EQ(keySettings.pictureId(PictureRole::Hover, tab), 105 + 3 * tab);
        EXPECT_EQ(keySettings.pictureId(PictureRole::Lit, tab), 106 + 3 * tab);
    }
    EXPECT_EQ(keySettings.pictureId(PictureRole::Background, 8), 0);
    EXPECT_EQ(windowSkin(SkinWindow::Backlight).pictureId(PictureRole::Hover), 0);
    EXPECT_EQ(windowSkin(SkinWindow::Backlight).pictureId(PictureRole::Lit), 0);
    EXPECT_EQ(windowSkin(SkinWindow::MultiKey).pictureId(PictureRole::Hover), 0);
    EXPECT_EQ(windowSkin(SkinWindow::MultiKey).pictureId(PictureRole::Lit), 143);
    EXPECT_EQ(windowSkin(SkinWindow::Main).colorKey, geometryRgb(0, 0, 255));
    EXPECT_EQ(windowSkin(SkinWindow::Backlight).colorKey, geometryRgb(1, 3, 254));
    for (SkinWindow w : {SkinWindow::KeySettings, SkinWindow::MultiKey, SkinWindow::Progress,
                         SkinWindow::Firmware}) {
        EXPECT_EQ(windowSkin(w).colorKey, geometryRgb(255, 0, 0));
    }

    std::vector<int> ids;
    for (const SkinPicture& p : allSkinPictures()) {
        ids.push_back(p.id);
    }
    std::vector<int> expected = {101, 102, 103};
    for (int id = 107; id <= 131; ++id) {
        expected.push_back(id);
    }
    for (int id = 138; id <= 143; ++id) {
        expected.push_back(id);
    }
    EXPECT_EQ(ids, expected);
}

// The named ids the windows dispatch on are the records the pictures are painted at: a wrong
// constant would send a click to the wrong command or to nothing.
TEST(WindowTables, NamedRegionsAreTheTablesRecords) {
    struct Named {
        SkinWindow window;
        int regionId;
        RegionKind kind;
    };
    using K = RegionKind;
    const Named cases[] = {
        {SkinWindow::Main, MainRegion::Language, K::Button},
        {SkinWindow::Main, MainRegion::Help, K::HelpButton},
        {SkinWindow::Main, MainRegion::Minimize, K::MinimizeButton},
        {SkinWindow::Main, MainRegion::Exit, K::CloseButton},
        {SkinWindow::Main, MainRegion::Save, K::Button},
        {SkinWindow::Main, MainRegion::Firmware, K::Button},
        {SkinWindow::Main, MainRegion::BacklightCaption, K::Caption},
        {SkinWindow::Main, MainRegion::Level, K::LevelSwitch},
        {SkinWindow::Main, MainRegion::LevelUpIndicator, K::Caption},
        {SkinWindow::Main, MainRegion::LevelDownIndicator, K::Caption},
        {SkinWindow::Main, MainRegion::FirstKey, K::Key},
        {SkinWindow::Main, MainRegion::LastKey, K::Key},
        {SkinWindow::KeySettings, KeySettingsRegion::Clear, K::Button},
        {SkinWindow::KeySettings, KeySettingsRegion::Cancel, K::Button},
        {SkinWindow::KeySettings, KeySettingsRegion::FirstTab, K::TabHeader},
        {SkinWindow::KeySettings, KeySettingsRegion::FirstTab + KeySettingsRegion::TabCount - 1,
         K::TabHeader},
        {SkinWindow::KeySettings, KeySettingsRegion::Close, K::CloseButton},
        {SkinWindow::KeySettings, KeySettingsRegion::Combo, K::RadioOption},
        {SkinWindow::KeySettings, KeySettingsRegion::KeyRecord, K::Button},
        {SkinWindow::KeySettings, KeySettingsRegion::KeyName, K::Caption},
        {SkinWindow::KeySettings, KeySettingsRegion::FirstComboRow, K::ListRow},
        {SkinWindow::KeySettings, KeySettingsRegion::RecordDelay, K::RadioMark},
        {SkinWindow::KeySettings, KeySettingsRegion::TimesPlay, K::RadioMark},
        {SkinWindow::KeySettings, KeySettingsRegion::MacroRecord, K::Button},
        {SkinWindow::KeySettings, KeySettingsRegion::FirstMacroStepRow, K::ListRow},
        {SkinWindow::KeySettings, KeySettingsRegion::EmulationRecord, K::Button},
        {SkinWindow::KeySettings, KeySettingsRegion::FirstEmulationRow, K::ListRow},
        {SkinWindow::KeySettings, KeySettingsRegion::Calculator, K::OptionIcon},
        {SkinWindow::KeySettings, KeySettingsRegion::LeftDoubleClick, K::OptionRow},
        {SkinWindow::KeySettings,
         KeySettingsRegion::LeftDoubleClick + KeySettingsRegion::MouseCaptionOffset, K::Caption},
        {SkinWindow::KeySettings, KeySettingsRegion::AllColourRegulate, K::OptionIcon},
        {SkinWindow::KeySettings, KeySettingsRegion::Power, K::OptionButton},
        {SkinWindow::Backlight, BacklightRegion::Close, K::CloseButton},
        {SkinWindow::Backlight, BacklightRegion::Write, K::Button},
        {SkinWindow::Backlight, BacklightRegion::Ok, K::Button},
        {SkinWindow::Backlight, BacklightRegion::MultiKey, K::Button},
        {SkinWindow::Backlight, BacklightRegion::LastKey, K::Key},
        {SkinWindow::MultiKey, MultiKeyRegion::Close, K::CloseButton},
        {SkinWindow::MultiKey, MultiKeyRegion::SetColour, K::Button},
        {SkinWindow::MultiKey, MultiKeyRegion::FirstKey, K::Key},
        {SkinWindow::Progress, ProgressRegion::Close, K::CloseButton},
        {SkinWindow::Progress, ProgressRegion::Cancel, K::Button},
        {SkinWindow::Progress, ProgressRegion::Warning, K::Caption},
        {SkinWindow::Firmware, FirmwareRegion::GetVersion, K::Button},
        {SkinWindow::Firmware, FirmwareRegion::Update, K::Button},
        {SkinWindow::Firmware, FirmwareRegion::CancelCaption, K::Caption},
    };
    for (const Named& c : cases) {
        const WindowSkin& skin = windowSkin(c.window);
        const RegionSpec* r = skin.findRegion(c.regionId);
        ASSERT_NE(r, nullptr) << skin.name << " " << c.regionId;
        EXPECT_EQ(r->kind, c.kind) << skin.name << " " << c.regionId;
    }
    auto hasControl = [](SkinWindow w, int id) {
        for (const ControlSpec& c : windowSkin(w).controls) {
            if (c.controlId == id) {
                return true;
            }
        }
        return false;
    };
    EXPECT_TRUE(hasControl(SkinWindow::Main, MainRegion::InfoBox));
    EXPECT_TRUE(hasControl(SkinWindow::Firmware, FirmwareRegion::VersionBox));
    EXPECT_TRUE(hasControl(SkinWindow::Firmware, FirmwareRegion::FileBox));
    for (int id : {KeySettingsRegion::CyclesBox, KeySettingsRegion::DelayBox,
                   KeySettingsRegion::ComboKeysBox, KeySettingsRegion::LeftScrollBar,
                   KeySettingsRegion::RightScrollBar}) {
        EXPECT_TRUE(hasControl(SkinWindow::KeySettings, id)) << id;
    }
}

TEST(WindowTables, KeySettingsPageRule) {
    const WindowSkin& w = windowSkin(SkinWindow::KeySettings);
    int perPage[8] = {};
    for (const RegionSpec& r : w.regions) {
        if (r.regionId > 0) {
            ++perPage[w.pageOf(r)];
        }
    }
    // Global, then tabs 1 to 7 (four records of the Function tab stay unused).
    const int expected[8] = {22, 31, 40, 29, 20, 20, 21, 6};
    for (int page = 0; page < 8; ++page) {
        EXPECT_EQ(perPage[page], expected[page]) << "page " << page;
    }
    ASSERT_NE(w.findRegion(101), nullptr);
    EXPECT_TRUE(w.findRegion(101)->litAtStart);
    EXPECT_EQ(w.findRegion(613)->optionCode, 156);
    EXPECT_EQ(w.findRegion(511)->optionCode, 199);
    EXPECT_EQ(w.findRegion(1234), nullptr);
}

// ---- the pictures ------------------------------------------------------------------------

class PictureTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        registered = QFile::exists(QStringLiteral(OSKEL_RES_RCC)) &&
                     QResource::registerResource(QStringLiteral(OSKEL_RES_RCC));
    }
    void SetUp() override {
        if (!registered) {
            GTEST_SKIP() << "no OskelRES.rcc at " << OSKEL_RES_RCC
                         << " (build the OskelRES target)";
        }
    }
    // Decoded once per run: several tests look at the same pictures.
    // `scale` 2: the picture painted for screens of twice the density.
    static const QImage& load(int id, int scale = 1) {
        static std::map<std::pair<int, int>, QImage> cache;
        auto it = cache.find({id, scale});
        if (it == cache.end()) {
            const QImage img(scale == 2 ? QStringLiteral(":/skin/%1@2x.png").arg(id)
                                        : QStringLiteral(":/skin/%1.png").arg(id));
            it = cache.emplace(std::pair(id, scale), img.convertToFormat(QImage::Format_RGB32))
                     .first;
        }
        return it->second;
    }
    static QRgb keyOf(const WindowSkin& w) {
        return qRgb(w.colorKey & 0xFF, (w.colorKey >> 8) & 0xFF, (w.colorKey >> 16) & 0xFF);
    }
    static double meanBrightness(const QImage& img, const LayoutRect& r) {
        double sum = 0;
        for (int y = r.top; y < r.bottom; ++y) {
            for (int x = r.left; x < r.right; ++x) {
                sum += qGray(img.pixel(x, y));
            }
        }
        return sum / (r.width() * r.height());
    }
    static inline bool registered = false;
};

TEST_F(PictureTest, EveryPictureExistsWithItsSize) {
    for (const SkinPicture& p : allSkinPictures()) {
        const QImage img = load(p.id);
        ASSERT_FALSE(img.isNull()) << p.id;
        EXPECT_EQ(img.width(), p.width) << p.id;
        EXPECT_EQ(img.height(), p.height) << p.id;
    }
    EXPECT_EQ(load(kScrollSkinPictureId).size(), QSize(9 * kScrollSkinCell, 3 * kScrollSkinCell));
}

// The key colour lies only outside the rounded outline, identically in the three pictures of
// a window, and never under a region.
TEST_F(PictureTest, ColourKeyOnlyOutsideTheOutline) {
    for (const SkinPicture& p : allSkinPictures()) {
        if (!p.window) {
            continue;
        }
        SCOPED_TRACE(p.id);
        const QImage img = load(p.id);
        const QImage background = load(p.window->pictureId(PictureRole::Background, p.page));
        const QRgb key = keyOf(*p.window);
        EXPECT_EQ(img.pixel(0, 0), key);
        EXPECT_EQ(img.pixel(img.width() - 1, img.height() - 1), key);
        EXPECT_NE(img.pixel(img.width() / 2, img.height() / 2), key);
        EXPECT_NE(img.pixel(img.width() / 2, 0), key);  // the outline reaches the edge
        int keyPixels = 0;
        for (int y = 0; y < img.height(); ++y) {
            const QRgb* line = reinterpret_cast<const QRgb*>(img.constScanLine(y));
            const QRgb* base = reinterpret_cast<const QRgb*>(background.constScanLine(y));
            for (int x = 0; x < img.width(); ++x) {
                const bool isKey = (line[x] | 0xFF000000u) == key;
                keyPixels += isKey;
                if (isKey != ((base[x] | 0xFF000000u) == key)) {
                    ADD_FAILURE() << "mask differs from the background at " << x << "," << y;
                    return;
                }
            }
        }
        EXPECT_GT(keyPixels, 0);
        for (const RegionSpec& r : p.window->regions) {
            if (r.regionId <= 0) {
                continue;
            }
            for (int y = r.rect.top; y < r.rect.bottom; ++y) {
                for (int x = r.rect.left; x < r.rect.right; ++x) {
                    if (img.pixel(x, y) == key) {
                        ADD_FAILURE()
                            << "region " << r.regionId << " has a hole at " << x << "," << y;
                        return;
                    }
                }
            }
        }
    }
}

// Hover brightens every clickable element; lit glows in the accent colour.
TEST_F(PictureTest, HoverBrightensAndLitGlowsOverEveryKey) {
    for (SkinWindow window : {SkinWindow::Main, SkinWindow::MultiKey}) {
        const WindowSkin& w = windowSkin(window);
        const QImage background = load(w.backgroundId);
        const QImage lit = load(w.litId);
        const QImage hover = w.hoverId ? load(w.hoverId) : QImage();
        for (const RegionSpec& r : w.regions) {
            if (r.kind != RegionKind::Key) {
                continue;
            }
            SCOPED_TRACE(r.regionId);
            const QPoint centre(r.rect.left + r.rect.width() / 2, r.rect.top + 4);
            const QColor bg = background.pixelColor(centre);
            const QColor glow = lit.pixelColor(centre);
            EXPECT_GT(glow.red(), glow.blue() + 60);
            EXPECT_GT(glow.red(), bg.red() + 40);
            if (!hover.isNull()) {
                EXPECT_GT(meanBrightness(hover, r.rect), meanBrightness(background, r.rect) + 8);
            }
        }
    }
}

// Each key cap is painted exactly at its rectangle: its edge pixels are cap, the pixels just
// outside (the gaps, which belong to no key) are the plate.
TEST_F(PictureTest, KeyCapsSitAtTheirRectangles) {
    for (SkinWindow window : {SkinWindow::Main, SkinWindow::Backlight, SkinWindow::MultiKey}) {
        const WindowSkin& w = windowSkin(window);
        const QImage img = load(w.backgroundId);
        for (const RegionSpec& r : w.regions) {
            if (r.kind != RegionKind::Key) {
                continue;
            }
            const LayoutRect& k = r.rect;
            const LayoutRect insideTop{k.left + 4, k.top, k.right - 4, k.top + 1};
            const LayoutRect outsideTop{k.left + 4, k.top - 1, k.right - 4, k.top};
            const LayoutRect insideLeft{k.left, k.top + 4, k.left + 1, k.bottom - 4};
            const LayoutRect outsideLeft{k.left - 1, k.top + 4, k.left, k.bottom - 4};
            EXPECT_GT(meanBrightness(img, insideTop), meanBrightness(img, outsideTop) + 15)
                << w.name << " key " << r.keyIndex;
            EXPECT_GT(meanBrightness(img, insideLeft), meanBrightness(img, outsideLeft) + 15)
                << w.name << " key " << r.keyIndex;
        }
    }
}

// Every picture painted at twice the density: exactly twice the size, the key colour at exactly
// the doubled positions of the 1x key pixels (the same outline), and the same drawing at the
// same places: each region and each scroll-bar cell is as bright as at 1x.
TEST_F(PictureTest, TwiceTheDensityKeepsOutlineAndLayout) {
    for (const SkinPicture& p : allSkinPictures()) {
        SCOPED_TRACE(p.id);
        const QImage& at1x = load(p.id);
        const QImage& at2x = load(p.id, 2);
        ASSERT_FALSE(at2x.isNull());
        ASSERT_EQ(at2x.size(), at1x.size() * 2);
        std::vector<LayoutRect> parts;
        if (p.window) {
            const QRgb key = keyOf(*p.window);
            int differing = 0;
            for (int y = 0; y < at2x.height(); ++y) {
                const QRgb* line = reinterpret_cast<const QRgb*>(at2x.constScanLine(y));
                const QRgb* half = reinterpret_cast<const QRgb*>(at1x.constScanLine(y / 2));
                for (int x = 0; x < at2x.width(); ++x) {
                    differing +=
                        ((line[x] | 0xFF000000u) == key) != ((half[x / 2] | 0xFF000000u) == key);
                }
            }
            EXPECT_EQ(differing, 0) << "pixels where the outlines differ";
            for (const RegionSpec& r : p.window->regions) {
                const int page = p.window->pageOf(r);
                if (r.regionId > 0 && !r.textOnly && (page == 0 || page == p.page)) {
                    parts.push_back(r.rect);
                }
            }
        } else {
            for (int row = 0; row < 3; ++row) {
                for (int col = 0; col < 9; ++col) {
                    const int s = kScrollSkinCell;
                    parts.push_back({col * s, row * s, (col + 1) * s, (row + 1) * s});
                }
            }
        }
        ASSERT_FALSE(parts.empty());
        for (const LayoutRect& r : parts) {
            const LayoutRect twice{r.left * 2, r.top * 2, r.right * 2, r.bottom * 2};
            EXPECT_NEAR(meanBrightness(at2x, twice), meanBrightness(at1x, r), 12)
                << r.left << "," << r.top << " " << r.width() << "x" << r.height();
        }
    }
}

// The Macro page's play-mode and delay-mode choices allow one choice each, and look it: round
// marks at both densities. Lit, the mark's centre glows; the two layout pixels at each corner
// of its box stay the page's background, where a square box would reach into them.
TEST_F(PictureTest, ExclusiveChoicesAreRoundMarks) {
    using namespace KeySettingsRegion;
    const WindowSkin& w = windowSkin(SkinWindow::KeySettings);
    for (int scale : {1, 2}) {
        const QImage& background = load(w.pictureId(PictureRole::Background, 2), scale);
        const QImage& lit = load(w.pictureId(PictureRole::Lit, 2), scale);
        for (int id : {TimesPlay, PressPlay, PressToggle, AutoDelay, RecordDelay}) {
            SCOPED_TRACE(testing::Message() << "region " << id << " at " << scale << "x");
            const RegionSpec* r = w.findRegion(id);
            ASSERT_NE(r, nullptr);
            EXPECT_EQ(r->kind, RegionKind::RadioMark);
            const auto at = [&](double x, double y) {
                return QPoint(int(x * scale), int(y * scale));
            };
            const double cx = (r->rect.left + r->rect.right) / 2.0;
            const double cy = (r->rect.top + r->rect.bottom) / 2.0;
            const QColor centre = lit.pixelColor(at(cx, cy));
            EXPECT_GT(centre.red(), centre.blue() + 60);
            EXPECT_GT(centre.red(), background.pixelColor(at(cx, cy)).red() + 40);
            const int corners[][2] = {{r->rect.left, r->rect.top},
                                      {r->rect.right - 2, r->rect.top},
                                      {r->rect.left, r->rect.bottom - 2},
                                      {r->rect.right - 2, r->rect.bottom - 2}};
            for (const auto& c : corners) {
                for (int y = c[1] * scale; y < (c[1] + 2) * scale; ++y) {
                    for (int x = c[0] * scale; x < (c[0] + 2) * scale; ++x) {
                        EXPECT_EQ(lit.pixel(x, y), background.pixel(x, y)) << x << "," << y;
                    }
                }
            }
        }
    }
}

TEST_F(PictureTest, PagesDifferButShareTheFrame) {
    const WindowSkin& w = windowSkin(SkinWindow::KeySettings);
    const QImage first = load(w.pictureId(PictureRole::Background, 1));
    for (int page = 2; page <= w.pageCount; ++page) {
        const QImage img = load(w.pictureId(PictureRole::Background, page));
        EXPECT_NE(img, first) << page;
        // The OK button is a global region: the same on every page.
        const RegionSpec* ok = w.findRegion(88);
        const QRect r(ok->rect.left, ok->rect.top, ok->rect.width(), ok->rect.height());
        EXPECT_EQ(img.copy(r), first.copy(r)) << page;
    }
}

}  // namespace
