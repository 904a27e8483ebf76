// What each format's faithful reading makes of real files and of the variants that test its
// rules: outputs worked out by hand from the files' own numbers and their formats' definitions.
// Then the exact .csp writer's round trips.

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <cstring>

#include "calc/transform.h"
#include "formats/faithful.h"
#include "formats/writers.h"
#include "testutil.h"

using Rgb = std::array<float, 3>;
Q_DECLARE_METATYPE(Rgb)

namespace {

QString corpus(const char *name)
{
    return QStringLiteral(LUTWRIGHT_CORPUS "/") + QLatin1String(name);
}

bool readAs(const QString &format, const QString &path, LutTransform &t, QString *why)
{
    const Formats::Format *f = Formats::byName(format);
    return f && Formats::readTransform(*f, TestUtil::side(int(f->id), path), Formats::Options(), t, why);
}

// The lines of a lattice of n points per axis, red fastest or blue fastest, from f(r, g, b) of
// the node's indices.
template <typename F>
QByteArray latticeLines(int n, bool redFastest, F f)
{
    QByteArray text;
    for (int outer = 0; outer < n; ++outer)
        for (int middle = 0; middle < n; ++middle)
            for (int inner = 0; inner < n; ++inner) {
                const int r = redFastest ? inner : outer, b = redFastest ? outer : inner;
                text += f(r, middle, b) + '\n';
            }
    return text;
}

QByteArray triple(double r, double g, double b)
{
    return QByteArray::number(r) + ' ' + QByteArray::number(g) + ' ' + QByteArray::number(b);
}

// A float as .look writes it: eight hexadecimal digits, least significant byte first.
QByteArray lookHex(float v)
{
    quint32 bits;
    std::memcpy(&bits, &v, 4);
    QByteArray out;
    for (int byte = 0; byte < 4; ++byte)
        out += QByteArray::number((bits >> (8 * byte)) & 0xff, 16).rightJustified(2, '0');
    return out;
}

QByteArray discreetBody(std::initializer_list<double> values)
{
    QByteArray text;
    for (double v : values)
        text += QByteArray::number(v) + '\n';
    return text;
}

}

class TestFaithfulFormats : public QObject
{
    Q_OBJECT
private slots:
    void readings_data();
    void readings();
    void refusals_data();
    void refusals();
    void sixteenBitTexture();
    void headerless3dlDepth_data();
    void headerless3dlDepth();
    void cspRoundTrip_data();
    void cspRoundTrip();
    void cspBentShaperIsBaked();

private:
    void addRuleRows();
    QTemporaryDir dir_;
    QString put(const QString &name, const QByteArray &text) { return TestUtil::writeTemp(dir_, name, text); }
};

