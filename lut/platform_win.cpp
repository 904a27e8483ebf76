#include "lut/platform.h"

#include <QDir>

#include <cstdio>

#include <io.h>
#include <windows.h>

namespace Platform {

const char lineEnd[] = "\r\n";
const int lineEndLength = 2;

bool replaceFile(const QString &from, const QString &to)
{
    const std::wstring source = QDir::toNativeSeparators(from).toStdWString();
    const std::wstring target = QDir::toNativeSeparators(to).toStdWString();
    return ::MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool stderrIsTerminal()
{
    return ::_isatty(::_fileno(stderr)) != 0;
}

void useUtf8Console()
{
    ::SetConsoleOutputCP(CP_UTF8);
}

}
