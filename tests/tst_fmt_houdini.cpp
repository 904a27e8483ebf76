// Houdini .lut: the curve, lattice and curve-and-lattice forms read over their ranges, damaged
// files refused with their reasons, .lut files told apart from the two other .lut formats, the
// corpus file, and the writer's text and round trips.

#include <QTemporaryDir>
#include <QtTest>

#include "formats/faithful.h"
#include "formats/registry.h"
#include "testutil.h"

using Triple = QVector<double>;
Q_DECLARE_METATYPE(Triple)

namespace {

const Formats::Format &houdini()
{
    return *Formats::byName(QStringLiteral("houdini"));
}

QByteArray header(const char *version, const char *type, const char *from, const char *length)
{
    return QByteArray("Version\t\t") + version + "\nFormat\t\tany\nType\t\t" + type + "\nFrom\t\t" + from
           + "\nTo\t\t0 1\nBlack\t\t0\nWhite\t\t1\nLength\t\t" + length + "\nLUT:\n";
}

// A 2-point lattice with the red index fastest: node (r, g, b) holds (2r, 3g, 4b).
const QByteArray lattice = "3D {\n 0 0 0\n 2 0 0\n 0 3 0\n 2 3 0\n 0 0 4\n 2 0 4\n 0 3 4\n 2 3 4\n}\n";

bool readHoudini(const QString &path, LutTransform &t, QString *why)
{
    LUTFILE_ST side;
    side.path = path;
    side.defaultOrder = true;
    return Formats::readTransform(houdini(), side, Formats::Options(), t, why);
}

}

class TestFmtHoudini : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;

    QString write(const QByteArray &text, const QString &name = QStringLiteral("in.lut"))
    {
        return TestUtil::writeTemp(dir, name, text);
    }

private slots:
    void forms_data();
    void forms();
    void damaged_data();
    void damaged();
    void toldApart_data();
    void toldApart();
    void corpusFile();
    void writerText();
    void roundTrip_data();
    void roundTrip();
};

void TestFmtHoudini::forms_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<Triple>("in");
    QTest::addColumn<Triple>("want");
    const QByteArray curve = "RGB {\n\t0\n\t0.5\n\t2 }\n";
    QTest::newRow("C over 0 to 1") << header("1", "C", "0 1", "3") + curve << Triple{0.25, 0.75, 1.5} << Triple{0.25, 1.25, 2};
    QTest::newRow("C over -0.5 to 2, held at its ends") << header("1", "C", "-0.5 2", "3") + curve << Triple{-1, 0, 0.75}
                                                        << Triple{0, 0.2, 0.5};
    QTest::newRow("CA: the alpha curve passed over") << header("1", "CA", "0 1", "3") + curve + "A {\n 1 1 1\n}\n"
                                                     << Triple{0.25, 0.5, 1} << Triple{0.25, 0.5, 2};
    QTest::newRow("RGB: a curve each") << header("1", "RGB", "0 1", "3") + "R {\n 0 0.5 2 }\nG {0 0.1 0.2}\nB {\n1 0.5 0\n}\n"
                                       << Triple{0.25, 0.5, 1} << Triple{0.25, 0.1, 0};
    QTest::newRow("3D, blocks named as written") << header("2", "3D", "0 1", "2") + QByteArray(lattice).replace("3D {", " {")
                                                 << Triple{0.5, 0.25, 1} << Triple{1, 0.75, 4};
    QTest::newRow("3D over 0 to 2") << header("2", "3D", "0 2", "2") + lattice << Triple{1, 0.5, 4} << Triple{1, 0.75, 4};
    QTest::newRow("3D+1D: a curve, then the lattice over 0 to 1") << header("3", "3D+1D", "-1 3", "2 3") + "Pre {\n 0 0.25 1\n}\n" + lattice
                                                                  << Triple{0, 1, 3} << Triple{0.25, 0.75, 4};
    QTest::newRow("type in lower case") << header("1", "c", "0 1", "3") + curve << Triple{0.5, 0.5, 0.5} << Triple{0.5, 0.5, 0.5};
}

// Each form does what its tables say: curves over "From", a lattice over it, or a curve
// over it and then a lattice over 0 to 1.
void TestFmtHoudini::forms()
{
    QFETCH(QByteArray, text);
    QFETCH(Triple, in);
    QFETCH(Triple, want);
    LutTransform t;
    QString why;
    QVERIFY2(readHoudini(write(text), t, &why), qPrintable(why));
    float rgb[3] = {float(in[0]), float(in[1]), float(in[2])};
    t.apply(rgb);
    TestUtil::expectTriple(rgb, float(want[0]), float(want[1]), float(want[2]), QStringLiteral("the transform"));
}

