#include "SkinSetup.h"

#include "SkinGeometry.h"
#include "SkinResources.h"

static_assert(SkinWindowId::Main == SkinWindow::Main);
static_assert(SkinWindowId::KeySettings == SkinWindow::KeySettings);
static_assert(SkinWindowId::Backlight == SkinWindow::Backlight);
static_assert(SkinWindowId::MultiKey == SkinWindow::MultiKey);
static_assert(SkinWindowId::Progress == SkinWindow::Progress);
static_assert(SkinWindowId::Firmware == SkinWindow::Firmware);

namespace {

SkinRect toSkinRect(const LayoutRect& r) {
    return {r.left, r.top, r.right, r.bottom};
}

QString toQString(std::u16string_view text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

void setText(SkinTexts& texts, const char* language, std::u16string_view text) {
    if (!text.empty()) {
        texts[language] = toQString(text);
    }
}

SkinRegion toRegion(const RegionSpec& spec) {
    SkinRegion r;
    r.regionId = spec.regionId;
    setText(r.label, "zh-CN", spec.labelZh);
    setText(r.label, "en-US", spec.labelEn);
    setText(r.tooltip, "zh-CN", spec.tooltipZh);
    setText(r.tooltip, "en-US", spec.tooltipEn);
    r.rect = toSkinRect(spec.rect);
    r.textColor = spec.textColor;
    r.litTextColor = spec.litTextColor;
    r.keyIndex = spec.keyIndex;
    r.optionCode = spec.optionCode;
    r.lit = spec.litAtStart;
    r.textOnly = spec.textOnly;
    r.showCaption = spec.showCaption;
    r.captionVisible = spec.captionVisible;
    r.textFormat = spec.textFormat;
    r.fontSize = spec.fontSize;
    return r;
}

const QPixmap* resourcePicture(int id) {
    const SkinResources* resources = SkinResources::current();
    return id > 0 && resources != nullptr ? resources->picture(id) : nullptr;
}

}  // namespace

int skinRegionCount(SkinWindow window) {
    return windowSkin(window).regionCount;
}

void fillSkinRegions(SkinWindow window, std::vector<SkinRegion>& regions) {
    const WindowSkin& skin = windowSkin(window);
    regions.assign(static_cast<std::size_t>(skin.regionCount), SkinRegion{});
    for (std::size_t i = 0; i < skin.regions.size() && i < regions.size(); ++i) {
        regions[i] = toRegion(skin.regions[i]);
    }
}

SkinLook skinLook(SkinWindow window, int page) {
    const WindowSkin& skin = windowSkin(window);
    SkinLook look;
    look.colorKey = skin.colorKey;
    look.background = resourcePicture(skin.pictureId(PictureRole::Background, page));
    look.hover = resourcePicture(skin.pictureId(PictureRole::Hover, page));
    look.lit = resourcePicture(skin.pictureId(PictureRole::Lit, page));
    return look;
}

SkinRect skinControlRect(SkinWindow window, int controlId, int page) {
    for (const ControlSpec& c : windowSkin(window).controls) {
        if (c.controlId == controlId && (c.page == 0 || c.page == page)) {
            return toSkinRect(c.rect);
        }
    }
    return {0, 0, 0, 0};
}
