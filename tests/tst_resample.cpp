// Resampling: tetrahedral interpolation through a 3D table, linear through a 1D table, and
// whole-table resampling, checked against an independent interpolator written here.
#include <QtTest>

#include <algorithm>
#include <cmath>

#include "calc/lutcalc.h"
#include "lut/read_lutfile.h"

namespace {

void fill(Read_LUTFile &m, int n, const std::function<void(float, float, float, float *)> &f)
{
    QVERIFY(m.setSize3D(n, false));
    for (int r = 0; r < n; ++r)
        for (int g = 0; g < n; ++g)
            for (int b = 0; b < n; ++b)
                f(float(r) / (n - 1), float(g) / (n - 1), float(b) / (n - 1), m.lut3D[r][g][b]);
}

void identity(float r, float g, float b, float *out)
{
    out[0] = r;
    out[1] = g;
    out[2] = b;
}

// A grade of the kind a colourist makes: a contrast curve per channel, cross-talk between
// channels and a saturation change, so that no axis is separable.
void grade(float r, float g, float b, float *out)
{
    const float luma = 0.2126f * r + 0.7152f * g + 0.0722f * b;
    const float sat = 1.35f;
    float c[3] = {luma + (r - luma) * sat, luma + (g - luma) * sat, luma + (b - luma) * sat};
    const float mix[3][3] = {{0.9f, 0.08f, 0.02f}, {0.05f, 0.9f, 0.05f}, {0.02f, 0.13f, 0.85f}};
    for (int k = 0; k < 3; ++k) {
        const float x = mix[k][0] * c[0] + mix[k][1] * c[1] + mix[k][2] * c[2];
        const float s = std::clamp(x, 0.0f, 1.0f);
        out[k] = s * s * (3.0f - 2.0f * s) * 0.9f + 0.05f * std::sqrt(s);
    }
}

// Independent tetrahedral interpolation: walk from the low corner to the high one, one axis at
// a time, in the order of decreasing fractions; each step's weight is the drop in fraction.
void reference(const Read_LUTFile &m, const float *in, double *out)
{
    const int n = m.lut3DSize;
    int lo[3];
    double f[3];
    for (int a = 0; a < 3; ++a) {
        double t = (double(in[a]) - m.domainMin3D[a]) / (double(m.domainMax3D[a]) - m.domainMin3D[a]) * (n - 1);
        t = std::min(std::max(t, 0.0), double(n - 1));
        lo[a] = std::min(int(std::floor(t)), n - 2 < 0 ? 0 : n - 2);
        f[a] = t - lo[a];
        if (n == 1) {
            lo[a] = 0;
            f[a] = 0;
        }
    }
    int order[3] = {0, 1, 2};
    std::stable_sort(order, order + 3, [&](int x, int y) { return f[x] > f[y]; });
    int idx[3] = {lo[0], lo[1], lo[2]};
    double prev = 1.0;
    for (int k = 0; k < 3; ++k)
        out[k] = 0;
    for (int step = 0; step <= 3; ++step) {
        const double w = prev - (step < 3 ? f[order[step]] : 0.0);
        const float *v = m.lut3D[idx[0]][idx[1]][idx[2]];
        for (int k = 0; k < 3; ++k)
            out[k] += w * v[k];
        if (step < 3) {
            prev = f[order[step]];
            if (n > 1)
                idx[order[step]] += 1;
        }
    }
}

}

class TestResample : public QObject
{
    Q_OBJECT
private slots:
    void identityStaysIdentity_data();
    void identityStaysIdentity();
    void gradeAgreesWithReference_data();
    void gradeAgreesWithReference();
    void edgesAndOutsideDomain();
    void equalFractionsUseDiagonal();
    void tetrahedronChoiceFollowsTies();
    void sizeTwoSource();
    void emptySourceLeavesDestination();
    void degenerateCases();
    void domainMapsOntoLattice();
    void linear1D();
};

void TestResample::identityStaysIdentity_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::newRow("33 to 17") << 33 << 17;
    QTest::newRow("17 to 33") << 17 << 33;
    QTest::newRow("2 to 65") << 2 << 65;
    QTest::newRow("65 to 2") << 65 << 2;
}

