// Colour samples from a pair of images: the sample tree, the sample list, the sampling itself
// and the bracketing estimate.
#include <QtTest>

#include <QImage>
#include <QtEndian>

#include <map>
#include <random>
#include <tuple>

#include "calc/imagepair.h"
#include "calc/lutcalc.h"
#include "testutil.h"

namespace {

struct Pair {
    QRgb source;
    QRgb target;
};

QRgb grey(int v)
{
    return qRgb(v, v, v);
}

// A source and a target image one pixel high, pixel i of each holding pairs[i].
void writePair(const QTemporaryDir &dir, const QVector<Pair> &pairs, QString &source, QString &target)
{
    QImage s(pairs.size(), 1, QImage::Format_RGB32);
    QImage t(pairs.size(), 1, QImage::Format_RGB32);
    for (int i = 0; i < pairs.size(); ++i) {
        s.setPixel(i, 0, pairs[i].source);
        t.setPixel(i, 0, pairs[i].target);
    }
    source = dir.filePath(QStringLiteral("source.png"));
    target = dir.filePath(QStringLiteral("target.png"));
    QVERIFY(s.save(source));
    QVERIFY(t.save(target));
}

bool sample(const QTemporaryDir &dir, const QVector<Pair> &pairs, ImagePairSamples &samples)
{
    QString source, target, error;
    writePair(dir, pairs, source, target);
    const bool ok = sampleImagePair(source, target, samples, &error);
    if (!ok)
        qWarning() << error;
    return ok;
}

FindXResult findX(const ImagePairSamples &s, int r, int g, int b, QTextStream *report = nullptr, quint64 maxPairs = 0)
{
    const int target[3] = {r, g, b};
    return LutCalc::FindX(target, nullptr, nullptr, s.list.data(), s.list.size(), s.map, report, maxPairs);
}

// Levels (and the number of entries at each) of a tree, checking on the way that every level
// is sorted with unique keys and that the counts are the sizes.
QString treeShape(const DATA_3D_ST &tree)
{
    QString shape;
    if (tree.xCount != int(tree.xs.size()))
        return QStringLiteral("xCount %1 for %2 entries").arg(tree.xCount).arg(tree.xs.size());
    for (std::size_t i = 0; i < tree.xs.size(); ++i) {
        const DATA_3D_X_ST &xe = tree.xs[i];
        if (i && !(tree.xs[i - 1].x < xe.x))
            return QStringLiteral("x level out of order at %1").arg(i);
        if (xe.yCount != int(xe.ys.size()))
            return QStringLiteral("yCount wrong below x %1").arg(xe.x);
        for (std::size_t j = 0; j < xe.ys.size(); ++j) {
            const DATA_3D_Y_ST &ye = xe.ys[j];
            if (j && !(xe.ys[j - 1].y < ye.y))
                return QStringLiteral("y level out of order below x %1").arg(xe.x);
            if (ye.zCount != int(ye.zs.size()))
                return QStringLiteral("zCount wrong below %1 %2").arg(xe.x).arg(ye.y);
            for (std::size_t k = 1; k < ye.zs.size(); ++k) {
                if (!(ye.zs[k - 1].z < ye.zs[k].z))
                    return QStringLiteral("z level out of order below %1 %2").arg(xe.x).arg(ye.y);
            }
        }
    }
    return shape;
}

// Target colour of corner c (bit 4 = red high, 2 = green high, 1 = blue high) in the
// tetrahedron tests: eight colours that no plane holds, so every tetrahedron gives its own
// estimate.
QRgb cornerColour(int c)
{
    static const int bytes[8][3] = {{10, 200, 30},  {90, 20, 250},  {170, 120, 5},  {250, 60, 140},
                                    {40, 240, 200}, {130, 0, 90},   {220, 180, 60}, {0, 100, 255}};
    return qRgb(bytes[c][0], bytes[c][1], bytes[c][2]);
}

}

class TestImagePair : public QObject
{
    Q_OBJECT
private slots:
    void treeOrder();
    void treeKeepsFirstSample();
    void treeAgainstReference();
    void treeAppendHelpers();
    void lookups();
    void sampleList();
    void sortOrders();
    void printTree();
    void sampling();
    void samplingRefused_data();
    void samplingRefused();
    void tetrahedron_data();
    void tetrahedron();
    void tetrahedronNeedsItsCorners();
    void interpolationNeedsLowAndHigh();
    void candidateOrder();
    void equalCodesGiveZeroFraction();
    void exactMatch();
    void fromImages();
    void diagnosticsUnwritable();
};

