#ifndef CLI_CONSOLE_H
#define CLI_CONSOLE_H

#include <QString>

// Output of the command-line program: UTF-8 text on stdout and stderr, whatever the locale,
// so that format labels and file names come out the same everywhere.
namespace Console {

// Exit statuses: every task done, some failed, the command line itself was wrong.
enum Status { Ok = 0, SomeFailed = 1, Usage = 2, Interrupted = 130 };

void out(const QString &text);
void err(const QString &text);
// "lutwright-cli: message" and a pointer to --help; returns Usage.
int usageError(const QString &message);
// A path as the user should see it.
QString shown(const QString &path);
bool stderrIsTerminal();

}

#endif
