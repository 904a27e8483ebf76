// .cube reading and writing: header keywords, domains, the integer variant, the trailing 1D
// table, short files, damaged files, real files from other tools, and round trips in every
// combination of the order flags.
#include <QtTest>

#include <random>

#include "formats/registry.h"
#include "lut/read_lutfile.h"
#include "lut/write_lutfile.h"
#include "testutil.h"

namespace {

// A lattice of 6-decimal values, indexed [r][g][b][c].
struct Grid {
    int n;
    std::vector<float> v;
    float &at(int r, int g, int b, int c) { return v[((std::size_t(r) * n + g) * n + b) * 3 + c]; }
};

Grid randomGrid(int n, unsigned seed)
{
    Grid g{n, std::vector<float>(std::size_t(n) * n * n * 3)};
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> d(0, 1000000);
    for (float &x : g.v)
        x = QByteArray::number(d(rng) / 1e6, 'f', 6).toFloat();
    return g;
}

// The lines of a lattice in the given orders, as another tool would print them.
QByteArray latticeText(Grid &g, bool dataRGB, bool tableRGB)
{
    QByteArray out;
    char line[96];
    for (int o = 0; o < g.n; ++o)
        for (int m = 0; m < g.n; ++m)
            for (int i = 0; i < g.n; ++i) {
                const int r = tableRGB ? o : i, b = tableRGB ? i : o;
                const float c0 = g.at(r, m, b, dataRGB ? 0 : 2), c2 = g.at(r, m, b, dataRGB ? 2 : 0);
                std::snprintf(line, sizeof line, "%8.6f %8.6f %8.6f\n", double(c0), double(g.at(r, m, b, 1)), double(c2));
                out += line;
            }
    return out;
}

struct Read {
    bool ok;
    QString error;
};

Read readCube(Read_LUTFile &m, const QString &path, bool headerOnly = false, bool defaultOrder = true,
              bool dataRGB = true, bool tableRGB = false)
{
    LUTFILE_ST f;
    f.path = path;
    f.formatId = int(Formats::Id::Cube);
    f.defaultOrder = defaultOrder;
    f.dataOrderRGB = dataRGB;
    f.tableOrderRGB = tableRGB;
    const bool ok = m.ReadFile(f, headerOnly);
    return Read{ok, m.errorString};
}

bool writeCube(Read_LUTFile &m, const QString &path, bool dataRGB, bool tableRGB, qint64 scale = 1, QString *error = nullptr)
{
    Write_LUTFile w;
    LUTFILE_ST f;
    f.path = path;
    f.formatId = int(Formats::Id::Cube);
    f.defaultOrder = true;   // .cube has no orders of its own: the flags are used as given
    f.dataOrderRGB = dataRGB;
    f.tableOrderRGB = tableRGB;
    f.scale = scale;
    const bool ok = w.WriteFile(f, m);
    if (error)
        *error = w.errorString;
    return ok;
}

QByteArray nodeLines(int count, const char *line)
{
    QByteArray out;
    for (int i = 0; i < count; ++i)
        out += line;
    return out;
}

}

class TestCube : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }
    void roundTrip_data();
    void roundTrip();
    void writerDefaultsBgrRedFastest();
    void writerIntegerScale();
    void writerEmptyModel();
    void writerUnwritablePath();
    void clampAndDomains();
    void domainMinSingleNumber();
    void integerMeshVariant();
    void trailing1DTable();
    void sizeFromLineCount();
    void shortLineKeepsPreviousChannels();
    void headerOnly();
    void lastNodeRule_data();
    void lastNodeRule();
    void damaged_data();
    void damaged();
    void realFiles();

private:
    QString file(const QString &name, const QByteArray &text)
    {
        const QString p = dir.filePath(name);
        TestUtil::writeFile(p, text);
        return p;
    }
    QTemporaryDir dir;
};

