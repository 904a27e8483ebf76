// The command line on ASC CDL grades: --cdl and --cdl-file before or after a LUT, --cdl-id in a
// collection, info on CDL files, and what a .cc or .spimtx output refuses.

#include <QtTest>

#include <cmath>

#include "clitest.h"

namespace {

double clamp01(double v) { return std::min(1.0, std::max(0.0, v)); }

// ASC CDL v1.2 in double precision.
void cdl(const double *in, const double *s, const double *o, const double *p, double sat, double *out)
{
    double v[3];
    for (int c = 0; c < 3; ++c)
        v[c] = std::pow(clamp01(in[c] * s[c] + o[c]), p[c]);
    const double luma = 0.2126 * v[0] + 0.7152 * v[1] + 0.0722 * v[2];
    for (int c = 0; c < 3; ++c)
        out[c] = clamp01(luma + sat * (v[c] - luma));
}

// The LUT graded: 0.5 x + 0.25 on every channel, which a lattice holds exactly.
void affine(const double *in, double *out)
{
    for (int c = 0; c < 3; ++c)
        out[c] = 0.5 * in[c] + 0.25;
}

QString corpus(const char *name)
{
    return QStringLiteral(LUTWRIGHT_CORPUS "/") + QLatin1String(name);
}

}

class TestCliGrade : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void graded_data();
    void graded();
    void usageErrors_data();
    void usageErrors();
    void infoOnCdl();
    void cdlOutputs_data();
    void cdlOutputs();
};

void TestCliGrade::graded_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<bool>("after");
    QTest::addColumn<QVector<double>>("numbers");   // slopes, offsets, powers, saturation
    const QVector<double> four = {1.1, 1.1, 1.1, 0.02, 0.02, 0.02, 0.9, 0.9, 0.9, 1.2};
    const QVector<double> cc0002 = {0.9, 0.7, 0.6, 0.1, 0.1, 0.1, 0.9, 0.9, 0.9, 0.7};
    QTest::newRow("--cdl, four numbers, before") << QStringList{"--cdl", "1.1,0.02,0.9,1.2"} << false << four;
    QTest::newRow("--cdl, ten numbers, after")
        << QStringList{"--cdl", "0.9,0.7,0.6,0.1,0.1,0.1,0.9,0.9,0.9,0.7", "--cdl-after"} << true << cc0002;
    QTest::newRow("--cdl-file of a collection, by id") << QStringList{"--cdl-file", corpus("cdl_test1.ccc"), "--cdl-id", "cc0002"} << false << cc0002;
    QTest::newRow("--cdl-file of a CLF ASC_CDL, after")
        << QStringList{"--cdl-file", TestUtil::clfCorpusFile("cdl_clamp_fwd.clf"), "--cdl-after"} << true
        << QVector<double>{1.35, 1.1, 0.71, 0.05, -0.23, 0.11, 0.93, 0.81, 1.27, 1.239};
}

// The grade and the LUT are evaluated together at every node of the output.
void TestCliGrade::graded()
{
    QFETCH(QStringList, options);
    QFETCH(bool, after);
    QFETCH(QVector<double>, numbers);
    const QString in = CliTest::writeCube(dir.filePath(QStringLiteral("affine.cube")), 2, [](float r, float g, float b, float *o) {
        const double x[3] = {r, g, b};
        double y[3];
        affine(x, y);
        std::copy(y, y + 3, o);
    });
    const QString out = dir.filePath(QStringLiteral("graded.cube"));
    const CliTest::Run r = CliTest::run(QStringList{"convert", in, "-o", out, "--size", "9"} + options);
    QVERIFY2(r.code == 0, qPrintable(r.all()));
    Read_LUTFile m;
    QVERIFY2(m.ReadFile(TestUtil::side(Formats::Id::Cube, out), false), qPrintable(m.errorString));
    const QString diff = CliTest::latticeDiffers(m, 9, [&](const float *p, float *want) {
        double x[3] = {p[0], p[1], p[2]}, y[3], z[3];
        if (after) {
            affine(x, y);
            cdl(y, numbers.data(), numbers.data() + 3, numbers.data() + 6, numbers[9], z);
        } else {
            cdl(x, numbers.data(), numbers.data() + 3, numbers.data() + 6, numbers[9], y);
            affine(y, z);
        }
        std::copy(z, z + 3, want);
    }, 2e-6f);
    QVERIFY2(diff.isEmpty(), qPrintable(diff));
}

