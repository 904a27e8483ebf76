// Inverting a LUT: smooth LUTs come back to the identity, the rest say what they cannot undo.
#include <QtTest>

#include <cmath>
#include <functional>
#include <memory>
#include <random>

#include "calc/invert.h"
#include "calc/ops.h"
#include "calc/transform.h"
#include "lut/read_lutfile.h"

namespace {

using Fn = std::function<void(const float *in, float *out)>;

// A LUT made of what `f` does: a 1D table of `entries` (each channel through f on the grey
// axis), or a lattice of `points`, or both (the table as the lattice's shaper).
LutTransform made(int entries, const Fn &shaper, int points, const Fn &lattice)
{
    auto m = std::make_shared<Read_LUTFile>();
    if (entries > 0) {
        m->setSize1D(entries, false);
        for (int i = 0; i < entries; ++i) {
            const float x = float(i) / float(entries - 1), in[3] = {x, x, x};
            shaper(in, m->lut1D[i]);
        }
    }
    if (points > 0) {
        m->setSize3D(points, false);
        const float s = float(points - 1);
        for (int r = 0; r < points; ++r)
            for (int g = 0; g < points; ++g)
                for (int b = 0; b < points; ++b) {
                    const float in[3] = {float(r) / s, float(g) / s, float(b) / s};
                    lattice(in, m->lut3D[r][g][b]);
                }
    }
    return LutTransform::ofTables(m);
}

void gamma22(const float *in, float *out)
{
    for (int c = 0; c < 3; ++c)
        out[c] = std::pow(in[c], 2.2f);
}

void logCurve(const float *in, float *out)
{
    for (int c = 0; c < 3; ++c)
        out[c] = std::log2(1.0f + 63.0f * in[c]) / 6.0f;
}

void falling(const float *in, float *out)
{
    for (int c = 0; c < 3; ++c)
        out[c] = 1.0f - in[c] * in[c];
}

// A grade of the kind a matrix makes: saturation, a warm cast and a lift.
void matrixGrade(const float *in, float *out)
{
    static const float m[3][4] = {{0.90f, 0.08f, 0.02f, 0.03f}, {0.05f, 0.85f, 0.05f, 0.02f}, {0.02f, 0.10f, 0.80f, 0.05f}};
    for (int r = 0; r < 3; ++r)
        out[r] = m[r][0] * in[0] + m[r][1] * in[1] + m[r][2] * in[2] + m[r][3];
}

LutTransform chainOf(std::shared_ptr<Ops::Node> node)
{
    LutTransform t;
    t.addNode(std::move(node));
    return t;
}

std::shared_ptr<Ops::Node> matrixNode()
{
    auto m = std::make_shared<Ops::Matrix>(1);
    const float rows[3][4] = {{0.8f, 0.15f, 0.05f, 0.0f}, {0.1f, 0.8f, 0.1f, 0.05f}, {0.0f, 0.2f, 0.8f, 0.0f}};
    std::copy(&rows[0][0], &rows[0][0] + 12, &m->m[0][0]);
    return m;
}

std::shared_ptr<Ops::Node> gammaNode()
{
    auto e = std::make_shared<Ops::Exponent>(1);
    e->style = Ops::Exponent::BasicFwd;
    for (auto &p : e->params) {
        p.exponent = 2.4f;
        p.identity = false;
    }
    QString why;
    e->prepare(&why);
    return e;
}

}

Q_DECLARE_METATYPE(LutTransform)

class TestInvert : public QObject
{
    Q_OBJECT

private slots:
    void lutThenInverseIsIdentity_data();
    void lutThenInverseIsIdentity();
    void outsideTheGamutTakesTheNearestColour();
    void whatCannotBeUndoneIsSaid_data();
    void whatCannotBeUndoneIsSaid();
    void noInverseIsAnError_data();
    void noInverseIsAnError();
};

void TestInvert::lutThenInverseIsIdentity_data()
{
    QTest::addColumn<LutTransform>("lut");
    QTest::addColumn<float>("margin");   // inputs kept this far inside the cube
    QTest::newRow("gamma 1D") << made(1024, gamma22, 0, nullptr) << 0.0f;
    QTest::newRow("log curve 1D") << made(4096, logCurve, 0, nullptr) << 0.0f;
    QTest::newRow("falling curve 1D") << made(256, falling, 0, nullptr) << 0.0f;
    QTest::newRow("matrix grade 17") << made(0, nullptr, 17, matrixGrade) << 0.1f;
    QTest::newRow("matrix grade 33") << made(0, nullptr, 33, matrixGrade) << 0.1f;
    QTest::newRow("gamma shaper and matrix grade") << made(1024, gamma22, 33, matrixGrade) << 0.35f;
    QTest::newRow("matrix node") << chainOf(matrixNode()) << 0.1f;
    QTest::newRow("exponent node") << chainOf(gammaNode()) << 0.0f;
}

void TestInvert::lutThenInverseIsIdentity()
{
    QFETCH(LutTransform, lut);
    QFETCH(float, margin);
    LutTransform inverse;
    LutInvert::Report report;
    QString why;
    QVERIFY2(LutInvert::invert(lut, 0, inverse, report, &why), qPrintable(why));
    QVERIFY(report.warnings().isEmpty());
    QVERIFY(report.forward.colours > 0);
    QVERIFY2(report.forward.largest() < 1e-4f, qPrintable(QString::number(double(report.forward.largest()))));
    QVERIFY(report.backward.largest() < 1e-4f);

    std::mt19937 random(7);
    std::uniform_real_distribution<float> within(margin, 1.0f - margin);
    float worst = 0;
    for (int i = 0; i < 20000; ++i) {
        const float x[3] = {within(random), within(random), within(random)};
        float y[3];
        lut.apply(x, y, 1);
        inverse.apply(y);
        for (int c = 0; c < 3; ++c)
            worst = std::max(worst, std::fabs(y[c] - x[c]));
    }
    QVERIFY2(worst < 1e-4f, qPrintable(QString::number(double(worst))));
}

