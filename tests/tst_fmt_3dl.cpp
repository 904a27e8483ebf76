// .3dl reading: the "Mesh", mesh-point and "gamma" lines, the sample range found from the
// samples, the order flags, short and damaged files, and real files from other tools.
#include <QtTest>

#include "formats/registry.h"
#include "lut/read_lutfile.h"
#include "lut/write_lutfile.h"
#include "testutil.h"

using TestUtil::bytes;
using TestUtil::readLut;
using TestUtil::repeatLine;
using TestUtil::withLine;

namespace {

constexpr int id3dl = int(Formats::Id::ThreeDL);

// A 2-point identity lattice of 10-bit samples; the line numbers matter to the damage table.
const QByteArray goodSample =
    "# made by hand\n"     // 1
    "3DMESH\n"             // 2
    "Mesh 0 10\n"          // 3
    "0 1023\n"             // 4
    "\n"                   // 5
    "0 0 0\n"              // 6: r=0 g=0 b=0
    "0 0 1023\n"           // 7: r=0 g=0 b=1
    "0 1023 0\n"           // 8
    "0 1023 1023\n"        // 9
    "1023 0 0\n"           // 10
    "1023 0 1023\n"        // 11
    "1023 1023 0\n"        // 12
    "1023 1023 1023\n"     // 13
    "LUT8\n"               // 14
    "gamma 2.2\n";         // 15

// `count` numbers 0, step, 2 step, ... on one line.
QByteArray numberLine(int count, int step)
{
    QByteArray out;
    for (int i = 0; i < count; ++i)
        out += QByteArray::number(i * step) + (i + 1 < count ? " " : "\n");
    return out;
}

// Integer samples of an n-point lattice in the given orders; value(r, g, b, c) gives channel c
// of node [r][g][b].
template <typename F>
QByteArray latticeText(int n, bool dataRGB, bool tableRGB, F value)
{
    QByteArray out;
    for (int o = 0; o < n; ++o)
        for (int m = 0; m < n; ++m)
            for (int i = 0; i < n; ++i) {
                const int r = tableRGB ? o : i, b = tableRGB ? i : o;
                for (int c = 0; c < 3; ++c)
                    out += QByteArray::number(value(r, m, b, dataRGB ? c : 2 - c)) + (c < 2 ? " " : "\n");
            }
    return out;
}

int codeOf(int r, int g, int b, int c)
{
    return (r * 977 + g * 131 + b * 17 + c * 1001) % 4096;
}

}

class TestFmt3dl : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }
    void identitySample();
    void orders_data();
    void orders();
    void rangeFromSamples_data();
    void rangeFromSamples();
    void meshPointLine();
    void meshPointsNotNumbers();
    void headerOnly();
    void lastNodeRule_data();
    void lastNodeRule();
    void lineEndsAndBom();
    void damaged_data();
    void damaged();
    void realFiles();

private:
    QString file(const QString &name, const QByteArray &text) { return TestUtil::writeTemp(dir, name, text); }
    QTemporaryDir dir;
};

void TestFmt3dl::identitySample()
{
    Read_LUTFile m;
    const auto r = readLut(m, file("id.3dl", goodSample), id3dl);
    QVERIFY2(r.ok, qPrintable(r.error));
    QCOMPARE(m.lut3DSize, 2);
    for (int a = 0; a < 2; ++a)
        for (int b = 0; b < 2; ++b)
            for (int c = 0; c < 2; ++c) {
                QCOMPARE(m.lut3D[a][b][c][0], float(a));
                QCOMPARE(m.lut3D[a][b][c][1], float(b));
                QCOMPARE(m.lut3D[a][b][c][2], float(c));
            }
    QCOMPARE(m.gamma, 2.2);
    QCOMPARE(m.meshPoints[0], 0.0);
    QCOMPARE(m.meshPoints[1], 1.0);
    for (int c = 0; c < 3; ++c) {
        QCOMPARE(m.domainMin3D[c], 0.0f);
        QCOMPARE(m.domainMax3D[c], 1.0f);
    }
    QVERIFY(m.dataOrderRGB);
    QVERIFY(m.tableOrderRGB);
}

