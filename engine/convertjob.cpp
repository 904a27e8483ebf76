#include "engine/convertjob.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

#include <mutex>

#include "calc/transform.h"
#include "engine/batch.h"

namespace Convert {

Outcome convertFile(const QString &input, const QString &output, const Formats::Format &format, const Settings &settings)
{
    Outcome o;
    LutTransform lut;
    if (!LutIO::read(input, settings.inFormat, settings.inOrders, lut, nullptr, &o.failure))
        return o;
    Formats::Options options = settings.options;
    options.sourceName.clear();
    LutIO::Shaped shaped;
    if (!LutIO::shape(format, lut, settings.shape, options, shaped, &o.failure))
        return o;
    // Only what is written is kept: the source's tables go before the output is written.
    lut = LutTransform();
    o.loss = shaped.loss;
    if (o.loss.any() && settings.strict) {
        o.kind = Outcome::StrictRefused;
        return o;
    }
    options.sourceName = QFileInfo(input).fileName();
    if (LutIO::write(format, LutIO::outputSide(output, format, settings.outOrders, settings.scaleFor(format)), shaped,
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

std::vector<Request> plan(const QStringList &inputs, const std::function<QString(const QString &)> &outputFor)
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
        const QString id = identity(r.output);
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
