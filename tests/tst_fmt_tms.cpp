// .tms1d and .tms3d readers and writers, reached through ReadFile / WriteFile with format ids
// 15 and 16.
#include <QTemporaryDir>
#include <QtTest>

#include "formats/registry.h"
#include "lut/read_lutfile.h"
#include "lut/write_lutfile.h"
#include "testutil.h"

namespace {

constexpr int tms1dId = int(Formats::Id::Tms1D);
constexpr int tms3dId = int(Formats::Id::Tms3D);

const char good1D[] =
    "From 0.0 1.0\n"
    "Length 4\n"
    "0 0 0\n"
    "0.25 0.5 0.75\n"
    "0.5 0.625 1\n"
    "1 1 1\n";

// Node (r, g, b) holds (0.1 + r/2, 0.2 + g/2, 0.3 + b/4); blue index fastest.
const char good3D[] =
    "From 0.0 1.0\n"
    "Length 2\n"
    "0.1 0.2 0.3\n"
    "0.1 0.2 0.55\n"
    "0.1 0.7 0.3\n"
    "0.1 0.7 0.55\n"
    "0.6 0.2 0.3\n"
    "0.6 0.2 0.55\n"
    "0.6 0.7 0.3\n"
    "0.6 0.7 0.55\n";

}

class TestFmtTms : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;

    QString write(const QByteArray &text) { return TestUtil::writeTemp(dir, QStringLiteral("in.tms"), text); }

    static void expectEntry(const Read_LUTFile &lut, int e, float x, float y, float z)
    {
        TestUtil::expectTriple(lut.lut1D[e], x, y, z, QStringLiteral("entry %1").arg(e));
    }