void TestImagePair::treeOrder()
{
    DATA_3D_ST tree;
    insert3DST(5, 1, 1, 0.5f, 0.0f, 0.0f, tree);
    insert3DST(2, 1, 1, 0.2f, 0.0f, 0.0f, tree);
    insert3DST(9, 1, 1, 0.9f, 0.0f, 0.0f, tree);
    QCOMPARE(tree.xCount, 3);
    QCOMPARE(tree.xs[0].x, 2);
    QCOMPARE(tree.xs[1].x, 5);
    QCOMPARE(tree.xs[2].x, 9);
    QCOMPARE(tree.xs[1].ys[0].zs[0].red, 0.5f);
    QCOMPARE(tree.xs[2].ys[0].zs[0].codeSum, 11);

    insert3DST(5, 0, 1, 0.25f, 0.5f, 0.75f, tree);
    QCOMPARE(tree.xCount, 3);
    const DATA_3D_X_ST &five = tree.xs[1];
    QCOMPARE(five.yCount, 2);
    QCOMPARE(five.ys[0].y, 0);
    QCOMPARE(five.ys[1].y, 1);
    QCOMPARE(five.ys[0].zCount, 1);
    QCOMPARE(five.ys[0].zs[0].z, 1);
    QCOMPARE(five.ys[0].zs[0].green, 0.5f);
    QCOMPARE(five.ys[0].zs[0].codeSum, 6);

    insert3DST(5, 0, 0, 0.0f, 0.0f, 0.0f, tree);
    insert3DST(5, 0, 7, 0.0f, 0.0f, 0.0f, tree);
    QCOMPARE(five.ys[0].zCount, 3);
    QCOMPARE(five.ys[0].zs[0].z, 0);
    QCOMPARE(five.ys[0].zs[1].z, 1);
    QCOMPARE(five.ys[0].zs[2].z, 7);
    QCOMPARE(treeShape(tree), QString());
}

void TestImagePair::treeKeepsFirstSample()
{
    DATA_3D_ST tree;
    insert3DST(10, 20, 30, 1.0f, 0.0f, 0.0f, tree);
    insert3DST(10, 20, 30, 0.0f, 1.0f, 0.0f, tree);
    QCOMPARE(tree.xCount, 1);
    QCOMPARE(tree.xs[0].yCount, 1);
    QCOMPARE(tree.xs[0].ys[0].zCount, 1);
    const DATA_3D_Z_ST &z = tree.xs[0].ys[0].zs[0];
    QCOMPARE(z.red, 1.0f);
    QCOMPARE(z.green, 0.0f);
    QCOMPARE(z.codeSum, 60);
}

// Many insertions in random order, duplicates included: the tree holds each triple once, in
// order, with the first colour given, and find3DST locates each at its position.
void TestImagePair::treeAgainstReference()
{
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> code(0, 11);
    std::map<std::tuple<int, int, int>, float> reference;
    DATA_3D_ST tree;
    for (int i = 0; i < 3000; ++i) {
        const int x = code(rng) * 20, y = code(rng) * 3, z = code(rng) + 200;
        const float value = float(i);
        reference.emplace(std::make_tuple(x, y, z), value);
        insert3DST(x, y, z, value, 0.0f, 0.0f, tree);
    }
    QCOMPARE(treeShape(tree), QString());
    std::size_t stored = 0;
    auto expected = reference.begin();
    for (const DATA_3D_X_ST &xe : tree.xs)
        for (const DATA_3D_Y_ST &ye : xe.ys)
            for (const DATA_3D_Z_ST &ze : ye.zs) {
                QVERIFY(expected != reference.end());
                QCOMPARE(std::make_tuple(xe.x, ye.y, ze.z), expected->first);
                QCOMPARE(ze.red, expected->second);
                QCOMPARE(ze.codeSum, xe.x + ye.y + ze.z);
                ++expected;
                ++stored;
            }
    QCOMPARE(stored, reference.size());
    for (const auto &entry : reference) {
        int xi, yi, zi;
        const int x = std::get<0>(entry.first), y = std::get<1>(entry.first), z = std::get<2>(entry.first);
        QVERIFY(find3DST(x, y, z, tree, &xi, &yi, &zi));
        QCOMPARE(tree.xs[xi].x, x);
        QCOMPARE(tree.xs[xi].ys[yi].y, y);
        QCOMPARE(tree.xs[xi].ys[yi].zs[zi].z, z);
    }
}

void TestImagePair::treeAppendHelpers()
{
    DATA_3D_ST tree;
    QVERIFY(tree.xs.empty());
    QCOMPARE(tree.xCount, 0);
    calloc3DST_X(tree);
    QCOMPARE(tree.xCount, 1);
    QCOMPARE(tree.xs[0].x, -1);
    QCOMPARE(tree.xs[0].yCount, 1);
    QCOMPARE(tree.xs[0].ys[0].y, -1);
    QCOMPARE(tree.xs[0].ys[0].zCount, 1);
    QCOMPARE(tree.xs[0].ys[0].zs[0].z, -1);
    calloc3DST_Y(tree.xs[0]);
    QCOMPARE(tree.xs[0].yCount, 2);
    QCOMPARE(tree.xs[0].ys[1].zCount, 1);
    QCOMPARE(tree.xs[0].ys[1].zs[0].z, -1);
    calloc3DST_Z(tree.xs[0].ys[1]);
    QCOMPARE(tree.xs[0].ys[1].zCount, 2);
    QCOMPARE(tree.xs[0].ys[1].zs[1].z, -1);
    QCOMPARE(tree.xs[0].ys[1].zs[1].codeSum, 0);
}

