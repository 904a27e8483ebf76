// info FILE...: what each file holds; formats: the format table.
#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/cliformats.h"
#include "engine/lutinfo.h"
#include "cli/commands.h"
#include "cli/console.h"
#include "cli/jsonwriter.h"
#include "cli/settings.h"
#include "formats/registry.h"
#include "calc/transform.h"
#include "lut/read_lutfile.h"

namespace {

using LutInfo::Ranges;
using LutInfo::Table;
using LutInfo::dimensionText;
using LutInfo::stepNames;
using LutInfo::tablesOf;

QString number(float v)
{
    return QString::number(double(v), 'g', 6);
}

QString triple(const float *v)
{
    return QStringLiteral("%1 %2 %3").arg(number(v[0]), number(v[1]), number(v[2]));
}

QString rangesText(const Ranges &r)
{
    QStringList parts;
    const char names[3] = {'R', 'G', 'B'};
    for (int c = 0; c < 3; ++c)
        parts << (r.any(c) ? QStringLiteral("%1 %2 to %3")
                                 .arg(QLatin1Char(names[c]))
                                 .arg(double(r.lo[c]), 0, 'f', 6)
                                 .arg(double(r.hi[c]), 0, 'f', 6)
                           : QStringLiteral("%1 none").arg(QLatin1Char(names[c])));
    return parts.join(QStringLiteral(", "));
}

// The numbers of the steps that are nothing but numbers: a CDL's, a matrix's (acting on values
// from 0 to 1, whatever its bit depths), as (key, numbers) pairs; steps of a chain are numbered.
struct Numbers {
    QString key;
    std::vector<float> values;
};

std::vector<Numbers> numbersOf(const LutTransform &t)
{
    std::vector<Numbers> out;
    const std::size_t count = t.steps().size();
    for (std::size_t i = 0; i < count; ++i) {
        const Ops::Node *node = t.steps()[i].node.get();
        const QString step = count > 1 ? QStringLiteral("step %1 ").arg(i + 1) : QString();
        if (const auto *c = dynamic_cast<const Ops::AscCdl *>(node)) {
            out.push_back({step + QStringLiteral("slope"), {c->slope, c->slope + 3}});
            out.push_back({step + QStringLiteral("offset"), {c->offset, c->offset + 3}});
            out.push_back({step + QStringLiteral("power"), {c->power, c->power + 3}});
            out.push_back({step + QStringLiteral("saturation"), {c->saturation}});
        } else if (const auto *m = dynamic_cast<const Ops::Matrix *>(node)) {
            Numbers matrix{step + QStringLiteral("matrix"), {}}, offsets{step + QStringLiteral("offsets"), {}};
            for (const auto &row : m->m) {
                for (int col = 0; col < 3; ++col)
                    matrix.values.push_back(float(double(row[col]) * m->inScale / m->outScale));
                offsets.values.push_back(row[3] / m->outScale);
            }
            out.push_back(matrix);
            out.push_back(offsets);
        }
    }
    return out;
}

QString numbersText(const std::vector<float> &v)
{
    QStringList parts;
    for (std::size_t i = 0; i < v.size(); ++i)
        parts << (i > 0 && i % 3 == 0 ? QStringLiteral("| ") : QString()) + number(v[i]);
    return parts.join(QLatin1Char(' '));
}

QString describe(const QString &path, const Formats::Format &format, const LutTransform &lut, const LUTFILE_ST &side)
{
    const std::vector<Table> tables = tablesOf(lut);
    QString text = Console::shown(path) + QLatin1Char('\n');
    auto line = [&](const QString &key, const QString &value) {
        text += QStringLiteral("  %1 %2\n").arg(key, -11).arg(value);
    };
    line(QStringLiteral("format"), QStringLiteral("%1 (%2)").arg(Formats::labelOf(format), CliFormats::idText(format)));
    line(QStringLiteral("dimension"), dimensionText(lut, tables));
    if (dimensionText(lut, tables) == QLatin1String("chain"))
        line(QStringLiteral("steps"), stepNames(lut).join(QStringLiteral(", ")));
    line(QStringLiteral("orders"), QStringLiteral("data %1, table %2 (%3 index fastest)")
                                       .arg(side.dataOrderRGB ? QLatin1String("rgb") : QLatin1String("bgr"),
                                            side.tableOrderRGB ? QLatin1String("rgb") : QLatin1String("bgr"),
                                            side.tableOrderRGB ? QLatin1String("blue") : QLatin1String("red")));
    for (const Numbers &n : numbersOf(lut))
        line(n.key, numbersText(n.values));
    for (const Table &t : tables) {
        const QString name = QLatin1String(t.name);
        line(name + QStringLiteral(" size"), QString::number(t.size));
        line(name + QStringLiteral(" domain"), QStringLiteral("%1 to %2").arg(triple(t.domainMin), triple(t.domainMax)));
        line(name + QStringLiteral(" range"), rangesText(t.ranges));
    }
    // What the file says of itself (a CLF's descriptions, a .cube's TITLE).
    for (const auto &entry : lut.metadata)
        text += QStringLiteral("  %1 %2\n").arg(entry.first, -11).arg(entry.second);
    return text;
}

// The same as describe(), for scripts.
void describeJson(JsonWriter &json, const QString &path, const Formats::Format &format, const LutTransform &lut,
                  const LUTFILE_ST &side)
{
    const std::vector<Table> tables = tablesOf(lut);
    json.beginObject();
    json.string("path", Console::shown(path));
    json.string("format", Formats::labelOf(format));
    json.string("formatName", QString::fromLatin1(format.name));
    if (format.id != Formats::Id::None)
        json.integer("formatId", int(format.id));
    json.string("dimension", dimensionText(lut, tables));
    json.string("dataOrder", side.dataOrderRGB ? QStringLiteral("rgb") : QStringLiteral("bgr"));
    json.string("tableOrder", side.tableOrderRGB ? QStringLiteral("rgb") : QStringLiteral("bgr"));
    float min[3], max[3];
    lut.domain(min, max);
    json.numbers("domainMin", min, 3);
    json.numbers("domainMax", max, 3);
    json.beginArray("steps");
    for (const QString &name : stepNames(lut))
        json.string(nullptr, name);
    json.endArray();
    // A CDL's or a matrix's numbers, by name ("slope", "step 2 matrix").
    json.beginArray("numbers");
    for (const Numbers &n : numbersOf(lut)) {
        json.beginObject();
        json.string("name", n.key);
        json.numbers("values", n.values.data(), int(n.values.size()));
        json.endObject();
    }
    json.endArray();
    for (const Table &t : tables) {
        json.beginObject(t.name);
        json.integer("size", t.size);
        json.numbers("domainMin", t.domainMin, 3);
        json.numbers("domainMax", t.domainMax, 3);
        // A channel without numbers has no range: null at both ends.
        float lo[3], hi[3];
        for (int c = 0; c < 3; ++c) {
            lo[c] = t.ranges.any(c) ? t.ranges.lo[c] : std::numeric_limits<float>::quiet_NaN();
            hi[c] = t.ranges.any(c) ? t.ranges.hi[c] : std::numeric_limits<float>::quiet_NaN();
        }
        json.numbers("rangeMin", lo, 3, JsonWriter::Fixed);
        json.numbers("rangeMax", hi, 3, JsonWriter::Fixed);
        json.endObject();
    }
    // Keys may repeat (several Info entries), so the file's own words stay a list of pairs.
    json.beginArray("metadata");
    for (const auto &entry : lut.metadata) {
        json.beginObject();
        json.string("key", entry.first);
        json.string("text", entry.second);
        json.endObject();
    }
    json.endArray();
    json.endObject();
}

}

