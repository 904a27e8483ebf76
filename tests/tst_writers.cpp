// The writers of .3dl, .look, .csp, .cub, the image LUTs and Hald images: what each writes is
// read back as the lattice it came from, within the format's quantisation.

#include <QImage>

#include "testutil.h"
#include "formats/writers.h"

using namespace TestUtil;

namespace {

using WriteFn = Formats::WriteFn;
constexpr int hald = -1;

// A read through the dispatch id, or of a Hald image (id `hald`), with the given orders.
bool readBy(Read_LUTFile &lut, const QString &path, int id, bool defaultOrder = true, bool dataRGB = true,
            bool tableRGB = true)
{
    if (id != hald)
        return lut.ReadFile(side(id, path, defaultOrder, dataRGB, tableRGB), false);
    lut.defaultOrder = defaultOrder;
    lut.dataOrderRGB = dataRGB;
    lut.tableOrderRGB = tableRGB;
    return Formats::Read_Hald(lut, path, false, Formats::Options());
}

// A graded lattice: a curve with cross-talk that runs a little below 0 and above 1.
float graded(int r, int g, int b, int ch, int n)
{
    const float x[3] = {float(r) / float(n - 1), float(g) / float(n - 1), float(b) / float(n - 1)};
    return 1.1f * std::pow(0.8f * x[ch] + 0.1f * x[(ch + 1) % 3] + 0.1f * x[(ch + 2) % 3], 0.8f) - 0.05f;
}

void fillGraded(Read_LUTFile &lut, int n, float gain = 1.0f)
{
    lut.setSize3D(n, false);
    for (int r = 0; r < n; ++r)
        for (int g = 0; g < n; ++g)
            for (int b = 0; b < n; ++b)
                for (int ch = 0; ch < 3; ++ch)
                    lut.lut3D[r][g][b][ch] = gain * graded(r, g, b, ch, n);
}

void clampLattice(Read_LUTFile &lut)
{
    float *v = lut.lut3D.data();
    for (std::size_t i = 0; i < lut.lut3D.floatCount(); ++i)
        v[i] = qBound(0.0f, v[i], 1.0f);
}

Formats::Options options(int bits, bool headerless = false)
{
    Formats::Options o;
    o.bits = bits;
    o.headerless = headerless;
    return o;
}

}

Q_DECLARE_METATYPE(WriteFn)
Q_DECLARE_METATYPE(Formats::Options)

class TestWriters : public QObject
{
    Q_OBJECT
private slots:
    void roundTrip_data();
    void roundTrip();
    void csp1D();
    void refusals_data();
    void refusals();
    void headerlessWarning_data();
    void headerlessWarning();
    void haldLayout();
    void haldReader();

private:
    QTemporaryDir dir_;
};

