// .mga / .m3d reading and writing: the header keywords, the "in" and "out" ranges, skipped
// lines, short and damaged files, a real file, the writer's exact text and round trips in
// every combination of the order flags.
#include <QtTest>

#include "formats/registry.h"
#include "lut/read_lutfile.h"
#include "lut/write_lutfile.h"
#include "testutil.h"

using TestUtil::bytes;
using TestUtil::readLut;
using TestUtil::repeatLine;
using TestUtil::withLine;
using TestUtil::writeLut;

namespace {

constexpr int idMga = int(Formats::Id::Mga);

// A 2-point lattice of 8-bit samples; the line numbers matter to the damage table.
const QByteArray goodSample =
    "# sample\n"                 // 1
    "channel 3d\n"               // 2
    "in 8\n"                     // 3
    "out 256\n"                  // 4
    "format lut\n"               // 5
    "values red green blue\n"    // 6
    "0 0 0 0\n"                  // 7: r=0 g=0 b=0
    "1 0 0 255\n"                // 8: r=0 g=0 b=1
    "2 0 255 0\n"                // 9
    "3 0 255 255\n"              // 10
    "4 255 0 0\n"                // 11
    "5 255 0 255\n"              // 12
    "6 255 255 0\n"              // 13
    "7 255 255 255\n";           // 14

QByteArray header(int nodes, int out)
{
    return "channel 3d\nin " + QByteArray::number(nodes) + "\nout " + QByteArray::number(out) + "\nvalues red green blue\n";
}

// Sample lines with running numbers from `first`.
QByteArray numbered(int first, int count, const QByteArray &rgb)
{
    QByteArray out;
    for (int i = 0; i < count; ++i)
        out += QByteArray::number(first + i) + " " + rgb + "\n";
    return out;
}

}

class TestFmtMga : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }
    void roundTripIntegerScale_data();
    void roundTripIntegerScale();
    void writerText();
    void outRanges();
    void inRounding();
    void skippedLines();
    void lastNodeRule_data();
    void lastNodeRule();
    void damaged_data();
    void damaged();
    void realFile();

private:
    QString file(const QString &name, const QByteArray &text) { return TestUtil::writeTemp(dir, name, text); }
    QTemporaryDir dir;
};

void TestFmtMga::roundTripIntegerScale_data()
{
    QTest::addColumn<qint64>("scale");
    QTest::newRow("8-bit") << qint64(255);
    QTest::newRow("12-bit") << qint64(4095);
    QTest::newRow("16-bit") << qint64(65535);
}

void TestFmtMga::roundTripIntegerScale()
{
    // value * scale truncated, "out" scale + 1: read back within one code.
    QFETCH(qint64, scale);
    Read_LUTFile src;
    TestUtil::fillRandomLattice(src, 4, 5);
    const QString path = dir.filePath("int.mga");
    QVERIFY(writeLut(src, path, idMga, true, false, false, scale));
    const QList<QByteArray> lines = TestUtil::readText(path).split('\n');
    QCOMPARE(lines[9], "out " + QByteArray::number(scale + 1));
    QVERIFY(lines[14].endsWith('\t'));

    Read_LUTFile back;
    const auto r = readLut(back, path, idMga);
    QVERIFY2(r.ok, qPrintable(r.error));
    for (std::size_t i = 0; i < src.lut3D.floatCount(); ++i) {
        const float diff = src.lut3D.data()[i] - back.lut3D.data()[i];
        QVERIFY2(diff > -1e-6f && diff <= 1.0f / float(scale), qPrintable(QString::number(diff)));
    }
}

void TestFmtMga::writerText()
{
    Read_LUTFile m;
    QVERIFY(m.setSize3D(2, false));
    for (int r = 0; r < 2; ++r)
        for (int g = 0; g < 2; ++g)
            for (int b = 0; b < 2; ++b) {
                m.lut3D[r][g][b][0] = r;
                m.lut3D[r][g][b][1] = g * 0.5f;
                m.lut3D[r][g][b][2] = b;
            }
    const QString path = dir.filePath("id.mga");
    // The caller's flags give way to the format's own order.
    QVERIFY(writeLut(m, path, idMga, true, false, false));
    QCOMPARE(TestUtil::readText(path),
             QByteArray("#HEADER\n#type: 3D cube file\n#format: 1.00\n#created:\n#owner: tamsori\n#END\n\n"
                        "channel\t3d\nin 8\nout\t1\n\nformat lut\n\nvalues\tred\tgreen\tblue\n"
                        "0\t0.000000\t0.000000\t0.000000\n"
                        "1\t0.000000\t0.000000\t1.000000\n"
                        "2\t0.000000\t0.500000\t0.000000\n"
                        "3\t0.000000\t0.500000\t1.000000\n"
                        "4\t1.000000\t0.000000\t0.000000\n"
                        "5\t1.000000\t0.000000\t1.000000\n"
                        "6\t1.000000\t0.500000\t0.000000\n"
                        "7\t1.000000\t0.500000\t1.000000\n"));

    // Every float scale (below 2) announces the range 0 to 1; a model without a lattice gives
    // only the header.
    for (qint64 scale : {qint64(0), qint64(-7)}) {
        QVERIFY(writeLut(m, path, idMga, true, true, true, scale));
        QCOMPARE(TestUtil::readText(path).split('\n')[9], QByteArray("out\t1"));
    }
    Read_LUTFile empty;
    QVERIFY(writeLut(empty, path, idMga, true, true, true));
    QVERIFY(TestUtil::readText(path).endsWith("in 0\nout\t1\n\nformat lut\n\nvalues\tred\tgreen\tblue\n"));
}

