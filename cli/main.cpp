// lutwright-cli: the LUT library from the command line.
#include <QLoggingCategory>
#include <QStringList>

#include <clocale>

#include "cli/commands.h"
#include "cli/console.h"

int main(int argc, char *argv[])
{
    // No application object: nothing here needs an event loop, and making one costs a small
    // conversion a tenth of its time and 1.5 MB. Of what it would set up, the C library's
    // locale is taken from the environment here (file names and arguments are in its
    // encoding); numbers must never depend on it, whatever the user's language.
    std::setlocale(LC_ALL, "");
    std::setlocale(LC_NUMERIC, "C");
    // The readers' diagnostic output is for developers, not for the command line.
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));

    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    if (args.isEmpty()) {
        Console::err(Commands::help(QStringLiteral("usage")));
        return Console::Usage;
    }
    const QString command = args.takeFirst();
    if (command == QLatin1String("--help") || command == QLatin1String("-h") || command == QLatin1String("help")) {
        Console::out(Commands::help(args.value(0)));
        return Console::Ok;
    }
    if (command == QLatin1String("--version")) {
        Console::out(Commands::version());
        return Console::Ok;
    }

    using Run = int (*)(const QStringList &);
    const struct {
        const char *name;
        Run run;
    } commands[] = {
        {"convert", Commands::convert}, {"info", Commands::info},   {"formats", Commands::formats},
        {"merge", Commands::merge},     {"apply", Commands::apply},
    };
    for (const auto &c : commands) {
        if (command != QLatin1String(c.name))
            continue;
        if (args.contains(QLatin1String("--help")) || args.contains(QLatin1String("-h"))) {
            Console::out(Commands::help(command));
            return Console::Ok;
        }
        return c.run(args);
    }
    return Console::usageError(QStringLiteral("unknown command '%1'").arg(command));
}