void TestCube::roundTrip_data()
{
    QTest::addColumn<bool>("dataRGB");
    QTest::addColumn<bool>("tableRGB");
    QTest::newRow("RGB, red fastest") << true << false;
    QTest::newRow("RGB, blue fastest") << true << true;
    QTest::newRow("BGR, red fastest") << false << false;
    QTest::newRow("BGR, blue fastest") << false << true;
}

void TestCube::roundTrip()
{
    QFETCH(bool, dataRGB);
    QFETCH(bool, tableRGB);
    Grid g = randomGrid(5, 7);
    const QByteArray body = latticeText(g, dataRGB, tableRGB);
    const QString in = file("rt.cube", "# made by a test\nTITLE \"round trip\"\nLUT_3D_SIZE 5\n\n" + body);

    Read_LUTFile m;
    const Read r = readCube(m, in, false, false, dataRGB, tableRGB);
    QVERIFY2(r.ok, qPrintable(r.error));
    QCOMPARE(m.lut3DSize, 5);
    for (int a = 0; a < 5; ++a)
        for (int b = 0; b < 5; ++b)
            for (int c = 0; c < 5; ++c)
                for (int ch = 0; ch < 3; ++ch)
                    QCOMPARE(m.lut3D[a][b][c][ch], g.at(a, b, c, ch));

    const QString out = dir.filePath("rt-out.cube");
    QVERIFY(writeCube(m, out, dataRGB, tableRGB));
    QCOMPARE(TestUtil::readText(out), "TITLE \nLUT_3D_SIZE 5\n" + body);
}

void TestCube::writerDefaultsBgrRedFastest()
{
    Read_LUTFile m;
    QVERIFY(m.setSize3D(2, false));
    for (int r = 0; r < 2; ++r)
        for (int g = 0; g < 2; ++g)
            for (int b = 0; b < 2; ++b) {
                m.lut3D[r][g][b][0] = r * 0.5f;
                m.lut3D[r][g][b][1] = g * 0.25f;
                m.lut3D[r][g][b][2] = b * 1.0f;
            }
    const QString out = dir.filePath("bgr.cube");
    QVERIFY(writeCube(m, out, false, false));
    const QList<QByteArray> lines = TestUtil::readText(out).split('\n');
    QCOMPARE(lines.size(), 2 + 8 + 1);
    QCOMPARE(lines[2], QByteArray("0.000000 0.000000 0.000000"));
    QCOMPARE(lines[3], QByteArray("0.000000 0.000000 0.500000"));   // red index runs fastest, B G R
    QCOMPARE(lines[4], QByteArray("0.000000 0.250000 0.000000"));
    QCOMPARE(lines[6], QByteArray("1.000000 0.000000 0.000000"));
    QCOMPARE(lines[9], QByteArray("1.000000 0.250000 0.500000"));
    QCOMPARE(lines[10], QByteArray());
}

void TestCube::writerIntegerScale()
{
    Read_LUTFile m;
    QVERIFY(m.setSize3D(2, false));
    m.lut3D[1][1][1][0] = 0.5f;
    m.lut3D[1][1][1][1] = 0.25f;
    m.lut3D[1][1][1][2] = 1.0f;
    m.lut3D[0][0][0][0] = -0.25f;
    const QString out = dir.filePath("int.cube");
    QVERIFY(writeCube(m, out, true, true, 1023));
    const QList<QByteArray> lines = TestUtil::readText(out).split('\n');
    QCOMPARE(lines[2], QByteArray("-255 0 0 "));
    QCOMPARE(lines[9], QByteArray("511 255 1023 "));
}

void TestCube::writerEmptyModel()
{
    Read_LUTFile m;
    const QString out = dir.filePath("empty.cube");
    QVERIFY(writeCube(m, out, true, false));
    QCOMPARE(TestUtil::readText(out), QByteArray("TITLE \nLUT_3D_SIZE 0\n"));
}

