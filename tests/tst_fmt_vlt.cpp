// Panasonic VariCam .vlt: a good file read node by node (red fastest, codes of 4095), and
// damaged ones refused with the reason.

#include <QtTest>

#include "formats/faithful.h"
#include "formats/registry.h"
#include "testutil.h"

namespace {

// A 2-point lattice whose node (r, g, b) holds r, 2g and 4b thousands, cut to its first
// `samples` lines.
QByteArray goodFile(int samples = 8)
{
    QByteArray text = "# panasonic vlt file version 1.0\n# source vlt file \"base.vlt\"\nLUT_3D_SIZE 2\n\n";
    for (int i = 0; i < samples; ++i)
        text += QByteArray::number(1000 * (i & 1)) + ' ' + QByteArray::number(2000 * (i >> 1 & 1)) + ' '
            + QByteArray::number(4000 * (i >> 2)) + '\n';
    return text;
}

const Formats::Format &vlt()
{
    return *Formats::byName(QStringLiteral("vlt"));
}

}

class TestFmtVlt : public QObject
{
    Q_OBJECT
private slots:
    void good();
    void damaged_data();
    void damaged();

private:
    QTemporaryDir dir_;
};

void TestFmtVlt::good()
{
    const QString path = TestUtil::writeTemp(dir_, QStringLiteral("good.vlt"), goodFile());
    LutTransform t;
    QString why;
    QVERIFY2(Formats::readTransform(vlt(), TestUtil::side(Formats::Id::None, path), Formats::Options(), t, &why), qPrintable(why));
    QVERIFY(t.tables() && t.hasLattice());
    for (int r = 0; r < 2; ++r)
        for (int g = 0; g < 2; ++g)
            for (int b = 0; b < 2; ++b)
                TestUtil::expectNode(*t.tables(), r, g, b, 1000.0f * r / 4095, 2000.0f * g / 4095, 4000.0f * b / 4095);
    QVERIFY(t.metadata.contains(qMakePair(QStringLiteral("source"), QStringLiteral("base.vlt"))));
}

void TestFmtVlt::damaged_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("reason");
    const QByteArray good = goodFile();
    QTest::newRow("no signature line") << good.mid(good.indexOf('\n') + 1) << "line 1: a .vlt file starts with";
    QTest::newRow("no size line") << QByteArray(good).replace("LUT_3D_SIZE 2", "# size") << "a sample before the LUT_3D_SIZE line";
    QTest::newRow("a size without a number") << QByteArray(good).replace("LUT_3D_SIZE 2", "LUT_3D_SIZE") << "line 3: LUT_3D_SIZE has no number";
    QTest::newRow("a lattice beyond the limit") << QByteArray(good).replace("LUT_3D_SIZE 2", "LUT_3D_SIZE 4294967300") << "line 3";
    QTest::newRow("two samples short") << goodFile(6) << "the lattice ends after 6 of 8 samples";
}

void TestFmtVlt::damaged()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, reason);
    const QString path = TestUtil::writeTemp(dir_, QStringLiteral("damaged.vlt"), text);
    LutTransform t;
    QString why;
    QVERIFY(!Formats::readTransform(vlt(), TestUtil::side(Formats::Id::None, path), Formats::Options(), t, &why));
    QVERIFY2(why.contains(reason), qPrintable(why));
}

QTEST_GUILESS_MAIN(TestFmtVlt)
#include "tst_fmt_vlt.moc"
