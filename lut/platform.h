#ifndef PLATFORM_H
#define PLATFORM_H

#include <QString>
#include <QStringList>

#include <cstddef>

// The little of the operating system that the toolkit does not hide. One source file per
// system (platform_unix.cpp, platform_win.cpp); the build picks the file.
namespace Platform {

// The end of a line of text: CR LF on Windows, LF elsewhere.
extern const char lineEnd[];
extern const int lineEndLength;

// Move the file `from` over `to` in one step, replacing `to` if it exists. False when the
// system refuses (on Windows, for one, while another program holds `to` open without
// letting it be replaced).
bool replaceFile(const QString &from, const QString &to);

// Whether the standard error stream goes to a terminal.
bool stderrIsTerminal();

// Make the console show the UTF-8 the programs print (a no-op where it already does).
void useUtf8Console();

// The running program's full path, for programs without an application object to ask; empty
// when the system does not tell.
QString programPath();

// The command line's arguments, program name first, decoded as the system encodes them.
QStringList arguments(int argc, char **argv);

// How many of `cores` no other running work keeps busy (all of them where the system does not
// tell), so that a read splits itself only over cores it would really get.
int idleCores(int cores);

// Let the calling thread give way to the program's other threads when the cores are busy (a
// worker beside a window that must keep answering); nothing where a system cannot lower one
// thread alone.
void lowerThreadPriority();

// Ask for large pages behind a large table that is filled out of order (a hint; nothing where
// the system has none).
void adviseHugePages(void *begin, std::size_t bytes);

}

#endif
