// LUTs read from images: texture tiles (id 1) and unwrapped cube strips (id 2).
#include <QtTest>

#include <QImage>
#include <QImageWriter>
#include <QtEndian>

#include <functional>

#include <zlib.h>

#include "lut/read_lutfile.h"
#include "testutil.h"

namespace {

enum Kind { Texture = 1, Strip = 2 };

// Lattice size and tiles per tile row of an image of the given kind and width.
void geometry(Kind kind, int width, int &n, int &across)
{
    if (kind == Strip) {
        n = int(std::lround(std::sqrt(double(width))));
        across = n;
    } else {
        n = width == 64 ? 16 : width == 512 ? 64 : 256;
        across = width == 64 ? 4 : width == 512 ? 8 : 16;
    }
}

// An image whose pixel (x, y) gets colour(x, y), as 24-bit RGB.
QImage paint(int width, int height, const std::function<void(int, int, uchar *)> &colour)
{
    QImage image(width, height, QImage::Format_RGB888);
    for (int y = 0; y < height; ++y) {
        uchar *line = image.scanLine(y);
        for (int x = 0; x < width; ++x)
            colour(x, y, line + 3 * x);
    }
    return image;
}

int identityByte(int i, int n)
{
    return n > 1 ? int(std::lround(255.0 * i / (n - 1))) : 0;
}

// The identity: the pixel of node (r, g, b) holds (r, g, b) scaled to bytes, where the node of
// a pixel follows the layout drawn at the top of the format unit.
QImage identityImage(Kind kind, int width)
{
    int n, across;
    geometry(kind, width, n, across);
    const int height = kind == Strip ? n : width;
    return paint(width, height, [n, across](int x, int y, uchar *p) {
        const int b = (y / n) * across + x / n;
        p[0] = uchar(identityByte(x % n, n));
        p[1] = uchar(identityByte(y % n, n));
        p[2] = uchar(identityByte(b, n));
    });
}

// Every pixel tells where it is: R = x mod 256, G = y mod 256, B = x / 256 + 16 * (y / 256).
QImage codedImage(int width, int height)
{
    return paint(width, height, [](int x, int y, uchar *p) {
        p[0] = uchar(x & 255);
        p[1] = uchar(y & 255);
        p[2] = uchar((x >> 8) | ((y >> 8) << 4));
    });
}

QPoint decode(const float *node, bool dataOrderRGB)
{
    int c[3];
    for (int k = 0; k < 3; ++k)
        c[k] = int(std::lround(node[k] * 255.0f));
    if (!dataOrderRGB)
        std::swap(c[0], c[2]);
    return QPoint(c[0] | ((c[2] & 15) << 8), c[1] | ((c[2] >> 4) << 8));
}

// A bitmap header that claims a size and holds no pixels.
QByteArray bmpHeaderOnly(qint32 width, qint32 height)
{
    uchar b[54] = {'B', 'M'};
    qToLittleEndian<quint32>(54, b + 2);
    qToLittleEndian<quint32>(54, b + 10);
    qToLittleEndian<quint32>(40, b + 14);
    qToLittleEndian<qint32>(width, b + 18);
    qToLittleEndian<qint32>(height, b + 22);
    qToLittleEndian<quint16>(1, b + 26);
    qToLittleEndian<quint16>(24, b + 28);
    return QByteArray(reinterpret_cast<const char *>(b), sizeof b);
}

// A PNG whose header promises width x height RGB pixels while its data holds one row.
QByteArray pngWithOneRow(int width, int height)
{
    const auto chunk = [](const QByteArray &type, const QByteArray &data) {
        uchar word[4];
        qToBigEndian<quint32>(quint32(data.size()), word);
        QByteArray out(reinterpret_cast<const char *>(word), 4);
        const QByteArray body = type + data;
        qToBigEndian<quint32>(quint32(crc32(0, reinterpret_cast<const Bytef *>(body.constData()), uInt(body.size()))), word);
        return out + body + QByteArray(reinterpret_cast<const char *>(word), 4);
    };
    QByteArray header(13, '\0');
    qToBigEndian<quint32>(quint32(width), header.data());
    qToBigEndian<quint32>(quint32(height), header.data() + 4);
    header[8] = 8;   // bits per sample
    header[9] = 2;   // RGB
    const QByteArray row(1 + 3 * width, '\0');
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", header) + chunk("IDAT", qCompress(row).mid(4)) + chunk("IEND", QByteArray());
}

QString save(const QTemporaryDir &dir, const QImage &image, const char *format, const QString &name)
{
    const QString path = dir.filePath(name + QLatin1Char('.') + QLatin1String(format));
    QImageWriter writer(path, format);
    if (!writer.write(image))
        qWarning() << "cannot write" << path << writer.errorString();
    return path;
}

bool readImage(Read_LUTFile &m, Kind kind, const QString &path, bool headerOnly, bool defaultOrder = true,
               bool dataRGB = true, bool tableRGB = true)
{
    return m.ReadFile(TestUtil::side(kind, path, defaultOrder, dataRGB, tableRGB), headerOnly);
}

}

