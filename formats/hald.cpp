// Hald CLUT: a 3D LUT as a square image, the form image editors, raw developers and video
// filters take. An image of level L (2 to 16) is L^3 pixels a side and holds a lattice of L^2
// points per axis. Its pixels, read row by row from the top left, are the lattice nodes with
// the red index fastest, then green, then blue:
//
//   level 2: 8 x 8 pixels, 4-point lattice     pixel p = y * 8 + x  ->  node [p mod 4]
//   +--------------------------------+                                     [(p / 4) mod 4]
//   | r0 r1 r2 r3 r0 r1 r2 r3  g0 g1 | <- row 0: blue 0                    [p / 16]
//   | r0 r1 r2 r3 r0 r1 r2 r3  g2 g3 |
//   | ...                            | <- rows 2, 3: blue 1, ... rows 6, 7: blue 3
//
// The identity image maps every node to its own input. Pixels are 8 or 16-bit RGB (PNG,
// TIFF); alpha is ignored. Side 64 (level 4) and 512 (level 8) are texture sizes too, so an
// image is read as Hald only when the format is named or the file's name holds "hald".
// Read faithfully, 8-bit pixels are codes of 255 and 16-bit ones codes of 65535.

#include <QFileInfo>

#include "formats/faithful.h"
#include "formats/formatentry.h"
#include "formats/latticeout.h"
#include "formats/rgbimage.h"
#include "formats/writers.h"

namespace {

constexpr int minLevel = 2;
constexpr int maxLevel = 16;

// The level of a Hald image of this size, or 0.
int levelForSide(int width, int height)
{
    for (int level = minLevel; level <= maxLevel; ++level) {
        if (width == level * level * level && height == width)
            return level;
    }
    return 0;
}

// The lattice counters of pixel (x, y): blue (slowest), green, red (fastest).
inline void pixelCounters(qint64 pixel, int n, int &outer, int &middle, int &inner)
{
    outer = int(pixel / (qint64(n) * n));
    middle = int((pixel / n) % n);
    inner = int(pixel % n);
}

bool isHaldSide(int width, int height)
{
    return levelForSide(width, height) > 0;
}

bool noSide(int, int)
{
    return false;
}

// A lattice of no level's size is written at 64 points (level 8, 512 x 512 pixels).
int haldSize(int size, bool given, const Formats::Options &, QString *sizes)
{
    if (Formats::haldLevelForSize(size) > 0)
        return size;
    if (!given)
        return 64;
    *sizes = QStringLiteral("lattices of L^2 points for a level L of %1 to %2 (4, 9, 16 ... 256)").arg(minLevel).arg(maxLevel);
    return 0;
}

// Levels 4 and 8 are texture sizes too: a Hald image is taken only when its name says so.
int claimHald(const QString &path, QString *why)
{
    const bool named = QFileInfo(path).completeBaseName().contains(QLatin1String("hald"), Qt::CaseInsensitive);
    return RgbImage::claim(path, why, named ? isHaldSide : noSide);
}

}

namespace Formats {
const Faithful haldFaithful = {Meaning::codesOverDomain, nullptr, nullptr, nullptr, false, {true, false}};
extern const Format haldFormat = withFaithful({
    "hald", Id::None, "Hald CLUT image", "png tif tiff", true, Read_Hald, Write_Hald, false,
    {true, false}, {true, false}, 1, 0, claimHald, false,
    "a Hald image (named so, and a square of L^3 pixels for a level L of 2 to 16)", haldSize}, &haldFaithful);
}

int Formats::haldLevelForSize(int n)
{
    for (int level = minLevel; level <= maxLevel; ++level) {
        if (level * level == n)
            return level;
    }
    return 0;
}

bool Formats::Read_Hald(Read_LUTFile &lut, const QString &path, bool headerOnly, const Options &)
{
    RgbImage header;
    if (!header.probe(path))
        return lut.fail(header.errorString());
    const int level = levelForSide(header.width(), header.height());
    if (level == 0)
        return lut.fail(QStringLiteral("a Hald image is a square of L^3 pixels a side for a level L of %1 to %2 "
                                       "(8, 27, 64 ... 4096 pixels); this one is %3 x %4")
                            .arg(minLevel).arg(maxLevel).arg(header.width()).arg(header.height()));
    // Decoded even for the header: an image whose pixels cannot be read is no LUT.
    QString why;
    const ImageFiles::Backend *images = ImageFiles::backend(&why);
    ImageFiles::Pixels pixels;
    if (!images || !images->decodeDeep(path, &pixels, &why))
        return lut.fail(QStringLiteral("%1: %2").arg(QFileInfo(path).fileName(), why));
    if (QSize(pixels.width, pixels.height) != header.size())
        return lut.fail(QStringLiteral("%1: the header gives %2 x %3 pixels but %4 x %5 were decoded")
                            .arg(QFileInfo(path).fileName()).arg(header.width()).arg(header.height())
                            .arg(pixels.width).arg(pixels.height));
    const int n = level * level;
    if (!lut.setSize3D(n, headerOnly))
        return false;
    lut.applyDefaultOrder(haldFormat.readOrder);
    if (headerOnly)
        return true;

    const bool deep = pixels.layout == ImageFiles::Layout::Rgbx64 || pixels.layout == ImageFiles::Layout::Rgba64;
    for (float &max : lut.domainMax3D)
        max = deep ? 65535.0f : 255.0f;
    int outer = 0, middle = 0, inner = 0;
    for (int y = 0; y < pixels.height; ++y) {
        const uchar *line = pixels.row(y);
        for (int x = 0; x < pixels.width; ++x) {
            pixelCounters(qint64(y) * pixels.width + x, n, outer, middle, inner);
            float v[3];
            ImageFiles::Pixels::codes(line, x, deep, v);
            lut.White3D(outer, middle, inner, v[0], v[1], v[2], lut.domainMin3D, lut.domainMax3D);
        }
    }
    lut.resetUpperEnds();
    return true;
}

bool Formats::Write_Hald(Write_LUTFile &writer, const QString &path, Read_LUTFile &lut, const Options &options)
{
    const int bits = LatticeOut::latticeImageBits(writer, lut, path, options.bits, "Hald image");
    if (bits == 0)
        return false;
    const int n = lut.lut3DSize;
    const int level = haldLevelForSize(n);
    if (level == 0) {
        writer.errorString = QStringLiteral("a Hald image holds a lattice of L^2 points for a level L of %1 to %2 "
                                            "(4, 9, 16 ... 256), not %3").arg(minLevel).arg(maxLevel).arg(n);
        return false;
    }
    const int side = level * level * level;
    LatticeOut::Image image;
    if (!image.create(writer, side, side, bits))
        return false;
    writer.applyDefaultOrder(haldFormat.writeOrder);
    image.fill(writer, lut.lut3D, [side, n](int x, int y, int &outer, int &middle, int &inner) {
        pixelCounters(qint64(y) * side + x, n, outer, middle, inner);
    });
    return image.save(writer, path);
}
