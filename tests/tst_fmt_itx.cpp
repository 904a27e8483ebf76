// .itx reader and writer, reached through ReadFile / WriteFile with format id 11.
#include <QTemporaryDir>
#include <QtTest>

#include "formats/registry.h"
#include "lut/read_lutfile.h"
#include "lut/write_lutfile.h"
#include "testutil.h"

namespace {

constexpr int itxId = int(Formats::Id::Itx);

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

    QString write(const QByteArray &text) { return TestUtil::writeTemp(dir, QStringLiteral("in.itx"), text); }

private slots:
    void ownOrderIsRedFastest() { TestUtil::checkOwnOrderSample(write(goodSample), itxId, true, false); }

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
        QVERIFY2(lut.ReadFile(TestUtil::side(itxId, write(text), true), false), qPrintable(lut.errorString));
        TestUtil::expectNode(lut, 0, 0, 0, 0.0f, 0.25f, 1.0f);
        TestUtil::expectNode(lut, 1, 0, 0, 0.5f, 0.25f, 1.0f);
        TestUtil::expectNode(lut, 0, 1, 0, 0.0f, 1.0f, 0.0f);
        TestUtil::expectNode(lut, 1, 1, 1, 1.0f, 1.0f, 1.0f);
    }

    void lastNodeMayBeMissing()
    {
        QByteArray text(goodSample);
        text.chop(int(qstrlen("0.6 0.7 0.55\n")));
        Read_LUTFile lut;
        QVERIFY2(lut.ReadFile(TestUtil::side(itxId, write(text), true), false), qPrintable(lut.errorString));
        TestUtil::expectNode(lut, 1, 1, 1, 0.0f, 0.0f, 0.0f);
        TestUtil::expectNode(lut, 0, 1, 1, 0.1f, 0.7f, 0.55f);
        QCOMPARE(lut.domainMax3D[2], 1.0f);
    }

    void damaged_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("reason");
        const QByteArray good(goodSample);
        auto variant = [&good](const char *from, const char *to) { return QByteArray(good).replace(from, to); };
        const QByteArray truncated = good.left(good.indexOf("0.1 0.7 0.55"));
        const QByteArray cut = good.left(good.indexOf("0.1 0.2 0.55") + 5);   // "0.1 0" ends the file

        QTest::newRow("empty file") << QByteArray() << "no LUT_3D_SIZE line";
        QTest::newRow("no size line") << good.mid(good.indexOf("0.1")) << "no LUT_3D_SIZE line";
        QTest::newRow("keyword in lower case") << variant("LUT_3D_SIZE", "lut_3d_size") << "no LUT_3D_SIZE line";
        QTest::newRow("keyword in a comment") << variant("LUT_3D_SIZE", "# LUT_3D_SIZE") << "no LUT_3D_SIZE line";
        QTest::newRow("size without number") << variant("SIZE 2", "SIZE two") << "line 2: LUT_3D_SIZE has no number";
        QTest::newRow("size 0") << variant("SIZE 2", "SIZE 0") << "line 2: 3D size 0 is outside 1 to 256";
        QTest::newRow("negative size") << variant("SIZE 2", "SIZE -2") << "line 2: 3D size -2 is outside 1 to 256";
        QTest::newRow("size beyond the limit") << variant("SIZE 2", "SIZE 257")
                                               << "line 2: 3D size 257 is outside 1 to 256";
        QTest::newRow("size beyond int") << variant("SIZE 2", "SIZE 4294967298")
                                         << "line 2: 3D size 4294967298 is outside 1 to 256";
        const QByteArray huge = variant("SIZE 2", "SIZE 256");
        QTest::newRow("huge size in a tiny file") << huge
                                                  << QString("line 2: 16777216 nodes cannot fit in a file of %1 bytes")
                                                         .arg(huge.size());
        QTest::newRow("only node missing") << QByteArray("LUT_3D_SIZE 1\n# none\n")
                                           << "line 2: the lattice ends after 0 of 1 samples";
        QTest::newRow("two nodes missing") << truncated << "line 8: the lattice ends after 6 of 8 samples";
        QTest::newRow("cut inside a line") << cut << "line 7: the lattice ends after 5 of 8 samples";
        QTest::newRow("binary garbage") << TestUtil::binaryGarbage() << "no LUT_3D_SIZE line";
        QTest::newRow("garbage after the header") << QByteArray("LUT_3D_SIZE 2\n") + TestUtil::garbageLine()
                                                  << "line 2: the lattice ends after 0 of 8 samples";
    }

    void damaged()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, reason);
        const QString path = write(text);
        TestUtil::expectFailure(path, itxId, reason);
        for (int parts = 2; parts <= 3; ++parts)
            TestUtil::compareReadInParts(TestUtil::side(itxId, path), parts);
    }

    void corpusFile()
    {
        // Red-fastest nodes of 0 and 2: clamped to the nominal range, the identity.
        Read_LUTFile lut;
        QVERIFY2(lut.ReadFile(TestUtil::side(itxId, QStringLiteral(LUTWRIGHT_CORPUS "/iridas_3d.itx"), true), false),
                 qPrintable(lut.errorString));
        QCOMPARE(lut.lut3DSize, 2);
        for (int r = 0; r < 2; ++r)
            for (int g = 0; g < 2; ++g)
                for (int b = 0; b < 2; ++b)
                    TestUtil::expectNode(lut, r, g, b, r, g, b);
    }

    void writerText()
    {
        Read_LUTFile lut;
        TestUtil::fillSteps(lut);
        const QString path = dir.filePath(QStringLiteral("out.itx"));
        Write_LUTFile w;
        // A scale asks for integers, which this format does not carry.
        QVERIFY(w.WriteFile(TestUtil::side(itxId, path, true, false, true, 1023), lut));
        const QList<QByteArray> expected = {
            "LUT_3D_SIZE 2",
            "0.000000 0.000000 0.000000",
            "1.000000 0.000000 0.000000",
            "0.000000 0.500000 0.000000",
            "1.000000 0.500000 0.000000",
            "0.000000 0.000000 0.250000",
            "1.000000 0.000000 0.250000",
            "0.000000 0.500000 0.250000",
            "1.000000 0.500000 0.250000",
        };
        QCOMPARE(TestUtil::lines(TestUtil::readFile(path)), expected);
    }
};

QTEST_GUILESS_MAIN(TestFmtItx)
#include "tst_fmt_itx.moc"
