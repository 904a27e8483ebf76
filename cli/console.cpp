#include "cli/console.h"

#include <QDir>

#include <cstdio>

#ifdef Q_OS_WIN
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

namespace Console {

namespace {
void write(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stream);
    std::fflush(stream);
}
}

void out(const QString &text)
{
    write(stdout, text);
}

void err(const QString &text)
{
    write(stderr, text);
}

int usageError(const QString &message)
{
    err(QStringLiteral("lutwright-cli: %1\nTry 'lutwright-cli --help' for more information.\n").arg(message));
    return Usage;
}

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

bool stderrIsTerminal()
{
    return isatty(fileno(stderr));
}

}
