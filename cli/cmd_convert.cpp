// convert IN... (-o OUT | -d DIR): every input read by its format, shaped for the output
// format and written, in parallel, each through a temporary file renamed into place. With a
// pair of ICC profiles each LUT is followed by the transform from the first to the second (a
// conversion of the profiles alone when no input is given); for a device the output is made
// to fit what the device takes.
#include <QDir>
#include <QFileInfo>
#include <QHash>

#include <memory>

#include "cli/batch.h"
#include "engine/cliformats.h"
#include "cli/commands.h"
#include "cli/console.h"
#include "cli/settings.h"
#include "calc/transform.h"
#include "engine/devices.h"
#include "formats/faithful.h"
#include "formats/icc.h"

namespace {

// The path a file has or would have, with links and "." / ".." resolved, to tell whether two
// names mean the same file.
QString identity(const QString &path)
{
    const QFileInfo info(path);
    if (info.exists())
        return info.canonicalFilePath();
    const QString dir = info.absoluteDir().canonicalPath();
    return dir.isEmpty() ? info.absoluteFilePath() : dir + QLatin1Char('/') + info.fileName();
}

// What a conversion adds to every input: the transform between two profiles, the device it is
// for and the range its LUTs were made for.
struct Extras {
    LutTransform profiles;
    QString profilesName;               // "A.icc to B.icc", the title of a profile pair alone
    const Devices::Device *device = nullptr;
    Devices::Range range = Devices::Range::Full;
};

QString titleOf(const LutTransform &lut, const QString &fallback)
{
    for (const char *key : {"TITLE", "Description"})
        for (const auto &e : lut.metadata)
            if (e.first == QLatin1String(key) && !e.second.isEmpty())
                return e.second;
    return fallback;
}

void setTitle(LutTransform &lut, const QString &title)
{
    for (auto &e : lut.metadata)
        if (e.first == QLatin1String("TITLE")) {
            e.second = title;
            return;
        }
    lut.metadata.append({QStringLiteral("TITLE"), title});
}

// `in` empty: the profile pair alone is the source.
bool convertOne(const QString &in, QString out, const Formats::Format &outFormat, const Settings &s, const Extras &x,
                QString *why)
{
    LutTransform lut;
    if (!in.isEmpty() && !LutIO::read(in, s.inFormat, s.inOrders, lut, nullptr, why, s.options()))
        return false;
    lut = s.graded(lut);
    if (!x.profiles.isEmpty()) {
        LutTransform followed = lut;
        followed.append(x.profiles);
        followed.metadata = in.isEmpty() ? x.profiles.metadata : lut.metadata;
        lut = followed;
    }
    Formats::Options options = s.options();
    // A format that holds one kind of transform only (a CDL, a matrix) takes nothing else.
    const Formats::Faithful *own = outFormat.faithful;
    if (own && own->holdsOnly && !own->holds(lut, options)) {
        *why = QStringLiteral("not written: %1 files hold %2, which this LUT is not")
                   .arg(Formats::labelOf(outFormat), QString::fromUtf8(own->holdsOnly));
        return false;
    }
    LutIO::Shape shape = s.shape;
    QString title;
    if (x.device) {
        const QString name = in.isEmpty() ? x.profilesName : QFileInfo(in).completeBaseName();
        const Devices::Plan plan = Devices::plan(*x.device, out, s.shape.size3D, lut.latticeSize(), x.range, titleOf(lut, name));
        for (const QString &change : plan.changes)
            Console::err(QStringLiteral("%1: warning: %2\n").arg(Console::shown(out), change));
        lut = Devices::toRange(lut, x.range, x.device->range);
        out = plan.path;
        shape.size3D = plan.size;
        title = plan.title;
    }
    LutIO::Shaped shaped;
    if (!LutIO::shape(outFormat, lut, shape, options, shaped, why))
        return false;
    // Only what is written is kept: the source's tables go before the output is written.
    lut = LutTransform();
    if (shaped.loss.any()) {
        if (s.strict) {
            *why = QStringLiteral("not written (--strict): %1").arg(shaped.loss.text());
            return false;
        }
        Console::err(QStringLiteral("%1: warning: %2\n").arg(Console::shown(out), shaped.loss.text()));
    }
    // A device shows the title its format carries, which only the format's own writer writes.
    if (!title.isEmpty() && !shaped.isExact && outFormat.faithful && outFormat.faithful->write) {
        LutTransform titled = LutTransform::ofTables(shaped.baked);
        if (outFormat.faithful->holds(titled, options)) {
            setTitle(titled, title);
            shaped.exact = titled;
            shaped.isExact = true;
        }
    } else if (!title.isEmpty() && shaped.isExact) {
        setTitle(shaped.exact, title);
    }
    options.sourceName = in.isEmpty() ? x.profilesName : QFileInfo(in).fileName();
    QString warning;
    if (!LutIO::write(outFormat, LutIO::outputSide(out, outFormat, s.outOrders, s.scaleFor(outFormat)), shaped, why,
                      options, &warning))
        return false;
    if (!warning.isEmpty())
        Console::err(QStringLiteral("%1: warning: %2\n").arg(Console::shown(out), warning));
    return true;
}

// The profile pair, device and range options; false when the command line is wrong, which has
// then been reported (`status` the exit status).
bool readExtras(const Args &args, Settings &s, Extras &x, int *status)
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
    Extras extras;
    int status = Console::Ok;
    if (!readExtras(args, s, extras, &status))
        return status;

    const bool profilesOnly = args.positional.isEmpty() && !extras.profiles.isEmpty();
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
    if (!extras.device && !s.shapeFits(*outFormat, &error))
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
    QHash<QString, QString> inputIds;
    for (const QString &in : inputs)
        inputIds.insert(identity(in), in);
    QHash<QString, QString> outputOwners;
    std::vector<Batch::Task> tasks;
    for (const QString &in : inputs) {
        Batch::Task t;
        t.label = in.isEmpty() ? extras.profilesName : in;
        QString out = args.value("output");
        if (!dir.isEmpty()) {
            out = QDir(dir).filePath((in.isEmpty() ? QStringLiteral("profiles") : QFileInfo(in).completeBaseName())
                                     + QLatin1Char('.') + CliFormats::outputExtension(*outFormat));
            // The name the device makes of it is the one that must not meet another.
            const QString written = extras.device ? Devices::plan(*extras.device, out, 0, 0, extras.device->range, QString()).path : out;
            const QString id = identity(written);
            if (inputIds.contains(id))
                t.refused = inputIds.value(id) == in
                                ? QStringLiteral("the output would replace the input; name it with -o to do that")
                                : QStringLiteral("the output %1 would replace the input %2")
                                      .arg(Console::shown(written), Console::shown(inputIds.value(id)));
            else if (outputOwners.contains(id))
                t.refused = QStringLiteral("the output %1 is already made from %2")
                                .arg(Console::shown(written), Console::shown(outputOwners.value(id)));
            else
                outputOwners.insert(id, in);
        }
        t.run = [in, out, outFormat, &s, &extras](QString *why) { return convertOne(in, out, *outFormat, s, extras, why); };
        tasks.push_back(t);
    }
    return Batch::status(Batch::run(tasks, s.threads, QStringLiteral("converted")));
}
