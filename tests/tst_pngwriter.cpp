// The parallel PNG encoder: what it writes must decode (through the toolkit's libpng reader) to
// exactly the pixels given, be the same bytes for every thread count, and hold up when its
// chunks and its zlib stream are taken apart by hand.

#include <QtTest>

#include <QBuffer>
#include <QColorSpace>
#include <QImage>
#include <QtEndian>

#include <zlib.h>

#include <random>

#include "imageio/pngwriter.h"

namespace {

struct Chunk {
    QByteArray type;
    QByteArray data;
};

// Pixels that give both smooth rows (repeats, gradients) and noisy ones, so that bands of
// either kind occur; every bit of the samples varies, alpha included.
QImage pattern(QImage::Format format, int width, int height, quint32 seed)
{
    QImage image(width, height, format);
    std::mt19937 rng(seed);
    const bool deep = image.depth() == 64;
    for (int y = 0; y < height; ++y) {
        const bool noisy = (y / 400) % 2 == 1;
        for (int x = 0; x < width; ++x) {
            quint16 c[4];
            for (int k = 0; k < 4; ++k)
                c[k] = quint16((x * (k + 3) * 257 + y * 131 + k * 9000 + (noisy ? rng() % 2400 : 0)) & 0xffff);
            if (format == QImage::Format_RGBX64 || format == QImage::Format_RGB32)
                c[3] = 0xffff;
            if (deep)
                reinterpret_cast<QRgba64 *>(image.scanLine(y))[x] = QRgba64::fromRgba64(c[0], c[1], c[2], c[3]);
            else
                reinterpret_cast<QRgb *>(image.scanLine(y))[x] = qRgba(c[0] >> 8, c[1] >> 8, c[2] >> 8, c[3] >> 8);
        }
    }
    return image;
}

QByteArray encode(const QImage &image, int threads, QString *why = nullptr)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QString reason;
    if (!PngWriter::write(image, &buffer, threads, &reason)) {
        if (why)
            *why = reason;
        return QByteArray();
    }
    return bytes;
}

// The chunks of a PNG file; empty with a reason when the signature, a length or a CRC is wrong.
QList<Chunk> chunksOf(const QByteArray &png, QString *why)
{
    QList<Chunk> chunks;
    if (!png.startsWith(QByteArray("\x89PNG\r\n\x1a\n", 8))) {
        *why = QStringLiteral("no signature");
        return {};
    }
    const uchar *p = reinterpret_cast<const uchar *>(png.constData());
    qint64 at = 8;
    while (at < png.size()) {
        if (png.size() - at < 12) {
            *why = QStringLiteral("truncated chunk at %1").arg(at);
            return {};
        }
        const quint32 length = qFromBigEndian<quint32>(p + at);
        if (length > 0x7fffffffu || qint64(length) > png.size() - at - 12) {
            *why = QStringLiteral("bad length at %1").arg(at);
            return {};
        }
        const uLong crc = crc32(0, p + at + 4, uInt(length + 4));
        if (crc != qFromBigEndian<quint32>(p + at + 8 + length)) {
            *why = QStringLiteral("bad CRC in %1").arg(QString::fromLatin1(png.mid(int(at) + 4, 4)));
            return {};
        }
        chunks.append({png.mid(int(at) + 4, 4), png.mid(int(at) + 8, int(length))});
        at += 12 + length;
    }
    return chunks;
}

QList<Chunk> checkedChunks(const QByteArray &png)
{
    QString why;
    const QList<Chunk> chunks = chunksOf(png, &why);
    if (chunks.isEmpty())
        qWarning("%s", qPrintable(why));
    return chunks;
}

