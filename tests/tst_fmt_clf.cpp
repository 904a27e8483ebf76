// The Common LUT Format: every process node and style against values worked out here from
// the format's formulas, the sample corpus, hostile documents, and the writer's round trip.

#include <QBuffer>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <functional>
#include <limits>

#include "formats/clf.h"
#include "formats/faithful.h"
#include "formats/registry.h"
#include "testutil.h"

using Triple = QVector<double>;
Q_DECLARE_METATYPE(Triple)

namespace {

QByteArray document(const QByteArray &nodes)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ProcessList id=\"t\" compCLFversion=\"3.0\">\n" + nodes
           + "\n</ProcessList>\n";
}

bool parseText(const QByteArray &text, Clf::Document &doc, QString *why)
{
    QBuffer buffer;
    buffer.setData(text);
    buffer.open(QIODevice::ReadOnly);
    return Clf::parse(buffer, false, doc, why);
}

bool near(double got, double want)
{
    return std::fabs(got - want) <= 2e-6 * std::max(1.0, std::fabs(want)) || (std::isnan(got) && std::isnan(want));
}

// One row per node: the inputs and what each channel must give.
void row(const char *name, const QByteArray &node, Triple in, Triple want)
{
    QTest::newRow(name) << node << in << want;
}

// A node that applies one curve to each channel, at a negative value, one inside 0 to 1 and
// one above 1.
void curveRow(const char *name, const QByteArray &node, const std::function<double(double)> &f)
{
    const Triple in = {-0.25, 0.4, 1.7};
    row(name, node, in, {f(in[0]), f(in[1]), f(in[2])});
}

double maxOf(double a, double b) { return a > b ? a : b; }
double clamp01(double v) { return std::min(1.0, std::max(0.0, v)); }
double mirrored(double x, const std::function<double(double)> &f) { return x >= 0 ? f(x) : -f(-x); }
const double fltMin = std::numeric_limits<float>::min();

// monCurve with exponent g and offset k, forward and reverse.
double monFwd(double x, double g, double k)
{
    const double s = (g - 1) / k * std::pow(k * g / ((g - 1) * (1 + k)), g);
    return x >= k / (g - 1) ? std::pow((x + k) / (1 + k), g) : x * s;
}

double monRev(double y, double g, double k)
{
    const double yBreak = std::pow(k * g / ((g - 1) * (1 + k)), g);
    const double s = (g - 1) / k * yBreak;
    return y >= yBreak ? (1 + k) * std::pow(y, 1 / g) - k : y / s;
}

struct LogP {
    double base = 10, logSlope = 0.25, logOffset = 0.6, linSlope = 1.1, linOffset = 0.02, linBreak = 0.01;
    double linToLog(double x) const { return logSlope * std::log(maxOf(linSlope * x + linOffset, fltMin)) / std::log(base) + logOffset; }
    double logToLin(double y) const { return (std::pow(base, (y - logOffset) / logSlope) - linOffset) / linSlope; }
    double linearSlope() const { return logSlope * linSlope / ((linSlope * linBreak + linOffset) * std::log(base)); }
    double logBreak() const { return linToLog(linBreak); }
    double linearOffset() const { return logBreak() - linearSlope() * linBreak; }
};
const QByteArray logParams = "<LogParams base=\"10\" logSideSlope=\"0.25\" logSideOffset=\"0.6\" linSideSlope=\"1.1\" "
                             "linSideOffset=\"0.02\" linSideBreak=\"0.01\"/>";

QByteArray node(const char *element, const char *attrs, const QByteArray &inner)
{
    return QByteArray("<") + element + " inBitDepth=\"32f\" outBitDepth=\"32f\" " + attrs + ">" + inner + "</" + element + ">";
}

// ASC CDL with slope (1.2, 0.9, 1), offset (-0.05, 0.1, 0), power (1.3, 0.8, 1), saturation 0.7.
const double cdlSlope[3] = {1.2, 0.9, 1.0}, cdlOffset[3] = {-0.05, 0.1, 0.0}, cdlPower[3] = {1.3, 0.8, 1.0}, cdlSat = 0.7;
const QByteArray cdlInner = "<SOPNode><Slope>1.2 0.9 1</Slope><Offset>-0.05 0.1 0</Offset><Power>1.3 0.8 1</Power></SOPNode>"
                            "<SatNode><Saturation>0.7</Saturation></SatNode>";

double luma(const double *v) { return 0.2126 * v[0] + 0.7152 * v[1] + 0.0722 * v[2]; }