void TestFaithfulFormats::readings_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("path");
    QTest::addColumn<Rgb>("in");
    QTest::addColumn<Rgb>("out");

    auto row = [](const char *tag, const char *format, const QString &path, Rgb in, Rgb out) {
        QTest::newRow(tag) << QString::fromLatin1(format) << path << in << out;
    };

    // .csp: the two-point pre-LUTs map 0 to 1 onto the lattice; red runs fastest.
    // lut3d_arbitrary: node (r, g, b) holds (0.1 + r, 0.1 + g, 0.1 + b), clamped beyond.
    row("arbitrary.csp", "csp", corpus("lut3d_arbitrary.csp"), {0.25f, 0.5f, 1}, {0.35f, 0.6f, 1.1f});
    row("arbitrary.csp beyond", "csp", corpus("lut3d_arbitrary.csp"), {2, -1, 0.5f}, {1.1f, 0.1f, 0.6f});
    // The last four nodes (blue index 1) hold the channel the name gives.
    row("red-only.csp", "csp", corpus("lut3d_red-only.csp"), {0.2f, 0.4f, 0.7f}, {0.7f, 0, 0});
    row("grn-only.csp", "csp", corpus("lut3d_grn-only.csp"), {0.2f, 0.4f, 0.7f}, {0, 0.7f, 0});
    row("blu-only.csp", "csp", corpus("lut3d_blu-only.csp"), {0.2f, 0.4f, 0.7f}, {0, 0, 0.7f});

    // .3dl, blue fastest. crosstalk: no Mesh line, largest sample 42060: 16-bit codes.
    row("crosstalk.3dl node 1", "3dl", corpus("crosstalk.3dl"), {0, 0, 0.0625f}, {0, 0, 2374 / 65535.0f});
    row("crosstalk.3dl white", "3dl", corpus("crosstalk.3dl"), {1, 1, 1},
        {25616 / 65535.0f, 35585 / 65535.0f, 42060 / 65535.0f});
    // "Mesh 4 12": 12-bit codes; the file's first sample line is "17 17 17".
    row("discreet-3d-lut.3dl black", "3dl", corpus("discreet-3d-lut.3dl"), {0, 0, 0},
        {17 / 4095.0f, 17 / 4095.0f, 17 / 4095.0f});
    row("discreet-3d-lut.3dl node 1", "3dl", corpus("discreet-3d-lut.3dl"), {0, 0, 0.0625f}, {0, 0, 68 / 4095.0f});
    row("discreet-3d-lut.3dl white", "3dl", corpus("discreet-3d-lut.3dl"), {1, 1, 1},
        {4092 / 4095.0f, 4094 / 4095.0f, 4094 / 4095.0f});
    row("lustre.3dl node 1", "3dl", corpus("lustre_33x33x33.3dl"), {0, 0, 0.03125f}, {0, 30 / 4095.0f, 71 / 4095.0f});
    row("lustre.3dl white", "3dl", corpus("lustre_33x33x33.3dl"), {1, 1, 1},
        {3983 / 4095.0f, 3894 / 4095.0f, 3507 / 4095.0f});

    // .m3d "out 256": codes of 255; node 7 holds 306 255 306, the diagonal runs to it.
    row("pandora.m3d white", "mga", corpus("pandora_3d.m3d"), {1, 1, 1}, {1.2f, 1, 1.2f});
    row("pandora.m3d blue", "mga", corpus("pandora_3d.m3d"), {0, 0, 1}, {0, 0, 0.8f});
    row("pandora.m3d grey", "mga", corpus("pandora_3d.m3d"), {0.5f, 0.5f, 0.5f}, {0.6f, 0.5f, 0.6f});

    // .itx: 0 and 2, red fastest.
    row("iridas.itx", "itx", corpus("iridas_3d.itx"), {0.5f, 0.25f, 1}, {1, 0.5f, 2});

    // Discreet: "LUT: 3 256 256" codes of 255; entry 64 of red is 29.
    row("logtolin_8to8.lut", "discreet", corpus("logtolin_8to8.lut"), {64 / 255.0f, 0, 1}, {29 / 255.0f, 0, 1});
    // 4096 entries, "16fp" out: half-float bit patterns (18036 is 6.453125); green halfway
    // between entries 2047 (15649) and 2048 (15650); blue entry 1000 (14789).
    row("Test_12to16fp.lut", "discreet", corpus("Test_12to16fp.lut"), {1, 2047.5f / 4095, 1000 / 4095.0f},
        {6.453125f, (1.2822265625f + 1.283203125f) / 2, 0.72119140625f});
    // 65536 entries indexed by halves (1.0 is 0x3c00, 0.5 0x3800, 2.0 0x4000), 12-bit out.
    row("Test_16fpto12.lut", "discreet", corpus("Test_16fpto12.lut"), {1, 0.5f, 2},
        {1646 / 4095.0f, 526 / 4095.0f, 2659 / 4095.0f});
    // Halves in and out: -1.0 (0xbc00) maps to 48128, itself -1.0.
    row("photo_default_16fpto16fp.lut", "discreet", corpus("photo_default_16fpto16fp.lut"), {1, -1, 2},
        {0.810546875f, -1, 0.91015625f});
    addRuleRows();
}

