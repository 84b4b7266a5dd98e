// SPDX-License-Identifier: GPL-2.0-or-later
// oskel-skin-generator <output folder>
// oskel-skin-generator --preview <folder>   (windows as shown, for checking by eye)
//
// Paints every window picture of the program as <id>.png, and for screens of high density as
// <id>@2x.png (same layout, twice the pixels), into the folder and writes skin.qrc beside them,
// the resource list rcc packs into OskelRES.rcc (names ":/skin/<id>.png", ":/skin/<id>@2x.png").
// The main window's start pictures are written once more as plain pixels (<id>.pixels,
// <id>@2x.pixels), which the program takes without decoding at start-up.
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QTextStream>
#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <string_view>
#include <thread>
#include <vector>

#include "RegionIds.h"
#include "SkinArt.h"

namespace {

Look lookOf(PictureRole role) {
    switch (role) {
        case PictureRole::Hover:
            return Look::Hover;
        case PictureRole::Lit:
            return Look::Lit;
        case PictureRole::Background:
            break;
    }
    return Look::Normal;
}

bool savePicture(const QDir& dir, int id, const char* suffix, const QImage& img, QSize size) {
    const QString path =
        dir.filePath(QString::number(id) + QString::fromLatin1(suffix) + QStringLiteral(".png"));
    if (img.size() != size || !img.save(path, "PNG")) {
        std::fprintf(stderr, "oskel-skin-generator: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

bool isStartPicture(int id) {
    const std::array<int, 2> start = startSkinPictures();
    return std::find(start.begin(), start.end(), id) != start.end();
}

// The picture as plain pixels (PlainPixelsHeader); rcc packs them small, as they are mostly
// flat colour.
bool savePlainPixels(const QDir& dir, int id, const char* suffix, const QImage& img) {
    const QString path =
        dir.filePath(QString::number(id) + QString::fromLatin1(suffix) + QStringLiteral(".pixels"));
    const QImage rgb = img.convertToFormat(QImage::Format_RGB32);
    PlainPixelsHeader header;
    header.width = static_cast<std::uint32_t>(rgb.width());
    header.height = static_cast<std::uint32_t>(rgb.height());
    QFile f(path);
    bool ok = f.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
              f.write(reinterpret_cast<const char*>(&header), sizeof header) == sizeof header;
    for (int y = 0; ok && y < rgb.height(); ++y) {
        const qint64 row = qint64{rgb.width()} * 4;
        ok = f.write(reinterpret_cast<const char*>(rgb.constScanLine(y)), row) == row;
    }
    if (!ok) {
        std::fprintf(stderr, "oskel-skin-generator: cannot write %s\n", qPrintable(path));
    }
    return ok;
}

// Both scales of one picture.
bool writePicture(const QDir& dir, const SkinPicture& pic) {
    const Look look = lookOf(pic.role);
    const QImage at1x =
        pic.window ? paintWindowPicture(*pic.window, pic.page, look) : paintScrollSkin(1);
    const QImage at2x =
        pic.window ? paintWindowPicture2x(*pic.window, pic.page, look, at1x) : paintScrollSkin(2);
    const QSize size(pic.width, pic.height);
    if (!savePicture(dir, pic.id, "", at1x, size) ||
        !savePicture(dir, pic.id, "@2x", at2x, size * 2)) {
        return false;
    }
    return !isStartPicture(pic.id) ||
           (savePlainPixels(dir, pic.id, "", at1x) && savePlainPixels(dir, pic.id, "@2x", at2x));
}

// Most of the work is compressing the PNGs; two painters share it, each taking the next picture
// not yet taken (painting into images is safe on any thread).
bool writePictures(const QDir& dir) {
    const std::vector<SkinPicture>& pictures = allSkinPictures();
    std::atomic<std::size_t> next{0};
    std::atomic<bool> ok{true};
    auto work = [&] {
        for (std::size_t i = next++; i < pictures.size() && ok; i = next++) {
            if (!writePicture(dir, pictures[i])) {
                ok = false;
            }
        }
    };
    std::thread helper(work);
    work();
    helper.join();
    return ok;
}

bool writeQrc(const QDir& dir) {
    QFile f(dir.filePath(QStringLiteral("skin.qrc")));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        return false;
    }
    QTextStream out(&f);
    out << "<!DOCTYPE RCC>\n<RCC version=\"1.0\">\n<qresource prefix=\"/skin\">\n";
    for (const SkinPicture& pic : allSkinPictures()) {
        out << "  <file>" << pic.id << ".png</file>\n";
        out << "  <file>" << pic.id << "@2x.png</file>\n";
        if (isStartPicture(pic.id)) {
            out << "  <file>" << pic.id << ".pixels</file>\n";
            out << "  <file>" << pic.id << "@2x.pixels</file>\n";
        }
    }
    out << "</qresource>\n</RCC>\n";
    return out.status() == QTextStream::Ok;
}

// A look at a window as the program shows it: some regions lit, one hovered, captions drawn
// over the pictures the way the windows draw them. Only for checking the artwork by eye.
// A few options of the key settings pages are shown chosen, one of each kind.
constexpr std::array kPreviewLit = {KeySettingsRegion::PressPlay,     KeySettingsRegion::AutoDelay,
                                    KeySettingsRegion::PreviousTrack, KeySettingsRegion::StarShower,
                                    KeySettingsRegion::LeftClick,     KeySettingsRegion::Sleep};

QImage preview(const WindowSkin& skin, int page, const char* language, int hoverId) {
    QImage out = paintWindowPicture(skin, page, Look::Normal);
    const QImage hover = paintWindowPicture(skin, page, Look::Hover);
    const QImage lit = paintWindowPicture(skin, page, Look::Lit);
    QPainter p(&out);
    const bool zh = std::string_view(language) == "zh-CN";
    for (const RegionSpec& r : skin.regions) {
        const int rp = skin.pageOf(r);
        if (r.regionId <= 0 || (rp != 0 && rp != page)) {
            continue;
        }
        const QRect rect(r.rect.left, r.rect.top, r.rect.width(), r.rect.height());
        const bool isLit = r.litAtStart || (r.keyIndex > 0 && r.keyIndex % 7 == 3) ||
                           (r.kind == RegionKind::ListRow && r.regionId % 10 == 2) ||
                           std::ranges::find(kPreviewLit, r.regionId) != kPreviewLit.end();
        if (isLit) {
            p.drawImage(rect, lit, rect);
        } else if (r.regionId == hoverId && !r.textOnly) {
            p.drawImage(rect, hover, rect);
        }
        std::u16string_view text = zh ? r.labelZh : r.labelEn;
        if (r.kind == RegionKind::ListRow) {
            text = u"list item";
        }
        if ((r.textOnly || r.showCaption) && r.captionVisible && !text.empty()) {
            QFont f;
            f.setPixelSize(r.fontSize);
            p.setFont(f);
            p.setPen(toQColor(isLit ? r.litTextColor : r.textColor));
            int flags = (r.textFormat & 1) ? Qt::AlignHCenter : Qt::AlignLeft;
            flags |= Qt::AlignTop | ((r.textFormat & 0x20) ? 0 : Qt::TextWordWrap);
            p.drawText(rect, flags,
                       QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())));
        }
    }
    return out;
}

void writePreviews(const QDir& dir) {
    for (const WindowSkin* skin : allWindowSkins()) {
        for (int page = 1; page <= skin->pageCount; ++page) {
            for (const char* lang : {"zh-CN", "en-US"}) {
                const int hoverId = skin->window == SkinWindow::Main ? 150 : 88;
                preview(*skin, page, lang, hoverId)
                    .save(dir.filePath(
                        QStringLiteral("preview-%1-%2-%3.png")
                            .arg(QString::fromUtf8(skin->name.data(), skin->name.size()))
                            .arg(page)
                            .arg(QString::fromUtf8(lang))));
            }
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc == 3 && std::string_view(argv[1]) == "--preview") {
        QDir dir(QString::fromLocal8Bit(argv[2]));
        dir.mkpath(QStringLiteral("."));
        writePreviews(dir);
        return 0;
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: oskel-skin-generator <output folder>\n");
        return 2;
    }
    QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!dir.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "oskel-skin-generator: cannot create %s\n", argv[1]);
        return 1;
    }
    if (!writePictures(dir)) {
        return 1;
    }
    if (!writeQrc(dir)) {
        std::fprintf(stderr, "oskel-skin-generator: cannot write skin.qrc\n");
        return 1;
    }
    return 0;
}
