// compare A B: how far two LUTs are apart, for people and for scripts that gate on it.
#include <QFileInfo>

#include <algorithm>
#include <cmath>

#include "calc/lutcompare.h"
#include "cli/commands.h"
#include "cli/console.h"
#include "cli/jsonwriter.h"
#include "engine/lutsummary.h"
#include "cli/settings.h"
#include "formats/registry.h"
#include "lut/numformat.h"
#include "lut/numscan.h"
#include "calc/transform.h"

namespace {

struct Side {
    QString path;
    const Formats::Format *format = nullptr;
    LutTransform lut;
};

const char *const channelNames[3] = {"R", "G", "B"};

QString general(double v)
{
    char buffer[NumFormat::maxLength];
    return QString::fromLatin1(buffer, int(NumFormat::general6(buffer, v) - buffer));
}

QString colour(const float *v)
{
    char buffer[3][NumFormat::maxLength];
    QStringList parts;
    for (int c = 0; c < 3; ++c)
        parts << QString::fromLatin1(buffer[c], int(NumFormat::fixed6(buffer[c], double(v[c])) - buffer[c]));
    return parts.join(QLatin1Char(' '));
}

// A number of 0 or more, the whole text of it.
bool parseTolerance(const QString &text, double &value)
{
    const QByteArray bytes = text.toLatin1();
    NumScan::Cursor c{bytes.constData(), bytes.constData() + bytes.size()};
    double v = 0;
    if (!NumScan::readDouble(c, v) || !NumScan::atEnd(c) || !(v >= 0) || !std::isfinite(v))
        return false;
    value = v;
    return true;
}

QString sideLine(const char *name, const Side &s)
{
    return QStringLiteral("%1  %2: %3, %4\n")
        .arg(QLatin1String(name), Console::shown(s.path), Formats::labelOf(*s.format), LutSummary::table(s.lut));
}

// The box both inputs' domains span: "0 to 1", or per channel.
QString boxText(const LutTransform &a, const LutTransform &b)
{
    float minA[3], maxA[3], minB[3], maxB[3], lo[3], hi[3];
    a.domain(minA, maxA);
    b.domain(minB, maxB);
    for (int c = 0; c < 3; ++c) {
        lo[c] = std::min(minA[c], minB[c]);
        hi[c] = std::max(maxA[c], maxB[c]);
    }
    if (lo[0] == lo[1] && lo[1] == lo[2] && hi[0] == hi[1] && hi[1] == hi[2])
        return QStringLiteral("%1 to %2").arg(general(lo[0]), general(hi[0]));
    QStringList parts;
    for (int c = 0; c < 3; ++c)
        parts << QStringLiteral("%1 %2 to %3").arg(QLatin1String(channelNames[c]), general(lo[c]), general(hi[c]));
    return parts.join(QStringLiteral(", "));
}

QString asText(const Side &a, const Side &b, const LutCompare::Result &r, double tolerance, bool within)
{
    QString text = sideLine("A", a) + sideLine("B", b);
    text += QStringLiteral("Compared at %1 colours: the nodes of a %2-point lattice over %3 and of both files.\n\n")
                .arg(r.colours)
                .arg(r.latticeSize)
                .arg(boxText(a.lut, b.lut));
    for (int c = 0; c < 3; ++c) {
        const LutCompare::Channel &ch = r.channel[c];
        text += QStringLiteral("%1  largest %2 (%3 in 10-bit codes, %4 in 12-bit), mean %5, 99th percentile %6\n")
                    .arg(QLatin1String(channelNames[c]), general(double(ch.largest)),
                         general(LutCompare::inCodes(ch.largest, 10)), general(LutCompare::inCodes(ch.largest, 12)),
                         general(ch.mean), general(double(ch.percentile99)));
        // Where nothing differs there is nowhere to point at.
        if (ch.largest > 0.0f)
            text += QStringLiteral("   at input %1: A gives %2, B gives %3\n").arg(colour(ch.at), colour(ch.a), colour(ch.b));
    }
    const QString largest = general(double(r.largest())), limit = general(tolerance);
    text += within ? QStringLiteral("\nThe LUTs match: the largest difference, %1, is within the tolerance %2.\n").arg(largest, limit)
                   : QStringLiteral("\nThe LUTs differ: the largest difference, %1, is above the tolerance %2.\n").arg(largest, limit);
    return text;
}

void sideJson(JsonWriter &json, const char *key, const Side &s)
{
    json.beginObject(key);
    json.string("path", Console::shown(s.path));
    json.string("format", Formats::labelOf(*s.format));
    json.string("formatName", QString::fromLatin1(s.format->name));
    if (s.format->id != Formats::Id::None)
        json.integer("formatId", int(s.format->id));
    json.string("dimension", LutSummary::dimension(s.lut));
    json.integer("size", LutSummary::size(s.lut));
    json.endObject();
}

QString asJson(const Side &a, const Side &b, const LutCompare::Result &r, double tolerance, bool within)
{
    JsonWriter json;
    json.beginObject();
    sideJson(json, "a", a);
    sideJson(json, "b", b);
    json.integer("lattice", r.latticeSize);
    json.integer("colours", qint64(r.colours));
    json.number("tolerance", tolerance);
    json.number("largest", double(r.largest()));
    json.boolean("within", within);
    json.beginObject("channels");
    for (int c = 0; c < 3; ++c) {
        const LutCompare::Channel &ch = r.channel[c];
        json.beginObject(channelNames[c]);
        json.number("largest", double(ch.largest));
        json.number("codes10", LutCompare::inCodes(ch.largest, 10));
        json.number("codes12", LutCompare::inCodes(ch.largest, 12));
        json.number("mean", ch.mean);
        json.number("percentile99", double(ch.percentile99));
        json.numbers("at", ch.at, 3, JsonWriter::Fixed);
        json.numbers("a", ch.a, 3, JsonWriter::Fixed);
        json.numbers("b", ch.b, 3, JsonWriter::Fixed);
        json.endObject();
    }
    json.endObject();
    json.endObject();
    return json.text();
}

}

