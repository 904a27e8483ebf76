#include <QTemporaryDir>
#include <QtTest>

#include "formats/registry.h"
#include "lut/read_lutfile.h"
#include "testutil.h"

namespace {

constexpr int cubId = int(Formats::Id::Cub);

using TestUtil::identityValue;
using TestUtil::latticeLines;
using TestUtil::rampValue;

// The 2-point sample: keywords on lines 1-5, input table on 6-7, "Cube" on 8, lattice on
// 9-16, "End" on 17.
const QByteArray good = "# iDims 3\n# oDims 3\n# width 2 2 2\n# lutLength 2\n# InputLUT\n0 0 0\n2 2 2\n# Cube\n"
                        + latticeLines(2, identityValue) + "# End\n";

// A file as a colour-management tool writes it: aligned keywords, an input table of lattice
// coordinates 0 to N - 1, leading blanks on sample lines, CRLF, a lower-case "end".
QByteArray toolFile(int n, bool cubeFirst)
{
    QByteArray input;
    for (int i = 0; i < n; ++i) {
        const QByteArray v = QByteArray::number(double(i), 'f', 6);
        input += " " + v + " " + v + " " + v + "\r\n";
    }
    const QByteArray inputSection = "# InputLUT\r\n" + input + "\r\n";
    const QByteArray cubeSection = "# Cube\r\n" + latticeLines(n, rampValue, "  ", "\r\n").replace("\r\n", "\r\n ").prepend(" ") + "\r\n";
    const QByteArray nb = QByteArray::number(n);
    return "# Truelight Cube v2.0\r\n# lutLength " + nb + "\r\n# iDims     3\r\n# oDims     3\r\n# width     " + nb + " " + nb + " "
           + nb + "\r\n\r\n" + (cubeFirst ? cubeSection + inputSection : inputSection + cubeSection) + "# end\r\n";
}

}

class TestFmtCub : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    QString put(const QByteArray &bytes) { return TestUtil::writeTemp(dir, QStringLiteral("t.cub"), bytes); }

