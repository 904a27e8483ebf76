// lutwright-cli apply: an image through a LUT, run as a user runs it; and the many-colour
// lookup it is built on.
#include <QtTest>

#include <QImage>
#include <QImageWriter>
#include <QTemporaryDir>

#include <cmath>

#include "clitest.h"

using CliTest::run;

namespace {

// Pixels of every value in every channel, alpha included, in a fixed pseudo-random order.
QImage testImage(QImage::Format format, int width, int height)
{
    QImage img(width, height, format);
    quint32 seed = 7;
    auto next = [&seed]() {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    const bool deep = img.depth() == 64;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            if (deep) {
                const QRgba64 c = QRgba64::fromRgba64(quint16(next()), quint16(next()), quint16(next()),
                                                      img.hasAlphaChannel() ? quint16(next()) : 65535);
                img.setPixelColor(x, y, QColor::fromRgba64(c));
            } else {
                img.setPixel(x, y, qRgba(int(next() & 255), int(next() & 255), int(next() & 255),
                                         img.hasAlphaChannel() ? int(next() & 255) : 255));
            }
        }
    return img;
}

struct Channels {
    quint32 r, g, b, a;
};

// The four channels of a pixel at the image's own depth (8 or 16 bits).
Channels channels(const QImage &img, int x, int y)
{
    if (img.depth() == 64) {
        const QRgba64 c = img.pixelColor(x, y).rgba64();
        return {c.red(), c.green(), c.blue(), c.alpha()};
    }
    const QRgb c = img.pixel(x, y);
    return {quint32(qRed(c)), quint32(qGreen(c)), quint32(qBlue(c)), quint32(qAlpha(c))};
}

}

class TestCliApply : public QObject
{
    Q_OBJECT

private slots:
    void identityLeavesImageUnchanged_data();
    void identityLeavesImageUnchanged();
    void channelsGoThroughTheLut_data();
    void channelsGoThroughTheLut();
    void threadsGiveTheSameImage();
    void failures();
    void manyColoursMatchOneByOne();
};

void TestCliApply::identityLeavesImageUnchanged_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<int>("depth");
    QTest::newRow("png 8-bit with alpha") << int(QImage::Format_ARGB32) << "png" << 32;
    QTest::newRow("png 8-bit") << int(QImage::Format_RGB32) << "png" << 32;
    QTest::newRow("png 16-bit with alpha") << int(QImage::Format_RGBA64) << "png" << 64;
    QTest::newRow("png 16-bit") << int(QImage::Format_RGBX64) << "png" << 64;
    QTest::newRow("tiff 8-bit") << int(QImage::Format_RGB32) << "tif" << 32;
    QTest::newRow("tiff 16-bit with alpha") << int(QImage::Format_RGBA64) << "tiff" << 64;
    QTest::newRow("bmp 8-bit") << int(QImage::Format_RGB32) << "bmp" << 32;
}

void TestCliApply::identityLeavesImageUnchanged()
{
    QFETCH(int, format);
    QFETCH(QString, extension);
    QFETCH(int, depth);
    if (!QImageWriter::supportedImageFormats().contains(extension.toLatin1()))
        QSKIP("no image plugin for this format");
    QTemporaryDir dir;
    const QImage original = testImage(QImage::Format(format), 300, 70);
    const QString in = dir.filePath("in." + extension);
    QVERIFY(original.save(in));
    const QImage saved(in);   // as the file holds it
    for (int n : {2, 17, 33}) {
        const QString lut = CliTest::writeCube(dir.filePath(QStringLiteral("id%1.cube").arg(n)), n, CliTest::identity3D);
        QVERIFY(!lut.isEmpty());
        const QString out = dir.filePath(QStringLiteral("out%1.").arg(n) + extension);
        const CliTest::Run r = run({"apply", lut, in, "-o", out});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        const QImage result(out);
        QCOMPARE(result.size(), saved.size());
        QCOMPARE(result.depth() == 64, depth == 64);
        QCOMPARE(result.hasAlphaChannel(), saved.hasAlphaChannel());
        for (int y = 0; y < saved.height(); ++y)
            for (int x = 0; x < saved.width(); ++x) {
                const Channels a = channels(saved, x, y), b = channels(result, x, y);
                QVERIFY2(a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a,
                         qPrintable(QStringLiteral("%1 points, pixel %2 %3").arg(n).arg(x).arg(y)));
            }
    }
    QCOMPARE(CliTest::filesIn(dir.path()).size(), 7);   // the input, three LUTs, three outputs
}

void TestCliApply::channelsGoThroughTheLut_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<bool>("oneD");
    QTest::newRow("8-bit with alpha, lattice") << int(QImage::Format_ARGB32) << false;
    QTest::newRow("16-bit with alpha, lattice") << int(QImage::Format_RGBA64) << false;
    QTest::newRow("8-bit with alpha, 1D table") << int(QImage::Format_ARGB32) << true;
    QTest::newRow("16-bit, 1D table") << int(QImage::Format_RGBX64) << true;
}