void TestInvert::outsideTheGamutTakesTheNearestColour()
{
    // Outputs 0.25 to 0.75 only: the inverse's other nodes take the nearest colour reached.
    const LutTransform lut = made(0, nullptr, 9, [](const float *in, float *out) {
        for (int c = 0; c < 3; ++c)
            out[c] = 0.25f + 0.5f * in[c];
    });
    LutTransform inverse;
    LutInvert::Report report;
    QString why;
    QVERIFY2(LutInvert::invert(lut, 0, inverse, report, &why), qPrintable(why));
    QCOMPARE(report.size, 33);
    QVERIFY(report.outside > 0 && report.outside < report.nodes);
    const struct {
        float y[3], x[3];
    } cases[] = {{{0, 0, 0}, {0, 0, 0}}, {{1, 1, 1}, {1, 1, 1}}, {{0.5f, 0.5f, 0}, {0.5f, 0.5f, 0}},
                 {{0.375f, 1, 0.625f}, {0.25f, 1, 0.75f}}};
    for (const auto &c : cases) {
        float x[3] = {c.y[0], c.y[1], c.y[2]};
        inverse.apply(x);
        for (int k = 0; k < 3; ++k)
            QVERIFY2(std::fabs(x[k] - c.x[k]) < 1e-5f, qPrintable(QString::number(double(x[k]))));
    }
}

void TestInvert::whatCannotBeUndoneIsSaid_data()
{
    QTest::addColumn<LutTransform>("lut");
    QTest::addColumn<QString>("said");
    QTest::newRow("clipped 1D") << made(11, [](const float *in, float *out) {
        for (int c = 0; c < 3; ++c)
            out[c] = std::min(in[c] * 1.25f, 1.0f);
    }, 0, nullptr) << "R is flat from input 0.8 to 1 (it gives 1 there)";
    QTest::newRow("turning back 1D") << made(11, [](const float *in, float *out) {
        for (int c = 0; c < 3; ++c)
            out[c] = in[c] < 0.45f ? in[c] : in[c] < 0.65f ? 0.9f - in[c] : in[c] - 0.4f;
    }, 0, nullptr) << "R turns back from input 0.4 to 0.8 (where it gives 0.4 once more)";
    QTest::newRow("clipped lattice") << made(0, nullptr, 5, [](const float *in, float *out) {
        out[0] = std::min(in[0] * 2.0f, 1.0f);
        out[1] = in[1];
        out[2] = in[2];
    }) << "192 of the lattice's 384 tetrahedra have no volume";
    QTest::newRow("folded lattice") << made(0, nullptr, 5, [](const float *in, float *out) {
        out[0] = in[0] < 0.75f ? in[0] : 1.5f - in[0];
        out[1] = in[1];
        out[2] = in[2];
    }) << "96 of the lattice's 384 tetrahedra fold over";
}

void TestInvert::whatCannotBeUndoneIsSaid()
{
    QFETCH(LutTransform, lut);
    QFETCH(QString, said);
    LutTransform inverse;
    LutInvert::Report report;
    QString why;
    QVERIFY2(LutInvert::invert(lut, 0, inverse, report, &why), qPrintable(why));
    const QString warnings = report.warnings().join(QLatin1Char('\n'));
    QVERIFY2(warnings.contains(said), qPrintable(warnings));
    // What can be undone still is: the stretches and cells are left out of the round trip.
    QVERIFY(report.forward.leftOut > 0);
    QVERIFY2(report.forward.largest() < 1e-4f, qPrintable(QString::number(double(report.forward.largest()))));
}

void TestInvert::noInverseIsAnError_data()
{
    QTest::addColumn<LutTransform>("lut");
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("why");
    QTest::newRow("constant channel") << made(16, [](const float *in, float *out) {
        out[0] = in[0];
        out[1] = 0.5f;
        out[2] = in[2];
    }, 0, nullptr) << 0 << "cannot be inverted: G gives 0.5 for every input";
    QTest::newRow("grey lattice") << made(0, nullptr, 9, [](const float *in, float *out) {
        std::fill(out, out + 3, 0.2126f * in[0] + 0.7152f * in[1] + 0.0722f * in[2]);
    }) << 0 << "cannot be inverted: its lattice has no volume";
    QTest::newRow("NaN in a table") << made(8, [](const float *in, float *out) {
        std::copy(in, in + 3, out);
        if (in[0] > 0.5f)
            out[1] = std::nanf("");
    }, 0, nullptr) << 0 << "cannot be inverted: its table holds values that are not numbers";
    QTest::newRow("size too large") << made(0, nullptr, 3, matrixGrade) << 257
                                    << "the inverse lattice needs 2 to 256 points per axis";
    QTest::newRow("empty") << LutTransform() << 0 << "holds no LUT data";
}

void TestInvert::noInverseIsAnError()
{
    QFETCH(LutTransform, lut);
    QFETCH(int, size);
    QFETCH(QString, why);
    LutTransform inverse;
    LutInvert::Report report;
    QString reason;
    QVERIFY(!LutInvert::invert(lut, size, inverse, report, &reason));
    QVERIFY2(reason.startsWith(why), qPrintable(reason));
}

QTEST_GUILESS_MAIN(TestInvert)
#include "tst_invert.moc"
