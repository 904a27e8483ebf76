#include "engine/cliformats.h"

#include <QFileInfo>

namespace CliFormats {

Choice named(const QString &name)
{
    if (const Formats::Format *format = Formats::byName(name))
        return {format};
    return Formats::byExtension(name.startsWith(QLatin1Char('.')) ? name.mid(1) : name);
}

const Formats::Format *detectInput(const QString &path, const Choice &forced, QString *why)
{
    const Choice candidates = forced.empty() ? Formats::byExtension(QFileInfo(path).suffix()) : forced;
    if (candidates.empty()) {
        *why = QStringLiteral("cannot tell the format from the name; give it with --in-format");
        return nullptr;
    }
    return Formats::detect(candidates, path, why);
}

const Formats::Format *writable(const Choice &choice)
{
    for (const Formats::Format *format : choice)
        if (format->write)
            return format;
    return nullptr;
}

const Formats::Format *forOutput(const QString &path)
{
    const Choice guess = Formats::byExtension(QFileInfo(path).suffix());
    const QString name = QFileInfo(path).completeBaseName();
    for (const Formats::Format *format : guess) {
        if (format->write && guess.size() > 1 && name.contains(QLatin1String(format->name), Qt::CaseInsensitive))
            return format;
    }
    return writable(guess);
}

QString outputExtension(const Formats::Format &format)
{
    return Formats::extensionsOf(format).value(0);
}

QString extensionsText(const Formats::Format &format)
{
    QStringList dotted;
    for (const QString &e : Formats::extensionsOf(format))
        dotted << QLatin1Char('.') + e;
    return dotted.join(QLatin1Char(' '));
}

QString idText(const Formats::Format &format)
{
    if (format.id == Formats::Id::None)
        return QString::fromLatin1(format.name);
    return QStringLiteral("id %1").arg(int(format.id));
}

}
