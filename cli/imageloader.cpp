// The command-line program loads the image code only when a command meets an image: text
// LUTs, most of its work, then never load the GUI toolkit's libraries, which would double the
// memory and start-up time of a small conversion.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <dlfcn.h>

#include "imageio/imagemodule.h"
#include "formats/imagefiles.h"

namespace {

struct Loaded {
    const ImageFiles::Backend *backend = nullptr;
    QString why;
};

Loaded load();

// The running program's folder (the program has no application object to ask).
QString programDir()
{
    const QString exe = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    if (!exe.isEmpty())
        return QFileInfo(exe).absolutePath();
    Dl_info info;
    if (dladdr(reinterpret_cast<void *>(&load), &info) && info.dli_fname)
        return QFileInfo(QFile::decodeName(info.dli_fname)).absolutePath();
    return QString();
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
        void *handle = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            failures << QString::fromLocal8Bit(dlerror());
            continue;
        }
        const auto entry = reinterpret_cast<Entry>(dlsym(handle, LUTWRIGHT_IMAGE_MODULE_ENTRY_NAME));
        if (!entry) {
            failures << QStringLiteral("%1 is a module of another version").arg(path);
            dlclose(handle);
            continue;
        }
        // The module stays loaded for the rest of the run: pixels it decoded point into it.
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
