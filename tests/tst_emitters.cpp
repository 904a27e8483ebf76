// The sample emitters of Write_LUTFile, on a QTextStream and on the writers' TextWriter, and
// the writing dispatch by format id.

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>
#include <QtTest>

#include <cmath>
#include <limits>
#include <random>

#include "formats/registry.h"
#include "lut/platform.h"
#include "lut/read_lutfile.h"
#include "lut/textwriter.h"
#include "lut/write_lutfile.h"
#include "testutil.h"

namespace {

const float qnan = std::numeric_limits<float>::quiet_NaN();
const float inf = std::numeric_limits<float>::infinity();

void setNode(Lut3DTable &t, int r, int g, int b, float x, float y, float z)
{
    float *n = t.node(r, g, b);
    n[0] = x;
    n[1] = y;
    n[2] = z;
}

// A 3-point lattice holding the nodes the cases look at; every other node is zero.
void fillCases(Lut3DTable &t)
{
    t.allocate(3);
    setNode(t, 0, 1, 2, 0.5f, 0.25f, 1.0f);
    setNode(t, 2, 1, 0, -0.25f, 0.125f, 2.0f);
    setNode(t, 1, 1, 1, qnan, inf, -inf);
    setNode(t, 2, 2, 2, 12345.678f, 1e-7f, 0.0078125f);
}

// Separators and plain characters as each output takes them.
QString sep(QTextStream &, const char *s) { return QString::fromLatin1(s); }
const char *sep(TextWriter &, const char *s) { return s; }
void putChar(QTextStream &ts, char c) { ts << c; }
void putChar(TextWriter &out, char c) { out.put(c); }

// What one sequence of emitter calls prints on a fresh QTextStream and on a fresh TextWriter;
// `body` takes either output.
template <typename Body>
QPair<QByteArray, QByteArray> printBoth(Body body)
{
    QString text;
    {
        QTextStream ts(&text);
        body(ts);
    }
    TextWriter writer;
    body(writer);
    return qMakePair(text.toLatin1(), writer.buffer());
}

const QByteArray eol = Platform::lineEnd;

}

class tst_Emitters : public QObject
{
    Q_OBJECT
private slots:
    void white3D_data();
    void white3D();
    void white1D_data();
    void white1D();
    void white1DFixedAfterWhite3D();
    void whiteGamma_data();
    void whiteGamma();
    void streamAndWriterAgree();
    void writeFileRefusesIds_data();
    void writeFileRefusesIds();
    void writeFileCopiesSettings();
    void replacesFileOpenForReading();
    void nativeAndNonAsciiPaths();
};

void tst_Emitters::white3D_data()
{
    QTest::addColumn<bool>("dataRGB");
    QTest::addColumn<bool>("tableRGB");
    QTest::addColumn<int>("i");
    QTest::addColumn<int>("j");
    QTest::addColumn<int>("k");
    QTest::addColumn<qint64>("scale");
    QTest::addColumn<QByteArray>("separator");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("float, both orders RGB") << true << true << 0 << 1 << 2 << qint64(1) << QByteArray(" ")
                                            << QByteArray("0.500000 0.250000 1.000000");
    QTest::newRow("float, channels BGR") << false << true << 0 << 1 << 2 << qint64(1) << QByteArray(" ")
                                         << QByteArray("1.000000 0.250000 0.500000");
    QTest::newRow("table BGR takes node [k][j][i]") << true << false << 0 << 1 << 2 << qint64(1) << QByteArray(" ")
                                                    << QByteArray("-0.250000 0.125000 2.000000");
    QTest::newRow("table BGR, counters reversed") << true << false << 2 << 1 << 0 << qint64(1) << QByteArray(" ")
                                                  << QByteArray("0.500000 0.250000 1.000000");
    QTest::newRow("scale 0 is float") << true << true << 0 << 1 << 2 << qint64(0) << QByteArray(" ")
                                      << QByteArray("0.500000 0.250000 1.000000");
    QTest::newRow("negative scale is float") << true << true << 0 << 1 << 2 << qint64(-5) << QByteArray(" ")
                                             << QByteArray("0.500000 0.250000 1.000000");
    QTest::newRow("scale 2 is integer") << true << true << 0 << 1 << 2 << qint64(2) << QByteArray(" ")
                                        << QByteArray("1 0 2 ");
    QTest::newRow("scale 1023 truncates") << true << true << 0 << 1 << 2 << qint64(1023) << QByteArray(" ")
                                          << QByteArray("511 255 1023 ");
    QTest::newRow("scale 1023, channels BGR") << false << true << 0 << 1 << 2 << qint64(1023) << QByteArray(" ")
                                              << QByteArray("1023 255 511 ");
    QTest::newRow("integer toward zero") << true << false << 0 << 1 << 2 << qint64(1023) << QByteArray(" ")
                                         << QByteArray("-255 127 2046 ");
    QTest::newRow("float, comma and tab") << true << true << 0 << 1 << 2 << qint64(1) << QByteArray(",\t")
                                          << QByteArray("0.500000,\t0.250000,\t1.000000");
    QTest::newRow("integer, comma") << true << true << 0 << 1 << 2 << qint64(4095) << QByteArray(",")
                                    << QByteArray("2047,1023,4095,");
    QTest::newRow("empty separator") << true << true << 0 << 1 << 2 << qint64(1) << QByteArray()
                                     << QByteArray("0.5000000.2500001.000000");
    // The width of 8 only shows on short texts; longer ones are never cut.
    QTest::newRow("special values padded") << true << true << 1 << 1 << 1 << qint64(1) << QByteArray(" ")
                                           << QByteArray("     nan      inf     -inf");
    QTest::newRow("special values as integers") << true << true << 1 << 1 << 1 << qint64(10) << QByteArray(" ")
                                                 << QByteArray("0 9223372036854775807 -9223372036854775808 ");
    QTest::newRow("long and rounded values") << true << true << 2 << 2 << 2 << qint64(1) << QByteArray(" ")
                                             << QByteArray("12345.677734 0.000000 0.007813");
    QTest::newRow("zero node") << true << true << 1 << 0 << 2 << qint64(1) << QByteArray(" ")
                               << QByteArray("0.000000 0.000000 0.000000");
}