void TestFmtHoudini::damaged_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("reason");
    const QByteArray good = header("1", "C", "0 1", "3") + "RGB {\n 0\n 0.5\n 1\n}\n";
    auto variant = [&good](const char *from, const char *to) { return QByteArray(good).replace(from, to); };
    QTest::newRow("empty") << QByteArray() << "no \"LUT:\" line";
    QTest::newRow("no Version first") << variant("Version\t\t1\n", "") << "line 1: the first line is not \"Version\" (not a Houdini LUT)";
    QTest::newRow("no LUT: line") << variant("LUT:\n", "") << "line 9: a table starts before the \"LUT:\" line";
    QTest::newRow("unknown type") << variant("Type\t\tC", "Type\t\t4D") << "line 3: Type \"4D\" is not one this reader knows (C, CA, RGB, RGBA, 3D, 3D+1D)";
    QTest::newRow("no Type") << variant("Type\t\tC\n", "") << "line 8: no \"Type\" line before \"LUT:\"";
    QTest::newRow("no Length") << variant("Length\t\t3\n", "") << "line 8: no \"Length\" line before \"LUT:\"";
    QTest::newRow("Length not a number") << variant("Length\t\t3", "Length\t\tmany") << "line 9: Type C needs one whole number on its \"Length\" line, not \"many\"";
    QTest::newRow("3D+1D with one Length") << header("3", "3D+1D", "0 1", "2") + "Pre {\n0 1\n}\n" + lattice
                                           << "line 9: Type 3D+1D needs two whole numbers (lattice points, then curve entries) on its \"Length\" line, not \"2\"";
    QTest::newRow("inverted range") << variant("From\t\t0 1", "From\t\t1 0") << "line 4: From \"1 0\" is not a range of two numbers, the smaller first";
    QTest::newRow("Length beyond the limit") << variant("Length\t\t3", "Length\t\t4294967297") << "line 9: 1D size 4294967297 is outside 1 to 1048576";
    QTest::newRow("lattice beyond the limit") << header("2", "3D", "0 1", "257") + lattice << "line 9: 3D size 257 is outside 1 to 256";
    QTest::newRow("more than the file holds") << header("2", "3D", "0 1", "200") + lattice
                                              << "line 9: the Length asks for 24000000 numbers, more than a file of 148 bytes holds";
    QTest::newRow("too few numbers") << variant(" 1\n}", "}") << "line 10: block \"RGB\" holds 2 numbers, not 3";
    QTest::newRow("too many numbers") << variant(" 1\n}", " 1\n 1\n}") << "line 14: block \"RGB\" holds more than 3 numbers";
    QTest::newRow("not a number") << variant(" 0.5\n", " 0.5x\n") << "line 12: \"0.5x\" in block \"RGB\" is not a number";
    QTest::newRow("unclosed block") << variant("}\n", "") << "line 10: block \"RGB\" has no closing \"}\"";
    QTest::newRow("no block") << variant("RGB {\n 0\n 0.5\n 1\n}\n", "") << "no \"RGB\" block";
    QTest::newRow("a block of another type") << variant("RGB {", "3D {") << "line 10: a block \"3D\" is not one of a Type C LUT";
    QTest::newRow("a second block") << good + "RGB {\n 0 0 0\n}\n" << "line 15: a second block \"RGB\"";
    QTest::newRow("text outside a block") << good + "trailing words\n" << "line 15: \"trailing words\" stands outside a block";
    QTest::newRow("RGB without B") << header("1", "RGB", "0 1", "2") + "R { 0 1 }\nG { 0 1 }\n" << "no \"B\" block";
}

void TestFmtHoudini::damaged()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, reason);
    LutTransform t;
    QString why;
    QVERIFY(!readHoudini(write(text), t, &why));
    QCOMPARE(why, reason);
}

void TestFmtHoudini::toldApart_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("format");
    QTest::newRow("Houdini") << header("1", "C", "0 1", "2") + "RGB {\n0 1\n}\n" << "houdini";
    QTest::newRow("Houdini after blank lines") << "\n\n" + header("1", "C", "0 1", "2") + "RGB {\n0 1\n}\n" << "houdini";
    QTest::newRow("Discreet") << QByteArray("# Discreet\nLUT: 3 2\n0\n1\n0\n1\n0\n1\n") << "discreet";
    QTest::newRow("the 1D .lut") << QByteArray("0\t0\t0\t0\n1\t255\t255\t255\n") << "lut1d";
    QTest::newRow("a word Versions is not a Houdini line") << QByteArray("Versions 2\nLUT: 3 2\n0\n1\n0\n1\n0\n1\n") << "discreet";
}

// Detection by content keeps the three .lut formats apart.
void TestFmtHoudini::toldApart()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, format);
    QString why;
    const Formats::Format *f = Formats::detect(write(text, QStringLiteral("grade.lut")), &why);
    QVERIFY2(f, qPrintable(why));
    QCOMPARE(QLatin1String(f->name), format);
}