void TestCliGrade::usageErrors_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("message");
    QTest::newRow("three numbers") << QStringList{"--cdl", "1,0,1"} << "--cdl: '1,0,1' is not 4 numbers";
    QTest::newRow("power 0") << QStringList{"--cdl", "1,0,0,1"} << "--cdl: a Power of 0 is not above 0";
    QTest::newRow("both") << QStringList{"--cdl", "1,0,1,1", "--cdl-file", corpus("cdl_test1.cc")} << "give --cdl or --cdl-file, not both";
    QTest::newRow("after without a grade") << QStringList{"--cdl-after"} << "--cdl-after needs --cdl or --cdl-file";
    QTest::newRow("a file that is no CDL") << QStringList{"--cdl-file", corpus("iridas_3d.cube")} << "is not one ASC CDL correction";
    QTest::newRow("a missing file") << QStringList{"--cdl-file", "nothing.cc"} << "--cdl-file nothing.cc: no such file";
    QTest::newRow("an id no correction has") << QStringList{"--cdl-file", corpus("cdl_test1.ccc"), "--cdl-id", "x"}
                                             << "no correction has the id \"x\"";
}

void TestCliGrade::usageErrors()
{
    QFETCH(QStringList, options);
    QFETCH(QString, message);
    const CliTest::Run r = CliTest::run(QStringList{"convert", corpus("iridas_3d.cube"), "-o", dir.filePath(QStringLiteral("x.cube"))} + options);
    QCOMPARE(r.code, 2);
    QVERIFY2(r.err.contains(message), qPrintable(r.err));
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("x.cube"))));
}

// info gives a correction's numbers and a collection's ids.
void TestCliGrade::infoOnCdl()
{
    const CliTest::Run r = CliTest::run({"info", corpus("cdl_test1.ccc"), "--cdl-id", "2"});
    QVERIFY2(r.code == 0, qPrintable(r.all()));
    for (const char *line : {"\n  slope       0.9 0.7 0.6\n", "\n  offset      0.1 0.1 0.1\n", "\n  power       0.9 0.9 0.9\n",
                             "\n  saturation  0.7\n", "\n  id          cc0002\n", "\n  correction  2 of 5\n",
                             "\n  corrections 1 cc0001, 2 cc0002, 3 cc0003, 4 (empty id), 5 (no id)\n"})
        QVERIFY2(r.out.contains(QLatin1String(line)), qPrintable(QLatin1String(line) + r.out));
    const CliTest::Run m = CliTest::run({"info", corpus("camera_to_aces.spimtx")});
    QVERIFY2(m.out.contains(QLatin1String("\n  matrix      0.754339 0.133697 0.111968 | 0.0211981 1.00541 -0.0266105 | -0.00975699 0.00450856 1.00525\n")),
             qPrintable(m.out));
    // In a chain the numbered keys are longer than the key column: a space still parts them.
    const CliTest::Run c = CliTest::run({"info", corpus("clf/multiple_ops.clf")});
    QVERIFY2(c.out.contains(QLatin1String("\n  step 1 slope 1.1 1 0.8\n")), qPrintable(c.out));
}

void TestCliGrade::cdlOutputs_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("says");   // in the output file, or the reason
    QTest::newRow("the second of a collection as a .cc") << QStringList{corpus("cdl_test1.ccc"), "--cdl-id", "2", "-o", "%1.cc"} << 0
                                                           << "<Slope>0.9 0.7 0.6</Slope>";
    QTest::newRow("a CLF ASC_CDL as a .cdl") << QStringList{TestUtil::clfCorpusFile("cdl_clamp_fwd.clf"), "-o", "%1.cdl"} << 0
                                             << "<Slope>1.35 1.1 0.71</Slope>";
    QTest::newRow("a .cc as CLF") << QStringList{corpus("cdl_test1.cc"), "-o", "%1.clf"} << 0 << "style=\"Fwd\"";
    QTest::newRow("a lattice as a .cc") << QStringList{corpus("iridas_3d.cube"), "-o", "%1.cc"} << 1
        << "not written: .cc ASC CDL correction files hold one ASC CDL correction (slope, offset, power and saturation), which this LUT is not";
    QTest::newRow("a CDL as a .spimtx") << QStringList{corpus("cdl_test1.cc"), "-o", "%1.spimtx"} << 1
        << "not written: .spimtx matrix files hold one 3x4 matrix (a .spimtx, or a CLF Matrix), which this LUT is not";
    QTest::newRow("a CDL before a CDL as a .cc") << QStringList{corpus("cdl_test1.cc"), "--cdl", "1,0,1,1", "-o", "%1.cc"} << 1
        << "which this LUT is not";
}

void TestCliGrade::cdlOutputs()
{
    QFETCH(QStringList, args);
    QFETCH(int, code);
    QFETCH(QString, says);
    const QString base = dir.filePath(QString::fromLatin1(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('_')));
    QString out;
    for (QString &a : args)
        if (a.contains(QLatin1String("%1")))
            out = a = a.arg(base);
    const CliTest::Run r = CliTest::run(QStringList{"convert"} + args);
    QCOMPARE(r.code, code);
    if (code != 0) {
        QVERIFY2(r.err.contains(says), qPrintable(r.err));
        QVERIFY(!QFile::exists(out));
        return;
    }
    QVERIFY2(QString::fromUtf8(TestUtil::readFile(out)).contains(says), qPrintable(QString::fromUtf8(TestUtil::readFile(out))));
}

QTEST_GUILESS_MAIN(TestCliGrade)
#include "tst_cli_grade.moc"
