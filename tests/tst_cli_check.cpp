// lutwright-cli compare, preview and info --json, run as a user runs them.
#include <QtTest>

#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "clitest.h"
#include "imageio/preview.h"

using CliTest::run;

namespace {

void swapRedBlue(float r, float g, float b, float *o)
{
    o[0] = b;
    o[1] = g;
    o[2] = r;
}

// A 33-point identity, and the same with node (5, 17, 30) raised by 1/16 in green.
struct Pair {
    QTemporaryDir dir;
    QString a, b;
    Pair()
    {
        a = CliTest::writeCube(dir.filePath("a.cube"), 33, CliTest::identity3D);
        b = CliTest::writeCube(dir.filePath("b.cube"), 33, [](float r, float g, float b, float *o) {
            CliTest::identity3D(r, g, b, o);
            if (r == 5.0f / 32 && g == 17.0f / 32 && b == 30.0f / 32)
                o[1] += 0.0625f;
        });
    }
};

QJsonObject parseObject(const QString &text)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8(), &error);
    return error.error == QJsonParseError::NoError ? doc.object() : QJsonObject();
}

bool sameHalves(const QImage &page, const QRect &before, const QRect &after, bool swapped)
{
    for (int y = 0; y < before.height(); ++y)
        for (int x = 0; x < before.width(); ++x) {
            const QRgb p = page.pixel(before.left() + x, before.top() + y), q = page.pixel(after.left() + x, after.top() + y);
            const QRgb want = swapped ? qRgb(qBlue(p), qGreen(p), qRed(p)) : p;
            if ((q & 0xffffff) != (want & 0xffffff))
                return false;
        }
    return true;
}

}

class TestCliCheck : public QObject
{
    Q_OBJECT

private slots:
    void compareStatus_data();
    void compareStatus();
    void compareJsonHoldsTheTextsNumbers();
    void compareOneDWithThreeD();
    void previewHalves_data();
    void previewHalves();
    void previewOfUserImage();
    void previewRefusals_data();
    void previewRefusals();
    void infoJson();
    void invert_data();
    void invert();
};

void TestCliCheck::compareStatus_data()
{
    QTest::addColumn<QString>("second");   // "a" the same file, "b" the changed copy, else a name
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("says");
    QTest::newRow("itself") << "a" << QStringList() << 0 << "The LUTs match: the largest difference, 0,";
    QTest::newRow("changed node") << "b" << QStringList() << 1
                                  << "G  largest 0.0625 (63.9375 in 10-bit codes, 255.938 in 12-bit)";
    QTest::newRow("where it changed") << "b" << QStringList() << 1
                                      << "at input 0.156250 0.531250 0.937500: A gives 0.156250 0.531250 0.937500, "
                                         "B gives 0.156250 0.593750 0.937500";
    QTest::newRow("tolerance above it") << "b" << QStringList{"--tolerance", "0.07"} << 0 << "within the tolerance 0.07";
    QTest::newRow("tolerance equal to it") << "b" << QStringList{"--tolerance=0.0625"} << 0 << "The LUTs match";
    QTest::newRow("tolerance below it") << "b" << QStringList{"--tolerance", "0.06"} << 1 << "above the tolerance 0.06";
    QTest::newRow("negative tolerance") << "b" << QStringList{"--tolerance", "-1"} << 2 << "--tolerance needs a number";
    QTest::newRow("tolerance not a number") << "b" << QStringList{"--tolerance", "1x"} << 2 << "--tolerance needs a number";
    QTest::newRow("lattice too small") << "a" << QStringList{"--size", "1"} << 2 << "--size needs a whole number";
    QTest::newRow("missing file") << "none.cube" << QStringList() << 1 << "none.cube: no such file";
}

void TestCliCheck::compareStatus()
{
    QFETCH(QString, second);
    QFETCH(QStringList, options);
    QFETCH(int, code);
    QFETCH(QString, says);
    Pair files;
    const QString other = second == "a" ? files.a : second == "b" ? files.b : files.dir.filePath(second);
    const CliTest::Run r = run(QStringList{"compare", files.a, other} + options);
    QVERIFY2(r.code == code, qPrintable(r.all()));
    QVERIFY2(r.all().contains(says), qPrintable(r.all()));
}

