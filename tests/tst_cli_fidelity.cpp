// Conversions that keep what a LUT does: real files read as their formats define them, written
// exactly where the target holds them, and every loss said, measured, and refused by --strict.

#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <cmath>

#include "clitest.h"
#include "formats/faithful.h"
#include "formats/registry.h"
#include "lut/write_lutfile.h"
#include "testutil.h"

namespace {

QString corpus(const QString &name)
{
    return QStringLiteral(LUTWRIGHT_CORPUS "/") + name;
}

bool readFaithfully(const QString &path, LutTransform &t, QString *why)
{
    const Formats::Format *f = Formats::detect(path, why);
    return f && Formats::readTransform(*f, TestUtil::side(int(f->id), path), Formats::Options(), t, why);
}

// A 17-point lattice over 0 to 4 whose values run from -0.1 to 5.9: a scene-linear LUT that
// the numbered path would clamp to 0 to 1 and divide by 4.
QByteArray hdrCube()
{
    QByteArray text = "LUT_3D_SIZE 17\nDOMAIN_MIN 0 0 0\nDOMAIN_MAX 4 4 4\n";
    for (int b = 0; b < 17; ++b)
        for (int g = 0; g < 17; ++g)
            for (int r = 0; r < 17; ++r)
                text += QByteArray::number(-0.1 + 1.5 * r / 4.0, 'f', 6) + ' ' + QByteArray::number(g / 4.0, 'f', 6) + ' '
                    + QByteArray::number(b / 16.0, 'f', 6) + '\n';
    return text;
}

}

class TestCliFidelity : public QObject
{
    Q_OBJECT
private slots:
    void corpusValues_data();
    void corpusValues();
    void exactRoundTrips_data();
    void exactRoundTrips();
    void lossesAreSaid_data();
    void lossesAreSaid();
    void compareSeesAClampedCopy();
};

// What a real file does at a few inputs, worked out from the file's own numbers.
void TestCliFidelity::corpusValues_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QVector<float>>("in");
    QTest::addColumn<QVector<float>>("out");
    // A 2-point lattice over R 0..2, G 1..2, B 0..1 whose nodes double the corner's coordinate.
    QTest::newRow("iridas_3d middle") << "iridas_3d.cube" << QVector<float>{1, 1.5f, 0.5f} << QVector<float>{1, 1, 1};
    QTest::newRow("iridas_3d below G") << "iridas_3d.cube" << QVector<float>{0.5f, 0.5f, 0.25f} << QVector<float>{0.5f, 0, 0.5f};
    QTest::newRow("iridas_3d top") << "iridas_3d.cube" << QVector<float>{2, 2, 1} << QVector<float>{2, 2, 2};
    // Five entries over R -2..2, G 1..2, B 0..1: halfway between the first two of each channel.
    QTest::newRow("iridas_1d") << "iridas_1d.cube" << QVector<float>{-1.5f, 1.125f, 0.875f} << QVector<float>{-0.5f, -0.95f, 2.1f};
    // The shaper (6 entries over -1..3) first: 2.2 is its fifth entry, 1; the lattice over 0..4
    // takes 1 halfway between its first two nodes on the grey axis, 1.1 and 0.5.
    QTest::newRow("resolve shaper then lattice") << "resolve_1d3d.cube" << QVector<float>{2.2f, 2.2f, 2.2f} << QVector<float>{0.8f, 0.8f, 0.8f};
    QTest::newRow("resolve shaper end") << "resolve_1d3d.cube" << QVector<float>{3, 3, 3} << QVector<float>{1.1f, 1.1f, 1.1f};
    // 4101 entries from -0.125 to 1.125: entry 3690 is input 1 and says 1.0; the last holds above.
    QTest::newRow("sRGB_to_linear at 1") << "sRGB_to_linear.spi1d" << QVector<float>{1, 1, 1} << QVector<float>{1, 1, 1};
    QTest::newRow("sRGB_to_linear below") << "sRGB_to_linear.spi1d" << QVector<float>{-0.125f, -0.125f, -0.125f}
                                          << QVector<float>{-0.00967492f, -0.00967492f, -0.00967492f};
    // Node lines name their node: (0, 1, 2) and (0, 0, 1), negative values kept.
    QTest::newRow("bizarre node 0 1 2") << "lut3d_bizarre.spi3d" << QVector<float>{0, 0.5f, 1}
                                        << QVector<float>{-0.019550342f, 0.293255132f, 0.879765396f};
    QTest::newRow("bizarre node 0 0 1") << "lut3d_bizarre.spi3d" << QVector<float>{0, 0, 0.5f}
                                        << QVector<float>{-0.009775171f, 0.048875855f, 0.391006843f};
    // 10-bit in, 12-bit out: R = (3.6 + 0.1 - 0.2) * 511.5 + 0.3 = 1790.55 of 4095, and so on.
    QTest::newRow("CLF matrix with offsets") << "clf/matrix_3x4_example.clf" << QVector<float>{0.5f, 0.5f, 0.5f}
                                             << QVector<float>{1790.55f / 4095, 1943.65f / 4095, 1636.4f / 4095};
}

