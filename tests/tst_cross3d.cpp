// One graded lattice written through every writable 3D text format and read back: every
// format gives the same nodes (six decimals), with each side using its format's own orders
// and with explicit orders.
#include <QtTest>

#include <cmath>

#include "formats/registry.h"
#include "lut/read_lutfile.h"

namespace {

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

    int read = 0;
    for (const Formats::Format *format : Formats::all()) {
        if (!format->is3D || !format->write)
            continue;
        const char *id = format->name;
        LUTFILE_ST side;
        side.path = dir.filePath(QStringLiteral("lut.%1").arg(Formats::extensionsOf(*format).value(0)));
        // .cube's writer has no orders of its own: its own are given as flags.
        side.defaultOrder = defaultOrder;
        side.dataOrderRGB = defaultOrder ? format->writeOrder.dataRGB : dataRGB;
        side.tableOrderRGB = defaultOrder ? format->writeOrder.tableRGB : tableRGB;
        QString why;
        QVERIFY2(Formats::write(*format, side, grade, &why), qPrintable(QStringLiteral("write %1: %2").arg(id, why)));

        Read_LUTFile back;
        QVERIFY2(Formats::read(*format, side, back, false),
                 qPrintable(QStringLiteral("read %1: %2").arg(id, back.errorString)));
        QCOMPARE(back.lut3DSize, 7);
        float worst = 0;
        for (std::size_t i = 0; i < grade.lut3D.floatCount(); ++i)
            worst = std::max(worst, std::fabs(back.lut3D.data()[i] - grade.lut3D.data()[i]));
        QVERIFY2(worst <= 5.1e-7f, qPrintable(QStringLiteral("format %1 differs by %2").arg(id).arg(worst)));
        ++read;
    }
    QVERIFY(read >= 6);
}

QTEST_GUILESS_MAIN(TestCross3D)
#include "tst_cross3d.moc"
