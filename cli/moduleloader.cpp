#include "cli/moduleloader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibrary>
#include <QStringList>

#include "lut/platform.h"

void *ModuleLoader::entry(const char *file, const char *installed, const char *entryName, const QString &what,
                          QString *why)
{
    // The running program's folder (the program has no application object to ask).
    const QString dir = QFileInfo(Platform::programPath()).absolutePath();
    const QStringList candidates = {
        dir + QLatin1Char('/') + QString::fromUtf8(file),
        QDir::cleanPath(dir + QLatin1Char('/') + QString::fromUtf8(installed)),
    };
    QStringList failures;
    for (const QString &path : candidates) {
        if (!QFile::exists(path))
            continue;
        // A QLibrary leaves the module loaded when it goes.
        QLibrary module(path);
        module.setLoadHints(QLibrary::ResolveAllSymbolsHint);
        if (!module.load()) {
            failures << module.errorString();
            continue;
        }
        if (void *found = reinterpret_cast<void *>(module.resolve(entryName)))
            return found;
        failures << QStringLiteral("%1 is a module of another version").arg(path);
        module.unload();
    }
    *why = failures.isEmpty()
               ? QStringLiteral("%1 is not installed (%2 not found)").arg(what, candidates.join(QStringLiteral(", ")))
               : QStringLiteral("%1 cannot be loaded: %2").arg(what, failures.join(QStringLiteral("; ")));
    return nullptr;
}