Q_DECLARE_METATYPE(Kind)

class TestTexture : public QObject
{
    Q_OBJECT
    // Coded images are costly at 4096 pixels: each size is written once per run, and the
    // largest as a bitmap, which writes and reads fastest.
    QTemporaryDir shared;
    QHash<QString, QString> coded;
    QString codedFile(int width, int height)
    {
        const QString name = QStringLiteral("coded%1x%2").arg(width).arg(height);
        if (!coded.contains(name))
            coded[name] = save(shared, codedImage(width, height), width > 1024 ? "bmp" : "png", name);
        return coded[name];
    }

private slots:
    void identity_data();
    void identity();
    void layout_data();
    void layout();
    void pixelToNode_data();
    void pixelToNode();
    void fileFormats_data();
    void fileFormats();
    void headerOnly_data();
    void headerOnly();
    void refused_data();
    void refused();
    void namedPipe_data();
    void namedPipe();
};

void TestTexture::identity_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("n");
    QTest::newRow("texture 64") << Texture << 64 << 16;
    QTest::newRow("texture 512") << Texture << 512 << 64;
    QTest::newRow("texture 4096") << Texture << 4096 << 256;
    QTest::newRow("strip 1 x 1") << Strip << 1 << 1;
    QTest::newRow("strip 4 x 2") << Strip << 4 << 2;
    QTest::newRow("strip 256 x 16") << Strip << 256 << 16;
    QTest::newRow("strip 1024 x 32") << Strip << 1024 << 32;
    QTest::newRow("strip 4356 x 66") << Strip << 4356 << 66;
}

void TestTexture::identity()
{
    QFETCH(Kind, kind);
    QFETCH(int, width);
    QFETCH(int, n);
    QTemporaryDir dir;
    const QString path = save(dir, identityImage(kind, width), width > 1024 ? "bmp" : "png", QStringLiteral("identity"));

    Read_LUTFile m;
    QVERIFY2(readImage(m, kind, path, false), qPrintable(m.errorString));
    QCOMPARE(m.lut3DSize, n);
    QVERIFY(m.lut3D);
    QVERIFY(m.dataOrderRGB);
    QVERIFY(!m.tableOrderRGB);
    for (int c = 0; c < 3; ++c) {
        QCOMPARE(m.domainMin3D[c], 0.0f);
        QCOMPARE(m.domainMax3D[c], 1.0f);
    }
    // Bytes are stored divided by 255: 0 gives 0.0 and 255 gives exactly 1.0.
    QCOMPARE(m.lut3D[0][0][0][0], 0.0f);
    if (n > 1)
        QCOMPARE(m.lut3D[n - 1][n - 1][n - 1][2], 1.0f);
    int wrong = 0;
    for (int r = 0; r < n; ++r)
        for (int g = 0; g < n; ++g)
            for (int b = 0; b < n; ++b) {
                const float *node = m.lut3D[r][g][b];
                wrong += node[0] != float(identityByte(r, n)) / 255.0f || node[1] != float(identityByte(g, n)) / 255.0f
                         || node[2] != float(identityByte(b, n)) / 255.0f;
            }
    QCOMPARE(wrong, 0);
}

