// convert IN... (-o OUT | -d DIR): every input read by its format, shaped for the output
// format and written, in parallel, each through a temporary file renamed into place.
#include <QDir>

#include "cli/commands.h"
#include "cli/console.h"
#include "cli/consolerun.h"
#include "cli/settings.h"
#include "engine/convertjob.h"

int Commands::convert(const QStringList &arguments)
{
    std::vector<OptionSpec> specs = {{"output", 'o', true}, {"dir", 'd', true}};
    Settings::addInputOptions(specs);
    Settings::addOutputOptions(specs);
    Settings::addThreadsOption(specs);
    Args args;
    Settings s;
    if (!s.parse(arguments, specs, args))
        return Console::Usage;
    QString error;

    const QStringList inputs = args.positional;
    if (inputs.isEmpty())
        return Console::usageError(QStringLiteral("convert needs at least one input file"));
    if (args.has("output") == args.has("dir"))
        return Console::usageError(QStringLiteral("convert needs either -o OUT (one input) or -d DIR"));
    if (args.has("output") && inputs.size() > 1)
        return Console::usageError(QStringLiteral("-o names one output; use -d DIR for %1 inputs").arg(inputs.size()));

    const Formats::Format *outFormat = s.outFormat;
    if (args.has("output")) {
        outFormat = s.outputFormat(args.value("output"), &error);
        if (!outFormat)
            return Console::usageError(error);
    } else if (!outFormat) {
        outFormat = Formats::byId(Formats::Id::Cube);
    }
    if (!s.shapeFits(*outFormat, &error))
        return Console::usageError(error);

    QString dir;
    if (args.has("dir")) {
        dir = args.value("dir");
        if (!QDir().mkpath(dir)) {
            Console::err(QStringLiteral("%1: cannot create the folder\n").arg(Console::shown(dir)));
            return Console::SomeFailed;
        }
    }

    // Outputs are worked out before anything runs: in a folder, an output that would replace
    // an input, or that another input also makes, is refused. A name given with -o is used
    // as given, even when it is the input itself.
    std::vector<Convert::Request> requests;
    if (dir.isEmpty()) {
        Convert::Request r;
        r.input = inputs.front();
        r.output = args.value("output");
        requests.push_back(r);
    } else {
        requests = Convert::plan(inputs, [&](const QString &in) {
            return QDir(dir).filePath(Convert::patternName(Convert::defaultPattern(), in, QString(), *outFormat));
        });
    }
    return ConsoleRun::convert(requests, *outFormat, s.conversion(), s.threads);
}
