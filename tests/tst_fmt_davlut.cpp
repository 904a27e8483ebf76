// .davlut reading and writing: the size line, the order flags, clamping, short lines, skipped
// lines, short and damaged files, the writer's exact text and round trips in every
// combination of the order flags.
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

constexpr int idDavLut = int(Formats::Id::DavLut);

// A 2-point identity lattice; the line numbers matter to the damage table.
const QByteArray goodSample =
    "# Authors: someone\n"  // 1
    "\n"                    // 2
    "3DLUTSIZE 2\n"         // 3
    "0 0 0\n"               // 4: r=0 g=0 b=0
    "0 0 1\n"               // 5: r=0 g=0 b=1
    "0 1 0\n"               // 6
    "0 1 1\n"               // 7
    "1 0 0\n"               // 8
    "1 0 1\n"               // 9
    "1 1 0\n"               // 10
    "1 1 1\n";              // 11

}

class TestFmtDavLut : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }
    void identity_data();
    void identity();
    void writerText();
    void clampAndShortLines();
    void skippedLines();
    void lastNodeRule_data();
    void lastNodeRule();
    void damaged_data();
    void damaged();

private:
    QString file(const QString &name, const QByteArray &text) { return TestUtil::writeTemp(dir, name, text); }
    QTemporaryDir dir;
};

void TestFmtDavLut::identity_data()
{
    TestUtil::addOrderRows();
}

void TestFmtDavLut::identity()
{
    QFETCH(bool, defaultOrder);
    QFETCH(bool, dataRGB);
    QFETCH(bool, tableRGB);
    Read_LUTFile m;
    const auto r = readLut(m, file("id.davlut", goodSample), idDavLut, false, defaultOrder, dataRGB, tableRGB);
    QVERIFY2(r.ok, qPrintable(r.error));
    QCOMPARE(m.lut3DSize, 2);
    const bool rgb = defaultOrder || dataRGB;
    const bool blueFastest = defaultOrder || tableRGB;
    QCOMPARE(m.dataOrderRGB, rgb);
    QCOMPARE(m.tableOrderRGB, blueFastest);
    // Line (a, b, c) lands at node [a][b][c] with blue fastest, [c][b][a] with red fastest,
    // and holds (a, b, c) or, read as B G R, (c, b, a).
    for (int a = 0; a < 2; ++a)
        for (int b = 0; b < 2; ++b)
            for (int c = 0; c < 2; ++c) {
                const float *node = blueFastest ? m.lut3D[a][b][c] : m.lut3D[c][b][a];
                QCOMPARE(node[0], float(rgb ? a : c));
                QCOMPARE(node[1], float(b));
                QCOMPARE(node[2], float(rgb ? c : a));
            }
}

void TestFmtDavLut::writerText()
{
    Read_LUTFile m;
    QVERIFY(m.setSize3D(2, false));
    for (int r = 0; r < 2; ++r)
        for (int g = 0; g < 2; ++g)
            for (int b = 0; b < 2; ++b) {
                m.lut3D[r][g][b][0] = r;
                m.lut3D[r][g][b][1] = g * 0.501961f;
                m.lut3D[r][g][b][2] = b;
            }
    m.lut3D[0][0][0][0] = -0.25f;
    const QByteArray expected = "# Authors: tamsori\n\n3DLUTSIZE 2\n"
                                "-0.250000 0.000000 0.000000\n"
                                "0.000000 0.000000 1.000000\n"
                                "0.000000 0.501961 0.000000\n"
                                "0.000000 0.501961 1.000000\n"
                                "1.000000 0.000000 0.000000\n"
                                "1.000000 0.000000 1.000000\n"
                                "1.000000 0.501961 0.000000\n"
                                "1.000000 0.501961 1.000000\n";
    // The format's own order, and floats whatever integer scale is asked for.
    const QString path = dir.filePath("id.davlut");
    for (qint64 scale : {qint64(1), qint64(255), qint64(65535)}) {
        QVERIFY(writeLut(m, path, idDavLut, true, false, false, scale));
        QCOMPARE(TestUtil::readText(path), expected);
    }
    Read_LUTFile empty;
    QVERIFY(writeLut(empty, path, idDavLut, true, true, true));
    QCOMPARE(TestUtil::readText(path), QByteArray("# Authors: tamsori\n\n3DLUTSIZE 0\n"));
}

void TestFmtDavLut::clampAndShortLines()
{
    // Values above 1 are stored as 1, negative ones as 0; a line of one number keeps the second
    // and third numbers of the line before (0 for the first node).
    const QByteArray text = "3DLUTSIZE 2\n0.5\n1.5 -0.2 0.25\n0.75\n0.1 0.2 junk\n" + repeatLine(4, "0 0 0\n");
    Read_LUTFile m;
    const auto r = readLut(m, file("clamp.davlut", text), idDavLut);
    QVERIFY2(r.ok, qPrintable(r.error));
    QCOMPARE(m.lut3D[0][0][0][0], 0.5f);
    QCOMPARE(m.lut3D[0][0][0][1], 0.0f);
    QCOMPARE(m.lut3D[0][0][1][0], 1.0f);
    QCOMPARE(m.lut3D[0][0][1][1], 0.0f);
    QCOMPARE(m.lut3D[0][0][1][2], 0.25f);
    QCOMPARE(m.lut3D[0][1][0][0], 0.75f);
    QCOMPARE(m.lut3D[0][1][0][2], 0.25f);
    QCOMPARE(m.lut3D[0][1][1][1], 0.2f);
    QCOMPARE(m.lut3D[0][1][1][2], 0.25f);
}