Triple cdl(Triple in, bool reverse, bool clamps)
{
    double v[3];
    Triple out(3);
    if (!reverse) {
        for (int c = 0; c < 3; ++c) {
            const double sop = in[c] * cdlSlope[c] + cdlOffset[c];
            v[c] = clamps ? std::pow(clamp01(sop), cdlPower[c]) : sop < 0 ? sop : std::pow(sop, cdlPower[c]);
        }
        for (int c = 0; c < 3; ++c) {
            const double o = luma(v) + cdlSat * (v[c] - luma(v));
            out[c] = clamps ? clamp01(o) : o;
        }
        return out;
    }
    for (int c = 0; c < 3; ++c)
        v[c] = clamps ? clamp01(in[c]) : in[c];
    for (int c = 0; c < 3; ++c) {
        const double sat = luma(v) + (v[c] - luma(v)) / cdlSat;
        const double p = clamps ? std::pow(clamp01(sat), 1 / cdlPower[c]) : sat < 0 ? sat : std::pow(sat, 1 / cdlPower[c]);
        out[c] = clamps ? clamp01((p - cdlOffset[c]) / cdlSlope[c]) : (p - cdlOffset[c]) / cdlSlope[c];
    }
    return out;
}

// A 2-point lattice, 12-bit output: red r*g*b, green r, blue g/2 + b/4. Trilinear interpolation
// gives these functions exactly; tetrahedral gives min(r, g, b) for red and the two linear ones.
QByteArray lattice(const char *interpolation)
{
    QByteArray values;
    for (int r = 0; r < 2; ++r)
        for (int g = 0; g < 2; ++g)
            for (int b = 0; b < 2; ++b)
                values += QByteArray::number(r * g * b * 4095) + ' ' + QByteArray::number(r * 4095) + ' '
                          + QByteArray::number((g * 0.5 + b * 0.25) * 4095) + '\n';
    return QByteArray("<LUT3D inBitDepth=\"32f\" outBitDepth=\"12i\" interpolation=\"") + interpolation
           + "\"><Array dim=\"2 2 2 3\">" + values + "</Array></LUT3D>";
}

// A halfDomain table whose entry for each half h is 2h (0 for the patterns of NaN and infinity).
QByteArray halfDomainTable()
{
    QByteArray values;
    values.reserve(65536 * 12);
    for (int k = 0; k < 65536; ++k) {
        const float h = Clf::halfToFloat(quint16(k));
        values += std::isfinite(h) ? TestUtil::exactText(2 * h) : QByteArray("0");
        values += '\n';
    }
    return "<LUT1D inBitDepth=\"16f\" outBitDepth=\"16f\" halfDomain=\"true\"><Array dim=\"65536 1\">" + values + "</Array></LUT1D>";
}

}

class TestFmtClf : public QObject
{
    Q_OBJECT
private slots:
    void nodes_data();
    void nodes();
    void corpus_data();
    void corpus();
    void headerOnly_data();
    void headerOnly();
    void hostile_data();
    void hostile();
    void roundTrip_data();
    void roundTrip();
    void writtenDomain();
    void faithfulRoundTrip_data();
    void faithfulRoundTrip();
    void smpteDocument();
};