void TestWriters::roundTrip_data()
{
    QTest::addColumn<WriteFn>("write");
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("name");
    QTest::addColumn<Formats::Options>("opts");
    QTest::addColumn<int>("size");
    QTest::addColumn<float>("tolerance");
    QTest::addColumn<QByteArray>("start");

    const float text = 1e-6f;
    const float byte = 1.0f / 255.0f;
    QTest::newRow("3dl 10 bit") << WriteFn(Formats::Write_3dl) << 3 << "a.3dl" << options(10) << 17
                                << 0.5f / 1023.0f << QByteArray("3DMESH\nMesh 4 10\n0 64 128 192 ");
    QTest::newRow("3dl 12 bit") << WriteFn(Formats::Write_3dl) << 3 << "b.3dl" << options(0) << 17
                                << 0.5f / 4095.0f << QByteArray("3DMESH\nMesh 4 12\n");
    QTest::newRow("3dl 16 bit, 33 points") << WriteFn(Formats::Write_3dl) << 3 << "c.3dl" << options(16)
                                           << 33 << 0.5f / 65535.0f << QByteArray("3DMESH\nMesh 5 16\n0 32 64 ");
    QTest::newRow("3dl headerless") << WriteFn(Formats::Write_3dl) << 3 << "d.3dl" << options(0, true)
                                    << 17 << 0.5f / 4095.0f << QByteArray("0 64 128 ");
    QTest::newRow("3dl headerless, 10 points") << WriteFn(Formats::Write_3dl) << 3 << "e.3dl"
                                               << options(0, true) << 10 << 0.5f / 4095.0f << QByteArray("0 114 227 ");
    QTest::newRow("3dl, 3 points") << WriteFn(Formats::Write_3dl) << 3 << "f.3dl" << options(0) << 3
                                   << 0.5f / 4095.0f << QByteArray("3DMESH\nMesh 1 12\n0 0 0 \n");
    QTest::newRow("look") << WriteFn(Formats::Write_Look) << 5 << "a.look" << options(0) << 17 << 0.0f
                          << QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<look>\n  <LUT>\n    <size>\"17\"</size>\n");
    QTest::newRow("csp") << WriteFn(Formats::Write_Csp) << 9 << "a.csp" << options(0) << 17 << text
                         << QByteArray("CSPLUTV100\n3D\n\nBEGIN METADATA\nEND METADATA\n\n2\n0.0 1.0\n0.0 1.0\n");
    QTest::newRow("cub") << WriteFn(Formats::Write_Cub) << 10 << "a.cub" << options(0) << 17 << text
                         << QByteArray("# Truelight Cube v2.0\n# iDims     3\n# oDims     3\n# width     17 17 17\n");
    QTest::newRow("texture png") << WriteFn(Formats::Write_Texture) << 1 << "a.png" << options(0) << 16
                                 << 0.5f * byte << QByteArray("\x89PNG");
    QTest::newRow("texture png 16") << WriteFn(Formats::Write_Texture) << 1 << "b.png" << options(16)
                                    << 64 << byte << QByteArray("\x89PNG");
    QTest::newRow("texture tiff") << WriteFn(Formats::Write_Texture) << 1 << "c.tif" << options(0)
                                  << 16 << byte << QByteArray("II*");
    QTest::newRow("unwrapped cube") << WriteFn(Formats::Write_IUC) << 2 << "d.png" << options(8) << 17
                                    << 0.5f * byte << QByteArray("\x89PNG");
    QTest::newRow("hald png") << WriteFn(Formats::Write_Hald) << hald << "a.png" << options(0) << 16
                              << 0.5f * byte << QByteArray("\x89PNG");
    QTest::newRow("hald png 16") << WriteFn(Formats::Write_Hald) << hald << "b.png" << options(16) << 25
                                 << 0.5f / 65535.0f << QByteArray("\x89PNG");
    QTest::newRow("hald tiff") << WriteFn(Formats::Write_Hald) << hald << "c.tiff" << options(0) << 4
                               << 0.5f / 65535.0f << QByteArray("II*");
}

void TestWriters::roundTrip()
{
    QFETCH(WriteFn, write);
    QFETCH(int, id);
    QFETCH(QString, name);
    QFETCH(Formats::Options, opts);
    QFETCH(int, size);
    QFETCH(float, tolerance);
    QFETCH(QByteArray, start);

    const QString path = dir_.filePath(QString::fromLatin1(QTest::currentDataTag()).replace(' ', '_') + '-' + name);
    Read_LUTFile source;
    fillGraded(source, size);
    Write_LUTFile writer;
    QVERIFY2(write(writer, path, source, opts), qPrintable(writer.errorString));
    QVERIFY(readFile(path).startsWith(start));

    Read_LUTFile back;
    QVERIFY2(readBy(back, path, id), qPrintable(back.errorString));
    clampLattice(source);
    const QString diff = latticeDifferences(back, source, false, false, tolerance + 1e-7f);
    QVERIFY2(diff.isEmpty(), qPrintable(diff));

    // Explicit orders are kept by a reader given the same ones.
    for (const bool tableRGB : {false, true}) {
        Write_LUTFile ordered;
        ordered.defaultOrder = false;
        ordered.dataOrderRGB = false;
        ordered.tableOrderRGB = tableRGB;
        QVERIFY2(write(ordered, path, source, opts), qPrintable(ordered.errorString));
        Read_LUTFile again;
        QVERIFY2(readBy(again, path, id, false, false, tableRGB), qPrintable(again.errorString));
        QCOMPARE(latticeDifferences(again, source, false, false, tolerance + 1e-7f), QString());
    }
}