void TestCube::writerUnwritablePath()
{
    Read_LUTFile m;
    QVERIFY(m.setSize3D(2, false));
    QString error;
    QVERIFY(!writeCube(m, dir.filePath("no/such/folder/x.cube"), true, false, 1, &error));
    QVERIFY(error.contains("x.cube"));
}

void TestCube::clampAndDomains()
{
    // Default domain: 1.2 is stored as 1.0 and -0.05 as 0.0.
    {
        const QString p = file("clamp.cube", "LUT_3D_SIZE 2\n1.2 -0.05 0.5\n" + nodeLines(7, "0 0 0\n"));
        Read_LUTFile m;
        QVERIFY(readCube(m, p).ok);
        QCOMPARE(m.lut3D[0][0][0][0], 1.0f);
        QCOMPARE(m.lut3D[0][0][0][1], 0.0f);
        QCOMPARE(m.lut3D[0][0][0][2], 0.5f);
    }
    // DOMAIN_MAX 2 2 2: clamped to 0..2 and halved; the upper end is 1 again afterwards.
    {
        const QString p = file("dmax.cube", "DOMAIN_MAX 2 2 2\nLUT_3D_SIZE 2\n3 1 0.5\n" + nodeLines(7, "0 0 0\n"));
        Read_LUTFile m;
        QVERIFY(readCube(m, p).ok);
        QCOMPARE(m.lut3D[0][0][0][0], 1.0f);
        QCOMPARE(m.lut3D[0][0][0][1], 0.5f);
        QCOMPARE(m.lut3D[0][0][0][2], 0.25f);
        for (int c = 0; c < 3; ++c)
            QCOMPARE(m.domainMax3D[c], 1.0f);
    }
}

void TestCube::domainMinSingleNumber()
{
    const QString p = file("dmin.cube", "LUT_3D_SIZE 2\nDOMAIN_MIN 0.1\n" + nodeLines(8, "0.5 0.5 0.5\n"));
    Read_LUTFile m;
    QVERIFY(readCube(m, p).ok);
    QCOMPARE(m.domainMin3D[0], 0.1f);
    QCOMPARE(m.domainMin3D[1], 0.0f);
    QCOMPARE(m.domainMin3D[2], 0.0f);
    // Divided by the width 0.9, not shifted.
    QCOMPARE(m.lut3D[1][1][1][0], 0.5f / 0.9f);
}

void TestCube::integerMeshVariant()
{
    const QString p = file("mesh.cube", "Mesh 0 10\nLUT_3D_SIZE 2\n1023 512 0\n1024 2048\n" + nodeLines(6, "1024 2048 1\n"));
    Read_LUTFile m;
    const Read r = readCube(m, p);
    QVERIFY2(r.ok, qPrintable(r.error));
    QVERIFY(m.intData);
    QCOMPARE(m.intScale, 1024);
    QCOMPARE(m.lut3D[0][0][0][0], 1023.0f / 1024.0f);
    QCOMPARE(m.lut3D[0][0][0][1], 0.5f);
    QCOMPARE(m.lut3D[1][0][0][0], 1.0f);   // clamped to the default domain
    QCOMPARE(m.lut3D[1][0][0][2], 0.0f);   // a short line keeps the previous sample's channel
    QCOMPARE(m.lut3D[0][1][0][2], 1.0f / 1024.0f);
}