void TestFaithfulFormats::readings()
{
    QFETCH(QString, format);
    QFETCH(QString, path);
    QFETCH(Rgb, in);
    QFETCH(Rgb, out);
    LutTransform t;
    QString why;
    QVERIFY2(readAs(format, path, t, &why), qPrintable(why));
    Rgb got = in;
    t.apply(got.data());
    for (int c = 0; c < 3; ++c)
        QVERIFY2(std::fabs(got[c] - out[c]) <= 2e-6f * std::max(1.0f, std::fabs(out[c])),
                 qPrintable(QStringLiteral("channel %1: %2, not %3").arg(c).arg(double(got[c])).arg(double(out[c]))));
}

void TestFaithfulFormats::refusals_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("reason");
    QTest::newRow("truncated Discreet") << "discreet" << corpus("error_truncated_file.lut") << "ends after 79 of 768";
    QTest::newRow("truncated 3dl") << "3dl" << corpus("error_truncated_file.3dl") << "ends after 369 of 4913";
    // A curve needs an output for every input.
    QTest::newRow("csp pre-LUT short of outputs")
        << "csp" << put("short.csp", "CSPLUTV100\n3D\n\n3\n0 0.5 1\n0 1\n2\n0 1\n0 1\n2\n0 1\n0 1\n\n2 2 2\n")
        << "3 input points but 2 output points";
}

void TestFaithfulFormats::refusals()
{
    QFETCH(QString, format);
    QFETCH(QString, path);
    QFETCH(QString, reason);
    LutTransform t;
    QString why;
    QVERIFY(!readAs(format, path, t, &why));
    QVERIFY2(why.contains(reason), qPrintable(why));
}

