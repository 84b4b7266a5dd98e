// SPDX-License-Identifier: GPL-2.0-or-later
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

SkinRegionKind toKind(RegionKind kind) {
    switch (kind) {
        case RegionKind::Button:
            return SkinRegionKind::Button;
        case RegionKind::CloseButton:
            return SkinRegionKind::Close;
        case RegionKind::MinimizeButton:
            return SkinRegionKind::Minimize;
        case RegionKind::HelpButton:
            return SkinRegionKind::Help;
        case RegionKind::LevelSwitch:
            return SkinRegionKind::Switch;
        case RegionKind::TabHeader:
            return SkinRegionKind::Tab;
        case RegionKind::Key:
            return SkinRegionKind::Key;
        case RegionKind::Caption:
            return SkinRegionKind::Caption;
        case RegionKind::ListRow:
            return SkinRegionKind::ListRow;
        case RegionKind::RadioOption:
        case RegionKind::RadioMark:
            return SkinRegionKind::Radio;
        case RegionKind::OptionIcon:
        case RegionKind::OptionRow:
        case RegionKind::OptionButton:
            return SkinRegionKind::Option;
        case RegionKind::Unused:
        case RegionKind::Area:
            break;
    }
    return SkinRegionKind::Other;
}

SkinRegion toRegion(const RegionSpec& record) {
    SkinRegion r;
    r.regionId = record.regionId;
    setText(r.label, "zh-CN", record.labelZh);
    setText(r.label, "en-US", record.labelEn);
    setText(r.tooltip, "zh-CN", record.tooltipZh);
    setText(r.tooltip, "en-US", record.tooltipEn);
    r.rect = toSkinRect(record.rect);
    r.textColor = record.textColor;
    r.litTextColor = record.litTextColor;
    r.keyIndex = record.keyIndex;
    r.optionCode = record.optionCode;
    r.lit = record.litAtStart;
    r.textOnly = record.textOnly;
    r.showCaption = record.showCaption;
    r.captionVisible = record.captionVisible;
    r.textFormat = record.textFormat;
    r.fontSize = record.fontSize;
    r.kind = toKind(record.kind);
    return r;
}

const QPixmap* resourcePicture(int id) {
    return id > 0 ? SkinResources::current().picture(id) : nullptr;
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

SkinLook skinLook(SkinWindow window, int page, HoverPicture hover) {
    const WindowSkin& skin = windowSkin(window);
    SkinLook look;
    look.colorKey = skin.colorKey;
    look.background = resourcePicture(skin.pictureId(PictureRole::Background, page));
    const int hoverId = skin.pictureId(PictureRole::Hover, page);
    if (hover == HoverPicture::WhenFirstDrawn && hoverId > 0) {
        look.laterHoverId = hoverId;
    } else {
        look.hover = resourcePicture(hoverId);
    }
    look.lit = resourcePicture(skin.pictureId(PictureRole::Lit, page));
    return look;
}

QString skinCaption(SkinWindow window, int regionId, const std::string& language) {
    for (const RegionSpec& record : windowSkin(window).regions) {
        if (record.regionId == regionId) {
            const QString label = toRegion(record).labelFor(language);
            if (!label.isEmpty()) {
                return label;
            }
        }
    }
    return {};
}

SkinRect skinControlRect(SkinWindow window, int controlId, int page) {
    for (const ControlSpec& c : windowSkin(window).controls) {
        if (c.controlId == controlId && (c.page == 0 || c.page == page)) {
            return toSkinRect(c.rect);
        }
    }
    return {0, 0, 0, 0};
}

SkinRect skinControlRectFor(SkinWindow window, int controlId, int page,
                            const std::string& language) {
    for (const ControlSpec& c : windowSkin(window).controls) {
        if (c.controlId == controlId && (c.page == 0 || c.page == page) &&
            (c.language.empty() || c.language == language)) {
            return toSkinRect(c.rect);
        }
    }
    return skinControlRect(window, controlId, page);
}