void TestCube::trailing1DTable()
{
    const QByteArray text = "LUT_1D_SIZE 3\nLUT_3D_SIZE 2\nLUT_1D_INPUT_RANGE 0 2\n" + nodeLines(8, "0.25 0.5 0.75\n")
        + "0 1 2\n1 2 3\n2 3 4\n";
    Read_LUTFile m;
    const Read r = readCube(m, file("1d3d.cube", text));
    QVERIFY2(r.ok, qPrintable(r.error));
    QCOMPARE(m.lut3DSize, 2);
    QCOMPARE(m.lut1DSize, 3);
    QCOMPARE(m.lut3D[1][0][1][2], 0.75f);
    // Clamped to 0..2, halved, and stored reversed (the format's orders make White1D reverse).
    QCOMPARE(m.lut1D[0][0], 1.0f);
    QCOMPARE(m.lut1D[0][1], 0.5f);
    QCOMPARE(m.lut1D[0][2], 0.0f);
    QCOMPARE(m.lut1D[2][0], 1.0f);
    QCOMPARE(m.lut1D[2][2], 1.0f);
    QCOMPARE(m.domainMin1D[0], 0.0f);
    QCOMPARE(m.domainMax1D[0], 1.0f);

    // A file with only a 1D table reads its lines as the 1D table.
    Read_LUTFile one;
    QVERIFY(readCube(one, file("1d.cube", "LUT_1D_SIZE 2\n0 0.5 1\n1 1 1\n")).ok);
    QCOMPARE(one.lut3DSize, 0);
    QVERIFY(!one.lut3D);
    QCOMPARE(one.lut1D[0][0], 1.0f);
}

void TestCube::sizeFromLineCount()
{
    // No size keyword: the lattice size is the cube root of the number of sample lines.
    Read_LUTFile m;
    const Read r = readCube(m, file("count.cube", "# no header\n" + nodeLines(27, "0.5 0.5 0.5\n")));
    QVERIFY2(r.ok, qPrintable(r.error));
    QCOMPARE(m.lut3DSize, 3);
    QCOMPARE(m.lut3D[2][2][2][1], 0.5f);

    Read_LUTFile big;
    QVERIFY(readCube(big, file("count17.cube", nodeLines(4913, "0.1 0.2 0.3\n"))).ok);
    QCOMPARE(big.lut3DSize, 17);
}

void TestCube::shortLineKeepsPreviousChannels()
{
    const QString p = file("short.cube", "LUT_3D_SIZE 2\n0.1 0.2 0.3\n0.9\n0.4 0.5 junk\n" + nodeLines(5, "0 0 0\n"));
    Read_LUTFile m;
    QVERIFY(readCube(m, p).ok);
    // Red fastest: the second line is node [1][0][0], the third [0][1][0].
    QCOMPARE(m.lut3D[1][0][0][0], 0.9f);
    QCOMPARE(m.lut3D[1][0][0][1], 0.2f);
    QCOMPARE(m.lut3D[1][0][0][2], 0.3f);
    QCOMPARE(m.lut3D[0][1][0][1], 0.5f);
    QCOMPARE(m.lut3D[0][1][0][2], 0.3f);
}

void TestCube::headerOnly()
{
    const QString p = file("ho.cube", "TITLE \"x\"\nDOMAIN_MIN 0.25 0 0\nLUT_3D_SIZE 17\n0 0 0\n");
    Read_LUTFile m;
    const Read r = readCube(m, p, true);
    QVERIFY2(r.ok, qPrintable(r.error));
    QCOMPARE(m.lut3DSize, 17);
    QVERIFY(!m.lut3D);
    QVERIFY(!m.lut1D);
    QCOMPARE(m.domainMin3D[0], 0.25f);

    // A header of a table beyond what the program holds is refused even without reading samples.
    Read_LUTFile huge;
    QVERIFY(!readCube(huge, file("huge.cube", "LUT_3D_SIZE 100000\n"), true).ok);
    QVERIFY(!huge.lut3D);
}