void TestImagePair::lookups()
{
    DATA_3D_ST tree;
    insert3DST(3, 4, 5, 0.1f, 0.2f, 0.3f, tree);
    insert3DST(3, 4, 9, 0.1f, 0.2f, 0.3f, tree);
    insert3DST(3, 7, 1, 0.1f, 0.2f, 0.3f, tree);
    insert3DST(1, 1, 1, 0.1f, 0.2f, 0.3f, tree);
    int xi = 9, yi = 9, zi = 9;

    QVERIFY(find3DST(3, 4, 9, tree, &xi, &yi, &zi));
    QCOMPARE(QVector<int>({xi, yi, zi}), QVector<int>({1, 0, 1}));
    // x and y present, z not: the first two positions stand, the third is -1.
    QVERIFY(!find3DST(3, 7, 2, tree, &xi, &yi, &zi));
    QCOMPARE(QVector<int>({xi, yi, zi}), QVector<int>({1, 1, -1}));
    QVERIFY(!find3DST(3, 5, 5, tree, &xi, &yi, &zi));
    QCOMPARE(QVector<int>({xi, yi, zi}), QVector<int>({1, -1, -1}));
    QVERIFY(!find3DST(2, 4, 5, tree, &xi, &yi, &zi));
    QCOMPARE(QVector<int>({xi, yi, zi}), QVector<int>({-1, -1, -1}));

    QVERIFY(find3DST_S(7, 1, tree, 1, &yi, &zi));
    QCOMPARE(QVector<int>({yi, zi}), QVector<int>({1, 0}));
    QVERIFY(!find3DST_S(7, 1, tree, 0, &yi, &zi));
    QCOMPARE(QVector<int>({yi, zi}), QVector<int>({-1, -1}));
    QVERIFY(!find3DST_S(4, 5, tree, 2, &yi, &zi));   // no x entry at position 2
    QCOMPARE(QVector<int>({yi, zi}), QVector<int>({-1, -1}));
    QVERIFY(!find3DST_S(4, 5, tree, -1, &yi, &zi));

    QVERIFY(find3DST_Q(5, tree, 1, 0, &zi));
    QCOMPARE(zi, 0);
    QVERIFY(!find3DST_Q(6, tree, 1, 0, &zi));
    QCOMPARE(zi, -1);
    QVERIFY(!find3DST_Q(1, tree, 1, 2, &zi));        // no y entry at position 2
    QCOMPARE(zi, -1);

    DATA_3D_ST empty;
    QVERIFY(!find3DST(0, 0, 0, empty, &xi, &yi, &zi));
    QCOMPARE(QVector<int>({xi, yi, zi}), QVector<int>({-1, -1, -1}));
}

void TestImagePair::sampleList()
{
    SampleList list;
    QVERIFY(calloc3DIndex(0, 3, list));
    QCOMPARE(list.size(), quint64(3));
    for (quint64 i = 0; i < 3; ++i) {
        QCOMPARE(list[i]->red, 0);
        QCOMPARE(list[i]->codeSum, 0);
        QCOMPARE(list[i]->spare[2], 0);
        list[i]->red = int(i) + 1;
    }
    SampleRecord *first = list[0];
    QVERIFY(calloc3DIndex(3, 5, list));
    QCOMPARE(list.size(), quint64(5));
    QCOMPARE(list[0], first);
    QCOMPARE(list[2]->red, 3);
    QCOMPARE(list[4]->red, 0);
    QVERIFY(list[3] != list[4]);
    // A wrong count of what the list has, or a shrink, changes nothing.
    QVERIFY(!calloc3DIndex(2, 8, list));
    QVERIFY(!calloc3DIndex(5, 4, list));
    QCOMPARE(list.size(), quint64(5));
    QVERIFY(calloc3DIndex(5, 5, list));
}

void TestImagePair::sortOrders()
{
    SampleRecord a = {1, 1, 1, 3, {0, 0, 0}};
    SampleRecord b = {4, 4, 4, 12, {0, 0, 0}};
    SampleRecord c = {2, 2, 2, 6, {0, 0, 0}};
    SampleRecord *pa = &a, *pb = &b;
    QCOMPARE(compmin(&pa, &pb), 9);
    QCOMPARE(compmax(&pa, &pb), -9);
    QCOMPARE(compmin(&pa, &pa), 0);
    SampleRecord *list[] = {&a, &b, &c};
    std::qsort(list, 3, sizeof list[0], compmin);
    QCOMPARE(QVector<int>({list[0]->codeSum, list[1]->codeSum, list[2]->codeSum}), QVector<int>({12, 6, 3}));
    std::qsort(list, 3, sizeof list[0], compmax);
    QCOMPARE(QVector<int>({list[0]->codeSum, list[1]->codeSum, list[2]->codeSum}), QVector<int>({3, 6, 12}));
}

