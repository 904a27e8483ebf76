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

const Formats::Format &targetFormat(const char *program)
{
    const QString name = QString::fromLocal8Bit(program).section(QLatin1Char('/'), -1);
    const QString prefix = QStringLiteral("fuzz_read_");
    const QString wanted = name.startsWith(prefix) ? name.mid(prefix.size())
                                                   : QString::fromLocal8Bit(qgetenv("LUTWRIGHT_FUZZ_FORMAT"));
    const Formats::Format *format = Formats::byName(wanted);
    if (!format || !format->read) {
        std::fprintf(stderr, "no readable format '%s': run as fuzz_read_<format> or set LUTWRIGHT_FUZZ_FORMAT\n",
                     wanted.toLocal8Bit().constData());
        std::exit(2);
    }
    return *format;
}

LUTFILE_ST side(const Formats::Format &format, const QString &path, uint8_t flags)
{
    LUTFILE_ST f;
    f.path = path;
    f.formatId = qint32(format.id);
    f.defaultOrder = flags & 2;
    f.dataOrderRGB = flags & 4;
    f.tableOrderRGB = flags & 8;
    return f;
}

void fault(const char *what, const Formats::Format &format, const QString &detail)
{
    std::fprintf(stderr, "\nFAULT (format %s): %s\n  %s\n", format.name, what, detail.toLocal8Bit().constData());
    std::abort();
}

}