void TestFmtClf::nodes_data()
{
    QTest::addColumn<QByteArray>("node");
    QTest::addColumn<Triple>("in");
    QTest::addColumn<Triple>("want");

    const double m[3][4] = {{1.2, -0.1, 0.05, 0.3}, {0.2, 0.9, -0.3, -0.05}, {0.0, 0.4, 1.1, 0.01}};
    const Triple x = {0.5, -0.25, 1.5};
    Triple want3(3), want4(3), want10(3);
    for (int r = 0; r < 3; ++r) {
        want3[r] = m[r][0] * x[0] + m[r][1] * x[1] + m[r][2] * x[2];
        want4[r] = want3[r] + m[r][3];
        // 10i in, 12i out: the coefficients act on 10-bit values and give 12-bit ones.
        want10[r] = (m[r][0] * x[0] * 1023 + m[r][1] * x[1] * 1023 + m[r][2] * x[2] * 1023 + m[r][3]) / 4095;
    }
    const QByteArray rows3 = "1.2 -0.1 0.05 0.2 0.9 -0.3 0 0.4 1.1";
    const QByteArray rows4 = "1.2 -0.1 0.05 0.3 0.2 0.9 -0.3 -0.05 0 0.4 1.1 0.01";
    row("Matrix 3x3", node("Matrix", "", "<Array dim=\"3 3\">" + rows3 + "</Array>"), x, want3);
    row("Matrix 3x3 with the CLF 2 third dim", node("Matrix", "", "<Array dim=\"3 3 3\">" + rows3 + "</Array>"), x, want3);
    row("Matrix 3x4", node("Matrix", "", "<Array dim=\"3 4\">" + rows4 + "</Array>"), x, want4);
    row("Matrix 3x4 10i to 12i", "<Matrix inBitDepth=\"10i\" outBitDepth=\"12i\"><Array dim=\"3 4\">" + rows4 + "</Array></Matrix>", x, want10);

    const QByteArray ramp = "<LUT1D inBitDepth=\"8i\" outBitDepth=\"12i\"><Array dim=\"3 1\">0 2048 4095</Array></LUT1D>";
    row("LUT1D interpolates and holds its ends", ramp, {0.25, -0.5, 1.5}, {1024 / 4095.0, 0, 1});
    row("LUT1D 3x1D", node("LUT1D", "interpolation=\"linear\"", "<Array dim=\"2 3\">0 1 0.5  1 -1 0.75</Array>"), {0.25, 0.5, 2},
        {0.25, 0, 0.75});
    row("LUT1D rawHalfs", "<LUT1D inBitDepth=\"32f\" outBitDepth=\"16f\" rawHalfs=\"true\"><Array dim=\"2 1\">15360 16384</Array></LUT1D>",
        {0.5, 0.25, 2}, {1.5, 1.25, 2});
    row("LUT1D halfDomain", halfDomainTable(), {0.1, -3, 70000}, {0.2, -6, 131008});

    row("LUT3D trilinear", lattice("trilinear"), {0.5, 0.25, 0.75}, {0.09375, 0.5, 0.3125});
    row("LUT3D tetrahedral", lattice("tetrahedral"), {0.5, 0.25, 0.75}, {0.25, 0.5, 0.3125});
    row("LUT3D tetrahedral, blue and red fractions tied", lattice("tetrahedral"), {0.5, 0.25, 0.5}, {0.25, 0.5, 0.25});
    row("LUT3D tetrahedral outside the cube", lattice("tetrahedral"), {1.5, -1, 0.5}, {0, 1, 0.125});

    const QByteArray legal = "<minInValue>0</minInValue><maxInValue>1023</maxInValue><minOutValue>64</minOutValue><maxOutValue>940</maxOutValue>";
    const auto legalRange = [](double v, bool clamps) {
        const double out = v * 1023 * (876.0 / 1023) + 64;
        return (clamps ? std::min(940.0, std::max(64.0, out)) : out) / 1023;
    };
    row("Range clamps by default", "<Range inBitDepth=\"10i\" outBitDepth=\"10i\">" + legal + "</Range>", {0.5, -0.1, 1.2},
        {legalRange(0.5, true), legalRange(-0.1, true), legalRange(1.2, true)});
    row("Range noClamp", "<Range inBitDepth=\"10i\" outBitDepth=\"10i\" style=\"noClamp\">" + legal + "</Range>", {0.5, -0.1, 1.2},
        {legalRange(0.5, false), legalRange(-0.1, false), legalRange(1.2, false)});
    row("Range minimum only", "<Range inBitDepth=\"32f\" outBitDepth=\"10i\"><minInValue>0.1</minInValue><minOutValue>102.3</minOutValue></Range>",
        {-0.5, 0.5, 1.5}, {0.1, 0.5, 1.5});
    row("Range maximum only", "<Range inBitDepth=\"12i\" outBitDepth=\"32f\"><maxInValue>2047.5</maxInValue><maxOutValue>0.5</maxOutValue></Range>",
        {-0.5, 0.25, 1.5}, {-0.5, 0.25, 0.5});
    row("Range with bounds far from the values", node("Range", "", "<minInValue>-65504</minInValue><maxInValue>65504</maxInValue>"
                                                                   "<minOutValue>-65504</minOutValue><maxOutValue>65504</maxOutValue>"),
        {0.7129494, -0.25, 1.7}, {0.7129494, -0.25, 1.7});

    const Triple cdlIn = {-0.25, 0.4, 1.7};
    row("ASC_CDL Fwd", node("ASC_CDL", "style=\"Fwd\"", cdlInner), cdlIn, cdl(cdlIn, false, true));
    row("ASC_CDL without style", node("ASC_CDL", "", cdlInner), cdlIn, cdl(cdlIn, false, true));
    row("ASC_CDL Rev", node("ASC_CDL", "style=\"Rev\"", cdlInner), {0.2, 0.4, 0.9}, cdl({0.2, 0.4, 0.9}, true, true));
    row("ASC_CDL FwdNoClamp", node("ASC_CDL", "style=\"FwdNoClamp\"", cdlInner), cdlIn, cdl(cdlIn, false, false));
    row("ASC_CDL RevNoClamp", node("ASC_CDL", "style=\"RevNoClamp\"", cdlInner), cdlIn, cdl(cdlIn, true, false));

    const LogP p;
    curveRow("Log log10", node("Log", "style=\"log10\"", ""), [](double v) { return std::log10(maxOf(v, fltMin)); });
    curveRow("Log antiLog10", node("Log", "style=\"antiLog10\"", ""), [](double v) { return std::pow(10, v); });
    curveRow("Log log2", node("Log", "style=\"log2\"", ""), [](double v) { return std::log2(maxOf(v, fltMin)); });
    curveRow("Log antiLog2", node("Log", "style=\"antiLog2\"", ""), [](double v) { return std::exp2(v); });
    curveRow("Log linToLog", node("Log", "style=\"linToLog\"", logParams), [p](double v) { return p.linToLog(v); });
    curveRow("Log logToLin", node("Log", "style=\"logToLin\"", logParams), [p](double v) { return p.logToLin(v); });
    curveRow("Log cameraLinToLog", node("Log", "style=\"cameraLinToLog\"", logParams),
             [p](double v) { return v <= p.linBreak ? p.linearSlope() * v + p.linearOffset() : p.linToLog(v); });
    curveRow("Log cameraLogToLin", node("Log", "style=\"cameraLogToLin\"", logParams),
             [p](double v) { return v <= p.logBreak() ? (v - p.linearOffset()) / p.linearSlope() : p.logToLin(v); });
    row("Log parameters for one channel, defaults for the others",
        node("Log", "style=\"linToLog\"", "<LogParams channel=\"R\" base=\"10\" logSideSlope=\"0.25\" logSideOffset=\"0.6\" "
                                          "linSideSlope=\"1.1\" linSideOffset=\"0.02\"/>"),
        {0.4, 0.4, 0.4}, {p.linToLog(0.4), std::log2(0.4), std::log2(0.4)});

    const double g = 2.2, gm = 2.4, k = 0.055;
    const QByteArray basic = "<ExponentParams exponent=\"2.2\"/>", mon = "<ExponentParams exponent=\"2.4\" offset=\"0.055\"/>";
    curveRow("Exponent basicFwd", node("Exponent", "style=\"basicFwd\"", basic), [g](double v) { return std::pow(maxOf(0, v), g); });
    curveRow("Exponent basicRev", node("Exponent", "style=\"basicRev\"", basic), [g](double v) { return std::pow(maxOf(0, v), 1 / g); });
    curveRow("Exponent basicMirrorFwd", node("Exponent", "style=\"basicMirrorFwd\"", basic),
             [g](double v) { return mirrored(v, [g](double a) { return std::pow(a, g); }); });
    curveRow("Exponent basicMirrorRev", node("Exponent", "style=\"basicMirrorRev\"", basic),
             [g](double v) { return mirrored(v, [g](double a) { return std::pow(a, 1 / g); }); });
    curveRow("Exponent basicPassThruFwd", node("Exponent", "style=\"basicPassThruFwd\"", basic), [g](double v) { return v < 0 ? v : std::pow(v, g); });
    curveRow("Exponent basicPassThruRev", node("Exponent", "style=\"basicPassThruRev\"", basic), [g](double v) { return v < 0 ? v : std::pow(v, 1 / g); });
    curveRow("Exponent monCurveFwd", node("Exponent", "style=\"monCurveFwd\"", mon), [=](double v) { return monFwd(v, gm, k); });
    curveRow("Exponent monCurveRev", node("Exponent", "style=\"monCurveRev\"", mon), [=](double v) { return monRev(v, gm, k); });
    curveRow("Exponent monCurveMirrorFwd", node("Exponent", "style=\"monCurveMirrorFwd\"", mon),
             [=](double v) { return mirrored(v, [=](double a) { return monFwd(a, gm, k); }); });
    curveRow("Exponent monCurveMirrorRev", node("Exponent", "style=\"monCurveMirrorRev\"", mon),
             [=](double v) { return mirrored(v, [=](double a) { return monRev(a, gm, k); }); });
    row("Exponent monCurve with exponent 1 and offset 0 is the identity",
        node("Exponent", "style=\"monCurveFwd\"", "<ExponentParams exponent=\"1\" offset=\"0\"/>"), {-0.25, 0.4, 1.7}, {-0.25, 0.4, 1.7});
    row("Exponent on one channel leaves the others", node("Exponent", "style=\"basicFwd\"", "<ExponentParams channel=\"G\" exponent=\"2\"/>"),
        {0.5, 0.5, 0.5}, {0.5, 0.25, 0.5});
}