void TestImagePair::printTree()
{
    DATA_3D_ST tree;
    insert3DST(2, 0, 1, 0.5f, 0.25f, 1.0f, tree);
    insert3DST(1, 3, 4, 0.0f, 1.0f, 0.5f, tree);
    QString text;
    QTextStream out(&text);
    print3DST(tree, &out);
    out.flush();
    QCOMPARE(text, QStringLiteral("1 3 4: 0 1 0.5 8\n2 0 1: 0.5 0.25 1 3\n----\n"));
}

// Two pixels of source colour (10, 20, 30) become red, then green: the first decides.
void TestImagePair::sampling()
{
    QTemporaryDir dir;
    ImagePairSamples s;
    QVERIFY(sample(dir,
                   {{qRgb(10, 20, 30), qRgb(255, 0, 0)},
                    {qRgb(200, 1, 1), qRgb(0, 0, 51)},
                    {qRgb(10, 20, 30), qRgb(0, 255, 0)},
                    {qRgb(10, 2, 99), qRgb(255, 255, 255)}},
                   s));
    QCOMPARE(s.count, quint64(3));
    QCOMPARE(s.size, QSize(4, 1));
    QVERIFY(s.map.sampled(10, 20, 30));
    QVERIFY(!s.map.sampled(10, 20, 31));
    QCOMPARE(s.map.cell(10, 20, 30)[0], 1.0f);
    QCOMPARE(s.map.cell(10, 20, 30)[1], 0.0f);
    QCOMPARE(s.map.cell(200, 1, 1)[2], float(51 / 255.0));
    QCOMPARE(s.map.cell(200, 1, 1)[3], 1.0f);

    int xi, yi, zi;
    QVERIFY(find3DST(10, 20, 30, s.tree, &xi, &yi, &zi));
    const DATA_3D_Z_ST &z = s.tree.xs[xi].ys[yi].zs[zi];
    QCOMPARE(z.red, 1.0f);
    QCOMPARE(z.green, 0.0f);
    QCOMPARE(z.codeSum, 60);
    QCOMPARE(s.tree.xCount, 2);
    QCOMPARE(s.tree.xs[0].yCount, 2);

    // The list runs red slowest, blue fastest.
    QCOMPARE(s.list.size(), quint64(3));
    const QVector<int> codes = {s.list[0]->red, s.list[0]->green, s.list[0]->blue, s.list[0]->codeSum,
                                s.list[1]->red, s.list[1]->green, s.list[1]->blue, s.list[2]->red};
    QCOMPARE(codes, QVector<int>({10, 2, 99, 111, 10, 20, 30, 200}));
}

void TestImagePair::samplingRefused_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("reason");
    QTest::newRow("no source") << "missing.png" << "4x3.png" << "source image missing.png: not a readable image";
    QTest::newRow("no target") << "4x3.png" << "missing.png" << "target image missing.png: not a readable image";
    QTest::newRow("target not an image") << "4x3.png" << "text.png" << "target image text.png: not a readable image";
    QTest::newRow("target narrower") << "4x3.png" << "3x3.png" << "the target image is 3 x 3 pixels, the source 4 x 3";
    QTest::newRow("target lower") << "4x3.png" << "4x2.png" << "the target image is 4 x 2 pixels";
    QTest::newRow("target larger") << "4x3.png" << "5x4.png" << "they must be the same size";
    QTest::newRow("source too large") << "9000x8000.bmp" << "9000x8000.bmp" << "more than the 67108864 that can be paired";
    QTest::newRow("target pixels cut off") << "64x64.png" << "cut.png" << "target image cut.png: the pixels cannot be decoded";
}

