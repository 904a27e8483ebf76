#include <QTemporaryDir>
#include <QtTest>

#include "formats/registry.h"
#include "lut/read_lutfile.h"
#include "testutil.h"

namespace {

constexpr int cspId = int(Formats::Id::Csp);

using TestUtil::exactText;
using TestUtil::identityValue;
using TestUtil::latticeLines;
using TestUtil::rampValue;

QByteArray identityLines(int n)
{
    return latticeLines(n, identityValue);
}

// The 2-point sample: size line on line 17, samples from line 18.
QByteArray csp3D(const QByteArray &out = "0.0 1.0", const QByteArray &size = "2 2 2", const QByteArray &samples = identityLines(2))
{
    const QByteArray channel = "2\n0.0 1.0\n" + out + "\n";
    return "CSPLUTV100\n3D\n\nBEGIN METADATA\nEND METADATA\n\n" + channel + channel + channel + "\n" + size + "\n" + samples;
}

QByteArray csp1D(const QByteArray &out, const QByteArray &size, const QByteArray &samples)
{
    const QByteArray channel = "2\n0.0 1.0\n" + out + "\n";
    return "CSPLUTV100\n1D\n\nBEGIN METADATA\nEND METADATA\n\n" + channel + channel + channel + "\n" + size + "\n" + samples;
}

const QByteArray entries1D = "0 0.25 0.5\n0.5 0.5 0.5\n1 0.75 0.5\n2 1 0\n";

}

class TestFmtCsp : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    QString put(const QByteArray &bytes) { return TestUtil::writeTemp(dir, QStringLiteral("t.csp"), bytes); }

