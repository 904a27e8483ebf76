// Nuke .vf: the lattice and what global_transform makes of its input, damaged files refused
// with their reasons (an absurd grid_size before anything is allocated), the corpus file, and
// the writer's text and round trips.

#include <QTemporaryDir>
#include <QtTest>

#include "formats/faithful.h"
#include "formats/registry.h"
#include "testutil.h"

using Triple = QVector<double>;
Q_DECLARE_METATYPE(Triple)

namespace {

const Formats::Format &vf()
{
    return *Formats::byName(QStringLiteral("nukevf"));
}

// A 2-point lattice, blue index fastest: node (r, g, b) holds (2r, 3g, 4b).
const QByteArray data = "data\n0 0 0\n0 0 4\n0 3 0\n0 3 4\n2 0 0\n2 0 4\n2 3 0\n2 3 4\n";

QByteArray file(const char *transform)
{
    return QByteArray("#Inventor V2.1 ascii\ngrid_size 2 2 2\n") + (transform ? QByteArray("global_transform ") + transform + "\n" : QByteArray()) + data;
}

bool readVf(const QString &path, LutTransform &t, QString *why)
{
    LUTFILE_ST side;
    side.path = path;
    return Formats::readTransform(vf(), side, Formats::Options(), t, why);
}

}

class TestFmtVf : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;

    QString write(const QByteArray &text) { return TestUtil::writeTemp(dir, QStringLiteral("in.vf"), text); }