// A pair that cannot be sampled is refused with a reason, and nothing is written.
void TestImagePair::samplingRefused()
{
    QFETCH(QString, source);
    QFETCH(QString, target);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    for (const char *size : {"4x3", "3x3", "4x2", "5x4", "64x64"}) {
        const QStringList wh = QString::fromLatin1(size).split(QLatin1Char('x'));
        QImage image(wh[0].toInt(), wh[1].toInt(), QImage::Format_RGB32);
        image.fill(qRgb(1, 2, 3));
        QVERIFY(image.save(dir.filePath(QLatin1String(size) + QLatin1String(".png"))));
    }
    QVERIFY(TestUtil::writeFile(dir.filePath(QStringLiteral("text.png")), "not an image"));
    // A bitmap header claiming 72 million pixels, with none behind it.
    uchar bmp[54] = {'B', 'M'};
    qToLittleEndian<quint32>(54, bmp + 10);
    qToLittleEndian<quint32>(40, bmp + 14);
    qToLittleEndian<qint32>(9000, bmp + 18);
    qToLittleEndian<qint32>(8000, bmp + 22);
    qToLittleEndian<quint16>(1, bmp + 26);
    qToLittleEndian<quint16>(24, bmp + 28);
    QVERIFY(TestUtil::writeFile(dir.filePath(QStringLiteral("9000x8000.bmp")), QByteArray(reinterpret_cast<char *>(bmp), sizeof bmp)));
    const QByteArray png = TestUtil::readFile(dir.filePath(QStringLiteral("64x64.png")));
    QVERIFY(TestUtil::writeFile(dir.filePath(QStringLiteral("cut.png")), png.left(png.size() - 20)));

    ImagePairSamples s;
    QString error;
    QVERIFY(!sampleImagePair(dir.filePath(source), dir.filePath(target), s, &error));
    QVERIFY2(error.contains(reason), qPrintable(error));
    QVERIFY(!s.map);
    QCOMPARE(s.count, quint64(0));

    const QString diagnostics = dir.filePath(QStringLiteral("diagnostics"));
    const ImagePairResult result = LutCalc::JPG_to_lut3d(dir.filePath(source), dir.filePath(target), diagnostics);
    QVERIFY(!result.ok);
    QCOMPARE(result.errorString, error);
    QVERIFY(result.estimates.isEmpty());
    QVERIFY(!QFileInfo::exists(diagnostics));
}

void TestImagePair::tetrahedron_data()
{
    QTest::addColumn<QVector<int>>("target");
    QTest::addColumn<QVector<int>>("path");      // the two middle corners
    QTest::addColumn<QVector<float>>("weights");
    // Lower corner (100, 100, 100), upper (140, 140, 140): a code of 100 + 40 f gives fraction f.
    QTest::newRow("all equal") << QVector<int>{128, 128, 128} << QVector<int>{2, 6} << QVector<float>{0.3f, 0.0f, 0.0f, 0.7f};
    QTest::newRow("g > r > b") << QVector<int>{110, 130, 105} << QVector<int>{2, 6} << QVector<float>{0.25f, 0.5f, 0.125f, 0.125f};
    QTest::newRow("r = g > b") << QVector<int>{130, 130, 110} << QVector<int>{2, 6} << QVector<float>{0.25f, 0.0f, 0.5f, 0.25f};
    QTest::newRow("g > b > r") << QVector<int>{105, 130, 120} << QVector<int>{2, 3} << QVector<float>{0.25f, 0.25f, 0.375f, 0.125f};
    QTest::newRow("g = b > r") << QVector<int>{110, 130, 130} << QVector<int>{2, 3} << QVector<float>{0.25f, 0.0f, 0.5f, 0.25f};
    QTest::newRow("b > g > r") << QVector<int>{105, 120, 130} << QVector<int>{1, 3} << QVector<float>{0.25f, 0.25f, 0.375f, 0.125f};
    QTest::newRow("b > r = g") << QVector<int>{110, 110, 130} << QVector<int>{1, 3} << QVector<float>{0.25f, 0.5f, 0.0f, 0.25f};
    QTest::newRow("b > r > g") << QVector<int>{120, 105, 130} << QVector<int>{1, 5} << QVector<float>{0.25f, 0.25f, 0.375f, 0.125f};
    QTest::newRow("r = b > g") << QVector<int>{130, 105, 130} << QVector<int>{1, 5} << QVector<float>{0.25f, 0.0f, 0.625f, 0.125f};
    QTest::newRow("r > b > g") << QVector<int>{130, 105, 120} << QVector<int>{4, 5} << QVector<float>{0.25f, 0.25f, 0.375f, 0.125f};
    QTest::newRow("r > g = b") << QVector<int>{130, 110, 110} << QVector<int>{4, 5} << QVector<float>{0.25f, 0.5f, 0.0f, 0.25f};
    QTest::newRow("r > g > b") << QVector<int>{130, 120, 105} << QVector<int>{4, 6} << QVector<float>{0.25f, 0.25f, 0.375f, 0.125f};
}

