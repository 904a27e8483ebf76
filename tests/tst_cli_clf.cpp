// The command line on Common LUT Format files: info shows what the file says of itself and
// whether its chain was baked; convert reads a chain onto the --size lattice and writes CLF.

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include "clitest.h"
#include "formats/clf.h"
#include "formats/faithful.h"
#include "formats/registry.h"

class TestCliClf : public QObject
{
    Q_OBJECT
private slots:
    void info_data();
    void info();
    void chainToCubeAndBack();
};

void TestCliClf::info_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<bool>("baked");
    QTest::newRow("a chain, as it is")
        << QStringList{TestUtil::clfCorpusFile("multiple_ops.clf")}
        << QStringList{"dimension   chain", "Description Test with lots of different process nodes"}
        << false;
    QTest::newRow("one Range")
        << QStringList{TestUtil::clfCorpusFile("range.clf")}
        << QStringList{"steps       Range", "InputDescriptor RGB"} << false;
    QTest::newRow("one LUT3D, as it is")
        << QStringList{TestUtil::clfCorpusFile("lut3d_17x17x17_10i_12i.clf")} << QStringList{"3D size     17", "Description Basic 3d-LUT example."}
        << false;
}

void TestCliClf::info()
{
    QFETCH(QStringList, args);
    QFETCH(QStringList, shown);
    QFETCH(bool, baked);
    const CliTest::Run r = CliTest::run(QStringList{"info"} + args);
    QVERIFY2(r.code == 0, qPrintable(r.all()));
    for (const QString &line : shown)
        QVERIFY2(r.out.contains(QStringLiteral("\n  ") + line + QLatin1Char('\n')), qPrintable(line + QLatin1String(" in\n") + r.out));
    QCOMPARE(r.out.contains(QLatin1String("\n  baked ")), baked);

    // --json carries the same metadata, as key and text pairs.
    const CliTest::Run j = CliTest::run(QStringList{"info", "--json"} + args);
    QCOMPARE(j.code, 0);
    const QJsonArray metadata = QJsonDocument::fromJson(j.out.toUtf8()).array().at(0).toObject().value("metadata").toArray();
    bool jsonBaked = false;
    for (const QJsonValue &entry : metadata)
        jsonBaked |= entry.toObject().value("key").toString() == QLatin1String("baked");
    QCOMPARE(jsonBaked, baked);
}

// A chain baked at 17 points into .cube holds the chain's values, unclamped; that .cube written
// as CLF reads back as the very same lattice.
void TestCliClf::chainToCubeAndBack()
{
    QTemporaryDir dir;
    const QString cube = dir.filePath(QStringLiteral("y.cube")), clf = dir.filePath(QStringLiteral("z.clf"));
    QString why;
    CliTest::Run r = CliTest::run({"convert", TestUtil::clfCorpusFile("multiple_ops.clf"), "-o", cube, "--size", "17"});
    QVERIFY2(r.code == 0, qPrintable(r.all()));
    r = CliTest::run({"convert", cube, "-o", clf});
    QVERIFY2(r.code == 0, qPrintable(r.all()));

    LutTransform cubeRead;
    QVERIFY2(Formats::readTransform(*Formats::byId(Formats::Id::Cube), TestUtil::side(int(Formats::Id::Cube), cube),
                                    Formats::Options(), cubeRead, &why), qPrintable(why));
    const Read_LUTFile &fromCube = *cubeRead.tables();
    Clf::Document doc;
    QVERIFY2(Clf::parseFile(TestUtil::clfCorpusFile("multiple_ops.clf"), false, doc, &why), qPrintable(why));
    QCOMPARE(fromCube.lut3DSize, 17);
    for (int r = 0; r < 17; ++r)
        for (int g = 0; g < 17; ++g)
            for (int b = 0; b < 17; ++b) {
                float rgb[3] = {r / 16.0f, g / 16.0f, b / 16.0f};
                doc.chain.apply(rgb);
                for (int c = 0; c < 3; ++c) {
                    const float want = rgb[c];   // six decimals in the .cube
                    QVERIFY2(std::fabs(fromCube.lut3D[r][g][b][c] - want) <= 1e-6f * std::max(1.0f, std::fabs(want)),
                             qPrintable(QStringLiteral("node (%1, %2, %3): %4, the chain gives %5").arg(r).arg(g).arg(b)
                                            .arg(double(fromCube.lut3D[r][g][b][c])).arg(double(want))));
                }
            }

    Read_LUTFile fromClf;
    QVERIFY2(Read_Clf(fromClf, clf, false, Formats::Options()), qPrintable(fromClf.errorString));
    QVERIFY(TestUtil::sameLattice(fromClf, fromCube));
    QVERIFY(fromClf.metadata.contains(qMakePair(QStringLiteral("Description"), QStringLiteral("Converted from y.cube"))));
}

QTEST_GUILESS_MAIN(TestCliClf)
#include "tst_cli_clf.moc"