void TestCliFidelity::corpusValues()
{
    QFETCH(QString, file);
    QFETCH(QVector<float>, in);
    QFETCH(QVector<float>, out);
    LutTransform t;
    QString why;
    QVERIFY2(readFaithfully(corpus(file), t, &why), qPrintable(why));
    float v[3] = {in[0], in[1], in[2]};
    t.apply(v);
    for (int c = 0; c < 3; ++c)
        QVERIFY2(std::fabs(v[c] - out[c]) <= 2e-6f * std::max(1.0f, std::fabs(out[c])),
                 qPrintable(QStringLiteral("channel %1: %2, not %3").arg(c).arg(double(v[c])).arg(double(out[c]))));

    // The command line converts it to .cube and .clf without a word, and compare finds them equal.
    QTemporaryDir dir;
    for (const char *ext : {"cube", "clf"}) {
        const QString written = dir.filePath(QStringLiteral("out.") + QLatin1String(ext));
        const CliTest::Run r = CliTest::run({"convert", corpus(file), "-o", written});
        QVERIFY2(r.code == 0 && r.err.isEmpty(), qPrintable(r.all()));
        const CliTest::Run c = CliTest::run({"compare", corpus(file), written, "--tolerance", "1e-5"});
        QVERIFY2(c.code == 0, qPrintable(c.all()));
    }
}

// What a format holds exactly comes back exactly: a CLF bit for bit, a .cube to six decimals.
void TestCliFidelity::exactRoundTrips_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("ext");
    QTest::addColumn<double>("tolerance");
    for (const char *f : {"iridas_3d.cube", "iridas_1d.cube", "resolve_1d3d.cube", "sRGB_to_linear.spi1d", "lut3d_bizarre.spi3d",
                          "clf/multiple_ops.clf"})
        QTest::newRow(qPrintable(QStringLiteral("%1 to clf").arg(QLatin1String(f)))) << f << "clf" << 0.0;
    for (const char *f : {"iridas_3d.cube", "resolve_1d3d.cube", "sRGB_to_linear.spi1d"})
        QTest::newRow(qPrintable(QStringLiteral("%1 to cube").arg(QLatin1String(f)))) << f << "cube" << 1e-6;
    QTest::newRow("sRGB_to_linear to spi1d") << "sRGB_to_linear.spi1d" << "spi1d" << 1e-6;
}

void TestCliFidelity::exactRoundTrips()
{
    QFETCH(QString, file);
    QFETCH(QString, ext);
    QFETCH(double, tolerance);
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("out.") + ext);
    const CliTest::Run r = CliTest::run({"convert", corpus(file), "-o", out});
    QVERIFY2(r.code == 0 && r.err.isEmpty(), qPrintable(r.all()));
    const CliTest::Run c = CliTest::run({"compare", corpus(file), out, "--json"});
    QVERIFY2(c.code <= 1, qPrintable(c.all()));
    const double largest = QJsonDocument::fromJson(c.out.toUtf8()).object().value("largest").toDouble(-1);
    QVERIFY2(largest >= 0 && largest <= tolerance, qPrintable(c.out));
}

