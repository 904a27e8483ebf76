// info FILE...: what each file holds; formats: the format table.
#include <algorithm>
#include <cmath>
#include <limits>

#include "cli/cliformats.h"
#include "cli/commands.h"
#include "cli/console.h"
#include "cli/settings.h"
#include "formats/registry.h"
#include "lut/read_lutfile.h"

namespace {

QString number(float v)
{
    return QString::number(double(v), 'g', 6);
}

QString triple(const float *v)
{
    return QStringLiteral("%1 %2 %3").arg(number(v[0]), number(v[1]), number(v[2]));
}

// Smallest and largest value of each channel over `count` RGB triples; NaNs are left out.
QString channelRanges(const float *data, std::size_t count)
{
    float lo[3], hi[3];
    for (int c = 0; c < 3; ++c) {
        lo[c] = std::numeric_limits<float>::infinity();
        hi[c] = -std::numeric_limits<float>::infinity();
    }
    for (std::size_t i = 0; i < count; ++i)
        for (int c = 0; c < 3; ++c) {
            const float v = data[i * 3 + std::size_t(c)];
            if (v < lo[c])
                lo[c] = v;
            if (v > hi[c])
                hi[c] = v;
        }
    QStringList parts;
    const char names[3] = {'R', 'G', 'B'};
    for (int c = 0; c < 3; ++c)
        parts << (lo[c] <= hi[c] ? QStringLiteral("%1 %2 to %3")
                                       .arg(QLatin1Char(names[c]))
                                       .arg(double(lo[c]), 0, 'f', 6)
                                       .arg(double(hi[c]), 0, 'f', 6)
                                 : QStringLiteral("%1 none").arg(QLatin1Char(names[c])));
    return parts.join(QStringLiteral(", "));
}

QString describe(const QString &path, const Formats::Format &format, const Read_LUTFile &lut)
{
    const bool has3D = lut.lut3DSize > 0 && lut.lut3D;
    const bool has1D = lut.lut1DSize > 0 && lut.lut1D;
    QString text = Console::shown(path) + QLatin1Char('\n');
    auto line = [&](const char *key, const QString &value) {
        text += QStringLiteral("  %1%2\n").arg(QLatin1String(key), -12).arg(value);
    };
    line("format", QStringLiteral("%1 (%2)").arg(Formats::labelOf(format), CliFormats::idText(format)));
    line("dimension", has3D && has1D ? QStringLiteral("3D and 1D") : has3D ? QStringLiteral("3D") : QStringLiteral("1D"));
    line("orders", QStringLiteral("data %1, table %2 (%3 index fastest)")
                       .arg(lut.dataOrderRGB ? QLatin1String("rgb") : QLatin1String("bgr"),
                            lut.tableOrderRGB ? QLatin1String("rgb") : QLatin1String("bgr"),
                            lut.tableOrderRGB ? QLatin1String("blue") : QLatin1String("red")));
    if (has3D) {
        line("3D size", QString::number(lut.lut3DSize));
        line("3D domain", QStringLiteral("%1 to %2").arg(triple(lut.domainMin3D), triple(lut.domainMax3D)));
        line("3D range", channelRanges(lut.lut3D.data(), lut.lut3D.floatCount() / 3));
    }
    if (has1D) {
        line("1D size", QString::number(lut.lut1DSize));
        line("1D domain", QStringLiteral("%1 to %2").arg(triple(lut.domainMin1D), triple(lut.domainMax1D)));
        line("1D range", channelRanges(lut.lut1D.data(), std::size_t(lut.allocated1DSize())));
    }
    return text;
}

}

int Commands::info(const QStringList &arguments)
{
    std::vector<OptionSpec> specs;
    Settings::addInputOptions(specs);
    Args args;
    Settings s;
    if (!s.parse(arguments, specs, args))
        return Console::Usage;
    if (args.positional.isEmpty())
        return Console::usageError(QStringLiteral("info needs at least one file"));

    int failed = 0;
    bool first = true;
    for (const QString &path : args.positional) {
        Read_LUTFile lut;
        const Formats::Format *format = nullptr;
        QString why;
        if (!LutIO::read(path, s.inFormat, s.inOrders, lut, &format, &why)) {
            Console::err(QStringLiteral("%1: %2\n").arg(Console::shown(path), why));
            ++failed;
            continue;
        }
        Console::out((first ? QString() : QStringLiteral("\n")) + describe(path, *format, lut));
        first = false;
    }
    return failed > 0 ? Console::SomeFailed : Console::Ok;
}

int Commands::formats(const QStringList &arguments)
{
    if (!arguments.isEmpty())
        return Console::usageError(QStringLiteral("formats takes no arguments"));
    // A format without an id is named by its registry name in the id column.
    auto idCell = [](const Formats::Format &f) {
        return f.id == Formats::Id::None ? QString::fromLatin1(f.name) : QString::number(int(f.id));
    };
    int idWidth = 4;
    for (const Formats::Format *format : Formats::all())
        idWidth = std::max(idWidth, idCell(*format).size() + 2);
    QString text = QStringLiteral("%1%2%3%4%5%6\n")
                       .arg(QStringLiteral("id"), -idWidth)
                       .arg(QStringLiteral("extensions"), -33)
                       .arg(QStringLiteral("dim"), -5)
                       .arg(QStringLiteral("read"), -6)
                       .arg(QStringLiteral("write"), -7)
                       .arg(QStringLiteral("label"));
    for (const Formats::Format *format : Formats::all())
        text += QStringLiteral("%1%2%3%4%5%6\n")
                    .arg(idCell(*format), -idWidth)
                    .arg(CliFormats::extensionsText(*format), -33)
                    .arg(format->is3D ? QStringLiteral("3D") : QStringLiteral("1D"), -5)
                    .arg(format->read ? QStringLiteral("yes") : QStringLiteral("no"), -6)
                    .arg(format->write ? QStringLiteral("yes") : QStringLiteral("no"), -7)
                    .arg(Formats::labelOf(*format));
    text += QStringLiteral("\nA .lut file with a \"LUT:\" line is read as Discreet 1D (id 6), any other as the 1D .lut (id 7);\n"
                           "written, .lut means id 6 unless --to 7 is given. An image is a texture (id 1) when it is a\n"
                           "square of 64, 512 or 4096 pixels, an unwrapped cube (id 2) when it is N*N pixels wide and N high.\n");
    Console::out(text);
    return Console::Ok;
}
