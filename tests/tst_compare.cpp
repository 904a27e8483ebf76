// Comparing two LUTs: the differences found, where, and their statistics.
#include <QtTest>

#include <cmath>
#include <functional>
#include <limits>

#include "calc/lutcalc.h"
#include "calc/lutcompare.h"
#include "testutil.h"

namespace {

using NodeFn = std::function<float(int r, int g, int b, int ch, int n)>;

void lattice(Read_LUTFile &m, int n, const NodeFn &f)
{
    m.setSize3D(n, false);
    for (int r = 0; r < n; ++r)
        for (int g = 0; g < n; ++g)
            for (int b = 0; b < n; ++b)
                for (int ch = 0; ch < 3; ++ch)
                    m.lut3D[r][g][b][ch] = f(r, g, b, ch, n);
}

// A smooth grade that no lattice holds exactly.
float curved(int r, int g, int b, int ch, int n)
{
    const float x[3] = {float(r) / float(n - 1), float(g) / float(n - 1), float(b) / float(n - 1)};
    return std::pow(x[ch], 1.7f) * 0.8f + 0.2f * x[(ch + 1) % 3] * x[(ch + 2) % 3];
}

// Largest |a - b| per channel over the nodes of an n-point lattice, one lookup at a time.
std::array<float, 3> largestOver(const Read_LUTFile &a, const Read_LUTFile &b, int n)
{
    std::array<float, 3> worst{0, 0, 0};
    for (int r = 0; r < n; ++r)
        for (int g = 0; g < n; ++g)
            for (int k = 0; k < n; ++k) {
                const float in[3] = {float(r) / float(n - 1), float(g) / float(n - 1), float(k) / float(n - 1)};
                float oa[3], ob[3];
                LutCalc::Lut3D_Tetrahedral(in, oa, a);
                LutCalc::Lut3D_Tetrahedral(in, ob, b);
                for (int c = 0; c < 3; ++c)
                    worst[std::size_t(c)] = std::max(worst[std::size_t(c)], std::fabs(oa[c] - ob[c]));
            }
    return worst;
}

}

class TestCompare : public QObject
{
    Q_OBJECT

private slots:
    void sameLutDiffersByNothing_data();
    void sameLutDiffersByNothing();
    void changedNodeIsFoundExactly_data();
    void changedNodeIsFoundExactly();
    void percentileIsTheNearestRank_data();
    void percentileIsTheNearestRank();
    void resamplingErrorIsFound();
    void oneDAgainstItsLattice();
    void nanCountsAsDifferent();
};

void TestCompare::sameLutDiffersByNothing_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("oneD");
    QTest::newRow("33-point identity") << 33 << false;
    QTest::newRow("17-point random lattice") << 17 << false;
    QTest::newRow("1D table of 256 entries") << 256 << true;
}

void TestCompare::sameLutDiffersByNothing()
{
    QFETCH(int, size);
    QFETCH(bool, oneD);
    Read_LUTFile a, b;
    if (oneD) {
        TestUtil::fill1D(a, size, 3);
        TestUtil::fill1D(b, size, 3);
    } else if (size == 33) {
        lattice(a, size, TestUtil::identityValue);
        lattice(b, size, TestUtil::identityValue);
    } else {
        TestUtil::fillRandomLattice(a, size, 5);
        TestUtil::fillRandomLattice(b, size, 5);
    }
    const LutCompare::Result r = LutCompare::compare(a, b, LutCompare::defaultLatticeSize(a, b));
    QVERIFY(r.error.isEmpty());
    QCOMPARE(r.latticeSize, 33);
    QVERIFY(r.colours >= std::size_t(33 * 33 * 33));
    for (const LutCompare::Channel &ch : r.channel) {
        QCOMPARE(ch.largest, 0.0f);
        QCOMPARE(ch.mean, 0.0);
        QCOMPARE(ch.percentile99, 0.0f);
    }
}

void TestCompare::changedNodeIsFoundExactly_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("compareAt");
    QTest::addColumn<int>("i");
    QTest::addColumn<int>("j");
    QTest::addColumn<int>("k");
    QTest::addColumn<int>("channel");
    QTest::addColumn<float>("delta");
    QTest::newRow("inside, on the compared lattice") << 33 << 33 << 5 << 17 << 30 << 0 << 0.0625f;
    QTest::newRow("corner, lowered") << 17 << 17 << 0 << 0 << 0 << 2 << -0.25f;
    QTest::newRow("top corner of 65 points") << 65 << 65 << 64 << 64 << 64 << 1 << 0.125f;
    QTest::newRow("node between the compared lattice's nodes") << 17 << 20 << 3 << 9 << 14 << 1 << 0.03125f;
}

