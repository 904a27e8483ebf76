#include "fuzz/fuzzutil.h"

#include "lut/read_lutfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLoggingCategory>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

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
    scratchDir = QStringLiteral("%1/lutwright-fuzz-%2").arg(base).arg(::getpid());
    QDir().mkpath(scratchDir);
    std::atexit(removeScratch);
}

QString scratchPath(const char *name)
{
    return scratchDir + QLatin1Char('/') + QLatin1String(name);
}

bool writeScratch(const QString &path, const uint8_t *data, std::size_t size)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0)
        return false;
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n <= 0)
            break;
        done += std::size_t(n);
    }
    ::close(fd);
    return done == size;
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

void checkRead(const Read_LUTFile &lut, bool ok, bool headerOnly, int formatId)
{
    if (!ok && lut.errorString.isEmpty())
        fault("a failed read leaves no reason", formatId, QString());
    if (headerOnly && (lut.lut3D || lut.lut1D))
        fault("a header-only read allocated a table", formatId, QString());
    if (lut.lut3D && lut.lut3D.size() != lut.lut3DSize)
        fault("the 3D table's size differs from lut3DSize", formatId,
              QStringLiteral("%1 allocated, lut3DSize %2").arg(lut.lut3D.size()).arg(lut.lut3DSize));
    if (lut.lut1D && lut.lut1D.size() != lut.lut1DSize)
        fault("the 1D table's size differs from lut1DSize", formatId,
              QStringLiteral("%1 allocated, lut1DSize %2").arg(lut.lut1D.size()).arg(lut.lut1DSize));
    if (ok && !headerOnly && !lut.lut3D && !lut.lut1D)
        fault("a full read succeeded without a table", formatId, QString());
}

}