void TestFmtClf::nodes()
{
    QFETCH(QByteArray, node);
    QFETCH(Triple, in);
    QFETCH(Triple, want);
    Clf::Document doc;
    QString why;
    QVERIFY2(parseText(document(node), doc, &why), qPrintable(why));
    QCOMPARE(doc.chain.size(), 1);
    float rgb[3] = {float(in[0]), float(in[1]), float(in[2])};
    doc.chain.apply(rgb);
    for (int c = 0; c < 3; ++c)
        QVERIFY2(near(rgb[c], want[c]), qPrintable(QStringLiteral("channel %1: %2, expected %3").arg(c).arg(double(rgb[c]), 0, 'g', 9).arg(want[c], 0, 'g', 9)));
}

void TestFmtClf::corpus_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("size3D");
    QTest::addColumn<int>("size1D");
    QTest::addColumn<QString>("metadata");   // entries that must be there, "key=text;..."
    const struct {
        const char *file;
        int size3D, size1D;
        const char *metadata;
    } files[] = {
        {"cdl_clamp_fwd.clf", 17, 0, "Description=Example of ASC CDL operation;InputDescriptor=inputDesc;OutputDescriptor=outputDesc;baked=1 process node evaluated on a 17-point lattice"},
        {"difficult_syntax.clf", 17, 0, "Description=yet 'another' \"valid\" desc;Info/Stuff=This is a \"difficult\" but 'legal' color transform file."},
        {"exponent_all_styles.clf", 17, 0, "baked=12 process nodes evaluated on a 17-point lattice"},
        {"log_all_styles.clf", 17, 0, "Description=Test all Logarithmic style values"},
        {"lut1d_example.clf", 0, 65, "name=transform example lut1d"},
        {"lut1d_half_domain_raw_half_set.clf", 17, 0, "Info/Copyright=None"},
        {"lut3d_17x17x17_10i_12i.clf", 17, 0, "Description=Basic 3d-LUT example."},
        {"lut3d_identity_12i_16f.clf", 2, 0, "id=exlut2"},
        {"matrix_3x4_example.clf", 17, 0, "Description=Used by unit tests"},
        {"matrix_windows.clf", 17, 0, "Description=This file has Windows line-endings."},
        {"multiple_ops.clf", 17, 0, "baked=9 process nodes evaluated on a 17-point lattice"},
        {"range.clf", 17, 0, "InputDescriptor=RGB"},
        {"tabulation_support.clf", 3, 0, ""},
    };
    for (const auto &f : files)
        QTest::newRow(f.file) << TestUtil::clfCorpusFile(f.file) << f.size3D << f.size1D << QString::fromUtf8(f.metadata);
}

