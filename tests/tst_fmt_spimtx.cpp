// .spimtx: twelve numbers read as a matrix with offsets on the 16-bit scale, damaged files
// refused with their reasons, the writer's text and its exact round trip.

#include <QTemporaryDir>
#include <QtTest>

#include "formats/faithful.h"
#include "formats/registry.h"
#include "testutil.h"

namespace {

const Formats::Format &spimtx()
{
    return *Formats::byName(QStringLiteral("spimtx"));
}

bool readMatrix(const QString &path, LutTransform &t, QString *why)
{
    LUTFILE_ST side;
    side.path = path;
    return Formats::readTransform(spimtx(), side, Formats::Options(), t, why);
}

const Ops::Matrix *matrixOf(const LutTransform &t)
{
    return t.steps().size() == 1 ? dynamic_cast<const Ops::Matrix *>(t.steps().front().node.get()) : nullptr;
}

}

class TestFmtSpimtx : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;

    QString write(const QByteArray &text) { return TestUtil::writeTemp(dir, QStringLiteral("in.spimtx"), text); }

private slots:
    void goodSample()
    {
        // Rows of three coefficients and an offset, on any lines: offset 3276.75 is 0.05.
        LutTransform t;
        QString why;
        QVERIFY2(readMatrix(write("0.5 0.25 0.25 0\n0 1 0\n-6553.5 0.1 0.2 0.7 3276.75\n"), t, &why), qPrintable(why));
        const Ops::Matrix *m = matrixOf(t);
        QVERIFY(m);
        QCOMPARE(m->m[1][3], -0.1f);
        QCOMPARE(m->m[2][3], 0.05f);
        float rgb[3] = {0.4f, 0.6f, 1.0f};
        t.apply(rgb);
        TestUtil::expectTriple(rgb, 0.2f + 0.15f + 0.25f, 0.6f - 0.1f, 0.04f + 0.12f + 0.7f + 0.05f, QStringLiteral("the matrix"));
    }

    void damaged_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("reason");
        QTest::newRow("empty") << QByteArray() << "holds 0 numbers, not the 12 of three rows of three coefficients and an offset";
        QTest::newRow("eleven") << QByteArray("1 0 0 0\n0 1 0 0\n0 0 1\n") << "holds 11 numbers, not the 12 of three rows of three coefficients and an offset";
        QTest::newRow("thirteen") << QByteArray("1 0 0 0\n0 1 0 0\n0 0 1 0\n5\n") << "line 4: more than 12 numbers (a .spimtx holds three rows of three coefficients and an offset)";
        QTest::newRow("a word") << QByteArray("1 0 0 0\n0 one 0 0\n") << "line 2: \"one\" is not a number";
        QTest::newRow("a number and more") << QByteArray("1 0 0 0\n0 1 0 0\n0 0 1.5x 0\n") << "line 3: \"1.5x\" is not a number";
        QTest::newRow("infinite") << QByteArray("1 0 0 0\n0 1e99 0 0\n0 0 1 0\n") << "line 2: inf is not a finite number";
        QTest::newRow("binary garbage") << TestUtil::garbageLine() << "holds 0 numbers, not the 12 of three rows of three coefficients and an offset";
    }

    void damaged()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, reason);
        LutTransform t;
        QString why;
        QVERIFY(!readMatrix(write(text), t, &why));
        QCOMPARE(why, reason);
    }

    void corpusFile()
    {
        LutTransform t;
        QString why;
        QVERIFY2(readMatrix(QStringLiteral(LUTWRIGHT_CORPUS "/camera_to_aces.spimtx"), t, &why), qPrintable(why));
        const Ops::Matrix *m = matrixOf(t);
        QVERIFY(m);
        const float want[3][4] = {{0.754338638f, 0.133697046f, 0.111968437f, 0}, {0.021198141f, 1.005410934f, -0.026610548f, 0},
                                  {-0.009756991f, 0.004508563f, 1.005253201f, 0}};
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 4; ++c)
                QCOMPARE(m->m[r][c], want[r][c]);
    }

    // The fewest digits that read back; offsets times 65535, exactly.
    void writerText()
    {
        auto m = std::make_shared<Ops::Matrix>(1);
        const float rows[3][4] = {{0.5f, 0.25f, 0.25f, 0.1f}, {0, 1, 0, -0.05f}, {1e-7f, 0.1f, 2.0f, 0}};
        std::memcpy(m->m, rows, sizeof rows);
        LutTransform t;
        t.addNode(m);
        const QString out = dir.filePath(QStringLiteral("out.spimtx"));
        Write_LUTFile writer;
        QVERIFY2(spimtx().faithful->write(writer, out, t, Formats::Options()), qPrintable(writer.errorString));
        QCOMPARE(TestUtil::lines(TestUtil::readFile(out)),
                 (QList<QByteArray>{"0.5 0.25 0.25 6553.5000976547599", "0 1 0 -3276.7500488273799", "1e-07 0.1 2 0"}));
        LutTransform back;
        QString why;
        QVERIFY2(readMatrix(out, back, &why), qPrintable(why));
        QVERIFY(std::memcmp(matrixOf(back)->m, rows, sizeof rows) == 0);
    }

    // A matrix at integer bit depths is written for values from 0 to 1; tables are not written.
    void otherTransforms()
    {
        auto m = std::make_shared<Ops::Matrix>(1);
        m->inScale = 1023.0f;
        m->outScale = 4095.0f;
        m->m[0][3] = 409.5f;
        LutTransform t;
        t.addNode(m);
        const QString out = dir.filePath(QStringLiteral("scaled.spimtx"));
        Write_LUTFile writer;
        QVERIFY2(spimtx().faithful->write(writer, out, t, Formats::Options()), qPrintable(writer.errorString));
        QCOMPARE(TestUtil::lines(TestUtil::readFile(out)).value(0), QByteArray("0.24981685 0 0 6553.5"));

        Read_LUTFile lut;
        TestUtil::fillSteps(lut);
        QVERIFY(!spimtx().faithful->holds(LutTransform::viewOf(lut), Formats::Options()));
        QString why;
        QVERIFY(!Formats::write(spimtx(), TestUtil::side(-1, out), lut, &why));
        QCOMPARE(why, QStringLiteral("a .spimtx file holds a 3x4 matrix, not a table"));
    }
};

QTEST_GUILESS_MAIN(TestFmtSpimtx)
#include "tst_fmt_spimtx.moc"
