#include "cli/console.h"

#include <QDir>

#include <cstdio>

#include "lut/platform.h"

namespace Console {

namespace {
void write(FILE *stream, const QString &text)
{
    static const bool utf8Console = (Platform::useUtf8Console(), true);
    Q_UNUSED(utf8Console)
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
    return Platform::stderrIsTerminal();
}

}