void tst_Emitters::white3D()
{
    QFETCH(bool, dataRGB);
    QFETCH(bool, tableRGB);
    QFETCH(int, i);
    QFETCH(int, j);
    QFETCH(int, k);
    QFETCH(qint64, scale);
    QFETCH(QByteArray, separator);
    QFETCH(QByteArray, expected);

    Lut3DTable table;
    fillCases(table);
    Write_LUTFile w;
    w.dataOrderRGB = dataRGB;
    w.tableOrderRGB = tableRGB;
    const auto texts = printBoth([&](auto &out) { w.White3D(table, out, i, j, k, scale, sep(out, separator.constData())); });
    QCOMPARE(texts.first, expected);
    QCOMPARE(texts.second, expected);
}

void tst_Emitters::white1D_data()
{
    QTest::addColumn<bool>("dataRGB");
    QTest::addColumn<bool>("tableRGB");
    QTest::addColumn<int>("index");
    QTest::addColumn<qint64>("scale");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("general on a fresh stream") << true << true << 1 << qint64(1) << QByteArray("0.5 0.25 1 ");
    QTest::newRow("channels BGR") << false << true << 1 << qint64(1) << QByteArray("1 0.25 0.5 ");
    QTest::newRow("table order has no effect") << true << false << 1 << qint64(1) << QByteArray("0.5 0.25 1 ");
    QTest::newRow("scale 0 is float") << true << true << 1 << qint64(0) << QByteArray("0.5 0.25 1 ");
    QTest::newRow("scale 2 is integer") << true << true << 1 << qint64(2) << QByteArray("1 0 2 ");
    QTest::newRow("scale 1023") << true << true << 1 << qint64(1023) << QByteArray("511 255 1023 ");
    QTest::newRow("scale 1023, BGR") << false << true << 1 << qint64(1023) << QByteArray("1023 255 511 ");
    QTest::newRow("general forms") << true << true << 2 << qint64(1) << QByteArray("10.0313 1e-05 -1.23457e+06 ");
    QTest::newRow("special values") << true << true << 3 << qint64(1) << QByteArray("nan inf -0.333333 ");
    QTest::newRow("zero entry") << true << true << 0 << qint64(1) << QByteArray("0 0 0 ");
}

void tst_Emitters::white1D()
{
    QFETCH(bool, dataRGB);
    QFETCH(bool, tableRGB);
    QFETCH(int, index);
    QFETCH(qint64, scale);
    QFETCH(QByteArray, expected);

    Lut1DTable table;
    table.allocate(4);
    const float entries[4][3] = {{0, 0, 0}, {0.5f, 0.25f, 1.0f}, {10.03125f, 1e-5f, -1234567.0f}, {qnan, inf, -1.0f / 3}};
    for (int e = 0; e < 4; ++e)
        for (int c = 0; c < 3; ++c)
            table[e][c] = entries[e][c];
    Write_LUTFile w;
    w.dataOrderRGB = dataRGB;
    w.tableOrderRGB = tableRGB;
    const auto texts = printBoth([&](auto &out) { w.White1D(table, out, index, scale, sep(out, " ")); });
    QCOMPARE(texts.first, expected);
    QCOMPARE(texts.second, expected);
}