// Every file reads; what lands in the model equals the chain evaluated directly at each of
// the model's nodes (a baked chain at 17 points; a single table as it is).
void TestFmtClf::corpus()
{
    QFETCH(QString, file);
    QFETCH(int, size3D);
    QFETCH(int, size1D);
    QFETCH(QString, metadata);
    Read_LUTFile lut;
    Formats::Options options;
    options.bakeSize = 17;
    QVERIFY2(Read_Clf(lut, file, false, options), qPrintable(lut.errorString));
    QCOMPARE(lut.lut3DSize, size3D);
    QCOMPARE(lut.lut1DSize, size1D);
    for (const QString &entry : metadata.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QPair<QString, QString> pair(entry.section(QLatin1Char('='), 0, 0), entry.section(QLatin1Char('='), 1));
        QVERIFY2(lut.metadata.contains(pair), qPrintable(entry));
    }

    Clf::Document doc;
    QString why;
    QVERIFY2(Clf::parseFile(file, false, doc, &why), qPrintable(why));
    const int n = size3D ? size3D : size1D;
    for (int r = 0; r < n; ++r)
        for (int g = 0; g < (size3D ? n : 1); ++g)
            for (int b = 0; b < (size3D ? n : 1); ++b) {
                const float x = float(r) / float(n - 1);
                float rgb[3] = {x, size3D ? float(g) / float(n - 1) : x, size3D ? float(b) / float(n - 1) : x};
                doc.chain.apply(rgb);
                const float *got = size3D ? lut.lut3D[r][g][b] : lut.lut1D[r];
                for (int c = 0; c < 3; ++c)
                    QVERIFY2(near(got[c], rgb[c]), qPrintable(QStringLiteral("node (%1, %2, %3) channel %4: %5, the chain gives %6")
                                                                  .arg(r).arg(g).arg(b).arg(c).arg(double(got[c])).arg(double(rgb[c]))));
            }
}

void TestFmtClf::headerOnly_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("bakeSize");
    QTest::addColumn<int>("size3D");
    QTest::addColumn<int>("size1D");
    QTest::newRow("one LUT3D") << TestUtil::clfCorpusFile("lut3d_17x17x17_10i_12i.clf") << 0 << 17 << 0;
    QTest::newRow("one LUT1D") << TestUtil::clfCorpusFile("lut1d_example.clf") << 0 << 0 << 65;
    QTest::newRow("chain, default lattice") << TestUtil::clfCorpusFile("log_all_styles.clf") << 0 << 33 << 0;
    QTest::newRow("chain with a small LUT3D keeps the default") << TestUtil::clfCorpusFile("multiple_ops.clf") << 0 << 33 << 0;
    QTest::newRow("chain, lattice asked for") << TestUtil::clfCorpusFile("multiple_ops.clf") << 9 << 9 << 0;
}

void TestFmtClf::headerOnly()
{
    QFETCH(QString, file);
    QFETCH(int, bakeSize);
    QFETCH(int, size3D);
    QFETCH(int, size1D);
    Read_LUTFile lut;
    Formats::Options options;
    options.bakeSize = bakeSize;
    QVERIFY2(Read_Clf(lut, file, true, options), qPrintable(lut.errorString));
    QCOMPARE(lut.lut3DSize, size3D);
    QCOMPARE(lut.lut1DSize, size1D);
    QVERIFY(!lut.lut3D && !lut.lut1D);
    QVERIFY(!lut.metadata.isEmpty());
}