private slots:
    void identity2()
    {
        Read_LUTFile lut;
        QVERIFY2(lut.ReadFile(TestUtil::side(cubId, put(good)), false), qPrintable(lut.errorString));
        TestUtil::compareCleanRead(lut, true, false);
        TestUtil::compareLattice(lut, 2, identityValue);
        QCOMPARE(lut.lut1DSize, 2);
        for (int ch = 0; ch < 3; ++ch) {
            QCOMPARE(lut.lut1D[0][ch], 0.0f);
            QCOMPARE(lut.lut1D[1][ch], 1.0f);
        }
    }

    // Either order of the sections gives the same tables; input entries are divided by the
    // width and, in the format's own orders, stored reversed.
    void toolLayout_data()
    {
        QTest::addColumn<bool>("cubeFirst");
        QTest::newRow("cube first") << true;
        QTest::newRow("input table first") << false;
    }
    void toolLayout()
    {
        QFETCH(bool, cubeFirst);
        const int n = 5;
        Read_LUTFile lut;
        QVERIFY2(lut.ReadFile(TestUtil::side(cubId, put(toolFile(n, cubeFirst))), false), qPrintable(lut.errorString));
        TestUtil::compareLattice(lut, n, rampValue);
        QCOMPARE(lut.lut1DSize, n);
        for (int i = 0; i < n; ++i)
            for (int ch = 0; ch < 3; ++ch)
                QCOMPARE(lut.lut1D[i][ch], float(i) / float(n));
    }

    void inputEntryScale()
    {
        QByteArray file = "# width 17 17 17\n# lutLength 1\n# InputLUT\n1 2 4\n# Cube\n" + latticeLines(17, identityValue);
        Read_LUTFile lut;
        QVERIFY2(lut.ReadFile(TestUtil::side(cubId, put(file)), false), qPrintable(lut.errorString));
        QCOMPARE(lut.lut1D[0][0], 4.0f / 17.0f);
        QCOMPARE(lut.lut1D[0][1], 2.0f / 17.0f);
        QCOMPARE(lut.lut1D[0][2], 1.0f / 17.0f);
        TestUtil::compareLattice(lut, 17, identityValue);
    }

    // Files that read, with what they must give.
    void accepted_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("size3D");
        QTest::addColumn<int>("size1D");
        const QByteArray cube = "# Cube\n" + latticeLines(2, identityValue);
        QTest::newRow("End stops reading") << good + "# width 3 3 3\n" << 2 << 2;
        QTest::newRow("dimensions other than 3 stop reading")
            << QByteArray(good).replace("# End", "# oDims 1\n# width 3 3 3") << 2 << 2;
        QTest::newRow("lower-case end is a comment") << QByteArray(good).replace("# End", "# end") + "# Note 1\nfree text\n" << 2 << 2;
        QTest::newRow("no input table") << "# width 2 2 2\n# lutLength 0\n" + cube << 2 << 0;
        QTest::newRow("lattice only") << "# width 2 2 2\n" + cube << 2 << 0;
        QTest::newRow("keyword lines in a section are skipped")
            << "# width 2 2 2\n# Cube\n0 0 0\n# note\n" + latticeLines(2, identityValue).mid(6) << 2 << 0;
        QTest::newRow("last sample missing") << "# width 2 2 2\n" + cube.left(cube.size() - 6) << 2 << 0;
    }
    void accepted()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, size3D);
        QFETCH(int, size1D);
        Read_LUTFile lut;
        QVERIFY2(lut.ReadFile(TestUtil::side(cubId, put(file)), false), qPrintable(lut.errorString));
        QCOMPARE(lut.lut3DSize, size3D);
        QCOMPARE(lut.lut1DSize, size1D);
        QCOMPARE(lut.lut3D[1][1][0][1], 1.0f);
    }

    // Damaged variants of the good sample, each with the reason it must give.
    void damaged_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("reason");
        auto with = [](const char *from, const char *to) { return QByteArray(good).replace(from, to); };
        QTest::newRow("iDims 1") << with("# iDims 3", "# iDims 1") << "line 1: iDims is 1: only 3 dimensions can be read";
        QTest::newRow("oDims 2") << with("# oDims 3", "# oDims 2") << "line 2: oDims is 2: only 3 dimensions can be read";
        QTest::newRow("iDims 4 before the lattice") << with("# Cube", "# iDims 4\n# Cube") << "line 8: iDims is 4: only 3 dimensions can be read";
        QTest::newRow("width unequal") << with("2 2 2\n# lut", "2 2 3\n# lut") << "line 3: width 2 2 3: the three must be equal";
        QTest::newRow("width not numbers") << with("2 2 2\n# lut", "a b c\n# lut") << "line 3: width needs three whole numbers";
        QTest::newRow("width too large") << with("2 2 2\n# lut", "300 300 300\n# lut") << "line 3: 3D size 300 is outside 1 to 256";
        QTest::newRow("width zero") << with("2 2 2\n# lut", "0 0 0\n# lut") << "line 3: 3D size 0 is outside 1 to 256";
        QTest::newRow("width of four tokens") << with("2 2 2\n# lut", "2 2\n# lut")
                                              << "line 5: \"InputLUT\" needs a width and a lutLength line before it";
        QTest::newRow("width without blank") << with("# width", "#width")
                                             << "line 5: \"InputLUT\" needs a width and a lutLength line before it";
        QTest::newRow("lutLength without number") << with("# lutLength 2", "# lutLength") << "line 4: lutLength has no whole number";
        QTest::newRow("lutLength too large") << with("# lutLength 2", "# lutLength 2000000") << "line 4: 1D size 2000000 is outside 1 to 1048576";
        QTest::newRow("lutLength negative") << with("# lutLength 2", "# lutLength -1") << "line 4: 1D size -1 is outside 1 to 1048576";
        QTest::newRow("lattice ends early") << good.left(good.indexOf("1 0 1\n")) << "line 13: the lattice ends after 5 of 8 samples";
        QTest::newRow("input table ends early")
            << "# width 2 2 2\n# lutLength 3\n# Cube\n" + latticeLines(2, identityValue) + "# InputLUT\n0 0 0\n"
            << "line 13: the 1D table ends after 1 of 3 entries";
        QTest::newRow("Cube before width")
            << "# lutLength 2\n# Cube\n" + latticeLines(2, identityValue) + "# width 2 2 2\n# InputLUT\n0 0 0\n2 2 2\n"
            << "line 2: \"Cube\" needs a width line before it";
        QTest::newRow("no Cube section") << good.left(good.indexOf("# Cube")) << "line 3: the lattice of width 2 has no \"Cube\" section";
        QTest::newRow("no InputLUT section") << with("# InputLUT\n0 0 0\n2 2 2\n", "")
                                             << "line 4: the input table of length 2 has no \"InputLUT\" section";
        QTest::newRow("no sizes") << QByteArray("# Truelight Cube v2.0\n# Cube\n0 0 0\n") << "no \"width\" or \"lutLength\" line";
        QTest::newRow("empty file") << QByteArray() << "no \"width\" or \"lutLength\" line";
    }
    void damaged()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, reason);
        Read_LUTFile lut;
        QVERIFY(!lut.ReadFile(TestUtil::side(cubId, put(file)), false));
        QCOMPARE(lut.errorString, reason);
        for (int ch = 0; ch < 3; ++ch)
            QCOMPARE(lut.domainMax1D[ch], 1.0f);
    }
};

QTEST_GUILESS_MAIN(TestFmtCub)
#include "tst_fmt_cub.moc"
