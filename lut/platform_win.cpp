#include "lut/platform.h"

#include <QDir>

#include <cstdio>

#include <io.h>
#include <windows.h>
#include <shellapi.h>

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

QString programPath()
{
    wchar_t path[32768];
    const DWORD n = ::GetModuleFileNameW(nullptr, path, DWORD(sizeof path / sizeof path[0]));
    if (n == 0 || n >= sizeof path / sizeof path[0])
        return QString();
    return QDir::fromNativeSeparators(QString::fromWCharArray(path, int(n)));
}

// The console hands programs their arguments in UTF-16; argv holds them in the ANSI code page.
QStringList arguments(int argc, char **argv)
{
    QStringList args;
    int count = 0;
    if (LPWSTR *wide = ::CommandLineToArgvW(::GetCommandLineW(), &count)) {
        for (int i = 0; i < count; ++i)
            args << QString::fromWCharArray(wide[i]);
        ::LocalFree(wide);
        return args;
    }
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    return args;
}

int idleCores(int cores)
{
    return cores;
}

void lowerThreadPriority()
{
    ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
}

void adviseHugePages(void *, std::size_t)
{
}

}