void TestFmtClf::hostile_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("reason");
    const QByteArray lut3d = "<LUT3D inBitDepth=\"32f\" outBitDepth=\"32f\">\n<Array dim=\"%1\">\n0 0 0 1 1 1\n</Array></LUT3D>";
    QTest::newRow("LUT3D of 257 points") << document(QByteArray(lut3d).replace("%1", "257 257 257 3"))
                                         << "line 4: LUT3D size 257 is outside 1 to 256";
    QTest::newRow("LUT1D of 10^9 entries")
        << document("<LUT1D inBitDepth=\"32f\" outBitDepth=\"32f\">\n<Array dim=\"1000000000 1\">0 1</Array></LUT1D>")
        << "line 4: LUT1D length 1000000000 is outside 1 to 1048576";
    QTest::newRow("Array with fewer numbers than its dim") << document(QByteArray(lut3d).replace("%1", "2 2 2 3"))
                                                           << "line 4: LUT3D Array holds 6 numbers, not 24";
    QTest::newRow("Array with more numbers than its dim") << document(QByteArray(lut3d).replace("%1", "1 1 1 3"))
                                                          << "line 5: LUT3D Array holds more than 3 numbers";
    QTest::newRow("dim beyond what the file holds")
        << document("<LUT1D inBitDepth=\"32f\" outBitDepth=\"32f\">\n<Array dim=\"1000000 3\">0 1</Array></LUT1D>")
        << "line 4: LUT1D Array dim asks for 3000000 numbers, more than a file of 182 bytes holds";
    QTest::newRow("10^6 nodes") << document(TestUtil::repeatLine(1000000, "<Log inBitDepth=\"32f\" outBitDepth=\"32f\" style=\"log2\"/>\n"))
                                << "line 1003: more than 1000 process nodes";
    QTest::newRow("deep nesting") << document("<Info>" + TestUtil::repeatLine(100000, "<a>") + "</Info>")
                                  << "line 3: elements nested deeper than 64";
    QTest::newRow("huge attribute") << document("<Matrix name=\"" + QByteArray(4 << 20, 'x') + "\"/>")
                                    << "line 3: a tag longer than 65536 bytes (no LUT has attributes that long)";
    QTest::newRow("text after the root") << document("<Log inBitDepth=\"32f\" outBitDepth=\"32f\" style=\"log2\"/>") + "trailing"
                                         << "line 5, column 1: Extra content at end of document.";
    QTest::newRow("truncated") << document("<Log inBitDepth=\"32f\" outBitDepth=\"32f\" style=\"log2\"/>").left(90)
                               << "line 3, column 9: Premature end of document.";
    QTest::newRow("entity expansion")
        << QByteArray("<?xml version=\"1.0\"?>\n<!DOCTYPE lolz [<!ENTITY lol \"lol\"><!ENTITY lol2 \"&lol;&lol;&lol;&lol;\">]>\n"
                      "<ProcessList id=\"x\"><Description>&lol2;</Description></ProcessList>\n")
        << "line 2: a document type declaration is not accepted (it could expand entities)";
    QTest::newRow("unknown node") << document("<InvLut1D inBitDepth=\"32f\" outBitDepth=\"32f\"/>") << "line 3: unknown process node <InvLut1D>";
    QTest::newRow("unknown style") << document("<Log inBitDepth=\"32f\" outBitDepth=\"32f\" style=\"log3\"/>")
                                   << "line 3: Log style \"log3\" is not known";
    QTest::newRow("unknown child") << document("<Exponent inBitDepth=\"32f\" outBitDepth=\"32f\" style=\"basicFwd\">\n<Gamma/></Exponent>")
                                   << "line 4: Exponent holds an unknown element <Gamma>";
    QTest::newRow("IndexMap") << document("<LUT1D inBitDepth=\"32f\" outBitDepth=\"32f\"><IndexMap dim=\"2\">0@0 1@1</IndexMap></LUT1D>")
                              << "line 3: LUT1D holds an IndexMap (CLF 2), which this reader does not apply";
    QTest::newRow("not a number") << document("<Matrix inBitDepth=\"32f\" outBitDepth=\"32f\"><Array dim=\"3 3\">\n1 0 0\n0 1x 0\n0 0 1</Array></Matrix>")
                                  << "line 5: Matrix Array holds \"1x\", which is not a number";
    QTest::newRow("no bit depth") << document("<Log outBitDepth=\"32f\" style=\"log2\"/>") << "line 3: Log has no inBitDepth";
    QTest::newRow("empty chain") << document("<Description>nothing</Description>") << "line 2: the ProcessList holds no process node";
    QTest::newRow("other root") << QByteArray("<?xml version=\"1.0\"?>\n<look/>\n") << "line 2: the root element is <look>, not <ProcessList>";
    QTest::newRow("newer version") << QByteArray("<ProcessList id=\"x\" compCLFversion=\"4.0\"/>")
                                   << "line 1: compCLFversion \"4.0\" is not a version this reader knows (up to 3, or ST2136-1)";
    QTest::newRow("Range without a scale")
        << document("<Range inBitDepth=\"32f\" outBitDepth=\"32f\"><minInValue>1</minInValue><maxInValue>1</maxInValue>"
                    "<minOutValue>0</minOutValue><maxOutValue>1</maxOutValue></Range>")
        << "line 3: Range maxInValue equals minInValue";
    QTest::newRow("Range noClamp at one end")
        << document("<Range inBitDepth=\"32f\" outBitDepth=\"32f\" style=\"noClamp\"><minInValue>0</minInValue><minOutValue>0</minOutValue></Range>")
        << "line 3: Range style noClamp needs all four values";
    QTest::newRow("monCurve below exponent 1")
        << document("<Exponent inBitDepth=\"32f\" outBitDepth=\"32f\" style=\"monCurveRev\"><ExponentParams exponent=\"0.5\" offset=\"0.1\"/></Exponent>")
        << "line 3: Exponent monCurve needs an exponent of 1 or more and an offset of 0 or more, not 0.5 and 0.1";
    QTest::newRow("camera log without its break")
        << document("<Log inBitDepth=\"32f\" outBitDepth=\"32f\" style=\"cameraLinToLog\"><LogParams base=\"10\"/></Log>")
        << "line 3: Log style cameraLinToLog needs linSideBreak";
    QTest::newRow("ASC_CDL Rev with saturation 0")
        << document("<ASC_CDL inBitDepth=\"32f\" outBitDepth=\"32f\" style=\"Rev\"><SatNode><Saturation>0</Saturation></SatNode></ASC_CDL>")
        << "line 3: ASC_CDL style Rev cannot invert a Saturation of 0";
}

