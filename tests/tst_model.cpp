// The LUT model: construction, store rules, allocation limits, format table, reading dispatch.
#include <QtTest>

#include "formats/registry.h"
#include "lut/lutlimits.h"
#include "lut/read_lutfile.h"
#include "testutil.h"

class TestModel : public QObject
{
    Q_OBJECT
private slots:
    void freshModel();
    void allocation();
    void allocationLimits();
    void store3D_data();
    void store3D();
    void store3DRanges();
    void store1D_data();
    void store1D();
    void formatTable();
    void dispatchOrders();
    void dispatchUnknownId();
    void dispatchHeaderOnly();
    void readersNotBuiltSayWhy();
};

void TestModel::freshModel()
{
    Read_LUTFile m;
    QVERIFY(!m.lut3D);
    QVERIFY(!m.lut1D);
    QCOMPARE(m.lut3DSize, 0);
    QCOMPARE(m.lut1DSize, 0);
    for (int c = 0; c < 3; ++c) {
        QCOMPARE(m.domainMin3D[c], 0.0f);
        QCOMPARE(m.domainMax3D[c], 1.0f);
        QCOMPARE(m.domainMin1D[c], 0.0f);
        QCOMPARE(m.domainMax1D[c], 1.0f);
    }
    QCOMPARE(m.gamma, 1.0);
    QVERIFY(m.dataOrderRGB);
    QVERIFY(m.tableOrderRGB);
    QVERIFY(!m.intData);
}

void TestModel::allocation()
{
    Read_LUTFile m;
    m.lut3DSize = 5;
    Read_LUTFile::Data3DCalloc(&m.lut3D, m.lut3DSize);
    QVERIFY(m.lut3D);
    // Zero-filled, and [r][g][b] addresses one contiguous node of three floats.
    for (int r = 0; r < 5; ++r)
        for (int g = 0; g < 5; ++g)
            for (int b = 0; b < 5; ++b) {
                QCOMPARE(m.lut3D[r][g][b][0], 0.0f);
                QCOMPARE(m.lut3D[r][g][b], m.lut3D.node(r, g, b));
                QCOMPARE(m.lut3D[r][g][b] - m.lut3D.data(), std::ptrdiff_t(((r * 5 + g) * 5 + b) * 3));
            }
    m.lut1DSize = 7;
    Read_LUTFile::Data1DCalloc(&m.lut1D, m.lut1DSize);
    QVERIFY(m.lut1D);
    QCOMPARE(m.lut1D[6] - m.lut1D.data(), std::ptrdiff_t(18));
    QCOMPARE(m.lut1D[6][2], 0.0f);
}

void TestModel::allocationLimits()
{
    Lut3DTable t3;
    Read_LUTFile::Data3DCalloc(&t3, 0);
    QVERIFY(!t3);
    Read_LUTFile::Data3DCalloc(&t3, -4);
    QVERIFY(!t3);
    Read_LUTFile::Data3DCalloc(&t3, LutLimits::max3DSize + 1);
    QVERIFY(!t3);
    Lut1DTable t1;
    Read_LUTFile::Data1DCalloc(&t1, LutLimits::max1DSize + 1);
    QVERIFY(!t1);

    // setSize refuses before allocating, and says why.
    Read_LUTFile m;
    QVERIFY(!m.setSize3D(300, false, 4));
    QCOMPARE(m.lut3DSize, 0);
    QVERIFY(!m.lut3D);
    QCOMPARE(m.errorString, QStringLiteral("line 4: 3D size 300 is outside 1 to 256"));
    QVERIFY(!m.setSize1D(LutLimits::max1DSize + 1, false, 0));
    QVERIFY(m.errorString.contains("1D size"));
    QVERIFY(m.setSize3D(3, true));
    QCOMPARE(m.lut3DSize, 3);
    QVERIFY(!m.lut3D);
}

