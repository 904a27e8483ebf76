// Every writer of a 3D format, through the registry: what each writes is read back as the
// lattice it came from, within the format's quantisation, with its own orders and with explicit
// ones. Then what is particular to the writers of .3dl, .csp and Hald images.

#include <QImage>
#include <QImageWriter>

#include "testutil.h"
#include "formats/faithful.h"
#include "formats/icc.h"
#include "formats/writers.h"

using namespace TestUtil;

namespace {

using WriteFn = Formats::WriteFn;
constexpr int hald = -1;

// A read through the dispatch id, or of a Hald image (id `hald`), with the format's own orders.
bool readBy(Read_LUTFile &lut, const QString &path, int id)
{
    return Formats::read(id == hald ? Formats::haldFormat : *Formats::byId(id), side(id, path), lut, false);
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

// What each writer of a 3D format is expected to give back: the lattice clamped to 0 to 1 (what
// every reader keeps) within the format's quantisation. A writer without a line here
// fails the test.
struct Variant {
    const char *format;      // registry name
    const char *tag;
    const char *file;
    int size;
    int bits;
    bool headerless;
    float tolerance;
    const char *start;       // how the file begins
    bool keepsRange = false; // values outside 0 to 1 read back as written
};

constexpr float text6 = 5.1e-7f;   // six decimals
constexpr float byte = 0.5f / 255.0f, word = 0.5f / 65535.0f;
const Variant variants[] = {
    {"cube", "", "a.cube", 17, 0, false, text6, ""},
    {"mga", "", "a.mga", 17, 0, false, text6, ""},
    {"davlut", "", "a.davlut", 17, 0, false, text6, ""},
    {"itx", "", "a.itx", 17, 0, false, text6, ""},
    {"spi3d", "", "a.spi3d", 17, 0, false, text6, ""},
    {"tms3d", "", "a.tms3d", 17, 0, false, text6, ""},
    {"3dl", "10 bits", "a.3dl", 17, 10, false, 0.5f / 1023, "3DMESH\nMesh 4 10\n0 64 128 192 "},
    {"3dl", "12 bits", "b.3dl", 17, 0, false, 0.5f / 4095, "3DMESH\nMesh 4 12\n"},
    {"3dl", "16 bits, 33 points", "c.3dl", 33, 16, false, word, "3DMESH\nMesh 5 16\n0 32 64 "},
    {"3dl", "3 points", "d.3dl", 3, 0, false, 0.5f / 4095, "3DMESH\nMesh 1 12\n0 0 0 \n"},
    {"3dl", "headerless", "e.3dl", 17, 0, true, 0.5f / 4095, "0 64 128 "},
    {"3dl", "headerless, 10 points", "f.3dl", 10, 0, true, 0.5f / 4095, "0 114 227 "},
    {"look", "", "a.look", 17, 0, false, 0.0f,
     "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<look>\n  <LUT>\n    <size>\"17\"</size>\n"},
    {"csp", "", "a.csp", 17, 0, false, text6, "CSPLUTV100\n3D\n\nBEGIN METADATA\nEND METADATA\n\n2\n0.0 1.0\n"},
    {"cub", "", "a.cub", 17, 0, false, text6,
     "# Truelight Cube v2.0\n# iDims     3\n# oDims     3\n# width     17 17 17\n# lutLength 17\n"},
    // The texture readers take 8 bits of a deeper image.
    {"texture", "png", "a.png", 16, 0, false, byte, "\x89PNG"},
    {"texture", "png 16", "b.png", 64, 16, false, 2 * byte, "\x89PNG"},
    {"texture", "tiff", "c.tif", 16, 0, false, 2 * byte, "II*"},
    {"iuc", "", "a.png", 17, 8, false, byte, "\x89PNG"},
    {"hald", "png", "a.png", 16, 0, false, byte, "\x89PNG"},
    {"hald", "png 16", "b.png", 25, 16, false, word, "\x89PNG"},
    {"hald", "tiff", "c.tiff", 4, 0, false, word, "II*"},
    {"clf", "", "a.clf", 17, 0, false, 0.0f, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ProcessList ", true},
    {"houdini", "", "a.lut", 17, 0, false, 0.0f, "Version\t\t2\nFormat\t\tany\nType\t\t3D\n", true},
    {"nukevf", "", "a.vf", 17, 0, false, 0.0f, "#Inventor V2.1 ascii\ngrid_size 17 17 17\n", true},
    {"icc", "", "a.icc", 17, 0, false, word, ""},
    {"vlt", "", "a.vlt", 17, 0, false, 0.5f / 4095, "# panasonic vlt file version 1.0\n# source vlt file \"\"\nLUT_3D_SIZE 17\n\n"},
};

void TestWriters::roundTrip_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("variant");   // -1: none for this writer
    for (const Formats::Format *format : Formats::all()) {
        // A .cc or .spimtx holds no lattice: what it writes is tested with its format.
        if (!format->is3D || !format->write || (format->faithful && format->faithful->holdsOnly))
            continue;
        bool found = false;
        for (const Variant &v : variants) {
            if (qstrcmp(v.format, format->name) == 0) {
                QTest::addRow("%s %s", v.format, v.tag) << QString::fromLatin1(v.format) << int(&v - variants);
                found = true;
            }
        }
        if (!found)
            QTest::addRow("%s", format->name) << QString::fromLatin1(format->name) << -1;
    }
}

void TestWriters::roundTrip()
{
    QFETCH(QString, format);
    QFETCH(int, variant);
    if (variant < 0)
        QFAIL(qPrintable(QStringLiteral("no expectations for the writer of %1").arg(format)));
    const Variant &v = variants[variant];
    const Formats::Format &f = *Formats::byName(format);
    Formats::Options opts;
    opts.bits = v.bits;
    opts.headerless = v.headerless;
    const QString path = dir_.filePath(format + QLatin1Char('-') + QLatin1String(v.file));
    if (QByteArray(v.start).startsWith("II*") && !QImageWriter::supportedImageFormats().contains("tiff"))
        QSKIP("no TIFF plugin");

    Read_LUTFile source;
    fillGraded(source, v.size);
    QString why;
    QVERIFY2(Formats::write(f, side(int(f.id), path, true, true, false), source, &why, opts), qPrintable(why));
    QVERIFY(readText(path).startsWith(v.start));
    if (!v.keepsRange)
        clampLattice(source);
    Read_LUTFile back;
    QVERIFY2(Formats::read(f, side(int(f.id), path), back, false), qPrintable(back.errorString));
    QCOMPARE(latticeDifferences(back, source, false, false, v.tolerance + 1e-7f), QString());

    // Explicit orders are kept by a reader given the same ones.
    for (const bool rgb : {false, true}) {
        const LUTFILE_ST ordered = side(int(f.id), path, false, rgb, rgb);
        QVERIFY2(Formats::write(f, ordered, source, &why, opts), qPrintable(why));
        Read_LUTFile again;
        QVERIFY2(Formats::read(f, ordered, again, false), qPrintable(again.errorString));
        QCOMPARE(latticeDifferences(again, source, false, false, v.tolerance + 1e-7f), QString());
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
    QVERIFY(readText(path).startsWith("CSPLUTV100\n1D\n"));
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
    QTest::newRow("icc of 256 points") << WriteFn(Write_Icc) << "a.icc" << options(0) << 256 << "lattices of 2 to 255 points";
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

QTEST_GUILESS_MAIN(TestWriters)
#include "tst_writers.moc"