void TestFmtMga::outRanges()
{
    // "out 4096": 0 to 4095; samples above are clamped.
    {
        Read_LUTFile m;
        const auto r = readLut(m, file("o4096.mga", header(8, 4096) + "0 4095 2048 5000\n" + numbered(1, 7, "0 0 0")), idMga);
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(m.lut3D[0][0][0][0], 1.0f);
        QCOMPARE(m.lut3D[0][0][0][1], 2048.0f / 4095.0f);
        QCOMPARE(m.lut3D[0][0][0][2], 1.0f);
        QCOMPARE(m.domainMin3D[0], 0.0f);
        QCOMPARE(m.domainMax3D[0], 1.0f);
    }
    // "out 1": float samples stay as they are, clamped to 0 to 1.
    {
        Read_LUTFile m;
        const auto r = readLut(m, file("o1.mga", header(8, 1) + "0 0.25 1.5 -0.5\n" + numbered(1, 7, "0 0 0")), idMga);
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(m.lut3D[0][0][0][0], 0.25f);
        QCOMPARE(m.lut3D[0][0][0][1], 1.0f);
        QCOMPARE(m.lut3D[0][0][0][2], 0.0f);
    }
}

void TestFmtMga::inRounding()
{
    // 4900 nodes is not a cube: the nearest lattice, 17 points, and its 4913 samples are read.
    Read_LUTFile m;
    auto r = readLut(m, file("in4900.mga", header(4900, 1) + numbered(0, 4912, "0.5 0.5 0.5")), idMga);
    QVERIFY2(r.ok, qPrintable(r.error));
    QCOMPARE(m.lut3DSize, 17);
    QCOMPARE(m.lut3D[16][16][15][1], 0.5f);
    QCOMPARE(m.lut3D[16][16][16][1], 0.0f);

    Read_LUTFile few;
    r = readLut(few, file("in4900s.mga", header(4900, 1) + numbered(0, 4900, "0.5 0.5 0.5")), idMga);
    QVERIFY(!r.ok);
    QCOMPARE(r.error, QStringLiteral("line 4904: the lattice ends after 4900 of 4913 samples"));
}

void TestFmtMga::skippedLines()
{
    // Lines of three or five fields, four fields whose first is not a number, comments and
    // blank lines are not samples. A line whose later numbers do not convert is still one:
    // those channels keep the previous line's values.
    const QByteArray text = header(8, 255) + "0 254 10 20\n# note\n\n9 1 2\n9 1 2 3 4\nx 10 20 30\n1 127 x y\n"
        + numbered(2, 5, "0 0 0") + "7 0 0 127\n";
    Read_LUTFile m;
    const auto r = readLut(m, file("skip.mga", text), idMga);
    QVERIFY2(r.ok, qPrintable(r.error));
    QCOMPARE(m.lut3D[0][0][0][0], 1.0f);
    QCOMPARE(m.lut3D[0][0][0][2], 20.0f / 254.0f);
    QCOMPARE(m.lut3D[0][0][1][0], 0.5f);
    QCOMPARE(m.lut3D[0][0][1][1], 10.0f / 254.0f);
    QCOMPARE(m.lut3D[0][0][1][2], 20.0f / 254.0f);
    QCOMPARE(m.lut3D[0][1][0][0], 0.0f);
    QCOMPARE(m.lut3D[1][1][1][2], 0.5f);
}

void TestFmtMga::lastNodeRule_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("reason");
    QTest::newRow("all 8") << header(8, 256) + numbered(0, 8, "255 0 0") << QString();
    QTest::newRow("last node missing") << header(8, 256) + numbered(0, 7, "255 0 0") << QString();
    QTest::newRow("two nodes missing") << header(8, 256) + numbered(0, 6, "255 0 0")
                                       << "line 10: the lattice ends after 6 of 8 samples";
    QTest::newRow("one-point lattice without its sample") << header(1, 256) << "line 4: the lattice ends after 0 of 1 samples";
}