// Files of each format's rules, written by the test.
void TestFaithfulFormats::addRuleRows()
{
    const QByteArray identity2 = latticeLines(2, true, [](int r, int g, int b) { return triple(r, g, b); });
    // Pre-LUT (0, 0) (0.25, 0.5) (1, 1), no metadata: slopes 3, 1, 1/3 at the points (chords
    // and the end rule), so on [0, 0.25] the curve is 0.75t - 0.25t^2 for t = x / 0.25 and on
    // [0.25, 1] 0.5 + 0.5(1.5t - 0.5t^2): 0.125 gives 0.3125 and 0.5 gives 13/18.
    QByteArray preLut;
    for (int c = 0; c < 3; ++c)
        preLut += "3\n0 0.25 1\n0 0.5 1\n";
    const QByteArray smoothCsp = "CSPLUTV100\n3D\n\n" + preLut + "\n2 2 2\n" + identity2;
    // A 1D file: entries R G B as written.
    const QByteArray csp1D = "CSPLUTV100\n1D\n\nBEGIN METADATA\nEND METADATA\n"
                             "2\n0 1\n0 1\n2\n0 1\n0 1\n2\n0 1\n0 1\n\n2\n0 0.1 0.2\n1 0.9 0.8\n";
    // Mesh points 0 100 200 300 1023 are the inputs of the five nodes; node i holds 250 i,
    // 10-bit codes (largest 1000): input 100/1023 is node 1.
    const QByteArray unevenMesh = "0 100 200 300 1023\n"
        + latticeLines(5, false, [](int r, int g, int b) { return triple(250 * r, 250 * g, 250 * b); });
    const QByteArray mesh2 = "0 1023\n";
    // No Mesh line, largest 5000: 12-bit codes (below 8192), so 5000 reads above 1.
    const QByteArray bright3dl = mesh2 + latticeLines(2, false, [](int r, int g, int b) {
        return triple(5000 * r, 4095 * g, 2000 * b); });
    const QByteArray float3dl = mesh2 + latticeLines(2, false, [](int r, int g, int b) {
        return triple(1.5 * r, 0.5 * g, 0.25 * b); });
    QByteArray lookData;
    for (int b = 0; b < 2; ++b)
        for (int g = 0; g < 2; ++g)
            for (int r = 0; r < 2; ++r)
                lookData += lookHex(2.0f * r) + lookHex(-0.5f * g) + lookHex(float(b));
    const QByteArray look = "<look><LUT><size>\"2\"</size><data>\"" + lookData + "\"</data></LUT></look>\n";

    struct {
        const char *tag;
        const char *format;
        const char *file;
        QByteArray text;
        Rgb in, out;
    } const cases[] = {
        {"csp smooth pre-LUT", "csp", "smooth.csp", smoothCsp, {0.125f, 0.5f, 1}, {0.3125f, 13 / 18.0f, 1}},
        {"csp 1D entries not reversed", "csp", "table.csp", csp1D, {1, 1, 1}, {1, 0.9f, 0.8f}},
        {"3dl uneven mesh", "3dl", "mesh.3dl", unevenMesh, {100 / 1023.0f, 300 / 1023.0f, 1}, {250 / 1023.0f, 750 / 1023.0f, 1000 / 1023.0f}},
        {"3dl headerless depth", "3dl", "bright.3dl", bright3dl, {1, 1, 1}, {5000 / 4095.0f, 1, 2000 / 4095.0f}},
        {"3dl floats", "3dl", "float.3dl", float3dl, {1, 1, 1}, {1.5f, 0.5f, 0.25f}},
        {"Discreet third number", "discreet", "depth.lut", "LUT: 3 2 4096\n" + discreetBody({0, 8190, 0, 4095, 0, 2047.5}),
         {1, 1, 1}, {2, 1, 0.5f}},
        // 15360 and 16384 are the halves 1.0 and 2.0.
        {"Discreet half out by name", "discreet", "grade_8to16fp.lut", "LUT: 3 2\n" + discreetBody({0, 15360, 0, 16384, 0, 0}),
         {1, 1, 1}, {1, 2, 0}},
        {"Discreet floats", "discreet", "floats.lut", "LUT: 3 2\n" + discreetBody({0, 0.5, 0, 1, 0.25, 0.75}),
         {1, 1, 1}, {0.5f, 1, 0.75f}},
        {"Discreet input depth", "discreet", "codes.lut", "LUT: 3 3\n" + discreetBody({0, 1, 2, 0, 0, 4, 2, 2, 2}),
         {1, 1, 0}, {1, 2, 1}},
        {"mga out 1", "mga", "f.mga", "channel 3d\nin 8\nout 1\nvalues red green blue\n"
         + latticeLines(2, false, [](int r, int g, int b) { return "0 " + triple(1.5 * r, g, -0.25 * b); }),
         {1, 1, 1}, {1.5f, 1, -0.25f}},
        {"look unscaled", "look", "a.look", look, {1, 1, 1}, {2, -0.5f, 1}},
        {"lut1d above 255", "lut1d", "a.lut", [] {
             QByteArray t = "Index\tRed\tGreen\tBlue\n";
             for (int i = 0; i < 256; ++i)
                 t += QByteArray::number(i) + '\t' + QByteArray::number(i == 255 ? 300 : i) + "\t0\t" + QByteArray::number(255 - i) + '\n';
             return t;
         }(), {1, 0, 0}, {300 / 255.0f, 0, 1}},
        // Last value 1023: full scale 1023; 2046 halfway stays 2.
        {"csv codes", "csv", "c.csv", "0,\t0\n1,\t2046\n2,\t1023\n", {0.5f, 0.5f, 0.5f}, {2, 2, 2}},
        {"csv floats", "csv", "f.csv", "0,\t0\n1,\t0.25\n2,\t1.5\n", {1, 1, 1}, {1.5f, 1.5f, 1.5f}},
        {"tms1d From domain", "tms1d", "a.tms1d", "From 0 2\nLength 2\n0 0 0\n4 -1 0.5\n", {1, 2, 2}, {2, -1, 0.5f}},
        {"davlut unclamped", "davlut", "a.davlut", "3DLUTSIZE 2\n"
         + latticeLines(2, false, [](int r, int g, int b) { return triple(-0.5 * r, 1.25 * g, b); }),
         {1, 1, 1}, {-0.5f, 1.25f, 1}},
    };
    for (const auto &c : cases)
        QTest::newRow(c.tag) << QString::fromLatin1(c.format) << put(QLatin1String(c.file), c.text) << c.in << c.out;
}

