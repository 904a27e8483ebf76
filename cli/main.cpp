// lutwright-cli: the LUT library from the command line.
#include <QCoreApplication>
#include <QLoggingCategory>
#include <QStringList>

#include <clocale>
#include <cstring>
#include <memory>

#include "cli/commands.h"
#include "cli/console.h"
#include "formats/imagefiles.h"
#include "lut/platform.h"

namespace {

// Only preview needs an application object: it paints text, which the toolkit allows only
// under its GUI application object, and the program links no GUI code, so the image module
// makes it. Everything else runs without one (making one costs a small conversion a tenth of
// its time and 1.5 MB).
std::unique_ptr<QCoreApplication> application(int &argc, char **argv)
{
    if (argc > 1 && std::strcmp(argv[1], "preview") == 0)
        if (const ImageFiles::Backend *images = ImageFiles::backend(nullptr))
            return std::unique_ptr<QCoreApplication>(images->paintingApplication(argc, argv));
    return nullptr;
}

}

#if defined(__SANITIZE_ADDRESS__)
// The offscreen platform plugin that preview paints on never frees its screen at exit; what
// hangs off the screen goes with it.
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libqoffscreen.so\n"
           "leak:QScreen::QScreen\n";
}

// Nothing on stderr about it: that belongs to the program's messages.
extern "C" const char *__lsan_default_options()
{
    return "print_suppressions=0";
}
#endif

int main(int argc, char *argv[])
{
    const std::unique_ptr<QCoreApplication> app = application(argc, argv);
    // The C library's locale comes from the environment (file names and arguments are in its
    // encoding), as an application object would set it; numbers must never depend on it,
    // whatever the user's language.
    std::setlocale(LC_ALL, "");
    std::setlocale(LC_NUMERIC, "C");
    // The readers' diagnostic output is for developers, not for the command line.
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));

    QStringList args = Platform::arguments(argc, argv).mid(1);
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
        {"merge", Commands::merge},     {"apply", Commands::apply},   {"compare", Commands::compare},
        {"preview", Commands::preview}, {"devices", Commands::devices}, {"invert", Commands::invert},
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
