#include "formats/registry.h"

#include <QDebug>
#include <QFileInfo>

#include <algorithm>

#include "lut/read_lutfile.h"
#include "lut/write_lutfile.h"

namespace Formats {

// Each entry is defined in its format's file. The dispatch formats come first, in id order.
extern const Format cubeFormat, textureFormat, unwrappedCubeFormat, threeDLFormat, mgaFormat, lookFormat,
    discreetFormat, lut1DFormat, davLutFormat, cspFormat, cubFormat, itxFormat, spi1DFormat, spi3DFormat,
    csvFormat, tms1DFormat, tms3DFormat, clfFormat, haldFormat, ccFormat, cccFormat, cdlFormat, spimtxFormat,
    houdiniFormat, nukeVfFormat, iccFormat, vltFormat;

const std::vector<const Format *> &all()
{
    static const std::vector<const Format *> formats = {
        &cubeFormat,  &textureFormat, &unwrappedCubeFormat, &threeDLFormat, &mgaFormat,   &lookFormat,
        &discreetFormat, &lut1DFormat, &davLutFormat,       &cspFormat,     &cubFormat,   &itxFormat,
        &spi1DFormat, &spi3DFormat,   &csvFormat,           &tms1DFormat,   &tms3DFormat,
        &clfFormat,   &haldFormat,    &ccFormat,            &cccFormat,     &cdlFormat,   &spimtxFormat,
        &houdiniFormat, &nukeVfFormat, &iccFormat,         &vltFormat,
    };
    return formats;
}

const Format *byId(Id id)
{
    if (id == Id::None)
        return nullptr;
    for (const Format *f : all())
        if (f->id == id)
            return f;
    return nullptr;
}

const Format *byId(int id)
{
    return id >= 0 && id < dispatchCount ? byId(Id(id)) : nullptr;
}

const Format *byName(const QString &name)
{
    bool isNumber = false;
    const int id = name.toInt(&isNumber);
    if (isNumber)
        return byId(id);
    const QString key = name.toLower();
    for (const Format *f : all())
        if (key == QLatin1String(f->name))
            return f;
    const std::vector<const Format *> sharing = byExtension(key.startsWith(QLatin1Char('.')) ? key.mid(1) : key);
    return sharing.size() == 1 ? sharing.front() : nullptr;
}

std::vector<const Format *> byExtension(const QString &extension)
{
    std::vector<const Format *> found;
    const QString e = extension.toLower();
    if (e.isEmpty())
        return found;
    for (const Format *f : all())
        if (!f->namedOnly && extensionsOf(*f).contains(e))
            found.push_back(f);
    return found;
}

const Format *detect(const QString &path, QString *why)
{
    return detect(byExtension(QFileInfo(path).suffix()), path, why);
}

const Format *detect(const std::vector<const Format *> &candidates, const QString &path, QString *why)
{
    std::vector<const Format *> order;
    for (const Format *f : candidates)
        if (f->read)
            order.push_back(f);
    if (order.empty()) {
        *why = candidates.empty() ? QStringLiteral("cannot tell the format from the name")
                                  : QStringLiteral("%1 files cannot be read").arg(labelOf(*candidates.front()));
        return nullptr;
    }
    if (order.size() == 1)
        return order.front();

    // A file's name may say which of the formats it is in ("grade_hald.png").
    const QString fileName = QFileInfo(path).completeBaseName().toLower();
    std::stable_partition(order.begin(), order.end(),
                          [&](const Format *f) { return fileName.contains(QLatin1String(f->name)); });

    const Format *fallback = nullptr;
    QString found;
    QStringList wanted;
    for (const Format *f : order) {
        if (!f->claims) {
            if (!fallback)
                fallback = f;
            continue;
        }
        QString reason;
        const int verdict = f->claims(path, &reason);
        if (verdict > 0)
            return f;
        if (verdict < 0) {
            *why = reason;
            return nullptr;
        }
        found = reason;
        if (f->claimText)
            wanted << QString::fromUtf8(f->claimText);
    }
    if (fallback)
        return fallback;
    if (wanted.size() < 2) {
        *why = QStringLiteral("%1 is not %2").arg(found, wanted.value(0, QStringLiteral("of a known format")));
    } else {
        const QString last = wanted.takeLast();
        *why = QStringLiteral("%1 is neither %2 nor %3").arg(found, wanted.join(QStringLiteral(", ")), last);
    }
    return nullptr;
}

namespace {

// Steps 1 and 2 of the reading dispatch: the side's orders unless it asks for the format's own.
void takeOrders(Read_LUTFile &lut, const LUTFILE_ST &side)
{
    if (!side.defaultOrder) {
        lut.dataOrderRGB = side.dataOrderRGB;
        lut.tableOrderRGB = side.tableOrderRGB;
    }
    lut.defaultOrder = side.defaultOrder;
    lut.errorString.clear();
    qDebug() << "read: defaultOrder" << lut.defaultOrder << "dataOrderRGB" << lut.dataOrderRGB << "tableOrderRGB"
             << lut.tableOrderRGB << "formatId" << side.formatId;
}

void takeOrders(Write_LUTFile &writer, const LUTFILE_ST &side)
{
    writer.dataOrderRGB = side.dataOrderRGB;
    writer.tableOrderRGB = side.tableOrderRGB;
    writer.defaultOrder = side.defaultOrder;
    writer.scale = side.scale;
    writer.errorString.clear();
}

}

bool read(const Format &format, const LUTFILE_ST &side, Read_LUTFile &lut, bool headerOnly, const Options &options)
{
    takeOrders(lut, side);
    if (!format.read)
        return lut.fail(QStringLiteral("%1 files cannot be read").arg(labelOf(format)));
    lut.textFailure.clear();
    const bool ok = format.read(lut, side.path, headerOnly, options);
    // A text that ended on a read error or past the input limit is no whole file, whatever
    // the reader made of what came before.
    if (!lut.textFailure.isEmpty())
        return lut.fail(lut.textFailure);
    return ok;
}

bool write(const Format &format, const LUTFILE_ST &side, Read_LUTFile &lut, QString *why, const Options &options)
{
    Write_LUTFile writer;
    takeOrders(writer, side);
    if (format.write && format.write(writer, side.path, lut, options))
        return true;
    if (why) {
        if (!format.write)
            *why = QStringLiteral("%1 files cannot be written").arg(labelOf(format));
        else
            *why = writer.errorString.isEmpty() ? QStringLiteral("cannot be written") : writer.errorString;
    }
    return false;
}

QStringList extensionsOf(const Format &format)
{
    return QString::fromLatin1(format.extensions).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

QString labelOf(const Format &format)
{
    return QString::fromUtf8(format.label);
}

}

// The numeric dispatch: ids 0 to 16 through the registry. Formats without an id, and writers
// that their entry keeps out of it, cannot be reached by number.

bool Read_LUTFile::ReadFile(LUTFILE_ST file, bool headerOnly)
{
    if (const Formats::Format *format = Formats::byId(file.formatId))
        return Formats::read(*format, file, *this, headerOnly);
    Formats::takeOrders(*this, file);
    return fail(QStringLiteral("unknown format id %1").arg(file.formatId));
}

bool Write_LUTFile::WriteFile(LUTFILE_ST file, Read_LUTFile &lut)
{
    Formats::takeOrders(*this, file);
    const Formats::Format *format = Formats::byId(file.formatId);
    if (!format || !format->write || !format->writeByNumber) {
        errorString = QStringLiteral("format id %1 cannot be written").arg(file.formatId);
        return false;
    }
    return format->write(*this, file.path, lut, Formats::Options());
}

QString Read_LUTFile::formatStr(int id)
{
    const Formats::Format *format = Formats::byId(id);
    return format ? Formats::labelOf(*format) : QString();
}

bool Read_LUTFile::formatIs3D(int id)
{
    const Formats::Format *format = Formats::byId(id);
    return format && format->is3D;
}
