#include "cli/settings.h"

#include <QThread>

#include <QFileInfo>

#include "cli/console.h"
#include "formats/cdl.h"
#include "lut/lutlimits.h"

void Settings::addInputOptions(std::vector<OptionSpec> &specs)
{
    specs.push_back({"in-format", 0, true});
    specs.push_back({"in-data", 0, true});
    specs.push_back({"in-table", 0, true});
    specs.push_back({"cdl-id", 0, true});
}

void Settings::addOutputOptions(std::vector<OptionSpec> &specs)
{
    specs.push_back({"to", 0, true});
    specs.push_back({"size", 0, true});
    specs.push_back({"length", 0, true});
    specs.push_back({"scale", 0, true});
    specs.push_back({"bits", 0, true});
    specs.push_back({"headerless", 0, false});
    specs.push_back({"strict", 0, false});
    specs.push_back({"out-data", 0, true});
    specs.push_back({"out-table", 0, true});
}

void Settings::addThreadsOption(std::vector<OptionSpec> &specs)
{
    specs.push_back({"jobs", 'j', true});
}

void Settings::addGradeOptions(std::vector<OptionSpec> &specs)
{
    specs.push_back({"cdl", 0, true});
    specs.push_back({"cdl-file", 0, true});
    specs.push_back({"cdl-after", 0, false});
}

namespace {

bool readOrder(Args &args, const char *name, LutIO::Order &order, QString *error)
{
    if (!args.has(name))
        return true;
    if (LutIO::parseOrder(args.value(name), order))
        return true;
    *error = QStringLiteral("--%1 must be rgb or bgr, not '%2'").arg(QLatin1String(name), args.value(name));
    return false;
}

bool readFormat(Args &args, const char *name, CliFormats::Choice &format, QString *error)
{
    if (!args.has(name))
        return true;
    format = CliFormats::named(args.value(name));
    if (!format.empty())
        return true;
    *error = QStringLiteral("unknown format '%1' for --%2 (see 'lutwright-cli formats')")
                 .arg(args.value(name), QLatin1String(name));
    return false;
}

bool readInt(Args &args, const char *name, qint64 lo, qint64 hi, qint64 &value, QString *error)
{
    if (!args.has(name) || args.intValue(name, lo, hi, value))
        return true;
    *error = args.error();
    return false;
}

bool isOneCdl(const LutTransform &t)
{
    return t.steps().size() == 1 && dynamic_cast<const Ops::AscCdl *>(t.steps().front().node.get());
}

// --cdl NUMBERS or --cdl-file FILE into `grade`.
bool readGrade(Args &args, const Settings &s, LutTransform &grade, QString *error)
{
    if (args.has("cdl") && args.has("cdl-file")) {
        *error = QStringLiteral("give --cdl or --cdl-file, not both");
        return false;
    }
    if (args.has("cdl")) {
        auto cdl = std::make_shared<Ops::AscCdl>(0);
        QString why;
        if (!Cdl::parseNumbers(args.value("cdl"), *cdl, &why)) {
            *error = QStringLiteral("--cdl: %1").arg(why);
            return false;
        }
        grade.addNode(cdl);
    } else if (args.has("cdl-file")) {
        const QString path = args.value("cdl-file");
        QString why;
        if (!LutIO::read(path, CliFormats::Choice(), LutIO::Orders(), grade, nullptr, &why, s.options())) {
            *error = QStringLiteral("--cdl-file %1: %2").arg(Console::shown(path), why);
            return false;
        }
        if (!isOneCdl(grade)) {
            *error = QStringLiteral("--cdl-file %1 is not one ASC CDL correction").arg(Console::shown(path));
            return false;
        }
    } else if (args.has("cdl-after")) {
        *error = QStringLiteral("--cdl-after needs --cdl or --cdl-file");
        return false;
    }
    return true;
}

}

