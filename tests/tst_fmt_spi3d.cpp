// .spi3d reader and writer, reached through ReadFile / WriteFile with format id 13.
#include <QTemporaryDir>
#include <QtTest>

#include "formats/registry.h"
#include "lut/read_lutfile.h"
#include "lut/write_lutfile.h"
#include "testutil.h"

namespace {

constexpr int spi3dId = int(Formats::Id::Spi3D);

// A 2-point lattice listed out of order; node (r, g, b) holds (0.1 + r/2, 0.2 + g/2, 0.3 + b/4).
const char goodSample[] =
    "SPILUT 1.0\n"
    "3 3\n"
    "2 2 2\n"
    "1 1 1 0.6 0.7 0.55\n"
    "0 0 0 0.1 0.2 0.3\n"
    "0 0 1 0.1 0.2 0.55\n"
    "0 1 0 0.1 0.7 0.3\n"
    "\n"
    "0 1 1 0.1 0.7 0.55\n"
    "1 0 0 0.6 0.2 0.3\n"
    "1 0 1 0.6 0.2 0.55\n"
    "1 1 0 0.6 0.7 0.3\n";

}

class TestFmtSpi3d : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;

    QString write(const QByteArray &text) { return TestUtil::writeTemp(dir, QStringLiteral("in.spi3d"), text); }

