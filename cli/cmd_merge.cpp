// merge FIRST SECOND -o OUT: the LUT that applies FIRST and then SECOND.
#include <algorithm>

#include "calc/transform.h"
#include "cli/commands.h"
#include "cli/console.h"
#include "cli/settings.h"

namespace {

bool readOne(const QString &path, const Settings &s, LutTransform &lut)
{
    QString why;
    if (LutIO::read(path, s.inFormat, s.inOrders, lut, nullptr, &why, s.options()))
        return true;
    Console::err(QStringLiteral("%1: %2\n").arg(Console::shown(path), why));
    return false;
}

}

int Commands::merge(const QStringList &arguments)
{
    std::vector<OptionSpec> specs = {{"output", 'o', true}};
    Settings::addInputOptions(specs);
    Settings::addOutputOptions(specs);
    Args args;
    Settings s;
    if (!s.parse(arguments, specs, args))
        return Console::Usage;
    QString error;
    if (args.positional.size() != 2)
        return Console::usageError(QStringLiteral("merge needs two LUT files, FIRST and SECOND"));
    if (!args.has("output"))
        return Console::usageError(QStringLiteral("merge needs -o OUT"));
    const QString out = args.value("output");
    const Formats::Format *outFormat = s.outputFormat(out, &error);
    if (!outFormat)
        return Console::usageError(error);
    // --size is the lattice of the merged LUT, whatever the output format; --length only
    // fits a 1D output.
    Settings check = s;
    check.shape.size3D = 0;
    if (!check.shapeFits(*outFormat, &error))
        return Console::usageError(error);

    LutTransform merged, second;
    if (!readOne(args.positional.at(0), s, merged) || !readOne(args.positional.at(1), s, second))
        return Console::SomeFailed;
    // FIRST then SECOND, over FIRST's domain; without --size the lattice is as fine as the
    // finer of the two (33 for two 1D tables).
    const int n = s.shape.size3D > 0 ? s.shape.size3D : std::max({merged.latticeSize(), second.latticeSize(), 0});
    merged.append(second);
    merged.metadata.clear();

    LutIO::Shape shape;
    shape.size3D = n > 0 ? n : 33;
    shape.length1D = s.shape.length1D;
    QString why;
    const Formats::Options options = s.options();
    LutIO::Shaped shaped;
    if (!LutIO::shape(*outFormat, merged, shape, options, shaped, &why, true)) {
        Console::err(QStringLiteral("%1: %2\n").arg(Console::shown(out), why));
        return Console::SomeFailed;
    }
    if (shaped.loss.any()) {
        if (s.strict) {
            Console::err(QStringLiteral("%1: not written (--strict): %2\n").arg(Console::shown(out), shaped.loss.text()));
            return Console::SomeFailed;
        }
        Console::err(QStringLiteral("%1: warning: %2\n").arg(Console::shown(out), shaped.loss.text()));
    }
    QString warning;
    if (!LutIO::write(*outFormat, LutIO::outputSide(out, *outFormat, s.outOrders, s.scaleFor(*outFormat)), shaped, &why,
                      options, &warning)) {
        Console::err(QStringLiteral("%1: %2\n").arg(Console::shown(out), why));
        return Console::SomeFailed;
    }
    if (!warning.isEmpty())
        Console::err(QStringLiteral("%1: warning: %2\n").arg(Console::shown(out), warning));
    return Console::Ok;
}