bool Settings::read(Args &args, QString *error)
{
    inFormat.clear();
    if (!readFormat(args, "in-format", inFormat, error))
        return false;
    CliFormats::Choice to;
    if (!readFormat(args, "to", to, error))
        return false;
    if (args.has("to")) {
        outFormat = CliFormats::writable(to);
        if (!outFormat) {
            *error = QStringLiteral("%1 files cannot be written (see 'lutwright-cli formats')").arg(args.value("to"));
            return false;
        }
    }
    if (!readOrder(args, "in-data", inOrders.data, error) || !readOrder(args, "in-table", inOrders.table, error)
        || !readOrder(args, "out-data", outOrders.data, error) || !readOrder(args, "out-table", outOrders.table, error))
        return false;

    qint64 size = 0, length = 0, depth = 0, jobs = QThread::idealThreadCount();
    if (!readInt(args, "size", 2, LutLimits::max3DSize, size, error) || !readInt(args, "bits", 8, 16, depth, error)
        || !readInt(args, "length", 2, LutLimits::max1DSize, length, error)
        || !readInt(args, "scale", 0, qint64(1) << 40, scale, error) || !readInt(args, "jobs", 1, 1024, jobs, error))
        return false;
    shape.size3D = int(size);
    shape.length1D = int(length);
    bits = int(depth);
    headerless = args.has("headerless");
    strict = args.has("strict");
    threads = int(std::max<qint64>(1, jobs));
    if (args.has("scale") && scale == 0)
        scale = 1;
    cdlId = args.value("cdl-id");
    gradeAfter = args.has("cdl-after");
    return readGrade(args, *this, grade, error);
}

bool Settings::parse(const QStringList &arguments, const std::vector<OptionSpec> &specs, Args &args)
{
    QString error;
    if (args.parse(arguments, specs) && read(args, &error))
        return true;
    Console::usageError(error.isEmpty() ? args.error() : error);
    return false;
}

qint64 Settings::scaleFor(const Formats::Format &format) const
{
    return scale > 0 ? scale : format.defaultScale;
}

Formats::Options Settings::options() const
{
    Formats::Options o;
    o.bits = bits;
    o.headerless = headerless;
    o.cdlId = cdlId;
    return o;
}

Convert::Settings Settings::conversion() const
{
    Convert::Settings c;
    c.inFormat = inFormat;
    c.inOrders = inOrders;
    c.outOrders = outOrders;
    c.shape = shape;
    c.options = options();
    c.scale = scale;
    c.strict = strict;
    c.grade = grade;
    c.gradeAfter = gradeAfter;
    return c;
}

const Formats::Format *Settings::outputFormat(const QString &outPath, QString *error) const
{
    if (outFormat)
        return outFormat;
    if (const Formats::Format *format = CliFormats::forOutput(outPath))
        return format;
    if (Formats::byExtension(QFileInfo(outPath).suffix()).empty())
        *error = QStringLiteral("cannot tell the output format from '%1'; give it with --to").arg(Console::shown(outPath));
    else
        *error = QStringLiteral("%1 files cannot be written (see 'lutwright-cli formats')").arg(Console::shown(outPath));
    return nullptr;
}

bool Settings::shapeFits(const Formats::Format &format, QString *error) const
{
    const QString label = Formats::labelOf(format);
    if (!format.is3D && shape.size3D > 0) {
        *error = QStringLiteral("--size sets the points of a 3D lattice; %1 holds a 1D table (use --length)").arg(label);
        return false;
    }
    if (format.is3D && shape.length1D > 0) {
        *error = QStringLiteral("--length sets the entries of a 1D table; %1 holds a 3D lattice (use --size)").arg(label);
        return false;
    }
    QString sizes;
    if (format.latticeSize && shape.size3D > 0 && !format.latticeSize(shape.size3D, true, options(), &sizes)) {
        *error = QStringLiteral("--size %1 does not fit %2, which holds %3").arg(shape.size3D).arg(label, sizes);
        return false;
    }
    const int fixed = format.fixed1DLength;
    if (fixed > 0 && shape.length1D > 0 && shape.length1D != fixed) {
        *error = QStringLiteral("%1 always holds %2 entries").arg(label).arg(fixed);
        return false;
    }
    return true;
}