// With all eight corners of the box sampled in colours no plane holds, the estimate tells
// which tetrahedron was taken; with only its four corners sampled, an estimate exists at all
// only when that tetrahedron is taken (which pins down the ties, where the values agree).
// The tree's interpolating lookup takes the same tetrahedron.
void TestImagePair::tetrahedron()
{
    QFETCH(QVector<int>, target);
    QFETCH(QVector<int>, path);
    QFETCH(QVector<float>, weights);
    const int corners[4] = {0, path[0], path[1], 7};
    for (bool allCorners : {true, false}) {
        QVector<Pair> pairs;
        for (int c = 0; c < 8; ++c) {
            if (allCorners || std::find(corners, corners + 4, c) != corners + 4)
                pairs.push_back({qRgb(c & 4 ? 140 : 100, c & 2 ? 140 : 100, c & 1 ? 140 : 100), cornerColour(c)});
        }
        QTemporaryDir dir;
        ImagePairSamples s;
        QVERIFY(sample(dir, pairs, s));

        float expected[3];
        for (int k = 0; k < 3; ++k) {
            float sum = 0.0f;
            for (int i = 0; i < 4; ++i) {
                const QRgb c = cornerColour(corners[i]);
                const float v = float((k == 0 ? qRed(c) : k == 1 ? qGreen(c) : qBlue(c)) / 255.0);
                sum = i ? sum + weights[i] * v : weights[i] * v;
            }
            expected[k] = sum;
        }

        const FindXResult result = findX(s, target[0], target[1], target[2]);
        QVERIFY(!result.exact);
        QCOMPARE(result.lowerCount, quint64(1));
        QCOMPARE(result.upperCount, quint64(1));
        QCOMPARE(result.pairs, quint64(1));
        QCOMPARE(result.estimates.size(), 1);
        const FindXEstimate &e = result.estimates[0];
        QCOMPARE(e.pair, quint64(1));
        QCOMPARE(QVector<int>(e.lower, e.lower + 3), QVector<int>({100, 100, 100}));
        QCOMPARE(QVector<int>(e.upper, e.upper + 3), QVector<int>({140, 140, 140}));
        for (int k = 0; k < 3; ++k)
            QVERIFY2(qAbs(e.colour[k] - expected[k]) < 1e-6f, qPrintable(QStringLiteral("channel %1: %2, not %3").arg(k).arg(e.colour[k]).arg(expected[k])));

        const int low[3] = {100, 100, 100}, high[3] = {140, 140, 140};
        float out[3] = {-1.0f, -1.0f, -1.0f};
        QVERIFY(find3DST_8p((target[0] - 100) / 40.0f, (target[1] - 100) / 40.0f, (target[2] - 100) / 40.0f, low, high, s.tree, out));
        for (int k = 0; k < 3; ++k)
            QCOMPARE(out[k], e.colour[k]);
    }
}

// Only the chosen tetrahedron's corners count: with one of them missing there is no estimate,
// even though the other corners of the box are sampled.
void TestImagePair::tetrahedronNeedsItsCorners()
{
    // fr 0.75 > fg 0.5 > fb 0.25: corners 0, 4, 6, 7. Leave out corner 6.
    QVector<Pair> pairs;
    for (int c = 0; c < 8; ++c) {
        if (c != 6)
            pairs.push_back({qRgb(c & 4 ? 140 : 100, c & 2 ? 140 : 100, c & 1 ? 140 : 100), cornerColour(c)});
    }
    QTemporaryDir dir;
    ImagePairSamples s;
    QVERIFY(sample(dir, pairs, s));
    const FindXResult result = findX(s, 130, 120, 110);
    QCOMPARE(result.pairs, quint64(1));
    QVERIFY(result.estimates.isEmpty());

    const int low[3] = {100, 100, 100}, high[3] = {140, 140, 140};
    float out[3] = {-1.0f, -1.0f, -1.0f};
    QVERIFY(!find3DST_8p(0.75f, 0.5f, 0.25f, low, high, s.tree, out));
    QCOMPARE(out[0], -1.0f);
    // Another ordering inside the same box finds all of its corners.
    QVERIFY(find3DST_8p(0.25f, 0.5f, 0.75f, low, high, s.tree, out));
    QVERIFY(out[0] >= 0.0f);
}

void TestImagePair::interpolationNeedsLowAndHigh()
{
    DATA_3D_ST tree;
    insert3DST(0, 0, 0, 0.0f, 0.0f, 0.0f, tree);
    insert3DST(1, 0, 0, 1.0f, 0.0f, 0.0f, tree);
    insert3DST(1, 1, 0, 1.0f, 1.0f, 0.0f, tree);
    const int low[3] = {0, 0, 0}, high[3] = {1, 1, 1};
    float out[3] = {-1.0f, -1.0f, -1.0f};
    QVERIFY(!find3DST_8p(0.75f, 0.5f, 0.25f, low, high, tree, out));
    QCOMPARE(out[2], -1.0f);
    insert3DST(1, 1, 1, 1.0f, 1.0f, 1.0f, tree);
    QVERIFY(find3DST_8p(0.75f, 0.5f, 0.25f, low, high, tree, out));
    // A linear map is reproduced exactly.
    QCOMPARE(out[0], 0.75f);
    QCOMPARE(out[1], 0.5f);
    QCOMPARE(out[2], 0.25f);
    const int missingLow[3] = {2, 0, 0};
    QVERIFY(!find3DST_8p(0.75f, 0.5f, 0.25f, missingLow, high, tree, out));
}