// houdini.lut: a 1024-entry curve for all three channels over 0 to 1.
void TestFmtHoudini::corpusFile()
{
    LutTransform t;
    QString why;
    QVERIFY2(readHoudini(QStringLiteral(LUTWRIGHT_CORPUS "/houdini.lut"), t, &why), qPrintable(why));
    QVERIFY(t.hasShaper() && !t.hasLattice());
    const Read_LUTFile &m = *t.tables();
    QCOMPARE(m.lut1DSize, 1024);
    TestUtil::expectTriple(m.lut1D[1], 0.0000756966f, 0.0000756966f, 0.0000756966f, QStringLiteral("entry 1"));
    TestUtil::expectTriple(m.lut1D[1020], 0.994458f, 0.994458f, 0.994458f, QStringLiteral("entry 1020"));
    TestUtil::expectTriple(m.lut1D[1023], 1.0f, 1.0f, 1.0f, QStringLiteral("entry 1023"));
    TestUtil::expectTriple(m.domainMax1D, 1.0f, 1.0f, 1.0f, QStringLiteral("the range"));
}

// A curve and a lattice: the header, the one Pre curve, the lattice with the red index fastest.
void TestFmtHoudini::writerText()
{
    auto m = std::make_shared<Read_LUTFile>();
    TestUtil::fillSteps(*m);
    m->setSize1D(2, false);
    m->lut1D[1][0] = m->lut1D[1][1] = m->lut1D[1][2] = 0.5f;
    std::fill(m->domainMin1D, m->domainMin1D + 3, -0.25f);
    const QString out = dir.filePath(QStringLiteral("out.lut"));
    Write_LUTFile writer;
    const LutTransform t = LutTransform::ofTables(m);
    QVERIFY(houdini().faithful->holds(t, Formats::Options()));
    QVERIFY2(houdini().faithful->write(writer, out, t, Formats::Options()), qPrintable(writer.errorString));
    QCOMPARE(TestUtil::readText(out),
             QByteArray("Version\t\t3\nFormat\t\tany\nType\t\t3D+1D\nFrom\t\t-0.25 1\nTo\t\t0 1\nBlack\t\t0\nWhite\t\t1\nLength\t\t2 2\nLUT:\n"
                        "Pre {\n\t0\n\t0.5\n}\n3D {\n\t0 0 0\n\t1 0 0\n\t0 0.5 0\n\t1 0.5 0\n\t0 0 0.25\n\t1 0 0.25\n\t0 0.5 0.25\n\t1 0.5 0.25\n}\n"));
}

void TestFmtHoudini::roundTrip_data()
{
    QTest::addColumn<int>("form");
    QTest::newRow("one curve (C)") << 0;
    QTest::newRow("a curve each (RGB)") << 1;
    QTest::newRow("a lattice over 0 to 1 (3D)") << 2;
    QTest::newRow("a lattice over -1 to 3, behind a linear curve") << 3;
    QTest::newRow("a curve and a lattice (3D+1D)") << 4;
}

// Every form the writer makes reads back as the same transform, values beyond 0 to 1 kept.
void TestFmtHoudini::roundTrip()
{
    QFETCH(int, form);
    auto m = std::make_shared<Read_LUTFile>();
    if (form >= 2)
        TestUtil::fillRandomLattice(*m, 5, 11);
    if (form != 2 && form != 3) {
        TestUtil::fill1D(*m, 17, 5);
        for (int i = 0; i < 17 && form != 1; ++i)
            m->lut1D[i][1] = m->lut1D[i][2] = m->lut1D[i][0];
        std::fill(m->lut1D[16], m->lut1D[16] + (form == 1 ? 1 : 3), 1.75f);
    }
    float *min = form == 3 ? m->domainMin3D : m->domainMin1D, *max = form == 3 ? m->domainMax3D : m->domainMax1D;
    if (form != 2) {
        std::fill(min, min + 3, -1.0f);
        std::fill(max, max + 3, 3.0f);
    }
    const LutTransform t = LutTransform::ofTables(m);
    QVERIFY(houdini().faithful->holds(t, Formats::Options()));
    const QString out = dir.filePath(QStringLiteral("trip.lut"));
    Write_LUTFile writer;
    QVERIFY2(houdini().faithful->write(writer, out, t, Formats::Options()), qPrintable(writer.errorString));
    LutTransform back;
    QString why;
    QVERIFY2(readHoudini(out, back, &why), qPrintable(why));
    for (int k = 0; k < 200; ++k) {
        float a[3] = {-1.5f + 0.0237f * k, 3.2f - 0.0211f * k, 0.5f + 0.013f * float(k % 17)};
        float b[3] = {a[0], a[1], a[2]};
        t.apply(a);
        back.apply(b);
        for (int c = 0; c < 3; ++c)
            QVERIFY2(std::fabs(a[c] - b[c]) <= 1e-6f * std::max(1.0f, std::fabs(a[c])), qPrintable(QStringLiteral("point %1 channel %2: %3, not %4").arg(k).arg(c).arg(double(b[c])).arg(double(a[c]))));
    }
}

QTEST_GUILESS_MAIN(TestFmtHoudini)
#include "tst_fmt_houdini.moc"
