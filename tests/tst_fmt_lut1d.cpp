#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

#include "formats/registry.h"
#include "lut/read_lutfile.h"
#include "lut/write_lutfile.h"
#include "testutil.h"

namespace {

constexpr int lut1dId = int(Formats::Id::Lut1D);

// `count` entry lines "i i i i" under the heading; line i + 2 holds entry i.
QByteArray ramp(int count, int indexStep = 1)
{
    QByteArray text = "Index\tRed\tGreen\tBlue\n";
    for (int i = 0; i < count; ++i) {
        const QByteArray v = QByteArray::number(i % 256);
        text += QByteArray::number(i * indexStep) + '\t' + v + '\t' + v + '\t' + v + "\t\n";
    }
    return text;
}

}

class TestLut1D : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    QString put(const QByteArray &text) { return TestUtil::writeTemp(dir, QStringLiteral("in.lut"), text); }

private slots:
    void readsRamp()
    {
        Read_LUTFile lut;
        QVERIFY(lut.ReadFile(TestUtil::side(lut1dId, put(ramp(256))), false));
        QCOMPARE(lut.lut1DSize, 256);
        for (int c = 0; c < 3; ++c) {
            QCOMPARE(lut.lut1D[0][c], 0.0f);
            QCOMPARE(lut.lut1D[51][c], 0.2f);
            QCOMPARE(lut.lut1D[255][c], 1.0f);
        }
        QCOMPARE(lut.domainMax1D[0], 1.0f);
        QVERIFY(lut.errorString.isEmpty());
    }

    // The index column is not used: entries are taken in line order.
    void indexColumnIgnored()
    {
        Read_LUTFile lut;
        QVERIFY(lut.ReadFile(TestUtil::side(lut1dId, put(ramp(256, 10))), false));
        QCOMPARE(lut.lut1D[1][0], 1.0f / 255);
        QCOMPARE(lut.lut1D[2][0], 2.0f / 255);
    }

    void lineContents_data()
    {
        QTest::addColumn<QByteArray>("lines");
        QTest::addColumn<int>("entry");
        QTest::addColumn<float>("r");
        QTest::addColumn<float>("g");
        QTest::addColumn<float>("b");
        QTest::newRow("above 255 and negative") << QByteArray("0 300 -5 51\n") << 0 << 1.0f << 0.0f << 0.2f;
        QTest::newRow("index only repeats the line before")
            << QByteArray("0 51 102 255\n1\n") << 1 << 0.2f << 0.4f << 1.0f;
        QTest::newRow("index only on the first line") << QByteArray("7\n") << 0 << 0.0f << 0.0f << 0.0f;
        QTest::newRow("two values keep the third") << QByteArray("0 51 102 255\n1 0 0\n") << 1 << 0.0f << 0.0f << 1.0f;
        QTest::newRow("comments, heading and blanks skipped")
            << QByteArray("# c\n\nIndex R G B\n  \n#\n0 51 51 51\n") << 0 << 0.2f << 0.2f << 0.2f;
        QTest::newRow("lines without a number skipped")
            << QByteArray("abc\n-\n0 0 51 0\n") << 0 << 0.0f << 0.2f << 0.0f;
        QTest::newRow("CR line ends and a BOM") << QByteArray("\xEF\xBB\xBF" "0 51 0 0\r1 0 51 0\r") << 1 << 0.0f << 0.2f << 0.0f;
    }
    void lineContents()
    {
        QFETCH(QByteArray, lines);
        QFETCH(int, entry);
        QFETCH(float, r);
        QFETCH(float, g);
        QFETCH(float, b);
        // The lines under test make the first entries; padding lines fill the table.
        QByteArray text = lines;
        for (int i = entry + 1; i < 256; ++i)
            text += "0 1 1 1\n";
        Read_LUTFile lut;
        QVERIFY2(lut.ReadFile(TestUtil::side(lut1dId, put(text)), false), qPrintable(lut.errorString));
        QCOMPARE(lut.lut1D[entry][0], r);
        QCOMPARE(lut.lut1D[entry][1], g);
        QCOMPARE(lut.lut1D[entry][2], b);
        QCOMPARE(lut.lut1D[255][0], 1.0f / 255);
    }

    void orders_data()
    {
        TestUtil::orderRows1D(false);
    }
    void orders()
    {
        QFETCH(bool, defaultOrder);
        QFETCH(bool, dataRGB);
        QFETCH(bool, tableRGB);
        QFETCH(bool, reversed);
        QByteArray text;
        for (int i = 0; i < 256; ++i)
            text += "0 0 51 255\n";
        Read_LUTFile lut;
        QVERIFY(lut.ReadFile(TestUtil::side(lut1dId, put(text), defaultOrder, dataRGB, tableRGB), false));
        QCOMPARE(lut.lut1D[9][0], reversed ? 1.0f : 0.0f);
        QCOMPARE(lut.lut1D[9][1], 0.2f);
        QCOMPARE(lut.lut1D[9][2], reversed ? 0.0f : 1.0f);
    }

    void entryCounts_data()
    {
        QTest::addColumn<int>("lines");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("reason");
        QTest::newRow("300 lines stop after 256") << 300 << true << QString();
        QTest::newRow("256") << 256 << true << QString();
        QTest::newRow("255: last entry left at zero") << 255 << true << QString();
        QTest::newRow("254") << 254 << false << "line 255: the table ends after 254 of 256 entries";
        QTest::newRow("100") << 100 << false << "line 101: the table ends after 100 of 256 entries";
        QTest::newRow("heading only") << 0 << false << "line 1: the table ends after 0 of 256 entries";
    }
    void entryCounts()
    {
        QFETCH(int, lines);
        QFETCH(bool, ok);
        QFETCH(QString, reason);
        Read_LUTFile lut;
        QCOMPARE(lut.ReadFile(TestUtil::side(lut1dId, put(ramp(lines))), false), ok);
        QCOMPARE(lut.errorString, reason);
        QCOMPARE(lut.lut1DSize, 256);
        if (lines >= 256)
            QCOMPARE(lut.lut1D[255][0], 1.0f);
        if (lines == 255) {
            QCOMPARE(lut.lut1D[254][0], 254.0f / 255);
            QCOMPARE(lut.lut1D[255][0], 0.0f);
        }
    }

    void damaged_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("reason");
        QTest::newRow("empty") << QByteArray() << "the table ends after 0 of 256 entries";
        QTest::newRow("binary") << QByteArray("\x01\xff\x00\x80\xfe\n\x00\x00", 8) << "line 2: the table ends after 0 of 256 entries";
        QTest::newRow("words") << QByteArray("Red Green Blue\nnothing here\n") << "line 2: the table ends after 0 of 256 entries";
    }
    void damaged()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, reason);
        Read_LUTFile lut;
        QVERIFY(!lut.ReadFile(TestUtil::side(lut1dId, put(text)), false));
        QCOMPARE(lut.errorString, reason);
    }

    // The size is the format's: any file that opens answers 256.
    void headerOnly()
    {
        Read_LUTFile lut;
        QVERIFY(lut.ReadFile(TestUtil::side(lut1dId, put("whatever\n")), true));
        QCOMPARE(lut.lut1DSize, 256);
        QVERIFY(lut.lut1D == nullptr);
        QCOMPARE(lut.domainMax1D[0], 1.0f);

        Read_LUTFile missing;
        QVERIFY(!missing.ReadFile(TestUtil::side(lut1dId, dir.filePath(QStringLiteral("none.lut"))), true));
        QCOMPARE(missing.lut1DSize, 0);
        QVERIFY(!missing.errorString.isEmpty());
    }

    void writerText_data()
    {
        QTest::addColumn<qint64>("scale");
        QTest::addColumn<bool>("dataRGB");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("floats") << qint64(1) << true << QByteArray("Index\tRed\tGreen\tBlue\n0\t0\t0.5\t1\t\n1\t1\t1\t1\t\n");
        QTest::newRow("floats, B G R") << qint64(1) << false << QByteArray("Index\tRed\tGreen\tBlue\n0\t1\t0.5\t0\t\n1\t1\t1\t1\t\n");
        QTest::newRow("8-bit integers") << qint64(255) << true
                                        << QByteArray("Index\tRed\tGreen\tBlue\n0\t0\t127\t255\t\n1\t255\t255\t255\t\n");
    }
    void writerText()
    {
        QFETCH(qint64, scale);
        QFETCH(bool, dataRGB);
        QFETCH(QByteArray, expected);
        Read_LUTFile lut;
        TestUtil::set1D(lut, {{0, 0.5f, 1}, {1, 1, 1}});
        const QString path = dir.filePath(QStringLiteral("out.lut"));
        Write_LUTFile w;
        QVERIFY(w.WriteFile(TestUtil::side(lut1dId, path, false, dataRGB, true, scale), lut));
        QCOMPARE(TestUtil::readText(path), expected);
    }

    // Written with scale 255 a table comes back within one code; written as floats every
    // value comes back divided by 255, since the reader always takes 8-bit values.
    void roundTrip_data()
    {
        QTest::addColumn<qint64>("scale");
        QTest::addColumn<float>("factor");
        QTest::addColumn<float>("tolerance");
        QTest::newRow("floats") << qint64(1) << 1.0f / 255 << 1e-7f;
    }
    void roundTrip()
    {
        QFETCH(qint64, scale);
        QFETCH(float, factor);
        QFETCH(float, tolerance);
        std::vector<std::array<float, 3>> entries;
        for (int i = 0; i < 256; ++i) {
            const float x = i / 255.0f;
            entries.push_back({x, x * x, std::sqrt(x)});
        }
        Read_LUTFile lut;
        TestUtil::set1D(lut, entries);
        const QString path = dir.filePath(QStringLiteral("trip.lut"));
        Write_LUTFile w;
        QVERIFY(w.WriteFile(TestUtil::side(lut1dId, path, true, false, false, scale), lut));
        Read_LUTFile back;
        QVERIFY(back.ReadFile(TestUtil::side(lut1dId, path), false));
        const QString diff = TestUtil::differences1D(back, entries, factor, tolerance);
        QVERIFY2(diff.isEmpty(), qPrintable(diff));
    }
};

QTEST_GUILESS_MAIN(TestLut1D)
#include "tst_fmt_lut1d.moc"
