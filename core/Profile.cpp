// SPDX-License-Identifier: GPL-2.0-or-later
// Writing and reading profile files.

#include "Profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

#include "FileReplace.h"
#include "XmlDocument.h"

namespace {

// Catalogue entries hold step lists whose steps hold empty lists; nothing deeper is ever
// written. Deeper lists in a file are skipped so that nesting cannot exhaust the stack.
constexpr int kMaxListDepth = 3;
// Item IDs beyond this are skipped: a hostile "ID" must not make the reader allocate unbounded.
constexpr int kMaxItemId = 100000;
// Every list item the reader makes, for an x element or for a gap in the IDs, is charged to one
// budget for the whole load: a fixed allowance, which honest gaps never come near, and one item
// for every four characters of the text, more than the x elements the text can hold. High IDs
// (gaps of up to 100000 items in every nested list) would otherwise make a file of a few
// kilobytes ask for gigabytes.
constexpr size_t kItemAllowance = 65536;
constexpr size_t kCharactersPerItem = 4;
constexpr int kMaxMode = kAssignmentTypeCount - 1;
constexpr off_t kMaxProfileBytes = off_t{512} << 20;

// No name or step of a profile comes near this; a longer attribute or text is not a profile's.
constexpr size_t kMaxValueLength = 64 * 1024;

constexpr int kCatalogueViewCombos = 6;
constexpr int kCatalogueViewOthers = 9;

class ItemBudget {
public:
    explicit ItemBudget(const XmlDocument& doc)
        : left(kItemAllowance + doc.text().size() / kCharactersPerItem) {}
    // False, for good, once more items are asked for than are left.
    bool take(size_t items) {
        if (items > left) {
            spent = true;
            left = 0;
        }
        left -= items;
        return !spent;
    }
    bool exceeded() const { return spent; }

private:
    size_t left;
    bool spent = false;
};

void readList(StepList& list, XmlDocument& doc, int depth, ItemBudget& budget) {
    list.clear();
    if (!doc.findElement(u"List")) {
        return;
    }
    list.SizeOfView = doc.attributeInt(u"SizeOfView");
    list.ViewStartAt = doc.attributeInt(u"ViewStartAt");
    list.CursorPos = doc.attributeInt(u"CursorPos");
    list.Cycles = doc.attributeInt(u"Cycles");
    list.IsAutoInterval = doc.attributeInt(u"IsAutoInterval") != 0;
    list.Delay = doc.attributeInt(u"Delay");
    list.PlayMode = doc.attributeInt(u"PlayMode");
    if (depth >= kMaxListDepth) {
        return;
    }
    doc.stepInto();
    // Writers number the items 0..n-1, so the count of x elements is the size to make room
    // for; growing item by item would leave a quarter of a large profile's lists unused.
    size_t elements = 0;
    while (doc.findElement(u"x")) {
        ++elements;
    }
    doc.resetCurrent();
    list.items.reserve(std::min<size_t>(elements, kMaxItemId + 1));
    list.children.reserve(std::min<size_t>(elements, kMaxItemId + 1));
    while (doc.findElement(u"x")) {
        const int n = doc.attributeInt(u"ID");
        if (n < 0 || n > kMaxItemId) {
            continue;
        }
        if (!budget.take(n >= list.count() ? n + 1 - list.count() : 0)) {
            break;
        }
        std::u16string text = doc.attributeValue(u"t1");
        StepList child;
        doc.stepInto();
        readList(child, doc, depth + 1, budget);
        doc.stepOut();
        if (budget.exceeded()) {
            break;
        }
        if (n == list.count()) {
            list.items.push_back(std::move(text));
            list.children.push_back(std::move(child));
            continue;
        }
        if (n > list.count()) {
            // Gaps in the IDs leave empty items; their lists take this list's view size.
            list.items.resize(n + 1);
            list.children.resize(n + 1, StepList(list.SizeOfView));
        }
        list.items[n] = std::move(text);
        list.children[n] = std::move(child);
    }
    doc.stepOut();
}

// Finds the sections of a profile. Each is looked up from the root's first child, so that a
// missing or misplaced section does not hide the others. In a file cut short, the root and the
// section being written have no end tag; the parser's repair moved their content after them,
// so the sections (or a section's elements) are looked for there instead.
class SectionReader {
public:
    explicit SectionReader(XmlDocument& doc) : doc_(doc) {
        doc_.resetPos();
        doc_.findElement(u"Oskel");
        rootUnended_ = doc_.isUnended();
        if (!rootUnended_) {
            doc_.stepInto();
        }
    }
    // On success the cursor is where the section's elements are found.
    bool enter(const char16_t* name) {
        if (rootUnended_) {
            doc_.resetPos();
            doc_.findElement(u"Oskel");
        } else {
            doc_.resetCurrent();
        }
        if (!doc_.findElement(name)) {
            return false;
        }
        sectionUnended_ = doc_.isUnended();
        if (!sectionUnended_) {
            doc_.stepInto();
        }
        return true;
    }
    void leave() {
        if (!sectionUnended_) {
            doc_.stepOut();
        }
    }

private:
    XmlDocument& doc_;
    bool rootUnended_ = false;
    bool sectionUnended_ = false;
};

void writeCatalogue(XmlDocument& doc, const char16_t* name, const StepList& list) {
    doc.appendElement(name);
    doc.stepInto();
    list.writeXml(doc);
    doc.stepOut();
}

// Everything a profile replaces, read into temporaries first so that a refused file leaves the
// configuration as it was. Starts as clear() leaves a configuration.
struct ProfileContent {
    explicit ProfileContent(const KeyboardConfig& config)
        : combos(kCatalogueViewCombos),
          macros(kCatalogueViewOthers),
          emulations(kCatalogueViewOthers) {
        for (int k = 0; k < kKeyTableSize; ++k) {
            for (int l = 0; l < kLevelCount; ++l) {
                slots[k][l].mode = NotSet;
                slots[k][l].hwCode = k;
                slots[k][l].steps = StepList(config.assignments[k][l].steps.SizeOfView);
            }
        }
    }