void TestCompare::changedNodeIsFoundExactly()
{
    QFETCH(int, size);
    QFETCH(int, compareAt);
    QFETCH(int, i);
    QFETCH(int, j);
    QFETCH(int, k);
    QFETCH(int, channel);
    QFETCH(float, delta);
    Read_LUTFile a, b;
    lattice(a, size, TestUtil::identityValue);
    lattice(b, size, TestUtil::identityValue);
    b.lut3D[i][j][k][channel] += delta;

    const LutCompare::Result r = LutCompare::compare(a, b, compareAt);
    QVERIFY(r.error.isEmpty());
    const float node[3] = {float(i) / float(size - 1), float(j) / float(size - 1), float(k) / float(size - 1)};
    for (int c = 0; c < 3; ++c) {
        const LutCompare::Channel &ch = r.channel[c];
        if (c != channel) {
            QCOMPARE(ch.largest, 0.0f);
            continue;
        }
        // Exactly, not within a rounding: the node's own values are compared there.
        QVERIFY2(ch.largest == std::fabs(delta), qPrintable(QString::number(double(ch.largest), 'g', 9)));
        for (int x = 0; x < 3; ++x)
            QVERIFY(ch.at[x] == node[x] && ch.a[x] == node[x] && ch.b[x] == node[x] + (x == channel ? delta : 0.0f));
        QCOMPARE(LutCompare::inCodes(ch.largest, 10), double(std::fabs(delta)) * 1023.0);
    }
    QCOMPARE(r.largest(), std::fabs(delta));
}

void TestCompare::percentileIsTheNearestRank_data()
{
    // 17^3 = 4913 colours; 99% of them is 4863.87, so the 4864th smallest difference counts.
    QTest::addColumn<int>("changed");
    QTest::addColumn<float>("percentile");
    QTest::newRow("49 nodes changed: the 4864th is still 0") << 49 << 0.0f;
    QTest::newRow("50 nodes changed: the 4864th is the smallest change") << 50 << 1.0f / 1024;
    QTest::newRow("51 nodes changed") << 51 << 2.0f / 1024;
}

void TestCompare::percentileIsTheNearestRank()
{
    QFETCH(int, changed);
    QFETCH(float, percentile);
    Read_LUTFile a, b;
    lattice(a, 17, TestUtil::identityValue);
    lattice(b, 17, TestUtil::identityValue);
    double sum = 0;
    for (int m = 0; m < changed; ++m) {
        b.lut3D.data()[m * 3 * 7] += float(m + 1) / 1024;   // red of every 7th node, differing amounts
        sum += double(m + 1) / 1024;
    }
    const LutCompare::Result r = LutCompare::compare(a, b, 17);
    QCOMPARE(r.colours, std::size_t(4913));
    QCOMPARE(r.channel[0].percentile99, percentile);
    QCOMPARE(r.channel[0].mean, sum / 4913);
    QCOMPARE(r.channel[0].largest, float(changed) / 1024);
}

void TestCompare::resamplingErrorIsFound()
{
    Read_LUTFile fine, coarse;
    lattice(fine, 65, curved);
    coarse.setSize3D(33, false);
    LutCalc::Lut3D_Out(fine, coarse);

    const LutCompare::Result r = LutCompare::compare(fine, coarse, LutCompare::defaultLatticeSize(fine, coarse));
    QCOMPARE(r.latticeSize, 65);
    QCOMPARE(r.colours, std::size_t(65 * 65 * 65));
    const std::array<float, 3> atNodes = largestOver(fine, coarse, 65);
    const std::array<float, 3> dense = largestOver(fine, coarse, 129);
    for (int c = 0; c < 3; ++c) {
        QVERIFY(r.channel[c].largest > 0.0f);
        QCOMPARE(r.channel[c].largest, atNodes[std::size_t(c)]);
        QVERIFY(r.channel[c].largest <= dense[std::size_t(c)]);
        QVERIFY(r.channel[c].percentile99 <= r.channel[c].largest);
        QVERIFY(r.channel[c].mean > 0.0 && r.channel[c].mean <= double(r.channel[c].percentile99));
    }
}

void TestCompare::oneDAgainstItsLattice()
{
    Read_LUTFile curve, separable;
    TestUtil::fill1D(curve, 17, 9);
    lattice(separable, 17, [&](int r, int g, int b, int ch, int) {
        const int at[3] = {r, g, b};
        return curve.lut1D[at[ch]][ch];
    });
    LutCompare::Result r = LutCompare::compare(curve, separable, 33);
    QVERIFY(r.error.isEmpty());
    for (const LutCompare::Channel &ch : r.channel)
        QVERIFY2(ch.largest < 1e-6f, qPrintable(QString::number(double(ch.largest))));

    // A changed entry shows where green reaches it, and in green alone.
    const float before = curve.lut1D[4][1];
    curve.lut1D[4][1] = before + 0.25f;
    r = LutCompare::compare(curve, separable, 33);
    QCOMPARE(r.channel[1].largest, (before + 0.25f) - before);
    QCOMPARE(r.channel[1].at[1], 0.25f);
    QVERIFY(r.channel[0].largest < 1e-6f && r.channel[2].largest < 1e-6f);
}

void TestCompare::nanCountsAsDifferent()
{
    Read_LUTFile a, b;
    lattice(a, 5, TestUtil::identityValue);
    lattice(b, 5, TestUtil::identityValue);
    a.lut3D[2][2][2][0] = std::numeric_limits<float>::quiet_NaN();
    QVERIFY(std::isinf(LutCompare::compare(a, b, 5).channel[0].largest));
    b.lut3D[2][2][2][0] = std::numeric_limits<float>::quiet_NaN();
    QCOMPARE(LutCompare::compare(a, b, 5).channel[0].largest, 0.0f);
}

QTEST_GUILESS_MAIN(TestCompare)
#include "tst_compare.moc"