// Lower candidates are tried nearest first, and within each the upper ones nearest first.
void TestImagePair::candidateOrder()
{
    const int lows[] = {100, 120, 90};
    const int highs[] = {200, 130, 140};
    QVector<Pair> pairs;
    for (int l : lows)
        pairs.push_back({grey(l), grey(l)});
    for (int h : highs)
        pairs.push_back({grey(h), grey(h)});
    // The middle corners that equal fractions need, for every pair of greys.
    for (int l : lows)
        for (int h : highs) {
            pairs.push_back({qRgb(l, h, l), grey(0)});
            pairs.push_back({qRgb(h, h, l), grey(0)});
        }
    // Colours that bracket nothing: neither all below nor all above 128.
    pairs.push_back({qRgb(10, 250, 128), grey(0)});
    QTemporaryDir dir;
    ImagePairSamples s;
    QVERIFY(sample(dir, pairs, s));

    QString text;
    QTextStream report(&text);
    const FindXResult result = findX(s, 128, 128, 128, &report);
    report.flush();
    QCOMPARE(result.sampleCount, quint64(25));
    QCOMPARE(result.lowerCount, quint64(3));
    QCOMPARE(result.upperCount, quint64(3));
    QCOMPARE(result.pairs, quint64(9));
    QCOMPARE(result.estimates.size(), 9);
    const int lowOrder[] = {120, 100, 90};
    const int highOrder[] = {130, 140, 200};
    for (int i = 0; i < 9; ++i) {
        const FindXEstimate &e = result.estimates[i];
        QCOMPARE(e.pair, quint64(i + 1));
        QCOMPARE(e.lower[0], lowOrder[i / 3]);
        QCOMPARE(e.upper[0], highOrder[i % 3]);
        // Grey in, grey out: (1 - f) low + f high with the middle weights 0.
        const float f = float(128 - e.lower[0]) / float(e.upper[0] - e.lower[0]);
        QVERIFY(qAbs(e.colour[1] - ((1.0f - f) * e.lower[0] + f * e.upper[0]) / 255.0f) < 1e-5f);
    }
    QVERIFY2(text.startsWith(QStringLiteral("target 128 128 128\nsamples 25, below 3, above 3\npair 1: 120 120 120 - 130 130 130 -> ")),
             qPrintable(text));
    QVERIFY(text.endsWith(QStringLiteral("pairs examined 9\n")));
    QCOMPARE(text.count(QStringLiteral("\npair ")), 9);

    const FindXResult limited = findX(s, 128, 128, 128, nullptr, 4);
    QCOMPARE(limited.pairs, quint64(4));
    QCOMPARE(limited.estimates.size(), 4);
    QCOMPARE(limited.estimates[3].lower[0], 100);
    QCOMPARE(limited.estimates[3].upper[0], 130);
}

// A lower and an upper colour with the same red code leave red no room: its fraction is 0.
void TestImagePair::equalCodesGiveZeroFraction()
{
    // Target (128, 130, 110) in the box (128, 100, 100) - (128, 140, 140): fr 0, fg 0.75, fb 0.25,
    // so the path runs green, blue, red: corners (128, 140, 100), then the upper corner twice.
    QTemporaryDir dir;
    ImagePairSamples s;
    QVERIFY(sample(dir, {{qRgb(128, 100, 100), grey(0)}, {qRgb(128, 140, 100), grey(200)}, {qRgb(128, 140, 140), grey(100)}}, s));
    const FindXResult result = findX(s, 128, 130, 110);
    QCOMPARE(result.estimates.size(), 1);
    // 0.25 * 0 + 0.5 * 200 / 255 + 0.25 * 100 / 255 + 0 * 100 / 255: no division by the empty red span.
    QVERIFY(qAbs(result.estimates[0].colour[0] - (0.5f * 200.0f + 0.25f * 100.0f) / 255.0f) < 1e-6f);
}

void TestImagePair::exactMatch()
{
    QTemporaryDir dir;
    ImagePairSamples s;
    QVERIFY(sample(dir, {{grey(100), grey(0)}, {grey(128), qRgb(255, 0, 51)}, {grey(140), grey(255)}}, s));
    QString text;
    QTextStream report(&text);
    const FindXResult result = findX(s, 128, 128, 128, &report);
    report.flush();
    QVERIFY(result.exact);
    QCOMPARE(result.exactColour[0], 1.0f);
    QCOMPARE(result.exactColour[2], float(51 / 255.0));
    QVERIFY(result.estimates.isEmpty());
    QCOMPARE(result.pairs, quint64(0));
    QCOMPARE(text, QStringLiteral("target 128 128 128\nexact match 128 128 128: 1 0 0.2\n"));
}