// A model without a lattice goes to a 1D .csp, which reads back as the same table.
void TestWriters::csp1D()
{
    Read_LUTFile source;
    set1D(source, {{0.0f, 0.25f, -0.5f}, {0.5f, 0.125f, 1.5f}, {1.0f, 0.0625f, 0.75f}});
    const QString path = dir_.filePath("table.csp");
    Write_LUTFile writer;
    QVERIFY2(Formats::Write_Csp(writer, path, source, Formats::Options()), qPrintable(writer.errorString));
    QVERIFY(readFile(path).startsWith("CSPLUTV100\n1D\n"));
    Read_LUTFile back;
    QVERIFY2(readBy(back, path, 9), qPrintable(back.errorString));
    QCOMPARE(differences1D(back, {{0.0f, 0.25f, 0.0f}, {0.5f, 0.125f, 1.0f}, {1.0f, 0.0625f, 0.75f}}, 1.0f, 1e-6f),
             QString());
}

void TestWriters::refusals_data()
{
    QTest::addColumn<WriteFn>("write");
    QTest::addColumn<QString>("name");
    QTest::addColumn<Formats::Options>("opts");
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("reason");

    QTest::newRow("3dl Mesh form of 16 points") << WriteFn(Formats::Write_3dl) << "a.3dl" << options(0) << 16
                                                << "holds lattices of 2^n + 1 points";
    QTest::newRow("3dl headerless of 3 points") << WriteFn(Formats::Write_3dl) << "b.3dl" << options(0, true) << 3
                                                << "cannot hold a 3-point lattice";
    QTest::newRow("3dl of 20 bits") << WriteFn(Formats::Write_3dl) << "c.3dl" << options(20) << 17 << "not 20";
    QTest::newRow("look without a lattice") << WriteFn(Formats::Write_Look) << "a.look" << options(0) << 0
                                            << "this LUT has none";
    QTest::newRow("texture of 17 points") << WriteFn(Formats::Write_Texture) << "a.png" << options(0) << 17
                                          << "16, 64 or 256-point lattice, not 17";
    QTest::newRow("texture as JPEG") << WriteFn(Formats::Write_Texture) << "a.jpg" << options(0) << 16
                                     << "not as jpg";
    QTest::newRow("hald of 17 points") << WriteFn(Formats::Write_Hald) << "a.png" << options(0) << 17 << "not 17";
    QTest::newRow("hald of 12 bits") << WriteFn(Formats::Write_Hald) << "b.png" << options(12) << 16 << "not 12";
}

void TestWriters::refusals()
{
    QFETCH(WriteFn, write);
    QFETCH(QString, name);
    QFETCH(Formats::Options, opts);
    QFETCH(int, size);
    QFETCH(QString, reason);
    Read_LUTFile source;
    if (size > 0)
        fillGraded(source, size);
    const QString path = dir_.filePath(QStringLiteral("refused-") + name);
    Write_LUTFile writer;
    QVERIFY(!write(writer, path, source, opts));
    QVERIFY2(writer.errorString.contains(reason), qPrintable(writer.errorString));
    QVERIFY(!QFile::exists(path));
}

// The warning predicts what a headerless file does when read back.
void TestWriters::headerlessWarning_data()
{
    QTest::addColumn<float>("gain");
    QTest::addColumn<int>("bits");
    QTest::addColumn<bool>("readsBack");
    QTest::newRow("full range") << 1.0f << 12 << true;
    QTest::newRow("largest sample just above half") << 0.55f << 12 << true;
    QTest::newRow("dark") << 0.4f << 12 << false;
    QTest::newRow("dark at 10 bits") << 0.4f << 10 << false;
    QTest::newRow("black") << 0.0f << 16 << true;
    QTest::newRow("one code") << 1.0f / 4095.0f / 1.05f << 12 << false;
}

