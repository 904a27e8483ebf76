#ifndef CLI_COMMANDS_H
#define CLI_COMMANDS_H

#include <QStringList>

// The subcommands. Each takes the arguments after its name and returns the exit status.
namespace Commands {

int convert(const QStringList &args);
int info(const QStringList &args);
int formats(const QStringList &args);
int merge(const QStringList &args);
int apply(const QStringList &args);
int compare(const QStringList &args);
int preview(const QStringList &args);
int devices(const QStringList &args);
int invert(const QStringList &args);

// Help for one subcommand, or for all when `command` is empty.
QString help(const QString &command = QString());
QString version();

}

#endif