void TestResample::identityStaysIdentity()
{
    QFETCH(int, from);
    QFETCH(int, to);
    Read_LUTFile src, dst;
    fill(src, from, identity);
    dst.lut3DSize = to;
    Read_LUTFile::Data3DCalloc(&dst.lut3D, to);
    LutCalc::Lut3D_Out(src, dst);
    for (int r = 0; r < to; ++r)
        for (int g = 0; g < to; ++g)
            for (int b = 0; b < to; ++b) {
                const float *v = dst.lut3D[r][g][b];
                QVERIFY(std::fabs(v[0] - float(r) / (to - 1)) < 1e-6f);
                QVERIFY(std::fabs(v[1] - float(g) / (to - 1)) < 1e-6f);
                QVERIFY(std::fabs(v[2] - float(b) / (to - 1)) < 1e-6f);
            }
}

void TestResample::gradeAgreesWithReference_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::newRow("65 to 33") << 65 << 33;
    QTest::newRow("33 to 17") << 33 << 17;
    QTest::newRow("17 to 33") << 17 << 33;
    QTest::newRow("33 to 20, off the source lattice") << 33 << 20;
    QTest::newRow("65 to 24, off the source lattice") << 65 << 24;
}

void TestResample::gradeAgreesWithReference()
{
    QFETCH(int, from);
    QFETCH(int, to);
    Read_LUTFile src, dst;
    fill(src, from, grade);
    dst.lut3DSize = to;
    Read_LUTFile::Data3DCalloc(&dst.lut3D, to);
    LutCalc::Lut3D_Out(src, dst);
    double worst = 0;
    for (int r = 0; r < to; ++r)
        for (int g = 0; g < to; ++g)
            for (int b = 0; b < to; ++b) {
                const float in[3] = {float(r) / (to - 1), float(g) / (to - 1), float(b) / (to - 1)};
                double ref[3];
                reference(src, in, ref);
                for (int k = 0; k < 3; ++k)
                    worst = std::max(worst, std::fabs(ref[k] - dst.lut3D[r][g][b][k]));
            }
    QVERIFY2(worst < 2e-6, qPrintable(QString::number(worst)));

    // Anywhere in the cube, not only at the destination's nodes.
    quint32 seed = 12345;
    auto next = [&seed] { seed = seed * 1664525u + 1013904223u; return float(seed >> 8) / float(1 << 24); };
    for (int i = 0; i < 5000; ++i) {
        const float in[3] = {next(), next(), next()};
        float out[3];
        double ref[3];
        LutCalc::Lut3D_Tetrahedral(in, out, src);
        reference(src, in, ref);
        for (int k = 0; k < 3; ++k)
            worst = std::max(worst, std::fabs(ref[k] - out[k]));
    }
    QVERIFY2(worst < 2e-6, qPrintable(QString::number(worst)));

    // Between lattice points the interpolation stays close to the grade itself.
    double err = 0;
    for (int i = 0; i < 1000; ++i) {
        const float in[3] = {float(i % 10) / 9.3f, float((i / 10) % 10) / 9.7f, float(i / 100) / 9.1f};
        float out[3], exact[3];
        LutCalc::Lut3D_Tetrahedral(in, out, src);
        grade(std::min(in[0], 1.0f), std::min(in[1], 1.0f), std::min(in[2], 1.0f), exact);
        for (int k = 0; k < 3; ++k)
            err = std::max(err, double(std::fabs(out[k] - exact[k])));
    }
    QVERIFY2(err < 0.02, qPrintable(QString::number(err)));
}

void TestResample::edgesAndOutsideDomain()
{
    Read_LUTFile m;
    fill(m, 5, grade);
    const float top[3] = {1.0f, 1.0f, 1.0f};
    float out[3];
    LutCalc::Lut3D_Tetrahedral(top, out, m);
    for (int k = 0; k < 3; ++k)
        QCOMPARE(out[k], m.lut3D[4][4][4][k]);
    const float beyond[3] = {-3.0f, 7.0f, 0.0f};
    LutCalc::Lut3D_Tetrahedral(beyond, out, m);
    for (int k = 0; k < 3; ++k)
        QCOMPARE(out[k], m.lut3D[0][4][0][k]);
    // A NaN input lands on index 0 of its axis instead of an undefined index.
    const float nan[3] = {std::nanf(""), 1.0f, 1.0f};
    LutCalc::Lut3D_Tetrahedral(nan, out, m);
    for (int k = 0; k < 3; ++k)
        QCOMPARE(out[k], m.lut3D[0][4][4][k]);
}