void TestWriters::headerlessWarning()
{
    QFETCH(float, gain);
    QFETCH(int, bits);
    QFETCH(bool, readsBack);
    Read_LUTFile source;
    fillGraded(source, 5, gain);
    QCOMPARE(Formats::headerless3dlReadsBack(source, bits), readsBack);

    const QString path = dir_.filePath("headerless.3dl");
    Write_LUTFile writer;
    QVERIFY2(Formats::Write_3dl(writer, path, source, options(bits, true)), qPrintable(writer.errorString));
    Read_LUTFile back;
    QVERIFY(readBy(back, path, 3));
    clampLattice(source);
    const float step = 0.5f / float((1 << bits) - 1) + 1e-7f;
    QCOMPARE(latticeDifferences(back, source, false, false, step).isEmpty(), readsBack);
}

// Pixel (x, y) of a Hald image of level L holds node p mod L^2, p / L^2 mod L^2, p / L^4 for
// p = x + y * L^3, each channel rounded to 8 bits.
void TestWriters::haldLayout()
{
    const int level = 3, n = level * level, side = level * level * level;
    Read_LUTFile source;
    fillRandomLattice(source, n, 7);
    const QString path = dir_.filePath("layout.png");
    Write_LUTFile writer;
    QVERIFY2(Formats::Write_Hald(writer, path, source, Formats::Options()), qPrintable(writer.errorString));

    const QImage image(path);
    QCOMPARE(image.size(), QSize(side, side));
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const int p = x + y * side;
            const float *node = source.lut3D[p % n][p / n % n][p / (n * n)];
            const QRgb got = image.pixel(x, y);
            const int want[3] = {qRound(node[0] * 255), qRound(node[1] * 255), qRound(node[2] * 255)};
            QVERIFY2(qRed(got) == want[0] && qGreen(got) == want[1] && qBlue(got) == want[2],
                     qPrintable(QStringLiteral("pixel (%1, %2)").arg(x).arg(y)));
        }
}

// An identity Hald image drawn here by the same formula, at 16 bits, reads as the identity;
// images of no level's size are refused.
void TestWriters::haldReader()
{
    const int level = 4, n = level * level, side = level * level * level;
    QImage image(side, side, QImage::Format_RGBX64);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const int p = x + y * side;
            const auto level16 = [n](int i) { return quint16(qRound(65535.0 * i / (n - 1))); };
            image.setPixelColor(x, y, QColor::fromRgba64(level16(p % n), level16(p / n % n), level16(p / (n * n))));
        }
    const QString path = dir_.filePath("identity.png");
    QVERIFY(image.save(path));
    Read_LUTFile lut;
    QVERIFY2(readBy(lut, path, hald), qPrintable(lut.errorString));
    compareCleanRead(lut, true, false);
    Read_LUTFile identity;
    identity.setSize3D(n, false);
    for (int r = 0; r < n; ++r)
        for (int g = 0; g < n; ++g)
            for (int b = 0; b < n; ++b)
                for (int ch = 0; ch < 3; ++ch)
                    identity.lut3D[r][g][b][ch] = identityValue(r, g, b, ch, n);
    QCOMPARE(latticeDifferences(lut, identity, false, false, 1e-6f), QString());

    const QString wrong = dir_.filePath("wrong.png");
    QVERIFY(QImage(60, 60, QImage::Format_RGB32).save(wrong));
    Read_LUTFile refused;
    QVERIFY(!readBy(refused, wrong, hald));
    QVERIFY2(refused.errorString.contains("this one is 60 x 60"), qPrintable(refused.errorString));
    QCOMPARE(refused.lut3DSize, 0);
}

QTEST_MAIN(TestWriters)
#include "tst_writers.moc"