void TestTexture::layout_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("defaultOrder");
    QTest::addColumn<bool>("dataRGB");
    QTest::addColumn<bool>("tableRGB");
    const struct {
        Kind kind;
        int width;
        const char *name;
    } images[] = {{Texture, 64, "texture 64"}, {Texture, 512, "texture 512"}, {Texture, 4096, "texture 4096"},
                  {Strip, 16, "strip 16 x 4"}, {Strip, 1024, "strip 1024 x 32"}};
    for (const auto &image : images) {
        QTest::addRow("%s, own orders", image.name) << image.kind << image.width << true << false << true;
        for (int flags = 0; flags < 4; ++flags)
            QTest::addRow("%s, data %s, table %s", image.name, flags & 1 ? "RGB" : "BGR", flags & 2 ? "RGB" : "BGR")
                << image.kind << image.width << false << bool(flags & 1) << bool(flags & 2);
    }
}

// Every node of a graded image comes from the pixel the layout gives, under every order.
void TestTexture::layout()
{
    QFETCH(Kind, kind);
    QFETCH(int, width);
    QFETCH(bool, defaultOrder);
    QFETCH(bool, dataRGB);
    QFETCH(bool, tableRGB);
    int n, across;
    geometry(kind, width, n, across);
    const QString path = codedFile(width, kind == Strip ? n : width);

    Read_LUTFile m;
    QVERIFY2(readImage(m, kind, path, false, defaultOrder, dataRGB, tableRGB), qPrintable(m.errorString));
    QCOMPARE(m.lut3DSize, n);
    if (defaultOrder) {
        dataRGB = true;
        tableRGB = false;
    }
    QCOMPARE(m.dataOrderRGB, dataRGB);
    QCOMPARE(m.tableOrderRGB, tableRGB);
    int wrong = 0;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            for (int k = 0; k < n; ++k) {
                // Counters (tile, row in tile, column in tile), placed by the table order.
                const int t = tableRGB ? i : k;
                const int x0 = tableRGB ? k : i;
                const QPoint expected((t % across) * n + x0, (t / across) * n + j);
                if (decode(m.lut3D[i][j][k], dataRGB) != expected && ++wrong < 5)
                    qWarning() << "node" << i << j << k << "holds pixel" << decode(m.lut3D[i][j][k], dataRGB)
                               << "instead of" << expected;
            }
    QCOMPARE(wrong, 0);
}

void TestTexture::pixelToNode_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("defaultOrder");
    QTest::addColumn<QPoint>("pixel");
    QTest::addColumn<QVector<int>>("node");
    QTest::newRow("512: first pixel") << Texture << 512 << true << QPoint(0, 0) << QVector<int>{0, 0, 0};
    QTest::newRow("512: end of first tile row") << Texture << 512 << true << QPoint(63, 0) << QVector<int>{63, 0, 0};
    QTest::newRow("512: second tile") << Texture << 512 << true << QPoint(64, 0) << QVector<int>{0, 0, 1};
    QTest::newRow("512: second tile row") << Texture << 512 << true << QPoint(0, 64) << QVector<int>{0, 0, 8};
    QTest::newRow("512: last pixel") << Texture << 512 << true << QPoint(511, 511) << QVector<int>{63, 63, 63};
    QTest::newRow("512: second tile, RGB orders") << Texture << 512 << false << QPoint(64, 0) << QVector<int>{1, 0, 0};
    QTest::newRow("64: tile 5") << Texture << 64 << true << QPoint(16 + 3, 16 + 7) << QVector<int>{3, 7, 5};
    QTest::newRow("4096: last tile") << Texture << 4096 << true << QPoint(4095, 4095) << QVector<int>{255, 255, 255};
    QTest::newRow("4096: tile 17") << Texture << 4096 << true << QPoint(256 + 2, 256 + 1) << QVector<int>{2, 1, 17};
    QTest::newRow("1024 x 32: (33, 5)") << Strip << 1024 << true << QPoint(33, 5) << QVector<int>{1, 5, 1};
    QTest::newRow("1024 x 32: last") << Strip << 1024 << true << QPoint(1023, 31) << QVector<int>{31, 31, 31};
}

