#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <limits>

#include "formats/registry.h"
#include "lut/read_lutfile.h"
#include "lut/write_lutfile.h"
#include "testutil.h"

namespace {

constexpr int discreetId = int(Formats::Id::Discreet1D);

// Four entries, channel after channel; the largest value is 400.
const QByteArray sample =
    "# made by hand\n"
    "LUT: 3 4\n"
    "0\n100\n200\n300\n"
    "0\n50\n100\n200\n"
    "400\n400\n400\n400\n";

}

class TestDiscreet : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    QString put(const QByteArray &text) { return TestUtil::writeTemp(dir, QStringLiteral("in.lut"), text); }

    void compareEntry(const Read_LUTFile &lut, int i, float r, float g, float b)
    {
        QCOMPARE(lut.lut1D[i][0], r);
        QCOMPARE(lut.lut1D[i][1], g);
        QCOMPARE(lut.lut1D[i][2], b);
    }

private slots:
    void dividesByLargestValue_data()
    {
        TestUtil::orderRows1D(false);
    }
    void dividesByLargestValue()
    {
        QFETCH(bool, defaultOrder);
        QFETCH(bool, dataRGB);
        QFETCH(bool, tableRGB);
        QFETCH(bool, reversed);
        Read_LUTFile lut;
        QVERIFY(lut.ReadFile(TestUtil::side(discreetId, put(sample), defaultOrder, dataRGB, tableRGB), false));
        QCOMPARE(lut.lut1DSize, 4);
        const float expected[4][3] = {{0, 0, 1}, {0.25f, 0.125f, 1}, {0.5f, 0.25f, 1}, {0.75f, 0.5f, 1}};
        for (int i = 0; i < 4; ++i) {
            const float *e = expected[i];
            if (reversed)
                compareEntry(lut, i, e[2], e[1], e[0]);
            else
                compareEntry(lut, i, e[0], e[1], e[2]);
        }
        QCOMPARE(lut.domainMax1D[0], 1.0f);
        QCOMPARE(lut.domainMin1D[0], 0.0f);
        QVERIFY(lut.errorString.isEmpty());
    }

    void valueLines_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<float>("entry0");
        QTest::newRow("blank inside a number") << QByteArray("LUT: 3 1\n10 23\n0\n2046\n") << 0.5f;
        QTest::newRow("letters after a number") << QByteArray("LUT: 3 1\n12abc\n0\n24\n") << 0.5f;
        QTest::newRow("comments and blanks do not count")
            << QByteArray("LUT: 3 1\n\n# a\n  \n1\n# b\n0\n\n4\n") << 0.25f;
        QTest::newRow("lines without a number are skipped") << QByteArray("LUT: 3 1\nx\n1\n-\n2\n4\n") << 0.25f;
        QTest::newRow("floats, largest 0.8") << QByteArray("LUT: 3 1\n0.4\n0.2\n0.8\n") << 0.5f;
        QTest::newRow("third number on the size line") << QByteArray("LUT: 3 1 4096\n1\n2\n4\n") << 0.25f;
        QTest::newRow("values outside the table are left out")
            << QByteArray("5000\nLUT: 3 1\n1\n2\n4\n9999\n") << 0.25f;
        QTest::newRow("second size line ignored") << QByteArray("LUT: 3 1\n1\nLUT: 3 9\n2\n4\n") << 0.25f;
        QTest::newRow("negative values become 0") << QByteArray("LUT: 3 1\n-3\n2\n4\n") << 0.0f;
        QTest::newRow("-inf becomes 0") << QByteArray("LUT: 3 1\n-inf\n2\n4\n") << 0.0f;
        QTest::newRow("below the float range becomes 0") << QByteArray("LUT: 3 1\n-1e300\n2\n4\n") << 0.0f;
        QTest::newRow("nan stays nan") << QByteArray("LUT: 3 1\nnan\n2\n4\n") << std::numeric_limits<float>::quiet_NaN();
        QTest::newRow("CR LF and a BOM") << QByteArray("\xEF\xBB\xBFLUT: 3 1\r\n1\r\n2\r\n4\r\n") << 0.25f;
    }
    void valueLines()
    {
        QFETCH(QByteArray, text);
        QFETCH(float, entry0);
        Read_LUTFile lut;
        QVERIFY2(lut.ReadFile(TestUtil::side(discreetId, put(text)), false), qPrintable(lut.errorString));
        QCOMPARE(lut.lut1DSize, 1);
        QCOMPARE(lut.lut1D[0][0], entry0);
        QCOMPARE(lut.lut1D[0][2], 1.0f);
    }

    void noPositiveValueGivesZeros()
    {
        Read_LUTFile lut;
        QVERIFY(lut.ReadFile(TestUtil::side(discreetId, put("LUT: 3 2\n0\n-1\n0\n-5\n0\n0\n")), false));
        for (int i = 0; i < 2; ++i)
            compareEntry(lut, i, 0, 0, 0);
    }

    void damaged_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("reason");
        QTest::newRow("empty") << QByteArray() << "no LUT: size line";
        QTest::newRow("values only") << QByteArray("1\n2\n3\n") << "no LUT: size line";
        QTest::newRow("lower-case keyword") << QByteArray("lut: 3 1\n1\n2\n3\n") << "no LUT: size line";
        QTest::newRow("binary") << QByteArray("\x01\xff\x00\x80LUT\xfe\n\x00\x00", 12) << "no LUT: size line";
        QTest::newRow("no numbers") << QByteArray("#\nLUT:\n1\n") << "line 2: LUT: line has no channel count";
        QTest::newRow("one channel") << QByteArray("LUT: 1 4\n") << "line 1: LUT: channel count 1 is not 3";
        QTest::newRow("no entry count") << QByteArray("LUT: 3\n") << "line 1: LUT: line has no entry count";
        QTest::newRow("zero entries") << QByteArray("LUT: 3 0\n") << "line 1: 1D size 0 is outside 1 to 1048576";
        QTest::newRow("negative entries") << QByteArray("LUT: 3 -4\n")
                                          << "line 1: 1D size -4 is outside 1 to 1048576";
        QTest::newRow("beyond the limit") << QByteArray("LUT: 3 1048577\n")
                                          << "line 1: 1D size 1048577 is outside 1 to 1048576";
        QTest::newRow("count that wraps to 4 in 32 bits")
            << QByteArray("LUT: 3 4294967300\n") << "line 1: 1D size 4294967300 is outside 1 to 1048576";
        QTest::newRow("one value short") << QByteArray("LUT: 3 4\n1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n\n")
                                         << "line 13: the table ends after 11 of 12 values";
        QTest::newRow("infinite") << QByteArray("LUT: 3 1\n1\ninf\n3\n") << "line 3: value inf is beyond the float range";
        QTest::newRow("beyond float") << QByteArray("LUT: 3 1\n1e300\n2\n3\n")
                                      << "line 2: value 1e300 is beyond the float range";
    }
    void damaged()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, reason);
        Read_LUTFile lut;
        QVERIFY(!lut.ReadFile(TestUtil::side(discreetId, put(text)), false));
        QCOMPARE(lut.errorString, reason);
    }

    // A 10-bit-style real file: "LUT: 3 256 256", three identical 8-bit curves.
    void corpusLogToLin()
    {
        const QString path = QStringLiteral(LUTWRIGHT_CORPUS "/logtolin_8to8.lut");
        Read_LUTFile head;
        QVERIFY(head.ReadFile(TestUtil::side(discreetId, path), true));
        QCOMPARE(head.lut1DSize, 256);

        Read_LUTFile lut;
        QVERIFY2(lut.ReadFile(TestUtil::side(discreetId, path), false), qPrintable(lut.errorString));
        QCOMPARE(lut.lut1DSize, 256);
        const struct {
            int index;
            float raw;
        } points[] = {{0, 0}, {24, 0}, {100, 72}, {128, 124}, {200, 255}, {255, 255}};
        for (const auto &p : points)
            compareEntry(lut, p.index, p.raw / 255.0f, p.raw / 255.0f, p.raw / 255.0f);
        QVERIFY(lut.lut1D[25][0] > 0.0f);
        for (int i = 0; i < 256; ++i) {
            QCOMPARE(lut.lut1D[i][1], lut.lut1D[i][0]);
            QCOMPARE(lut.lut1D[i][2], lut.lut1D[i][0]);
            if (i > 0)
                QVERIFY(lut.lut1D[i][0] >= lut.lut1D[i - 1][0]);
        }
    }

    void writerText_data()
    {
        QTest::addColumn<qint64>("scale");
        QTest::addColumn<bool>("dataRGB");
        QTest::addColumn<QByteArray>("values");
        QTest::newRow("floats") << qint64(1) << true
                                << QByteArray("     0\n     0.5\n     1\n     1e-05\n"
                                              "     0.25\n     0.333333\n     1\n     0\n"
                                              "     1\n     0.75\n     1\n     2\n");
        QTest::newRow("floats, B G R") << qint64(0) << false
                                       << QByteArray("     1\n     0.75\n     1\n     2\n"
                                                     "     0.25\n     0.333333\n     1\n     0\n"
                                                     "     0\n     0.5\n     1\n     1e-05\n");
        QTest::newRow("integers") << qint64(1023) << true
                                  << QByteArray("     0\n     511\n     1023\n     0\n"
                                                "     255\n     341\n     1023\n     0\n"
                                                "     1023\n     767\n     1023\n     2046\n");
    }
    void writerText()
    {
        QFETCH(qint64, scale);
        QFETCH(bool, dataRGB);
        QFETCH(QByteArray, values);
        Read_LUTFile lut;
        TestUtil::set1D(lut, {{0, 0.25f, 1}, {0.5f, 1.0f / 3, 0.75f}, {1, 1, 1}, {1e-5f, 0, 2}});
        const QString path = dir.filePath(QStringLiteral("out.lut"));
        Write_LUTFile w;
        QVERIFY(w.WriteFile(TestUtil::side(discreetId, path, false, dataRGB, true, scale), lut));
        const QByteArray header = "# Discreet LUT file\n"
                                  "#      Channels: 3\n"
                                  "# Input Samples: 4\n"
                                  "#   Ouput Scale: " + QByteArray::number(scale) + "\n"
                                  "#\n#Exported from tamsori\n#\n\n"
                                  "LUT: 3 4\n";
        QCOMPARE(TestUtil::readText(path), header + values);
    }

    // Integer files come back within one code; float files as they were only when the largest
    // value is 1, since the reader always divides by the largest value it finds.
    void roundTrip_data()
    {
        QTest::addColumn<qint64>("scale");
        QTest::addColumn<float>("top");
        QTest::addColumn<float>("tolerance");
        QTest::addColumn<float>("factor");
        QTest::newRow("10-bit integers") << qint64(1023) << 1.0f << 1.0f / 1023 << 1.0f;
        QTest::newRow("16-bit integers") << qint64(65535) << 1.0f << 1.0f / 65535 << 1.0f;
        QTest::newRow("floats, largest 0.8") << qint64(1) << 0.8f << 2e-6f << 1.25f;
    }
    void roundTrip()
    {
        QFETCH(qint64, scale);
        QFETCH(float, top);
        QFETCH(float, tolerance);
        QFETCH(float, factor);
        std::vector<std::array<float, 3>> entries;
        for (int i = 0; i < 64; ++i) {
            const float x = i / 63.0f;
            entries.push_back({x * top, x * x * top, std::sqrt(x) * top});
        }
        Read_LUTFile lut;
        TestUtil::set1D(lut, entries);
        const QString path = dir.filePath(QStringLiteral("trip.lut"));
        Write_LUTFile w;
        QVERIFY(w.WriteFile(TestUtil::side(discreetId, path, true, false, false, scale), lut));
        Read_LUTFile back;
        QVERIFY(back.ReadFile(TestUtil::side(discreetId, path), false));
        const QString diff = TestUtil::differences1D(back, entries, factor, tolerance);
        QVERIFY2(diff.isEmpty(), qPrintable(diff));
    }
};

QTEST_GUILESS_MAIN(TestDiscreet)
#include "tst_fmt_discreet.moc"
