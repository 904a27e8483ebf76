// Identity fills, composition, 3D <-> 1D conversion, integer interpolation and device-word
// packing.
#include <QtTest>

#include <cmath>
#include <vector>

#include "calc/lutcalc.h"
#include "lut/read_lutfile.h"

namespace {

void make3D(Read_LUTFile &m, int n)
{
    m.lut3DSize = n;
    Read_LUTFile::Data3DCalloc(&m.lut3D, n);
}

void make1D(Read_LUTFile &m, int n)
{
    m.lut1DSize = n;
    Read_LUTFile::Data1DCalloc(&m.lut1D, n);
}

// A smooth, non-separable grade with values inside 0..1.
void fillGrade(Read_LUTFile &m)
{
    const int n = m.lut3DSize;
    for (int r = 0; r < n; ++r)
        for (int g = 0; g < n; ++g)
            for (int b = 0; b < n; ++b) {
                const float x = float(r) / (n - 1), y = float(g) / (n - 1), z = float(b) / (n - 1);
                float *v = m.lut3D[r][g][b];
                v[0] = 0.8f * x * x + 0.15f * y + 0.05f * z;
                v[1] = 0.1f * x + 0.7f * std::sqrt(y) + 0.2f * z * y;
                v[2] = 0.05f + 0.9f * z * (0.5f + 0.5f * x);
            }
}

float maxDiff(const Read_LUTFile &a, const Read_LUTFile &b)
{
    float worst = 0;
    for (std::size_t i = 0; i < a.lut3D.floatCount(); ++i)
        worst = std::max(worst, std::fabs(a.lut3D.data()[i] - b.lut3D.data()[i]));
    return worst;
}

}

class TestAux : public QObject
{
    Q_OBJECT
private slots:
    void identityFills();
    void merge();
    void mergeLooksUpEachSourceOverItsDomain();
    void threeDToOneD();
    void oneDToThreeD();
    void integerInterpolationExamples();
    void integerInterpolationExhaustive_data();
    void integerInterpolationExhaustive();
    void packing3D();
    void packingRoundTripEveryDepth();
    void packing1DAndGamma();
    void refusedCalls();
};

void TestAux::identityFills()
{
    Read_LUTFile m;
    make3D(m, 17);
    LutCalc::Lut3D_OnebyOne(m);
    QCOMPARE(m.lut3D[8][4][16][0], 0.5f);
    QCOMPARE(m.lut3D[8][4][16][1], 0.25f);
    QCOMPARE(m.lut3D[8][4][16][2], 1.0f);
    make1D(m, 1024);
    LutCalc::Lut1D_OnebyOne(m);
    for (int c = 0; c < 3; ++c)
        QCOMPARE(m.lut1D[1][c], 1.0f / 1023.0f);
    QCOMPARE(m.lut1D[1023][2], 1.0f);

    // One-point tables hold position 0, not 0 / 0.
    Read_LUTFile one;
    make3D(one, 1);
    make1D(one, 1);
    LutCalc::Lut3D_OnebyOne(one);
    LutCalc::Lut1D_OnebyOne(one);
    QCOMPARE(one.lut3D[0][0][0][0], 0.0f);
    QCOMPARE(one.lut1D[0][0], 0.0f);
}

void TestAux::merge()
{
    Read_LUTFile id, b, out1, out2;
    make3D(id, 17);
    LutCalc::Lut3D_OnebyOne(id);
    make3D(b, 33);
    fillGrade(b);
    make3D(out1, 33);
    make3D(out2, 33);
    LutCalc::Lut3D_Merge(id, b, out1);   // identity first
    LutCalc::Lut3D_Merge(b, id, out2);   // identity second
    QVERIFY2(maxDiff(out1, b) < 1e-6f, qPrintable(QString::number(maxDiff(out1, b))));
    QVERIFY2(maxDiff(out2, b) < 1e-6f, qPrintable(QString::number(maxDiff(out2, b))));

    // A real composition: the result at a node is second(first(node)).
    Read_LUTFile c, out;
    make3D(c, 9);
    fillGrade(c);
    make3D(out, 5);
    LutCalc::Lut3D_Merge(b, c, out);
    const float in[3] = {0.25f, 0.5f, 0.75f};
    float mid[3], expect[3];
    LutCalc::Lut3D_Tetrahedral(in, mid, b);
    LutCalc::Lut3D_Tetrahedral(mid, expect, c);
    for (int k = 0; k < 3; ++k)
        QCOMPARE(out.lut3D[1][2][3][k], expect[k]);

    // An empty source leaves the output alone.
    Read_LUTFile empty, keep;
    make3D(keep, 2);
    keep.lut3D[1][1][1][0] = 0.5f;
    LutCalc::Lut3D_Merge(empty, b, keep);
    LutCalc::Lut3D_Merge(b, empty, keep);
    QCOMPARE(keep.lut3D[1][1][1][0], 0.5f);
}