void TestTexture::pixelToNode()
{
    QFETCH(Kind, kind);
    QFETCH(int, width);
    QFETCH(bool, defaultOrder);
    QFETCH(QPoint, pixel);
    QFETCH(QVector<int>, node);
    int n, across;
    geometry(kind, width, n, across);
    const QString path = codedFile(width, kind == Strip ? n : width);
    Read_LUTFile m;
    QVERIFY2(readImage(m, kind, path, false, defaultOrder, true, true), qPrintable(m.errorString));
    QCOMPARE(decode(m.lut3D[node[0]][node[1]][node[2]], true), pixel);
}

void TestTexture::fileFormats_data()
{
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<int>("pixelFormat");
    QTest::newRow("png, 24-bit") << QByteArray("png") << int(QImage::Format_RGB888);
    QTest::newRow("png, with alpha") << QByteArray("png") << int(QImage::Format_ARGB32);
    QTest::newRow("png, palette") << QByteArray("png") << int(QImage::Format_Indexed8);
    QTest::newRow("png, grey") << QByteArray("png") << int(QImage::Format_Grayscale8);
    QTest::newRow("png, 16 bits per channel") << QByteArray("png") << int(QImage::Format_RGBA64);
    QTest::newRow("bmp") << QByteArray("bmp") << int(QImage::Format_RGB888);
    QTest::newRow("tiff") << QByteArray("tiff") << int(QImage::Format_RGB888);
    QTest::newRow("tiff, with alpha") << QByteArray("tiff") << int(QImage::Format_ARGB32);
}

// Whatever layout a file decodes to, the nodes hold its pixels as 24-bit RGB, alpha dropped.
void TestTexture::fileFormats()
{
    QFETCH(QByteArray, format);
    QFETCH(int, pixelFormat);
    if (!QImageWriter::supportedImageFormats().contains(format))
        QSKIP("no image plugin for this format");
    QImage image = paint(64, 64, [](int x, int y, uchar *p) {
        p[0] = uchar(x * 4 + y);
        p[1] = uchar(y * 4 + 1);
        p[2] = uchar((x * 7 + y * 13) & 255);
    });
    if (pixelFormat == QImage::Format_ARGB32) {
        image = image.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x)
                image.setPixel(x, y, qRgba(qRed(image.pixel(x, y)), qGreen(image.pixel(x, y)), qBlue(image.pixel(x, y)), (x * 4) & 255));
    } else {
        image = image.convertToFormat(QImage::Format(pixelFormat));
    }
    QTemporaryDir dir;
    const QString path = save(dir, image, format.constData(), QStringLiteral("texture"));
    const QImage expected = QImage(path).convertToFormat(QImage::Format_RGB888);
    QCOMPARE(expected.size(), QSize(64, 64));

    Read_LUTFile m;
    QVERIFY2(readImage(m, Texture, path, false), qPrintable(m.errorString));
    int wrong = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const uchar *p = expected.constScanLine(y) + 3 * x;
            const float *node = m.lut3D[x % 16][y % 16][(y / 16) * 4 + x / 16];
            for (int c = 0; c < 3; ++c)
                wrong += node[c] != float(p[c]) / 255.0f;
        }
    QCOMPARE(wrong, 0);
}