int Commands::compare(const QStringList &arguments)
{
    std::vector<OptionSpec> specs = {{"size", 0, true}, {"tolerance", 0, true}, {"json", 0, false}};
    Settings::addInputOptions(specs);
    Args args;
    Settings s;
    if (!s.parse(arguments, specs, args))
        return Console::Usage;
    if (args.positional.size() != 2)
        return Console::usageError(QStringLiteral("compare needs two LUT files, A and B"));
    double tolerance = 0;
    if (args.has("tolerance") && !parseTolerance(args.value("tolerance"), tolerance))
        return Console::usageError(
            QStringLiteral("--tolerance needs a number of 0 or more, not '%1'").arg(args.value("tolerance")));

    Side a, b;
    a.path = args.positional.at(0);
    b.path = args.positional.at(1);
    bool readable = true;
    for (Side *side : {&a, &b}) {
        QString why;
        if (!LutIO::read(side->path, s.inFormat, s.inOrders, side->lut, &side->format, &why, s.options())) {
            Console::err(QStringLiteral("%1: %2\n").arg(Console::shown(side->path), why));
            readable = false;
        }
    }
    if (!readable)
        return Console::SomeFailed;

    const int n = s.shape.size3D > 0 ? s.shape.size3D : LutCompare::defaultLatticeSize(a.lut, b.lut);
    const LutCompare::Result r = LutCompare::compare(a.lut, b.lut, n);
    if (!r.error.isEmpty()) {
        Console::err(QStringLiteral("lutwright-cli: %1\n").arg(r.error));
        return Console::SomeFailed;
    }
    const bool within = double(r.largest()) <= tolerance;
    Console::out(args.has("json") ? asJson(a, b, r, tolerance, within) : asText(a, b, r, tolerance, within));
    return within ? Console::Ok : Console::SomeFailed;
}