void TestCliCheck::compareJsonHoldsTheTextsNumbers()
{
    Pair files;
    const CliTest::Run text = run({"compare", files.a, files.b, "--size", "20"});
    const CliTest::Run json = run({"compare", files.a, files.b, "--size", "20", "--json"});
    QCOMPARE(text.code, 1);
    QCOMPARE(json.code, 1);
    const QJsonObject o = parseObject(json.out);
    QVERIFY2(!o.isEmpty(), qPrintable(json.out));
    QCOMPARE(o["lattice"].toInt(), 20);
    QCOMPARE(o["within"].toBool(), false);
    QCOMPARE(o["largest"].toDouble(), 0.0625);
    QCOMPARE(o["b"].toObject()["size"].toInt(), 33);
    QVERIFY(text.out.contains(QStringLiteral("Compared at %1 colours").arg(o["colours"].toInt())));

    // Every channel line of the text, number for number.
    const QRegularExpression line(QStringLiteral("^([RGB])  largest (\\S+) \\((\\S+) in 10-bit codes, (\\S+) in 12-bit\\), "
                                                 "mean (\\S+), 99th percentile (\\S+)$"),
                                  QRegularExpression::MultilineOption);
    int seen = 0;
    for (auto it = line.globalMatch(text.out); it.hasNext(); ++seen) {
        const QRegularExpressionMatch m = it.next();
        const QJsonObject ch = o["channels"].toObject()[m.captured(1)].toObject();
        const char *keys[] = {"largest", "codes10", "codes12", "mean", "percentile99"};
        for (int k = 0; k < 5; ++k)
            QCOMPARE(ch[keys[k]].toDouble(), m.captured(k + 2).toDouble());
    }
    QCOMPARE(seen, 3);
    const QJsonArray at = o["channels"].toObject()["G"].toObject()["at"].toArray();
    QCOMPARE(at.size(), 3);
    QCOMPARE(at[1].toDouble(), 17.0 / 32);
}

void TestCliCheck::compareOneDWithThreeD()
{
    QTemporaryDir dir;
    Read_LUTFile curve;
    // Red and blue alike: the 1D writers and readers may reverse the channels of an entry.
    CliTest::fill1D(curve, 17, [](float x, float *o) { o[0] = o[2] = x * x, o[1] = std::sqrt(x); });
    const QString oneD = dir.filePath("curve.spi1d");
    QVERIFY(TestUtil::writeLut(curve, oneD, 12, true, true, true));
    const QString threeD = CliTest::writeCube(dir.filePath("curve.cube"), 17, [](float r, float g, float b, float *o) {
        o[0] = r * r, o[1] = std::sqrt(g), o[2] = b * b;
    });
    const CliTest::Run r = run({"compare", oneD, threeD, "--tolerance", "1e-5", "--json"});
    QVERIFY2(r.code == 0, qPrintable(r.all()));
    const QJsonObject o = parseObject(r.out);
    QCOMPARE(o["a"].toObject()["dimension"].toString(), QStringLiteral("1D"));
    QCOMPARE(o["b"].toObject()["dimension"].toString(), QStringLiteral("3D"));
}

void TestCliCheck::previewHalves_data()
{
    QTest::addColumn<bool>("swap");
    QTest::addColumn<QStringList>("sizeOption");
    QTest::addColumn<QSize>("size");
    QTest::newRow("identity, default size") << false << QStringList() << QSize(1600, 900);
    QTest::newRow("identity, square") << false << QStringList{"--size", "1000x1000"} << QSize(1000, 1000);
    QTest::newRow("red and blue swapped") << true << QStringList{"--size", "800X450"} << QSize(800, 450);
}

