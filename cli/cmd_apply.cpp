// apply LUT IMAGE -o OUT: an image through a LUT, to see what the LUT does.
#include "cli/commands.h"
#include "cli/console.h"
#include "engine/imageapply.h"
#include "cli/settings.h"
#include "calc/transform.h"

int Commands::apply(const QStringList &arguments)
{
    std::vector<OptionSpec> specs = {{"output", 'o', true}};
    Settings::addInputOptions(specs);
    Settings::addThreadsOption(specs);
    Args args;
    Settings s;
    if (!s.parse(arguments, specs, args))
        return Console::Usage;
    if (args.positional.size() != 2)
        return Console::usageError(QStringLiteral("apply needs a LUT file and an image"));
    if (!args.has("output"))
        return Console::usageError(QStringLiteral("apply needs -o OUT"));
    const QString lutPath = args.positional.at(0);
    const QString imagePath = args.positional.at(1);
    const QString out = args.value("output");
    if (ImageFiles::formatOf(out).isEmpty())
        return Console::usageError(
            QStringLiteral("cannot tell the image format of '%1' (use .png, .tif, .jpg or .bmp)").arg(Console::shown(out)));

    LutTransform lut;
    QString why;
    if (!LutIO::read(lutPath, s.inFormat, s.inOrders, lut, nullptr, &why, s.options())) {
        Console::err(QStringLiteral("%1: %2\n").arg(Console::shown(lutPath), why));
        return Console::SomeFailed;
    }
    const ImageFiles::Backend *images = ImageFiles::backend(&why);
    ImageFiles::Pixels image;
    if (!images || !images->decodeDeep(imagePath, &image, &why)) {
        Console::err(QStringLiteral("%1: %2\n").arg(Console::shown(imagePath), why));
        return Console::SomeFailed;
    }
    ImageApply::apply(image, lut, s.threads);
    if (!images->save(image, out, s.threads, &why)) {
        Console::err(QStringLiteral("%1: %2\n").arg(Console::shown(out), why));
        return Console::SomeFailed;
    }
    return Console::Ok;
}
