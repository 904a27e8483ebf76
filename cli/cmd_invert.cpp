// invert LUT -o OUT: the LUT that undoes LUT, and how closely it does.
#include <QFileInfo>

#include "calc/invert.h"
#include "calc/transform.h"
#include "cli/commands.h"
#include "cli/console.h"
#include "cli/settings.h"
#include "lut/numformat.h"

namespace {

using LutIO::general;

QString colour(const float *v)
{
    QStringList parts;
    for (int c = 0; c < 3; ++c) {
        char buffer[NumFormat::maxLength];
        parts << QString::fromLatin1(buffer, int(NumFormat::fixed6(buffer, double(v[c])) - buffer));
    }
    return parts.join(QLatin1Char(' '));
}

QString boxText(const LutTransform &t)
{
    float min[3], max[3];
    t.domain(min, max);
    return LutIO::domainText(min, max);
}

// The three channel lines of a round trip, as compare prints a comparison.
QString tripText(const LutInvert::RoundTrip &trip)
{
    QString text;
    for (int c = 0; c < 3; ++c) {
        const LutCompare::Channel &ch = trip.channel[c];
        text += QStringLiteral("%1  largest %2 (%3 in 10-bit codes, %4 in 12-bit), mean %5, 99th percentile %6\n")
                    .arg(QLatin1Char("RGB"[c]))
                    .arg(general(double(ch.largest)), general(LutCompare::inCodes(ch.largest, 10)),
                         general(LutCompare::inCodes(ch.largest, 12)), general(ch.mean), general(double(ch.percentile99)));
        if (ch.largest > 0.0f)
            text += QStringLiteral("   at input %1: the round trip gives %2\n").arg(colour(ch.at), colour(ch.a));
    }
    return text;
}

QString summary(const QString &in, const LutTransform &inverse, const LutInvert::Report &r)
{
    QString text = Console::shown(in) + QStringLiteral(": ");
    if (r.size == 0) {
        text += QStringLiteral("inverted exactly, as a curve through its outputs over %1\n").arg(boxText(inverse));
    } else {
        text += QStringLiteral("inverted on a %1-point lattice over %2\n").arg(r.size).arg(boxText(inverse));
        if (r.outside > 0)
            text += QStringLiteral("%1 of its %2 nodes lie outside the LUT's output gamut and take the input of the "
                                   "nearest colour it gives.\n").arg(r.outside).arg(r.nodes);
        if (r.several > 0)
            text += QStringLiteral("%1 of its nodes are colours the LUT gives for more than one input (where it folds "
                                   "over) and take one of them.\n").arg(r.several);
    }
    text += QStringLiteral("\nLUT then inverse, at %1 colours").arg(r.forward.colours);
    if (r.forward.leftOut > 0)
        text += QStringLiteral(" (%1 left out: where the LUT is flat or folds, or next to the edge of its gamut)")
                    .arg(r.forward.leftOut);
    text += QStringLiteral(":\n") + tripText(r.forward);
    text += r.size == 0 ? QStringLiteral("\nInverse then LUT, at %1 colours:\n").arg(r.backward.colours)
                        : QStringLiteral("\nInverse then LUT, at the %1 nodes inside the gamut:\n").arg(r.backward.colours);
    return text + tripText(r.backward);
}

}

int Commands::invert(const QStringList &arguments)
{
    std::vector<OptionSpec> specs = {{"output", 'o', true}};
    Settings::addInputOptions(specs);
    Settings::addOutputOptions(specs);
    Args args;
    Settings s;
    if (!s.parse(arguments, specs, args))
        return Console::Usage;
    if (args.positional.size() != 1)
        return Console::usageError(QStringLiteral("invert needs one LUT file"));
    if (!args.has("output"))
        return Console::usageError(QStringLiteral("invert needs -o OUT"));
    const QString in = args.positional.at(0);
    const QString out = args.value("output");
    QString why;
    const Formats::Format *format = s.outputFormat(out, &why);
    if (!format)
        return Console::usageError(why);
    if (!s.shapeFits(*format, &why))
        return Console::usageError(why);

    LutTransform lut, inverse;
    LutInvert::Report report;
    if (!LutIO::read(in, s.inFormat, s.inOrders, lut, nullptr, &why) || !LutInvert::invert(lut, s.shape.size3D, inverse, report, &why)) {
        Console::err(QStringLiteral("%1: %2\n").arg(Console::shown(in), why));
        return Console::SomeFailed;
    }
    // A 1D inverse written as a table keeps the source's entries unless --length says otherwise.
    LutIO::Shape shape = s.shape;
    if (report.size == 0 && shape.length1D == 0)
        shape.length1D = lut.shaperSize();
    Formats::Options options = s.options();
    LutIO::Shaped shaped;
    if (!LutIO::shape(*format, inverse, shape, options, shaped, &why)) {
        Console::err(QStringLiteral("%1: %2\n").arg(Console::shown(out), why));
        return Console::SomeFailed;
    }
    QStringList warnings = report.warnings();
    if (shaped.loss.any())
        warnings << shaped.loss.text();
    if (s.strict && !warnings.isEmpty()) {
        Console::err(QStringLiteral("%1: not written (--strict): %2\n").arg(Console::shown(out), warnings.join(QStringLiteral("; "))));
        return Console::SomeFailed;
    }
    options.sourceName = QFileInfo(in).fileName();
    QString warning;
    if (!LutIO::write(*format, LutIO::outputSide(out, *format, s.outOrders, s.scaleFor(*format)), shaped, &why, options,
                      &warning)) {
        Console::err(QStringLiteral("%1: %2\n").arg(Console::shown(out), why));
        return Console::SomeFailed;
    }
    if (!warning.isEmpty())
        warnings << warning;
    for (const QString &w : warnings)
        Console::err(QStringLiteral("%1: warning: %2\n").arg(Console::shown(out), w));
    Console::out(summary(in, inverse, report));
    return Console::Ok;
}