void TestTexture::headerOnly_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("n");
    QTest::newRow("texture 512") << Texture << 512 << 64;
    QTest::newRow("strip 1024 x 32") << Strip << 1024 << 32;
}

// A header-only read learns the size and the orders, and allocates nothing.
void TestTexture::headerOnly()
{
    QFETCH(Kind, kind);
    QFETCH(int, width);
    QFETCH(int, n);
    QTemporaryDir dir;
    const QString path = save(dir, identityImage(kind, width), "png", QStringLiteral("whole"));
    Read_LUTFile m;
    QVERIFY(readImage(m, kind, path, true, true, false, true));
    QCOMPARE(m.lut3DSize, n);
    QVERIFY(!m.lut3D);
    QVERIFY(m.dataOrderRGB);
    QVERIFY(!m.tableOrderRGB);
}

void TestTexture::refused_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("file");   // name of the file made in refused()
    QTest::addColumn<QString>("reason");
    QTest::newRow("texture: no such file") << Texture << "missing.png" << "not a readable image";
    QTest::newRow("strip: no such file") << Strip << "missing.png" << "not a readable image";
    QTest::newRow("texture: text") << Texture << "text.png" << "not a readable image";
    QTest::newRow("strip: empty file") << Strip << "empty.png" << "not a readable image";
    QTest::newRow("texture: 512 x 256") << Texture << "512x256.png" << "a texture image is square";
    QTest::newRow("texture: 256 x 256") << Texture << "256x256.png" << "this one is 256 x 256";
    QTest::newRow("texture: a strip") << Texture << "1024x32.png" << "a texture image is square";
    QTest::newRow("texture: 8192 x 8192 claimed") << Texture << "8192x8192.bmp" << "this one is 8192 x 8192";
    QTest::newRow("strip: 1024 x 16") << Strip << "1024x16.png" << "N*N pixels wide";
    QTest::newRow("strip: a texture") << Strip << "512x512.png" << "N*N pixels wide";
    QTest::newRow("strip: 66049 x 257 claimed") << Strip << "66049x257.bmp" << "above the limit of 256";
    QTest::newRow("strip: 0 pixels high") << Strip << "16x0.bmp" << "cannot be decoded";
    QTest::newRow("texture: 0 x 0") << Texture << "0x0.ppm" << "cannot be decoded";
    QTest::newRow("texture: pixels cut off") << Texture << "cut.png" << "cannot be decoded";
    QTest::newRow("strip: pixels cut off") << Strip << "cut.png" << "cannot be decoded";
    QTest::newRow("texture: 4096 rows promised, 1 given") << Texture << "4096x4096.short.png" << "cannot be decoded";
    QTest::newRow("strip: 32 rows promised, 1 given") << Strip << "1024x32.short.png" << "cannot be decoded";
}