// A 16-bit texture is read at 16 bits (the numbered reader takes 8 of them).
void TestFaithfulFormats::sixteenBitTexture()
{
    Read_LUTFile source;
    source.setSize3D(16, false);
    float *v = source.lut3D.data();
    for (std::size_t i = 0; i < source.lut3D.floatCount(); ++i)
        v[i] = 0.3f + float(i % 7) / 100.0f;
    Write_LUTFile writer;
    Formats::Options sixteen;
    sixteen.bits = 16;
    const QString path = dir_.filePath(QStringLiteral("deep.png"));
    QVERIFY2(Formats::Write_Texture(writer, path, source, sixteen), qPrintable(writer.errorString));
    LutTransform t;
    QString why;
    QVERIFY2(readAs(QStringLiteral("texture"), path, t, &why), qPrintable(why));
    QVERIFY(t.tables());
    const float *back = t.tables()->lut3D.data();
    for (std::size_t i = 0; i < source.lut3D.floatCount(); ++i)
        QVERIFY2(std::fabs(back[i] - v[i]) <= 0.5f / 65535 + 1e-7f, qPrintable(QString::number(i)));
}

// The depth a headerless .3dl is read back at, as the write's warning predicts it: only where
// it is the written one does the file read back as the lattice written.
void TestFaithfulFormats::headerless3dlDepth_data()
{
    QTest::addColumn<float>("gain");
    QTest::addColumn<int>("bits");
    QTest::addColumn<int>("readBits");
    QTest::newRow("12 bits, full range") << 1.0f << 12 << 12;
    QTest::newRow("12 bits, dark: 10-bit codes") << 0.4f << 12 << 10;
    QTest::newRow("8 bits, dark") << 0.3f << 8 << 8;
    QTest::newRow("14 bits: 16-bit codes") << 1.0f << 14 << 16;
    QTest::newRow("16 bits, a fifth of the range") << 0.2f << 16 << 16;
}

void TestFaithfulFormats::headerless3dlDepth()
{
    QFETCH(float, gain);
    QFETCH(int, bits);
    QFETCH(int, readBits);
    Read_LUTFile source;
    source.setSize3D(5, false);
    float *v = source.lut3D.data();
    for (std::size_t i = 0; i < source.lut3D.floatCount(); ++i)
        v[i] = gain * float(i % 5) / 4.0f;
    int written = 0;
    QCOMPARE(Formats::headerless3dlReadBits(source, bits, &written), readBits);
    QCOMPARE(written, bits);

    Formats::Options options;
    options.bits = bits;
    options.headerless = true;
    Write_LUTFile writer;
    const QString path = dir_.filePath(QStringLiteral("headerless-%1.3dl").arg(QTest::currentDataTag()));
    QVERIFY2(Formats::Write_3dl(writer, path, source, options), qPrintable(writer.errorString));
    LutTransform t;
    QString why;
    QVERIFY2(readAs(QStringLiteral("3dl"), path, t, &why), qPrintable(why));
    const float *back = t.tables()->lut3D.data();
    bool same = true;
    for (std::size_t i = 0; i < source.lut3D.floatCount(); ++i)
        same = same && std::fabs(back[i] - v[i]) <= 0.5f / float((1 << bits) - 1) + 1e-7f;
    QCOMPARE(same, readBits == bits);
}