void TestFmt3dl::orders_data()
{
    QTest::addColumn<bool>("dataRGB");
    QTest::addColumn<bool>("tableRGB");
    QTest::newRow("RGB, blue fastest") << true << true;
    QTest::newRow("RGB, red fastest") << true << false;
    QTest::newRow("BGR, blue fastest") << false << true;
    QTest::newRow("BGR, red fastest") << false << false;
}

void TestFmt3dl::orders()
{
    QFETCH(bool, dataRGB);
    QFETCH(bool, tableRGB);
    // "Mesh 1 12": 3 points (a 3-point mesh-point line would look like a sample line).
    const QByteArray text = "3DMESH\nMesh 1 12\n" + latticeText(3, dataRGB, tableRGB, codeOf);
    Read_LUTFile m;
    const auto r = readLut(m, file("orders.3dl", text), id3dl, false, false, dataRGB, tableRGB);
    QVERIFY2(r.ok, qPrintable(r.error));
    QCOMPARE(m.lut3DSize, 3);
    for (int a = 0; a < 3; ++a)
        for (int b = 0; b < 3; ++b)
            for (int c = 0; c < 3; ++c)
                for (int ch = 0; ch < 3; ++ch)
                    QCOMPARE(m.lut3D[a][b][c][ch], float(codeOf(a, b, c, ch)) / 4095.0f);

    // The format's own order wins over the caller's flags when asked for.
    Read_LUTFile own;
    QVERIFY(readLut(own, file("own.3dl", goodSample), id3dl, false, true, dataRGB, tableRGB).ok);
    QVERIFY(own.dataOrderRGB && own.tableOrderRGB);
    QCOMPARE(own.lut3D[0][0][1][2], 1.0f);
}

void TestFmt3dl::rangeFromSamples_data()
{
    // A file without "Mesh": a 2-point mesh-point line, a probe sample and the largest sample.
    QTest::addColumn<QByteArray>("probe");
    QTest::addColumn<QByteArray>("largest");
    QTest::addColumn<float>("stored");
    QTest::newRow("10-bit: largest 1000") << QByteArray("512") << QByteArray("1000") << 512.0f / 1023.0f;
    QTest::newRow("12-bit: largest 4095") << QByteArray("2048") << QByteArray("4095") << 2048.0f / 4095.0f;
    QTest::newRow("12-bit: largest 2048") << QByteArray("2048") << QByteArray("2048") << 2048.0f / 4095.0f;
    QTest::newRow("11-bit: largest 2047") << QByteArray("1024") << QByteArray("2047") << 1024.0f / 2047.0f;
    QTest::newRow("16-bit: largest 65535") << QByteArray("65535") << QByteArray("65535") << 1.0f;
    QTest::newRow("beyond 16 bits: clamped") << QByteArray("70000") << QByteArray("80000") << 1.0f;
    QTest::newRow("2-bit: largest 3") << QByteArray("1") << QByteArray("3") << 1.0f / 3.0f;
    QTest::newRow("integer part decides: 3.5") << QByteArray("3.5") << QByteArray("3.5") << 1.0f;
    QTest::newRow("just above 1") << QByteArray("1.5") << QByteArray("1.5") << 0.5f;
    QTest::newRow("fractions: largest 0.8") << QByteArray("0.5") << QByteArray("0.8") << 0.5f;
    QTest::newRow("fractions: largest 1") << QByteArray("0.25") << QByteArray("1.0") << 0.25f;
    QTest::newRow("small fractions: largest 0.05") << QByteArray("0.05") << QByteArray("0.05") << 0.05f;
}

