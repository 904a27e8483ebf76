// merge FIRST SECOND -o OUT: the LUT that applies FIRST and then SECOND.
#include <algorithm>
#include <memory>

#include "calc/lutcalc.h"
#include "cli/commands.h"
#include "cli/console.h"
#include "cli/settings.h"
#include "lut/read_lutfile.h"

namespace {

bool readAs3D(const QString &path, const Settings &s, Read_LUTFile &lut, std::unique_ptr<Read_LUTFile> &made,
              Read_LUTFile **lattice)
{
    QString why;
    if (LutIO::read(path, s.inFormat, s.inOrders, lut, nullptr, &why)
        && (*lattice = LutIO::as3D(lut, s.shape.size3D, made, &why)))
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

    Read_LUTFile first, second;
    std::unique_ptr<Read_LUTFile> firstMade, secondMade;
    Read_LUTFile *a = nullptr, *b = nullptr;
    if (!readAs3D(args.positional.at(0), s, first, firstMade, &a)
        || !readAs3D(args.positional.at(1), s, second, secondMade, &b))
        return Console::SomeFailed;

    // Without --size the merged lattice is as fine as the finer of the two.
    Read_LUTFile merged;
    const int n = s.shape.size3D > 0 ? s.shape.size3D : std::max(a->lut3DSize, b->lut3DSize);
    if (!merged.setSize3D(std::max(n, 2), false)) {
        Console::err(QStringLiteral("%1: %2\n").arg(Console::shown(out), merged.errorString));
        return Console::SomeFailed;
    }
    LutCalc::Lut3D_Merge(*a, *b, merged);

    LutIO::Shape shape;
    shape.length1D = s.shape.length1D;
    std::unique_ptr<Read_LUTFile> made;
    QString why;
    const Formats::Options options = s.options();
    Read_LUTFile *shaped = LutIO::shapeFor(*outFormat, merged, shape, made, &why, options);
    if (!shaped
        || !LutIO::write(*outFormat, LutIO::outputSide(out, *outFormat, s.outOrders, s.scaleFor(*outFormat)), *shaped,
                         &why, options)) {
        Console::err(QStringLiteral("%1: %2\n").arg(Console::shown(out), why));
        return Console::SomeFailed;
    }
    return Console::Ok;
}