void TestResample::equalFractionsUseDiagonal()
{
    Read_LUTFile m;
    fill(m, 3, grade);
    const float in[3] = {0.3f, 0.3f, 0.3f};
    float out[3];
    LutCalc::Lut3D_Tetrahedral(in, out, m);
    const float f = 0.3f * 2.0f - 0.0f;
    for (int k = 0; k < 3; ++k) {
        const float expect = (1.0f - f) * m.lut3D[0][0][0][k] + 0.0f * m.lut3D[0][1][0][k] + 0.0f * m.lut3D[1][1][0][k]
            + f * m.lut3D[1][1][1][k];
        QCOMPARE(out[k], expect);
    }
}

void TestResample::tetrahedronChoiceFollowsTies()
{
    // A lattice whose only non-zero node is V010 (green high): only the tetrahedra through
    // V010 (the last two rows) give it weight.
    Read_LUTFile m;
    QVERIFY(m.setSize3D(2, false));
    m.lut3D[0][1][0][0] = 1.0f;
    float out[3];
    const float greenFirst[3] = {0.2f, 0.6f, 0.4f};   // fg > fb > fr: weight fg - fb
    LutCalc::Lut3D_Tetrahedral(greenFirst, out, m);
    QCOMPARE(out[0], 0.6f - 0.4f);
    const float redEqualsGreen[3] = {0.5f, 0.5f, 0.25f};   // tie goes to "green not below red": V010 row
    LutCalc::Lut3D_Tetrahedral(redEqualsGreen, out, m);
    QCOMPARE(out[0], 0.0f);   // fg - fr = 0
    const float redFirst[3] = {0.7f, 0.5f, 0.25f};   // fr > fg: V010 not on the path
    LutCalc::Lut3D_Tetrahedral(redFirst, out, m);
    QCOMPARE(out[0], 0.0f);
    const float blueEqualsGreen[3] = {0.1f, 0.5f, 0.5f};   // not fb > fg, fb > fr: V010, V011
    LutCalc::Lut3D_Tetrahedral(blueEqualsGreen, out, m);
    QCOMPARE(out[0], 0.0f);   // weight fg - fb = 0
}

void TestResample::sizeTwoSource()
{
    Read_LUTFile src, dst;
    fill(src, 2, grade);
    dst.lut3DSize = 9;
    Read_LUTFile::Data3DCalloc(&dst.lut3D, 9);
    LutCalc::Lut3D_Out(src, dst);
    for (int k = 0; k < 3; ++k) {
        QCOMPARE(dst.lut3D[0][0][0][k], src.lut3D[0][0][0][k]);
        QCOMPARE(dst.lut3D[8][8][8][k], src.lut3D[1][1][1][k]);
    }
    const float mid[3] = {0.5f, 0.5f, 0.5f};
    float out[3];
    LutCalc::Lut3D_Tetrahedral(mid, out, src);
    for (int k = 0; k < 3; ++k)
        QCOMPARE(dst.lut3D[4][4][4][k], out[k]);
}

void TestResample::emptySourceLeavesDestination()
{
    Read_LUTFile src, dst;
    dst.lut3DSize = 3;
    Read_LUTFile::Data3DCalloc(&dst.lut3D, 3);
    dst.lut3D[1][1][1][0] = 0.75f;
    LutCalc::Lut3D_Out(src, dst);
    QCOMPARE(dst.lut3D[1][1][1][0], 0.75f);
    QCOMPARE(dst.lut3D[2][2][2][0], 0.0f);

    // A destination whose size is set but whose table is missing is left alone too.
    Read_LUTFile full, bare;
    fill(full, 3, grade);
    bare.lut3DSize = 33;
    LutCalc::Lut3D_Out(full, bare);
    QVERIFY(!bare.lut3D);
}