void TestFaithfulFormats::cspRoundTrip_data()
{
    QTest::addColumn<QString>("source");
    const QByteArray lattice3 = latticeLines(3, true, [](int r, int g, int b) {
        return triple(0.5 * r * r - 0.1, 1.5 * g + 0.1 * b, 0.7 * b + 0.2 * r); });
    QByteArray curve;
    curve += "4\n-0.5 0 0.3 2\n0 0.2 0.6 1\n";
    curve += "2\n0 1\n0 1\n";
    curve += "3\n0 1 4\n0 0.75 1\n";
    QTest::newRow("smooth curve before a lattice") << put("curve.csp", "CSPLUTV100\n3D\n\n" + curve + "\n3 3 3\n" + lattice3);
    QTest::newRow("lattice over a domain") << put("domain.cube", "DOMAIN_MIN -0.5 0 -1\nDOMAIN_MAX 2 1 4\nLUT_3D_SIZE 3\n" + lattice3);
    QTest::newRow("straight shaper before a lattice")
        << put("shaper.cube", "LUT_1D_SIZE 3\nLUT_1D_INPUT_RANGE -1 3\nLUT_3D_SIZE 3\n0 0 0\n0.5 0.5 0.5\n1 1 1\n" + lattice3);
    QTest::newRow("1D table over a domain")
        << put("table.cube", "LUT_1D_SIZE 3\nDOMAIN_MIN 0 0 0\nDOMAIN_MAX 4 2 1\n0 0.1 0.2\n1.5 0.25 0.5\n3 -1 2\n");
}

// Written exactly and read back, the transform is the same at every point of its domain and
// beyond it, to six decimals.
void TestFaithfulFormats::cspRoundTrip()
{
    QFETCH(QString, source);
    QString why;
    const Formats::Format *input = Formats::detect(source, &why);
    QVERIFY2(input, qPrintable(why));
    LutTransform t;
    QVERIFY2(Formats::readTransform(*input, TestUtil::side(int(input->id), source), Formats::Options(), t, &why),
             qPrintable(why));
    const Formats::Format &csp = *Formats::byName(QStringLiteral("csp"));
    QVERIFY(csp.faithful->holds(t, Formats::Options()));
    Write_LUTFile writer;
    const QString path = dir_.filePath(QFileInfo(source).completeBaseName() + QStringLiteral("-out.csp"));
    QVERIFY2(csp.faithful->write(writer, path, t, Formats::Options()), qPrintable(writer.errorString));
    LutTransform back;
    QVERIFY2(readAs(QStringLiteral("csp"), path, back, &why), qPrintable(why));
    for (int i = 0; i <= 8; ++i)
        for (int j = 0; j <= 8; ++j)
            for (int k = 0; k <= 8; ++k) {
                Rgb x = {-1 + 5 * i / 8.0f, -1 + 5 * j / 8.0f, -1 + 5 * k / 8.0f}, a = x, b = x;
                t.apply(a.data());
                back.apply(b.data());
                for (int c = 0; c < 3; ++c)
                    QVERIFY2(std::fabs(a[c] - b[c]) <= 1e-6f * std::max(1.0f, std::fabs(a[c])),
                             qPrintable(QStringLiteral("at %1 %2 %3: %4, not %5").arg(double(x[0])).arg(double(x[1]))
                                            .arg(double(x[2])).arg(double(b[c])).arg(double(a[c]))));
            }
}

// A .csp pre-LUT is read as a smooth curve: a shaper that bends is no pre-LUT of its points.
void TestFaithfulFormats::cspBentShaperIsBaked()
{
    const QString source = put("bent.cube", "LUT_1D_SIZE 3\nLUT_3D_SIZE 2\n0 0 0\n0.8 0.8 0.8\n1 1 1\n"
                                            + latticeLines(2, true, [](int r, int g, int b) { return triple(r, g, b); }));
    LutTransform t;
    QString why;
    QVERIFY2(readAs(QStringLiteral("cube"), source, t, &why), qPrintable(why));
    QVERIFY(t.hasShaper());
    QVERIFY(!Formats::byName(QStringLiteral("csp"))->faithful->holds(t, Formats::Options()));
}

QTEST_GUILESS_MAIN(TestFaithfulFormats)

#include "tst_faithful_formats.moc"
