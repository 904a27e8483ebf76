#include "cli/cliformats.h"

#include <QFileInfo>

#include "lut/linereader.h"
#include "formats/rgbimage.h"
#include "lut/read_lutfile.h"

namespace CliFormats {

namespace {

struct Entry {
    const char *extensions;   // the first one is written; empty for a family member
    bool writable;
    bool readData, readTable;
    bool writeData, writeTable;
};

const char imageExtensions[] = "png bmp tif tiff jpg jpeg";

// Indexed by format id; the orders are those the readers and writers use for "own order".
const Entry entries[Read_LUTFile::formatCount] = {
    {"cube", true, true, false, true, false},
    {imageExtensions, false, true, false, true, true},
    {imageExtensions, false, true, false, true, true},
    {"3dl", false, true, true, true, true},
    {"mga m3d", true, true, true, true, true},
    {"look", false, true, false, true, true},
    {"lut", true, true, true, true, true},
    {"lut", true, true, true, true, true},
    {"davlut", true, true, true, true, true},
    {"csp", false, true, false, true, true},
    {"cub", false, true, false, true, true},
    {"itx", true, true, false, true, false},
    {"spi1d", true, true, false, true, true},
    {"spi3d", true, true, true, true, true},
    {"csv", true, true, true, true, true},
    {"tms1d", true, true, true, true, true},
    {"tms3d", true, true, true, true, true},
};

bool validId(int id)
{
    return id >= 0 && id < Read_LUTFile::formatCount;
}

QStringList extensionsOf(int id)
{
    return QString::fromLatin1(entries[id].extensions).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

int fromExtension(const QString &ext)
{
    const QString e = ext.toLower();
    if (e.isEmpty())
        return Unknown;
    if (QString::fromLatin1(imageExtensions).split(QLatin1Char(' ')).contains(e))
        return AnyImage;
    if (e == QLatin1String("lut"))
        return AnyLut;
    for (int id = 0; id < Read_LUTFile::formatCount; ++id)
        if (extensionsOf(id).contains(e))
            return id;
    return Unknown;
}

// A "LUT:" line is what marks the Discreet layout; the 256-entry 1D .lut has none.
int detectLut(const QString &path, QString *why)
{
    LineReader r;
    if (!r.open(path)) {
        *why = r.errorString();
        return -1;
    }
    while (r.next())
        if (r.startsWith("LUT:"))
            return 6;
    return 7;
}

// Texture images are squares of 64, 512 or 4096 pixels; unwrapped cubes are N^2 x N strips.
int detectImage(const QString &path, QString *why)
{
    RgbImage image;
    if (!image.probe(path)) {
        *why = image.errorString();
        return -1;
    }
    const int w = image.width(), h = image.height();
    if (w == h && (w == 64 || w == 512 || w == 4096))
        return 1;
    if (h > 0 && qint64(w) == qint64(h) * h)
        return 2;
    *why = QStringLiteral("a %1x%2 image is neither a texture (a square of 64, 512 or 4096 pixels) "
                          "nor an unwrapped cube (N*N pixels wide, N high)").arg(w).arg(h);
    return -1;
}

}

int fromName(const QString &name)
{
    bool isNumber = false;
    const int id = name.toInt(&isNumber);
    if (isNumber)
        return validId(id) ? id : Unknown;
    QString ext = name;
    if (ext.startsWith(QLatin1Char('.')))
        ext.remove(0, 1);
    return fromExtension(ext);
}

int fromPath(const QString &path)
{
    return fromExtension(QFileInfo(path).suffix());
}

int detectInput(const QString &path, int forced, QString *why)
{
    const int guess = forced != Unknown ? forced : fromPath(path);
    if (validId(guess))
        return guess;
    if (guess == AnyLut)
        return detectLut(path, why);
    if (guess == AnyImage)
        return detectImage(path, why);
    *why = QStringLiteral("cannot tell the format from the name; give it with --in-format");
    return -1;
}

bool canWrite(int id)
{
    return validId(id) && entries[id].writable;
}

int writableId(int idOrFamily)
{
    if (idOrFamily == AnyLut)
        return 6;
    return canWrite(idOrFamily) ? idOrFamily : -1;
}

QString outputExtension(int id)
{
    return validId(id) ? extensionsOf(id).value(0) : QString();
}

QString extensionsText(int id)
{
    if (!validId(id))
        return QString();
    QStringList dotted;
    for (const QString &e : extensionsOf(id))
        dotted << QLatin1Char('.') + e;
    return dotted.join(QLatin1Char(' '));
}

void readerOrder(int id, bool &dataRGB, bool &tableRGB)
{
    if (!validId(id))
        return;
    dataRGB = entries[id].readData;
    tableRGB = entries[id].readTable;
}

void writerOrder(int id, bool &dataRGB, bool &tableRGB)
{
    if (!validId(id))
        return;
    dataRGB = entries[id].writeData;
    tableRGB = entries[id].writeTable;
}

qint64 defaultScale(int id)
{
    // The 256-entry 1D .lut holds 8-bit codes; the .csv reader cuts every value to an integer.
    if (id == 7)
        return 255;
    if (id == 14)
        return 1023;
    return 1;
}

int fixed1DLength(int id)
{
    return id == 7 ? 256 : 0;
}

}