void TestFmt3dl::rangeFromSamples()
{
    QFETCH(QByteArray, probe);
    QFETCH(QByteArray, largest);
    QFETCH(float, stored);
    const QByteArray text = "0 1\n" + probe + " 0 0\n" + largest + " 0 0\n" + repeatLine(6, "0 0 0\n");
    Read_LUTFile m;
    const auto r = readLut(m, file("range.3dl", text), id3dl);
    QVERIFY2(r.ok, qPrintable(r.error));
    QCOMPARE(m.lut3D[0][0][0][0], stored);
    QCOMPARE(m.domainMax3D[0], 1.0f);

    // A "Mesh" line's range wins over the samples.
    Read_LUTFile mesh;
    QVERIFY(readLut(mesh, file("range-mesh.3dl", "Mesh 0 16\n" + text), id3dl).ok);
    QCOMPARE(mesh.lut3D[0][0][0][0], std::min(probe.toFloat(), 65535.0f) / 65535.0f);
}

void TestFmt3dl::meshPointLine()
{
    // No "Mesh" line: 17 mesh points give the size, 12-bit samples the range.
    const QByteArray mesh = numberLine(16, 64).replace("\n", " 1023\n");
    const QByteArray text = mesh + latticeText(17, true, true, codeOf);
    Read_LUTFile m;
    auto r = readLut(m, file("mesh17.3dl", text), id3dl);
    QVERIFY2(r.ok, qPrintable(r.error));
    QCOMPARE(m.lut3DSize, 17);
    QCOMPARE(m.meshPoints[1], 64.0 / 1023.0);
    QCOMPARE(m.meshPoints[16], 1.0);
    QCOMPARE(m.lut3D[16][3][9][1], float(codeOf(16, 3, 9, 1)) / 4095.0f);

    // With "3DMESH" and "Mesh 4 12" in front the same samples give the same lattice.
    Read_LUTFile declared;
    r = readLut(declared, file("mesh17b.3dl", "3DMESH\nMesh 4 12\n" + text), id3dl);
    QVERIFY2(r.ok, qPrintable(r.error));
    QVERIFY(TestUtil::sameLattice(declared, m));

    // A line of four numbers before any other sets the size to 4 and is not a sample.
    Read_LUTFile four;
    r = readLut(four, file("four.3dl", "0 1 2 3\n0.5 0.25 0.125\n" + repeatLine(63, "0 0 0\n")), id3dl);
    QVERIFY2(r.ok, qPrintable(r.error));
    QCOMPARE(four.lut3DSize, 4);
    QCOMPARE(four.lut3D[0][0][0][0], 0.5f);
    QCOMPARE(four.meshPoints[2], 2.0 / 3.0);
}

void TestFmt3dl::meshPointsNotNumbers()
{
    // Fields that are not wholly numbers count as 0; points that are all 0 stay 0 (no division).
    Read_LUTFile m;
    QVERIFY(readLut(m, file("mp.3dl", "0 x 512 1024 5y\n" + repeatLine(125, "0.5 0.5 0.5\n")), id3dl).ok);
    QCOMPARE(m.lut3DSize, 5);
    QCOMPARE(m.meshPoints[1], 0.0);
    QCOMPARE(m.meshPoints[2], 0.5);
    QCOMPARE(m.meshPoints[4], 0.0);

    Read_LUTFile zeros;
    QVERIFY(readLut(zeros, file("mp0.3dl", "0 0\n" + repeatLine(8, "1 1 1\n")), id3dl).ok);
    QCOMPARE(zeros.meshPoints[0], 0.0);
    QCOMPARE(zeros.meshPoints[1], 0.0);
}