// A lattice that inverts blue into red and swaps red into blue, and a 1D table that inverts
// every channel: straight lines, which any interpolation reproduces to the code.
void TestCliApply::channelsGoThroughTheLut()
{
    QFETCH(int, format);
    QFETCH(bool, oneD);
    QTemporaryDir dir;
    const QImage original = testImage(QImage::Format(format), 128, 40);
    const QString in = dir.filePath("in.png");
    QVERIFY(original.save(in));
    const QImage saved(in);

    QString lut;
    if (oneD) {
        Read_LUTFile m;
        CliTest::fill1D(m, 2, [](float x, float *o) { o[0] = o[1] = o[2] = 1.0f - x; });
        lut = dir.filePath("invert.spi1d");
        Write_LUTFile w;
        QVERIFY(w.WriteFile(TestUtil::side(Formats::Id::Spi1D, lut), m));
    } else {
        lut = CliTest::writeCube(dir.filePath("mix.cube"), 2, [](float r, float g, float b, float *o) {
            o[0] = 1.0f - b;
            o[1] = g;
            o[2] = r;
        });
    }
    const QString out = dir.filePath("out.png");
    const CliTest::Run r = run({"apply", lut, in, "-o", out});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    const QImage result(out);
    const quint32 full = saved.depth() == 64 ? 65535 : 255;
    for (int y = 0; y < saved.height(); ++y)
        for (int x = 0; x < saved.width(); ++x) {
            const Channels a = channels(saved, x, y), b = channels(result, x, y);
            const Channels want = oneD ? Channels{full - a.r, full - a.g, full - a.b, a.a} : Channels{full - a.b, a.g, a.r, a.a};
            QVERIFY2(b.r == want.r && b.g == want.g && b.b == want.b && b.a == want.a,
                     qPrintable(QStringLiteral("pixel %1 %2: %3 %4 %5 %6").arg(x).arg(y).arg(b.r).arg(b.g).arg(b.b).arg(b.a)));
        }
}

void TestCliApply::threadsGiveTheSameImage()
{
    QTemporaryDir dir;
    const QString lut = CliTest::writeCube(dir.filePath("grade.cube"), 17, [](float r, float g, float b, float *o) {
        o[0] = r * r * (3.0f - 2.0f * r);
        o[1] = std::sqrt(g) * 0.8f + 0.2f * b;
        o[2] = 0.5f * b + 0.5f * r * g;
    });
    const QString in = dir.filePath("in.png");
    QVERIFY(testImage(QImage::Format_ARGB32, 333, 211).save(in));
    QCOMPARE(run({"apply", lut, in, "-o", dir.filePath("one.png"), "-j", "1"}).code, 0);
    QCOMPARE(run({"apply", lut, in, "-o", dir.filePath("three.png"), "-j", "3"}).code, 0);
    QCOMPARE(QImage(dir.filePath("one.png")), QImage(dir.filePath("three.png")));
    QVERIFY(QImage(dir.filePath("one.png")) != QImage(in));
}

void TestCliApply::failures()
{
    QTemporaryDir dir;
    const QString lut = CliTest::writeCube(dir.filePath("id.cube"), 2, CliTest::identity3D);
    const QString notImage = TestUtil::writeTemp(dir, "text.png", "not an image\n");
    const QString image = dir.filePath("in.png");
    QVERIFY(testImage(QImage::Format_RGB32, 8, 8).save(image));
    const QString badLut = TestUtil::writeTemp(dir, "bad.cube", "LUT_3D_SIZE 0\n");

    CliTest::Run r = run({"apply", lut, notImage, "-o", dir.filePath("o.png")});
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.startsWith(QDir::toNativeSeparators(notImage) + QLatin1String(": cannot read the image")), qPrintable(r.err));
    r = run({"apply", badLut, image, "-o", dir.filePath("o.png")});
    QCOMPARE(r.code, 1);
    QCOMPARE(r.err, QDir::toNativeSeparators(badLut) + QLatin1String(": line 1: LUT_3D_SIZE 0 is below 1\n"));
    const QString nowhere = dir.filePath("missing/o.png");
    r = run({"apply", lut, image, "-o", nowhere});
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.startsWith(QDir::toNativeSeparators(nowhere) + QLatin1String(": cannot open")), qPrintable(r.err));
    QCOMPARE(CliTest::filesIn(dir.path()), (QStringList{"bad.cube", "id.cube", "in.png", "text.png"}));
}

// The batch lookup gives exactly what one call per colour gives, also in place.
void TestCliApply::manyColoursMatchOneByOne()
{
    Read_LUTFile lut;
    CliTest::fill3D(lut, 9, [](float r, float g, float b, float *o) {
        o[0] = r * g + 0.1f * b;
        o[1] = std::sqrt(g);
        o[2] = 1.0f - b * b;
    });
    lut.domainMin3D[1] = 0.25f;
    std::vector<float> in;
    quint32 seed = 3;
    for (int i = 0; i < 3000; ++i) {
        seed = seed * 1664525u + 1013904223u;
        in.push_back(float(seed >> 8) / float(1 << 24) * 1.2f - 0.1f);
    }
    const std::size_t count = in.size() / 3;
    std::vector<float> out(in.size());
    LutCalc::Lut3D_TetrahedralMany(in.data(), out.data(), count, lut);
    std::vector<float> inPlace = in;
    LutCalc::Lut3D_TetrahedralMany(inPlace.data(), inPlace.data(), count, lut);
    for (std::size_t i = 0; i < count; ++i) {
        float one[3];
        LutCalc::Lut3D_Tetrahedral(&in[i * 3], one, lut);
        for (int c = 0; c < 3; ++c) {
            QCOMPARE(out[i * 3 + std::size_t(c)], one[c]);
            QCOMPARE(inPlace[i * 3 + std::size_t(c)], one[c]);
        }
    }
    Read_LUTFile empty;
    std::vector<float> zeros(6, 5.0f);
    LutCalc::Lut3D_TetrahedralMany(in.data(), zeros.data(), 2, empty);
    QCOMPARE(zeros, std::vector<float>(6, 0.0f));
}

QTEST_GUILESS_MAIN(TestCliApply)
#include "tst_cli_apply.moc"
