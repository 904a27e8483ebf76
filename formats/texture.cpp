// LUTs stored as images: every pixel is one lattice node, its R, G, B bytes the node's output.
//
// Texture (id 1): a square image of A x A tiles, each N x N pixels, one tile per blue index,
// tiles counted left to right, then top to bottom.
//
//   side 64   -> N 16,  A 4          +-------+-------+-------+-------+
//   side 512  -> N 64,  A 8          | b = 0 | b = 1 | b = 2 | b = 3 |   inside a tile:
//   side 4096 -> N 256, A 16         +-------+-------+-------+-------+   red = column,
//                                    | b = 4 | b = 5 |  ...  |       |   green = row
//
//   pixel (x, y) -> node [x mod N][y mod N][(y / N) * A + x / N]
//
// Identity unwrapped cube (id 2): a strip N^2 pixels wide and N high of N blocks, one per
// blue index: pixel (x, y) -> node [x mod N][y][x / N]. A 1024 x 32 strip is a 32-point lattice.
//
// Both orders above are the formats' own (data order RGB, red index fastest); other order
// flags place the same counters differently through the model's store rule. The geometry is
// checked from the file's header, before any pixel is decoded or anything is allocated. The
// writers lay out the same counters, as 8 or 16-bit PNG or TIFF pixels.
//
// The numbered readers take 8 bits of every pixel. Read faithfully, pixels are taken at the
// file's depth: 8-bit codes of 255, 16-bit codes of 65535.

#include <QDebug>
#include <QFileInfo>

#include <vector>

#include "formats/faithful.h"
#include "formats/formatentry.h"
#include "lut/lutlimits.h"
#include "lut/read_lutfile.h"
#include "lut/write_lutfile.h"
#include "formats/latticeout.h"
#include "formats/rgbimage.h"
#include "formats/writers.h"

namespace {

// Texture sides and the lattices they hold: tiles of n x n pixels, `across` tiles a row.
struct Geometry {
    int side;
    int n;
    int across;
};
constexpr Geometry textureGeometries[] = {{64, 16, 4}, {512, 64, 8}, {4096, 256, 16}};

const Geometry *textureGeometry(int width, int height)
{
    for (const Geometry &geometry : textureGeometries) {
        if (width == geometry.side && height == geometry.side)
            return &geometry;
    }
    return nullptr;
}

bool isUnwrappedCube(qint64 width, qint64 height)
{
    return height > 0 && width == height * height;
}

// The image formats share their extensions; the image's geometry tells them apart.
int claimTexture(const QString &path, QString *why)
{
    return RgbImage::claim(path, why, [](int width, int height) { return textureGeometry(width, height) != nullptr; });
}

// A texture holds 16, 64 or 256 points; other lattices are written at 64.
int textureSize(int size, bool given, const Formats::Options &, QString *sizes)
{
    for (const Geometry &geometry : textureGeometries) {
        if (geometry.n == size)
            return size;
    }
    if (!given)
        return 64;
    *sizes = QStringLiteral("lattices of 16, 64 or 256 points");
    return 0;
}

int claimUnwrappedCube(const QString &path, QString *why)
{
    return RgbImage::claim(path, why, [](int width, int height) { return isUnwrappedCube(width, height); });
}

const char imageExtensions[] = "png bmp tif tiff jpg jpeg";

}

namespace Formats {
const Faithful imageFaithful = {Meaning::codesOverDomain, nullptr, nullptr, nullptr, false, {true, false}};
extern const Format textureFormat = withFaithful({
    "texture", Id::Texture, "texture-base 64X64 512X512...", imageExtensions, true,
    memberReader<&Read_LUTFile::Read_Texture>, Write_Texture, false,
    {true, false}, {true, false},
    1, 0, claimTexture, false, "a texture (a square of 64, 512 or 4096 pixels)", textureSize}, &imageFaithful);
extern const Format unwrappedCubeFormat = withFaithful({
    "iuc", Id::UnwrappedCube, "identity Unwrapped Cube 1024X16", imageExtensions, true,
    memberReader<&Read_LUTFile::Read_IUC>, Write_IUC, false,
    {true, false}, {true, false},
    1, 0, claimUnwrappedCube, false, "an unwrapped cube (N*N pixels wide, N high)"}, &imageFaithful);
}