void TestAux::mergeLooksUpEachSourceOverItsDomain()
{
    Read_LUTFile halve, id, out;
    make3D(halve, 2);
    LutCalc::Lut3D_OnebyOne(halve);
    for (int c = 0; c < 3; ++c)
        halve.domainMax3D[c] = 2.0f;   // maps x to x / 2
    make3D(id, 3);
    LutCalc::Lut3D_OnebyOne(id);
    make3D(out, 3);
    LutCalc::Lut3D_Merge(halve, id, out);
    QCOMPARE(out.lut3D[2][2][2][0], 0.5f);
    QCOMPARE(out.lut3D[1][0][0][0], 0.25f);
}

void TestAux::threeDToOneD()
{
    Read_LUTFile id, dst;
    make3D(id, 17);
    LutCalc::Lut3D_OnebyOne(id);
    make1D(dst, 256);
    LutCalc::Lut3D_to_Lut1D(id, dst);
    for (int e = 0; e < 256; ++e)
        for (int c = 0; c < 3; ++c)
            QVERIFY(std::fabs(dst.lut1D[e][c] - e / 255.0f) < 1e-6f);

    // Without a 3D table the entries are zero, never read from nowhere.
    Read_LUTFile none, z;
    make1D(z, 4);
    z.lut1D[3][0] = 0.5f;
    LutCalc::Lut3D_to_Lut1D(none, z);
    QCOMPARE(z.lut1D[3][0], 0.0f);
}

void TestAux::oneDToThreeD()
{
    Read_LUTFile src, dst;
    make1D(src, 1024);
    for (int e = 0; e < 1024; ++e) {
        src.lut1D[e][0] = float(e);
        src.lut1D[e][1] = float(e) + 0.5f;
        src.lut1D[e][2] = -float(e);
    }
    make3D(dst, 33);
    LutCalc::Lut1D_to_Lut3D(src.lut1D, src.lut1DSize, dst);
    QCOMPARE(dst.lut3D[16][0][0][0], 511.0f);
    QCOMPARE(dst.lut3D[32][0][0][0], 1023.0f);
    QCOMPARE(dst.lut3D[0][16][0][1], 511.5f);
    QCOMPARE(dst.lut3D[0][0][32][2], -1023.0f);
    QCOMPARE(dst.lut3D[3][0][0][0], float(int(3.0f / 32.0f * 1023.0f)));

    // A size beyond the table is held to the table.
    Read_LUTFile dst2;
    make3D(dst2, 5);
    LutCalc::Lut1D_to_Lut3D(src.lut1D, 1 << 20, dst2);
    QCOMPARE(dst2.lut3D[4][4][4][0], 1023.0f);
}

void TestAux::integerInterpolationExamples()
{
    Read_LUTFile id;
    make3D(id, 16);   // w = 17
    LutCalc::Lut3D_OnebyOne(id);
    const uint64_t a[3] = {34, 34, 34};
    uint64_t out[3];
    LutCalc::Lut3D_Tetrahedral_Int(a, out, id);
    QCOMPARE(out[0], uint64_t(34));
    QCOMPARE(out[1], uint64_t(34));
    QCOMPARE(out[2], uint64_t(34));
    // Remainder 1: both indices stay on node 2, no blend toward node 3.
    const uint64_t b[3] = {35, 0, 0};
    LutCalc::Lut3D_Tetrahedral_Int(b, out, id);
    QCOMPARE(out[0], uint64_t(id.lut3D[2][0][0][0] * 255.0f));
    QCOMPARE(out[1], uint64_t(0));
    // Remainder 2 blends: (15 * code(node 2) + 2 * code(node 3)) / 17.
    const uint64_t c[3] = {36, 0, 0};
    LutCalc::Lut3D_Tetrahedral_Int(c, out, id);
    const uint64_t n2 = uint64_t(id.lut3D[2][0][0][0] * 255.0f), n3 = uint64_t(id.lut3D[3][0][0][0] * 255.0f);
    QCOMPARE(out[0], (15 * n2 + 2 * n3) / 17);
}

