// devices: the devices --device names, with what each takes and the manual that says so.
#include "cli/commands.h"
#include "cli/console.h"
#include "engine/devices.h"
#include "formats/registry.h"

int Commands::devices(const QStringList &arguments)
{
    if (!arguments.isEmpty())
        return Console::usageError(QStringLiteral("devices takes no arguments"));
    QString text;
    for (const Devices::Device &d : Devices::all()) {
        const Formats::Format *format = Formats::byName(QLatin1String(d.format));
        QStringList rules;
        rules << QStringLiteral("%1 (%2)").arg(QLatin1String(d.extension), format ? Formats::labelOf(*format) : QString())
              << QStringLiteral("%1 points").arg(Devices::sizesText(d))
              << QStringLiteral("%1 range").arg(Devices::rangeText(d.range));
        if (d.titled)
            rules << (d.titleLength > 0 ? QStringLiteral("title of up to %1 characters").arg(d.titleLength)
                                        : QStringLiteral("titled"));
        if (d.plainName)
            rules << QStringLiteral("file names of ASCII letters, digits, '-' and '_'");
        if (d.nameLength > 0)
            rules << QStringLiteral("up to %1 characters").arg(d.nameLength);
        QStringList source;
        for (const char *part : {d.source.title, d.source.edition, d.source.where})
            if (part && *part)
                source << QString::fromUtf8(part);
        text += QStringLiteral("%1%2\n%3%4\n%3from %5\n%3%6\n")
                    .arg(QLatin1String(d.name), -20)
                    .arg(QString::fromUtf8(d.label))
                    .arg(QString(20, QLatin1Char(' ')))
                    .arg(rules.join(QStringLiteral(", ")), source.join(QStringLiteral(", ")), QLatin1String(d.source.url));
    }
    text += QStringLiteral("\nconvert --device NAME writes for the device: a size, range, file name or title it does not\n"
                           "take is changed to one it does, with a warning for each change.\n");
    Console::out(text);
    return Console::Ok;
}
