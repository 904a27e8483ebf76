// convert IN... (-o OUT | -d DIR): every input read by its format, shaped for the output
// format and written, in parallel, each through a temporary file renamed into place. With a
// pair of ICC profiles each LUT is followed by the transform from the first to the second (a
// conversion of the profiles alone when no input is given); for a device the output is made
// to fit what the device takes.
#include <QDir>

#include "cli/commands.h"
#include "cli/console.h"
#include "cli/consolerun.h"
#include "cli/settings.h"
#include "engine/convertjob.h"
#include "engine/devices.h"
#include "formats/icc.h"

namespace {

// The profile pair, device and range options; false when the command line is wrong, which has
// then been reported (`status` the exit status).
bool readExtras(const Args &args, Settings &s, Convert::Settings &x, int *status)
{
    *status = Console::Usage;
    if (args.has("from-profile") != args.has("to-profile")) {
        Console::usageError(QStringLiteral("--from-profile and --to-profile are given together"));
        return false;
    }
    IccProfiles::Intent intent = IccProfiles::Intent::Relative;
    if (args.has("intent") && !Icc::parseIntent(args.value("intent"), &intent)) {
        Console::usageError(QStringLiteral("--intent must be perceptual, relative, saturation or absolute, not '%1'").arg(args.value("intent")));
        return false;
    }
    if (args.has("range") && !args.has("device")) {
        Console::usageError(QStringLiteral("--range gives the range of the input LUTs for --device"));
        return false;
    }
    if (args.has("range") && !Devices::parseRange(args.value("range"), &x.range)) {
        Console::usageError(QStringLiteral("--range must be full or legal, not '%1'").arg(args.value("range")));
        return false;
    }
    if (args.has("device")) {
        x.device = Devices::byName(args.value("device"));
        if (!x.device) {
            Console::usageError(QStringLiteral("unknown device '%1' (see 'lutwright-cli devices')").arg(args.value("device")));
            return false;
        }
        const Formats::Format *format = Formats::byName(QLatin1String(x.device->format));
        if (s.outFormat && s.outFormat != format) {
            Console::usageError(QStringLiteral("--device %1 writes %2; leave out --to")
                                    .arg(QLatin1String(x.device->name), Formats::labelOf(*format)));
            return false;
        }
        s.outFormat = format;
    }
    if (args.has("from-profile")) {
        const QString from = args.value("from-profile"), to = args.value("to-profile");
        QString why;
        if (!Icc::pair(from, to, intent, x.profiles, &why)) {
            Console::err(QStringLiteral("%1 to %2: %3\n").arg(Console::shown(from), Console::shown(to), why));
            *status = Console::SomeFailed;
            return false;
        }
        x.profilesName = QStringLiteral("%1 to %2").arg(QFileInfo(from).completeBaseName(), QFileInfo(to).completeBaseName());
    }
    return true;
}

}

int Commands::convert(const QStringList &arguments)
{
    std::vector<OptionSpec> specs = {{"output", 'o', true}, {"dir", 'd', true},     {"device", 0, true},
                                     {"range", 0, true},    {"from-profile", 0, true}, {"to-profile", 0, true},
                                     {"intent", 0, true}};
    Settings::addInputOptions(specs);
    Settings::addOutputOptions(specs);
    Settings::addThreadsOption(specs);
    Settings::addGradeOptions(specs);
    Args args;
    Settings s;
    if (!s.parse(arguments, specs, args))
        return Console::Usage;
    QString error;
    // readExtras sets the output format for a device, which the engine's settings do not hold.
    Convert::Settings conversion = s.conversion();
    int status = Console::Ok;
    if (!readExtras(args, s, conversion, &status))
        return status;

    const bool profilesOnly = args.positional.isEmpty() && !conversion.profiles.isEmpty();
    // A profile pair alone is one source without a file.
    const QStringList inputs = profilesOnly ? QStringList{QString()} : args.positional;
    if (inputs.isEmpty())
        return Console::usageError(QStringLiteral("convert needs at least one input file, or --from-profile and --to-profile"));
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
    // A device changes a size it does not take, and says so.
    if (!conversion.device && !s.shapeFits(*outFormat, &error))
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
            // A profile pair alone is written as "profiles".
            const QString name = in.isEmpty() ? QStringLiteral("profiles") : in;
            return QDir(dir).filePath(Convert::patternName(Convert::defaultPattern(), name, QString(), *outFormat));
        }, conversion.device);
    }
    return ConsoleRun::convert(requests, *outFormat, conversion, s.threads);
}