void TestAux::integerInterpolationExhaustive_data()
{
    QTest::addColumn<int>("size");
    QTest::newRow("16 (w divides 255)") << 16;
    QTest::newRow("17 (upper cell cut)") << 17;
    QTest::newRow("33") << 33;
    QTest::newRow("65") << 65;
    QTest::newRow("2") << 2;
}

void TestAux::integerInterpolationExhaustive()
{
    // Every 8-bit input stays inside the table (AddressSanitizer watches this in the sanitizer
    // build) and lands within the integer rounding of the float interpolator.
    QFETCH(int, size);
    Read_LUTFile m;
    make3D(m, size);
    fillGrade(m);
    const uint64_t w = 255 / uint64_t(size - 1);
    uint64_t worst = 0;
    for (uint64_t r = 0; r < 256; ++r)
        for (uint64_t g = 0; g < 256; ++g)
            for (uint64_t b = 0; b < 256; ++b) {
                const uint64_t in[3] = {r, g, b};
                uint64_t out[3];
                LutCalc::Lut3D_Tetrahedral_Int(in, out, m);
                // The float interpolator at the same lattice position (cells of w codes).
                const float top = float((size - 1) * w);
                const float pos[3] = {std::min(float(r), top) / top, std::min(float(g), top) / top, std::min(float(b), top) / top};
                float f[3];
                LutCalc::Lut3D_Tetrahedral(pos, f, m);
                for (int k = 0; k < 3; ++k) {
                    if (out[k] > 255)
                        QFAIL("code above 255");
                    const double diff = std::fabs(double(out[k]) - double(f[k]) * 255.0);
                    worst = std::max<uint64_t>(worst, uint64_t(std::ceil(diff)));
                }
            }
    // Codes truncate the nodes and the sum (under 2 codes together); a remainder of 1 keeps
    // the lower node, which is off by at most a 1/w share of one step between neighbouring
    // nodes, on each of the three axes.
    uint64_t step = 0;
    for (int r = 0; r < size; ++r)
        for (int g = 0; g < size; ++g)
            for (int b = 0; b + 1 < size; ++b)
                for (int k = 0; k < 3; ++k) {
                    step = std::max<uint64_t>(step, uint64_t(std::ceil(std::fabs(m.lut3D[r][g][b + 1][k] - m.lut3D[r][g][b][k]) * 255.0f)));
                    step = std::max<uint64_t>(step, uint64_t(std::ceil(std::fabs(m.lut3D[b + 1][r][g][k] - m.lut3D[b][r][g][k]) * 255.0f)));
                    step = std::max<uint64_t>(step, uint64_t(std::ceil(std::fabs(m.lut3D[r][b + 1][g][k] - m.lut3D[r][b][g][k]) * 255.0f)));
                }
    const uint64_t allowed = 2 + (3 * step + w - 1) / w;
    QVERIFY2(worst <= allowed, qPrintable(QStringLiteral("worst %1 codes").arg(worst)));
}

void TestAux::packing3D()
{
    Read_LUTFile m;
    make3D(m, 2);
    m.lut3D[0][0][0][0] = 1.0f;
    m.lut3D[0][0][0][1] = 0.5f;
    m.lut3D[1][0][1][2] = 0.25f;
    std::vector<uint16_t> words(LutCalc::uartWords3D(m));
    QCOMPARE(words.size(), std::size_t(24));
    LutCalc::Lut3D_to_Uart(words.data(), 10, m);
    QCOMPARE(words[0], uint16_t(1023));
    QCOMPARE(words[1], uint16_t(511));
    QCOMPARE(words[3 * ((1 * 2 + 0) * 2 + 1) + 2], uint16_t(255));   // red slowest, blue fastest

    words[0] = 1023;
    words[1] = 512;
    LutCalc::Uart_to_Lut3D(words.data(), 10, m);
    QCOMPARE(m.lut3D[0][0][0][0], 1.0f);
    QCOMPARE(m.lut3D[0][0][0][1], float(512.0 / 1023.0));
}

