#ifndef PLATFORM_H
#define PLATFORM_H

#include <QString>

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

}

#endif