// The chunk layout and the zlib stream of the image data: IHDR first, IEND last, IDATs in one
// run that inflate to exactly one filter byte (0 to 4) and `rowBytes` bytes per row, with a
// matching Adler-32 and nothing after it.
void checkStructure(const QByteArray &png, int width, int height, int depth, int colourType)
{
    const QList<Chunk> chunks = checkedChunks(png);
    QVERIFY(chunks.size() >= 3);
    QCOMPARE(chunks.first().type, QByteArray("IHDR"));
    QCOMPARE(chunks.last().type, QByteArray("IEND"));
    QVERIFY(chunks.last().data.isEmpty());
    const QByteArray &ihdr = chunks.first().data;
    QCOMPARE(ihdr.size(), 13);
    const uchar *h = reinterpret_cast<const uchar *>(ihdr.constData());
    QCOMPARE(qFromBigEndian<quint32>(h), quint32(width));
    QCOMPARE(qFromBigEndian<quint32>(h + 4), quint32(height));
    QCOMPARE(int(h[8]), depth);
    QCOMPARE(int(h[9]), colourType);
    QCOMPARE(ihdr.mid(10), QByteArray("\0\0\0", 3));

    QByteArray stream;
    int first = -1, last = -1;
    for (int i = 0; i < chunks.size(); ++i)
        if (chunks[i].type == "IDAT") {
            first = first < 0 ? i : first;
            last = i;
            stream += chunks[i].data;
        }
    QVERIFY(first > 0);
    for (int i = first; i <= last; ++i)
        QCOMPARE(chunks[i].type, QByteArray("IDAT"));
    QVERIFY(stream.size() > 6);
    QCOMPARE(uchar(stream[0]) & 0x0f, 8);
    QCOMPARE((uchar(stream[0]) * 256 + uchar(stream[1])) % 31, 0);

    const int channels = colourType == 6 ? 4 : 3;
    const qint64 stride = 1 + qint64(width) * channels * depth / 8;
    QByteArray raw(int(stride * height) + 1, '\0');
    z_stream z = {};
    QCOMPARE(inflateInit(&z), Z_OK);
    z.next_in = reinterpret_cast<Bytef *>(stream.data());
    z.avail_in = uInt(stream.size());
    z.next_out = reinterpret_cast<Bytef *>(raw.data());
    z.avail_out = uInt(raw.size());
    const int rc = inflate(&z, Z_FINISH);
    const qint64 produced = qint64(z.total_out), consumed = qint64(z.total_in);
    inflateEnd(&z);
    QCOMPARE(rc, Z_STREAM_END);
    QCOMPARE(produced, stride * height);
    QCOMPARE(consumed, qint64(stream.size()));
    const uLong adler = adler32(adler32(0, Z_NULL, 0), reinterpret_cast<const Bytef *>(raw.constData()), uInt(produced));
    QCOMPARE(quint32(adler), qFromBigEndian<quint32>(stream.constData() + stream.size() - 4));
    for (int y = 0; y < height; ++y)
        QVERIFY2(uchar(raw[int(y * stride)]) <= 4, qPrintable(QStringLiteral("row %1").arg(y)));
}

QImage decode(const QByteArray &png)
{
    QImage image;
    image.loadFromData(png, "PNG");
    return image;
}

// A device that takes `room` bytes in all, then fails as a full disk does; at most `piece`
// bytes per call.
class LimitedDevice : public QIODevice
{
public:
    LimitedDevice(qint64 room, qint64 piece) : room_(room), piece_(piece) { open(QIODevice::WriteOnly); }
    QByteArray taken;

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 n) override
    {
        const qint64 take = std::min({n, piece_, room_ - qint64(taken.size())});
        if (take <= 0) {
            setErrorString(QStringLiteral("No space left on device"));
            return -1;
        }
        taken.append(data, int(take));
        return take;
    }

private:
    qint64 room_, piece_;
};

}

class TestPngWriter : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data();
    void roundTrip();
    void otherFormats_data();
    void otherFormats();
    void metadata();
    void noProfileNoEmptyKey();
    void failures_data();
    void failures();
    void shortWrites();
};

void TestPngWriter::roundTrip_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    const struct {
        const char *name;
        QImage::Format format;
    } formats[] = {{"RGB 8", QImage::Format_RGB32},
                   {"RGBA 8", QImage::Format_ARGB32},
                   {"RGB 16", QImage::Format_RGBX64},
                   {"RGBA 16", QImage::Format_RGBA64}};
    const struct {
        const char *name;
        int width, height;
    } sizes[] = {{"1x1", 1, 1}, {"1xN", 1, 301}, {"Nx1", 301, 1}, {"odd width", 333, 77}};
    for (const auto &f : formats)
        for (const auto &s : sizes)
            QTest::addRow("%s %s", f.name, s.name) << int(f.format) << s.width << s.height;
    // More rows than one band holds: several bands, smooth and noisy ones.
    QTest::newRow("RGB 8 many bands") << int(QImage::Format_RGB32) << 1021 << 1300;
    QTest::newRow("RGBA 16 many bands") << int(QImage::Format_RGBA64) << 509 << 1100;
}