// The whole run on a pair of small pictures: samples dumped, the three greys estimated,
// everything returned, and the files kept out of the working folder.
void TestImagePair::fromImages()
{
    QTemporaryDir dir;
    // Source: a grey ramp 0, 8, ..., 248 plus 255, with the corners each grey bracket needs; the
    // target darkens each code to its half.
    QVector<Pair> pairs;
    auto half = [](int r, int g, int b) { return qRgb(r / 2, g / 2, b / 2); };
    for (int v = 0; v < 256; v += 8) {
        pairs.push_back({grey(v), half(v, v, v)});
        if (v + 8 < 256) {
            pairs.push_back({qRgb(v, v + 8, v), half(v, v + 8, v)});
            pairs.push_back({qRgb(v + 8, v + 8, v), half(v + 8, v + 8, v)});
        }
    }
    pairs.push_back({grey(128), grey(255)});   // a second pixel of grey 128: ignored
    QString source, target;
    writePair(dir, pairs, source, target);

    const QString tmp = dir.filePath(QStringLiteral("tmp"));
    QVERIFY(QDir().mkpath(tmp));
    const QByteArray oldTmp = qgetenv("TMPDIR");
    qputenv("TMPDIR", tmp.toLocal8Bit());
    const QByteArray oldTmpWin = qgetenv("TMP");   // what Windows asks
    qputenv("TMP", tmp.toLocal8Bit());
    const QStringList before = QDir::current().entryList(QDir::NoDotAndDotDot | QDir::AllEntries);
    const ImagePairResult result = LutCalc::JPG_to_lut3d(source, target);
    const QStringList after = QDir::current().entryList(QDir::NoDotAndDotDot | QDir::AllEntries);
    qputenv("TMPDIR", oldTmp);
    qputenv("TMP", oldTmpWin);
    QVERIFY2(result.ok, qPrintable(result.errorString));
    QCOMPARE(before, after);
    QCOMPARE(result.sampleCount, quint64(32 + 31 * 2));
    QVERIFY2(result.dumpPath.startsWith(tmp + QLatin1Char('/')), qPrintable(result.dumpPath));
    QVERIFY(result.reportPath.startsWith(tmp + QLatin1Char('/')));

    const QList<QByteArray> dump = TestUtil::readText(result.dumpPath).split('\n');
    QCOMPARE(dump.size(), int(result.sampleCount) + 1);
    QCOMPARE(dump[0], QByteArray("0 0 0 0.000000 0.000000 0.000000"));
    QVERIFY(dump.contains("128 128 128 0.250980 0.250980 0.250980"));

    QCOMPARE(result.estimates.size(), 3);
    QVERIFY(result.estimates[0].exact);
    QCOMPARE(result.estimates[0].target[0], 128);
    QCOMPARE(result.estimates[0].exactColour[0], float(64 / 255.0));
    for (int i = 1; i < 3; ++i) {
        QVERIFY(result.estimates[i].exact);   // 32 and 64 are on the ramp too
        QCOMPARE(result.estimates[i].exactColour[1], float((result.estimates[i].target[1] / 2) / 255.0));
    }
    const QByteArray report = TestUtil::readText(result.reportPath);
    QVERIFY(report.startsWith("target 128 128 128\nexact match 128 128 128: "));
    QVERIFY(report.contains("target 32 32 32\n"));
    QVERIFY(report.contains("target 64 64 64\n"));
}

// Diagnostics that cannot be written do not cost the caller the estimates.
void TestImagePair::diagnosticsUnwritable()
{
    QTemporaryDir dir;
    QVector<Pair> pairs;
    for (int v : {20, 40, 64})
        pairs.push_back({grey(v), grey(v)});
    pairs.push_back({qRgb(20, 40, 20), grey(30)});
    pairs.push_back({qRgb(40, 40, 20), grey(30)});
    QString source, target;
    writePair(dir, pairs, source, target);
    const QString blocker = dir.filePath(QStringLiteral("file"));
    QVERIFY(TestUtil::writeFile(blocker, "x"));
    const ImagePairResult result = LutCalc::JPG_to_lut3d(source, target, blocker + QStringLiteral("/below"));
    QVERIFY(result.ok);
    QVERIFY(result.dumpPath.isEmpty());
    QVERIFY(result.reportPath.isEmpty());
    QCOMPARE(result.estimates.size(), 3);
    // Grey 32 lies between the samples 20 and 40.
    const FindXResult &g32 = result.estimates[1];
    QVERIFY(!g32.exact);
    QCOMPARE(g32.estimates.size(), 1);
    QVERIFY(qAbs(g32.estimates[0].colour[0] - (0.4f * 20.0f + 0.6f * 40.0f) / 255.0f) < 1e-6f);
    QVERIFY(result.estimates[2].exact);
}

QTEST_GUILESS_MAIN(TestImagePair)
#include "tst_imagepair.moc"