// White3D leaves the stream in fixed notation: a later 1D entry prints fixed, without width.
void tst_Emitters::white1DFixedAfterWhite3D()
{
    Lut3DTable lattice;
    fillCases(lattice);
    Lut1DTable table;
    table.allocate(1);
    table[0][0] = 0.5f;
    table[0][1] = 0.25f;
    table[0][2] = 1.0f;
    Write_LUTFile w;
    const auto texts = printBoth([&](auto &out) {
        w.White1D(table, out, 0, 1, sep(out, " "));
        putChar(out, '|');
        w.White3D(lattice, out, 0, 0, 0, 1, sep(out, " "));
        putChar(out, '|');
        w.White1D(table, out, 0, 1, sep(out, " "));
    });
    const QByteArray expected = "0.5 0.25 1 |0.000000 0.000000 0.000000|0.500000 0.250000 1.000000 ";
    QCOMPARE(texts.first, expected);
    QCOMPARE(texts.second, expected);
}

void tst_Emitters::whiteGamma_data()
{
    QTest::addColumn<bool>("dataRGB");
    QTest::addColumn<bool>("afterWhite3D");
    QTest::addColumn<qint64>("scale");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("general") << true << false << qint64(1) << QByteArray("0.5,");
    QTest::newRow("first element whatever the channel order") << false << false << qint64(1) << QByteArray("0.5,");
    QTest::newRow("fixed after White3D") << true << true << qint64(0) << QByteArray("0.500000,");
    QTest::newRow("integer") << false << false << qint64(1023) << QByteArray("511,");
}

void tst_Emitters::whiteGamma()
{
    QFETCH(bool, dataRGB);
    QFETCH(bool, afterWhite3D);
    QFETCH(qint64, scale);
    QFETCH(QByteArray, expected);

    Lut3DTable lattice;
    fillCases(lattice);
    Lut1DTable table;
    table.allocate(2);
    table[1][0] = 0.5f;
    table[1][1] = 0.25f;
    table[1][2] = 1.0f;
    Write_LUTFile w;
    w.dataOrderRGB = dataRGB;
    const QByteArray lead = afterWhite3D ? "0.000000 0.000000 0.000000" : "";
    const auto texts = printBoth([&](auto &out) {
        if (afterWhite3D)
            w.White3D(lattice, out, 0, 0, 0, 1, sep(out, " "));
        w.WhiteGamma(table, out, 1, scale, sep(out, ","));
    });
    QCOMPARE(texts.first, lead + expected);
    QCOMPARE(texts.second, lead + expected);
}

// Whole tables of random samples through every emitter, every flag combination and several
// scales: the stream and the writer print the same text.
void tst_Emitters::streamAndWriterAgree()
{
    const int n = 5;
    Lut3DTable lattice;
    lattice.allocate(n);
    Lut1DTable table;
    table.allocate(n * n);
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> unit(-0.5f, 1.5f);
    for (std::size_t i = 0; i < lattice.floatCount(); ++i)
        lattice.data()[i] = (i % 17 == 0) ? std::ldexp(unit(rng), int(rng() % 40) - 20) : unit(rng);
    for (int i = 0; i < n * n * 3; ++i)
        table.data()[i] = (i % 13 == 0) ? float(i) / 128.0f : unit(rng);
    lattice.data()[7] = qnan;
    table.data()[5] = -inf;

    for (int flags = 0; flags < 4; ++flags) {
        for (qint64 scale : {qint64(0), qint64(1), qint64(2), qint64(1023), qint64(65535)}) {
            Write_LUTFile w;
            w.dataOrderRGB = flags & 1;
            w.tableOrderRGB = flags & 2;
            const auto texts = printBoth([&](auto &out) {
                for (int e = 0; e < n * n; ++e) {
                    w.White1D(table, out, e, scale, sep(out, " "));
                    w.WhiteGamma(table, out, e, scale, sep(out, ";"));
                    putChar(out, '\n');
                }
                for (int i = 0; i < n; ++i)
                    for (int j = 0; j < n; ++j)
                        for (int k = 0; k < n; ++k) {
                            w.White3D(lattice, out, i, j, k, scale, sep(out, ", "));
                            putChar(out, '\n');
                        }
                for (int e = 0; e < n * n; ++e)
                    w.White1D(table, out, e, scale, sep(out, "\t"));
            });
            QVERIFY(texts.first.size() > n * n * n * 10);
            QCOMPARE(texts.second, texts.first);
        }
    }
}

void tst_Emitters::writeFileRefusesIds_data()
{
    QTest::addColumn<int>("formatId");
    for (int id : {1, 2, 3, 5, 9, 10})
        QTest::newRow(qPrintable(QStringLiteral("read-only id %1").arg(id))) << id;
    QTest::newRow("id -1") << -1;
    QTest::newRow("id 17") << 17;
    QTest::newRow("id 1000") << 1000;
    QTest::newRow("lowest int") << std::numeric_limits<int>::min();
}

