#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

#include "formats/registry.h"
#include "lut/numformat.h"
#include "lut/read_lutfile.h"
#include "lut/write_lutfile.h"
#include "testutil.h"

namespace {

constexpr int csvId = int(Formats::Id::Csv);

// `count` lines "i,<tab>i": a ramp whose last value is count - 1.
QByteArray ramp(int count)
{
    QByteArray text;
    for (int i = 0; i < count; ++i)
        text += QByteArray::number(i) + ",\t" + QByteArray::number(i) + '\n';
    return text;
}

}

class TestCsv : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    QString put(const QByteArray &text) { return TestUtil::writeTemp(dir, QStringLiteral("in.csv"), text); }

    bool read(Read_LUTFile &lut, const QByteArray &text, bool headerOnly = false)
    {
        return lut.ReadFile(TestUtil::side(csvId, put(text)), headerOnly);
    }

private slots:
    void readsRamp()
    {
        Read_LUTFile lut;
        QVERIFY(read(lut, ramp(1024)));
        QCOMPARE(lut.lut1DSize, 1024);
        for (int c = 0; c < 3; ++c) {
            QCOMPARE(lut.lut1D[0][c], 0.0f);
            QCOMPARE(lut.lut1D[1023][c], 1.0f);
            QCOMPARE(lut.lut1D[341][c], 341.0f / 1023);
        }
        QCOMPARE(lut.domainMax1D[0], 1.0f);
        QVERIFY(lut.errorString.isEmpty());
    }

    // The full scale is the smallest power of two (at least 2) reaching the last value, minus 1:
    // the entry holding 1 reads as 1 / full scale.
    void fullScale_data()
    {
        QTest::addColumn<int>("last");
        QTest::addColumn<int>("fullScale");
        QTest::newRow("1023") << 1023 << 1023;
        QTest::newRow("1000") << 1000 << 1023;
        QTest::newRow("1024") << 1024 << 1023;
        QTest::newRow("1025") << 1025 << 2047;
        QTest::newRow("4000") << 4000 << 4095;
        QTest::newRow("255") << 255 << 255;
        QTest::newRow("2") << 2 << 1;
        QTest::newRow("1") << 1 << 1;
        QTest::newRow("0") << 0 << 1;
        QTest::newRow("negative") << -40 << 1;
        QTest::newRow("2^30") << (1 << 30) << (1 << 30) - 1;
    }
    void fullScale()
    {
        QFETCH(int, last);
        QFETCH(int, fullScale);
        Read_LUTFile lut;
        QVERIFY(read(lut, "0,\t1\n1,\t" + QByteArray::number(last) + "\n"));
        QCOMPARE(lut.lut1D[0][0], 1.0f / float(fullScale));
        const float top = last < 0 ? 0.0f : float(std::min(last, fullScale)) / float(fullScale);
        QCOMPARE(lut.lut1D[1][1], top);
        QCOMPARE(lut.domainMax1D[0], 1.0f);
    }

    void lines_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("entry");
        QTest::addColumn<float>("value");
        QTest::newRow("index chooses the entry") << QByteArray("1,\t51\n0,\t0\n2,\t255\n") << 3 << 1 << 0.2f;
        QTest::newRow("later line wins, both counted") << QByteArray("0,\t0\n1,\t10\n1,\t51\n2,\t255\n") << 4 << 1 << 0.2f;
        QTest::newRow("entries no line names stay zero") << QByteArray("0,\t255\n0,\t255\n2,\t255\n") << 3 << 1 << 0.0f;
        QTest::newRow("column titles skipped") << QByteArray("Index,\tValue\n0,\t51\n1,\t255\n") << 2 << 0 << 0.2f;
        QTest::newRow("comma and spaces") << QByteArray("0,  51\n1,   255\n") << 2 << 0 << 0.2f;
        QTest::newRow("comma alone") << QByteArray("0,51\n1,255\n") << 2 << 0 << 0.2f;
        QTest::newRow("blank before comma: index only") << QByteArray("0 ,51\n1,\t255\n") << 2 << 0 << 0.0f;
        QTest::newRow("index only repeats the line before") << QByteArray("0,\t51\n1\n2,\t255\n") << 3 << 1 << 0.2f;
        QTest::newRow("fraction cut at the point") << QByteArray("0,\t51.9\n1,\t255.5\n") << 2 << 0 << 0.2f;
        QTest::newRow("exponent form is a real number") << QByteArray("0,\t9.5e-07\n1,\t2.55e2\n") << 2 << 0 << 0.0f;
        QTest::newRow("negative fraction") << QByteArray("0,\t-0.5\n1,\t255\n") << 2 << 0 << 0.0f;
        QTest::newRow("point form without a leading digit") << QByteArray("0,\t+.5e3\n1,\t1023\n") << 2 << 0 << 500.0f / 1023.0f;
        QTest::newRow("hexadecimal is the 0 before the x") << QByteArray("0,\t0x10\n1,\t255\n") << 2 << 0 << 0.0f;
        QTest::newRow("nan: index only") << QByteArray("0,\t51\n1,\tnan\n2,\t255\n") << 3 << 1 << 0.2f;
        QTest::newRow("inf: index only") << QByteArray("0,\t51\n1,\t-inf\n2,\t255\n") << 3 << 1 << 0.2f;
        QTest::newRow("blank lines and CR LF") << QByteArray("\r\n0,\t51\r\n\r\n1,\t255\r\n") << 2 << 0 << 0.2f;
    }
    void lines()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, size);
        QFETCH(int, entry);
        QFETCH(float, value);
        Read_LUTFile lut;
        QVERIFY2(read(lut, text), qPrintable(lut.errorString));
        QCOMPARE(lut.lut1DSize, size);
        for (int c = 0; c < 3; ++c)
            QCOMPARE(lut.lut1D[entry][c], value);
    }

    void headerOnly_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("reason");
        QTest::newRow("200 entries") << 200 << false << "the curve has 200 entries, fewer than 256";
        QTest::newRow("255 entries") << 255 << false << "the curve has 255 entries, fewer than 256";
        QTest::newRow("256 entries") << 256 << true << QString();
        QTest::newRow("4096 entries") << 4096 << true << QString();
    }
    void headerOnly()
    {
        QFETCH(int, count);
        QFETCH(bool, ok);
        QFETCH(QString, reason);
        Read_LUTFile head;
        QCOMPARE(read(head, ramp(count), true), ok);
        QCOMPARE(head.errorString, reason);
        QCOMPARE(head.lut1DSize, count);
        QVERIFY(head.lut1D == nullptr);
        // A header read keeps the full scale it found.
        QCOMPARE(head.domainMax1D[0], float(count <= 256 ? 255 : 4095));

        Read_LUTFile full;
        QVERIFY(read(full, ramp(count)));
        QCOMPARE(full.lut1DSize, count);
    }

    void damaged_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("reason");
        QTest::newRow("empty") << QByteArray() << "no line holds an index and a value";
        QTest::newRow("titles only") << QByteArray("Index,\tValue\n") << "no line holds an index and a value";
        QTest::newRow("binary") << QByteArray("\x01\xff\x00\x80,\xfe\n\x00\x35", 9) << "no line holds an index and a value";
        QTest::newRow("indices only") << QByteArray("0\n1,\n2\n") << "no line holds a value after its index";
        QTest::newRow("index beyond the table") << QByteArray("0,\t0\n1,\t1\n7,\t2\n") << "line 3: index 7 is outside 0 to 2";
        QTest::newRow("index equal to the count") << QByteArray("0,\t0\n\n3,\t1\n1,\t2\n")
                                                  << "line 3: index 3 is outside 0 to 2";
        QTest::newRow("negative index") << QByteArray("0,\t0\n-1,\t1\n1,\t2\n") << "line 2: index -1 is outside 0 to 2";
        QTest::newRow("huge index") << QByteArray("0,\t0\n99999999999,\t1\n") << "line 2: index 99999999999 is outside 0 to 1";
        QTest::newRow("value beyond 2^30") << QByteArray("0,\t0\n1,\t1073741825\n2,\t1\n")
                                           << "line 2: value 1073741825 is beyond 2^30";
        QTest::newRow("exponent beyond double") << QByteArray("0,\t0\n1,\t1e999\n") << "line 2: value inf is beyond 2^30";
        QTest::newRow("no number but nan") << QByteArray("0,\tnan\n1,\tinf\n") << "no line holds a value after its index";
        QTest::newRow("value beyond 32 bits") << QByteArray("0,\t0\n1,\t99999999999\n")
                                              << "line 2: value 99999999999 is beyond 2^30";
    }
    void damaged()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, reason);
        Read_LUTFile lut;
        QVERIFY(!read(lut, text));
        QCOMPARE(lut.errorString, reason);
        QVERIFY(lut.lut1D == nullptr);
        QCOMPARE(lut.lut1DSize, 0);
    }

    void moreEntriesThanTheProgramHolds()
    {
        QByteArray text;
        text.reserve(6 * 1048577);
        for (int i = 0; i < 1048577; ++i)
            text += "0,\t0\n";
        Read_LUTFile lut;
        QVERIFY(!read(lut, text));
        QCOMPARE(lut.errorString, QStringLiteral("1D size 1048577 is outside 1 to 1048576"));
        QVERIFY(lut.lut1D == nullptr);
    }

    void writerText_data()
    {
        QTest::addColumn<qint64>("scale");
        QTest::addColumn<bool>("dataRGB");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("10-bit") << qint64(1023) << true << QByteArray("0,\t0\n1,\t511\n2,\t1023\n");
        QTest::newRow("B G R writes the first channel too") << qint64(1023) << false << QByteArray("0,\t0\n1,\t511\n2,\t1023\n");
        QTest::newRow("floats") << qint64(1) << true << QByteArray("0,\t0\n1,\t0.5\n2,\t1\n");
    }
    void writerText()
    {
        QFETCH(qint64, scale);
        QFETCH(bool, dataRGB);
        QFETCH(QByteArray, expected);
        Read_LUTFile lut;
        TestUtil::set1D(lut, {{0, 0.9f, 0.9f}, {0.5f, 0.1f, 0.2f}, {1, 0, 0}});
        const QString path = dir.filePath(QStringLiteral("out.csv"));
        Write_LUTFile w;
        QVERIFY(w.WriteFile(TestUtil::side(csvId, path, false, dataRGB, false, scale), lut));
        QCOMPARE(TestUtil::readText(path), expected);
    }

    // Integers read back exactly; floats are cut at the point, so only values of 1 survive.
    void roundTrip_data()
    {
        QTest::addColumn<qint64>("scale");
        QTest::addColumn<bool>("asFloats");
        QTest::newRow("12-bit") << qint64(4095) << false;
        QTest::newRow("floats") << qint64(1) << true;
    }
    void roundTrip()
    {
        QFETCH(qint64, scale);
        QFETCH(bool, asFloats);
        std::vector<std::array<float, 3>> entries;
        for (int i = 0; i < 1024; ++i) {
            const float x = float(i) / 1023.0f;
            entries.push_back({x * x, 0.0f, 0.0f});
        }
        Read_LUTFile lut;
        TestUtil::set1D(lut, entries);
        const QString path = dir.filePath(QStringLiteral("trip.csv"));
        Write_LUTFile w;
        QVERIFY(w.WriteFile(TestUtil::side(csvId, path, true, true, true, scale), lut));
        Read_LUTFile back;
        QVERIFY(back.ReadFile(TestUtil::side(csvId, path), false));
        QCOMPARE(back.lut1DSize, 1024);
        for (int i = 0; i < 1024; ++i) {
            const float v = entries[std::size_t(i)][0];
            const float want = asFloats ? (v >= 1.0f ? 1.0f : 0.0f) : float(NumFormat::scaled(v, scale)) / float(scale);
            for (int c = 0; c < 3; ++c)
                QCOMPARE(back.lut1D[i][c], want);
            QVERIFY(std::fabs(back.lut1D[i][0] - v) < (asFloats ? 1.0f : 1.0f / float(scale)));
        }
    }
};

QTEST_GUILESS_MAIN(TestCsv)
#include "tst_fmt_csv.moc"
