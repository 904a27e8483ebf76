// The image code for LUTs kept in images (textures, Hald and unwrapped-cube images): the
// command line's image module, which the package keeps beside the extension and loads only
// when a LUT first needs it, so that importing the module never loads the GUI toolkit.
#include <QFile>
#include <QLibrary>
#include <QString>

#include <mutex>

#include "formats/imagefiles.h"
#include "imageio/imagemodule.h"

namespace {

std::mutex pathLock;
QString modulePath;

struct Loaded {
    const ImageFiles::Backend *backend = nullptr;
    QString why;
};

Loaded load()
{
    using Entry = const ImageFiles::Backend *(*)();
    QString path;
    {
        const std::lock_guard<std::mutex> lock(pathLock);
        path = modulePath;
    }
    Loaded loaded;
    if (path.isEmpty() || !QFile::exists(path)) {
        loaded.why = QStringLiteral("image support is not installed (%1 not found)").arg(path);
        return loaded;
    }
    // Never unloaded: decoded pixels point into it for the rest of the run.
    QLibrary module(path);
    module.setLoadHints(QLibrary::ResolveAllSymbolsHint);
    if (!module.load()) {
        loaded.why = QStringLiteral("image support cannot be loaded: %1").arg(module.errorString());
        return loaded;
    }
    const auto entry = reinterpret_cast<Entry>(module.resolve(LUTWRIGHT_IMAGE_MODULE_ENTRY_NAME));
    if (!entry) {
        loaded.why = QStringLiteral("image support cannot be loaded: %1 is a module of another version").arg(path);
        module.unload();
        return loaded;
    }
    loaded.backend = entry();
    return loaded;
}

}

void setImageModulePath(const QString &path)
{
    const std::lock_guard<std::mutex> lock(pathLock);
    modulePath = path;
}

const ImageFiles::Backend *ImageFiles::backend(QString *why)
{
    static const Loaded loaded = load();
    if (!loaded.backend && why)
        *why = loaded.why;
    return loaded.backend;
}