void TestCliCheck::previewHalves()
{
    QFETCH(bool, swap);
    QFETCH(QStringList, sizeOption);
    QFETCH(QSize, size);
    QTemporaryDir dir;
    const QString lut = CliTest::writeCube(dir.filePath("lut.cube"), 17, swap ? swapRedBlue : CliTest::identity3D);
    const QString out = dir.filePath("preview.png");
    const CliTest::Run r = run(QStringList{"preview", lut, "-o", out} + sizeOption);
    QVERIFY2(r.code == 0 && r.all().isEmpty(), qPrintable(r.all()));
    const QImage page(out);
    QCOMPARE(page.size(), size);
    const Preview::Layout l = Preview::layout(size);
    QVERIFY(sameHalves(page, l.before, l.after, swap));
    QVERIFY(!sameHalves(page, l.before, l.after, !swap));

    // The red ramp runs to full red before, and to full blue after a swap.
    const QRect ramp = Preview::chartBands(l.before.size()).ramps[0];
    const QPoint end(ramp.right(), ramp.center().y());
    QCOMPARE(page.pixel(l.before.topLeft() + end) & 0xffffff, 0xff0000u);
    QCOMPARE(page.pixel(l.after.topLeft() + end) & 0xffffff, swap ? 0x0000ffu : 0xff0000u);
}

void TestCliCheck::previewOfUserImage()
{
    QTemporaryDir dir;
    QImage picture(400, 100, QImage::Format_RGB32);
    picture.fill(qRgb(200, 40, 10));
    const QString image = dir.filePath("still.png");
    QVERIFY(picture.save(image));
    const QString lut = CliTest::writeCube(dir.filePath("swap.cube"), 2, swapRedBlue);
    const QString out = dir.filePath("preview.png");
    const CliTest::Run r = run({"preview", lut, "-o", out, "--image", image});
    QVERIFY2(r.code == 0, qPrintable(r.all()));
    const QImage page(out);
    const Preview::Layout l = Preview::layout(page.size(), 4.0);
    QCOMPARE(page.pixel(l.before.center()) & 0xffffff, 0xc8280au);
    QCOMPARE(page.pixel(l.after.center()) & 0xffffff, 0x0a28c8u);
}

void TestCliCheck::previewRefusals_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("says");
    QTest::newRow("not a PNG") << QStringList{"-o", "out.jpg"} << 2 << "give -o a name ending in .png";
    QTest::newRow("no output") << QStringList() << 2 << "preview needs -o OUT.png";
    QTest::newRow("size too small") << QStringList{"-o", "out.png", "--size", "320x200"} << 2 << "--size needs WIDTHxHEIGHT";
    QTest::newRow("size not WxH") << QStringList{"-o", "out.png", "--size", "1600"} << 2 << "--size needs WIDTHxHEIGHT";
    QTest::newRow("image missing") << QStringList{"-o", "out.png", "--image", "gone.png"} << 1 << "gone.png: not a readable image";
}

void TestCliCheck::previewRefusals()
{
    QFETCH(QStringList, options);
    QFETCH(int, code);
    QFETCH(QString, says);
    QTemporaryDir dir;
    const QString lut = CliTest::writeCube(dir.filePath("id.cube"), 2, CliTest::identity3D);
    const CliTest::Run r = run(QStringList{"preview", lut} + options, QProcessEnvironment::systemEnvironment(), dir.path());
    QCOMPARE(r.code, code);
    QVERIFY2(r.err.contains(says), qPrintable(r.err));
    QVERIFY(!QFile::exists(dir.filePath("out.png")));
}

