#include "fuzz/fuzzutil.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLoggingCategory>

#include <cstdio>
#include <cstdlib>

namespace {
QString scratchDir;

void dropMessages(QtMsgType, const QMessageLogContext &, const QString &) {}

void removeScratch()
{
    if (!scratchDir.isEmpty())
        QDir(scratchDir).removeRecursively();
}
}

namespace FuzzUtil {

void init(int *argc, char ***argv)
{
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false\n*.info=false\n*.warning=false"));
    qInstallMessageHandler(dropMessages);
    // Image plugins are found through the application object; it lives for the whole run.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QCoreApplication app(*argc, *argv);
    const QString base = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    scratchDir = QStringLiteral("%1/lutwright-fuzz-%2").arg(base).arg(QCoreApplication::applicationPid());
    QDir().mkpath(scratchDir);
    std::atexit(removeScratch);
}

QString scratchPath(const char *name)
{
    return scratchDir + QLatin1Char('/') + QLatin1String(name);
}

bool writeScratch(const QString &path, const uint8_t *data, std::size_t size)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        && file.write(reinterpret_cast<const char *>(data), qint64(size)) == qint64(size);
}

LUTFILE_ST side(int formatId, const QString &path, uint8_t flags)
{
    LUTFILE_ST f;
    f.path = path;
    f.formatId = formatId;
    f.defaultOrder = flags & 2;
    f.dataOrderRGB = flags & 4;
    f.tableOrderRGB = flags & 8;
    return f;
}

void fault(const char *what, int formatId, const QString &detail)
{
    std::fprintf(stderr, "\nFAULT (format id %d): %s\n  %s\n", formatId, what, detail.toLocal8Bit().constData());
    std::abort();
}

}