void TestModel::store3D_data()
{
    QTest::addColumn<bool>("dataRGB");
    QTest::addColumn<bool>("tableRGB");
    QTest::addColumn<int>("r");
    QTest::addColumn<int>("g");
    QTest::addColumn<int>("b");
    QTest::addColumn<float>("e0");
    QTest::addColumn<float>("e2");
    QTest::newRow("both flags") << true << true << 0 << 0 << 1 << 0.2f << 0.6f;
    QTest::newRow("red fastest") << true << false << 1 << 0 << 0 << 0.2f << 0.6f;
    QTest::newRow("BGR data") << false << true << 0 << 0 << 1 << 0.6f << 0.2f;
    QTest::newRow("both reversed") << false << false << 1 << 0 << 0 << 0.6f << 0.2f;
}

void TestModel::store3D()
{
    QFETCH(bool, dataRGB);
    QFETCH(bool, tableRGB);
    QFETCH(int, r);
    QFETCH(int, g);
    QFETCH(int, b);
    QFETCH(float, e0);
    QFETCH(float, e2);
    Read_LUTFile m;
    QVERIFY(m.setSize3D(2, false));
    m.dataOrderRGB = dataRGB;
    m.tableOrderRGB = tableRGB;
    const float mn[3] = {0, 0, 0}, mx[3] = {1, 1, 1};
    m.White3D(0, 0, 1, 0.2f, 0.4f, 0.6f, mn, mx);
    QCOMPARE(m.lut3D[r][g][b][0], e0);
    QCOMPARE(m.lut3D[r][g][b][1], 0.4f);
    QCOMPARE(m.lut3D[r][g][b][2], e2);
    // Nothing else was touched.
    float sum = 0;
    for (std::size_t i = 0; i < m.lut3D.floatCount(); ++i)
        sum += m.lut3D.data()[i];
    QCOMPARE(sum, 0.2f + 0.4f + 0.6f);
}

void TestModel::store3DRanges()
{
    Read_LUTFile m;
    QVERIFY(m.setSize3D(2, false));
    const float mn[3] = {0, 0, 0}, mx[3] = {255, 255, 255};
    m.White3D(0, 0, 0, 255, 300, -5, mn, mx);
    QCOMPARE(m.lut3D[0][0][0][0], 1.0f);
    QCOMPARE(m.lut3D[0][0][0][1], 1.0f);
    QCOMPARE(m.lut3D[0][0][0][2], 0.0f);
    // Divided by the width, not shifted by the minimum.
    const float mn2[3] = {0.5f, 0.5f, 0.5f}, mx2[3] = {1.5f, 1.5f, 1.5f};
    m.White3D(1, 1, 1, 1.0f, 0.2f, 1.5f, mn2, mx2);
    QCOMPARE(m.lut3D[1][1][1][0], 1.0f);
    QCOMPARE(m.lut3D[1][1][1][1], 0.5f);
    QCOMPARE(m.lut3D[1][1][1][2], 1.5f);
    // NaN passes the clamp unchanged.
    m.White3D(1, 0, 0, std::nanf(""), 0.5f, 0.5f, mn2, mx2);
    QVERIFY(std::isnan(m.lut3D[1][0][0][0]));
}

void TestModel::store1D_data()
{
    QTest::addColumn<bool>("dataRGB");
    QTest::addColumn<bool>("tableRGB");
    QTest::addColumn<bool>("reversed");
    QTest::newRow("true true") << true << true << false;
    QTest::newRow("true false") << true << false << true;
    QTest::newRow("false true") << false << true << true;
    QTest::newRow("false false cancel") << false << false << false;
}

void TestModel::store1D()
{
    QFETCH(bool, dataRGB);
    QFETCH(bool, tableRGB);
    QFETCH(bool, reversed);
    Read_LUTFile m;
    QVERIFY(m.setSize1D(4, false));
    m.dataOrderRGB = dataRGB;
    m.tableOrderRGB = tableRGB;
    const float mn[3] = {0, 0, 0}, mx[3] = {2, 2, 2};
    m.White1D(3, 0.2f, 0.4f, 3.0f, mn, mx);
    QCOMPARE(m.lut1D[3][0], reversed ? 1.0f : 0.1f);
    QCOMPARE(m.lut1D[3][1], 0.2f);
    QCOMPARE(m.lut1D[3][2], reversed ? 0.1f : 1.0f);
}

