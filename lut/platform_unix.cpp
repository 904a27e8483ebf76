#include "lut/platform.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#ifdef __APPLE__
#include <mach-o/dyld.h>
#include <pthread.h>
#endif
#ifdef __linux__
#include <sys/syscall.h>
#endif

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

QString programPath()
{
#ifdef __APPLE__
    char path[4096];
    std::uint32_t size = sizeof path;
    if (_NSGetExecutablePath(path, &size) == 0)
        return QFileInfo(QFile::decodeName(path)).canonicalFilePath();
    return QString();
#else
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
#endif
}

QStringList arguments(int argc, char **argv)
{
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    return args;
}

int idleCores(int cores)
{
    // The fourth field of /proc/loadavg is "running/total"; the running include this thread.
    char text[128] = {};
    std::FILE *f = std::fopen("/proc/loadavg", "r");
    if (!f)
        return cores;
    const bool read = std::fgets(text, sizeof text, f) != nullptr;
    std::fclose(f);
    const char *p = text;
    for (int field = 0; read && field < 3 && p; ++field) {
        p = std::strchr(p, ' ');
        if (p)
            ++p;
    }
    if (!read || !p)
        return cores;
    const long running = std::strtol(p, nullptr, 10);
    if (running <= 0)
        return cores;
    return int(std::max<long>(1, std::min<long>(cores, cores - (running - 1))));
}

void lowerThreadPriority()
{
#if defined(__linux__)
    // On Linux the nice value belongs to each thread: this one alone is made nicer.
    const id_t thread = id_t(::syscall(SYS_gettid));
    errno = 0;
    const int nice = ::getpriority(PRIO_PROCESS, thread);
    if (errno == 0)
        ::setpriority(PRIO_PROCESS, thread, std::min(19, nice + 5));
#elif defined(__APPLE__)
    ::pthread_set_qos_class_self_np(QOS_CLASS_UTILITY, 0);
#endif
}

void adviseHugePages(void *begin, std::size_t bytes)
{
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    ::madvise(begin, bytes, MADV_HUGEPAGE);
#else
    (void)begin;
    (void)bytes;
#endif
}

}