private slots:
    void transforms_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<Triple>("in");
        QTest::addColumn<Triple>("want");
        QTest::newRow("1 / grid_size: the lattice over 0 to 1") << file("0.5 0 0 0  0 0.5 0 0  0 0 0.5 0  0 0 0 1") << Triple{0.5, 0.25, 1}
                                                                << Triple{1, 0.75, 4};
        QTest::newRow("no global_transform: over 0 to 1") << file(nullptr) << Triple{0.5, 0.25, 1} << Triple{1, 0.75, 4};
        QTest::newRow("the identity: over 0 to 1 / grid_size") << file("1 0 0 0  0 1 0 0  0 0 1 0  0 0 0 1") << Triple{0.25, 0.125, 1}
                                                               << Triple{1, 0.75, 4};
        QTest::newRow("a diagonal per channel") << file("0.25 0 0 0  0 0.5 0 0  0 0 1 0  0 0 0 1") << Triple{1, 0.5, 0.25}
                                                << Triple{1, 1.5, 2};
        QTest::newRow("a matrix, rows as written") << file("0.5 0.25 0 0  0 0.5 0 0  0 0 0.5 0  0 0 0 1") << Triple{0.5, 0.5, 0.5}
                                                   << Triple{1.5, 1.5, 2};
    }

    // What reaches the lattice is the colour times grid_size * global_transform.
    void transforms()
    {
        QFETCH(QByteArray, text);
        QFETCH(Triple, in);
        QFETCH(Triple, want);
        LutTransform t;
        QString why;
        QVERIFY2(readVf(write(text), t, &why), qPrintable(why));
        float rgb[3] = {float(in[0]), float(in[1]), float(in[2])};
        t.apply(rgb);
        TestUtil::expectTriple(rgb, float(want[0]), float(want[1]), float(want[2]), QStringLiteral("the transform"));
    }

    void damaged_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("reason");
        const QByteArray good = file("0.5 0 0 0  0 0.5 0 0  0 0 0.5 0  0 0 0 1");
        auto variant = [&good](const char *from, const char *to) { return QByteArray(good).replace(from, to); };
        QTest::newRow("empty") << QByteArray() << "the first line is not \"#Inventor ...\" (not a Nuke .vf file)";
        QTest::newRow("no signature") << variant("#Inventor V2.1 ascii\n", "") << "line 1: the first line is not \"#Inventor ...\" (not a Nuke .vf file)";
        QTest::newRow("unequal grid") << variant("grid_size 2 2 2", "grid_size 2 3 2") << "line 2: grid sizes 2, 3 and 2 differ";
        QTest::newRow("two grid numbers") << variant("grid_size 2 2 2", "grid_size 2 2") << "line 2: grid_size needs three whole numbers";
        QTest::newRow("absurd grid_size") << variant("grid_size 2 2 2", "grid_size 100000 100000 100000") << "line 2: 3D size 100000 is outside 1 to 256";
        QTest::newRow("grid beyond the file") << variant("grid_size 2 2 2", "grid_size 256 256 256")
                                              << "line 4: a 256-point lattice needs more lines than a file of 154 bytes holds";
        QTest::newRow("short transform") << variant(" 0 0 0 1\n", "\n") << "line 3: global_transform needs 16 numbers";
        QTest::newRow("a translation") << variant("0 0 0 1\n", "0.1 0 0 1\n") << "line 3: global_transform has a translation, which is not read (tools disagree on where it stands)";
        QTest::newRow("a scaled fourth row") << variant("0 0 0 1\n", "0 0 0 2\n") << "line 3: global_transform ends in 2, not 1";
        QTest::newRow("no grid_size") << variant("grid_size 2 2 2\n", "") << "line 3: data before grid_size";
        QTest::newRow("no data line") << variant("data\n", "") << "no data line";
        QTest::newRow("a node short") << variant("2 3 4\n", "") << "line 11: 7 data lines, not the 8 nodes of the lattice";
        QTest::newRow("a node more") << good + "1 1 1\n" << "line 13: more data lines than the 8 nodes of the lattice";
        QTest::newRow("two numbers") << variant("0 3 4\n", "0 3\n") << "line 8: \"0 3\" is not three numbers";
    }

    void damaged()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, reason);
        LutTransform t;
        QString why;
        QVERIFY(!readVf(write(text), t, &why));
        QCOMPARE(why, reason);
    }

    // nuke_3d.vf: an identity global_transform, so a lattice over 0 to 0.5 of twice its input.
    void corpusFile()
    {
        LutTransform t;
        QString why;
        QVERIFY2(readVf(QStringLiteral(LUTWRIGHT_CORPUS "/nuke_3d.vf"), t, &why), qPrintable(why));
        QVERIFY(t.hasLattice());
        TestUtil::expectTriple(t.tables()->domainMax3D, 0.5f, 0.5f, 0.5f, QStringLiteral("the domain"));
        float rgb[3] = {0.125f, 0.25f, 0.75f};
        t.apply(rgb);
        TestUtil::expectTriple(rgb, 0.5f, 1.0f, 2.0f, QStringLiteral("the transform"));
    }

    void writerText()
    {
        auto m = std::make_shared<Read_LUTFile>();
        TestUtil::fillSteps(*m);
        m->domainMax3D[2] = 4.0f;
        const QString out = dir.filePath(QStringLiteral("out.vf"));
        Write_LUTFile writer;
        QVERIFY2(vf().faithful->write(writer, out, LutTransform::ofTables(m), Formats::Options()), qPrintable(writer.errorString));
        QCOMPARE(TestUtil::readText(out), QByteArray("#Inventor V2.1 ascii\ngrid_size 2 2 2\nglobal_transform 0.5 0 0 0 0 0.5 0 0 0 0 0.125 0 0 0 0 1\n"
                                                     "data\n0 0 0\n0 0 0.25\n0 0.5 0\n0 0.5 0.25\n1 0 0\n1 0 0.25\n1 0.5 0\n1 0.5 0.25\n"));
    }

    void roundTrip_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("a lattice over 0 to 1") << file("0.5 0 0 0  0 0.5 0 0  0 0 0.5 0  0 0 0 1");
        QTest::newRow("a lattice over its own domain") << file("0.3 0 0 0  0 0.7 0 0  0 0 0.05 0  0 0 0 1");
        QTest::newRow("a matrix before the lattice") << file("0.5 0.1 0 0  -0.2 0.5 0 0  0 0 0.4 0  0 0 0 1");
    }

    // Whatever the reader makes of a file, the writer writes back as the same transform.
    void roundTrip()
    {
        QFETCH(QByteArray, text);
        LutTransform t, back;
        QString why;
        QVERIFY2(readVf(write(text), t, &why), qPrintable(why));
        QVERIFY(vf().faithful->holds(t, Formats::Options()));
        const QString out = dir.filePath(QStringLiteral("trip.vf"));
        Write_LUTFile writer;
        QVERIFY2(vf().faithful->write(writer, out, t, Formats::Options()), qPrintable(writer.errorString));
        QVERIFY2(readVf(out, back, &why), qPrintable(why));
        QCOMPARE(back.steps().size(), t.steps().size());
        for (int k = 0; k < 100; ++k) {
            float a[3] = {0.013f * k, 1.0f - 0.009f * k, 0.5f + 0.004f * k};
            float b[3] = {a[0], a[1], a[2]};
            t.apply(a);
            back.apply(b);
            TestUtil::expectTriple(b, a[0], a[1], a[2], QStringLiteral("point %1").arg(k));
        }
    }
};

QTEST_GUILESS_MAIN(TestFmtVf)
#include "tst_fmt_vf.moc"
