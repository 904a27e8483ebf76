// Prepares the seed corpora of the fuzz targets: small files of every writable format made by
// the library's own writers, identity images for the two image readers, and any LUT files
// given on the command line, sorted to their readers by extension. Each seed gets the flag
// bytes the targets expect in front of the file.
//
//   fuzz_seeds CORPUS_ROOT [FILE...]
//
// makes CORPUS_ROOT/<reader>/ for each of the seventeen readers, CORPUS_ROOT/clf/ and
// CORPUS_ROOT/roundtrip/.

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <map>
#include <vector>

#include "lut/read_lutfile.h"
#include "lut/write_lutfile.h"

namespace {

const char *const readerNames[Read_LUTFile::formatCount] = {
    "cube", "texture", "iuc", "3dl", "mga", "look", "discreet", "lut1d", "davlut",
    "csp", "cub", "itx", "spi1d", "spi3d", "csv", "tms1d", "tms3d"};

// Reading flags put before each seed: full read in the format's order, full read with both
// order flags set explicitly, header only.
const unsigned char readFlags[] = {0x02, 0x0c, 0x03};

QString root;
int seedCount = 0;

void save(const QString &dir, const QByteArray &bytes)
{
    const QString name = QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex());
    QFile f(QDir(root).filePath(dir + QLatin1Char('/') + name));
    if (f.exists())
        return;
    if (f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size())
        ++seedCount;
}

void addSeed(int id, const QByteArray &file)
{
    for (unsigned char flags : readFlags)
        save(QLatin1String(readerNames[id]), QByteArray(1, char(flags)) + file);
    // Round trip: reader id, reading flags, writing flags (default order; float and 1023 scale).
    save(QStringLiteral("roundtrip"), QByteArray(1, char(id)) + char(0x02) + char(0x02) + file);
    save(QStringLiteral("roundtrip"), QByteArray(1, char(id)) + char(0x0c) + char(0x1a) + file);
}

// A lattice that is not the identity, so that channel and lattice orders show in the file.
void fill3D(Read_LUTFile &lut, int n)
{
    lut.lut3DSize = n;
    Read_LUTFile::Data3DCalloc(&lut.lut3D, n);
    const float d = n > 1 ? float(n - 1) : 1.0f;
    for (int r = 0; r < n; ++r)
        for (int g = 0; g < n; ++g)
            for (int b = 0; b < n; ++b) {
                float *node = lut.lut3D.node(r, g, b);
                node[0] = r / d;
                node[1] = std::sqrt(g / d);
                node[2] = (b / d) * (b / d);
            }
}

void fill1D(Read_LUTFile &lut, int n)
{
    lut.lut1DSize = n;
    Read_LUTFile::Data1DCalloc(&lut.lut1D, n);
    const float d = n > 1 ? float(n - 1) : 1.0f;
    for (int i = 0; i < n; ++i) {
        lut.lut1D[i][0] = i / d;
        lut.lut1D[i][1] = std::pow(i / d, 2.2f);
        lut.lut1D[i][2] = 1.0f - i / d;
    }
}