void TestFmt3dl::headerOnly()
{
    Read_LUTFile m;
    const auto r = readLut(m, file("ho.3dl", "3DMESH\nMesh 4 12\n" + numberLine(17, 64) + "1 2 3\n"), id3dl, true);
    QVERIFY2(r.ok, qPrintable(r.error));
    QCOMPARE(m.lut3DSize, 17);
    QVERIFY(!m.lut3D);
    for (int c = 0; c < 3; ++c)
        QCOMPARE(m.domainMax3D[c], 1.0f);

    Read_LUTFile five;
    QVERIFY(readLut(five, file("ho33.3dl", "Mesh 5 16\n"), id3dl, true).ok);
    QCOMPARE(five.lut3DSize, 33);
    QVERIFY(!five.lut3D);

    Read_LUTFile none;
    QVERIFY(!readLut(none, file("ho-none.3dl", "# nothing\n1 2 3\n"), id3dl, true).ok);
}

void TestFmt3dl::lastNodeRule_data()
{
    QTest::addColumn<int>("samples");
    QTest::addColumn<bool>("ok");
    QTest::newRow("all 8") << 8 << true;
    QTest::newRow("last node missing") << 7 << true;
    QTest::newRow("two nodes missing") << 6 << false;
}

void TestFmt3dl::lastNodeRule()
{
    QFETCH(int, samples);
    QFETCH(bool, ok);
    Read_LUTFile m;
    const auto r = readLut(m, file("last.3dl", "Mesh 0 12\n" + repeatLine(samples, "4095 2048 0\n")), id3dl);
    QCOMPARE(r.ok, ok);
    QCOMPARE(m.domainMax3D[0], 1.0f);
    if (ok) {
        QCOMPARE(m.lut3D[1][1][0][1], 2048.0f / 4095.0f);
        QCOMPARE(m.lut3D[1][1][1][0], samples == 8 ? 1.0f : 0.0f);
    } else {
        QCOMPARE(r.error, QStringLiteral("line 7: the lattice ends after 6 of 8 samples"));
    }
}

void TestFmt3dl::lineEndsAndBom()
{
    QByteArray crlf = goodSample;
    crlf.replace("\n", "\r\n");
    QByteArray cr = goodSample;
    cr.replace("\n", "\r");
    for (const QByteArray &text : {"\xEF\xBB\xBF" + crlf, cr, QByteArray(goodSample).replace(" ", " \t ")}) {
        Read_LUTFile m;
        const auto r = readLut(m, file("ends.3dl", text), id3dl);
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(m.lut3D[1][0][1][0], 1.0f);
        QCOMPARE(m.lut3D[1][0][1][1], 0.0f);
        QCOMPARE(m.gamma, 2.2);
    }
}

void TestFmt3dl::damaged_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("reason");
    QTest::newRow("Mesh without numbers") << withLine(goodSample, 3, "Mesh x y") << "line 3: Mesh line has no numbers";
    QTest::newRow("Mesh with a tab") << withLine(goodSample, 3, "Mesh\t0 10") << "line 3: Mesh line has no numbers";
    QTest::newRow("Mesh with one number") << withLine(goodSample, 3, "Mesh 0") << "line 3: Mesh line needs two numbers";
    QTest::newRow("Mesh lattice beyond limit") << withLine(goodSample, 3, "Mesh 8 10") << "line 3: Mesh lattice exponent 8 is outside 0 to 7";
    QTest::newRow("Mesh lattice negative") << withLine(goodSample, 3, "Mesh -1 10") << "line 3: Mesh lattice exponent -1 is outside 0 to 7";
    QTest::newRow("Mesh depth 0: no range") << withLine(goodSample, 3, "Mesh 0 0") << "line 3: Mesh sample depth 0 is outside 1 to 30";
    QTest::newRow("Mesh depth 40") << withLine(goodSample, 3, "Mesh 0 40") << "line 3: Mesh sample depth 40 is outside 1 to 30";
    QTest::newRow("gamma without number") << withLine(goodSample, 15, "gamma x") << "line 15: gamma line has no number";
    QTest::newRow("257 mesh points") << withLine(goodSample, 4, numberLine(257, 1).trimmed()) << "line 4: 257 mesh points; a lattice has at most 256";
    QTest::newRow("no size") << withLine(goodSample, 4, QByteArray()).replace("Mesh 0 10\n", "")
                             << "no Mesh line and no mesh-point line: the lattice size is unknown";
    QTest::newRow("truncated") << withLine(goodSample, 13, QByteArray()).replace("1023 1023 0\n", "")
                               << "line 13: the lattice ends after 6 of 8 samples";
    QTest::newRow("129 points in a tiny file") << withLine(goodSample, 3, "Mesh 7 10") << "line 15: the lattice ends after 8 of 2146689 samples";
    QTest::newRow("256 mesh points in a tiny file") << withLine(goodSample, 4, numberLine(256, 4).trimmed()).replace("Mesh 0 10\n", "")
                                                    << "line 14: the lattice ends after 8 of 16777216 samples";
    QTest::newRow("empty file") << QByteArray() << "no Mesh line and no mesh-point line: the lattice size is unknown";
    QTest::newRow("binary garbage") << bytes("\x00\x01\xff\xfe\x80garbage\x00\n\x7f\x10")
                                    << "no Mesh line and no mesh-point line: the lattice size is unknown";
    QTest::newRow("garbage after the header") << bytes("Mesh 0 10\n\x01\xff\xfe \x80\x00 q\n\x7f\x10 1 x\n")
                                              << "line 3: the lattice ends after 0 of 8 samples";
    QTest::newRow("mesh-point lines only") << QByteArray("0 1\n0 1\n") << "line 2: the lattice ends after 0 of 8 samples";
}