void TestCliCheck::infoJson()
{
    QTemporaryDir dir;
    const QString cube = QStringLiteral(LUTWRIGHT_CORPUS "/resolve_1d3d.cube");
    const QString bad = TestUtil::writeTemp(dir, "bad.cube", "LUT_3D_SIZE x\n");
    const CliTest::Run text = run({"info", cube});
    const CliTest::Run json = run({"info", cube, bad, "--json"});
    QCOMPARE(json.code, 1);
    QJsonParseError error;
    const QJsonArray files = QJsonDocument::fromJson(json.out.toUtf8(), &error).array();
    QVERIFY2(error.error == QJsonParseError::NoError && files.size() == 2, qPrintable(json.out));

    const QJsonObject o = files[0].toObject();
    QCOMPARE(o["format"].toString(), QStringLiteral(".cube"));
    QVERIFY(text.out.contains(QStringLiteral("dimension   %1\n").arg(o["dimension"].toString())));
    QVERIFY(text.out.contains(QStringLiteral("data %1, table %2").arg(o["dataOrder"].toString(), o["tableOrder"].toString())));
    for (const char *table : {"3D", "1D"}) {
        const QJsonObject t = o[table].toObject();
        QVERIFY2(text.out.contains(QStringLiteral("%1 size     %2\n").arg(table).arg(t["size"].toInt())), table);
        const QJsonArray lo = t["rangeMin"].toArray(), hi = t["rangeMax"].toArray();
        QVERIFY(text.out.contains(QStringLiteral("R %1 to %2").arg(lo[0].toDouble(), 0, 'f', 6).arg(hi[0].toDouble(), 0, 'f', 6)));
    }
    QCOMPARE(files[1].toObject()["path"].toString(), QDir::toNativeSeparators(bad));
    QVERIFY(json.err.contains(files[1].toObject()["error"].toString()));
}

void TestCliCheck::invert_data()
{
    QTest::addColumn<QString>("lut");        // what the input LUT does
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("said");       // a part of what the program prints
    QTest::newRow("lift and gain") << "lift" << QStringList() << 0 << "inverted on a 33-point lattice over 0 to 1";
    QTest::newRow("outside the gamut") << "lift" << QStringList() << 0 << "lie outside the LUT's output gamut";
    QTest::newRow("size") << "lift" << QStringList{"--size", "9"} << 0 << "inverted on a 9-point lattice";
    QTest::newRow("clipped") << "clip" << QStringList() << 0 << "out.cube: warning: 4326 of the lattice's 24576 tetrahedra have no volume";
    QTest::newRow("clipped, strict") << "clip" << QStringList{"--strict"} << 1 << "out.cube: not written (--strict):";
    QTest::newRow("grey") << "grey" << QStringList() << 1 << "in.cube: cannot be inverted: its lattice has no volume";
    QTest::newRow("size too small") << "lift" << QStringList{"--size", "1"} << 2 << "--size";
}

void TestCliCheck::invert()
{
    QFETCH(QString, lut);
    QFETCH(QStringList, options);
    QFETCH(int, code);
    QFETCH(QString, said);
    QTemporaryDir dir;
    const QString in = CliTest::writeCube(dir.filePath("in.cube"), 17, [&](float r, float g, float b, float *o) {
        const float x[3] = {r, g, b};
        for (int c = 0; c < 3; ++c)
            o[c] = lut == "grey" ? 0.3f * r + 0.6f * g + 0.1f * b : lut == "clip" ? std::min(1.0f, x[c] * 1.1f) : 0.1f + 0.8f * x[c];
    });
    const QString out = dir.filePath("out.cube");
    const CliTest::Run r = run(QStringList{"invert", in, "-o", out} + options);
    QCOMPARE(r.code, code);
    QVERIFY2(r.all().contains(said), qPrintable(r.all()));
    QCOMPARE(QFileInfo::exists(out), code == 0);
    if (code != 0 || lut != "lift")
        return;
    // The inverse of 0.1 + 0.8 x at its middle node, and its round trip.
    QVERIFY(r.out.contains("LUT then inverse, at "));
    Read_LUTFile m;
    QVERIFY(m.ReadFile(TestUtil::side(Formats::Id::Cube, out, true, true, false), false));
    const int mid = m.lut3DSize / 2;
    QVERIFY(std::fabs(m.lut3D[mid][mid][mid][1] - 0.5f) < 1e-6f);
}

QTEST_GUILESS_MAIN(TestCliCheck)
#include "tst_cli_check.moc"
