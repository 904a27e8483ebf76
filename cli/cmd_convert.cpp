// convert IN... (-o OUT | -d DIR): every input read by its format, shaped for the output
// format and written, in parallel, each through a temporary file renamed into place.
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
#include "formats/faithful.h"

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

bool convertOne(const QString &in, const QString &out, const Formats::Format &outFormat, const Settings &s,
                QString *why)
{
    LutTransform lut;
    if (!LutIO::read(in, s.inFormat, s.inOrders, lut, nullptr, why, s.options()))
        return false;
    lut = s.graded(lut);
    Formats::Options options = s.options();
    // A format that holds one kind of transform only (a CDL, a matrix) takes nothing else.
    const Formats::Faithful *own = outFormat.faithful;
    if (own && own->holdsOnly && !own->holds(lut, options)) {
        *why = QStringLiteral("not written: %1 files hold %2, which this LUT is not")
                   .arg(Formats::labelOf(outFormat), QString::fromUtf8(own->holdsOnly));
        return false;
    }
    LutIO::Shaped shaped;
    if (!LutIO::shape(outFormat, lut, s.shape, options, shaped, why))
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
    options.sourceName = QFileInfo(in).fileName();
    QString warning;
    if (!LutIO::write(outFormat, LutIO::outputSide(out, outFormat, s.outOrders, s.scaleFor(outFormat)), shaped, why,
                      options, &warning))
        return false;
    if (!warning.isEmpty())
        Console::err(QStringLiteral("%1: warning: %2\n").arg(Console::shown(out), warning));
    return true;
}

}

int Commands::convert(const QStringList &arguments)
{
    std::vector<OptionSpec> specs = {{"output", 'o', true}, {"dir", 'd', true}};
    Settings::addInputOptions(specs);
    Settings::addOutputOptions(specs);
    Settings::addThreadsOption(specs);
    Settings::addGradeOptions(specs);
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
    QHash<QString, QString> inputIds;
    for (const QString &in : inputs)
        inputIds.insert(identity(in), in);
    QHash<QString, QString> outputOwners;
    std::vector<Batch::Task> tasks;
    for (const QString &in : inputs) {
        Batch::Task t;
        t.label = in;
        QString out = args.value("output");
        if (!dir.isEmpty()) {
            out = QDir(dir).filePath(QFileInfo(in).completeBaseName() + QLatin1Char('.')
                                     + CliFormats::outputExtension(*outFormat));
            const QString id = identity(out);
            if (inputIds.contains(id))
                t.refused = inputIds.value(id) == in
                                ? QStringLiteral("the output would replace the input; name it with -o to do that")
                                : QStringLiteral("the output %1 would replace the input %2")
                                      .arg(Console::shown(out), Console::shown(inputIds.value(id)));
            else if (outputOwners.contains(id))
                t.refused = QStringLiteral("the output %1 is already made from %2")
                                .arg(Console::shown(out), Console::shown(outputOwners.value(id)));
            else
                outputOwners.insert(id, in);
        }
        t.run = [in, out, outFormat, &s](QString *why) { return convertOne(in, out, *outFormat, s, why); };
        tasks.push_back(t);
    }
    return Batch::status(Batch::run(tasks, s.threads, QStringLiteral("converted")));
}