    explicit ProfileContent(const KeyboardConfig& config, const XmlDocument& doc)
        : ProfileContent(config) {
        budget = std::make_unique<ItemBudget>(doc);
    }

    void read(XmlDocument& doc) {
        SectionReader sections(doc);
        const std::pair<const char16_t*, StepList*> catalogues[] = {
            {u"PredefinedCombo", &combos},
            {u"PredefinedMacro", &macros},
            {u"PredefinedEmu", &emulations}};
        for (const auto& [name, list] : catalogues) {
            if (sections.enter(name)) {
                readList(*list, doc, 0, *budget);
                sections.leave();
            }
        }
        if (sections.enter(u"BackgroundLightSettings")) {
            while (doc.findElement(u"AREA")) {
                readColour(doc);
            }
            sections.leave();
        }
        if (sections.enter(u"CurrentSettings")) {
            while (doc.findElement(u"KEY")) {
                readKey(doc);
            }
            sections.leave();
        }
    }

    void readColour(XmlDocument& doc) {
        const int n = doc.attributeInt(u"ID");
        if (n < 1 || n > kKeyCount) {
            return;
        }
        // The keyboard takes one byte per component.
        auto component = [&](const char16_t* name) {
            return std::clamp(doc.attributeInt(name), 0, 255);
        };
        colours[n] = {component(u"Red"), component(u"Green"), component(u"Blue")};
    }

    void readKey(XmlDocument& doc) {
        const int k = doc.attributeInt(u"ID");
        const int l = doc.attributeInt(u"Level");
        if (k < 1 || k > kKeyCount || l < 0 || l >= kLevelCount) {
            return;
        }
        KeyAssignment& slot = slots[k][l];
        const int mode = doc.attributeInt(u"Mode");
        slot.mode = (mode >= 0 && mode <= kMaxMode) ? mode : NotSet;
        slot.hwCode = doc.attributeInt(u"HWCode");
        doc.stepInto();
        if (doc.findElement(u"ComboKey")) {
            doc.stepInto();
            readList(slot.steps, doc, 0, *budget);
            doc.stepOut();
        } else {
            slot.steps.clear();
        }
        doc.stepOut();
    }

    void moveInto(KeyboardConfig& config) {
        config.predefinedCombos = std::move(combos);
        config.predefinedMacros = std::move(macros);
        config.predefinedEmulations = std::move(emulations);
        config.backlight = colours;
        for (int k = 0; k < kKeyTableSize; ++k) {
            for (int l = 0; l < kLevelCount; ++l) {
                config.assignments[k][l] = std::move(slots[k][l]);
            }
        }
    }

    // More items asked for than the file can honestly need: the profile is refused.
    bool tooLarge() const { return budget->exceeded(); }

    std::unique_ptr<ItemBudget> budget;
    StepList combos;
    StepList macros;
    StepList emulations;
    std::array<Colour, kKeyTableSize> colours{};
    std::array<std::array<KeyAssignment, kLevelCount>, kKeyTableSize> slots;
};

void say(std::string* message, const std::string& text) {
    if (message != nullptr) {
        *message = text;
    }
}

std::string systemError(int error) {
    return std::strerror(error);
}

// Mode for the new file: that of the file it replaces, else what the umask allows. (Reading the
// umask sets it for a moment; profiles are saved from one thread, which is all that matters.)
mode_t newFileMode(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) == 0) {
        return info.st_mode & 07777;
    }
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

