#include "engine/convertjob.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

#include <mutex>

#include "calc/transform.h"
#include "engine/batch.h"
#include "formats/faithful.h"
#include "formats/registry.h"

namespace Convert {

namespace {

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

// The grade before or after the LUT, then the profile pair.
LutTransform withExtras(const LutTransform &source, const Settings &settings, bool fromFile)
{
    LutTransform lut = source;
    if (!settings.grade.isEmpty()) {
        lut = settings.gradeAfter ? source : settings.grade;
        lut.append(settings.gradeAfter ? settings.grade : source);
        lut.metadata = source.metadata;
    }
    if (!settings.profiles.isEmpty()) {
        LutTransform followed = lut;
        followed.append(settings.profiles);
        followed.metadata = fromFile ? lut.metadata : settings.profiles.metadata;
        lut = followed;
    }
    return lut;
}

}

Outcome convertFile(const QString &input, const QString &output, const Formats::Format &format, const Settings &settings)
{
    Outcome o;
    o.output = output;
    LutTransform lut;
    const bool fromFile = !input.isEmpty();
    if (fromFile && !LutIO::read(input, settings.inFormat, settings.inOrders, lut, nullptr, &o.failure, settings.options))
        return o;
    lut = withExtras(lut, settings, fromFile);
    Formats::Options options = settings.options;
    options.sourceName.clear();
    LutIO::Shape shape = settings.shape;
    QString title;
    if (settings.device) {
        const QString name = fromFile ? QFileInfo(input).completeBaseName() : settings.profilesName;
        const Devices::Plan plan = Devices::plan(*settings.device, output, settings.shape.size3D, lut.latticeSize(),
                                                 settings.range, titleOf(lut, name));
        o.deviceChanges = plan.changes;
        lut = Devices::toRange(lut, settings.range, settings.device->range);
        o.output = plan.path;
        shape.size3D = plan.size;
        title = plan.title;
    }
    LutIO::Shaped shaped;
    if (!LutIO::shape(format, lut, shape, options, shaped, &o.failure))
        return o;
    // Only what is written is kept: the source's tables go before the output is written.
    lut = LutTransform();
    o.loss = shaped.loss;
    if (o.loss.any() && settings.strict) {
        o.kind = Outcome::StrictRefused;
        return o;
    }
    // A device shows the title its format carries, which only the format's own writer writes.
    const Formats::Faithful *own = format.faithful;
    if (!title.isEmpty() && !shaped.isExact && own && own->write) {
        LutTransform titled = LutTransform::ofTables(shaped.baked);
        if (own->holds(titled, options)) {
            setTitle(titled, title);
            shaped.exact = titled;
            shaped.isExact = true;
        }
    } else if (!title.isEmpty() && shaped.isExact) {
        setTitle(shaped.exact, title);
    }
    options.sourceName = fromFile ? QFileInfo(input).fileName() : settings.profilesName;
    if (LutIO::write(format, LutIO::outputSide(o.output, format, settings.outOrders, settings.scaleFor(format)), shaped,
                     &o.failure, options, &o.writeWarning))
        o.kind = Outcome::Written;
    return o;
}

QString identity(const QString &path)
{
    const QFileInfo info(path);
    if (info.exists())
        return info.canonicalFilePath();
    const QString dir = info.absoluteDir().canonicalPath();
    return dir.isEmpty() ? info.absoluteFilePath() : dir + QLatin1Char('/') + info.fileName();
}

std::vector<Request> plan(const QStringList &inputs, const std::function<QString(const QString &)> &outputFor,
                          const Devices::Device *device)
{
    QHash<QString, QString> inputIds;
    for (const QString &in : inputs)
        inputIds.insert(identity(in), in);
    QHash<QString, QString> owners;
    std::vector<Request> requests;
    for (const QString &in : inputs) {
        Request r;
        r.input = in;
        r.output = outputFor(in);
        const QString id =
            identity(device ? Devices::plan(*device, r.output, 0, 0, device->range, QString()).path : r.output);
        if (inputIds.contains(id)) {
            r.other = inputIds.value(id);
            r.refusal = r.other == in ? Refusal::ReplacesItself : Refusal::ReplacesInput;
        } else if (owners.contains(id)) {
            r.other = owners.value(id);
            r.refusal = Refusal::AlreadyMade;
        } else {
            owners.insert(id, in);
        }
        requests.push_back(r);
    }
    return requests;
}

QString patternName(const QString &pattern, const QString &input, const QString &folder, const Formats::Format &format)
{
    // The system's own separators are taken in the pattern; on Unix a backslash is part of a name.
    const QString p = QDir::fromNativeSeparators(pattern).trimmed();
    if (p.isEmpty() || p.startsWith(QLatin1Char('/')) || QDir::isAbsolutePath(p))
        return QString();
    const QFileInfo info(input);
    QString name = p;
    name.replace(QLatin1String("{name}"), info.completeBaseName())
        .replace(QLatin1String("{ext}"), info.suffix())
        .replace(QLatin1String("{format}"), QString::fromLatin1(format.name))
        .replace(QLatin1String("{folder}"), QDir::fromNativeSeparators(folder));
    name += QLatin1Char('.') + CliFormats::outputExtension(format);
    QStringList parts;
    for (const QString &part : name.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (part == QLatin1String(".."))
            return QString();
        if (part != QLatin1String("."))
            parts << part;
    }
    return parts.join(QLatin1Char('/'));
}

Listener::~Listener() = default;

void Listener::started(std::size_t)
{
}

BatchResult run(const std::vector<Request> &requests, const Formats::Format &format, const Settings &settings,
                int threads, Listener &listener, const std::atomic<bool> &stop)
{
    std::mutex reporting;
    std::atomic<int> failed{0};
    const std::size_t started = Batch::run(requests.size(), threads, stop, [&](std::size_t i) {
        const Request &r = requests[i];
        {
            std::lock_guard<std::mutex> lock(reporting);
            listener.started(i);
        }
        Outcome o;
        if (r.refusal != Refusal::None)
            o.kind = Outcome::Refused;
        else
            o = convertFile(r.input, r.output, format, settings);
        if (!o.written())
            ++failed;
        std::lock_guard<std::mutex> lock(reporting);
        listener.finished(i, r, o);
    });
    BatchResult result;
    result.total = int(requests.size());
    result.failed = failed.load();
    result.notRun = int(requests.size() - started);
    return result;
}

}
