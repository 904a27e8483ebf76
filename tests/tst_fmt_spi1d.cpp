#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

#include "formats/registry.h"
#include "lut/read_lutfile.h"
#include "lut/write_lutfile.h"
#include "testutil.h"

namespace {

constexpr int spi1dId = int(Formats::Id::Spi1D);

QByteArray header(const QByteArray &from, int length, int components)
{
    return "Version 1\nFrom " + from + "\nLength " + QByteArray::number(length) + "\nComponents "
        + QByteArray::number(components) + "\n{\n";
}

}

class TestSpi1D : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    QString put(const QByteArray &text) { return TestUtil::writeTemp(dir, QStringLiteral("in.spi1d"), text); }

    // Read with both order flags true, so that values land in line order.
    bool readPlain(Read_LUTFile &lut, const QByteArray &text)
    {
        return lut.ReadFile(TestUtil::side(spi1dId, put(text), false, true, true), false);
    }

private slots:
    // The format's own order stores every line reversed; explicit equal flags do not.
    void orders_data()
    {
        TestUtil::orderRows1D(true);
    }
    void orders()
    {
        QFETCH(bool, defaultOrder);
        QFETCH(bool, dataRGB);
        QFETCH(bool, tableRGB);
        QFETCH(bool, reversed);
        Read_LUTFile lut;
        const QByteArray text = header("0.0 1.0", 1, 3) + "0.1 0.2 0.3\n}\n";
        QVERIFY(lut.ReadFile(TestUtil::side(spi1dId, put(text), defaultOrder, dataRGB, tableRGB), false));
        QCOMPARE(lut.lut1D[0][0], reversed ? 0.3f : 0.1f);
        QCOMPARE(lut.lut1D[0][1], 0.2f);
        QCOMPARE(lut.lut1D[0][2], reversed ? 0.1f : 0.3f);
        if (defaultOrder) {
            QVERIFY(lut.dataOrderRGB);
            QVERIFY(!lut.tableOrderRGB);
        }
    }

    // Samples are clamped to the "From" range and divided by its width, not shifted.
    void fromRange_data()
    {
        QTest::addColumn<QByteArray>("from");
        QTest::addColumn<QByteArray>("sample");
        QTest::addColumn<float>("stored");
        QTest::addColumn<float>("domainMin");
        QTest::newRow("10-bit top") << QByteArray("0 1023") << QByteArray("1023") << 1.0f << 0.0f;
        QTest::newRow("10-bit clamped") << QByteArray("0 1023") << QByteArray("2000") << 1.0f << 0.0f;
        QTest::newRow("10-bit half") << QByteArray("0.0 1024") << QByteArray("512") << 0.5f << 0.0f;
        QTest::newRow("width 2, not shifted") << QByteArray("-0.5 1.5") << QByteArray("1.0") << 0.5f << -0.5f;
        QTest::newRow("below the lower end") << QByteArray("-0.5 1.5") << QByteArray("-3") << -0.25f << -0.5f;
        QTest::newRow("no From line") << QByteArray() << QByteArray("0.25") << 0.25f << 0.0f;
    }
    void fromRange()
    {
        QFETCH(QByteArray, from);
        QFETCH(QByteArray, sample);
        QFETCH(float, stored);
        QFETCH(float, domainMin);
        QByteArray text = "Version 1\n";
        if (!from.isEmpty())
            text += "From " + from + "\n";
        text += "Length 1\nComponents 1\n{\n" + sample + "\n}\n";
        Read_LUTFile lut;
        QVERIFY2(readPlain(lut, text), qPrintable(lut.errorString));
        for (int c = 0; c < 3; ++c)
            QCOMPARE(lut.lut1D[0][c], stored);
        QCOMPARE(lut.domainMax1D[0], 1.0f);
        QCOMPARE(lut.domainMax1D[2], 1.0f);
        QCOMPARE(lut.domainMin1D[0], domainMin);
    }

    void components_data()
    {
        QTest::addColumn<int>("components");
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<float>("r");
        QTest::addColumn<float>("g");
        QTest::addColumn<float>("b");
        QTest::newRow("1 fills all three") << 1 << QByteArray("0.5") << 0.5f << 0.5f << 0.5f;
        QTest::newRow("1 takes only the first") << 1 << QByteArray("0.5 0.1 0.2") << 0.5f << 0.5f << 0.5f;
        QTest::newRow("2, blue is 0") << 2 << QByteArray("0.5 0.25") << 0.5f << 0.25f << 0.0f;
        QTest::newRow("3") << 3 << QByteArray("0.5 0.25 0.75") << 0.5f << 0.25f << 0.75f;
        QTest::newRow("3, short line keeps the previous") << 3 << QByteArray("0.5") << 0.5f << 0.2f << 0.3f;
    }
    void components()
    {
        QFETCH(int, components);
        QFETCH(QByteArray, line);
        QFETCH(float, r);
        QFETCH(float, g);
        QFETCH(float, b);
        const QByteArray text = header("0 1", 2, components) + "0.1 0.2 0.3\n" + line + "\n}\n";
        Read_LUTFile lut;
        QVERIFY2(readPlain(lut, text), qPrintable(lut.errorString));
        QCOMPARE(lut.lut1D[1][0], r);
        QCOMPARE(lut.lut1D[1][1], g);
        QCOMPARE(lut.lut1D[1][2], b);
    }

    void dataLines_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<float>("last");
        QTest::newRow("complete") << QByteArray("0.1\n0.2\n0.3\n0.4\n}\n") << true << QString() << 0.4f;
        QTest::newRow("blank and } lines use no entry")
            << QByteArray("0.1\n\n}\n0.2\n  \n0.3\n}\n0.4\n}\n") << true << QString() << 0.4f;
        QTest::newRow("lines without a number use no entry")
            << QByteArray("0.1\nabc\n0.2\n0.3\n0.4\n") << true << QString() << 0.4f;
        QTest::newRow("one short: last entry zero") << QByteArray("0.1\n0.2\n0.3\n") << true << QString() << 0.0f;
        QTest::newRow("two short") << QByteArray("0.1\n0.2\n}\n") << false
                                   << "line 8: the table ends after 2 of 4 entries" << 0.0f;
        QTest::newRow("lines after the table are not read") << QByteArray("0.1\n0.2\n0.3\n0.4\n0.5\nnonsense\n")
                                                            << true << QString() << 0.4f;
    }
    void dataLines()
    {
        QFETCH(QByteArray, body);
        QFETCH(bool, ok);
        QFETCH(QString, reason);
        QFETCH(float, last);
        Read_LUTFile lut;
        QCOMPARE(readPlain(lut, header("0 1", 4, 1) + body), ok);
        QCOMPARE(lut.errorString, reason);
        QCOMPARE(lut.lut1DSize, 4);
        QCOMPARE(lut.lut1D[1][0], 0.2f);
        QCOMPARE(lut.lut1D[3][0], last);
        QCOMPARE(lut.domainMax1D[0], 1.0f);
    }

    void headerOnly_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("size");
        QTest::newRow("Length 1024") << QByteArray("Version 1\nFrom 0 4\nLength 1024\nComponents 3\n{\n") << true << 1024;
        QTest::newRow("no Components line") << QByteArray("Length 16\n") << true << 16;
        QTest::newRow("no Length line") << QByteArray("Version 1\nComponents 3\n{\n0 0 0\n}\n") << false << 0;
    }
    void headerOnly()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, ok);
        QFETCH(int, size);
        Read_LUTFile lut;
        QCOMPARE(lut.ReadFile(TestUtil::side(spi1dId, put(text)), true), ok);
        QCOMPARE(lut.lut1DSize, size);
        QVERIFY(lut.lut1D == nullptr);
        QCOMPARE(lut.domainMax1D[0], 1.0f);
    }

    void damaged_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("reason");
        const QByteArray good = header("0.0 1.0", 2, 3) + "0 0 0\n1 1 1\n}\n";
        QVERIFY(good.contains("From 0.0 1.0\n"));
        auto damage = [&good](const char *from, const char *to) {
            QByteArray t = good;
            return t.replace(from, to);
        };
        QTest::newRow("empty") << QByteArray() << "no Length line";
        QTest::newRow("binary") << QByteArray("\x01\xff\x00\x80{\xfe\n\x00\x00", 9) << "no Length line";
        QTest::newRow("Length missing") << damage("Length 2\n", "") << "no Length line";
        QTest::newRow("Length without number") << damage("Length 2", "Length two") << "line 3: Length has no number";
        QTest::newRow("Length 0") << damage("Length 2", "Length 0") << "line 3: 1D size 0 is outside 1 to 1048576";
        QTest::newRow("Length negative") << damage("Length 2", "Length -7") << "line 3: 1D size -7 is outside 1 to 1048576";
        QTest::newRow("Length beyond the limit")
            << damage("Length 2", "Length 1048577") << "line 3: 1D size 1048577 is outside 1 to 1048576";
        QTest::newRow("Length that wraps in 32 bits")
            << damage("Length 2", "Length 4294967298") << "line 3: 1D size 4294967298 is outside 1 to 1048576";
        QTest::newRow("From of zero width") << damage("From 0.0 1.0", "From 1 1") << "line 2: From range 1 to 1 has no width";
        QTest::newRow("From inverted") << damage("From 0.0 1.0", "From 1 0") << "line 2: From range 1 to 0 has no width";
        QTest::newRow("From infinite") << damage("From 0.0 1.0", "From 0 inf") << "line 2: From range 0 to inf has no width";
        QTest::newRow("From nan") << damage("From 0.0 1.0", "From nan 1") << "line 2: From range nan to 1 has no width";
        QTest::newRow("From with one number") << damage("From 0.0 1.0", "From 0.0") << "line 2: From needs a lower and an upper end";
        QTest::newRow("From without number before Length")
            << damage("From 0.0 1.0", "From zero") << "line 2: From has no number";
        QTest::newRow("Components missing") << damage("Components 3\n", "") << "no Components line";
        QTest::newRow("Components without number") << damage("Components 3", "Components x") << "line 4: Components has no number";
        QTest::newRow("Components 0") << damage("Components 3", "Components 0") << "line 4: Components 0 is not 1, 2 or 3";
        QTest::newRow("Components 4") << damage("Components 3", "Components 4") << "line 4: Components 4 is not 1, 2 or 3";
        QTest::newRow("no samples") << damage("0 0 0\n1 1 1\n", "") << "line 6: the table ends after 0 of 2 entries";
        QTest::newRow("no { line, samples ignored as header")
            << damage("{\n", "") << "line 7: the table ends after 0 of 2 entries";
    }
    void damaged()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, reason);
        Read_LUTFile lut;
        QVERIFY(!lut.ReadFile(TestUtil::side(spi1dId, put(text)), false));
        QCOMPARE(lut.errorString, reason);
        QCOMPARE(lut.domainMax1D[0], 1.0f);
    }

    // A later "Length" line replaces size and table.
    void secondLength()
    {
        Read_LUTFile lut;
        QVERIFY(readPlain(lut, "Length 100\nLength 2\nComponents 1\n{\n0.5\n1\n}\n"));
        QCOMPARE(lut.lut1DSize, 2);
        QCOMPARE(lut.lut1D[1][0], 1.0f);
    }

    // A "From" line without a number ends the header; what was read by then is used.
    void fromWithoutNumberAfterHeader()
    {
        Read_LUTFile lut;
        QVERIFY(readPlain(lut, "Length 2\nComponents 1\nFrom\n{\n0.5\n1\n}\n"));
        QCOMPARE(lut.lut1D[0][0], 0.5f);
        QCOMPARE(lut.lut1D[1][0], 1.0f);
    }

    void corpusSample()
    {
        const QString path = QStringLiteral(LUTWRIGHT_CORPUS "/lut1d_1.spi1d");
        Read_LUTFile lut;
        QVERIFY2(lut.ReadFile(TestUtil::side(spi1dId, path), false), qPrintable(lut.errorString));
        QCOMPARE(lut.lut1DSize, 512);
        const struct {
            int index;
            float value;
        } points[] = {{0, 0.0f}, {1, 0.00195695f}, {256, 0.500978f}, {510, 0.998043f}, {511, 1.0f}};
        for (const auto &p : points)
            for (int c = 0; c < 3; ++c)
                QCOMPARE(lut.lut1D[p.index][c], p.value);
        QCOMPARE(lut.domainMin1D[0], 0.0f);
        QCOMPARE(lut.domainMax1D[0], 1.0f);
    }

    void writerText_data()
    {
        QTest::addColumn<qint64>("scale");
        QTest::addColumn<bool>("defaultOrder");
        QTest::addColumn<bool>("dataRGB");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("floats") << qint64(1) << true << false
                                << QByteArray("Version 1\nFrom 0.0 1\nLength 2\nComponents 3\n{\n"
                                              "        0 0.5 1 \n        1 0.000977517 1 \n}\n");
        QTest::newRow("floats, B G R") << qint64(1) << false << false
                                       << QByteArray("Version 1\nFrom 0.0 1\nLength 2\nComponents 3\n{\n"
                                                     "        1 0.5 0 \n        1 0.000977517 1 \n}\n");
        QTest::newRow("integers") << qint64(1023) << true << false
                                  << QByteArray("Version 1\nFrom 0.0 1023\nLength 2\nComponents 3\n{\n"
                                                "        0 511 1023 \n        1023 1 1023 \n}\n");
        QTest::newRow("scale 0 still a range of 1") << qint64(0) << true << true
                                                    << QByteArray("Version 1\nFrom 0.0 1\nLength 2\nComponents 3\n{\n"
                                                                  "        0 0.5 1 \n        1 0.000977517 1 \n}\n");
    }
    void writerText()
    {
        QFETCH(qint64, scale);
        QFETCH(bool, defaultOrder);
        QFETCH(bool, dataRGB);
        QFETCH(QByteArray, expected);
        Read_LUTFile lut;
        TestUtil::set1D(lut, {{0, 0.5f, 1}, {1, 1.0f / 1023, 1}});
        const QString path = dir.filePath(QStringLiteral("out.spi1d"));
        Write_LUTFile w;
        QVERIFY(w.WriteFile(TestUtil::side(spi1dId, path, defaultOrder, dataRGB, false, scale), lut));
        QCOMPARE(TestUtil::readText(path), expected);
    }

    // Integers of value x scale come back within one code: "From 0.0 scale" divides them back.
    void integerRoundTrip_data()
    {
        QTest::addColumn<qint64>("scale");
        QTest::newRow("10-bit") << qint64(1023);
        QTest::newRow("16-bit") << qint64(65535);
    }
    void integerRoundTrip()
    {
        QFETCH(qint64, scale);
        std::vector<std::array<float, 3>> entries;
        for (int i = 0; i < 1024; ++i) {
            const float x = i / 1023.0f;
            entries.push_back({x, x * x, std::sqrt(x)});
        }
        Read_LUTFile lut;
        TestUtil::set1D(lut, entries);
        const QString path = dir.filePath(QStringLiteral("trip.spi1d"));
        Write_LUTFile w;
        QVERIFY(w.WriteFile(TestUtil::side(spi1dId, path, true, false, false, scale), lut));
        Read_LUTFile back;
        QVERIFY(back.ReadFile(TestUtil::side(spi1dId, path, false, true, true), false));
        const QString diff = TestUtil::differences1D(back, entries, 1.0f, 1.0f / float(scale));
        QVERIFY2(diff.isEmpty(), qPrintable(diff));
    }
};

QTEST_GUILESS_MAIN(TestSpi1D)
#include "tst_fmt_spi1d.moc"
