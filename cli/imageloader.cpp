// The command-line program loads the image code only when a command meets an image: text
// LUTs, most of its work, then never load the GUI toolkit's libraries, which would double the
// memory and start-up time of a small conversion.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibrary>
#include <QStringList>

#include "formats/imagefiles.h"
#include "imageio/imagemodule.h"
#include "lut/platform.h"

namespace {

struct Loaded {
    const ImageFiles::Backend *backend = nullptr;
    QString why;
};

// The running program's folder (the program has no application object to ask).
QString programDir()
{
    return QFileInfo(Platform::programPath()).absolutePath();
}

Loaded load()
{
    using Entry = const ImageFiles::Backend *(*)();
    const QString dir = programDir();
    // Beside the program in the build tree; in the library folder once installed.
    const QStringList candidates = {
        dir + QStringLiteral("/" LUTWRIGHT_IMAGE_MODULE_FILE),
        QDir::cleanPath(dir + QStringLiteral("/" LUTWRIGHT_IMAGE_MODULE_INSTALLED)),
    };
    Loaded loaded;
    QStringList failures;
    for (const QString &path : candidates) {
        if (!QFile::exists(path))
            continue;
        // Never unloaded (a QLibrary leaves the module loaded when it goes): pixels it
        // decoded point into it for the rest of the run.
        QLibrary module(path);
        module.setLoadHints(QLibrary::ResolveAllSymbolsHint);
        if (!module.load()) {
            failures << module.errorString();
            continue;
        }
        const auto entry = reinterpret_cast<Entry>(module.resolve(LUTWRIGHT_IMAGE_MODULE_ENTRY_NAME));
        if (!entry) {
            failures << QStringLiteral("%1 is a module of another version").arg(path);
            module.unload();
            continue;
        }
        loaded.backend = entry();
        return loaded;
    }
    loaded.why = failures.isEmpty()
                     ? QStringLiteral("image support is not installed (%1 not found)").arg(candidates.join(QStringLiteral(", ")))
                     : QStringLiteral("image support cannot be loaded: %1").arg(failures.join(QStringLiteral("; ")));
    return loaded;
}

}

const ImageFiles::Backend *ImageFiles::backend(QString *why)
{
    static const Loaded loaded = load();
    if (!loaded.backend && why)
        *why = loaded.why;
    return loaded.backend;
}