private slots:
    // ---- .tms1d reader

    void read1D()
    {
        Read_LUTFile lut;
        QVERIFY2(lut.ReadFile(TestUtil::side(tms1dId, write(good1D), true, false, false), false),
                 qPrintable(lut.errorString));
        QCOMPARE(lut.lut1DSize, 4);
        QCOMPARE(lut.lut3DSize, 0);
        expectEntry(lut, 1, 0.25f, 0.5f, 0.75f);
        expectEntry(lut, 2, 0.5f, 0.625f, 1.0f);
        expectEntry(lut, 3, 1.0f, 1.0f, 1.0f);
    }

    void fromRange1D()
    {
        // The From range is also the range of the samples: clamped to it and divided by its
        // width. Blank and non-numeric lines are not samples.
        const QByteArray text =
            "a title\n"
            "From 0 1023\n"
            "\n"
            "Length 3\n"
            "1023 2000 -4\n"
            "\n"
            "# not a sample\n"
            "511.5 0 0\n"
            "0\n";
        Read_LUTFile lut;
        QVERIFY2(lut.ReadFile(TestUtil::side(tms1dId, write(text), true), false), qPrintable(lut.errorString));
        expectEntry(lut, 0, 1.0f, 1.0f, 0.0f);
        expectEntry(lut, 1, 0.5f, 0.0f, 0.0f);
        expectEntry(lut, 2, 0.0f, 0.0f, 0.0f);
        QCOMPARE(lut.domainMin1D[0], 0.0f);
        QCOMPARE(lut.domainMax1D[0], 1.0f);
    }

    void fromWithOneNumber()
    {
        // The upper end stays at 1 when the line does not give it.
        Read_LUTFile lut;
        QVERIFY(lut.ReadFile(TestUtil::side(tms1dId, write("From 0\nLength 2\n0.5 2 0\n1 1 1\n"), true), false));
        expectEntry(lut, 0, 0.5f, 1.0f, 0.0f);
        Read_LUTFile bad;
        QVERIFY(!bad.ReadFile(TestUtil::side(tms1dId, write("From 2\nLength 2\n0.5 2 0\n1 1 1\n"), true), false));
        QCOMPARE(bad.errorString, QStringLiteral("line 1: the From range 2 to 1 has no positive width"));
    }

    void headerOnly1D()
    {
        Read_LUTFile lut;
        QVERIFY(lut.ReadFile(TestUtil::side(tms1dId, write("From 0 4095\nLength 4096\n"), true), true));
        QCOMPARE(lut.lut1DSize, 4096);
        QCOMPARE(lut.domainMax1D[0], 4095.0f);
        QVERIFY(!lut.lut1D);
    }

    void damaged1D_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("reason");
        const QByteArray good(good1D);
        auto variant = [&good](const char *from, const char *to) { return QByteArray(good).replace(from, to); };

        QTest::newRow("empty file") << QByteArray() << "no Length line";
        QTest::newRow("no Length line") << variant("Length 4\n", "") << "no Length line";
        QTest::newRow("Length in lower case") << variant("Length", "length") << "no Length line";
        QTest::newRow("binary garbage") << TestUtil::binaryGarbage() << "no Length line";
        QTest::newRow("Length without number") << variant("Length 4", "Length four") << "line 2: Length has no number";
        QTest::newRow("Length 0") << variant("Length 4", "Length 0") << "line 2: 1D size 0 is outside 1 to 1048576";
        QTest::newRow("negative Length") << variant("Length 4", "Length -4")
                                         << "line 2: 1D size -4 is outside 1 to 1048576";
        QTest::newRow("Length beyond the limit") << variant("Length 4", "Length 1048577")
                                                 << "line 2: 1D size 1048577 is outside 1 to 1048576";
        QTest::newRow("Length beyond int") << variant("Length 4", "Length 4294967300")
                                           << "line 2: 1D size 4294967300 is outside 1 to 1048576";
        QTest::newRow("huge Length in a tiny file") << variant("Length 4", "Length 1048576")
                                                    << "line 6: only 4 sample lines for Length 1048576";
        QTest::newRow("one sample short") << good.left(good.lastIndexOf("1 1 1"))
                                          << "line 5: only 3 sample lines for Length 4";
        QTest::newRow("one sample too many") << good + "0.5 0.5 0.5\n\n1 1 1\n"
                                             << "line 7: more than Length 4 sample lines (6)";
        QTest::newRow("garbage samples") << QByteArray("From 0 1\nLength 2\n") + TestUtil::garbageLine()
                                         << "line 3: only 0 sample lines for Length 2";
        QTest::newRow("empty From range") << variant("From 0.0 1.0", "From 0.5 0.5")
                                          << "line 1: the From range 0.5 to 0.5 has no positive width";
        QTest::newRow("inverted From range") << variant("From 0.0 1.0", "From 1 0")
                                             << "line 1: the From range 1 to 0 has no positive width";
        QTest::newRow("From range with nan") << variant("From 0.0 1.0", "From nan 1")
                                             << "line 1: the From range nan to 1 has no positive width";
        QTest::newRow("unbounded From range") << variant("From 0.0 1.0", "From -3e38 3e38")
                                              << "line 1: the From range -3e+38 to 3e+38 has no positive width";
    }

    void damaged1D()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, reason);
        TestUtil::expectFailure(write(text), tms1dId, reason);
    }

    // ---- .tms3d reader

    void read3D() { TestUtil::checkOwnOrderSample(write(good3D), tms3dId, true, true); }

    void everyLineIsANode()
    {
        // A blank or non-numeric line uses up its node, which stays zero; samples are clamped
        // to the From range and divided by its width; lines after the last node are not read.
        const QByteArray text =
            "From 0 255\n"
            "Length 2\n"
            "255 0 300\n"
            "\n"
            "51 102 -1\n"
            "# no sample\n"
            "0 0 0\n0 0 0\n0 0 0\n"
            "127.5\n"
            "not read at all\n";
        Read_LUTFile lut;
        QVERIFY2(lut.ReadFile(TestUtil::side(tms3dId, write(text), true), false), qPrintable(lut.errorString));
        TestUtil::expectNode(lut, 0, 0, 0, 1.0f, 0.0f, 1.0f);
        TestUtil::expectNode(lut, 0, 0, 1, 0.0f, 0.0f, 0.0f);
        TestUtil::expectNode(lut, 0, 1, 0, 0.2f, 0.4f, 0.0f);
        TestUtil::expectNode(lut, 0, 1, 1, 0.0f, 0.0f, 0.0f);
        TestUtil::expectNode(lut, 1, 1, 1, 0.5f, 0.0f, 0.0f);
        QCOMPARE(lut.domainMax3D[0], 1.0f);
    }

    void shortFileAccepted()
    {
        QByteArray text("From 0.0 1.0\nLength 17\n");
        for (int line = 0; line < 100; ++line)
            text += "0.5 0.25 1\n";
        Read_LUTFile lut;
        QVERIFY2(lut.ReadFile(TestUtil::side(tms3dId, write(text), true), false), qPrintable(lut.errorString));
        QCOMPARE(lut.lut3DSize, 17);
        TestUtil::expectNode(lut, 0, 5, 14, 0.5f, 0.25f, 1.0f);   // node 99
        TestUtil::expectNode(lut, 0, 5, 15, 0.0f, 0.0f, 0.0f);    // node 100
        TestUtil::expectNode(lut, 16, 16, 16, 0.0f, 0.0f, 0.0f);
    }

    void headerOnly3D()
    {
        Read_LUTFile lut;
        QVERIFY(lut.ReadFile(TestUtil::side(tms3dId, write("# title\nLength 33\n"), true), true));
        QCOMPARE(lut.lut3DSize, 33);
        QVERIFY(!lut.lut3D);
    }

    void damaged3D_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("reason");
        const QByteArray good(good3D);
        auto variant = [&good](const char *from, const char *to) { return QByteArray(good).replace(from, to); };

        QTest::newRow("empty file") << QByteArray() << "no Length line";
        QTest::newRow("no Length line") << variant("Length 2\n", "") << "no Length line";
        QTest::newRow("binary garbage") << TestUtil::binaryGarbage() << "no Length line";
        QTest::newRow("Length without number") << variant("Length 2", "Length") << "line 2: Length has no number";
        QTest::newRow("Length 0") << variant("Length 2", "Length 0") << "line 2: 3D size 0 is outside 1 to 256";
        QTest::newRow("Length beyond int") << variant("Length 2", "Length 4294967298")
                                           << "line 2: 3D size 4294967298 is outside 1 to 256";
        QTest::newRow("Length beyond the limit") << variant("Length 2", "Length 257")
                                                 << "line 2: 3D size 257 is outside 1 to 256";
        QTest::newRow("no sample lines") << QByteArray("From 0 1\nLength 2\n\n\n")
                                         << "line 4: no sample lines after Length";
        QTest::newRow("garbage samples") << QByteArray("From 0 1\nLength 2\n") + TestUtil::garbageLine()
                                         << "line 3: no sample lines after Length";
        QTest::newRow("empty From range") << variant("From 0.0 1.0", "From 1 1")
                                          << "line 1: the From range 1 to 1 has no positive width";
    }

    void damaged3D()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, reason);
        TestUtil::expectFailure(write(text), tms3dId, reason);
    }

    // ---- writers

    void writer1DText()
    {
        Read_LUTFile lut;
        lut.lut1DSize = 2;
        Read_LUTFile::Data1DCalloc(&lut.lut1D, 2);
        lut.lut1D[1][0] = 1.0f;
        lut.lut1D[1][1] = 0.5f;
        lut.lut1D[1][2] = 0.25f;
        const QString path = dir.filePath(QStringLiteral("out.tms1d"));
        Write_LUTFile w;
        // A scale asks for integers, which these formats do not carry.
        QVERIFY(w.WriteFile(TestUtil::side(tms1dId, path, true, false, false, 1023), lut));
        const QList<QByteArray> expected = {"From 0.0 1.0", "Length 2", "0 0 0 ", "1 0.5 0.25 "};
        QCOMPARE(TestUtil::lines(TestUtil::readFile(path)), expected);
    }

    void writer3DText()
    {
        Read_LUTFile lut;
        TestUtil::fillSteps(lut);
        const QString path = dir.filePath(QStringLiteral("out.tms3d"));
        Write_LUTFile w;
        QVERIFY(w.WriteFile(TestUtil::side(tms3dId, path, true, false, false, 255), lut));
        const QList<QByteArray> expected = {
            "From 0.0 1.0",
            "Length 2",
            "0.000000 0.000000 0.000000",
            "0.000000 0.000000 0.250000",
            "0.000000 0.500000 0.000000",
            "0.000000 0.500000 0.250000",
            "1.000000 0.000000 0.000000",
            "1.000000 0.000000 0.250000",
            "1.000000 0.500000 0.000000",
            "1.000000 0.500000 0.250000",
        };
        QCOMPARE(TestUtil::lines(TestUtil::readFile(path)), expected);
    }
};

QTEST_GUILESS_MAIN(TestFmtTms)
#include "tst_fmt_tms.moc"
