// The format registry: finding formats by id, name and extension, telling formats that share an
// extension apart by content, and reading through an entry as the dispatch does.
#include <QtTest>

#include "formats/registry.h"
#include "testutil.h"

class TestRegistry : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void idsInOrder();
    void byName_data();
    void byName();
    void detectByContent_data();
    void detectByContent();
    void readAppliesTheSideOrders();
};

// The dispatch ids lead the list, each entry at its own id; nothing else claims an id.
void TestRegistry::idsInOrder()
{
    const auto &all = Formats::all();
    QVERIFY(int(all.size()) >= Formats::dispatchCount);
    for (int i = 0; i < int(all.size()); ++i) {
        const Formats::Format *f = all[std::size_t(i)];
        QCOMPARE(int(f->id), i < Formats::dispatchCount ? i : -1);
        QVERIFY2(f->read || f->write, f->name);
        QVERIFY2(!f->writeByNumber || (f->write && f->id != Formats::Id::None), f->name);
    }
    QCOMPARE(Formats::byId(Formats::dispatchCount), nullptr);
    QCOMPARE(Formats::byId(-1), nullptr);
    QCOMPARE(Formats::byId(Formats::Id::None), nullptr);
}

void TestRegistry::byName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("id");   // -2: no format
    QTest::newRow("registry name") << "spi3d" << int(Formats::Id::Spi3D);
    QTest::newRow("name of a shared extension's member") << "discreet" << int(Formats::Id::Discreet1D);
    QTest::newRow("extension with its dot, any case") << ".CUBE" << int(Formats::Id::Cube);
    QTest::newRow("second extension") << "m3d" << int(Formats::Id::Mga);
    QTest::newRow("id as text") << "13" << int(Formats::Id::Spi3D);
    QTest::newRow("id beyond the dispatch") << "17" << -2;
    QTest::newRow("shared extension") << "lut" << -2;
    QTest::newRow("image extension") << ".png" << -2;
    QTest::newRow("unknown") << "xyz" << -2;
    QTest::newRow("empty") << "" << -2;
}

void TestRegistry::byName()
{
    QFETCH(QString, name);
    QFETCH(int, id);
    const Formats::Format *f = Formats::byName(name);
    QCOMPARE(f ? int(f->id) : -2, id);
}

void TestRegistry::detectByContent_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("id");   // -2: refused
    QTest::addColumn<QString>("why");
    QTest::newRow("LUT: line is Discreet") << "a.lut" << QByteArray("# x\nLUT: 3 2\n0\n1\n0\n1\n0\n1\n")
                                           << int(Formats::Id::Discreet1D) << "";
    QTest::newRow("otherwise the 1D .lut") << "b.LUT" << QByteArray("0\t0\t0\t0\n") << int(Formats::Id::Lut1D) << "";
    QTest::newRow("name alone decides") << "c.spi1d" << QByteArray("anything") << int(Formats::Id::Spi1D) << "";
    QTest::newRow("unknown extension") << "d.txt" << QByteArray("LUT_3D_SIZE 2\n") << -2
                                       << "cannot tell the format from the name";
    QTest::newRow("no extension") << "e" << QByteArray() << -2 << "cannot tell the format from the name";
    QTest::newRow("not an image") << "f.png" << QByteArray("not a picture") << -2 << "f.png";
}

void TestRegistry::detectByContent()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, text);
    QFETCH(int, id);
    QFETCH(QString, why);
    QString reason;
    const Formats::Format *f = Formats::detect(TestUtil::writeTemp(dir, name, text), &reason);
    QCOMPARE(f ? int(f->id) : -2, id);
    if (!f)
        QVERIFY2(reason.contains(why), qPrintable(reason));
}

// Formats::read sets the model's orders as ReadFile does: the side's, unless it asks for the
// format's own, which the reader then applies.
void TestRegistry::readAppliesTheSideOrders()
{
    const QString path = TestUtil::writeTemp(dir, "o.cube", "LUT_3D_SIZE 2\n" + TestUtil::repeatLine(8, "0 0 0\n"));
    const Formats::Format &cube = *Formats::byId(Formats::Id::Cube);
    for (bool own : {true, false}) {
        Read_LUTFile lut;
        QVERIFY2(Formats::read(cube, TestUtil::side(cube.id, path, own, false, true), lut, false), qPrintable(lut.errorString));
        QCOMPARE(lut.defaultOrder, own);
        QCOMPARE(lut.dataOrderRGB, own ? cube.readOrder.dataRGB : false);
        QCOMPARE(lut.tableOrderRGB, own ? cube.readOrder.tableRGB : true);
    }
}

QTEST_GUILESS_MAIN(TestRegistry)
#include "tst_registry.moc"
