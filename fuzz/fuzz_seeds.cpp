// Prepares the seed corpora of the fuzz targets: small files of every writable format made by
// the library's own writers, identity images for the two image readers, and any LUT files
// given on the command line, sorted to their readers by extension. Each seed gets the flag
// bytes the targets expect in front of the file.
//
//   fuzz_seeds CORPUS_ROOT [FILE...]
//   fuzz_seeds --list
//
// makes CORPUS_ROOT/<reader>/ for each readable format of the registry and
// CORPUS_ROOT/roundtrip/; --list prints the registry names of the readable formats, which are
// the reading targets.

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLoggingCategory>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "formats/registry.h"
#include "lut/read_lutfile.h"

namespace {

std::vector<const Formats::Format *> readers()
{
    std::vector<const Formats::Format *> found;
    for (const Formats::Format *f : Formats::all())
        if (f->read)
            found.push_back(f);
    return found;
}

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

void addSeed(const Formats::Format &format, const QByteArray &file)
{
    for (unsigned char flags : readFlags)
        save(QLatin1String(format.name), QByteArray(1, char(flags)) + file);
    // Round trip: the reader's place among the readers, reading flags, writing flags (default
    // order; float and 1023 scale).
    const std::vector<const Formats::Format *> all = readers();
    const char reader = char(std::find(all.begin(), all.end(), &format) - all.begin());
    save(QStringLiteral("roundtrip"), QByteArray(1, reader) + char(0x02) + char(0x02) + file);
    save(QStringLiteral("roundtrip"), QByteArray(1, reader) + char(0x0c) + char(0x1a) + file);
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

QByteArray written(const Formats::Format &format, Read_LUTFile &lut, qint64 scale, const QString &path)
{
    LUTFILE_ST side;
    side.path = path;
    side.formatId = qint32(format.id);
    side.defaultOrder = true;
    side.scale = scale;
    side.outputSize3D = lut.lut3DSize;
    QFile::remove(path);
    QString why;
    if (!Formats::write(format, side, lut, &why))
        return QByteArray();
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void generated(const QTemporaryDir &tmp)
{
    const QString path = tmp.filePath(QStringLiteral("seed"));
    for (const Formats::Format *format : readers()) {
        if (!format->write)
            continue;
        for (int size : {2, 5}) {
            Read_LUTFile lut;
            if (format->is3D)
                fill3D(lut, size);
            else
                fill1D(lut, size * size);
            for (qint64 scale : {qint64(1), qint64(1023)}) {
                const QByteArray file = written(*format, lut, scale, path);
                if (!file.isEmpty())
                    addSeed(*format, file);
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
    const Formats::Format &texture = *Formats::byId(Formats::Id::Texture);
    const Formats::Format &unwrapped = *Formats::byId(Formats::Id::UnwrappedCube);
    for (const char *format : {"PNG", "BMP"}) {
        addSeed(texture, imageBytes(identityTexture(16, 4), format));
        for (int n : {2, 4, 16})
            addSeed(unwrapped, imageBytes(identityIuc(n), format));
    }
    addSeed(texture, imageBytes(identityTexture(16, 4), "PPM"));
    addSeed(unwrapped, imageBytes(identityIuc(4), "PPM"));
}

// A file goes to every reader of its extension.
void given(const QString &path)
{
    const QFileInfo info(path);
    const std::vector<const Formats::Format *> formats = Formats::byExtension(info.suffix());
    if (formats.empty() || info.size() > 1024 * 1024)
        return;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return;
    const QByteArray bytes = f.readAll();
    for (const Formats::Format *format : formats)
        if (format->read)
            addSeed(*format, bytes);
}

}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
    if (argc < 2) {
        std::fprintf(stderr, "usage: fuzz_seeds CORPUS_ROOT [FILE...] | fuzz_seeds --list\n");
        return 2;
    }
    if (std::strcmp(argv[1], "--list") == 0) {
        for (const Formats::Format *format : readers())
            std::printf("%s\n", format->name);
        return 0;
    }
    root = QString::fromLocal8Bit(argv[1]);
    for (const Formats::Format *format : readers())
        QDir().mkpath(QDir(root).filePath(QLatin1String(format->name)));
    QDir().mkpath(QDir(root).filePath(QStringLiteral("roundtrip")));

    QTemporaryDir tmp;
    generated(tmp);
    images();
    for (int i = 2; i < argc; ++i)
        given(QString::fromLocal8Bit(argv[i]));
    std::printf("%d new seeds in %s\n", seedCount, argv[1]);
    return 0;
}