// A profile kept behind a symbolic link (a dotfiles folder, say) is saved into the file the link
// names, so the link stays a link. A dangling link is replaced like any other path.
std::string saveTargetOf(const std::string& path) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
        return path;
    }
    char* resolved = realpath(path.c_str(), nullptr);
    if (resolved == nullptr) {
        return path;
    }
    std::string target = resolved;
    std::free(resolved);
    return target;
}

// Why `path` cannot take a saved profile, empty when it can: a new file, a regular file, or a
// symbolic link to one (or to nothing yet). Replacing a FIFO, a device or /proc/self/fd/N by a
// regular file would break whatever it stands for.
std::string notSaveable(const std::string& path) {
    struct stat link {};
    if (lstat(path.c_str(), &link) != 0 || S_ISREG(link.st_mode)) {
        return {};
    }
    struct stat target {};
    if (S_ISLNK(link.st_mode) &&
        (stat(path.c_str(), &target) != 0 ? errno == ENOENT : S_ISREG(target.st_mode))) {
        return {};
    }
    return "it is not a regular file (a folder, a FIFO, a device or the like), so it was left "
           "as it is";
}

// Why `path` is no profile to read, empty when it may be one. Checked before a byte is read,
// so /dev/zero or an endless FIFO is never read at all.
std::string notLoadable(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        return {};  // the open says why
    }
    if (!S_ISREG(info.st_mode)) {
        return S_ISDIR(info.st_mode) ? systemError(EISDIR)
                                     : "it is not a regular file (a FIFO, a device or the like)";
    }
    if (info.st_size > kMaxProfileBytes) {
        // The largest profile the program can write is about 61 MB; a file many times that
        // size is something else, and reading it would need three times its size in memory.
        return "the file is too large to be a profile";
    }
    return {};
}

// What a failed replacement means to the user.
std::string replaceError(int error) {
    if (error == EEXIST) {
        return "another program changed the folder while the profile was being saved, so the "
               "save was stopped and the file left as it was";
    }
    return systemError(error);
}

// Why the text cannot be a profile because it holds an attribute or a text longer than any
// profile has, naming the line where it starts; empty when it has none. One pass over the
// text, before any value is copied out of it.
std::string overlongValue(std::u16string_view text) {
    size_t line = 1;
    size_t runStart = 0;  // where the current text, or quoted value, began
    size_t runLine = 1;
    char16_t quote = 0;  // inside a tag: the quote of the open value, 0 when none
    bool inTag = false;
    size_t bare = 0;  // characters of the tag outside its quoted values
    auto refuse = [&](const char* what) {
        return "line " + std::to_string(runLine) + " holds " + what + " longer than " +
               std::to_string(kMaxValueLength / 1024) +
               " KiB, far more than any profile has, so the file was refused";
    };
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c == u'\n') {
            ++line;
        }
        if (!inTag) {
            if (c == u'<') {
                if (i - runStart > kMaxValueLength) {
                    return refuse("a text");
                }
                // Comments and processing instructions are passed over whole.
                const std::u16string_view rest = text.substr(i);
                const std::u16string_view close = rest.starts_with(u"<!--") ? u"-->"
                                                  : rest.starts_with(u"<?") ? u"?>"
                                                                            : u"";
                if (!close.empty()) {
                    const size_t end = text.find(close, i);
                    const size_t stop = end == std::u16string_view::npos ? text.size() : end;
                    for (size_t k = i; k < stop; ++k) {
                        line += text[k] == u'\n' ? 1 : 0;
                    }
                    i = stop == text.size() ? stop : stop + close.size() - 1;
                    runStart = i + 1;
                    runLine = line;
                    continue;
                }
                inTag = true;
                bare = 0;
                runLine = line;
            }
            continue;
        }
        if (quote != 0) {
            if (c == quote) {
                if (i - runStart > kMaxValueLength) {
                    return refuse("an attribute");
                }
                quote = 0;
            }
            continue;
        }
        if (++bare > kMaxValueLength) {
            return refuse("an attribute");
        }
        if (c == u'"' || c == u'\'') {
            quote = c;
            runStart = i + 1;
            runLine = line;
        } else if (c == u'>') {
            inTag = false;
            runStart = i + 1;
            runLine = line;
        }
    }
    if ((!inTag || quote != 0) && text.size() - runStart > kMaxValueLength) {
        return refuse(inTag ? "an attribute" : "a text");
    }
    return {};
}

}  // namespace