void TestPngWriter::roundTrip()
{
    QFETCH(int, format);
    QFETCH(int, width);
    QFETCH(int, height);
    const QImage image = pattern(QImage::Format(format), width, height, quint32(width * 7 + height));
    QString why;
    const QByteArray png = encode(image, 1, &why);
    QVERIFY2(!png.isEmpty(), qPrintable(why));
    for (int threads : {0, 2, 7})
        QVERIFY2(encode(image, threads) == png, qPrintable(QStringLiteral("%1 threads").arg(threads)));

    const bool deep = image.depth() == 64;
    const bool alpha = image.hasAlphaChannel();
    checkStructure(png, width, height, deep ? 16 : 8, alpha ? 6 : 2);
    if (QTest::currentTestFailed())
        return;
    const QImage back = decode(png);
    QCOMPARE(back.size(), image.size());
    QCOMPARE(back.hasAlphaChannel(), alpha);
    QVERIFY(back.convertToFormat(image.format()) == image);
}

void TestPngWriter::otherFormats_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("writtenAs");
    QTest::addColumn<int>("depth");
    QTest::addColumn<int>("colourType");
    QTest::newRow("RGB888") << int(QImage::Format_RGB888) << int(QImage::Format_RGB32) << 8 << 2;
    QTest::newRow("premultiplied") << int(QImage::Format_ARGB32_Premultiplied) << int(QImage::Format_ARGB32) << 8 << 6;
    QTest::newRow("grey 8") << int(QImage::Format_Grayscale8) << int(QImage::Format_RGB32) << 8 << 2;
    QTest::newRow("grey 16") << int(QImage::Format_Grayscale16) << int(QImage::Format_RGBX64) << 16 << 2;
    QTest::newRow("RGB30") << int(QImage::Format_RGB30) << int(QImage::Format_RGBX64) << 16 << 2;
    QTest::newRow("RGBA64 premultiplied") << int(QImage::Format_RGBA64_Premultiplied) << int(QImage::Format_RGBA64)
                                          << 16 << 6;
}

// Formats without a layout of their own are written as their nearest one, depth kept.
void TestPngWriter::otherFormats()
{
    QFETCH(int, format);
    QFETCH(int, writtenAs);
    QFETCH(int, depth);
    QFETCH(int, colourType);
    const QImage source = pattern(QImage::Format_RGBA64, 45, 31, 5).convertToFormat(QImage::Format(format));
    const QByteArray png = encode(source, 2);
    checkStructure(png, 45, 31, depth, colourType);
    if (QTest::currentTestFailed())
        return;
    const QImage expected = source.convertToFormat(QImage::Format(writtenAs));
    QVERIFY(decode(png).convertToFormat(expected.format()) == expected);
}