void TestFmtDavLut::skippedLines()
{
    // Before the size line only the size counts; after it comments, blank lines and lines
    // without a leading number are skipped without using up a node.
    const QByteArray text = "TITLE x\n0.9 0.9 0.9\n# c\n3DLUTSIZE 2\n0 0 0\n# mid\n\nred green blue\n0 0 1\n"
                            "0 1 0\n0 1 1\n1 0 0\n1 0 1\n1 1 0\n1 1 1\n1 1 1\n";
    Read_LUTFile m;
    const auto r = readLut(m, file("skip.davlut", text), idDavLut);
    QVERIFY2(r.ok, qPrintable(r.error));
    QCOMPARE(m.lut3D[0][0][0][0], 0.0f);
    QCOMPARE(m.lut3D[0][0][1][2], 1.0f);
    QCOMPARE(m.lut3D[1][1][0][1], 1.0f);
    QCOMPARE(m.lut3D[1][1][0][2], 0.0f);

    // CR LF line ends and a byte-order mark read the same.
    Read_LUTFile crlf;
    QVERIFY(readLut(crlf, file("crlf.davlut", "\xEF\xBB\xBF" + QByteArray(goodSample).replace("\n", "\r\n")), idDavLut).ok);
    QCOMPARE(crlf.lut3D[1][0][1][2], 1.0f);
    QCOMPARE(crlf.lut3D[1][0][1][1], 0.0f);
}

void TestFmtDavLut::lastNodeRule_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("reason");
    QTest::newRow("last node missing") << withLine(goodSample, 11, QByteArray()) << QString();
    QTest::newRow("two nodes missing") << withLine(goodSample, 11, QByteArray()).replace("1 1 0\n", "")
                                       << "line 9: the lattice ends after 6 of 8 samples";
    QTest::newRow("one-point lattice without its sample") << QByteArray("3DLUTSIZE 1\n# none\n")
                                                          << "line 2: the lattice ends after 0 of 1 samples";
}

void TestFmtDavLut::lastNodeRule()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, reason);
    Read_LUTFile m;
    const auto r = readLut(m, file("last.davlut", text), idDavLut);
    QCOMPARE(r.ok, reason.isEmpty());
    QCOMPARE(r.error, reason);
    if (r.ok) {
        QCOMPARE(m.lut3D[1][1][0][1], 1.0f);
        QCOMPARE(m.lut3D[1][1][1][1], 0.0f);
    }
}

void TestFmtDavLut::damaged_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("reason");
    QTest::newRow("no size line") << withLine(goodSample, 3, "LUT_3D_SIZE 2") << "no 3DLUTSIZE line";
    QTest::newRow("lower-case size line") << withLine(goodSample, 3, "3dlutsize 2") << "no 3DLUTSIZE line";
    QTest::newRow("size without number") << withLine(goodSample, 3, "3DLUTSIZE") << "line 3: 3DLUTSIZE has no number";
    QTest::newRow("size not a number") << withLine(goodSample, 3, "3DLUTSIZE two") << "line 3: 3DLUTSIZE has no number";
    QTest::newRow("size 0") << withLine(goodSample, 3, "3DLUTSIZE 0") << "line 3: 3D size 0 is outside 1 to 256";
    QTest::newRow("size negative") << withLine(goodSample, 3, "3DLUTSIZE -2") << "line 3: 3D size -2 is outside 1 to 256";
    QTest::newRow("size beyond limit") << withLine(goodSample, 3, "3DLUTSIZE 257") << "line 3: 3D size 257 is outside 1 to 256";
    QTest::newRow("size beyond int") << withLine(goodSample, 3, "3DLUTSIZE 4294967298")
                                     << "line 3: 3D size 4294967298 is outside 1 to 256";
    const QByteArray huge = withLine(goodSample, 3, "3DLUTSIZE 256");
    QTest::newRow("largest lattice in a tiny file") << huge
                                                    << QString("line 3: 16777216 nodes cannot fit in a file of %1 bytes").arg(huge.size());
    QTest::newRow("truncated") << withLine(goodSample, 4, QByteArray()).replace("0 0 1\n", "") << "line 9: the lattice ends after 6 of 8 samples";
    QTest::newRow("empty file") << QByteArray() << "no 3DLUTSIZE line";
    QTest::newRow("binary garbage") << bytes("\x00\x01\xff\xfe\x80garbage\x00\n3DLUTSIZE\x10\x7f") << "line 2: 3DLUTSIZE has no number";
    QTest::newRow("garbage samples") << bytes("3DLUTSIZE 2\n\x01\xff\xfe \x80\x00 q 1\n\x7f\x10 1 x\n")
                                     << "line 3: the lattice ends after 0 of 8 samples";
}

void TestFmtDavLut::damaged()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, reason);
    Read_LUTFile m;
    const QString path = file("damaged.davlut", text);
    const auto r = readLut(m, path, idDavLut);
    QVERIFY(!r.ok);
    QCOMPARE(r.error, reason);
    for (int parts = 2; parts <= 3; ++parts)
        TestUtil::compareReadInParts(TestUtil::side(idDavLut, path), parts);
    if (!reason.contains("ends after"))
        QVERIFY(!m.lut3D);
}

QTEST_GUILESS_MAIN(TestFmtDavLut)
#include "tst_fmt_davlut.moc"