void StepList::writeXml(XmlDocument& doc) const {
    doc.appendElement(u"List");
    doc.setAttributes({{u"SizeOfView", SizeOfView},
                       {u"ViewStartAt", ViewStartAt},
                       {u"CursorPos", CursorPos},
                       {u"Cycles", Cycles},
                       {u"IsAutoInterval", IsAutoInterval ? 1 : 0},
                       {u"Delay", Delay},
                       {u"PlayMode", PlayMode}});
    doc.stepInto();
    for (int i = 0; i < count(); ++i) {
        doc.appendElement(u"x");
        doc.setAttribute(u"ID", i);
        doc.setAttribute(u"t1", items[i]);
        doc.stepInto();
        if (i < static_cast<int>(children.size())) {
            children[i].writeXml(doc);
        } else {
            StepList(SizeOfView).writeXml(doc);
        }
        doc.stepOut();
    }
    doc.stepOut();
}

void StepList::readXml(XmlDocument& doc) {
    ItemBudget budget(doc);
    readList(*this, doc, 0, budget);
}

bool KeyboardConfig::saveProfile(const std::string& path, std::string* message) const {
    XmlDocument doc;
    doc.setText(kProfileDeclaration);
    doc.appendElement(u"Oskel");
    doc.stepInto();
    writeCatalogue(doc, u"PredefinedCombo", predefinedCombos);
    writeCatalogue(doc, u"PredefinedMacro", predefinedMacros);
    writeCatalogue(doc, u"PredefinedEmu", predefinedEmulations);
    doc.appendElement(u"BackgroundLightSettings");
    doc.stepInto();
    for (int n = 1; n <= kKeyCount; ++n) {
        doc.appendElement(u"AREA");
        doc.setAttributes({{u"ID", n},
                           {u"Red", backlight[n][0]},
                           {u"Green", backlight[n][1]},
                           {u"Blue", backlight[n][2]}});
    }
    doc.stepOut();
    doc.appendElement(u"CurrentSettings");
    doc.stepInto();
    for (int k = 1; k <= kKeyCount; ++k) {
        for (int l = 0; l < kLevelCount; ++l) {
            const KeyAssignment& slot = assignments[k][l];
            doc.appendElement(u"KEY");
            doc.setAttributes(
                {{u"ID", k}, {u"Level", l}, {u"Mode", slot.mode}, {u"HWCode", slot.hwCode}});
            doc.stepInto();
            doc.appendElement(u"ComboKey");
            doc.stepInto();
            slot.steps.writeXml(doc);
            doc.stepOut();
            doc.stepOut();
        }
    }
    doc.stepOut();
    doc.stepOut();

    if (const std::string why = notSaveable(path); !why.empty()) {
        say(message, why);
        return false;
    }
    // Written beside the target and renamed over it, so that a crash or a full disk never
    // leaves a truncated profile in place of a good one.
    const std::string target = saveTargetOf(path);
    std::string written;
    const int error = filereplace::replace(target, newFileMode(target), [&](int fd) {
        if (doc.saveFile(fd)) {
            return 0;
        }
        written = doc.fileError();
        return EIO;
    });
    if (error != 0) {
        say(message, !written.empty() ? written : replaceError(error));
        return false;
    }
    say(message, {});
    return true;
}

bool KeyboardConfig::loadProfile(const std::string& path, std::string* message) {
    if (const std::string why = notLoadable(path); !why.empty()) {
        say(message, why);
        return false;
    }
    auto doc = std::make_unique<XmlDocument>();
    doc->loadFile(path);
    if (!doc->fileError().empty()) {
        say(message, doc->fileError());
        return false;
    }
    if (const std::string why = overlongValue(doc->text()); !why.empty()) {
        say(message, why);
        return false;
    }
    doc->resetPos();
    if (!doc->findElement(u"Oskel")) {
        say(message, "the file has no Oskel element, so it is not a profile");
        return false;
    }
    // The root's end tag is the last line the program writes: without it the file was cut short.
    const bool cutShort = doc->isUnended();
    auto content = std::make_unique<ProfileContent>(*this, *doc);
    content->read(*doc);
    if (content->tooLarge()) {
        say(message,
            "the file asks for far more list items than it holds (item IDs far beyond its "
            "items), so it is not a profile the program wrote");
        return false;
    }
    doc.reset();  // the text is no longer needed while the configuration is replaced
    content->moveInto(*this);
    profileCutShort = cutShort;
    say(message, {});
    return true;
}