namespace {

// Stores every node of an image of N x N tiles, `across` tiles per tile row, tile t holding
// blue counter t. The store gets the counters (tile, row, column) as the file nests them.
void storeTiles(Read_LUTFile &lut, const RgbImage &image, int n, int across)
{
    const int tileRows = (n + across - 1) / across;
    std::vector<const uchar *> rows(std::size_t(tileRows), nullptr);
    const float *min = lut.domainMin3D;
    const float *max = lut.domainMax3D;
    uchar r = 0, g = 0, b = 0;
    for (int y0 = 0; y0 < n; ++y0) {
        for (int tr = 0; tr < tileRows; ++tr)
            rows[std::size_t(tr)] = image.row(tr * n + y0);
        auto store = [&](int t, int x0) {
            image.rgb(rows[std::size_t(t / across)], (t % across) * n + x0, r, g, b);
            lut.White3D(t, y0, x0, float(r), float(g), float(b), min, max);
        };
        // Every (tile, column) pair is stored once whatever the order; the loops run so that
        // successive stores land on neighbouring nodes of the table, not a plane apart.
        if (lut.tableOrderRGB) {
            for (int t = 0; t < n; ++t)
                for (int x0 = 0; x0 < n; ++x0)
                    store(t, x0);
        } else {
            for (int x0 = 0; x0 < n; ++x0)
                for (int t = 0; t < n; ++t)
                    store(t, x0);
        }
    }
}

// Raw stores read the pixels at the file's own depth: 8-bit codes of 255, 16-bit ones of 65535.
// The file is decoded again: `header` has only its size.
bool readDeepTiles(Read_LUTFile &lut, const Formats::Format &format, const RgbImage &header, const QString &path,
                   int n, int across, bool headerOnly)
{
    QString why;
    const ImageFiles::Backend *images = ImageFiles::backend(&why);
    ImageFiles::Pixels pixels;
    if (!images || !images->decodeDeep(path, &pixels, &why))
        return lut.fail(QStringLiteral("%1: %2").arg(QFileInfo(path).fileName(), why));
    if (QSize(pixels.width, pixels.height) != header.size())
        return lut.fail(QStringLiteral("%1: the header gives %2 x %3 pixels but %4 x %5 were decoded")
                            .arg(QFileInfo(path).fileName()).arg(header.width()).arg(header.height())
                            .arg(pixels.width).arg(pixels.height));
    if (!lut.setSize3D(n, headerOnly))
        return false;
    lut.applyDefaultOrder(format.readOrder);
    if (headerOnly)
        return true;
    const bool deep = pixels.layout == ImageFiles::Layout::Rgbx64 || pixels.layout == ImageFiles::Layout::Rgba64;
    for (float &max : lut.domainMax3D)
        max = deep ? 65535.0f : 255.0f;
    for (int y = 0; y < pixels.height; ++y) {
        const uchar *line = pixels.row(y);
        for (int x = 0; x < pixels.width; ++x) {
            float v[3];
            ImageFiles::Pixels::codes(line, x, deep, v);
            lut.White3D((y / n) * across + x / n, y % n, x % n, v[0], v[1], v[2], lut.domainMin3D, lut.domainMax3D);
        }
    }
    return true;
}

// Common tail of both readers once the geometry is accepted: nothing of the model has been
// touched yet, and nothing is unless the pixels decode and the table can be allocated. A
// header read decodes the pixels too, so that it accepts exactly the images a full read does
// (a file cut short has a sound header); it allocates no table.
bool readTiles(Read_LUTFile &lut, const Formats::Format &format, RgbImage &image, const QString &path, int n,
               int across, bool headerOnly)
{
    // An image that had to be decoded to learn its size (one read from a pipe) has its 8-bit
    // colours only.
    if (lut.rawStore && !image.decoded())
        return readDeepTiles(lut, format, image, path, n, across, headerOnly);
    if (!image.load(path))
        return lut.fail(image.errorString());
    if (!lut.setSize3D(n, headerOnly))
        return false;
    lut.applyDefaultOrder(format.readOrder);
    if (headerOnly)
        return true;

    // Bytes are stored divided by 255.
    for (int ch = 0; ch < 3; ++ch)
        lut.domainMax3D[ch] = 255.0f;
    storeTiles(lut, image, n, across);
    lut.resetUpperEnds();
    return true;
}

}