int Commands::info(const QStringList &arguments)
{
    std::vector<OptionSpec> specs = {{"json", 0, false}, {"size", 0, true}};
    Settings::addInputOptions(specs);
    Args args;
    Settings s;
    if (!s.parse(arguments, specs, args))
        return Console::Usage;
    if (args.positional.isEmpty())
        return Console::usageError(QStringLiteral("info needs at least one file"));

    const bool asJson = args.has("json");
    JsonWriter json;
    json.beginArray();
    int failed = 0;
    bool first = true;
    for (const QString &path : args.positional) {
        LutTransform lut;
        const Formats::Format *format = nullptr;
        QString why;
        if (!LutIO::read(path, s.inFormat, s.inOrders, lut, &format, &why, s.options())) {
            Console::err(QStringLiteral("%1: %2\n").arg(Console::shown(path), why));
            json.beginObject();
            json.string("path", Console::shown(path));
            json.string("error", why);
            json.endObject();
            ++failed;
            continue;
        }
        const LUTFILE_ST side = LutIO::inputSide(path, *format, s.inOrders);
        if (asJson)
            describeJson(json, path, *format, lut, side);
        else
            Console::out((first ? QString() : QStringLiteral("\n")) + describe(path, *format, lut, side));
        first = false;
    }
    json.endArray();
    if (asJson)
        Console::out(json.text());
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
    text += QStringLiteral("\nA .lut file that starts with \"Version\" is read as Houdini, one with a \"LUT:\" line as Discreet 1D\n"
                           "(id 6), any other as the 1D .lut (id 7); written, .lut means id 6 unless --to 7 or --to houdini\n"
                           "is given. An image is a texture (id 1) when it is a square of 64, 512 or 4096 pixels, an unwrapped\n"
                           "cube (id 2) when it is N*N pixels wide and N high, and a Hald image when its name holds \"hald\" or\n"
                           "--in-format hald is given. Written, an image is a texture unless --to or the file's name\n"
                           "(\"grade_hald.png\") names another image format.\n"
                           "An ICC profile reads as what it does (a device link's table, a display profile's transform\n"
                           "from CIE XYZ to its RGB); written, a LUT is a version 4 ICC device link.\n");
    Console::out(text);
    return Console::Ok;
}
