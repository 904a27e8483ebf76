// preview LUT -o OUT.png: a picture of what a LUT does, for people who would rather look.
#include <QFileInfo>
#include <QRegularExpression>

#include "calc/lutcompare.h"
#include "cli/commands.h"
#include "cli/console.h"
#include "engine/imageapply.h"
#include "engine/lutsummary.h"
#include "cli/settings.h"
#include "formats/registry.h"
#include "formats/imagefiles.h"
#include "calc/transform.h"

namespace {

struct Grading {
    const LutTransform *lut;
    int threads;
};

void gradePixels(ImageFiles::Pixels &pixels, const void *context)
{
    const auto *g = static_cast<const Grading *>(context);
    ImageApply::apply(pixels, *g->lut, g->threads);
}

void mapColours(const float *in, float *out, std::size_t count, const void *context)
{
    static_cast<const Grading *>(context)->lut->apply(in, out, count);
}

// Below this nothing in the picture is legible.
constexpr int minWidth = 640, minHeight = 360, maxSide = 8192;

// "WxH" within the sizes a preview can be laid out in.
bool parseSize(const QString &text, QSize &size)
{
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("^(\\d{1,5})[xX](\\d{1,5})$")).match(text);
    if (!m.hasMatch())
        return false;
    const int w = m.captured(1).toInt(), h = m.captured(2).toInt();
    if (w < minWidth || h < minHeight || w > maxSide || h > maxSide)
        return false;
    size = QSize(w, h);
    return true;
}

}

int Commands::preview(const QStringList &arguments)
{
    std::vector<OptionSpec> specs = {{"output", 'o', true}, {"image", 0, true}, {"size", 0, true}};
    Settings::addInputOptions(specs);
    Settings::addThreadsOption(specs);
    Args args;
    Settings s;
    QString error;
    if (!args.parse(arguments, specs))
        return Console::usageError(args.error());
    const QString sizeText = args.take("size");
    if (!s.read(args, &error))
        return Console::usageError(error);
    if (args.positional.size() != 1)
        return Console::usageError(QStringLiteral("preview needs one LUT file"));
    if (!args.has("output"))
        return Console::usageError(QStringLiteral("preview needs -o OUT.png"));
    const QString out = args.value("output");
    if (ImageFiles::formatOf(out) != "png")
        return Console::usageError(QStringLiteral("the preview is a PNG image: give -o a name ending in .png"));
    QSize size(1600, 900);
    if (!sizeText.isNull() && !parseSize(sizeText, size))
        return Console::usageError(QStringLiteral("--size needs WIDTHxHEIGHT from %1x%2 to %3x%3, not '%4'")
                                       .arg(minWidth).arg(minHeight).arg(maxSide).arg(sizeText));

    const QString path = args.positional.at(0);
    LutTransform lut;
    const Formats::Format *format = nullptr;
    QString why;
    if (!LutIO::read(path, s.inFormat, s.inOrders, lut, &format, &why, s.options())) {
        Console::err(QStringLiteral("%1: %2\n").arg(Console::shown(path), why));
        return Console::SomeFailed;
    }
    const ImageFiles::Backend *images = ImageFiles::backend(&why);
    if (!images) {
        Console::err(QStringLiteral("lutwright-cli: %1\n").arg(why));
        return Console::SomeFailed;
    }
    const Grading grading{&lut, s.threads};
    ImageFiles::PreviewJob job;
    job.title = QFileInfo(path).fileName();
    job.details = QStringLiteral("%1, %2").arg(Formats::labelOf(*format), LutSummary::table(lut));
    job.imagePath = args.value("image");
    job.size = size;
    job.gradePixels = gradePixels;
    job.mapColours = mapColours;
    job.context = &grading;
    job.threads = s.threads;
    QSize imageSize;
    ImageFiles::Pixels decoded;
    if (!job.imagePath.isEmpty() && !images->probe(job.imagePath, &imageSize, &decoded, &why)) {
        Console::err(QStringLiteral("%1: %2\n").arg(Console::shown(job.imagePath), why));
        return Console::SomeFailed;
    }
    if (!images->preview(job, out, &why)) {
        Console::err(QStringLiteral("%1: %2\n").arg(Console::shown(out), why));
        return Console::SomeFailed;
    }
    return Console::Ok;
}