void TestAux::packingRoundTripEveryDepth()
{
    Read_LUTFile m, back;
    make3D(m, 9);
    fillGrade(m);
    make3D(back, 9);
    std::vector<uint16_t> words(LutCalc::uartWords3D(m));
    for (int bits = 1; bits <= 16; ++bits) {
        LutCalc::Lut3D_to_Uart(words.data(), bits, m);
        LutCalc::Uart_to_Lut3D(words.data(), bits, back);
        const double full = std::pow(2.0, bits) - 1;
        for (std::size_t i = 0; i < m.lut3D.floatCount(); ++i) {
            const double codes = std::fabs(double(back.lut3D.data()[i]) - double(m.lut3D.data()[i])) * full;
            QVERIFY2(codes <= 1.0 + 1e-3, qPrintable(QStringLiteral("bits %1: %2 codes").arg(bits).arg(codes)));
        }
    }
}

void TestAux::packing1DAndGamma()
{
    Read_LUTFile m;
    make1D(m, 3);
    m.lut1D[2][0] = 1.0f;
    m.lut1D[2][1] = 0.5f;
    m.lut1D[1][2] = 2.0f;    // outside 0..1: held to full scale
    m.lut1D[0][0] = -1.0f;   // and to 0
    std::vector<uint16_t> words(LutCalc::uartWords1D(m));
    LutCalc::Lut1D_to_Uart(words.data(), 16, m);
    QCOMPARE(words[6], uint16_t(65535));
    QCOMPARE(words[7], uint16_t(32767));
    QCOMPARE(words[5], uint16_t(65535));
    QCOMPARE(words[0], uint16_t(0));
    LutCalc::Uart_to_Lut1D(words.data(), 16, m);
    QCOMPARE(m.lut1D[2][0], 1.0f);

    // One word per entry, from element 0 only; unpacked into all three elements.
    std::vector<uint16_t> curve(3, 0xBEEF);
    LutCalc::Gamma_to_Uart(curve.data(), 8, m);
    QCOMPARE(curve[2], uint16_t(255));
    QCOMPARE(curve[0], uint16_t(0));
    curve[1] = 51;
    LutCalc::Uart_to_Gamma(curve.data(), 8, m);
    for (int c = 0; c < 3; ++c)
        QCOMPARE(m.lut1D[1][c], 0.2f);
}

void TestAux::refusedCalls()
{
    // Depths outside 1..16 do nothing; tables of size 0 do nothing; nothing is touched.
    Read_LUTFile m;
    make3D(m, 2);
    m.lut3D[0][0][0][0] = 0.5f;
    std::vector<uint16_t> words(24, 7);
    for (int bits : {0, -3, 17, 64}) {
        LutCalc::Lut3D_to_Uart(words.data(), bits, m);
        LutCalc::Uart_to_Lut3D(words.data(), bits, m);
    }
    QCOMPARE(words[0], uint16_t(7));
    QCOMPARE(m.lut3D[0][0][0][0], 0.5f);

    Read_LUTFile empty;
    LutCalc::Lut3D_to_Uart(words.data(), 8, empty);
    LutCalc::Lut1D_to_Uart(words.data(), 8, empty);
    LutCalc::Gamma_to_Uart(words.data(), 8, empty);
    QCOMPARE(words[0], uint16_t(7));
    LutCalc::Lut3D_OnebyOne(empty);
    LutCalc::Lut1D_OnebyOne(empty);

    // The integer interpolator without a lattice answers 0, and clamps inputs above 255.
    const uint64_t in[3] = {300, 1u << 20, 255};
    uint64_t out[3] = {9, 9, 9};
    LutCalc::Lut3D_Tetrahedral_Int(in, out, empty);
    QCOMPARE(out[0], uint64_t(0));
    Read_LUTFile id;
    make3D(id, 18);
    LutCalc::Lut3D_OnebyOne(id);
    LutCalc::Lut3D_Tetrahedral_Int(in, out, id);
    QCOMPARE(out[0], uint64_t(255));
    QCOMPARE(out[1], uint64_t(255));
}

QTEST_GUILESS_MAIN(TestAux)
#include "tst_aux.moc"