void TestModel::formatTable()
{
    const QList<int> is3D = {0, 1, 2, 3, 4, 5, 8, 9, 10, 11, 13, 16};
    for (int id = -1; id <= 17; ++id)
        QCOMPARE(Read_LUTFile::formatIs3D(id), is3D.contains(id));
    QCOMPARE(Read_LUTFile::formatStr(0), QStringLiteral(".cube"));
    QCOMPARE(Read_LUTFile::formatStr(2), QStringLiteral("identity Unwrapped Cube 1024X16"));
    QCOMPARE(Read_LUTFile::formatStr(8), QStringLiteral(".davLut 3DLut"));
    QCOMPARE(Read_LUTFile::formatStr(16), QString::fromUtf8(".tms3d 塔姆索专用格式3D"));
    QCOMPARE(Read_LUTFile::formatStr(17), QString());
    QCOMPARE(Read_LUTFile::formatStr(-1), QString());
}

static QString writeTinyCube(const QTemporaryDir &dir)
{
    const QString path = dir.filePath("tiny.cube");
    QByteArray text = "LUT_3D_SIZE 2\n";
    for (int i = 0; i < 8; ++i)
        text += QByteArray::number(i / 8.0) + " 0.5 0.25\n";
    TestUtil::writeFile(path, text);
    return path;
}

void TestModel::dispatchOrders()
{
    QTemporaryDir dir;
    const QString path = writeTinyCube(dir);
    {
        Read_LUTFile m;
        LUTFILE_ST f;
        f.path = path;
        f.formatId = int(Formats::Id::Cube);
        f.defaultOrder = false;
        f.dataOrderRGB = false;
        f.tableOrderRGB = true;
        QVERIFY(m.ReadFile(f, false));
        QVERIFY(!m.dataOrderRGB);
        QVERIFY(m.tableOrderRGB);
        QVERIFY(!m.defaultOrder);
    }
    {
        Read_LUTFile m;
        LUTFILE_ST f;
        f.path = path;
        f.defaultOrder = true;
        f.dataOrderRGB = false;
        f.tableOrderRGB = true;
        QVERIFY(m.ReadFile(f, false));
        QVERIFY(m.dataOrderRGB);
        QVERIFY(!m.tableOrderRGB);
    }
    {
        // A file that cannot be opened leaves the flags as the dispatch set them.
        Read_LUTFile m;
        LUTFILE_ST f;
        f.path = dir.filePath("missing.cube");
        f.defaultOrder = true;
        QVERIFY(!m.ReadFile(f, false));
        QVERIFY(m.tableOrderRGB);
        QVERIFY(m.errorString.contains("missing.cube"));
    }
}

void TestModel::dispatchUnknownId()
{
    QTemporaryDir dir;
    const QString path = writeTinyCube(dir);
    for (int id : {17, -1, 1000}) {
        Read_LUTFile m;
        LUTFILE_ST f;
        f.path = path;
        f.formatId = id;
        f.defaultOrder = false;
        f.dataOrderRGB = false;
        QVERIFY(!m.ReadFile(f, false));
        QVERIFY(!m.lut3D);
        QCOMPARE(m.lut3DSize, 0);
        QVERIFY(!m.dataOrderRGB);   // flags are applied before the id is looked at
        QVERIFY(!m.errorString.isEmpty());
    }
}

void TestModel::dispatchHeaderOnly()
{
    QTemporaryDir dir;
    const QString path = writeTinyCube(dir);
    Read_LUTFile m;
    LUTFILE_ST f;
    f.path = path;
    QVERIFY(m.ReadFile(f, true));
    QCOMPARE(m.lut3DSize, 2);
    QVERIFY(!m.lut3D);
}

void TestModel::readersNotBuiltSayWhy()
{
    // Whatever a reader cannot read, it refuses with a reason instead of claiming success.
    QTemporaryDir dir;
    const QString path = writeTinyCube(dir);
    for (int id = 1; id < Formats::dispatchCount; ++id) {
        Read_LUTFile m;
        LUTFILE_ST f;
        f.path = path;
        f.formatId = id;
        if (!m.ReadFile(f, false))
            QVERIFY2(!m.errorString.isEmpty(), qPrintable(QString::number(id)));
    }
}

QTEST_GUILESS_MAIN(TestModel)
#include "tst_model.moc"