void TestFmtMga::lastNodeRule()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, reason);
    Read_LUTFile m;
    const auto r = readLut(m, file("last.mga", text), idMga);
    QCOMPARE(r.ok, reason.isEmpty());
    QCOMPARE(r.error, reason);
    QCOMPARE(m.domainMax3D[0], 1.0f);
    if (r.ok) {
        QCOMPARE(m.lut3D[1][1][0][0], 1.0f);
        QCOMPARE(m.lut3D[1][1][1][0], text.count('\n') == 12 ? 1.0f : 0.0f);
    }
}

void TestFmtMga::damaged_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("reason");
    QTest::newRow("1D channel") << withLine(goodSample, 2, "channel 1d") << "line 2: channel \"1d\" is not 3d";
    QTest::newRow("empty channel") << withLine(goodSample, 2, "channel") << "line 2: channel \"\" is not 3d";
    QTest::newRow("in without number") << withLine(goodSample, 3, "in x") << "line 3: in has no number";
    QTest::newRow("in 0") << withLine(goodSample, 3, "in 0") << "line 3: in 0 is not a node count";
    QTest::newRow("in negative") << withLine(goodSample, 3, "in -8") << "line 3: in -8 is not a node count";
    QTest::newRow("in beyond limit") << withLine(goodSample, 3, "in 20000000") << "line 3: in 20000000 makes a lattice of 271 points, more than 256";
    QTest::newRow("in just beyond limit") << withLine(goodSample, 3, "in 17000000") << "line 3: in 17000000 makes a lattice of 257 points, more than 256";
    QTest::newRow("out without number") << withLine(goodSample, 4, "out") << "line 4: out has no number";
    QTest::newRow("out 0: zero-width range") << withLine(goodSample, 4, "out 0") << "line 4: out 0 gives no sample range";
    QTest::newRow("out negative") << withLine(goodSample, 4, "out -255") << "line 4: out -255 gives no sample range";
    QTest::newRow("no in line") << withLine(goodSample, 3, QByteArray()) << "no in line: the lattice size is unknown";
    QTest::newRow("no values line") << withLine(goodSample, 6, QByteArray()) << "line 13: no values line before the samples";
    QTest::newRow("truncated") << withLine(goodSample, 14, QByteArray()).replace("6 255 255 0\n", "") << "line 12: the lattice ends after 6 of 8 samples";
    const QByteArray huge = withLine(goodSample, 3, "in 16777216");
    QTest::newRow("largest lattice in a tiny file") << huge
                                                    << QString("line 3: 16777216 nodes cannot fit in a file of %1 bytes").arg(huge.size());
    QTest::newRow("empty file") << QByteArray() << "no in line: the lattice size is unknown";
    QTest::newRow("binary garbage") << bytes("\x00\x01\xff\xfe\x80garbage\x00\nin\x10\x7f") << "line 2: in has no number";
    QTest::newRow("garbage samples") << header(8, 256) + bytes("\x01\xff\xfe \x80\x00 q 1\n\x7f\x10 1 x\n")
                                     << "line 6: the lattice ends after 0 of 8 samples";
}

void TestFmtMga::damaged()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, reason);
    Read_LUTFile m;
    const auto r = readLut(m, file("damaged.mga", text), idMga);
    QVERIFY(!r.ok);
    QCOMPARE(r.error, reason);
    QCOMPARE(m.domainMax3D[0], 1.0f);
}

void TestFmtMga::realFile()
{
    // "in 8", "out 256": 8-bit samples 0 to 255, values above (306) clamped; "LUT8" ignored.
    Read_LUTFile m;
    const auto r = readLut(m, QStringLiteral(LUTWRIGHT_CORPUS "/pandora_3d.m3d"), idMga);
    QVERIFY2(r.ok, qPrintable(r.error));
    QCOMPARE(m.lut3DSize, 2);
    QCOMPARE(m.lut3D[0][0][1][2], 204.0f / 255.0f);   // "1 0 0 204": blue runs fastest
    QCOMPARE(m.lut3D[0][1][0][1], 204.0f / 255.0f);
    QCOMPARE(m.lut3D[1][0][0][0], 1.0f);
    QCOMPARE(m.lut3D[1][0][0][1], 0.0f);
    QCOMPARE(m.lut3D[1][1][1][0], 1.0f);              // "7 306 255 306"
    QCOMPARE(m.lut3D[1][1][1][2], 1.0f);
    QCOMPARE(m.domainMax3D[0], 1.0f);
}

QTEST_GUILESS_MAIN(TestFmtMga)
#include "tst_fmt_mga.moc"
