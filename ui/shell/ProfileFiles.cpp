#include "ProfileFiles.h"

#include "KeyboardConfig.h"

#if __has_include("Profile.h")
#include "Profile.h"
#define OSKEL_HAVE_PROFILE 1
#endif

bool saveProfileFile(KeyboardConfig& config, const QString& path, QString* reason) {
#if defined(OSKEL_HAVE_PROFILE)
    std::u16string why;
    const bool saved = saveProfile(config, path.toStdU16String(), &why);
    if (!saved && reason != nullptr) {
        *reason = QString::fromStdU16String(why);
    }
    return saved;
#else
    (void)config;
    (void)path;
    if (reason != nullptr) {
        *reason = QStringLiteral("this build has no profile support");
    }
    return false;
#endif
}

bool loadProfileFile(KeyboardConfig& config, const QString& path, QString* reason) {
#if defined(OSKEL_HAVE_PROFILE)
    std::u16string why;
    const bool loaded = loadProfile(config, path.toStdU16String(), &why);
    if (!loaded && reason != nullptr) {
        *reason = QString::fromStdU16String(why);
    }
    return loaded;
#else
    (void)config;
    (void)path;
    if (reason != nullptr) {
        *reason = QStringLiteral("this build has no profile support");
    }
    return false;
#endif
}