// Each is refused with its reason before any table is allocated.
void TestFmtClf::hostile()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    const QString path = TestUtil::writeTemp(dir, QStringLiteral("hostile.clf"), text);
    Read_LUTFile lut;
    QVERIFY(!Read_Clf(lut, path, false, Formats::Options()));
    QCOMPARE(lut.errorString, reason);
    QVERIFY(!lut.lut3D && !lut.lut1D);
}

void TestFmtClf::roundTrip_data()
{
    QTest::addColumn<bool>("lattice");
    QTest::newRow("LUT3D") << true;
    QTest::newRow("LUT1D") << false;
}

// Floats of every magnitude and sign, NaN and infinities aside, come back bit for bit.
void TestFmtClf::roundTrip()
{
    QFETCH(bool, lattice);
    Read_LUTFile original;
    if (lattice)
        original.setSize3D(9, false);
    else
        original.setSize1D(300, false);
    float *v = lattice ? original.lut3D.data() : original.lut1D.data();
    const std::size_t count = lattice ? original.lut3D.floatCount() : 900;
    std::mt19937 rng(7);
    for (std::size_t i = 0; i < count; ++i) {
        quint32 bits = rng();
        if (((bits >> 23) & 0xff) == 0xff)
            bits ^= 0x40000000;   // no NaN or infinity
        std::memcpy(&v[i], &bits, sizeof bits);
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("out.clf"));
    Write_LUTFile writer;
    Formats::Options options;
    options.sourceName = QStringLiteral("/somewhere/look <1>.cube");
    QVERIFY2(Write_Clf(writer, path, original, options), qPrintable(writer.errorString));
    const QByteArray text = TestUtil::readFile(path);
    QVERIFY(text.contains("<Description>Converted from look &lt;1&gt;.cube</Description>"));
    QVERIFY(text.contains(lattice ? "interpolation=\"tetrahedral\"" : "<Array dim=\"300 3\">"));

    Read_LUTFile back;
    QVERIFY2(Read_Clf(back, path, false, Formats::Options()), qPrintable(back.errorString));
    if (lattice)
        QVERIFY(TestUtil::sameLattice(back, original));
    else
        QVERIFY(back.lut1DSize == 300 && std::memcmp(back.lut1D.data(), v, count * sizeof(float)) == 0);
}

// A table over another input domain is written behind the Matrix that maps the domain onto
// 0 to 1, and read back as that table over that domain.
void TestFmtClf::writtenDomain()
{
    Read_LUTFile lut;
    TestUtil::fillSteps(lut);
    lut.domainMin3D[0] = -0.5f;
    lut.domainMax3D[0] = 1.5f;
    lut.domainMax3D[2] = 4.0f;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("domain.clf"));
    Write_LUTFile writer;
    QVERIFY2(Write_Clf(writer, path, lut, Formats::Options()), qPrintable(writer.errorString));
    Clf::Document doc;
    QString why;
    QVERIFY2(Clf::parseFile(path, false, doc, &why), qPrintable(why));
    QCOMPARE(doc.chain.size(), 2);
    float rgb[3] = {1.5f, 0.25f, 2.0f};
    doc.chain.apply(rgb);   // the node (1, 0.25, 0.5) of the lattice: (r, g / 2, b / 4) interpolated
    TestUtil::expectTriple(rgb, 1.0f, 0.125f, 0.125f, QStringLiteral("the chain at the domain's point"));

    Read_LUTFile back;
    QVERIFY2(Read_Clf(back, path, false, Formats::Options()), qPrintable(back.errorString));
    QVERIFY(TestUtil::sameLattice(back, lut));
    TestUtil::expectTriple(back.domainMin3D, -0.5f, 0.0f, 0.0f, QStringLiteral("domain minimum"));
    TestUtil::expectTriple(back.domainMax3D, 1.5f, 1.0f, 4.0f, QStringLiteral("domain maximum"));
    for (const auto &entry : back.metadata)
        QVERIFY(entry.first != QLatin1String("baked"));
}