private slots:
    void identity2()
    {
        Read_LUTFile lut;
        QVERIFY2(lut.ReadFile(TestUtil::side(cspId, put(csp3D())), false), qPrintable(lut.errorString));
        TestUtil::compareCleanRead(lut, true, false);
        TestUtil::compareLattice(lut, 2, identityValue);
        QCOMPARE(lut.lut1DSize, 0);
    }

    // The ends of the pre-LUT's output list bound the samples, scale them, and stay as the
    // lattice's input domain.
    void preLutRange_data()
    {
        QTest::addColumn<QByteArray>("out");
        QTest::addColumn<QByteArray>("sample");
        QTest::addColumn<float>("stored");
        QTest::addColumn<float>("min");
        QTest::addColumn<float>("max");
        QTest::newRow("0 to 2, 1 halves") << QByteArray("0.0 2.0") << QByteArray("1") << 0.5f << 0.0f << 2.0f;
        QTest::newRow("0 to 2, 3 clamps") << QByteArray("0.0 2.0") << QByteArray("3") << 1.0f << 0.0f << 2.0f;
        QTest::newRow("0.5 to 1, 0.2 clamps up") << QByteArray("0.5 1.0") << QByteArray("0.2") << 1.0f << 0.5f << 1.0f;
        QTest::newRow("0.5 to 1, 0.5") << QByteArray("0.5 1.0") << QByteArray("0.5") << 1.0f << 0.5f << 1.0f;
        QTest::newRow("0.5 to 1, 1 doubles") << QByteArray("0.5 1.0") << QByteArray("1.0") << 2.0f << 0.5f << 1.0f;
        QTest::newRow("long list, ends used") << QByteArray("0.0 0.25 3.0 1.5") << QByteArray("0.75") << 0.5f << 0.0f << 1.5f;
    }
    void preLutRange()
    {
        QFETCH(QByteArray, out);
        QFETCH(QByteArray, sample);
        QFETCH(float, stored);
        QFETCH(float, min);
        QFETCH(float, max);
        QByteArray samples;
        for (int i = 0; i < 8; ++i)
            samples += sample + " " + sample + " " + sample + "\n";
        Read_LUTFile lut;
        QVERIFY2(lut.ReadFile(TestUtil::side(cspId, put(csp3D(out, "2 2 2", samples))), false), qPrintable(lut.errorString));
        for (int i = 0; i < 8; ++i)
            for (int ch = 0; ch < 3; ++ch)
                QCOMPARE(lut.lut3D[i & 1][(i >> 1) & 1][i >> 2][ch], stored);
        for (int ch = 0; ch < 3; ++ch) {
            QCOMPARE(lut.domainMin3D[ch], min);
            QCOMPARE(lut.domainMax3D[ch], max);
        }
    }

    // A file laid out as tools write it: metadata, long pre-LUTs that differ per channel,
    // CRLF, tabs, blank lines, a 7-point lattice.
    void lattice7()
    {
        const int n = 7;
        QByteArray file = "  CSPLUTV100  \r\n3D\r\n\r\nBEGIN METADATA\r\n\"graded look\"\r\nsource camera A\r\nEND METADATA\r\n\r\n";
        for (int ch = 0; ch < 3; ++ch) {
            QByteArray in, out;
            for (int p = 0; p <= 10; ++p) {
                in += exactText(p / 10.0f * (ch + 1)) + " ";
                out += exactText(p / 10.0f) + "\t";
            }
            file += "11\r\n" + in + "\r\n" + out + "\r\n\r\n";
        }
        file += "7 7 7\r\n\r\n" + latticeLines(n, rampValue, "\t", "  \r\n");
        Read_LUTFile lut;
        QVERIFY2(lut.ReadFile(TestUtil::side(cspId, put(file)), false), qPrintable(lut.errorString));
        TestUtil::compareLattice(lut, n, rampValue);
    }

    // The caller's orders: blue-fastest nodes, samples B G R.
    void callerOrders()
    {
        const int n = 3;
        QByteArray samples;
        for (int r = 0; r < n; ++r)
            for (int g = 0; g < n; ++g)
                for (int b = 0; b < n; ++b)
                    samples += exactText(rampValue(r, g, b, 2, n)) + " " + exactText(rampValue(r, g, b, 1, n)) + " "
                               + exactText(rampValue(r, g, b, 0, n)) + "\n";
        Read_LUTFile lut;
        QVERIFY2(lut.ReadFile(TestUtil::side(cspId, put(csp3D("0.0 1.0", "3 3 3", samples)), false, false, true), false), qPrintable(lut.errorString));
        TestUtil::compareLattice(lut, n, rampValue);
    }

    // 1D files: the format's orders store each entry reversed; the caller's RGB orders do not.
    void table1D_data()
    {
        QTest::addColumn<bool>("defaultOrder");
        QTest::addColumn<bool>("reversed");
        QTest::newRow("format's orders") << true << true;
        QTest::newRow("caller's RGB orders") << false << false;
    }
    void table1D()
    {
        QFETCH(bool, defaultOrder);
        QFETCH(bool, reversed);
        const QString path = put(csp1D("0.0 2.0", "4", entries1D));
        Read_LUTFile lut;
        QVERIFY2(lut.ReadFile(TestUtil::side(cspId, path, defaultOrder, true, true), false), qPrintable(lut.errorString));
        QCOMPARE(lut.lut1DSize, 4);
        QCOMPARE(lut.lut3DSize, 0);
        const float expected[4][3] = {{0, 0.125f, 0.25f}, {0.25f, 0.25f, 0.25f}, {0.5f, 0.375f, 0.25f}, {1, 0.5f, 0}};
        for (int i = 0; i < 4; ++i)
            for (int ch = 0; ch < 3; ++ch)
                QCOMPARE(lut.lut1D[i][ch], expected[i][reversed ? 2 - ch : ch]);
        for (int ch = 0; ch < 3; ++ch) {
            QCOMPARE(lut.domainMin1D[ch], 0.0f);
            QCOMPARE(lut.domainMax1D[ch], 1.0f);
        }
    }

    void headerOnly()
    {
        Read_LUTFile lut;
        QVERIFY2(lut.ReadFile(TestUtil::side(cspId, put(csp3D("0.0 2.0", "2 2 2", "damaged\n"))), true), qPrintable(lut.errorString));
        QCOMPARE(lut.lut3DSize, 2);
        QVERIFY(lut.lut3D == nullptr);
        QCOMPARE(lut.domainMax3D[1], 2.0f);
    }

    // A file one sample short reads, the missing node left zero; the domain stays.
    void lastSampleMissing()
    {
        QByteArray samples = latticeLines(2, [](int r, int g, int b, int ch, int n) { return 2.0f * identityValue(r, g, b, ch, n); });
        samples.chop(QByteArray("2 2 2\n").size());
        Read_LUTFile lut;
        QVERIFY2(lut.ReadFile(TestUtil::side(cspId, put(csp3D("0.0 2.0", "2 2 2", samples))), false), qPrintable(lut.errorString));
        QCOMPARE(lut.lut3D[0][1][1][2], 1.0f);
        QCOMPARE(lut.lut3D[1][1][1][0], 0.0f);
        QCOMPARE(lut.domainMax3D[0], 2.0f);
    }

    // The corpus file has no metadata block, which this format requires; given one, it reads
    // with its samples above 1 clamped to the pre-LUT's end.
    void corpusArbitrary()
    {
        const QString path = QStringLiteral(LUTWRIGHT_CORPUS "/lut3d_arbitrary.csp");
        Read_LUTFile lut;
        QVERIFY(!lut.ReadFile(TestUtil::side(cspId, path), false));
        QCOMPARE(lut.errorString, QStringLiteral("no \"BEGIN METADATA\" line"));
        QVERIFY(lut.lut3D == nullptr);

        QByteArray text = TestUtil::readFile(path);
        QVERIFY(text.startsWith("CSPLUTV100\n3D\n"));
        text.insert(14, "BEGIN METADATA\nEND METADATA\n");
        Read_LUTFile fixed;
        QVERIFY2(fixed.ReadFile(TestUtil::side(cspId, put(text)), false), qPrintable(fixed.errorString));
        TestUtil::compareLattice(fixed, 2, [](int r, int g, int b, int ch, int) { return (ch == 0 ? r : ch == 1 ? g : b) ? 1.0f : 0.1f; });
    }

    // Damaged variants of the good sample, each with the reason it must give.
    void damaged_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("reason");
        const QByteArray good = csp3D();
        auto with = [&good](const char *from, const char *to) { return QByteArray(good).replace(from, to); };
        QTest::newRow("wrong version") << with("CSPLUTV100", "CSPLUTV200") << "line 1: the first line is not \"CSPLUTV100\"";
        QTest::newRow("blank first line") << "\n" + good << "line 1: the first line is not \"CSPLUTV100\"";
        QTest::newRow("empty file") << QByteArray() << "line 1: the first line is not \"CSPLUTV100\"";
        QTest::newRow("kind 2D") << with("\n3D\n", "\n2D\n") << "line 2: the second line is neither \"3D\" nor \"1D\"";
        QTest::newRow("no metadata") << with("BEGIN METADATA\nEND METADATA\n", "") << "no \"BEGIN METADATA\" line";
        QTest::newRow("metadata open") << with("END METADATA\n", "") << "line 4: \"BEGIN METADATA\" has no \"END METADATA\" after it";
        QTest::newRow("pre-LUT ends") << good.left(good.indexOf("0.0 1.0\n2\n0.0 1.0\n0.0 1.0\n\n2 2 2"))
                                      << "line 11: the file ends in the pre-LUT after 1 of 3 channels";
        QTest::newRow("zero-width pre-LUT") << csp3D("0.5 0.5")
                                            << "line 9: pre-LUT channel 0 runs from 0.5 to 0.5: its upper end must be above its lower end";
        QTest::newRow("reversed pre-LUT") << csp3D("1.0 0.0")
                                          << "line 9: pre-LUT channel 0 runs from 1 to 0: its upper end must be above its lower end";
        QTest::newRow("pre-LUT end not a number") << csp3D("0.0 one")
                                                  << "line 9: pre-LUT channel 0 runs from 0 to 0: its upper end must be above its lower end";
        QTest::newRow("unequal sizes") << csp3D("0.0 1.0", "17 17 33") << "line 17: lattice sizes 17 17 33 are not equal";
        QTest::newRow("size too large") << csp3D("0.0 1.0", "300 300 300") << "line 17: 3D size 300 is outside 1 to 256";
        QTest::newRow("size zero") << csp3D("0.0 1.0", "0 0 0") << "line 17: 3D size 0 is outside 1 to 256";
        QTest::newRow("size not numbers") << csp3D("0.0 1.0", "a b c") << "line 17: the size line \"a b c\" is not three whole numbers";
        QTest::newRow("no size line") << csp3D("0.0 1.0", "", "") << "line 17: no lattice size line after the pre-LUT";
        QTest::newRow("samples end early") << csp3D("0.0 1.0", "2 2 2", identityLines(2).left(36))
                                           << "line 23: the lattice ends after 6 of 8 samples";
        QTest::newRow("1D size too large") << csp1D("0.0 1.0", "2000000", entries1D) << "line 17: 1D size 2000000 is outside 1 to 1048576";
        QTest::newRow("1D size not a number") << csp1D("0.0 1.0", "four", entries1D) << "line 17: the size line \"four\" is not a whole number";
        QTest::newRow("1D samples end early") << csp1D("0.0 1.0", "6", entries1D) << "line 21: the 1D table ends after 4 of 6 entries";
    }
    void damaged()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, reason);
        Read_LUTFile lut;
        const QString path = put(file);
        QVERIFY(!lut.ReadFile(TestUtil::side(cspId, path), false));
        QCOMPARE(lut.errorString, reason);
        for (int parts = 2; parts <= 3; ++parts)
            TestUtil::compareReadInParts(TestUtil::side(cspId, path), parts);
    }
};

QTEST_GUILESS_MAIN(TestFmtCsp)
#include "tst_fmt_csp.moc"