// A refused image leaves the model as it was: no table, the size and the order flags unchanged.
void TestTexture::refused()
{
    QFETCH(Kind, kind);
    QFETCH(QString, file);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    const QString path = dir.filePath(file);
    const auto sized = [](int w, int h) { return paint(w, h, [](int, int, uchar *p) { p[0] = p[1] = p[2] = 9; }); };
    if (file == QLatin1String("text.png")) {
        QVERIFY(TestUtil::writeFile(path, "LUT_3D_SIZE 2\n"));
    } else if (file == QLatin1String("empty.png")) {
        QVERIFY(TestUtil::writeFile(path, QByteArray()));
    } else if (file.endsWith(QLatin1String(".bmp"))) {
        const QStringList wh = file.chopped(4).split(QLatin1Char('x'));
        QVERIFY(TestUtil::writeFile(path, bmpHeaderOnly(wh[0].toInt(), wh[1].toInt())));
    } else if (file == QLatin1String("0x0.ppm")) {
        QVERIFY(TestUtil::writeFile(path, "P6\n0 0\n255\n"));
    } else if (file == QLatin1String("cut.png")) {
        const QImage image = identityImage(kind, kind == Texture ? 64 : 256);
        const QByteArray whole = TestUtil::readFile(save(dir, image, "png", QStringLiteral("whole")));
        QVERIFY(TestUtil::writeFile(path, whole.left(whole.size() - 40)));
    } else if (file.endsWith(QLatin1String(".short.png"))) {
        const QStringList wh = file.section(QLatin1Char('.'), 0, 0).split(QLatin1Char('x'));
        QVERIFY(TestUtil::writeFile(path, pngWithOneRow(wh[0].toInt(), wh[1].toInt())));
    } else if (file != QLatin1String("missing.png")) {
        const QStringList wh = file.chopped(4).split(QLatin1Char('x'));
        QVERIFY(sized(wh[0].toInt(), wh[1].toInt()).save(path));
    }

    for (bool headerOnly : {true, false}) {
        Read_LUTFile m;
        m.defaultOrder = true;
        m.dataOrderRGB = false;
        m.tableOrderRGB = true;
        m.lut3DSize = 3;
        // A header read refuses every image a full read does, also those with a sound header.
        const bool ok = kind == Texture ? m.Read_Texture(path, headerOnly) : m.Read_IUC(path, headerOnly);
        QVERIFY(!ok);
        QVERIFY2(m.errorString.contains(reason), qPrintable(m.errorString));
        QVERIFY(!m.lut3D);
        QCOMPARE(m.lut3DSize, 3);
        QVERIFY(!m.dataOrderRGB);
        QVERIFY(m.tableOrderRGB);
        for (int c = 0; c < 3; ++c)
            QCOMPARE(m.domainMax3D[c], 1.0f);
    }
}

void TestTexture::namedPipe_data()
{
    QTest::addColumn<QString>("feed");   // shell command writing into the pipe; "$1" is a 64-pixel identity PNG
    QTest::addColumn<bool>("headerOnly");
    QTest::addColumn<QString>("reason"); // empty: the read succeeds
    QTest::newRow("header of an image") << "exec cat \"$1\"" << true << QString();
    QTest::newRow("whole image") << "exec cat \"$1\"" << false << QString();
    QTest::newRow("endless stream") << "printf '\\211PNG\\r\\n\\032\\n'; exec cat /dev/zero" << true
                                    << "is too large to be a LUT (more than 1610612736 bytes)";
}

// A pipe can be read only once, and may never end: it is read whole, within the largest LUT
// file, and decoded from memory.
void TestTexture::namedPipe()
{
    QFETCH(QString, feed);
    QFETCH(bool, headerOnly);
    QFETCH(QString, reason);
    SKIP_ON_WINDOWS("no named pipes");
    QTemporaryDir dir;
    const QString image = save(dir, identityImage(Texture, 64), "png", QStringLiteral("identity"));
    const QString path = dir.filePath(QStringLiteral("pipe.png"));
    const auto writer = TestUtil::feedPipe(path, feed, {image});
    QVERIFY(writer);
    Read_LUTFile m;
    QCOMPARE(readImage(m, Texture, path, headerOnly), reason.isEmpty());
    QVERIFY2(m.errorString.contains(reason), qPrintable(m.errorString));
    QCOMPARE(m.lut3DSize, reason.isEmpty() ? 16 : 0);
    QCOMPARE(m.lut3D != nullptr, reason.isEmpty() && !headerOnly);
    if (m.lut3D)
        QCOMPARE(m.lut3D[15][0][15][0], 1.0f);
    QVERIFY(writer->waitForFinished(60000));
}

QTEST_GUILESS_MAIN(TestTexture)
#include "tst_fmt_texture.moc"