void TestCube::lastNodeRule_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("ok");
    QTest::newRow("3D, last node missing") << "LUT_3D_SIZE 2\n" + nodeLines(7, "0.5 0.5 0.5\n") << true;
    QTest::newRow("3D, two nodes missing") << "LUT_3D_SIZE 2\n" + nodeLines(6, "0.5 0.5 0.5\n") << false;
    QTest::newRow("1D, last entry missing") << "LUT_1D_SIZE 4\n" + nodeLines(3, "0.5 0.5 0.5\n") << true;
    // The lattice may lack its last node, but a declared 1D table that never comes is missing.
    QTest::newRow("3D short by one, 1D never comes") << "LUT_1D_SIZE 2\nLUT_3D_SIZE 2\n" + nodeLines(7, "0.5 0.5 0.5\n") << false;
    QTest::newRow("1D, two entries missing") << "LUT_1D_SIZE 4\n" + nodeLines(2, "0.5 0.5 0.5\n") << false;
}

void TestCube::lastNodeRule()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, ok);
    Read_LUTFile m;
    const Read r = readCube(m, file("last.cube", "DOMAIN_MAX 2 2 2\n" + text));
    QCOMPARE(r.ok, ok);
    if (ok) {
        if (m.lut3D)
            QCOMPARE(m.lut3D[1][1][1][0], 0.0f);
        else
            QCOMPARE(m.lut1D[3][0], 0.0f);
        QCOMPARE(m.domainMax3D[0], 1.0f);
    } else {
        QVERIFY(r.error.contains("ends after"));
    }
}

void TestCube::damaged_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("reason");
    const QByteArray eight = nodeLines(8, "0 0 0\n");
    QTest::newRow("size without number") << "TITLE \"a\"\nLUT_3D_SIZE\n" + eight << QByteArray("line 2: LUT_3D_SIZE has no number");
    QTest::newRow("size with tab") << "LUT_3D_SIZE\t2\n" + eight << QByteArray("line 1: LUT_3D_SIZE has no number");
    QTest::newRow("text after size") << "LUT_3D_SIZE 2 x\n" + eight << QByteArray("line 1: LUT_3D_SIZE has no number");
    QTest::newRow("size zero") << "\n\nLUT_3D_SIZE 0\n" + eight << QByteArray("line 3: LUT_3D_SIZE 0 is below 1");
    QTest::newRow("size negative") << QByteArray("LUT_3D_SIZE -5\n") << QByteArray("line 1: LUT_3D_SIZE -5 is below 1");
    QTest::newRow("size beyond limit") << QByteArray("LUT_3D_SIZE 257\n") << QByteArray("line 1: 3D size 257 is outside 1 to 256");
    QTest::newRow("size overflowing int") << QByteArray("LUT_3D_SIZE 99999999999\n") << QByteArray("line 1: LUT_3D_SIZE has no number");
    QTest::newRow("1D size zero") << QByteArray("LUT_1D_SIZE 0\n") << QByteArray("line 1: LUT_1D_SIZE 0 is below 1");
    QTest::newRow("1D size beyond limit") << QByteArray("LUT_1D_SIZE 2000000\n") << QByteArray("line 1: 1D size 2000000 is outside 1 to 1048576");
    QTest::newRow("empty file") << QByteArray() << QByteArray("no LUT_3D_SIZE, LUT_1D_SIZE or sample lines");
    QTest::newRow("only comments") << QByteArray("# a\n#b\n\n") << QByteArray("no LUT_3D_SIZE, LUT_1D_SIZE or sample lines");
    QTest::newRow("zero-width domain") << "DOMAIN_MIN 0 0 0\nDOMAIN_MAX 1 0 1\nLUT_3D_SIZE 2\n" + eight
                                        << QByteArray("line 2: the domain's upper end is not above its lower end");
    QTest::newRow("NaN domain") << "LUT_3D_SIZE 2\nDOMAIN_MAX nan 1 1\n" + eight
                                 << QByteArray("line 2: the domain's upper end is not above its lower end");
    QTest::newRow("zero-width 1D range") << QByteArray("LUT_1D_SIZE 2\nLUT_1D_INPUT_RANGE 1 1\n0 0 0\n0 0 0\n")
                                          << QByteArray("line 2: the domain's upper end is not above its lower end");
    QTest::newRow("truncated lattice") << "LUT_3D_SIZE 3\n" + eight << QByteArray("line 9: the lattice ends after 8 of 27 samples");
    QTest::newRow("mesh without bits") << "Mesh 4\nLUT_3D_SIZE 2\n" + eight << QByteArray("line 1: Mesh line needs two numbers");
    QTest::newRow("mesh bits too large") << "Mesh 4 40\nLUT_3D_SIZE 2\n" + eight << QByteArray("line 1: Mesh bit depth 40 is outside 0 to 30");
    QTest::newRow("binary garbage") << QByteArray("\x00\x01\xff\xfe\x80garbage\x00\n\x7f\x10", 16)
                                     << QByteArray("line 2: the lattice ends after 0 of 1 samples");
    QTest::newRow("one-point lattice without its sample") << QByteArray("LUT_3D_SIZE 1\n# none\n")
                                                           << QByteArray("line 2: the lattice ends after 0 of 1 samples");
}

