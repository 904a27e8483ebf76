// .itx reader and writer, reached through ReadFile / WriteFile with format id 11.
#include <QTemporaryDir>
#include <QtTest>

#include "lut/read_lutfile.h"
#include "lut/write_lutfile.h"
#include "testutil.h"

namespace {

constexpr int itxId = 11;

// Eight nodes, red index fastest; node (r, g, b) holds (0.1 + r/2, 0.2 + g/2, 0.3 + b/4).
const char goodSample[] =
    "# made by hand\n"
    "LUT_3D_SIZE 2\n"
    "0.1 0.2 0.3\n"
    "0.6 0.2 0.3\n"
    "0.1 0.7 0.3\n"
    "0.6 0.7 0.3\n"
    "0.1 0.2 0.55\n"
    "0.6 0.2 0.55\n"
    "0.1 0.7 0.55\n"
    "0.6 0.7 0.55\n";

}

class TestFmtItx : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;

    QString write(const QByteArray &text, const char *name = "in.itx")
    {
        const QString path = dir.filePath(QString::fromLatin1(name));
        if (!TestUtil::writeFile(path, text))
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    static void expectNode(const Read_LUTFile &lut, int r, int g, int b, float x, float y, float z)
    {
        const float *v = lut.lut3D[r][g][b];
        QVERIFY2(qAbs(v[0] - x) < 1e-6f && qAbs(v[1] - y) < 1e-6f && qAbs(v[2] - z) < 1e-6f,
                 qPrintable(QStringLiteral("node (%1, %2, %3) holds (%4, %5, %6)")
                                .arg(r).arg(g).arg(b).arg(double(v[0])).arg(double(v[1])).arg(double(v[2]))));
    }

private slots:
    void ownOrderIsRedFastest()
    {
        Read_LUTFile lut;
        QVERIFY2(lut.ReadFile(TestUtil::side(write(goodSample), itxId, true, false, true), false),
                 qPrintable(lut.errorString));
        QCOMPARE(lut.lut3DSize, 2);
        QCOMPARE(lut.dataOrderRGB, true);
        QCOMPARE(lut.tableOrderRGB, false);
        for (int r = 0; r < 2; ++r)
            for (int g = 0; g < 2; ++g)
                for (int b = 0; b < 2; ++b)
                    expectNode(lut, r, g, b, 0.1f + r * 0.5f, 0.2f + g * 0.5f, 0.3f + b * 0.25f);
        QCOMPARE(lut.domainMax3D[0], 1.0f);
    }

    void explicitOrders_data()
    {
        QTest::addColumn<bool>("dataRGB");
        QTest::addColumn<bool>("tableRGB");
        QTest::addColumn<int>("blue");     // node index the second line lands on, blue axis
        QTest::addColumn<int>("red");
        QTest::addColumn<float>("first");  // element 0 of that node
        QTest::newRow("RGB, red slowest") << true << true << 1 << 0 << 0.6f;
        QTest::newRow("BGR, red slowest") << false << true << 1 << 0 << 0.3f;
        QTest::newRow("RGB, red fastest") << true << false << 0 << 1 << 0.6f;
        QTest::newRow("BGR, red fastest") << false << false << 0 << 1 << 0.3f;
    }

    void explicitOrders()
    {
        QFETCH(bool, dataRGB);
        QFETCH(bool, tableRGB);
        QFETCH(int, blue);
        QFETCH(int, red);
        QFETCH(float, first);
        Read_LUTFile lut;
        QVERIFY(lut.ReadFile(TestUtil::side(write(goodSample), itxId, false, dataRGB, tableRGB), false));
        QCOMPARE(lut.lut3D[red][0][blue][0], first);
        QCOMPARE(lut.lut3D[red][0][blue][1], 0.2f);
    }

    void lenientLines()
    {
        // Text before the size line is ignored; comments, blank and non-numeric lines among
        // the nodes do not count; a short line keeps the previous line's later values;
        // values are clamped to 0..1; lines after the last node are not read.
        const QByteArray text =
            "title: anything\n"
            "1 2 3\n"
            "LUT_3D_SIZE 2 points\n"
            "\n"
            "-0.5 0.25 2\n"
            "# between\n"
            "0.5\n"
            "   \n"
            "x 1 1\n"
            "0 1 0\n1 1 0\n0 0 1\n1 0 1\n0 1 1\n1 1 1\n"
            "this is not read\n";
        Read_LUTFile lut;
        QVERIFY2(lut.ReadFile(TestUtil::side(write(text), itxId, true), false), qPrintable(lut.errorString));
        expectNode(lut, 0, 0, 0, 0.0f, 0.25f, 1.0f);
        expectNode(lut, 1, 0, 0, 0.5f, 0.25f, 1.0f);
        expectNode(lut, 0, 1, 0, 0.0f, 1.0f, 0.0f);
        expectNode(lut, 1, 1, 1, 1.0f, 1.0f, 1.0f);
    }

    void lastNodeMayBeMissing()
    {
        QByteArray text(goodSample);
        text.chop(int(qstrlen("0.6 0.7 0.55\n")));
        Read_LUTFile lut;
        QVERIFY2(lut.ReadFile(TestUtil::side(write(text), itxId, true), false), qPrintable(lut.errorString));
        expectNode(lut, 1, 1, 1, 0.0f, 0.0f, 0.0f);
        expectNode(lut, 0, 1, 1, 0.1f, 0.7f, 0.55f);
        QCOMPARE(lut.domainMax3D[2], 1.0f);
    }

    void headerOnly()
    {
        Read_LUTFile lut;
        QVERIFY(lut.ReadFile(TestUtil::side(write("LUT_3D_SIZE 33\n"), itxId, true), true));
        QCOMPARE(lut.lut3DSize, 33);
        QVERIFY(!lut.lut3D);
    }

    void damaged_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("reason");
        const QByteArray good(goodSample);
        QByteArray noNumber = good;
        noNumber.replace("LUT_3D_SIZE 2", "LUT_3D_SIZE two");
        QByteArray zero = good;
        zero.replace("LUT_3D_SIZE 2", "LUT_3D_SIZE 0");
        QByteArray negative = good;
        negative.replace("LUT_3D_SIZE 2", "LUT_3D_SIZE -2");
        QByteArray tooLarge = good;
        tooLarge.replace("LUT_3D_SIZE 2", "LUT_3D_SIZE 257");
        QByteArray huge = good;
        huge.replace("LUT_3D_SIZE 2", "LUT_3D_SIZE 256");
        QByteArray lowercase = good;
        lowercase.replace("LUT_3D_SIZE", "lut_3d_size");
        QByteArray indented = good;
        indented.replace("LUT_3D_SIZE", "# LUT_3D_SIZE");
        const QByteArray truncated = good.left(good.indexOf("0.1 0.7 0.55"));
        const QByteArray cut = good.left(good.indexOf("0.1 0.2 0.55") + 5);   // "0.1 0" ends the file

        // Bytes that never make a number or a line end.
        QByteArray garbage;
        for (int i = 0; i < 4096; ++i) {
            char ch = char((i * 97 + 13) & 0xff);
            if (ch == '\n' || ch == '\r' || (ch >= '0' && ch <= '9') || strchr("+-.iInN", ch))
                ch = '\0';
            garbage.append(ch);
        }

        QTest::newRow("empty file") << QByteArray() << "no LUT_3D_SIZE line";
        QTest::newRow("no size line") << good.mid(good.indexOf("0.1")) << "no LUT_3D_SIZE line";
        QTest::newRow("keyword in lower case") << lowercase << "no LUT_3D_SIZE line";
        QTest::newRow("keyword in a comment") << indented << "no LUT_3D_SIZE line";
        QTest::newRow("size without number") << noNumber << "line 2: LUT_3D_SIZE has no number";
        QTest::newRow("size 0") << zero << "line 2: 3D size 0 is outside 1 to 256";
        QTest::newRow("negative size") << negative << "line 2: 3D size -2 is outside 1 to 256";
        QTest::newRow("size beyond the limit") << tooLarge << "line 2: 3D size 257 is outside 1 to 256";
        QTest::newRow("huge size in a tiny file") << huge << "line 10: the lattice ends after 8 of 16777216 samples";
        QTest::newRow("two nodes missing") << truncated << "line 8: the lattice ends after 6 of 8 samples";
        QTest::newRow("cut inside a line") << cut << "line 7: the lattice ends after 5 of 8 samples";
        QTest::newRow("binary garbage") << garbage << "no LUT_3D_SIZE line";
        QTest::newRow("garbage after the header") << QByteArray("LUT_3D_SIZE 2\n") + garbage
                                                  << "line 2: the lattice ends after 0 of 8 samples";
    }

    void damaged()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, reason);
        Read_LUTFile lut;
        QVERIFY(!lut.ReadFile(TestUtil::side(write(text), itxId, true), false));
        QCOMPARE(lut.errorString, reason);
    }

    void corpusFile()
    {
        // Red-fastest nodes of 0 and 2: clamped to the nominal range, the identity.
        Read_LUTFile lut;
        QVERIFY2(lut.ReadFile(TestUtil::side(QStringLiteral(LUTWRIGHT_CORPUS "/iridas_3d.itx"), itxId, true), false),
                 qPrintable(lut.errorString));
        QCOMPARE(lut.lut3DSize, 2);
        for (int r = 0; r < 2; ++r)
            for (int g = 0; g < 2; ++g)
                for (int b = 0; b < 2; ++b)
                    expectNode(lut, r, g, b, r, g, b);
    }

    void writerText()
    {
        Read_LUTFile lut;
        lut.lut3DSize = 2;
        Read_LUTFile::Data3DCalloc(&lut.lut3D, 2);
        for (int r = 0; r < 2; ++r)
            for (int g = 0; g < 2; ++g)
                for (int b = 0; b < 2; ++b) {
                    lut.lut3D[r][g][b][0] = r;
                    lut.lut3D[r][g][b][1] = g * 0.5f;
                    lut.lut3D[r][g][b][2] = b * -0.25f;
                }
        const QString path = dir.filePath(QStringLiteral("out.itx"));
        Write_LUTFile w;
        // A scale asks for integers, which this format does not carry.
        QVERIFY(w.WriteFile(TestUtil::side(path, itxId, true, false, true, 1023), lut));
        const QList<QByteArray> expected = {
            "LUT_3D_SIZE 2",
            "0.000000 0.000000 0.000000",
            "1.000000 0.000000 0.000000",
            "0.000000 0.500000 0.000000",
            "1.000000 0.500000 0.000000",
            "0.000000 0.000000 -0.250000",
            "1.000000 0.000000 -0.250000",
            "0.000000 0.500000 -0.250000",
            "1.000000 0.500000 -0.250000",
        };
        QCOMPARE(TestUtil::lines(TestUtil::readFile(path)), expected);
    }

    void roundTrip_data() { TestUtil::addOrderRows(); }

    void roundTrip()
    {
        QFETCH(bool, writeDefault);
        QFETCH(bool, writeData);
        QFETCH(bool, writeTable);
        QFETCH(bool, readDefault);
        QFETCH(bool, readData);
        QFETCH(bool, readTable);
        Read_LUTFile original;
        TestUtil::fillLattice(original, 5);
        const QString path = dir.filePath(QStringLiteral("trip.itx"));
        Write_LUTFile w;
        QVERIFY(w.WriteFile(TestUtil::side(path, itxId, writeDefault, writeData, writeTable), original));
        Read_LUTFile back;
        QVERIFY2(back.ReadFile(TestUtil::side(path, itxId, readDefault, readData, readTable), false),
                 qPrintable(back.errorString));
        // The format's own order is RGB with red fastest on both sides.
        const bool wt = writeDefault ? false : writeTable, wd = writeDefault ? true : writeData;
        const bool rt = readDefault ? false : readTable, rd = readDefault ? true : readData;
        const QString diff = TestUtil::compareLattice(back, original, wt != rt, wd != rd);
        QVERIFY2(diff.isEmpty(), qPrintable(diff));
    }

    void unwritablePath()
    {
        Read_LUTFile lut;
        TestUtil::fillLattice(lut, 2);
        Write_LUTFile w;
        QVERIFY(!w.WriteFile(TestUtil::side(dir.filePath(QStringLiteral("no/such/dir/x.itx")), itxId, true), lut));
        QVERIFY(!w.errorString.isEmpty());
        Read_LUTFile r;
        QVERIFY(!r.ReadFile(TestUtil::side(dir.filePath(QStringLiteral("missing.itx")), itxId, true), false));
        QVERIFY(!r.errorString.isEmpty());
        QCOMPARE(r.lut3DSize, 0);
    }
};

QTEST_GUILESS_MAIN(TestFmtItx)
#include "tst_fmt_itx.moc"