// Each kind of loss: the file is still written, one warning names what was lost and how much;
// with --strict nothing is written and the conversion fails.
void TestCliFidelity::lossesAreSaid_data()
{
    QTest::addColumn<QString>("source");   // a corpus file, or "hdr" for hdrCube()
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("said");
    QTest::newRow("clipped by an integer format") << "hdr" << QStringList{"-o", "out.3dl"} << "values outside 0 to 1 are clipped";
    QTest::newRow("domain a format cannot state") << "hdr" << QStringList{"-o", "out.spi3d"}
                                                  << "its input domain 0 to 4 is reduced to 0 to 1";
    QTest::newRow("shaper baked into a lattice") << "resolve_1d3d.cube" << QStringList{"-o", "out.spi3d", "--size", "33"}
                                                 << "its 1D shaper is evaluated into a 33-point lattice";
    QTest::newRow("curve made a separable lattice") << "sRGB_to_linear.spi1d" << QStringList{"-o", "out.spi3d"}
                                                    << "its 1D table is made a separable 33-point lattice";
    QTest::newRow("lattice to its grey axis") << "lut3d_bizarre.spi3d" << QStringList{"-o", "out.spi1d"}
                                              << "only its grey axis is kept";
    QTest::newRow("half-float table into a 1D table") << "Test_16fpto12.lut" << QStringList{"-o", "out.cube"}
                                                      << "its 1 per-channel step is evaluated into a 1D table of 65536 entries over 0 to 1";
    QTest::newRow("a size the format cannot take") << "lut3d_1.spi3d" << QStringList{"-o", "out.3dl"}
                                                   << "its 32-point lattice is resampled to 33 points";
}

void TestCliFidelity::lossesAreSaid()
{
    QFETCH(QString, source);
    QFETCH(QStringList, args);
    QFETCH(QString, said);
    QTemporaryDir dir;
    const QString in = source == QLatin1String("hdr") ? TestUtil::writeTemp(dir, "hdr.cube", hdrCube()) : corpus(source);
    const QString out = dir.filePath(args.at(1));
    args[1] = out;
    for (const bool strict : {false, true}) {
        const CliTest::Run r = CliTest::run(QStringList{"convert", in} + args + (strict ? QStringList{"--strict"} : QStringList()));
        const QStringList lines = r.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines.at(0).contains(said) && lines.at(0).contains(QLatin1String("the largest difference is ")), qPrintable(r.err));
        QCOMPARE(r.code, strict ? 1 : 0);
        QVERIFY2(lines.at(0).contains(strict ? "not written (--strict)" : "warning:"), qPrintable(r.err));
        QCOMPARE(QFileInfo::exists(out), !strict);
        QFile::remove(out);
    }
}

// The scene-linear .cube and the copy the numbered path would make of it (clamped to 0 to 1,
// divided by 4, over 0 to 1): compare sees the difference at once.
void TestCliFidelity::compareSeesAClampedCopy()
{
    QTemporaryDir dir;
    const QString hdr = TestUtil::writeTemp(dir, "hdr.cube", hdrCube());
    Read_LUTFile clamped;
    QVERIFY(clamped.ReadFile(TestUtil::side(Formats::Id::Cube, hdr), false));
    Write_LUTFile writer;
    LUTFILE_ST side = TestUtil::side(Formats::Id::Cube, dir.filePath("clamped.cube"), false, true, false);
    side.outputSize3D = clamped.lut3DSize;
    QVERIFY(writer.WriteFile(side, clamped));
    const CliTest::Run r = CliTest::run({"compare", hdr, side.path, "--json"});
    QCOMPARE(r.code, 1);
    QVERIFY2(QJsonDocument::fromJson(r.out.toUtf8()).object().value("largest").toDouble() >= 0.4, qPrintable(r.out));
}

QTEST_GUILESS_MAIN(TestCliFidelity)
#include "tst_cli_fidelity.moc"