QByteArray written(int id, Read_LUTFile &lut, qint64 scale, const QString &path)
{
    LUTFILE_ST side;
    side.path = path;
    side.formatId = id;
    side.defaultOrder = true;
    side.scale = scale;
    side.outputSize3D = lut.lut3DSize;
    Write_LUTFile writer;
    QFile::remove(path);
    if (!writer.WriteFile(side, lut))
        return QByteArray();
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void generated(const QTemporaryDir &tmp)
{
    const int writable[] = {0, 4, 6, 7, 8, 11, 12, 13, 14, 15, 16};
    const QString path = tmp.filePath(QStringLiteral("seed"));
    for (int id : writable) {
        for (int size : {2, 5}) {
            Read_LUTFile lut;
            if (Read_LUTFile::formatIs3D(id))
                fill3D(lut, size);
            else
                fill1D(lut, size * size);
            for (qint64 scale : {qint64(1), qint64(1023)}) {
                const QByteArray file = written(id, lut, scale, path);
                if (!file.isEmpty())
                    addSeed(id, file);
            }
        }
    }
}

QByteArray imageBytes(const QImage &image, const char *format)
{
    const QString path = QDir::temp().filePath(QStringLiteral("lutwright-seed-image"));
    if (!image.save(path, format))
        return QByteArray();
    QFile f(path);
    const QByteArray bytes = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    QFile::remove(path);
    return bytes;
}

// Texture: a square of A x A tiles of N x N pixels; IUC: N blocks of N x N side by side.
QImage identityTexture(int n, int a)
{
    QImage image(n * a, n * a, QImage::Format_RGB888);
    for (int y = 0; y < n * a; ++y)
        for (int x = 0; x < n * a; ++x) {
            const int r = x % n, g = y % n, b = (y / n) * a + x / n;
            image.setPixel(x, y, qRgb(255 * r / (n - 1), 255 * g / (n - 1), 255 * b / (n - 1)));
        }
    return image;
}

QImage identityIuc(int n)
{
    QImage image(n * n, n, QImage::Format_RGB888);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n * n; ++x) {
            const int r = x % n, b = x / n;
            image.setPixel(x, y, qRgb(255 * r / (n - 1), 255 * y / (n - 1), 255 * b / (n - 1)));
        }
    return image;
}

void images()
{
    for (const char *format : {"PNG", "BMP"}) {
        addSeed(1, imageBytes(identityTexture(16, 4), format));
        for (int n : {2, 4, 16})
            addSeed(2, imageBytes(identityIuc(n), format));
    }
    addSeed(1, imageBytes(identityTexture(16, 4), "PPM"));
    addSeed(2, imageBytes(identityIuc(4), "PPM"));
}

void given(const QString &path)
{
    if (QFileInfo(path).suffix().toLower() == QLatin1String("clf")) {
        QFile f(path);
        if (QFileInfo(path).size() <= 1024 * 1024 && f.open(QIODevice::ReadOnly)) {
            const QByteArray bytes = f.readAll();
            for (unsigned char flags : readFlags)
                save(QStringLiteral("clf"), QByteArray(1, char(flags)) + bytes);
        }
        return;
    }
    static const std::map<QString, std::vector<int>> byExtension = {
        {"cube", {0}}, {"png", {1, 2}}, {"bmp", {1, 2}}, {"ppm", {1, 2}}, {"jpg", {1, 2}},
        {"3dl", {3}}, {"mga", {4}}, {"m3d", {4}}, {"look", {5}}, {"lut", {6, 7}},
        {"davlut", {8}}, {"csp", {9}}, {"cub", {10}}, {"itx", {11}}, {"spi1d", {12}},
        {"spi3d", {13}}, {"csv", {14}}, {"tms1d", {15}}, {"tms3d", {16}}};
    const QFileInfo info(path);
    const auto it = byExtension.find(info.suffix().toLower());
    if (it == byExtension.end() || info.size() > 1024 * 1024)
        return;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return;
    const QByteArray bytes = f.readAll();
    for (int id : it->second)
        addSeed(id, bytes);
}

}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
    if (argc < 2) {
        std::fprintf(stderr, "usage: fuzz_seeds CORPUS_ROOT [FILE...]\n");
        return 2;
    }
    root = QString::fromLocal8Bit(argv[1]);
    for (const char *name : readerNames)
        QDir().mkpath(QDir(root).filePath(QLatin1String(name)));
    QDir().mkpath(QDir(root).filePath(QStringLiteral("roundtrip")));
    QDir().mkpath(QDir(root).filePath(QStringLiteral("clf")));

    QTemporaryDir tmp;
    generated(tmp);
    images();
    for (int i = 2; i < argc; ++i)
        given(QString::fromLocal8Bit(argv[i]));
    std::printf("%d new seeds in %s\n", seedCount, argv[1]);
    return 0;
}