void TestFmtClf::faithfulRoundTrip_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("written");   // what the written document must hold
    const struct {
        const char *file, *written;
    } files[] = {
        {"cdl_clamp_fwd.clf", "style=\"Fwd\""},
        {"exponent_all_styles.clf", "<ExponentParams channel=\"G\" exponent=\"2.4\" offset=\"0.01\"/>"},
        {"log_all_styles.clf", "style=\"cameraLogToLin\""},
        {"lut1d_example.clf", "<LUT1D id=\"n1\" inBitDepth=\"32f\" outBitDepth=\"32f\">"},
        {"lut1d_half_domain_raw_half_set.clf", "inBitDepth=\"16f\" outBitDepth=\"16f\" halfDomain=\"true\" rawHalfs=\"true\""},
        {"lut3d_17x17x17_10i_12i.clf", "interpolation=\"trilinear\""},
        {"matrix_3x4_example.clf", "<Matrix id=\"n1\" inBitDepth=\"10i\" outBitDepth=\"12i\">"},
        // A table before a Range of 12-bit input gives its entries on that scale.
        {"multiple_ops.clf", "<LUT1D id=\"n2\" inBitDepth=\"32f\" outBitDepth=\"12i\">"},
        {"range.clf", "<Range id=\"n1\""},
        {"difficult_syntax.clf", "</ProcessList>"},
    };
    for (const auto &f : files)
        QTest::newRow(f.file) << TestUtil::clfCorpusFile(f.file) << QString::fromUtf8(f.written);
}

// Every file read faithfully is written with a node per step, each node's input depth the
// output depth of the one before, and reads back as the very same transform, bit for bit.
void TestFmtClf::faithfulRoundTrip()
{
    QFETCH(QString, file);
    QFETCH(QString, written);
    const Formats::Format &clf = *Formats::byName(QStringLiteral("clf"));
    LutTransform source, back;
    QString why;
    QVERIFY2(Formats::readTransform(clf, TestUtil::side(-1, file), Formats::Options(), source, &why), qPrintable(why));
    QVERIFY(clf.faithful->holds(source, Formats::Options()));
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("out.clf"));
    Write_LUTFile writer;
    QVERIFY2(clf.faithful->write(writer, out, source, Formats::Options()), qPrintable(writer.errorString));
    const QString text = QString::fromUtf8(TestUtil::readFile(out));
    QVERIFY2(text.contains(written), qPrintable(text.left(3000)));
    QString previous;
    const QRegularExpression depths(QStringLiteral("inBitDepth=\"(\\w+)\" outBitDepth=\"(\\w+)\""));
    for (auto it = depths.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        QVERIFY2(previous.isEmpty() || m.captured(1) == previous, qPrintable(m.captured(0) + QLatin1String(" after ") + previous));
        previous = m.captured(2);
    }
    QVERIFY2(Formats::readTransform(clf, TestUtil::side(-1, out), Formats::Options(), back, &why), qPrintable(why));
    QCOMPARE(back.steps().size(), source.steps().size());
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> d(-0.5f, 1.5f);
    for (int k = 0; k < 2000; ++k) {
        float a[3] = {d(rng), d(rng), d(rng)};
        float b[3] = {a[0], a[1], a[2]};
        source.apply(a);
        back.apply(b);
        QVERIFY2(std::memcmp(a, b, sizeof a) == 0 || (std::isnan(a[0]) && std::isnan(b[0])),
                 qPrintable(QStringLiteral("point %1: %2 %3 %4, not %5 %6 %7").arg(k).arg(double(b[0])).arg(double(b[1])).arg(double(b[2]))
                                .arg(double(a[0])).arg(double(a[1])).arg(double(a[2]))));
    }
}

// SMPTE ST 2136-1: its namespace, its version name and the Id element.
void TestFmtClf::smpteDocument()
{
    const QByteArray text =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<ProcessList xmlns=\"http://www.smpte-ra.org/ns/2136-1/2024\" compCLFversion=\"ST2136-1:2024\">\n"
        "\t<Id>urn:uuid:be08cf40-f83c-49b7-8233-183a85a32733</Id>\n"
        "\t<Description>ACES2065-1 to ACEScg</Description>\n"
        "\t<InputDescriptor>ACES2065-1</InputDescriptor>\n"
        "\t<OutputDescriptor>ACEScg</OutputDescriptor>\n"
        "\t<Info><ACESuserName>ACES2065-1 to ACEScg</ACESuserName></Info>\n"
        "\t<Matrix inBitDepth=\"16f\" outBitDepth=\"16f\"><Array dim=\"3 3\">2 0 0 0 1 0 0 0 1</Array></Matrix>\n"
        "</ProcessList>\n";
    Clf::Document doc;
    QString why;
    QVERIFY2(parseText(text, doc, &why), qPrintable(why));
    QVERIFY(doc.metadata.contains({QStringLiteral("Id"), QStringLiteral("urn:uuid:be08cf40-f83c-49b7-8233-183a85a32733")}));
    QVERIFY(doc.metadata.contains({QStringLiteral("Info/ACESuserName"), QStringLiteral("ACES2065-1 to ACEScg")}));
    float rgb[3] = {0.25f, 0.5f, 0.75f};
    doc.chain.apply(rgb);
    TestUtil::expectTriple(rgb, 0.5f, 0.5f, 0.75f, QStringLiteral("the matrix"));
}

QTEST_GUILESS_MAIN(TestFmtClf)
#include "tst_fmt_clf.moc"