void TestFmt3dl::damaged()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, reason);
    Read_LUTFile m;
    const auto r = readLut(m, file("damaged.3dl", text), id3dl);
    QVERIFY(!r.ok);
    QCOMPARE(r.error, reason);
    // Every refusal comes before the table is allocated.
    QVERIFY(!m.lut3D);
    QCOMPARE(m.domainMax3D[0], 1.0f);
}

void TestFmt3dl::realFiles()
{
    const QString corpus = QStringLiteral(LUTWRIGHT_CORPUS);
    // "3DMESH" / "Mesh 5 12": 33 points, 12-bit samples; "LUT8" is skipped, "gamma 1.0" kept.
    {
        Read_LUTFile m;
        m.gamma = 0.0;
        const auto r = readLut(m, corpus + "/lustre_33x33x33.3dl", id3dl);
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(m.lut3DSize, 33);
        QCOMPARE(m.gamma, 1.0);
        QCOMPARE(m.lut3D[0][0][0][0], 2.0f / 4095.0f);     // "2 4 4"
        QCOMPARE(m.lut3D[0][0][0][2], 4.0f / 4095.0f);
        QCOMPARE(m.lut3D[0][0][1][2], 71.0f / 4095.0f);    // "0 30 71": blue runs fastest
        QCOMPARE(m.lut3D[32][32][32][0], 3983.0f / 4095.0f);  // "3983 3894 3507"
        QCOMPARE(m.lut3D[32][32][32][2], 3507.0f / 4095.0f);
        QCOMPARE(m.domainMax3D[0], 1.0f);
    }
    // "Mesh 4 12" with 17 mesh points but only 369 of 4913 samples: refused, nothing allocated.
    {
        Read_LUTFile m;
        const auto r = readLut(m, corpus + "/error_truncated_file.3dl", id3dl);
        QVERIFY(!r.ok);
        QCOMPARE(r.error, QStringLiteral("line 375: the lattice ends after 369 of 4913 samples"));
        QVERIFY(!m.lut3D);
        QCOMPARE(m.meshPoints[1], 64.0 / 1023.0);
        // Its header alone is sound.
        Read_LUTFile h;
        QVERIFY(readLut(h, corpus + "/error_truncated_file.3dl", id3dl, true).ok);
        QCOMPARE(h.lut3DSize, 17);
    }
}

QTEST_GUILESS_MAIN(TestFmt3dl)
#include "tst_fmt_3dl.moc"