void TestPngWriter::metadata()
{
    const QString nonLatinKey = QStringLiteral("\u63cf\u8ff0");
    const QString longKey = QString(90, QLatin1Char('k'));
    for (const QColorSpace::NamedColorSpace space : {QColorSpace::SRgb, QColorSpace::DisplayP3}) {
        QImage image = pattern(QImage::Format_RGB32, 20, 10, 1);
        image.setColorSpace(QColorSpace(space));
        image.setDotsPerMeterX(5000);
        image.setDotsPerMeterY(3000);
        image.setText(QStringLiteral("Title"), QStringLiteral("Caf\u00e9 grade"));
        image.setText(QStringLiteral("Comment"), QStringLiteral("\u8272\u5f69 look\nsecond line"));
        image.setText(nonLatinKey, QStringLiteral("value"));
        image.setText(longKey, QStringLiteral("long"));
        const QByteArray png = encode(image, 2);

        const QImage back = decode(png);
        QCOMPARE(back.colorSpace(), QColorSpace(space));
        QCOMPARE(back.dotsPerMeterX(), 5000);
        QCOMPARE(back.dotsPerMeterY(), 3000);
        QCOMPARE(back.text(QStringLiteral("Title")), image.text(QStringLiteral("Title")));
        QCOMPARE(back.text(QStringLiteral("Comment")), image.text(QStringLiteral("Comment")));
        QVERIFY(back == image);

        // A key that no PNG keyword can hold keeps its letters in the translated keyword; a
        // long one is cut to 79 characters there and kept whole beside it.
        QMap<QByteArray, QByteArray> text, international, names;
        for (const Chunk &c : checkedChunks(png)) {
            const int nul = c.data.indexOf('\0');
            if (c.type == "tEXt")
                text.insert(c.data.left(nul), c.data.mid(nul + 1));
            else if (c.type == "iTXt")
                international.insert(c.data.left(nul), c.data.mid(nul + 1));
            else if (c.type == "iCCP")
                names.insert(c.data.left(nul), c.data.mid(nul + 1, 1));
        }
        QCOMPARE(text.value("Title"), QByteArray("Caf\xe9 grade"));
        QCOMPARE(international.value("Comment"), QByteArray("\0\0\0\0", 4) + image.text("Comment").toUtf8());
        QCOMPARE(international.value("??"), QByteArray("\0\0\0", 3) + nonLatinKey.toUtf8() + '\0' + "value");
        QCOMPARE(international.value(longKey.left(79).toLatin1()),
                 QByteArray("\0\0\0", 3) + longKey.toLatin1() + '\0' + "long");
        QCOMPARE(names.keys(), QList<QByteArray>{space == QColorSpace::SRgb ? "sRGB" : "Display P3"});
        QCOMPARE(names.first(), QByteArray(1, '\0'));
    }
}

void TestPngWriter::noProfileNoEmptyKey()
{
    QImage image = pattern(QImage::Format_ARGB32, 8, 8, 2);
    image.setText(QStringLiteral(""), QStringLiteral("no key"));
    QCOMPARE(image.textKeys(), QStringList(QString()));
    QStringList types;
    for (const Chunk &c : checkedChunks(encode(image, 1)))
        types << QString::fromLatin1(c.type);
    QCOMPARE(types, QStringList({"IHDR", "pHYs", "IDAT", "IEND"}));
}

void TestPngWriter::failures_data()
{
    QTest::addColumn<qint64>("room");
    QTest::addColumn<int>("threads");
    QTest::addColumn<QString>("reason");
    const QString full = QStringLiteral("cannot write the image: No space left on device");
    QTest::newRow("no room at all") << qint64(0) << 1 << full;
    QTest::newRow("full in the header chunk") << qint64(20) << 2 << full;
    QTest::newRow("full in the image data, 1 thread") << qint64(200000) << 1 << full;
    QTest::newRow("full in the image data, 2 threads") << qint64(200000) << 2 << full;
    QTest::newRow("full at the end chunk") << qint64(-12) << 2 << full;
}

void TestPngWriter::failures()
{
    QFETCH(qint64, room);
    QFETCH(int, threads);
    QFETCH(QString, reason);
    const QImage image = pattern(QImage::Format_RGB32, 1021, 1300, 3);
    const QByteArray whole = encode(image, 1);
    LimitedDevice device(room < 0 ? whole.size() + room : room, 1 << 30);
    QString why;
    QVERIFY(!PngWriter::write(image, &device, threads, &why));
    QCOMPARE(why, reason);
    QVERIFY(whole.startsWith(device.taken));

    QByteArray bytes;
    QBuffer readOnly(&bytes);
    readOnly.open(QIODevice::ReadOnly);
    QVERIFY(!PngWriter::write(image, &readOnly, threads, &why));
    QCOMPARE(why, QStringLiteral("cannot write the image: the device is not open for writing"));
    QVERIFY(!PngWriter::write(image, nullptr, threads, &why));
    QVERIFY(!PngWriter::write(QImage(), &device, threads, &why));
    QCOMPARE(why, QStringLiteral("cannot write an empty image"));
}

// A device that takes a few bytes per call gets the same file.
void TestPngWriter::shortWrites()
{
    const QImage image = pattern(QImage::Format_RGBA64, 100, 90, 4);
    LimitedDevice device(qint64(1) << 40, 7);
    QString why;
    QVERIFY2(PngWriter::write(image, &device, 2, &why), qPrintable(why));
    QCOMPARE(device.taken, encode(image, 1));
}

QTEST_GUILESS_MAIN(TestPngWriter)
#include "tst_pngwriter.moc"