private slots:
    void linesNameTheirNodes() { TestUtil::checkOwnOrderSample(write(goodSample), spi3dId, true, true); }

    void lenientLines()
    {
        // Lines before the signature are ignored; non-numeric lines are skipped; a short line
        // keeps the previous line's later fields; values are clamped; unnamed nodes stay
        // zero; a node named twice keeps the later line.
        const QByteArray text =
            "a note before the signature\n"
            "SPILUT 1.0 anything\n"
            "\n"
            "channels follow\n"
            "3 3\n"
            "4 4 4\n"
            "1 2 3 0.5 1.2 -0.1\n"
            "# comment\n"
            "3 3 3 0.25\n"
            "2 2 2 0.1 0.1 0.1\n"
            "2 2 2 0.9 0.8 0.7\n";
        Read_LUTFile lut;
        QVERIFY2(lut.ReadFile(TestUtil::side(spi3dId, write(text), true), false), qPrintable(lut.errorString));
        QCOMPARE(lut.lut3DSize, 4);
        TestUtil::expectNode(lut, 1, 2, 3, 0.5f, 1.0f, 0.0f);
        TestUtil::expectNode(lut, 3, 3, 3, 0.25f, 1.0f, 0.0f);
        TestUtil::expectNode(lut, 2, 2, 2, 0.9f, 0.8f, 0.7f);
        TestUtil::expectNode(lut, 0, 0, 0, 0.0f, 0.0f, 0.0f);
        TestUtil::expectNode(lut, 3, 2, 1, 0.0f, 0.0f, 0.0f);
        QCOMPARE(lut.domainMax3D[1], 1.0f);
    }

    void largeLatticeFewLines()
    {
        // Every line names its node, so a lattice that names only some nodes is complete.
        Read_LUTFile lut;
        QVERIFY(lut.ReadFile(TestUtil::side(spi3dId, write("SPILUT 1.0\n3 3\n256 256 256\n255 0 7 0.5 0.25 1\n"), true),
                             false));
        QCOMPARE(lut.lut3DSize, 256);
        TestUtil::expectNode(lut, 255, 0, 7, 0.5f, 0.25f, 1.0f);
        TestUtil::expectNode(lut, 7, 0, 255, 0.0f, 0.0f, 0.0f);
    }

    void damaged_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("reason");
        const QByteArray good(goodSample);
        auto variant = [&good](const char *from, const char *to) { return QByteArray(good).replace(from, to); };

        QTest::newRow("empty file") << QByteArray() << "no SPILUT line";
        QTest::newRow("no signature") << variant("SPILUT 1.0\n", "") << "no SPILUT line";
        QTest::newRow("signature in lower case") << variant("SPILUT", "spilut") << "no SPILUT line";
        QTest::newRow("binary garbage") << TestUtil::binaryGarbage() << "no SPILUT line";
        QTest::newRow("nothing after the signature") << QByteArray("SPILUT 1.0\n\n")
                                                     << "no channel count line after SPILUT";
        QTest::newRow("no size line") << QByteArray("SPILUT 1.0\n3 3\nno numbers\n") << "no lattice size line";
        QTest::newRow("channel counts differ") << variant("3 3\n", "3 1\n") << "line 2: channel counts 3 and 1 differ";
        QTest::newRow("one channel count") << variant("3 3\n", "3\n") << "line 2: channel counts 3 and 0 differ";
        QTest::newRow("sizes differ") << variant("2 2 2\n", "32 32 16\n") << "line 3: lattice sizes 32, 32 and 16 differ";
        QTest::newRow("one size") << variant("2 2 2\n", "33\n") << "line 3: lattice sizes 33, 0 and 0 differ";
        QTest::newRow("size 0") << variant("2 2 2\n", "0 0 0\n") << "line 3: 3D size 0 is outside 1 to 256";
        QTest::newRow("negative size") << variant("2 2 2\n", "-2 -2 -2\n") << "line 3: 3D size -2 is outside 1 to 256";
        QTest::newRow("size beyond the limit") << variant("2 2 2\n", "257 257 257\n")
                                               << "line 3: 3D size 257 is outside 1 to 256";
        QTest::newRow("no node lines") << QByteArray("SPILUT 1.0\n3 3\n2 2 2\n# none\n\n")
                                       << "line 5: no node lines after the lattice size";
        QTest::newRow("size beyond int") << variant("2 2 2\n", "4294967298 4294967298 4294967298\n")
                                         << "line 3: 3D size 4294967298 is outside 1 to 256";
        QTest::newRow("index beyond int") << variant("1 1 1 0.6", "4294967296 1 1 0.6")
                                          << "line 4: node (4294967296, 1, 1) is outside the 2-point lattice";
        QTest::newRow("index equal to the size") << variant("1 0 1 0.6", "1 0 2 0.6")
                                                 << "line 11: node (1, 0, 2) is outside the 2-point lattice";
        QTest::newRow("negative index") << variant("0 1 0 0.1", "0 -1 0 0.1")
                                        << "line 7: node (0, -1, 0) is outside the 2-point lattice";
        QTest::newRow("huge index") << variant("1 1 1 0.6", "100000 1 1 0.6")
                                    << "line 4: node (100000, 1, 1) is outside the 2-point lattice";
        // A short line keeps the later fields of the line before: green and blue 1 here.
        QTest::newRow("short line outside") << variant("0 0 0 0.1 0.2 0.3\n", "5\n")
                                            << "line 5: node (5, 1, 1) is outside the 2-point lattice";
    }

    void damaged()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, reason);
        TestUtil::expectFailure(write(text), spi3dId, reason);
    }

    void corpusFile()
    {
        // 27 nodes in blocks separated by blank lines, values beyond 0..1 clamped, no line end
        // after the last line.
        Read_LUTFile lut;
        QVERIFY2(lut.ReadFile(TestUtil::side(spi3dId, QStringLiteral(LUTWRIGHT_CORPUS "/lut3d_bizarre.spi3d"), true),
                              false),
                 qPrintable(lut.errorString));
        QCOMPARE(lut.lut3DSize, 3);
        TestUtil::expectNode(lut, 0, 0, 0, 0.0f, 0.004887586f, 0.073313783f);
        TestUtil::expectNode(lut, 0, 2, 1, 0.0f, 1.0f, 0.097751711f);
        TestUtil::expectNode(lut, 1, 1, 1, 0.3714565f, 0.391006843f, 0.391006843f);
        TestUtil::expectNode(lut, 1, 2, 0, 0.518084066f, 1.0f, 0.0f);
        TestUtil::expectNode(lut, 2, 0, 0, 1.0f, 0.0f, 0.0f);
        TestUtil::expectNode(lut, 2, 2, 2, 1.0f, 0.879765396f, 1.0f);
    }

    void writerText()
    {
        Read_LUTFile lut;
        TestUtil::fillSteps(lut);
        const QString path = dir.filePath(QStringLiteral("out.spi3d"));
        Write_LUTFile w;
        QVERIFY(w.WriteFile(TestUtil::side(spi3dId, path, true, false, false, 1023), lut));
        const QList<QByteArray> expected = {
            "SPILUT 1.0",
            "3 3",
            "2 2 2",
            "0 0 0 0.000000 0.000000 0.000000",
            "0 0 1 0.000000 0.000000 0.250000",
            "0 1 0 0.000000 0.500000 0.000000",
            "0 1 1 0.000000 0.500000 0.250000",
            "1 0 0 1.000000 0.000000 0.000000",
            "1 0 1 1.000000 0.000000 0.250000",
            "1 1 0 1.000000 0.500000 0.000000",
            "1 1 1 1.000000 0.500000 0.250000",
        };
        QCOMPARE(TestUtil::lines(TestUtil::readFile(path)), expected);
    }
};

QTEST_GUILESS_MAIN(TestFmtSpi3d)
#include "tst_fmt_spi3d.moc"