void TestCube::damaged()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, reason);
    Read_LUTFile m;
    const QString path = file("damaged.cube", text);
    const Read r = readCube(m, path);
    QVERIFY(!r.ok);
    QCOMPARE(r.error.toUtf8(), reason);
    for (int parts = 2; parts <= 3; ++parts)
        TestUtil::compareReadInParts(TestUtil::side(0, path), parts);
}

void TestCube::realFiles()
{
    const QString corpus = QStringLiteral(LUTWRIGHT_CORPUS);
    // Domain lines: each sample is clamped to its channel's domain and divided by its width.
    {
        Read_LUTFile m;
        const Read r = readCube(m, corpus + "/iridas_3d.cube");
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(m.lut3DSize, 2);
        QCOMPARE(m.domainMin3D[1], 1.0f);
        QCOMPARE(m.domainMax3D[0], 1.0f);
        // Line 2 "2.0 0.0 0.0" is node [1][0][0]: R 2/2, G clamped up to 1, B 0.
        QCOMPARE(m.lut3D[1][0][0][0], 1.0f);
        QCOMPARE(m.lut3D[1][0][0][1], 1.0f);
        QCOMPARE(m.lut3D[1][0][0][2], 0.0f);
        // Line 3 "0.0 2.0 0.0": G is 2 within the domain 1..2, divided by the width 1.
        QCOMPARE(m.lut3D[0][1][0][1], 2.0f);
        QCOMPARE(m.lut3D[1][1][1][2], 1.0f);
    }
    // A 1D-only file: the domain lines belong to the 3D table, the 1D entries are clamped to
    // 0..1 and stored reversed by the format's orders.
    {
        Read_LUTFile m;
        const Read r = readCube(m, corpus + "/iridas_1d.cube");
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(m.lut3DSize, 0);
        QCOMPARE(m.lut1DSize, 5);
        QCOMPARE(m.lut1D[0][0], 0.0f);
        QCOMPARE(m.lut1D[1][0], 0.2f);
        QCOMPARE(m.lut1D[1][2], 0.0f);
        QCOMPARE(m.lut1D[4][0], 1.0f);
    }
    // 1D lines listed before the lattice: the first 27 sample lines are read as the lattice.
    {
        Read_LUTFile m;
        const Read r = readCube(m, corpus + "/resolve_1d3d.cube");
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(m.lut3DSize, 3);
        QCOMPARE(m.lut1DSize, 6);
        QCOMPARE(m.lut3D[0][0][0][0], 1.0f);   // "3.3 3.4 3.5", clamped
        QCOMPARE(m.lut3D[1][2][0][0], 0.5f);   // 8th sample line, "0.5 1.0 1.0", red fastest
        QCOMPARE(m.lut3D[1][2][0][1], 1.0f);
        QCOMPARE(m.domainMin1D[0], -1.0f);
    }
}

QTEST_GUILESS_MAIN(TestCube)
#include "tst_cube.moc"
