// One graded lattice written through every writable 3D text format and read back: every
// format gives the same nodes (six decimals), with each side using its format's own orders
// and with explicit orders.
#include <QtTest>

#include <cmath>

#include "lut/read_lutfile.h"
#include "lut/write_lutfile.h"

namespace {

const int writable3D[] = {0, 4, 8, 11, 13, 16};

void fillGrade(Read_LUTFile &m, int n)
{
    QVERIFY(m.setSize3D(n, false));
    for (int r = 0; r < n; ++r)
        for (int g = 0; g < n; ++g)
            for (int b = 0; b < n; ++b) {
                const float x = float(r) / (n - 1), y = float(g) / (n - 1), z = float(b) / (n - 1);
                float *v = m.lut3D[r][g][b];
                v[0] = 0.7f * x * x + 0.2f * y + 0.1f * z * x;
                v[1] = 0.15f * x + 0.75f * std::sqrt(y) + 0.1f * z;
                v[2] = 0.03f + 0.9f * z * (0.6f + 0.4f * y);
            }
}

}

class TestCross3D : public QObject
{
    Q_OBJECT
private slots:
    void allFormatsAgree_data();
    void allFormatsAgree();
};

void TestCross3D::allFormatsAgree_data()
{
    QTest::addColumn<bool>("defaultOrder");
    QTest::addColumn<bool>("dataRGB");
    QTest::addColumn<bool>("tableRGB");
    QTest::newRow("own orders") << true << true << false;
    QTest::newRow("RGB, blue fastest") << false << true << true;
    QTest::newRow("BGR, red fastest") << false << false << false;
}

void TestCross3D::allFormatsAgree()
{
    QFETCH(bool, defaultOrder);
    QFETCH(bool, dataRGB);
    QFETCH(bool, tableRGB);
    QTemporaryDir dir;
    Read_LUTFile grade;
    fillGrade(grade, 7);

    QList<int> read;
    for (int id : writable3D) {
        LUTFILE_ST side;
        side.path = dir.filePath(QStringLiteral("lut%1").arg(id));
        side.formatId = id;
        // .cube has no orders of its own: write it in the layout its reader expects.
        side.defaultOrder = defaultOrder;
        side.dataOrderRGB = id == 0 && defaultOrder ? true : dataRGB;
        side.tableOrderRGB = id == 0 && defaultOrder ? false : tableRGB;
        Write_LUTFile w;
        QVERIFY2(w.WriteFile(side, grade), qPrintable(QStringLiteral("write %1: %2").arg(id).arg(w.errorString)));

        Read_LUTFile back;
        QVERIFY2(back.ReadFile(side, false), qPrintable(QStringLiteral("read %1: %2").arg(id).arg(back.errorString)));
        QCOMPARE(back.lut3DSize, 7);
        float worst = 0;
        for (std::size_t i = 0; i < grade.lut3D.floatCount(); ++i)
            worst = std::max(worst, std::fabs(back.lut3D.data()[i] - grade.lut3D.data()[i]));
        QVERIFY2(worst <= 5.1e-7f, qPrintable(QStringLiteral("format %1 differs by %2").arg(id).arg(worst)));
        read << id;
    }
    QCOMPARE(read.size(), int(sizeof writable3D / sizeof *writable3D));
}

QTEST_GUILESS_MAIN(TestCross3D)
#include "tst_cross3d.moc"