void TestResample::degenerateCases()
{
    Read_LUTFile src;
    fill(src, 5, grade);
    // One-point destination: a constant table holding the source's value at the origin.
    Read_LUTFile one;
    one.lut3DSize = 1;
    Read_LUTFile::Data3DCalloc(&one.lut3D, 1);
    LutCalc::Lut3D_Out(src, one);
    for (int k = 0; k < 3; ++k)
        QCOMPARE(one.lut3D[0][0][0][k], src.lut3D[0][0][0][k]);

    // A zero-width domain: inputs at or below it take index 0, inputs above it the top index.
    src.domainMin3D[1] = src.domainMax3D[1] = 0.5f;
    float out[3];
    const float low[3] = {0.0f, 0.5f, 0.0f}, high[3] = {0.0f, 0.75f, 0.0f};
    LutCalc::Lut3D_Tetrahedral(low, out, src);
    QCOMPARE(out[1], src.lut3D[0][0][0][1]);
    LutCalc::Lut3D_Tetrahedral(high, out, src);
    QCOMPARE(out[1], src.lut3D[0][4][0][1]);

    // A one-point source is a constant.
    Read_LUTFile dot, dst;
    fill(dot, 1, [](float, float, float, float *o) { o[0] = 0.25f; o[1] = 0.5f; o[2] = 0.75f; });
    dst.lut3DSize = 3;
    Read_LUTFile::Data3DCalloc(&dst.lut3D, 3);
    LutCalc::Lut3D_Out(dot, dst);
    QCOMPARE(dst.lut3D[2][1][0][2], 0.75f);
}

void TestResample::domainMapsOntoLattice()
{
    // The source domain maps the destination's unit cube onto the source lattice.
    Read_LUTFile src, dst;
    fill(src, 3, identity);
    for (int k = 0; k < 3; ++k)
        src.domainMax3D[k] = 2.0f;
    dst.lut3DSize = 3;
    Read_LUTFile::Data3DCalloc(&dst.lut3D, 3);
    LutCalc::Lut3D_Out(src, dst);
    QCOMPARE(dst.lut3D[2][2][2][0], 0.5f);
    QCOMPARE(dst.lut3D[1][0][0][0], 0.25f);
}

void TestResample::linear1D()
{
    Read_LUTFile src;
    QVERIFY(src.setSize1D(5, false));
    for (int i = 0; i < 5; ++i) {
        src.lut1D[i][0] = float(i * i) / 16.0f;
        src.lut1D[i][1] = float(i) / 4.0f;
        src.lut1D[i][2] = 1.0f - float(i) / 4.0f;
    }
    const float in[3] = {0.375f, 1.5f, -1.0f};
    float out[3];
    LutCalc::Lut1D_liner(in, out, src);
    QCOMPARE(out[0], (src.lut1D[2][0] - src.lut1D[1][0]) * 0.5f + src.lut1D[1][0]);
    QCOMPARE(out[1], 1.0f);   // above the domain: the last entry
    QCOMPARE(out[2], 1.0f);   // below: the first

    Read_LUTFile dst;
    QVERIFY(dst.setSize1D(9, false));
    LutCalc::Lut1D_Out(src, dst);
    for (int i = 0; i < 9; ++i) {
        const float x = float(i) / 8.0f;
        const float xin[3] = {x, x, x};
        float expect[3];
        LutCalc::Lut1D_liner(xin, expect, src);
        for (int k = 0; k < 3; ++k)
            QCOMPARE(dst.lut1D[i][k], expect[k]);
    }
    QCOMPARE(dst.lut1D[8][0], 1.0f);
    QCOMPARE(dst.lut1D[4][1], 0.5f);

    // An empty source leaves the destination untouched.
    Read_LUTFile none, keep;
    QVERIFY(keep.setSize1D(2, false));
    keep.lut1D[1][1] = 0.3f;
    LutCalc::Lut1D_Out(none, keep);
    QCOMPARE(keep.lut1D[1][1], 0.3f);
}

QTEST_GUILESS_MAIN(TestResample)
#include "tst_resample.moc"
