#include "lut/platform.h"

#include <QFile>

#include <cstdio>

#include <unistd.h>

namespace Platform {

const char lineEnd[] = "\n";
const int lineEndLength = 1;

bool replaceFile(const QString &from, const QString &to)
{
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

bool stderrIsTerminal()
{
    return ::isatty(STDERR_FILENO) == 1;
}

void useUtf8Console()
{
}

}