void tst_Emitters::writeFileRefusesIds()
{
    QFETCH(int, formatId);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    Read_LUTFile lut;
    QVERIFY(lut.setSize3D(2, false));
    LUTFILE_ST side;
    side.path = dir.filePath("out.lut");
    side.formatId = formatId;
    Write_LUTFile w;
    QVERIFY(!w.WriteFile(side, lut));
    QVERIFY(!w.errorString.isEmpty());
    QVERIFY(!QFileInfo::exists(side.path));
    QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
}

// The dispatch hands the side's flags and scale to the writer: a 2-point .cube with integer
// samples, B G R on each line and blue running fastest.
void tst_Emitters::writeFileCopiesSettings()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    Read_LUTFile lut;
    QVERIFY(lut.setSize3D(2, false));
    for (int r = 0; r < 2; ++r)
        for (int g = 0; g < 2; ++g)
            for (int b = 0; b < 2; ++b)
                setNode(lut.lut3D, r, g, b, 0.5f * r, 0.25f * g + 0.5f, 1.0f * b);

    LUTFILE_ST side;
    side.path = dir.filePath("out.cube");
    side.formatId = int(Formats::Id::Cube);
    side.defaultOrder = true;   // .cube has no orders of its own and ignores this
    side.dataOrderRGB = false;
    side.tableOrderRGB = true;
    side.scale = 1023;
    Write_LUTFile w;
    w.dataOrderRGB = true;
    w.tableOrderRGB = false;
    QVERIFY2(w.WriteFile(side, lut), qPrintable(w.errorString));
    QCOMPARE(w.dataOrderRGB, false);
    QCOMPARE(w.tableOrderRGB, true);
    QCOMPARE(w.defaultOrder, true);
    QCOMPARE(w.scale, qint64(1023));

    QByteArray expected = "TITLE " + eol + "LUT_3D_SIZE 2" + eol;
    for (const char *line : {"0 511 0 ", "1023 511 0 ", "0 767 0 ", "1023 767 0 ",
                             "0 511 511 ", "1023 511 511 ", "0 767 511 ", "1023 767 511 "})
        expected += QByteArray(line) + eol;
    QCOMPARE(TestUtil::readFile(side.path), expected);

    // The same model as floats, with the window's output orders.
    side.dataOrderRGB = false;
    side.tableOrderRGB = false;
    side.scale = 1;
    QVERIFY(w.WriteFile(side, lut));
    const QList<QByteArray> lines = TestUtil::readFile(side.path).split('\n');
    QCOMPARE(lines.size(), 2 + 8 + 1);
    QCOMPARE(lines[2].trimmed(), QByteArray("0.000000 0.500000 0.000000"));
    QCOMPARE(lines[3].trimmed(), QByteArray("0.000000 0.500000 0.500000"));
    QCOMPARE(lines[9].trimmed(), QByteArray("1.000000 0.750000 0.500000"));
}

// A file another reader holds open is still replaced (on Windows the system refuses to move a
// file over it), and no temporary file is left beside it.
void tst_Emitters::replacesFileOpenForReading()
{
    QTemporaryDir dir;
    const QString path = TestUtil::writeTemp(dir, "held.cube", "old text\n");
    QFile reader(path);
    QVERIFY(reader.open(QIODevice::ReadOnly));
    Read_LUTFile lut;
    QVERIFY(lut.setSize3D(2, false));
    Write_LUTFile w;
    QVERIFY2(w.WriteFile(TestUtil::side(0, path), lut), qPrintable(w.errorString));
    QVERIFY(TestUtil::readFile(path).startsWith("TITLE " + eol + "LUT_3D_SIZE 2" + eol));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"held.cube"});
}

// Paths in the system's own spelling (backslashes on Windows) and with names beyond ASCII are
// written and read back.
void tst_Emitters::nativeAndNonAsciiPaths()
{
    QTemporaryDir dir;
    const QString folder = QDir::toNativeSeparators(dir.filePath(QStringLiteral("色彩 ñ")));
    QVERIFY(QDir().mkpath(folder));
    const QString path = folder + QDir::separator() + QStringLiteral("Überblick 調色.cube");
    Read_LUTFile lut;
    QVERIFY(lut.setSize3D(2, false));
    setNode(lut.lut3D, 1, 0, 1, 0.5f, 0.25f, 1.0f);
    Write_LUTFile w;
    QVERIFY2(w.WriteFile(TestUtil::side(0, path), lut), qPrintable(w.errorString));
    Read_LUTFile back;
    QVERIFY2(back.ReadFile(TestUtil::side(0, path), false), qPrintable(back.errorString));
    QCOMPARE(back.lut3DSize, 2);
    QCOMPARE(back.lut3D.node(1, 0, 1)[1], 0.25f);
}

QTEST_GUILESS_MAIN(tst_Emitters)
#include "tst_emitters.moc"