bool Read_LUTFile::Read_Texture(QString path, bool headerOnly)
{
    qDebug() << "reading texture" << path;
    RgbImage image;
    if (!image.probe(path))
        return fail(image.errorString());
    if (const Geometry *geometry = textureGeometry(image.width(), image.height()))
        return readTiles(*this, Formats::textureFormat, image, path, geometry->n, geometry->across, headerOnly);
    return fail(QStringLiteral("a texture image is square, 64, 512 or 4096 pixels a side; this one is %1 x %2")
                    .arg(image.width()).arg(image.height()));
}

bool Read_LUTFile::Read_IUC(QString path, bool headerOnly)
{
    qDebug() << "reading unwrapped cube" << path;
    RgbImage image;
    if (!image.probe(path))
        return fail(image.errorString());
    const qint64 w = image.width();
    const qint64 n = image.height();
    if (n <= 0 || w <= 0)
        return fail(QStringLiteral("the image has no pixels (%1 x %2)").arg(w).arg(n));
    if (!isUnwrappedCube(w, n))
        return fail(QStringLiteral("an unwrapped cube image is N*N pixels wide and N pixels high; this one is %1 x %2")
                        .arg(w).arg(n));
    if (!LutLimits::valid3DSize(n))
        return fail(QStringLiteral("an unwrapped cube image %1 pixels high holds a %1-point lattice, above the limit of %2")
                        .arg(n).arg(LutLimits::max3DSize));
    return readTiles(*this, Formats::unwrappedCubeFormat, image, path, int(n), int(n), headerOnly);
}

// ---- Writing

namespace {

// The image of an n-point lattice: `across` tiles of n x n pixels per tile row, tile t
// holding blue counter t. The same counters the readers hand to the store rule.
bool writeTiles(Write_LUTFile &writer, const Formats::Format &format, const QString &path, const Read_LUTFile &lut,
                int across, int bits)
{
    const int n = lut.lut3DSize;
    const int tileRows = (n + across - 1) / across;
    LatticeOut::Image image;
    if (!image.create(writer, across * n, tileRows * n, bits))
        return false;
    writer.applyDefaultOrder(format.writeOrder);
    image.fill(writer, lut.lut3D, [n, across](int x, int y, int &t, int &y0, int &x0) {
        t = (y / n) * across + x / n;
        y0 = y % n;
        x0 = x % n;
    });
    return image.save(writer, path);
}

}

bool Formats::Write_Texture(Write_LUTFile &writer, const QString &path, Read_LUTFile &lut, const Options &options)
{
    const int bits = LatticeOut::latticeImageBits(writer, lut, path, options.bits, "texture image");
    if (bits == 0)
        return false;
    const int n = lut.lut3DSize;
    for (const Geometry &geometry : textureGeometries) {
        if (geometry.n == n)
            return writeTiles(writer, textureFormat, path, lut, geometry.across, bits);
    }
    writer.errorString = QStringLiteral("a texture image holds a 16, 64 or 256-point lattice, not %1").arg(n);
    return false;
}

bool Formats::Write_IUC(Write_LUTFile &writer, const QString &path, Read_LUTFile &lut, const Options &options)
{
    const int bits = LatticeOut::latticeImageBits(writer, lut, path, options.bits, "unwrapped cube image");
    return bits != 0 && writeTiles(writer, unwrappedCubeFormat, path, lut, lut.lut3DSize, bits);
}
